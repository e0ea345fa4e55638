/*
 * Morvalen for Windows: the command dialog.
 *
 * The chosen command is not run here: the dialog closes first and posts
 * UM_RUNCOMMAND to the hidden window. The maker's link is a static control
 * subclassed for the hand cursor; it turns orange while the pointer is on
 * it and blue as soon as the dialog sees the pointer anywhere else.
 */
#include "cmddlg.h"
#include "commands.h"
#include "mainwnd.h"
#include "../messages/messages.h"

static bool LinkHot;
static HCURSOR HandCursor;      /* loaded at the first opening, then kept */
static WNDPROC LinkDefaultProc;

static LRESULT CALLBACK LinkWndProc(HWND link, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SETCURSOR) {
        SetCursor(HandCursor);
        LinkHot = true;
        InvalidateRect(link, NULL, FALSE);
        return TRUE;
    }
    return CallWindowProcA(LinkDefaultProc, link, message, wParam, lParam);
}

static void InitCommandDialog(HWND dialog)
{
    LinkHot = false;
    /* The previous choice is not remembered. */
    CheckRadioButton(dialog, IDC_SHOWLOG, IDC_QUIT, IDC_SHOWLOG);
    if (!HandCursor)
        HandCursor = LoadCursorA(AppInstance, MAKEINTRESOURCEA(IDC_LINKCURSOR));
    HWND link = GetDlgItem(dialog, IDC_LINK);
    LinkDefaultProc = (WNDPROC)GetWindowLongPtrA(link, GWLP_WNDPROC);
    SetWindowLongPtrA(link, GWLP_WNDPROC, (LONG_PTR)LinkWndProc);
}

/* The auto radio buttons keep one checked; a later one wins. */
static int ChosenCommand(HWND dialog)
{
    int code = CMD_SHOWLOG;
    if (IsDlgButtonChecked(dialog, IDC_INITLOG))
        code = CMD_INITLOG;
    if (IsDlgButtonChecked(dialog, IDC_QUIT))
        code = CMD_QUIT;
    return code;
}

static INT_PTR CALLBACK CommandDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        InitCommandDialog(dialog);
        return TRUE;

    case WM_SETCURSOR:
        /* The link answers its own; this is the pointer anywhere else. */
        if (LinkHot) {
            LinkHot = false;
            InvalidateRect(GetDlgItem(dialog, IDC_LINK), NULL, FALSE);
        }
        return FALSE;

    case WM_CTLCOLORSTATIC:
        /* Only the link is coloured; the labels and radio buttons get the
           dialog's own face. */
        if (GetDlgCtrlID((HWND)lParam) != IDC_LINK)
            return FALSE;
        SetTextColor((HDC)wParam, LinkHot ? RGB(255, 127, 0) : RGB(0, 0, 255));
        SetBkMode((HDC)wParam, TRANSPARENT);
        return (INT_PTR)GetSysColorBrush(COLOR_BTNFACE);

    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_LINK && HIWORD(wParam) == STN_CLICKED) {
            OpenWithShell(MORVALEN_SITE_URL);
            EndDialog(dialog, 1);
            return TRUE;
        }
        if (wParam == IDOK) {
            int code = ChosenCommand(dialog);
            EndDialog(dialog, 1);
            PostMessageA(MainWindow, UM_RUNCOMMAND, code, 0);
            return TRUE;
        }
        if (wParam == IDCANCEL) {
            EndDialog(dialog, 0);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

void ShowCommandDialog()
{
    DialogBoxParamA(AppInstance, MAKEINTRESOURCEA(IDD_COMMANDS), MainWindow, CommandDialogProc, 0);
}
