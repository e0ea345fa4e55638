/*
 * The footprint benchmark's driver: launches our recorder and the floor
 * program in fresh temp folders, measures start time, memory, handles,
 * GUI objects and idle CPU, runs the command-dialog leak check, and
 * prints one table. Exit 0 when everything could be measured (targets
 * met or not), 2 when something could not.
 *
 * driver LABEL OURS.exe FLOOR.exe [runs] [idle-seconds] [starts]
 *
 * LABEL names the builds in the table (the 32-bit product, or the 64-bit
 * build); the floor is built for the same target as ours.
 *
 * Start time varies by tens of percent from one launch to the next under
 * Wine, so besides the full runs each program is launched [starts] more
 * times for its start time alone.
 */
#include <windows.h>
#include <psapi.h>

#include "identity.h"
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

static const char kOursClass[] = MORVALEN_WINDOW_CLASS;
static const char kOursTitle[] = MORVALEN_WINDOW_TITLE;
static const char kFloorClass[] = "MorvalenFloorClass";
static const char kFloorTitle[] = "Morvalen Floor";
static const char kLogName[] = MORVALEN_DEFAULT_LOGNAME ".txt";
static const DWORD kTimeoutMs = 10000;
static const int kDialogCycles = 50;
static const long kFlatBound = 2;       /* what "flat" tolerates, per count */

struct Program {
    const char *name;
    std::string path;
    const char *windowClass;
    const char *windowTitle;
    bool logs;                          /* ready = start record on disk */
};

struct Running {
    PROCESS_INFORMATION info;
    HWND window;
    std::string folder;
};

struct Counts {
    double workingSetKb, privateKb;
    long handles, gdi, user, windows;
};

struct Sample {
    double startMs, windowMs;
    Counts counts;
    double idleCpuMs;
};

static std::vector<HANDLE> Alive;       /* ended on failure */
static std::vector<std::string> Folders; /* removed on failure */
static ULONGLONG OursStartBytes;        /* a fresh log holding one start record */

static void RemoveFolder(std::string folder);

[[noreturn]] static void Fail(const std::string &what)
{
    fprintf(stderr, "bench: could not measure: %s\n", what.c_str());
    fflush(stderr);
    for (HANDLE process : Alive) {
        TerminateProcess(process, 1);
        WaitForSingleObject(process, 5000);
    }
    while (!Folders.empty())
        RemoveFolder(Folders.back());
    exit(2);
}

static double Now()
{
    static LARGE_INTEGER frequency;
    LARGE_INTEGER count;
    if (!frequency.QuadPart)
        QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&count);
    return count.QuadPart * 1000.0 / frequency.QuadPart;
}

static std::string NewFolder()
{
    static int serial;
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    char name[MAX_PATH + 64];
    /* Wine reuses process ids, so a name may be left from an earlier run. */
    do
        wsprintfA(name, "%smorvalen-bench-%lu-%d", temp, GetCurrentProcessId(), ++serial);
    while (!CreateDirectoryA(name, NULL) && GetLastError() == ERROR_ALREADY_EXISTS);
    if (GetFileAttributesA(name) == INVALID_FILE_ATTRIBUTES)
        Fail(std::string("cannot create ") + name);
    Folders.push_back(name);
    return name;
}

static void RemoveFolder(std::string folder)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !DeleteFileA((folder + "\\" + found.cFileName).c_str()))
                fprintf(stderr, "bench: cannot delete %s\\%s (error %lu)\n", folder.c_str(),
                        found.cFileName, GetLastError());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    if (!RemoveDirectoryA(folder.c_str()))
        fprintf(stderr, "bench: cannot remove %s (error %lu)\n", folder.c_str(), GetLastError());
    Folders.erase(std::remove(Folders.begin(), Folders.end(), folder), Folders.end());
}

static ULONGLONG FileBytes(const std::string &path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return ((ULONGLONG)data.nFileSizeHigh << 32) | data.nFileSizeLow;
}

static PROCESS_INFORMATION Start(const std::string &path, const std::string &folder)
{
    std::string line = "\"" + path + "\"";
    std::vector<char> writable(line.begin(), line.end());
    writable.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(NULL, writable.data(), NULL, NULL, FALSE, 0, NULL, folder.c_str(),
                        &startup, &info)) {
        DWORD error = GetLastError();
        Fail("cannot start " + path + " (error " + std::to_string(error) + ")");
    }
    Alive.push_back(info.hProcess);
    return info;
}

