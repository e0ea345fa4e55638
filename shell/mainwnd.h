/*
 * Morvalen for Windows: the hidden session window. Later launches find it
 * by class and title, Windows sends it the session-end notifications, and
 * the private messages come to it.
 */
#ifndef MORVALEN_MAINWND_H
#define MORVALEN_MAINWND_H

#include <windows.h>
#include "identity.h"

/* wParam: a command code; lParam: 0. Posted by the command dialog. */
#define UM_RUNCOMMAND   (WM_USER + 100)
/* Both parameters 0. Posted by a later launch of the program. */
#define UM_SHOWCOMMANDS (WM_USER + 101)

bool RegisterMainWindowClass(HINSTANCE instance);
/* Creates the hidden window, which starts the session record. */
bool CreateMainWindow(HINSTANCE instance);

#endif
