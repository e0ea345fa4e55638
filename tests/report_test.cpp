/*
 * The usage report: log lines read into fields, sessions counted into
 * days, and the real morvalen-report.exe over logs the real recorder
 * wrote and over bad input.
 */
#include "program.h"

#include "calendar.h"
#include "collect.h"
#include "copytime.h"
#include "logline.h"
#include "makereport.h"
#include "reportoptions.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

static std::string ReportPath()
{
    return BuildFolder() + "\\morvalen-report.exe";
}

/* A line as the test writes it, CP932 bytes. */
static std::string Line(const char *utf8)
{
    return "\r\n" + Sjis(utf8);
}

/* "kind", or "name|start|end" for a record, end "open" if it has none. */
static std::string Fields(const std::string &line)
{
    static const char *const kinds[] = {"blank", "title", "columns", "record", "other"};
    LogLine read = ReadLogLine(line.data(), (int)line.size());
    if (read.kind != LineRecord)
        return kinds[read.kind];
    auto stamp = [](int moment) {
        Text text;
        AppendDate(text, DayOf(moment));
        text += ' ';
        AppendClock(text, MinuteOfDay(moment));
        return std::string(text.c_str());
    };
    return Utf8(line.substr(0, read.nameLength)) + "|" + stamp(read.start) + "|" +
           (read.ended ? stamp(read.end) : "open");
}

TEST(ReportLine, ReadsTheRecordersLayoutAndNothingElse)
{
    struct {
        const char *line, *fields;
    } rows[] = {
        {"root             26/12/07(月) 09:05     26/12/07(月) 17:45     08:40",
         "root|2026/12/07 09:05|2026/12/07 17:45"},
        {"root             26/12/07(月) 09:05", "root|2026/12/07 09:05|open"},
        {"averyverylongusername26/12/07(月) 09:05", "averyverylongusername|2026/12/07 09:05|open"},
        {"John Smith       26/02/28(土) 23:59", "John Smith|2026/02/28 23:59|open"},
        {"山田　太郎       26/12/07(月) 09:05     26/12/08(火) 00:00     14:55",
         "山田　太郎|2026/12/07 09:05|2026/12/08 00:00"},
        {"-- none --       26/12/07(月) 09:05", "-- none --|2026/12/07 09:05|open"},
        {"a(b) c           26/12/07(Mon) 09:05     27/01/21(Thu) 09:05     99:59",
         "a(b) c|2026/12/07 09:05|2027/01/21 09:05"},
        {"ユーザー名       26/12/07(月) 09:05", "ユーザー名|2026/12/07 09:05|open"},
        {"// Morvalen for Windows ログファイル //", "title"},
        {"ユーザー名　　　 起動時刻　　　　　　　 終了時刻　　　　　　　 使用時間", "columns"},
        {"", "blank"},
        {"   ", "blank"},
        {"     26/12/07(月) 17:45     08:40", "other"},                 /* an end record alone */
        {"root            26/12/07(月) 09:05", "other"},                 /* user field of 16 */
        {"root             26/02/29(日) 09:05", "other"},                /* no such day */
        {"root             26/12/07(月) 24:00", "other"},
        {"root             26/12/07() 09:05", "other"},
        {"root             26/12/07(月) 09:05 ", "other"},
        {"root             26/12/07(月) 09:05    26/12/07(月) 17:45     08:40", "other"},
        {"root             26/12/07(月) 09:05     26/12/07(月) 17:45     8:40", "other"},
        {"                 26/12/07(月) 09:05", "other"},
    };
    for (const auto &row : rows)
        EXPECT_EQ(Fields(Sjis(row.line)), row.fields) << row.line;
}

/* The CSV rows as CP932 bytes, each with its CRLF. */
static std::string Rows(const std::vector<const char *> &rows)
{
    std::string bytes;
    for (const char *row : rows)
        bytes += Sjis(row) + "\r\n";
    return bytes;
}

/* A log of these records, as the recorder writes it. */
static std::string LogOf(const std::vector<const char *> &lines)
{
    std::string bytes = kLogHeader;
    for (const char *line : lines)
        bytes += Line(line);
    return bytes;
}

/* The rows of a CSV file after its header, or of its month parts in
   turn, each with the header, when it was split. */
static std::string Body(const std::string &name)
{
    std::string body, whole;
    for (std::string part : {"", "2026-11", "2026-12"}) {
        std::string bytes = ReadBytes(part.empty() ? name + ".csv" : "morvalen-report\\" + name + "-" + part + ".csv");
        bytes = bytes == "<missing>" ? "" : bytes;
        whole = part.empty() ? bytes : whole;
        EXPECT_TRUE(bytes.empty() || part.empty() || whole.empty()) << name << " whole and in parts";
        EXPECT_TRUE(bytes.empty() || !bytes.compare(0, 11, Sjis("ユーザー名,"))) << name << " " << part;
        body += bytes.substr(std::min(bytes.find("\r\n") + 2, bytes.size()));
    }
    return body;
}

/* The rows of a days file that have a session. */
static std::string UsedDays(const std::string &csv)
{
    std::string used;
    for (size_t at = 0; at < csv.size();) {
        size_t end = csv.find("\r\n", at) + 2;
        std::string row = csv.substr(at, end - at);
        if (row.find(",0,0:00,0,\r\n") == std::string::npos)
            used += row;
        at = end;
    }
    return used;
}