static bool Ended(HANDLE process)
{
    return WaitForSingleObject(process, 0) != WAIT_TIMEOUT;
}

static HWND WindowOf(const Program &program, DWORD pid)
{
    HWND window = FindWindowA(program.windowClass, program.windowTitle);
    DWORD owner = 0;
    if (window)
        GetWindowThreadProcessId(window, &owner);
    return owner == pid ? window : NULL;
}

/* Returns once the program's thread has come to its message loop: a sent
   WM_NULL is only answered from there. */
static void Settle(const Program &program, HWND window)
{
    DWORD_PTR result;
    if (!SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kTimeoutMs, &result))
        Fail(std::string(program.name) + " does not answer messages");
}

/* Launches the program and polls until it is ready; the times taken are
   from just before CreateProcess. Our window is watched for as well, so
   that both programs are polled alike and the cost of the start record
   shows apart from the window's. */
static Running Launch(const Program &program, double *startMs, double *windowMs, double *waitingMs = NULL)
{
    Running running = {};
    running.folder = NewFolder();
    std::string log = running.folder + "\\" + kLogName;
    double began = Now();
    double windowAt = 0;
    running.info = Start(program.path, running.folder);
    for (;;) {
        if (!windowAt && WindowOf(program, running.info.dwProcessId))
            windowAt = Now() - began;
        if (program.logs ? FileBytes(log) >= std::max<ULONGLONG>(OursStartBytes, 1) : windowAt > 0)
            break;
        if (Ended(running.info.hProcess))
            Fail(std::string(program.name) + " ended while starting");
        if (Now() - began > kTimeoutMs)
            Fail(std::string(program.name) + " did not start in time");
        Sleep(1);
    }
    if (startMs)
        *startMs = Now() - began;
    while (!(running.window = WindowOf(program, running.info.dwProcessId))) {
        if (Ended(running.info.hProcess) || Now() - began > kTimeoutMs)
            Fail(std::string(program.name) + " has no window");
        Sleep(1);
    }
    if (windowMs)
        *windowMs = windowAt ? windowAt : Now() - began;
    Settle(program, running.window);
    if (waitingMs)
        *waitingMs = Now() - began;
    return running;
}

static void Stop(const Program &program, Running &running)
{
    PostMessageA(running.window, WM_DESTROY, 0, 0);
    if (WaitForSingleObject(running.info.hProcess, kTimeoutMs) != WAIT_OBJECT_0) {
        fprintf(stderr, "bench: %s did not quit on WM_DESTROY; terminated\n", program.name);
        TerminateProcess(running.info.hProcess, 1);
        WaitForSingleObject(running.info.hProcess, kTimeoutMs);
    }
    Alive.erase(std::remove(Alive.begin(), Alive.end(), running.info.hProcess), Alive.end());
    CloseHandle(running.info.hProcess);
    CloseHandle(running.info.hThread);
    RemoveFolder(running.folder);
}

/* Other sessions' lines written after ours: after bytes of them. */
static void AppendOthers(const std::string &folder, ULONGLONG after)
{
    std::string line = "\r\n" + std::string(66, 'x');
    std::string lines;
    while (lines.size() < (1 << 20))
        lines += line;
    HANDLE log = CreateFileA((folder + "\\" + kLogName).c_str(), FILE_APPEND_DATA, 0, NULL, OPEN_EXISTING, 0, NULL);
    for (ULONGLONG written = 0; written < after; written += lines.size()) {
        DWORD done;
        WriteFile(log, lines.data(), (DWORD)lines.size(), &done, NULL);
    }
    CloseHandle(log);
}

/* From WM_DESTROY until ours has ended with its end record written: with
   its line last in the log, or with after bytes of other sessions' lines
   following it, which the end record then moves on. */
static double EndMs(const Program &ours, ULONGLONG after)
{
    Running running = Launch(ours, NULL, NULL);
    AppendOthers(running.folder, after);
    double began = Now();
    PostMessageA(running.window, WM_DESTROY, 0, 0);
    if (WaitForSingleObject(running.info.hProcess, kTimeoutMs) != WAIT_OBJECT_0)
        Fail("ours did not end after its end record");
    double took = Now() - began;
    Stop(ours, running);
    return took;
}

/* From the sleep notification until the recorder has answered it, which
   it does with the end record written and flushed: Windows allows 2 s.
   Each sleep is followed by a wake, which starts a new line; with after,
   that many bytes of other sessions' lines then follow it. */
