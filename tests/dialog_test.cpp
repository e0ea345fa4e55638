/*
 * The command dialog and its three commands, driven as a user would: real
 * launches, button clicks, keys and pointer moves through the X display.
 */
#include "program.h"

#include "../res/resource.h"

#include <cstring>

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

static bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
static void Click(HWND dialog, int id) { SendDlgItemMessageA(dialog, id, BM_CLICK, 0, 0); }

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
    return WaitFor([&] { return Pixels(link, orange) > 10 && Pixels(link, !orange) == 0; }, 10000);
}

class Dialog : public RecorderCase {
protected:
    HWND window = NULL;

    void SetUp() override
    {
        RecorderCase::SetUp();
        window = Start();
    }

    /* A later launch, with any log name, asks the running copy for its
       dialog and records nothing of its own. */
    HWND OpenDialog(const std::string &tail = "", const std::string &from = ".")
    {
        EXPECT_EQ(RunToEnd("\"" + ProgramPath() + "\" " + tail, from, 5000), 0);
        BoxInfo dialog = FindBox(first.pid, 5000);
        EXPECT_EQ(dialog.caption, MORVALEN_PRODUCT);
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
        EXPECT_TRUE(NoBoxAppears(first.pid)) << "a command ran";
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
    EXPECT_TRUE(NoBoxAppears(first.pid, dialog));
    EXPECT_EQ(GetForegroundWindow(), dialog);

    /* Cancel after choosing initialise runs nothing. */
    PressButton(dialog, IDCANCEL);
    ExpectNothingHappened(log);

    std::string other = folder + "\\other";
    CreateDirectoryA(other.c_str(), NULL);
    for (const char *tail : {"other", "/install now"}) {
        dialog = OpenDialog(tail, other);
        EXPECT_TRUE(Checked(dialog, IDC_SHOWLOG) && !Checked(dialog, IDC_INITLOG)) << "choice remembered";
        PressButton(dialog, IDCANCEL);
    }
    EXPECT_EQ(Listing(other) + Log(), log);
}

/* Enter runs the choice, here the quit question, whose No changes
   nothing; Escape and the close box cancel. Yes completes the line with
   the current time, and Windows may end the session while it is open. */
TEST_F(Dialog, EnterAsksToQuitEscapeCancelsAndYesCompletesTheLine)
{
    std::string log = Log();
    for (std::string key : {"Escape", "close box", "Return"}) {
        HWND dialog = OpenDialog();
        Click(dialog, IDC_QUIT);
        if (key == "close box")
            PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        else
            XInput("key " + key);
        EXPECT_TRUE(WaitFor([&] { return !IsWindow(dialog); }, 5000)) << key;
        BoxInfo box = FindBox(first.pid, key == "Return" ? 5000 : kBoxWaitMs);
        EXPECT_EQ(box.text, key != "Return" ? "" : Sjis("Windowsの終了時刻ではなく、現在の時刻が終了時刻として記録されます。\n"
                                                        "終了してもよろしいですか？")) << key << ": " << Utf8(box.text);
        EXPECT_EQ(box.buttons, key != "Return" ? std::vector<int>() : (std::vector<int>{IDYES, IDNO}));
        if (box.window)
            SaveScreenshot("quit-question");
        PressButton(box.window, IDNO);
    }
    ExpectNothingHappened(log);
    for (bool yes : {true, false}) {
        if (!yes && DeleteFileA(DEFAULT_LOG))
            window = Start();
        BoxInfo box = Choose(IDC_QUIT);
        Moment ended = {Now()};
        if (yes)
            PressButton(box.window, IDYES);
        else
            EXPECT_NE(RunToEnd("wineboot.exe --end-session --shutdown", folder), -1);
        EXPECT_NE(WaitForExit(first, 10000), -1);
        ended.to = Now();
        EXPECT_TRUE(HasOneSession(Log(), ended)) << (yes ? "yes" : "session ended");
    }
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
    DeleteFileA("C:\\browsed.txt");
    XInput("click 1");
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(dialog); }, 5000)) << "the link's click";
    EXPECT_TRUE(WaitFor([] { return ReadBytes("C:\\browsed.txt") == "https://morvalen.example/\n"; }, 5000))
        << "the maker's page was not opened: " << ReadBytes("C:\\browsed.txt");
    ExpectNothingHappened(log);
}

/* Initialised three times on one start date, the log in a folder of its
   own with its archives: first archived and started afresh; then the
   archive exists, which is said, and the log is started afresh all the
   same; then the log is held by another program, and both fail and say
   so. No changes nothing. */
