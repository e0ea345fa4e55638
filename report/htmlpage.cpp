/*
 * Usage report: the page. One UTF-8 file that carries its own style, has
 * no script and fetches nothing, so it opens offline from wherever it is
 * copied. At the top the sources and the period; then per user and month
 * the day table, each day with its timeline: a 0-24 h axis with a bar for
 * each span of use, red and orange ticks for the sessions that count
 * nothing, stripes over a session still running.
 */
#include "report.h"
#include "gaps.h"
#include "outfile.h"
#include "resource.h"

#include <algorithm>

static const char Style[] =
    "body{font-family:\"Yu Gothic UI\",Meiryo,sans-serif;margin:1.5em;color:#222}"
    "h1{font-size:1.5em}h2{font-size:1.2em;margin-top:1.6em;border-bottom:1px solid #bbb}"
    "h3{font-size:1em;margin:1.2em 0 .2em}p{margin:.3em 0}"
    "table{border-collapse:collapse;font-size:.9em}"
    "th,td{border:1px solid #ddd;padding:1px 6px;text-align:right;white-space:nowrap}"
    "th{background:#f4f4f4;font-weight:normal}td:nth-child(2){text-align:center}"
    "table.days td:nth-child(7),td.n{text-align:left}"
    "tr.sat td{background-color:#eef4ff}tr.sun td{background-color:#fff0f0}"
    ".t{position:relative;width:480px;padding:0}"
    "td.t{background-image:repeating-linear-gradient(to right,#ccc 0 1px,transparent 1px 12.5%)}"
    "td.t i{position:absolute;top:3px;height:12px;min-width:1px;background:#3a7bd5}"
    "td.t i.r{background:repeating-linear-gradient(45deg,#3a7bd5 0 4px,#a9c8f2 4px 8px)}"
    "td.t b{position:absolute;top:0;height:18px;width:3px;margin-left:-1px}"
    "th.t span{position:absolute;top:1px;transform:translateX(-50%)}"
    "th.t span:first-child{transform:none}th.t span:last-child{transform:translateX(-100%)}"
    "b.x{background:#d22}b.c{background:#e80}.x{color:#d22}.c{color:#e80}.r{color:#2a6bc5}"
    ".s{color:#888}li.bad,.bad{color:#b00}code{background:#f6f6f6}";

namespace {

class Page {
public:
    Page(OutFile &out, const Tally &tally, const Reading &reading, const Options &options);
    void Write();

private:
    void Put(const char *text) { html += text; }
    void Put(const Text &text) { html += text; }
    void Put(UINT id) { html += LoadBytes(id, CP_UTF8); }
    void Escaped(const Text &text);
    void Flush();
    void Sources();
    void BadLines();
    void Totals(const std::vector<int> &order);
    void UserDays(int index);
    void Month(const User &user, int first, int last);
    void DayRow(const User &user, int day);
    void Timeline(const Day &cell, int day);

    OutFile &out;
    const Tally &tally;
    const Reading &reading;
    const Options &options;
    Text html;
    Text weekdays[7], words[MarkClockBack + 1];
    std::vector<Event> ticks, running;   /* the current user's */
    size_t nextTick;
    int userIndex;      /* the tally's index of the user shown */
};

}

Page::Page(OutFile &file, const Tally &counted, const Reading &read, const Options &given)
    : out(file), tally(counted), reading(read), options(given), nextTick(0), userIndex(-1)
{
    WText days = LoadWide(IDS_WEEKDAYS);
    for (int i = 0; i < 7 && i < (int)days.size(); i++)
        weekdays[i] = Narrow(days.substr(i, 1), CP_UTF8);
    words[MarkFromBefore] = LoadBytes(IDS_FROMBEFORE, CP_UTF8);
    words[MarkRunsOn] = LoadBytes(IDS_RUNSON, CP_UTF8);
    words[MarkRunning] = LoadBytes(IDS_RUNNING, CP_UTF8);
    words[MarkCrashed] = LoadBytes(IDS_CRASHED, CP_UTF8);
    words[MarkClockBack] = LoadBytes(IDS_CLOCKBACK, CP_UTF8);
}

void Page::Escaped(const Text &text)
{
    AppendEscaped(html, text);
}

