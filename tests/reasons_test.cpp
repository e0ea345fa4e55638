/*
 * The usage report's review of the gaps: reasons an office filled in and
 * saved back as Excel and LibreOffice Calc save them, kept in the
 * register across reports and periods, and counted on the page.
 */
#include "program.h"

#include "calendar.h"
#include "makereport.h"
#include "reportoptions.h"

/* One user, 00123, whose name Excel would take for a number, flagged on
   11/02 (started an hour early) and 11/03 (ended two hours late), and in
   order on 11/04. */
static const std::string Log =
    kLogHeader + Sjis("\r\n00123            26/11/02(月) 08:00     26/11/02(月) 18:00     10:00"
                      "\r\n00123            26/11/03(火) 09:00     26/11/03(火) 20:00     11:00"
                      "\r\n00123            26/11/04(水) 09:00     26/11/04(水) 18:00     09:00");
static const std::string Sheet =
    Sjis("ユーザー名,日付,出勤,退勤\r\n00123,2026/11/02,9:00,18:00\r\n00123,2026/11/03,9:00,18:00\r\n"
         "00123,2026/11/04,9:00,18:00\r\n");
static const char GapsHeader[] =
    "ユーザー名,日付,曜日,申告の出勤,申告の退勤,PCの最初の起動,PCの最後の終了,始業前(分),終業後(分),判定,理由\r\n";
static const char *const GapRows[3] = {
    "\"=\"\"00123\"\"\",2026/11/02,月,09:00,18:00,08:00,18:00,60,0,始業前の使用,",
    "\"=\"\"00123\"\"\",2026/11/03,火,09:00,18:00,09:00,20:00,0,120,終業後の使用,",
    "\"=\"\"00123\"\"\",2026/11/04,水,09:00,18:00,09:00,18:00,0,0,,"};

/* The gaps file the report writes, with these reasons in its 理由 cells,
   as UTF-8 (the test compares texts). */
static std::string GapsWith(const std::vector<std::string> &reasons)
{
    std::string csv = GapsHeader;
    for (int i = 0; i < 3; i++)
        csv += GapRows[i] + reasons[i] + "\r\n";
    return csv;
}

/* Text in UTF-8 with LF as a program saves it: CP932, UTF-8 with a BOM,
   UTF-8 without, or UTF-16 with a BOM; CRLF unless lf. */
enum Saved { Cp932, Utf8Bom, Utf8Plain, Utf16 };
static std::string SavedAs(Saved how, const std::string &utf8, bool lf = false)
{
    std::string text;
    for (char c : utf8)
        text += c == '\n' && !lf ? std::string("\r\n") : c == '\x01' ? std::string("\n") : std::string(1, c);
    if (how == Cp932)
        return Sjis(text.c_str());
    if (how != Utf16)
        return (how == Utf8Bom ? "\xef\xbb\xbf" : "") + text;
    std::wstring wide(MultiByteToWideChar(CP_UTF8, 0, text.data(), (int)text.size(), NULL, 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), (int)text.size(), &wide[0], (int)wide.size());
    return "\xff\xfe" + std::string((const char *)wide.data(), wide.size() * 2);
}

/* A file's text: CP932, or UTF-8 after its BOM, as UTF-8; "<missing>". */
static std::string TextOf(const std::string &path)
{
    std::string bytes = ReadBytes(path);
    return bytes.compare(0, 3, "\xef\xbb\xbf") ? Utf8(bytes) : bytes.substr(3);
}

/* The report over Log and Sheet made on 2026-12-07 at 12:00, for November
   unless from and to say otherwise, into the current folder. */
static Outcome Report(const std::vector<const wchar_t *> &reasonFiles, int from = DayNumber(2026, 11, 1),
                      int to = DayNumber(2026, 11, 30))
{
    char folder[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, folder);
    Options options = InFolder(folder, {L"logs\\log.txt", L"logs\\sheet.csv"});
    options.from = from;
    options.to = to;
    options.fromGiven = options.toGiven = true;
    for (const wchar_t *file : reasonFiles)
        options.reasonFiles.push_back(file);
    WText page;
    Problem problem = {};
    return MakeReport(options, &page, &problem);
}

