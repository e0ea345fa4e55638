/*
 * Test support: text conversion, files, waits, windows and the screen.
 */
#include "support.h"

#include <shellapi.h>
#include <algorithm>
#include <utility>

static std::string Convert(UINT from, UINT to, const std::string &text)
{
    if (text.empty())
        return text;
    std::wstring wide(text.size(), L'\0');
    int n = MultiByteToWideChar(from, 0, text.data(), (int)text.size(), &wide[0], (int)wide.size());
    std::string bytes(n * 3, '\0');
    n = n ? WideCharToMultiByte(to, 0, wide.data(), n, &bytes[0], (int)bytes.size(), NULL, NULL) : 0;
    if (!n)
        ADD_FAILURE() << "cannot convert " << text.size() << " bytes from code page " << from << " to " << to;
    bytes.resize(n);
    return bytes;
}

std::string Sjis(const char *utf8) { return Convert(CP_UTF8, 932, utf8); }
std::string Utf8(const std::string &sjis) { return Convert(932, CP_UTF8, sjis); }

std::string Escaped(const std::string &sjis)
{
    std::string text = "\"";
    for (unsigned char c : Utf8(sjis)) {
        char escape[8];
        snprintf(escape, sizeof escape, c == '\r' ? "\\r" : c == '\n' ? "\\n" : c == '"' ? "\\\"" : "\\x%02x", c);
        text += c < ' ' || c == '"' ? escape : std::string(1, (char)c);
    }
    return text + "\"";
}

std::string Weekday(int dayOfWeek)
{
    static const char *names[] = {"日", "月", "火", "水", "木", "金", "土"};
    return Sjis(names[dayOfWeek]);
}

SYSTEMTIME At(int year, int month, int day, int hour, int minute, int second)
{
    SYSTEMTIME t = {(WORD)year, (WORD)month, 0, (WORD)day, (WORD)hour, (WORD)minute, (WORD)second, 0};
    FILETIME f;
    /* A round trip fills in the day of the week. */
    SystemTimeToFileTime(&t, &f);
    FileTimeToSystemTime(&f, &t);
    return t;
}

std::string ReadBytes(const std::string &path)
{
    std::string bytes;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return "<missing>";
    char chunk[65536];
    DWORD got;
    while (ReadFile(file, chunk, sizeof chunk, &got, NULL) && got)
        bytes.append(chunk, got);
    CloseHandle(file);
    return bytes;
}

void WriteBytes(const std::string &path, const std::string &bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    DWORD written = 0;
    if (file == INVALID_HANDLE_VALUE || !WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, NULL) ||
        written != bytes.size())
        ADD_FAILURE() << "cannot write " << path << ": error " << GetLastError();
    CloseHandle(file);
}

bool FileExists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string Listing(const std::string &folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    while (search != INVALID_HANDLE_VALUE) {
        if (found.cFileName[0] != '.')
            names.push_back(found.cFileName);
        if (!FindNextFileA(search, &found))
            break;
    }
    FindClose(search);
    std::sort(names.begin(), names.end());
    std::string listing;
    for (const std::string &name : names)
        listing += name + " ";
    return listing;
}

void RemoveTree(const std::string &folder)
{
    std::string from = folder + '\0';
    SHFILEOPSTRUCTA remove = {NULL, FO_DELETE, from.c_str(), NULL, FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT};
    SHFileOperationA(&remove);
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

std::string BuildFolder()
{
    char path[MAX_PATH];
    GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string folder = path;
    folder = folder.substr(0, folder.rfind('\\'));
    return folder.substr(0, folder.rfind('\\'));
}

bool WaitFor(const std::function<bool()> &done, DWORD timeoutMs)
{
    for (DWORD start = GetTickCount();; Sleep(20)) {
        if (done())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
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

static std::string TextOf(HWND window)
{
    char text[2048] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

BoxInfo FindBox(DWORD pid, DWORD timeoutMs, HWND except, const std::string &caption)
{
    BoxInfo box = {};
    WaitFor([&] {
        for (HWND window : Windows()) {
            char cls[64];
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            GetClassNameA(window, cls, sizeof cls);
            if ((!pid || owner == pid) && window != except && IsWindowVisible(window) &&
                !lstrcmpA(cls, "#32770") && !TextOf(window).compare(0, caption.size(), caption))
                return (box.window = window) != NULL;
        }
        return false;
    }, timeoutMs);
    if (box.window) {
        box.owner = GetWindow(box.window, GW_OWNER);
        box.caption = TextOf(box.window);
        box.text = TextOf(GetDlgItem(box.window, 0xFFFF));
        /* Wine's box template holds every button and hides the unused. */
        for (int id = IDOK; id <= IDNO; id++)
            if (IsWindowVisible(GetDlgItem(box.window, id)))
                box.buttons.push_back(id);
    }
    return box;
}

bool PressButton(HWND window, int id)
{
    PostMessageA(GetDlgItem(window, id), BM_CLICK, 0, 0);
    return WaitFor([&] { return !IsWindow(window); }, 5000);
}

testing::AssertionResult NoBoxAppears(DWORD pid, HWND except)
{
    BoxInfo box = FindBox(pid, kBoxWaitMs, except);
    if (!box.window)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "a box came: " << Escaped(box.caption) << ": " << Escaped(box.text);
}

std::vector<COLORREF> GrabScreen(const RECT &rect)
{
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    BITMAPINFOHEADER header = {sizeof header, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<COLORREF> pixels((size_t)width * height);
    HDC screen = GetDC(NULL), memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, old);
    GetDIBits(memory, bitmap, 0, height, pixels.data(), (BITMAPINFO *)&header, DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(NULL, screen);
    for (COLORREF &pixel : pixels)
        pixel = RGB(pixel >> 16, pixel >> 8, pixel);    /* 0x00RRGGBB to COLORREF */
    return pixels;
}

/* ImageMagick takes the X display, where the build folder is Z:. It runs
   on the Unix side, so the picture is waited for until its size holds. */
void SaveScreenshot(const std::string &name)
{
    std::string folder = BuildFolder() + "\\screenshots", path = folder + "\\" + name + ".png", unix = path.substr(2);
    CreateDirectoryA(folder.c_str(), NULL);
    DeleteFileA(path.c_str());
    for (char &c : unix)
        c = c == '\\' ? '/' : c;
    /* Windows just opened may not have painted yet: each is made to now,
       its controls too (another thread's window is sent WM_PAINT). */
    for (HWND window : Windows())
        if (IsWindowVisible(window))
            RedrawWindow(window, NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    STARTUPINFOA startup = {sizeof startup};
    PROCESS_INFORMATION info;
    std::string line = "/usr/bin/import -window root " + unix;
    if (!CreateProcessA(NULL, &line[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &info)) {
        ADD_FAILURE() << "cannot start " << line;
        return;
    }
    /* The process is Wine's stand-in for a Unix one: it may end before the
       picture is whole, which is waited for until its size holds. */
    WaitForSingleObject(info.hProcess, 10000);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    DWORD last = 0;
    if (!WaitFor([&] {
            DWORD size = FileExists(path) ? (DWORD)ReadBytes(path).size() : 0;
            return size && size == std::exchange(last, size);
        }, 10000))
        ADD_FAILURE() << "no screenshot in " << path;
}
