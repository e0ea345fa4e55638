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
    int usage;          /* the end record's usage field as written, hh * 100 + mm */
};

LogLine ReadLogLine(const char *line, int length);

/* The usage field the recorder writes for two stamps, hh * 100 + mm:
   00:00 for an end before the start, 99:59 from 100 hours on. A line
   whose usage field is not this was changed after it was written. */
inline int WrittenUsage(int start, int end)
{
    int minutes = end < start ? 0 : end - start >= 100 * 60 ? 99 * 60 + 59 : end - start;
    return minutes / 60 * 100 + minutes % 60;
}

#endif
