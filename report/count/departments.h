/*
 * Usage report: the departments (所属), as the /users: mapping's third
 * column and a timesheet's column of that name give them, so that an
 * office can share the month's review out: a part of the pages and of
 * the gaps file for each manager. A user none names is in 所属なし.
 * Without any department named, nothing the report writes changes.
 */
#ifndef REPORT_DEPARTMENTS_H
#define REPORT_DEPARTMENTS_H

#include "tally.h"

#include <map>
#include <vector>

/* A month page holds the calendars of this many users at most (some
   12 KB each, so the page stays well under 2 MB); a month with more, of
   more than one department, has a page for each department instead, and
   a department with more still has several. */
const int PageUsers = 100;

/* A page of a month: its index or whole page (department -1), or a part
   of a department's users. */
struct MonthPart {
    int month, department, part;
};

struct Department {
    Text name;          /* UTF-8 */
    Text csvField;      /* CP932, as a CSV field */
    WText file;         /* the name as a file's name may have it */
    std::vector<int> users;     /* the tally's indexes, by name */
    int parts;                  /* the most pages it has of a month */
};

class Departments {
public:
    /* byUser: the department of each PC user's NameKey. */
    explicit Departments(const std::map<WText, WText> &byUser);
    bool Any() const { return !byUser.empty(); }
    /* A PC user name's (UTF-8) department, CP932, as a CSV field. */
    Text CsvField(const Text &user) const;
    /* Once the tally is finished: each user's department, the
       departments by name, 所属なし last. */
    void Settle(const Tally &tally);
    /* Whether a month's users go on a page for each department. */
    bool Split(const Tally &tally, int month) const;
    /* The pages of a month split by department. */
    std::vector<MonthPart> Parts(const Tally &tally, int month) const;
    /* The page of a department's users in a month, "2026-11-営業部.html",
       its second part's "2026-11-営業部~2.html"; the page a user is on;
       its gaps file, "morvalen-gaps-営業部.csv". */
    WText PageFile(int month, int department, int part = 0) const;
    WText UserPage(const Tally &tally, int month, int user) const;
    WText GapsFile(int department) const;

    std::vector<Department> list;
    std::vector<int> ofUser;    /* the tally's index to list's */
    int pageUsers;

private:
    const std::map<WText, WText> &byUser;
    WText none;
};

/* A CSV file's header with the 所属 column after the first
   where departments are known. */
Text HeaderWithDepartment(UINT id, const Departments *departments, UINT codePage = LogCodePage);
/* Whether any of a department's users was compared with a timesheet:
   it has a gaps file. */
class Gaps;
bool HasGaps(const Gaps &gaps, const Department &department);

/* A department's name as a part of a file's: the characters Windows or
   a link cannot have as full-width ones, control characters as '_', the
   length bounded. */
WText FileNameOf(const WText &name);
/* A name the detail folder's department pages and gaps files have. */
bool IsDepartmentFile(const WText &name);

#endif