static void WriteInputs()
{
    CreateDirectoryA("logs", NULL);
    WriteBytes("logs\\log.txt", Log);
    WriteBytes("logs\\sheet.csv", Sheet);
}

/* Reasons as a spreadsheet saved them back into the output folder's gaps
   file or register, or as a manager sent them (/reasons:), each read into
   the new gaps file and kept in the register by its rules. */
TEST(ReportReasons, ReadAsSpreadsheetsSaveThemAndKeptByTheirRules)
{
    /* A comma, quotes and a line break inside the cell (Alt+Enter, which
       Excel saves as LF alone: \x01 below). */
    const std::string tricky = "\"遅延, \"\"電車\"\"\n対応\"", typed = "\"遅延, \"\"電車\"\"\x01対応\"";
    const std::string registerHeader = "ユーザー名,日付,判定,理由\r\n";
    struct {
        const char *label;
        std::vector<std::pair<const char *, std::string>> files;
        std::vector<const wchar_t *> given;
        Outcome outcome;
        std::vector<std::string> reasons;   /* the gaps file's 11/02, 11/03, 11/04 */
        std::vector<const char *> kept;     /* the register's rows; none: not written */
    } rows[] = {
        {"Excel, CP932: dates as 2026/11/2, the guard removed, a cell with a comma, quotes and a line break",
         {{"morvalen-gaps.csv", SavedAs(Cp932, std::string(GapsHeader) +
                                                   "00123,2026/11/2,月,9:00,18:00,8:00,18:00,60,0,始業前の使用," +
                                                   typed + "\n00123,2026/11/3,火,9:00,18:00,9:00,20:00,0,120,終業後の使用,\n")}},
         {}, AllRead, {tricky, "", ""},
         {"\"=\"\"00123\"\"\",2026/11/02,始業前の使用,\"遅延, \"\"電車\"\"\n対応\""}},
        {"Excel's CSV UTF-8: dates as 2026-11-02, rows sorted the other way, extra empty columns",
         {{"morvalen-gaps.csv", SavedAs(Utf8Bom, std::string(GapsHeader) +
                                                     "00123,2026-11-03,火,,,,,,,,打ち合わせ,,,\n"
                                                     "00123,2026-11-02,月,,,,,,,,電車の遅延,,,\n")}},
         {}, AllRead, {"電車の遅延", "打ち合わせ", ""},
         {"\"=\"\"00123\"\"\",2026/11/02,始業前の使用,電車の遅延", "\"=\"\"00123\"\"\",2026/11/03,終業後の使用,打ち合わせ"}},
        {"Excel's Unicode text: UTF-16 with tabs",
         {{"morvalen-gaps.csv", SavedAs(Utf16, "ユーザー名\t日付\t判定\t理由\n00123\t2026/11/02\t始業前の使用\t私用で早く着いた\n")}},
         {}, AllRead, {"私用で早く着いた", "", ""}, {"\"=\"\"00123\"\"\",2026/11/02,始業前の使用,私用で早く着いた"}},
        {"LibreOffice Calc: every text quoted, dates without their year, times with seconds, LF",
         {{"morvalen-gaps.csv", SavedAs(Utf8Plain, "\"ユーザー名\",\"日付\",\"曜日\",\"申告の出勤\",\"申告の退勤\",\"PCの最初の起動\","
                                              "\"PCの最後の終了\",\"始業前(分)\",\"終業後(分)\",\"判定\",\"理由\"\n"
                                              "\"00123\",11月2日,\"月\",09:00:00,18:00:00,08:00:00,18:00:00,60,0,\"始業前の使用\",\"早出\"\n",
                                        true)}},
         {}, AllRead, {"早出", "", ""}, {"\"=\"\"00123\"\"\",2026/11/02,始業前の使用,早出"}},
        {"the register: a day outside the period, a user in no log, an unflagged day, all kept",
         {{"morvalen-reasons.csv", SavedAs(Cp932, registerHeader + "00123,2026/10/30,始業前の使用,棚卸し\n"
                                                                   "00123,2026/11/04,,確認のみ\nsato,2026/11/02,終業後の使用,残業申請済み\n")}},
         {}, AllRead, {"", "", "確認のみ"},
         {"\"=\"\"00123\"\"\",2026/10/30,始業前の使用,棚卸し", "\"=\"\"00123\"\"\",2026/11/04,,確認のみ",
          "sato,2026/11/02,終業後の使用,残業申請済み"}},
        {"a reason taken back by emptying its cell in the gaps file, the register's other one kept",
         {{"morvalen-reasons.csv", SavedAs(Cp932, registerHeader + "00123,2026/11/02,始業前の使用,古い理由\n"
                                                                   "00123,2026/11/03,終業後の使用,会議\n")},
          {"morvalen-gaps.csv", SavedAs(Cp932, std::string(GapsHeader) + "00123,2026/11/2,月,,,,,,,,\n")}},
         {}, AllRead, {"", "会議", ""}, {"\"=\"\"00123\"\"\",2026/11/03,終業後の使用,会議"}},
        {"managers' files under a title: a later one over an earlier one and over the gaps file; an empty cell changes nothing",
         {{"morvalen-gaps.csv", SavedAs(Cp932, std::string(GapsHeader) + "00123,2026/11/02,月,,,,,,,,本人の理由\n"
                                                                         "00123,2026/11/03,火,,,,,,,,本人の理由2\n")},
          {"a.csv", SavedAs(Cp932, "営業部の乖離\n\n氏名,ＰＣユーザー名,対象日,乖離理由\n山田,00123,2026/11/02,課長の理由A\n"
                                   "山田,00123,2026/11/03,\n")},
          {"b.csv", SavedAs(Utf8Bom, "ユーザー名,日付,※理由\n00123,2026/11/02,課長の理由B\n")}},
         {L"a.csv", L"b.csv"}, AllRead, {"課長の理由B", "本人の理由2", ""},
         {"\"=\"\"00123\"\"\",2026/11/02,始業前の使用,課長の理由B", "\"=\"\"00123\"\"\",2026/11/03,終業後の使用,本人の理由2"}},
        {"a /reasons: file without 理由, and one whose date the period does not hold: listed, the rest written",
         {{"a.csv", SavedAs(Cp932, "ユーザー名,日付,備考\n00123,2026/11/02,x\n")},
          {"b.csv", SavedAs(Cp932, "ユーザー名,日付,理由\n00123,10月2日,範囲外\n00123,11月3日,範囲内\n")}},
         {L"a.csv", L"b.csv"}, SomeUnreadable, {"", "範囲内", ""}, {"\"=\"\"00123\"\"\",2026/11/03,終業後の使用,範囲内"}},
        {"the output folder's gaps file without 理由: nothing replaced",
         {{"morvalen-gaps.csv", SavedAs(Cp932, "ユーザー名,日付,判定\n00123,2026/11/02,始業前の使用\n")}},
         {}, NothingWritten, {}, {}},
        {"the output folder's gaps file with a reason on a day the period does not hold: nothing replaced",
         {{"morvalen-gaps.csv", SavedAs(Utf8Plain, "ユーザー名,日付,理由\n00123,12月2日,先月の理由\n")}},
         {}, NothingWritten, {}, {}},
    };
    for (const auto &row : rows) {
        EnterFreshFolder("ReportReasons");
        WriteInputs();
        for (const auto &file : row.files)
            WriteBytes(file.first, file.second);
        EXPECT_EQ(Report(row.given), row.outcome) << row.label;
        if (row.outcome == NothingWritten) {
            EXPECT_EQ(ReadBytes("morvalen-gaps.csv"), row.files[0].second) << row.label << ": the gaps file was replaced";
            EXPECT_FALSE(FileExists("morvalen-report.html")) << row.label;
            continue;
        }
        EXPECT_EQ(TextOf("morvalen-gaps.csv"), GapsWith(row.reasons)) << row.label;
        std::string kept = registerHeader;
        for (const char *line : row.kept)
            kept += line + std::string("\r\n");
        EXPECT_EQ(TextOf("morvalen-reasons.csv"), kept) << row.label;
    }
}

