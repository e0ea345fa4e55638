/*
 * Morvalen for Windows: string loading and the error reports.
 * A report is the system's sentence for the last error followed by our own,
 * reflowed at 60 characters and shown in a box captioned IDS_APPTITLE.
 */
#include "messages.h"

/* Until the hidden window exists AppInstance is unset; the texts needed
   then come from our own module all the same. */
void LoadText(UINT id, char *out, int size)
{
    HINSTANCE module = AppInstance ? AppInstance : GetModuleHandleA(NULL);
    if (LoadStringA(module, id, out, size) <= 0)
        out[0] = '\0';
}

/* Appends as much of piece as fits in size bytes with the terminator,
   stopping before a double-byte character rather than splitting it. */
void AppendText(char *out, int size, const char *piece)
{
    int used = lstrlenA(out);
    while (*piece) {
        int step = (IsDBCSLeadByte((BYTE)piece[0]) && piece[1]) ? 2 : 1;
        if (used + step >= size)
            break;
        while (step--)
            out[used++] = *piece++;
    }
    out[used] = '\0';
}

/* The reflow passes no arguments, so %1 to %99 must never reach it: a log
   name from the command line can carry one. Nor may %0, which ends the
   text there, losing the rest of the name and our own sentence. */
static bool CallsForInsert(const char *text)
{
    for (const char *p = text; *p; p++) {
        if (IsDBCSLeadByte((BYTE)p[0]) && p[1]) {
            p++;
        } else if (p[0] == '%') {
            if (p[1] >= '0' && p[1] <= '9')
                return true;
            if (p[1])
                p++;        /* %%, %n and the like are whole escapes */
        }
    }
    return false;
}

void ComposeSystemErrorText(char *out, const char *suffix)
{
    DWORD code = GetLastError();
    char *system = NULL;
    char *flowed = NULL;

    out[0] = '\0';
    /* Some system sentences carry %1 themselves; take them as they stand. */
    if (FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                           FORMAT_MESSAGE_IGNORE_INSERTS,
                       NULL, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                       (LPSTR)&system, 0, NULL) && system)
        AppendText(out, TextSize, system);
    if (system)
        LocalFree(system);
    AppendText(out, TextSize, suffix);

    /* Reflow at 60 characters; if that cannot be done, show the text as
       composed rather than nothing. */
    if (CallsForInsert(out))
        return;
    if (FormatMessageA(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ALLOCATE_BUFFER | 60,
                       out, 0, 0, (LPSTR)&flowed, 0, NULL) && flowed) {
        out[0] = '\0';
        AppendText(out, TextSize, flowed);
    }
    if (flowed)
        LocalFree(flowed);
}

/* Loading the caption and the suffix must not disturb the error code the
   report is about, so the caller reads it first and it is put back before
   composing. */
static void ShowErrorReport(DWORD code, const char *suffix)
{
    char caption[TextSize];
    char text[TextSize];

    LoadText(IDS_APPTITLE, caption, TextSize);
    SetLastError(code);
    ComposeSystemErrorText(text, suffix);
    MessageBoxA(MainWindow, text, caption, MB_ICONERROR);
}

void ReportLogOpenFailure(const char *path, DWORD code)
{
    char suffix[TextSize];
    char sentence[TextSize];

    suffix[0] = '\0';
    AppendText(suffix, TextSize, path);
    LoadText(IDS_CANNOTOPEN, sentence, TextSize);
    AppendText(suffix, TextSize, sentence);
    ShowErrorReport(code, suffix);
}

void ReportArchiveFailure(DWORD code)
{
    char sentence[TextSize];

    LoadText(IDS_ARCHIVEFAILED, sentence, TextSize);
    ShowErrorReport(code, sentence);
}
