/*
 * Usage report: reading the timesheets and the /users: mapping.
 *
 * The file is split and decoded by the CSV reader; a field is kept only
 * by its start, as a log line is.
 *
 * Exports put a title, the month or the time of export above the header,
 * and some separate their fields with tabs: the first rows are split at
 * both until one names the columns a timesheet needs, and the rows after
 * it at the separator that row has.
 */
#include "timesheet.h"
#include "calendar.h"
#include "resource.h"

#include <algorithm>
#include <cstring>

static const size_t LongestField = 256;
static const int ShownChars = 80;
/* Numbered start and end columns, 出勤1 to 出勤9; 0 is the unnumbered. */
static const int MostPairs = 10;
static const int LatestTime = 47 * 60 + 59;

static const UINT RoleLists[RoleCount] = {IDS_COLPCUSER, IDS_COLCODE,    IDS_COLNAME,  IDS_COLFAMILY,
                                          IDS_COLDATE,   IDS_COLWORKDAY, IDS_COLSTART, IDS_COLEND,
                                          IDS_COLTIME,   IDS_COLMOMENT,  IDS_COLKIND,  IDS_COLDEPARTMENT};

/* The string table's lists, loaded once per run of Read. */
static WText Lists[RoleCount], PunchIns, PunchOuts, TotalWords;
static const WText NoField;

WText NameKey(const WText &name)
{
    WText key = Trim(name), upper(key.size(), L'\0');
    /* kernel32's own mapping: the report loads user32 only to show a box. */
    if (!key.empty() &&
        LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, key.data(), (int)key.size(), &upper[0], (int)upper.size()))
        return upper;
    return key;
}

/* Which role a header text names, or RoleCount; *number the pair a
   numbered start or end belongs to (出勤2, 退勤②), else 0. Compared
   without the marks around it and its blanks, full-width folded. */
