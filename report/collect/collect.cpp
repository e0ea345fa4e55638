/*
 * Usage report: the copy of a PC's logs to the collection folder, made
 * when the recorder has written a start or an end record, initialised its
 * log, or kept a line open for a while.
 *
 * Each user's copies live in folder\<computer>\<user>\ under the files'
 * own names, so the report over the folder reads every PC's and user's
 * logs. A copy is the log as it stood at one moment, written under a
 * temporary name beside its place and renamed over the previous copy, so
 * a reader never meets half a file; every copy holds the whole log, so the
 * first one after days away carries them all. Beside each log's copy a
 * record says when the copy's snapshot was read, so the report counts its
 * open line no further. The local files are only read, and held no longer
 * than that takes.
 */
#include "collect.h"
#include "copytime.h"
#include "keep.h"
#include "outfile.h"
#include "resource.h"

/* A log whose size or time changed while it was read is read again. */
const int SnapshotTries = 5;
/* A report reading the previous copy holds it for a moment. */
const int ReplaceTries = 20;
const DWORD ReplaceRetryMs = 100;

WText CopyLockName(const WText &user)
{
    return L"Global\\MorvalenCopy-" + user;
}

WText CopyAgainName(const WText &user)
{
    return L"Global\\MorvalenCopyAgain-" + user;
}

/* advapi32 is loaded only for this: the report starts with kernel32 alone. */
static WText UserName()
{
    auto get = Load<BOOL(WINAPI *)(LPWSTR, LPDWORD)>("advapi32.dll", "GetUserNameW");
    wchar_t name[257];
    DWORD size = 257;
    return get && get(name, &size) ? WText(name) : WText();
}

static WText ComputerName()
{
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    return GetComputerNameW(name, &size) ? WText(name) : WText();
}

/* "X:\..." or "\\server\share...": never a folder relative to wherever
   the copy runs, which a variable that was not there to expand would
   give ("%OneDrive%\..."). */
static bool IsAbsolute(const WText &path)
{
    bool drive = path.size() >= 3 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/');
    return drive || (path.size() > 2 && path[0] == L'\\' && path[1] == L'\\');
}

static bool SameState(const BY_HANDLE_FILE_INFORMATION &a, const BY_HANDLE_FILE_INFORMATION &b)
{
    return a.nFileSizeLow == b.nFileSizeLow && a.nFileSizeHigh == b.nFileSizeHigh &&
           CompareFileTime(&a.ftLastWriteTime, &b.ftLastWriteTime) == 0;
}

/* The file as it stands at one moment. The recorder opens the log without
   sharing and adds each record in one write, so it cannot write while the
   log is open here; any other writer may, and what it changed during the
   read is read again. */
static bool ReadWhole(const WText &path, Text &bytes, SYSTEMTIME *when, DWORD *error)
{
    for (int attempt = 0; attempt < SnapshotTries; attempt++) {
        HANDLE file = OpenShared(path);
        if (file == INVALID_HANDLE_VALUE) {
            *error = GetLastError();
            return false;
        }
        BY_HANDLE_FILE_INFORMATION before, after;
        DWORD got = 0, read = 1;
        bool whole = GetFileInformationByHandle(file, &before) && !before.nFileSizeHigh;
        bytes.resize(whole ? before.nFileSizeLow : 0);
        for (; whole && got < bytes.size() && read; got += read)
            whole = ReadFile(file, &bytes[got], (DWORD)bytes.size() - got, &read, NULL);
        *error = whole ? ERROR_SHARING_VIOLATION : GetLastError();
        /* Nothing past the size first seen, and the same size and time. */
        char probe;
        whole = whole && got == bytes.size() && ReadFile(file, &probe, 1, &read, NULL) && !read &&
                GetFileInformationByHandle(file, &after) && SameState(before, after);
        /* Still open: the recorder cannot have added a record since. */
        GetLocalTime(when);
        CloseHandle(file);
        if (whole)
            return true;
    }
    return false;
}

static ULONGLONG SizeOf(const WText &path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return ~0ULL;
    return (ULONGLONG)data.nFileSizeHigh << 32 | data.nFileSizeLow;
}

static bool MakeFolder(const WText &path)
{
    return CreateDirectoryW(path.c_str(), NULL) || GetLastError() == ERROR_ALREADY_EXISTS;
}

static Outcome Fail(Problem *problem, const WText &subject, DWORD error)
{
    problem->sentence = IDS_NOTCOPIED;
    problem->subject = subject;
    problem->error = error;
    return NothingWritten;
}

/* bytes under a temporary name in folder, then renamed over target. */
static bool Place(const WText &folder, const WText &target, const Text &bytes, DWORD *error)
{
    OutFile out;
    if (!out.Create(folder, 0)) {
        *error = out.error;
        return false;
    }
    out.Put(bytes);
    if (!out.Close()) {
        *error = out.error;
        return false;
    }
    for (int attempt = 0;; attempt++) {
        if (out.Replace(target))
            return true;
        *error = out.error;
        if ((*error != ERROR_ACCESS_DENIED && *error != ERROR_SHARING_VIOLATION) || attempt == ReplaceTries)
            return false;
        Sleep(ReplaceRetryMs);
    }
}