static void SleepMs(const Program &ours, ULONGLONG after, int sleeps, std::vector<double> &took)
{
    Running running = Launch(ours, NULL, NULL);
    for (int i = 0; i < sleeps; i++) {
        AppendOthers(running.folder, after);
        DWORD_PTR answer = 0;
        double began = Now();
        if (!SendMessageTimeoutA(running.window, WM_POWERBROADCAST, PBT_APMSUSPEND, 0, SMTO_NORMAL, kTimeoutMs,
                                 &answer))
            Fail("ours did not answer the sleep notification");
        took.push_back(Now() - began);
        SendMessageTimeoutA(running.window, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0, SMTO_NORMAL, kTimeoutMs,
                            &answer);
    }
    Stop(ours, running);
}

/* The collection folder and what the copies put there (the log's copy and
   its time record), once the last copy, which holds the user's lock, is
   over. */
static void RemoveCopies(const std::string &share, const std::string &copies)
{
    size_t user = copies.rfind('\\');
    HANDLE lock = OpenMutexA(SYNCHRONIZE, FALSE, ("Global\\MorvalenCopy-" + copies.substr(user + 1)).c_str());
    if (lock && WaitForSingleObject(lock, kTimeoutMs) != WAIT_TIMEOUT)
        ReleaseMutex(lock);
    if (lock)
        CloseHandle(lock);
    RemoveFolder(copies);
    RemoveDirectoryA(copies.substr(0, user).c_str());
    RemoveFolder(share);
}

/* Where the copy puts this PC's and user's logs in a collection folder. */
static std::string CopiesIn(const std::string &share)
{
    char computer[MAX_COMPUTERNAME_LENGTH + 1], user[257];
    DWORD size = sizeof computer, userSize = sizeof user;
    GetComputerNameA(computer, &size);
    GetUserNameA(user, &userSize);
    return share + "\\" + computer + "\\" + user;
}

/* The recorder with a collection folder set beside the same without, in
   turns: from the launch until its message loop answers, which with the
   folder set includes starting the copy. Each copy is waited for before
   the recorder stops, so no copy runs into the next launch. */
static void CollectStarts(const Program &ours, int launches, std::vector<double> &without, std::vector<double> &with)
{
    std::string share = NewFolder(), copies = CopiesIn(share), copy = copies + "\\" + kLogName;
    for (int launch = 0; launch < 2 * launches; launch++) {
        bool set = launch % 4 == 1 || launch % 4 == 2;
        if (set)
            RegSetKeyValueA(HKEY_CURRENT_USER, MORVALEN_SETTINGS_KEY, MORVALEN_COLLECT_VALUE, REG_SZ, share.c_str(),
                            (DWORD)share.size() + 1);
        else
            RegDeleteKeyA(HKEY_CURRENT_USER, MORVALEN_SETTINGS_KEY);
        DeleteFileA(copy.c_str());
        double waitingMs;
        Running running = Launch(ours, NULL, NULL, &waitingMs);
        (set ? with : without).push_back(waitingMs);
        for (double began = Now(); set && FileBytes(copy) < OursStartBytes; Sleep(1))
            if (Now() - began > kTimeoutMs)
                Fail("the copy did not reach the collection folder");
        Stop(ours, running);
    }
    RegDeleteKeyA(HKEY_CURRENT_USER, MORVALEN_SETTINGS_KEY);
    RemoveCopies(share, copies);
}

/* Wine leaves some counters of other processes empty or answers with the
   caller's own; each is then taken from where Wine does keep it, and the
   table says so. */
static bool UnderWine;
static bool HandlesFromList, PrivateFromPagefile, CpuFromThreads;

struct HandleEntry {
    ULONG ownerPid;
    BYTE objectType;
    BYTE flags;
    USHORT value;
    PVOID object;
    ULONG access;
};

struct HandleList {
    ULONG count;
    HandleEntry handles[1];
};

