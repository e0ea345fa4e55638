/*
 * Morvalen for Windows: the entry routine and single-instance control.
 *
 * A launch becomes the hidden recorder, or finds the running copy by its
 * window and hands over to it: without a switch it asks for the command
 * dialog, with /install or /uninstall it stops the copy. Only the first
 * copy ever records anything.
 */
#include "mainwnd.h"
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
