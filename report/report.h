/*
 * Usage report: the whole run, from the logs named on the command line to
 * the three output files, without any window. The entry decides what to
 * show of the outcome.
 */
#ifndef REPORT_REPORT_H
#define REPORT_REPORT_H

#include "tally.h"

#include <vector>

/* Exit codes, for scripts. */
enum Outcome {
    AllRead = 0,        /* written, and every line and file read */
    SomeUnreadable = 1, /* written, but some lines or files could not be read */
    NothingWritten = 2  /* a bad option, no log found, an output not written */
};

struct Options {
    std::vector<WText> inputs;  /* logs and folders as given */
    WText outFolder;            /* empty: beside the first input */
    int from, to;               /* days; the whole century when not given */
    bool fromGiven, toGiven;
    int now;                    /* the report's time, a moment */
    std::vector<WText> timesheets;  /* /timesheet: files, besides the inputs' .csv */
    WText usersFile;            /* /users: the person to PC user mapping */
    int gap;                    /* /gap: the threshold in minutes */
};

const int DefaultGap = 15, MostGap = 600;

struct SourceFile {
    WText path;         /* full */
    Text shown;         /* CP932, as the sessions file names it */
    int lines;
    bool utf8;          /* saved again as UTF-8, names read so */
    bool isLog;         /* has a header or a record */
    DWORD error;        /* could not be read: the system's reason */
};

struct BadLine {
    int file;
    int line;
    Text text;          /* UTF-8, its start only */
};

const int BadLinesShown = 20;

/* Everything read, for the page. */
struct Reading {
    std::vector<SourceFile> files;
    std::vector<BadLine> badLines;  /* the first BadLinesShown */
    int badLineCount;
    const class Gaps *gaps;     /* the comparison, when a timesheet was given */
};

/* What went wrong when nothing was written: a sentence of the string
   table about subject, with the system's reason for error if any. */
struct Problem {
    UINT sentence;
    WText subject;
    DWORD error;
    WText details;
};

/* inputs.cpp: the logs the inputs stand for, the timesheets (those
   named, then the inputs' .csv files), and paths. */
void CollectInputs(const std::vector<WText> &inputs, const std::vector<WText> &timesheets,
                   std::vector<SourceFile> &files, std::vector<WText> &sheets);
WText FullPath(const WText &path);
WText FolderOf(const WText &path);
WText Join(const WText &folder, const WText &name);
bool SamePath(const WText &a, const WText &b);

/* logfiles.cpp: one file into the tally. */
void ReadLogFile(Reading &reading, int index, Tally &tally);

/* report.cpp: a name the report writes, which a folder's .csv files
   leave out. */
bool IsReportOutput(const WText &name);

/* csvfiles.cpp and htmlpage.cpp */
class OutFile;
void AppendField(Text &out, const Text &field);
void AppendEscaped(Text &html, const Text &text);
/* A minute of the day as a share of the timeline. */
void AppendShare(Text &html, int minutes);
class SessionsCsv : public SessionSink {
public:
    SessionsCsv(OutFile &out, const Tally &tally, const Reading &reading);
    void Write(const Session &session) override;

private:
    OutFile &out;
    const Tally &tally;
    /* Each name and file as a finished field, made once. */
    std::vector<Text> userFields, fileFields;
    Text states[MarkClockBack + 1];
    std::vector<char> row;
};
void WriteDaysCsv(OutFile &out, const Tally &tally);
void WriteHtmlPage(OutFile &out, const Tally &tally, const Reading &reading, const Options &options);

/* report.cpp: reads, counts and writes; on NothingWritten, problem says why. */
Outcome MakeReport(const Options &options, WText *page, Problem *problem);

#endif