/* When the copy's snapshot was read, beside the copy; renewed at every
   copy, the same bytes or not, so the report knows how far it saw. */
static bool WriteCopyTime(const WText &target, const WText &copy, const SYSTEMTIME &when, DWORD *error)
{
    return Place(target, CopyTimePath(copy), CopyTimeText(when), error);
}

/* The collection folder, made when the folder above it is there: a policy
   may name this year's folder, or one a sync client has not made yet. A
   drive or a share out of reach stays an error. */
static DWORD ReachFolder(const WText &folder)
{
    DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES)
        return attributes & FILE_ATTRIBUTE_DIRECTORY ? ERROR_SUCCESS : ERROR_DIRECTORY;
    DWORD error = GetLastError();
    WText above = FolderOf(folder.back() == L'\\' ? folder.substr(0, folder.size() - 1) : folder);
    attributes = GetFileAttributesW(above.c_str());
    if (error != ERROR_FILE_NOT_FOUND || attributes == INVALID_FILE_ATTRIBUTES ||
        !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return error;
    return MakeFolder(folder) ? ERROR_SUCCESS : GetLastError();
}

/* One pass over the logs and their archives, the log after its archives. */
static Outcome CopyAll(const WText &folder, const WText &place, const std::vector<WText> &logs,
                       Problem *problem)
{
    DWORD reached = ReachFolder(folder);
    if (reached != ERROR_SUCCESS)
        return Fail(problem, folder, reached);
    /* The PC's folder may be another user's of the same PC; the user's own
       is this user's alone. */
    WText target = Join(folder, place);
    if (!MakeFolder(FolderOf(target)) || !MakeFolder(target))
        return Fail(problem, target, GetLastError());

    std::vector<SourceFile> files;
    std::vector<WText> sheets;
    CollectInputs(logs, {}, files, sheets);
    Outcome outcome = AllRead;
    std::vector<WText> archives;    /* the copies of the archives before the next log */
    for (const SourceFile &file : files) {
        WText copy = Join(target, file.path.substr(file.path.find_last_of(L"\\/") + 1));
        Text bytes;
        SYSTEMTIME when;
        DWORD error = 0;
        std::vector<WText> logArchives;
        if (file.archive)
            archives.push_back(copy);
        else
            logArchives.swap(archives);
        /* An archive does not change: one there whole stays. */
        if (file.archive && SizeOf(copy) == SizeOf(file.path))
            continue;
        if (!ReadWhole(file.path, bytes, &when, &error)) {
            if (outcome == AllRead) {
                problem->sentence = IDS_NOTALLCOPIED;
                problem->subject = file.path;
                problem->error = error;
            }
            outcome = SomeUnreadable;
            continue;
        }
        /* A copy the log no longer continues stays beside it. */
        if (!file.archive && !KeepHistory(copy, bytes, logArchives, &error))
            return Fail(problem, copy, error);
        if (!Place(target, copy, bytes, &error))
            return Fail(problem, copy, error);
        if (!file.archive && !WriteCopyTime(target, copy, when, &error))
            return Fail(problem, CopyTimePath(copy), error);
    }
    return outcome;
}

Outcome CopyToCollection(const WText &folder, const std::vector<WText> &logs, Problem *problem)
{
    if (!IsAbsolute(folder))
        return Fail(problem, folder, ERROR_BAD_PATHNAME);
    WText user = UserName(), computer = ComputerName();
    if (user.empty() || computer.empty())
        return Fail(problem, folder, GetLastError());

    /* One copy of a user's at a time, in all the user's sessions. One that
       finds the lock taken asks for another pass and leaves; the lock is
       tried once more after asking, for the copy that was just letting it
       go when it asked. A lock of that name that is not the user's own
       cannot be had, and the copy runs without it: each file is replaced
       whole all the same. */
    HANDLE lock = CreateMutexW(NULL, FALSE, CopyLockName(user).c_str());
    HANDLE again = CreateEventW(NULL, FALSE, FALSE, CopyAgainName(user).c_str());
    bool mine = !lock || WaitForSingleObject(lock, 0) != WAIT_TIMEOUT;
    if (!mine && again) {
        SetEvent(again);
        mine = WaitForSingleObject(lock, 0) != WAIT_TIMEOUT;
    }
    Outcome outcome = AllRead;
    while (mine) {
        outcome = CopyAll(FullPath(folder), Join(computer, user), logs, problem);
        if (!lock)
            break;
        /* Asked meanwhile: the log has changed since this pass read it. The
           lock is let go first, so a request made after this look finds it
           free and takes it. */
        ReleaseMutex(lock);
        mine = again && WaitForSingleObject(again, 0) == WAIT_OBJECT_0 && WaitForSingleObject(lock, 0) != WAIT_TIMEOUT;
    }
    if (lock)
        CloseHandle(lock);
    if (again)
        CloseHandle(again);
    return outcome;
}
