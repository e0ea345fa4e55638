/*
 * The 64-bit installer, run silently as an administrator deploying it
 * would and clicked through as a user would: the program, the Startup
 * shortcut, the Add/Remove Programs entry and the recorder it starts, an
 * install over a running copy, the uninstaller, and a whole day of log-ons
 * driven by Wine's wineboot.
 */
#include "program.h"

#include <shlobj.h>
#include <shobjidl.h>

static const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Morvalen";

static std::string Beside(const std::string &path, const char *name)
{
    return path.substr(0, path.rfind('\\') + 1) + name;
}

static std::string ShellFolder(int csidl)
{
    char path[MAX_PATH] = "";
    SHGetFolderPathA(NULL, csidl, NULL, SHGFP_TYPE_CURRENT, path);
    return path;
}

static std::string InstallFolder() { return ShellFolder(CSIDL_LOCAL_APPDATA) + "\\Programs\\Morvalen"; }
static std::string Installed() { return InstallFolder() + "\\morvalen.exe"; }
static std::string Uninstaller() { return InstallFolder() + "\\uninstall.exe"; }
static std::string StartupLink() { return ShellFolder(CSIDL_STARTUP) + "\\Morvalen for Windows.lnk"; }

static std::string Entry(const char *value)
{
    char data[1024] = "";
    DWORD size = sizeof data;
    if (RegGetValueA(HKEY_CURRENT_USER, kUninstallKey, value, RRF_RT_REG_SZ, NULL, data, &size))
        return "<missing>";
    return data;
}

static bool EntryExists()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kUninstallKey, 0, KEY_READ, &key))
        return false;
    RegCloseKey(key);
    return true;
}

struct Shortcut {
    std::string target, arguments, folder;
};

/* Read through the shell's own link object, as Windows will at log-on. */
static Shortcut ReadShortcut(const std::string &path)
{
    Shortcut link = {"<missing>", "", ""};
    CoInitializeEx(NULL, COINIT_APARTMENTTHREADED);
    IShellLinkA *shell = NULL;
    IPersistFile *file = NULL;
    wchar_t wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   (void **)&shell)) &&
        SUCCEEDED(shell->QueryInterface(IID_IPersistFile, (void **)&file)) &&
        SUCCEEDED(file->Load(wide, STGM_READ))) {
        char text[MAX_PATH] = "";
        shell->GetPath(text, MAX_PATH, NULL, SLGP_RAWPATH);
        link.target = text;
        text[0] = '\0';
        shell->GetArguments(text, MAX_PATH);
        link.arguments = text;
        text[0] = '\0';
        shell->GetWorkingDirectory(text, MAX_PATH);
        link.folder = text;
    }
    if (file)
        file->Release();
    if (shell)
        shell->Release();
    CoUninitialize();
    return link;
}

static std::string ImageOf(DWORD pid)
{
    char path[MAX_PATH] = "";
    DWORD size = MAX_PATH;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process) {
        QueryFullProcessImageNameA(process, 0, path, &size);
        CloseHandle(process);
    }
    return path;
}

