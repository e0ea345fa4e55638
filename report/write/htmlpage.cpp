/*
 * Usage report: the pages. Each is one UTF-8 file that carries its own
 * style, has no script and fetches nothing, so the set opens offline from
 * wherever it is copied. The overview, opened first, holds what does not
 * grow with the years' days: the period, the sources and the problems,
 * each user's totals and a table of every user's months, each month a
 * link to its page. A month's page holds the day table of every user,
 * each day with its timeline: a 0-24 h axis with a bar for each span of
 * use, red and orange ticks for the sessions that count nothing, stripes
 * over a session still running. A report with clock faults or changed
 * lines lists them on the overview and marks their days; without them
 * the pages are as they always were.
 */
#include "report.h"
#include "departments.h"
#include "gaps.h"
#include "history.h"
#include "pagetext.h"
#include "outfile.h"
#include "resource.h"

#include <algorithm>
#include <cstring>

static const char Style[] =
    "body{font-family:\"Yu Gothic UI\",Meiryo,sans-serif;margin:1.5em;color:#222}"
    "h1{font-size:1.5em}h2{font-size:1.2em;margin-top:1.6em;border-bottom:1px solid #bbb}"
    "h3{font-size:1em;margin:1.2em 0 .2em}p{margin:.3em 0}"
    "table{border-collapse:collapse;font-size:.9em}"
    "th,td{border:1px solid #ddd;padding:1px 6px;text-align:right;white-space:nowrap}"
    "th{background:#f4f4f4;font-weight:normal}td:nth-child(2){text-align:center}"
    "table.days td:nth-child(7),td.n{text-align:left}td.n{text-align:left}"
    "tr.sat td{background-color:#eef4ff}tr.sun td{background-color:#fff0f0}"
    ".t{position:relative;width:480px;padding:0}"
    "td.t{background-image:repeating-linear-gradient(to right,#ccc 0 1px,transparent 1px 12.5%)}"
    "td.t i{position:absolute;top:3px;height:12px;min-width:1px;background:#3a7bd5}"
    "td.t i.r{background:repeating-linear-gradient(45deg,#3a7bd5 0 4px,#a9c8f2 4px 8px)}"
    "td.t b{position:absolute;top:0;height:18px;width:3px;margin-left:-1px}"
    "th.t span{position:absolute;top:1px;transform:translateX(-50%)}"
    "th.t span:first-child{transform:none}th.t span:last-child{transform:translateX(-100%)}"
    "b.x{background:#d22}b.c{background:#e80}b.r{background:#2a6bc5}.x{color:#d22}.c{color:#e80}.r{color:#2a6bc5}"
    ".o{color:#808}.s{color:#888}li.bad,.bad{color:#b00}li.stale b{color:#c60}li.kept{margin-left:1.5em}code{background:#f6f6f6}"
    "nav{margin:.5em 0}nav a{margin-right:1.5em}table.months td:nth-child(2){text-align:right}"
    "p.ix a{margin-right:.8em}th.n{text-align:left}";

/* Only on the pages of a report that has clock faults or changed lines:
   a dark tick at a clock fault's end, and their marks. */
static const char UntrustedStyle[] = "b.f{background:#444}.f{color:#b00}";

namespace {

/* What every page is written with: a buffer of UTF-8 put out in pieces. */
class Html {
public:
    explicit Html(OutFile &out) : out(out) {}

    void Put(const char *text) { html += text; }
    void Put(const Text &text) { html += text; }
    void Put(UINT id) { html += LoadBytes(id, CP_UTF8); }
    void Number(int value, int digits = 1) { AppendNumber(html, value, digits); }
    void Escaped(const Text &text);
    /* style: the page's own, besides what every page has. */
    void Begin(const Text &title, const char *style = "");
    void End();
    void Flush();
    /* Room for up to n bytes written in place, and where they ended. */
    char *Room(size_t n)
    {
        size_t used = html.size();
        html.resize(used + n);
        return &html[used];
    }
    void Done(const char *end) { html.resize(end - html.data()); }

    Text html;

private:
    OutFile &out;
};

/* The first page: everything but the days. */
class Overview : public Html {
public:
    Overview(OutFile &out, const Tally &tally, const Reading &reading, const Options &options,
             const Outputs &outputs);
    void Write();

private:
    void Sources();
    void BadLines();
    void Untrusted(const std::vector<Session> &lines, int count, UINT word, UINT note);
    void Rewrites();
    void Source(const SourceFile &file, bool bad, bool stale, bool staleNote);
    void Dated(UINT label, int moment);
    void Split();
    void Totals();
    void DepartmentTotals();
    void Months();
    void DepartmentMonths(size_t begin, size_t end, const std::vector<Text> &links);

