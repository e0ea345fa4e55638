/*
 * Usage report: reading CSV files as offices have them.
 *
 * A file is read in pieces through a small state machine, so a large CSV
 * that is not what was looked for costs only its first rows. Commas,
 * tabs, quotes and line breaks cannot be the trail byte of a CP932
 * character, so the bytes are split first and each field converted
 * after. Excel's Unicode text (UTF-16 with a BOM) is made UTF-8 piece by
 * piece before it is split.
 */
#include "csvread.h"

#include <algorithm>
#include <cstring>
#include <vector>

static const DWORD PieceSize = 1 << 16;

bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\x3000';
}

WText Trim(const WText &text)
{
    size_t from = 0, to = text.size();
    while (from < to && IsBlank(text[from]))
        from++;
    while (to > from && IsBlank(text[to - 1]))
        to--;
    return text.substr(from, to - from);
}

const WText &Folded(const WText &text, WText &folded)
{
    size_t at = 0;
    while (at < text.size() && text[at] < 0x3000)
        at++;
    if (at == text.size())
        return text;
    folded = text;
    for (wchar_t &c : folded)
        c = c >= 0xFF01 && c <= 0xFF5E ? (wchar_t)(c - 0xFEE0) : c == 0x3000 ? L' ' : c;
    return folded;
}

bool Listed(const WText &names, const wchar_t *text, size_t length)
{
    for (size_t at = 0; at <= names.size() && length;) {
        size_t bar = std::min(names.find(L'|', at), names.size());
        if (CompareStringOrdinal(names.c_str() + at, (int)(bar - at), text, (int)length, TRUE) == CSTR_EQUAL)
            return true;
        at = bar + 1;
    }
    return false;
}

static bool IsMark(wchar_t c)
{
    static const wchar_t marks[] = L" \"*.\x203b\x25cf\x25cb\x25ce\x25a0\x25a1\x25c6\x25c7\x2605\x2606";
    return c && wcschr(marks, c);
}

WText HeaderKey(const WText &header)
{
    WText folded, key;
    for (wchar_t c : Folded(header, folded))
        if (c != L' ' && c != L'\t')
            key += c;
    size_t from = 0, to = key.size();
    while (from < to && IsMark(key[from]))
        from++;
    while (to > from && IsMark(key[to - 1]))
        to--;
    return key.substr(from, to - from);
}

CsvReader::CsvReader(size_t longestField)
    : codePage(LogCodePage), line(1), recordLine(1), records(0), separator(0), stop(false), count(0),
      longest(longestField), quoted(false), quoteSeen(false)
{
}

/* The field's bytes from at up to the next one that means something in
   the current state, at least one (a line break in quotes alone, to be
   counted); the last one's offset. */
size_t CsvReader::Add(const char *bytes, size_t at, size_t length)
{
    size_t end = at + 1;
    while (bytes[at] != '\n' && end < length && bytes[end] != '"' && bytes[end] != '\n' &&
           (quoted || (bytes[end] != ',' && bytes[end] != '\t' && bytes[end] != '\r')))
        end++;
    if (field.size() < longest)
        field.append(bytes + at, std::min(end - at, longest - field.size()));
    return end - 1;
}

bool CsvReader::Feed(const char *bytes, size_t length)
{
    for (size_t i = 0; i < length && !stop; i++) {
        char c = bytes[i];
        if (quoted) {
            if (quoteSeen) {
                quoteSeen = false;
                if (c == '"') {
                    i = Add(bytes, i, length);
                    continue;
                }
                quoted = false;
            } else {
                if (c == '"')
                    quoteSeen = true;
                else
                    i = Add(bytes, i, length);
                line += c == '\n';
                continue;
            }
        }
        if (c == '"' && field.empty())
            quoted = true;
        else if (c == separator || (!separator && (c == ',' || c == '\t')))
            EndField(c);
        else if (c == '\n') {
            EndRecord();
            recordLine = ++line;
        } else if (c != '\r')
            i = Add(bytes, i, length);
    }
    return !stop;
}

void CsvReader::EndField(char by)
{
    if (count < MostFields) {
        ends[count] = by;
        fields[count++].swap(field);
    }
    field.clear();
}

/* bytes as UTF-16 without the blanks around them; a byte never gives
   more than one UTF-16 unit. Most fields (dates, times, ASCII names) are
   ASCII, which needs no conversion. A field Excel is told to keep as
   text, ="00123", is its text, its doubled quotes single. */
