/*
 * Usage report: the page's section 勤怠との乖離, and what the calendar
 * shows of a compared day. The section says what was read and how it was
 * counted before any figure, so that a flagged day can be checked against
 * the timesheet and the log by hand.
 */
#include "gaps.h"
#include "pagetext.h"
#include "reasons.h"
#include "report.h"
#include "resource.h"

#include <algorithm>

/* The declared span, a green box behind the PC bars; one declared side
   alone is a green stroke. */
const char GapsStyle[] =
    "td.t s{position:absolute;top:1px;height:14px;border:1px solid #1b9e4b;background:rgba(27,158,75,.12)}"
    "td.t s.o{width:0;border-width:0 0 0 2px;background:none}.g{color:#8a3ab9}"
    "table.gapdays td:first-child,table.gapdays td:nth-last-child(-n+2),table.gapusers td:first-child{text-align:left}"
    "table.gapdays td:nth-last-child(2){color:#8a3ab9}";

static void Put(Text &html, UINT id)
{
    html += LoadBytes(id, CP_UTF8);
}

/* The header cells of a list split at separator, up to count of them. */
static void AppendHeader(Text &html, UINT id, wchar_t separator, int count)
{
    WText columns = LoadWide(id);
    html += "<tr>";
    for (size_t at = 0; at <= columns.size() && count--;) {
        size_t end = std::min(columns.find(separator, at), columns.size());
        html += "<th>";
        html += Narrow(columns.substr(at, end - at), CP_UTF8);
        html += "</th>";
        at = end + 1;
    }
    html += "</tr>\n";
}

static void AppendNumberCell(Text &html, int value)
{
    html += "<td>";
    if (value >= 0)
        AppendNumber(html, value);
    html += "</td>";
}

/* The piece at index of a string-table list split at '|'. */
static void PutPiece(Text &html, UINT id, int index)
{
    WText list = LoadWide(id);
    size_t at = 0;
    while (index-- > 0 && at <= list.size())
        at = std::min(list.find(L'|', at), list.size()) + 1;
    if (at <= list.size())
        html += Narrow(list.substr(at, std::min(list.find(L'|', at), list.size()) - at), CP_UTF8);
}

/* How a timesheet was read, so that a row can be found in it by hand:
   its header's line, encoding and separator, and the header each kind
   of column was taken from. */
static void HowRead(Text &html, const SheetFile &file)
{
    html += "\xef\xbc\x88";     /* （ */
    Put(html, IDS_HEADERAT);
    html += ' ';
    AppendNumber(html, file.headerLine);
    html += ' ';
    Put(html, IDS_LINEAT);
    html += "\xe3\x80\x81";     /* 、 */
    PutPiece(html, IDS_ENCODINGS, file.encoding);
    html += "\xe3\x80\x81";
    PutPiece(html, IDS_SEPARATORS, file.separator == '\t');
    for (int role = 0; role < RoleCount; role++) {
        if (file.taken[role].empty())
            continue;
        html += "\xe3\x80\x81";
        PutPiece(html, IDS_ROLENAMES, role);
        html += "\xe3\x80\x8c";     /* 「 */
        AppendEscaped(html, file.taken[role]);
        html += "\xe3\x80\x8d";     /* 」 */
    }
    html += "\xef\xbc\x89";     /* ） */
}

/* Why a file is no timesheet: what its row nearest to a header lacked,
   and which row that was; or that none of the first rows named a column. */
static void WhySkipped(Text &html, const SheetFile &file)
{
    Put(html, IDS_NOTTIMESHEET);
    html += ": ";
    if (!file.headerLine) {
        Put(html, IDS_NOHEADER);
        return;
    }
    bool first = true;
    for (int lack = 0; lack < LackCount; lack++) {
        if (file.lacking & 1 << lack) {
            html += first ? "" : "\xe3\x80\x81";
            PutPiece(html, IDS_LACKNAMES, lack);
            first = false;
        }
    }
    Put(html, IDS_LACKCOLUMNS);
    html += "\xef\xbc\x88";
    AppendNumber(html, file.headerLine);
    html += ' ';
    Put(html, IDS_LINEAT);
    html += "\xef\xbc\x89\xe3\x80\x82";   /* ）。 */
}

static void Files(Text &html, const Timesheets &sheets)
{
    html += "<ul>\n";
    for (const SheetFile &file : sheets.files) {
        bool skipped = file.error || (!file.mapping && !file.isSheet);
        html += skipped ? "<li class=\"bad\">" : "<li>";
        AppendEscaped(html, Narrow(file.path, CP_UTF8));
        html += " \xe2\x80\x94 ";
        if (file.error) {
            AppendEscaped(html, Narrow(SystemReason(file.error), CP_UTF8));
        } else if (skipped) {
            WhySkipped(html, file);
        } else {
            if (file.mapping) {
                Put(html, IDS_MAPPING);
                html += ' ';
            }
            AppendNumber(html, file.rows);
            html += ' ';
            Put(html, IDS_LINES);
            if (!file.mapping)
                HowRead(html, file);
        }
        html += "</li>\n";
    }
    html += "</ul>\n";
}

static void BadRows(Text &html, const Timesheets &sheets)
{
    AppendBadLines(html, "h3", sheets.badRowCount, sheets.badRows, sheets.files);
}

