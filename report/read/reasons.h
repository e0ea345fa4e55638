/*
 * Usage report: the office's review of the gaps, the reason given for a
 * PC user's flagged day. Reasons come from the register the report keeps
 * (morvalen-reasons.csv), from its gaps file as someone filled it in and
 * saved it back, and from /reasons: files; none is ever dropped unless
 * its cell in the gaps file was emptied.
 */
#ifndef REPORT_REASONS_H
#define REPORT_REASONS_H

#include "csvread.h"

#include <map>
#include <vector>

/* Texts as read, UTF-8, as the writers take them. */
struct Reason {
    Text user;      /* as written where it was first given */
    Text verdict;   /* 判定, as of the last report that compared the day */
    Text text;
};

/* A user's reasons by day. */
typedef std::map<int, Reason> ReasonDays;

/* Where reasons come from, in the order they are read: a later one stands
   over an earlier. */
enum ReasonSource { FromRegister, FromGapsFile, FromGiven };

struct ReasonFile {
    WText path;
    ReasonSource source;
    SheetEncoding encoding;
    DWORD error;        /* could not be read: the system's reason */
    bool understood;    /* a header with a user, a date and 理由 was found */
    int reasons;        /* rows with a reason */
    int takenBack;      /* rows of the gaps file whose reason was emptied */
    int badLine;        /* the first row with a reason that could not be read, 0 for none */
    int badRows;
};

class Reasons {
public:
    /* The register and the gaps files of the output folder (the whole
       one, then each department's part), when they are there, then each
       /reasons: file. False, with the index of the file in files, when a
       file of the output folder could not be read: the report must not
       replace it. */
    bool Read(const WText &registerPath, const std::vector<WText> &gapsPaths, const std::vector<WText> &given,
              int *failed);
    /* Every /reasons: file read whole. */
    bool AllRead() const;
    /* A PC user's reasons, by the user's name as the tally has it (UTF-8);
       NULL for none. */
    const ReasonDays *Of(const Text &name) const;
    /* The tally's users, looked up once: then a day's reason by the
       user's index, or NULL. */
    template <class Users> void Bind(const Users &tallyUsers)
    {
        for (const auto &user : tallyUsers)
            bound.push_back(Of(user.name));
    }
    const Reason *Find(int user, int day) const;
    /* How many reasons are for days outside first to last. */
    int Outside(int first, int last) const;

    std::map<WText, ReasonDays> users;  /* by NameKey */
    /* The register as read: what the last report wrote into its gaps
       files, so that a cell of theirs left as it was is no change. */
    std::map<WText, ReasonDays> registered;
    std::vector<ReasonFile> files;
    bool existed;       /* a register was there */

private:
    void ReadFile(ReasonFile &file);
    friend class ReasonReader;

    std::vector<const ReasonDays *> bound;
};

/* reasonswrite.cpp. The register: every reason known, by user and date,
   with the day's 判定 from this report where it compared the day. */
class OutFile;
class Gaps;
void WriteReasonsCsv(OutFile &out, const Reasons &reasons, const Gaps &gaps);
/* A CSV file's text, UTF-8, in CP932 where that holds every character of
   it, else (or asUtf8) as UTF-8 with a BOM, which Excel opens as it is;
   true for UTF-8. */
bool PutCsvText(OutFile &out, const Text &utf8, bool asUtf8 = false);
/* The page: what each file gave, the users' days with and without a
   reason, a flagged day's reason. */
void AppendReasonFiles(Text &html, const Reasons &reasons, int first, int last);
void AppendReasonCounts(Text &html, const Gaps &gaps, int user);
void AppendDayReason(Text &html, const Gaps &gaps, int user, int day);
/* The cells of the flagged days' table, the gaps file's 理由 (UTF-8). */
void AppendReasonCell(Text &html, const Gaps &gaps, int user, int day);
void AppendReasonField(Text &csv, const Gaps &gaps, int user, int day);

#endif