void AppendEscaped(Text &html, const Text &text)
{
    for (char c : text) {
        switch (c) {
        case '&': html += "&amp;"; break;
        case '<': html += "&lt;"; break;
        case '>': html += "&gt;"; break;
        case '"': html += "&quot;"; break;
        default: html += c; break;
        }
    }
}

void Page::Flush()
{
    out.Put(html);
    html.clear();
}

/* A minute of the day as a share of the axis, in hundredths of a percent. */
void AppendShare(Text &out, int minutes)
{
    int share = minutes * 10000 / MinutesPerDay;
    AppendNumber(out, share / 100);
    out += '.';
    AppendNumber(out, share % 100, 2);
    out += '%';
}

static Text Stamp(int moment)
{
    Text text;
    AppendDate(text, DayOf(moment));
    text += ' ';
    AppendClock(text, MinuteOfDay(moment));
    return text;
}

void Page::Sources()
{
    Put("<h2>");
    Put(IDS_SOURCES);
    Put("</h2>\n<ul>\n");
    for (const SourceFile &file : reading.files) {
        Put(file.error || !file.isLog ? "<li class=\"bad\">" : "<li>");
        Escaped(Narrow(file.path, CP_UTF8));
        Put(" \xe2\x80\x94 ");
        if (file.error) {
            Escaped(Narrow(SystemReason(file.error), CP_UTF8));
        } else if (!file.isLog) {
            Put(IDS_NOTALOG);
        } else {
            AppendNumber(html, file.lines);
            Put(" ");
            Put(IDS_LINES);
            if (file.utf8) {
                Put(" (");
                Put(IDS_UTF8);
                Put(")");
            }
        }
        Put("</li>\n");
    }
    Put("</ul>\n");
}

void Page::BadLines()
{
    if (!reading.badLineCount)
        return;
    Put("<h2 class=\"bad\">");
    Put(IDS_BADLINES);
    Put(": ");
    AppendNumber(html, reading.badLineCount);
    Put(" ");
    Put(IDS_LINES);
    Put("</h2>\n");
    if (reading.badLineCount > BadLinesShown) {
        Put("<p>");
        Put(IDS_FIRSTSHOWN);
        Put("</p>\n");
    }
    Put("<ul class=\"badlines\">\n");
    for (const BadLine &line : reading.badLines) {
        Put("<li>");
        Escaped(Narrow(reading.files[line.file].path, CP_UTF8));
        Put(" ");
        AppendNumber(html, line.line);
        Put(IDS_LINEAT);
        Put(": <code>");
        Escaped(line.text);
        Put("</code></li>\n");
    }
    Put("</ul>\n");
}

struct Sums {
    int minutes, daysUsed;
};

static Sums SumDays(const User &user, int first, int last)
{
    Sums sums = {0, 0};
    for (int day = first; day <= last; day++) {
        int minutes = user.DayAt(day).minutes;
        sums.minutes += minutes;
        sums.daysUsed += minutes > 0;
    }
    return sums;
}

/* "合計 h:mm  使用日数 n 日  1日平均 h:mm", or the cells of a totals row. */
static void AppendSums(Text &html, const Sums &sums, bool cells)
{
    const char *between = cells ? "</td><td>" : "\xe3\x80\x80";
    if (!cells) {
        html += LoadBytes(IDS_TOTAL, CP_UTF8);
        html += ' ';
    }
    AppendDuration(html, sums.minutes);
    html += between;
    if (!cells) {
        html += LoadBytes(IDS_DAYSUSED, CP_UTF8);
        html += ' ';
    }
    AppendNumber(html, sums.daysUsed);
    html += ' ';
    html += LoadBytes(IDS_DAYUNIT, CP_UTF8);
    html += between;
    if (!cells) {
        html += LoadBytes(IDS_AVERAGE, CP_UTF8);
        html += ' ';
    }
    AppendDuration(html, sums.daysUsed ? (sums.minutes + sums.daysUsed / 2) / sums.daysUsed : 0);
}

