/*
 * Test support: text conversion, files, waits and message boxes.
 */
#include "support.h"

#include <thread>

std::string Sjis(const char *utf8)
{
    wchar_t wide[2048];
    char bytes[4096];
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, 2048);
    n = WideCharToMultiByte(932, 0, wide, n, bytes, sizeof bytes, NULL, NULL);
    return std::string(bytes, n > 0 ? n - 1 : 0);
}

std::string Utf8(const std::string &sjis)
{
    wchar_t wide[4096];
    char bytes[8192];
    int n = MultiByteToWideChar(932, 0, sjis.data(), (int)sjis.size(), wide, 4096);
    n = WideCharToMultiByte(CP_UTF8, 0, wide, n, bytes, sizeof bytes, NULL, NULL);
    return std::string(bytes, n > 0 ? n : 0);
}

std::string Weekday(int dayOfWeek)
{
    static const char *names[] = {"日", "月", "火", "水", "木", "金", "土"};
    return Sjis(names[dayOfWeek]);
}

SYSTEMTIME At(int year, int month, int day, int hour, int minute, int second)
{
    SYSTEMTIME t = {};
    FILETIME f;
    t.wYear = (WORD)year;
    t.wMonth = (WORD)month;
    t.wDay = (WORD)day;
    t.wHour = (WORD)hour;
    t.wMinute = (WORD)minute;
    t.wSecond = (WORD)second;
    /* A round trip fills in the day of the week. */
    SystemTimeToFileTime(&t, &f);
    FileTimeToSystemTime(&f, &t);
    return t;
}

std::string ReadBytes(const std::string &path)
{
    std::string bytes;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return "<missing>";
    char chunk[4096];
    DWORD got;
    while (ReadFile(file, chunk, sizeof chunk, &got, NULL) && got)
        bytes.append(chunk, got);
    CloseHandle(file);
    return bytes;
}

void WriteBytes(const std::string &path, const std::string &bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    DWORD written;
    WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, NULL);
    CloseHandle(file);
}

bool FileExists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

static void RemoveTree(const std::string &folder)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string path = folder + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

std::string EnterFreshFolder(const char *name)
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string folder = std::string(temp) + "morvalen-" + name;
    SetCurrentDirectoryA(temp);
    RemoveTree(folder);
    CreateDirectoryA(folder.c_str(), NULL);
    SetCurrentDirectoryA(folder.c_str());
    return folder;
}

bool WaitFor(const std::function<bool()> &done, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (done())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(20);
    }
}

void SetUserName(const char *name)
{
    SetEnvironmentVariableA("WINEUSERNAME", name);
}

static BOOL CALLBACK Collect(HWND window, LPARAM found)
{
    ((std::vector<HWND> *)found)->push_back(window);
    return TRUE;
}

std::vector<HWND> Windows(HWND parent)
{
    std::vector<HWND> found;
    if (parent)
        EnumChildWindows(parent, Collect, (LPARAM)&found);
    else
        EnumWindows(Collect, (LPARAM)&found);
    return found;
}

/* The first visible dialog-class window of process pid other than except. */
static HWND MatchBox(DWORD pid, HWND except)
{
    for (HWND window : Windows()) {
        char cls[64];
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        GetClassNameA(window, cls, sizeof cls);
        if (owner == pid && window != except && IsWindowVisible(window) && !lstrcmpA(cls, "#32770"))
            return window;
    }
    return NULL;
}

static std::string TextOf(HWND window)
{
    char text[2048] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

BoxInfo FindBox(DWORD pid, DWORD timeoutMs, HWND except)
{
    BoxInfo box = {};
    WaitFor([&] { return (box.window = MatchBox(pid, except)) != NULL; }, timeoutMs);
    if (box.window) {
        box.owner = GetWindow(box.window, GW_OWNER);
        box.caption = TextOf(box.window);
        /* A message box keeps its text in the static control 0xFFFF. */
        box.text = TextOf(GetDlgItem(box.window, 0xFFFF));
        /* Wine's box template holds every button and hides the unused. */
        for (int id = IDOK; id <= IDNO; id++) {
            HWND button = GetDlgItem(box.window, id);
            if (button && IsWindowVisible(button))
                box.buttons.push_back(id);
        }
    }
    return box;
}

bool PressButton(HWND window, int id)
{
    HWND button = GetDlgItem(window, id);
    if (!button)
        return false;
    PostMessageA(button, BM_CLICK, 0, 0);
    return WaitFor([&] { return !IsWindow(window); }, 5000);
}

BoxInfo AnswerBoxOf(const std::function<void()> &action, int button)
{
    std::thread worker(action);
    BoxInfo box = FindBox(GetCurrentProcessId(), 5000);
    if (box.window)
        PressButton(box.window, button);
    worker.join();
    return box;
}

/* Copies a screen rectangle into a top-down 32-bit DIB. */
static std::vector<DWORD> CopyScreen(const RECT &rect, BITMAPINFOHEADER &header)
{
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    header = {};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = -height;
    header.biPlanes = 1;
    header.biBitCount = 32;
    std::vector<DWORD> pixels((size_t)width * height);
    HDC screen = GetDC(NULL);
    HDC memory = CreateCompatibleDC(screen);
    void *bits = NULL;
    HBITMAP bitmap = CreateDIBSection(screen, (BITMAPINFO *)&header, DIB_RGB_COLORS, &bits, NULL, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    GdiFlush();
    memcpy(pixels.data(), bits, pixels.size() * 4);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(NULL, screen);
    return pixels;
}

std::vector<COLORREF> GrabScreen(const RECT &rect)
{
    BITMAPINFOHEADER header;
    std::vector<COLORREF> colours;
    for (DWORD pixel : CopyScreen(rect, header))
        colours.push_back(RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF));
    return colours;
}

std::string BuildFolder()
{
    char path[MAX_PATH];
    GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string folder = path;
    folder = folder.substr(0, folder.rfind('\\'));
    return folder.substr(0, folder.rfind('\\'));
}

void SaveScreenshot(const std::string &name)
{
    std::string folder = BuildFolder() + "\\screenshots";
    CreateDirectoryA(folder.c_str(), NULL);

    RECT screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    BITMAPINFOHEADER header;
    std::vector<DWORD> pixels = CopyScreen(screen, header);
    for (DWORD &pixel : pixels)
        pixel |= 0xFF000000;    /* opaque, or viewers show nothing */
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + (DWORD)pixels.size() * 4;
    std::string bytes((const char *)&file, sizeof file);
    bytes.append((const char *)&header, sizeof header);
    bytes.append((const char *)pixels.data(), pixels.size() * 4);
    WriteBytes(folder + "\\" + name + ".bmp", bytes);
}
