/*
 * Usage report: the run. The output files are opened first, so a folder
 * that cannot be written is found before anything is read; the sessions
 * file is written while the logs are read, the days file and the page at
 * the end, and all three are renamed into place only when all are whole.
 * A timesheet given adds the comparison: it is read before the logs, and
 * its file, the fourth, is written and renamed with the others.
 */
#include "report.h"
#include "gaps.h"
#include "outfile.h"
#include "resource.h"

static const wchar_t PageName[] = L"morvalen-report.html";
static const wchar_t DaysName[] = L"morvalen-days.csv";
static const wchar_t SessionsName[] = L"morvalen-sessions.csv";
static const wchar_t GapsName[] = L"morvalen-gaps.csv";

/* The CSV outputs, and any name that starts as one of them does. */
bool IsReportOutput(const WText &name)
{
    for (const wchar_t *output : {SessionsName, DaysName, GapsName}) {
        int stem = lstrlenW(output) - 4;
        if ((int)name.size() >= stem &&
            CompareStringOrdinal(name.c_str(), stem, output, stem, TRUE) == CSTR_EQUAL)
            return true;
    }
    return false;
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

Outcome MakeReport(const Options &options, WText *page, Problem *problem)
{
    Reading reading;
    reading.badLineCount = 0;
    reading.gaps = NULL;
    std::vector<WText> sheetPaths;
    CollectInputs(options.inputs, options.timesheets, reading.files, sheetPaths);
    WText usersFile = options.usersFile.empty() ? WText() : FullPath(options.usersFile);
    bool compare = !sheetPaths.empty();
    int count = compare ? 4 : 3;

    WText folder = OutputFolder(options);
    const wchar_t *names[4] = {SessionsName, DaysName, PageName, GapsName};
    WText targets[4];
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
    OutFile outs[4];
    for (int i = 0; i < count; i++)
        if (!outs[i].Create(folder))
            return Fail(problem, IDS_CANNOTWRITE, folder, outs[i].error);
    for (SourceFile &file : reading.files)
        file.shown = ShownName(file.path, folder);

    Tally tally(options.from, options.to, options.now);
    SessionsCsv sessions(outs[0], tally, reading);
    tally.sink = &sessions;
    Timesheets sheets;
    Gaps gaps(tally, sheets, options.gap, &sessions);
    if (compare) {
        sheets.Read(sheetPaths, usersFile);
        tally.sink = &gaps;
        reading.gaps = &gaps;
    }
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
    if (compare)
        gaps.Finish();
    WriteDaysCsv(outs[1], tally);
    WriteHtmlPage(outs[2], tally, reading, options);
    if (compare)
        WriteGapsCsv(outs[3], gaps);

    for (int i = 0; i < count; i++)
        if (!outs[i].Close())
            return Fail(problem, IDS_CANNOTWRITE, targets[i], outs[i].error);
    for (int i = 0; i < count; i++) {
        DWORD error;
        if (!CanReplace(targets[i], &error))
            return Fail(problem, IDS_CANNOTWRITE, targets[i], error);
    }
    for (int i = 0; i < count; i++)
        if (!outs[i].Replace(targets[i]))
            return Fail(problem, IDS_CANNOTWRITE, targets[i], outs[i].error);
    *page = targets[2];
    return allRead && !reading.badLineCount && sheets.AllRead() ? AllRead : SomeUnreadable;
}
