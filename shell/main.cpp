/*
 * Morvalen for Windows: the entry routine and single-instance control.
 *
 * A launch becomes the hidden recorder, or finds the running copy by its
 * window and hands over to it: without a switch it asks for the command
 * dialog, with /install or /uninstall it stops the copy. Only the first
 * copy ever records anything, and a launch by the Startup folder that
 * finds a copy already recording (started by the installer at the same
 * log-on) leaves without a word.
 */
#include "mainwnd.h"
#include <shlobj.h>
#include "settings.h"
#include "../messages/messages.h"
#include "../recorder/logfile.h"

/* The command line without the program's own name. The tail is taken
   here rather than from the C runtime so that a quoted program path with
   blanks or double-byte folder names is skipped as Windows means it. */
static const char *CommandTail(const char *line)
{
    const char *p = line;

    if (*p == '"') {
        for (p++; *p && *p != '"'; p++)
            if (IsDBCSLeadByte((BYTE)*p) && p[1])
                p++;
        if (*p == '"')
            p++;
    } else {
        while ((BYTE)*p > ' ')
            p++;
    }
    while (*p && (BYTE)*p <= ' ')
        p++;
    return p;
}

/* Posts WM_DESTROY itself, not WM_CLOSE, so the copy records its end and
   quits at once, and waits a while for it to go. */
static void StopRunningCopy(HWND running)
{
    DWORD processId = 0;

    if (!GetWindowThreadProcessId(running, &processId))
        return;
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, processId);
    if (!process)
        return;
    PostMessageA(running, WM_DESTROY, 0, 0);
    WaitForSingleObject(process, 3000);
    CloseHandle(process);
}

/* Windows starts a shortcut's program with the shortcut's path where a
   console title would go, and a flag that says so. A launch from a
   shortcut in the user's or every user's Startup folder is the log-on's
   own: a copy it finds running was started at that log-on by the
   installer. The shortcut needs no switch, so the Startup shortcuts of
   earlier versions are told apart the same way. shell32 is loaded only
   here, where a copy is already running. */
static bool StartedFromStartupFolder()
{
    typedef HRESULT(WINAPI * FolderFunction)(HWND, int, HANDLE, DWORD, LPWSTR);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    if (!(startup.dwFlags & STARTF_TITLEISLINKNAME) || !startup.lpTitle)
        return false;
    wchar_t link[MAX_PATH], folder[MAX_PATH];
    if (lstrlenW(startup.lpTitle) >= MAX_PATH)
        return false;
    lstrcpyW(link, startup.lpTitle);
    wchar_t *name = NULL;
    for (wchar_t *p = link; *p; p++)
        if (*p == L'\\' || *p == L'/')
            name = p;
    if (!name)
        return false;
    *name = L'\0';
    HMODULE shell = LoadLibraryA("shell32.dll");
    FolderFunction folderPath = shell ? (FolderFunction)(void *)GetProcAddress(shell, "SHGetFolderPathW") : NULL;
    static const int startupFolders[] = {CSIDL_STARTUP, CSIDL_COMMON_STARTUP};
    for (int csidl : startupFolders)
        if (folderPath && folderPath(NULL, csidl, NULL, 0, folder) == S_OK && lstrcmpiW(folder, link) == 0)
            return true;
    return false;
}

static void ShowAlreadyRunning()
{
    char caption[TextSize];
    char text[TextSize];

    LoadText(IDS_APPTITLE, caption, TextSize);
    LoadText(IDS_ALREADYRUNNING, text, TextSize);
    MessageBoxA(NULL, text, caption, MB_SYSTEMMODAL | MB_ICONERROR);
}

static int AppMain(HINSTANCE instance, const char *tail)
{
    SetLogName(instance, tail);
    bool install = lstrcmpiA(LogName, "/install") == 0;
    bool uninstall = !install && lstrcmpiA(LogName, "/uninstall") == 0;

    HWND running = FindWindowA(MORVALEN_WINDOW_CLASS, MORVALEN_WINDOW_TITLE);
    if (running) {
        if (!install && !uninstall) {
            if (StartedFromStartupFolder())
                return 0;
            /* An open dialog or box of the copy is brought forward, and
               no second dialog is asked for. */
            HWND popup = GetLastActivePopup(running);
            SetForegroundWindow(popup);
            if (popup == running)
                PostMessageA(running, UM_SHOWCOMMANDS, 0, 0);
            return 0;
        }
        StopRunningCopy(running);
        if (install)
            ShowAlreadyRunning();
        return 0;
    }

    if (install || uninstall)
        return 0;
    ReadSettings();
    if (!RegisterMainWindowClass(instance) || !CreateMainWindow(instance))
        return 0;

    MSG message;
    for (;;) {
        BOOL got = GetMessageA(&message, NULL, 0, 0);
        if (got == 0)
            break;
        if (got == -1)
            continue;       /* nothing was retrieved; keep waiting */
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return (int)message.wParam;
}

/* The process starts here, with no C runtime: nothing in the program needs
   one, and loading and starting it was most of the time to the first
   record. The stack is realigned because Windows gives the 32-bit entry
   only a 4-byte alignment. */
extern "C" __attribute__((force_align_arg_pointer)) void WinMainCRTStartup()
{
    ExitProcess(AppMain(GetModuleHandleA(NULL), CommandTail(GetCommandLineA())));
}
