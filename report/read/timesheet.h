/*
 * Usage report: the declared working hours, read from the attendance
 * system's exports and hand-kept sheets, a row per person and day or a
 * row per punch. Each row says which PC user it is (the user name column,
 * or the person's code or name through the /users: mapping, or the person
 * as the PC user); the rows are kept by that user and day.
 */
#ifndef REPORT_TIMESHEET_H
#define REPORT_TIMESHEET_H

#include "csvread.h"
#include "report.h"

#include <map>
#include <vector>

/* Minutes from the day's midnight, 24:00 to 47:59 being the next day's;
   -1 where the row declares none. */
struct Declared {
    short start, end;
};

/* Everything declared for one PC user. */
struct Person {
    Text name;      /* UTF-8, as the first row wrote it */
    int rows;
    std::map<int, Declared> days;
};

/* The kinds of column a header can name, in the order of their lists in
   the string table and of the page's words for them: who the row is
   (the PC user name, the person's code, their name whole or its family
   part), the day (its date, or the work day a punch belongs to), the
   start and end of a day's row, and a punch's time, date and time, and
   kind; and the user's department, which no row needs. */
enum Role {
    RolePcUser, RoleCode, RoleName, RoleFamily, RoleDate, RoleWorkDay,
    RoleStart, RoleEnd, RoleTime, RoleMoment, RoleKind, RoleDepartment, RoleCount
};

/* What a file's best row lacked to be a header, in the order of the
   page's words for them. */
enum Lack { LackWho = 1, LackDay = 2, LackStart = 4, LackEnd = 8, LackTime = 16 };
const int LackCount = 5;

struct SheetFile {
    WText path;
    int rows;       /* read, header and blank lines aside */
    DWORD error;    /* could not be read: the system's reason */
    bool isSheet;   /* has the columns a timesheet needs */
    bool mapping;   /* the /users: file */
    bool named;     /* asked for by name, not found in a folder */
    /* How it was read, for the page: the header's line (of the best row
       when none was a header, 0 when no row named any column), the
       encoding and separator, the header texts taken for each role
       (UTF-8, joined by 、), and for a file that is no timesheet, the
       Lack bits of its best row. */
    int headerLine;
    SheetEncoding encoding;
    char separator;
    Text taken[RoleCount];
    int lacking;
};

struct Layout;

class Timesheets {
public:
    Timesheets() : badRowCount(0), last(NULL), lastKind(0) {}
    /* The mapping first, then each timesheet; named[i] when paths[i] was
       asked for by name. */
    void Read(const std::vector<WText> &paths, const std::vector<bool> &named, const WText &usersFile);
    /* Every file read and every row understood, and no file asked for by
       name skipped. */
    bool AllRead() const;
    /* The person declared for a PC user's NameKey, or NULL. */
    const Person *Find(const WText &key) const;

    std::map<WText, Person> persons;    /* by NameKey of the PC user */
    /* A PC user's department by NameKey of the user: the mapping's,
       else the first a timesheet's row gave. */
    std::map<WText, WText> departments;
    std::vector<SheetFile> files;
    /* Rows that could not be read, by their files here, as the logs'
       unreadable lines are kept: the first BadLinesShown. */
    std::vector<BadLine> badRows;
    int badRowCount;

private:
    void ReadFile(int index);
    void Row(int file, int line, const WText *fields, int count, const Layout &layout);
    void BadRow(int file, int line, const WText *fields, int count);
    Person *PersonOf(const WText &user, const WText &code, const WText &name);

    std::map<WText, WText> users;       /* person's NameKey to PC user name */
    /* A person's name to the key of the person their code stands for,
       when a row has both and the mapping has neither; empty where one
       name stands for several codes. */
    std::map<WText, WText> aliases;
    Person *last;                       /* the previous row's, as it named it */
    WText lastShown, lastKey;
    int lastKind;
    friend class SheetReader;
};

/* A name as compared: without blanks around it, in upper case. */
WText NameKey(const WText &name);

/* A date as attendance systems and hand-kept sheets write it (2026/11/02,
   2026-11-02, 2026.11.02, 2026/1/2, 20261102, 2026年11月2日, 令和8年11月2日,
   R8/11/2, H31.4.30, each perhaps with its weekday after it, (月), and a
   time after that, which is left alone) as a day number. A time (9:00,
   09:00, 9:00:00, 9時00分, up to 47:59), perhaps after a date
   (2026/11/03 01:30, up to 23:59 then), as minutes and the date's day
   number, -1 for none; an empty text is no time. Full-width digits and
   signs read as their ASCII; the blanks around are the caller's. False
   for anything else. */
bool ReadSheetDate(const WText &text, int *day);
/* A date without its year (11月2日, 11/2) is read as the latest such day
   from first to last, and not read where there is none. */
void SetSheetPeriod(int first, int last);
bool ReadSheetMoment(const WText &text, int *day, int *minutes);

#endif
