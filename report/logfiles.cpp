/*
 * Usage report: reading the log files, line by line, into the tally.
 *
 * Two threads share the work: one reads the files in large pieces and
 * takes their lines apart, the other counts the records of the piece
 * before, so the tally's cells, which no cache holds, are waited for
 * while the next piece is read. A file is never held whole; a line longer
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

/* A line read, with where its bytes are in the piece it came in. */
struct Parsed {
    LogLine read;   /* LineRecord, or LineOther for any other line that is not blank */
    int number;
    int at;
    int user;       /* the tally's, once counting has begun */
};

/* What the reading thread hands to the counting one: a piece of one file
   and the lines read in it. */
struct Batch {
    int file;           /* -1: every file has been read */
    bool utf8;          /* the file's names are UTF-8 */
    bool end;           /* the file's last piece */
    std::vector<char> bytes;
    std::vector<Parsed> lines;
};

/* The pieces go round between the two threads in one order, so two
   semaphores are all the hand-over needs: one counts the batches filled,
   the other those free to fill. The reading thread holds two at a time
   (the one it fills, the next that takes the unfinished line), the
   counting thread one. */
const int Batches = 3;

/* The reading side of a file: lines split from its bytes and taken
   apart, its header and its unreadable lines. */
class LineReader {
public:
    LineReader(Reading &reading, int index)
        : reading(reading), index(index), lineNumber(0), titleFirst(false), badCount(0)
    {
    }

    void Line(Batch &batch, const char *line, int length, bool tooLong);
    void End();

private:
    SourceFile &File() { return reading.files[index]; }

    Reading &reading;
    int index;
    int lineNumber;
    bool titleFirst;
    int badCount;
    std::vector<BadLine> bad;
};

/* The counting side of a file: its records judged by their place in it
   and handed to the tally. */
class RecordReader {
public:
    RecordReader(Tally &tally, int index) : tally(tally), index(index), pending(false), lastStart(NoMoment) {}

    void Lines(Batch &batch);
    void End();

private:
    void Line(const Parsed &parsed);
    Record Judge(int user, const LogLine &read, int number);

    Tally &tally;
    int index;
    /* An open record waits for the next line: if there is one, its
       session crashed. */
    bool pending;
    Record pendingRecord;
    /* The last start in order: the next start may not be earlier. */
    int lastStart;
};

}

void LineReader::Line(Batch &batch, const char *line, int length, bool tooLong)
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
    /* Any line that follows an open record settles it. */
    Parsed parsed = {read, lineNumber, 0, -1};
    if (read.kind == LineRecord)
        parsed.at = (int)(line - batch.bytes.data());
    else
        parsed.read.kind = LineOther;
    batch.lines.push_back(parsed);

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

void LineReader::End()
{
    File().lines = lineNumber;
    if (!File().isLog)
        return;
    for (const BadLine &line : bad)
        if (reading.badLines.size() < BadLinesShown)
            reading.badLines.push_back(line);
    reading.badLineCount += badCount;
}

/* The users first, so that each record's cell is asked for a few records
   ahead of its counting: the cells are waited for together, not one by
   one. */
void RecordReader::Lines(Batch &batch)
{
    static const size_t Ahead = 8;
    std::vector<Parsed> &lines = batch.lines;
    for (Parsed &parsed : lines)
        if (parsed.read.kind == LineRecord)
            parsed.user = tally.UserOf(batch.bytes.data() + parsed.at, parsed.read.nameLength,
                                       batch.utf8 ? CP_UTF8 : LogCodePage);
    for (size_t i = 0; i < lines.size(); i++) {
        if (i + Ahead < lines.size() && lines[i + Ahead].user >= 0)
            tally.Prefetch(lines[i + Ahead].user, lines[i + Ahead].read.start);
        Line(lines[i]);
    }
}

void RecordReader::Line(const Parsed &parsed)
{
    const LogLine &read = parsed.read;
    int user = parsed.user;
    if (pending) {
        bool twin = user == pendingRecord.user && read.start == pendingRecord.start;
        tally.AddOpen(pendingRecord, false, twin);
        pending = false;
    }
    if (read.kind != LineRecord)
        return;
    if (read.ended) {
        tally.AddEnded(Judge(user, read, parsed.number));
    } else {
        pending = true;
        pendingRecord = Judge(user, read, parsed.number);
    }
}

