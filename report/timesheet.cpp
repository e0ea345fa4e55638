/*
 * Usage report: reading the timesheets and the /users: mapping.
 *
 * A file is read in pieces through a small CSV state machine, so a
 * large CSV that is no timesheet costs only its first row.
 * Commas, quotes and line breaks cannot be the trail byte of a CP932
 * character, so the bytes are split first and each field converted after:
 * from UTF-8 when the file has a BOM or its first piece is valid UTF-8,
 * else from CP932. A field is kept only by its start, as a log line is.
 */
#include "timesheet.h"
#include "calendar.h"
#include "resource.h"

#include <algorithm>

static const DWORD PieceSize = 1 << 16;
static const size_t LongestField = 256;
static const int MostFields = 64;
static const int ShownChars = 80;

/* The column roles, in the order of their header lists in the string table. */
enum Role { RolePcUser, RolePerson, RoleDate, RoleStart, RoleEnd, RoleCount };

static std::vector<char> Piece;

static bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\x3000';
}

static WText Trim(const WText &text, bool quotes = false)
{
    size_t from = 0, to = text.size();
    while (from < to && (IsBlank(text[from]) || (quotes && text[from] == L'"')))
        from++;
    while (to > from && (IsBlank(text[to - 1]) || (quotes && text[to - 1] == L'"')))
        to--;
    return text.substr(from, to - from);
}

WText NameKey(const WText &name)
{
    WText key = Trim(name), upper(key.size(), L'\0');
    /* kernel32's own mapping: the report loads user32 only to show a box. */
    if (!key.empty() &&
        LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, key.data(), (int)key.size(), &upper[0], (int)upper.size()))
        return upper;
    return key;
}

/* The digits at at, their value, with their count in count: 0 when
   there are more than most. */
static int Number(const WText &text, size_t &at, int most, int *count)
{
    int value = 0;
    for (*count = 0; at < text.size() && text[at] >= L'0' && text[at] <= L'9'; at++, ++*count)
        value = *count < most ? value * 10 + (text[at] - L'0') : value;
    return *count <= most ? value : (*count = 0);
}

bool ReadSheetDate(const WText &text, int *day)
{
    static const wchar_t Year = L'\x5e74', Month = L'\x6708', Date = L'\x65e5';   /* 年 月 日 */
    size_t at = 0;
    int n, year = Number(text, at, 8, &n), month, date;
    if (n == 8 && at == text.size()) {
        month = year / 100 % 100;
        date = year % 100;
        year /= 10000;
    } else {
        if (n != 4 || at == text.size())
            return false;
        wchar_t separator = text[at++];
        bool kanji = separator == Year;
        if (separator != L'/' && separator != L'-' && !kanji)
            return false;
        month = Number(text, at, 2, &n);
        if (!n || at == text.size() || text[at++] != (kanji ? Month : separator))
            return false;
        date = Number(text, at, 2, &n);
        if (!n || (kanji && (at == text.size() || text[at++] != Date)) || at != text.size())
            return false;
    }
    if (!IsDate(year, month, date))
        return false;
    *day = DayNumber(year, month, date);
    return true;
}

bool ReadSheetTime(const WText &text, int *minutes)
{
    *minutes = -1;
    if (text.empty())
        return true;
    size_t at = 0;
    int n, m, s, hour = Number(text, at, 2, &n);
    if (!n || at == text.size() || text[at++] != L':')
        return false;
    int minute = Number(text, at, 2, &m);
    if (at < text.size() && text[at] == L':') {
        at++;
        if (Number(text, at, 2, &s) > 59 || s != 2)
            return false;
    }
    if (m != 2 || at != text.size() || hour > 47 || minute > 59)
        return false;
    *minutes = hour * 60 + minute;
    return true;
}

