/*
 * Driving the real program: launch, find, stop, and the expected records.
 */
#include "program.h"

#include <algorithm>
#include <cstdio>

#include <tlhelp32.h>

std::string ProgramPath()
{
    return BuildFolder() + "\\morvalen.exe";
}

Launched Launch(const std::string &tail, const std::string &folder, const std::string &commandLine,
                const char *desktop)
{
    std::string line = commandLine.empty() ? "\"" + ProgramPath() + "\" " + tail : commandLine;
    STARTUPINFOA startup = {sizeof startup};
    PROCESS_INFORMATION info = {};
    startup.lpDesktop = (char *)desktop;
    std::vector<char> writable(line.begin(), line.end());
    writable.push_back('\0');
    if (!CreateProcessA(NULL, writable.data(), NULL, NULL, FALSE, 0, NULL, folder.c_str(), &startup, &info))
        return Launched();
    return Launched{info.hProcess, info.hThread, info.dwProcessId};
}

int WaitForExit(const Launched &launched, DWORD timeoutMs)
{
    DWORD code = (DWORD)-1;
    if (!launched.process || WaitForSingleObject(launched.process, timeoutMs) != WAIT_OBJECT_0)
        return -1;
    GetExitCodeProcess(launched.process, &code);
    return (int)code;
}

void Release(Launched &launched)
{
    if (launched.process)
        CloseHandle(launched.process);
    if (launched.thread)
        CloseHandle(launched.thread);
    launched = Launched();
}

int RunToEnd(const std::string &commandLine, const std::string &folder, DWORD timeoutMs)
{
    Launched run = Launch("", folder, commandLine);
    int code = WaitForExit(run, timeoutMs);
    Release(run);
    return code;
}

HWND FindRecorder(DWORD timeoutMs)
{
    HWND window = NULL;
    WaitFor([&] { return (window = FindWindowA(MORVALEN_WINDOW_CLASS, MORVALEN_WINDOW_TITLE)) != NULL; },
            timeoutMs);
    return window;
}

DWORD ProcessOf(HWND window)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

void KillRecorders()
{
    HWND window;
    while ((window = FindRecorder(0)) != NULL) {
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, ProcessOf(window));
        if (!process)
            break;
        TerminateProcess(process, 1);
        WaitForSingleObject(process, 5000);
        CloseHandle(process);
    }
}

std::string CopiesIn(const std::string &share)
{
    char computer[MAX_COMPUTERNAME_LENGTH + 1], user[257];
    DWORD size = sizeof computer, userSize = sizeof user;
    GetComputerNameA(computer, &size);
    GetUserNameA(user, &userSize);
    return share + "\\" + computer + "\\" + user;
}

testing::AssertionResult HoldsCopies(const std::string &folder, const std::string &from,
                                     const std::vector<std::string> &names)
{
    /* A log's copy (not an archive's, whose name has a date after '_')
       has its time record beside it. */
    std::vector<std::string> expected = names;
    for (const std::string &name : names)
        if (name.find('_') == std::string::npos)
            expected.push_back(name.substr(0, name.rfind('.')) + ".copied");
    std::sort(expected.begin(), expected.end());
    std::string listing;
    for (const std::string &name : expected)
        listing += name + " ";
    if (Listing(folder) != listing)
        return testing::AssertionFailure() << folder << " holds " << Listing(folder) << ", not " << listing;
    for (const std::string &name : expected) {
        std::string bytes = ReadBytes(folder + "\\" + name);
        if (name.find(".copied") != std::string::npos) {
            int y, mo, d, h, mi, se, n = 0;
            if (sscanf(bytes.c_str(), "%4d-%2d-%2d %2d:%2d:%2d\r\n%n", &y, &mo, &d, &h, &mi, &se, &n) != 6 ||
                n != 21 || bytes.size() != 21)
                return testing::AssertionFailure() << name << " is " << Escaped(bytes) << ", not a copy's time";
        } else if (bytes != ReadBytes(from + "\\" + name)) {
            return testing::AssertionFailure() << name << " is " << Escaped(bytes) << ", not "
                                               << Escaped(ReadBytes(from + "\\" + name));
        }
    }
    return testing::AssertionSuccess();
}

const std::string kLogHeader = "// Morvalen for Windows " + Sjis("ログファイル") + " //\r\n\r\n" +
    Sjis("ユーザー名　　　 起動時刻　　　　　　　 終了時刻　　　　　　　 使用時間");
const std::string kCannotOpen = Sjis("を開くことができません。 作業は中断されました。");

static std::string Stamp(const SYSTEMTIME &t)
{
    char text[64];
    snprintf(text, sizeof text, "%02d/%02d/%02d(%s) %02d:%02d", t.wYear % 100, t.wMonth, t.wDay,
             Weekday(t.wDayOfWeek).c_str(), t.wHour, t.wMinute);
    return text;
}

