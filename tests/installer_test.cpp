/*
 * The installer this build makes, run silently as an administrator
 * deploying it would and clicked through as a user would: the program, the
 * Startup shortcut, the Add/Remove Programs entry and the recorder it
 * starts, an install over a running copy, the uninstaller, and a whole day
 * of log-ons driven by Wine's wineboot.
 */
#include "program.h"

#include <shlobj.h>
#include <shobjidl.h>

static const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Morvalen";

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
static std::string SetupPath() { return BuildFolder() + "\\morvalen-setup.exe"; }

/* A value of the Add/Remove Programs entry, "<missing>" without one. */
static std::string Entry(const char *value = "DisplayName")
{
    char data[1024] = "";
    DWORD size = sizeof data;
    if (RegGetValueA(HKEY_CURRENT_USER, kUninstallKey, value, RRF_RT_REG_SZ, NULL, data, &size))
        return "<missing>";
    return data;
}

static bool SamePath(const std::string &a, const std::string &b)
{
    return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

/* Target, arguments and working folder, read through the shell's own link
   object as Windows reads it at log-on. */
static std::vector<std::string> ReadShortcut(const std::string &path)
{
    std::vector<std::string> link(3, "<missing>");
    CoInitializeEx(NULL, COINIT_APARTMENTTHREADED);
    IShellLinkA *shell = NULL;
    IPersistFile *file = NULL;
    wchar_t wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    char text[3][MAX_PATH] = {};
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void **)&shell)) &&
        SUCCEEDED(shell->QueryInterface(IID_IPersistFile, (void **)&file)) && SUCCEEDED(file->Load(wide, STGM_READ)) &&
        SUCCEEDED(shell->GetPath(text[0], MAX_PATH, NULL, SLGP_RAWPATH)) &&
        SUCCEEDED(shell->GetArguments(text[1], MAX_PATH)) && SUCCEEDED(shell->GetWorkingDirectory(text[2], MAX_PATH)))
        link = {text[0], text[1], text[2]};
    if (file)
        file->Release();
    if (shell)
        shell->Release();
    CoUninitialize();
    return link;
}

static std::string ImageOf(HANDLE process)
{
    char path[MAX_PATH] = "";
    DWORD size = MAX_PATH;
    QueryFullProcessImageNameA(process, 0, path, &size);
    return path;
}

/* All the texts a wizard page shows, one after another, and its visible
   edit boxes. */
static std::string PageText(HWND window)
{
    std::string text;
    char cls[64], line[2048];
    for (HWND control : Windows(window))
        if (GetClassNameA(control, cls, sizeof cls) && !lstrcmpiA(cls, "Static") && IsWindowVisible(control) &&
            GetWindowTextA(control, line, sizeof line) >= 0)
            text += std::string(line) + "\n";
    return text;
}

static std::vector<HWND> Edits(HWND window, size_t count)
{
    std::vector<HWND> edits;
    WaitFor([&] {
        char cls[64];
        edits.clear();
        for (HWND control : Windows(window))
            if (GetClassNameA(control, cls, sizeof cls) && !lstrcmpiA(cls, "Edit") && IsWindowVisible(control))
                edits.push_back(control);
        return edits.size() == count;
    }, 5000);
    return edits;
}

static bool Shows(HWND window, const std::string &text, DWORD timeoutMs = 0)
{
    return WaitFor([&] { return PageText(window).find(text) != std::string::npos; }, timeoutMs);
}

/* Next, Install, Uninstall and Finish are the wizard's button 1; a page
   that is still being set up has it disabled, and would miss the click. */
static void Next(HWND wizard)
{
    HWND button = GetDlgItem(wizard, 1);
    WaitFor([&] { return IsWindowEnabled(button) != FALSE; }, 5000);
    PostMessageA(button, BM_CLICK, 0, 0);
}

