/*
 * Driving the real morvalen.exe from a test: launching it in a folder,
 * finding its hidden window, stopping it, and the log lines it should have
 * written at the times the test saw.
 */
#ifndef MORVALEN_TEST_PROGRAM_H
#define MORVALEN_TEST_PROGRAM_H

#include <gtest/gtest.h>

#include "identity.h"
#include "support.h"

#define DEFAULT_LOG MORVALEN_DEFAULT_LOGNAME ".txt"

struct Launched {
    HANDLE process;
    HANDLE thread;
    DWORD pid;
};

/* build/<preset>/morvalen.exe, beside the tests folder. */
std::string ProgramPath();

/* Starts "program" tail in folder; commandLine, if given, is used whole.
   On a desktop of its own, if one is named, as another session's. */
Launched Launch(const std::string &tail, const std::string &folder,
                const std::string &commandLine = "", const char *desktop = NULL);
/* Waits for the process to end; its exit code, or -1 if it did not end. */
int WaitForExit(const Launched &launched, DWORD timeoutMs);
void Release(Launched &launched);
/* Runs a command line in folder to its end; its exit code, or -1. */
int RunToEnd(const std::string &commandLine, const std::string &folder, DWORD timeoutMs = 60000);

/* The running copy's hidden window, waited for. */
HWND FindRecorder(DWORD timeoutMs);
DWORD ProcessOf(HWND window);
/* Ends every recorder left running, so each test starts with none. */
void KillRecorders();

/* Where this user's copies on this PC go in a collection folder. */
std::string CopiesIn(const std::string &share);
/* Success if the folder holds exactly the named files, each with the
   bytes of the file of that name in from. */
testing::AssertionResult HoldsCopies(const std::string &folder, const std::string &from,
                                     const std::vector<std::string> &names);

/* What a header, a start record and an end record look like. */
extern const std::string kLogHeader;
extern const std::string kCannotOpen;
/* The start record of user, or of the user this process sees. */
std::string StartRecordAt(const SYSTEMTIME &start, const std::string &user = "");
std::string EndRecordAt(const SYSTEMTIME &start, const SYSTEMTIME &end);
/* A line of user's from start to end, its end record written. */
std::string CompletedLine(const std::string &user, const SYSTEMTIME &start, const SYSTEMTIME &end);

/* The local time, read before and after something the program did: its
   record carries one of the (at most two) minutes in between. */
SYSTEMTIME Now();
/* Whole minutes since 1601, as the recorder counts a usage. */
ULONGLONG Minutes(const SYSTEMTIME &t);
struct Moment {
    SYSTEMTIME from, to;
};

/* Success if bytes equals shape(t) for some count minutes t of span,
   taken in order; else the closest shape, the bytes and where they part. */
typedef std::vector<SYSTEMTIME> Stamps;
testing::AssertionResult Matches(const std::string &bytes, const Moment &span, size_t count,
                                 const std::function<std::string(const Stamps &)> &shape);

/* Each case starts with no recorder running and a fresh folder of its
   own, and ends every recorder it leaves behind. */
class RecorderCase : public testing::Test {
protected:
    std::string folder;
    Launched first = {};
    Moment started = {};

    void SetUp() override;
    void TearDown() override;

    /* The first recorder has written (or reported) its start record and
       waits: that is when it drops to idle priority. */
    bool WaitUntilWaiting();
    /* Launches the recorder (commandLine, if given, used whole) and waits
       until it has written its start. */
    HWND Start(const std::string &tail = "", const std::string &commandLine = "");
    /* Ends the first recorder with a posted WM_DESTROY; its exit code. */
    int Stop(HWND window, Moment &ended);
    /* A log file of the first recorder, read whole. */
    std::string Log(const std::string &name = DEFAULT_LOG);
    /* Header, this session's start record and an end record. */
    testing::AssertionResult HasOneSession(const std::string &bytes, const Moment &ended);
};

#endif
