/*
 * Usage report: comparing a log's copies. Records are compared by what
 * they say (the user's bytes, the start, the end and the usage field as
 * written), so that a line the recorder completed or moved on is the same
 * record, and a line edited by hand is not.
 */
#include "history.h"
#include "logline.h"
#include "calendar.h"
#include "../../recorder/loglayout.h"

#include <algorithm>
#include <cstring>

std::vector<HistoryRecord> HistoryRecords(const Text &bytes)
{
    std::vector<HistoryRecord> records;
    const char *at = bytes.data(), *end = at + bytes.size();
    /* A log saved again as UTF-8 begins with its mark. */
    if (bytes.compare(0, 3, "\xef\xbb\xbf") == 0)
        at += 3;
    while (at < end) {
        const char *stop = (const char *)memchr(at, '\n', end - at);
        const char *next = stop ? stop + 1 : end;
        int length = (int)((stop ? stop : end) - at);
        if (length && at[length - 1] == '\r')
            length--;
        LogLine read = ReadLogLine(at, length);
        if (read.kind == LineRecord)
            records.push_back({at, length, read.nameLength, read.start, read.ended, read.end, read.usage});
        at = next;
    }
    return records;
}

static bool SameStart(const HistoryRecord &a, const HistoryRecord &b)
{
    return a.start == b.start && a.nameLength == b.nameLength && memcmp(a.line, b.line, a.nameLength) == 0;
}

/* later is earlier, or earlier with the end the recorder wrote since. */
static bool Kept(const HistoryRecord &earlier, const HistoryRecord &later)
{
    return SameStart(earlier, later) &&
           (!earlier.ended || (later.ended && later.end == earlier.end && later.usage == earlier.usage));
}

/* Each record is matched with the first one after the last match that
   keeps it: if any matching in order exists, this one does. */
bool Continues(const std::vector<HistoryRecord> &earlier, const std::vector<HistoryRecord> &later)
{
    size_t at = 0;
    for (const HistoryRecord &record : earlier) {
        while (at < later.size() && !Kept(record, later[at]))
            at++;
        if (at == later.size())
            return false;
        at++;
    }
    return true;
}

static bool ByStart(const HistoryRecord *a, const HistoryRecord *b)
{
    if (a->start != b->start)
        return a->start < b->start;
    int n = std::min(a->nameLength, b->nameLength);
    int order = memcmp(a->line, b->line, n);
    return order ? order < 0 : a->nameLength < b->nameLength;
}

std::vector<HistoryChange> HistoryChanges(const std::vector<HistoryRecord> &earlier,
                                          const std::vector<HistoryRecord> &later)
{
    std::vector<const HistoryRecord *> index;
    for (const HistoryRecord &record : later)
        index.push_back(&record);
    std::sort(index.begin(), index.end(), ByStart);
    std::vector<HistoryChange> changes;
    bool shared = false;
    for (const HistoryRecord &record : earlier) {
        auto at = std::lower_bound(index.begin(), index.end(), &record, ByStart);
        const HistoryRecord *changed = NULL;
        bool kept = false;
        for (; at != index.end() && SameStart(record, **at) && !kept; ++at) {
            kept = Kept(record, **at);
            changed = *at;
        }
        shared = shared || changed;
        if (!kept)
            changes.push_back({&record, changed});
    }
    /* A new log: nothing of the earlier copy's was changed in it. */
    if (!shared && !earlier.empty() && (later.empty() || later.front().start >= earlier.back().start))
        changes.clear();
    return changes;
}

static const wchar_t KeptMark[] = L"_kept_";
static const WText Extension = Widen(LOG_EXTENSION, sizeof LOG_EXTENSION - 1, CP_ACP);
/* '0' a digit. */
static const wchar_t KeptStamp[] = L"0000-00-00_0000";

WText KeptName(const WText &log, int moment, int n)
{
    int minute = MinuteOfDay(moment);
    Text stamp;
    AppendDate(stamp, DayOf(moment), '-');
    stamp += '_';
    AppendNumber(stamp, minute / 60 * 100 + minute % 60, 4);
    if (n > 1) {
        stamp += '_';
        AppendNumber(stamp, n);
    }
    return log.substr(0, log.size() - Extension.size()) + KeptMark + Widen(stamp.data(), stamp.size(), CP_ACP) +
           Extension;
}

int KeptMoment(const WText &name, size_t baseLength)
{
    static const size_t mark = sizeof KeptMark / sizeof *KeptMark - 1, stamp = sizeof KeptStamp / sizeof *KeptStamp - 1;
    const WText &extension = Extension;
    if (name.size() < baseLength + mark + stamp + extension.size() ||
        name.compare(baseLength, mark, KeptMark) != 0 ||
        CompareStringOrdinal(name.c_str() + name.size() - extension.size(), -1, extension.c_str(), -1, TRUE) != CSTR_EQUAL)
        return -1;
    const wchar_t *at = name.c_str() + baseLength + mark;
    int number[5] = {}, field = 0;
    for (size_t i = 0; i < stamp; i++) {
        bool digit = at[i] >= L'0' && at[i] <= L'9';
        if (KeptStamp[i] == L'0' ? !digit : at[i] != KeptStamp[i])
            return -1;
        if (digit)
            number[field] = number[field] * 10 + (at[i] - L'0');
        else
            field++;
    }
    /* "_n", or nothing, before the extension. */
    size_t rest = name.size() - extension.size() - (baseLength + mark + stamp);
    for (size_t i = 0; i < rest; i++)
        if (i ? at[stamp + i] < L'0' || at[stamp + i] > L'9' : at[stamp] != L'_' || rest == 1)
            return -1;
    int hour = number[3] / 100, minute = number[3] % 100;
    if (!IsDate(number[0], number[1], number[2]) || number[0] < 2000 || hour > 23 || minute > 59)
        return -1;
    return DayNumber(number[0], number[1], number[2]) * MinutesPerDay + hour * 60 + minute;
}

WText LogOfKept(const WText &kept)
{
    return kept.substr(0, kept.rfind(KeptMark)) + Extension;
}
