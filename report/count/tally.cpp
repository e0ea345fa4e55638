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
 *
 * A clock fault is one session by the same rules, known by its user and
 * start in lists of its own: its wrong start must make no day's cell.
 * Only where its end is in order is its end's day marked.
 */
#include "tally.h"

#include <algorithm>
#include <cstring>

const Day EmptyDay = {0, 0, 0, -1, -1, 0, -1, 0, {}};

FOR_SPEED const Day &User::DayAt(int day) const
{
    int block = (day >> BlockShift) - firstBlock;
    if (block < 0 || block >= (int)blocks.size())
        return EmptyDay;
    CellIndex cell = blocks[block].cells[day & (BlockDays - 1)];
    return cell == NoCell ? EmptyDay : chunks[cell >> ChunkShift][cell & (ChunkCells - 1)];
}

bool User::HasMonth(int month) const
{
    return std::binary_search(months.begin(), months.end(), month);
}

Tally::Tally(int first, int last, int reportTime)
    : firstDay(first), lastDay(last), now(reportTime), sink(NULL), shownFirst(first),
      shownLast(last), faultCount(0), mismatchCount(0), rewriteCount(0), fileStartsInOrder(true)
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

/* The day's cell, made empty if it has none. */
FOR_SPEED Day &Tally::DayAt(User &user, int day)
{
    static const Block none = {{NoCell, NoCell, NoCell, NoCell, NoCell, NoCell, NoCell, NoCell,
                                NoCell, NoCell, NoCell, NoCell, NoCell, NoCell, NoCell, NoCell,
                                NoCell, NoCell, NoCell, NoCell, NoCell, NoCell, NoCell, NoCell,
                                NoCell, NoCell, NoCell, NoCell, NoCell, NoCell, NoCell, NoCell}};
    int block = day >> BlockShift;
    std::vector<Block> &blocks = user.blocks;
    if (blocks.empty())
        user.firstBlock = block;
    if (block < user.firstBlock) {
        blocks.insert(blocks.begin(), user.firstBlock - block, none);
        user.firstBlock = block;
    }
    if (block - user.firstBlock >= (int)blocks.size())
        blocks.resize(block - user.firstBlock + 1, none);
    CellIndex &cell = blocks[block - user.firstBlock].cells[day & (BlockDays - 1)];
    if (cell == NoCell) {
        if (user.chunks.empty() || user.chunks.back().size() == ChunkCells) {
            user.chunks.emplace_back();
            user.chunks.back().reserve(ChunkCells);
        }
        cell = (CellIndex)(((user.chunks.size() - 1) << ChunkShift) + user.chunks.back().size());
        user.chunks.back().push_back(EmptyDay);
    }
    return user.chunks[cell >> ChunkShift][cell & (ChunkCells - 1)];
}

bool Keys::Has(const Key &key) const
{
    return !keys.empty() && std::binary_search(keys.begin(), keys.end(), key);
}

bool Keys::HasStart(int user, int start) const
{
    auto at = std::lower_bound(keys.begin(), keys.end(), Key{user, start, NoMoment});
    return at != keys.end() && (*at)[0] == user && (*at)[1] == start;
}

void Keys::Add(const Key &key)
{
    auto at = std::lower_bound(keys.begin(), keys.end(), key);
    if (at == keys.end() || *at != key)
        keys.insert(at, key);
}

void Keys::Add(const std::vector<Key> &more)
{
    for (const Key &key : more)
        Add(key);
}

FOR_SPEED bool Tally::CountedBefore(const Record &record) const
{
    if (record.flags & MarkClockFault)
        return record.end == NoMoment ? faultsShown.HasStart(record.user, record.start)
                                      : faultsShown.Has(Key{record.user, record.start, record.end});
    unsigned minute = MinuteOfDay(record.start);
    const Day &cell = users[record.user].DayAt(DayOf(record.start));
    if (!(cell.startSlots >> (minute / 32) & 1) || !(cell.bits[minute / 64].starts >> (minute % 64) & 1))
        return record.start < firstDay * MinutesPerDay && completedBefore.HasStart(record.user, record.start);
    if (cell.startsFile != record.file)
        return true;
    std::pair<int, int> byStart(record.start, record.user);
    return fileStartsInOrder ? !std::binary_search(fileStarts.begin(), fileStarts.end(), byStart)
                             : std::find(fileStarts.begin(), fileStarts.end(), byStart) == fileStarts.end();
}

