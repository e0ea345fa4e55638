/*
 * Usage report: the declared working hours, read from the attendance
 * system's CSV exports. Each row says which PC user it is (the user name
 * column, or the person through the /users: mapping, or the person as the
 * PC user); the rows are kept by that user and day.
 */
#ifndef REPORT_TIMESHEET_H
#define REPORT_TIMESHEET_H

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

struct SheetFile {
    WText path;
    int rows;       /* read, header and blank lines aside */
    DWORD error;    /* could not be read: the system's reason */
    bool isSheet;   /* has the columns a timesheet needs */
    bool mapping;   /* the /users: file */
};

class Timesheets {
public:
    Timesheets() : badRowCount(0), last(NULL), lastMapped(false) {}
    /* The mapping first, then each timesheet. */
    void Read(const std::vector<WText> &paths, const WText &usersFile);
    /* Every file read and every row understood. */
    bool AllRead() const;

    std::map<WText, Person> persons;    /* by NameKey of the PC user */
    std::vector<SheetFile> files;
    /* Rows that could not be read, by their files here, as the logs'
       unreadable lines are kept: the first BadLinesShown. */
    std::vector<BadLine> badRows;
    int badRowCount;

private:
    void ReadFile(int index);
    void Row(int file, int line, const WText *fields, int count, const int columns[]);

    std::map<WText, WText> users;       /* person's NameKey to PC user name */
    Person *last;                       /* the previous row's, as it named it */
    WText lastShown;
    bool lastMapped;
    friend class SheetReader;
};

/* A name as compared: without blanks around it, in upper case. */
WText NameKey(const WText &name);

/* A date as attendance systems write it (2026/11/02, 2026-11-02,
   2026/1/2, 20261102, 2026年11月2日) as a day number; a time (9:00, 09:00,
   9:00:00, up to 47:59) as minutes, -1 for an empty one. Either without
   blanks around it; false if it is neither. */
bool ReadSheetDate(const WText &text, int *day);
bool ReadSheetTime(const WText &text, int *minutes);

#endif
