/*
 * Morvalen for Windows: log record text, laid out as loglayout.h says.
 */
#include "logtext.h"
#include "logfile.h"
#include "loglayout.h"
#include "../messages/messages.h"

void AppendDate(char *out, const SYSTEMTIME *time, const char *picture)
{
    char text[TextSize];
    if (!GetDateFormatA(LOCALE_SYSTEM_DEFAULT, 0, time, picture, text, TextSize))
        text[0] = '\0';
    AppendText(out, TextSize, text);
}

static void AppendTime(char *out, const SYSTEMTIME *time, const char *picture)
{
    char text[TextSize];
    if (!GetTimeFormatA(LOCALE_SYSTEM_DEFAULT, 0, time, picture, text, TextSize))
        text[0] = '\0';
    AppendText(out, TextSize, text);
}

void FormatLogHeader(char *out)
{
    char text[TextSize];

    out[0] = '\0';
    LoadText(IDS_LOGTITLE, text, TextSize);
    AppendText(out, TextSize, text);
    AppendText(out, TextSize, "\r\n\r\n");
    LoadText(IDS_LOGCOLUMNS, text, TextSize);
    AppendText(out, TextSize, text);
}

void FormatStartRecord(char *out)
{
    char name[TextSize];
    char field[TextSize];
    DWORD size = TextSize;

    lstrcpyA(out, "\r\n");
    if (!GetUserNameA(name, &size))
        LoadText(IDS_NOUSER, name, TextSize);
    /* A name longer than the field is written whole and shifts the line. */
    wsprintfA(field, LOG_USER_PICTURE, name);
    AppendText(out, TextSize, field);
    AppendDate(out, &StartTime, LOG_DATE_PICTURE);
    AppendTime(out, &StartTime, LOG_TIME_PICTURE);
}

/* Whole hours and minutes from start to end, both cut to the minute.
   From 100 hours on the usage shows 99:59; an end before the start (the
   clock set back, the end of daylight-saving time) shows 00:00. */
static void ComputeUsage(unsigned *hours, unsigned *minutes)
{
    FILETIME start, end;
    ULARGE_INTEGER from, to;
    SYSTEMTIME span;

    *hours = 99;
    *minutes = 59;
    if (!SystemTimeToFileTime(&StartTime, &start) || !SystemTimeToFileTime(&EndTime, &end))
        return;
    from.LowPart = start.dwLowDateTime;
    from.HighPart = start.dwHighDateTime;
    to.LowPart = end.dwLowDateTime;
    to.HighPart = end.dwHighDateTime;
    if (to.QuadPart < from.QuadPart) {
        *hours = 0;
        *minutes = 0;
        return;
    }
    to.QuadPart -= from.QuadPart;
    end.dwLowDateTime = to.LowPart;
    end.dwHighDateTime = to.HighPart;
    /* Read as an instant after 1 January 1601, a span under 31 days is
       day, hour and minute of that January. */
    if (!FileTimeToSystemTime(&end, &span))
        return;
    if (span.wYear <= 1601 && span.wMonth <= 1) {
        WORD total = (WORD)((span.wDay - 1) * 24 + span.wHour);
        if (total <= 99) {
            *hours = total;
            *minutes = span.wMinute;
        }
    }
}

void FormatEndRecord(char *out)
{
    char text[TextSize];
    unsigned hours, minutes;

    out[0] = '\0';
    AppendDate(out, &EndTime, LOG_END_DATE_PICTURE);
    AppendTime(out, &EndTime, LOG_TIME_PICTURE);

    StartTime.wSecond = StartTime.wMilliseconds = 0;
    EndTime.wSecond = EndTime.wMilliseconds = 0;
    ComputeUsage(&hours, &minutes);
    wsprintfA(text, LOG_USAGE_PICTURE, hours, minutes);
    AppendText(out, TextSize, text);
}
