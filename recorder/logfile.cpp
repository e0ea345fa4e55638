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
char LogPath[32 + sizeof LOG_EXTENSION - 1];
SYSTEMTIME StartTime;
SYSTEMTIME EndTime;

static HANDLE LogFile = INVALID_HANDLE_VALUE;

/* What opening the log found. */
enum { LogOpenCreated = 0, LogOpenExisted = 1, LogOpenFailed = 2 };

/* This session's line: open from its start record to its end record. A
   sleep completes it and waking opens the next; the session's end
   completes it for good. So every start record gets exactly one end. */
enum { LineOpen, LineAsleep, LineClosed };
static int SessionLine = LineClosed;
/* The sleep's end record could not be written (the log was held): it is
   written at waking, still with the time the PC went to sleep. */
static bool SleepEndUnwritten;

void SetLogName(HINSTANCE instance, const char *tail)
{
    /* The cut counts bytes and may leave a lone lead byte; the name is
       used raw, blanks and quotes included. */
    wsprintfA(LogName, MORVALEN_LOGNAME_PICTURE, tail);
    if (LogName[0] == '\0')
        LoadStringA(instance, IDS_DEFAULTLOGNAME, LogName, sizeof LogName);
    lstrcpyA(LogPath, LogName);
    lstrcatA(LogPath, LOG_EXTENSION);
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
    static const char plain[][4] = {MORVALEN_PLAIN_DEVICES};
    static const char numbered[][4] = {MORVALEN_NUMBERED_DEVICES};
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
    bool isNumbered = length == 4 && name[3] >= '1' && name[3] <= '9';
    if (length != 3 && !isNumbered)
        return false;
    name[3] = '\0';
    const char(*names)[4] = isNumbered ? numbered : plain;
    int count = isNumbered ? sizeof numbered / sizeof *numbered : sizeof plain / sizeof *plain;
    for (int i = 0; i < count; i++)
        if (lstrcmpiA(name, names[i]) == 0)
            return true;
    return false;
}

static void CloseLogFile()
{
    CloseHandle(LogFile);
    LogFile = INVALID_HANDLE_VALUE;
}

