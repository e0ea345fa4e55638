/*
 * Usage report: the comparison. A session without minutes (a crash, the
 * clock set back) gives its work day a start only; a running one ends at
 * the report's time, as the tally counts it. A gap of exactly the
 * threshold is not a gap.
 */
#include "gaps.h"
#include "resource.h"

#include <algorithm>

GapWords::GapWords(UINT codePage)
{
    for (int i = 0; i < GapFlagCount; i++)
        words[i] = LoadBytes(IDS_GAPEARLY + i, codePage);
    separator = Narrow(L"\x3001", codePage);
    WText days = LoadWide(IDS_WEEKDAYS);
    for (int i = 0; i < 7 && i < (int)days.size(); i++)
        weekdays[i] = Narrow(days.substr(i, 1), codePage);
}

/* Times as HH:mm, past 24:00 for the next days; empty where none. */
static void AppendCell(Text &out, int value, bool time, const char *between)
{
    if (value >= 0 && time)
        AppendClock(out, value);
    else if (value >= 0)
        AppendNumber(out, value);
    out += between;
}

void GapWords::AppendCells(Text &out, const GapDay &gap, const char *between) const
{
    AppendDate(out, gap.day);
    out += between;
    out += weekdays[WeekdayOf(gap.day)];
    out += between;
    AppendCell(out, gap.declaredStart, true, between);
    AppendCell(out, gap.declaredEnd, true, between);
    AppendCell(out, gap.pcFirst, true, between);
    AppendCell(out, gap.pcLast, true, between);
    AppendCell(out, gap.before, false, between);
    AppendCell(out, gap.after, false, between);
    AppendFlags(out, gap.flags);
}

void GapWords::AppendFlags(Text &out, int flags) const
{
    bool first = true;
    for (int i = 0; i < GapFlagCount; i++) {
        if (flags & 1 << i) {
            if (!first)
                out += separator;
            out += words[i];
            first = false;
        }
    }
}

Gaps::Gaps(const Tally &counted, const Timesheets &read, int minutes, SessionSink *then)
    : tally(counted), sheets(read), threshold(minutes), pageWords(CP_UTF8),
      declaredWord(LoadBytes(IDS_DECLARED, CP_UTF8)), reasons(NULL), next(then)
{
}

/* Looked up once per user, when its first session comes. */
GapUser &Gaps::UserOf(int index)
{
    if ((int)users.size() <= index)
        users.resize(index + 1);
    GapUser &user = users[index];
    if (!user.known) {
        const Text &name = tally.users[index].name;
        user.known = true;
        user.person = sheets.Find(NameKey(Widen(name.data(), name.size(), CP_UTF8)));
    }
    return user;
}

/* The days grow at least twice as long each time, on the side of the
   new day, so the files' sessions coming in any order cost little. */
GapDay &Gaps::DayAt(GapUser &user, int day)
{
    int size = (int)user.days.size();
    if (!size || day < user.firstDay || day >= user.firstDay + size) {
        int last = size ? std::max(day, user.firstDay + size - 1) : day;
        int length = std::max(last - std::min(day, size ? user.firstDay : day) + 1, 2 * size);
        int first = size && day >= user.firstDay ? user.firstDay : last - length + 1;
        std::vector<GapDay> days(length, GapDay{-1, -1, -1, -1, -1, -1, -1, 0});
        std::copy(user.days.begin(), user.days.end(), days.begin() + (user.firstDay - first));
        user.days.swap(days);
        user.firstDay = first;
    }
    GapDay &gap = user.days[day - user.firstDay];
    gap.day = day;
    return gap;
}

/* A session counts for the work day it started on, its times from that
   day's midnight. */
void Gaps::Write(const Session &session)
{
    if (next)
        next->Write(session);
    /* A clock fault's stamps are not the PC's use. */
    if (session.mark == MarkClockFault)
        return;
    GapUser &user = UserOf(session.user);
    int day = DayOf(session.start);
    if (!user.person || day < tally.firstDay || day > tally.lastDay)
        return;
    GapDay &gap = DayAt(user, day);
    int start = session.start - day * MinutesPerDay, end = session.end - day * MinutesPerDay;
    if (gap.pcFirst < 0 || start < gap.pcFirst)
        gap.pcFirst = start;
    bool ended = session.mark != MarkCrashed && session.mark != MarkClockBack;
    if (ended && end > gap.pcLast)
        gap.pcLast = end;
}

void Gaps::Compare(GapDay &gap) const
{
    bool start = gap.declaredStart >= 0, end = gap.declaredEnd >= 0;
    if (gap.pcFirst < 0) {
        gap.flags = start || end ? GapNoPc : 0;
        return;
    }
    if (!start && !end)
        gap.flags |= GapUndeclared;
    else if (!start)
        gap.flags |= GapNoStart;
    else if (!end)
        gap.flags |= GapNoEnd;
    if (start) {
        gap.before = std::max(0, gap.declaredStart - gap.pcFirst);
        gap.flags |= gap.before > threshold ? GapEarly : 0;
    }
    if (end && gap.pcLast >= 0) {
        gap.after = std::max(0, gap.pcLast - gap.declaredEnd);
        gap.flags |= gap.after > threshold ? GapLate : 0;
    }
}

/* Each compared user's days in the period that have a declared row or a
   session. */
void Gaps::Finish()
{
    std::vector<const Person *> matched;
    for (int index : tally.Order()) {
        GapUser &user = UserOf(index);
        if (!user.person)
            continue;
        matched.push_back(user.person);
        order.push_back(index);
        auto stop = user.person->days.upper_bound(tally.lastDay);
        for (auto at = user.person->days.lower_bound(tally.firstDay); at != stop; ++at) {
            GapDay &gap = DayAt(user, at->first);
            gap.declaredStart = at->second.start;
            gap.declaredEnd = at->second.end;
        }
        for (GapDay &gap : user.days) {
            if (gap.day < 0)
                continue;
            Compare(gap);
            user.compared++;
            user.flagged += gap.flags != 0;
            user.before += std::max(gap.before, 0);
            user.after += std::max(gap.after, 0);
        }
    }
    for (const auto &person : sheets.persons)
        if (std::find(matched.begin(), matched.end(), &person.second) == matched.end())
            unmatched.push_back(&person.second);
}

const GapDay *Gaps::Find(int index, int day) const
{
    if (index < 0 || index >= (int)users.size())
        return NULL;
    const GapUser &user = users[index];
    int at = day - user.firstDay;
    return at >= 0 && at < (int)user.days.size() && user.days[at].day >= 0 ? &user.days[at] : NULL;
}