    const Tally &tally;
    const Reading &reading;
    const Options &options;
    const Outputs &outputs;
    const Departments *departments;
    /* The users with days to show, by name, or by department and name. */
    std::vector<int> order;
    /* The month tables of hundreds of users over years, kept small: a
       row for each department, else each user's cells without their links
       and tooltips. A month's page has an index of its users. */
    bool compact;
};

/* One month: each user's days. */
class MonthPage : public Html {
public:
    MonthPage(OutFile &out, const Tally &tally, const Gaps *gaps, int month, const Departments *departments,
              int department, int part);
    void Write();

private:
    void Links();
    void Index(bool split);
    void UserDays(int index, int first, int last);
    void DayRow(const User &user, int day);
    void Timeline(const Day &cell, int day);
    void Bar(bool striped, int from, int to);

    const Tally &tally;
    const Gaps *gaps;           /* the comparison, when a timesheet was given */
    const Departments *departments;
    int department, part;       /* the page's, or -1 for the whole month */
    int userIndex;              /* the tally's index of the user shown */
    int first, last;            /* the month's days */
    Text weekdays[7], words[MarkCopied + 1], rewritten, overlapped, copiedNote;
    std::vector<Event> ticks, running;   /* the current user's, in the month */
    size_t nextTick;
};

}

void Html::Escaped(const Text &text)
{
    AppendEscaped(html, text);
}

void Html::Flush()
{
    out.Put(html);
    html.clear();
}

void Html::Begin(const Text &title, const char *style)
{
    Put("<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\">\n<title>");
    Put(title);
    Put("</title>\n<style>");
    Put(Style);
    Put(style);
    Put("</style>\n</head>\n<body>\n<h1>");
    Put(title);
    Put("</h1>\n");
}

void Html::End()
{
    Put("</body>\n</html>\n");
    Flush();
}

/* The day rows are written in place, as the sessions file's rows are:
   the pages have one for every user and day. */
template <size_t N> static char *Copy(char *at, const char (&text)[N])
{
    memcpy(at, text, N - 1);
    return at + N - 1;
}

static char *Copy(char *at, const Text &text)
{
    memcpy(at, text.data(), text.size());
    return at + text.size();
}

static Text Stamp(int moment)
{
    Text text;
    AppendDate(text, DayOf(moment));
    text += ' ';
    AppendClock(text, MinuteOfDay(moment));
    return text;
}

/* "2026年11月" */
static Text MonthTitle(int day)
{
    int year, month, date;
    DateOf(day, &year, &month, &date);
    Text text;
    AppendNumber(text, year);
    text += LoadBytes(IDS_YEAR, CP_UTF8);
    AppendNumber(text, month);
    text += LoadBytes(IDS_MONTH, CP_UTF8);
    return text;
}

/* The month tables' cells in full (each some 125 bytes) up to this many
   months of a page's users. */
static const size_t CompactMonths = 40;

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

Overview::Overview(OutFile &file, const Tally &counted, const Reading &read, const Options &given,
                   const Outputs &written)
    : Html(file), tally(counted), reading(read), options(given), outputs(written), departments(read.departments)
{
    std::vector<int> users;
    if (departments)
        for (const Department &department : departments->list)
            users.insert(users.end(), department.users.begin(), department.users.end());
    else
        users = tally.Order();
    size_t cells = 0;
    for (int index : users) {
        if (!tally.users[index].months.empty())
            order.push_back(index);
        cells += tally.users[index].months.size();
    }
    compact = cells > CompactMonths * (options.pageUsers ? options.pageUsers : PageUsers);
}

/* A kept copy is listed under its log, which comes after it and the
   log's archives; one whose log is not there, in its place. */
static bool UnderItsLog(const std::vector<SourceFile> &files, size_t kept)
{
    if (files[kept].replaced < 0)
        return false;
    size_t log = kept + 1;
    while (log < files.size() && (files[log].archive || files[log].replaced >= 0))
        log++;
    return log < files.size() && SamePath(LogOfKept(files[kept].path), files[log].path);
}

/* The list of files is folded away when it is long, so that the totals
   are not pushed off the screen. What the administrator must see stays in
   view: the files that failed, and the logs whose latest record is more
   than StaleDays before the period's end (or the report's time), a PC
   whose copies no longer reach the collection folder; a copy is judged by
   its copy's time where that is known. An archive ends by design and is
   never stale. */
