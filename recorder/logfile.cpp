/*
 * Morvalen for Windows: the session log.
 *
 * The log is opened without sharing for each write sequence and closed at
 * its end. Between sequences any program may read, copy or edit it; the
 * sequences cope with a log that was deleted or emptied meanwhile.
 */
#include "logfile.h"
#include "logtext.h"
#include "../messages/messages.h"

char LogName[32];
char LogPath[32 + 4];
SYSTEMTIME StartTime;
SYSTEMTIME EndTime;

static HANDLE LogFile = INVALID_HANDLE_VALUE;

/* How long a log held open by another program is waited for. */
enum { SharedRetryWait = 50, SharedRetryCount = 20 };

void SetLogName(HINSTANCE instance, const char *tail)
{
    /* The cut counts bytes and may leave a lone lead byte; the name is
       used raw, blanks and quotes included. */
    wsprintfA(LogName, "%.16s", tail);
    if (LogName[0] == '\0')
        LoadStringA(instance, IDS_DEFAULTLOGNAME, LogName, sizeof LogName);
    lstrcpyA(LogPath, LogName);
    lstrcatA(LogPath, ".txt");
}

void StampStartTime()
{
    GetLocalTime(&StartTime);
}

void StampEndTime()
{
    GetLocalTime(&EndTime);
}

int OpenLogFile()
{
    /* A second recorder writing the same log, or a backup tool reading it,
       holds it only for a moment: wait about a second before giving up. */
    for (int attempt = 0;; attempt++) {
        LogFile = CreateFileA(LogPath, GENERIC_WRITE, 0, NULL, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
        if (LogFile != INVALID_HANDLE_VALUE)
            break;
        if (GetLastError() != ERROR_SHARING_VIOLATION || attempt == SharedRetryCount)
            return LogOpenFailed;
        Sleep(SharedRetryWait);
    }
    return GetLastError() == ERROR_ALREADY_EXISTS ? LogOpenExisted : LogOpenCreated;
}

void AppendLogText(const char *text)
{
    DWORD written;
    SetFilePointer(LogFile, 0, NULL, FILE_END);
    WriteFile(LogFile, text, lstrlenA(text), &written, NULL);
}

void TruncateLogFile()
{
    SetFilePointer(LogFile, 0, NULL, FILE_BEGIN);
    SetEndOfFile(LogFile);
}

void CloseLogFile()
{
    CloseHandle(LogFile);
    LogFile = INVALID_HANDLE_VALUE;
}

void RecordSessionStart()
{
    char text[TextSize];
    int opened = OpenLogFile();

    if (opened == LogOpenFailed) {
        ReportLogOpenFailure();
        return;
    }
    if (opened == LogOpenCreated) {
        FormatLogHeader(text);
        AppendLogText(text);
    }
    FormatStartRecord(text);
    AppendLogText(text);
    CloseLogFile();
}

void RecordSessionEnd()
{
    StampEndTime();
    WriteSessionEnd();
}

void WriteSessionEnd()
{
    char text[TextSize];
    int opened = OpenLogFile();

    if (opened == LogOpenFailed) {
        ReportLogOpenFailure();
        return;
    }
    /* The log was removed during the session: start it again, so the end
       record never stands on a line of its own. */
    if (opened == LogOpenCreated) {
        FormatLogHeader(text);
        AppendLogText(text);
        FormatStartRecord(text);
        AppendLogText(text);
    }
    FormatEndRecord(text);
    AppendLogText(text);
    CloseLogFile();
}

void RewriteLogFile()
{
    char text[TextSize];

    if (OpenLogFile() == LogOpenFailed) {
        ReportLogOpenFailure();
        return;
    }
    TruncateLogFile();
    /* The fresh log begins with the running session's open line. */
    FormatLogHeader(text);
    AppendLogText(text);
    FormatStartRecord(text);
    AppendLogText(text);
    CloseLogFile();
}

/* Dated with the session's start, not the day the archive is made. */
void MakeArchiveName(char *out)
{
    lstrcpyA(out, LogName);
    AppendText(out, TextSize, "_");
    AppendDate(out, &StartTime, "yy'-'MM'-'dd.txt");
}

void ArchiveLogFile()
{
    char archive[TextSize];

    MakeArchiveName(archive);
    /* Never overwrite: a second archive on one start date is reported. */
    if (!CopyFileA(LogPath, archive, TRUE))
        ReportArchiveFailure();
}
