/*
 * The report by department: the /users: mapping's and the timesheets'
 * department columns, the 所属 column of the CSV files, each
 * department's gaps file, and a month's pages split by department, from
 * real runs of the report.
 */
#include "program.h"

#include "calendar.h"
#include "makereport.h"
#include "reportoptions.h"

#include <cstdio>
#include <cstring>

/* A log of these records, as the recorder writes it. */
static std::string LogOf(const std::vector<const char *> &lines)
{
    std::string bytes = kLogHeader;
    for (const char *line : lines)
        bytes += "\r\n" + Sjis(line);
    return bytes;
}

/* Every CSV row of the report in UTF-8, LF for CRLF. */
static std::string Lines(const std::string &path)
{
    std::string text = Utf8(ReadBytes(path)), lf;
    for (char c : text)
        if (c != '\r')
            lf += c;
    return lf;
}

static Outcome Report(const Options &options)
{
    WText page;
    Problem problem = {};
    return MakeReport(options, &page, &problem);
}

static const std::string kDays = "ユーザー名,所属,日付,曜日,最初の起動,最後の終了,使用時間(分),使用時間,セッション数,備考\n";
static const std::string kGaps = "ユーザー名,所属,日付,曜日,申告の出勤,申告の退勤,PCの最初の起動,PCの最後の終了,始業前(分),終業後(分),判定,理由\n";

