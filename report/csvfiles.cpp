/*
 * Usage report: the two CSV files, for Excel on a Japanese PC: CP932,
 * CRLF, one header row, dates as yyyy/mm/dd and times as HH:mm so they
 * are read as such, durations both as minutes and as h:mm. A field is
 * quoted only where the format needs it, and a name that Excel would
 * take for a formula ("-- none --") is written as a formula giving the
 * name, so that it shows as written.
 */
#include "report.h"
#include "outfile.h"
#include "resource.h"

static void AppendField(Text &out, const char *field, size_t length)
{
    bool formula = length && (field[0] == '=' || field[0] == '+' || field[0] == '-' || field[0] == '@');
    bool quoted = formula;
    for (size_t i = 0; i < length && !quoted; i++)
        quoted = field[i] == ',' || field[i] == '"' || field[i] == '\r' || field[i] == '\n';
    if (!quoted) {
        out.append(field, length);
        return;
    }
    out += '"';
    if (formula)
        out += "=\"\"";
    for (size_t i = 0; i < length; i++) {
        if (field[i] == '"')
            out += formula ? "\"\"\"\"" : "\"\"";
        else
            out += field[i];
    }
    if (formula)
        out += "\"\"";
    out += '"';
}

static void AppendField(Text &out, const Text &field)
{
    AppendField(out, field.data(), field.size());
}

static void AppendDateAndClock(Text &out, int moment)
{
    AppendDate(out, DayOf(moment));
    out += ',';
    AppendClock(out, MinuteOfDay(moment));
}

SessionsCsv::SessionsCsv(OutFile &file, const Tally &counted, const Reading &read)
    : out(file), tally(counted), reading(read)
{
    states[MarkRunning] = LoadBytes(IDS_RUNNING, LogCodePage);
    states[MarkCrashed] = LoadBytes(IDS_CRASHED, LogCodePage);
    states[MarkClockBack] = LoadBytes(IDS_CLOCKBACK, LogCodePage);
    out.Put(LoadBytes(IDS_SESSIONSHEADER, LogCodePage) + "\r\n");
}

/* Name, start date and time, end date and time (none for a session that
   has not ended), minutes, h:mm, state, file, line. */
void SessionsCsv::Write(const Session &session)
{
    row.clear();
    AppendField(row, tally.users[session.user].csvName);
    row += ',';
    AppendDateAndClock(row, session.start);
    row += ',';
    if (session.mark == MarkRunning || session.mark == MarkCrashed)
        row += ',';
    else
        AppendDateAndClock(row, session.end);
    row += ',';
    AppendNumber(row, session.minutes);
    row += ',';
    AppendDuration(row, session.minutes);
    row += ',';
    row += states[session.mark];
    row += ',';
    AppendField(row, reading.files[session.file].shown);
    row += ',';
    AppendNumber(row, session.line);
    row += "\r\n";
    out.Put(row);
}

/* One row per user and day, empty days included: name, date, weekday,
   first start, last end, minutes, h:mm, sessions, marks. A time the day
   does not have (it began inside a session from the day before, a
   session runs on) is left empty and the mark says why. */
void WriteDaysCsv(OutFile &out, const Tally &tally)
{
    static const int marks[] = {MarkFromBefore, MarkRunsOn, MarkRunning, MarkCrashed, MarkClockBack};
    static const UINT words[] = {IDS_FROMBEFORE, IDS_RUNSON, IDS_RUNNING, IDS_CRASHED, IDS_CLOCKBACK};
    Text markWords[5], weekdays[7];
    for (int i = 0; i < 5; i++)
        markWords[i] = LoadBytes(words[i], LogCodePage);
    WText days = LoadWide(IDS_WEEKDAYS);
    for (int i = 0; i < 7 && i < (int)days.size(); i++)
        weekdays[i] = Narrow(days.substr(i, 1), LogCodePage);

    out.Put(LoadBytes(IDS_DAYSHEADER, LogCodePage) + "\r\n");
    Text row;
    for (int index : tally.Order()) {
        const User &user = tally.users[index];
        int first, last;
        tally.ShownDays(user, &first, &last);
        for (int day = first; day <= last; day++) {
            const Day &cell = user.DayAt(day);
            row.clear();
            AppendField(row, user.csvName);
            row += ',';
            AppendDate(row, day);
            row += ',';
            row += weekdays[WeekdayOf(day)];
            row += ',';
            if (cell.firstStart >= 0 && !(cell.marks & MarkFromBefore))
                AppendClock(row, cell.firstStart);
            row += ',';
            if (cell.lastEnd >= 0 && !(cell.marks & (MarkRunsOn | MarkRunning)))
                AppendClock(row, cell.lastEnd);
            row += ',';
            AppendNumber(row, cell.minutes);
            row += ',';
            AppendDuration(row, cell.minutes);
            row += ',';
            AppendNumber(row, cell.sessions);
            row += ',';
            const char *separator = "";
            for (int i = 0; i < 5; i++) {
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
