/*
 * The log texts and names, and the composed error texts, formed in the
 * test's own process, and the report's reading of them: what the running
 * program cannot be made to show (a
 * user name of 505 bytes or none at all, a clock set back, 99:59 and
 * beyond, a name cut inside a character, a sentence long enough to be
 * reflowed at 60 characters, a system text that asks for an insert, and
 * compositions longer than the buffer).
 */
#include <gtest/gtest.h>

#include "support.h"
#include "../messages/messages.h"
#include "../recorder/logfile.h"
#include "../recorder/logtext.h"
#include "calendar.h"
#include "logline.h"
#include "report.h"

static std::string Formatted(void (*format)(char *))
{
    char out[TextSize];
    format(out);
    return out;
}

static std::string Day(int month, int day, int weekday)
{
    char text[16];
    snprintf(text, sizeof text, "26/%02d/%02d(", month, day);
    return text + Weekday(weekday) + ")";
}

/* A start record and, unless the line stays open, its end record, as the
   recorder forms them and the report reads them back: both keep to one
   layout. A row is a user (empty: none to be had), a start, an end (none:
   year 0) and the line's bytes. */
TEST(LogText, RecordsPadTheNameCutTheUsageAndReadBack)
{
    std::string huge(505, 'n'), seven = Day(12, 7, 1), open = seven + " 09:05";
    struct { std::string user; SYSTEMTIME start, end; std::string line; } rows[] = {
        {"root", At(2026, 12, 7, 9, 5, 42), {}, "root             " + open},
        {"abcdefghijklmnopq", At(2026, 12, 7, 9, 5), {}, "abcdefghijklmnopq" + open},
        {"abcdefghijklmnopqrstuvwxyz", At(2026, 12, 7, 9, 5), {}, "abcdefghijklmnopqrstuvwxyz" + open},
        {Sjis("ﾔﾏﾀﾞﾀﾛｳ"), At(2026, 12, 7, 9, 5), {}, Sjis("ﾔﾏﾀﾞﾀﾛｳ") + "          " + open},
        {"", At(2026, 12, 7, 9, 5), {}, "-- none --       " + open},
        /* cut with the record at 511 bytes, not written past the buffer */
        {huge, At(2026, 12, 7, 9, 5), {}, huge + "26/1"},
        /* usage cut to the minute, over midnight, capped at 99:59 from 100
           hours on, however few hours a span has past whole months or years */
        {"root", At(2026, 12, 7, 9, 0, 10), At(2026, 12, 7, 9, 0, 50), "     " + seven + " 09:00     00:00"},
        {"root", At(2026, 12, 7, 9, 0, 59), At(2026, 12, 7, 9, 1, 0), "     " + seven + " 09:01     00:01"},
        {"root", At(2026, 12, 7, 23, 50), At(2026, 12, 8, 0, 10), "     " + Day(12, 8, 2) + " 00:10     00:20"},
        {"root", At(2026, 12, 1, 0, 0), At(2026, 12, 5, 3, 58), "     " + Day(12, 5, 6) + " 03:58     99:58"},
        {"root", At(2026, 12, 1, 0, 0), At(2026, 12, 5, 4, 0), "     " + Day(12, 5, 6) + " 04:00     99:59"},
        {"root", At(2026, 12, 1, 0, 0), At(2026, 12, 31, 0, 0), "     " + Day(12, 31, 4) + " 00:00     99:59"},
        {"root", At(2026, 11, 1, 0, 0), At(2026, 12, 2, 3, 0), "     " + Day(12, 2, 3) + " 03:00     99:59"},
        {"root", At(2025, 12, 7, 9, 0), At(2026, 12, 7, 10, 0), "     " + seven + " 10:00     99:59"},
        /* the clock set back, by half an hour and by a year */
        {"root", At(2026, 12, 7, 9, 0), At(2026, 12, 7, 8, 30), "     " + seven + " 08:30     00:00"},
        {"root", At(2026, 12, 7, 9, 0), At(2025, 12, 7, 9, 0), "     25/12/07(" + Weekday(0) + ") 09:00     00:00"},
    };
    auto moment = [](const SYSTEMTIME &t) {
        return DayNumber(t.wYear, t.wMonth, t.wDay) * MinutesPerDay + t.wHour * 60 + t.wMinute;
    };
    for (auto &row : rows) {
        SetUserName(row.user.empty() ? NULL : row.user.c_str());
        StartTime = row.start;
        EndTime = row.end;
        std::string line = Formatted(FormatStartRecord);
        EXPECT_EQ(line.substr(0, 2), "\r\n");
        line.erase(0, 2);
        if (row.end.wYear)
            line += Formatted(FormatEndRecord);
        /* the end rows give their end record alone */
        EXPECT_EQ(row.end.wYear ? line.substr(line.size() - row.line.size()) : line, row.line) << Utf8(row.line);
        if (row.user.size() > 400)
            continue;
        LogLine read = ReadLogLine(line.data(), (int)line.size());
        ASSERT_EQ(read.kind, LineRecord) << Utf8(line);
        EXPECT_EQ(line.substr(0, read.nameLength), row.user.empty() ? "-- none --" : row.user) << Utf8(line);
        EXPECT_EQ(read.start, moment(row.start)) << Utf8(line);
        EXPECT_EQ(read.end, row.end.wYear ? moment(row.end) : 0) << Utf8(line);
    }
}