static int OpenLogFile()
{
    if (NamesADevice(LogPath)) {
        SetLastError(ERROR_INVALID_NAME);
        return LogOpenFailed;
    }
    /* A second recorder writing the same log, or a backup tool reading it,
       holds it only for a moment: wait about a second before giving up. */
    for (int attempt = 0;; attempt++) {
        LogFile = CreateFileA(LogPath, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
        if (LogFile != INVALID_HANDLE_VALUE)
            break;
        if (GetLastError() != ERROR_SHARING_VIOLATION || attempt == LogShareRetries)
            return LogOpenFailed;
        Sleep(LogShareRetryMs);
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

static void AppendLogText(const char *text)
{
    DWORD written;
    SetFilePointer(LogFile, 0, NULL, FILE_END);
    WriteFile(LogFile, text, lstrlenA(text), &written, NULL);
}

static void TruncateLogFile()
{
    SetFilePointer(LogFile, 0, NULL, FILE_BEGIN);
    SetEndOfFile(LogFile);
}

/* The report names the log with the system's reason, read before anything
   else can change it. */
static void ReportOpenFailure()
{
    ReportLogOpenFailure(LogPath, GetLastError());
}

void RecordSessionStart()
{
    char text[TextSize];
    SessionLine = LineOpen;
    int opened = OpenLogFile();

    if (opened == LogOpenFailed) {
        ReportOpenFailure();
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

static bool WriteSessionEnd(bool report);

/* The end a sleep could not write, tried again with its report. */
static void WriteLeftOverSleepEnd()
{
    if (SleepEndUnwritten) {
        SleepEndUnwritten = false;
        WriteSessionEnd(true);
    }
}

/* The state changes before anything is written: the open-failure report
   runs a modal loop, in which the next power or session event is heard. */
void RecordSessionEnd()
{
    int line = SessionLine;
    SessionLine = LineClosed;
    if (line == LineOpen) {
        StampEndTime();
        WriteSessionEnd(true);
    } else if (line == LineAsleep) {
        WriteLeftOverSleepEnd();
    }
}

/* Windows sleeps soon after this returns and waits at most 2 s for it, so
   nothing may wait for a person: a log held longer than the retries is
   not reported now but written at waking. */
void RecordSleep()
{
    if (SessionLine != LineOpen)
        return;
    SessionLine = LineAsleep;
    StampEndTime();
    SleepEndUnwritten = !WriteSessionEnd(false);
}

/* The first of the two resume notifications starts the next line, as a
   log-on does; the other, or a resume without a sleep, finds it open. */
bool RecordWake()
{
    if (SessionLine != LineAsleep)
        return false;
    WriteLeftOverSleepEnd();
    StampStartTime();
    RecordSessionStart();
    return true;
}

/*
 * One log may be shared by the sessions of one PC (fast user switching, a
 * remote session beside the console), each with a recorder of its own. So
 * this session's line need not be the last one when it ends: the end record
 * goes onto that line, and whatever follows it moves on. The search reads
 * back from the end and the move copies through one fixed buffer, so a log
 * of any size is handled without a heap.
 */
/* The buffer lives on the stack: a static one would be stored in the exe. */
const DWORD MoveSize = 64 * 1024;

static bool SeekLog(LONGLONG offset)
{
    LARGE_INTEGER at;
    at.QuadPart = offset;
    return SetFilePointerEx(LogFile, at, NULL, FILE_BEGIN) != 0;
}

static bool ReadLog(LONGLONG offset, char *bytes, DWORD count)
{
    DWORD got;
    return SeekLog(offset) && ReadFile(LogFile, bytes, count, &got, NULL) && got == count;
}

static bool WriteLog(LONGLONG offset, const char *bytes, DWORD count)
{
    DWORD written;
    return SeekLog(offset) && WriteFile(LogFile, bytes, count, &written, NULL) && written == count;
}

static void CutLog(LONGLONG size)
{
    if (SeekLog(size))
        SetEndOfFile(LogFile);
}

static bool SameBytes(const char *a, const char *b, DWORD count)
{
    while (count && *a == *b)
        a++, b++, count--;
    return count == 0;
}

/* Where this session's open line ends: the last place where its start
   record stands at the beginning of a line with nothing after it on that
   line. -1 if there is none, or the log cannot be read. */
static LONGLONG FindOpenLine(const char *start, LONGLONG size, char *buffer)
{
    DWORD length = lstrlenA(start);

    /* The common case, a log used by this session alone: the last line. */
    if (size < length)
        return -1;
    if (ReadLog(size - length, buffer, length) && SameBytes(buffer, start, length))
        return size;
    /* Each window [low, high) answers for the lines whose record and the
       line break after it lie wholly inside; the next overlaps it enough
       to answer for the rest. */
    for (LONGLONG high = size;;) {
        LONGLONG low = high > MoveSize ? high - MoveSize : 0;
        if (!ReadLog(low, buffer, (DWORD)(high - low)))
            return -1;
        for (LONGLONG at = high - length - 2; at >= low; at--) {
            const char *here = buffer + (at - low);
            if (here[length] == '\r' && here[length + 1] == '\n' && SameBytes(here, start, length))
                return at + length;
        }
        if (low == 0)
            return -1;
        high = low + length + 1;
    }
}

/* A PC asleep may lose its power before it wakes, and Windows sleeps as
   soon as the notification is answered: an end record goes to the disk,
   not only into the system's cache, before the log is closed. */
static void FinishEndRecord()
{
    FlushFileBuffers(LogFile);
    CloseLogFile();
}

/* Copies count bytes of the log from offset from down to offset to. */
static bool MoveLogDown(LONGLONG from, LONGLONG to, LONGLONG count, char *buffer)
{
    for (LONGLONG done = 0; done < count;) {
        DWORD chunk = count - done < MoveSize ? (DWORD)(count - done) : MoveSize;
        if (!ReadLog(from + done, buffer, chunk) || !WriteLog(to + done, buffer, chunk))
            return false;
        done += chunk;
    }
    return true;
}

/*
 * Puts text into the log at offset where, before the size - where bytes
 * that follow it. Nothing of the old text is touched until the log has
 * grown to its new length by a real write, which is when a full disk or a
 * quota shows. From then on the old text is always whole: below the point
 * the move has reached it stands where it stood, above it one text length
 * further on. If a read or write fails during the move, that is used to
 * put every byte back. False: the log is as it was, and the caller writes
 * the line elsewhere.
 */
static bool InsertLogText(LONGLONG where, const char *text, LONGLONG size, char *buffer)
{
    DWORD length = lstrlenA(text);
    char grown[TextSize];

    /* The bytes that become the log's new last length bytes: the end of
       what follows, or of text itself when less than length follows. */
    LONGLONG from = size - where > length ? size - length : where;
    if (!ReadLog(from, buffer, (DWORD)(size - from)))
        return false;
    for (DWORD i = 0; i < length; i++) {
        LONGLONG at = size + i;
        grown[i] = at < where + length ? text[at - where] : buffer[at - length - from];
    }
    if (!WriteLog(size, grown, length)) {
        CutLog(size);
        return false;
    }

    /* Back to front, so no byte is overwritten before it has moved. */
    LONGLONG high = size - where > length ? size - length : where;
    while (high > where) {
        DWORD chunk = high - where < MoveSize ? (DWORD)(high - where) : MoveSize;
        LONGLONG low = high - chunk;
        bool read = ReadLog(low, buffer, chunk);
        if (!read || !WriteLog(low + length, buffer, chunk)) {
            /* A write that stopped part way may have reached below high. */
            if (read)
                WriteLog(low, buffer, chunk);
            break;
        }
        high = low;
    }
    if (high <= where && WriteLog(where, text, length))
        return true;
    MoveLogDown(high + length, high, size - high, buffer);
    CutLog(size);
    return false;
}

static bool WriteSessionEnd(bool report)
{
    char start[TextSize];
    char text[TextSize];
    int opened = OpenLogFile();

    if (opened == LogOpenFailed) {
        if (report)
            ReportOpenFailure();
        return false;
    }
    FormatStartRecord(start);
    FormatEndRecord(text);
    /* The log was removed during the session: start it again, so the end
       record never stands on a line of its own. */
    if (opened == LogOpenCreated) {
        char header[TextSize];
        FormatLogHeader(header);
        AppendLogText(header);
        AppendLogText(start);
        AppendLogText(text);
        FinishEndRecord();
        return true;
    }

    /* A log emptied during the session takes the end record alone. Any
       other log without this session's open line (initialised by another
       session's recorder, or edited) takes the whole line at its end, so
       an end record never lands on another session's line. */
    LARGE_INTEGER size;
    if (!GetFileSizeEx(LogFile, &size))
        size.QuadPart = -1;
    if (size.QuadPart == 0) {
        AppendLogText(text);
    } else {
        char buffer[MoveSize];
        LONGLONG line = size.QuadPart > 0 ? FindOpenLine(start, size.QuadPart, buffer) : -1;
        if (line > 0 && line == size.QuadPart) {
            AppendLogText(text);
        } else if (line < 0 || !InsertLogText(line, text, size.QuadPart, buffer)) {
            AppendLogText(start);
            AppendLogText(text);
        }
    }
    FinishEndRecord();
    return true;
}

void RewriteLogFile()
{
    char text[TextSize];

    if (OpenLogFile() == LogOpenFailed) {
        ReportOpenFailure();
        return;
    }
    TruncateLogFile();
    /* The fresh log begins with the running session's open line; while the
       PC sleeps that line is complete and stays in the old log alone. */
    FormatLogHeader(text);
    AppendLogText(text);
    if (SessionLine == LineOpen) {
        FormatStartRecord(text);
        AppendLogText(text);
    }
    CloseLogFile();
}

/* Dated with the session's start, not the day the archive is made. */
void MakeArchiveName(char *out)
{
    lstrcpyA(out, LogName);
    AppendText(out, TextSize, LOG_ARCHIVE_MARK);
    AppendDate(out, &StartTime, LOG_ARCHIVE_DATE_PICTURE "'" LOG_EXTENSION "'");
}

void ArchiveLogFile()
{
    char archive[TextSize];

    MakeArchiveName(archive);
    /* Never overwrite: a second archive on one start date is reported. */
    if (!CopyFileA(LogPath, archive, TRUE))
        ReportArchiveFailure(GetLastError());
}
