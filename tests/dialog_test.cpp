/*
 * The command dialog and its three commands, driven as a user would: real
 * launches, button clicks, keys and pointer moves through the X display.
 */
#include "program.h"

#include "../res/resource.h"

/* Runs a command of the X display's own tools, as a person at it would. */
static void XInput(const std::string &arguments)
{
    RunToEnd("/usr/bin/xdotool " + arguments, ".", 5000);
}

static void PointAt(HWND window)
{
    RECT r;
    GetWindowRect(window, &r);
    XInput("mousemove " + std::to_string((r.left + r.right) / 2) + " " + std::to_string((r.top + r.bottom) / 2));
}

static bool Checked(HWND dialog, int id)
{
    return SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

static void Click(HWND dialog, int id)
{
    SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

/* The control that has the keyboard focus in the dialog's thread. */
static int Focused(HWND dialog)
{
    GUITHREADINFO info = {sizeof info};
    GetGUIThreadInfo(GetWindowThreadProcessId(dialog, NULL), &info);
    return GetDlgCtrlID(info.hwndFocus);
}

/* Pixels of the link's text in a colour: orange while hot, else blue. */
static int Pixels(HWND window, bool orange)
{
    RECT r;
    GetWindowRect(window, &r);
    int count = 0;
    for (COLORREF c : GrabScreen(r))
        count += orange ? GetRValue(c) > 200 && GetGValue(c) > 80 && GetGValue(c) < 180 && GetBValue(c) < 80
                        : GetBValue(c) > 180 && GetRValue(c) < 80 && GetGValue(c) < 80;
    return count;
}

static bool Lit(HWND link, bool orange)
{
    return WaitFor([&] { return Pixels(link, orange) > 10 && Pixels(link, !orange) == 0; }, 3000);
}

class Dialog : public RecorderCase {
protected:
    HWND window = NULL;

    void SetUp() override
    {
        RecorderCase::SetUp();
        window = Start();
    }

    /* A later launch asks the running copy for its dialog. */
    HWND OpenDialog()
    {
        EXPECT_EQ(RunToEnd("\"" + ProgramPath() + "\"", folder, 5000), 0);
        BoxInfo dialog = FindBox(first.pid, 5000);
        EXPECT_EQ(dialog.caption, "Morvalen for Windows");
        EXPECT_EQ(dialog.owner, window);
        return dialog.window;
    }

    /* Chooses a command with OK and returns the box that it opens. */
    BoxInfo Choose(int id, DWORD timeoutMs = 5000)
    {
        HWND dialog = OpenDialog();
        Click(dialog, id);
        PressButton(dialog, IDOK);
        return FindBox(first.pid, timeoutMs);
    }

    void ExpectNothingHappened(const std::string &log)
    {
        EXPECT_EQ(FindBox(first.pid, 500).window, (HWND)NULL) << "a command ran";
        EXPECT_EQ(Log(), log);
        EXPECT_EQ(WaitForExit(first, 0), -1) << "the recorder ended";
    }
};

TEST_F(Dialog, OpensWithShowLogSelectedTabsInOrderAndNeverTwice)
{
    std::string log = Log();
    HWND dialog = OpenDialog();
    SaveScreenshot("dialog");
    EXPECT_TRUE(Checked(dialog, IDC_SHOWLOG) && !Checked(dialog, IDC_INITLOG) && !Checked(dialog, IDC_QUIT));

    /* The choices are one group: Tab goes from the checked one to OK,
       Cancel and back; an arrow moves the choice within the group. */
    const int order[] = {IDC_SHOWLOG, IDOK, IDCANCEL, IDC_SHOWLOG};
    for (int i = 0; i < 4; i++) {
        EXPECT_TRUE(WaitFor([&] { return Focused(dialog) == order[i]; }, 2000)) << "tab stop " << i;
        XInput(i < 3 ? "key Tab" : "key Down");
    }
    EXPECT_TRUE(WaitFor([&] { return Checked(dialog, IDC_INITLOG) && !Checked(dialog, IDC_SHOWLOG); }, 2000));

    /* A third launch brings the open dialog forward and asks for no other. */
    EXPECT_EQ(RunToEnd("\"" + ProgramPath() + "\"", folder, 5000), 0);
    EXPECT_FALSE(WaitFor([&] { return FindBox(first.pid, 0, dialog).window != NULL; }, 1000));
    EXPECT_EQ(GetForegroundWindow(), dialog);

    /* Cancel after choosing initialise runs nothing. */
    PressButton(dialog, IDCANCEL);
    ExpectNothingHappened(log);

    dialog = OpenDialog();
    EXPECT_TRUE(Checked(dialog, IDC_SHOWLOG) && !Checked(dialog, IDC_INITLOG)) << "choice remembered";
    PressButton(dialog, IDCANCEL);
}

TEST_F(Dialog, EnterRunsTheChoiceEscapeAndTheCloseBoxCancel)
{
    std::string log = Log();
    struct { const char *how; std::function<void(HWND)> press; bool runs; } rows[] = {
        {"Escape", [](HWND) { XInput("key Escape"); }, false},
        {"close box", [](HWND dialog) { PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }, false},
        {"Enter", [](HWND) { XInput("key Return"); }, true},
    };
    for (auto &row : rows) {
        HWND dialog = OpenDialog();
        Click(dialog, IDC_QUIT);
        row.press(dialog);
        EXPECT_TRUE(WaitFor([&] { return !IsWindow(dialog); }, 5000)) << row.how;
        if (!row.runs)
            continue;
        BoxInfo box = FindBox(first.pid, 5000);
        ASSERT_TRUE(box.window) << "Enter did not run the command";
        EXPECT_EQ(box.text, Sjis("Windowsの終了時刻ではなく、現在の時刻が終了時刻として記録されます。\n"
                                 "終了してもよろしいですか？")) << Utf8(box.text);
        EXPECT_EQ(box.buttons, (std::vector<int>{IDYES, IDNO}));
        SaveScreenshot("quit-question");
        PressButton(box.window, IDNO);
    }
    ExpectNothingHappened(log);
}

TEST_F(Dialog, LinkLightsUnderThePointerAndItsClickRunsNothing)
{
    std::string log = Log();
    HWND dialog = OpenDialog();
    HWND link = GetDlgItem(dialog, IDC_LINK);
    HWND question = GetWindow(GetDlgItem(dialog, IDC_SHOWLOG), GW_HWNDPREV);
    PointAt(question);
    EXPECT_TRUE(Lit(link, false)) << "blue at first";

    /* Labels and radio buttons stand on the dialog's own face. */
    size_t face = 0, ink = 0, all = 0;
    EXPECT_TRUE(WaitFor([&] {
        RECT r;
        GetWindowRect(question, &r);
        std::vector<COLORREF> label = GrabScreen(r);
        face = ink = 0;
        all = label.size();
        for (COLORREF c : label) {
            face += c == GetSysColor(COLOR_BTNFACE);
            ink += GetRValue(c) + GetGValue(c) + GetBValue(c) < 3 * 128;
        }
        return ink > 20 && face > all * 7 / 10;
    }, 3000)) << "the question on the dialog face: " << face << " face and " << ink << " ink of " << all;

    PointAt(link);
    EXPECT_TRUE(Lit(link, true)) << "orange under the pointer";
    CURSORINFO cursor = {sizeof cursor};
    GetCursorInfo(&cursor);
    EXPECT_NE(cursor.hCursor, LoadCursor(NULL, IDC_ARROW)) << "no hand cursor";
    SaveScreenshot("dialog-link-hot");
    PointAt(question);
    EXPECT_TRUE(Lit(link, false)) << "blue again off the link";
    PointAt(link);
    EXPECT_TRUE(Lit(link, true));
    XInput("click 1");
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(dialog); }, 5000)) << "the link's click";
    ExpectNothingHappened(log);
}

