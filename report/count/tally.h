/*
 * Usage report: sessions and days. A session is split at midnight and
 * each day gets its own minutes; a day's use is the minutes in which at
 * least one of the user's sessions ran, so sessions on several PCs at
 * once count once. One pass over the logs builds this; the writers only
 * read it.
 *
 * Memory grows with users and the days that have something, not with
 * lines nor with the span between the earliest and the latest stamp: a
 * user keeps a cell for each day with use or a mark, and a cell knows its
 * minutes in use, those in use by more than one session, and the session
 * starts as bitmaps of the day's 1440 minutes, with the last file that
 * put a start there. Only the starts the file being read put there first
 * are listed one by one.
 *
 * A line whose stamps the log itself shows to be wrong (a clock fault)
 * counts nothing and makes no day: the reader names it, and the tally
 * keeps such lines apart, with the lines whose usage field was changed,
 * for the overview's list.
 */
#ifndef REPORT_TALLY_H
#define REPORT_TALLY_H

#include "calendar.h"

/* What runs for every record is built for speed, the rest of the exe for
   size. */
#define FOR_SPEED __attribute__((optimize("O2")))

#include <array>
#include <map>
#include <vector>

/* What a day shows besides its times; also a session's state. */
enum Mark {
    MarkFromBefore = 1,   /* the day began inside a session from the day before */
    MarkRunsOn = 2,       /* a session runs on into the next day */
    MarkRunning = 4,      /* a session still running at the report's time */
    MarkCrashed = 8,      /* a session that never got its end record */
    MarkClockBack = 16,   /* an end before its start */
    MarkOverlap = 32,     /* sessions ran at the same time */
    MarkClockFault = 64,  /* a start out of its log's order or after the report's time */
    MarkMismatch = 128,   /* a usage field other than the recorder writes for the stamps */
    MarkCopied = 256,     /* a copy's last open line, counted up to the copy's time */
    MarkRewritten = 512   /* a record changed or deleted after it reached the collection */
};

/* No moment: a clock fault without an end record, or nothing to place it. */
const int NoMoment = -0x7fffffff - 1;

struct Session {
    int user;
    int start;
    int end;        /* the end record's; a running session's is the report's time,
                       a copied one's the copy's time;
                       NoMoment for a clock fault without an end record */
    int minutes;
    int mark;       /* 0, MarkRunning, MarkCopied, MarkCrashed, MarkClockBack or MarkClockFault */
    int file;
    int line;
    int usage;      /* the end record's usage field, hh * 100 + mm; -1 for none */
    bool mismatch;  /* the usage field is not what the stamps give */
    bool endInOrder;    /* a clock fault whose end is a real moment: its day is marked */
    bool rewritten;     /* a later copy of its log changed or deleted it */
};

/* A record as the reader hands it over. */
struct Record {
    int user, start;
    int end;        /* NoMoment for a start record without its end */
    int usage;      /* -1 for none */
    int flags;      /* MarkClockFault or MarkMismatch, or 0 */
    /* A clock fault's place in time: its end where that is in order,
       else the start of the line before it in order; NoMoment for none. */
    int place;
    bool endInOrder;
    int file, line;
};

const int DayWords = (MinutesPerDay + 63) / 64;
const int BlockShift = 5, BlockDays = 1 << BlockShift;
/* Clock faults and changed lines listed on the overview, of each kind. */
const int UntrustedShown = 500;

struct Day {
    short minutes;      /* in use: the bits of used */
    short overlapped;   /* in use by more than one session: of twice */
    short sessions;
    short firstStart;   /* minute of the day, -1 for none */
    short lastEnd;      /* minute of the day up to 1440, -1 for none */
    unsigned short marks;
    int startsFile;     /* the last file that put a start in starts */
    /* A bit for each 32 minutes with a start in starts, looked at first:
       it shares the cache line of the counts. */
    unsigned long long startSlots;
    /* The bits of 64 minutes side by side, so that a session touches
       few cache lines: the day's cells do not fit in any cache. */
    struct Minutes {
        unsigned long long used;
        unsigned long long twice;
        unsigned long long starts;  /* counted */
    } bits[DayWords];
};

/* Each day's cell in a user's cells, NoCell for none: the log's two-digit
   years give at most 36,525 days. */
typedef unsigned short CellIndex;
const CellIndex NoCell = 0xffff;
const int ChunkShift = 6, ChunkCells = 1 << ChunkShift;
struct Block {
    CellIndex cells[BlockDays];
};

struct User {
    Text name;          /* UTF-8 */
    Text csvName;       /* CP932 */
    /* The blocks from firstBlock * BlockDays on: a day's place, two bytes,
       and a cell only for a day that has something. The cells are made in
       chunks of ChunkCells that never move, in the order they are needed. */
    int firstBlock;
    std::vector<Block> blocks;
    std::vector<std::vector<Day>> chunks;
    /* The first day of each month in the range in which the user has
       something, in order: the months the writers show. */
    std::vector<int> months;

