/*
 * Usage report: one line of a log, bytes in and fields out. Pure; knows
 * nothing of files, users or days.
 */
#ifndef REPORT_LOGLINE_H
#define REPORT_LOGLINE_H

enum LineKind {
    LineBlank,      /* empty, or blanks only */
    LineTitle,      /* the header's first line */
    LineColumns,    /* the header's column titles */
    LineRecord,     /* a start record, with or without its end record */
    LineOther       /* anything else: counted and listed as unreadable */
};

struct LogLine {
    LineKind kind;
    int nameLength;     /* the user name: the line's first bytes, padding cut */
    int start;          /* moments (calendar.h) */
    bool ended;
    int end;
};

LogLine ReadLogLine(const char *line, int length);

#endif