TEST_F(Dialog, InitialiseArchivesTheLogAndStartsItAfreshWithTheOpenLine)
{
    std::string older = kLogHeader + CompletedLine("someone", At(2026, 12, 6, 8, 0), At(2026, 12, 6, 9, 0));
    KillRecorders();
    CreateDirectoryA("logs", NULL);
    WriteBytes("logs\\pc1.txt", older);
    window = Start("logs\\pc1");
    std::string before = Log("logs\\pc1.txt"), fresh = kLogHeader + before.substr(older.size());
    char archive[32];
    snprintf(archive, sizeof archive, "logs\\pc1_%02d-%02d-%02d.txt", started.from.wYear % 100,
             started.from.wMonth, started.from.wDay);
    std::string exists = Sjis("ファイルはすでに存在します。 "), shared = Sjis("共有違反です。 ");
    std::string failed = Sjis("過去の記録を保存することができませんでした。 初期化を続行します。");
    struct { int answer; bool held; std::vector<std::string> reports; std::string log, after; } rows[] = {
        {IDYES, false, {}, before, fresh},
        {IDYES, false, {exists + failed}, fresh + "more", fresh},
        {IDYES, true, {shared + failed, shared + "logs\\pc1.txt" + kCannotOpen}, fresh + "more", fresh + "more"},
        {IDNO, false, {}, fresh + "more", fresh + "more"},
    };
    for (auto &row : rows) {
        WriteBytes("logs\\pc1.txt", row.log);
        HANDLE lock = row.held ? CreateFileA("logs\\pc1.txt", GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL) : NULL;
        BoxInfo box = Choose(IDC_INITLOG);
        EXPECT_EQ(box.text, Sjis("過去の記録は") + archive + Sjis("として保存されます。\n初期化してもよろしいですか？"))
            << Utf8(box.text);
        SaveScreenshot("initialise-question");
        PressButton(box.window, row.answer);
        for (const std::string &report : row.reports) {
            box = FindBox(first.pid, 5000);
            SaveScreenshot("initialise-failure");
            EXPECT_EQ(box.text, report) << Utf8(box.text);
            PressButton(box.window, IDOK);
        }
        EXPECT_TRUE(NoBoxAppears(first.pid)) << "a report too many";
        if (lock)
            CloseHandle(lock);
        EXPECT_TRUE(WaitFor([&] { return Log("logs\\pc1.txt") == row.after; }, 5000)) << Utf8(Log("logs\\pc1.txt"));
        EXPECT_EQ(ReadBytes(archive), before);
    }
}

TEST_F(Dialog, ShowLogOpensTheViewerAndRewritesAMissingLog)
{
    /* Wine's notepad, which .txt files are associated with, showing the log. */
    auto viewer = [] {
        HWND notepad = NULL;
        char title[256] = "";
        WaitFor([&] {
            GetWindowTextA(notepad = FindWindowA("Notepad", NULL), title, sizeof title);
            return notepad && strstr(title, DEFAULT_LOG);
        }, 10000);
        return notepad;
    };
    std::string log = Log();
    for (bool deleted : {false, true}) {
        if (deleted)
            DeleteFileA(DEFAULT_LOG);
        Choose(IDC_SHOWLOG, 0);
        HWND notepad = viewer();
        ASSERT_TRUE(notepad) << "the log was not opened";
        EXPECT_EQ(FindBox(first.pid, 0).window, (HWND)NULL) << "a failure reported";
        EXPECT_EQ(Log(), log) << (deleted ? "the missing log was not written afresh" : "");
        PostMessageA(notepad, WM_CLOSE, 0, 0);
        WaitFor([&] { return !IsWindow(notepad); }, 5000);
    }

    /* A log in a folder that does not exist cannot be shown at all, nor
       written afresh: one report, of the showing. */
    KillRecorders();
    Release(first);
    first = Launch("nodir\\pc1", folder);
    PressButton(FindBox(first.pid, 5000).window, IDOK);
    window = FindRecorder(5000);
    WaitUntilWaiting();
    BoxInfo box = Choose(IDC_SHOWLOG);
    EXPECT_NE(box.text.find("nodir\\pc1.txt" + kCannotOpen), std::string::npos) << Utf8(box.text);
    SaveScreenshot("open-failure");
    PressButton(box.window, IDOK);
    EXPECT_TRUE(NoBoxAppears(first.pid)) << "a report too many";
    EXPECT_EQ(FindWindowA("Notepad", NULL), (HWND)NULL);
}

/* The PC goes to sleep with the dialog open: the end is written from
   inside it. Initialised while asleep, the log is archived with its
   complete line and starts afresh without one; waking starts the next. */
TEST_F(Dialog, SleepWithTheDialogOpenAndInitialiseWhileAsleep)
{
    HWND dialog = OpenDialog();
    DWORD_PTR answer = 0;
    Moment slept = {Now()};
    EXPECT_TRUE(SendMessageTimeoutA(window, WM_POWERBROADCAST, PBT_APMSUSPEND, 0, SMTO_NORMAL, 5000, &answer));
    slept.to = Now();
    std::string asleep = Log();
    EXPECT_TRUE(HasOneSession(asleep, slept));
    Click(dialog, IDC_INITLOG);
    PressButton(dialog, IDOK);
    PressButton(FindBox(first.pid, 5000).window, IDYES);
    EXPECT_TRUE(WaitFor([&] { return Log() == kLogHeader; }, 5000)) << Utf8(Log());
    char archive[32];
    snprintf(archive, sizeof archive, MORVALEN_DEFAULT_LOGNAME "_%02d-%02d-%02d.txt", started.from.wYear % 100, started.from.wMonth,
             started.from.wDay);
    EXPECT_EQ(ReadBytes(archive), asleep);

    Moment woke = {Now()};
    EXPECT_TRUE(SendMessageTimeoutA(window, WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0, SMTO_NORMAL, 5000, &answer));
    woke.to = Now();
    EXPECT_TRUE(Matches(Log(), woke, 1, [](const Stamps &t) { return kLogHeader + StartRecordAt(t[0]); }));
}
