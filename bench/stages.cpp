/*
 * The report benchmark's stage timer: the report's own code, linked in,
 * run stage by stage over the logs of a folder, each stage the median of
 * RUNS runs. Reading is the bare reads of every file; the tally is
 * reading, taking the lines apart and counting them; each writer is
 * timed on the finished tally. The whole report is timed last, as the
 * program runs it but without Wine's start.
 *
 *   report-stages FOLDER OUT-FOLDER [RUNS [STAGE]]
 *
 * With STAGE, only the stage whose name starts with it runs, to look at
 * it under a profiler.
 */
#include "makereport.h"
#include "outfile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>

static double Seconds()
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return (double)now.QuadPart / frequency.QuadPart;
}

static int runs = 5;
static const char *only = "";

static void Time(const char *stage, const std::function<void()> &stageRun)
{
    std::vector<double> times;
    if (strncmp(stage, only, strlen(only)) != 0)
        return;
    for (int i = 0; i < runs; i++) {
        double start = Seconds();
        stageRun();
        times.push_back(Seconds() - start);
    }
    std::sort(times.begin(), times.end());
    printf("  %-34s %6.3f s\n", stage, times[times.size() / 2]);
    fflush(stdout);
}

/* What one run of the report holds: the files, and the tally of them. */
struct Run {
    Reading reading;
    Tally tally;
    Options options;

    explicit Run(const Options &given) : tally(given.from, given.to, given.now), options(given)
    {
        reading.badLineCount = 0;
        reading.gaps = NULL;
        std::vector<WText> sheets;
        CollectInputs(options.inputs, options.timesheets, reading.files, sheets);
    }
    void Read(SessionSink *sink)
    {
        tally.sink = sink;
        ReadLogFiles(reading, tally);
        tally.Finish();
    }
};

static void ToFile(const WText &folder, const std::function<void(OutFile &)> &write)
{
    OutFile out;
    out.Create(folder);
    write(out);
    out.Close();
}

int wmain(int count, wchar_t **args)
{
    if (count < 3) {
        fprintf(stderr, "usage: report-stages FOLDER OUT-FOLDER [RUNS]\n");
        return 2;
    }
    if (count > 3)
        runs = _wtoi(args[3]);
    static Text stage;
    if (count > 4)
        only = (stage = Narrow(args[4], CP_UTF8)).c_str();
    Options options = {};
    options.inputs.push_back(args[1]);
    options.outFolder = args[2];
    options.from = DayNumber(2000, 1, 1);
    options.to = DayNumber(2099, 12, 31);
    options.now = DayNumber(2026, 12, 1) * MinutesPerDay;
    WText out = FullPath(args[2]);

    Run files(options);
    std::vector<char> piece(1 << 20);
    Time("reading the files", [&] {
        for (const SourceFile &file : files.reading.files) {
            HANDLE handle = CreateFileW(file.path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                                        FILE_FLAG_SEQUENTIAL_SCAN, NULL);
            DWORD got;
            while (ReadFile(handle, piece.data(), (DWORD)piece.size(), &got, NULL) && got)
                ;
            CloseHandle(handle);
        }
    });
    Time("reading, lines and tally", [&] { Run(options).Read(NULL); });
    Time("the same and the sessions file", [&] {
        Run run(options);
        ToFile(out, [&](OutFile &file) {
            SessionsCsv sessions(file, run.tally, run.reading);
            run.Read(&sessions);
            sessions.Finish();
        });
    });
    Run done(options);
    done.Read(NULL);
    Time("the days file", [&] {
        ToFile(out, [&](OutFile &file) { WriteDaysCsv(file, done.tally, done.tally.shownFirst, done.tally.shownLast); });
    });
    Time("the month pages", [&] {
        for (int day : done.tally.months)
            ToFile(out, [&](OutFile &file) { WriteMonthPage(file, done.tally, NULL, day); });
    });
    Time("the overview", [&] {
        ToFile(out, [&](OutFile &file) { WriteOverview(file, done.tally, done.reading, options, Outputs()); });
    });
    Time("the whole report, in place", [&] {
        WText page;
        Problem problem = {};
        MakeReport(options, &page, &problem);
    });
    return 0;
}
