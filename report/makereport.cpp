/*
 * Usage report: the run. The output files are opened first, so a folder
 * that cannot be written is found before anything is read; the sessions
 * file is written while the logs are read, the rest at the end: the days
 * file, the month pages and the parts of a file too long for Excel into a
 * new detail folder, the overview last. Nothing is put in place until
 * all are whole; then the new detail folder replaces the old one whole,
 * so no page or part of an earlier report is left beside this one.
 * A timesheet given adds the comparison: it is read before the logs, and
 * its file, the fourth, is written and put in place with the others. The
 * reasons an office gave for the gaps are read from the output folder
 * before anything else, and kept in a fifth, the register: a file of
 * theirs that cannot be read stops the report before it could be lost.
 */
#include "makereport.h"
#include "departments.h"
#include "gaps.h"
#include "outfile.h"
#include "reasons.h"
#include "resource.h"

#include <cwctype>

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

/* /out: naming a folder that is not there yet: it is made, with those
   above it; one that cannot be made is found when the outputs are. */
static void MakeFolders(const WText &folder)
{
    if (GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES)
        return;
    size_t cut = folder.find_last_of(L'\\');
    if (cut != WText::npos && cut > 2)
        MakeFolders(folder.substr(0, cut));
    CreateDirectoryW(folder.c_str(), NULL);
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
        known = known || IsDepartmentFile(name);
        ours = ours && known && !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
        files.push_back(Join(details, name));
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return ours;
}

/* Nothing of this report's own made it into the folder. */
static bool Empty(const TempFolder &folder)
{
    std::vector<WText> files;
    DetailFiles(folder.path, files);
    return files.empty();
}

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

/* The month pages are written on two threads, the tally being only read
   by then: each takes the next page not taken, so the thread that
   writes the days file first takes fewer. A page is a month and, for a
   month split by department, a department, -1 its index. */
struct MonthPages {
    const Tally *tally;
    const Gaps *gaps;
    const Departments *departments;
    const std::vector<MonthPart> *months;
    const WText *folder;
    volatile LONG *taken;
    DWORD error;
    WText failed;

