/*
 * Usage report: the entry. The logs and folders come from the command
 * line, as dropping them on the program's icon gives them, or else from
 * an open dialog; the report is made and its page opened. With /S nothing
 * is shown and the exit code alone tells a script how it went.
 */
#include "collect.h"
#include "resource.h"

#include <algorithm>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

/* The arguments after the program's name, split as CommandLineToArgvW
   splits them: at blanks outside quotes; 2n backslashes and a quote give
   n backslashes and the quote opens or closes, 2n+1 give n and the quote
   itself; two quotes inside quotes give one. */
static std::vector<WText> Arguments(const wchar_t *line)
{
    std::vector<WText> args;
    if (*line == L'"') {
        for (line++; *line && *line != L'"'; line++)
            ;
        line += *line != 0;
    }
    for (; *line && *line != L' ' && *line != L'\t'; line++)
        ;
    for (;;) {
        while (*line == L' ' || *line == L'\t')
            line++;
        if (!*line)
            return args;
        WText arg;
        for (bool quoted = false; *line && (quoted || (*line != L' ' && *line != L'\t'));) {
            size_t slashes = 0;
            for (; *line == L'\\'; line++)
                slashes++;
            arg.append(*line == L'"' ? slashes / 2 : slashes, L'\\');
            if (*line != L'"') {
                if (*line && (quoted || (*line != L' ' && *line != L'\t')))
                    arg += *line++;
            } else if (slashes % 2 || (quoted && line[1] == L'"')) {
                arg += L'"';
                line += slashes % 2 ? 1 : 2;
            } else {
                quoted = !quoted;
                line++;
            }
        }
        args.push_back(arg);
    }
}

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
static bool ReadOptions(const std::vector<WText> &args, Options *options, bool *silent, WText *bad)
{
    for (const WText &given : args) {
        const wchar_t *arg = given.c_str(), *value;
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
        else if (IsOption(arg, L"/reasons:", &value) && *value)
            options->reasonFiles.push_back(value);
        else if (IsOption(arg, L"/collect:", &value) && *value)
            options->collectFolder = value;
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
    auto open = Load<BOOL(WINAPI *)(OPENFILENAMEW *)>("comdlg32.dll", "GetOpenFileNameW");
    if (!open || !open(&dialog))
        return false;
    const wchar_t *first = names.data(), *name = first + lstrlenW(first) + 1;
    if (!*name)
        inputs.push_back(first);
    for (; *name; name += lstrlenW(name) + 1)
        inputs.push_back(Join(first, name));
    return true;
}

/* \\server\share itself, which has no folder beside it for the report. */
static bool IsShareRoot(WText path)
{
    while (path.size() > 2 && path.back() == L'\\')
        path.pop_back();
    if (path.size() < 5 || path.compare(0, 2, L"\\\\") || path[2] == L'?' || path[2] == L'.')
        return false;
    return std::count(path.begin() + 2, path.end(), L'\\') == 1;
}

/* The user's Documents folder; empty if the shell does not say. */
static WText Documents()
{
    wchar_t path[MAX_PATH];
    auto get = Load<HRESULT(WINAPI *)(HWND, int, HANDLE, DWORD, LPWSTR)>("shell32.dll", "SHGetFolderPathW");
    return get && get(NULL, CSIDL_PERSONAL, NULL, SHGFP_TYPE_CURRENT, path) == S_OK ? WText(path) : WText();
}

static void ShowText(const WText &text)
{
    auto box = Load<int(WINAPI *)(HWND, LPCWSTR, LPCWSTR, UINT)>("user32.dll", "MessageBoxW");
    if (box)
        box(NULL, text.c_str(), LoadWide(IDS_TITLE).c_str(), MB_ICONERROR);
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

    bool understood = ReadOptions(Arguments(GetCommandLineW()), &options, &silent, &bad);
    QuietOnFailure = silent;
    if (!understood) {
        if (!silent)
            ShowText(LoadWide(IDS_BADOPTION) + bad + L"\n\n" + LoadWide(IDS_USAGE));
        return NothingWritten;
    }
    Problem problem = {};
    if (!options.collectFolder.empty()) {
        Outcome copied = options.inputs.empty() ? NothingWritten
                                                : CopyToCollection(options.collectFolder, options.inputs, &problem);
        if (!silent && copied != AllRead)
            ShowProblem(problem.sentence ? problem : Problem{IDS_NOLOG, WText(), 0, WText()});
        return copied;
    }
    if (options.inputs.empty() && (silent || !ChooseLogs(options.inputs)))
        return NothingWritten;
    if (options.outFolder.empty() && IsShareRoot(FullPath(options.inputs[0])))
        options.outFolder = Documents();

    WText page;
    Outcome outcome = MakeReport(options, &page, &problem);
    if (silent)
        return outcome;
    if (outcome == NothingWritten) {
        ShowProblem(problem);
    } else {
        auto start = Load<HRESULT(WINAPI *)(LPVOID, DWORD)>("ole32.dll", "CoInitializeEx");
        auto end = Load<void(WINAPI *)()>("ole32.dll", "CoUninitialize");
        auto execute = Load<HINSTANCE(WINAPI *)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT)>(
            "shell32.dll", "ShellExecuteW");
        if (start && end && execute) {
            start(NULL, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
            execute(NULL, L"open", page.c_str(), NULL, NULL, SW_SHOWNORMAL);
            end();
        }
    }
    return outcome;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return Run();
}
