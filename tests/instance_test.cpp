/*
 * Launches while a copy runs, the two switches, and the log names a
 * command-line tail gives.
 */
#include "program.h"

#include "../messages/messages.h"

static const std::string kAlreadyRunning = Sjis(
    "現在実行中のMorvalen for Windowsが検出されました。\n\nこれらの実行ファイル、および"
    "スタートアップフォルダに登録されているショートカットを削除した後、再度インストーラーを起動してください。");

static bool FolderIsEmpty(const std::string &folder)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    bool empty = true;
    do {
        std::string name = found.cFileName;
        if (name != "." && name != "..")
            empty = false;
    } while (empty && FindNextFileA(search, &found));
    FindClose(search);
    return empty;
}

class Instance : public RecorderCase {
protected:
    std::string other;      /* where later launches start */

    void SetUp() override
    {
        RecorderCase::SetUp();
        other = folder + "\\other";
        CreateDirectoryA(other.c_str(), NULL);
    }

    /* Stops the first copy the way an installer would, and checks its
       session was completed. */
    void ExpectStoppedWithItsEnd(const Moment &ended)
    {
        EXPECT_EQ(WaitForExit(first, 5000), 0);
        EXPECT_TRUE(HasOneSession(Log(), ended)) << Utf8(Log());
    }
};

TEST_F(Instance, LaterLaunchHandsOverAndRecordsNothingOfItsOwn)
{
    HWND window = Start();
    std::string before = Log();
    for (const char *tail : {"", "other", "/install now"}) {
        Launched later = Launch(tail, other);
        EXPECT_EQ(WaitForExit(later, 5000), 0) << tail;
        Release(later);
        /* The running copy answers with its command dialog. */
        BoxInfo dialog = FindBox(first.pid, 5000);
        ASSERT_TRUE(dialog.window) << tail;
        EXPECT_EQ(dialog.owner, window);
        PressButton(dialog.window, IDCANCEL);
    }
    EXPECT_EQ(Log(), before);
    EXPECT_TRUE(FolderIsEmpty(other));
    EXPECT_FALSE(FileExists(folder + "\\other.txt"));
}

TEST_F(Instance, SwitchesStopTheRunningCopyWhichRecordsItsEnd)
{
    for (const char *tail : {"/uninstall", "/UNINSTALL", "/Uninstall"}) {
        DeleteFileA("morvalenlog.txt");
        Start();
        Moment ended = {Now()};
        Launched later = Launch(tail, other);
        EXPECT_EQ(WaitForExit(later, 5000), 0) << tail;
        ended.to = Now();
        EXPECT_EQ(FindBox(later.pid, 300).window, (HWND)NULL) << tail;
        ExpectStoppedWithItsEnd(ended);
        Release(later);
        Release(first);
    }

    /* /install also warns, system-modal and owned by no window. */
    for (const char *tail : {"/install", "/INSTALL"}) {
        DeleteFileA("morvalenlog.txt");
        Start();
        Moment ended = {Now()};
        Launched later = Launch(tail, other);
        BoxInfo box = FindBox(later.pid, 5000);
        ended.to = Now();
        ASSERT_TRUE(box.window) << tail;
        EXPECT_EQ(box.caption, "Morvalen for Windows");
        EXPECT_EQ(box.text, kAlreadyRunning) << Utf8(box.text);
        EXPECT_EQ(box.owner, (HWND)NULL);
        EXPECT_TRUE(GetWindowLongA(box.window, GWL_EXSTYLE) & WS_EX_TOPMOST) << "system-modal";
        ExpectStoppedWithItsEnd(ended);
        PressButton(box.window, IDOK);
        EXPECT_EQ(WaitForExit(later, 5000), 0) << tail;
        Release(later);
        Release(first);
    }
    EXPECT_TRUE(FolderIsEmpty(other));
}

TEST_F(Instance, SwitchesWithNoCopyRunningDoNothing)
{
    for (const char *tail : {"/install", "/uninstall", "/INSTALL"}) {
        Launched launched = Launch(tail, other);
        EXPECT_EQ(WaitForExit(launched, 5000), 0) << tail;
        EXPECT_EQ(FindRecorder(0), (HWND)NULL);
        Release(launched);
    }
    EXPECT_TRUE(FolderIsEmpty(other));
}

