/*
 * Usage report: escaped text and places on the timeline, for the pages.
 */
#include "pagetext.h"
#include "calendar.h"

void AppendEscaped(Text &html, const Text &text)
{
    for (char c : text) {
        switch (c) {
        case '&': html += "&amp;"; break;
        case '<': html += "&lt;"; break;
        case '>': html += "&gt;"; break;
        case '"': html += "&quot;"; break;
        default: html += c; break;
        }
    }
}

char *PutShare(char *at, int minutes)
{
    unsigned share = minutes * 10000 / MinutesPerDay;
    at = PutNumber(at, share / 100, 1);
    *at++ = '.';
    at = PutNumber(at, share % 100, 2);
    *at++ = '%';
    return at;
}

void AppendShare(Text &html, int minutes)
{
    char share[16];
    html.append(share, PutShare(share, minutes) - share);
}
