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

#include <cstring>

static void AppendField(Text &out, const Text &field)
{
    char first = field.empty() ? '\0' : field[0];
    bool formula = first == '=' || first == '+' || first == '-' || first == '@';
    if (!formula && field.find_first_of(",\"\r\n") == Text::npos) {
        out += field;
        return;
    }
    out += '"';
    if (formula)
        out += "=\"\"";
    for (char c : field) {
        if (c == '"')
            out += formula ? "\"\"\"\"" : "\"\"";
        else
            out += c;
    }
    if (formula)
        out += "\"\"";
    out += '"';
}

SessionsCsv::SessionsCsv(OutFile &file, const Tally &counted, const Reading &reading)
    : out(file), tally(counted)
{
    states[MarkRunning] = LoadBytes(IDS_RUNNING, LogCodePage);
    states[MarkCrashed] = LoadBytes(IDS_CRASHED, LogCodePage);
    states[MarkClockBack] = LoadBytes(IDS_CLOCKBACK, LogCodePage);
    for (const SourceFile &source : reading.files) {
        fileFields.push_back(Text());
        AppendField(fileFields.back(), source.shown);
    }
    out.Put(LoadBytes(IDS_SESSIONSHEADER, LogCodePage) + "\r\n");
}

static char *PutText(char *at, const Text &text)
{
    memcpy(at, text.data(), text.size());
    return at + text.size();
}

/* ",yyyy/mm/dd,HH:mm" */
static char *PutStamp(char *at, int moment)
{
    int year, month, day, minute = MinuteOfDay(moment);
    DateOf(DayOf(moment), &year, &month, &day);
    *at++ = ',';
    at = PutNumber(at, year, 4);
    *at++ = '/';
    at = PutNumber(at, month, 2);
    *at++ = '/';
    at = PutNumber(at, day, 2);
    *at++ = ',';
    at = PutNumber(at, minute / 60, 2);
    *at++ = ':';
    return PutNumber(at, minute % 60, 2);
}

/* Name, start date and time, end date and time (none for a session that
   has not ended), minutes, h:mm, state, file, line. Made in place: this
   runs once for every line of every log. */
void SessionsCsv::Write(const Session &session)
{
    while ((int)userFields.size() <= session.user) {
        userFields.push_back(Text());
        AppendField(userFields.back(), tally.users[userFields.size() - 1].csvName);
    }
    const Text &name = userFields[session.user], &file = fileFields[session.file];
    const Text &state = states[session.mark];
    row.resize(name.size() + file.size() + state.size() + 96);
    char *at = PutText(row.data(), name);
    at = PutStamp(at, session.start);
    if (session.mark == MarkRunning || session.mark == MarkCrashed) {
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
    at = PutNumber(at, session.minutes % 60, 2);
    *at++ = ',';
    at = PutText(at, state);
    *at++ = ',';
    at = PutText(at, file);
    *at++ = ',';
    at = PutNumber(at, session.line, 1);
    *at++ = '\r';
    *at++ = '\n';
    out.Put(row.data(), at - row.data());
}

/* One row per user and day, empty days included: name, date, weekday,
   first start, last end, minutes, h:mm, sessions, marks. A time the day
   does not have (it began inside a session from the day before, a
   session runs on) is left empty and the mark says why. */
void WriteDaysCsv(OutFile &out, const Tally &tally)
{
    static const int marks[] = {MarkFromBefore, MarkRunsOn, MarkRunning, MarkCrashed, MarkClockBack,
                                MarkOverlap};
    static const UINT words[] = {IDS_FROMBEFORE, IDS_RUNSON, IDS_RUNNING, IDS_CRASHED, IDS_CLOCKBACK,
                                 IDS_OVERLAP};
    Text markWords[6], weekdays[7];
    for (int i = 0; i < 6; i++)
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
            for (int i = 0; i < 6; i++) {
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