/* Which role a header text names, or RoleCount. */
static int RoleOf(const WText &header)
{
    WText name = Trim(header, true);
    for (int role = 0; role < RoleCount && !name.empty(); role++) {
        WText names = LoadWide(IDS_COLPCUSER + role);
        for (size_t at = 0; at <= names.size();) {
            size_t bar = std::min(names.find(L'|', at), names.size());
            if (CompareStringOrdinal(names.c_str() + at, (int)(bar - at), name.c_str(), (int)name.size(),
                                     TRUE) == CSTR_EQUAL)
                return role;
            at = bar + 1;
        }
    }
    return RoleCount;
}

/* Bytes in, records out: fields split at commas outside quotes, "" a
   quote inside them, a record ended by a line break outside them. */
class SheetReader {
public:
    SheetReader(Timesheets &sheets, int index, UINT codePage)
        : sheets(sheets), index(index), codePage(codePage), count(0), quoted(false), quoteSeen(false),
          line(1), recordLine(1), records(0), stop(false)
    {
        std::fill(columns, columns + RoleCount, -1);
    }
    /* False once the file has shown it is no timesheet. */
    bool Feed(const char *bytes, size_t length);
    void End();

private:
    /* The field's bytes from at up to the next one that means something
       in the current state, at least one (a line break in quotes alone,
       to be counted); the last one's offset. */
    size_t Add(const char *bytes, size_t at, size_t length)
    {
        size_t end = at + 1;
        while (bytes[at] != '\n' && end < length && bytes[end] != '"' && bytes[end] != '\n' &&
               (quoted || (bytes[end] != ',' && bytes[end] != '\r')))
            end++;
        if (field.size() < LongestField)
            field.append(bytes + at, std::min(end - at, LongestField - field.size()));
        return end - 1;
    }
    void EndField();
    void EndRecord();

    Timesheets &sheets;
    int index;
    UINT codePage;
    /* The record's fields, their buffers kept from one record to the next. */
    Text fields[MostFields];
    WText wide[MostFields];
    int count;
    Text field;
    bool quoted, quoteSeen;
    int line, recordLine, records;
    int columns[RoleCount];
    bool stop;
};

bool SheetReader::Feed(const char *bytes, size_t length)
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
        else if (c == ',')
            EndField();
        else if (c == '\n') {
            EndRecord();
            recordLine = ++line;
        } else if (c != '\r')
            i = Add(bytes, i, length);
    }
    return !stop;
}

void SheetReader::EndField()
{
    if (count < MostFields)
        fields[count++].swap(field);
    field.clear();
}

/* bytes as UTF-16 without the blanks around them; a byte never gives
   more than one UTF-16 unit. Most fields (dates, times, ASCII names) are
   ASCII, which needs no conversion. */
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
    out.resize(to);
    out.erase(0, from);
}

void SheetReader::EndRecord()
{
    EndField();
    int fieldCount = count;
    bool blank = true;
    for (int i = 0; i < fieldCount; i++) {
        Decode(fields[i], codePage, wide[i]);
        blank = blank && wide[i].empty();
    }
    count = 0;
    SheetFile &file = sheets.files[index];
    if (records++ == 0 && !file.mapping) {
        for (int i = 0; i < fieldCount; i++) {
            int role = RoleOf(wide[i]);
            if (role < RoleCount && columns[role] < 0)
                columns[role] = i;
        }
        file.isSheet = columns[RoleDate] >= 0 && columns[RoleStart] >= 0 && columns[RoleEnd] >= 0 &&
                       (columns[RolePcUser] >= 0 || columns[RolePerson] >= 0);
        stop = !file.isSheet;
        return;
    }
    if (blank)
        return;
    if (!file.mapping) {
        sheets.Row(index, recordLine, wide, fieldCount, columns);
    } else if (fieldCount >= 2 && !(records == 1 && RoleOf(wide[1]) == RolePcUser)) {
        /* A header row, if there is one, names the PC user column. */
        if (!wide[0].empty() && !wide[1].empty()) {
            sheets.users[NameKey(wide[0])] = wide[1];
            file.rows++;
        }
    }
}

void SheetReader::End()
{
    if (!stop && (quoted || !field.empty() || count))
        EndRecord();
}