TEST(ReportDays, SplitAtMidnightMarkedAndCountedOnceAcrossFiles)
{
    /* A record but for its length, inside the first megabyte read and
       across its end (the header, CRLFs and blank lines put it at byte
       1047876): unreadable in both places. */
    const std::string tooLong = std::string(1500, 'x') + " 26/12/03(木) 09:00", blanks(1046237, '\n');
    struct LogFile {
        const char *name;
        std::vector<const char *> lines;
        bool utf8;
    };
    struct {
        const char *label;
        std::vector<LogFile> files;
        std::vector<const wchar_t *> inputs;
        std::vector<const char *> sessions, days;
        int from, to;   /* days of December 2026; 0: not given */
        int maxRows;    /* of a CSV file, lowered: it is split by month */
        Outcome outcome;
        const char *pages;      /* the month pages written, when given */
        const char *overview;   /* what the overview lists, when given */
    } rows[] = {
        {"midnight", {{"log.txt", {"root             26/12/06(日) 22:00     26/12/07(月) 01:30     03:30"}}},
         {L"log.txt"},
         {"root,2026/12/06,22:00,2026/12/07,01:30,210,3:30,,log.txt,4"},
         {"root,2026/12/06,日,22:00,,120,2:00,1,翌日へ", "root,2026/12/07,月,,01:30,90,1:30,1,前日から"}},
        {"over four days, past the capped usage",
         {{"log.txt", {"root             26/12/01(火) 09:00     26/12/05(土) 17:00     99:59"}}},
         {L"log.txt"},
         {"root,2026/12/01,09:00,2026/12/05,17:00,6240,104:00,,log.txt,4"},
         {"root,2026/12/01,火,09:00,,900,15:00,1,翌日へ", "root,2026/12/02,水,,,1440,24:00,1,前日から 翌日へ",
          "root,2026/12/03,木,,,1440,24:00,1,前日から 翌日へ", "root,2026/12/04,金,,,1440,24:00,1,前日から 翌日へ",
          "root,2026/12/05,土,,17:00,1020,17:00,1,前日から"}},
        {"crashed, then running over midnight up to the report's time",
         {{"log.txt", {"root             26/12/06(日) 08:00", "root             26/12/06(日) 23:00"}}},
         {L"log.txt"},
         {"root,2026/12/06,08:00,,,0,0:00,異常終了,log.txt,4", "root,2026/12/06,23:00,,,780,13:00,実行中,log.txt,5"},
         {"root,2026/12/06,日,08:00,,60,1:00,2,翌日へ 異常終了", "root,2026/12/07,月,,,720,12:00,1,前日から 実行中"}},
        {"an end at midnight, and the clock set back",
         {{"log.txt", {"root             26/12/06(日) 23:00     26/12/07(月) 00:00     01:00",
                       "root             26/12/07(月) 10:00     26/12/07(月) 09:30     00:00"}}},
         {L"log.txt"},
         {"root,2026/12/06,23:00,2026/12/07,00:00,60,1:00,,log.txt,4",
          "root,2026/12/07,10:00,2026/12/07,09:30,0,0:00,時計の戻り,log.txt,5"},
         {"root,2026/12/06,日,23:00,24:00,60,1:00,1,", "root,2026/12/07,月,10:00,,0,0:00,1,時計の戻り"}},
        {"the archive's open line completed in the log",
         {{"log_26-12-05.txt", {"root             26/12/04(金) 09:00     26/12/04(金) 18:00     09:00",
                                "root             26/12/05(土) 09:00"}},
          {"log.txt", {"root             26/12/05(土) 09:00     26/12/05(土) 12:00     03:00"}}},
         {L"log.txt"},
         {"root,2026/12/04,09:00,2026/12/04,18:00,540,9:00,,log_26-12-05.txt,4",
          "root,2026/12/05,09:00,2026/12/05,12:00,180,3:00,,log.txt,4"},
         {"root,2026/12/04,金,09:00,18:00,540,9:00,1,", "root,2026/12/05,土,09:00,12:00,180,3:00,1,"}},
        {"the archive's open line still running in the log",
         {{"log_26-12-07.txt", {"root             26/12/07(月) 09:00"}},
          {"log.txt", {"root             26/12/07(月) 09:00"}}},
         {L"log.txt"},
         {"root,2026/12/07,09:00,,,180,3:00,実行中,log_26-12-07.txt,4"},
         {"root,2026/12/07,月,09:00,,180,3:00,1,実行中"}},
        {"a file given twice and a copy of it, each with two sessions from one minute",
         {{"a.txt", {"root             26/12/03(木) 09:00     26/12/03(木) 10:00     01:00",
                     "root             26/12/03(木) 09:00     26/12/03(木) 09:30     00:30"}},
          {"b.txt", {"root             26/12/03(木) 09:00     26/12/03(木) 10:00     01:00",
                     "root             26/12/03(木) 09:00     26/12/03(木) 09:30     00:30"}}},
         {L"a.txt", L".", L"A.TXT"},
         {"root,2026/12/03,09:00,2026/12/03,10:00,60,1:00,,a.txt,4",
          "root,2026/12/03,09:00,2026/12/03,09:30,30,0:30,,a.txt,5"},
         {"root,2026/12/03,木,09:00,10:00,60,1:00,2,重複"}},
        {"a crash and a new session within the minute, in a log and its copy",
         {{"a.txt", {"root             26/12/03(木) 09:00", "root             26/12/03(木) 09:00     26/12/03(木) 10:00     01:00"}},
          {"b.txt", {"root             26/12/03(木) 09:00", "root             26/12/03(木) 09:00     26/12/03(木) 10:00     01:00"}}},
         {L"a.txt", L"b.txt"},
         {"root,2026/12/03,09:00,2026/12/03,10:00,60,1:00,,a.txt,5", "root,2026/12/03,09:00,,,0,0:00,異常終了,a.txt,4"},
         {"root,2026/12/03,木,09:00,10:00,60,1:00,2,異常終了"}},
        {"a crash in the minute a completed session started, the next session a minute later",
         {{"a.txt", {"root             26/12/03(木) 09:00     26/12/03(木) 10:00     01:00", "root             26/12/03(木) 09:00",
                     "root             26/12/03(木) 10:30     26/12/03(木) 11:00     00:30"}}},
         {L"a.txt"},
         {"root,2026/12/03,09:00,2026/12/03,10:00,60,1:00,,a.txt,4", "root,2026/12/03,10:30,2026/12/03,11:00,30,0:30,,a.txt,6",
          "root,2026/12/03,09:00,,,0,0:00,異常終了,a.txt,5"},
         {"root,2026/12/03,木,09:00,11:00,90,1:30,3,異常終了"}},
        {"names Excel would misread",
         {{"log.txt", {"-- none --       26/12/03(木) 09:00     26/12/03(木) 10:00     01:00",
                       "Sato, \"K\"        26/12/03(木) 11:00     26/12/03(木) 12:00     01:00"}}},
         {L"log.txt"},
         {"\"=\"\"-- none --\"\"\",2026/12/03,09:00,2026/12/03,10:00,60,1:00,,log.txt,4",
          "\"Sato, \"\"K\"\"\",2026/12/03,11:00,2026/12/03,12:00,60,1:00,,log.txt,5"},
         {"\"=\"\"-- none --\"\"\",2026/12/03,木,09:00,10:00,60,1:00,1,",
          "\"Sato, \"\"K\"\"\",2026/12/03,木,11:00,12:00,60,1:00,1,"}},
        {"a log saved again as UTF-8 names the same user",
         {{"a.txt", {"山田　太郎       26/12/03(木) 09:00     26/12/03(木) 10:00     01:00"}},
          {"u.txt", {"山田　太郎       26/12/03(木) 13:00     26/12/03(木) 14:00     01:00"}, true}},
         {L"a.txt", L"u.txt"},
         {"山田　太郎,2026/12/03,09:00,2026/12/03,10:00,60,1:00,,a.txt,4",
          "山田　太郎,2026/12/03,13:00,2026/12/03,14:00,60,1:00,,u.txt,4"},
         {"山田　太郎,2026/12/03,木,09:00,14:00,120,2:00,2,"}},
        {"two PCs, two sessions on one PC, three PCs past 24:00: each minute counted once",
         {{"a.txt", {"root             26/12/02(水) 09:00     26/12/02(水) 17:00     08:00",
                     "root             26/12/03(木) 01:00     26/12/03(木) 23:00     22:00",
                     "root             26/12/04(金) 09:00     26/12/04(金) 12:00     03:00",
                     "root             26/12/04(金) 10:00     26/12/04(金) 11:00     01:00"}},
          {"b.txt", {"root             26/12/02(水) 10:00     26/12/02(水) 12:00     02:00",
                     "root             26/12/02(水) 16:00     26/12/02(水) 19:00     03:00",
                     "root             26/12/03(木) 02:00     26/12/03(木) 22:00     20:00"}},
          {"c.txt", {"root             26/12/03(木) 00:30     26/12/03(木) 23:30     23:00"}}},
         {L"a.txt", L"b.txt", L"c.txt"},
         {"root,2026/12/02,09:00,2026/12/02,17:00,480,8:00,,a.txt,4",
          "root,2026/12/03,01:00,2026/12/03,23:00,1320,22:00,,a.txt,5",
          "root,2026/12/04,09:00,2026/12/04,12:00,180,3:00,,a.txt,6",
          "root,2026/12/04,10:00,2026/12/04,11:00,60,1:00,,a.txt,7",
          "root,2026/12/02,10:00,2026/12/02,12:00,120,2:00,,b.txt,4",
          "root,2026/12/02,16:00,2026/12/02,19:00,180,3:00,,b.txt,5",
          "root,2026/12/03,02:00,2026/12/03,22:00,1200,20:00,,b.txt,6",
          "root,2026/12/03,00:30,2026/12/03,23:30,1380,23:00,,c.txt,4"},
         {"root,2026/12/02,水,09:00,19:00,600,10:00,3,重複", "root,2026/12/03,木,00:30,23:30,1380,23:00,3,重複",
          "root,2026/12/04,金,09:00,12:00,180,3:00,2,重複"}},
        {"a line too long for a record, wherever it lies",
         {{"log.txt", {tooLong.c_str(), blanks.c_str(), tooLong.c_str()}}}, {L"log.txt"}, {}, {}, 0, 0, 0, SomeUnreadable},
        {"only the range",
         {{"log.txt", {"root             26/11/30(月) 22:00     26/12/01(火) 02:00     04:00",
                       "root             26/12/02(水) 09:00     26/12/02(水) 10:00     01:00",
                       "root             26/12/03(木) 09:00     26/12/03(木) 10:00     01:00"}}},
         {L"log.txt"},
         {"root,2026/11/30,22:00,2026/12/01,02:00,240,4:00,,log.txt,4",
          "root,2026/12/02,09:00,2026/12/02,10:00,60,1:00,,log.txt,5"},
         {"root,2026/12/01,火,,02:00,120,2:00,1,前日から", "root,2026/12/02,水,09:00,10:00,60,1:00,1,"},
         1, 2},
        {"too many rows for a file: a part per month",
         {{"a.txt", {"root             26/12/02(水) 09:00     26/12/02(水) 10:00     01:00"}},
          {"b.txt", {"root             26/11/02(月) 09:00     26/11/02(月) 10:00     01:00",
                     "root             26/11/30(月) 22:00     26/12/01(火) 02:00     04:00"}}},
         {L"a.txt", L"b.txt"},
         {"root,2026/11/02,09:00,2026/11/02,10:00,60,1:00,,b.txt,4",
          "root,2026/11/30,22:00,2026/12/01,02:00,240,4:00,,b.txt,5",
          "root,2026/12/02,09:00,2026/12/02,10:00,60,1:00,,a.txt,4"},
         {"root,2026/11/02,月,09:00,10:00,60,1:00,1,", "root,2026/11/30,月,22:00,,120,2:00,1,翌日へ",
          "root,2026/12/01,火,,02:00,120,2:00,1,前日から", "root,2026/12/02,水,09:00,10:00,60,1:00,1,"},
         0, 0, 3},
        {"PCs whose clock batteries failed: a start at the BIOS's date counts nothing, its end's day is marked",
         {{"a.txt", {"root             26/11/30(月) 08:00     26/11/30(月) 17:00     09:00",
                     "root             00/01/01(土) 00:05     26/12/01(火) 18:00     99:59",
                     "root             26/12/02(水) 09:00     26/12/02(水) 10:00     01:00"}},
          {"b.txt", {"sato             26/11/30(月) 09:00     26/11/30(月) 10:00     01:00",
                     "root             00/01/01(土) 00:05     26/12/01(火) 17:00     99:59"}}},
         {L"a.txt", L"b.txt"},
         {"root,2026/11/30,08:00,2026/11/30,17:00,540,9:00,,a.txt,4",
          "root,2000/01/01,00:05,2026/12/01,18:00,0,0:00,時刻の異常,a.txt,5",
          "root,2026/12/02,09:00,2026/12/02,10:00,60,1:00,,a.txt,6", "sato,2026/11/30,09:00,2026/11/30,10:00,60,1:00,,b.txt,4",
          "root,2000/01/01,00:05,2026/12/01,17:00,0,0:00,時刻の異常,b.txt,5"},
         {"root,2026/11/30,月,08:00,17:00,540,9:00,1,", "root,2026/12/01,火,,,0,0:00,2,時刻の異常",
          "root,2026/12/02,水,09:00,10:00,60,1:00,1,", "sato,2026/11/30,月,09:00,10:00,60,1:00,1,"},
         0, 0, 0, AllRead, "2026-11.html 2026-12.html ",
         "a.txt 5行目: <code>root 2000/01/01 00:05 \xef\xbd\x9e 2026/12/01 18:00 99:59</code>"},
        {"both stamps at the BIOS's date: no day, month or year of 2000",
         {{"log.txt", {"root             26/11/30(月) 08:00     26/11/30(月) 17:00     09:00",
                       "root             00/01/01(土) 00:05     00/01/01(土) 03:00     02:55",
                       "root             26/12/02(水) 09:00     26/12/02(水) 10:00     01:00"}}},
         {L"log.txt"},
         {"root,2026/11/30,08:00,2026/11/30,17:00,540,9:00,,log.txt,4",
          "root,2000/01/01,00:05,2000/01/01,03:00,0,0:00,時刻の異常,log.txt,5",
          "root,2026/12/02,09:00,2026/12/02,10:00,60,1:00,,log.txt,6"},
         {"root,2026/11/30,月,08:00,17:00,540,9:00,1,", "root,2026/12/02,水,09:00,10:00,60,1:00,1,"},
         0, 0, 0, AllRead, "2026-11.html 2026-12.html ", "log.txt 5行目: <code>root 2000/01/01 00:05"},
        {"a clock set into the future: starts and an end after the report's time; the lines after in order",
         {{"log.txt", {"root             26/12/01(火) 09:00     26/12/01(火) 10:00     01:00",
                       "root             99/12/31(木) 09:00     99/12/31(木) 10:00     01:00",
                       "root             26/12/02(水) 09:00     26/12/02(水) 10:00     01:00",
                       "root             26/12/03(木) 09:00     27/01/05(火) 09:00     99:59",
                       "root             26/12/24(木) 09:00"}}},
         {L"log.txt"},
         {"root,2026/12/01,09:00,2026/12/01,10:00,60,1:00,,log.txt,4",
          "root,2099/12/31,09:00,2099/12/31,10:00,0,0:00,時刻の異常,log.txt,5",
          "root,2026/12/02,09:00,2026/12/02,10:00,60,1:00,,log.txt,6",
          "root,2026/12/03,09:00,2027/01/05,09:00,0,0:00,時刻の異常,log.txt,7",
          "root,2026/12/24,09:00,,,0,0:00,時刻の異常,log.txt,8"},
         {"root,2026/12/01,火,09:00,10:00,60,1:00,1,", "root,2026/12/02,水,09:00,10:00,60,1:00,1,"},
         0, 0, 0, AllRead, "2026-12.html ", "log.txt 8行目: <code>root 2026/12/24 09:00</code>"},
        {"a clock fault on an archive's open line is one in the log that completes it",
         {{"log_26-12-05.txt", {"root             26/12/04(金) 09:00     26/12/04(金) 18:00     09:00",
                                "root             00/01/01(土) 00:05"}},
          {"log.txt", {"root             00/01/01(土) 00:05     26/12/05(土) 12:00     99:59",
                       "root             26/12/05(土) 13:00     26/12/05(土) 14:00     01:00"}}},
         {L"log.txt"},
         {"root,2026/12/04,09:00,2026/12/04,18:00,540,9:00,,log_26-12-05.txt,4",
          "root,2000/01/01,00:05,2026/12/05,12:00,0,0:00,時刻の異常,log.txt,4",
          "root,2026/12/05,13:00,2026/12/05,14:00,60,1:00,,log.txt,5"},
         {"root,2026/12/04,金,09:00,18:00,540,9:00,1,", "root,2026/12/05,土,13:00,14:00,60,1:00,2,時刻の異常"},
         0, 0, 0, AllRead, "2026-12.html "},
        {"before the range: an archive's open line, completed in its log, is not running",
         {{"log_26-12-01.txt", {"root             26/12/01(火) 09:00"}},
          {"log.txt", {"root             26/12/01(火) 09:00     26/12/01(火) 12:00     03:00",
                       "root             26/12/02(水) 09:00     26/12/02(水) 10:00     01:00"}}},
         {L"log.txt"},
         {"root,2026/12/02,09:00,2026/12/02,10:00,60,1:00,,log.txt,5"},
         {"root,2026/12/02,水,09:00,10:00,60,1:00,1,"},
         2, 3},
        {"a session over a year, wherever it stands, a log's first line too: a clock fault",
         {{"a.txt", {"root             00/01/01(土) 00:05     26/12/02(水) 18:00     99:59",
                     "root             26/12/03(木) 09:00     26/12/03(木) 10:00     01:00"}},
          {"b.txt", {"sato             25/10/01(水) 09:00     25/10/01(水) 10:00     01:00",
                     "sato             25/10/02(木) 09:00     26/12/04(金) 09:00     99:59"}}},
         {L"a.txt", L"b.txt"},
         {"root,2000/01/01,00:05,2026/12/02,18:00,0,0:00,時刻の異常,a.txt,4",
          "root,2026/12/03,09:00,2026/12/03,10:00,60,1:00,,a.txt,5", "sato,2025/10/01,09:00,2025/10/01,10:00,60,1:00,,b.txt,4",
          "sato,2025/10/02,09:00,2026/12/04,09:00,0,0:00,時刻の異常,b.txt,5"},
         {"root,2026/12/02,水,,,0,0:00,1,時刻の異常", "root,2026/12/03,木,09:00,10:00,60,1:00,1,",
          "sato,2025/10/01,水,09:00,10:00,60,1:00,1,", "sato,2026/12/04,金,,,0,0:00,1,時刻の異常"},
         0, 0, 0, AllRead, "2025-10.html 2026-12.html ",
         "a.txt 4行目: <code>root 2000/01/01 00:05 \xef\xbd\x9e 2026/12/02 18:00 99:59</code>"},
        {"a PC left on for 45 days, its start in order: counted",
         {{"log.txt", {"root             26/10/20(火) 09:00     26/12/04(金) 09:00     99:59"}}},
         {L"log.txt"},
         {"root,2026/10/20,09:00,2026/12/04,09:00,64800,1080:00,,log.txt,4"},
         {"root,2026/12/01,火,,,1440,24:00,1,前日から 翌日へ", "root,2026/12/02,水,,,1440,24:00,1,前日から 翌日へ"},
         1, 2},
        {"usage fields: a line changed after it was written; 100 hours at 99:59, the clock set back, and not marked",
         {{"log.txt", {"root             26/11/20(金) 00:00     26/11/24(火) 04:00     99:59",
                       "root             26/12/03(木) 08:40     26/12/03(木) 17:30     10:20",
                       "root             26/12/04(金) 10:00     26/12/04(金) 09:30     00:00",
                       "root             26/12/04(金) 09:40     26/12/04(金) 10:00     00:20",
                       "root             26/12/05(土) 09:00     26/12/05(土) 10:00     00:60"}}},
         {L"log.txt"},
         {"root,2026/11/20,00:00,2026/11/24,04:00,6000,100:00,,log.txt,4",
          "root,2026/12/03,08:40,2026/12/03,17:30,530,8:50,記録の不一致,log.txt,5",
          "root,2026/12/04,10:00,2026/12/04,09:30,0,0:00,時計の戻り,log.txt,6",
          "root,2026/12/04,09:40,2026/12/04,10:00,20,0:20,,log.txt,7",
          "root,2026/12/05,09:00,2026/12/05,10:00,60,1:00,記録の不一致,log.txt,8"},
         {"root,2026/11/20,金,00:00,,1440,24:00,1,翌日へ", "root,2026/11/21,土,,,1440,24:00,1,前日から 翌日へ",
          "root,2026/11/22,日,,,1440,24:00,1,前日から 翌日へ", "root,2026/11/23,月,,,1440,24:00,1,前日から 翌日へ",
          "root,2026/11/24,火,,04:00,240,4:00,1,前日から", "root,2026/12/03,木,08:40,17:30,530,8:50,1,記録の不一致",
          "root,2026/12/04,金,09:40,10:00,20,0:20,2,時計の戻り", "root,2026/12/05,土,09:00,10:00,60,1:00,1,記録の不一致"},
         0, 0, 0, AllRead, "2026-11.html 2026-12.html ",
         "log.txt 8行目: <code>root 2026/12/05 09:00 \xef\xbd\x9e 2026/12/05 10:00 00:60</code>"},
    };
    for (const auto &row : rows) {
        std::string folder = EnterFreshFolder("ReportDays");
        for (const LogFile &file : row.files) {
            std::string bytes = LogOf(file.lines);
            WriteBytes(file.name, file.utf8 ? "\xef\xbb\xbf" + std::string(Utf8(bytes)) : bytes);
        }
        Options options = InFolder(folder, row.inputs);
        if (row.from) {
            options.fromGiven = options.toGiven = true;
            options.from = DayNumber(2026, 12, row.from);
            options.to = DayNumber(2026, 12, row.to);
        }
        options.maxRows = row.maxRows;
        WText page;
        Problem problem = {};
        EXPECT_EQ(MakeReport(options, &page, &problem), row.outcome) << row.label;
        EXPECT_EQ(Body("morvalen-sessions"), Rows(row.sessions)) << row.label;
        EXPECT_EQ(UsedDays(Body("morvalen-days")), Rows(row.days)) << row.label;
        std::string html = ReadBytes("morvalen-report.html");
        EXPECT_EQ(html.find("morvalen-report/morvalen-sessions-2026-11.csv\">") != std::string::npos, row.maxRows > 0)
            << row.label << ": the overview names the parts";
        if (row.pages)
            EXPECT_EQ(Listing(folder + "\\morvalen-report"), row.pages) << row.label;
        if (row.overview)
            EXPECT_NE(html.find(row.overview), std::string::npos) << row.label << ": the overview lists no " << row.overview;
    }
}

