/*
 * Morvalen for Windows: show the log, initialise it, quit.
 * The two commands that change something ask first; only Yes counts.
 */
#include "commands.h"
#include "collect.h"
#include "../messages/messages.h"
#include "../recorder/logfile.h"

/* Opens a file or a web page with the program the system associates with
   it. shell32 is loaded only now: loaded at start, with all it brings,
   it took longer than the rest of the recorder's start. It stays loaded,
   since the shell may keep threads of its own running in it. */
bool OpenWithShell(const char *target)
{
    typedef HINSTANCE(WINAPI * ShellExecuteFunction)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
    HMODULE shell = LoadLibraryA("shell32.dll");
    ShellExecuteFunction execute =
        shell ? (ShellExecuteFunction)(void *)GetProcAddress(shell, "ShellExecuteA") : NULL;
    return execute && (INT_PTR)execute(GetDesktopWindow(), NULL, target, NULL, NULL, SW_SHOWNORMAL) > 32;
}

static bool AskYesNo(const char *question)
{
    char caption[TextSize];
    LoadText(IDS_APPTITLE, caption, TextSize);
    return MessageBoxA(MainWindow, question, caption, MB_ICONWARNING | MB_YESNO) == IDYES;
}

static void ShowLogCommand()
{
    /* A log deleted by hand is written afresh so there is something to
       show; a missing directory is left for the open to report. */
    if (GetFileAttributesA(LogPath) == INVALID_FILE_ATTRIBUTES &&
        GetLastError() == ERROR_FILE_NOT_FOUND)
        RewriteLogFile();
    if (!OpenWithShell(LogPath))
        ReportLogOpenFailure(LogPath, GetLastError());
}

static void InitializeLogCommand()
{
    char question[TextSize];
    char piece[TextSize];

    LoadText(IDS_ARCHIVEASK1, question, TextSize);
    MakeArchiveName(piece);
    AppendText(question, TextSize, piece);
    LoadText(IDS_ARCHIVEASK2, piece, TextSize);
    AppendText(question, TextSize, piece);
    if (!AskYesNo(question))
        return;
    /* A failed copy has been reported and the initialisation goes on. */
    ArchiveLogFile();
    RewriteLogFile();
    /* The archive goes to the collection folder with the new log. */
    StartLogCopy();
}

static void QuitCommand()
{
    char question[TextSize];

    LoadText(IDS_QUITASK, question, TextSize);
    if (AskYesNo(question)) {
        DestroyWindow(MainWindow);      /* WM_DESTROY records the end */
        StartLogCopy();
    }
}

void RunCommand(int code)
{
    switch (code) {
    case CMD_SHOWLOG:
        ShowLogCommand();
        break;
    case CMD_INITLOG:
        InitializeLogCommand();
        break;
    case CMD_QUIT:
        QuitCommand();
        break;
    }
}
