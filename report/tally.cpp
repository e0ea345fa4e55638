/*
 * Usage report: the tally of sessions and days.
 *
 * The same user and start seen in several files (the open line an archive
 * shares with the log that was initialised from it, a file given twice)
 * is one session; inside one file they are sessions of their own, as when
 * the recorder crashed and started again within the minute. A completed
 * record is counted at once unless an earlier file had its start; an
 * open one waits until every log has been read, so that a completed twin
 * always wins, and among open twins one that is not the last line of its
 * log (so it crashed) wins over one that looks still running.
 */
#include "tally.h"

#include <algorithm>
#include <cstring>

const Day EmptyDay = {0, 0, 0, -1, -1, 0, 0, {}};

const Day &User::DayAt(int day) const
{
    int block = (day >> BlockShift) - firstBlock;
    if (block < 0 || block >= (int)blocks.size())
        return EmptyDay;
    return blocks[block][day & (BlockDays - 1)];
}

Tally::Tally(int first, int last, int reportTime)
    : firstDay(first), lastDay(last), now(reportTime), sink(NULL), shownFirst(first),
      shownLast(last)
{
    for (Recent &recent : recents)
        recent.user = -1;
}

/* The log's bytes name a user; the same name from a CP932 log and from
   one saved as UTF-8 is the same user. Lines of a few users alternate, so
   the bytes last seen are looked up first, in a small table by hash. */
int Tally::UserOf(const char *name, int length, UINT codePage)
{
    char tag = codePage == LogCodePage ? 's' : 'u';
    unsigned hash = 2166136261u ^ (unsigned char)tag;
    for (int i = 0; i < length; i++)
        hash = (hash ^ (unsigned char)name[i]) * 16777619u;
    Recent &recent = recents[hash % RecentCount];
    if (recent.user >= 0 && (int)recent.raw.size() == length + 1 && recent.raw[0] == tag &&
        memcmp(recent.raw.data() + 1, name, length) == 0)
        return recent.user;

    recent.raw.assign(1, tag);
    recent.raw.append(name, length);
    std::map<Text, int>::iterator raw = byRaw.find(recent.raw);
    if (raw != byRaw.end())
        return recent.user = raw->second;

    WText wide = Widen(name, length, codePage);
    Text utf8 = Narrow(wide, CP_UTF8);
    std::map<Text, int>::iterator known = byName.find(utf8);
    if (known == byName.end()) {
        User user;
        user.name = utf8;
        user.csvName = codePage == LogCodePage ? Text(name, length) : Narrow(wide, LogCodePage);
        user.firstBlock = 0;
        users.push_back(user);
        known = byName.insert(std::make_pair(utf8, (int)users.size() - 1)).first;
    }
    byRaw[recent.raw] = known->second;
    return recent.user = known->second;
}

Day &Tally::DayAt(User &user, int day)
{
    int block = day >> BlockShift;
    std::vector<std::vector<Day>> &blocks = user.blocks;
    if (blocks.empty())
        user.firstBlock = block;
    if (block < user.firstBlock) {
        blocks.insert(blocks.begin(), user.firstBlock - block, std::vector<Day>(BlockDays, EmptyDay));
        user.firstBlock = block;
    }
    while (block - user.firstBlock >= (int)blocks.size())
        blocks.emplace_back(BlockDays, EmptyDay);
    return blocks[block - user.firstBlock][day & (BlockDays - 1)];
}

bool Tally::CountedBefore(int user, int start) const
{
    unsigned minute = MinuteOfDay(start);
    const Day &cell = users[user].DayAt(DayOf(start));
    return (cell.startSlots >> (minute / 32) & 1) && (cell.bits[minute / 64].starts >> (minute % 64) & 1);
}

void Tally::EndFile()
{
    for (const std::pair<int, int> &key : fileStarts) {
        unsigned minute = MinuteOfDay(key.second);
        Day &cell = DayAt(users[key.first], DayOf(key.second));
        cell.startSlots |= 1ULL << (minute / 32);
        cell.bits[minute / 64].starts |= 1ULL << (minute % 64);
    }
    fileStarts.clear();
}

/* A session's last minute is the one before its end. */
bool Tally::Overlaps(int start, int end) const
{
    return DayOf(end > start ? end - 1 : start) >= firstDay && DayOf(start) <= lastDay;
}

static int Bits(unsigned long long x)
{
    x -= (x >> 1) & 0x5555555555555555ULL;
    x = (x & 0x3333333333333333ULL) + ((x >> 2) & 0x3333333333333333ULL);
    x = (x + (x >> 4)) & 0x0f0f0f0f0f0f0f0fULL;
    return (int)((x * 0x0101010101010101ULL) >> 56);
}

/* Marks the minutes from to to in use, a word at a time; those already
   in use are in use twice. */
static void SetMinutes(Day &cell, int from, int to)
{
    while (from < to) {
        int word = from / 64, last = std::min(to, (word + 1) * 64);
        int count = last - from;
        unsigned long long mask = count == 64 ? ~0ULL : ((1ULL << count) - 1) << (from % 64);
        Day::Minutes &bits = cell.bits[word];
        unsigned long long again = mask & bits.used;
        cell.minutes += (short)count;
        if (again) {
            cell.minutes -= (short)Bits(again);
            cell.overlapped += (short)Bits(again & ~bits.twice);
            bits.twice |= again;
        }
        bits.used |= mask;
        from = last;
    }
    if (cell.overlapped)
        cell.marks |= MarkOverlap;
}

