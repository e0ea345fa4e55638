/*
 * Usage report: the copy's time record (copytime.h).
 */
#include "copytime.h"
#include "calendar.h"

static const wchar_t CopyTimeExtension[] = L".copied";
/* "yyyy-mm-dd hh:mm:ss" */
const int CopyTimeLength = 19;

WText CopyTimePath(const WText &log)
{
    size_t slash = log.find_last_of(L"\\/"), dot = log.find_last_of(L'.');
    if (dot == WText::npos || (slash != WText::npos && dot < slash))
        dot = log.size();
    return log.substr(0, dot) + CopyTimeExtension;
}

Text CopyTimeText(const SYSTEMTIME &time)
{
    char bytes[CopyTimeLength + 2], *at = bytes;
    at = PutNumber(at, time.wYear, 4), *at++ = '-';
    at = PutNumber(at, time.wMonth, 2), *at++ = '-';
    at = PutNumber(at, time.wDay, 2), *at++ = ' ';
    at = PutNumber(at, time.wHour, 2), *at++ = ':';
    at = PutNumber(at, time.wMinute, 2), *at++ = ':';
    at = PutNumber(at, time.wSecond, 2);
    return Text(bytes, at) + "\r\n";
}

/* digits of text at from, or -1 if any is not a digit. */
static int Digits(const char *text, int from, int count)
{
    int value = 0;
    for (int i = from; i < from + count; i++) {
        if (text[i] < '0' || text[i] > '9')
            return -1;
        value = value * 10 + text[i] - '0';
    }
    return value;
}

int ReadCopyTime(const WText &log)
{
    HANDLE file = CreateFileW(CopyTimePath(log).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return -1;
    char text[CopyTimeLength + 1];
    DWORD got = 0;
    bool read = ReadFile(file, text, sizeof text, &got, NULL);
    CloseHandle(file);
    if (!read || got < CopyTimeLength || text[4] != '-' || text[7] != '-' || text[10] != ' ' ||
        text[13] != ':' || text[16] != ':')
        return -1;
    int year = Digits(text, 0, 4), month = Digits(text, 5, 2), day = Digits(text, 8, 2);
    int hour = Digits(text, 11, 2), minute = Digits(text, 14, 2), second = Digits(text, 17, 2);
    if (year < 2000 || year > 2099 || !IsDate(year, month, day) || hour < 0 || hour > 23 || minute < 0 ||
        minute > 59 || second < 0 || second > 59)
        return -1;
    return DayNumber(year, month, day) * MinutesPerDay + hour * 60 + minute;
}