void Overview::Sources()
{
    int periodEnd = (options.toGiven ? options.to : tally.shownLast) + 1;
    int staleBefore = std::min(periodEnd * MinutesPerDay, options.now) - StaleDays * MinutesPerDay;
    int lines = 0;
    int staleMarks = 0;
    for (const SourceFile &file : reading.files)
        lines += file.lines;
    Put(reading.files.size() > BadLinesShown ? "<details>" : "<details open>");
    Put("<summary><h2 style=\"display:inline\">");
    Put(IDS_SOURCES);
    Put("</h2> ");
    Number((int)reading.files.size());
    Put(" \xe2\x80\x94 ");
    Number(lines);
    Put(" ");
    Put(IDS_LINES);
    Put("</summary>\n<ul>\n");
    const std::vector<SourceFile> &files = reading.files;
    for (int pass = 0; pass < 2; pass++) {
        for (size_t i = 0; i < files.size(); i++) {
            const SourceFile &file = files[i];
            bool bad = file.error || !file.isLog;
            int seen = file.copied >= 0 && !file.copyUntrusted ? file.copied : file.newest;
            bool stale = !bad && !file.archive && file.replaced < 0 && seen < staleBefore;
            if ((bad || stale) != (pass == 1) || (!bad && UnderItsLog(files, i)))
                continue;
            Source(file, bad, stale, stale && staleMarks++ < BadLinesShown);
            if (file.archive || file.replaced >= 0)
                continue;
            size_t first = i;
            while (first > 0 && (files[first - 1].archive || files[first - 1].replaced >= 0))
                first--;
            for (; first < i; first++)
                if (UnderItsLog(files, first) && !files[first].error && files[first].isLog)
                    Source(files[first], false, false, false);
        }
        if (pass == 0)
            Put("</ul></details>\n<ul>\n");
    }
    Put("</ul>\n");
}

/* A moment of a file in its list: " — 最終記録 2026/12/06 18:00". */
void Overview::Dated(UINT label, int moment)
{
    Put(" \xe2\x80\x94 ");
    Put(label);
    Put(" ");
    Put(Stamp(moment));
}

void Overview::Source(const SourceFile &file, bool bad, bool stale, bool staleNote)
{
    Put(bad ? "<li class=\"bad\">" : stale ? "<li class=\"stale\">" : file.replaced >= 0 ? "<li class=\"kept\">" : "<li>");
    Escaped(Narrow(file.listed, CP_UTF8));
    Put(" \xe2\x80\x94 ");
    if (file.error) {
        Escaped(Narrow(SystemReason(file.error), CP_UTF8));
    } else if (!file.isLog) {
        Put(IDS_NOTALOG);
    } else {
        Number(file.lines);
        Put(" ");
        Put(IDS_LINES);
        if (file.utf8) {
            Put(" (");
            Put(IDS_UTF8);
            Put(")");
        }
        if (file.newest >= 0)
            Dated(IDS_NEWEST, file.newest);
        if (file.copied >= 0)
            Dated(IDS_COPYTIME, file.copied);
        if (file.copyUntrusted) {
            Put(" <b class=\"bad\" title=\"");
            Put(IDS_UNTRUSTEDCOPYNOTE);
            Put("\">");
            Put(IDS_UNTRUSTEDCOPY);
            Put("</b>");
        }
        if (file.replaced >= 0)
            Dated(IDS_KEPTCOPY, file.replaced);
        if (stale) {
            /* The note on the first marks only: a collection of
               thousands of PCs may have as many. */
            Put(" <b");
            if (staleNote) {
                Text note = LoadBytes(IDS_STALENOTE, CP_UTF8);
                size_t days = note.find('|');
                Put(" title=\"");
                Put(note.substr(0, days));
                Number(StaleDays);
                Put(note.substr(days + 1));
                Put("\"");
            }
            Put(">");
            Put(IDS_STALE);
            Put("</b>");
        }
    }
    Put("</li>\n");
}

void Overview::BadLines()
{
    AppendBadLines(html, "h2", reading.badLineCount, reading.badLines, reading.files);
}

/* The clock faults, or the changed lines: a heading with their count,
   what they are, and each with its file and line and its stamps as the
   log has them, so that the PC to look at is found. */
void Overview::Untrusted(const std::vector<Session> &lines, int count, UINT word, UINT note)
{
    if (!count)
        return;
    Put("<h2 class=\"bad\">");
    Put(word);
    Put(": ");
    Number(count);
    Put(" ");
    Put(IDS_LINES);
    Put("</h2>\n<p>");
    Put(note);
    if (count > (int)lines.size()) {
        Put(" ");
        Put(IDS_UNTRUSTEDCUT);
    }
    Put("</p>\n<ul class=\"untrusted\">\n");
    for (const Session &line : lines) {
        Put("<li>");
        Escaped(Narrow(reading.files[line.file].path, CP_UTF8));
        Put(" ");
        Number(line.line);
        Put(IDS_LINEAT);
        Put(": <code>");
        Escaped(tally.users[line.user].name);
        Put(" ");
        Put(Stamp(line.start));
        if (line.end != NoMoment) {
            Put(" \xef\xbd\x9e ");
            Put(Stamp(line.end));
            Put(" ");
            Number(line.usage / 100, 2);
            Put(":");
            Number(line.usage % 100, 2);
        }
        Put("</code></li>\n");
    }
    Put("</ul>\n");
}

/* The records a later copy changed or deleted after the collection had
   them: each with the kept copy that has it as first copied (its path
   names the PC and the user), the line then and now, and when the change
   reached the folder. */
