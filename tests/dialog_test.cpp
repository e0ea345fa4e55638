/*
 * The command dialog and its three commands, driven as a user would: real
 * launches, button clicks, keys and pointer moves through the X display.
 */
#include "program.h"

#include "../res/resource.h"

static const std::string kQuitAsk = Sjis(
    "Windowsの終了時刻ではなく、現在の時刻が終了時刻として記録されます。\n終了してもよろしいですか？");

/* Runs a command of the X display's own tools, as a person at it would. */
static void XInput(const std::string &arguments)
{
    Launched tool = Launch("", ".", "/usr/bin/xdotool " + arguments);
    WaitForExit(tool, 5000);
    Release(tool);
}

/* Moves the pointer onto the middle of a window, as a mouse would. */
static void PointAt(HWND window)
{
    RECT r;
    GetWindowRect(window, &r);
    XInput("mousemove " + std::to_string((r.left + r.right) / 2) + " " +
           std::to_string((r.top + r.bottom) / 2));
}

static bool Checked(HWND dialog, int id)
{
    return SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

static void Click(HWND dialog, int id)
{
    SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

/* Pixels of the link's text: orange while hot, blue otherwise. */
static int Pixels(HWND window, bool (*like)(COLORREF))
{
    RECT r;
    GetWindowRect(window, &r);
    int count = 0;
    for (COLORREF c : GrabScreen(r))
        count += like(c);
    return count;
}
static bool Orange(COLORREF c) { return GetRValue(c) > 200 && GetGValue(c) > 80 && GetGValue(c) < 180 && GetBValue(c) < 80; }
static bool Blue(COLORREF c) { return GetBValue(c) > 180 && GetRValue(c) < 80 && GetGValue(c) < 80; }

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
        Launched later = Launch("", folder);
        EXPECT_EQ(WaitForExit(later, 5000), 0);
        Release(later);
        BoxInfo dialog = FindBox(first.pid, 5000);
        EXPECT_TRUE(dialog.window);
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

TEST_F(Dialog, OpensWithShowLogSelectedAndNeverTwice)
{
    std::string log = Log();
    HWND dialog = OpenDialog();
    SaveScreenshot("dialog");
    EXPECT_TRUE(Checked(dialog, IDC_SHOWLOG) && !Checked(dialog, IDC_INITLOG) && !Checked(dialog, IDC_QUIT));
    Click(dialog, IDC_INITLOG);
    EXPECT_TRUE(Checked(dialog, IDC_INITLOG) && !Checked(dialog, IDC_SHOWLOG));

    /* A third launch brings the open dialog forward and asks for no other. */
    Launched third = Launch("", folder);
    EXPECT_EQ(WaitForExit(third, 5000), 0);
    Release(third);
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
    HWND dialog = OpenDialog();
    Click(dialog, IDC_QUIT);
    XInput("key Return");
    BoxInfo box = FindBox(first.pid, 5000, dialog);
    ASSERT_TRUE(box.window) << "Enter did not run the command";
    EXPECT_EQ(box.text, kQuitAsk) << Utf8(box.text);
    EXPECT_EQ(box.buttons, (std::vector<int>{IDYES, IDNO}));
    SaveScreenshot("quit-question");
    PressButton(box.window, IDNO);
    ExpectNothingHappened(log);

    dialog = OpenDialog();
    Click(dialog, IDC_QUIT);
    XInput("key Escape");
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(dialog); }, 5000)) << "Escape";
    ExpectNothingHappened(log);

    dialog = OpenDialog();
    Click(dialog, IDC_QUIT);
    PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(dialog); }, 5000)) << "close box";
    ExpectNothingHappened(log);
}