TEST(ReportDepartments, MappingAndTimesheetGiveTheColumnTheFilesAndThePages)
{
    const std::string log = LogOf({"tanaka           26/11/02(月) 08:00     26/11/02(月) 18:00     10:00",
                                   "sato             26/11/02(月) 09:00     26/11/02(月) 17:00     08:00",
                                   "ito              26/11/02(月) 09:00     26/11/02(月) 19:30     10:30"});
    const std::string sheet = Sjis("ユーザー名,日付,出勤,退勤\r\ntanaka,2026/11/02,9:00,18:00\r\n"
                                   "sato,2026/11/02,9:00,17:00\r\nito,2026/11/02,9:00,18:00\r\n");
    const std::string tanaka = "tanaka,2026/11/02,月,09:00,18:00,08:00,18:00,60,0,始業前の使用,\n";
    const std::string sato = "sato,2026/11/02,月,09:00,17:00,09:00,17:00,0,0,,\n";
    const std::string ito = "ito,2026/11/02,月,09:00,18:00,09:00,19:30,0,90,終業後の使用,\n";
    auto with = [](const std::string &row, const char *department) {
        return row.substr(0, row.find(',') + 1) + department + row.substr(row.find(','));
    };
    struct {
        const char *label;
        const char *users;              /* the mapping, UTF-8 with LF; NULL for none */
        bool timesheet;
        const char *sheetColumn;        /* the timesheet's own department column, or NULL */
        int pageUsers;                  /* 1: with a log of 14 months */
        /* The detail folder's names; "file=text": a file's text that
           must be in it; "-file=text": that must not. */
        const char *listing;
        std::vector<std::string> texts;
    } rows[] = {
        {"a mapping with a header, a user it leaves out in 所属なし, the gaps file of each", 
         "社員番号,ユーザー名,所属\nE1,tanaka,営業部\nE2,sato,開発部\n", true, NULL, 0,
         "2026-11.html morvalen-gaps-営業部.csv morvalen-gaps-開発部.csv morvalen-gaps-所属なし.csv ",
         {"morvalen-gaps.csv=" + kGaps + with(ito, "所属なし") + with(sato, "開発部") + with(tanaka, "営業部"),
          std::string("morvalen-report\\morvalen-gaps-営業部.csv=") + kGaps + with(tanaka, "営業部"),
          std::string("morvalen-report\\morvalen-gaps-所属なし.csv=") + kGaps + with(ito, "所属なし"),
          std::string("morvalen-days.csv=") + kDays + "ito,所属なし,2026/11/01,日,,,0,0:00,0,\n",
          "morvalen-sessions.csv=ユーザー名,所属,起動日,", "morvalen-sessions.csv=\nsato,開発部,2026/11/02,09:00,",
          "morvalen-report.html=<summary><b>営業部</b> \xe2\x80\x94 1人　合計 10:00　乖離のある日 1 日　乖離の確認用 "
          "<a class=\"gapsfile\" href=\"morvalen-report/morvalen-gaps-営業部.csv\">morvalen-gaps-営業部.csv</a></summary>",
          "morvalen-report\\2026-11.html=<p class=\"ix\"><b>営業部</b>: <a href=\"#u0\">tanaka</a></p>"}},
        {"a mapping of three fields without a header and no timesheet: the days and sessions files",
         "E1,tanaka,営業部\nE3,ito,営業部\n", false, NULL, 0, "2026-11.html ",
         {std::string("morvalen-days.csv=") + kDays + "ito,営業部,2026/11/01,日,,,0,0:00,0,\n",
          "morvalen-days.csv=\nsato,所属なし,2026/11/30,月,,,0,0:00,0,\n",
          "morvalen-sessions.csv=\nito,営業部,2026/11/02,09:00,2026/11/02,19:30,630,10:30,,log.txt,6\n"}},
        {"the timesheet's 部署 column, the mapping's winning over it; a tab-separated mapping with the column first",
         "グループ\tユーザー名\t社員番号\n総務\tsato\tE2\n", true, "部署", 0,
         "2026-11.html morvalen-gaps-製造.csv morvalen-gaps-総務.csv ",
         {std::string("morvalen-report\\morvalen-gaps-総務.csv=") + kGaps + with(sato, "総務"),
          "morvalen-gaps.csv=" + kGaps + with(ito, "製造") + with(sato, "総務") + with(tanaka, "製造")}},
        {"names no file may have as they are, two that come out as one, one with marks a page escapes",
         "ユーザー名,所属\ntanaka,営業/東京:1*\nsato,営業／東京：1＊\nito,R&D <\"#1%~\">\n", true, NULL, 0,
         "2026-11.html morvalen-gaps-R&D ＜＂＃1％～＂＞.csv morvalen-gaps-営業／東京：1＊.csv morvalen-gaps-営業／東京：1＊~2.csv ",
         {"morvalen-report.html=<b>営業/東京:1*</b> \xe2\x80\x94 1人　合計 10:00　乖離のある日 1 日　乖離の確認用 <a class=\"gapsfile\" "
          "href=\"morvalen-report/morvalen-gaps-営業／東京：1＊.csv\">",
          "morvalen-report.html=<b>営業／東京：1＊</b> \xe2\x80\x94 1人　合計 8:00　乖離のある日 0 日　乖離の確認用 <a class=\"gapsfile\" "
          "href=\"morvalen-report/morvalen-gaps-営業／東京：1＊~2.csv\">",
          "morvalen-report.html=<b>R&amp;D &lt;&quot;#1%~&quot;&gt;</b>",
          std::string("morvalen-report\\morvalen-gaps-営業／東京：1＊~2.csv=") + kGaps + with(sato, "営業／東京：1＊"),
          "morvalen-gaps.csv=\nito,\"R&D <\"\"#1%~\"\">\",2026/11/02,"}},
        {"a month of more users than a page holds, split by department: the index and each department's page",
         "E1,tanaka,営業部\nE2,sato,開発部\nE3,ito,営業部\n", false, NULL, 2,
         "2026-11-営業部.html 2026-11-開発部.html 2026-11.html ",
         {"morvalen-report\\2026-11.html=<p class=\"ix\"><b>営業部</b>: <a href=\"2026-11-営業部.html#u2\">ito</a>"
          "<a href=\"2026-11-営業部.html#u0\">tanaka</a></p>",
          "-morvalen-report\\2026-11.html=<table class=\"days\">",
          "morvalen-report\\2026-11-営業部.html=<h1>使用時間の集計 2026年11月 営業部</h1>",
          "morvalen-report\\2026-11-営業部.html=<nav><a href=\"../morvalen-report.html\">集計の概要</a><a href=\"2026-11.html\">",
          "morvalen-report\\2026-11-営業部.html=<h2 id=\"u0\">tanaka</h2>", "-morvalen-report\\2026-11-営業部.html=sato",
          "morvalen-report.html=<p class=\"ix\">月のページ: <a href=\"morvalen-report/2026-11-開発部.html\">2026年11月</a>",
          "morvalen-report.html=<a href=\"morvalen-report/2026-11-営業部.html#u0\""}},
        {"more user months than the overview's month tables hold in full, and a department's users over pages: "
         "a row for each department, a page for each part",
         "E1,tanaka,営業部\nE2,sato,開発部\nE3,ito,営業部\n", false, NULL, 1, NULL,
         {"morvalen-report.html=<tr><td class=\"n\">営業部</td><td><a href=\"morvalen-report/2026-01-営業部.html\">2:00</a></td>",
          "morvalen-report.html=<tr><td class=\"n\">開発部</td><td><a href=\"morvalen-report/2026-01-開発部.html\">1:00</a></td>",
          "-morvalen-report.html=<tr><th class=\"n\" colspan=",
          "morvalen-report\\2026-01.html=<b>営業部</b>: <a href=\"2026-01-営業部.html#u2\">ito</a>"
          "<a href=\"2026-01-営業部~2.html#u0\">tanaka</a></p>",
          "morvalen-report\\2026-01-営業部~2.html=<h1>使用時間の集計 2026年1月 営業部 (2)</h1>",
          "morvalen-report\\2026-01-営業部~2.html=<h2 id=\"u0\">tanaka</h2>", "-morvalen-report\\2026-01-営業部~2.html=ito</h2>",
          "morvalen-report\\2026-01-営業部.html=<h2 id=\"u2\">ito</h2>", "-morvalen-report\\2026-01-営業部.html=tanaka</h2>"}},
    };
    for (const auto &row : rows) {
        std::string folder = EnterFreshFolder("ReportDepartments");
        std::string months = kLogHeader;
        for (int month = 0; month < 14; month++)
            for (const char *user : {"tanaka           ", "sato             ", "ito              "}) {
                char line[80];
                int year = 25 + (month + 9) / 12, of = (month + 9) % 12 + 1;
                snprintf(line, sizeof line, "\r\n%s%02d/%02d/03(x) 09:00     %02d/%02d/03(x) 10:00     01:00", user, year,
                         of, year, of);
                months += line;
            }
        WriteBytes("log.txt", row.pageUsers == 1 ? months : log);
        std::string declared = sheet;
        if (row.sheetColumn) {
            declared = Sjis((std::string("ユーザー名,日付,出勤,退勤,") + row.sheetColumn +
                             "\r\ntanaka,2026/11/02,9:00,18:00,製造\r\nsato,2026/11/02,9:00,17:00,製造\r\n"
                             "ito,2026/11/02,9:00,18:00,製造\r\n").c_str());
        }
        WriteBytes("sheet.csv", declared);
        std::string users = row.users ? row.users : "";
        for (size_t at = 0; (at = users.find('\n', at)) != std::string::npos; at += 2)
            users.insert(at, "\r");
        WriteBytes("users.csv", Sjis(users.c_str()));
        /* The split month's pages are those Chromium loads after. */
        std::string out = row.pageUsers == 2 ? BuildFolder() + "\\report-split" : folder;
        CreateDirectoryA(out.c_str(), NULL);
        Options options = InFolder(out, {L"log.txt"});
        if (row.timesheet)
            options.inputs.push_back(L"sheet.csv");
        options.usersFile = row.users ? L"users.csv" : L"";
        options.pageUsers = row.pageUsers;
        /* Twice: the second replaces the first's detail folder, its
           department files included. */
        for (int run = 0; run < 2; run++)
            EXPECT_EQ(Report(options), AllRead) << row.label << ", run " << run + 1;
        if (row.listing)
            EXPECT_EQ(Utf8(Listing(out + "\\morvalen-report")), row.listing) << row.label;
        for (const std::string &text : row.texts) {
            bool absent = text[0] == '-';
            std::string file = text.substr(absent, text.find('=') - absent), wanted = text.substr(text.find('=') + 1);
            std::string path = out + "\\" + Sjis(file.c_str());
            std::string found = file.find(".csv") != std::string::npos ? Lines(path) : ReadBytes(path);
            EXPECT_EQ(found.find(wanted) == std::string::npos, absent)
                << row.label << ": " << file << (absent ? " has " : " lacks ") << wanted << "\n" << found.substr(0, 3000);
        }
    }

    /* A manager's part filled in and saved back as CSV UTF-8, given as
       /reasons:: its reason is kept, and a character CP932 lacks makes the
       whole gaps file UTF-8 and every department's part with it. */
    std::string folder = EnterFreshFolder("ReportDepartments");
    WriteBytes("log.txt", log);
    WriteBytes("sheet.csv", sheet);
    WriteBytes("users.csv", Sjis("社員番号,ユーザー名,所属\r\nE1,tanaka,営業部\r\nE2,sato,開発部\r\n"));
    Options options = InFolder(folder, {L"log.txt", L"sheet.csv"});
    options.usersFile = L"users.csv";
    ASSERT_EQ(Report(options), AllRead);
    std::string part = Utf8(ReadBytes(Sjis("morvalen-report\\morvalen-gaps-営業部.csv")));
    const std::string reason = "\xf0\xa0\xae\xb7田さんと打合せ";   /* 𠮷 */
    size_t end = part.find("始業前の使用,\r\n");
    ASSERT_NE(end, std::string::npos) << part;
    WriteBytes("back.csv", "\xef\xbb\xbf" + part.insert(end + strlen("始業前の使用,"), reason));
    options.reasonFiles = {L"back.csv"};
    EXPECT_EQ(Report(options), AllRead);
    options.reasonFiles.clear();
    EXPECT_EQ(Report(options), AllRead) << "the register keeps it";
    const std::string row = "tanaka,営業部,2026/11/02,月,09:00,18:00,08:00,18:00,60,0,始業前の使用," + reason + "\r\n";
    for (const char *file : {"morvalen-gaps.csv", "morvalen-report\\morvalen-gaps-営業部.csv",
                             "morvalen-report\\morvalen-gaps-開発部.csv", "morvalen-report\\morvalen-gaps-所属なし.csv"}) {
        std::string bytes = ReadBytes(Sjis(file));
        EXPECT_EQ(bytes.compare(0, 3, "\xef\xbb\xbf"), 0) << file << " is not UTF-8";
        EXPECT_EQ(bytes.find(row) != std::string::npos, strstr(file, "開発部") == NULL && strstr(file, "所属なし") == NULL)
            << file << "\n" << bytes;
    }
    EXPECT_NE(ReadBytes("morvalen-reasons.csv").find(reason), std::string::npos);

    /* A reason filled in where the 開発部 part lies is kept, though the
       report makes the folder anew; one emptied in the whole file is taken
       back, though the 営業部 part still has it as the report wrote it. */
    const std::string part2 = Sjis("morvalen-report\\morvalen-gaps-開発部.csv"), sato2 = "0,0,,\r\n";
    std::string bytes = ReadBytes(part2), whole = ReadBytes("morvalen-gaps.csv");
    ASSERT_NE(bytes.find(sato2), std::string::npos) << bytes;
    WriteBytes(part2, bytes.insert(bytes.find(sato2) + sato2.size() - 2, "在宅"));
    WriteBytes("morvalen-gaps.csv", whole.erase(whole.find(reason), reason.size()));
    EXPECT_EQ(Report(options), AllRead);
    EXPECT_NE(Lines("morvalen-gaps.csv").find(with(sato, "開発部").substr(0, sato.size() + 9) + "在宅\n"), std::string::npos)
        << Lines("morvalen-gaps.csv");
    EXPECT_EQ(Lines("morvalen-gaps.csv").find("田さんと打合せ"), std::string::npos);
    EXPECT_EQ(Lines("morvalen-reasons.csv").find("田さんと打合せ"), std::string::npos);
}