/* A screenshot once the wizard has drawn itself. */
static void Shoot(HWND wizard, const char *name)
{
    RedrawWindow(wizard, NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    SaveScreenshot(name);
}

static const std::string kSetupCaption = Sjis("Morvalen for Windows セットアップ");
static const std::string kUninstallCaption = Sjis("Morvalen for Windows アンインストール");

class Installer : public RecorderCase {
protected:
    HANDLE recorder = NULL;     /* the copy the installer started */

    void TearDown() override
    {
        /* A wizard left open by a failure would outlive the test. */
        for (const std::string &caption : {kSetupCaption, kUninstallCaption}) {
            HANDLE wizard = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE,
                                        ProcessOf(FindBox(0, 0, NULL, caption).window));
            if (wizard && TerminateProcess(wizard, 1))
                WaitForSingleObject(wizard, 5000);
            if (wizard)
                CloseHandle(wizard);
        }
        Follow(NULL);
        RecorderCase::TearDown();
        if (FileExists(Uninstaller()))
            RunToEnd("\"" + Uninstaller() + "\" /S", folder);
        WaitFor([] { return !FileExists(Uninstaller()) && Entry() == "<missing>"; }, 10000);
        DeleteFileA(StartupLink().c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, kUninstallKey);
        /* The logs the uninstaller rightly left in the program folder. */
        std::string tree = InstallFolder() + '\0';
        SHFILEOPSTRUCTA remove = {NULL, FO_DELETE, tree.c_str(), NULL, FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT};
        SHFileOperationA(&remove);
    }

    int Setup(const std::string &options = "")
    {
        return RunToEnd("\"" + SetupPath() + "\" /S " + options, folder);
    }

    /* Keeps a handle on the recorder behind window, to see it end. */
    bool Follow(HWND window)
    {
        if (recorder)
            CloseHandle(recorder);
        recorder = window ? OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, ProcessOf(window))
                          : NULL;
        return recorder != NULL;
    }

    bool RecorderEnded(DWORD timeoutMs)
    {
        return WaitForSingleObject(recorder, timeoutMs) == WAIT_OBJECT_0;
    }

    /* Waits for the installed recorder to start, and log to be before
       plus its start record. */
    bool Records(const std::string &log, const std::string &before = kLogHeader)
    {
        return Follow(FindRecorder(10000)) && WaitFor([&] {
            started.to = Now();
            return MatchesAt(ReadBytes(log), started, started, [&](const SYSTEMTIME &s, const SYSTEMTIME &) {
                return before + StartRecordAt(s);
            });
        }, 5000);
    }

    /* Waits for log to be before with its open line completed at some
       minute of now, and one new open line started then. */
    bool Continued(const std::string &log, const std::string &before, const Moment &opened, Moment &now)
    {
        return WaitFor([&] {
            now.to = Now();
            std::string bytes = ReadBytes(log);
            size_t last = bytes.rfind("\r\n");
            return MatchesAt(bytes.substr(0, last), opened, now, [&](const SYSTEMTIME &s, const SYSTEMTIME &e) {
                       return before + EndRecordAt(s, e);
                   }) &&
                   MatchesAt(bytes.substr(last), now, now, [](const SYSTEMTIME &s, const SYSTEMTIME &) {
                       return StartRecordAt(s);
                   });
        }, 5000);
    }
};

/* Without options the log lives beside the program, under its default
   name; the uninstaller must leave that folder to the logs. */
TEST_F(Installer, SilentInstallAndUninstallKeepTheLogs)
{
    std::string logs = InstallFolder() + "\\";
    started.from = Now();
    ASSERT_EQ(Setup(), 0);
    ASSERT_TRUE(Records(logs + "morvalenlog.txt"));
    EXPECT_EQ(ReadBytes(Installed()), ReadBytes(ProgramPath()));
    std::vector<std::string> link = ReadShortcut(StartupLink());
    EXPECT_TRUE(SamePath(link[0], Installed())) << link[0];
    EXPECT_EQ(link[1], "");
    EXPECT_TRUE(SamePath(link[2], InstallFolder())) << link[2];
    EXPECT_TRUE(SamePath(ImageOf(recorder), Installed())) << ImageOf(recorder);
    EXPECT_EQ(GetPriorityClass(recorder), (DWORD)IDLE_PRIORITY_CLASS);
    struct { const char *value; std::string data; } entry[] = {
        {"DisplayName", "Morvalen for Windows"},
        {"DisplayVersion", "1.31.0.815"},
        {"Publisher", "Morvalen Project"},
        {"InstallLocation", InstallFolder()},
        {"UninstallString", "\"" + Uninstaller() + "\""},
        {"QuietUninstallString", "\"" + Uninstaller() + "\" /S"},
    };
    for (auto &row : entry)
        EXPECT_TRUE(SamePath(Entry(row.value), row.data)) << row.value << ": " << Entry(row.value);

    const std::string archives[][2] = {{"morvalenlog_26-01-31.txt", "an archive\r\n"},
                                       {"morvalenlog_25-12-31.txt", kLogHeader + "\r\n"}};
    for (const auto &archive : archives)
        WriteBytes(logs + archive[0], archive[1]);
    std::string before = ReadBytes(logs + "morvalenlog.txt");
    Moment ended = {Now()};
    EXPECT_EQ(RunToEnd("\"" + Uninstaller() + "\" /S", folder), 0);
    /* The uninstaller goes on in a copy of itself after this returns. */
    EXPECT_TRUE(WaitFor([] { return !FileExists(Uninstaller()) && Entry() == "<missing>"; }, 10000));
    EXPECT_TRUE(RecorderEnded(5000)) << "the running copy was not stopped";
    ended.to = Now();
    EXPECT_FALSE(FileExists(Installed()));
    EXPECT_FALSE(FileExists(StartupLink()));
    std::string after = ReadBytes(logs + "morvalenlog.txt");
    EXPECT_TRUE(MatchesAt(after, started, ended, [&](const SYSTEMTIME &s, const SYSTEMTIME &e) {
        return before + EndRecordAt(s, e);
    })) << Utf8(after);
    for (const auto &archive : archives)
        EXPECT_EQ(ReadBytes(logs + archive[0]), archive[1]) << archive[0];
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
        EXPECT_TRUE(Continued(folder + "\\morvalenlog.txt", before, opened, again)) << options << Utf8(Log());
        Follow(window);
        EXPECT_TRUE(SamePath(ImageOf(recorder), Installed()));
        opened = again;
    }
    EXPECT_TRUE(SamePath(ReadShortcut(StartupLink())[2], folder));
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
        EXPECT_EQ(Entry(), "<missing>");
        EXPECT_FALSE(FindRecorder(0));
    }
}

