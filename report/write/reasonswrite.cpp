/*
 * Usage report: the reasons written out: the register morvalen-reasons.csv,
 * the gaps file's 理由, and what the page says of them. A reason is the
 * office's own text, so a file that holds one CP932 cannot (a name's 𠮷,
 * an emoji) is written as UTF-8 with a BOM rather than lose it.
 */
#include "gaps.h"
#include "outfile.h"
#include "pagetext.h"
#include "reasons.h"
#include "report.h"
#include "resource.h"

bool PutCsvText(OutFile &out, const Text &utf8, bool asUtf8)
{
    WText wide = Widen(utf8.data(), utf8.size(), CP_UTF8);
    BOOL lost = asUtf8;
    int n = wide.empty() || lost ? 0
                                 : WideCharToMultiByte(LogCodePage, WC_NO_BEST_FIT_CHARS, wide.data(), (int)wide.size(),
                                                       NULL, 0, NULL, &lost);
    if (lost) {
        out.Put("\xef\xbb\xbf", 3);
        out.Put(utf8);
        return true;
    }
    Text bytes(n, '\0');
    if (n)
        WideCharToMultiByte(LogCodePage, WC_NO_BEST_FIT_CHARS, wide.data(), (int)wide.size(), &bytes[0], n, NULL,
                            NULL);
    out.Put(bytes);
    return false;
}

void WriteReasonsCsv(OutFile &out, const Reasons &reasons, const Gaps &gaps)
{
    /* The users this report compared, by the key reasons are kept by. */
    std::map<WText, int> compared;
    for (int index : gaps.order) {
        const Text &name = gaps.tally.users[index].name;
        compared[NameKey(Widen(name.data(), name.size(), CP_UTF8))] = index;
    }
    Text csv = LoadBytes(IDS_REASONSHEADER, CP_UTF8) + "\r\n", flags;
    for (const auto &user : reasons.users) {
        std::map<WText, int>::const_iterator tallied = compared.find(user.first);
        for (const auto &day : user.second) {
            AppendField(csv, day.second.user);
            csv += ',';
            AppendDate(csv, day.first);
            csv += ',';
            const GapDay *gap = tallied != compared.end() ? gaps.Find(tallied->second, day.first) : NULL;
            flags.clear();
            if (gap)
                gaps.pageWords.AppendFlags(flags, gap->flags);
            AppendField(csv, gap ? flags : day.second.verdict);
            csv += ',';
            AppendField(csv, day.second.text);
            csv += "\r\n";
        }
    }
    PutCsvText(out, csv);
}

void AppendReasonField(Text &csv, const Gaps &gaps, int user, int day)
{
    const Reason *reason = gaps.reasons ? gaps.reasons->Find(user, day) : NULL;
    if (reason)
        AppendField(csv, reason->text);
}

/* A reason on the page, its line breaks kept. */
static void AppendReason(Text &html, const Reason &reason)
{
    size_t from = html.size();
    AppendEscaped(html, reason.text);
    for (size_t at = from; (at = html.find('\n', at)) != Text::npos;)
        html.replace(at, 1, "<br>");
}

void AppendReasonCell(Text &html, const Gaps &gaps, int user, int day)
{
    const Reason *reason = gaps.reasons ? gaps.reasons->Find(user, day) : NULL;
    html += "<td>";
    if (reason)
        AppendReason(html, *reason);
    html += "</td>";
}

void AppendDayReason(Text &html, const Gaps &gaps, int user, int day)
{
    const Reason *reason = gaps.reasons ? gaps.reasons->Find(user, day) : NULL;
    if (!reason) {
        html += "<span class=\"bad\">";
        html += LoadBytes(IDS_UNEXPLAINED, CP_UTF8);
        html += "</span> ";
        return;
    }
    html += "<span class=\"why\">";
    html += LoadBytes(IDS_REASONWORD, CP_UTF8);
    html += ": ";
    AppendReason(html, *reason);
    html += "</span> ";
}

void AppendReasonCounts(Text &html, const Gaps &gaps, int index)
{
    int given = 0, flagged = 0;
    for (const GapDay &gap : gaps.users[index].days) {
        if (gap.day < 0 || !gap.flags)
            continue;
        flagged++;
        given += gaps.reasons && gaps.reasons->Find(index, gap.day);
    }
    html += "<td>";
    AppendNumber(html, given);
    html += flagged > given ? "</td><td class=\"bad\">" : "</td><td>";
    AppendNumber(html, flagged - given);
    html += "</td>";
}

void AppendReasonFiles(Text &html, const Reasons &reasons, int first, int last)
{
    if (reasons.files.empty())
        return;
    html += "<h3>";
    html += LoadBytes(IDS_REASONFILES, CP_UTF8);
    html += "</h3>\n<ul class=\"reasons\">\n";
    for (const ReasonFile &file : reasons.files) {
        bool bad = file.error || !file.understood || file.badRows;
        html += bad ? "<li class=\"bad\">" : "<li>";
        AppendEscaped(html, Narrow(file.path, CP_UTF8));
        html += " \xe2\x80\x94 ";
        if (file.error) {
            AppendEscaped(html, Narrow(SystemReason(file.error), CP_UTF8));
        } else if (!file.understood) {
            html += LoadBytes(IDS_NOREASONHEADER, CP_UTF8);
        } else {
            AppendNumber(html, file.reasons);
            html += ' ';
            html += LoadBytes(IDS_REASONCOUNT, CP_UTF8);
            if (file.takenBack) {
                html += "\xe3\x80\x81";
                AppendNumber(html, file.takenBack);
                html += ' ';
                html += LoadBytes(IDS_TAKENBACK, CP_UTF8);
            }
            if (file.badRows) {
                html += "\xe3\x80\x82";
                html += LoadBytes(IDS_REASONBADROWS, CP_UTF8);
                html += ' ';
                AppendNumber(html, file.badLine);
                html += ' ';
                html += LoadBytes(IDS_LINEAT, CP_UTF8);
            }
        }
        html += "</li>\n";
    }
    html += "</ul>\n";
    int outside = reasons.Outside(first, last);
    if (outside) {
        html += "<p>";
        AppendNumber(html, outside);
        html += ' ';
        html += LoadBytes(IDS_REASONSOUTSIDE, CP_UTF8);
        html += "</p>\n";
    }
}
