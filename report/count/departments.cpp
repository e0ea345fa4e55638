/*
 * Usage report: the departments, their users and their files' names.
 */
#include "departments.h"
#include "gaps.h"
#include "report.h"
#include "resource.h"

#include <algorithm>

/* "営業部~2" for the second: FileNameOf leaves no '~'. */
static WText PartName(const WText &file, int part)
{
    Text number;
    AppendNumber(number, part + 1);
    return file + L'~' + WText(number.begin(), number.end());
}

Departments::Departments(const std::map<WText, WText> &users)
    : pageUsers(PageUsers), byUser(users), none(LoadWide(IDS_NODEPARTMENT))
{
}

Text Departments::CsvField(const Text &user) const
{
    WText name = Widen(user.data(), user.size(), CP_UTF8);
    std::map<WText, WText>::const_iterator found = byUser.find(NameKey(name));
    Text field;
    AppendField(field, Narrow(found != byUser.end() ? found->second : none, LogCodePage));
    return field;
}

void Departments::Settle(const Tally &tally)
{
    std::map<WText, std::vector<int>> members;
    std::vector<int> nowhere;
    for (int index : tally.Order()) {
        const Text &user = tally.users[index].name;
        std::map<WText, WText>::const_iterator found = byUser.find(NameKey(Widen(user.data(), user.size(), CP_UTF8)));
        (found != byUser.end() ? members[found->second] : nowhere).push_back(index);
    }
    ofUser.assign(tally.users.size(), 0);
    std::vector<WText> taken;
    auto add = [&](const WText &name, std::vector<int> &users) {
        Department department;
        department.name = Narrow(name, CP_UTF8);
        AppendField(department.csvField, Narrow(name, LogCodePage));
        /* Two names may come out as one file's (営業/1 and 営業／1, or
           Sales and SALES): the later gets a number. */
        WText file = FileNameOf(name), tried = file;
        for (int n = 1; std::find(taken.begin(), taken.end(), NameKey(tried)) != taken.end(); n++)
            tried = PartName(file, n);
        taken.push_back(NameKey(tried));
        department.file = tried;
        department.users.swap(users);
        /* Its parts' names are taken too: "~" is no department's. */
        department.parts = 1;
        for (int month : tally.months) {
            int held = 0;
            for (int index : department.users)
                held += tally.users[index].HasMonth(month);
            department.parts = std::max(department.parts, (held + pageUsers - 1) / pageUsers);
        }
        for (int part = 1; part < department.parts; part++)
            taken.push_back(NameKey(PartName(tried, part)));
        for (int index : department.users)
            ofUser[index] = (int)list.size();
        list.push_back(department);
    };
    for (std::pair<const WText, std::vector<int>> &named : members)
        add(named.first, named.second);
    if (!nowhere.empty())
        add(none, nowhere);
}

bool Departments::Split(const Tally &tally, int month) const
{
    int users = 0;
    std::vector<bool> seen(list.size());
    int kinds = 0;
    for (size_t index = 0; index < tally.users.size(); index++) {
        if (!tally.users[index].HasMonth(month))
            continue;
        users++;
        kinds += !seen[ofUser[index]];
        seen[ofUser[index]] = true;
    }
    return users > pageUsers && kinds > 1;
}

std::vector<MonthPart> Departments::Parts(const Tally &tally, int month) const
{
    std::vector<MonthPart> parts;
    for (size_t d = 0; d < list.size(); d++) {
        int held = 0;
        for (int index : list[d].users)
            held += tally.users[index].HasMonth(month);
        for (int part = 0; part * pageUsers < held; part++)
            parts.push_back(MonthPart{month, (int)d, part});
    }
    return parts;
}

WText Departments::PageFile(int month, int department, int part) const
{
    WText name = MonthFile(month), file = list[department].file;
    return name.substr(0, name.size() - 5) + L'-' + (part ? PartName(file, part) : file) + L".html";
}

WText Departments::UserPage(const Tally &tally, int month, int user) const
{
    int department = ofUser[user], before = 0;
    for (int index : list[department].users) {
        if (index == user)
            break;
        before += tally.users[index].HasMonth(month);
    }
    return PageFile(month, department, before / pageUsers);
}

WText Departments::GapsFile(int department) const
{
    WText name = GapsName;
    return name.substr(0, name.size() - 4) + L'-' + list[department].file + L".csv";
}

Text HeaderWithDepartment(UINT id, const Departments *departments, UINT codePage)
{
    Text header = LoadBytes(id, codePage);
    if (departments)
        header.insert(header.find(','), "," + LoadBytes(IDS_DEPARTMENT, codePage));
    return header;
}

bool HasGaps(const Gaps &gaps, const Department &department)
{
    for (int index : department.users)
        if (index < (int)gaps.users.size() && gaps.users[index].compared)
            return true;
    return false;
}

/* Long enough for any department's name, short enough for the folder's
   path to stay within MAX_PATH where the outputs' paths do. */
static const size_t LongestFileName = 64;

/* The name comes between the file's own start and its extension, so a
   device's name (CON) or a trailing dot cannot arise. */
WText FileNameOf(const WText &name)
{
    WText file;
    for (wchar_t c : name.substr(0, LongestFileName)) {
        /* '#' and '%' would end or change a link to the page; '~' is
           the parts'. */
        if (c < L' ' || c == 0x7f)
            file += L'_';
        else if (wcschr(L"\\/:*?\"<>|#%~", c))
            file += (wchar_t)(c + 0xFEE0);
        else
            file += c;
    }
    return file;
}

bool IsDepartmentFile(const WText &name)
{
    WText gaps = GapsName;
    gaps.resize(gaps.size() - 4);
    gaps += L'-';
    size_t n = name.size();
    bool month = n > 13 && name.compare(n - 5, 5, L".html") == 0 && name[4] == L'-' && name[7] == L'-';
    for (int i : {0, 1, 2, 3, 5, 6})
        month = month && name[i] >= L'0' && name[i] <= L'9';
    return month || (n > gaps.size() + 4 && name.compare(0, gaps.size(), gaps) == 0 &&
                     name.compare(n - 4, 4, L".csv") == 0);
}
