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
 * until Windows sets the time. So is a line whose end is more than a
 * year after its start, wherever it stands, a log's first line too: no
 * PC stays in one session that long (Windows' monthly updates restart
 * it). Such a line is named, never corrected.
 */
#include "report.h"
#include "handover.h"
#include "logline.h"
#include "../../recorder/loglayout.h"

#include <algorithm>
#include <cstring>

/* Three pieces are in memory at once (being read, waiting, being
   counted), each with the lines read in it. */
static const DWORD PieceSize = 1 << 19;
static const int LongestLine = 1024;
static const int ShownBytes = 80;
/* The longest a session can be. */
static const int LongestSession = 366 * MinutesPerDay;

/* The recorder holds the log for a moment while it writes; wait about a
   second for it, as the recorder itself waits for a reader. */
HANDLE OpenShared(const WText &path)
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

/* A line read, with where its bytes are in the batch it came in; or the
   end of its file (kind LineBlank). */
struct Parsed {
    LogLine read;   /* LineRecord, or LineOther for any other line that is not blank */
    int file;
    int number;
    int at;
    bool utf8;      /* the file's names are UTF-8 */
    int user;       /* the tally's, once counting has begun */
};

/* What the reading thread hands to the counting one: pieces of files, one
   after the other, and the lines read in them. A batch goes over when it
   is full, so that a thousand small files cost a few hand-overs, not a
   thousand: each is a round trip through Wine's server. */
struct Batch {
    bool last;          /* every file has been read */
    size_t used;        /* the bytes of the lines read */
    std::vector<char> bytes;
    std::vector<Parsed> lines;
};

/* The batches go round between the two threads in one order, so two
   counts are all the hand-over needs: the batches filled, and those free
   to fill. The reading thread holds two at a time
   (the one it fills, the next that takes the unfinished line), the
   counting thread one. */
const int Batches = 3;
/* Less room than this left in a batch, and it is handed over. */
const DWORD LeastRead = 64 * 1024;

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
    RecordReader(Tally &tally, int index, int &newest, bool kept)
        : tally(tally), index(index), newest(newest), kept(kept), pending(false), lastStart(NoMoment) {}

    void Line(const Parsed &parsed);
    void End();

private:
    Record Judge(int user, const LogLine &read, int number);

    Tally &tally;
    int index;
    /* The file's latest stamp that a wrong clock did not make. */
    int &newest;
    /* A kept copy, replaced by a log that did not continue it: its last
       open record is not running unless the log says so. */
    bool kept;
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
    Parsed parsed = {read, index, lineNumber, 0, file.utf8, -1};
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
        (read.ended && read.end - read.start > LongestSession) || tally.KnownFault(user, read.start)) {
        record.flags = MarkClockFault;
        record.endInOrder = read.ended && read.end >= lastStart && read.end <= now;
        record.place = record.endInOrder ? read.end : lastStart;
        if (record.endInOrder)
            newest = std::max(newest, read.end);
        return record;
    }
    /* The clock set back during the session is seen in the log: the
       next start may be as early as this end, but not before the start
       in order before it. */
    lastStart = read.ended && read.end < read.start ? std::max(read.end, lastStart) : read.start;
    if (read.ended && read.usage != WrittenUsage(read.start, read.end))
        record.flags = MarkMismatch;
    newest = std::max(newest, read.ended ? std::max(read.start, read.end) : read.start);
    return record;
}

void RecordReader::End()
{
    if (pending)
        tally.AddOpen(pendingRecord, true, false, kept);
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
    Batch *ReadFile(Batch &batch, int index);
    Batch &Fill();
    void Hand(Batch &batch);
    void Count();
    void Count(Batch &batch);

    Reading &reading;
    Tally &tally;
    Batch batches[Batches];
    Handover filled, free;
    HANDLE thread;
    int toFill, toCount;
    /* Without a second thread, each batch is counted as soon as it is read. */
    bool alone;
    /* The file being counted, from its first batch to its last. */
    RecordReader *counting;
};

}

Pipeline::Pipeline(Reading &given, Tally &counted)
    : reading(given), tally(counted), filled(0), free(Batches), thread(NULL), toFill(0), toCount(0),
      alone(true), counting(NULL)
{
    for (Batch &batch : batches) {
        batch.bytes.resize(LongestLine + 1 + PieceSize);
        batch.lines.reserve(PieceSize / 64);
    }
}

Pipeline::~Pipeline()
{
    if (thread) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
    delete counting;
}

