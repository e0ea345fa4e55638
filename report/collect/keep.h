/*
 * Usage report: what reached the collection folder stays there. Before a
 * log's copy is replaced, the new copy must continue it; if it does not
 * (a new log after a PC was reset, a line edited or deleted by hand), the
 * previous copy is kept beside it under a name of its own.
 */
#ifndef REPORT_KEEP_H
#define REPORT_KEEP_H

#include "text.h"

#include <vector>

/* copy: the log's copy about to be replaced by bytes; archives: the
   copies of the log's dated archives beside it, which hold its records
   once it has been initialised. Keeps copy under its kept name when bytes
   do not continue it, directly or through the archives. False with error
   set if the previous copy could not be read or kept: then it must not be
   replaced. */
bool KeepHistory(const WText &copy, const Text &bytes, const std::vector<WText> &archives, DWORD *error);

#endif