TEST_F(Dialog, QuitAsksAndYesCompletesTheLineWithTheCurrentTime)
{
    std::string log = Log();
    BoxInfo box = Choose(IDC_QUIT);
    ASSERT_TRUE(box.window);
    PressButton(box.window, IDNO);
    ExpectNothingHappened(log);

    box = Choose(IDC_QUIT);
    ASSERT_TRUE(box.window);
    Moment ended = {Now()};
    PressButton(box.window, IDYES);
    EXPECT_EQ(WaitForExit(first, 5000), 0);
    ended.to = Now();
    EXPECT_TRUE(HasOneSession(Log(), ended)) << Utf8(Log());
}

TEST_F(Dialog, SessionEndingWhileTheQuitQuestionIsOpenRecordsTheEnd)
{
    ASSERT_TRUE(Choose(IDC_QUIT).window);
    Moment ended = {Now()};
    EXPECT_NE(RunToEnd("wineboot.exe --end-session --shutdown", folder), -1);
    EXPECT_NE(WaitForExit(first, 10000), -1);
    ended.to = Now();
    EXPECT_TRUE(HasOneSession(Log(), ended)) << Utf8(Log());
}

/* A log in a folder of its own keeps its archives there. */
TEST_F(Dialog, InitialiseArchivesTheLogAndStartsItAfreshWithTheOpenLine)
{
    /* An older session's line, then this one's start. */
    std::string older = kLogHeader + StartRecordAt(At(2026, 12, 6, 8, 0), "someone") + "     26/12/06(" +
                        Weekday(0) + ") 09:00     01:00";
    KillRecorders();
    CreateDirectoryA("logs", NULL);
    WriteBytes("logs\\pc1.txt", older);
    window = Start("logs\\pc1");
    std::string before = Log("logs\\pc1.txt"), opened = before.substr(older.size());
    char archive[32];
    snprintf(archive, sizeof archive, "logs\\pc1_%02d-%02d-%02d.txt", started.from.wYear % 100,
             started.from.wMonth, started.from.wDay);

    BoxInfo box = Choose(IDC_INITLOG);
    ASSERT_TRUE(box.window);
    EXPECT_EQ(box.text, Sjis("過去の記録は") + archive + Sjis("として保存されます。\n初期化してもよろしいですか？"))
        << Utf8(box.text);
    SaveScreenshot("initialise-question");
    PressButton(box.window, IDYES);
    EXPECT_TRUE(WaitFor([&] { return Log("logs\\pc1.txt") == kLogHeader + opened; }, 5000));
    EXPECT_EQ(ReadBytes(archive), before);

    /* The same start date again: the copy fails and says so, the log is
       rewritten all the same, and the first archive stays as it was. Then
       a log held by another program: both fail, and both say so. */
    for (bool held : {false, true}) {
        WriteBytes("logs\\pc1.txt", kLogHeader + opened + "extra");
        HANDLE lock = held ? CreateFileA("logs\\pc1.txt", GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL) : NULL;
        box = Choose(IDC_INITLOG);
        ASSERT_TRUE(box.window);
        PressButton(box.window, IDYES);
        BoxInfo failed = FindBox(first.pid, 5000);
        ASSERT_TRUE(failed.window);
        SaveScreenshot("archive-failure");
        std::string reason = held ? Sjis("共有違反です。 ") : Sjis("ファイルはすでに存在します。 ");
        EXPECT_EQ(failed.text, reason + Sjis("過去の記録を保存することができませんでした。 初期化を続行します。"))
            << Utf8(failed.text);
        PressButton(failed.window, IDOK);
        if (held) {
            failed = FindBox(first.pid, 5000);
            EXPECT_EQ(failed.text, reason + "logs\\pc1.txt" + kCannotOpen) << Utf8(failed.text);
            PressButton(failed.window, IDOK);
            CloseHandle(lock);
        }
        std::string log = held ? kLogHeader + opened + "extra" : kLogHeader + opened;
        EXPECT_TRUE(WaitFor([&] { return Log("logs\\pc1.txt") == log; }, 5000)) << Utf8(Log("logs\\pc1.txt"));
        EXPECT_EQ(ReadBytes(archive), before);
    }

    /* No changes nothing. */
    box = Choose(IDC_INITLOG);
    ASSERT_TRUE(box.window);
    PressButton(box.window, IDNO);
    EXPECT_EQ(FindBox(first.pid, 500).window, (HWND)NULL);
    EXPECT_EQ(Log("logs\\pc1.txt"), kLogHeader + opened + "extra");
}

