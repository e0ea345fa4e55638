/*
 * Usage report: the names of what a report writes, which the run, the
 * writers and the search for timesheets all go by.
 */
#include "report.h"

const wchar_t PageName[] = L"morvalen-report.html";
const wchar_t DaysName[] = L"morvalen-days.csv";
const wchar_t SessionsName[] = L"morvalen-sessions.csv";
const wchar_t DetailFolder[] = L"morvalen-report";
const wchar_t GapsName[] = L"morvalen-gaps.csv";
const wchar_t ReasonsName[] = L"morvalen-reasons.csv";

/* The CSV outputs, and any name that starts as one of them does. */
bool IsReportOutput(const WText &name)
{
    for (const wchar_t *output : {SessionsName, DaysName, GapsName, ReasonsName}) {
        int stem = lstrlenW(output) - 4;
        if ((int)name.size() >= stem &&
            CompareStringOrdinal(name.c_str(), stem, output, stem, TRUE) == CSTR_EQUAL)
            return true;
    }
    return false;
}

WText MonthFile(int day, const wchar_t *whole)
{
    int year, month, date;
    DateOf(day, &year, &month, &date);
    Text digits;
    AppendNumber(digits, year, 4);
    digits += '-';
    AppendNumber(digits, month, 2);
    WText name = whole ? WText(whole, lstrlenW(whole) - 4) + L"-" : WText();
    name.append(digits.begin(), digits.end());
    return name + (whole ? L".csv" : L".html");
}

Text DetailLink(const WText &name)
{
    Text link = Narrow(Join(DetailFolder, name), CP_UTF8);
    for (char &c : link)
        if (c == '\\')
            c = '/';
    return link;
}
