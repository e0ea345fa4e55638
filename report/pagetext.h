/*
 * Usage report: the pieces of text every page is made of: text escaped
 * for HTML, and a minute of the day as a place on the 0-24 h timeline.
 * The overview, the month pages and the comparison's section share them.
 */
#ifndef REPORT_PAGETEXT_H
#define REPORT_PAGETEXT_H

#include "text.h"

void AppendEscaped(Text &html, const Text &text);
/* A minute of the day as a share of the axis, in hundredths of a
   percent; PutShare writes it at at (at most 10 bytes) and returns the
   end. */
char *PutShare(char *at, int minutes);
void AppendShare(Text &html, int minutes);

#endif
