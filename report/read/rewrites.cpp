/*
 * Usage report: the records of a log that a later copy changed after the
 * collection had them. Each copy the collection kept is compared with the
 * next copy of the same log: the next kept one, else the log itself, with
 * its archives, which hold what an initialised log no longer has. What it
 * changed or deleted is counted as first copied (the kept copy is read
 * first), marked on its day and listed; a new log changes nothing.
 */
#include "report.h"
#include "history.h"

bool ReadAll(const WText &path, Text &bytes, DWORD *error)
{
    bytes.clear();
    HANDLE file = OpenShared(path);
    if (file == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return false;
    }
    LARGE_INTEGER size;
    DWORD got = 0;
    bool read = GetFileSizeEx(file, &size) && size.QuadPart < 0x40000000;
    if (read) {
        bytes.resize((size_t)size.QuadPart);
        read = bytes.empty() || (ReadFile(file, &bytes[0], (DWORD)bytes.size(), &got, NULL) && got == bytes.size());
    }
    *error = read ? 0 : GetLastError() ? GetLastError() : ERROR_READ_FAULT;
    CloseHandle(file);
    return read;
}

static Text Shown(const HistoryRecord &record, UINT codePage)
{
    return Narrow(Widen(record.line, record.length, codePage), CP_UTF8);
}

void FindRewrites(const Reading &reading, Tally &tally)
{
    const std::vector<SourceFile> &files = reading.files;
    for (size_t i = 0; i < files.size(); i++) {
        if (files[i].replaced < 0)
            continue;
        /* The next copy, and the archives between it and the log. */
        WText log = LogOfKept(files[i].path);
        size_t next = i + 1;
        std::vector<size_t> archives;
        for (; next < files.size() && files[next].replaced < 0 && files[next].archive; next++)
            archives.push_back(next);
        bool kept = next < files.size() && files[next].replaced >= 0;
        if (next == files.size() || !SamePath(kept ? LogOfKept(files[next].path) : files[next].path, log))
            continue;
        if (kept)
            archives.clear();
        Text earlierBytes, laterBytes;
        DWORD error;
        if (!ReadAll(files[i].path, earlierBytes, &error) || !ReadAll(files[next].path, laterBytes, &error))
            continue;
        UINT codePage = earlierBytes.compare(0, 3, "\xef\xbb\xbf") ? LogCodePage : CP_UTF8;
        std::vector<HistoryRecord> earlier = HistoryRecords(earlierBytes), later = HistoryRecords(laterBytes);
        std::vector<HistoryChange> changes = HistoryChanges(earlier, later);
        std::vector<Text> archived(archives.size());
        std::vector<HistoryRecord> inArchives;
        for (size_t a = 0; a < archives.size() && !changes.empty(); a++)
            if (ReadAll(files[archives[a]].path, archived[a], &error)) {
                std::vector<HistoryRecord> records = HistoryRecords(archived[a]);
                inArchives.insert(inArchives.end(), records.begin(), records.end());
            }
        for (const HistoryChange &change : changes) {
            /* Not deleted: the log was initialised, and an archive has it. */
            if (!change.later && Continues({*change.earlier}, inArchives))
                continue;
            Rewrite rewrite = {tally.UserOf(change.earlier->line, change.earlier->nameLength, codePage),
                               change.earlier->start, Shown(*change.earlier, codePage),
                               change.later ? Shown(*change.later, codePage) : Text(), (int)i,
                               files[i].replaced};
            tally.AddRewrite(rewrite);
        }
    }
}
