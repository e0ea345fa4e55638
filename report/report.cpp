/*
 * Usage report: the run. The output files are opened first, so a folder
 * that cannot be written is found before anything is read; the sessions
 * file is written while the logs are read, the rest at the end: the days
 * file, the month pages and the parts of a file too long for Excel into a
 * new detail folder, the overview last. Nothing is put in place until
 * all are whole; then the new detail folder replaces the old one whole,
 * so no page or part of an earlier report is left beside this one.
 */
#include "report.h"
#include "outfile.h"
#include "resource.h"

#include <cwctype>

const wchar_t PageName[] = L"morvalen-report.html";
const wchar_t DaysName[] = L"morvalen-days.csv";
const wchar_t SessionsName[] = L"morvalen-sessions.csv";
const wchar_t DetailFolder[] = L"morvalen-report";

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

/* Beside the first input: a file's folder, a folder's parent. */
static WText OutputFolder(const Options &options)
{
    if (!options.outFolder.empty())
        return FullPath(options.outFolder);
    WText full = FullPath(options.inputs[0]);
    while (full.size() > 3 && full.back() == L'\\')
        full.pop_back();
    return FolderOf(full);
}

/* The sessions file names each log by its path from the output folder,
   or in full where it lies elsewhere. */
static Text ShownName(const WText &path, const WText &folder)
{
    WText prefix = Join(folder, L"");
    if (path.size() > prefix.size() && SamePath(path.substr(0, prefix.size()), prefix))
        return Narrow(path.substr(prefix.size()), LogCodePage);
    return Narrow(path, LogCodePage);
}

static Outcome Fail(Problem *problem, UINT sentence, const WText &subject, DWORD error)
{
    problem->sentence = sentence;
    problem->subject = subject;
    problem->error = error;
    return NothingWritten;
}

/* name has the shape: '0' a digit, '*' any letters or digits. */
static bool Shaped(const wchar_t *name, const wchar_t *shape)
{
    for (; *shape; shape++) {
        if (*shape == L'*') {
            while (iswalnum(*name) && *name != shape[1])
                name++;
            continue;
        }
        wchar_t c = *name >= L'A' && *name <= L'Z' ? *name + 32 : *name;
        if (*shape == L'0' ? !iswdigit(c) : c != *shape)
            return false;
        name++;
    }
    return !*name;
}

/* The names of the detail folder: what a report writes into it, or a
   temporary file an interrupted one left. Its files are listed in
   files; false if the folder holds anything else, so that a folder of
   the same name that is not the report's is never replaced. */