/* The system handle list (SystemHandleInformation), entries of one process. */
static long ListedHandles(DWORD pid)
{
    typedef LONG(NTAPI * QueryFunction)(ULONG, PVOID, ULONG, PULONG);
    QueryFunction query = (QueryFunction)(void *)GetProcAddress(GetModuleHandleA("ntdll.dll"),
                                                                "NtQuerySystemInformation");
    std::vector<char> buffer(1 << 16);
    for (;;) {
        ULONG needed = 0;
        LONG status = query ? query(16, buffer.data(), (ULONG)buffer.size(), &needed) : -1;
        if (status == (LONG)0xC0000004 && buffer.size() < (64u << 20)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (status != 0)
            Fail("neither GetProcessHandleCount nor the system handle list gives a count");
        break;
    }
    const HandleList *list = (const HandleList *)buffer.data();
    long count = 0;
    for (ULONG i = 0; i < list->count; i++)
        if (list->handles[i].ownerPid == pid)
            count++;
    return count;
}

static BOOL CALLBACK CountWindow(HWND window, LPARAM param)
{
    ++*(long *)param;
    EnumChildWindows(window, CountWindow, param);
    return TRUE;
}

/* The windows the process's main thread owns, children included: what
   stands in for USER objects where GetGuiResources gives nothing. */
static long WindowCount(DWORD threadId)
{
    long count = 0;
    EnumThreadWindows(threadId, CountWindow, (LPARAM)&count);
    return count;
}

static Counts CountsOf(const PROCESS_INFORMATION &info)
{
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof memory;
    if (!GetProcessMemoryInfo(info.hProcess, (PROCESS_MEMORY_COUNTERS *)&memory, sizeof memory))
        Fail("GetProcessMemoryInfo failed");
    DWORD handles = 0;
    if (!GetProcessHandleCount(info.hProcess, &handles))
        Fail("GetProcessHandleCount failed");
    Counts counts;
    counts.workingSetKb = memory.WorkingSetSize / 1024.0;
    counts.privateKb = memory.PrivateUsage / 1024.0;
    if (memory.PrivateUsage == 0) {
        /* Windows gives the same commit charge in both fields. */
        counts.privateKb = memory.PagefileUsage / 1024.0;
        PrivateFromPagefile = true;
    }
    counts.handles = (long)handles;
    if (handles == 0) {
        counts.handles = ListedHandles(info.dwProcessId);
        HandlesFromList = true;
    }
    counts.gdi = (long)GetGuiResources(info.hProcess, GR_GDIOBJECTS);
    counts.user = (long)GetGuiResources(info.hProcess, GR_USEROBJECTS);
    counts.windows = WindowCount(info.dwThreadId);
    return counts;
}

static double Ms(const FILETIME &time)
{
    return (((ULONGLONG)time.dwHighDateTime << 32) | time.dwLowDateTime) / 10000.0;
}

/* Kernel plus user time. Wine answers GetProcessTimes for another process
   with the caller's own times, but keeps true times per thread. */
static double CpuMs(const PROCESS_INFORMATION &info)
{
    FILETIME created, exited, kernel, user;
    if (!UnderWine) {
        if (!GetProcessTimes(info.hProcess, &created, &exited, &kernel, &user))
            Fail("GetProcessTimes failed");
        return Ms(kernel) + Ms(user);
    }
    CpuFromThreads = true;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        Fail("cannot list threads");
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    double total = 0;
    int threads = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != info.dwProcessId)
            continue;
        HANDLE thread = OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ThreadID);
        if (thread && GetThreadTimes(thread, &created, &exited, &kernel, &user)) {
            total += Ms(kernel) + Ms(user);
            threads++;
        }
        if (thread)
            CloseHandle(thread);
    }
    CloseHandle(snapshot);
    if (!threads)
        Fail("no thread times for a running program");
    return total;
}

static Sample MeasureOnce(const Program &program, int idleSeconds)
{
    Sample sample;
    Running running = Launch(program, &sample.startMs, &sample.windowMs);
    sample.counts = CountsOf(running.info);
    double before = CpuMs(running.info);
    Sleep(idleSeconds * 1000);      /* the idle window itself */
    if (Ended(running.info.hProcess))
        Fail(std::string(program.name) + " ended while idle");
    sample.idleCpuMs = CpuMs(running.info) - before;
    Stop(program, running);
    return sample;
}

/* Idle with a collection folder and CopyEveryMinutes 1 beside without, in
   turns: the working set and the CPU over an idle window once the copy at
   the start has reached the folder (between copies), and with the folder,
   once, the CPU over a window that holds one periodic copy. */
struct CopyingIdle {
    std::vector<double> workingSetKb[2], idleCpuMs[2];
    double minuteCpuMs;
    int minuteCopies;
};