FOR_SPEED void Tally::Prefetch(int user, int start) const
{
    const Day &cell = users[user].DayAt(DayOf(start));
    if (&cell != &EmptyDay) {
        __builtin_prefetch(&cell, 1);
        __builtin_prefetch(&cell.bits[MinuteOfDay(start) / 64], 1);
    }
}

bool Tally::KnownFault(int user, int start) const
{
    return faultKeys.HasStart(user, start);
}

void Tally::ExpectOpen(int start)
{
    if (start < firstDay * MinutesPerDay)
        expected.insert(std::upper_bound(expected.begin(), expected.end(), start), start);
}

void Tally::EndFile()
{
    fileStarts.clear();
    fileStartsInOrder = true;
    faultKeys.Add(fileFaults);
    faultsShown.Add(fileFaultsShown);
    fileFaults.clear();
    fileFaultsShown.clear();
}

/* A session's last minute is the one before its end. */
bool Tally::Overlaps(int start, int end) const
{
    return DayOf(end > start ? end - 1 : start) >= firstDay && DayOf(start) <= lastDay;
}

FOR_SPEED static int Bits(unsigned long long x)
{
    x -= (x >> 1) & 0x5555555555555555ULL;
    x = (x & 0x3333333333333333ULL) + ((x >> 2) & 0x3333333333333333ULL);
    x = (x + (x >> 4)) & 0x0f0f0f0f0f0f0f0fULL;
    return (int)((x * 0x0101010101010101ULL) >> 56);
}

/* Marks the minutes from to to in use, a word at a time; those already
   in use are in use twice. */
FOR_SPEED static void SetMinutes(Day &cell, int from, int to)
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

FOR_SPEED void Tally::Count(const Session &session)
{
    User &user = users[session.user];
    int mark = session.mark;

    /* A clock fault counts nothing; its end's day, if it is a real one,
       shows the mark. */
    if (mark == MarkClockFault) {
        int day = DayOf(session.end);
        if (!session.endInOrder || day < firstDay || day > lastDay)
            return;
        Day &cell = DayAt(user, day);
        cell.sessions++;
        cell.marks |= MarkClockFault;
        return;
    }
    /* A session without minutes shows on its first day only. */
    if (mark == MarkCrashed || mark == MarkClockBack || session.end < session.start) {
        int day = DayOf(session.start);
        if (day < firstDay || day > lastDay)
            return;
        Day &cell = DayAt(user, day);
        cell.sessions++;
        if (cell.firstStart < 0 || MinuteOfDay(session.start) < cell.firstStart)
            cell.firstStart = (short)MinuteOfDay(session.start);
        cell.marks |= (unsigned short)(mark | (session.mismatch ? MarkMismatch : 0) |
                                       (session.rewritten ? MarkRewritten : 0));
        return;
    }

    for (int day = std::max(DayOf(session.start), firstDay); day <= lastDay; day++) {
        int midnight = day * MinutesPerDay;
        int from = std::max(session.start, midnight);
        int to = std::min(session.end, midnight + MinutesPerDay);
        Day &cell = DayAt(user, day);
        cell.sessions++;
        SetMinutes(cell, from - midnight, to - midnight);
        if (from > session.start) {
            cell.marks |= MarkFromBefore;
        } else {
            if (cell.firstStart < 0 || from - midnight < cell.firstStart)
                cell.firstStart = (short)(from - midnight);
            if (session.mismatch)
                cell.marks |= MarkMismatch;
            if (session.rewritten)
                cell.marks |= MarkRewritten;
        }
        if (to < session.end)
            cell.marks |= MarkRunsOn;
        else if (mark == MarkRunning || mark == MarkCopied)
            cell.marks |= (unsigned short)mark;
        else if (to - midnight > cell.lastEnd)
            cell.lastEnd = (short)(to - midnight);
        if (session.end <= midnight + MinutesPerDay)
            break;
    }
}