void Page::Totals(const std::vector<int> &order)
{
    Put("<h2>");
    Put(IDS_TOTALS);
    Put("</h2>\n<table class=\"totals\"><tr><th>");
    Put(IDS_USER);
    Put("</th><th>");
    Put(IDS_TOTAL);
    Put("</th><th>");
    Put(IDS_DAYSUSED);
    Put("</th><th>");
    Put(IDS_AVERAGE);
    Put("</th></tr>\n");
    for (int index : order) {
        const User &user = tally.users[index];
        int first, last;
        tally.ShownDays(user, &first, &last);
        Put("<tr><td class=\"n\"><a href=\"#u");
        AppendNumber(html, index);
        Put("\">");
        Escaped(user.name);
        Put("</a></td><td>");
        AppendSums(html, SumDays(user, first, last), true);
        Put("</td></tr>\n");
    }
    Put("</table>\n");
}

/* The first minute from from on whose bit is set (or clear), or 1440. */
static int NextMinute(const unsigned long long *bits, int from, bool set)
{
    while (from < MinutesPerDay) {
        unsigned long long word = (set ? bits[from / 64] : ~bits[from / 64]) >> (from % 64);
        if (word)
            return std::min(from + __builtin_ctzll(word), MinutesPerDay);
        from = (from / 64 + 1) * 64;
    }
    return MinutesPerDay;
}

void Page::Timeline(const Day &cell, int day)
{
    int midnight = day * MinutesPerDay;
    /* Each run of minutes in use is one bar. */
    for (int minute = NextMinute(cell.used, 0, true); minute < MinutesPerDay;) {
        int end = NextMinute(cell.used, minute, false);
        Put("<i style=\"left:");
        AppendShare(html, minute);
        Put(";width:");
        AppendShare(html, end - minute);
        Put("\"></i>");
        minute = NextMinute(cell.used, end, true);
    }
    for (const Event &event : running) {
        int from = std::max(event.start, midnight), to = std::min(event.end, midnight + MinutesPerDay);
        if (from >= to)
            continue;
        Put("<i class=\"r\" style=\"left:");
        AppendShare(html, from - midnight);
        Put(";width:");
        AppendShare(html, to - from);
        Put("\"></i>");
    }
    for (; nextTick < ticks.size() && DayOf(ticks[nextTick].start) <= day; nextTick++) {
        const Event &event = ticks[nextTick];
        if (DayOf(event.start) < day)
            continue;
        Put(event.mark == MarkCrashed ? "<b class=\"x\" title=\"" : "<b class=\"c\" title=\"");
        Put(words[event.mark]);
        Put(" ");
        Put(Stamp(event.start));
        Put("\" style=\"left:");
        AppendShare(html, event.start - midnight);
        Put("\"></b>");
    }
}

void Page::DayRow(const User &user, int day)
{
    const Day &cell = user.DayAt(day);
    int weekday = WeekdayOf(day);
    Put(weekday == 0 ? "<tr class=\"sun\"" : weekday == 6 ? "<tr class=\"sat\"" : "<tr");
    Put(" data-day=\"");
    AppendDate(html, day, '-');
    Put("\"><td>");
    Text date;
    AppendDate(date, day);
    Put(date.substr(5));
    Put("</td><td>");
    Put(weekdays[weekday]);
    Put("</td><td>");
    if (cell.marks & MarkFromBefore) {
        Put("<span class=\"s\">");
        Put(words[MarkFromBefore]);
        Put("</span>");
    } else if (cell.firstStart >= 0) {
        AppendClock(html, cell.firstStart);
    }
    Put("</td><td>");
    if (cell.marks & (MarkRunsOn | MarkRunning)) {
        int mark = cell.marks & MarkRunsOn ? MarkRunsOn : MarkRunning;
        Put(mark == MarkRunning ? "<span class=\"r\">" : "<span class=\"s\">");
        Put(words[mark]);
        Put("</span>");
    } else if (cell.lastEnd >= 0) {
        AppendClock(html, cell.lastEnd);
    }
    Put("</td><td>");
    if (cell.sessions) {
        AppendDuration(html, cell.minutes);
        Put("</td><td>");
        AppendNumber(html, cell.sessions);
    } else {
        Put("</td><td>");
    }
    Put("</td><td>");
    static const int shown[] = {MarkRunning, MarkCrashed, MarkClockBack};
    static const char *const classes[] = {"r", "x", "c"};
    for (int i = 0; i < 3; i++) {
        if (cell.marks & shown[i]) {
            Put("<span class=\"");
            Put(classes[i]);
            Put("\">");
            Put(words[shown[i]]);
            Put("</span> ");
        }
    }
    if (reading.gaps)
        AppendGapMarks(html, *reading.gaps, userIndex, day);
    Put("</td><td class=\"t\">");
    if (reading.gaps)
        AppendDeclaredSpan(html, *reading.gaps, userIndex, day);
    Timeline(cell, day);
    Put("</td></tr>\n");
}

