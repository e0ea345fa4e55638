/*
 * Usage report: the run. The output files are opened first, so a folder
 * that cannot be written is found before anything is read; the sessions
 * file is written while the logs are read, the days file and the page at
 * the end, and all three are renamed into place only when all are whole.
 */
#include "report.h"
#include "outfile.h"
#include "resource.h"

static const wchar_t PageName[] = L"morvalen-report.html";
static const wchar_t DaysName[] = L"morvalen-days.csv";
static const wchar_t SessionsName[] = L"morvalen-sessions.csv";

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
    CollectInputs(options.inputs, reading.files);

    WText folder = OutputFolder(options);
    const wchar_t *names[3] = {SessionsName, DaysName, PageName};
    WText targets[3];
    for (int i = 0; i < 3; i++) {
        targets[i] = Join(folder, names[i]);
        for (const SourceFile &file : reading.files)
            if (SamePath(file.path, targets[i]))
                return Fail(problem, IDS_ISINPUT, targets[i], 0);
    }
    OutFile outs[3];
    for (OutFile &out : outs)
        if (!out.Create(folder))
            return Fail(problem, IDS_CANNOTWRITE, folder, out.error);
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
    WriteDaysCsv(outs[1], tally);
    WriteHtmlPage(outs[2], tally, reading, options);

    for (int i = 0; i < 3; i++)
        if (!outs[i].Close())
            return Fail(problem, IDS_CANNOTWRITE, targets[i], outs[i].error);
    for (int i = 0; i < 3; i++) {
        DWORD error;
        if (!CanReplace(targets[i], &error))
            return Fail(problem, IDS_CANNOTWRITE, targets[i], error);
    }
    for (int i = 0; i < 3; i++)
        if (!outs[i].Replace(targets[i]))
            return Fail(problem, IDS_CANNOTWRITE, targets[i], outs[i].error);
    *page = targets[2];
    return allRead && !reading.badLineCount ? AllRead : SomeUnreadable;
}
