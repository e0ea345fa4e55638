/*
 * The log texts and names formed in the test's own process: what the
 * running program cannot be made to show (a user name of 505 bytes or
 * none at all, a clock set back, 99:59 and beyond, a name cut inside a
 * character) and the columns the header lines up with.
 */
#include <gtest/gtest.h>

#include "support.h"
#include "../messages/messages.h"
#include "../recorder/logfile.h"
#include "../recorder/logtext.h"

static std::string Text(void (*format)(char *))
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

TEST(LogText, StartRecordPadsTheUserNameTo17Bytes)
{
    std::string huge(505, 'n');
    struct { std::string user, record; } rows[] = {
        {"root", "root             " + Day(12, 7, 1) + " 09:05"},
        {"abcdefghijklmnopq", "abcdefghijklmnopq" + Day(12, 7, 1) + " 09:05"},
        {"abcdefghijklmnopqrstuvwxyz", "abcdefghijklmnopqrstuvwxyz" + Day(12, 7, 1) + " 09:05"},
        {Sjis("ﾔﾏﾀﾞﾀﾛｳ"), Sjis("ﾔﾏﾀﾞﾀﾛｳ") + "          " + Day(12, 7, 1) + " 09:05"},
        {"", "-- none --       " + Day(12, 7, 1) + " 09:05"},   /* no name to be had */
        /* cut with the record at 511 bytes, not written past the buffer */
        {huge, huge + "26/1"},
    };
    StartTime = At(2026, 12, 7, 9, 5, 42);
    for (auto &row : rows) {
        SetUserName(row.user.empty() ? NULL : row.user.c_str());
        EXPECT_EQ(Text(FormatStartRecord), "\r\n" + row.record) << Utf8(row.user);
    }
}

TEST(LogText, EndRecordShowsEndAndUsageCutToTheMinute)
{
    struct { SYSTEMTIME start, end; std::string date, usage; } rows[] = {
        {At(2026, 12, 7, 9, 0, 10), At(2026, 12, 7, 9, 0, 50), Day(12, 7, 1) + " 09:00", "00:00"},
        {At(2026, 12, 7, 9, 0, 59), At(2026, 12, 7, 9, 1, 0), Day(12, 7, 1) + " 09:01", "00:01"},
        {At(2026, 12, 7, 23, 50), At(2026, 12, 8, 0, 10), Day(12, 8, 2) + " 00:10", "00:20"},
        {At(2026, 12, 1, 0, 0), At(2026, 12, 5, 3, 59), Day(12, 5, 6) + " 03:59", "99:59"},
        {At(2026, 12, 1, 0, 0), At(2026, 12, 5, 4, 0), Day(12, 5, 6) + " 04:00", "99:59"},
        {At(2026, 12, 1, 0, 0), At(2026, 12, 31, 0, 0), Day(12, 31, 4) + " 00:00", "99:59"},
        {At(2026, 11, 1, 0, 0), At(2026, 12, 16, 0, 0), Day(12, 16, 3) + " 00:00", "99:59"},
        /* the clock set back, by half an hour and by a year */
        {At(2026, 12, 7, 9, 0), At(2026, 12, 7, 8, 30), Day(12, 7, 1) + " 08:30", "00:00"},
        {At(2026, 12, 7, 9, 0), At(2025, 12, 7, 9, 0), "25/12/07(" + Weekday(0) + ") 09:00", "00:00"},
    };
    int n = 0;
    for (auto &row : rows) {
        StartTime = row.start;
        EndTime = row.end;
        EXPECT_EQ(Text(FormatEndRecord), "     " + row.date + "     " + row.usage) << "row " << n++;
    }
}

TEST(LogText, FullLineLinesUpUnderTheColumnTitles)
{
    std::string columns = Text(FormatLogHeader);
    EXPECT_EQ(columns.substr(0, columns.rfind("\r\n") + 2),
              "// Morvalen for Windows " + Sjis("ログファイル") + " //\r\n\r\n");
    columns = columns.substr(columns.rfind("\r\n") + 2);
    SetUserName("root");
    StartTime = At(2026, 12, 7, 9, 5);
    EndTime = At(2026, 12, 7, 17, 45);
    std::string line = Text(FormatStartRecord).substr(2) + Text(FormatEndRecord);

    ASSERT_EQ(line.size(), 68u);
    ASSERT_EQ(columns.size(), 71u) << "the column line ends with the last title";
    struct { size_t column; std::string title, field; } rows[] = {
        {0, Sjis("ユーザー名"), "root "},
        {17, Sjis("起動時刻"), Day(12, 7, 1) + " 09:05"},
        {40, Sjis("終了時刻"), Day(12, 7, 1) + " 17:45"},
        {63, Sjis("使用時間"), "08:40"},
    };
    for (auto &row : rows) {
        EXPECT_EQ(columns.substr(row.column, row.title.size()), row.title) << "column " << row.column;
        EXPECT_EQ(line.substr(row.column, row.field.size()), row.field) << "column " << row.column;
    }
}

TEST(LogName, TakesSixteenBytesOfTheTailRaw)
{
    struct { std::string tail, name; } rows[] = {
        {"", "morvalenlog"},
        {"\"quoted\" ", "\"quoted\" "},
        /* the cut at byte 16 leaves the lead byte of く alone */
        {"a" + Sjis("あいうえおかきく"), "a" + Sjis("あいうえおかき") + "\x82"},
    };
    for (auto &row : rows) {
        SetLogName(GetModuleHandleA(NULL), row.tail.c_str());
        EXPECT_EQ(std::string(LogPath), row.name + ".txt") << Utf8(row.tail);
    }
}
