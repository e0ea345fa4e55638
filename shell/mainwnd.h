/*
 * Morvalen for Windows: the hidden session window. Later launches find it
 * by class and title, Windows sends it the session-end notifications, and
 * the private messages come to it.
 */
#ifndef MORVALEN_MAINWND_H
#define MORVALEN_MAINWND_H

#include <windows.h>

#define MAIN_WINDOW_CLASS "MorvalenWindowClass"
#define MAIN_WINDOW_TITLE "Morvalen Application"

/* wParam: a command code; lParam: 0. Posted by the command dialog. */
#define UM_RUNCOMMAND   (WM_USER + 100)
/* Both parameters 0. Posted by a later launch of the program. */
#define UM_SHOWCOMMANDS (WM_USER + 101)

bool RegisterMainWindowClass(HINSTANCE instance);
bool CreateMainWindow(HINSTANCE instance, int show);
void SetBackgroundPriority(bool idle);
LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

#endif
