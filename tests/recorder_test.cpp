/*
 * The hidden recorder as launched for real: its start record, its window
 * and priority, every way its session ends, and what other programs and
 * other sessions do to its log meanwhile.
 */
#include "program.h"

TEST(Product, CarriesItsVersion)
{
    std::string path = ProgramPath();
    std::vector<char> data(GetFileVersionInfoSizeA(path.c_str(), NULL));
    ASSERT_TRUE(!data.empty() && GetFileVersionInfoA(path.c_str(), 0, (DWORD)data.size(), data.data()));
    VS_FIXEDFILEINFO *fixed;
    char *name = NULL;
    UINT length;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\", (void **)&fixed, &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x0001001Fu);
    EXPECT_EQ(fixed->dwFileVersionLS, 815u);
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\StringFileInfo\\041104b0\\ProductName", (void **)&name, &length));
    EXPECT_EQ(std::string(name), "Morvalen for Windows");
}

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

/* However the session ends, the recorder records the end once and goes:
   told by another program, by a launch with a switch, or by Windows. A
   launch with a switch records nothing of its own. */
TEST_F(RecorderCase, EveryWayTheSessionEndsRecordsTheEnd)
{
    std::string other = folder + "\\other";
    CreateDirectoryA(other.c_str(), NULL);
    auto launch = [&](const char *tail) {
        Launched later = Launch(tail, other);
        BoxInfo box = FindBox(later.pid, tail[1] == 'I' ? 10000 : 300);
        if (tail[1] == 'I') {
            /* /install also warns, system-modal and owned by no window */
            EXPECT_EQ(box.caption, "Morvalen for Windows");
            EXPECT_EQ(box.text, Sjis("現在実行中のMorvalen for Windowsが検出されました。\n\nこれらの実行ファイル、およびスタートアップ"
                                     "フォルダに登録されているショートカットを削除した後、再度インストーラーを起動してください。"));
            EXPECT_EQ(box.owner, (HWND)NULL);
            EXPECT_TRUE(GetWindowLongA(box.window, GWL_EXSTYLE) & WS_EX_TOPMOST) << "system-modal";
            PressButton(box.window, IDOK);
        } else {
            EXPECT_EQ(box.window, (HWND)NULL) << tail;
        }
        EXPECT_EQ(WaitForExit(later, 5000), 0) << tail;
        Release(later);
    };
    struct { const char *how; std::function<void(HWND)> end; } rows[] = {
        {"WM_DESTROY", [](HWND window) { PostMessageA(window, WM_DESTROY, 0, 0); }},
        {"WM_CLOSE", [](HWND window) { PostMessageA(window, WM_CLOSE, 0, 0); }},
        {"/uninstall", [&](HWND) { launch("/uninstall"); }},
        {"/UNINSTALL", [&](HWND) { launch("/UNINSTALL"); }},
        {"/INSTALL", [&](HWND) { launch("/INSTALL"); }},
        {"Windows", [&](HWND) { EXPECT_NE(RunToEnd("wineboot.exe --end-session --shutdown", folder), -1); }},
    };
    for (auto &row : rows) {
        DeleteFileA("morvalenlog.txt");
        HWND window = Start();
        Moment ended = {Now()};
        row.end(window);
        /* Windows ends the process itself, with a code of its own. */
        int code = WaitForExit(first, 10000);
        EXPECT_TRUE(std::string(row.how) == "Windows" ? code != -1 : code == 0) << row.how << ": " << code;
        ended.to = Now();
        EXPECT_TRUE(HasOneSession(Log(), ended)) << row.how << ": " << Utf8(Log());
    }
    EXPECT_TRUE(RemoveDirectoryA(other.c_str())) << "a launch with a switch wrote something";
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

/* A backup tool or another recorder holding the log without sharing is
   waited for about a second; held longer, the start is reported and the
   end still written, as a whole line. */
TEST_F(RecorderCase, LogHeldByAnotherProgramIsWaitedForThenReported)
{
    for (bool briefly : {true, false}) {
        WriteBytes("morvalenlog.txt", "before");
        HANDLE held = CreateFileA("morvalenlog.txt", GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
        DWORD began = GetTickCount();
        started.from = Now();
        first = Launch("", folder);
        if (briefly) {
            Sleep(300);     /* the other program's time with the log */
            CloseHandle(held);
            EXPECT_EQ(FindBox(first.pid, 2000).window, (HWND)NULL) << "reported though the log came free";
        } else {
            BoxInfo box = FindBox(first.pid, 10000);
            EXPECT_GE(GetTickCount() - began, 900u) << "reported before the retries were over";
            CloseHandle(held);
            EXPECT_EQ(box.text, Sjis("共有違反です。 morvalenlog.txt") + kCannotOpen) << Utf8(box.text);
            EXPECT_EQ(box.caption, "Morvalen for Windows");
            EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
            EXPECT_EQ(box.owner, FindRecorder(0)) << "the report is owned by the hidden window";
            PressButton(box.window, IDOK);
        }
        EXPECT_TRUE(WaitUntilWaiting());
        started.to = Now();
        Moment ended;
        EXPECT_EQ(Stop(FindRecorder(0), ended), 0);
        EXPECT_TRUE(MatchesAt(Log(), started, ended, [](const SYSTEMTIME &s, const SYSTEMTIME &e) {
            return "before" + StartRecordAt(s) + EndRecordAt(s, e);
        })) << (briefly ? "briefly: " : "longer: ") << Utf8(Log());
        Release(first);
    }
}

/* What another program or another session's recorder may do to the log
   while this session runs; the end record still completes this session's
   line, or writes a whole line, and leaves every other byte as it was. */
TEST_F(RecorderCase, LogChangedByOthersDuringTheSessionStillGetsItsEnd)
{
    const std::string bob = StartRecordAt(At(2026, 12, 6, 8, 0), "bob");
    std::string bulk;
    while (bulk.size() < 10 << 20)
        bulk += bob + "     26/12/06(" + Weekday(0) + ") 09:00     01:00";
    struct {
        const char *what;
        std::function<void(const std::string &)> meanwhile;
        std::function<std::string(const std::string &, const std::string &)> log;  /* of start, end */
    } rows[] = {
        {"deleted", [](const std::string &) { DeleteFileA("morvalenlog.txt"); },
         [](const std::string &s, const std::string &e) { return kLogHeader + s + e; }},
        {"emptied", [](const std::string &) { WriteBytes("morvalenlog.txt", ""); },
         [](const std::string &, const std::string &e) { return e; }},
        {"initialised by another session", [&](const std::string &) { WriteBytes("morvalenlog.txt", kLogHeader + bob); },
         [&](const std::string &s, const std::string &e) { return kLogHeader + bob + s + e; }},
        {"10 MB of lines after this one", [&](const std::string &log) { WriteBytes("morvalenlog.txt", log + bulk); },
         [&](const std::string &s, const std::string &e) { return kLogHeader + s + e + bulk; }},
        /* the log is read back in pieces of 64 KB: this line's 37-byte
           record across the edge of one */
        {"64 KB less 18 bytes after this one",
         [&](const std::string &log) { WriteBytes("morvalenlog.txt", log + bulk.substr(0, 65518)); },
         [&](const std::string &s, const std::string &e) { return kLogHeader + s + e + bulk.substr(0, 65518); }},
    };
    for (auto &row : rows) {
        DeleteFileA("morvalenlog.txt");
        HWND window = Start();
        row.meanwhile(Log());
        Moment ended;
        EXPECT_EQ(Stop(window, ended), 0) << row.what;
        std::string after = Log();
        EXPECT_TRUE(MatchesAt(after, started, ended, [&](const SYSTEMTIME &s, const SYSTEMTIME &e) {
            return row.log(StartRecordAt(s), EndRecordAt(s, e));
        })) << row.what << ": " << Utf8(after.substr(0, 400));
    }
}

/* The Unix side's name of a folder, for the Unix tools a test runs. */
static std::string UnixPath(const std::string &folder)
{
    typedef char *(CDECL * UnixName)(const wchar_t *);
    UnixName unixName = (UnixName)(void *)GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name");
    wchar_t wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, folder.c_str(), -1, wide, MAX_PATH);
    char *name = unixName ? unixName(wide) : NULL;
    std::string path = name ? name : "";
    HeapFree(GetProcessHeap(), 0, name);
    return path;
}

static ULONGLONG DiskBytes(const std::string &folder)
{
    ULARGE_INTEGER total = {};
    GetDiskFreeSpaceExA((folder + "\\").c_str(), NULL, &total, NULL);
    return total.QuadPart;
}

/* On a full disk the end record fits nowhere, and the log must come out
   whole rather than half moved: this session's line far from the end, and
   not one byte free. The small file system is mounted where the machine
   lets a test do so. */
TEST_F(RecorderCase, EndOnAFullDiskLeavesTheLogWhole)
{
    std::string full = folder + "\\full", unix = UnixPath(full);
    CreateDirectoryA(full.c_str(), NULL);
    RunToEnd("/bin/mount -t tmpfs -o size=64k morvalen-full " + unix, folder, 0);
    if (!WaitFor([&] { return DiskBytes(full) == 65536; }, 5000))
        GTEST_SKIP() << "no small file system could be mounted on " << unix;
    struct Unmount {
        std::string folder, unix;
        ~Unmount()
        {
            RunToEnd("/bin/umount " + unix, folder, 0);
            WaitFor([&] { return DiskBytes(folder + "\\full") != 65536; }, 5000);
        }
    } unmount = {folder, unix};

    HWND window = Start("full\\log");
    std::string log = Log("full\\log.txt");
    Moment ended;
    std::string line = StartRecordAt(At(2026, 12, 6, 8, 0), "bob") + "     26/12/06(" + Weekday(0) + ") 09:00     01:00";
    while (log.size() + line.size() <= 65536)
        log += line;
    log += std::string(65536 - log.size(), 'x');
    WriteBytes(full + "\\log.txt", log);
    ASSERT_EQ(Log("full\\log.txt"), log);

    EXPECT_EQ(Stop(window, ended), 0);
    EXPECT_EQ(Log("full\\log.txt"), log);
}

/*
 * Sessions of one PC sharing one log, each with a recorder of its own on a
 * desktop of its own, as Windows keeps each session's windows apart, so
 * they do not find each other. Steps are a session's letter and + for its
 * start, - for its end.
 */
class SharedLog : public RecorderCase {
protected:
    struct Session {
        const char *user, *desktop;
    } sessions[3] = {{"alice", "morvalen-a"}, {"bob", "morvalen-b"}, {"carol", "morvalen-c"}};

    void TearDown() override
    {
        for (Session &session : sessions)
            Stop(session);
        RecorderCase::TearDown();
    }

    /* The way an installer stops the copy of its own session. */
    void Stop(const Session &session)
    {
        Launched stop = Launch("/uninstall", folder, "", session.desktop);
        EXPECT_EQ(WaitForExit(stop, 10000), 0);
        Release(stop);
    }

    void Step(char who, char what)
    {
        Session &session = sessions[who - 'A'];
        if (what == '-')
            return Stop(session);
        /* Wine takes the user name from the Unix side. */
        Launched start = Launch("", folder, "/usr/bin/env USER=" + std::string(session.user) + " /usr/bin/wine " +
                                                BuildFolder() + "\\tests\\ondesktop.exe " + session.desktop +
                                                " " + ProgramPath());
        Release(start);
    }

    /* The log after the steps that at has minutes for. */
    std::string Expected(const std::string &steps, const std::vector<SYSTEMTIME> &at)
    {
        std::string log = kLogHeader;
        for (size_t i = 0; i < at.size(); i++) {
            if (steps[2 * i + 1] != '+')
                continue;
            log += StartRecordAt(at[i], sessions[steps[2 * i] - 'A'].user);
            size_t end = steps.find(std::string(1, steps[2 * i]) + "-");
            if (end != std::string::npos && end / 2 < at.size())
                log += EndRecordAt(at[i], at[end / 2]);
        }
        return log;
    }
};

TEST_F(SharedLog, EachEndCompletesItsOwnLine)
{
    for (std::string steps : {"A+B+A-B-", "A+B+B-A-", "A+B+C+B-A-C-"}) {
        DeleteFileA("morvalenlog.txt");
        Moment span = {Now()};
        for (size_t i = 0; i < steps.size() / 2; i++) {
            Step(steps[2 * i], steps[2 * i + 1]);
            ASSERT_TRUE(WaitFor([&] {
                span.to = Now();
                return MatchesIn(Log(), span, i + 1, [&](const std::vector<SYSTEMTIME> &at) {
                    return Expected(steps, at);
                });
            }, 10000)) << steps.substr(0, 2 * i + 2) << ":" << Utf8(Log());
        }
    }
}
