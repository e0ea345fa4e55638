/*
 * Usage report: the names of what a report writes, which the run, the
 * writers and the search for timesheets all go by, and the form of a CSV
 * field, which every CSV file and the departments' fields share.
 */
#include "report.h"

#include <cstring>

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

/* Digits with what Excel reads around them in a number, a date or a
   time: 00123, 1-2, 2026/11/2, 9:00, 1,234, 5%, (12), 1.5e3. */
static bool LooksNumeric(const Text &field)
{
    bool digit = false;
    for (size_t i = 0; i < field.size(); i++) {
        char c = field[i];
        bool isDigit = c >= '0' && c <= '9';
        digit = digit || isDigit;
        if (!isDigit && !(c && strchr("-/.:,%() ", c)) && !((c == 'e' || c == 'E') && i && field[i - 1] >= '0' &&
                                                       field[i - 1] <= '9'))
            return false;
    }
    return digit;
}

void AppendField(Text &out, const Text &field)
{
    char first = field.empty() ? '\0' : field[0];
    bool formula = first == '=' || first == '+' || first == '-' || first == '@' || LooksNumeric(field);
    if (!formula && field.find_first_of(",\"\r\n") == Text::npos) {
        out += field;
        return;
    }
    out += '"';
    if (formula)
        out += "=\"\"";
    for (char c : field) {
        if (c == '"')
            out += formula ? "\"\"\"\"" : "\"\"";
        else
            out += c;
    }
    if (formula)
        out += "\"\"";
    out += '"';
}
