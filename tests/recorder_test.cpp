/*
 * The hidden recorder as launched for real: its start record, its window
 * and priority, every way its session ends, and what other programs and
 * other sessions do to its log meanwhile.
 */
#include "program.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <utility>

#include <tlhelp32.h>

TEST(Product, CarriesItsVersion)
{
    std::string path = ProgramPath();
    std::vector<char> data(GetFileVersionInfoSizeA(path.c_str(), NULL) + 1);
    char *version = NULL;
    UINT length;
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, (DWORD)data.size(), data.data()) &&
                VerQueryValueA(data.data(), "\\StringFileInfo\\041104b0\\FileVersion", (void **)&version, &length));
    EXPECT_EQ(std::string(version), MORVALEN_VERSION);
}

TEST_F(RecorderCase, FirstLaunchRecordsTheStartAndWaitsHiddenAtIdlePriority)
{
    HWND window = Start();
    ASSERT_TRUE(window);
    EXPECT_EQ(ProcessOf(window), first.pid);
    EXPECT_TRUE(Matches(Log(), started, 1, [](const Stamps &t) { return kLogHeader + StartRecordAt(t[0]); }));

    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(GetWindowLongA(window, GWL_STYLE) & (WS_POPUP | WS_CHILD | WS_CAPTION), WS_POPUP);
    EXPECT_EQ(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_APPWINDOW, 0) << "a task-bar button";
    EXPECT_EQ(GetWindow(window, GW_OWNER), (HWND)NULL);
    EXPECT_EQ(std::make_pair(GetPriorityClass(first.process), GetThreadPriority(first.thread)),
              std::make_pair((DWORD)IDLE_PRIORITY_CLASS, THREAD_PRIORITY_IDLE));
}

/* However the session ends, the recorder records the end once and goes:
   told by another program, by a launch with a switch, or by Windows. A
   launch with a switch records nothing of its own; a copy that does not
   answer holds it up some three seconds, no longer. */
TEST_F(RecorderCase, EveryWayTheSessionEndsRecordsTheEnd)
{
    std::string other = folder + "\\other";
    CreateDirectoryA(other.c_str(), NULL);
    for (std::string how : {"WM_DESTROY", "WM_CLOSE", "/uninstall", "/UNINSTALL", "/INSTALL", "/uninstall busy", "Windows"}) {
        DeleteFileA(DEFAULT_LOG);
        HWND window = Start();
        Moment ended = {Now()};
        if (how[0] == '/') {
            bool busy = how == "/uninstall busy";
            if (busy)
                SuspendThread(first.thread);
            DWORD began = GetTickCount();
            Launched later = Launch(busy ? "/uninstall" : how, other);
            BoxInfo box = FindBox(later.pid, how == "/INSTALL" ? 10000 : kBoxWaitMs);
            /* /install also warns, system-modal and owned by no window */
            EXPECT_EQ(box.text, how != "/INSTALL" ? "" : Sjis("現在実行中の" MORVALEN_PRODUCT "が検出されました。\n\nこれらの"
                "実行ファイル、およびスタートアップフォルダに登録されているショートカットを削除した後、再度インストーラーを起動してください。"));
            EXPECT_EQ(box.window && !box.owner && GetWindowLongA(box.window, GWL_EXSTYLE) & WS_EX_TOPMOST, how == "/INSTALL");
            PressButton(box.window, IDOK);
            EXPECT_EQ(WaitForExit(later, 10000), 0) << how;
            if (busy) {
                EXPECT_GE(GetTickCount() - began, 2900u) << "the launch did not wait for the copy";
                ResumeThread(first.thread);
            }
            Release(later);
        } else if (how == "Windows") {
            EXPECT_NE(RunToEnd("wineboot.exe --end-session --shutdown", folder), -1);
        } else {
            PostMessageA(window, how == "WM_CLOSE" ? WM_CLOSE : WM_DESTROY, 0, 0);
        }
        /* Windows ends the process itself, with a code of its own. */
        int code = WaitForExit(first, 10000);
        EXPECT_TRUE(how == "Windows" ? code != -1 : code == 0) << how << ": " << code;
        ended.to = Now();
        EXPECT_TRUE(HasOneSession(Log(), ended)) << how;
    }
    /* With no copy running, a switch does nothing at all. */
    for (const char *tail : {"/install", "/uninstall"})
        EXPECT_EQ(RunToEnd("\"" + ProgramPath() + "\" " + tail, other, 5000), 0) << tail;
    EXPECT_FALSE(FindRecorder(0));
    EXPECT_TRUE(RemoveDirectoryA(other.c_str())) << "a launch with a switch wrote something";
}

