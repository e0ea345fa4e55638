/*
 * Usage report: reading a log line, laid out as the recorder's
 * loglayout.h says: a user field of at least 17 bytes, the start stamp
 * "yy/MM/dd(ddd) HH:mm", and at the session's end a gap, the end stamp, a
 * gap and the usage "hh:mm". Names may hold blanks, digits and double-byte
 * characters, so the line is read from its right end, where the layout is
 * fixed. The weekday is the writer's locale's, so any
 * text without parentheses is accepted inside them. None of the bytes
 * looked for (digits, '/', ':', blank, parentheses) can be the trail byte
 * of a CP932 character, so scanning bytes backwards is safe.
 */
#include "logline.h"
#include "calendar.h"
#include "../../recorder/loglayout.h"

#include <cstring>

static const int UserField = LOG_USER_FIELD;
static const int Gap = sizeof LOG_GAP - 1;
static const int MaxWeekday = 32;

static bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

/* Two digits at p, or -1. */
static int TwoDigits(const char *p)
{
    return IsDigit(p[0]) && IsDigit(p[1]) ? (p[0] - '0') * 10 + (p[1] - '0') : -1;
}

static bool Blanks(const char *p, int count)
{
    for (int i = 0; i < count; i++)
        if (p[i] != ' ')
            return false;
    return true;
}

/* A stamp "yy/MM/dd(ddd) HH:mm" ending just before line[end]; its first
   byte's offset, or -1. */
static int StampBefore(const char *line, int end, int *moment)
{
    /* ") HH:mm" */
    if (end < 7 || line[end - 7] != ')' || line[end - 6] != ' ' || line[end - 3] != ':')
        return -1;
    int hour = TwoDigits(line + end - 5), minute = TwoDigits(line + end - 2);
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59)
        return -1;
    int open = end - 8;
    while (open >= 0 && end - 8 - open < MaxWeekday && line[open] != '(' && line[open] != ')')
        open--;
    if (open < 8 || line[open] != '(' || open == end - 8)
        return -1;
    const char *date = line + open - 8;
    int year = TwoDigits(date), month = TwoDigits(date + 3), day = TwoDigits(date + 6);
    if (date[2] != '/' || date[5] != '/' || year < 0 || !IsDate(2000 + year, month, day))
        return -1;
    *moment = DayNumber(2000 + year, month, day) * MinutesPerDay + hour * 60 + minute;
    return open - 8;
}

/* The header as the recorder writes it, in CP932 and, for a log saved
   again as UTF-8, in UTF-8. */
static bool StartsWith(const char *line, int length, const char *prefix, size_t n)
{
    return length >= (int)n && memcmp(line, prefix, n) == 0;
}

/* A literal's bytes without its terminator, and no copy made: this runs
   for every line. */
#define LITERAL(text) text, sizeof text - 1

static bool IsTitle(const char *line, int length)
{
    static const int ends = sizeof LOG_TITLE_START + sizeof LOG_TITLE_END - 2;
    return StartsWith(line, length, LITERAL(LOG_TITLE_START)) && length >= ends &&
           memcmp(line + length - (sizeof LOG_TITLE_END - 1), LOG_TITLE_END, sizeof LOG_TITLE_END - 1) == 0;
}

static const Text UserTitleSjis = Narrow(Widen(LOG_USER_TITLE, sizeof LOG_USER_TITLE - 1, CP_UTF8), LogCodePage);

static bool IsColumns(const char *line, int length)
{
    return StartsWith(line, length, UserTitleSjis.data(), UserTitleSjis.size()) ||
           StartsWith(line, length, LITERAL(LOG_USER_TITLE));
}

/* A start record, with or without its end record; kind stays LineOther
   when the line is not one. */
static LogLine ReadRecord(const char *line, int length)
{
    LogLine read = {LineOther, 0, 0, false, 0, -1};

    /* "     HH:mm     hh:mm" closes a completed line. The stamps give the
       use uncapped; the usage field only tells whether the line is as the
       recorder wrote it. */
    int stampEnd = length;
    if (length >= Gap + 5 && line[length - 3] == ':' && TwoDigits(line + length - 5) >= 0 &&
        TwoDigits(line + length - 2) >= 0 && Blanks(line + length - Gap - 5, Gap)) {
        int endStart = StampBefore(line, length - Gap - 5, &read.end);
        if (endStart < Gap || !Blanks(line + endStart - Gap, Gap))
            return read;
        read.ended = true;
        read.usage = TwoDigits(line + length - 5) * 100 + TwoDigits(line + length - 2);
        stampEnd = endStart - Gap;
    }
    int start = StampBefore(line, stampEnd, &read.start);
    if (start < UserField)
        return read;
    int name = start;
    while (name > 0 && line[name - 1] == ' ')
        name--;
    if (name > 0) {
        read.kind = LineRecord;
        read.nameLength = name;
    }
    return read;
}

/* A record is tried before the column titles, so that a user who is
   really called ユーザー名 is still counted. */
LogLine ReadLogLine(const char *line, int length)
{
    LogLine read = {LineBlank, 0, 0, false, 0, -1};
    if (Blanks(line, length))
        return read;
    if (IsTitle(line, length)) {
        read.kind = LineTitle;
        return read;
    }
    read = ReadRecord(line, length);
    if (read.kind == LineOther && IsColumns(line, length))
        read.kind = LineColumns;
    return read;
}