/* The cut at byte 16 leaves the lead byte of く alone before ".txt". */
TEST(LogName, TakesSixteenBytesOfTheTailEvenInsideACharacter)
{
    SetLogName(GetModuleHandleA(NULL), ("a" + Sjis("あいうえおかきく")).c_str());
    EXPECT_EQ(std::string(LogPath), "a" + Sjis("あいうえおかき") + "\x82.txt");
}

static std::string Compose(DWORD code, const std::string &suffix)
{
    char out[TextSize];
    SetLastError(code);
    ComposeSystemErrorText(out, suffix.c_str());
    return out;
}

/* The formatter keeps a line under the width: these words fill the first
   line to 59 characters, and the second to 58, where the next word would
   reach the 60th. */
TEST(Reports, ReflowBreaksAtBlanksWithinSixtyCharacters)
{
    std::string words = " abcdefghij";
    for (int i = 0; i < 9; i++)
        words += " abcdefghi";
    words += " abcdefgh x is short";
    std::string text = Compose(ERROR_SHARING_VIOLATION, words) + "\r\n", joined;
    std::vector<int> widths;
    for (size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
        std::string line = text.substr(at, end - at);
        /* the width counts characters, a Japanese one as one */
        widths.push_back(MultiByteToWideChar(932, 0, line.data(), (int)line.size(), NULL, 0));
        joined += (joined.empty() ? "" : " ") + line;
    }
    EXPECT_EQ(widths, (std::vector<int>{59, 58, 10})) << Utf8(text);
    /* The system sentence's own line break became a blank. */
    while (joined.find("  ") != std::string::npos)
        joined.erase(joined.find("  "), 1);
    EXPECT_EQ(joined, Sjis("共有違反です。") + words);
}

TEST(Reports, SystemTextWithAnInsertIsShownAsItStands)
{
    std::string text = Compose(ERROR_BAD_EXE_FORMAT, " tail");
    EXPECT_EQ(text.substr(0, 2), "%1") << Utf8(text);
    EXPECT_EQ(text.substr(text.size() - 5), " tail");
}

TEST(Reports, LongCompositionIsCutInsideTheBufferBetweenCharacters)
{
    struct { char out[TextSize]; char guard[64]; } area;
    std::string wide;
    for (int i = 0; i < 400; i++)
        wide += Sjis("あ");
    /* an odd start puts a character across byte 511 */
    for (const std::string &suffix : {std::string(700, 'x'), "x" + wide, wide}) {
        memset(area.guard, 0x5A, sizeof area.guard);
        SetLastError(ERROR_FILE_EXISTS);
        ComposeSystemErrorText(area.out, suffix.c_str());
        std::string text = area.out;
        EXPECT_LE(text.size(), 511u);
        EXPECT_GE(text.size(), 500u);
        EXPECT_EQ(std::string(area.guard, sizeof area.guard), std::string(sizeof area.guard, 0x5A));
        for (size_t at = 0; at < text.size(); at++)
            if (IsDBCSLeadByte((BYTE)text[at]))
                ASSERT_LT(++at, text.size()) << "a lone lead byte ends the text";
    }
}

/* The recorder's own header and archive names, read back by the report. */
TEST(LogLayout, ReportReadsTheHeaderAndArchivesTheRecorderWrites)
{
    char text[TextSize];
    FormatLogHeader(text);
    std::string header = text;
    size_t title = header.find("\r\n"), columns = header.rfind("\r\n") + 2;
    EXPECT_EQ(ReadLogLine(text, (int)title).kind, LineTitle) << Utf8(header);
    EXPECT_EQ(ReadLogLine(text + columns, (int)(header.size() - columns)).kind, LineColumns) << Utf8(header);

    /* An archive the recorder names comes along with its log, before it. */
    std::string folder = EnterFreshFolder("LogLayout");
    SetLogName(GetModuleHandleA(NULL), "pc1");
    StartTime = At(2026, 12, 7, 9, 0);
    MakeArchiveName(text);
    WriteBytes(text, "");
    WriteBytes("pc1.txt", "");
    std::vector<SourceFile> files;
    std::vector<WText> sheets;
    CollectInputs({L"pc1.txt"}, {}, files, sheets);
    ASSERT_EQ(files.size(), 2u) << text;
    EXPECT_EQ(Narrow(files[0].path, CP_ACP), (folder + "\\pc1_26-12-07.txt").c_str());
}