/* A record with what its place in the log says of it. */
Record RecordReader::Judge(int user, const LogLine &read, int number)
{
    Record record = {user, read.start, read.ended ? read.end : NoMoment, read.ended ? read.usage : -1, 0,
                     NoMoment, false, index, number};
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

void RecordReader::End()
{
    if (pending)
        tally.AddOpen(pendingRecord, true, false);
    tally.EndFile();
}

namespace {

/* The whole reading: the files read and their lines taken apart on one
   thread, the records counted on the calling one, a piece behind. */
class Pipeline {
public:
    Pipeline(Reading &reading, Tally &tally);
    ~Pipeline();
    void Run();

private:
    static DWORD WINAPI ReadAll(void *self);
    void ReadFiles();
    void ReadFile(int index);
    Batch &Fill();
    void Hand(Batch &batch);
    void Count();
    void Count(Batch &batch);

    Reading &reading;
    Tally &tally;
    Batch batches[Batches];
    HANDLE filled, free;
    HANDLE thread;
    int toFill, toCount;
    /* Without a second thread, each batch is counted as soon as it is read. */
    bool alone;
    /* The file being counted, from its first batch to its last. */
    RecordReader *counting;
};

}

Pipeline::Pipeline(Reading &given, Tally &counted)
    : reading(given), tally(counted), thread(NULL), toFill(0), toCount(0), alone(true), counting(NULL)
{
    for (Batch &batch : batches) {
        batch.bytes.resize(LongestLine + 1 + PieceSize);
        batch.lines.reserve(PieceSize / 64);
    }
    filled = CreateSemaphoreW(NULL, 0, Batches, NULL);
    free = CreateSemaphoreW(NULL, Batches, Batches, NULL);
}

Pipeline::~Pipeline()
{
    if (thread) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
    if (filled)
        CloseHandle(filled);
    if (free)
        CloseHandle(free);
    delete counting;
}

void Pipeline::Run()
{
    if (filled && free)
        thread = CreateThread(NULL, 0, ReadAll, this, 0, NULL);
    alone = !thread;
    if (alone)
        ReadFiles();
    else
        Count();
}

DWORD WINAPI Pipeline::ReadAll(void *self)
{
    ((Pipeline *)self)->ReadFiles();
    return 0;
}

void Pipeline::ReadFiles()
{
    for (int i = 0; i < (int)reading.files.size(); i++)
        ReadFile(i);
    Batch &last = Fill();
    last.file = -1;
    Hand(last);
}

/* The next batch to fill, once the counting thread is done with it. */
Batch &Pipeline::Fill()
{
    if (!alone)
        WaitForSingleObject(free, INFINITE);
    Batch &batch = batches[toFill];
    toFill = (toFill + 1) % Batches;
    batch.lines.clear();
    batch.end = false;
    return batch;
}

void Pipeline::Hand(Batch &batch)
{
    if (!alone) {
        ReleaseSemaphore(filled, 1, NULL);
        return;
    }
    toCount = (toCount + 1) % Batches;
    Count(batch);
}

/* The batches in the order they were filled, up to the end of the
   files. */
void Pipeline::Count()
{
    for (;;) {
        WaitForSingleObject(filled, INFINITE);
        Batch &batch = batches[toCount];
        toCount = (toCount + 1) % Batches;
        Count(batch);
        /* Once given back, the batch is the other thread's. */
        bool last = batch.file < 0;
        ReleaseSemaphore(free, 1, NULL);
        if (last)
            return;
    }
}

/* A file's batches come one after the other, its last marked. */
void Pipeline::Count(Batch &batch)
{
    if (batch.file < 0)
        return;
    if (!counting)
        counting = new RecordReader(tally, batch.file);
    counting->Lines(batch);
    if (batch.end) {
        counting->End();
        delete counting;
        counting = NULL;
    }
}

/* A whole line, its CR cut: too long to be a record however it lies
   against the pieces. */
static void Take(LineReader &reader, Batch &batch, const char *line, int length)
{
    if (length && line[length - 1] == '\r')
        length--;
    reader.Line(batch, line, length, length > LongestLine);
}

void Pipeline::ReadFile(int index)
{
    HANDLE file = OpenShared(reading.files[index].path);
    if (file == INVALID_HANDLE_VALUE) {
        reading.files[index].error = GetLastError();
        return;
    }

    LineReader reader(reading, index);
    Batch *batch = &Fill();
    int kept = 0;           /* an unfinished line carried to the next piece */
    bool tooLong = false;   /* inside a line too long to be a record */
    Text longStart;
    for (;;) {
        batch->file = index;
        DWORD got = 0;
        if (!::ReadFile(file, batch->bytes.data() + kept, PieceSize, &got, NULL)) {
            reading.files[index].error = GetLastError();
            break;
        }
        char *at = batch->bytes.data(), *end = batch->bytes.data() + kept + got;
        if (!got) {
            if (tooLong)
                reader.Line(*batch, longStart.data(), (int)longStart.size(), true);
            else if (kept)
                Take(reader, *batch, at, kept);
            break;
        }
        for (char *stop; (stop = (char *)memchr(at, '\n', end - at)) != NULL; at = stop + 1) {
            if (tooLong) {
                reader.Line(*batch, longStart.data(), (int)longStart.size(), true);
                tooLong = false;
                continue;
            }
            Take(reader, *batch, at, (int)(stop - at));
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
        batch->utf8 = reading.files[index].utf8;
        Batch &next = Fill();
        memcpy(next.bytes.data(), at, kept);
        Hand(*batch);
        batch = &next;
    }
    CloseHandle(file);
    reader.End();
    batch->file = index;
    batch->utf8 = reading.files[index].utf8;
    batch->end = true;
    Hand(*batch);
}

void ReadLogFiles(Reading &reading, Tally &tally)
{
    Pipeline pipeline(reading, tally);
    pipeline.Run();
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
