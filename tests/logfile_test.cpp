/*
 * The log's names and the files the write sequences and the archive copy
 * leave behind, including logs deleted, emptied or held by another program.
 */
#include <gtest/gtest.h>

#include <thread>

#include "support.h"
#include "../messages/messages.h"
#include "../recorder/logfile.h"
#include "../recorder/logtext.h"

static const std::string kHeader = "// Morvalen for Windows " + Sjis("ログファイル") + " //\r\n\r\n" +
    Sjis("ユーザー名　　　 起動時刻　　　　　　　 終了時刻　　　　　　　 使用時間");

/* The session used throughout: 7 December 2026, 09:05 to 17:45. */
static const std::string kStart = "\r\nroot             26/12/07(" + Weekday(1) + ") 09:05";
static const std::string kEnd = "     26/12/07(" + Weekday(1) + ") 17:45     08:40";

class LogFile : public testing::Test {
protected:
    void SetUp() override
    {
        EnterFreshFolder(testing::UnitTest::GetInstance()->current_test_info()->name());
        SetUserName("root");
        SetLogName(GetModuleHandleA(NULL), "");
        StartTime = At(2026, 12, 7, 9, 5, 30);
        EndTime = At(2026, 12, 7, 17, 45, 10);
    }
};

TEST(LogName, TakesSixteenBytesOfTheTailRaw)
{
    struct { std::string tail, name; } rows[] = {
        {"", "morvalenlog"},
        {"abc def", "abc def"},
        {"abcdefghijklmnopqrst", "abcdefghijklmnop"},
        {"/install now", "/install now"},
        {"C:\\logs\\pc1", "C:\\logs\\pc1"},
        {"\"quoted\" ", "\"quoted\" "},
        {Sjis("使用記録"), Sjis("使用記録")},
        /* the cut at byte 16 leaves the lead byte of く alone */
        {"a" + Sjis("あいうえおかきく"), "a" + Sjis("あいうえおかき") + "\x82"},
    };
    for (auto &row : rows) {
        SetLogName(GetModuleHandleA(NULL), row.tail.c_str());
        EXPECT_EQ(std::string(LogName), row.name) << Utf8(row.tail);
        EXPECT_EQ(std::string(LogPath), row.name + ".txt") << Utf8(row.tail);
    }
}

TEST(LogName, ArchiveNameCarriesTheSessionStartDate)
{
    struct { const char *tail; std::string archive; } rows[] = {
        {"", "morvalenlog_00-08-15.txt"},
        {"C:\\logs\\pc1", "C:\\logs\\pc1_00-08-15.txt"},
    };
    StartTime = At(2000, 8, 15, 23, 59);
    for (auto &row : rows) {
        char out[TextSize];
        SetLogName(GetModuleHandleA(NULL), row.tail);
        MakeArchiveName(out);
        EXPECT_EQ(std::string(out), row.archive);
    }
}

TEST_F(LogFile, NewLogGetsHeaderThenStartThenEnd)
{
    RecordSessionStart();
    EXPECT_EQ(ReadBytes("morvalenlog.txt"), kHeader + kStart);
    WriteSessionEnd();
    EXPECT_EQ(ReadBytes("morvalenlog.txt"), kHeader + kStart + kEnd);

    /* The next session opens the next line; the log never ends in a break. */
    StartTime = At(2026, 12, 8, 8, 0);
    EndTime = At(2026, 12, 8, 8, 59);
    RecordSessionStart();
    WriteSessionEnd();
    EXPECT_EQ(ReadBytes("morvalenlog.txt"),
              kHeader + kStart + kEnd + "\r\nroot             26/12/08(" + Weekday(2) + ") 08:00" +
                  "     26/12/08(" + Weekday(2) + ") 08:59     00:59");
}

TEST_F(LogFile, ExistingLogIsOnlyAppendedTo)
{
    WriteBytes("morvalenlog.txt", "kept as it was");
    RecordSessionStart();
    WriteSessionEnd();
    EXPECT_EQ(ReadBytes("morvalenlog.txt"), "kept as it was" + kStart + kEnd);
}

TEST_F(LogFile, LogDeletedDuringTheSessionIsStartedAgainAtTheEnd)
{
    RecordSessionStart();
    ASSERT_TRUE(DeleteFileA("morvalenlog.txt"));
    WriteSessionEnd();
    EXPECT_EQ(ReadBytes("morvalenlog.txt"), kHeader + kStart + kEnd);
}

TEST_F(LogFile, LogEmptiedDuringTheSessionGetsTheEndRecordAlone)
{
    RecordSessionStart();
    WriteBytes("morvalenlog.txt", "");
    WriteSessionEnd();
    EXPECT_EQ(ReadBytes("morvalenlog.txt"), kEnd);
}