enum Encoding { Cp932, Utf8Bom, Utf16 };

/* A timesheet written in UTF-8 with LF, as an export in encoding has it,
   with CRLF: Excel's Unicode text is UTF-16 with a BOM. */
static std::string Encoded(Encoding encoding, const char *utf8)
{
    std::string text;
    for (const char *c = utf8; *c; c++)
        text += *c == '\n' ? std::string("\r\n") : std::string(1, *c);
    if (encoding != Utf16)
        return encoding == Cp932 ? Sjis(text.c_str()) : "\xef\xbb\xbf" + text;
    std::wstring wide(MultiByteToWideChar(CP_UTF8, 0, text.data(), (int)text.size(), NULL, 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), (int)text.size(), &wide[0], (int)wide.size());
    return "\xff\xfe" + std::string((const char *)wide.data(), wide.size() * 2);
}

/* Timesheets in the shapes attendance systems and hand-kept sheets export,
   against logs: the gaps file's bytes, the exit code, and what the page
   says of how each file was read and of the files and persons it could
   not use. Most shapes declare one person's day shift and night shift
   (22:00 to 7:00) against the same log, and must give the same rows. */
TEST(ReportGaps, DeclaredHoursAgainstTheRecordByUserAndWorkDay)
{
    const std::string header = "ユーザー名,日付,曜日,申告の出勤,申告の退勤,PCの最初の起動,PCの最後の終了,始業前(分),終業後(分),判定,理由";
    const std::string bom = "\xef\xbb\xbf";
    const std::string nights = LogOf({"root             26/11/02(月) 08:50     26/11/02(月) 18:10     09:20",
                                      "root             26/11/03(火) 21:50     26/11/04(水) 07:10     09:20"});
    std::string items;  /* a daily export with every item chosen */
    for (int i = 0; i < 150; i++)
        items += ",x";
    const std::string wide = "ユーザー名,日付" + items + ",出勤,退勤\nroot,2026/11/02" + std::string(150, ',') +
                             ",9:00,18:00\nroot,2026/11/03" + std::string(150, ',') + ",22:00,7:00\n";
    const std::vector<const char *> twoDays = {"root,2026/11/02,月,09:00,18:00,08:50,18:10,10,10,,",
                                               "root,2026/11/03,火,22:00,31:00,21:50,31:10,10,10,,"};
    struct {
        const char *label;
        std::vector<std::pair<const char *, std::string>> files;
        std::vector<const wchar_t *> inputs;
        const wchar_t *users;
        int gap;
        Outcome outcome;
        std::vector<const char *> gaps, page;
    } rows[] = {
        {"a CP932 export with 氏名 and a PC user column, at the threshold's edge",
         {{"log.txt", LogOf({"root             26/11/02(月) 08:45     26/11/03(火) 01:40     16:55",
                             "root             26/11/04(水) 08:44     26/11/04(水) 18:16     09:32",
                             "root             26/11/05(木) 09:00",
                             "root             26/11/06(金) 09:00     26/11/06(金) 18:00     09:00"})},
          {"sheet.csv", Sjis("氏名,ユーザー名,日付,出勤,退勤,備考\r\n山田,ROOT ,2026/11/02,9:00,18:00,\r\n"
                             "山田,root,2026/11/03,9:00,18:00,\r\n山田,root,2026/11/04,9:00,18:15,\r\n"
                             "山田,root,2026/11/05,9:00,,\r\n鈴木,suzuki,2026/11/02,9:00,18:00,\r\n"
                             "山田,root,2026/11/31,9:00,18:00,\r\n")}},
         {L"log.txt", L"sheet.csv"}, NULL, 15, SomeUnreadable,
         {"root,2026/11/02,月,09:00,18:00,08:45,25:40,15,460,終業後の使用,",
          "root,2026/11/03,火,09:00,18:00,,,,,PCの記録のない出勤,",
          "root,2026/11/04,水,09:00,18:15,08:44,18:16,16,1,始業前の使用,",
          "root,2026/11/05,木,09:00,,09:00,,0,,退勤の申告なし,", "root,2026/11/06,金,,,09:00,18:00,,,申告のない日の使用,"},
         {"sheet.csv \xe2\x80\x94 5 行", "sheet.csv 7行目: <code>山田,root,2026/11/31", "<li>suzuki \xe2\x80\x94 1 行</li>"}},
        {"UTF-8 with a BOM, 従業員番号 through a mapping, /gap:30",
         {{"log.txt", LogOf({"root             26/11/02(月) 08:00     26/11/02(月) 17:59     09:59",
                             "山田　太郎       26/11/02(月) 08:29     26/11/02(月) 18:31     10:02"})},
          {"sheet.csv", bom + "従業員番号,勤務日,始業時刻,終業時刻\r\nE001,2026/11/02,8:30,17:30\r\ne002,2026/11/02,9:00,18:00\r\n"},
          {"users.csv", Sjis("社員番号,ユーザー名\r\nE001,root\r\nE002,山田　太郎\r\n")}},
         {L"log.txt", L"sheet.csv"}, L"users.csv", 30, AllRead,
         {"root,2026/11/02,月,08:30,17:30,08:00,17:59,30,29,,",
          "山田　太郎,2026/11/02,月,09:00,18:00,08:29,18:31,31,31,始業前の使用、終業後の使用,"},
         {"users.csv \xe2\x80\x94 ユーザー名の対応表 2 行", "しきい値 30 分"}},
        {"quoted, LF, a split shift to 25:30, 9:00:00, a blank day, in a folder beside the report's own",
         {{"logs\\log.txt", LogOf({"root             26/11/02(月) 08:00     26/11/03(火) 01:00     17:00"})},
          {"logs\\sheet.csv", Sjis("\"ユーザー名\",\"年月日\",\"出社\",\"退社\"\n\"root\",\"20261102\",\"9:00:00\",\"12:00\"\n"
                                   "\"root\",\"2026年11月2日\",\"13:00\",\"25:30\"\n\"root\",\"2026-11-3\",\"\",\"\"\n"
                                   "\"r,oot\"\"x\",2026/11/4,9:00,18:00")},
          {"logs\\morvalen-gaps.csv", Sjis("ユーザー名,日付,出勤,退勤\r\nroot,2026/11/20,9:00,18:00\r\n")},
          {"logs\\notes.csv", "a,b\r\n1,2\r\n"}},
         {L"logs"}, NULL, 15, AllRead,
         {"root,2026/11/02,月,09:00,25:30,08:00,25:00,60,0,始業前の使用,", "root,2026/11/03,火,,,,,,,,"},
         {"notes.csv \xe2\x80\x94 勤怠の表ではありません", "<li>r,oot&quot;x \xe2\x80\x94 1 行</li>"}},
        {"title rows, marks, a weekday column, a night shift, a total row and a bad date",
         {{"log.txt", nights},
          {"sheet.csv", Encoded(Cp932, "勤怠一覧表\n出力日時,2026/12/01 10:00\n株式会社サンプル 2026年11月\n\n"
                                       "*ユーザー名,※日付,曜日,出勤時刻,退勤時刻,備考\nroot,2026/11/02,月,9:00,18:00,\n"
                                       "root,2026/11/03,火,22:00,7:00,夜勤\nroot,休日,水,,,\n合計,,,,,\n")}},
         {L"log.txt", L"sheet.csv"}, NULL, 15, SomeUnreadable, twoDays,
         {"sheet.csv \xe2\x80\x94 2 行（見出し 5 行目、CP932、カンマ区切り、PCユーザー名「*ユーザー名」、日付「※日付」、"
          "出勤「出勤時刻」、退勤「退勤時刻」）", "読めない行: 1 行", "sheet.csv 8行目: <code>root,休日,水,,,</code>"}},
        {"full-width names, a code beside a name that repeats, the weekday after the date, 9時00分, a group's total",
         {{"log.txt", nights}, {"users.csv", "00123,root\r\n"},
          {"sheet.csv", Encoded(Utf8Bom, "社員ＩＤ,氏名,日付,始業時間,終業時間\n00123,山田　太郎,2026/11/02(月),9時00分,18時00分\n"
                                         "00456,山田　太郎,2026/11/02 (月),8時00分,17時00分\n"
                                         "00123,山田　太郎,2026/11/03(火),22時00分,7時00分\n営業部 小計,,,,\n")}},
         {L"log.txt", L"sheet.csv"}, L"users.csv", 15, AllRead, twoDays,
         {"UTF-8、カンマ区切り、従業員「社員ＩＤ」、氏名「氏名」", "<li>00456 山田　太郎 \xe2\x80\x94 1 行</li>"}},
        {"Excel's Unicode text: UTF-16 and tabs, the era, the header again",
         {{"log.txt", nights},
          {"sheet.csv", Encoded(Utf16, "ユーザー名\t日付\t出勤\t退勤\nroot\t令和8年11月2日\t9:00\t18:00\n"
                                       "ユーザー名\t日付\t出勤\t退勤\nroot\tR8/11/3\t22:00\t7:00\n")}},
         {L"log.txt", L"sheet.csv"}, NULL, 15, AllRead, twoDays, {"sheet.csv \xe2\x80\x94 2 行（見出し 1 行目、UTF-16、タブ区切り"}},
        {"tabs in CP932, quoted, 2026.11.02, a code Excel keeps as text",
         {{"log.txt", nights}, {"users.csv", "00123,root\r\n"},
          {"sheet.csv", Encoded(Cp932, "\"社員番号\"\t\"日付\"\t\"出勤\"\t\"退勤\"\n=\"00123\"\t\"2026.11.02\"\t\"9:00\"\t\"18:00\"\n"
                                       "=\"00123\"\t\"2026.11.03\"\t\"22:00\"\t\"7:00\"\n")}},
         {L"log.txt", L"sheet.csv"}, L"users.csv", 15, AllRead, twoDays, {"CP932、タブ区切り"}},
        {"a row per punch with its work day, 苗字 and 名前 apart, a break between",
         {{"log.txt", nights}, {"users.csv", Sjis("山田　太郎,root\r\n")},
          {"sheet.csv", Encoded(Cp932, "従業員番号,苗字,名前,打刻所属日,打刻日,打刻時間,打刻種別\n"
                                       "E1,山田,太郎,2026/11/02,2026/11/02,9:00,出勤\nE1,山田,太郎,2026/11/02,2026/11/02,12:00,休憩開始\n"
                                       "E1,山田,太郎,2026/11/02,2026/11/02,18:00,退勤\nE1,山田,太郎,2026/11/03,2026/11/03,22:00,出勤\n"
                                       "E1,山田,太郎,2026/11/03,2026/11/04,7:00,退勤\n")}},
         {L"log.txt", L"sheet.csv"}, L"users.csv", 15, AllRead, twoDays,
         {"sheet.csv \xe2\x80\x94 4 行", "勤務日「打刻所属日」、打刻の時刻「打刻時間」、打刻の種別「打刻種別」"}},
        {"a punch's date and time in one cell, 出社 and 退社, its work day beside it",
         {{"log.txt", nights},
          {"sheet.csv", Encoded(Cp932, "ユーザー名,勤務日,打刻日時,区分\nroot,2026/11/02,2026/11/02 09:00,出社\n"
                                       "root,2026/11/02,2026/11/02 18:00,退社\nroot,2026/11/03,2026/11/03 22:00,出社\n"
                                       "root,2026/11/03,2026/11/04 07:00,退社\n")}},
         {L"log.txt", L"sheet.csv"}, NULL, 15, AllRead, twoDays, {"打刻の日時「打刻日時」"}},
        {"starts and ends as dates and times across midnight, no date column",
         {{"log.txt", nights},
          {"sheet.csv", Encoded(Cp932, "ユーザー名,出勤日時,退勤日時\nroot,2026/11/02 9:00,2026/11/02 18:00\n"
                                       "root,2026/11/03 22:00,2026/11/04 07:00\n")}},
         {L"log.txt", L"sheet.csv"}, NULL, 15, AllRead, twoDays, {}},
        {"numbered pairs, the second after midnight",
         {{"log.txt", nights},
          {"sheet.csv", Encoded(Cp932, "ユーザー名,日付,出勤1,退勤1,出勤2,退勤2\nroot,2026/11/02,9:00,12:00,13:00,18:00\n"
                                       "root,2026/11/03,22:00,23:00,0:00,7:00\n")}},
         {L"log.txt", L"sheet.csv"}, NULL, 15, AllRead, twoDays, {"出勤「出勤1、出勤2」、退勤「退勤1、退勤2」"}},
        {"a start and an end past the 150th column",
         {{"log.txt", nights}, {"sheet.csv", Encoded(Cp932, wide.c_str())}}, {L"log.txt", L"sheet.csv"}, NULL, 15, AllRead,
         twoDays, {}},
        {"no header, asked for: skipped saying why",
         {{"log.txt", nights}, {"sheet.csv", Encoded(Cp932, "root,2026/11/02,9:00,18:00\n")}},
         {L"log.txt", L"sheet.csv"}, NULL, 15, SomeUnreadable, {},
         {"sheet.csv \xe2\x80\x94 勤怠の表ではありません: 最初の 20 行に、日付、出勤、退勤と、ユーザー名か氏名の列の見出しがありません。"}},
        {"no date column, found in a folder: skipped saying why",
         {{"logs\\log.txt", nights}, {"logs\\sheet.csv", Encoded(Cp932, "ユーザー名,出勤,退勤\nroot,9:00,18:00\n")}},
         {L"logs"}, NULL, 15, AllRead, {}, {"sheet.csv \xe2\x80\x94 勤怠の表ではありません: 日付の列がありません（1 行目）。"}},
    };
    for (const auto &row : rows) {
        std::string folder = EnterFreshFolder("ReportGaps");
        CreateDirectoryA("logs", NULL);
        for (const auto &file : row.files)
            WriteBytes(file.first, file.second);
        Options options = InFolder(folder, row.inputs);
        options.usersFile = row.users ? row.users : L"";
        options.gap = row.gap;
        WText page;
        Problem problem = {};
        EXPECT_EQ(MakeReport(options, &page, &problem), row.outcome) << row.label;
        std::vector<const char *> gaps = row.gaps;
        gaps.insert(gaps.begin(), header.c_str());
        EXPECT_EQ(Utf8(ReadBytes("morvalen-gaps.csv")), Utf8(Rows(gaps))) << row.label;
        std::string html = ReadBytes("morvalen-report.html");
        for (const char *text : row.page)
            EXPECT_NE(html.find(text), std::string::npos) << row.label << ": no " << text;
    }

    /* 501 days of use and a declared day without it: the overview lists
       the first 500 flagged days and says how many there are. */
    std::string folder = EnterFreshFolder("ReportGaps"), log = kLogHeader;
    for (int day = 0; day < 501; day++) {
        SYSTEMTIME t = At(2025, 1, 1, 9, 0);
        FILETIME f;
        SystemTimeToFileTime(&t, &f);
        ULONGLONG ticks = (((ULONGLONG)f.dwHighDateTime << 32) | f.dwLowDateTime) + day * 864000000000ULL;
        f = {(DWORD)ticks, (DWORD)(ticks >> 32)};
        FileTimeToSystemTime(&f, &t);
        char line[80];
        snprintf(line, sizeof line, "\r\nroot             %02d/%02d/%02d(x) 09:00     %02d/%02d/%02d(x) 10:00     01:00",
                 t.wYear % 100, t.wMonth, t.wDay, t.wYear % 100, t.wMonth, t.wDay);
        log += line;
    }
    WriteBytes("log.txt", log);
    WriteBytes("sheet.csv", Sjis("ユーザー名,日付,出勤,退勤\r\nroot,2024/12/31,9:00,18:00\r\n"));
    Options options = InFolder(folder, {L"log.txt", L"sheet.csv"});
    WText page;
    Problem problem = {};
    EXPECT_EQ(MakeReport(options, &page, &problem), AllRead);
    std::string html = ReadBytes("morvalen-report.html");
    size_t flagged = 0;
    for (size_t at = 0; (at = html.find("<tr><td>root</td><td>20", at)) != std::string::npos; at++)
        flagged++;
    EXPECT_EQ(flagged, 500u);
    EXPECT_NE(html.find("<p>500 / 502 "), std::string::npos) << "no count of the flagged days";
}