/* Wine's notepad, which .txt files are associated with, showing the log. */
static HWND FindViewer(DWORD timeoutMs)
{
    HWND viewer = NULL;
    WaitFor([&] {
        char title[256] = "";
        viewer = FindWindowA("Notepad", NULL);
        GetWindowTextA(viewer, title, sizeof title);
        return viewer && std::string(title).find("morvalenlog.txt") != std::string::npos;
    }, timeoutMs);
    return viewer;
}

static void CloseViewer(HWND viewer)
{
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, ProcessOf(viewer));
    PostMessageA(viewer, WM_CLOSE, 0, 0);
    WaitForSingleObject(process, 5000);
    CloseHandle(process);
}

TEST_F(Dialog, ShowLogOpensTheViewerAndRewritesAMissingLog)
{
    std::string log = Log();
    for (bool deleted : {false, true}) {
        if (deleted)
            DeleteFileA("morvalenlog.txt");
        Choose(IDC_SHOWLOG, 0);
        HWND viewer = FindViewer(10000);
        ASSERT_TRUE(viewer) << "the log was not opened";
        EXPECT_EQ(FindBox(first.pid, 0).window, (HWND)NULL) << "a failure reported";
        EXPECT_EQ(Log(), log) << (deleted ? "the missing log was not written afresh" : "");
        CloseViewer(viewer);
    }

    /* A log in a folder that does not exist cannot be shown at all. */
    KillRecorders();
    Release(first);
    first = Launch("nodir\\pc1", folder);
    BoxInfo box = FindBox(first.pid, 5000);
    ASSERT_TRUE(box.window);
    PressButton(box.window, IDOK);
    window = FindRecorder(5000);
    WaitUntilWaiting();
    box = Choose(IDC_SHOWLOG);
    ASSERT_TRUE(box.window);
    EXPECT_NE(box.text.find("nodir\\pc1.txt" + kCannotOpen), std::string::npos) << Utf8(box.text);
    SaveScreenshot("open-failure");
    PressButton(box.window, IDOK);
    EXPECT_EQ(FindWindowA("Notepad", NULL), (HWND)NULL);
}