static void Decode(const Text &bytes, UINT codePage, WText &out)
{
    out.resize(bytes.size());
    size_t to = 0, from = 0;
    while (to < bytes.size() && (unsigned char)bytes[to] < 0x80) {
        out[to] = bytes[to];
        to++;
    }
    if (to < bytes.size()) {
        int n = MultiByteToWideChar(codePage, 0, bytes.data(), (int)bytes.size(), &out[0], (int)out.size());
        to = n > 0 ? n : 0;
    }
    while (to > from && IsBlank(out[to - 1]))
        to--;
    while (from < to && IsBlank(out[from]))
        from++;
    bool guard = to - from >= 3 && out[from] == L'=' && out[from + 1] == L'"' && out[to - 1] == L'"';
    if (guard) {
        from += 2;
        to--;
    }
    out.resize(to);
    out.erase(0, from);
    for (size_t at = 0; guard && (at = out.find(L"\"\"", at)) != WText::npos; at++)
        out.erase(at, 1);
}

void CsvReader::EndRecord()
{
    EndField('\n');
    int fieldCount = count;
    bool blank = true;
    for (int i = 0; i < fieldCount; i++) {
        if (i < (int)wanted.size() && !wanted[i])
            wide[i].clear();
        else
            Decode(fields[i], codePage, wide[i]);
        blank = blank && wide[i].empty();
    }
    count = 0;
    records++;
    Record(fieldCount, blank);
}

void CsvReader::End()
{
    if (!stop && (quoted || !field.empty() || count))
        EndRecord();
}

/* UTF-16LE bytes, after those carried from the piece before, as UTF-8;
   a unit or a surrogate pair cut by the piece's end is carried on. */
static void Utf8Of(const char *bytes, size_t length, std::vector<char> &carry, std::vector<char> &out)
{
    carry.insert(carry.end(), bytes, bytes + length);
    size_t units = carry.size() / 2;
    if (units && (carry[units * 2 - 1] & 0xFC) == 0xD8)
        units--;
    WText wide(units, L'\0');
    if (units)
        memcpy(&wide[0], carry.data(), units * 2);
    int n = units ? WideCharToMultiByte(CP_UTF8, 0, wide.data(), (int)units, NULL, 0, NULL, NULL) : 0;
    out.resize(n > 0 ? n : 0);
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), (int)units, out.data(), n, NULL, NULL);
    carry.erase(carry.begin(), carry.begin() + units * 2);
}

DWORD ReadCsvFile(const WText &path, CsvReader &reader, SheetEncoding *encoding)
{
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, NULL);
    if (handle == INVALID_HANDLE_VALUE)
        return GetLastError();
    std::vector<char> piece(PieceSize);
    DWORD got = 0, error = 0;
    bool read = ::ReadFile(handle, piece.data(), PieceSize, &got, NULL) != 0;
    const char *at = piece.data();
    *encoding = SheetCp932;
    if (got >= 2 && at[0] == '\xff' && at[1] == '\xfe') {
        *encoding = SheetUtf16;
        at += 2;
        got -= 2;
    } else if (got >= 3 && at[0] == '\xef' && at[1] == '\xbb' && at[2] == '\xbf') {
        *encoding = SheetUtf8;
        at += 3;
        got -= 3;
    } else {
        /* Up to the piece's last line break, so no character is cut. */
        DWORD whole = got;
        while (whole && got == PieceSize && at[whole - 1] != '\n')
            whole--;
        if (whole && MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, at, (int)whole, NULL, 0) > 0)
            *encoding = SheetUtf8;
    }
    reader.codePage = *encoding == SheetCp932 ? LogCodePage : CP_UTF8;
    std::vector<char> carry, utf8;
    while (read && got) {
        if (*encoding == SheetUtf16)
            Utf8Of(at, got, carry, utf8);
        if (!(*encoding == SheetUtf16 ? reader.Feed(utf8.data(), utf8.size()) : reader.Feed(at, got)))
            break;
        read = ::ReadFile(handle, piece.data(), PieceSize, &got, NULL) != 0;
        at = piece.data();
    }
    if (!read)
        error = GetLastError();
    CloseHandle(handle);
    reader.End();
    return error;
}
