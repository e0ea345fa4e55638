/*
 * The copies to the collection folder that keep up with a recorder left
 * running: one every CopyEveryMinutes while a line is open, one after
 * each end the recorder writes, and the real report over the folder
 * counting the open line to the latest copy's time.
 */
#include "program.h"

#include <cstdio>

static void SetValue(const char *key, const char *name, DWORD type, const void *data, DWORD size)
{
    HKEY opened;
    RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, NULL, 0, KEY_SET_VALUE, NULL, &opened, NULL);
    RegSetValueExA(opened, name, 0, type, (const BYTE *)data, size);
    RegCloseKey(opened);
}

static void SetNumber(const char *key, const char *name, DWORD value)
{
    SetValue(key, name, REG_DWORD, &value, sizeof value);
}

/* The copy's time record, "yyyy-mm-dd hh:mm:ss", as seconds. */
static long long CopiedAt(const std::string &record)
{
    SYSTEMTIME t = {};
    FILETIME file;
    int y, mo, d, h, mi, s;
    if (sscanf(ReadBytes(record).c_str(), "%4d-%2d-%2d %2d:%2d:%2d", &y, &mo, &d, &h, &mi, &s) != 6)
        return -1;
    t = {(WORD)y, (WORD)mo, 0, (WORD)d, (WORD)h, (WORD)mi, (WORD)s, 0};
    SystemTimeToFileTime(&t, &file);
    return (long long)(((ULONGLONG)file.dwHighDateTime << 32 | file.dwLowDateTime) / 10000000);
}

/* Settings and policy both name CopyEveryMinutes: the policy's 1 wins
   over the installer's 0. The recorder copies at its start and again
   within two minutes with no event at all; the report over the folder
   counts the open line to that copy's time. Then a sleep, a lock (with
   EndAtLock) and the session's end each bring a copy that holds the
   completed line. */
TEST_F(RecorderCase, CopiesEveryMinuteWhileALineIsOpenAndAfterEachEnd)
{
    struct Cleared {
        ~Cleared() { RegDeleteKeyA(HKEY_CURRENT_USER, MORVALEN_SETTINGS_KEY), RegDeleteKeyA(HKEY_CURRENT_USER, MORVALEN_POLICY_KEY); }
    } cleared;
    std::string share = folder + "\\share", copies = CopiesIn(share), record = copies + "\\morvalenlog.copied";
    CreateDirectoryA(share.c_str(), NULL);
    SetValue(MORVALEN_SETTINGS_KEY, MORVALEN_COLLECT_VALUE, REG_SZ, share.c_str(), (DWORD)share.size() + 1);
    SetNumber(MORVALEN_SETTINGS_KEY, MORVALEN_COPYEVERY_VALUE, 0);
    SetNumber(MORVALEN_SETTINGS_KEY, MORVALEN_ENDATLOCK_VALUE, 1);
    SetNumber(MORVALEN_POLICY_KEY, MORVALEN_COPYEVERY_VALUE, 1);
    HWND window = Start();
    auto current = [&] { return HoldsCopies(copies, folder, {DEFAULT_LOG}); };
    ASSERT_TRUE(WaitFor(current, 10000)) << current().message();
    long long first = CopiedAt(record), later = first;
    EXPECT_TRUE(WaitFor([&] { return (later = CopiedAt(record)) > first; }, 130000)) << "no copy in two minutes";
    EXPECT_GE(later - first, 55) << "copied again before a minute had passed";

    /* The report's page marks the open line up to the later copy. */
    std::string out = folder + "\\out";
    CreateDirectoryA(out.c_str(), NULL);
    ASSERT_EQ(RunToEnd("\"" + BuildFolder() + "\\morvalen-report.exe\" /S \"/out:" + out + "\" \"" + share + "\"",
                       folder), 0);
    std::string sessions = ReadBytes(out + "\\morvalen-sessions.csv"), copied = ReadBytes(record);
    EXPECT_NE(sessions.find(Sjis(",コピー時点まで,")), std::string::npos) << Utf8(sessions);
    std::string mark = Sjis("コピー時点まで ") + copied.substr(0, 4) + "/" + copied.substr(5, 2) + "/" +
                       copied.substr(8, 2) + " " + copied.substr(11, 5);
    std::string month = ReadBytes(out + "\\morvalen-report\\" + copied.substr(0, 7) + ".html");
    EXPECT_NE(month.find(Utf8(mark)), std::string::npos) << Utf8(mark);

    /* S: a sleep, A: the waking, L: a lock, l: the unlock, E: the end. */
    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    struct { char step; UINT message; WPARAM code; } steps[] = {
        {'S', WM_POWERBROADCAST, PBT_APMSUSPEND}, {'A', WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC},
        {'L', WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK}, {'l', WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK},
        {'E', WM_QUERYENDSESSION, 0}};
    for (auto &step : steps) {
        DWORD_PTR answer;
        SendMessageTimeoutA(window, step.message, step.code, step.message == WM_WTSSESSION_CHANGE ? session : 0,
                            SMTO_NORMAL, 5000, &answer);
        if (step.step == 'E')
            SendMessageTimeoutA(window, WM_ENDSESSION, TRUE, 0, SMTO_NORMAL, 5000, &answer);
        std::string log = Log();
        /* a pause or the end completes the line with its end record */
        bool ended = log.size() - log.rfind("\r\n") > 40;
        EXPECT_EQ(ended, step.step != 'A' && step.step != 'l') << step.step << ": " << Escaped(log);
        EXPECT_TRUE(WaitFor(current, 10000)) << step.step << ": " << current().message();
    }
}
