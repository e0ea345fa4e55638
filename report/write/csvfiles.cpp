/*
 * Usage report: the two CSV files, for Excel on a Japanese PC: CP932,
 * CRLF, one header row, dates as yyyy/mm/dd and times as HH:mm so they
 * are read as such, durations both as minutes and as h:mm. A field is
 * quoted only where the format needs it, and a name that Excel would
 * take for a formula ("-- none --"), a number or a date (00123, 1-2) is
 * written as a formula giving the name, so that it shows, and is saved
 * back, as written.
 */
#include "report.h"
#include "departments.h"
#include "outfile.h"
#include "resource.h"

#include <algorithm>
#include <cstring>
#include <map>

static const size_t BatchRows = 8192;

SessionsCsv::SessionsCsv(OutFile &file, const Tally &counted, const Reading &reading)
    : rows(1), out(file), tally(counted), thread(NULL), ready(0), idle(1), stop(false), monthFirst(1),
      monthLast(0)
{
    static const UINT words[][2] = {{MarkRunning, IDS_RUNNING}, {MarkCrashed, IDS_CRASHED},
                                    {MarkClockBack, IDS_CLOCKBACK}, {MarkClockFault, IDS_CLOCKFAULT},
                                    {MarkCopied, IDS_COPIED}};
    Text mismatch = LoadBytes(IDS_MISMATCH, LogCodePage);
    for (const UINT *word : words)
        states[0][word[0]] = LoadBytes(word[1], LogCodePage);
    Text rewritten = LoadBytes(IDS_REWRITTEN, LogCodePage);
    auto joined = [](const Text &state, const Text &word) { return state + (state.empty() ? "" : " ") + word; };
    for (int mark = 0; mark <= MarkCopied; mark++) {
        states[1][mark] = joined(states[0][mark], mismatch);
        states[2][mark] = joined(states[0][mark], rewritten);
        states[3][mark] = joined(states[1][mark], rewritten);
    }
    for (const SourceFile &source : reading.files) {
        fileFields.push_back(Text());
        AppendField(fileFields.back(), source.shown);
    }
    out.Put(HeaderWithDepartment(IDS_SESSIONSHEADER, reading.departments) + "\r\n");
    departments = reading.departments;
    filling.reserve(BatchRows);
    writing.reserve(BatchRows);
    /* Without a thread the rows are written as they come. */
    thread = CreateThread(NULL, 0, Run, this, 0, NULL);
}

void SessionsCsv::Write(const Session &session)
{
    while ((int)userFields.size() <= session.user) {
        userFields.push_back(Text());
        AppendField(userFields.back(), tally.users[userFields.size() - 1].csvName);
        if (departments)
            userFields.back() += ',' + departments->CsvField(tally.users[userFields.size() - 1].name);
    }
    Queued queued = {&userFields[session.user], session};
    filling.push_back(queued);
    if (filling.size() == BatchRows)
        Hand();
}

/* The filled batch goes to the writer once it has written the last. */
void SessionsCsv::Hand()
{
    if (!thread) {
        for (const Queued &queued : filling)
            WriteRow(queued);
    } else {
        idle.Take();
        filling.swap(writing);
        ready.Give();
    }
    filling.clear();
}

DWORD WINAPI SessionsCsv::Run(void *self)
{
    SessionsCsv &csv = *(SessionsCsv *)self;
    for (;;) {
        csv.ready.Take();
        if (csv.stop)
            return 0;
        for (const Queued &queued : csv.writing)
            csv.WriteRow(queued);
        csv.idle.Give();
    }
}

void SessionsCsv::Finish()
{
    if (!filling.empty())
        Hand();
    if (thread) {
        idle.Take();
        stop = true;
        ready.Give();
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        thread = NULL;
    }
}

static char *PutText(char *at, const Text &text)
{
    memcpy(at, text.data(), text.size());
    return at + text.size();
}