TEST_F(Dialog, LinkLightsUnderThePointerAndItsClickRunsNothing)
{
    std::string log = Log();
    HWND dialog = OpenDialog();
    HWND link = GetDlgItem(dialog, IDC_LINK);
    HWND question = GetWindow(GetDlgItem(dialog, IDC_SHOWLOG), GW_HWNDPREV);
    PointAt(question);
    EXPECT_TRUE(WaitFor([&] { return Pixels(link, Blue) > 10 && Pixels(link, Orange) == 0; }, 3000));

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
    EXPECT_TRUE(WaitFor([&] { return Pixels(link, Orange) > 10 && Pixels(link, Blue) == 0; }, 3000));
    CURSORINFO cursor = {sizeof cursor};
    GetCursorInfo(&cursor);
    EXPECT_NE(cursor.hCursor, LoadCursor(NULL, IDC_ARROW)) << "no hand cursor";
    SaveScreenshot("dialog-link-hot");

    PointAt(question);
    EXPECT_TRUE(WaitFor([&] { return Pixels(link, Blue) > 10 && Pixels(link, Orange) == 0; }, 3000));

    PointAt(link);
    EXPECT_TRUE(WaitFor([&] { return Pixels(link, Orange) > 10; }, 3000));
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
    BoxInfo box = Choose(IDC_QUIT);
    ASSERT_TRUE(box.window);
    Moment ended = {Now()};
    Launched wineboot = Launch("", folder, "wineboot.exe --end-session --shutdown");
    EXPECT_NE(WaitForExit(wineboot, 60000), -1);
    Release(wineboot);
    EXPECT_NE(WaitForExit(first, 10000), -1);
    ended.to = Now();
    EXPECT_TRUE(HasOneSession(Log(), ended)) << Utf8(Log());
}

TEST_F(Dialog, InitialiseArchivesTheLogAndStartsItAfreshWithTheOpenLine)
{
    /* An older session's line, then this one's start. */
    std::string older = kLogHeader + "\r\nsomeone          26/12/06(" + Weekday(0) + ") 08:00     26/12/06(" +
                        Weekday(0) + ") 09:00     01:00";
    PostMessageA(window, WM_DESTROY, 0, 0);
    WaitForExit(first, 5000);
    Release(first);
    WriteBytes("morvalenlog.txt", older);
    window = Start();
    std::string before = Log();
    char archive[32];
    snprintf(archive, sizeof archive, "morvalenlog_%02d-%02d-%02d.txt", started.from.wYear % 100,
             started.from.wMonth, started.from.wDay);
    std::string opened = before.substr(older.size());

    BoxInfo box = Choose(IDC_INITLOG);
    ASSERT_TRUE(box.window);
    EXPECT_EQ(box.text, Sjis("過去の記録は") + archive + Sjis("として保存されます。\n初期化してもよろしいですか？"))
        << Utf8(box.text);
    SaveScreenshot("initialise-question");
    PressButton(box.window, IDYES);
    EXPECT_TRUE(WaitFor([&] { return Log() == kLogHeader + opened; }, 5000)) << Utf8(Log());
    EXPECT_EQ(ReadBytes(archive), before);

    /* The same start date again: the copy fails and says so, the log is
       rewritten all the same, and the first archive stays as it was. */
    WriteBytes("morvalenlog.txt", Log() + "extra");
    box = Choose(IDC_INITLOG);
    ASSERT_TRUE(box.window);
    PressButton(box.window, IDYES);
    BoxInfo failed = FindBox(first.pid, 5000);
    ASSERT_TRUE(failed.window);
    SaveScreenshot("archive-failure");
    EXPECT_EQ(failed.text, Sjis("ファイルはすでに存在します。 過去の記録を保存することができませんでした。 初期化を続行します。"))
        << Utf8(failed.text);
    PressButton(failed.window, IDOK);
    EXPECT_TRUE(WaitFor([&] { return Log() == kLogHeader + opened; }, 5000)) << Utf8(Log());
    EXPECT_EQ(ReadBytes(archive), before);

    /* No changes nothing. */
    WriteBytes("morvalenlog.txt", Log() + "extra");
    box = Choose(IDC_INITLOG);
    ASSERT_TRUE(box.window);
    PressButton(box.window, IDNO);
    ExpectNothingHappened(kLogHeader + opened + "extra");
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
    Choose(IDC_SHOWLOG, 0);
    HWND viewer = FindViewer(10000);
    ASSERT_TRUE(viewer) << "the log was not opened";
    EXPECT_EQ(FindBox(first.pid, 0).window, (HWND)NULL) << "a failure reported";
    CloseViewer(viewer);
    EXPECT_EQ(Log(), log);

    DeleteFileA("morvalenlog.txt");
    Choose(IDC_SHOWLOG, 0);
    viewer = FindViewer(10000);
    EXPECT_TRUE(viewer);
    EXPECT_EQ(Log(), log) << "the missing log was not written afresh";
    CloseViewer(viewer);

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
    EXPECT_NE(box.text.find("nodir\\pc1.txt" + Sjis("を開くことができません。 作業は中断されました。")), std::string::npos)
        << Utf8(box.text);
    SaveScreenshot("open-failure");
    PressButton(box.window, IDOK);
    EXPECT_EQ(FindWindowA("Notepad", NULL), (HWND)NULL);
}
