/*
 * Usage report: the whole run, from the logs named on the command line to
 * the output files, without any window. The entry decides what to show
 * of the outcome.
 */
#ifndef REPORT_MAKEREPORT_H
#define REPORT_MAKEREPORT_H

#include "report.h"

/* What went wrong when nothing was written: a sentence of the string
   table about subject, with the system's reason for error if any. */
struct Problem {
    UINT sentence;
    WText subject;
    DWORD error;
    WText details;
};

/* Reads, counts and writes; on NothingWritten, problem says why. */
Outcome MakeReport(const Options &options, WText *page, Problem *problem);

#endif
