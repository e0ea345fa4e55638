/*
 * The bytes of the log texts: header, start record, end record and the
 * columns they line up in.
 */
#include <gtest/gtest.h>

#include "support.h"
#include "../messages/messages.h"
#include "../recorder/logfile.h"
#include "../recorder/logtext.h"

static std::string Header()
{
    char out[TextSize];
    FormatLogHeader(out);
    return out;
}

static std::string StartRecord()
{
    char out[TextSize];
    FormatStartRecord(out);
    return out;
}

static std::string EndRecord()
{
    char out[TextSize];
    FormatEndRecord(out);
    return out;
}

static std::string Spaces(int ideographic)
{
    std::string s;
    while (ideographic--)
        s += "\x81\x40";    /* U+3000 in CP932 */
    return s;
}

TEST(LogText, HeaderIsTitleEmptyLineAndColumnLineWithoutBreak)
{
    std::string expected = "// Morvalen for Windows " + Sjis("ログファイル") + " //\r\n\r\n" +
                           Sjis("ユーザー名") + Spaces(3) + " " + Sjis("起動時刻") + Spaces(7) +
                           " " + Sjis("終了時刻") + Spaces(7) + " " + Sjis("使用時間");
    EXPECT_EQ(Header(), expected);
}

TEST(LogText, StartRecordPadsTheUserNameTo17Bytes)
{
    struct { std::string user, field; } rows[] = {
        {"root", "root             "},
        {"abcdefghijklmnopq", "abcdefghijklmnopq"},
        {"abcdefghijklmnopqrstuvwxyz", "abcdefghijklmnopqrstuvwxyz"},
        {Sjis("ﾔﾏﾀﾞﾀﾛｳ"), Sjis("ﾔﾏﾀﾞﾀﾛｳ") + "          "},
        {"", "-- none --       "},    /* the name cannot be obtained */
    };
    StartTime = At(2026, 12, 7, 9, 5, 42);
    for (auto &row : rows) {
        SetUserName(row.user.empty() ? NULL : row.user.c_str());
        EXPECT_EQ(StartRecord(), "\r\n" + row.field + "26/12/07(" + Weekday(1) + ") 09:05")
            << "user " << Utf8(row.user);
    }

    /* A name near the buffer's size is cut with the record at 511 bytes
       rather than written past the buffer. */
    std::string huge(505, 'n');
    SetUserName(huge.c_str());
    EXPECT_EQ(StartRecord(), "\r\n" + huge + "26/1");
    SetUserName("root");
}

TEST(LogText, EndRecordShowsEndAndUsageCutToTheMinute)
{
    struct { SYSTEMTIME start, end; std::string date, usage; } rows[] = {
        {At(2026, 12, 7, 9, 0, 10), At(2026, 12, 7, 9, 0, 50), "26/12/07(" + Weekday(1) + ") 09:00", "00:00"},
        {At(2026, 12, 7, 9, 0, 59), At(2026, 12, 7, 9, 1, 0), "26/12/07(" + Weekday(1) + ") 09:01", "00:01"},
        {At(2026, 12, 7, 23, 50), At(2026, 12, 8, 0, 10), "26/12/08(" + Weekday(2) + ") 00:10", "00:20"},
        {At(2026, 12, 1, 0, 0), At(2026, 12, 5, 3, 59), "26/12/05(" + Weekday(6) + ") 03:59", "99:59"},
        {At(2026, 12, 1, 0, 0), At(2026, 12, 5, 4, 0), "26/12/05(" + Weekday(6) + ") 04:00", "99:59"},
        {At(2026, 12, 1, 0, 0), At(2026, 12, 31, 0, 0), "26/12/31(" + Weekday(4) + ") 00:00", "99:59"},
        {At(2026, 11, 1, 0, 0), At(2026, 12, 16, 0, 0), "26/12/16(" + Weekday(3) + ") 00:00", "99:59"},
        {At(2026, 12, 7, 9, 0), At(2026, 12, 7, 8, 30), "26/12/07(" + Weekday(1) + ") 08:30", "00:00"},
        {At(2026, 12, 7, 9, 0), At(2025, 12, 7, 9, 0), "25/12/07(" + Weekday(0) + ") 09:00", "00:00"},
    };
    int n = 0;
    for (auto &row : rows) {
        StartTime = row.start;
        EndTime = row.end;
        EXPECT_EQ(EndRecord(), "     " + row.date + "     " + row.usage) << "row " << n++;
        EXPECT_EQ(StartTime.wSecond + StartTime.wMilliseconds + EndTime.wSecond + EndTime.wMilliseconds, 0);
    }
}

TEST(LogText, FullLineLinesUpUnderTheColumnTitles)
{
    std::string columns = Header();
    columns = columns.substr(columns.rfind("\r\n") + 2);
    SetUserName("root");
    StartTime = At(2026, 12, 7, 9, 5);
    EndTime = At(2026, 12, 7, 17, 45);
    std::string line = StartRecord().substr(2) + EndRecord();

    ASSERT_EQ(line.size(), 68u);
    struct { size_t column; std::string title, field; } rows[] = {
        {0, Sjis("ユーザー名"), "root "},
        {17, Sjis("起動時刻"), "26/12/07(" + Weekday(1) + ") 09:05"},
        {40, Sjis("終了時刻"), "26/12/07(" + Weekday(1) + ") 17:45"},
        {63, Sjis("使用時間"), "08:40"},
    };
    for (auto &row : rows) {
        EXPECT_EQ(columns.substr(row.column, row.title.size()), row.title) << "column " << row.column;
        EXPECT_EQ(line.substr(row.column, row.field.size()), row.field) << "column " << row.column;
    }
}