void Overview::Rewrites()
{
    if (!tally.rewriteCount)
        return;
    Put("<h2 class=\"bad\">");
    Put(IDS_REWRITTEN);
    Put(": ");
    Number(tally.rewriteCount);
    Put(" ");
    Put(IDS_LINES);
    Put("</h2>\n<p>");
    Put(IDS_REWRITTENNOTE);
    if (tally.rewriteCount > (int)tally.rewrites.size()) {
        Put(" ");
        Put(IDS_UNTRUSTEDCUT);
    }
    Put("</p>\n<ul class=\"untrusted\">\n");
    for (const Rewrite &rewrite : tally.rewrites) {
        Put("<li>");
        Escaped(Narrow(reading.files[rewrite.file].listed, CP_UTF8));
        Put(": <code>");
        Escaped(rewrite.before);
        Put("</code> \xe2\x86\x92 ");
        if (rewrite.after.empty()) {
            Put(IDS_DELETED);
        } else {
            Put("<code>");
            Escaped(rewrite.after);
            Put("</code>");
        }
        Put(" (");
        Put(IDS_REACHED);
        Put(" ");
        Put(Stamp(rewrite.reached));
        Put(")</li>\n");
    }
    Put("</ul>\n");
}

/* A CSV file too long for Excel went into parts, one per month. */
void Overview::Split()
{
    const std::vector<Text> *parts[] = {&outputs.sessionParts, &outputs.dayParts};
    for (const std::vector<Text> *names : parts) {
        if (names->empty())
            continue;
        Put("<p class=\"split\">");
        Put(Narrow(names == parts[0] ? SessionsName : DaysName, CP_UTF8));
        Put(IDS_SPLIT);
        Put(" <a href=\"");
        Put(names->front());
        Put("\">");
        Put(names->front());
        Put("</a> \xef\xbd\x9e <a href=\"");
        Put(names->back());
        Put("\">");
        Put(names->back());
        Put("</a> (");
        Number((int)names->size());
        Put(")</p>\n");
    }
}

/* A user's days used and total over the months shown. */
static Sums UserSums(const Tally &tally, const User &user)
{
    Sums sums = {0, 0};
    for (int month : user.months) {
        int first, last;
        tally.MonthDays(month, &first, &last);
        Sums more = SumDays(user, first, last);
        sums.minutes += more.minutes;
        sums.daysUsed += more.daysUsed;
    }
    return sums;
}

/* Each department: its users' totals and, with a timesheet, their days
   flagged and the gaps file to send its manager, folded when it has
   many users; the pages it has of months split by department. */
void Overview::DepartmentTotals()
{
    const Gaps *gaps = reading.gaps;
    Put("<h2>");
    Put(IDS_DEPARTMENTS);
    Put("</h2>\n");
    for (size_t d = 0; d < departments->list.size(); d++) {
        const Department &department = departments->list[d];
        std::vector<int> users;
        std::vector<Sums> sums;
        Sums all = {0, 0};
        int flagged = 0;
        for (int index : department.users) {
            if (tally.users[index].months.empty())
                continue;
            users.push_back(index);
            sums.push_back(UserSums(tally, tally.users[index]));
            all.minutes += sums.back().minutes;
            flagged += gaps && index < (int)gaps->users.size() ? gaps->users[index].flagged : 0;
        }
        if (users.empty())
            continue;
        Put(users.size() > BadLinesShown ? "<details class=\"dept\">" : "<details class=\"dept\" open>");
        Put("<summary><b>");
        Escaped(department.name);
        Put("</b> \xe2\x80\x94 ");
        Number((int)users.size());
        Put(IDS_PEOPLE);
        Put("\xe3\x80\x80");
        Put(IDS_TOTAL);
        Put(" ");
        AppendDuration(html, all.minutes);
        if (gaps) {
            Put("\xe3\x80\x80");
            Put(IDS_FLAGGEDDAYS);
            Put(" ");
            Number(flagged);
            Put(" ");
            Put(IDS_DAYUNIT);
        }
        if (gaps && HasGaps(*gaps, department)) {
            Text file = Narrow(departments->GapsFile((int)d), CP_UTF8);
            Put("\xe3\x80\x80");
            Put(IDS_DEPARTMENTGAPS);
            Put(" <a class=\"gapsfile\" href=\"");
            Escaped(DetailLink(departments->GapsFile((int)d)));
            Put("\">");
            Escaped(file);
            Put("</a>");
        }
        Put("</summary>\n");
        bool listed = false;
        for (int month : tally.months) {
            bool held = false;
            for (int index : users)
                held = held || tally.users[index].HasMonth(month);
            if (!held || !departments->Split(tally, month))
                continue;
            Put(listed ? " " : "<p class=\"ix\">");
            if (!listed) {
                Put(IDS_DEPARTMENTPAGES);
                Put(": ");
            }
            listed = true;
            Put("<a href=\"");
            Escaped(DetailLink(departments->PageFile(month, (int)d)));
            Put("\">");
            Put(MonthTitle(month));
            Put("</a>");
        }
        Put(listed ? "</p>\n" : "");
        Put("<table class=\"totals\"><tr><th>");
        Put(IDS_USER);
        Put("</th><th>");
        Put(IDS_TOTAL);
        Put("</th><th>");
        Put(IDS_DAYSUSED);
        Put("</th><th>");
        Put(IDS_AVERAGE);
        if (gaps) {
            Put("</th><th>");
            Put(IDS_FLAGGEDDAYS);
        }
        Put("</th></tr>\n");
        for (size_t i = 0; i < users.size(); i++) {
            Put("<tr><td class=\"n\">");
            Escaped(tally.users[users[i]].name);
            Put("</td><td>");
            AppendSums(html, sums[i], true);
            if (gaps) {
                Put("</td><td>");
                Number(users[i] < (int)gaps->users.size() ? gaps->users[users[i]].flagged : 0);
            }
            Put("</td></tr>\n");
        }
        Put("</table></details>\n");
    }
}

