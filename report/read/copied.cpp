/*
 * Usage report: the copies' times. A log copied to a collection folder
 * has its copy's time beside it; its last open line ran at least until
 * then, and what came after is not known. A time after the report's own,
 * or before the copy's latest stamp, is not one to trust: that line is
 * counted as a log's given directly, and the overview says so.
 */
#include "report.h"
#include "copytime.h"

void ReadCopyTimes(Reading &reading, Tally &tally)
{
    tally.copyTimes.assign(reading.files.size(), -1);
    for (size_t i = 0; i < reading.files.size(); i++) {
        SourceFile &file = reading.files[i];
        if (file.archive || file.error || !file.isLog)
            continue;
        file.copied = ReadCopyTime(file.path);
        file.copyUntrusted = file.copied >= 0 && (file.copied > tally.now || file.copied < file.newest);
        if (!file.copyUntrusted)
            tally.copyTimes[i] = file.copied;
    }
}