/* Runs the report and waits for it; its exit code, or -1. */
static int RunReport(const std::string &arguments, const std::string &folder)
{
    return RunToEnd("\"" + ReportPath() + "\" " + arguments, folder, 30000);
}

static std::string Duration(ULONGLONG minutes)
{
    char text[32];
    snprintf(text, sizeof text, "%u,%u:%02u", (unsigned)minutes, (unsigned)(minutes / 60), (unsigned)(minutes % 60));
    return text;
}

static std::string CsvStamp(const SYSTEMTIME &t)
{
    char text[32];
    snprintf(text, sizeof text, "%04d/%02d/%02d,%02d:%02d", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute);
    return text;
}

class ReportProgram : public RecorderCase {};

/* Three sessions of the real recorder, the second ended by a crash, in a
   folder with Japanese characters and blanks in its name, and a timesheet
   that declares the day's start half an hour after the first session's
   (or, after noon, its end half an hour before): the report's CSV files
   hold exactly their stamps, a month of days around them, and the day's
   gap. */
TEST_F(ReportProgram, RecorderLogsGiveTheCsvBytes)
{
    folder += "\\" + Sjis("使用 記録");
    CreateDirectoryA(folder.c_str(), NULL);
    Moment span = {Now()};
    for (int session = 0; session < 3; session++) {
        Start();
        if (session == 1)
            TerminateProcess(first.process, 1);
        else
            PostMessageA(FindRecorder(1000), WM_DESTROY, 0, 0);
        ASSERT_NE(WaitForExit(first, 5000), -1);
    }
    span.to = Now();
    char name[512];
    DWORD size = sizeof name;
    GetUserNameA(name, &size);
    auto clock = [](int minutes, const char *shape) {
        char text[16];
        snprintf(text, sizeof text, shape, minutes / 60, minutes % 60);
        return std::string(text);
    };
    int from = span.from.wHour * 60 + span.from.wMinute, declared = from < 720 ? from + 30 : from - 240;
    WriteBytes(folder + "\\sheet.csv", Sjis("ユーザー名,日付,出勤,退勤\r\n") + name + "," + CsvStamp(span.from).substr(0, 10) +
                                            "," + clock(declared, "%d:%02d") + "," + clock(declared + 210, "%d:%02d") + "\r\n");
    std::string log = Log(), pages = BuildFolder() + "\\report-page", path = folder + "\\" DEFAULT_LOG;
    CreateDirectoryA(pages.c_str(), NULL);
    ASSERT_EQ(RunReport("/S /gap:20 \"/out:" + pages + "\" \"/timesheet:" + folder + "\\sheet.csv\" \"" + path + "\"", folder), 0);
    EXPECT_EQ(Log(), log) << "the log was changed";

    std::string user = name, csv = ReadBytes(pages + "\\morvalen-sessions.csv") + ReadBytes(pages + "\\morvalen-days.csv") +
                                   ReadBytes(pages + "\\morvalen-gaps.csv");
    /* t: the first session's start and end, the crashed one's start, the
       third one's start and end, all on one day */
    EXPECT_TRUE(Matches(csv, span, 5, [&](const Stamps &t) {
        std::string text = Sjis("ユーザー名,起動日,起動時刻,終了日,終了時刻,使用時間(分),使用時間,状態,ファイル,行\r\n");
        for (int i : {0, 3})
            text += user + "," + CsvStamp(t[i]) + "," + CsvStamp(t[i + 1]) + "," + Duration(Minutes(t[i + 1]) - Minutes(t[i])) +
                    ",," + path + "," + std::to_string(i ? 6 : 4) + "\r\n";
        text += user + "," + CsvStamp(t[2]) + ",,," + Duration(0) + Sjis(",異常終了,") + path + ",5\r\n";
        text += Sjis("ユーザー名,日付,曜日,最初の起動,最後の終了,使用時間(分),使用時間,セッション数,備考\r\n");
        for (int day = 1; day <= DaysInMonth(t[0].wYear, t[0].wMonth); day++) {
            SYSTEMTIME date = At(t[0].wYear, t[0].wMonth, day, 0, 0);
            text += user + "," + CsvStamp(date).substr(0, 11) + Weekday(date.wDayOfWeek) + ",";
            ULONGLONG used = Minutes(t[1]) - Minutes(t[0]) + Minutes(t[4]) - Minutes(t[3]);
            text += day != t[0].wDay ? ",,0,0:00,0,\r\n"
                                      : CsvStamp(t[0]).substr(11) + "," + CsvStamp(t[4]).substr(11) + "," +
                                            Duration(used) + ",3," + Sjis("異常終了") + "\r\n";
        }
        text += Sjis("ユーザー名,日付,曜日,申告の出勤,申告の退勤,PCの最初の起動,PCの最後の終了,始業前(分),終業後(分),判定,理由\r\n");
        int before = std::max(declared - t[0].wHour * 60 - t[0].wMinute, 0);
        int after = std::max(t[4].wHour * 60 + t[4].wMinute - declared - 210, 0);
        return text + user + "," + CsvStamp(t[0]).substr(0, 11) + Weekday(t[0].wDayOfWeek) + "," + clock(declared, "%02d:%02d") +
               "," + clock(declared + 210, "%02d:%02d") + "," + CsvStamp(t[0]).substr(11) + "," + CsvStamp(t[4]).substr(11) + "," +
               std::to_string(before) + "," + std::to_string(after) + Sjis(before ? ",始業前の使用,\r\n" : ",終業後の使用,\r\n");
    }));
}