static bool SamePath(const std::string &a, const std::string &b)
{
    return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

/* Splits a log before its last record, the line of the latest session. */
static std::string LastLine(const std::string &bytes)
{
    return bytes.substr(bytes.rfind("\r\n"));
}
static std::string BeforeLastLine(const std::string &bytes)
{
    return bytes.substr(0, bytes.rfind("\r\n"));
}

/* The visible controls of a class anywhere inside window, in z-order. */
static std::vector<HWND> Controls(HWND window, const char *cls)
{
    std::vector<HWND> found;
    for (HWND child : Windows(window)) {
        char name[64];
        GetClassNameA(child, name, sizeof name);
        if (lstrcmpiA(name, cls) == 0 && IsWindowVisible(child))
            found.push_back(child);
    }
    return found;
}

/* All the texts a wizard page shows, one after another. */
static std::string PageText(HWND window)
{
    std::string text;
    for (HWND label : Controls(window, "Static")) {
        char line[2048] = "";
        GetWindowTextA(label, line, sizeof line);
        text += line;
        text += "\n";
    }
    return text;
}

static bool Shows(HWND window, const std::string &text)
{
    return PageText(window).find(text) != std::string::npos;
}

/* The wizard whose caption starts with caption (NSIS puts a blank after it). */
static HWND FindWizard(const std::string &caption, DWORD timeoutMs)
{
    HWND found = NULL;
    WaitFor([&] {
        for (HWND window : Windows()) {
            char cls[64], text[256] = "";
            GetClassNameA(window, cls, sizeof cls);
            GetWindowTextA(window, text, sizeof text);
            if (!lstrcmpA(cls, "#32770") && IsWindowVisible(window) &&
                !std::string(text).compare(0, caption.size(), caption))
                return (found = window) != NULL;
        }
        return false;
    }, timeoutMs);
    return found;
}

/* Next, Install, Uninstall and Finish are the wizard's button 1; a page
   that is still being set up has it disabled, and would miss the click. */
static void Next(HWND wizard)
{
    HWND button = GetDlgItem(wizard, 1);
    WaitFor([&] { return IsWindowEnabled(button) != FALSE; }, 5000);
    PostMessageA(button, BM_CLICK, 0, 0);
}

/* A screenshot once the wizard has drawn itself: an update of another
   process's window waits for its painting. */
static void Shoot(HWND wizard, const char *name)
{
    RedrawWindow(wizard, NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    SaveScreenshot(name);
}

static void Type(HWND edit, const std::string &text)
{
    SendMessageA(edit, WM_SETTEXT, 0, (LPARAM)text.c_str());
}

class Installer : public RecorderCase {
protected:
    HANDLE recorder = NULL;     /* the copy the installer started */

    void TearDown() override
    {
        /* A wizard left open by a failure would outlive the test. */
        for (const char *caption : {"Morvalen for Windows セットアップ", "Morvalen for Windows アンインストール"}) {
            HANDLE wizard = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE,
                                        ProcessOf(FindWizard(Sjis(caption), 0)));
            if (wizard && TerminateProcess(wizard, 1))
                WaitForSingleObject(wizard, 5000);
            if (wizard)
                CloseHandle(wizard);
        }
        if (recorder)
            CloseHandle(recorder);
        RecorderCase::TearDown();
        if (FileExists(Uninstaller()))
            Run("\"" + Uninstaller() + "\" /S");
        WaitFor([] { return !FileExists(Uninstaller()) && !EntryExists(); }, 10000);
        DeleteFileA(StartupLink().c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, kUninstallKey);
        /* The logs the uninstaller rightly left in the program folder. */
        std::string tree = InstallFolder() + '\0';
        SHFILEOPSTRUCTA remove = {NULL, FO_DELETE, tree.c_str(), NULL,
                                  FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT};
        SHFileOperationA(&remove);
    }

    /* Runs a command line in the test's folder; its exit code. */
    int Run(const std::string &line)
    {
        Launched run = Launch("", folder, line);
        int code = WaitForExit(run, 60000);
        Release(run);
        return code;
    }

    int Setup(const std::string &options = "")
    {
        return Run("\"" + Beside(ProgramPath(), "morvalen-setup.exe") + "\" /S " + options);
    }

    /* Keeps a handle on the recorder behind window, to see it end. */
    bool Follow(HWND window)
    {
        if (recorder)
            CloseHandle(recorder);
        recorder = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, ProcessOf(window));
        return recorder != NULL;
    }

    /* Waits for the page whose edit boxes are count in number. */
    std::vector<HWND> Edits(HWND wizard, size_t count)
    {
        std::vector<HWND> edits;
        WaitFor([&] { return (edits = Controls(wizard, "Edit")).size() == count; }, 5000);
        return edits;
    }

    bool RecorderEnded(DWORD timeoutMs)
    {
        return WaitForSingleObject(recorder, timeoutMs) == WAIT_OBJECT_0;
    }

    /* Installs and waits for the started recorder's first record in log. */
    bool InstallAndRecord(const std::string &options, const std::string &log)
    {
        started.from = Now();
        if (Setup(options) != 0 || !Follow(FindRecorder(5000)))
            return false;
        return WaitFor([&] {
            started.to = Now();
            return MatchesAt(ReadBytes(log), started, started, [](const SYSTEMTIME &s, const SYSTEMTIME &) {
                return kLogHeader + StartRecordAt(s);
            });
        }, 5000);
    }

    /* Waits for log to become before, its open line (opened) completed
       at some minute of now, and one new open line started then. */
    bool Continued(const std::string &log, const std::string &before, const Moment &opened, Moment &now)
    {
        return WaitFor([&] {
            now.to = Now();
            std::string bytes = ReadBytes(log);
            return MatchesAt(BeforeLastLine(bytes), opened, now, [&](const SYSTEMTIME &s, const SYSTEMTIME &e) {
                       return before + EndRecordAt(s, e);
                   }) &&
                   MatchesAt(LastLine(bytes), now, now, [](const SYSTEMTIME &s, const SYSTEMTIME &) {
                       return StartRecordAt(s);
                   });
        }, 5000);
    }
};