void Overview::Totals()
{
    if (departments) {
        DepartmentTotals();
        return;
    }
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
        Sums sums = UserSums(tally, user);
        Put("<tr><td class=\"n\">");
        Escaped(user.name);
        Put("</td><td>");
        AppendSums(html, sums, true);
        Put("</td></tr>\n");
    }
    Put("</table>\n");
}

/* Every user's total of each month, a year to a table, the latest year
   first; each month leads to its page, each total to the user there. */
void Overview::Months()
{
    Put("<h2>");
    Put(IDS_MONTHS);
    Put("</h2>\n");
    const std::vector<int> &months = tally.months;
    /* The months of a year are next to each other in months, the latest
       year's last. */
    for (size_t end = months.size(), begin; end > 0; end = begin) {
        int year, month, date;
        DateOf(months[end - 1], &year, &month, &date);
        for (begin = end; begin > 0 && months[begin - 1] >= DayNumber(year, 1, 1); begin--)
            ;
        std::vector<Text> links;
        Put("<table class=\"months\"><tr><th>");
        Number(year);
        Put(IDS_YEAR);
        Put("</th>");
        for (size_t i = begin; i < end; i++) {
            links.push_back(DetailLink(MonthFile(months[i])));
            DateOf(months[i], &year, &month, &date);
            Put("<th><a href=\"");
            Put(links.back());
            Put("\">");
            Number(month);
            Put(IDS_MONTH);
            Put("</a></th>");
        }
        Put("</tr>\n");
        if (compact && departments) {
            DepartmentMonths(begin, end, links);
            continue;
        }
        int heading = -1;
        for (int index : order) {
            const User &user = tally.users[index];
            auto held = std::lower_bound(user.months.begin(), user.months.end(), months[begin]);
            if (held == user.months.end() || *held > months[end - 1])
                continue;
            if (departments && departments->ofUser[index] != heading) {
                heading = departments->ofUser[index];
                Put("<tr><th class=\"n\" colspan=\"");
                Number((int)(end - begin + 1));
                Put("\">");
                Escaped(departments->list[heading].name);
                Put("</th></tr>\n");
            }
            Put("<tr><td class=\"n\">");
            Escaped(user.name);
            Put("</td>");
            for (size_t i = begin; i < end; i++) {
                Put("<td>");
                if (user.HasMonth(months[i])) {
                    int first, last;
                    tally.MonthDays(months[i], &first, &last);
                    Sums sums = SumDays(user, first, last);
                    if (compact) {
                        AppendDuration(html, sums.minutes);
                        Put("</td>");
                        continue;
                    }
                    Put("<a href=\"");
                    if (departments && departments->Split(tally, months[i]))
                        Escaped(DetailLink(departments->UserPage(tally, months[i], index)));
                    else
                        Put(links[i - begin]);
                    Put("#u");
                    Number(index);
                    Put("\" title=\"");
                    AppendSums(html, sums, false);
                    Put("\">");
                    AppendDuration(html, sums.minutes);
                    Put("</a>");
                }
                Put("</td>");
            }
            Put("</tr>\n");
        }
        Put("</table>\n");
        Flush();
    }
}

/* A year's row for each department: its users' total of each month,
   leading to its page of a month split by department, else to the
   month's. */
void Overview::DepartmentMonths(size_t begin, size_t end, const std::vector<Text> &links)
{
    const std::vector<int> &months = tally.months;
    std::vector<bool> split;
    for (size_t i = begin; i < end; i++)
        split.push_back(departments->Split(tally, months[i]));
    for (size_t d = 0; d < departments->list.size(); d++) {
        Text row;
        bool any = false;
        for (size_t i = begin; i < end; i++) {
            int first, last, minutes = 0;
            bool held = false;
            tally.MonthDays(months[i], &first, &last);
            for (int index : departments->list[d].users) {
                const User &user = tally.users[index];
                if (user.HasMonth(months[i])) {
                    held = true;
                    minutes += SumDays(user, first, last).minutes;
                }
            }
            row += "<td>";
            if (held) {
                row += "<a href=\"";
                AppendEscaped(row, split[i - begin] ? DetailLink(departments->PageFile(months[i], (int)d))
                                                     : links[i - begin]);
                row += "\">";
                AppendDuration(row, minutes);
                row += "</a>";
            }
            row += "</td>";
            any = any || held;
        }
        if (!any)
            continue;
        Put("<tr><td class=\"n\">");
        Escaped(departments->list[d].name);
        Put("</td>");
        Put(row);
        Put("</tr>\n");
    }
    Put("</table>\n");
}