/* A clock fault's stamps cannot place it in the range: its end in order
   does, else the line before it; with neither it is always named. */
bool Tally::Placed(const Record &record) const
{
    return record.place == NoMoment ||
           (DayOf(record.place) >= firstDay && DayOf(record.place) <= lastDay);
}

static void Keep(std::vector<Session> &list, int &count, const Session &session)
{
    if (list.size() < UntrustedShown)
        list.push_back(session);
    count++;
}

void Tally::AddRewrite(const Rewrite &rewrite)
{
    if (rewrites.size() < UntrustedShown)
        rewrites.push_back(rewrite);
    rewriteCount++;
    rewritten.Add(Key{rewrite.user, rewrite.start, 0});
}

void Tally::Emit(const Session &given)
{
    Session session = given;
    session.rewritten = rewriteCount && rewritten.HasStart(session.user, session.start);
    if (session.mark == MarkClockFault) {
        Keep(faults, faultCount, session);
    } else {
        if (!Overlaps(session.start, session.end))
            return;
        if (session.mismatch)
            Keep(mismatches, mismatchCount, session);
    }
    Count(session);
    if (session.mark && (session.mark != MarkClockFault || session.endInOrder)) {
        /* A clock fault's tick stands at its end. */
        int at = session.mark == MarkClockFault ? session.end : session.start;
        Event event = {session.user, at, session.end, session.mark};
        events.push_back(event);
    }
    if (sink)
        sink->Write(session);
}

void Tally::AddEnded(const Record &record)
{
    if (record.flags & MarkClockFault) {
        fileFaults.push_back(Key{record.user, record.start, record.end});
        if (CountedBefore(record) || !Placed(record))
            return;
        fileFaultsShown.push_back(Key{record.user, record.start, record.end});
        Session session = {record.user, record.start, record.end, 0, MarkClockFault, record.file,
                           record.line, record.usage, false, record.endInOrder, false};
        Emit(session);
        return;
    }
    if (CountedBefore(record))
        return;
    int end = record.end;
    if (Overlaps(record.start, end)) {
        /* The start is known at once, in the cell being counted; only the
           next files count it, as CountedBefore tells. */
        unsigned minute = MinuteOfDay(record.start);
        Day &cell = DayAt(users[record.user], DayOf(record.start));
        unsigned long long &starts = cell.bits[minute / 64].starts, bit = 1ULL << (minute % 64);
        if (!(starts & bit)) {
            std::pair<int, int> byStart(record.start, record.user);
            fileStartsInOrder = fileStartsInOrder && (fileStarts.empty() || fileStarts.back() < byStart);
            fileStarts.push_back(byStart);
        }
        starts |= bit;
        cell.startSlots |= 1ULL << (minute / 32);
        cell.startsFile = record.file;
    } else if (std::binary_search(expected.begin(), expected.end(), record.start))
        completedBefore.Add(Key{record.user, record.start, end});
    Session session = {record.user, record.start, end, std::max(end - record.start, 0),
                       end < record.start ? MarkClockBack : 0, record.file, record.line, record.usage,
                       (record.flags & MarkMismatch) != 0, false, false};
    Emit(session);
}

void Tally::AddOpen(const Record &record, bool last, bool twin, bool kept)
{
    if (record.flags & MarkClockFault)
        fileFaults.push_back(Key{record.user, record.start, NoMoment});
    Open waiting = {record, last, twin, kept, CountedBefore(record)};
    open.push_back(waiting);
}

