/*
 * Usage report: code-page conversions, numbers and the string table.
 */
#include "text.h"

WText Widen(const char *bytes, size_t length, UINT codePage)
{
    WText wide;
    if (!length)
        return wide;
    int n = MultiByteToWideChar(codePage, 0, bytes, (int)length, NULL, 0);
    wide.resize(n > 0 ? n : 0);
    if (n > 0)
        MultiByteToWideChar(codePage, 0, bytes, (int)length, &wide[0], n);
    return wide;
}

Text Narrow(const WText &text, UINT codePage)
{
    Text bytes;
    if (text.empty())
        return bytes;
    int n = WideCharToMultiByte(codePage, 0, text.data(), (int)text.size(), NULL, 0, NULL, NULL);
    bytes.resize(n > 0 ? n : 0);
    if (n > 0)
        WideCharToMultiByte(codePage, 0, text.data(), (int)text.size(), &bytes[0], n, NULL, NULL);
    return bytes;
}

char *PutNumber(char *at, unsigned value, int digits)
{
    int n = 1;
    for (unsigned rest = value; rest >= 10; rest /= 10)
        n++;
    char *end = at + (n > digits ? n : digits);
    for (char *digit = end; digit > at; value /= 10)
        *--digit = (char)('0' + value % 10);
    return end;
}

void AppendNumber(Text &out, unsigned value, int digits)
{
    char number[16];
    out.append(number, PutNumber(number, value, digits) - number);
}

void AppendDuration(Text &out, int minutes)
{
    AppendNumber(out, minutes / 60);
    out += ':';
    AppendNumber(out, minutes % 60, 2);
}

/* Read from the resource itself, as LoadStringW reads it, so that the
   report needs no user32 unless it shows a window: a block of sixteen
   texts, each its length and its characters. */
WText LoadWide(UINT id)
{
    HMODULE module = GetModuleHandleW(NULL);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id / 16 + 1), MAKEINTRESOURCEW(6) /* RT_STRING */);
    const wchar_t *text = found ? (const wchar_t *)LockResource(LoadResource(module, found)) : NULL;
    for (UINT i = 0; text && i < id % 16; i++)
        text += 1 + *text;
    return text ? WText(text + 1, *text) : WText();
}

Text LoadBytes(UINT id, UINT codePage)
{
    return Narrow(LoadWide(id), codePage);
}

WText SystemReason(DWORD code)
{
    wchar_t *system = NULL;
    WText reason;
    if (FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                           FORMAT_MESSAGE_IGNORE_INSERTS,
                       NULL, code, 0, (LPWSTR)&system, 0, NULL) && system)
        reason = system;
    if (system)
        LocalFree(system);
    while (!reason.empty() && (reason.back() == L'\n' || reason.back() == L'\r' || reason.back() == L' '))
        reason.pop_back();
    return reason;
}
