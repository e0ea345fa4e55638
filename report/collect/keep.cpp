/*
 * Usage report: keeping a copy that the next one does not continue. The
 * copy is renamed, not written again, so its bytes and times stay as they
 * reached the folder, and its copy's time record goes with it; a name
 * already taken is never replaced: the next number is tried. The user who copies may also delete, so the README
 * points to the file server's own protection as well.
 */
#include "keep.h"
#include "history.h"
#include "calendar.h"
#include "copytime.h"
#include "report.h"

/* A report reading the copy holds it for a moment. */
const int KeepTries = 20;
const DWORD KeepRetryMs = 100;
/* Copies kept in one minute before giving up. */
const int MostKeptInAMinute = 99;

/* The whole file, or false with error set; a file not there is empty. */
static bool ReadCopy(const WText &path, Text &bytes, DWORD *error)
{
    return ReadAll(path, bytes, error) || *error == ERROR_FILE_NOT_FOUND;
}

static bool Keep(const WText &copy, DWORD *error)
{
    int now = CurrentMoment();
    for (int n = 1, tries = 0; n <= MostKeptInAMinute;) {
        WText kept = KeptName(copy, now, n);
        if (MoveFileExW(copy.c_str(), kept.c_str(), MOVEFILE_WRITE_THROUGH)) {
            /* Its copy's time goes with it: how far its open line ran. */
            MoveFileExW(CopyTimePath(copy).c_str(), CopyTimePath(kept).c_str(), MOVEFILE_WRITE_THROUGH);
            return true;
        }
        *error = GetLastError();
        if (*error == ERROR_ALREADY_EXISTS || *error == ERROR_FILE_EXISTS)
            n++;
        else if ((*error != ERROR_ACCESS_DENIED && *error != ERROR_SHARING_VIOLATION) || ++tries == KeepTries)
            return false;
        else
            Sleep(KeepRetryMs);
    }
    return false;
}

bool KeepHistory(const WText &copy, const Text &bytes, const std::vector<WText> &archives, DWORD *error)
{
    Text previous;
    if (!ReadCopy(copy, previous, error))
        return false;
    if (previous.empty() || previous == bytes)
        return true;
    std::vector<HistoryRecord> earlier = HistoryRecords(previous), later = HistoryRecords(bytes);
    if (Continues(earlier, later))
        return true;
    /* Initialised: the earlier records are in an archive, the log goes on
       after them. */
    if (!archives.empty()) {
        std::vector<Text> texts(archives.size());
        std::vector<HistoryRecord> all;
        for (size_t i = 0; i < archives.size(); i++) {
            DWORD ignored;
            if (ReadCopy(archives[i], texts[i], &ignored)) {
                std::vector<HistoryRecord> records = HistoryRecords(texts[i]);
                all.insert(all.end(), records.begin(), records.end());
            }
        }
        all.insert(all.end(), later.begin(), later.end());
        if (Continues(earlier, all))
            return true;
    }
    return Keep(copy, error);
}