static void Unmatched(Text &html, const Gaps &gaps)
{
    if (gaps.unmatched.empty())
        return;
    html += "<h3 class=\"bad\">";
    Put(html, IDS_UNMATCHED);
    html += "</h3>\n<ul class=\"unmatched\">\n";
    for (const Person *person : gaps.unmatched) {
        html += "<li>";
        AppendEscaped(html, person->name);
        html += " \xe2\x80\x94 ";
        AppendNumber(html, person->rows);
        html += ' ';
        Put(html, IDS_LINES);
        html += "</li>\n";
    }
    html += "</ul>\n";
}

/* The overview must open at once whatever the years given: the first
   flagged days only; the gaps file has them all. */
static const int FlaggedShown = 500;

static void FlaggedDays(Text &html, const Gaps &gaps)
{
    bool any = false;
    int total = 0, shown = 0;
    for (int index : gaps.order)
        for (const GapDay &gap : gaps.users[index].days)
            total += gap.day >= 0 && gap.flags;
    for (int index : gaps.order) {
        for (const GapDay &gap : gaps.users[index].days) {
            if (gap.day < 0 || !gap.flags || shown == FlaggedShown)
                continue;
            shown++;
            if (!any) {
                if (total > FlaggedShown) {
                    html += "<p>";
                    AppendNumber(html, FlaggedShown);
                    html += " / ";
                    AppendNumber(html, total);
                    html += ' ';
                    Put(html, IDS_FLAGGEDCUT);
                    html += "</p>\n";
                }
                html += "<h3>";
                Put(html, IDS_FLAGGEDDAYS);
                html += "</h3>\n<table class=\"gapdays\">";
                AppendHeader(html, IDS_GAPSHEADER, L',', 11);
                any = true;
            }
            html += "<tr><td>";
            AppendEscaped(html, gaps.tally.users[index].name);
            html += "</td><td>";
            gaps.pageWords.AppendCells(html, gap, "</td><td>");
            html += "</td>";
            AppendReasonCell(html, gaps, index, gap.day);
            html += "</tr>\n";
        }
    }
    if (any) {
        html += "</table>\n";
    } else {
        html += "<p>";
        Put(html, IDS_NOFLAGGED);
        html += "</p>\n";
    }
}

void AppendGapsSection(Text &html, const Gaps &gaps)
{
    html += "<section class=\"gaps\"><h2 id=\"gaps\">";
    Put(html, IDS_GAPS);
    html += "</h2>\n<p>";
    Put(html, IDS_THRESHOLD);
    html += ' ';
    AppendNumber(html, gaps.threshold);
    html += ' ';
    Put(html, IDS_MINUTEUNIT);
    html += "\xe3\x80\x80";
    Put(html, IDS_GAPLEGEND);
    html += "</p>\n";
    Files(html, gaps.sheets);
    if (gaps.reasons)
        AppendReasonFiles(html, *gaps.reasons, gaps.tally.firstDay, gaps.tally.lastDay);
    BadRows(html, gaps.sheets);
    Unmatched(html, gaps);

    html += "<table class=\"gapusers\">";
    AppendHeader(html, IDS_GAPUSERCOLUMNS, L'|', 7);
    for (int index : gaps.order) {
        const GapUser &user = gaps.users[index];
        html += "<tr><td>";
        AppendEscaped(html, gaps.tally.users[index].name);
        html += "</td>";
        AppendNumberCell(html, user.compared);
        AppendNumberCell(html, user.flagged);
        AppendNumberCell(html, user.before);
        AppendNumberCell(html, user.after);
        AppendReasonCounts(html, gaps, index);
        html += "</tr>\n";
    }
    html += "</table>\n";
    FlaggedDays(html, gaps);
    html += "</section>\n";
}

void AppendGapMarks(Text &html, const Gaps &gaps, int user, int day)
{
    const GapDay *gap = gaps.Find(user, day);
    if (!gap || !gap->flags)
        return;
    html += "<span class=\"g\">";
    gaps.pageWords.AppendFlags(html, gap->flags);
    html += "</span> ";
    AppendDayReason(html, gaps, user, day);
}

void AppendDeclaredSpan(Text &html, const Gaps &gaps, int user, int day)
{
    const GapDay *gap = gaps.Find(user, day);
    if (!gap || !gap->flags || (gap->declaredStart < 0 && gap->declaredEnd < 0))
        return;
    int from = gap->declaredStart, to = gap->declaredEnd;
    bool box = from >= 0 && to > from && from < MinutesPerDay;
    int tick = from >= 0 ? from : to;
    if (!box && tick >= MinutesPerDay)
        return;
    html += box ? "<s title=\"" : "<s class=\"o\" title=\"";
    html += gaps.declaredWord;
    html += ' ';
    if (from >= 0)
        AppendClock(html, from);
    html += "\xef\xbd\x9e";
    if (to >= 0)
        AppendClock(html, to);
    html += "\" style=\"left:";
    AppendShare(html, box ? from : tick);
    if (box) {
        html += ";width:";
        AppendShare(html, std::min(to, MinutesPerDay) - from);
    }
    html += "\"></s>";
}
