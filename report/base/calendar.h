/*
 * Usage report: the calendar. A moment is a whole minute counted from
 * 2000-01-01 00:00 local time, a day a whole day from that date; the log's
 * two-digit years are 2000 to 2099.
 */
#ifndef REPORT_CALENDAR_H
#define REPORT_CALENDAR_H

#include "text.h"

const int MinutesPerDay = 24 * 60;

bool IsDate(int year, int month, int day);
int DayNumber(int year, int month, int day);
void DateOf(int dayNumber, int *year, int *month, int *day);
int WeekdayOf(int dayNumber);       /* 0 = Sunday */
int DaysInMonth(int year, int month);

int MonthStart(int dayNumber);
int MonthEnd(int dayNumber);

/* This moment, by the PC's clock. */
int CurrentMoment();

/* For every line and row: unsigned, the division is a multiplication;
   inlined even where the exe is built for size. */
#define HOT_INLINE inline __attribute__((always_inline))
HOT_INLINE int DayOf(int moment)
{
    return moment >= 0 ? (int)((unsigned)moment / MinutesPerDay)
                       : -(int)(((unsigned)-moment + MinutesPerDay - 1) / MinutesPerDay);
}

HOT_INLINE int MinuteOfDay(int moment)
{
    return moment - DayOf(moment) * MinutesPerDay;
}

/* yyyy/mm/dd and HH:mm, as the CSV files and the page show them. */
void AppendDate(Text &out, int dayNumber, char separator = '/');
void AppendClock(Text &out, int minuteOfDay);

#endif
