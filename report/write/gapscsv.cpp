/*
 * Usage report: morvalen-gaps.csv, by the days file's rules (CP932, CRLF,
 * yyyy/mm/dd, HH:mm), one row per compared user and day. A time past
 * midnight is written as the attendance systems write it, 25:40; the
 * last column, the reason, holds every reason known for the day, for the
 * employee or manager to fill in where it is empty. Made in UTF-8, and
 * written in CP932 unless a name or a reason needs more; a department's
 * part in the whole file's encoding.
 */
#include "gaps.h"
#include "departments.h"
#include "outfile.h"
#include "reasons.h"
#include "report.h"
#include "resource.h"

bool WriteGapsCsv(OutFile &out, const Gaps &gaps, const Departments *departments, int department, bool asUtf8)
{
    Text csv = HeaderWithDepartment(IDS_GAPSHEADER, departments, CP_UTF8) + "\r\n", name;
    for (int index : gaps.order) {
        if (department >= 0 && departments->ofUser[index] != department)
            continue;
        name.clear();
        AppendField(name, gaps.tally.users[index].name);
        if (departments) {
            name += ',';
            AppendField(name, departments->list[departments->ofUser[index]].name);
        }
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
    return PutCsvText(out, csv, asUtf8);
}