/* Each bad input gets its exit code, no input is changed and no partial
   or temporary file is left: the folder holds exactly what it should. */
TEST(ReportInput, BadInputGetsItsExitCodeAndLeavesNoPartialFile)
{
    const std::string good = kLogHeader + Line("root             26/12/07(月) 09:05     26/12/07(月) 17:45     08:40");
    const std::string outputs = "morvalen-days.csv morvalen-report morvalen-report.html morvalen-sessions.csv ";
    const std::string old = "morvalen-report\\2020-01.html";
    /* 14,000 users, each in a session of a year (none is longer: that is
       a clock fault): a day's cell for each day of use is more than 32
       bits hold. */
    std::string spread = kLogHeader;
    for (int user = 10000; user < 24000; user++)
        spread += Line(("u" + std::to_string(user) + std::string(11, ' ') +
                        "00/01/01(土) 00:00     01/01/01(月) 00:00     99:59").c_str());
    struct {
        const char *label;
        std::vector<std::pair<const char *, std::string>> files;
        const char *arguments;
        int code;
        std::string after;
        const char *held;   /* kept open without sharing during the run */
    } rows[] = {
        {"a log, an old report's month page", {{"log.txt", good}, {old.c_str(), "old"}}, "/S log.txt", 0,
         "log.txt " + outputs + "| 2026-12.html "},
        {"an old report's month page held open", {{"log.txt", good}, {old.c_str(), "old"}}, "/S log.txt", 2,
         "log.txt morvalen-report | 2020-01.html ", old.c_str()},
        {"a folder of the detail's name that is not the report's", {{"log.txt", good}, {"morvalen-report\\a.txt", ""}},
         "/S log.txt", 2, "log.txt morvalen-report | a.txt "},
        {"an empty file", {{"a.txt", ""}}, "/S a.txt", 2, "a.txt "},
        {"binary garbage", {{"a.txt", std::string("\0\x01\xff\r\n\x83", 6) + std::string(200000, '\x9f')}},
         "/S a.txt", 2, "a.txt "},
        {"a folder without logs", {{"logs\\notes.txt", "hello"}}, "/S logs", 2, "logs "},
        {"a missing file", {}, "/S missing.txt", 2, ""},
        {"nothing given", {{"log.txt", good}}, "/S", 2, "log.txt "},
        {"an unknown option", {{"log.txt", good}}, "/S /x log.txt", 2, "log.txt "},
        {"an option cut short", {{"log.txt", good}}, "/S /o log.txt", 2, "log.txt "},
        {"out of memory, in 32 bits", {{"log.txt", spread}}, "/S log.txt", 2, "log.txt "},
        {"no such date", {{"log.txt", good}}, "/S /from:2026-02-29 log.txt", 2, "log.txt "},
        {"a range ending before it starts", {{"log.txt", good}}, "/S /from:2026-12-08 /to:2026-12-07 log.txt", 2,
         "log.txt "},
        {"an output folder not there yet: made", {{"log.txt", good}}, "/S /out:new\\month log.txt", 0, "log.txt new "},
        {"an output file held open", {{"log.txt", good}, {"morvalen-days.csv", "old"}}, "/S log.txt", 2,
         "log.txt morvalen-days.csv ", "morvalen-days.csv"},
        {"a log named like an output", {{"morvalen-days.csv", good}}, "/S morvalen-days.csv", 2,
         "morvalen-days.csv "},
        {"a threshold over 600 minutes", {{"log.txt", good}}, "/S /gap:601 log.txt", 2, "log.txt "},
        {"a timesheet held open", {{"log.txt", good}, {"sheet.csv", Sjis("ユーザー名,日付,出勤,退勤\r\n")}},
         "/S log.txt sheet.csv", 1,
         "log.txt morvalen-days.csv morvalen-gaps.csv morvalen-report morvalen-report.html morvalen-sessions.csv sheet.csv "
         "| 2026-12.html ",
         "sheet.csv"},
        {"a timesheet asked for that is none", {{"log.txt", good}, {"notes.csv", "a,b\r\n1,2\r\n"}},
         "/S /timesheet:notes.csv log.txt", 1,
         "log.txt morvalen-days.csv morvalen-gaps.csv morvalen-report morvalen-report.html morvalen-sessions.csv notes.csv "
         "| 2026-12.html "},
        {"a line of 100 KB, a UTF-8 log, a locked log and a non-log in a folder",
         {{"logs\\log.txt", good + "\r\n" + std::string(100000, 'x') + Line("root             26/12/08(火) 09:05")},
          {"logs\\u.txt", "\xef\xbb\xbf" + Utf8(good)}, {"logs\\locked.txt", good}, {"logs\\notes.txt", "hello"}},
         "/S logs", 1, "logs " + outputs + "| 2026-12.html ", "logs\\locked.txt"},
    };
    for (const auto &row : rows) {
        if (sizeof(void *) == 8 && strstr(row.label, "32 bits"))
            continue;
        std::string folder = EnterFreshFolder("ReportInput");
        for (const auto &file : row.files) {
            if (const char *slash = strchr(file.first, '\\'))
                CreateDirectoryA(std::string(file.first, slash).c_str(), NULL);
            WriteBytes(file.first, file.second);
        }
        HANDLE held = row.held ? CreateFileA(row.held, GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL)
                               : INVALID_HANDLE_VALUE;
        EXPECT_EQ(RunReport(row.arguments, folder), row.code) << row.label;
        if (held != INVALID_HANDLE_VALUE)
            CloseHandle(held);
        std::string details = Listing(folder + "\\morvalen-report");
        EXPECT_EQ(Listing(folder) + (details.empty() ? "" : "| " + details), row.after) << row.label;
        for (const auto &file : row.files)
            if (row.code || file.first != old)  /* an old report's page is replaced */
                EXPECT_EQ(ReadBytes(file.first), file.second) << row.label << ": " << file.first << " changed";
    }
}