void Tally::Finish()
{
    EndFile();
    std::sort(open.begin(), open.end(), [](const Open &a, const Open &b) {
        const Record &x = a.record, &y = b.record;
        if (x.user != y.user)
            return x.user < y.user;
        if (x.start != y.start)
            return x.start < y.start;
        if (a.kept != b.kept)
            return !a.kept;
        if (a.last != b.last)
            return !a.last;
        return x.file != y.file ? x.file < y.file : x.line < y.line;
    });
    for (size_t i = 0, next; i < open.size(); i = next) {
        const Record &record = open[i].record;
        bool twin = false, fault = false, copied = true;
        int end = NoMoment;
        for (next = i; next < open.size() && open[next].record.user == record.user &&
                       open[next].record.start == record.start; next++) {
            twin = twin || open[next].twin;
            fault = fault || (open[next].record.flags & MarkClockFault);
            /* The same line last in several files (a log and its copy, two
               copies) runs as far as the latest of them saw it. */
            int file = open[next].record.file;
            int seen = file < (int)copyTimes.size() ? copyTimes[file] : -1;
            /* A kept copy's, with no copy time to say how far it ran: the
               reset or the edit cut it short, and it never got its end. */
            if (open[next].last && (seen >= 0 || !open[next].kept)) {
                copied = copied && seen >= 0;
                end = std::max(end, seen >= 0 ? seen : now);
            }
        }
        Record settled = record;
        settled.flags = fault ? MarkClockFault : 0;
        /* A start in the cell that only the record's own file put there is
           another session of the same minute, a completed line before or
           after it: the file's list of its starts is gone by now. */
        const Day &cell = users[record.user].DayAt(DayOf(record.start));
        bool ownFile = !fault && !open[i].before && cell.startsFile == record.file;
        if (CountedBefore(settled) && !twin && !ownFile)
            continue;
        Session session = {record.user, record.start, record.start, 0, MarkCrashed,
                           record.file, record.line, -1, false, false, false};
        if (fault) {
            if (!Placed(record))
                continue;
            session.end = NoMoment;
            session.mark = MarkClockFault;
        } else if (open[i].last && end != NoMoment) {
            session.end = std::max(end, record.start);
            session.minutes = session.end - session.start;
            session.mark = copied ? MarkCopied : MarkRunning;
        }
        Emit(session);
    }
    open.clear();
    /* By user and start, for the pages. */
    std::sort(events.begin(), events.end(), [](const Event &a, const Event &b) {
        return a.user != b.user ? a.user < b.user : a.start < b.start;
    });

    /* What the writers show: each month in which a user has a session
       or a mark, whole and cut to the counted days, so a range given
       that ends inside a month ends the days there; nothing of the
       months between. */
    for (User &user : users) {
        user.months.clear();
        for (size_t b = 0; b < user.blocks.size(); b++) {
            for (int i = 0; i < BlockDays; i++) {
                int day = (user.firstBlock + (int)b) * BlockDays + i;
                const Day &found = user.DayAt(day);
                if ((found.sessions || found.marks) && day >= firstDay && day <= lastDay &&
                    (user.months.empty() || user.months.back() != MonthStart(day)))
                    user.months.push_back(MonthStart(day));
            }
        }
        months.insert(months.end(), user.months.begin(), user.months.end());
    }
    std::sort(months.begin(), months.end());
    months.erase(std::unique(months.begin(), months.end()), months.end());
    if (!months.empty()) {
        shownFirst = std::max(firstDay, months.front());
        shownLast = std::min(lastDay, MonthEnd(months.back()));
    }
}

void Tally::ShownDays(const User &user, int *first, int *last) const
{
    *first = 1;
    *last = 0;
    if (!user.months.empty()) {
        *first = std::max(firstDay, user.months.front());
        *last = std::min(lastDay, MonthEnd(user.months.back()));
    }
}

void Tally::MonthDays(int month, int *first, int *last) const
{
    *first = std::max(firstDay, month);
    *last = std::min(lastDay, MonthEnd(month));
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
