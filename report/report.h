/*
 * Usage report: what the parts of a run share: the options, the files
 * read, the outputs' names, and each part's entry (the inputs, reading a
 * log, the CSV and page writers). makereport.h runs them.
 */
#ifndef REPORT_REPORT_H
#define REPORT_REPORT_H

#include "handover.h"
#include "tally.h"

#include <deque>
#include <vector>

class Departments;

struct Options {
    std::vector<WText> inputs;  /* logs and folders as given */
    WText outFolder;            /* empty: beside the first input */
    int from, to;               /* days; the whole century when not given */
    bool fromGiven, toGiven;
    int now;                    /* the report's time, a moment */
    std::vector<WText> timesheets;  /* /timesheet: files, besides the inputs' .csv */
    WText usersFile;            /* /users: the person to PC user mapping */
    int gap;                    /* /gap: the threshold in minutes */
    std::vector<WText> reasonFiles; /* /reasons: files of reasons for the gaps */
    int maxRows;                /* a CSV file's rows, its header included;
                                   0: as many as Excel opens */
    WText collectFolder;        /* /collect: the inputs are logs to copy there */
    int pageUsers;              /* the users a page is made for: a month's
                                   before it is split by department, the
                                   overview's month tables' (40 months of
                                   them) before they are made compact;
                                   0: PageUsers */
};

/* The outputs: the overview, the two CSV files beside it, and the folder
   beside them that holds a page per month and, where a CSV file would
   have more rows than Excel opens, its parts, one per month. */
extern const wchar_t PageName[], DaysName[], SessionsName[], DetailFolder[], GapsName[], ReasonsName[];
const int ExcelRows = 1048576;

/* A file of the month of day in the detail folder: its page
   ("2026-11.html"), or the part of the CSV file named whole
   ("morvalen-days-2026-11.csv"). */
WText MonthFile(int day, const wchar_t *whole = NULL);
/* A link from the overview to a file of the detail folder. */
Text DetailLink(const WText &name);

/* What the overview says of the CSV files: the parts' paths from the
   overview's folder, with '/', when a file was split. */
struct Outputs {
    std::vector<Text> sessionParts, dayParts;
};

const int DefaultGap = 15, MostGap = 600;

struct SourceFile {
    WText path;         /* full */
    Text shown;         /* CP932, as the sessions file names it */
    int lines;
    bool utf8;          /* saved again as UTF-8, names read so */
    bool isLog;         /* has a header or a record */
    DWORD error;        /* could not be read: the system's reason */
    WText listed;       /* as the overview lists it: from the folder given */
    bool archive;       /* a dated archive, which ends by design */
    int replaced;       /* a kept copy (which also ends): when the next copy
                           replaced it, a moment; -1 for any other file */
    int newest;         /* the latest stamp, a moment; -1 for none */
    int copied;         /* a copy's time record beside it, a moment; -1 for none */
    bool copyUntrusted; /* that time is after the report's or before the latest stamp */
};

struct BadLine {
    int file;
    int line;
    Text text;          /* UTF-8, its start only */
};

const int BadLinesShown = 20;
/* A log whose latest record is more days than this before the period's
   end is marked: its PC may no longer reach the collection folder. */
const int StaleDays = 7;

/* Everything read, for the page. */
struct Reading {
    std::vector<SourceFile> files;
    std::vector<BadLine> badLines;  /* the first BadLinesShown */
    int badLineCount;
    const class Gaps *gaps;     /* the comparison, when a timesheet was given */
    const class Departments *departments;   /* when any user's is known */
};

/* inputs.cpp: the logs the inputs stand for, the timesheets (those
   named, then the inputs' .csv files), and paths. */
void CollectInputs(const std::vector<WText> &inputs, const std::vector<WText> &timesheets,
                   std::vector<SourceFile> &files, std::vector<WText> &sheets);
WText FullPath(const WText &path);
WText FolderOf(const WText &path);
WText Join(const WText &folder, const WText &name);
bool SamePath(const WText &a, const WText &b);

/* logfiles.cpp: every file into the tally, in order; before any is read,
   when the range leaves out earlier days, what a file's last line says. */
void ReadLogFiles(Reading &reading, Tally &tally);
/* copied.cpp: each copy's time, after the files are read, judged and
   told to the tally. */
void ReadCopyTimes(Reading &reading, Tally &tally);
void ExpectLastLine(const Reading &reading, int index, Tally &tally);
/* A log opened to be read, its writer waited for. */
HANDLE OpenShared(const WText &path);

/* rewrites.cpp: a whole file; the records later copies changed, into the
   tally before any file is read. */
bool ReadAll(const WText &path, Text &bytes, DWORD *error);
void FindRewrites(const Reading &reading, Tally &tally);

/* outputs.cpp: a name the report writes, which a folder's .csv files
   leave out; a field as a CSV file has it, quoted only where needed. */
bool IsReportOutput(const WText &name);
void AppendField(Text &out, const Text &field);

/* csvfiles.cpp and htmlpage.cpp */
class OutFile;
/* The sessions file is written on a thread of its own while the logs are
   read: the rows go over in batches, one filled while the other is
   written, so its memory stays the same whatever the number of lines. */
class SessionsCsv : public SessionSink {
public:
    SessionsCsv(OutFile &out, const Tally &tally, const Reading &reading);
    ~SessionsCsv() { Finish(); }
    void Write(const Session &session) override;
    /* Waits until every row is written. */
    void Finish();

    int rows;           /* written, the header too */

private:
    struct Queued {
        const Text *name;
        Session session;
    };
    static DWORD WINAPI Run(void *self);
    void Hand();
    void WriteRow(const Queued &queued);
    char *PutStamp(char *at, int moment);

    OutFile &out;
    const Tally &tally;
    const Departments *departments;
    /* Each name and file, with the department after the name where
       there are departments, as a finished field, made once; a name stays
       where it is while the writer reads it. */
    std::deque<Text> userFields;
    std::vector<Text> fileFields;
    /* By whether the usage field disagrees (1) and a later copy changed
       the record (2), then by mark. */
    Text states[4][MarkCopied + 1];
    std::vector<Queued> filling, writing;
    HANDLE thread;
    /* A batch filled for the writer; the writer idle, the last written. */
    Handover ready, idle;
    bool stop;
    /* The writer's month, "yyyy/mm/", and its days. */
    char monthText[8];
    int monthFirst, monthLast;
    std::vector<char> row;
};
/* The days from first to last of each user's months; the rows a whole
   file has. */
void WriteDaysCsv(OutFile &out, const Tally &tally, int first, int last, const Departments *departments = NULL);
int DaysRows(const Tally &tally);
/* The sessions file at path into a part per month of its start in
   folder; false with error set if one could not be read or written. */
bool SplitSessions(const WText &path, const WText &folder, std::vector<WText> &names, DWORD *error);
void WriteOverview(OutFile &out, const Tally &tally, const Reading &reading, const Options &options,
                   const Outputs &outputs);
/* The page of the month of day; gaps, when a timesheet was given, marks
   its flagged days. With departments, of a part of department's users
   only, or for -1 the month's page, which is an index alone when the
   month is split by department. */
class Gaps;
void WriteMonthPage(OutFile &out, const Tally &tally, const Gaps *gaps, int day,
                    const Departments *departments = NULL, int department = -1, int part = 0);

#endif