    void Write()
    {
        for (size_t i; (i = (size_t)InterlockedIncrement(taken) - 1) < months->size() && !error;) {
            const MonthPart &page = (*months)[i];
            WText name = page.department < 0 ? MonthFile(page.month)
                                             : departments->PageFile(page.month, page.department, page.part);
            if (!WriteDetail(*folder, name, &error, [&](OutFile &out) {
                    WriteMonthPage(out, *tally, gaps, page.month, departments, page.department, page.part);
                }))
                failed = name;
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

Outcome MakeReport(const Options &options, WText *page, Problem *problem)
{
    Reading reading;
    reading.badLineCount = 0;
    reading.gaps = NULL;
    std::vector<WText> sheetPaths;
    CollectInputs(options.inputs, options.timesheets, reading.files, sheetPaths);
    WText usersFile = options.usersFile.empty() ? WText() : FullPath(options.usersFile);
    bool compare = !sheetPaths.empty();
    int count = compare ? 5 : 3;

    WText folder = OutputFolder(options), details = Join(folder, DetailFolder);
    const wchar_t *names[5] = {SessionsName, DaysName, PageName, GapsName, ReasonsName};
    WText targets[5];
    for (int i = 0; i < count; i++) {
        targets[i] = Join(folder, names[i]);
        bool isInput = SamePath(usersFile, targets[i]);
        for (const SourceFile &file : reading.files)
            isInput = isInput || SamePath(file.path, targets[i]);
        for (const WText &sheet : sheetPaths)
            isInput = isInput || SamePath(sheet, targets[i]);
        if (isInput)
            return Fail(problem, IDS_ISINPUT, targets[i], 0);
    }
    /* Yearless dates (11月2日) are placed in the period, up to today. */
    SetSheetPeriod(options.from, std::min(options.to, DayOf(options.now)));
    Reasons reasons;
    if (compare) {
        std::vector<WText> given;
        for (const WText &path : options.reasonFiles)
            given.push_back(FullPath(path));
        /* The departments' parts of the gaps file, filled in where they
           are, would go with the detail folder. */
        std::vector<WText> gapsFiles = {targets[3]};
        WText parts = Join(details, GapsName);
        parts.resize(parts.size() - 4);
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((parts + L"-*.csv").c_str(), &found);
        for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found))
            if (IsDepartmentFile(found.cFileName))
                gapsFiles.push_back(Join(details, found.cFileName));
        if (search != INVALID_HANDLE_VALUE)
            FindClose(search);
        int failed;
        if (!reasons.Read(targets[4], gapsFiles, given, &failed)) {
            const ReasonFile &file = reasons.files[failed];
            if (file.error)
                return Fail(problem, IDS_REASONSUNREADABLE, file.path, file.error);
            Text line;
            AppendNumber(line, file.badLine);
            problem->details = L"\n" + (file.understood ? LoadWide(IDS_REASONBADROWS) + L" " +
                                                              Widen(line.data(), line.size(), CP_UTF8) + LoadWide(IDS_LINEAT)
                                                        : LoadWide(IDS_NOREASONHEADER));
            return Fail(problem, IDS_REASONSUNREADABLE, file.path, 0);
        }
        /* The register is written whenever a reason is known. */
        count = reasons.existed || !reasons.users.empty() ? 5 : 4;
    }
    std::vector<WText> oldDetails;
    if (!DetailFiles(details, oldDetails))
        return Fail(problem, IDS_NOTOURS, details, 0);
    if (!options.outFolder.empty())
        MakeFolders(folder);
    OutFile outs[5];
    for (int i = 0; i < count; i++)
        if (!outs[i].Create(folder))
            return Fail(problem, IDS_CANNOTWRITE, folder, outs[i].error);
    TempFolder fresh;
    if (!fresh.Make(folder))
        return Fail(problem, IDS_CANNOTWRITE, folder, GetLastError());
    for (SourceFile &file : reading.files)
        file.shown = ShownName(file.path, folder);

    /* The timesheets first, and the mapping without a timesheet too:
       it gives the departments, which the sessions file has from its
       first row. A timesheet given by name, not found in a folder:
       skipped, it makes the outcome 1. */
    Timesheets sheets;
    std::vector<bool> named;
    for (const WText &sheet : sheetPaths) {
        bool given = false;
        for (const std::vector<WText> *list : {&options.timesheets, &options.inputs})
            for (const WText &path : *list)
                given = given || SamePath(FullPath(path), sheet);
        named.push_back(given);
    }
    if (compare || !usersFile.empty())
        sheets.Read(sheetPaths, named, usersFile);
    Departments departments(sheets.departments);
    departments.pageUsers = options.pageUsers ? options.pageUsers : PageUsers;
    reading.departments = departments.Any() ? &departments : NULL;

    Tally tally(options.from, options.to, options.now);
    SessionsCsv sessions(outs[0], tally, reading);
    tally.sink = &sessions;
    Gaps gaps(tally, sheets, options.gap, &sessions);
    if (compare) {
        tally.sink = &gaps;
        reading.gaps = &gaps;
    }
    if (options.fromGiven)
        for (int i = 0; i < (int)reading.files.size(); i++)
            ExpectLastLine(reading, i, tally);
    FindRewrites(reading, tally);
    ReadLogFiles(reading, tally);
    bool anyLog = false, allRead = true;
    for (const SourceFile &file : reading.files) {
        anyLog = anyLog || file.isLog;
        allRead = allRead && !file.error;
    }
    if (!anyLog) {
        for (const SourceFile &file : reading.files) {
            problem->details += L"\n" + file.path + L": ";
            problem->details += file.error ? SystemReason(file.error) : LoadWide(IDS_NOTALOG);
        }
        return Fail(problem, IDS_NOLOG, reading.files.empty() ? options.inputs[0] : WText(), 0);
    }
    ReadCopyTimes(reading, tally);
    tally.Finish();
    if (compare) {
        gaps.Finish();
        reasons.Bind(tally.users);
        gaps.reasons = &reasons;
    }
    sessions.Finish();
    if (reading.departments)
        departments.Settle(tally);

    /* The months with something to show, and the files of the detail
       folder: a page for each (and for each department in a month split
       by department), the parts of a file too long. */
    const std::vector<int> &months = tally.months;
    std::vector<MonthPart> shown;
    for (int month : months) {
        shown.push_back(MonthPart{month, -1, 0});
        if (reading.departments && departments.Split(tally, month))
            for (const MonthPart &part : departments.Parts(tally, month))
                shown.push_back(part);
    }
    volatile LONG taken = 0;
    MonthPages pages[2] = {{&tally, reading.gaps, reading.departments, &shown, &fresh.path, &taken, 0, WText()},
                           {&tally, reading.gaps, reading.departments, &shown, &fresh.path, &taken, 0, WText()}};
    Joined other = {CreateThread(NULL, 0, MonthPages::Run, &pages[1], 0, NULL)};
    int maxRows = options.maxRows ? options.maxRows : ExcelRows;
    Outputs outputs;
    DWORD error = 0;
    bool whole[5] = {sessions.rows <= maxRows, DaysRows(tally) <= maxRows, true, true, true};
    if (whole[1]) {
        WriteDaysCsv(outs[1], tally, tally.shownFirst, tally.shownLast, reading.departments);
    } else {
        outs[1].Discard();
        for (int month : months) {
            WText name = MonthFile(month, DaysName);
            if (!WriteDetail(fresh.path, name, &error, [&](OutFile &out) {
                    WriteDaysCsv(out, tally, std::max(month, tally.shownFirst), MonthEnd(month), reading.departments);
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
    bool utf8 = compare && WriteGapsCsv(outs[3], gaps, reading.departments);
    if (count == 5)
        WriteReasonsCsv(outs[4], reasons, gaps);
    /* Each department's rows of the gaps file, in its encoding, for its
       manager. */
    for (int i = 0; compare && reading.departments && i < (int)departments.list.size(); i++) {
        WText name = departments.GapsFile(i);
        if (HasGaps(gaps, departments.list[i]) &&
            !WriteDetail(fresh.path, name, &error, [&](OutFile &out) { WriteGapsCsv(out, gaps, &departments, i, utf8); }))
            return Fail(problem, IDS_CANNOTWRITE, Join(details, name), error);
    }

    for (int i = 0; i < count; i++)
        if (whole[i] && !outs[i].Close())
            return Fail(problem, IDS_CANNOTWRITE, targets[i], outs[i].error);
    /* Whatever is replaced or removed must be free to go: a file held
       open in Excel stops the report before anything changes. */
    for (int i = 0; i < count; i++)
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
    /* The CSV files, the overview, the gaps file and the register when
       they are written, and the detail folder. */
    const WText places[6] = {targets[0], targets[1], targets[2], compare ? targets[3] : WText(),
                             count == 5 ? targets[4] : WText(), details};
    WText aside[6];
    bool placed = true;
    for (int i = 0; i < 6 && placed; i++) {
        if (places[i].empty() || GetFileAttributesW(places[i].c_str()) == INVALID_FILE_ATTRIBUTES)
            continue;
        aside[i] = Join(old.path, i < 5 ? names[i] : DetailFolder);
        placed = MoveFileW(places[i].c_str(), aside[i].c_str());
        error = GetLastError();
        if (!placed)
            aside[i].clear();
    }
    for (int i = 0; i < count && placed; i++)
        if (whole[i] && !outs[i].Replace(targets[i])) {
            placed = false;
            error = outs[i].error;
        }
    if (placed && !Empty(fresh)) {
        placed = MoveFileW(fresh.path.c_str(), details.c_str());
        error = GetLastError();
        if (placed)
            fresh.path.clear();
    }
    if (!placed) {
        for (int i = 0; i < 6; i++)
            if (!aside[i].empty())
                MoveFileExW(aside[i].c_str(), places[i].c_str(), MOVEFILE_REPLACE_EXISTING);
        return Fail(problem, IDS_CANNOTWRITE, folder, error);
    }
    *page = targets[2];
    return allRead && !reading.badLineCount && sheets.AllRead() && reasons.AllRead() ? AllRead : SomeUnreadable;
}