    /* EmptyDay where the user has no cell. */
    const Day &DayAt(int day) const;
    bool HasMonth(int month) const;
};

extern const Day EmptyDay;

/* A marked session, for the timeline. */
struct Event {
    int user;
    int start;
    int end;
    int mark;
};

class SessionSink {
public:
    virtual void Write(const Session &session) = 0;
};

/* Users, starts and ends, few: a sorted list. */
typedef std::array<int, 3> Key;
class Keys {
public:
    bool Has(const Key &key) const;
    /* Any key of that user and start. */
    bool HasStart(int user, int start) const;
    void Add(const Key &key);
    void Add(const std::vector<Key> &keys);

private:
    std::vector<Key> keys;
};

/* A record a later copy of its log changed or deleted, as the
   collection keeps them. */
struct Rewrite {
    int user;
    int start;
    Text before, after;     /* the lines, UTF-8; after empty: deleted */
    int file;               /* the kept copy that has it as first copied */
    int reached;            /* when the change reached the collection, a moment */
};

class Tally {
public:
    /* Days firstDay to lastDay are counted; now is the report's time. */
    Tally(int firstDay, int lastDay, int now);

    int UserOf(const char *name, int length, UINT codePage);
    /* A completed record. */
    void AddEnded(const Record &record);
    /* A start record without its end. last: no line follows it in its
       log; twin: the next line is a record of the same user and start
       (a crash and a new session within the minute); kept: last in a
       copy the collection kept, so not running, unless its log has it so. */
    void AddOpen(const Record &record, bool last, bool twin, bool kept = false);
    /* A log's last line is a start record from start on: before the
       range, its completed copy in another file must be known even
       though that copy counts nothing. Told before any file is read. */
    void ExpectOpen(int start);
    /* An earlier file named this user and start a clock fault: the same
       session's line here is one too, wherever it stands. */
    bool KnownFault(int user, int start) const;
    /* After each file: its starts now count against the next files. */
    void EndFile();
    /* Asks for the cell of a record soon to come, so that it is in the
       cache by the time it is counted. */
    void Prefetch(int user, int start) const;
    /* A record that a later copy changed: counted as first copied, and
       marked. Told before any file is read. */
    void AddRewrite(const Rewrite &rewrite);
    /* Settles the open records, once every log has been read. */
    void Finish();

    /* Users by name. */
    std::vector<int> Order() const;
    /* The days of a month that are shown: the month cut to the range. */
    void MonthDays(int month, int *first, int *last) const;
    /* The days shown for a user, from the first of the first month in
       which they have something to the end of the last, cut to the range;
       none if first > last. Only the months they have something in are
       shown of them (User::HasMonth). */
    void ShownDays(const User &user, int *first, int *last) const;

    std::vector<User> users;
    std::vector<Event> events;      /* by user and start once finished */
    int firstDay, lastDay, now;
    /* Each file's copy time, a moment, told before Finish: a log's last
       open line counts up to it. -1 (or none told): up to now. */
    std::vector<int> copyTimes;
    /* Told of every session counted or named, once. */
    SessionSink *sink;
    /* The first day of each month in which any user has something, in
       order; the first day of the first and the last day of the last,
       cut to the range (shownFirst > shownLast when none). */
    std::vector<int> months;
    int shownFirst, shownLast;
    /* The first clock faults and changed lines, for the overview, and
       how many there are. */
    std::vector<Session> faults, mismatches;
    int faultCount, mismatchCount;
    /* The first records changed after they were copied, and how many. */
    std::vector<Rewrite> rewrites;
    int rewriteCount;

private:
    struct Open {
        Record record;
        bool last, twin, kept;
        bool before;    /* an earlier file had its start, when it was read */
    };

    Day &DayAt(User &user, int day);
    bool CountedBefore(const Record &record) const;
    bool Overlaps(int start, int end) const;
    bool Placed(const Record &record) const;
    void Count(const Session &session);
    void Emit(const Session &session);

    std::vector<Open> open;
    /* The starts this file put in the cells first, by start and user: in
       a cell this file has put a start in, only these are not from an
       earlier file. A log's starts come in order, so they are searched
       by halves unless the clock went back. */
    std::vector<std::pair<int, int>> fileStarts;
    bool fileStartsInOrder;
    /* Clock faults by user, start and end: those of this file, and of the
       files before it, named (so not again: the same line in a copy of
       the log). The same user and start on two PCs whose clocks both
       failed are two faults; their ends tell them apart. */
    std::vector<Key> fileFaults, fileFaultsShown;
    Keys faultKeys, faultsShown;
    /* The user and start of each record in rewrites. */
    Keys rewritten;
    /* Starts before the range that a log ends open on; the completed
       copies of those seen in any file. */
    std::vector<int> expected;
    Keys completedBefore;
    std::map<Text, int> byRaw, byName;
    struct Recent {
        Text raw;   /* a code page tag and the name's bytes */
        int user;
    };
    static const int RecentCount = 64;
    Recent recents[RecentCount];
};

#endif
