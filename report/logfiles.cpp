/*
 * Usage report: reading one log file, line by line, into the tally.
 *
 * The file is read in large pieces and never held whole; a line longer
 * than any record can be is kept only by its start, so a binary file or a
 * line of 100 KB costs no more than a normal one. Lines end with CRLF, or
 * LF after an editor has been at them. A file with neither a header nor a
 * record is not a log: it is named in the report and its lines are not
 * listed as unreadable.
 *
 * The recorder appends each start record when the session starts, so a
 * log's starts come in time order. A start earlier than the last one in
 * order before it (or than its end, where the clock was set back during
 * that session), or later than the report's time (an end too), is a
 * clock fault: a PC whose clock battery failed starts at the BIOS's date
 * until Windows sets the time. Such a line is named, never corrected.
 */
#include "report.h"
#include "logline.h"
#include "../recorder/loglayout.h"

#include <algorithm>
#include <cstring>

static const DWORD PieceSize = 1 << 20;
static const int LongestLine = 1024;
static const int ShownBytes = 80;

/* One buffer for every file. At file scope: a function's static would
   need the C++ library's guard, which brings its exceptions along. */
static std::vector<char> Piece;

/* The recorder holds the log for a moment while it writes; wait about a
   second for it, as the recorder itself waits for a reader. */
static HANDLE OpenShared(const WText &path)
{
    for (int attempt = 0;; attempt++) {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  NULL, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, NULL);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_SHARING_VIOLATION ||
            attempt == LogShareRetries)
            return file;
        Sleep(LogShareRetryMs);
    }
}

/* The start of an unreadable line as the page shows it. */
static Text ShownText(const char *line, int length, UINT codePage)
{
    WText wide = Widen(line, length < ShownBytes ? length : ShownBytes, codePage);
    for (wchar_t &c : wide)
        if (c < L' ')
            c = 0xFFFD;
    return Narrow(wide, CP_UTF8);
}

namespace {

class LogReader {
public:
    LogReader(Reading &reading, int index, Tally &tally)
        : reading(reading), index(index), tally(tally), lineNumber(0), titleFirst(false),
          pending(false), lastStart(NoMoment), badCount(0)
    {
    }

    void Line(const char *line, int length, bool tooLong);
    void End();

private:
    SourceFile &File() { return reading.files[index]; }
    Record Judge(int user, const LogLine &read);

    Reading &reading;
    int index;
    Tally &tally;
    int lineNumber;
    bool titleFirst;
    /* An open record waits for the next line: if there is one, its
       session crashed. */
    bool pending;
    Record pendingRecord;
    /* The last start in order: the next start may not be earlier. */
    int lastStart;
    int badCount;
    std::vector<BadLine> bad;
};

}

void LogReader::Line(const char *line, int length, bool tooLong)
{
    static const char bom[] = "\xef\xbb\xbf";
    SourceFile &file = File();
    if (++lineNumber == 1 && length >= 3 && memcmp(line, bom, 3) == 0) {
        file.utf8 = true;
        line += 3;
        length -= 3;
    }
    LogLine read = {LineOther, 0, 0, false, 0, -1};
    if (!tooLong)
        read = ReadLogLine(line, length);
    if (read.kind == LineBlank)
        return;
    int user = -1;
    if (read.kind == LineRecord)
        user = tally.UserOf(line, read.nameLength, file.utf8 ? CP_UTF8 : LogCodePage);
    if (pending) {
        bool twin = user == pendingRecord.user && read.start == pendingRecord.start;
        tally.AddOpen(pendingRecord, false, twin);
        pending = false;
    }

    switch (read.kind) {
    case LineTitle:
        file.isLog = true;
        if (lineNumber == 1) {
            titleFirst = true;
            /* ログ in UTF-8: the log was saved again in that code page. */
            static const char log[] = "\xe3\x83\xad\xe3\x82\xb0";
            file.utf8 = file.utf8 || std::search(line, line + length, log, log + 6) != line + length;
        }
        break;
    case LineRecord:
        file.isLog = true;
        if (read.ended) {
            tally.AddEnded(Judge(user, read));
        } else {
            pending = true;
            pendingRecord = Judge(user, read);
        }
        break;
    case LineOther:
        /* Under another code page the column titles are not ours to
           recognise; they are the third line after a title all the same. */
        if (lineNumber == 3 && titleFirst)
            break;
        if (bad.size() < BadLinesShown) {
            BadLine shown = {index, lineNumber,
                             ShownText(line, length, file.utf8 ? CP_UTF8 : LogCodePage)};
            bad.push_back(shown);
        }
        badCount++;
        break;
    default:
        break;
    }
}