/* The sections in the order a reader wants them; each is one call, and a
   new one goes where it belongs in this list. */
void Overview::Write()
{
    Begin(LoadBytes(IDS_TITLE, CP_UTF8), reading.gaps ? GapsStyle : "");
    Put("<p>");
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
    Untrusted(tally.faults, tally.faultCount, IDS_CLOCKFAULT, IDS_CLOCKFAULTNOTE);
    Untrusted(tally.mismatches, tally.mismatchCount, IDS_MISMATCH, IDS_MISMATCHNOTE);
    Rewrites();
    Split();
    if (reading.gaps)
        AppendGapsSection(html, *reading.gaps);
    if (order.empty()) {
        Put("<p>");
        Put(IDS_NOSESSIONS);
        Put("</p>\n");
    } else {
        Totals();
        Months();
    }
    End();
}

MonthPage::MonthPage(OutFile &file, const Tally &counted, const Gaps *compared, int month,
                     const Departments *known, int shown, int piece)
    : Html(file), tally(counted), gaps(compared), departments(known), department(shown), part(piece), userIndex(-1),
      first(MonthStart(month)), last(MonthEnd(month)), nextTick(0)
{
    WText days = LoadWide(IDS_WEEKDAYS);
    for (int i = 0; i < 7 && i < (int)days.size(); i++)
        weekdays[i] = Narrow(days.substr(i, 1), CP_UTF8);
    words[MarkFromBefore] = LoadBytes(IDS_FROMBEFORE, CP_UTF8);
    words[MarkRunsOn] = LoadBytes(IDS_RUNSON, CP_UTF8);
    words[MarkRunning] = LoadBytes(IDS_RUNNING, CP_UTF8);
    words[MarkCrashed] = LoadBytes(IDS_CRASHED, CP_UTF8);
    words[MarkClockBack] = LoadBytes(IDS_CLOCKBACK, CP_UTF8);
    words[MarkOverlap] = LoadBytes(IDS_OVERLAP, CP_UTF8);
    words[MarkClockFault] = LoadBytes(IDS_CLOCKFAULT, CP_UTF8);
    words[MarkMismatch] = LoadBytes(IDS_MISMATCH, CP_UTF8);
    words[MarkCopied] = LoadBytes(IDS_COPIED, CP_UTF8);
    copiedNote = LoadBytes(IDS_COPIEDNOTE, CP_UTF8);
    rewritten = LoadBytes(IDS_REWRITTEN, CP_UTF8);
    overlapped = LoadBytes(IDS_OVERLAPPED, CP_UTF8);
}

/* The overview and the months before and after that have pages, where
   there are some. */
void MonthPage::Links()
{
    Put("<nav><a href=\"../");
    Put(Narrow(PageName, CP_UTF8));
    Put("\">");
    Put(IDS_OVERVIEW);
    Put("</a>");
    if (department >= 0) {
        Put("<a href=\"");
        Put(Narrow(MonthFile(first), CP_UTF8));
        Put("\">");
        Put(MonthTitle(first));
        Put("</a>");
    }
    const std::vector<int> &months = tally.months;
    auto at = std::lower_bound(months.begin(), months.end(), MonthStart(first));
    int around[] = {at != months.begin() ? *(at - 1) : -1,
                    at != months.end() && at + 1 != months.end() ? *(at + 1) : -1};
    for (int day : around) {
        if (day < 0)
            continue;
        Put("<a href=\"");
        Put(Narrow(MonthFile(day), CP_UTF8));
        Put(day < first ? "\">\xe2\x86\x90 " : "\">");
        Put(MonthTitle(day));
        Put(day < first ? "</a>" : " \xe2\x86\x92</a>");
    }
    Put("</nav>\n");
}

/* The first minute from from on that is in use (or not), or 1440. */
static int NextMinute(const Day &cell, int from, bool set)
{
    while (from < MinutesPerDay) {
        unsigned long long used = cell.bits[from / 64].used;
        unsigned long long word = (set ? used : ~used) >> (from % 64);
        if (word)
            return std::min(from + __builtin_ctzll(word), MinutesPerDay);
        from = (from / 64 + 1) * 64;
    }
    return MinutesPerDay;
}

/* A bar from minute from to minute to, striped for a session running. */
void MonthPage::Bar(bool striped, int from, int to)
{
    char *at = Room(64);
    at = striped ? Copy(at, "<i class=\"r\" style=\"left:") : Copy(at, "<i style=\"left:");
    at = PutShare(at, from);
    at = Copy(at, ";width:");
    at = PutShare(at, to - from);
    Done(Copy(at, "\"></i>"));
}

