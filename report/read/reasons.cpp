/*
 * Usage report: reading the reasons for the gaps, in every way Excel and
 * LibreOffice Calc save a CSV file back: its encoding, its dates
 * reformatted or without their year, a name's ="..." guard removed,
 * cells with commas, quotes and line breaks, extra columns, rows in
 * another order. The header is found as a timesheet's is, among the
 * first rows, below any title.
 *
 * What stands for one user and day: a /reasons: file's reason, a later
 * file's over an earlier one's; else the gaps file's cell, even emptied,
 * since the report wrote it with every known reason in it, so an emptied
 * cell is a reason taken back; else the register's. A department's part
 * of the gaps file is one too: a cell of either that is as the register
 * has it was left as the report wrote it, and a change in the other
 * stands.
 */
#include "reasons.h"
#include "timesheet.h"
#include "resource.h"

/* Excel's limit for a cell is 32,767 characters, each up to three bytes. */
static const size_t LongestReason = 3 * 32767;

enum ReasonRole { ReasonUser, ReasonDate, ReasonText, ReasonVerdict, ReasonRoles };

static const WText Empty;

class ReasonReader : public CsvReader {
public:
    ReasonReader(Reasons &reasons, ReasonFile &file)
        : CsvReader(LongestReason), reasons(reasons), file(file), header(false)
    {
        lists[ReasonUser] = LoadWide(IDS_COLPCUSER);
        lists[ReasonDate] = LoadWide(IDS_COLDATE) + L"|" + LoadWide(IDS_COLWORKDAY);
        lists[ReasonText] = LoadWide(IDS_COLREASON);
        lists[ReasonVerdict] = LoadWide(IDS_COLVERDICT);
    }

private:
    void Record(int count, bool blank) override;
    bool Header(int count, char by);
    void Row(int count);
    bool Names(int role, const WText &text) const
    {
        WText key = HeaderKey(text);
        return Listed(lists[role], key.c_str(), key.size());
    }

    Reasons &reasons;
    ReasonFile &file;
    WText lists[ReasonRoles];
    int columns[ReasonRoles];
    WText lastUser, lastKey;
    bool header;
};

/* The header if the record split at by names a user, a date and 理由. */
bool ReasonReader::Header(int count, char by)
{
    int found[ReasonRoles] = {-1, -1, -1, -1};
    Columns(count, by, [&](int i, int column) {
        for (int role = 0; role < ReasonRoles; role++) {
            if (found[role] < 0 && Names(role, wide[i])) {
                found[role] = column;
                break;
            }
        }
    });
    if (found[ReasonUser] < 0 || found[ReasonDate] < 0 || found[ReasonText] < 0)
        return false;
    std::copy(found, found + ReasonRoles, columns);
    wanted.assign(MostFields, 0);
    for (int column : found)
        if (column >= 0 && column < MostFields)
            wanted[column] = 1;
    separator = by;
    file.understood = true;
    return true;
}

void ReasonReader::Record(int count, bool blank)
{
    if (!separator) {
        if (!blank && !Header(count, ',') && !Header(count, '\t'))
            stop = records == HeaderRows;
    } else if (!blank) {
        Row(count);
    }
}

void ReasonReader::Row(int count)
{
    auto cell = [&](int role) -> const WText & {
        return columns[role] >= 0 && columns[role] < count ? wide[columns[role]] : Empty;
    };
    const WText &user = cell(ReasonUser), &text = cell(ReasonText);
    /* An empty cell takes a reason back from the gaps file alone, and only
       where there is one: most rows are looked at no further. */
    if (text.empty() && file.source != FromGapsFile)
        return;
    /* A user's rows mostly follow each other: the key is made once. */
    if (user != lastUser) {
        lastUser = user;
        lastKey = NameKey(user);
        header = Names(ReasonUser, user);
    }
    std::map<WText, ReasonDays>::iterator days = reasons.users.find(lastKey);
    if (text.empty() && days == reasons.users.end())
        return;
    int day;
    if (header)
        return;     /* the header again */
    if (user.empty() || !ReadSheetDate(cell(ReasonDate), &day)) {
        /* Only a row that gives a reason is missed. */
        if (!text.empty()) {
            file.badLine = file.badLine ? file.badLine : recordLine;
            file.badRows++;
        }
        return;
    }
    if (file.source == FromGapsFile) {
        std::map<WText, ReasonDays>::const_iterator was = reasons.registered.find(lastKey);
        ReasonDays::const_iterator old = was != reasons.registered.end() ? was->second.find(day) : ReasonDays::const_iterator();
        Text written = was != reasons.registered.end() && old != was->second.end() ? old->second.text : Text();
        if (written == Narrow(text, CP_UTF8)) {
            file.reasons += !text.empty();
            return;
        }
    }
    if (text.empty()) {
        if (days->second.erase(day)) {
            file.takenBack++;
            if (days->second.empty())
                reasons.users.erase(days);
        }
        return;
    }
    file.reasons++;
    Reason &reason = (days != reasons.users.end() ? days->second : reasons.users[lastKey])[day];
    if (reason.user.empty())
        reason.user = Narrow(user, CP_UTF8);
    reason.text = Narrow(text, CP_UTF8);
    if (columns[ReasonVerdict] >= 0)
        reason.verdict = Narrow(cell(ReasonVerdict), CP_UTF8);
}

void Reasons::ReadFile(ReasonFile &file)
{
    ReasonReader reader(*this, file);
    file.error = ReadCsvFile(file.path, reader, &file.encoding);
}

bool Reasons::Read(const WText &registerPath, const std::vector<WText> &gapsPaths, const std::vector<WText> &given,
                   int *failed)
{
    existed = false;
    std::vector<std::pair<WText, ReasonSource>> order = {{registerPath, FromRegister}};
    for (const WText &path : gapsPaths)
        order.push_back(std::make_pair(path, FromGapsFile));
    for (const WText &path : given)
        order.push_back(std::make_pair(path, FromGiven));
    for (const auto &source : order) {
        /* The output folder's files are read when they are there. */
        if (source.second != FromGiven && GetFileAttributesW(source.first.c_str()) == INVALID_FILE_ATTRIBUTES &&
            (GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND))
            continue;
        existed = existed || source.second == FromRegister;
        ReasonFile file = {source.first, source.second, SheetCp932, 0, false, 0, 0, 0, 0};
        files.push_back(file);
        ReadFile(files.back());
        if (source.second == FromRegister)
            registered = users;
        const ReasonFile &read = files.back();
        if (read.source != FromGiven && (read.error || !read.understood || read.badRows)) {
            *failed = (int)files.size() - 1;
            return false;
        }
    }
    return true;
}

bool Reasons::AllRead() const
{
    for (const ReasonFile &file : files)
        if (file.error || !file.understood || file.badRows)
            return false;
    return true;
}

const ReasonDays *Reasons::Of(const Text &name) const
{
    std::map<WText, ReasonDays>::const_iterator found = users.find(NameKey(Widen(name.data(), name.size(), CP_UTF8)));
    return found != users.end() ? &found->second : NULL;
}

const Reason *Reasons::Find(int user, int day) const
{
    if (user < 0 || user >= (int)bound.size() || !bound[user])
        return NULL;
    ReasonDays::const_iterator found = bound[user]->find(day);
    return found != bound[user]->end() ? &found->second : NULL;
}

int Reasons::Outside(int first, int last) const
{
    int count = 0;
    for (const auto &user : users)
        for (const auto &day : user.second)
            count += day.first < first || day.first > last;
    return count;
}
