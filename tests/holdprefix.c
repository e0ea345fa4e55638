/*
 * Holds the test prefix's desktop up for a whole test run. Wine ends the
 * desktop (explorer) some 0.7 s after the last program of the prefix
 * exits and starts it again for the next: a test program starting while
 * it goes could die in its start-up with nothing said under
 * WINEDEBUG=-all. Started once by scripts/test; the wineserver ends it.
 */
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR tail, int show)
{
    (void)instance;
    (void)previous;
    (void)tail;
    (void)show;
    /* Joining the desktop is what keeps it: a program with no window
       counts as its user as long as it runs. */
    GetDesktopWindow();
    Sleep(INFINITE);
    return 0;
}