TEST_F(Installer, SilentInstallSetsUpEverythingAndRecordsThisSession)
{
    std::string logFolder = folder + Sjis("\\記録 フォルダ");
    std::string logName = Sjis("使用記録");
    std::string log = logFolder + "\\" + logName + ".txt";
    ASSERT_TRUE(InstallAndRecord("/LOGDIR=\"" + logFolder + "\" /LOGNAME=" + logName, log)) << Utf8(ReadBytes(log));

    EXPECT_EQ(ReadBytes(Installed()), ReadBytes(ProgramPath()));
    Shortcut link = ReadShortcut(StartupLink());
    EXPECT_TRUE(SamePath(link.target, Installed())) << link.target;
    EXPECT_EQ(link.arguments, logName);
    EXPECT_TRUE(SamePath(link.folder, logFolder)) << link.folder;

    EXPECT_EQ(Entry("DisplayName"), "Morvalen for Windows");
    EXPECT_EQ(Entry("DisplayVersion"), "1.31.0.815");
    EXPECT_EQ(Entry("Publisher"), "Morvalen Project");
    EXPECT_TRUE(SamePath(Entry("InstallLocation"), InstallFolder())) << Entry("InstallLocation");
    EXPECT_TRUE(SamePath(Entry("UninstallString"), "\"" + Uninstaller() + "\"")) << Entry("UninstallString");
    EXPECT_TRUE(SamePath(Entry("QuietUninstallString"), "\"" + Uninstaller() + "\" /S"));
    EXPECT_TRUE(FileExists(Uninstaller()));

    EXPECT_TRUE(SamePath(ImageOf(GetProcessId(recorder)), Installed())) << ImageOf(GetProcessId(recorder));
    EXPECT_EQ(GetPriorityClass(recorder), (DWORD)IDLE_PRIORITY_CLASS);
}

TEST_F(Installer, InstallOverARunningCopyCompletesItsLineAndStartsOneNewLine)
{
    /* First a copy run by hand from elsewhere, then the installed one; the
       update without options keeps the log where the install put it. */
    Follow(Start());
    Moment opened = started;
    for (std::string options : {"/LOGDIR=\"" + folder + "\"", std::string()}) {
        std::string before = Log();
        DWORD pid = GetProcessId(recorder);
        Moment again = {Now()};
        ASSERT_EQ(Setup(options), 0) << options;
        EXPECT_TRUE(RecorderEnded(5000)) << "the running copy was not stopped: " << options;
        HWND window = FindRecorder(5000);
        ASSERT_TRUE(window && ProcessOf(window) != pid) << options;
        EXPECT_TRUE(SamePath(ImageOf(ProcessOf(window)), Installed()));
        EXPECT_TRUE(Continued(folder + "\\morvalenlog.txt", before, opened, again)) << options << Utf8(Log());
        Follow(window);
        opened = again;
    }
    EXPECT_TRUE(SamePath(ReadShortcut(StartupLink()).folder, folder));
}