/* Without /S a problem is a box naming the file and the system's reason,
   no file given means the open dialog, and logs dropped on the program
   give the report, whose page goes to the default browser: here the
   test's stand-in, which notes the address it was given. */
TEST(ReportInput, WithoutSilentABoxTheOpenDialogOrThePageInTheBrowser)
{
    std::string folder = EnterFreshFolder("ReportBoxes");
    Launched report = Launch("", folder, "\"" + ReportPath() + "\" missing.txt");
    BoxInfo box = FindBox(report.pid, 10000);
    EXPECT_EQ(box.caption, Sjis("使用時間の集計"));
    EXPECT_EQ(box.text, Sjis("ログが見つかりませんでした。\n") + folder + "\\missing.txt: " +
                            Narrow(SystemReason(ERROR_FILE_NOT_FOUND), LogCodePage).c_str());
    PressButton(box.window, IDOK);
    EXPECT_EQ(WaitForExit(report, 10000), 2);
    Release(report);

    report = Launch("", folder, "\"" + ReportPath() + "\"");
    box = FindBox(report.pid, 10000);
    EXPECT_EQ(box.caption, Sjis("使用時間の集計")) << "the open dialog";
    PressButton(box.window, IDCANCEL);
    EXPECT_EQ(WaitForExit(report, 10000), 2);
    Release(report);
    EXPECT_EQ(Listing(folder), "");

    WriteBytes("log.txt", kLogHeader + Line("root             26/12/07(月) 09:05     26/12/07(月) 17:45     08:40"));
    DeleteFileA("C:\\browsed.txt");
    EXPECT_EQ(RunReport("log.txt", folder), 0);
    std::string page = "/morvalen-ReportBoxes/morvalen-report.html\n";
    EXPECT_TRUE(WaitFor([&] {
        std::string browsed = ReadBytes("C:\\browsed.txt");
        return !browsed.compare(0, 8, "file:///") && browsed.size() > page.size() &&
               !browsed.compare(browsed.size() - page.size(), page.size(), page);
    }, 10000)) << ReadBytes("C:\\browsed.txt");
}

/* The copy the recorder starts, run as it runs it: the log and its
   archives whole in the PC's and the user's folder, the local files only
   read, nothing left half written; a folder that cannot be reached or
   written, a file that cannot be read, another copy of the user's under
   way. A name starting with * is in the user's folder of share; # is the
   PC's folder itself. */
TEST(ReportCollect, CopyPutsTheLogAndItsArchivesWholeInThePcAndUserFolder)
{
    const std::string log = kLogHeader + Line("root             26/12/07(月) 09:05"), archive = LogOf({});
    const std::vector<std::pair<const char *, std::string>> local = {
        {"pc\\log.txt", log}, {"pc\\log_26-10-31.txt", archive}, {"pc\\log_26-11-30.txt", archive + "\r\n"}};
    const std::vector<std::string> all = {"log.txt", "log_26-10-31.txt", "log_26-11-30.txt"};
    struct {
        const char *label;
        std::vector<std::pair<const char *, std::string>> files;
        const char *share;
        int code;
        std::vector<std::string> copies;    /* with the bytes of pc\'s */
        const char *kept;                   /* there before, and not written again */
        int runs;                           /* at once, if more than one; -1: the log held a
                                               moment; -2: the user's lock held */
    } rows[] = {
        {"a log and two archives, the folders new", local, "share", 0, all},
        {"an archive there whole stays; one cut short, and the log, are copied again",
         {local[0], local[1], local[2], {"*log_26-10-31.txt", archive}, {"*log_26-11-30.txt", archive},
          {"*log.txt", "old"}},
         "share", 0, all, "log_26-10-31.txt"},
        {"the same bytes again: the copy's time renewed",
         {local[0], {"*log.txt", log}, {"*log.copied", "2026-01-01 00:00:00\r\n"}},
         "share", 0, {"log.txt"}},
        {"the log held a moment by its recorder", local, "share", 0, all, NULL, -1},
        {"two copies at once", local, "share", 0, all, NULL, 2},
        {"the log gone, its archive copied", {local[2]}, "share", 1, {"log_26-11-30.txt"}},
        {"a folder not there, the one above it there", local, "new", 0, all},
        {"a folder not there, nor the one above it", local, "nowhere\\new", 2, {}},
        {"a drive not there, as away from the office", local, "Q:\\morvalen", 2, {}},
        {"a folder not from a drive or a server", local, "%OneDrive%\\morvalen", 2, {}},
        {"the PC's folder a file", {local[0], {"#", "a file"}}, "share", 2, {}},
        {"another copy of the user's under way", local, "share", 0, {}, NULL, -2},
    };
    char user[257];
    DWORD size = sizeof user;
    GetUserNameA(user, &size);
    WText userName = Widen(user, strlen(user), CP_ACP);
    for (const auto &row : rows) {
        std::string folder = EnterFreshFolder("ReportCollect");
        std::string share = strchr(row.share, ':') || row.share[0] == '%' ? row.share : folder + "\\" + row.share;
        std::string copies = CopiesIn(share), computer = copies.substr(0, copies.rfind('\\'));
        for (const char *made : {"pc", "share", "%OneDrive%", "%OneDrive%\\morvalen"})
            CreateDirectoryA(made, NULL);
        for (const auto &file : row.files) {
            if (file.first[0] == '*') {
                CreateDirectoryA(computer.c_str(), NULL);
                CreateDirectoryA(copies.c_str(), NULL);
            }
            WriteBytes(file.first[0] == '*' ? copies + "\\" + (file.first + 1) : file.first[0] == '#' ? computer : file.first,
                       file.second);
        }
        const FILETIME old = {0, 0x01d00000};
        std::string kept = row.kept ? copies + "\\" + row.kept : "";
        HANDLE dated = CreateFileA(kept.c_str(), FILE_WRITE_ATTRIBUTES, 0, NULL, OPEN_EXISTING, 0, NULL);
        SetFileTime(dated, NULL, NULL, &old);
        CloseHandle(dated);
        HANDLE lock = row.runs == -2 ? CreateMutexW(NULL, TRUE, CopyLockName(userName).c_str()) : NULL;
        HANDLE again = lock ? CreateEventW(NULL, FALSE, FALSE, CopyAgainName(userName).c_str()) : NULL;
        HANDLE held = row.runs == -1 ? CreateFileA("pc\\log.txt", GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL) : NULL;
        std::string line = "\"" + ReportPath() + "\" /S \"/collect:" + share + "\" pc\\log.txt";
        std::vector<Launched> runs;
        std::string before = CopyTimeText(Now()).c_str();
        for (int i = 0; i < std::max(row.runs, 1); i++)
            runs.push_back(Launch("", folder, line));
        if (held) {
            Sleep(300);     /* the recorder's time with the log */
            CloseHandle(held);
        }
        for (Launched &run : runs) {
            EXPECT_EQ(WaitForExit(run, 30000), row.code) << row.label;
            Release(run);
        }
        if (lock) {
            EXPECT_EQ(WaitForSingleObject(again, 0), WAIT_OBJECT_0) << "no second pass asked for";
            CloseHandle(again);
            CloseHandle(lock);
        }
        EXPECT_TRUE(HoldsCopies(copies, folder + "\\pc", row.copies)) << row.label;
        std::string record = copies + "\\log.copied", copied = FileExists(record) ? ReadBytes(record) : "", after = CopyTimeText(Now()).c_str();
        EXPECT_TRUE(copied.empty() || (before <= copied && copied <= after))
            << row.label << ": copied at " << copied << ", not between " << before << " and " << after;
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        EXPECT_TRUE(!row.kept || (GetFileAttributesExA(kept.c_str(), GetFileExInfoStandard, &data) &&
                                  !CompareFileTime(&data.ftLastWriteTime, &old))) << row.kept << " written again";
        for (const auto &file : row.files)
            if (file.first[0] == 'p')
                EXPECT_EQ(ReadBytes(file.first), file.second) << row.label << ": " << file.first << " changed";
    }
}

/* A copy's last open line counts up to the copy's time beside it, in the
   sessions, the days, the comparison and the pages, and a PC is stale by
   that time; without one, or with one not to trust (after the report's
   time, before the copy's latest stamp), the line runs to the report's
   time and the list of files says why. The report is made at 12/07 12:00. */