void Tally::Count(const Session &session)
{
    User &user = users[session.user];
    int mark = session.mark;

    /* A session without minutes shows on its first day only. */
    if (mark == MarkCrashed || mark == MarkClockBack || session.end < session.start) {
        int day = DayOf(session.start);
        if (day < firstDay || day > lastDay)
            return;
        Day &cell = DayAt(user, day);
        cell.sessions++;
        if (cell.firstStart < 0 || MinuteOfDay(session.start) < cell.firstStart)
            cell.firstStart = (short)MinuteOfDay(session.start);
        cell.marks |= (unsigned char)mark;
        return;
    }

    for (int day = std::max(DayOf(session.start), firstDay); day <= lastDay; day++) {
        int midnight = day * MinutesPerDay;
        int from = std::max(session.start, midnight);
        int to = std::min(session.end, midnight + MinutesPerDay);
        Day &cell = DayAt(user, day);
        cell.sessions++;
        SetMinutes(cell, from - midnight, to - midnight);
        if (from > session.start)
            cell.marks |= MarkFromBefore;
        else if (cell.firstStart < 0 || from - midnight < cell.firstStart)
            cell.firstStart = (short)(from - midnight);
        if (to < session.end)
            cell.marks |= MarkRunsOn;
        else if (mark == MarkRunning)
            cell.marks |= MarkRunning;
        else if (to - midnight > cell.lastEnd)
            cell.lastEnd = (short)(to - midnight);
        if (session.end <= midnight + MinutesPerDay)
            break;
    }
}

void Tally::Emit(const Session &session)
{
    if (!Overlaps(session.start, session.end))
        return;
    Count(session);
    if (session.mark) {
        Event event = {session.user, session.start, session.end, session.mark};
        events.push_back(event);
    }
    if (sink)
        sink->Write(session);
}

void Tally::AddEnded(int user, int start, int end, int file, int line)
{
    if (CountedBefore(user, start))
        return;
    fileStarts.push_back(std::make_pair(user, start));
    Session session = {user, start, end, std::max(end - start, 0), end < start ? MarkClockBack : 0,
                       file, line};
    Emit(session);
}

void Tally::AddOpen(int user, int start, bool last, bool twin, int file, int line)
{
    Open record = {user, start, file, line, last, twin};
    open.push_back(record);
}

void Tally::Finish()
{
    EndFile();
    std::sort(open.begin(), open.end(), [](const Open &a, const Open &b) {
        if (a.user != b.user)
            return a.user < b.user;
        if (a.start != b.start)
            return a.start < b.start;
        if (a.last != b.last)
            return !a.last;
        return a.file != b.file ? a.file < b.file : a.line < b.line;
    });
    for (size_t i = 0, next; i < open.size(); i = next) {
        const Open &record = open[i];
        bool twin = false;
        for (next = i; next < open.size() && open[next].user == record.user &&
                       open[next].start == record.start; next++)
            twin = twin || open[next].twin;
        if (CountedBefore(record.user, record.start) && !twin)
            continue;
        Session session = {record.user, record.start, record.start, 0, MarkCrashed,
                           record.file, record.line};
        if (record.last) {
            session.end = std::max(now, record.start);
            session.minutes = session.end - session.start;
            session.mark = MarkRunning;
        }
        Emit(session);
    }
    open.clear();
    /* By user and start, for the pages. */
    std::sort(events.begin(), events.end(), [](const Event &a, const Event &b) {
        return a.user != b.user ? a.user < b.user : a.start < b.start;
    });

    /* What the writers show: every day from the first to the last that
       has a session, widened to whole months and cut to the counted days,
       so a range given that ends inside a month ends the days there. */
    int first = lastDay + 1, last = firstDay - 1;
    for (User &user : users) {
        user.shownFirst = lastDay + 1;
        user.shownLast = firstDay - 1;
        for (int i = 0; i < (int)user.blocks.size() * BlockDays; i++) {
            int day = user.firstBlock * BlockDays + i;
            if (user.blocks[i / BlockDays][i % BlockDays].sessions && day >= firstDay && day <= lastDay) {
                user.shownFirst = std::min(user.shownFirst, day);
                user.shownLast = std::max(user.shownLast, day);
            }
        }
        first = std::min(first, user.shownFirst);
        last = std::max(last, user.shownLast);
    }
    if (first <= last) {
        shownFirst = std::max(firstDay, MonthStart(first));
        shownLast = std::min(lastDay, MonthEnd(last));
    }
}

void Tally::ShownDays(const User &user, int *first, int *last) const
{
    *first = 1;
    *last = 0;
    if (user.shownFirst <= user.shownLast) {
        *first = std::max(shownFirst, MonthStart(user.shownFirst));
        *last = std::min(shownLast, MonthEnd(user.shownLast));
    }
}

std::vector<int> Tally::Order() const
{
    std::vector<int> order;
    for (int i = 0; i < (int)users.size(); i++)
        order.push_back(i);
    std::sort(order.begin(), order.end(),
              [this](int a, int b) { return users[a].name < users[b].name; });
    return order;
}
