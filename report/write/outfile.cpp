/*
 * Usage report: buffered output into a temporary file, renamed at the end.
 */
#include "outfile.h"
#include "resource.h"

OutFile *OutFile::First;
bool QuietOnFailure;
/* The month pages are written on two threads, each with outputs of its
   own: the list of outputs under way is changed under this lock. */
static SRWLOCK Outputs = SRWLOCK_INIT;

OutFile::OutFile() : error(0), file(INVALID_HANDLE_VALUE), bufferSize(0)
{
    AcquireSRWLockExclusive(&Outputs);
    next = First;
    First = this;
    ReleaseSRWLockExclusive(&Outputs);
}

OutFile::~OutFile()
{
    Discard();
    AcquireSRWLockExclusive(&Outputs);
    OutFile **link = &First;
    while (*link != this)
        link = &(*link)->next;
    *link = next;
    ReleaseSRWLockExclusive(&Outputs);
}

/* A folder and everything in it. Fixed buffers, no heap: this also runs
   when memory has run out. */
static void RemoveTree(const wchar_t *path)
{
    wchar_t pattern[MAX_PATH + 2], name[MAX_PATH];
    if (lstrlenW(path) > MAX_PATH - 3)
        return;
    lstrcpyW(pattern, path);
    lstrcatW(pattern, L"\\*");
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern, &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!lstrcmpW(found.cFileName, L".") || !lstrcmpW(found.cFileName, L"..") ||
                lstrlenW(path) + 1 + lstrlenW(found.cFileName) >= MAX_PATH)
                continue;
            lstrcpyW(name, path);
            lstrcatW(name, L"\\");
            lstrcatW(name, found.cFileName);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(name);
            else
                DeleteFileW(name);
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(path);
}

TempFolder *TempFolder::First;

TempFolder::TempFolder() : next(First)
{
    First = this;
}

TempFolder::~TempFolder()
{
    if (!path.empty())
        RemoveTree(path.c_str());
    TempFolder **link = &First;
    while (*link != this)
        link = &(*link)->next;
    *link = next;
}

bool TempFolder::Make(const WText &folder)
{
    WText base = folder;
    if (!base.empty() && base.back() != L'\\')
        base += L'\\';
    for (DWORD n = GetTickCount() & 0xFFFF, tries = 0; tries < 100; n++, tries++) {
        path = base + L"mvr";
        for (int shift = 12; shift >= 0; shift -= 4)
            path += L"0123456789abcdef"[n >> shift & 15];
        path += L".tmp";
        if (CreateDirectoryW(path.c_str(), NULL))
            return true;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    path.clear();
    return false;
}


/* Nothing here may need the heap: the texts go into fixed buffers, and
   user32, which the report loads only to show something, is loaded the
   same way here. */
void OutOfMemory()
{
    static bool ending;
    if (ending)
        ExitProcess(NothingWritten);
    ending = true;
    /* Held to the end: no other thread may change the list meanwhile. */
    AcquireSRWLockExclusive(&Outputs);
    for (OutFile *out = OutFile::First; out; out = out->next)
        out->Discard();
    for (TempFolder *folder = TempFolder::First; folder; folder = folder->next)
        if (!folder->path.empty())
            RemoveTree(folder->path.c_str());
    HMODULE user32 = QuietOnFailure ? NULL : LoadLibraryA("user32.dll");
    typedef int(WINAPI * LoadFunction)(HINSTANCE, UINT, LPWSTR, int);
    typedef int(WINAPI * BoxFunction)(HWND, LPCWSTR, LPCWSTR, UINT);
    LoadFunction load = user32 ? (LoadFunction)(void *)GetProcAddress(user32, "LoadStringW") : NULL;
    BoxFunction box = user32 ? (BoxFunction)(void *)GetProcAddress(user32, "MessageBoxW") : NULL;
    if (load && box) {
        static wchar_t caption[64], text[256];
        load(GetModuleHandleW(NULL), IDS_TITLE, caption, 64);
        load(GetModuleHandleW(NULL), IDS_OUTOFMEMORY, text, 256);
        box(NULL, text, caption, MB_ICONERROR);
    }
    ExitProcess(NothingWritten);
}

/* A name of GetTempFileNameW's making, the file created new and not
   truncated as GetTempFileNameW's own would be: ext4, under Wine, writes
   a file truncated to nothing out to the disk as soon as it is closed. */
bool OutFile::Create(const WText &folder, size_t size)
{
    wchar_t name[MAX_PATH];
    error = ERROR_FILE_EXISTS;
    for (UINT n = GetTickCount(), tries = 0; error == ERROR_FILE_EXISTS && tries < 0xFFFF; n++, tries++) {
        if (!GetTempFileNameW(folder.c_str(), L"mvr", n % 0xFFFF + 1, name)) {
            error = GetLastError();
            return false;
        }
        file = CreateFileW(name, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
        error = file == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    }
    if (error)
        return false;
    temp = name;
    bufferSize = size;
    buffer.reserve(size + 4096);
    return true;
}

void OutFile::Flush()
{
    DWORD written;
    if (!buffer.empty() && !error &&
        (!WriteFile(file, buffer.data(), (DWORD)buffer.size(), &written, NULL) ||
         written != buffer.size()))
        error = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
    buffer.clear();
}

void OutFile::Put(const char *bytes, size_t length)
{
    buffer.append(bytes, length);
    if (buffer.size() >= bufferSize)
        Flush();
}

bool OutFile::Close()
{
    Flush();
    if (file != INVALID_HANDLE_VALUE && !CloseHandle(file) && !error)
        error = GetLastError();
    file = INVALID_HANDLE_VALUE;
    return !error;
}

bool OutFile::Replace(const WText &target)
{
    if (!MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        error = GetLastError();
        return false;
    }
    temp.clear();
    return true;
}

void OutFile::Discard()
{
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    file = INVALID_HANDLE_VALUE;
    if (!temp.empty())
        DeleteFileW(temp.c_str());
    temp.clear();
}

bool CanReplace(const WText &target, DWORD *error)
{
    HANDLE held = CreateFileW(target.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              NULL, OPEN_EXISTING, 0, NULL);
    if (held != INVALID_HANDLE_VALUE) {
        CloseHandle(held);
        return true;
    }
    *error = GetLastError();
    return *error == ERROR_FILE_NOT_FOUND;
}
