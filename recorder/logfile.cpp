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

/* Windows still maps the old device names to devices, in any folder, in
   any case and with any extension: "NUL.txt" is the null device. The base
   name is what stands before the first dot, without trailing blanks. */
static bool NamesADevice(const char *path)
{
    static const char devices[][4] = {"CON", "PRN", "AUX", "NUL", "COM", "LPT"};
    const char *base = path;
    char name[sizeof LogPath];
    int length = 0;

    /* A trail byte may be 0x5C; only a whole character separates. */
    for (const char *p = path; *p; p++) {
        if (IsDBCSLeadByte((BYTE)*p) && p[1])
            p++;
        else if (*p == '\\' || *p == '/' || *p == ':')
            base = p + 1;
    }
    while (base[length] && base[length] != '.') {
        name[length] = base[length];
        length++;
    }
    while (length && name[length - 1] == ' ')
        length--;
    /* COM1-COM9 and LPT1-LPT9 are the numbered ones */
    bool numbered = length == 4 && name[3] >= '1' && name[3] <= '9';
    if (length != 3 && !numbered)
        return false;
    name[3] = '\0';
    for (int i = 0; i < 6; i++)
        if ((i >= 4) == numbered && lstrcmpiA(name, devices[i]) == 0)
            return true;
    return false;
}

int OpenLogFile()
{
    if (NamesADevice(LogPath)) {
        SetLastError(ERROR_INVALID_NAME);
        return LogOpenFailed;
    }
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
    int opened = GetLastError() == ERROR_ALREADY_EXISTS ? LogOpenExisted : LogOpenCreated;
    /* Whatever else is not a file on disk (a pipe, a console, a port)
       would take the records and keep none. */
    if (GetFileType(LogFile) != FILE_TYPE_DISK) {
        CloseLogFile();
        SetLastError(ERROR_INVALID_NAME);
        return LogOpenFailed;
    }
    return opened;
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