TEST(ReportCollect, CopysOpenLineCountsToTheCopysTime)
{
    const char *open = "alice            26/12/07(月) 09:00";
    struct {
        const char *label;
        std::vector<const char *> lines;
        const char *copied;             /* the time record, NULL for none */
        const char *session, *day;      /* in the sessions and days files */
        const char *listed;             /* in the list of files, after the stamp */
        bool stale;
    } rows[] = {
        {"a copy three minutes old", {open}, "2026-12-07 11:57:30\r\n", ",177,2:57,コピー時点まで,",
         "2026/12/07,月,09:00,,177,2:57,1,コピー時点まで", " \xe2\x80\x94 コピー 2026/12/07 11:57</li>", false},
        {"no copy's time: as a log given directly", {open}, NULL, ",180,3:00,実行中,",
         "2026/12/07,月,09:00,,180,3:00,1,実行中", " \xe2\x80\x94 最終記録 2026/12/07 09:00</li>", false},
        {"a copy's time after the report's", {open}, "2026-12-07 12:10:00\r\n", ",180,3:00,実行中,",
         "2026/12/07,月,09:00,,180,3:00,1,実行中", "コピー 2026/12/07 12:10 <b class=\"bad\"", false},
        {"a copy's time before its latest stamp", {open}, "2026-12-07 08:59:59\r\n", ",180,3:00,実行中,",
         "2026/12/07,月,09:00,,180,3:00,1,実行中", "コピー 2026/12/07 08:59 <b class=\"bad\"", false},
        {"not a copy's time", {open}, "2026-12-07 25:00:00\r\n", ",180,3:00,実行中,",
         "2026/12/07,月,09:00,,180,3:00,1,実行中", " \xe2\x80\x94 最終記録 2026/12/07 09:00</li>", false},
        {"left on for two weeks, copied an hour ago", {"alice            26/11/20(金) 09:00"},
         "2026-12-07 11:00:00\r\n", ",24600,410:00,コピー時点まで,", "2026/12/07,月,,,660,11:00,1,前日から コピー時点まで",
         "コピー 2026/12/07 11:00</li>", false},
        {"last copied more than a week before the period's end",
         {"alice            26/11/20(金) 09:00     26/11/20(金) 18:00     09:00", "alice            26/11/21(土) 09:00"},
         "2026-11-21 10:00:00\r\n", ",60,1:00,コピー時点まで,", "2026/11/21,土,09:00,,60,1:00,1,コピー時点まで",
         "コピー 2026/11/21 10:00 <b", true},
    };
    for (const auto &row : rows) {
        std::string folder = EnterFreshFolder("ReportCopied");
        for (const char *made : {"share", "share\\PC01", "share\\PC01\\alice"})
            CreateDirectoryA(made, NULL);
        WriteBytes("share\\PC01\\alice\\morvalenlog.txt", LogOf(row.lines));
        if (row.copied)
            WriteBytes("share\\PC01\\alice\\morvalenlog.copied", row.copied);
        WriteBytes("share\\sheet.csv", Sjis("ユーザー名,日付,出勤,退勤\r\nalice,2026/12/07,08:30,10:00\r\n"));
        WText page;
        Problem problem = {};
        EXPECT_EQ(MakeReport(InFolder(folder, {L"share"}), &page, &problem), AllRead) << row.label;
        std::string sessions = Body("morvalen-sessions"), days = Body("morvalen-days");
        std::string html = ReadBytes("morvalen-report.html"), month = ReadBytes("morvalen-report\\2026-12.html");
        EXPECT_NE(sessions.find(Sjis(row.session)), std::string::npos) << row.label << ": " << Utf8(sessions);
        EXPECT_NE(days.find(Sjis(row.day)), std::string::npos) << row.label << ": " << Utf8(days);
        EXPECT_NE(html.find(row.listed), std::string::npos) << row.label;
        EXPECT_EQ(html.find("<li class=\"stale\">") != std::string::npos, row.stale) << row.label;
        /* the comparison's last PC end, the page's mark at the bar's end */
        bool copied = strstr(row.session, "コピー") != NULL;
        std::string end = copied ? std::string(row.copied + 11, 5) : "12:00";
        if (row.lines[0] == open)
            EXPECT_NE(ReadBytes("morvalen-gaps.csv").find(",08:30,10:00,09:00," + end + ","), std::string::npos)
                << row.label << ": " << Utf8(ReadBytes("morvalen-gaps.csv"));
        EXPECT_EQ(month.find("<b class=\"r\" title=\"コピー時点まで 2026/12/07 " + end + "\"") != std::string::npos,
                  copied && !row.stale)
            << row.label;
    }
}

/* The collection folder that PCs copy their logs to, two PCs and three
   users, one log shared by two of them: the report over it gives the days
   of the original logs, lists each file by its path from the folder with
   its latest stamp, and keeps a log that stopped reaching the folder in
   view, never an archive. The share's own root has no folder beside it:
   the report goes to the user's Documents. */
TEST(ReportCollect, CollectionFolderGivesTheDaysOfTheOriginalLogs)
{
    const std::string pc01 = LogOf({"alice            26/12/01(火) 09:00     26/12/01(火) 18:00     09:00",
                                    "bob              26/12/02(水) 09:30     26/12/02(水) 12:00     02:30",
                                    "alice            26/12/06(日) 10:00     26/12/06(日) 18:00     08:00"}),
                      archive = LogOf({"alice            26/11/30(月) 09:00     26/11/30(月) 17:00     08:00"}),
                      pc02 = LogOf({"carol            26/11/20(金) 09:00     26/11/20(金) 17:00     08:00",
                                    "alice            26/11/25(水) 17:00     26/11/25(水) 20:00     03:00",
                                    /* a clock set to 2099 does not make the log look fresh */
                                    "alice            99/12/31(木) 09:00     99/12/31(木) 10:00     01:00"});
    std::string folder = EnterFreshFolder("ReportCollection");
    std::vector<std::pair<std::string, std::string>> files = {
        {"pc01\\morvalenlog.txt", pc01}, {"pc01\\morvalenlog_26-11-30.txt", archive}, {"pc02\\morvalenlog.txt", pc02},
        {"share\\PC01\\alice\\morvalenlog.txt", pc01}, {"share\\PC01\\alice\\morvalenlog_26-11-30.txt", archive},
        {"share\\PC01\\bob\\morvalenlog.txt", pc01}, {"share\\PC01\\bob\\morvalenlog_26-11-30.txt", archive},
        {"share\\PC02\\carol\\morvalenlog.txt", pc02}, {"share\\PC02\\carol\\sheet.csv", "ユーザー名,日付,出勤,退勤\r\n"}};
    for (int day = 1; day <= 16; day++)     /* enough files to fold the list */
        files.push_back({"share\\PC02\\carol\\morvalenlog_26-01-" + std::to_string(10 + day) + ".txt", LogOf({})});
    for (const auto &file : files) {
        for (size_t slash = 0; (slash = file.first.find('\\', slash + 1)) != std::string::npos;)
            CreateDirectoryA(file.first.substr(0, slash).c_str(), NULL);
        WriteBytes(file.first, file.second);
    }
    std::string days[2], html;
    const wchar_t *inputs[][2] = {{L"pc01\\morvalenlog.txt", L"pc02\\morvalenlog.txt"}, {L"share", NULL}};
    for (int i = 0; i < 2; i++) {
        Options options = InFolder(folder, {inputs[i][0]});
        if (inputs[i][1])
            options.inputs.push_back(inputs[i][1]);
        WText page;
        Problem problem = {};
        EXPECT_EQ(MakeReport(options, &page, &problem), AllRead);
        days[i] = UsedDays(Body("morvalen-days"));
        html = ReadBytes("morvalen-report.html");
    }
    EXPECT_EQ(Utf8(days[1]), Utf8(days[0]));
    EXPECT_EQ(std::count(days[0].begin(), days[0].end(), '\n'), 6) << Utf8(days[0]);
    EXPECT_FALSE(FileExists("morvalen-gaps.csv")) << "a subfolder's CSV taken for a timesheet";
    size_t fold = html.find("</details>");
    const std::pair<const char *, bool> items[] = {
        {"<li>PC01\\alice\\morvalenlog.txt \xe2\x80\x94 6 行 \xe2\x80\x94 最終記録 2026/12/06 18:00</li>", true},
        {"<li>PC02\\carol\\morvalenlog_26-01-11.txt \xe2\x80\x94 3 行</li>", true},
        {"<li class=\"stale\">PC02\\carol\\morvalenlog.txt \xe2\x80\x94 6 行 \xe2\x80\x94 最終記録 2026/11/25 20:00 <b", false}};
    for (const auto &item : items)
        EXPECT_TRUE(html.find(item.first) != std::string::npos && (html.find(item.first) < fold) == item.second)
            << item.first;

    /* Wine reaches \\server\share through a link in dosdevices\unc. */
    typedef char *(CDECL * UnixName)(const wchar_t *);
    auto unixName = (UnixName)(void *)GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name");
    ASSERT_TRUE(unixName);
    char prefix[MAX_PATH] = "";
    GetEnvironmentVariableA("WINEPREFIX", prefix, MAX_PATH);
    std::string server = prefix + std::string("/dosdevices/unc/morvalen-server");
    RunToEnd("/bin/mkdir -p " + server, folder);
    RunToEnd("/bin/ln -sfn " + std::string(unixName(Widen((folder + "\\share").c_str(), folder.size() + 6, CP_ACP).c_str())) +
             " " + server + "/morvalen$", folder);
    const char shellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
    char documents[MAX_PATH] = "";
    DWORD size = sizeof documents;
    RegGetValueA(HKEY_CURRENT_USER, shellFolders, "Personal", RRF_RT_ANY | RRF_NOEXPAND, NULL, documents, &size);
    std::string ours = folder + "\\docs";
    CreateDirectoryA(ours.c_str(), NULL);
    RegSetKeyValueA(HKEY_CURRENT_USER, shellFolders, "Personal", REG_SZ, ours.c_str(), (DWORD)ours.size() + 1);
    EXPECT_EQ(RunReport("/S \\\\morvalen-server\\morvalen$", folder), 0);
    RegSetKeyValueA(HKEY_CURRENT_USER, shellFolders, "Personal", REG_EXPAND_SZ, documents, size);
    EXPECT_EQ(Utf8(UsedDays(Body("docs\\morvalen-days"))), Utf8(days[0]));
}

/* A log's copy made as the recorder makes it, the log in pc\log.txt. */
static int CopyLog(const std::string &folder, const std::string &share)
{
    return RunToEnd("\"" + ReportPath() + "\" /S \"/collect:" + folder + "\\" + share + "\" pc\\log.txt", folder, 30000);
}