void MonthPage::Timeline(const Day &cell, int day)
{
    int midnight = day * MinutesPerDay;
    /* Each run of minutes in use is one bar. */
    for (int minute = cell.minutes ? NextMinute(cell, 0, true) : MinutesPerDay; minute < MinutesPerDay;) {
        int end = NextMinute(cell, minute, false);
        Bar(false, minute, end);
        minute = NextMinute(cell, end, true);
    }
    for (const Event &event : running) {
        int from = std::max(event.start, midnight), to = std::min(event.end, midnight + MinutesPerDay);
        if (from < to)
            Bar(true, from - midnight, to - midnight);
        /* The copy's time, where its bar ends. */
        if (event.mark == MarkCopied && DayOf(event.end) == day) {
            Put("<b class=\"r\" title=\"");
            Put(words[MarkCopied]);
            Put(" ");
            Put(Stamp(event.end));
            Put("\" style=\"left:");
            AppendShare(html, event.end - midnight);
            Put("\"></b>");
        }
    }
    for (; nextTick < ticks.size() && DayOf(ticks[nextTick].start) <= day; nextTick++) {
        const Event &event = ticks[nextTick];
        if (DayOf(event.start) < day)
            continue;
        Put(event.mark == MarkCrashed      ? "<b class=\"x\" title=\""
            : event.mark == MarkClockFault ? "<b class=\"f\" title=\""
                                           : "<b class=\"c\" title=\"");
        Put(words[event.mark]);
        Put(" ");
        Put(Stamp(event.start));
        Put("\" style=\"left:");
        AppendShare(html, event.start - midnight);
        Put("\"></b>");
    }
}

/* Date, weekday, first start, last end, use, sessions and marks. */
void MonthPage::DayRow(const User &user, int day)
{
    const Day &cell = user.DayAt(day);
    int weekday = WeekdayOf(day), year, month, date;
    DateOf(day, &year, &month, &date);
    char *at = Room(640);
    at = weekday == 0 ? Copy(at, "<tr class=\"sun\"") : weekday == 6 ? Copy(at, "<tr class=\"sat\"") : Copy(at, "<tr");
    at = Copy(at, " data-day=\"");
    at = PutNumber(at, year, 4);
    *at++ = '-';
    at = PutNumber(at, month, 2);
    *at++ = '-';
    at = PutNumber(at, date, 2);
    at = Copy(at, "\"><td>");
    at = PutNumber(at, month, 2);
    *at++ = '/';
    at = PutNumber(at, date, 2);
    at = Copy(at, "</td><td>");
    at = Copy(at, weekdays[weekday]);
    at = Copy(at, "</td><td>");
    if (cell.marks & MarkFromBefore) {
        at = Copy(Copy(Copy(at, "<span class=\"s\">"), words[MarkFromBefore]), "</span>");
    } else if (cell.firstStart >= 0) {
        at = PutNumber(at, cell.firstStart / 60, 2);
        *at++ = ':';
        at = PutNumber(at, cell.firstStart % 60, 2);
    }
    at = Copy(at, "</td><td>");
    if (cell.marks & (MarkRunsOn | MarkRunning | MarkCopied)) {
        int mark = cell.marks & MarkRunsOn ? MarkRunsOn : cell.marks & MarkRunning ? MarkRunning : MarkCopied;
        at = mark != MarkRunsOn ? Copy(at, "<span class=\"r\">") : Copy(at, "<span class=\"s\">");
        at = Copy(Copy(at, words[mark]), "</span>");
    } else if (cell.lastEnd >= 0) {
        at = PutNumber(at, cell.lastEnd / 60, 2);
        *at++ = ':';
        at = PutNumber(at, cell.lastEnd % 60, 2);
    }
    at = Copy(at, "</td><td>");
    if (cell.sessions) {
        at = PutNumber(at, cell.minutes / 60, 1);
        *at++ = ':';
        at = PutNumber(at, cell.minutes % 60, 2);
        at = PutNumber(Copy(at, "</td><td>"), cell.sessions, 1);
    } else {
        at = Copy(at, "</td><td>");
    }
    at = Copy(at, "</td><td>");
    static const int shown[] = {MarkRunning, MarkCrashed, MarkClockBack, MarkClockFault, MarkMismatch};
    static const char *const classes[] = {"<span class=\"r\">", "<span class=\"x\">", "<span class=\"c\">",
                                          "<span class=\"f\">", "<span class=\"f\">"};
    for (int i = 0; i < 5; i++) {
        if (cell.marks & shown[i]) {
            memcpy(at, classes[i], 16);
            at = Copy(Copy(at + 16, words[shown[i]]), "</span> ");
        }
    }
    if (cell.marks & MarkRewritten)
        at = Copy(Copy(Copy(at, "<span class=\"f\">"), rewritten), "</span> ");
    Done(at);
    if (cell.marks & MarkCopied) {
        Put("<span class=\"r\" title=\"");
        Put(copiedNote);
        Put("\">");
        Put(words[MarkCopied]);
        Put("</span> ");
    }
    at = Room(320);
    if (cell.marks & MarkOverlap) {
        at = Copy(Copy(Copy(at, "<span class=\"o\" title=\""), overlapped), " ");
        at = PutNumber(at, cell.overlapped / 60, 1);
        *at++ = ':';
        at = PutNumber(at, cell.overlapped % 60, 2);
        at = Copy(Copy(Copy(at, "\">"), words[MarkOverlap]), "</span>");
    }
    Done(at);
    if (gaps)
        AppendGapMarks(html, *gaps, userIndex, day);
    Put("</td><td class=\"t\">");
    if (gaps)
        AppendDeclaredSpan(html, *gaps, userIndex, day);
    Timeline(cell, day);
    Put("</td></tr>\n");
}

