/*
 * Morvalen for Windows: the hidden session window.
 *
 * Creating it starts the session record. The recorder then idles at idle
 * priority and returns to normal priority whenever it has work that must
 * not be starved: the end of the session, and its own destruction.
 */
#include "mainwnd.h"
#include "cmddlg.h"
#include "collect.h"
#include "commands.h"
#include "settings.h"
#include "../messages/messages.h"
#include "../recorder/logfile.h"

#include <wtsapi32.h>

HINSTANCE AppInstance;
HWND MainWindow;

static LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

/* Windows 8 and later with Modern Standby send the sleep and resume
   notifications only to the windows that ask for them. The call is found
   at run time, so the program still starts on Windows 7. */
typedef HANDLE(WINAPI *RegisterFunction)(HANDLE, DWORD);
typedef BOOL(WINAPI *UnregisterFunction)(HANDLE);
static HANDLE PowerNotification;

static FARPROC User32Function(const char *name)
{
    HMODULE user32 = GetModuleHandleA("user32.dll");
    return user32 ? GetProcAddress(user32, name) : NULL;
}

static void AskForPowerNotifications(HWND window)
{
    RegisterFunction registerFor =
        (RegisterFunction)(void *)User32Function("RegisterSuspendResumeNotification");
    if (registerFor)
        PowerNotification = registerFor(window, DEVICE_NOTIFY_WINDOW_HANDLE);
}

static void StopPowerNotifications()
{
    UnregisterFunction unregister =
        (UnregisterFunction)(void *)User32Function("UnregisterSuspendResumeNotification");
    if (PowerNotification && unregister)
        unregister(PowerNotification);
    PowerNotification = NULL;
}

/* A lock or a disconnect reaches only the windows that ask for it, and
   is asked for only where the administrator set EndAtLock: wtsapi32 is
   loaded then and not before, so the program starts without it. At
   log-on the service behind it may not be up yet, so a failed request is
   made again on a timer for a few minutes; the loop never waits for it. */
typedef BOOL(WINAPI *SessionRegisterFunction)(HWND, DWORD);
typedef BOOL(WINAPI *SessionUnregisterFunction)(HWND);
enum { SessionRetryTimer = 1, SessionRetryMs = 30 * 1000, SessionRetries = 10 };
static HMODULE SessionLibrary;
static bool SessionNotified;
static int SessionRetriesLeft = SessionRetries;

/* True once there is nothing more to try: asked, or not possible here. */
static bool AskForSessionNotifications(HWND window)
{
    SessionRegisterFunction registerFor =
        (SessionRegisterFunction)(void *)GetProcAddress(SessionLibrary, "WTSRegisterSessionNotification");
    SessionNotified = registerFor && registerFor(window, NOTIFY_FOR_THIS_SESSION);
    return SessionNotified || !registerFor || --SessionRetriesLeft < 0;
}

static void StopSessionNotifications(HWND window)
{
    if (!SessionNotified)
        return;
    SessionUnregisterFunction unregister =
        (SessionUnregisterFunction)(void *)GetProcAddress(SessionLibrary, "WTSUnRegisterSessionNotification");
    if (unregister)
        unregister(window);
    SessionNotified = false;
}

/* While a line is open its copy is renewed now and then, so the
   collection shows how far a PC left on has come; a timer of the window's,
   so the recorder does nothing between the copies. */
enum { CopyTimer = 2 };

static void KeepCopying(HWND window, bool open)
{
    if (open && CollectFolder[0] && CopyEveryMinutes)
        SetTimer(window, CopyTimer, CopyEveryMinutes * 60 * 1000, NULL);
    else
        KillTimer(window, CopyTimer);
}

/* Waking, unlocking and connecting all start the next line through here,
   so whatever follows a start record follows each of them. */
static void ResumeLine(HWND window, int reason)
{
    if (ResumeSessionLine(reason)) {
        StartLogCopy();
        KeepCopying(window, true);
    }
}

/* A sleep, a lock and a disconnect end the line; the copy then holds the
   end, so the collection does not count the time away as use. */
static void PauseLine(HWND window, int reason)
{
    PauseSessionLine(reason);
    KeepCopying(window, false);
    StartLogCopy();
}

