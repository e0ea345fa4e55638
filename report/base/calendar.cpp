/*
 * Usage report: civil dates to day numbers and back, by the proleptic
 * Gregorian rules in whole 400-year eras.
 */
#include "calendar.h"

/* Days from 0000-03-01, where the eras start, to 2000-01-01. */
static const int EpochOffset = 730425;

int DaysInMonth(int year, int month)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month != 2)
        return days[month - 1];
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0 ? 29 : 28;
}

bool IsDate(int year, int month, int day)
{
    return year >= 1601 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
           day <= DaysInMonth(year, month);
}

/* The first of the month; years counted from March, so the leap day
   ends the year. */
static int MonthNumber(int year, int month)
{
    year -= month <= 2;
    int era = year / 400;
    int yearOfEra = year - era * 400;
    int dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5;
    int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - EpochOffset;
}

/* The month of the last date given: the log's stamps come in order. It
   is the reading thread's; the month pages, written on two, never ask. */
static int givenYear, givenMonth, givenFirst;

int DayNumber(int year, int month, int day)
{
    if (year != givenYear || month != givenMonth) {
        givenYear = year;
        givenMonth = month;
        givenFirst = MonthNumber(year, month);
    }
    return givenFirst + day - 1;
}

void DateOf(int dayNumber, int *year, int *month, int *day)
{
    int z = dayNumber + EpochOffset;
    int era = z / 146097;
    int dayOfEra = z - era * 146097;
    int yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    int dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    int shifted = (5 * dayOfYear + 2) / 153;
    *day = dayOfYear - (153 * shifted + 2) / 5 + 1;
    *month = shifted < 10 ? shifted + 3 : shifted - 9;
    *year = yearOfEra + era * 400 + (*month <= 2);
}

/* 2000-01-01 was a Saturday. */
int WeekdayOf(int dayNumber)
{
    return ((dayNumber + 6) % 7 + 7) % 7;
}

int MonthStart(int dayNumber)
{
    int year, month, day;
    DateOf(dayNumber, &year, &month, &day);
    return dayNumber - day + 1;
}

int MonthEnd(int dayNumber)
{
    int year, month, day;
    DateOf(dayNumber, &year, &month, &day);
    return dayNumber - day + DaysInMonth(year, month);
}


void AppendDate(Text &out, int dayNumber, char separator)
{
    int year, month, day;
    DateOf(dayNumber, &year, &month, &day);
    AppendNumber(out, year, 4);
    out += separator;
    AppendNumber(out, month, 2);
    out += separator;
    AppendNumber(out, day, 2);
}

void AppendClock(Text &out, int minuteOfDay)
{
    AppendNumber(out, minuteOfDay / 60, 2);
    out += ':';
    AppendNumber(out, minuteOfDay % 60, 2);
}

int CurrentMoment()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    return DayNumber(now.wYear, now.wMonth, now.wDay) * MinutesPerDay + now.wHour * 60 + now.wMinute;
}
