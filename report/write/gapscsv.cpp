/*
 * Usage report: morvalen-gaps.csv, by the days file's rules (CP932, CRLF,
 * yyyy/mm/dd, HH:mm), one row per compared user and day. A time past
 * midnight is written as the attendance systems write it, 25:40; the
 * last column, the reason, is left for the employee or manager to fill.
 */
#include "gaps.h"
#include "outfile.h"
#include "report.h"
#include "resource.h"

void WriteGapsCsv(OutFile &out, const Gaps &gaps)
{
    GapWords words(LogCodePage);
    out.Put(LoadBytes(IDS_GAPSHEADER, LogCodePage) + "\r\n");
    Text name, row;
    for (int index : gaps.order) {
        name.clear();
        AppendField(name, gaps.tally.users[index].csvName);
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