void Pipeline::Run()
{
    /* Known before the thread runs: it reads it at once. */
    alone = false;
    thread = CreateThread(NULL, 0, ReadAll, this, 0, NULL);
    if (thread) {
        Count();
    } else {
        alone = true;
        ReadFiles();
    }
}

DWORD WINAPI Pipeline::ReadAll(void *self)
{
    ((Pipeline *)self)->ReadFiles();
    return 0;
}

void Pipeline::ReadFiles()
{
    Batch *batch = &Fill();
    for (int i = 0; i < (int)reading.files.size(); i++)
        batch = ReadFile(*batch, i);
    batch->last = true;
    Hand(*batch);
}

/* The next batch to fill, once the counting thread is done with it. */
Batch &Pipeline::Fill()
{
    if (!alone)
        free.Take();
    Batch &batch = batches[toFill];
    toFill = (toFill + 1) % Batches;
    batch.lines.clear();
    batch.last = false;
    batch.used = 0;
    return batch;
}

void Pipeline::Hand(Batch &batch)
{
    if (!alone) {
        filled.Give();
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
        filled.Take();
        Batch &batch = batches[toCount];
        toCount = (toCount + 1) % Batches;
        Count(batch);
        /* Once given back, the batch is the other thread's. */
        bool last = batch.last;
        free.Give();
        if (last)
            return;
    }
}

/* The files' lines come one file after the other, each closed by its
   end. The users are found first, so that each record's cell is asked
   for a few records ahead of its counting: the cells are waited for
   together, not one by one. */
void Pipeline::Count(Batch &batch)
{
    static const size_t Ahead = 8;
    std::vector<Parsed> &lines = batch.lines;
    for (Parsed &parsed : lines)
        if (parsed.read.kind == LineRecord)
            parsed.user = tally.UserOf(batch.bytes.data() + parsed.at, parsed.read.nameLength,
                                       parsed.utf8 ? CP_UTF8 : LogCodePage);
    for (size_t i = 0; i < lines.size(); i++) {
        if (i + Ahead < lines.size() && lines[i + Ahead].user >= 0)
            tally.Prefetch(lines[i + Ahead].user, lines[i + Ahead].read.start);
        if (!counting)
            counting = new RecordReader(tally, lines[i].file, reading.files[lines[i].file].newest,
                                        reading.files[lines[i].file].replaced >= 0);
        if (lines[i].read.kind != LineBlank) {
            counting->Line(lines[i]);
            continue;
        }
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

/* The file's lines into the batch, and into the next ones when it is
   full; the batch being filled when the file ends. */
Batch *Pipeline::ReadFile(Batch &first, int index)
{
    Batch *batch = &first;
    HANDLE file = OpenShared(reading.files[index].path);
    if (file == INVALID_HANDLE_VALUE) {
        reading.files[index].error = GetLastError();
        return batch;
    }

    LineReader reader(reading, index);
    size_t kept = 0;        /* an unfinished line, after the batch's lines */
    bool tooLong = false;   /* inside a line too long to be a record */
    Text longStart;
    for (;;) {
        DWORD room = (DWORD)std::min(batch->bytes.size() - batch->used - kept, (size_t)PieceSize);
        if (room < LeastRead) {
            Batch &next = Fill();
            memcpy(next.bytes.data(), batch->bytes.data() + batch->used, kept);
            Hand(*batch);
            batch = &next;
            continue;
        }
        char *at = batch->bytes.data() + batch->used, *end = at + kept;
        DWORD got = 0;
        if (!::ReadFile(file, end, room, &got, NULL)) {
            reading.files[index].error = GetLastError();
            break;
        }
        end += got;
        if (!got) {
            if (tooLong)
                reader.Line(*batch, longStart.data(), (int)longStart.size(), true);
            else if (kept)
                Take(reader, *batch, at, (int)kept);
            batch->used += kept;
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
        batch->used = at - batch->bytes.data();
        /* Carried whole up to the longest a line can be and its CR; past
           that only its start is kept, and it cannot be a record. */
        kept = end - at;
        if (!tooLong && kept > (size_t)LongestLine + 1) {
            tooLong = true;
            longStart.assign(at, ShownBytes);
        }
        if (tooLong)
            kept = 0;
    }
    CloseHandle(file);
    reader.End();
    Parsed end = {{LineBlank, 0, 0, false, 0, -1}, index, 0, 0, false, -1};
    batch->lines.push_back(end);
    return batch;
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
