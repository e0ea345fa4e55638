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

static void AppendTime(Text &row, int minutes)
{
    if (minutes >= 0)
        AppendClock(row, minutes);
    row += ',';
}

static void AppendMinutes(Text &row, int minutes)
{
    if (minutes >= 0)
        AppendNumber(row, minutes);
    row += ',';
}

void WriteGapsCsv(OutFile &out, const Gaps &gaps)
{
    FlagWords flags(LogCodePage);
    Text weekdays[7];
    WText days = LoadWide(IDS_WEEKDAYS);
    for (int i = 0; i < 7 && i < (int)days.size(); i++)
        weekdays[i] = Narrow(days.substr(i, 1), LogCodePage);

    out.Put(LoadBytes(IDS_GAPSHEADER, LogCodePage) + "\r\n");
    Text name, row;
    for (const GapUser &user : gaps.users) {
        name.clear();
        AppendField(name, gaps.tally.users[user.user].csvName);
        for (const GapDay &gap : user.days) {
            row = name;
            row += ',';
            AppendDate(row, gap.day);
            row += ',';
            row += weekdays[WeekdayOf(gap.day)];
            row += ',';
            AppendTime(row, gap.declaredStart);
            AppendTime(row, gap.declaredEnd);
            AppendTime(row, gap.pcFirst);
            AppendTime(row, gap.pcLast);
            AppendMinutes(row, gap.before);
            AppendMinutes(row, gap.after);
            flags.Append(row, gap.flags);
            row += ",\r\n";
            out.Put(row);
        }
    }
}