/* The log page refuses what the program could not keep and installs with
   the folder and name typed there; the uninstaller's last page says where
   the logs stay. */
TEST_F(Installer, WizardPagesInstallAndUninstall)
{
    std::string logFolder = folder + Sjis("\\ログ"), logName = Sjis("使用記録");
    std::string log = logFolder + "\\" + logName + ".txt";
    Launched setup = Launch("", folder, "\"" + SetupPath() + "\"");
    HWND wizard = FindBox(0, 10000, NULL, kSetupCaption).window;
    ASSERT_TRUE(wizard);
    EXPECT_TRUE(Shows(wizard, Sjis("セットアップへようこそ"), 5000)) << Utf8(PageText(wizard));
    Shoot(wizard, "installer-welcome");
    Next(wizard);
    ASSERT_EQ(Edits(wizard, 1).size(), 1u) << "no folder page";
    Next(wizard);
    std::vector<HWND> edits = Edits(wizard, 2);
    ASSERT_EQ(edits.size(), 2u) << "no log page";
    EXPECT_TRUE(Shows(wizard, InstallFolder() + "\\morvalenlog.txt")) << Utf8(PageText(wizard));

    /* 18 bytes, then a device name: the page says why and stays. */
    struct { std::string name, why; } refused[] = {
        {Sjis("あいうえおかきくけ"), Sjis("長すぎます")},
        {"con", Sjis("装置に使う名前")},
    };
    for (auto &row : refused) {
        SendMessageA(edits[1], WM_SETTEXT, 0, (LPARAM)row.name.c_str());
        Next(wizard);
        BoxInfo refusal = FindBox(setup.pid, 5000, wizard);
        Shoot(wizard, "installer-name-refused");
        EXPECT_NE(refusal.text.find(row.why), std::string::npos) << Utf8(refusal.text);
        PressButton(refusal.window, IDOK);
    }
    SendMessageA(edits[0], WM_SETTEXT, 0, (LPARAM)logFolder.c_str());
    SendMessageA(edits[1], WM_SETTEXT, 0, (LPARAM)logName.c_str());
    Shoot(wizard, "installer-log-page");
    started.from = Now();
    Next(wizard);
    /* The log page shows the path too: wait for the last page's title. */
    EXPECT_TRUE(Shows(wizard, Sjis("セットアップの完了"), 10000)) << Utf8(PageText(wizard));
    EXPECT_TRUE(Shows(wizard, log)) << Utf8(PageText(wizard));
    Shoot(wizard, "installer-finish");
    Next(wizard);
    EXPECT_EQ(WaitForExit(setup, 5000), 0);
    Release(setup);
    EXPECT_TRUE(Records(log)) << Utf8(ReadBytes(log));
    std::vector<std::string> link = ReadShortcut(StartupLink());
    EXPECT_EQ(link[1], logName);
    EXPECT_TRUE(SamePath(link[2], logFolder)) << link[2];

    /* The uninstaller's wizard is a copy of it, run from elsewhere. */
    Launched uninstall = Launch("", folder, "\"" + Uninstaller() + "\"");
    Release(uninstall);
    HWND unwizard = FindBox(0, 10000, NULL, kUninstallCaption).window;
    ASSERT_TRUE(unwizard);
    Next(unwizard);
    EXPECT_TRUE(Shows(unwizard, logFolder + "\r\n", 10000)) << Utf8(PageText(unwizard));
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
    started.from = Now();
    ASSERT_EQ(Setup("/LOGDIR=\"" + folder + "\" /LOGNAME=nulls"), 0);
    ASSERT_TRUE(Records(log));
    EXPECT_EQ(ReadShortcut(StartupLink())[1], "nulls");

    /* Log-off and the next log-on, which runs the Startup folder. */
    std::string before = ReadBytes(log);
    Moment relogged = {Now()};
    EXPECT_NE(RunToEnd("wineboot.exe --end-session", folder), -1) << "wineboot did not finish";
    EXPECT_TRUE(RecorderEnded(10000)) << "the session's recorder was left running";
    ASSERT_TRUE(Follow(FindRecorder(10000))) << "the shortcut did not start the recorder";
    EXPECT_TRUE(Continued(log, before, started, relogged)) << Utf8(ReadBytes(log));

    /* The end of the day. */
    before = ReadBytes(log);
    Moment ended = {Now()};
    EXPECT_NE(RunToEnd("wineboot.exe --end-session --shutdown", folder), -1) << "wineboot did not finish";
    EXPECT_TRUE(RecorderEnded(10000));
    ended.to = Now();
    std::string after = ReadBytes(log);
    EXPECT_TRUE(MatchesAt(after, relogged, ended, [&](const SYSTEMTIME &s, const SYSTEMTIME &e) {
        return before + EndRecordAt(s, e);
    })) << Utf8(after);
}