static bool DetailFiles(const WText &details, std::vector<WText> &files)
{
    /* The names of the year 2000 stand for any: '0' is any digit. */
    WText shapes[] = {MonthFile(0), MonthFile(0, SessionsName), MonthFile(0, DaysName), L"mvr*.tmp"};
    for (WText &shape : shapes)
        for (wchar_t &c : shape)
            c = iswdigit(c) ? L'0' : c;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(Join(details, L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return GetFileAttributesW(details.c_str()) == INVALID_FILE_ATTRIBUTES;
    bool ours = true;
    do {
        const wchar_t *name = found.cFileName;
        if (!lstrcmpW(name, L".") || !lstrcmpW(name, L".."))
            continue;
        bool known = false;
        for (const WText &shape : shapes)
            known = known || Shaped(name, shape.c_str());
        ours = ours && known && !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
        files.push_back(Join(details, name));
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return ours;
}

/* A folder and everything in it. */
static void RemoveTree(const WText &path)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(Join(path, L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            WText name = Join(path, found.cFileName);
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileW(name.c_str());
            else if (lstrcmpW(found.cFileName, L".") && lstrcmpW(found.cFileName, L".."))
                RemoveTree(name);
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(path.c_str());
}

/* A folder of this report's own beside the outputs, made new, and
   removed with what is in it. */
class TempFolder {
public:
    ~TempFolder()
    {
        if (!path.empty())
            RemoveTree(path);
    }
    bool Make(const WText &folder)
    {
        for (DWORD n = GetTickCount() & 0xFFFF, tries = 0; tries < 100; n++, tries++) {
            path = Join(folder, L"mvr");
            for (int shift = 12; shift >= 0; shift -= 4)
                path += L"0123456789abcdef"[n >> shift & 15];
            path += L".tmp";
            if (CreateDirectoryW(path.c_str(), NULL))
                return true;
            if (GetLastError() != ERROR_ALREADY_EXISTS)
                break;
        }
        path.clear();
        return false;
    }
    bool Empty() const
    {
        std::vector<WText> files;
        DetailFiles(path, files);
        return files.empty();
    }
    WText path;
};

/* One file of the detail folder, written whole by write. */
template <class Writer> static bool WriteDetail(const WText &folder, const WText &name, DWORD *error,
                                                Writer write)
{
    OutFile out;
    if (!out.Create(folder)) {
        *error = out.error;
        return false;
    }
    write(out);
    if (!out.Close() || !out.Replace(Join(folder, name))) {
        *error = out.error;
        return false;
    }
    return true;
}

/* Every other month's page, from first on; the pages are written on two
   threads, the tally being only read by then. */
struct MonthPages {
    const Tally *tally;
    const std::vector<int> *months;
    const WText *folder;
    size_t first;
    DWORD error;
    WText failed;

    void Write()
    {
        for (size_t i = first; i < months->size() && !error; i += 2) {
            int month = (*months)[i];
            if (!WriteDetail(*folder, MonthFile(month), &error,
                             [&](OutFile &out) { WriteMonthPage(out, *tally, month); }))
                failed = MonthFile(month);
        }
    }
    static DWORD WINAPI Run(void *pages)
    {
        ((MonthPages *)pages)->Write();
        return 0;
    }
};

/* Waits for a thread when it goes out of scope, however the run ends. */
struct Joined {
    HANDLE thread;
    ~Joined() { Join(); }
    void Join()
    {
        if (thread) {
            WaitForSingleObject(thread, INFINITE);
            CloseHandle(thread);
        }
        thread = NULL;
    }
};

Text DetailLink(const WText &name)
{
    Text link = Narrow(Join(DetailFolder, name), CP_UTF8);
    for (char &c : link)
        if (c == '\\')
            c = '/';
    return link;
}

Outcome MakeReport(const Options &options, WText *page, Problem *problem)
{
    Reading reading;
    reading.badLineCount = 0;
    CollectInputs(options.inputs, reading.files);

    WText folder = OutputFolder(options), details = Join(folder, DetailFolder);
    const wchar_t *names[3] = {SessionsName, DaysName, PageName};
    WText targets[3];
    for (int i = 0; i < 3; i++) {
        targets[i] = Join(folder, names[i]);
        for (const SourceFile &file : reading.files)
            if (SamePath(file.path, targets[i]))
                return Fail(problem, IDS_ISINPUT, targets[i], 0);
    }
    std::vector<WText> oldDetails;
    if (!DetailFiles(details, oldDetails))
        return Fail(problem, IDS_NOTOURS, details, 0);
    OutFile outs[3];
    for (OutFile &out : outs)
        if (!out.Create(folder))
            return Fail(problem, IDS_CANNOTWRITE, folder, out.error);
    TempFolder fresh;
    if (!fresh.Make(folder))
        return Fail(problem, IDS_CANNOTWRITE, folder, GetLastError());
    for (SourceFile &file : reading.files)
        file.shown = ShownName(file.path, folder);

    Tally tally(options.from, options.to, options.now);
    SessionsCsv sessions(outs[0], tally, reading);
    tally.sink = &sessions;
    bool anyLog = false, allRead = true;
    for (int i = 0; i < (int)reading.files.size(); i++) {
        ReadLogFile(reading, i, tally);
        anyLog = anyLog || reading.files[i].isLog;
        allRead = allRead && !reading.files[i].error;
    }
    if (!anyLog) {
        for (const SourceFile &file : reading.files) {
            problem->details += L"\n" + file.path + L": ";
            problem->details += file.error ? SystemReason(file.error) : LoadWide(IDS_NOTALOG);
        }
        return Fail(problem, IDS_NOLOG, reading.files.empty() ? options.inputs[0] : WText(), 0);
    }
    tally.Finish();
    sessions.Finish();

    /* The months with something to show, and the files of the detail
       folder: a page for each, the parts of a file too long. */
    bool anyShown = false;
    for (const User &user : tally.users)
        anyShown = anyShown || user.shownFirst <= user.shownLast;
    std::vector<int> months;
    for (int day = tally.shownFirst; anyShown && day <= tally.shownLast; day = MonthEnd(day) + 1)
        months.push_back(day);
    MonthPages pages[2] = {{&tally, &months, &fresh.path, 0, 0, WText()},
                           {&tally, &months, &fresh.path, 1, 0, WText()}};
    Joined other = {CreateThread(NULL, 0, MonthPages::Run, &pages[1], 0, NULL)};
    int maxRows = options.maxRows ? options.maxRows : ExcelRows;
    Outputs outputs;
    DWORD error = 0;
    bool whole[3] = {sessions.rows <= maxRows, DaysRows(tally) <= maxRows, true};
    if (whole[1]) {
        WriteDaysCsv(outs[1], tally, tally.shownFirst, tally.shownLast);
    } else {
        outs[1].Discard();
        for (int month : months) {
            WText name = MonthFile(month, DaysName);
            if (!WriteDetail(fresh.path, name, &error, [&](OutFile &out) {
                    WriteDaysCsv(out, tally, std::max(month, tally.shownFirst), MonthEnd(month));
                }))
                return Fail(problem, IDS_CANNOTWRITE, Join(details, name), error);
            outputs.dayParts.push_back(DetailLink(name));
        }
    }
    if (!whole[0]) {
        std::vector<WText> parts;
        if (!outs[0].Close() || !SplitSessions(outs[0].Temp(), fresh.path, parts, &error))
            return Fail(problem, IDS_CANNOTWRITE, details, error ? error : outs[0].error);
        outs[0].Discard();
        for (const WText &part : parts)
            outputs.sessionParts.push_back(DetailLink(part));
    }
    pages[0].Write();
    if (!other.thread)
        pages[1].Write();
    other.Join();
    for (const MonthPages &half : pages)
        if (half.error)
            return Fail(problem, IDS_CANNOTWRITE, Join(details, half.failed), half.error);
    WriteOverview(outs[2], tally, reading, options, outputs);

    for (int i = 0; i < 3; i++)
        if (whole[i] && !outs[i].Close())
            return Fail(problem, IDS_CANNOTWRITE, targets[i], outs[i].error);
    /* Whatever is replaced or removed must be free to go: a file held
       open in Excel stops the report before anything changes. */
    for (int i = 0; i < 3; i++)
        if (!CanReplace(targets[i], &error))
            return Fail(problem, IDS_CANNOTWRITE, targets[i], error);
    for (const WText &file : oldDetails)
        if (!CanReplace(file, &error))
            return Fail(problem, IDS_CANNOTWRITE, file, error);
    /* The old outputs are moved aside and removed once the new ones are
       in place, or moved back if one cannot be: renamed over an old file,
       a new one would be written out to the disk at once by some file
       systems (ext4, under Wine), and the next report would wait for it. */
    TempFolder old;
    if (!old.Make(folder))
        return Fail(problem, IDS_CANNOTWRITE, folder, GetLastError());
    const WText places[4] = {targets[0], targets[1], targets[2], details};
    WText aside[4];
    bool placed = true;
    for (int i = 0; i < 4 && placed; i++) {
        if (GetFileAttributesW(places[i].c_str()) == INVALID_FILE_ATTRIBUTES)
            continue;
        aside[i] = Join(old.path, i < 3 ? names[i] : DetailFolder);
        placed = MoveFileW(places[i].c_str(), aside[i].c_str());
        error = GetLastError();
        if (!placed)
            aside[i].clear();
    }
    for (int i = 0; i < 3 && placed; i++)
        if (whole[i] && !outs[i].Replace(targets[i])) {
            placed = false;
            error = outs[i].error;
        }
    if (placed && !fresh.Empty()) {
        placed = MoveFileW(fresh.path.c_str(), details.c_str());
        error = GetLastError();
        if (placed)
            fresh.path.clear();
    }
    if (!placed) {
        for (int i = 0; i < 4; i++)
            if (!aside[i].empty())
                MoveFileExW(aside[i].c_str(), places[i].c_str(), MOVEFILE_REPLACE_EXISTING);
        return Fail(problem, IDS_CANNOTWRITE, folder, error);
    }
    *page = targets[2];
    return allRead && !reading.badLineCount ? AllRead : SomeUnreadable;
}
