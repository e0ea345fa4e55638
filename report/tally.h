/*
 * Usage report: sessions and days. A session is split at midnight and
 * each day gets its own minutes; a day's use is the minutes in which at
 * least one of the user's sessions ran, so sessions on several PCs at
 * once count once. One pass over the logs builds this; the writers only
 * read it.
 *
 * Memory grows with users and days, not with lines: each user keeps one
 * cell per day, and a cell knows its minutes in use, those in use by
 * more than one session, and the session
 * starts that earlier files had as bitmaps of the day's 1440 minutes.
 * Only the starts of the file being read are listed one by one.
 */
#ifndef REPORT_TALLY_H
#define REPORT_TALLY_H

#include "calendar.h"

#include <map>
#include <vector>

/* What a day shows besides its times; also a session's state. */
enum Mark {
    MarkFromBefore = 1,   /* the day began inside a session from the day before */
    MarkRunsOn = 2,       /* a session runs on into the next day */
    MarkRunning = 4,      /* a session still running at the report's time */
    MarkCrashed = 8,      /* a session that never got its end record */
    MarkClockBack = 16,   /* an end before its start */
    MarkOverlap = 32      /* sessions ran at the same time */
};

struct Session {
    int user;
    int start;
    int end;        /* the end record's; a running session's is the report's time */
    int minutes;
    int mark;       /* 0, MarkRunning, MarkCrashed or MarkClockBack */
    int file;
    int line;
};

const int DayWords = (MinutesPerDay + 63) / 64;
const int BlockShift = 5, BlockDays = 1 << BlockShift;

struct Day {
    short minutes;      /* in use: the bits of used */
    short overlapped;   /* in use by more than one session: of twice */
    short sessions;
    short firstStart;   /* minute of the day, -1 for none */
    short lastEnd;      /* minute of the day up to 1440, -1 for none */
    unsigned char marks;
    /* A bit for each 32 minutes with a start in starts, looked at first:
       it shares the cache line of the counts. */
    unsigned long long startSlots;
    /* The bits of 64 minutes side by side, so that a session touches
       few cache lines: the day's cells do not fit in any cache. */
    struct Minutes {
        unsigned long long used;
        unsigned long long twice;
        unsigned long long starts;  /* counted from earlier files */
    } bits[DayWords];
};

struct User {
    Text name;          /* UTF-8 */
    Text csvName;       /* CP932 */
    /* Cells in blocks of BlockDays days, the first holding the days from
       firstBlock * BlockDays on, every block up to the last made. */
    int firstBlock;
    std::vector<std::vector<Day>> blocks;
    int shownFirst;     /* days with something to show, in the range; */
    int shownLast;      /* shownFirst > shownLast when none */

    /* EmptyDay where the user has no cell. */
    const Day &DayAt(int day) const;
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

class Tally {
public:
    /* Days firstDay to lastDay are counted; now is the report's time. */
    Tally(int firstDay, int lastDay, int now);

    int UserOf(const char *name, int length, UINT codePage);
    void AddEnded(int user, int start, int end, int file, int line);
    /* A start record without its end. last: no line follows it in its
       log; twin: the next line is a record of the same user and start
       (a crash and a new session within the minute). */
    void AddOpen(int user, int start, bool last, bool twin, int file, int line);
    /* After each file: its starts now count against the next files. */
    void EndFile();
    /* Settles the open records, once every log has been read. */
    void Finish();

    /* Users by name. */
    std::vector<int> Order() const;
    /* The days shown for a user: whole months from the first with a
       session to the last, within the shown days; none if first > last. */
    void ShownDays(const User &user, int *first, int *last) const;

    std::vector<User> users;
    std::vector<Event> events;      /* by user and start once finished */
    int firstDay, lastDay, now;
    /* Told of every session counted, once. */
    SessionSink *sink;
    /* The days the writers show: whole months around everything counted,
       cut to the counted days (the range, when one was given). */
    int shownFirst, shownLast;

private:
    struct Open {
        int user, start, file, line;
        bool last, twin;
    };

    Day &DayAt(User &user, int day);
    bool CountedBefore(int user, int start) const;
    bool Overlaps(int start, int end) const;
    void Count(const Session &session);
    void Emit(const Session &session);

    std::vector<Open> open;
    std::vector<std::pair<int, int>> fileStarts;   /* user and start */
    std::map<Text, int> byRaw, byName;
    struct Recent {
        Text raw;   /* a code page tag and the name's bytes */
        int user;
    };
    static const int RecentCount = 64;
    Recent recents[RecentCount];
};

#endif