TEST_F(LogFile, RewriteLeavesHeaderAndTheOpenLine)
{
    WriteBytes("morvalenlog.txt", "old lines\r\nmore old lines that were longer than the new log");
    RewriteLogFile();
    EXPECT_EQ(ReadBytes("morvalenlog.txt"), kHeader + kStart);
    WriteBytes("morvalenlog.txt", "");
    RewriteLogFile();
    EXPECT_EQ(ReadBytes("morvalenlog.txt"), kHeader + kStart);
}

TEST_F(LogFile, ArchiveCopiesOnceAndReportsTheSecondCopyOnOneDate)
{
    WriteBytes("morvalenlog.txt", kHeader + "\r\nfirst session");
    ArchiveLogFile();
    EXPECT_EQ(ReadBytes("morvalenlog_26-12-07.txt"), kHeader + "\r\nfirst session");
    RewriteLogFile();

    BoxInfo box = AnswerBoxOf([] { ArchiveLogFile(); }, IDOK);
    ASSERT_TRUE(box.window) << "no report of the failed copy";
    EXPECT_EQ(box.caption, "Morvalen for Windows");
    std::string exists = Sjis("ファイルはすでに存在します。");
    EXPECT_EQ(box.text.substr(0, exists.size()), exists) << Utf8(box.text);
    std::string failed = Sjis("過去の記録を保存することができませんでした。 初期化を続行します。");
    EXPECT_EQ(box.text.substr(box.text.size() - failed.size()), failed) << Utf8(box.text);
    EXPECT_EQ(ReadBytes("morvalenlog_26-12-07.txt"), kHeader + "\r\nfirst session");
    EXPECT_EQ(ReadBytes("morvalenlog.txt"), kHeader + kStart);
}

TEST_F(LogFile, LogInADirectoryGoesThere)
{
    CreateDirectoryA("logs", NULL);
    SetLogName(GetModuleHandleA(NULL), "logs\\pc1");
    RecordSessionStart();
    ArchiveLogFile();
    EXPECT_EQ(ReadBytes("logs\\pc1.txt"), kHeader + kStart);
    EXPECT_EQ(ReadBytes("logs\\pc1_26-12-07.txt"), kHeader + kStart);
}

/* Holds the log open without sharing, as another program might. */
static HANDLE Lock(const char *path)
{
    return CreateFileA(path, GENERIC_READ, 0, NULL, OPEN_ALWAYS, 0, NULL);
}

TEST_F(LogFile, LogHeldBrieflyByAnotherProgramIsWaitedFor)
{
    HANDLE held = Lock("morvalenlog.txt");
    std::thread release([held] { Sleep(300); CloseHandle(held); });
    DWORD began = GetTickCount();
    RecordSessionStart();
    release.join();
    EXPECT_GE(GetTickCount() - began, 250u);
    EXPECT_EQ(ReadBytes("morvalenlog.txt"), kStart) << "the locked file existed, so no header";
}

TEST_F(LogFile, LogHeldLongerIsReportedAndLeftAlone)
{
    WriteBytes("morvalenlog.txt", "before");
    HANDLE held = Lock("morvalenlog.txt");
    DWORD began = GetTickCount();
    DWORD shown = 0;
    BoxInfo box = AnswerBoxOf([&] { RecordSessionStart(); }, IDOK);
    shown = GetTickCount() - began;
    CloseHandle(held);

    ASSERT_TRUE(box.window);
    EXPECT_GE(shown, 900u) << "the report came before the retries";
    EXPECT_EQ(box.caption, "Morvalen for Windows");
    EXPECT_EQ(box.text, Sjis("共有違反です。 morvalenlog.txtを開くことができません。 作業は中断されました。"));
    EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
    EXPECT_EQ(ReadBytes("morvalenlog.txt"), "before");
}

TEST_F(LogFile, InvalidNameFailsEverySequenceWithTheReport)
{
    SetLogName(GetModuleHandleA(NULL), "bad\"name");
    void (*sequences[])() = {RecordSessionStart, WriteSessionEnd, RewriteLogFile};
    for (auto sequence : sequences) {
        BoxInfo box = AnswerBoxOf(sequence, IDOK);
        ASSERT_TRUE(box.window);
        std::string tail = "bad\"name.txt" + Sjis("を開くことができません。 作業は中断されました。");
        EXPECT_NE(box.text.find(tail), std::string::npos) << Utf8(box.text);
    }
    EXPECT_FALSE(FileExists("bad\"name.txt"));
}
