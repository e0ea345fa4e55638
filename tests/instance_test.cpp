/*
 * The log a command line names, including names that are no file on disk.
 */
#include "program.h"

class Instance : public RecorderCase {};

/* The tail is the log's name, raw, cut at 16 bytes, after a program path
   that may be quoted and hold blanks and Japanese folder names. */
TEST_F(Instance, TailNamesTheLog)
{
    std::string quoted = folder + "\\" + Sjis("ログ 記録"), bare = folder + "\\" + Sjis("プログラム");
    for (const std::string &copy : {quoted, bare, folder + "\\sub"}) {
        CreateDirectoryA(copy.c_str(), NULL);
        CopyFileA(ProgramPath().c_str(), (copy + "\\morvalen.exe").c_str(), FALSE);
    }
    struct { std::string tail, log, line; } rows[] = {
        {"", DEFAULT_LOG},
        {"abc def", "abc def.txt"},
        {"abcdefghijklmnopqrst", "abcdefghijklmnop.txt"},
        {Sjis("使用記録"), Sjis("使用記録.txt")},
        {"sub\\pc1", "sub\\pc1.txt"},
        {"abc   ", "abc   .txt"},
        /* device names only inside a name, or after a trail byte 0x5C */
        {"console", "console.txt"},
        {"nulls", "nulls.txt"},
        {Sjis("ソaux"), Sjis("ソaux.txt")},
        {"", "name one.txt", "\"" + quoted + "\\morvalen.exe\" \t name one"},
        {"", DEFAULT_LOG, "\"" + quoted + "\\morvalen.exe\""},
        {"", "two.txt", bare + "\\morvalen.exe   two"},
        /* not a switch but a name, taken as a path as it stands (the
           drive's root on Windows, the file system's root under Wine) */
        {"/install now", "/install now.txt"},
    };
    for (auto &row : rows) {
        DeleteFileA(row.log.c_str());
        started.from = Now();
        first = Launch(row.tail, folder, row.line);
        HWND window = FindRecorder(5000);
        EXPECT_TRUE(WaitUntilWaiting()) << Utf8(row.tail + row.line);
        started.to = Now();
        std::string log = ReadBytes(row.log);
        EXPECT_TRUE(Matches(log, started, 1, [](const Stamps &t) { return kLogHeader + StartRecordAt(t[0]); }))
            << Utf8(row.tail + row.line);
        PostMessageA(window, WM_DESTROY, 0, 0);
        EXPECT_EQ(WaitForExit(first, 5000), 0);
        DeleteFileA(row.log.c_str());
    }
}

/* Names that are no file on disk, or that cannot be opened: the report
   comes at the start and at the end, with the system's reason and the name
   as it stands, and the records go nowhere. The pipe passes the name check
   and is caught once it is open; a percent sign in a name is shown safely. */
TEST_F(Instance, NameThatCannotBeKeptIsReportedAtEveryWriteAndNothingWritten)
{
    CreateDirectoryA("sub", NULL);
    HANDLE pipe[2];
    for (HANDLE &end : pipe)
        end = CreateNamedPipeA("\\\\.\\pipe\\mv.txt", PIPE_ACCESS_DUPLEX, 0, PIPE_UNLIMITED_INSTANCES, 4096,
                               4096, 0, NULL);
    std::string invalid = Sjis("名前は正しくありません。 "), missing = Sjis("パスが見つかりません。");
    struct { std::string tail, text; } rows[] = {
        {"bad\"name", invalid + "bad\"name.txt"},
        {"NUL", invalid + "NUL.txt"},
        {"con", invalid + "con.txt"},
        {"Lpt1", invalid + "Lpt1.txt"},
        {"sub\\aux", invalid + "sub\\aux.txt"},
        {"com9 .x", invalid + "com9 .x.txt"},
        {"\\\\.\\pipe\\mv", invalid + "\\\\.\\pipe\\mv.txt"},
        {"nd\\100%%", missing + " nd\\100%.txt"},
        /* "%." is the formatter's own escape for a period */
        {"nd\\end%", missing + " nd\\end.txt"},
        {"nd\\%%1", missing + " nd\\%1.txt"},
        /* an insert would have no argument, and %0 would end the text
           there: shown as composed, unflowed */
        {"nd\\log%1", missing + "\r\nnd\\log%1.txt"},
        {"nd\\log%99x", missing + "\r\nnd\\log%99x.txt"},
        {"nd\\log%0", missing + "\r\nnd\\log%0.txt"},
    };
    for (auto &row : rows) {
        first = Launch(row.tail, folder);
        for (int sequence = 0; sequence < 2; sequence++) {
            BoxInfo box = FindBox(first.pid, 5000);
            ASSERT_TRUE(box.window) << row.tail << " sequence " << sequence;
            EXPECT_EQ(box.text, row.text + kCannotOpen) << row.tail << ": " << Utf8(box.text);
            EXPECT_EQ(box.owner, FindRecorder(0));
            PressButton(box.window, IDOK);
            /* the recorder goes on after the report, and ends when told */
            EXPECT_TRUE(sequence || WaitUntilWaiting()) << row.tail;
            PostMessageA(FindRecorder(0), WM_DESTROY, 0, 0);
        }
        EXPECT_EQ(WaitForExit(first, 5000), 0) << row.tail;
    }
    for (HANDLE end : pipe) {
        DWORD waiting = 0;
        PeekNamedPipe(end, NULL, 0, NULL, &waiting, NULL);
        EXPECT_EQ(waiting, 0u) << "records written into a pipe";
        CloseHandle(end);
    }
    EXPECT_EQ(Listing(folder + "\\sub"), "");
    EXPECT_FALSE(FileExists(folder + "\\bad\"name.txt"));
}