bool RegisterMainWindowClass(HINSTANCE instance)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = MainWndProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = MORVALEN_WINDOW_CLASS;
    return RegisterClassA(&windowClass) != 0;
}

static void SetBackgroundPriority(bool idle)
{
    SetPriorityClass(GetCurrentProcess(), idle ? IDLE_PRIORITY_CLASS : NORMAL_PRIORITY_CLASS);
    SetThreadPriority(GetCurrentThread(), idle ? THREAD_PRIORITY_IDLE : THREAD_PRIORITY_NORMAL);
}

bool CreateMainWindow(HINSTANCE instance)
{
    HWND window = CreateWindowExA(0, MORVALEN_WINDOW_CLASS, MORVALEN_WINDOW_TITLE, WS_POPUP,
                                  0, 0, 0, 0, NULL, NULL, instance, NULL);
    if (!window)
        return false;
    ShowWindow(window, SW_MINIMIZE);
    ShowWindow(window, SW_HIDE);
    AppInstance = instance;
    MainWindow = window;

    /* A start record that could not be written has been reported; the
       end is still attempted when the session ends. */
    StampStartTime();
    RecordSessionStart();
    AskForPowerNotifications(window);
    if (EndAtLock && (SessionLibrary = LoadLibraryA("wtsapi32.dll")) != NULL &&
        !AskForSessionNotifications(window))
        SetTimer(window, SessionRetryTimer, SessionRetryMs, NULL);
    SetBackgroundPriority(true);
    /* Once the recorder waits: the copy is no part of its own start. */
    StartLogCopy();
    KeepCopying(window, true);
    return true;
}

/* Runs on the one thread, also from inside the modal loops of the dialog
   and the message boxes: a session can end while one of them is open. */
static LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DESTROY:
        /* Also posted by a launch with /install or /uninstall. */
        SetBackgroundPriority(false);
        StopPowerNotifications();
        StopSessionNotifications(window);
        KeepCopying(window, false);
        RecordSessionEnd();
        PostQuitMessage(0);
        return 0;

    case WM_QUERYENDSESSION:
        SetBackgroundPriority(false);
        return TRUE;

    case WM_ENDSESSION:
        /* On a real end Windows ends the process after this returns;
           the copy of the end may be ended with the session, and the
           next copy carries it then. */
        if (wParam) {
            KeepCopying(window, false);
            RecordSessionEnd();
            StartLogCopy();
        } else
            SetBackgroundPriority(true);
        return 0;

    case WM_POWERBROADCAST:
        /* A PC asleep is not in use. The priority stays idle: a sleep is
           not the end of the session. A question (PBT_APMQUERYSUSPEND)
           may still be denied, so only the sleep itself counts. */
        if (wParam == PBT_APMSUSPEND)
            PauseLine(window, PausedAsleep);
        else if (wParam == PBT_APMRESUMEAUTOMATIC || wParam == PBT_APMRESUMESUSPEND)
            ResumeLine(window, PausedAsleep);
        return TRUE;

    case WM_WTSSESSION_CHANGE:
        /* A locked PC is not in use either, where the administrator says
           so. Switching users locks and then disconnects the console. */
        if (!EndAtLock)
            break;
        if (wParam == WTS_SESSION_LOCK)
            PauseLine(window, PausedLocked);
        else if (wParam == WTS_SESSION_UNLOCK)
            ResumeLine(window, PausedLocked);
        else if (wParam == WTS_CONSOLE_DISCONNECT || wParam == WTS_REMOTE_DISCONNECT)
            PauseLine(window, PausedDisconnected);
        else if (wParam == WTS_CONSOLE_CONNECT || wParam == WTS_REMOTE_CONNECT)
            ResumeLine(window, PausedDisconnected);
        return 0;

    case WM_TIMER:
        if (wParam == SessionRetryTimer && AskForSessionNotifications(window))
            KillTimer(window, SessionRetryTimer);
        else if (wParam == CopyTimer)
            StartLogCopy();
        return 0;

    case UM_RUNCOMMAND:
        RunCommand((int)wParam);
        return 0;

    case UM_SHOWCOMMANDS:
        ShowCommandDialog();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