void MonthPage::UserDays(int index, int from, int to)
{
    const User &user = tally.users[index];
    userIndex = index;
    /* The events are by user and start. */
    ticks.clear();
    running.clear();
    auto at = std::lower_bound(tally.events.begin(), tally.events.end(), index,
                               [](const Event &event, int user) { return event.user < user; });
    for (; at != tally.events.end() && at->user == index; ++at) {
        if (at->mark == MarkRunning || at->mark == MarkCopied)
            running.push_back(*at);
        else if (DayOf(at->start) >= from && DayOf(at->start) <= to)
            ticks.push_back(*at);
    }
    nextTick = 0;

    Put("<section><h2 id=\"u");
    Number(index);
    Put("\">");
    Escaped(user.name);
    Put("</h2>\n<p>");
    AppendSums(html, SumDays(user, from, to), false);
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
        Number(hour);
        Put("</span>");
    }
    Put("</th></tr>\n");
    for (int day = from; day <= to; day++)
        DayRow(user, day);
    Put("</table></section>\n");
    Flush();
}

/* The month's users by department, each a link to their calendar, on
   this page or, for a month split by department, on their department's;
   on a page of more than one user. */
void MonthPage::Index(bool split)
{
    int month = MonthStart(first), users = 0;
    for (const User &user : tally.users)
        users += user.HasMonth(month);
    if (users < 2 && !departments)
        return;
    Put("<h2>");
    Put(IDS_USERINDEX);
    Put("</h2>\n");
    std::vector<int> all;
    size_t groups = departments ? departments->list.size() : 1;
    for (size_t d = 0; d < groups; d++) {
        const std::vector<int> &members = departments ? departments->list[d].users : (all = tally.Order());
        bool any = false;
        for (int index : members) {
            if (!tally.users[index].HasMonth(month))
                continue;
            if (!any && departments) {
                Put("<p class=\"ix\"><b>");
                Escaped(departments->list[d].name);
                Put("</b>: ");
            } else if (!any) {
                Put("<p class=\"ix\">");
            }
            any = true;
            Put("<a href=\"");
            if (split)
                Escaped(Narrow(departments->UserPage(tally, month, index), CP_UTF8));
            Put("#u");
            Number(index);
            Put("\">");
            Escaped(tally.users[index].name);
            Put("</a>");
        }
        Put(any ? "</p>\n" : "");
    }
}

void MonthPage::Write()
{
    bool untrusted = tally.faultCount || tally.mismatchCount || tally.rewriteCount;
    Text style = gaps ? GapsStyle : "";
    if (untrusted)
        style += UntrustedStyle;
    Text title = LoadBytes(IDS_TITLE, CP_UTF8) + " " + MonthTitle(first);
    if (department >= 0) {
        title += " ";
        AppendEscaped(title, departments->list[department].name);
        if (part) {
            title += " (";
            AppendNumber(title, part + 1);
            title += ")";
        }
    }
    Begin(title, style.c_str());
    Links();
    int month = MonthStart(first), from, to;
    bool split = departments && department < 0 && departments->Split(tally, month);
    if (department < 0)
        Index(split);
    if (!split) {
        Put("<p class=\"legend\">");
        Put(IDS_LEGEND);
        Put(IDS_LEGENDOVERLAP);
        if (tally.faultCount || tally.mismatchCount)
            Put(IDS_LEGENDUNTRUSTED);
        if (tally.rewriteCount)
            Put(IDS_LEGENDREWRITTEN);
        Put("</p>\n");
    }
    tally.MonthDays(month, &from, &to);
    int held = 0;
    for (int index : department < 0 ? tally.Order() : departments->list[department].users) {
        if (!tally.users[index].HasMonth(month) || split)
            continue;
        if (department < 0 || held++ / departments->pageUsers == part)
            UserDays(index, from, to);
    }
    Links();
    End();
}

void WriteOverview(OutFile &out, const Tally &tally, const Reading &reading, const Options &options,
                   const Outputs &outputs)
{
    Overview page(out, tally, reading, options, outputs);
    page.Write();
}

void WriteMonthPage(OutFile &out, const Tally &tally, const Gaps *gaps, int month, const Departments *departments,
                    int department, int part)
{
    MonthPage page(out, tally, gaps, month, departments, department, part);
    page.Write();
}