TEST_F(Instance, TailNamesTheLog)
{
    CreateDirectoryA("sub", NULL);
    struct { std::string tail, log; } rows[] = {
        {"", "morvalenlog.txt"},
        {"abc def", "abc def.txt"},
        {"abcdefghijklmnopqrst", "abcdefghijklmnop.txt"},
        {Sjis("使用記録"), Sjis("使用記録.txt")},
        {"sub\\pc1", "sub\\pc1.txt"},
        {"abc   ", "abc   .txt"},
        /* device names only inside a name, or a trail byte 0x5C before one */
        {"console", "console.txt"},
        {"nulls", "nulls.txt"},
        {Sjis("ソaux"), Sjis("ソaux.txt")},
    };
    for (auto &row : rows) {
        HWND window = Start(row.tail);
        EXPECT_TRUE(MatchesAt(Log(row.log), started, started, [](const SYSTEMTIME &s, const SYSTEMTIME &) {
            return kLogHeader + StartRecordAt(s);
        })) << Utf8(row.tail) << ": " << Utf8(Log(row.log));
        PostMessageA(window, WM_DESTROY, 0, 0);
        EXPECT_EQ(WaitForExit(first, 5000), 0);
        Release(first);
    }

    /* Not a switch but a name, taken as a path as it stands (the drive's
       root on Windows, the file system's root under Wine). */
    const char *root = "/install now.txt";
    DeleteFileA(root);
    HWND window = Start("/install now");
    EXPECT_TRUE(FileExists(root));
    PostMessageA(window, WM_DESTROY, 0, 0);
    EXPECT_EQ(WaitForExit(first, 5000), 0);
    DeleteFileA(root);
}

TEST_F(Instance, ProgramPathWithBlanksAndJapaneseFoldersIsSkipped)
{
    std::string quoted = folder + "\\" + Sjis("ログ 記録");
    std::string bare = folder + "\\" + Sjis("プログラム");
    CreateDirectoryA(quoted.c_str(), NULL);
    CreateDirectoryA(bare.c_str(), NULL);
    CopyFileA(ProgramPath().c_str(), (quoted + "\\morvalen.exe").c_str(), FALSE);
    CopyFileA(ProgramPath().c_str(), (bare + "\\morvalen.exe").c_str(), FALSE);
    struct { std::string line, log; } rows[] = {
        {"\"" + quoted + "\\morvalen.exe\" \t name one", "name one.txt"},
        {"\"" + quoted + "\\morvalen.exe\"", "morvalenlog.txt"},
        {bare + "\\morvalen.exe   two", "two.txt"},
    };
    for (auto &row : rows) {
        first = Launch("", folder, row.line);
        HWND window = FindRecorder(5000);
        ASSERT_TRUE(window) << Utf8(row.line);
        EXPECT_TRUE(WaitFor([&] { return FileExists(folder + "\\" + row.log); }, 5000)) << Utf8(row.line);
        PostMessageA(window, WM_DESTROY, 0, 0);
        EXPECT_EQ(WaitForExit(first, 5000), 0);
        Release(first);
    }
}

/* The box a sequence shows when the log cannot be opened, for code. */
static std::string OpenFailure(DWORD code, const std::string &path)
{
    char text[512];
    SetLastError(code);
    ComposeSystemErrorText(text, (path + Sjis("を開くことができません。 作業は中断されました。")).c_str());
    return text;
}

/* Names that are no file on disk: the report comes at the start and at
   the end, and the records go nowhere. The pipe passes the name check and
   is caught once it is open. */
TEST_F(Instance, NameThatIsNoFileIsReportedAtEveryWriteAndNothingWritten)
{
    CreateDirectoryA("sub", NULL);
    HANDLE pipe[2];
    for (HANDLE &end : pipe)
        end = CreateNamedPipeA("\\\\.\\pipe\\mv.txt", PIPE_ACCESS_DUPLEX, 0, PIPE_UNLIMITED_INSTANCES,
                               4096, 4096, 0, NULL);
    for (std::string tail : {"bad\"name", "NUL", "con", "Lpt1", "sub\\aux", "com9 .x", "\\\\.\\pipe\\mv"}) {
        std::string expected = OpenFailure(ERROR_INVALID_NAME, tail + ".txt");
        first = Launch(tail, folder);
        for (int sequence = 0; sequence < 2; sequence++) {
            BoxInfo box = FindBox(first.pid, 5000);
            ASSERT_TRUE(box.window) << tail << " sequence " << sequence;
            EXPECT_EQ(box.text, expected) << tail << ": " << Utf8(box.text);
            EXPECT_EQ(box.owner, FindRecorder(0));
            PressButton(box.window, IDOK);
            /* the recorder goes on after the report, and ends when told */
            EXPECT_TRUE(sequence || WaitUntilWaiting()) << tail;
            PostMessageA(FindRecorder(0), WM_DESTROY, 0, 0);
        }
        EXPECT_EQ(WaitForExit(first, 5000), 0) << tail;
        Release(first);
    }
    for (HANDLE end : pipe) {
        DWORD waiting = 0;
        PeekNamedPipe(end, NULL, 0, NULL, &waiting, NULL);
        EXPECT_EQ(waiting, 0u) << "records written into a pipe";
        CloseHandle(end);
    }
    EXPECT_TRUE(FolderIsEmpty(folder + "\\sub"));
    EXPECT_FALSE(FileExists(folder + "\\bad\"name.txt"));
}