static CopyingIdle MeasureCopyingIdle(const Program &ours, int runs, int idleSeconds)
{
    CopyingIdle result = {};
    std::string share = NewFolder(), copies = CopiesIn(share), copy = copies + "\\" + kLogName;
    std::string record = copies + "\\" + std::string(kLogName, strlen(kLogName) - 4) + ".copied";
    auto copiedAt = [&] {
        WIN32_FILE_ATTRIBUTE_DATA data;
        return GetFileAttributesExA(record.c_str(), GetFileExInfoStandard, &data)
                   ? ((ULONGLONG)data.ftLastWriteTime.dwHighDateTime << 32) | data.ftLastWriteTime.dwLowDateTime
                   : 0;
    };
    for (int run = 0; run < 2 * runs + 1; run++) {
        bool set = run % 2 == 1 || run == 2 * runs;
        bool minute = run == 2 * runs;
        RegDeleteKeyA(HKEY_CURRENT_USER, MORVALEN_SETTINGS_KEY);
        if (set) {
            DWORD every = 1;
            RegSetKeyValueA(HKEY_CURRENT_USER, MORVALEN_SETTINGS_KEY, MORVALEN_COLLECT_VALUE, REG_SZ, share.c_str(),
                            (DWORD)share.size() + 1);
            RegSetKeyValueA(HKEY_CURRENT_USER, MORVALEN_SETTINGS_KEY, MORVALEN_COPYEVERY_VALUE, REG_DWORD, &every,
                            sizeof every);
        }
        DeleteFileA(copy.c_str());
        DeleteFileA(record.c_str());
        Running running = Launch(ours, NULL, NULL);
        for (double began = Now(); set && !copiedAt(); Sleep(10))
            if (Now() - began > kTimeoutMs)
                Fail("the copy did not reach the collection folder");
        ULONGLONG first = copiedAt();
        Counts counts = CountsOf(running.info);
        double before = CpuMs(running.info);
        Sleep((minute ? 65 : idleSeconds) * 1000);
        if (Ended(running.info.hProcess))
            Fail("ours ended while idle");
        double cpu = CpuMs(running.info) - before;
        if (minute) {
            result.minuteCpuMs = cpu;
            result.minuteCopies = copiedAt() != first;
        } else {
            result.workingSetKb[set].push_back(counts.workingSetKb);
            result.idleCpuMs[set].push_back(cpu);
        }
        Stop(ours, running);
    }
    RegDeleteKeyA(HKEY_CURRENT_USER, MORVALEN_SETTINGS_KEY);
    RemoveCopies(share, copies);
    return result;
}

/* One uncounted launch: warms the caches and learns how long a fresh log
   is once it holds its start record. */
static void WarmUp(const Program &program)
{
    Running running = Launch(program, NULL, NULL);
    if (program.logs) {
        OursStartBytes = FileBytes(running.folder + "\\" + kLogName);
        if (!OursStartBytes)
            Fail("our program wrote no start record");
    }
    Stop(program, running);
}

struct DialogSearch {
    HWND owner;
    HWND found;
};

