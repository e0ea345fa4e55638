/*
 * The floor for the footprint benchmark: the least a hidden-window
 * program can be. It registers a class, creates a WS_POPUP window that
 * is never shown, and waits in GetMessage until WM_DESTROY.
 */
#include <windows.h>

#define FLOOR_CLASS "MorvalenFloorClass"
#define FLOOR_TITLE "Morvalen Floor"

static LRESULT CALLBACK FloorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR line, int show)
{
    WNDCLASSA windowClass = {0};
    MSG message;

    (void)previous;
    (void)line;
    (void)show;
    windowClass.lpfnWndProc = FloorProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = FLOOR_CLASS;
    if (!RegisterClassA(&windowClass))
        return 1;
    if (!CreateWindowExA(0, FLOOR_CLASS, FLOOR_TITLE, WS_POPUP, 0, 0, 0, 0,
                         NULL, NULL, instance, NULL))
        return 1;
    while (GetMessageA(&message, NULL, 0, 0) > 0)
        DispatchMessageA(&message);
    return (int)message.wParam;
}
