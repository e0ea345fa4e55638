/*
 * The hidden recorder as launched for real: its start record, its window
 * and priority, and every way its session ends.
 */
#include "program.h"

TEST_F(RecorderCase, FirstLaunchRecordsTheStartAndWaitsHiddenAtIdlePriority)
{
    HWND window = Start();
    ASSERT_TRUE(window);
    EXPECT_EQ(ProcessOf(window), first.pid);
    EXPECT_TRUE(MatchesAt(Log(), started, started, [](const SYSTEMTIME &s, const SYSTEMTIME &) {
        return kLogHeader + StartRecordAt(s);
    })) << Utf8(Log());

    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(GetWindowLongA(window, GWL_STYLE) & (WS_POPUP | WS_CHILD | WS_CAPTION), WS_POPUP);
    EXPECT_EQ(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_APPWINDOW, 0) << "a task-bar button";
    EXPECT_EQ(GetWindow(window, GW_OWNER), (HWND)NULL);
    EXPECT_EQ(GetPriorityClass(first.process), (DWORD)IDLE_PRIORITY_CLASS);
    EXPECT_EQ(GetThreadPriority(first.thread), THREAD_PRIORITY_IDLE);
}

TEST_F(RecorderCase, PostedDestroyAndCloseRequestRecordTheEndAndExit)
{
    for (UINT message : {WM_DESTROY, WM_CLOSE}) {
        DeleteFileA("morvalenlog.txt");
        HWND window = Start();
        Moment ended = {Now()};
        PostMessageA(window, message, 0, 0);
        EXPECT_EQ(WaitForExit(first, 5000), 0) << "message " << message;
        ended.to = Now();
        EXPECT_TRUE(HasOneSession(Log(), ended)) << Utf8(Log());
        Release(first);
    }
}

TEST_F(RecorderCase, WindowsEndingTheSessionRecordsTheEnd)
{
    Start();
    Moment ended = {Now()};
    Launched wineboot = Launch("", folder, "wineboot.exe --end-session --shutdown");
    EXPECT_NE(WaitForExit(wineboot, 60000), -1) << "wineboot did not finish";
    Release(wineboot);
    EXPECT_NE(WaitForExit(first, 10000), -1) << "Wine left the recorder running";
    ended.to = Now();
    EXPECT_TRUE(HasOneSession(Log(), ended)) << Utf8(Log());
}

TEST_F(RecorderCase, CancelledEndWritesNothingAndALaterEndWritesOnce)
{
    HWND window = Start();
    std::string before = Log();

    /* What Windows sends when another program vetoes the log-off. */
    EXPECT_EQ(SendMessageA(window, WM_QUERYENDSESSION, 0, 0), 1);
    EXPECT_EQ(GetPriorityClass(first.process), (DWORD)NORMAL_PRIORITY_CLASS);
    EXPECT_EQ(GetThreadPriority(first.thread), THREAD_PRIORITY_NORMAL);
    SendMessageA(window, WM_ENDSESSION, FALSE, 0);
    EXPECT_EQ(GetPriorityClass(first.process), (DWORD)IDLE_PRIORITY_CLASS);
    EXPECT_EQ(GetThreadPriority(first.thread), THREAD_PRIORITY_IDLE);
    EXPECT_EQ(Log(), before);

    /* The real end: recorded, and the process is left for Windows to end. */
    Moment ended = {Now()};
    SendMessageA(window, WM_QUERYENDSESSION, 0, 0);
    SendMessageA(window, WM_ENDSESSION, TRUE, 0);
    ended.to = Now();
    EXPECT_TRUE(HasOneSession(Log(), ended)) << Utf8(Log());
    EXPECT_EQ(WaitForExit(first, 500), -1) << "the recorder ended the process itself";
    EXPECT_TRUE(IsWindow(window));
}

TEST_F(RecorderCase, LogDeletedOrEmptiedDuringTheSessionStillGetsItsEnd)
{
    for (bool deleted : {true, false}) {
        DeleteFileA("morvalenlog.txt");
        HWND window = Start();
        if (deleted)
            DeleteFileA("morvalenlog.txt");
        else
            WriteBytes("morvalenlog.txt", "");
        Moment ended = {Now()};
        PostMessageA(window, WM_DESTROY, 0, 0);
        EXPECT_EQ(WaitForExit(first, 5000), 0);
        ended.to = Now();
        EXPECT_TRUE(MatchesAt(Log(), started, ended, [&](const SYSTEMTIME &s, const SYSTEMTIME &e) {
            return deleted ? kLogHeader + StartRecordAt(s) + EndRecordAt(s, e) : EndRecordAt(s, e);
        })) << (deleted ? "deleted: " : "emptied: ") << Utf8(Log());
        Release(first);
    }
}

TEST_F(RecorderCase, LogLockedAtStartIsReportedAfterTheRetriesAndTheEndStillWritten)
{
    WriteBytes("morvalenlog.txt", "before");
    HANDLE held = CreateFileA("morvalenlog.txt", GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    DWORD began = GetTickCount();
    started.from = Now();
    first = Launch("", folder);
    BoxInfo box = FindBox(first.pid, 10000);
    DWORD shown = GetTickCount() - began;
    started.to = Now();
    CloseHandle(held);

    ASSERT_TRUE(box.window);
    EXPECT_GE(shown, 900u) << "reported before the retries were over";
    EXPECT_EQ(box.caption, "Morvalen for Windows");
    EXPECT_EQ(box.text, Sjis("共有違反です。 morvalenlog.txtを開くことができません。 作業は中断されました。"));
    HWND window = FindRecorder(1000);
    EXPECT_EQ(box.owner, window) << "the report is owned by the hidden window";
    PressButton(box.window, IDOK);

    /* The start was not recorded; the end is appended to the log as found. */
    WaitUntilWaiting();
    Moment ended = {Now()};
    PostMessageA(window, WM_DESTROY, 0, 0);
    EXPECT_EQ(WaitForExit(first, 5000), 0);
    ended.to = Now();
    EXPECT_TRUE(MatchesAt(Log(), started, ended, [](const SYSTEMTIME &s, const SYSTEMTIME &e) {
        return "before" + EndRecordAt(s, e);
    })) << Utf8(Log());
}