std::string StartRecordAt(const SYSTEMTIME &start, const std::string &user)
{
    char name[512];
    DWORD size = sizeof name;
    std::string field = !user.empty() ? user : GetUserNameA(name, &size) ? name : "-- none --";
    field.resize(std::max<size_t>(field.size(), 17), ' ');
    return "\r\n" + field + Stamp(start);
}

ULONGLONG Minutes(const SYSTEMTIME &t)
{
    FILETIME f;
    SystemTimeToFileTime(&t, &f);
    return (((ULONGLONG)f.dwHighDateTime << 32) | f.dwLowDateTime) / 600000000ULL;
}

std::string EndRecordAt(const SYSTEMTIME &start, const SYSTEMTIME &end)
{
    ULONGLONG used = Minutes(end) > Minutes(start) ? Minutes(end) - Minutes(start) : 0;
    char usage[16];
    if (used >= 100 * 60)
        used = 99 * 60 + 59;
    snprintf(usage, sizeof usage, "%02u:%02u", (unsigned)(used / 60), (unsigned)(used % 60));
    return "     " + Stamp(end) + "     " + usage;
}

SYSTEMTIME Now()
{
    SYSTEMTIME t;
    GetLocalTime(&t);
    return t;
}

/* The minutes from one reading of the clock to another. */
static Stamps Span(const SYSTEMTIME &from, const SYSTEMTIME &to)
{
    Stamps minutes;
    for (ULONGLONG at = Minutes(from); at <= Minutes(to); at++) {
        ULONGLONG ticks = at * 600000000ULL;
        FILETIME m = {(DWORD)ticks, (DWORD)(ticks >> 32)};
        SYSTEMTIME t;
        FileTimeToSystemTime(&m, &t);
        minutes.push_back(t);
    }
    return minutes;
}

std::string CompletedLine(const std::string &user, const SYSTEMTIME &start, const SYSTEMTIME &end)
{
    return StartRecordAt(start, user) + EndRecordAt(start, end);
}

testing::AssertionResult Matches(const std::string &bytes, const Moment &span, size_t count,
                                 const std::function<std::string(const Stamps &)> &shape)
{
    Stamps minutes = Span(span.from, span.to), stamps;
    std::string closest;
    size_t agreed = 0;
    std::function<bool(size_t)> choose = [&](size_t from) {
        if (stamps.size() == count) {
            std::string expected = shape(stamps);
            size_t same = std::mismatch(expected.begin(), expected.end(), bytes.begin(), bytes.end()).first -
                          expected.begin();
            if (closest.empty() || same > agreed)
                closest = expected, agreed = same;
            return bytes == expected;
        }
        for (size_t i = from; i < minutes.size(); i++) {
            stamps.push_back(minutes[i]);
            bool matched = choose(i);
            stamps.pop_back();
            if (matched)
                return true;
        }
        return false;
    };
    if (choose(0))
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "expected " << Escaped(closest) << "\n   found " << Escaped(bytes)
                                       << "\n   first difference at byte " << agreed;
}

void RecorderCase::SetUp()
{
    KillRecorders();
    folder = EnterFreshFolder(testing::UnitTest::GetInstance()->current_test_info()->name());
}

/* The copies to a collection folder that the case's recorders started run
   on in processes of their own; none may run into the next case, which
   shares the prefix (and its user's copy lock). */
static void WaitForCopies()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {sizeof entry};
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (lstrcmpiA(entry.szExeFile, MORVALEN_REPORT_EXE) != 0)
            continue;
        HANDLE copy = OpenProcess(SYNCHRONIZE, FALSE, entry.th32ProcessID);
        if (copy) {
            WaitForSingleObject(copy, 10000);
            CloseHandle(copy);
        }
    }
    CloseHandle(snapshot);
}

void RecorderCase::TearDown()
{
    KillRecorders();
    WaitForCopies();
    Release(first);
}

bool RecorderCase::WaitUntilWaiting()
{
    return WaitFor([&] { return GetPriorityClass(first.process) == IDLE_PRIORITY_CLASS; }, 5000);
}

HWND RecorderCase::Start(const std::string &tail, const std::string &commandLine)
{
    Release(first);
    started.from = Now();
    first = Launch(tail, folder, commandLine);
    HWND window = FindRecorder(5000);
    WaitUntilWaiting();
    started.to = Now();
    return window;
}

int RecorderCase::Stop(HWND window, Moment &ended)
{
    ended.from = Now();
    PostMessageA(window, WM_DESTROY, 0, 0);
    int code = WaitForExit(first, 10000);
    ended.to = Now();
    return code;
}

std::string RecorderCase::Log(const std::string &name)
{
    return ReadBytes(folder + "\\" + name);
}

testing::AssertionResult RecorderCase::HasOneSession(const std::string &bytes, const Moment &ended)
{
    return Matches(bytes, {started.from, ended.to}, 2, [](const Stamps &t) {
        return kLogHeader + StartRecordAt(t[0]) + EndRecordAt(t[0], t[1]);
    });
}