static inline __attribute__((always_inline)) char *PutTwo(char *at, unsigned value)
{
    at[0] = (char)('0' + value / 10);
    at[1] = (char)('0' + value % 10);
    return at + 2;
}

/* ",yyyy/mm/dd,HH:mm", on the writer's thread. */
char *SessionsCsv::PutStamp(char *at, int moment)
{
    int day = DayOf(moment), minute = moment - day * MinutesPerDay;
    if (day < monthFirst || day > monthLast) {
        int year, month, date;
        DateOf(day, &year, &month, &date);
        monthFirst = day - date + 1;
        monthLast = monthFirst + DaysInMonth(year, month) - 1;
        PutTwo(PutTwo(monthText, year / 100), year % 100);
        monthText[4] = '/';
        PutTwo(monthText + 5, month);
        monthText[7] = '/';
    }
    *at++ = ',';
    memcpy(at, monthText, 8);
    at = PutTwo(at + 8, day - monthFirst + 1);
    *at++ = ',';
    at = PutTwo(at, minute / 60);
    *at++ = ':';
    return PutTwo(at, minute % 60);
}

/* Name, start date and time, end date and time (none for a session that
   has not ended), minutes, h:mm, state, file, line. Made in place: this
   runs once for every line of every log. */
void SessionsCsv::WriteRow(const Queued &queued)
{
    const Session &session = queued.session;
    const Text &name = *queued.name, &file = fileFields[session.file];
    const Text &state = states[session.mismatch + 2 * session.rewritten][session.mark];
    row.resize(name.size() + file.size() + state.size() + 96);
    char *at = PutText(row.data(), name);
    at = PutStamp(at, session.start);
    if (session.mark == MarkRunning || session.mark == MarkCopied || session.mark == MarkCrashed ||
        session.end == NoMoment) {
        *at++ = ',';
        *at++ = ',';
    } else {
        at = PutStamp(at, session.end);
    }
    *at++ = ',';
    at = PutNumber(at, session.minutes, 1);
    *at++ = ',';
    at = PutNumber(at, session.minutes / 60, 1);
    *at++ = ':';
    at = PutTwo(at, session.minutes % 60);
    *at++ = ',';
    at = PutText(at, state);
    *at++ = ',';
    at = PutText(at, file);
    *at++ = ',';
    at = PutNumber(at, session.line, 1);
    *at++ = '\r';
    *at++ = '\n';
    out.Put(row.data(), at - row.data());
    rows++;
}

/* The first day of the month of a row's start date, after its name. */
static int MonthOfRow(const char *row, const char *end)
{
    const char *at = row;
    if (at < end && *at == '"') {
        for (at++; at < end && !(*at == '"' && (at + 1 == end || at[1] != '"')); at++)
            if (*at == '"')
                at++;
        at++;
    }
    while (at < end && *at != ',')
        at++;
    int year = 0, month = 0;
    for (int i = 1; i <= 7 && at + i < end; i++)
        if (at[i] >= '0' && at[i] <= '9')
            (i <= 4 ? year : month) = (i <= 4 ? year : month) * 10 + (at[i] - '0');
    return IsDate(year, month, 1) ? DayNumber(year, month, 1) : DayNumber(2000, 1, 1);
}

/* Parts are open side by side, as many as there are months, so each
   keeps a smaller buffer. */
bool SplitSessions(const WText &path, const WText &folder, std::vector<WText> &names, DWORD *error)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return false;
    }
    std::map<int, OutFile> parts;
    std::vector<char> piece(1 << 20);
    Text header, rest;
    *error = 0;
    for (DWORD got; !*error;) {
        if (!ReadFile(file, piece.data(), (DWORD)piece.size(), &got, NULL)) {
            *error = GetLastError();
            break;
        }
        if (!got)
            break;
        rest.append(piece.data(), got);
        size_t at = 0;
        for (size_t end; !*error && (end = rest.find('\n', at)) != Text::npos; at = end + 1) {
            const char *row = rest.data() + at;
            if (header.empty()) {
                header.assign(row, end + 1 - at);
                continue;
            }
            int month = MonthOfRow(row, rest.data() + end);
            bool fresh = parts.find(month) == parts.end();
            OutFile &part = parts[month];
            if (fresh && !part.Create(folder, 64 * 1024))
                *error = part.error;
            else if (fresh)
                part.Put(header);
            part.Put(row, end + 1 - at);
        }
        rest.erase(0, at);
    }
    CloseHandle(file);
    for (std::pair<const int, OutFile> &part : parts) {
        names.push_back(MonthFile(part.first, SessionsName));
        if (!*error && (!part.second.Close() || !part.second.Replace(Join(folder, names.back()))))
            *error = part.second.error;
    }
    return !*error;
}

