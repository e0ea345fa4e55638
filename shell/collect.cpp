/*
 * Morvalen for Windows: the copy of the log to the collection folder.
 *
 * The recorder only starts the usage report from its own folder, which
 * copies the log and its archives, and goes back to its messages: the
 * network may keep the report as long as it likes, and whatever becomes
 * of the copy shows nothing here. The log is written as always first, so
 * recording never depends on the network.
 */
#include "collect.h"
#include "settings.h"
#include "../recorder/logfile.h"

/* The command line: room for three paths, each quoted, and the options. */
const int LineSize = 4 * MAX_PATH + 64;

/* Appends text in double quotes, split back as the report splits its
   command line: backslashes before the closing quote are doubled, or a
   folder ending in one ("D:\") would quote the quote. Only a whole
   character is a backslash; a trail byte 0x5C is part of its letter. */
static bool AppendQuoted(char *line, const char *text)
{
    int length = lstrlenA(line), slashes = 0;
    for (const char *p = text; *p; p++) {
        if (*p == '"')
            return false;
        if (IsDBCSLeadByte((BYTE)*p) && p[1])
            p++, slashes = 0;
        else
            slashes = *p == '\\' ? slashes + 1 : 0;
    }
    if (length + lstrlenA(text) + slashes + 3 >= LineSize)
        return false;
    char *at = line + length;
    *at++ = '"';
    lstrcpyA(at, text);
    at += lstrlenA(text);
    while (slashes--)
        *at++ = '\\';
    *at++ = '"';
    *at = '\0';
    return true;
}

void StartLogCopy()
{
    char program[MAX_PATH], folder[MAX_PATH], log[MAX_PATH], line[LineSize];

    if (!CollectFolder[0])
        return;
    DWORD length = GetModuleFileNameA(NULL, folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return;
    /* The report lies beside the recorder: its folder, then its name. */
    char *name = folder;
    for (char *p = folder; *p; p++) {
        if (IsDBCSLeadByte((BYTE)*p) && p[1])
            p++;
        else if (*p == '\\')
            name = p + 1;
    }
    *name = '\0';
    if (lstrlenA(folder) + lstrlenA(MORVALEN_REPORT_EXE) >= MAX_PATH)
        return;
    lstrcpyA(program, folder);
    lstrcatA(program, MORVALEN_REPORT_EXE);
    length = GetFullPathNameA(LogPath, MAX_PATH, log, NULL);
    if (length == 0 || length >= MAX_PATH)
        return;

    line[0] = '\0';
    if (!AppendQuoted(line, program))
        return;
    lstrcatA(line, " /S /collect:");
    if (!AppendQuoted(line, CollectFolder))
        return;
    lstrcatA(line, " ");
    if (!AppendQuoted(line, log))
        return;

    /* Below normal, so the copy at log-on does not slow the log-on; a
       missing report is no error: there is simply no copy. */
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started;
    if (CreateProcessA(program, line, NULL, NULL, FALSE, BELOW_NORMAL_PRIORITY_CLASS, NULL, folder,
                       &startup, &started)) {
        CloseHandle(started.hThread);
        CloseHandle(started.hProcess);
    }
}