static BOOL CALLBACK FindDialog(HWND window, LPARAM param)
{
    DialogSearch *search = (DialogSearch *)param;
    char name[16];
    if (GetClassNameA(window, name, sizeof name) && lstrcmpA(name, "#32770") == 0 &&
        GetWindow(window, GW_OWNER) == search->owner && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

static HWND CommandDialog(const Running &running)
{
    DialogSearch search = {running.window, NULL};
    EnumThreadWindows(running.info.dwThreadId, FindDialog, (LPARAM)&search);
    return search.found;
}

/* A second launch asks the recorder for its dialog (it posts WM_USER+101
   to the hidden window), as a person's would; the dialog is closed with
   its Cancel button's command. */
static void DialogCycle(const Program &ours, const Running &recorder)
{
    PROCESS_INFORMATION asker = Start(ours.path, recorder.folder);
    double began = Now();
    HWND dialog;
    while (!(dialog = CommandDialog(recorder))) {
        if (Ended(recorder.info.hProcess) || Now() - began > kTimeoutMs)
            Fail("the command dialog did not open");
        Sleep(1);
    }
    if (WaitForSingleObject(asker.hProcess, kTimeoutMs) != WAIT_OBJECT_0)
        Fail("the second launch did not end");
    Alive.erase(std::remove(Alive.begin(), Alive.end(), asker.hProcess), Alive.end());
    CloseHandle(asker.hProcess);
    CloseHandle(asker.hThread);

    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                 (LPARAM)GetDlgItem(dialog, IDCANCEL));
    while (IsWindow(dialog)) {
        if (Ended(recorder.info.hProcess) || Now() - began > kTimeoutMs)
            Fail("the command dialog did not close");
        Sleep(1);
    }
    Settle(ours, recorder.window);
}

static double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

template <typename Field>
static double MedianOf(const std::vector<Sample> &samples, Field field)
{
    std::vector<double> values;
    for (const Sample &sample : samples)
        values.push_back(field(sample));
    return Median(values);
}

static void Row(const char *label, double ours, double bottom, const char *format)
{
    char a[32], b[32], ratio[16];
    snprintf(a, sizeof a, format, ours);
    snprintf(b, sizeof b, format, bottom);
    if (bottom > 0)
        snprintf(ratio, sizeof ratio, "%.2f", ours / bottom);
    else
        lstrcpyA(ratio, ours > 0 ? "inf" : "-");
    printf("  %-30s %12s %12s %8s\n", label, a, b, ratio);
}

static const char *Verdict(bool pass)
{
    return pass ? "pass" : "FAIL";
}

static std::string WineVersion()
{
    typedef const char *(CDECL * VersionFunction)(void);
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    VersionFunction version =
        ntdll ? (VersionFunction)(void *)GetProcAddress(ntdll, "wine_get_version") : NULL;
    return version ? std::string("Wine ") + version() : "Windows";
}

int main(int argc, char **argv)
{
    if (argc < 4) {
        fprintf(stderr, "usage: driver LABEL OURS.exe FLOOR.exe [runs] [idle-seconds] [starts]\n");
        return 2;
    }
    const char *label = argv[1];
    Program ours = {"morvalen", argv[2], kOursClass, kOursTitle, true};
    Program floorProg = {"floor", argv[3], kFloorClass, kFloorTitle, false};
    ULONGLONG oursBytes = FileBytes(argv[2]);
    ULONGLONG floorBytes = FileBytes(argv[3]);
    int runs = argc > 4 ? atoi(argv[4]) : 5;
    int idleSeconds = argc > 5 ? atoi(argv[5]) : 10;
    int starts = argc > 6 ? atoi(argv[6]) : 20;
    if (!oursBytes || !floorBytes)
        Fail("an executable is missing");
    UnderWine = WineVersion() != "Windows";
    if (runs < 1 || idleSeconds < 1 || starts < 0)
        Fail("runs and idle seconds must be positive, starts not negative");
    if (FindWindowA(kOursClass, kOursTitle) || FindWindowA(kFloorClass, kFloorTitle))
        Fail("a recorder or floor is already running");
    /* A run that failed may have left the collection folder set. */
    RegDeleteKeyA(HKEY_CURRENT_USER, MORVALEN_SETTINGS_KEY);

    WarmUp(ours);
    WarmUp(floorProg);
    std::vector<Sample> oursSamples, floorSamples;
    for (int run = 0; run < runs; run++) {
        /* Alternating which goes first spreads any drift over both. */
        if (run % 2 == 0) {
            oursSamples.push_back(MeasureOnce(ours, idleSeconds));
            floorSamples.push_back(MeasureOnce(floorProg, idleSeconds));
        } else {
            floorSamples.push_back(MeasureOnce(floorProg, idleSeconds));
            oursSamples.push_back(MeasureOnce(ours, idleSeconds));
        }
        fprintf(stderr, "bench: run %d/%d: start %.1f (ours) / %.1f (floor) ms\n", run + 1, runs,
                oursSamples.back().startMs, floorSamples.back().startMs);
    }
    std::vector<double> oursStarts, floorStarts, oursWindows, floorWindows;
    for (const Sample &sample : oursSamples) {
        oursStarts.push_back(sample.startMs);
        oursWindows.push_back(sample.windowMs);
    }
    for (const Sample &sample : floorSamples) {
        floorStarts.push_back(sample.startMs);
        floorWindows.push_back(sample.windowMs);
    }
    for (int launch = 0; launch < 2 * starts; launch++) {
        /* ABBA order, so neither is always the one launched first. */
        bool isOurs = launch % 4 == 0 || launch % 4 == 3;
        const Program &program = isOurs ? ours : floorProg;
        double startMs, windowMs;
        Running running = Launch(program, &startMs, &windowMs);
        Stop(program, running);
        (isOurs ? oursStarts : floorStarts).push_back(startMs);
        (isOurs ? oursWindows : floorWindows).push_back(windowMs);
    }
    double oursStart = Median(oursStarts), floorStart = Median(floorStarts);
    fprintf(stderr, "bench: start over %d launches each: %.1f / %.1f ms\n", runs + starts, oursStart,
            floorStart);

    std::vector<double> collectWithout, collectWith;
    CollectStarts(ours, starts, collectWithout, collectWith);

    CopyingIdle copying = MeasureCopyingIdle(ours, runs, idleSeconds);

    std::vector<double> endLast, endFar;
    for (int i = 0; i < 5; i++) {
        endLast.push_back(EndMs(ours, 0));
        endFar.push_back(EndMs(ours, 10 << 20));
    }

    std::vector<double> sleepLast, sleepFar;
    SleepMs(ours, 0, 20, sleepLast);
    SleepMs(ours, 10 << 20, 5, sleepFar);

    /* The leak check: counts after start, after the first dialog (which
       loads what is kept for later openings) and after the last. */
    Running recorder = Launch(ours, NULL, NULL);
    Counts leak[3] = {};
    leak[0] = CountsOf(recorder.info);
    for (int cycle = 1; cycle <= kDialogCycles; cycle++) {
        DialogCycle(ours, recorder);
        if (cycle == 1)
            leak[1] = CountsOf(recorder.info);
    }
    leak[2] = CountsOf(recorder.info);
    Stop(ours, recorder);

    auto workingSet = [](const Sample &s) { return s.counts.workingSetKb; };
    auto privateKb = [](const Sample &s) { return s.counts.privateKb; };
    auto handles = [](const Sample &s) { return (double)s.counts.handles; };
    auto gdi = [](const Sample &s) { return (double)s.counts.gdi; };
    auto user = [](const Sample &s) { return (double)s.counts.user; };
    auto windows = [](const Sample &s) { return (double)s.counts.windows; };
    auto idle = [](const Sample &s) { return s.idleCpuMs; };

    printf("\nMorvalen footprint: %s builds under %s, %d runs each, medians\n", label,
           WineVersion().c_str(), runs);
    printf("  %-30s %12s %12s %8s\n", "", "morvalen", "floor", "ratio");
    char startLabel[40];
    snprintf(startLabel, sizeof startLabel, "start, %d launches (ms)", runs + starts);
    Row(startLabel, oursStart, floorStart, "%.1f");
    Row("  of which to the window (ms)", Median(oursWindows), Median(floorWindows), "%.1f");
    Row("working set (KB)", MedianOf(oursSamples, workingSet), MedianOf(floorSamples, workingSet), "%.0f");
    Row("private bytes (KB)", MedianOf(oursSamples, privateKb), MedianOf(floorSamples, privateKb), "%.0f");
    Row("handles", MedianOf(oursSamples, handles), MedianOf(floorSamples, handles), "%.0f");
    Row("GDI objects", MedianOf(oursSamples, gdi), MedianOf(floorSamples, gdi), "%.0f");
    Row("USER objects", MedianOf(oursSamples, user), MedianOf(floorSamples, user), "%.0f");
    Row("windows", MedianOf(oursSamples, windows), MedianOf(floorSamples, windows), "%.0f");
    char idleLabel[40];
    snprintf(idleLabel, sizeof idleLabel, "CPU over %d idle s (ms)", idleSeconds);
    Row(idleLabel, MedianOf(oursSamples, idle), MedianOf(floorSamples, idle), "%.1f");
    Row("exe (bytes)", (double)oursBytes, (double)floorBytes, "%.0f");

    printf("  %-30s %12.1f\n", "to waiting, no collection (ms)", Median(collectWithout));
    printf("  %-30s %12.1f  (%.2fx)\n", "  with a collection folder", Median(collectWith),
           Median(collectWith) / Median(collectWithout));
    printf("  %-30s %12s %12s\n", "CopyEveryMinutes 1, idle", "no folder", "folder set");
    printf("  %-30s %12.0f %12.0f\n", "  working set (KB)", Median(copying.workingSetKb[0]),
           Median(copying.workingSetKb[1]));
    snprintf(idleLabel, sizeof idleLabel, "  CPU over %d idle s (ms)", idleSeconds);
    printf("  %-30s %12.1f %12.1f\n", idleLabel, Median(copying.idleCpuMs[0]), Median(copying.idleCpuMs[1]));
    printf("  %-30s %12s %12.1f  (%s)\n", "  CPU over 65 s (ms)", "", copying.minuteCpuMs,
           copying.minuteCopies ? "one periodic copy in it" : "NO periodic copy in it");
    printf("  %-30s %12.1f\n", "end record, line last (ms)", Median(endLast));
    printf("  %-30s %12.1f\n", "  its line 10 MB from the end", Median(endFar));
    printf("  %-30s %12.1f  (worst of %zu: %.1f)\n", "sleep's end, line last (ms)", Median(sleepLast),
           sleepLast.size(), *std::max_element(sleepLast.begin(), sleepLast.end()));
    printf("  %-30s %12.1f  (worst of %zu: %.1f)\n", "  its line 10 MB from the end", Median(sleepFar),
           sleepFar.size(), *std::max_element(sleepFar.begin(), sleepFar.end()));
    printf("  note: start is until our start record is on disk, and until the floor's window\n"
           "        exists; the row below it is until each one's window exists\n");
    printf("  note: \"to waiting\" is ours until its message loop answers, without and with a\n"
           "        collection folder set (which starts the copy), %zu launches each\n", collectWith.size());
    bool guiEmpty = true;
    for (const Sample &sample : oursSamples)
        guiEmpty = guiEmpty && sample.counts.gdi == 0 && sample.counts.user == 0;
    for (const Sample &sample : floorSamples)
        guiEmpty = guiEmpty && sample.counts.gdi == 0 && sample.counts.user == 0;
    if (guiEmpty)
        printf("  note: GetGuiResources gave 0 for every GDI and USER count; \"windows\" counts\n"
               "        the main thread's windows instead\n");
    if (PrivateFromPagefile)
        printf("  note: PrivateUsage came back 0; private bytes are PagefileUsage\n");
    if (HandlesFromList)
        printf("  note: GetProcessHandleCount gave 0; handles are counted in the system handle list\n");
    if (CpuFromThreads)
        printf("  note: CPU is the sum of the program's thread times (GetProcessTimes on another\n"
               "        process returns the caller's own times under Wine); steps of 10 ms\n");

    double idleMax = 0;
    for (const Sample &sample : oursSamples)
        idleMax = std::max(idleMax, sample.idleCpuMs);
    double startRatio = oursStart / floorStart;
    double memoryRatio = MedianOf(oursSamples, workingSet) / MedianOf(floorSamples, workingSet);
    printf("\nTargets\n");
    printf("  %-30s %s  (most in one run: %.1f ms)\n", "idle CPU time 0", Verdict(idleMax == 0), idleMax);
    printf("  %-30s %s  (%.2fx, %+.0f KB)\n", "working set <= 1.2x floor", Verdict(memoryRatio <= 1.2),
           memoryRatio, MedianOf(oursSamples, workingSet) - MedianOf(floorSamples, workingSet));
    printf("  %-30s %s  (%.2fx, %+.1f ms)\n", "start time <= 1.2x floor", Verdict(startRatio <= 1.2), startRatio,
           oursStart - floorStart);
    printf("  %-30s %s  (%llu bytes, %lld to spare)\n", "morvalen.exe <= 24576",
           Verdict(oursBytes <= 24576), oursBytes, 24576LL - (long long)oursBytes);

    printf("\nLeak check: command dialog opened and closed %d times\n", kDialogCycles);
    printf("  %-30s %10s %10s %10s\n", "", "before", "after 1", "after 50");
    printf("  %-30s %10ld %10ld %10ld\n", "handles", leak[0].handles, leak[1].handles, leak[2].handles);
    printf("  %-30s %10ld %10ld %10ld\n", "GDI objects", leak[0].gdi, leak[1].gdi, leak[2].gdi);
    printf("  %-30s %10ld %10ld %10ld\n", "USER objects", leak[0].user, leak[1].user, leak[2].user);
    printf("  %-30s %10ld %10ld %10ld\n", "windows", leak[0].windows, leak[1].windows, leak[2].windows);
    printf("  %-30s %10.0f %10.0f %10.0f\n", "private bytes (KB)", leak[0].privateKb, leak[1].privateKb,
           leak[2].privateKb);
    bool flat = labs(leak[2].handles - leak[1].handles) <= kFlatBound &&
                labs(leak[2].gdi - leak[1].gdi) <= kFlatBound &&
                labs(leak[2].user - leak[1].user) <= kFlatBound &&
                labs(leak[2].windows - leak[1].windows) <= kFlatBound;
    printf("  %-30s %s  (after 50 within %ld of after 1)\n", "handles and GUI objects flat", Verdict(flat),
           kFlatBound);
    fflush(stdout);
    return 0;
}