TEST_F(Installer, UninstallRemovesProgramShortcutAndEntryAndKeepsTheLogs)
{
    /* Without options the log lives beside the program, under its default
       name, so the uninstaller must leave that folder to the logs. */
    std::string logs = InstallFolder() + "\\";
    ASSERT_TRUE(InstallAndRecord("", logs + "morvalenlog.txt"));
    Shortcut link = ReadShortcut(StartupLink());
    EXPECT_EQ(link.arguments, "");
    EXPECT_TRUE(SamePath(link.folder, InstallFolder())) << link.folder;

    const std::string archives[][2] = {{"morvalenlog_26-01-31.txt", "an archive\r\n"},
                                       {"morvalenlog_25-12-31.txt", kLogHeader + "\r\n"}};
    for (const auto &archive : archives)
        WriteBytes(logs + archive[0], archive[1]);
    std::string before = ReadBytes(logs + "morvalenlog.txt");

    Moment ended = {Now()};
    EXPECT_EQ(Run("\"" + Uninstaller() + "\" /S"), 0);
    /* The uninstaller goes on in a copy of itself after this returns. */
    EXPECT_TRUE(WaitFor([] { return !FileExists(Uninstaller()) && !EntryExists(); }, 10000));
    EXPECT_TRUE(RecorderEnded(5000)) << "the running copy was not stopped";
    ended.to = Now();
    EXPECT_FALSE(FileExists(Installed()));
    EXPECT_FALSE(FileExists(StartupLink()));
    EXPECT_FALSE(FindRecorder(0));

    std::string after = ReadBytes(logs + "morvalenlog.txt");
    EXPECT_TRUE(MatchesAt(after, started, ended, [&](const SYSTEMTIME &s, const SYSTEMTIME &e) {
        return before + EndRecordAt(s, e);
    })) << Utf8(after);
    for (const auto &archive : archives)
        EXPECT_EQ(ReadBytes(logs + archive[0]), archive[1]) << archive[0];
}

TEST_F(Installer, LogNameTheProgramCouldNotKeepIsRefusedAndNothingInstalled)
{
    /* 18 bytes, of which the program would keep 16; a wildcard; device
       names, which are no files. */
    for (std::string name : {Sjis("あいうえおかきくけ"), std::string("log?"), std::string("NUL"),
                             std::string("Lpt1"), std::string("\"aux .x\"")}) {
        EXPECT_EQ(Setup("/LOGDIR=\"" + folder + "\" /LOGNAME=" + name), 2) << Utf8(name);
        EXPECT_FALSE(FileExists(Installed()));
        EXPECT_FALSE(FileExists(StartupLink()));
        EXPECT_FALSE(EntryExists());
        EXPECT_FALSE(FindRecorder(0));
    }
}

/* The log page refuses a name the program would cut, and installs with the
   folder and name typed there; the uninstaller's last page says where the
   logs stay. */
