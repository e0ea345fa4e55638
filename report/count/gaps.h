/*
 * Usage report: the PC record against the declared hours (勤怠との乖離).
 * Each session belongs to the work day on which it started; per PC user
 * who has timesheet rows, each work day keeps only its first start and
 * its last end, so memory grows with users and days, not with sessions.
 */
#ifndef REPORT_GAPS_H
#define REPORT_GAPS_H

#include "tally.h"
#include "timesheet.h"

/* In the order the CSV and the page join them. */
enum GapFlag {
    GapEarly = 1,       /* the PC started more than the threshold before the declared start */
    GapLate = 2,        /* it ended more than the threshold after the declared end */
    GapUndeclared = 4,  /* used on a day with neither start nor end declared */
    GapNoPc = 8,        /* a start or end declared, and no session that day */
    GapNoStart = 16,    /* used, and only the end declared */
    GapNoEnd = 32       /* used, and only the start declared */
};
const int GapFlagCount = 6;

/* Times in minutes from the day's midnight, past 24:00 for the next
   days; -1 where there is none. */
struct GapDay {
    int day;            /* -1 for a day not compared */
    int declaredStart, declaredEnd;
    int pcFirst, pcLast;
    int before, after;  /* minutes outside the declared span; -1 where a side is missing */
    int flags;
};

/* A tally user's days from firstDay on, if the user has timesheet rows. */
struct GapUser {
    bool known;             /* looked up */
    const Person *person;   /* NULL for none */
    int firstDay;
    std::vector<GapDay> days;
    int compared, flagged, before, after;
};

/* A compared day's cells from its date to its flags, as the CSV file
   and the page's table both have them, between each two cells between,
   in one code page: the flags' words joined by 、. */
class GapWords {
public:
    explicit GapWords(UINT codePage);
    void AppendFlags(Text &out, int flags) const;
    void AppendCells(Text &out, const GapDay &gap, const char *between) const;

private:
    Text words[GapFlagCount], separator, weekdays[7];
};

/* Told of every session before the next sink; compares once the tally
   is finished. */
class Gaps : public SessionSink {
public:
    Gaps(const Tally &tally, const Timesheets &sheets, int threshold, SessionSink *next);
    void Write(const Session &session) override;
    void Finish();
    /* A compared day of a tally user, or NULL. */
    const GapDay *Find(int user, int day) const;

    const Tally &tally;
    const Timesheets &sheets;
    int threshold;
    std::vector<GapUser> users;             /* by the tally's index */
    std::vector<int> order;                 /* the users compared, by name */
    std::vector<const Person *> unmatched;  /* declared for no PC user of the logs, by key */
    /* The page's words, loaded once for every day shown. */
    GapWords pageWords;
    Text declaredWord;
    /* The reasons given for the days, when any were read. */
    const class Reasons *reasons;

private:
    GapUser &UserOf(int user);
    GapDay &DayAt(GapUser &user, int day);
    void Compare(GapDay &gap) const;

    SessionSink *next;
};

/* The page's section, its style, and what the calendar shows of a
   flagged day: the flags for the marks column, the declared span for
   the timeline. */
extern const char GapsStyle[];
void AppendGapsSection(Text &html, const Gaps &gaps);
void AppendGapMarks(Text &html, const Gaps &gaps, int user, int day);
void AppendDeclaredSpan(Text &html, const Gaps &gaps, int user, int day);

/* gapscsv.cpp: one row per compared user and day, with their
   departments where they are known; of one department's users only
   for department >= 0, in UTF-8 if asUtf8 (the whole file's was). True
   when written in UTF-8. */
class OutFile;
class Departments;
bool WriteGapsCsv(OutFile &out, const Gaps &gaps, const Departments *departments = NULL, int department = -1,
                  bool asUtf8 = false);

#endif