/* A backup tool or another recorder holding the log without sharing is
   waited for about a second; held longer, the start is reported and the
   end still written, as a whole line. Only a held log is waited for: a
   folder missing at the start is reported at once, though it comes soon
   after, and the end is written there as a whole line. */
TEST_F(RecorderCase, LogHeldByAnotherProgramIsWaitedForThenReported)
{
    for (std::string how : {"folder", "briefly", "longer"}) {
        bool missing = how == "folder";
        std::string log = missing ? "later\\pc1.txt" : DEFAULT_LOG;
        WriteBytes(DEFAULT_LOG, "before");
        HANDLE held = missing ? NULL : CreateFileA(DEFAULT_LOG, GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
        DWORD began = GetTickCount();
        started.from = Now();
        first = Launch(missing ? "later\\pc1" : "", folder);
        if (how != "longer") {
            /* the other program's time with the log, or the folder's to come */
            FindRecorder(5000);
            Sleep(300);
            CloseHandle(held);
            CreateDirectoryA("later", NULL);
        }
        if (how == "briefly") {
            EXPECT_TRUE(NoBoxAppears(first.pid)) << "reported though the log came free";
        } else {
            BoxInfo box = FindBox(first.pid, 10000);
            EXPECT_TRUE(missing || GetTickCount() - began >= 900) << "reported before the retries were over";
            CloseHandle(held);
            EXPECT_EQ(box.text, Sjis(missing ? "パスが見つかりません。 " : "共有違反です。 ") + log + kCannotOpen)
                << Utf8(box.text);
            EXPECT_EQ(box.caption, MORVALEN_PRODUCT);
            EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
            EXPECT_EQ(box.owner, FindRecorder(0)) << "the report is owned by the hidden window";
            PressButton(box.window, IDOK);
        }
        EXPECT_TRUE(WaitUntilWaiting());
        started.to = Now();
        Moment ended;
        EXPECT_EQ(Stop(FindRecorder(0), ended), 0);
        EXPECT_TRUE(Matches(Log(log), {started.from, ended.to}, 2, [&](const Stamps &t) {
            return (missing ? kLogHeader : "before") + StartRecordAt(t[0]) + EndRecordAt(t[0], t[1]);
        })) << how;
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
        bulk += CompletedLine("bob", At(2026, 12, 6, 8, 0), At(2026, 12, 6, 9, 0));
    struct {
        const char *what;
        std::function<void(const std::string &)> meanwhile;
        std::function<std::string(const std::string &, const std::string &)> log;  /* of start, end */
    } rows[] = {
        {"deleted", [](const std::string &) { DeleteFileA(DEFAULT_LOG); },
         [](const std::string &s, const std::string &e) { return kLogHeader + s + e; }},
        {"emptied", [](const std::string &) { WriteBytes(DEFAULT_LOG, ""); },
         [](const std::string &, const std::string &e) { return e; }},
        {"initialised by another session", [&](const std::string &) { WriteBytes(DEFAULT_LOG, kLogHeader + bob); },
         [&](const std::string &s, const std::string &e) { return kLogHeader + bob + s + e; }},
        /* the header taken out by hand: this line alone, then with another after it */
        {"this line alone", [](const std::string &log) { WriteBytes(DEFAULT_LOG, log.substr(kLogHeader.size())); },
         [](const std::string &s, const std::string &e) { return s + e; }},
        {"this line first", [&](const std::string &log) { WriteBytes(DEFAULT_LOG, log.substr(kLogHeader.size()) + bob); },
         [&](const std::string &s, const std::string &e) { return s + e + bob; }},
        {"10 MB of lines after this one", [&](const std::string &log) { WriteBytes(DEFAULT_LOG, log + bulk); },
         [&](const std::string &s, const std::string &e) { return kLogHeader + s + e + bulk; }},
        /* the log is read back in pieces of 64 KB from its end, each
           overlapping the next: this line's record begins one byte before
           the last piece */
        {"64 KB and one byte from this line on",
         [&](const std::string &log) { WriteBytes(DEFAULT_LOG, log + bulk.substr(0, 65537 + kLogHeader.size() - log.size())); },
         [&](const std::string &s, const std::string &e) { return kLogHeader + s + e + bulk.substr(0, 65537 - s.size()); }},
    };
    for (auto &row : rows) {
        DeleteFileA(DEFAULT_LOG);
        HWND window = Start();
        row.meanwhile(Log());
        Moment ended;
        EXPECT_EQ(Stop(window, ended), 0) << row.what;
        std::string after = Log();
        EXPECT_TRUE(Matches(after, {started.from, ended.to}, 2, [&](const Stamps &t) {
            return row.log(StartRecordAt(t[0]), EndRecordAt(t[0], t[1]));
        })) << row.what;
    }
}

/* On a full disk the end record fits nowhere, and the log must come out
   whole rather than half moved: this session's line far from the end, and
   not one byte free. The small file system is mounted where the machine
   lets a test do so. */
TEST_F(RecorderCase, EndOnAFullDiskLeavesTheLogWhole)
{
    folder = "Z:\\tmp\\morvalen-full";
    CreateDirectoryA(folder.c_str(), NULL);
    RunToEnd("/bin/mount -t tmpfs -o size=64k morvalen-full /tmp/morvalen-full", folder, 0);
    ULARGE_INTEGER total = {};
    if (!WaitFor([&] { return GetDiskFreeSpaceExA("Z:\\tmp\\morvalen-full\\", NULL, &total, NULL) && total.QuadPart == 65536; }, 5000))
        GTEST_SKIP() << "no small file system could be mounted on /tmp/morvalen-full";
    struct Unmount {
        ~Unmount() { RunToEnd("/bin/umount -l /tmp/morvalen-full", "C:\\", 0); }
    } unmount;

    HWND window = Start();
    std::string log = Log();
    std::string line = CompletedLine("bob", At(2026, 12, 6, 8, 0), At(2026, 12, 6, 9, 0));
    while (log.size() + line.size() <= 65536)
        log += line;
    log += std::string(65536 - log.size(), 'x');
    WriteBytes("Z:\\tmp\\morvalen-full\\morvalenlog.txt", log);
    ASSERT_EQ(Log(), log);
    Moment ended;
    EXPECT_EQ(Stop(window, ended), 0);
    EXPECT_EQ(Log(), log);
}

/* Sessions of one PC sharing one log, each with a recorder of its own on
   a desktop of its own (Windows keeps each session's windows apart, so they
   do not find each other) and a user name of its own, which Wine takes from
   the Unix side. A step is a
   session's letter and + for its start or - for its end, which is how an
   installer stops the copy of its own session. */
TEST_F(RecorderCase, SharedLogGetsEachEndOnItsOwnLine)
{
    const std::string users[] = {"alice", "bob", "carol"};
    /* Whatever happens, no session's recorder outlives the test. */
    struct Sessions {
        std::string folder;
        ~Sessions()
        {
            for (const char *desktop : {"morvalen-A", "morvalen-B", "morvalen-C"}) {
                Launched stop = Launch("/uninstall", folder, "", desktop);
                WaitForExit(stop, 10000);
                Release(stop);
            }
        }
    } sessions = {folder};
    for (std::string steps : {"A+B+A-B-", "A+B+B-A-", "A+B+C+B-A-C-"}) {
        DeleteFileA(DEFAULT_LOG);
        Moment span = {Now()};
        for (size_t i = 0; i < steps.size() / 2; i++) {
            std::string desktop = "morvalen-" + steps.substr(2 * i, 1);
            if (steps[2 * i + 1] == '-') {
                Launched stop = Launch("/uninstall", folder, "", desktop.c_str());
                EXPECT_EQ(WaitForExit(stop, 10000), 0);
                Release(stop);
            } else {
                RunToEnd("/usr/bin/env USER=" + users[steps[2 * i] - 'A'] + " " WINE_LOADER " " + BuildFolder() +
                         "\\tests\\ondesktop.exe " + desktop + " " + ProgramPath(), folder, 0);
            }
            /* Every line so far, each completed if its end came. */
            auto expected = [&](const Stamps &at) {
                std::string log = kLogHeader;
                for (size_t j = 0; j < at.size(); j++) {
                    size_t end = steps.find(steps.substr(2 * j, 1) + "-");
                    if (steps[2 * j + 1] == '+')
                        log += StartRecordAt(at[j], users[steps[2 * j] - 'A']) +
                               (end / 2 < at.size() ? EndRecordAt(at[j], at[end / 2]) : "");
                }
                return log;
            };
            ASSERT_TRUE(WaitFor([&] { return span.to = Now(), Matches(Log(), span, i + 1, expected); }, 10000))
                << steps.substr(0, 2 * i + 2) << ": " << Escaped(Log());
        }
    }
}

/* EndAtLock as an administrator sets it in one of the user's keys: a
   REG_DWORD; -1 removes it; kQword and kBinary store a 1 as a REG_QWORD,
   too long to be read, and as a REG_BINARY, of the wrong type. */
enum { kQword = -2, kBinary = -3 };
static void SetEndAtLock(const char *key, int value)
{
    ULONGLONG data = value < 0 ? 1 : (DWORD)value;
    DWORD type = value == kQword ? REG_QWORD : value == kBinary ? REG_BINARY : REG_DWORD;
    RegDeleteKeyValueA(HKEY_CURRENT_USER, key, MORVALEN_ENDATLOCK_VALUE);
    if (value != -1)
        RegSetKeyValueA(HKEY_CURRENT_USER, key, MORVALEN_ENDATLOCK_VALUE, type, &data, type == REG_QWORD ? 8 : 4);
}

static bool LoadsModule(DWORD pid, const char *name)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
    MODULEENTRY32 module = {sizeof module};
    bool found = false;
    for (BOOL more = Module32First(snapshot, &module); more && !found; more = Module32Next(snapshot, &module))
        found = lstrcmpiA(module.szModule, name) == 0;
    CloseHandle(snapshot);
    return found;
}

/* Sleep, waking, a lock and a disconnect as Windows tells the hidden
   window of them, with the whole log compared after every step, right as
   the send returns: the pause's end is on disk by then. A step is one
   event: S the sleep, A and U the two resume notifications (automatic, and
   woken by a person), Q the question before a sleep, L and l a lock and an
   unlock, K and k the console disconnected and connected (switching
   users), T and t a remote session's, B another session's line after ours,
   H and R the log held by another program and released, W a waking that
   cannot write the sleep's end (the log held) and reports it, O that
   report answered, C a cancelled session end, E the session's end (the
   process is left for Windows to end) and D a quit. The line is open only
   while the PC is awake and, with EndAtLock on, the session unlocked and
   connected. Each start record gets one end, and the recorder stays idle. */
TEST_F(RecorderCase, SleepOrLockEndsTheLineAndTheReturnStartsANewOne)
{
    /* What each event pauses or resumes: 1 asleep, 2 locked, 4 disconnected. */
    struct Event { UINT message; WPARAM code; int reason; bool pauses; };
    static const std::map<char, Event> events = {
        {'S', {WM_POWERBROADCAST, PBT_APMSUSPEND, 1, true}},
        {'A', {WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 1, false}},
        {'U', {WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 1, false}},
        {'Q', {WM_POWERBROADCAST, PBT_APMQUERYSUSPEND, 0, false}},
        {'L', {WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 2, true}},
        {'l', {WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, 2, false}},
        {'K', {WM_WTSSESSION_CHANGE, WTS_CONSOLE_DISCONNECT, 4, true}},
        {'k', {WM_WTSSESSION_CHANGE, WTS_CONSOLE_CONNECT, 4, false}},
        {'T', {WM_WTSSESSION_CHANGE, WTS_REMOTE_DISCONNECT, 4, true}},
        {'t', {WM_WTSSESSION_CHANGE, WTS_REMOTE_CONNECT, 4, false}}};
    /* EndAtLock in the user's settings and in the policy key, as
       SetEndAtLock takes it, and whether the recorder is to take it as on. */
    struct Row { int settings, policy; bool on; std::string steps; };
    const std::string bob = CompletedLine("bob", At(2026, 12, 6, 8, 0), At(2026, 12, 6, 9, 0));
    struct Cleanup {
        ~Cleanup() { SetEndAtLock(MORVALEN_SETTINGS_KEY, -1), SetEndAtLock(MORVALEN_POLICY_KEY, -1); }
    } cleanup;
    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    for (const Row &row : std::vector<Row>{{-1, -1, false, "CQSAUE"}, {-1, -1, false, "SSUAD"},
                                           {-1, -1, false, "ASCE"}, {-1, -1, false, "BHSRAHSRD"},
                                           {-1, -1, false, "HSWRUOD"},
                                           {1, -1, true, "LlLKklTtLE"}, {1, -1, true, "SLUlSUlLSlAD"},
                                           {1, -1, true, "BHLRSUlHKRLkSlAD"}, {-1, -1, false, "LlKTSLAD"},
                                           {1, 0, false, "LlD"}, {0, 1, true, "LlD"}, {2, -1, false, "LlD"},
                                           {kBinary, -1, false, "LlD"}, {1, kQword, false, "LlD"}}) {
        const std::string &steps = row.steps;
        KillRecorders();
        DeleteFileA(DEFAULT_LOG);
        SetEndAtLock(MORVALEN_SETTINGS_KEY, row.settings);
        SetEndAtLock(MORVALEN_POLICY_KEY, row.policy);
        HWND window = Start();
        /* Only a recorder that asks for the session's events loads what
           they are asked for with. */
        EXPECT_EQ(LoadsModule(first.pid, "wtsapi32.dll"), row.on) << steps;
        Moment span = started;
        /* The log's lines in order: another session's, or ours with the
           stamps of its start and end (-1: no end written yet). */
        struct Line { bool ours; int start, end; };
        std::vector<Line> lines = {{true, 0, -1}};
        int stamps = 1, pending = -1, pausedFor = 0;
        bool paused = false, over = false;
        HANDLE held = INVALID_HANDLE_VALUE;
        BoxInfo box = {};
        auto ours = [&]() -> Line & {
            return *std::find_if(lines.rbegin(), lines.rend(), [](const Line &line) { return line.ours; });
        };
        for (size_t i = 0; i < steps.size(); i++) {
            std::string done = steps.substr(0, i + 1);
            DWORD_PTR answer = 0;
            switch (steps[i]) {
            case 'B':
                WriteBytes(DEFAULT_LOG, Log() + bob);
                lines.push_back({false, 0, 0});
                break;
            case 'H':
                held = CreateFileA(DEFAULT_LOG, GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
                break;
            case 'R':
                CloseHandle(std::exchange(held, INVALID_HANDLE_VALUE));
                break;
            case 'W':
                PostMessageA(window, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
                box = FindBox(first.pid, 10000);
                EXPECT_NE(box.text.find(kCannotOpen), std::string::npos) << done << ": " << box.text;
                pending = -1, pausedFor &= ~1;
                break;
            case 'O':
                EXPECT_TRUE(PressButton(box.window, IDOK)) << done;
                /* The waking's handler has gone on and returned. */
                SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &answer);
                break;
            case 'C': case 'E':
                /* Asked first; C: another program vetoed the end. */
                EXPECT_EQ(SendMessageA(window, WM_QUERYENDSESSION, 0, 0), 1);
                EXPECT_EQ(GetPriorityClass(first.process), (DWORD)NORMAL_PRIORITY_CLASS) << done;
                SendMessageA(window, WM_ENDSESSION, steps[i] == 'E', 0);
                if (steps[i] == 'C')
                    break;
                EXPECT_EQ(WaitForExit(first, 300), -1) << "the recorder ended the process itself";
                [[fallthrough]];
            case 'D':
                if (steps[i] == 'D') {
                    PostMessageA(window, WM_DESTROY, 0, 0);
                    EXPECT_EQ(WaitForExit(first, 5000), 0) << done;
                }
                if (!over)
                    ours().end = !paused ? stamps++ : pending >= 0 ? pending : ours().end;
                over = true;
                break;
            default: {
                const Event &event = events.at(steps[i]);
                bool power = event.message == WM_POWERBROADCAST;
                EXPECT_TRUE(SendMessageTimeoutA(window, event.message, event.code, power ? 0 : session,
                                                SMTO_NORMAL, 5000, &answer) && answer == (power ? TRUE : 0))
                    << done << ": no answer in time";
                int reason = power || row.on ? event.reason : 0;
                if (event.pauses && reason && !paused) {
                    /* held: not written, nor reported, until the next write */
                    (held == INVALID_HANDLE_VALUE ? ours().end : pending) = stamps++;
                    paused = true;
                    EXPECT_TRUE(NoBoxAppears(first.pid)) << done << ": at the pause";
                }
                pausedFor = event.pauses ? pausedFor | reason : pausedFor & ~reason;
                if (!event.pauses && reason && paused && !pausedFor) {
                    if (pending >= 0)
                        ours().end = std::exchange(pending, -1);
                    lines.push_back({true, stamps++, -1});
                    paused = false;
                }
                break;
            }
            }
            span.to = Now();
            std::string log = Log();
            if (held == INVALID_HANDLE_VALUE)
                EXPECT_TRUE(Matches(log, span, stamps, [&](const Stamps &t) {
                std::string expected = kLogHeader;
                for (const Line &line : lines)
                    expected += !line.ours ? bob : StartRecordAt(t[line.start]) +
                                                   (line.end < 0 ? "" : EndRecordAt(t[line.start], t[line.end]));
                return expected;
            })) << done;
            if (!over)
                EXPECT_EQ(GetPriorityClass(first.process), (DWORD)IDLE_PRIORITY_CLASS) << done;
        }
    }
}

/* The collection folder an administrator set, from the installer's key or
   a policy's, which wins even when empty. After the start record, after a
   wake's and after an initialise, the log and its archives reach the
   folder whole; a folder out of reach, or no report beside the recorder,
   changes nothing the user sees, and with no folder set nothing is
   started. */
TEST_F(RecorderCase, LogReachesTheCollectionFolderAfterEachStart)
{
    const struct { HKEY root; const char *key; } keys[] = {{HKEY_CURRENT_USER, MORVALEN_SETTINGS_KEY},
        {HKEY_CURRENT_USER, MORVALEN_POLICY_KEY}, {HKEY_LOCAL_MACHINE, MORVALEN_POLICY_KEY}};
    struct Cleared {
        const decltype(keys) &keys;
        void Clear() { for (auto &key : keys) RegDeleteKeyA(key.root, key.key); }
        ~Cleared() { Clear(); }
    } cleared = {keys};
    SetEnvironmentVariableA("MORVALEN_SHARE", folder.c_str());
    std::string a = folder + "\\a", b = folder + "\\b", alone = folder + "\\alone\\morvalen.exe";
    CreateDirectoryA(a.c_str(), NULL);
    CreateDirectoryA(b.c_str(), NULL);
    CreateDirectoryA("alone", NULL);
    CopyFileA(ProgramPath().c_str(), alone.c_str(), FALSE);
    /* values: in the installer's key, the user's policy, the machine's */
    struct { const char *label; std::vector<std::string> values; DWORD type; const char *steps; std::string to;
             bool alone = false; } rows[] = {
        {"the installer's value", {a}, REG_SZ, "WI", a},
        {"the machine's policy wins", {a, a, b}, REG_SZ, "", b},
        {"the user's policy, empty, says none", {a, ""}, REG_SZ, "", ""},
        {"a variable expanded", {"%MORVALEN_SHARE%\\b\\"}, REG_EXPAND_SZ, "", b},
        {"a drive not there, as away from the office", {"Q:\\morvalen"}, REG_SZ, "", ""},
        /* a recorder copied alone, without the report; then a copy of
           itself beside it stands in for the report, and started would
           open the running copy's dialog */
        {"no report beside the recorder", {a}, REG_SZ, "", "", true},
        {"no folder set", {}, REG_SZ, "", "", true},
    };
    for (auto &row : rows) {
        cleared.Clear();
        for (size_t i = 0; i < row.values.size(); i++) {
            HKEY key;
            RegCreateKeyExA(keys[i].root, keys[i].key, 0, NULL, 0, KEY_SET_VALUE, NULL, &key, NULL);
            RegSetValueExA(key, MORVALEN_COLLECT_VALUE, 0, row.type, (const BYTE *)row.values[i].c_str(),
                           (DWORD)row.values[i].size() + 1);
            RegCloseKey(key);
        }
        for (const std::string &gone : {CopiesIn(a), CopiesIn(b), folder + "\\pc"})
            RemoveTree(gone);
        CreateDirectoryA("pc", NULL);
        if (row.values.empty())
            CopyFileA(ProgramPath().c_str(), (folder + "\\alone\\" MORVALEN_REPORT_EXE).c_str(), FALSE);
        HWND window = Start("pc\\" MORVALEN_DEFAULT_LOGNAME,
                            row.alone ? "\"" + alone + "\" pc\\" MORVALEN_DEFAULT_LOGNAME : "");
        std::vector<std::string> names = {DEFAULT_LOG};
        auto copied = [&](const std::string &share) { return HoldsCopies(CopiesIn(share), folder + "\\pc", names); };
        for (const char *step = row.steps;; step++) {
            if (!row.to.empty())
                EXPECT_TRUE(WaitFor([&] { return copied(row.to); }, 10000)) << row.label << " " << step << ": "
                                                                            << copied(row.to).message();
            else
                EXPECT_FALSE(WaitFor([&] { return FileExists(CopiesIn(a)) || FileExists(CopiesIn(b)); }, 3000))
                    << row.label;
            EXPECT_TRUE(NoBoxAppears(0)) << row.label;
            if (!*step)
                break;
            DWORD_PTR answer;
            if (*step == 'W') {
                SendMessageTimeoutA(window, WM_POWERBROADCAST, PBT_APMSUSPEND, 0, SMTO_NORMAL, 5000, &answer);
                SendMessageTimeoutA(window, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0, SMTO_NORMAL, 5000, &answer);
            } else {
                PostMessageA(window, WM_USER + 100, 1, 0);      /* the initialise command */
                PressButton(FindBox(first.pid, 5000).window, IDYES);
                char archive[32];
                snprintf(archive, sizeof archive, MORVALEN_DEFAULT_LOGNAME "_%02d-%02d-%02d.txt",
                         started.from.wYear % 100, started.from.wMonth, started.from.wDay);
                names = {DEFAULT_LOG, archive};
            }
        }
        Moment ended;
        EXPECT_EQ(Stop(window, ended), 0) << row.label;
        if (!*row.steps)
            EXPECT_TRUE(HasOneSession(Log("pc\\" DEFAULT_LOG), ended)) << row.label;
    }
}