/* A record with what its place in the log says of it. */
Record LogReader::Judge(int user, const LogLine &read)
{
    Record record = {user, read.start, read.ended ? read.end : NoMoment, read.ended ? read.usage : -1, 0,
                     NoMoment, false, index, lineNumber};
    int now = tally.now;
    if (read.start < lastStart || read.start > now || (read.ended && read.end > now) ||
        tally.KnownFault(user, read.start)) {
        record.flags = MarkClockFault;
        record.endInOrder = read.ended && read.end >= lastStart && read.end <= now;
        record.place = record.endInOrder ? read.end : lastStart;
        return record;
    }
    /* The clock set back during the session is seen in the log: the
       next start may be as early as this end, but not before the start
       in order before it. */
    lastStart = read.ended && read.end < read.start ? std::max(read.end, lastStart) : read.start;
    if (read.ended && read.usage != WrittenUsage(read.start, read.end))
        record.flags = MarkMismatch;
    return record;
}

void LogReader::End()
{
    if (pending)
        tally.AddOpen(pendingRecord, true, false);
    tally.EndFile();
    File().lines = lineNumber;
    if (!File().isLog)
        return;
    for (const BadLine &line : bad)
        if (reading.badLines.size() < BadLinesShown)
            reading.badLines.push_back(line);
    reading.badLineCount += badCount;
}

/* A whole line, its CR cut: too long to be a record however it lies
   against the pieces. */
static void Take(LogReader &reader, const char *line, int length)
{
    if (length && line[length - 1] == '\r')
        length--;
    reader.Line(line, length, length > LongestLine);
}

void ReadLogFile(Reading &reading, int index, Tally &tally)
{
    HANDLE file = OpenShared(reading.files[index].path);
    if (file == INVALID_HANDLE_VALUE) {
        reading.files[index].error = GetLastError();
        return;
    }

    LogReader reader(reading, index, tally);
    std::vector<char> &piece = Piece;
    piece.resize(LongestLine + 1 + PieceSize);
    int kept = 0;           /* an unfinished line carried to the next piece */
    bool tooLong = false;   /* inside a line too long to be a record */
    Text longStart;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, piece.data() + kept, PieceSize, &got, NULL)) {
            reading.files[index].error = GetLastError();
            break;
        }
        char *at = piece.data(), *end = piece.data() + kept + got;
        if (!got) {
            if (tooLong)
                reader.Line(longStart.data(), (int)longStart.size(), true);
            else if (kept)
                Take(reader, at, kept);
            break;
        }
        for (char *stop; (stop = (char *)memchr(at, '\n', end - at)) != NULL; at = stop + 1) {
            if (tooLong) {
                reader.Line(longStart.data(), (int)longStart.size(), true);
                tooLong = false;
                continue;
            }
            Take(reader, at, (int)(stop - at));
        }
        /* Carried whole up to the longest a line can be and its CR; past
           that only its start is kept, and it cannot be a record. */
        kept = (int)(end - at);
        if (!tooLong && kept > LongestLine + 1) {
            tooLong = true;
            longStart.assign(at, ShownBytes);
        }
        if (tooLong)
            kept = 0;
        else
            memmove(piece.data(), at, kept);
    }
    CloseHandle(file);
    reader.End();
}

/* The file's last line, if it is a start record without its end: a
   session that may be still running, whose completed copy the tally must
   know even when that copy lies before the range. */
void ExpectLastLine(const Reading &reading, int index, Tally &tally)
{
    HANDLE file = OpenShared(reading.files[index].path);
    if (file == INVALID_HANDLE_VALUE)
        return;
    LARGE_INTEGER size;
    char tail[4 * LongestLine];
    DWORD got = 0;
    if (GetFileSizeEx(file, &size)) {
        LONGLONG from = std::max(size.QuadPart - (LONGLONG)sizeof tail, 0LL);
        LARGE_INTEGER at;
        at.QuadPart = from;
        if (!SetFilePointerEx(file, at, NULL, FILE_BEGIN) || !ReadFile(file, tail, sizeof tail, &got, NULL))
            got = 0;
    }
    CloseHandle(file);
    /* Blank lines after it do not count. */
    int end = (int)got;
    while (end > 0) {
        int start = end;
        while (start > 0 && tail[start - 1] != '\n')
            start--;
        int length = end - start;
        if (length && tail[start + length - 1] == '\r')
            length--;
        LogLine read = ReadLogLine(tail + start, length);
        if (read.kind == LineRecord && !read.ended)
            tally.ExpectOpen(read.start);
        if (read.kind != LineBlank)
            return;
        end = start - 1;
    }
}