static const WText NoField;

/* The fields come trimmed. */
void Timesheets::Row(int file, int line, const WText *fields, int count, const int columns[])
{
    auto column = [&](int role) -> const WText & {
        return columns[role] >= 0 && columns[role] < count ? fields[columns[role]] : NoField;
    };
    const WText &user = column(RolePcUser), &person = column(RolePerson);
    int day, start, end;
    if (!ReadSheetDate(column(RoleDate), &day) || !ReadSheetTime(column(RoleStart), &start) ||
        !ReadSheetTime(column(RoleEnd), &end) || (user.empty() && person.empty())) {
        if (badRows.size() < BadLinesShown) {
            WText text;
            for (int i = 0; i < count && (int)text.size() < ShownChars; i++) {
                if (i)
                    text += L',';
                text += fields[i];
            }
            for (wchar_t &c : text)
                if (c < L' ')
                    c = 0xFFFD;
            BadLine row = {file, line, Narrow(text, CP_UTF8)};
            badRows.push_back(row);
        }
        badRowCount++;
        return;
    }
    files[file].rows++;
    /* The rows of one person mostly follow each other. */
    const WText &shown = user.empty() ? person : user;
    if (!last || shown != lastShown || lastMapped != user.empty()) {
        WText pcUser = shown;
        if (user.empty()) {
            std::map<WText, WText>::const_iterator mapped = users.find(NameKey(person));
            if (mapped != users.end())
                pcUser = mapped->second;
        }
        last = &persons[NameKey(pcUser)];
        lastShown = shown;
        lastMapped = user.empty();
    }
    Person &declared = *last;
    if (!declared.rows++)
        declared.name = Narrow(shown, CP_UTF8);
    /* Split shifts: the earliest start and the latest end. Rows mostly come
       by date, so a new day goes at the end. */
    Declared &cell = declared.days.insert(declared.days.end(), std::make_pair(day, Declared{-1, -1}))->second;
    if (start >= 0 && (cell.start < 0 || start < cell.start))
        cell.start = (short)start;
    if (end > cell.end)
        cell.end = (short)end;
}

void Timesheets::ReadFile(int index)
{
    SheetFile &file = files[index];
    HANDLE handle = CreateFileW(file.path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, NULL);
    if (handle == INVALID_HANDLE_VALUE) {
        file.error = GetLastError();
        return;
    }
    Piece.resize(PieceSize);
    DWORD got = 0;
    bool read = ::ReadFile(handle, Piece.data(), PieceSize, &got, NULL) != 0;
    const char *at = Piece.data();
    UINT codePage = LogCodePage;
    if (got >= 3 && at[0] == '\xef' && at[1] == '\xbb' && at[2] == '\xbf') {
        codePage = CP_UTF8;
        at += 3;
        got -= 3;
    } else {
        /* Up to the piece's last line break, so no character is cut. */
        DWORD whole = got;
        while (whole && got == PieceSize && at[whole - 1] != '\n')
            whole--;
        if (whole && MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, at, (int)whole, NULL, 0) > 0)
            codePage = CP_UTF8;
    }
    SheetReader reader(*this, index, codePage);
    while (read && got && reader.Feed(at, got)) {
        read = ::ReadFile(handle, Piece.data(), PieceSize, &got, NULL) != 0;
        at = Piece.data();
    }
    if (!read)
        file.error = GetLastError();
    CloseHandle(handle);
    reader.End();
}

void Timesheets::Read(const std::vector<WText> &paths, const WText &usersFile)
{
    if (!usersFile.empty()) {
        SheetFile mapping = {usersFile, 0, 0, false, true};
        files.push_back(mapping);
        ReadFile(0);
    }
    for (const WText &path : paths) {
        SheetFile file = {path, 0, 0, false, false};
        files.push_back(file);
        ReadFile((int)files.size() - 1);
    }
}

bool Timesheets::AllRead() const
{
    for (const SheetFile &file : files)
        if (file.error)
            return false;
    return !badRowCount;
}
