/*
 * Usage report: morvalen-gaps.csv, by the days file's rules (CP932, CRLF,
 * yyyy/mm/dd, HH:mm), one row per compared user and day. A time past
 * midnight is written as the attendance systems write it, 25:40; the
 * last column, the reason, holds every reason known for the day, for the
 * employee or manager to fill in where it is empty. Made in UTF-8, and
 * written in CP932 unless a name or a reason needs more.
 */
#include "gaps.h"
#include "outfile.h"
#include "reasons.h"
#include "report.h"
#include "resource.h"

void WriteGapsCsv(OutFile &out, const Gaps &gaps)
{
    Text csv = LoadBytes(IDS_GAPSHEADER, CP_UTF8) + "\r\n", name;
    for (int index : gaps.order) {
        name.clear();
        AppendField(name, gaps.tally.users[index].name);
        for (const GapDay &gap : gaps.users[index].days) {
            if (gap.day < 0)
                continue;
            csv += name;
            csv += ',';
            gaps.pageWords.AppendCells(csv, gap, ",");
            csv += ',';
            AppendReasonField(csv, gaps, index, gap.day);
            csv += "\r\n";
        }
    }
    PutCsvText(out, csv);
}