/* The kept copies in a folder of copies, by name, with their bytes. */
static std::vector<std::pair<std::string, std::string>> KeptCopies(const std::string &copies)
{
    std::vector<std::pair<std::string, std::string>> kept;
    std::string names = Listing(copies);
    for (size_t at = 0, end; (end = names.find(' ', at)) != std::string::npos; at = end + 1)
        if (!names.compare(at, 9, "log_kept_") && !names.compare(end - 4, 4, ".txt"))
            kept.push_back({names.substr(at, end - at), ReadBytes(copies + "\\" + names.substr(at, end - at))});
    return kept;
}

/* "log_kept_yyyy-MM-dd_HHmm" of the local time, and of a minute later. */
static std::string KeptStem(int laterMinutes)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    FILETIME time;
    SystemTimeToFileTime(&now, &time);
    ULARGE_INTEGER at = {{time.dwLowDateTime, time.dwHighDateTime}};
    at.QuadPart += laterMinutes * 600000000ULL;
    time = {at.LowPart, at.HighPart};
    FileTimeToSystemTime(&time, &now);
    char stem[40];
    snprintf(stem, sizeof stem, "log_kept_%04u-%02u-%02u_%02u%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
             now.wMinute);
    return stem;
}

/* What reached the collection folder stays there: the copy replaces the
   previous copy of a log only when the log continues it, as the recorder
   makes it go on; else the previous copy is kept beside it, under a name
   with the time it was replaced, and a kept copy is never replaced, not
   even by one kept in the same minute. */
TEST(ReportCollect, CopyKeepsThePreviousCopyUnlessTheLogContinuesIt)
{
    const char *a = "alice            26/12/01(火) 09:00     26/12/01(火) 18:00     09:00",
               *aOpen = "alice            26/12/01(火) 09:00",
               *aEdited = "alice            26/12/01(火) 09:00     26/12/01(火) 17:00     08:00",
               *b = "bob              26/12/01(火) 10:00     26/12/01(火) 12:00     02:00",
               *c = "alice            26/12/02(水) 09:00     26/12/02(水) 18:00     09:00",
               *d = "alice            26/12/05(土) 09:00";
    const std::string withD = LogOf({a, c, d});
    struct {
        const char *label;
        std::string before, log, archive;   /* the share's copy, the log, its archive */
        bool kept;
        bool keptBefore;                    /* kept copies of this minute and the next there */
    } rows[] = {
        {"a log that grows", LogOf({a}), LogOf({a, c}), "", false},
        {"an end written onto its line", LogOf({aOpen}), LogOf({a, c}), "", false},
        {"an end written onto an earlier line of a shared log", LogOf({aOpen, b}), LogOf({a, b, c}), "", false},
        {"a log initialised, its archive beside it", withD, LogOf({d}), withD, false},
        {"a new log after a reset", LogOf({a, c}), LogOf({d}), "", true},
        {"a deleted line", LogOf({a, b, c}), LogOf({a, c}), "", true},
        {"an edited end", LogOf({a, c}), LogOf({aEdited, c}), "", true},
        {"a reordered pair", LogOf({a, b}), LogOf({b, a}), "", true},
        {"a log initialised, its archive gone", withD, LogOf({d}), "", true},
        {"a third copy, kept copies there", LogOf({a, c}), LogOf({aEdited}), "", true, true},
    };
    for (const auto &row : rows) {
        std::string folder = EnterFreshFolder("ReportCollectKeep"), copies = CopiesIn(folder + "\\share");
        for (const std::string &made : {std::string("pc"), std::string("share"), copies.substr(0, copies.rfind('\\')), copies})
            CreateDirectoryA(made.c_str(), NULL);
        WriteBytes(copies + "\\log.txt", row.before);
        WriteBytes("pc\\log.txt", row.log);
        if (!row.archive.empty())
            WriteBytes("pc\\log_26-12-05.txt", row.archive);
        std::vector<std::pair<std::string, std::string>> kept;
        for (int later = 0; row.keptBefore && later < 2; later++) {
            kept.push_back({KeptStem(later) + ".txt", "kept " + std::to_string(later)});
            WriteBytes(copies + "\\" + kept.back().first, kept.back().second);
        }
        std::string stems[2] = {KeptStem(0), ""};
        EXPECT_EQ(CopyLog(folder, "share"), 0) << row.label;
        stems[1] = KeptStem(0);
        EXPECT_EQ(ReadBytes(copies + "\\log.txt"), row.log) << row.label;
        std::vector<std::pair<std::string, std::string>> found = KeptCopies(copies);
        EXPECT_EQ(found.size(), kept.size() + row.kept) << row.label << ": " << Listing(copies);
        for (const auto &copy : found) {
            bool before = std::find(kept.begin(), kept.end(), copy) != kept.end();
            bool named = !copy.first.compare(0, stems[0].size(), stems[0]) || !copy.first.compare(0, stems[1].size(), stems[1]);
            EXPECT_TRUE(before || (named && copy.second == row.before))
                << row.label << ": " << copy.first << " holds " << Escaped(copy.second);
        }
    }
}

/* The report over copies made so: a reset PC's two logs give the same
   days from the collection as given directly; a line edited and a line
   deleted after they were copied count as first copied, are marked on
   their days and in the sessions file, and are listed on the overview
   with the line then and now; each kept copy is listed under its log. */
TEST(ReportCollect, ReportCountsWhatWasFirstCopiedAndNamesWhatChanged)
{
    const char *a = "alice            26/12/01(火) 09:00     26/12/01(火) 18:00     09:00",
               *aEdited = "alice            26/12/01(火) 09:00     26/12/01(火) 17:00     08:00",
               *b = "bob              26/12/02(水) 10:00     26/12/02(水) 12:00     02:00",
               *c = "alice            26/12/03(木) 09:00     26/12/03(木) 18:00     09:00",
               *e = "alice            26/12/04(金) 09:00     26/12/04(金) 12:00     03:00",
               *f = "alice            26/12/05(土) 09:00";
    std::string folder = EnterFreshFolder("ReportKept");
    for (const char *made : {"pc", "reset", "edited"})
        CreateDirectoryA(made, NULL);
    const std::string logs[2][2] = {{LogOf({a, b}), LogOf({c, e})}, {LogOf({a, b, c, f}), LogOf({aEdited, c, e})}};
    for (int share = 0; share < 2; share++)
        for (const std::string &log : logs[share]) {
            WriteBytes("pc\\log.txt", log);
            EXPECT_EQ(CopyLog(folder, share ? "edited" : "reset"), 0);
        }
    /* The copies' times, where the report trusts them: the kept copy's went
       with it, and its open line ran that far. */
    std::vector<std::pair<std::string, std::string>> keptCopies = KeptCopies(CopiesIn("edited"));
    ASSERT_EQ(keptCopies.size(), 1u) << Listing(CopiesIn("edited"));
    std::string kept = keptCopies[0].first;
    ASSERT_TRUE(FileExists(CopiesIn("edited") + "\\" + kept.substr(0, kept.size() - 4) + ".copied")) << Listing(CopiesIn("edited"));
    WriteBytes(CopiesIn("edited") + "\\" + kept.substr(0, kept.size() - 4) + ".copied", "2026-12-05 10:00:00\r\n");
    WriteBytes(CopiesIn("edited") + "\\log.copied", "2026-12-06 08:00:00\r\n");
    WriteBytes("old.txt", logs[0][0]);
    WriteBytes("new.txt", logs[0][1]);
    std::string days[2];
    const std::vector<const wchar_t *> inputs[3] = {{L"old.txt", L"new.txt"}, {L"reset"}, {L"edited"}};
    for (int i = 0; i < 3; i++) {
        WText page;
        Problem problem = {};
        EXPECT_EQ(MakeReport(InFolder(folder, inputs[i]), &page, &problem), AllRead);
        if (i < 2)
            days[i] = Body("morvalen-days");
    }
    EXPECT_EQ(Utf8(UsedDays(days[1])), Utf8(UsedDays(days[0])));
    EXPECT_EQ(days[1].find(Sjis("記録の書き換え")), std::string::npos) << "a new log marked";

    std::string used = Utf8(UsedDays(Body("morvalen-days"))), sessions = Utf8(Body("morvalen-sessions"));
    for (const char *day : {"alice,2026/12/01,火,09:00,18:00,540,9:00,1,記録の書き換え\r\n",
                            "bob,2026/12/02,水,10:00,12:00,120,2:00,1,記録の書き換え\r\n",
                            "alice,2026/12/03,木,09:00,18:00,540,9:00,1,\r\n", "alice,2026/12/04,金,09:00,12:00,180,3:00,1,\r\n",
                            /* the session the later copy lost ran as far as its own copy saw */
                            "alice,2026/12/05,土,09:00,,60,1:00,1,コピー時点まで 記録の書き換え\r\n"})
        EXPECT_NE(used.find(day), std::string::npos) << day << " not in\n" << used;
    EXPECT_EQ(std::count(used.begin(), used.end(), '\n'), 5) << used;
    for (const char *row : {"alice,2026/12/01,09:00,2026/12/01,18:00,540,9:00,記録の書き換え,",
                            "bob,2026/12/02,10:00,2026/12/02,12:00,120,2:00,記録の書き換え,",
                            "alice,2026/12/03,09:00,2026/12/03,18:00,540,9:00,,"})
        EXPECT_NE(sessions.find(row), std::string::npos) << row << " not in\n" << sessions;

    std::string html = ReadBytes("morvalen-report.html");
    std::string where = CopiesIn("edited").substr(7), reached = kept.substr(9, 10) + " " + kept.substr(20, 2) + ":" + kept.substr(22, 2);
    std::replace(reached.begin(), reached.end(), '-', '/');
    const std::string listed[] = {
        "<h2 class=\"bad\">記録の書き換え: 3 行</h2>",
        "<li>" + where + "\\" + kept + ": <code>" + a + "</code> → <code>" + aEdited + "</code> (変更が届いた日時 " + reached + ")</li>",
        "<li>" + where + "\\" + kept + ": <code>" + b + "</code> → （削除） (変更が届いた日時 " + reached + ")</li>",
        "<li>" + where + "\\log.txt — 6 行 — 最終記録 2026/12/04 12:00 — コピー 2026/12/06 08:00</li>\n<li class=\"kept\">" +
            where + "\\" + kept + " — 7 行 — 最終記録 2026/12/05 09:00 — コピー 2026/12/05 10:00 — 保存されたコピー: 次のコピーで置き換えられた日時 " + reached + "</li>"};
    for (const std::string &item : listed)
        EXPECT_NE(html.find(item), std::string::npos) << item << " not in\n" << html;
}
