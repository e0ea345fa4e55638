/*
 * Morvalen for Windows: the hidden session window.
 *
 * Creating it starts the session record. The recorder then idles at idle
 * priority and returns to normal priority whenever it has work that must
 * not be starved: the end of the session, and its own destruction.
 */
#include "mainwnd.h"
#include "cmddlg.h"
#include "commands.h"
#include "../messages/messages.h"
#include "../recorder/logfile.h"

bool RegisterMainWindowClass(HINSTANCE instance)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = MainWndProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = MAIN_WINDOW_CLASS;
    return RegisterClassA(&windowClass) != 0;
}

bool CreateMainWindow(HINSTANCE instance, int show)
{
    (void)show;
    HWND window = CreateWindowExA(0, MAIN_WINDOW_CLASS, MAIN_WINDOW_TITLE, WS_POPUP,
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
    SetBackgroundPriority(true);
    return true;
}

void SetBackgroundPriority(bool idle)
{
    SetPriorityClass(GetCurrentProcess(), idle ? IDLE_PRIORITY_CLASS : NORMAL_PRIORITY_CLASS);
    SetThreadPriority(GetCurrentThread(), idle ? THREAD_PRIORITY_IDLE : THREAD_PRIORITY_NORMAL);
}

/* Runs on the one thread, also from inside the modal loops of the dialog
   and the message boxes: a session can end while one of them is open. */
LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DESTROY:
        /* Also posted by a launch with /install or /uninstall. */
        SetBackgroundPriority(false);
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

    case UM_RUNCOMMAND:
        RunCommand((int)wParam);
        return 0;

    case UM_SHOWCOMMANDS:
        ShowCommandDialog();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