TEST_F(Installer, WizardPagesInstallAndUninstall)
{
    std::string logFolder = folder + Sjis("\\ログ");
    std::string logName = Sjis("使用記録");
    Launched setup = Launch("", folder, "\"" + Beside(ProgramPath(), "morvalen-setup.exe") + "\"");
    HWND wizard = FindWizard(Sjis("Morvalen for Windows セットアップ"), 10000);
    ASSERT_TRUE(wizard);
    EXPECT_TRUE(WaitFor([&] { return Shows(wizard, Sjis("セットアップへようこそ")); }, 5000)) << Utf8(PageText(wizard));
    Shoot(wizard, "installer-welcome");
    Next(wizard);
    ASSERT_EQ(Edits(wizard, 1).size(), 1u) << "no folder page";
    Next(wizard);
    std::vector<HWND> edits = Edits(wizard, 2);
    ASSERT_EQ(edits.size(), 2u) << "no log page";
    EXPECT_TRUE(Shows(wizard, InstallFolder() + "\\morvalenlog.txt")) << Utf8(PageText(wizard));

    /* 18 bytes: the page says so and stays. */
    Type(edits[1], Sjis("あいうえおかきくけ"));
    Next(wizard);
    BoxInfo refusal = FindBox(setup.pid, 5000, wizard);
    Shoot(wizard, "installer-name-too-long");
    EXPECT_NE(refusal.text.find(Sjis("長すぎます")), std::string::npos) << Utf8(refusal.text);
    PressButton(refusal.window, IDOK);
    Type(edits[1], "con");
    Next(wizard);
    refusal = FindBox(setup.pid, 5000, wizard);
    EXPECT_NE(refusal.text.find(Sjis("装置に使う名前")), std::string::npos) << Utf8(refusal.text);
    PressButton(refusal.window, IDOK);

    Type(edits[0], logFolder);
    Type(edits[1], logName);
    std::string log = logFolder + "\\" + logName + ".txt";
    Shoot(wizard, "installer-log-page");
    started.from = Now();
    Next(wizard);
    /* The log page shows the path too: wait for the last page's title. */
    EXPECT_TRUE(WaitFor([&] { return Shows(wizard, Sjis("セットアップの完了")); }, 10000)) << Utf8(PageText(wizard));
    EXPECT_TRUE(Shows(wizard, log)) << Utf8(PageText(wizard));
    Shoot(wizard, "installer-finish");
    Next(wizard);
    EXPECT_EQ(WaitForExit(setup, 5000), 0);
    Release(setup);
    ASSERT_TRUE(Follow(FindRecorder(5000)));
    EXPECT_TRUE(WaitFor([&] {
        started.to = Now();
        return MatchesAt(ReadBytes(log), started, started, [](const SYSTEMTIME &s, const SYSTEMTIME &) {
            return kLogHeader + StartRecordAt(s);
        });
    }, 5000)) << Utf8(ReadBytes(log));
    Shortcut link = ReadShortcut(StartupLink());
    EXPECT_EQ(link.arguments, logName);
    EXPECT_TRUE(SamePath(link.folder, logFolder)) << link.folder;

    /* The uninstaller's wizard is a copy of it, run from elsewhere. */
    Launched uninstall = Launch("", folder, "\"" + Uninstaller() + "\"");
    HWND unwizard = FindWizard(Sjis("Morvalen for Windows アンインストール"), 10000);
    Release(uninstall);
    ASSERT_TRUE(unwizard);
    Next(unwizard);
    EXPECT_TRUE(WaitFor([&] { return Shows(unwizard, logFolder + "\r\n"); }, 10000)) << Utf8(PageText(unwizard));
    EXPECT_TRUE(Shows(unwizard, logName + ".txt"));
    Shoot(unwizard, "uninstaller-finish");
    Next(unwizard);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(unwizard); }, 5000));
    EXPECT_TRUE(RecorderEnded(5000));
    EXPECT_FALSE(FileExists(Installed()));
    EXPECT_TRUE(FileExists(log));
}

TEST_F(Installer, AWholeDayFromTheStartupShortcutGivesTwoCompleteLines)
{
    /* A name that only contains a device name is a file like any other. */
    std::string log = folder + "\\nulls.txt";
    ASSERT_TRUE(InstallAndRecord("/LOGDIR=\"" + folder + "\" /LOGNAME=nulls", log));

    /* Log-off and the next log-on, which runs the Startup folder. */
    std::string before = ReadBytes(log);
    Moment relogged = {Now()};
    Launched wineboot = Launch("", folder, "wineboot.exe --end-session");
    EXPECT_NE(WaitForExit(wineboot, 60000), -1) << "wineboot did not finish";
    Release(wineboot);
    EXPECT_TRUE(RecorderEnded(10000)) << "the session's recorder was left running";
    ASSERT_TRUE(Follow(FindRecorder(10000))) << "the shortcut did not start the recorder";
    EXPECT_TRUE(Continued(log, before, started, relogged)) << Utf8(ReadBytes(log));

    /* The end of the day. */
    before = ReadBytes(log);
    Moment ended = {Now()};
    wineboot = Launch("", folder, "wineboot.exe --end-session --shutdown");
    EXPECT_NE(WaitForExit(wineboot, 60000), -1) << "wineboot did not finish";
    Release(wineboot);
    EXPECT_TRUE(RecorderEnded(10000));
    ended.to = Now();
    std::string after = ReadBytes(log);
    EXPECT_TRUE(MatchesAt(after, relogged, ended, [&](const SYSTEMTIME &s, const SYSTEMTIME &e) {
        return before + EndRecordAt(s, e);
    })) << Utf8(after);
}
