/*
 * Usage report: the comparison. A session without minutes (a crash, the
 * clock set back) gives its work day a start only; a running one ends at
 * the report's time, as the tally counts it. A gap of exactly the
 * threshold is not a gap.
 */
#include "gaps.h"
#include "resource.h"

#include <algorithm>

FlagWords::FlagWords(UINT codePage)
{
    for (int i = 0; i < GapFlagCount; i++)
        words[i] = LoadBytes(IDS_GAPEARLY + i, codePage);
    separator = Narrow(L"\x3001", codePage);
}

void FlagWords::Append(Text &out, int flags) const
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
    : tally(counted), sheets(read), threshold(minutes), pageFlags(CP_UTF8),
      declaredWord(LoadBytes(IDS_DECLARED, CP_UTF8)), next(then)
{
}

/* Looked up once per user, when its first session comes. */
Gaps::Record &Gaps::RecordOf(int user)
{
    if ((int)records.size() <= user)
        records.resize(user + 1);
    Record &record = records[user];
    if (!record.known) {
        const Text &name = tally.users[user].name;
        std::map<WText, Person>::const_iterator person =
            sheets.persons.find(NameKey(Widen(name.data(), name.size(), CP_UTF8)));
        record.known = true;
        record.person = person != sheets.persons.end() ? &person->second : NULL;
        record.gap = -1;
    }
    return record;
}

void Gaps::Write(const Session &session)
{
    if (next)
        next->Write(session);
    Record &record = RecordOf(session.user);
    int day = DayOf(session.start);
    if (!record.person || day < tally.firstDay || day > tally.lastDay)
        return;
    int size = (int)record.days.size();
    if (!size || day < record.firstDay || day >= record.firstDay + size) {
        /* Room for as many days again past the new one, as the logs
           mostly go forward. */
        int first = size ? std::min(day, record.firstDay) : day;
        int last = std::max(day, record.firstDay + size - 1);
        std::vector<WorkDay> days(last - first + 1 + size, WorkDay{-1, -1});
        std::copy(record.days.begin(), record.days.end(), days.begin() + (record.firstDay - first));
        record.days.swap(days);
        record.firstDay = first;
    }
    WorkDay &work = record.days[day - record.firstDay];
    if (work.first < 0 || session.start < work.first)
        work.first = session.start;
    bool ended = session.mark != MarkCrashed && session.mark != MarkClockBack;
    if (ended && session.end > work.last)
        work.last = session.end;
}

GapDay Gaps::Compare(int day, const Declared *declared, const WorkDay *work) const
{
    GapDay gap = {day, -1, -1, -1, -1, -1, -1, 0};
    int midnight = day * MinutesPerDay;
    if (declared) {
        gap.declaredStart = declared->start;
        gap.declaredEnd = declared->end;
    }
    if (work) {
        gap.pcFirst = work->first - midnight;
        gap.pcLast = work->last < 0 ? -1 : work->last - midnight;
    }
    bool start = gap.declaredStart >= 0, end = gap.declaredEnd >= 0;
    if (!work) {
        gap.flags = start || end ? GapNoPc : 0;
        return gap;
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
    return gap;
}

/* Each compared user's days in the period that have a declared row or a
   session, in order: the declared days and the work days merged. */
void Gaps::Finish()
{
    std::vector<const Person *> matched;
    for (int index : tally.Order()) {
        Record &record = RecordOf(index);
        if (!record.person)
            continue;
        matched.push_back(record.person);
        record.gap = (int)users.size();
        users.push_back(GapUser{index, std::vector<GapDay>(), 0, 0, 0});
        GapUser &user = users.back();
        auto declared = record.person->days.lower_bound(tally.firstDay);
        auto stop = record.person->days.upper_bound(tally.lastDay);
        size_t pc = 0;
        for (;;) {
            while (pc < record.days.size() && record.days[pc].first < 0)
                pc++;
            int pcDay = pc < record.days.size() ? record.firstDay + (int)pc : tally.lastDay + 1;
            int declaredDay = declared != stop ? declared->first : tally.lastDay + 1;
            int day = std::min(pcDay, declaredDay);
            if (day > tally.lastDay)
                break;
            GapDay gap = Compare(day, declaredDay == day ? &declared->second : NULL,
                                 pcDay == day ? &record.days[pc] : NULL);
            declared = declaredDay == day ? std::next(declared) : declared;
            pc += pcDay == day;
            user.days.push_back(gap);
            user.flagged += gap.flags != 0;
            user.before += std::max(gap.before, 0);
            user.after += std::max(gap.after, 0);
        }
    }
    for (const auto &person : sheets.persons)
        if (std::find(matched.begin(), matched.end(), &person.second) == matched.end())
            unmatched.push_back(&person.second);
}

const GapDay *Gaps::Find(int user, int day) const
{
    if (user < 0 || user >= (int)records.size() || records[user].gap < 0)
        return NULL;
    const std::vector<GapDay> &days = users[records[user].gap].days;
    auto at = std::lower_bound(days.begin(), days.end(), day,
                               [](const GapDay &gap, int wanted) { return gap.day < wanted; });
    return at != days.end() && at->day == day ? &*at : NULL;
}
