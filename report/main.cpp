/*
 * Usage report: the entry. The logs and folders come from the command
 * line, as dropping them on the program's icon gives them, or else from
 * an open dialog; the report is made and its page opened. With /S nothing
 * is shown and the exit code alone tells a script how it went.
 */
#include "report.h"
#include "resource.h"

#include <commdlg.h>
#include <shellapi.h>

/* "/name:value", the name in any case; value points after the colon. An
   argument shorter than the name is compared no further than its end. */
static bool IsOption(const wchar_t *arg, const wchar_t *name, const wchar_t **value)
{
    int n = lstrlenW(name);
    if (lstrlenW(arg) < n || CompareStringOrdinal(arg, n, name, n, TRUE) != CSTR_EQUAL)
        return false;
    *value = arg + n;
    return true;
}

/* yyyy-mm-dd, a real date. */
static bool ReadDate(const wchar_t *text, int *day)
{
    int digits[8], n = 0;
    for (int i = 0; i < 10; i++) {
        if (i == 4 || i == 7) {
            if (text[i] != L'-')
                return false;
        } else if (text[i] >= L'0' && text[i] <= L'9') {
            digits[n++] = text[i] - L'0';
        } else {
            return false;
        }
    }
    int year = digits[0] * 1000 + digits[1] * 100 + digits[2] * 10 + digits[3];
    int month = digits[4] * 10 + digits[5], date = digits[6] * 10 + digits[7];
    if (text[10] || !IsDate(year, month, date))
        return false;
    *day = DayNumber(year, month, date);
    return true;
}

/* Minutes, 0 to MostGap, in digits only. */
static bool ReadGap(const wchar_t *text, int *minutes)
{
    int value = 0, n = 0;
    for (; text[n] >= L'0' && text[n] <= L'9' && n < 4; n++)
        value = value * 10 + (text[n] - L'0');
    if (!n || text[n] || value > MostGap)
        return false;
    *minutes = value;
    return true;
}

/* False with the offending argument in bad. */
static bool ReadOptions(int count, wchar_t **args, Options *options, bool *silent, WText *bad)
{
    for (int i = 1; i < count; i++) {
        const wchar_t *arg = args[i], *value;
        if (arg[0] != L'/') {
            options->inputs.push_back(arg);
            continue;
        }
        if (CompareStringOrdinal(arg, -1, L"/S", -1, TRUE) == CSTR_EQUAL)
            *silent = true;
        else if (IsOption(arg, L"/out:", &value) && *value)
            options->outFolder = value;
        else if (IsOption(arg, L"/from:", &value) && ReadDate(value, &options->from))
            options->fromGiven = true;
        else if (IsOption(arg, L"/to:", &value) && ReadDate(value, &options->to))
            options->toGiven = true;
        else if (IsOption(arg, L"/timesheet:", &value) && *value)
            options->timesheets.push_back(value);
        else if (IsOption(arg, L"/users:", &value) && *value)
            options->usersFile = value;
        else if (IsOption(arg, L"/gap:", &value) && ReadGap(value, &options->gap))
            continue;
        else {
            *bad = arg;
            return false;
        }
    }
    if (options->from > options->to) {
        *bad = L"/from: /to:";
        return false;
    }
    return true;
}

static int CurrentMoment()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    return DayNumber(now.wYear, now.wMonth, now.wDay) * MinutesPerDay + now.wHour * 60 + now.wMinute;
}

/* The open dialog, in the current folder; false if cancelled. Several
   files come back as the folder and then each name. */
static bool ChooseLogs(std::vector<WText> &inputs)
{
    WText filter = LoadWide(IDS_OPENFILTER), title = LoadWide(IDS_TITLE);
    for (wchar_t &c : filter)
        if (c == L'|')
            c = L'\0';
    wchar_t folder[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, folder);
    std::vector<wchar_t> names(32768, L'\0');
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = names.data();
    dialog.nMaxFile = (DWORD)names.size();
    dialog.lpstrInitialDir = folder;
    dialog.lpstrTitle = title.c_str();
    dialog.Flags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    if (!GetOpenFileNameW(&dialog))
        return false;
    const wchar_t *first = names.data(), *name = first + lstrlenW(first) + 1;
    if (!*name)
        inputs.push_back(first);
    for (; *name; name += lstrlenW(name) + 1)
        inputs.push_back(Join(first, name));
    return true;
}

static void ShowText(const WText &text)
{
    MessageBoxW(NULL, text.c_str(), LoadWide(IDS_TITLE).c_str(), MB_ICONERROR);
}

/* The file, the system's reason, our sentence, and what was found. */
static void ShowProblem(const Problem &problem)
{
    WText text;
    if (!problem.subject.empty())
        text = problem.subject + L"\n";
    if (problem.error)
        text += SystemReason(problem.error) + L"\n";
    text += LoadWide(problem.sentence) + problem.details;
    ShowText(text);
}

static int Run()
{
    Options options = {};
    options.from = DayNumber(2000, 1, 1);
    options.to = DayNumber(2099, 12, 31);
    options.now = CurrentMoment();
    options.gap = DefaultGap;
    bool silent = false;
    WText bad;

    int count = 0;
    wchar_t **args = CommandLineToArgvW(GetCommandLineW(), &count);
    bool understood = args && ReadOptions(count, args, &options, &silent, &bad);
    if (args)
        LocalFree(args);
    QuietOnFailure = silent;
    if (!understood) {
        if (!silent)
            ShowText(LoadWide(IDS_BADOPTION) + bad + L"\n\n" + LoadWide(IDS_USAGE));
        return NothingWritten;
    }
    if (options.inputs.empty() && (silent || !ChooseLogs(options.inputs)))
        return NothingWritten;

    WText page;
    Problem problem = {};
    Outcome outcome = MakeReport(options, &page, &problem);
    if (silent)
        return outcome;
    if (outcome == NothingWritten) {
        ShowProblem(problem);
    } else {
        CoInitializeEx(NULL, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        ShellExecuteW(NULL, L"open", page.c_str(), NULL, NULL, SW_SHOWNORMAL);
        CoUninitialize();
    }
    return outcome;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return Run();
}