static int RoleOf(const WText &header, int *number)
{
    WText key = HeaderKey(header);
    size_t from = 0, to = key.size();
    *number = 0;
    for (int role = 0; role < RoleCount; role++)
        if (Listed(Lists[role], key.c_str() + from, to - from))
            return role;
    size_t name = to;
    if (name > from && key[name - 1] >= 0x2460 && key[name - 1] <= 0x2468) {    /* ① to ⑨ */
        *number = key[--name] - 0x2460 + 1;
    } else if (name > from + 1 && key[name - 1] >= L'1' && key[name - 1] <= L'9' &&
               !(key[name - 2] >= L'0' && key[name - 2] <= L'9')) {
        *number = key[--name] - L'0';
    }
    if (*number && Listed(Lists[RoleStart], key.c_str() + from, name - from))
        return RoleStart;
    if (*number && Listed(Lists[RoleEnd], key.c_str() + from, name - from))
        return RoleEnd;
    *number = 0;
    return RoleCount;
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

/* The Japanese era a date may be written in, by its name or letter (令和8
   or R8): the year before its first; 0 for none. Only the eras a
   timesheet can name. */
static int EraAt(const WText &text, size_t &at)
{
    static const struct {
        const wchar_t *name;
        int before;
    } eras[] = {{L"\x4ee4\x548c", 2018}, {L"R", 2018}, {L"r", 2018},
                {L"\x5e73\x6210", 1988}, {L"H", 1988}, {L"h", 1988}};
    for (const auto &era : eras) {
        size_t length = wcslen(era.name);
        if (!text.compare(at, length, era.name)) {
            at += length;
            return era.before;
        }
    }
    return 0;
}

static const wchar_t Year = L'\x5e74', Month = L'\x6708', Date = L'\x65e5', First = L'\x5143'; /* 年 月 日 元 */

/* The period yearless dates are placed in. */
static int PeriodFirst = 0, PeriodLast = -1;

void SetSheetPeriod(int first, int last)
{
    PeriodFirst = first;
    PeriodLast = last;
}

/* The year of a date without its year, 11月2日 or 11/2, as LibreOffice
   Calc saves the report's dates back: that month and date in the period,
   the latest where it holds several; 0 where it holds none. */
static int YearInPeriod(int month, int date)
{
    int first, last, unused;
    DateOf(PeriodFirst, &first, &unused, &unused);
    DateOf(PeriodLast, &last, &unused, &unused);
    for (int year = last; year >= first && PeriodFirst <= PeriodLast; year--)
        if (IsDate(year, month, date) && DayNumber(year, month, date) >= PeriodFirst &&
            DayNumber(year, month, date) <= PeriodLast)
            return year;
    return 0;
}

/* A date at at, and the weekday after it if there is one; at moved past
   them. The text is folded. */
static bool DateAt(const WText &text, size_t &at, int *day)
{
    int n, year, month = 0, date = 0;
    if (int before = EraAt(text, at)) {
        if (at < text.size() && text[at] == First) {
            at++;
            year = n = 1;
        } else {
            year = Number(text, at, 2, &n);
        }
        if (!n || !year)
            return false;
        year += before;
    } else {
        year = Number(text, at, 8, &n);
        if ((n == 1 || n == 2) && at < text.size() && (text[at] == Month || text[at] == L'/')) {
            bool kanji = text[at++] == Month;
            month = year;
            date = Number(text, at, 2, &n);
            if (!n || (kanji && (at == text.size() || text[at++] != Date)) || !(year = YearInPeriod(month, date)))
                return false;
            n = 0;  /* read whole */
        } else if (n != 4 && n != 8) {
            return false;
        }
    }
    if (n == 8) {
        month = year / 100 % 100;
        date = year % 100;
        year /= 10000;
    } else if (n) {
        if (at == text.size())
            return false;
        wchar_t separator = text[at++];
        bool kanji = separator == Year;
        if (separator != L'/' && separator != L'-' && separator != L'.' && !kanji)
            return false;
        month = Number(text, at, 2, &n);
        if (!n || at == text.size() || text[at++] != (kanji ? Month : separator))
            return false;
        date = Number(text, at, 2, &n);
        if (!n || (kanji && (at == text.size() || text[at++] != Date)))
            return false;
    }
    if (!IsDate(year, month, date))
        return false;
    *day = DayNumber(year, month, date);
    size_t mark = at;
    while (mark < text.size() && text[mark] == L' ')
        mark++;
    size_t close = mark < text.size() && text[mark] == L'(' ? text.find(L')', mark) : WText::npos;
    if (close != WText::npos && close - mark <= 4)
        at = close + 1;
    return true;
}

/* A time at at, 9:00, 09:00:00 or 9時00分, up to most hours. */
static bool TimeAt(const WText &text, size_t &at, int most, int *minutes)
{
    static const wchar_t Hour = L'\x6642', Minute = L'\x5206', Second = L'\x79d2'; /* 時 分 秒 */
    int n, m, s, hour = Number(text, at, 2, &n), minute = 0;
    if (!n || at == text.size())
        return false;
    if (text[at] == L':') {
        at++;
        minute = Number(text, at, 2, &m);
        if (m != 2)
            return false;
        if (at < text.size() && text[at] == L':') {
            at++;
            if (Number(text, at, 2, &s) > 59 || s != 2)
                return false;
        }
    } else if (text[at++] == Hour && at < text.size()) {
        minute = Number(text, at, 2, &m);
        if (!m || at == text.size() || text[at++] != Minute)
            return false;
        if (at < text.size() && (Number(text, at, 2, &s) > 59 || !s || at == text.size() || text[at++] != Second))
            return false;
    } else if (text[at - 1] != Hour) {
        return false;
    }
    if (hour > most || minute > 59)
        return false;
    *minutes = hour * 60 + minute;
    return true;
}

/* Blanks, or the T of 2026-11-02T09:00, between a date and its time. */
static bool SkipToTime(const WText &text, size_t &at)
{
    size_t from = at;
    if (at < text.size() && text[at] == L'T')
        at++;
    while (at < text.size() && text[at] == L' ')
        at++;
    return at > from && at < text.size();
}

bool ReadSheetDate(const WText &text, int *day)
{
    WText buffer;
    const WText &folded = Folded(text, buffer);
    size_t at = 0;
    int minutes;
    /* Excel writes a date cell with the time of its midnight. */
    return DateAt(folded, at, day) &&
           (at == folded.size() || (SkipToTime(folded, at) && TimeAt(folded, at, 23, &minutes) && at == folded.size()));
}

bool ReadSheetMoment(const WText &text, int *day, int *minutes)
{
    *day = *minutes = -1;
    if (text.empty())
        return true;
    WText buffer;
    const WText &folded = Folded(text, buffer);
    size_t at = 0;
    int most = 47;
    if (DateAt(folded, at, day)) {
        if (!SkipToTime(folded, at))
            return false;
        most = 23;
    } else {
        at = 0;
        *day = -1;
    }
    return TimeAt(folded, at, most, minutes) && at == folded.size();
}

/* A total row's mark: 合計, 小計, 総計, 計, 平均 alone or in brackets, or
   ending a group's name (営業部 計, 山田 太郎 小計, 月間合計). */
static bool IsTotal(const WText &text)
{
    static const wchar_t brackets[] = L" ()[]<>\x3010\x3011\x300c\x300d";   /* 【】「」 */
    WText buffer;
    const WText &folded = Folded(text, buffer);
    size_t from = 0, to = folded.size();
    while (from < to && wcschr(brackets, folded[from]))
        from++;
    while (to > from && wcschr(brackets, folded[to - 1]))
        to--;
    for (size_t at = 0; at <= TotalWords.size() && to > from;) {
        size_t bar = std::min(TotalWords.find(L'|', at), TotalWords.size()), length = bar - at;
        if (to - from >= length && !folded.compare(to - length, length, TotalWords, at, length) &&
            (to - from == length || length > 1 || folded[to - length - 1] == L' '))
            return true;
        at = bar + 1;
    }
    return false;
}

struct Pair {
    int start, end;
};

/* Where a timesheet's columns are: the first of each role, and the start
   and end of each pair, 0 the unnumbered one. */
struct Layout {
    int columns[RoleCount];
    Pair pairs[MostPairs];
    int pairCount;
    bool punches;   /* a row per punch: a time and a kind */
    bool dated;     /* starts and ends are dates and times (出勤日時) */
};

/* The records of one timesheet or of the mapping: the header searched
   for among the first rows, then each row read by its columns. */
class SheetReader : public CsvReader {
public:
    SheetReader(Timesheets &sheets, int index)
        : CsvReader(LongestField), sheets(sheets), index(index), best(0), mapped{0, 1, 2}
    {
    }

private:
    void Record(int fieldCount, bool blank) override;
    int Columns(int fieldCount, char by, Layout &found, Text taken[], int *named) const;
    void Search(int fieldCount);
    void Mapping(int fieldCount);

    Timesheets &sheets;
    int index;
    Layout layout;
    int best;           /* the roles the best row so far named */
    int mapped[3];      /* the mapping's person, PC user and department columns */
};

void SheetReader::Record(int fieldCount, bool blank)
{
    if (sheets.files[index].mapping)
        Mapping(fieldCount);
    else if (!separator)
        Search(blank ? 0 : fieldCount);
    else if (!blank)
        sheets.Row(index, recordLine, wide, fieldCount, layout);
}

/* The columns the record names with its fields split at by (a field
   with the other separator in it names none): the Lack bits, the header
   texts taken for each role (UTF-8) and how many roles it names. */
int SheetReader::Columns(int fieldCount, char by, Layout &found, Text taken[], int *named) const
{
    std::fill(found.columns, found.columns + RoleCount, -1);
    std::fill(found.pairs, found.pairs + MostPairs, Pair{-1, -1});
    found.pairCount = 0;
    found.dated = false;
    *named = 0;
    CsvReader::Columns(fieldCount, by, [&](int i, int column) {
        int number, role = RoleOf(wide[i], &number);
        int *at = role == RoleStart || role == RoleEnd
                      ? (role == RoleStart ? &found.pairs[number].start : &found.pairs[number].end)
                      : role < RoleCount ? &found.columns[role] : NULL;
        if (!at || *at >= 0)
            return;
        *at = column;
        if (role == RoleStart || role == RoleEnd) {
            found.pairCount = std::max(found.pairCount, number + 1);
            found.dated = found.dated || wide[i].find(L"\x65e5\x6642") != WText::npos;     /* 日時 */
            /* The first of them, to say there is one. */
            found.columns[role] = found.columns[role] < 0 ? column : found.columns[role];
        }
        if (!taken[role].empty())
            taken[role] += "\xe3\x80\x81";
        taken[role] += Narrow(wide[i], CP_UTF8);
    });
    bool who = false;
    for (int role : {RolePcUser, RoleCode, RoleName, RoleFamily})
        who = who || found.columns[role] >= 0;
    bool day = found.columns[RoleDate] >= 0 || found.columns[RoleWorkDay] >= 0;
    bool start = found.columns[RoleStart] >= 0, end = found.columns[RoleEnd] >= 0;
    for (int role = 0; role < RoleCount; role++)
        *named += found.columns[role] >= 0;
    /* A row per punch has a kind and no start and end columns. */
    found.punches = found.columns[RoleKind] >= 0 && !(start && end);
    int lack = who ? 0 : LackWho;
    if (found.punches) {
        lack |= found.columns[RoleTime] < 0 && found.columns[RoleMoment] < 0 ? LackTime : 0;
        lack |= day || found.columns[RoleMoment] >= 0 ? 0 : LackDay;
    } else {
        lack |= (day || found.dated ? 0 : LackDay) | (start ? 0 : LackStart) | (end ? 0 : LackEnd);
    }
    return lack;
}

static int Bits(int value)
{
    int bits = 0;
    for (; value; value &= value - 1)
        bits++;
    return bits;
}

/* One of the first rows: the header if it names a timesheet's columns
   split at a comma or at a tab; else, if it comes nearest so far, what
   the page says the file lacked. */
void SheetReader::Search(int fieldCount)
{
    SheetFile &file = sheets.files[index];
    Layout tried[2];
    Text taken[2][RoleCount];
    int lack[2] = {0, 0}, named[2] = {0, 0};
    for (int i = 0; i < 2 && fieldCount; i++)
        lack[i] = Columns(fieldCount, ",\t"[i], tried[i], taken[i], &named[i]);
    /* The split that lacks fewer kinds of column, else names more: the
       comma when both are the same. */
    int pick = Bits(lack[1]) < Bits(lack[0]) || (Bits(lack[1]) == Bits(lack[0]) && named[1] > named[0]);
    if (named[pick] && (!best || Bits(lack[pick]) < Bits(file.lacking))) {
        best = named[pick];
        file.headerLine = recordLine;
        file.lacking = lack[pick];
        file.separator = ",\t"[pick];
        for (int role = 0; role < RoleCount; role++)
            file.taken[role].swap(taken[pick][role]);
    }
    if (named[pick] && !lack[pick]) {
        file.isSheet = true;
        separator = ",\t"[pick];
        layout = tried[pick];
    }
    stop = !separator && records == HeaderRows;
}

/* The mapping: the person, the PC user and the department, split at a
   tab when its first row has one and no comma. A header row, if there is
   one, names the PC user column or the department's; the person's is
   then the first other. */
void SheetReader::Mapping(int fieldCount)
{
    SheetFile &file = sheets.files[index];
    int number;
    if (records == 1) {
        bool tab = false, comma = false;
        for (int i = 0; i + 1 < fieldCount; i++) {
            tab = tab || ends[i] == '\t';
            comma = comma || ends[i] == ',';
        }
        separator = file.separator = tab && !comma ? '\t' : ',';
        int named[3] = {-1, -1, -1};
        for (int i = 0; i < fieldCount; i++) {
            int role = RoleOf(wide[i], &number);
            if (role == RolePcUser && named[1] < 0)
                named[1] = i;
            else if (role == RoleDepartment && named[2] < 0)
                named[2] = i;
        }
        if (named[1] >= 0 || named[2] >= 0) {
            for (int i = 0; i < fieldCount; i++)
                if (i != named[1] && i != named[2] && (named[0] < 0 || named[1] < 0))
                    named[named[0] < 0 ? 0 : 1] = i;
            std::copy(named, named + 3, mapped);
            return;
        }
    }
    auto field = [&](int column) -> const WText & { return column >= 0 && column < fieldCount ? wide[column] : NoField; };
    const WText &person = field(mapped[0]), &user = field(mapped[1]), &department = field(mapped[2]);
    if (user.empty() || (person.empty() && department.empty()))
        return;
    if (!person.empty())
        sheets.users[NameKey(person)] = user;
    if (!department.empty())
        sheets.departments[NameKey(user)] = department;
    file.rows++;
}


/* A row that is not a record: a total (its mark in the day's cell, or in
   any cell when that is empty), or the header again. */
static bool IsSkipped(const WText &day, const WText *fields, int count)
{
    int number;
    if (!day.empty()) {
        int role = RoleOf(day, &number);
        return IsTotal(day) || role == RoleDate || role == RoleWorkDay || role == RoleMoment;
    }
    for (int i = 0; i < count; i++)
        if (IsTotal(fields[i]))
            return true;
    return false;
}

void Timesheets::BadRow(int file, int line, const WText *fields, int count)
{
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
}

/* A row's person, from its PC user name, else its code, else its name;
   the rows of one person mostly follow each other. A code is looked up
   in the mapping, then the name beside it; the name of a code the
   mapping does not have may still name a PC user (Find). */
Person *Timesheets::PersonOf(const WText &user, const WText &code, const WText &name)
{
    int kind = !user.empty() ? 0 : !code.empty() ? 1 : 2;
    const WText &shown = kind == 0 ? user : kind == 1 ? code : name;
    if (last && kind == lastKind && shown == lastShown)
        return last;
    WText pcUser = shown;
    bool mapped = false;
    for (const WText *person : {&code, &name}) {
        if (kind && !mapped && !person->empty()) {
            std::map<WText, WText>::const_iterator found = users.find(NameKey(*person));
            mapped = found != users.end();
            pcUser = mapped ? found->second : pcUser;
        }
    }
    lastKey = NameKey(pcUser);
    const WText &key = lastKey;
    last = &persons[key];
    lastShown = shown;
    lastKind = kind;
    if (!last->rows)
        last->name = Narrow(kind == 1 && !name.empty() ? code + L' ' + name : shown, CP_UTF8);
    if (kind == 1 && !mapped && !name.empty()) {
        std::map<WText, WText>::iterator alias = aliases.insert(std::make_pair(NameKey(name), key)).first;
        if (alias->second != key)
            alias->second.clear();
    }
    return last;
}

const Person *Timesheets::Find(const WText &key) const
{
    std::map<WText, Person>::const_iterator found = persons.find(key);
    if (found != persons.end())
        return &found->second;
    std::map<WText, WText>::const_iterator alias = aliases.find(key);
    if (alias == aliases.end() || alias->second.empty())
        return NULL;
    found = persons.find(alias->second);
    return found != persons.end() ? &found->second : NULL;
}

/* The fields come trimmed. Times are minutes from the day's midnight: a
   time with a date of its own from that date's, an end without one at or
   before its start the next day's (a night shift, 22:00 to 7:00). A day
   is its work day's, else its date's, else its first dated time's. */
void Timesheets::Row(int file, int line, const WText *fields, int count, const Layout &layout)
{
    auto field = [&](int column) -> const WText & { return column >= 0 && column < count ? fields[column] : NoField; };
    auto column = [&](int role) -> const WText & { return field(layout.columns[role]); };
    int dayRole = layout.columns[RoleWorkDay] >= 0 ? RoleWorkDay : RoleDate;
    const WText &dayText = column(dayRole);
    int day = -1, start = -1, end = -1;
    bool read = layout.columns[dayRole] < 0 || ReadSheetDate(dayText, &day);
    if (read && layout.punches) {
        const WText &kind = column(RoleKind), &moment = column(RoleMoment);
        bool in = Listed(PunchIns, kind.c_str(), kind.size()), out = Listed(PunchOuts, kind.c_str(), kind.size());
        if (!in && !out && !kind.empty())
            return;     /* another kind of punch: a break, going out */
        /* The punch's own date: its cell's, else the date column's when a
           work day decides, else the day's. */
        int own = -1, minutes = -1, date = -1;
        read = (in || out) && ReadSheetMoment(moment.empty() ? column(RoleTime) : moment, &own, &minutes) &&
               minutes >= 0 && (dayRole == RoleDate || column(RoleDate).empty() || ReadSheetDate(column(RoleDate), &date));
        own = own >= 0 ? own : date >= 0 ? date : day;
        day = day >= 0 ? day : own;
        minutes += (own - day) * MinutesPerDay;
        read = read && minutes >= 0;
        (in ? start : end) = minutes;
    } else if (read) {
        int dates[MostPairs][2], times[MostPairs][2];
        bool any = false;
        for (int p = 0; p < layout.pairCount && read; p++) {
            for (int side = 0; side < 2 && read; side++) {
                read = ReadSheetMoment(field(side ? layout.pairs[p].end : layout.pairs[p].start), &dates[p][side],
                                       &times[p][side]);
                day = day >= 0 || !read ? day : dates[p][side];
                any = any || times[p][side] >= 0;
            }
        }
        /* Without a date column, a row of empty times declares nothing. */
        if (read && day < 0 && !any)
            return;
        /* The pairs run in order: a time without a date of its own before
           the one it follows is the next day's. */
        for (int p = 0, previous = -1; p < layout.pairCount && read && day >= 0; p++) {
            int from = times[p][0], to = times[p][1];
            from += from >= 0 && dates[p][0] >= 0 ? (dates[p][0] - day) * MinutesPerDay : 0;
            if (from >= 0 && dates[p][0] < 0 && from < MinutesPerDay && from < previous)
                from += MinutesPerDay;
            previous = std::max(previous, from);
            to += to >= 0 && dates[p][1] >= 0 ? (dates[p][1] - day) * MinutesPerDay : 0;
            if (to >= 0 && dates[p][1] < 0 && to < MinutesPerDay && (from >= 0 ? to <= from : to < previous))
                to += MinutesPerDay;
            previous = std::max(previous, to);
            read = (from >= 0 || times[p][0] < 0) && (to >= 0 || times[p][1] < 0);
            start = from >= 0 && (start < 0 || from < start) ? from : start;
            end = std::max(end, to);
        }
    }
    const WText &user = column(RolePcUser), &code = column(RoleCode), &family = column(RoleFamily);
    WText joined;
    if (!family.empty())
        joined = column(RoleName).empty() ? family : family + L'\x3000' + column(RoleName);
    const WText &name = family.empty() ? column(RoleName) : joined;
    if (!read || day < 0 || start > LatestTime || end > LatestTime ||
        (user.empty() && code.empty() && name.empty())) {
        if (!IsSkipped(dayText, fields, count))
            BadRow(file, line, fields, count);
        return;
    }
    files[file].rows++;
    Person &declared = *PersonOf(user, code, name);
    declared.rows++;
    if (!column(RoleDepartment).empty())
        departments.insert(std::make_pair(lastKey, column(RoleDepartment)));
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
    SheetReader reader(*this, index);
    files[index].error = ReadCsvFile(files[index].path, reader, &files[index].encoding);
}

void Timesheets::Read(const std::vector<WText> &paths, const std::vector<bool> &named, const WText &usersFile)
{
    for (int role = 0; role < RoleCount; role++)
        Lists[role] = LoadWide(RoleLists[role]);
    PunchIns = LoadWide(IDS_PUNCHIN);
    PunchOuts = LoadWide(IDS_PUNCHOUT);
    TotalWords = LoadWide(IDS_TOTALWORDS);
    SheetFile file = {};
    if (!usersFile.empty()) {
        file.path = usersFile;
        file.mapping = true;
        files.push_back(file);
        ReadFile(0);
    }
    file.mapping = false;
    for (size_t i = 0; i < paths.size(); i++) {
        file.path = paths[i];
        file.named = i < named.size() && named[i];
        files.push_back(file);
        ReadFile((int)files.size() - 1);
    }
}

bool Timesheets::AllRead() const
{
    for (const SheetFile &file : files)
        if (file.error || (file.named && !file.mapping && !file.isSheet))
            return false;
    return !badRowCount;
}
