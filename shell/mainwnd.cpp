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
#include "../messages/messages.h"
#include "../recorder/logfile.h"

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
    SetBackgroundPriority(true);
    /* Once the recorder waits: the copy is no part of its own start. */
    StartLogCopy();
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
        RecordSessionEnd();
        PostQuitMessage(0);
        return 0;

    case WM_QUERYENDSESSION:
        SetBackgroundPriority(false);
        return TRUE;

    case WM_ENDSESSION:
        /* On a real end Windows ends the process after this returns. */
        if (wParam)
            RecordSessionEnd();
        else
            SetBackgroundPriority(true);
        return 0;

    case WM_POWERBROADCAST:
        /* A PC asleep is not in use. The priority stays idle: a sleep is
           not the end of the session. A question (PBT_APMQUERYSUSPEND)
           may still be denied, so only the sleep itself counts. */
        if (wParam == PBT_APMSUSPEND)
            RecordSleep();
        else if ((wParam == PBT_APMRESUMEAUTOMATIC || wParam == PBT_APMRESUMESUSPEND) && RecordWake())
            StartLogCopy();
        return TRUE;

    case UM_RUNCOMMAND:
        RunCommand((int)wParam);
        return 0;

    case UM_SHOWCOMMANDS:
        ShowCommandDialog();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
