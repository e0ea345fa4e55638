/*
 * Usage report: a log's copies compared as records. A copy in the
 * collection folder is replaced by the next one only when the next one
 * continues it; otherwise it is kept, and the report names the records
 * the later copy changed. Pure: bytes in, records and verdicts out.
 */
#ifndef REPORT_HISTORY_H
#define REPORT_HISTORY_H

#include "text.h"

#include <vector>

/* A record of a copy: its line's bytes stay in the copy's text. */
struct HistoryRecord {
    const char *line;
    int length;         /* without the line break */
    int nameLength;
    int start;
    bool ended;
    int end;
    int usage;
};

/* The records of a log's bytes, in their order; the other lines are no
   records and are not compared. */
std::vector<HistoryRecord> HistoryRecords(const Text &bytes);

/* later continues earlier: each of earlier's records is in later, in
   order and unchanged, except that one without its end may have it now.
   Records only later has may stand anywhere: the recorder adds lines at
   the end, and its end records move the lines after them on. */
bool Continues(const std::vector<HistoryRecord> &earlier, const std::vector<HistoryRecord> &later);

/* A record of earlier that later changed (its end or usage differs, or
   the end it had is gone), or lacks: later is NULL. */
struct HistoryChange {
    const HistoryRecord *earlier;
    const HistoryRecord *later;
};

/* The records of earlier that later changed or lacks; none when later is
   a new log (a PC reset, a log deleted or replaced): it holds none of
   earlier's records and begins after the last of them. */
std::vector<HistoryChange> HistoryChanges(const std::vector<HistoryRecord> &earlier,
                                          const std::vector<HistoryRecord> &later);

/* The name a kept copy of log (its name, or its path) takes: the log's
   name without ".txt", "_kept_" and the moment it was replaced,
   "yyyy-MM-dd_HHmm", then ".txt"; "_2", "_3"... before ".txt" for a
   second one in the same minute (n). */
WText KeptName(const WText &log, int moment, int n);
/* The moment a kept copy's name says it was replaced, if name is one of
   a log whose name without ".txt" is base's length; else -1. */
int KeptMoment(const WText &name, size_t baseLength);
/* The log a kept copy's name (or path) is a copy of. */
WText LogOfKept(const WText &kept);

#endif
