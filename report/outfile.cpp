/*
 * Usage report: buffered output into a temporary file, renamed at the end.
 */
#include "outfile.h"

OutFile::OutFile() : error(0), file(INVALID_HANDLE_VALUE), bufferSize(0)
{
}

OutFile::~OutFile()
{
    Discard();
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