void Page::Month(const User &user, int first, int last)
{
    int year, month, day;
    DateOf(first, &year, &month, &day);
    Put("<h3>");
    AppendNumber(html, year);
    Put(IDS_YEAR);
    AppendNumber(html, month);
    Put(IDS_MONTH);
    Put("</h3>\n<p>");
    AppendSums(html, SumDays(user, first, last), false);
    Put("</p>\n<table class=\"days\"><tr>");
    WText columns = LoadWide(IDS_COLUMNS);
    for (size_t at = 0; at <= columns.size();) {
        size_t bar = std::min(columns.find(L'|', at), columns.size());
        Put("<th>");
        Put(Narrow(columns.substr(at, bar - at), CP_UTF8));
        Put("</th>");
        at = bar + 1;
    }
    Put("<th class=\"t\">");
    for (int hour = 0; hour <= 24; hour += 3) {
        Put("<span style=\"left:");
        AppendShare(html, hour * 60);
        Put("\">");
        AppendNumber(html, hour);
        Put("</span>");
    }
    Put("</th></tr>\n");
    for (int d = first; d <= last; d++) {
        DayRow(user, d);
        if (html.size() > 65536)
            Flush();
    }
    Put("</table>\n");
}

void Page::UserDays(int index)
{
    const User &user = tally.users[index];
    ticks.clear();
    running.clear();
    for (const Event &event : tally.events)
        if (event.user == index)
            (event.mark == MarkRunning ? running : ticks).push_back(event);
    std::sort(ticks.begin(), ticks.end(), [](const Event &a, const Event &b) { return a.start < b.start; });
    nextTick = 0;
    userIndex = index;

    Put("<section><h2 id=\"u");
    AppendNumber(html, index);
    Put("\">");
    Escaped(user.name);
    Put("</h2>\n");
    int first, last;
    tally.ShownDays(user, &first, &last);
    for (int day = first; day <= last; day = MonthEnd(day) + 1)
        Month(user, day, std::min(last, MonthEnd(day)));
    Put("</section>\n");
    Flush();
}

void Page::Write()
{
    Put("<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\">\n<title>");
    Put(IDS_TITLE);
    Put("</title>\n<style>");
    Put(Style);
    if (reading.gaps)
        Put(GapsStyle);
    Put("</style>\n</head>\n<body>\n<h1>");
    Put(IDS_TITLE);
    Put("</h1>\n<p>");
    Put(IDS_PERIOD);
    Put(" ");
    AppendDate(html, options.fromGiven ? options.from : tally.shownFirst);
    Put(" \xef\xbd\x9e ");
    AppendDate(html, options.toGiven ? options.to : tally.shownLast);
    Put("\xe3\x80\x80");
    Put(IDS_MADE);
    Put(" ");
    Put(Stamp(options.now));
    Put("</p>\n");
    Sources();
    BadLines();
    if (reading.gaps)
        AppendGapsSection(html, *reading.gaps);
    Put("<p class=\"legend\">");
    Put(IDS_LEGEND);
    Put("</p>\n");

    std::vector<int> order;
    for (int index : tally.Order())
        if (tally.users[index].shownFirst <= tally.users[index].shownLast)
            order.push_back(index);
    if (order.empty()) {
        Put("<p>");
        Put(IDS_NOSESSIONS);
        Put("</p>\n");
    } else {
        Totals(order);
    }
    for (int index : order)
        UserDays(index);
    Put("</body>\n</html>\n");
    Flush();
}

void WriteHtmlPage(OutFile &out, const Tally &tally, const Reading &reading, const Options &options)
{
    Page page(out, tally, reading, options);
    page.Write();
}
