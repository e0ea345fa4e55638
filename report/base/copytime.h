/*
 * Usage report: the copy's time record, which the copy to a collection
 * folder writes beside each log's copy and the report reads back.
 *
 * For a copy "morvalenlog.txt" it is "morvalenlog.copied": one line of
 * ASCII, "yyyy-mm-dd hh:mm:ss" and CR LF, the PC's local time (the clock
 * of the log's own stamps) at which the copy's snapshot of the log was
 * read. Nothing the recorder wrote after that moment is in the copy.
 */
#ifndef REPORT_COPYTIME_H
#define REPORT_COPYTIME_H

#include "text.h"

/* The record's path for a log's (or its copy's) path. */
WText CopyTimePath(const WText &log);
/* The record's bytes for a local time. */
Text CopyTimeText(const SYSTEMTIME &time);
/* The moment the record beside the log says, or -1: none there, or not
   one of ours. */
int ReadCopyTime(const WText &log);

#endif
