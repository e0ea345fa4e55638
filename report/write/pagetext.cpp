/*
 * Usage report: escaped text and places on the timeline, for the pages.
 */
#include "pagetext.h"
#include "calendar.h"
#include "resource.h"

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

void AppendBadLinesHeading(Text &html, const char *tag, int count)
{
    html += "<";
    html += tag;
    html += " class=\"bad\">";
    html += LoadBytes(IDS_BADLINES, CP_UTF8);
    html += ": ";
    AppendNumber(html, count);
    html += ' ';
    html += LoadBytes(IDS_LINES, CP_UTF8);
    html += "</";
    html += tag;
    html += ">\n";
    if (count > BadLinesShown) {
        html += "<p>";
        html += LoadBytes(IDS_FIRSTSHOWN, CP_UTF8);
        html += "</p>\n";
    }
    html += "<ul class=\"badlines\">\n";
}

void AppendBadLine(Text &html, const WText &path, const BadLine &line)
{
    html += "<li>";
    AppendEscaped(html, Narrow(path, CP_UTF8));
    html += ' ';
    AppendNumber(html, line.line);
    html += LoadBytes(IDS_LINEAT, CP_UTF8);
    html += ": <code>";
    AppendEscaped(html, line.text);
    html += "</code></li>\n";
}