/* One row per user and day of each month in which the user has
   something, empty days included: name, date, weekday, first start, last
   end, minutes, h:mm, sessions, marks. A time the day does not have (it
   began inside a session from the day before, a session runs on) is left
   empty and the mark says why. */
void WriteDaysCsv(OutFile &out, const Tally &tally, int from, int to, const Departments *departments)
{
    static const int marks[] = {MarkFromBefore, MarkRunsOn, MarkRunning, MarkCopied, MarkCrashed, MarkClockBack,
                                MarkOverlap, MarkClockFault, MarkMismatch, MarkRewritten};
    static const UINT words[] = {IDS_FROMBEFORE, IDS_RUNSON, IDS_RUNNING, IDS_COPIED, IDS_CRASHED, IDS_CLOCKBACK,
                                 IDS_OVERLAP, IDS_CLOCKFAULT, IDS_MISMATCH, IDS_REWRITTEN};
    const int count = sizeof marks / sizeof marks[0];
    Text markWords[count], weekdays[7];
    for (int i = 0; i < count; i++)
        markWords[i] = LoadBytes(words[i], LogCodePage);
    WText days = LoadWide(IDS_WEEKDAYS);
    for (int i = 0; i < 7 && i < (int)days.size(); i++)
        weekdays[i] = Narrow(days.substr(i, 1), LogCodePage);

    out.Put(HeaderWithDepartment(IDS_DAYSHEADER, departments) + "\r\n");
    Text row;
    for (int index : tally.Order()) {
        const User &user = tally.users[index];
        int first, last;
        tally.ShownDays(user, &first, &last);
        for (int day = std::max(first, from); day <= std::min(last, to); day++) {
            /* A month without anything of the user's has no rows. */
            int month = MonthStart(day);
            if ((day == std::max(first, from) || day == month) && !user.HasMonth(month)) {
                day = MonthEnd(day);
                continue;
            }
            const Day &cell = user.DayAt(day);
            row.clear();
            AppendField(row, user.csvName);
            if (departments)
                row += ',' + departments->list[departments->ofUser[index]].csvField;
            row += ',';
            AppendDate(row, day);
            row += ',';
            row += weekdays[WeekdayOf(day)];
            row += ',';
            if (cell.firstStart >= 0 && !(cell.marks & MarkFromBefore))
                AppendClock(row, cell.firstStart);
            row += ',';
            if (cell.lastEnd >= 0 && !(cell.marks & (MarkRunsOn | MarkRunning | MarkCopied)))
                AppendClock(row, cell.lastEnd);
            row += ',';
            AppendNumber(row, cell.minutes);
            row += ',';
            AppendDuration(row, cell.minutes);
            row += ',';
            AppendNumber(row, cell.sessions);
            row += ',';
            const char *separator = "";
            for (int i = 0; i < count; i++) {
                if (cell.marks & marks[i]) {
                    row += separator;
                    row += markWords[i];
                    separator = " ";
                }
            }
            row += "\r\n";
            out.Put(row);
        }
    }
}

int DaysRows(const Tally &tally)
{
    int rows = 1;
    for (const User &user : tally.users) {
        for (int month : user.months) {
            int first, last;
            tally.MonthDays(month, &first, &last);
            rows += last - first + 1;
        }
    }
    return rows;
}