/* Whole runs: the register across periods, the counts on the pages, a
   character CP932 lacks, a held register, and the option. */
TEST(ReportReasons, KeptAcrossRunsCountedOnThePageAndNeverLost)
{
    std::string folder = EnterFreshFolder("ReportReasons");
    WriteInputs();
    WriteBytes("boss.csv", SavedAs(Utf8Bom, "ユーザー名,日付,理由\n00123,2026/11/03,𠮷田さんと打ち合わせ🙂\n"));
    ASSERT_EQ(Report({L"boss.csv"}), AllRead);
    std::string gaps = ReadBytes("morvalen-gaps.csv");
    EXPECT_EQ(gaps, "\xef\xbb\xbf" + GapsWith({"", "𠮷田さんと打ち合わせ🙂", ""})) << "a character CP932 lacks: UTF-8 with a BOM";
    EXPECT_EQ(ReadBytes("morvalen-reasons.csv").compare(0, 3, "\xef\xbb\xbf"), 0);
    std::string html = ReadBytes("morvalen-report.html");
    for (const char *text : {"<td>00123</td><td>3</td><td>2</td><td>60</td><td>120</td><td>1</td><td class=\"bad\">1</td>",
                             "boss.csv \xe2\x80\x94 1 件の理由", "<td>𠮷田さんと打ち合わせ🙂</td></tr>"})
        EXPECT_NE(html.find(text), std::string::npos) << "the overview has no " << text;
    std::string month = ReadBytes("morvalen-report\\2026-11.html");
    for (const char *text : {"理由: 𠮷田さんと打ち合わせ🙂", "<span class=\"bad\">理由未記入</span>"})
        EXPECT_NE(month.find(text), std::string::npos) << "the month page has no " << text;

    /* December leaves the day out and keeps its reason; November again
       brings it back into the gaps file. */
    ASSERT_EQ(Report({}, DayNumber(2026, 12, 1), DayNumber(2026, 12, 31)), AllRead);
    EXPECT_NE(ReadBytes("morvalen-report.html").find("<p>1 件は集計期間の外の日の理由"), std::string::npos);
    ASSERT_EQ(Report({}), AllRead);
    EXPECT_EQ(TextOf("morvalen-gaps.csv"), GapsWith({"", "𠮷田さんと打ち合わせ🙂", ""}));

    /* Held open without sharing, as an editor may: the report stops before
       anything is replaced. */
    std::string before = ReadBytes("morvalen-gaps.csv");
    HANDLE held = CreateFileA("morvalen-reasons.csv", GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(RunToEnd("\"" + BuildFolder() + "\\morvalen-report.exe\" /S /from:2026-11-01 /to:2026-11-30 /out:. "
                       "logs\\log.txt logs\\sheet.csv", folder, 30000), NothingWritten);
    CloseHandle(held);
    EXPECT_EQ(ReadBytes("morvalen-gaps.csv"), before);

    /* /reasons: on the command line, the register and gaps file gone. */
    DeleteFileA("morvalen-reasons.csv");
    DeleteFileA("morvalen-gaps.csv");
    EXPECT_EQ(RunToEnd("\"" + BuildFolder() + "\\morvalen-report.exe\" /S /from:2026-11-01 /to:2026-11-30 /out:. "
                       "/reasons:boss.csv logs\\log.txt logs\\sheet.csv", folder, 30000), AllRead);
    EXPECT_EQ(TextOf("morvalen-gaps.csv"), GapsWith({"", "𠮷田さんと打ち合わせ🙂", ""}));
}
