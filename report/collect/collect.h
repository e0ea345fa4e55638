/*
 * Usage report: the copy of a PC's logs to the folder an administrator
 * collects them in, which the recorder starts after each start record.
 */
#ifndef REPORT_COLLECT_H
#define REPORT_COLLECT_H

#include "makereport.h"

/* Copies each log and its dated archives into folder\<computer>\<user>\:
   AllRead when all are there, SomeUnreadable when a log or an archive
   could not be read, NothingWritten when the folder could not be reached
   or written; problem says what failed. A copy that finds another of the
   same user's under way leaves at once with AllRead, the other making one
   more pass for it. */
Outcome CopyToCollection(const WText &folder, const std::vector<WText> &logs, Problem *problem);

/* The names of the lock a copy holds while it runs, and of the request
   for one more pass. */
WText CopyLockName(const WText &user);
WText CopyAgainName(const WText &user);

#endif
