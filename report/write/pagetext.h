/*
 * Usage report: the pieces of text every page is made of: text escaped
 * for HTML, and a minute of the day as a place on the 0-24 h timeline.
 * The overview, the month pages and the comparison's section share them.
 */
#ifndef REPORT_PAGETEXT_H
#define REPORT_PAGETEXT_H

#include "report.h"

void AppendEscaped(Text &html, const Text &text);
/* A minute of the day as a share of the axis, in hundredths of a
   percent; PutShare writes it at at (at most 10 bytes) and returns the
   end. */
char *PutShare(char *at, int minutes);
void AppendShare(Text &html, int minutes);

/* Lines that could not be read, of the logs or of the timesheets: a
   heading (tag h2 or h3) with their count, then the first ones kept,
   each with its file (files[line.file].path) and line number. */
template <class File>
void AppendBadLines(Text &html, const char *tag, int count, const std::vector<BadLine> &lines,
                    const std::vector<File> &files);
void AppendBadLinesHeading(Text &html, const char *tag, int count);
void AppendBadLine(Text &html, const WText &path, const BadLine &line);

template <class File>
void AppendBadLines(Text &html, const char *tag, int count, const std::vector<BadLine> &lines,
                    const std::vector<File> &files)
{
    if (!count)
        return;
    AppendBadLinesHeading(html, tag, count);
    for (const BadLine &line : lines)
        AppendBadLine(html, files[line.file].path, line);
    html += "</ul>\n";
}

#endif
