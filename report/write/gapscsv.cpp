/*
 * Usage report: morvalen-gaps.csv, by the days file's rules (CP932, CRLF,
 * yyyy/mm/dd, HH:mm), one row per compared user and day. A time past
 * midnight is written as the attendance systems write it, 25:40; the
 * last column, the reason, is left for the employee or manager to fill.
 */
#include "gaps.h"
#include "departments.h"
#include "outfile.h"
#include "report.h"
#include "resource.h"

void WriteGapsCsv(OutFile &out, const Gaps &gaps, const Departments *departments, int department)
{
    GapWords words(LogCodePage);
    out.Put(HeaderWithDepartment(IDS_GAPSHEADER, departments) + "\r\n");
    Text name, row;
    for (int index : gaps.order) {
        if (department >= 0 && departments->ofUser[index] != department)
            continue;
        name.clear();
        AppendField(name, gaps.tally.users[index].csvName);
        if (departments)
            name += ',' + departments->list[departments->ofUser[index]].csvField;
        for (const GapDay &gap : gaps.users[index].days) {
            if (gap.day < 0)
                continue;
            row = name;
            row += ',';
            words.AppendCells(row, gap, ",");
            row += ",\r\n";
            out.Put(row);
        }
    }
}
