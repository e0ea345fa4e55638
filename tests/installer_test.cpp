/*
 * The installer this build makes, run silently as an administrator
 * deploying it would and clicked through as a user would: the program, the
 * Startup shortcut, the Add/Remove Programs entry and the recorder it
 * starts, an install over a running copy, the uninstaller, and a whole day
 * of log-ons driven by Wine's wineboot.
 */
#include "program.h"

#include <msi.h>
#include <shlobj.h>

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
static std::string StartupLink() { return ShellFolder(CSIDL_STARTUP) + "\\" MORVALEN_PRODUCT ".lnk"; }
static std::string MenuFolder() { return ShellFolder(CSIDL_PROGRAMS) + "\\" MORVALEN_PRODUCT; }
static std::string ReportLink() { return MenuFolder() + Sjis("\\使用時間の集計.lnk"); }
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

static std::string ImageOf(HANDLE process)
{
    char path[MAX_PATH] = "";
    DWORD size = MAX_PATH;
    QueryFullProcessImageNameA(process, 0, path, &size);
    return path;
}

/* The visible controls of a class on a wizard page, and all the texts its
   labels show, one after another. */
static std::vector<HWND> Controls(HWND window, const char *cls)
{
    std::vector<HWND> found;
    char name[64];
    for (HWND control : Windows(window))
        if (GetClassNameA(control, name, sizeof name) && !lstrcmpiA(name, cls) && IsWindowVisible(control))
            found.push_back(control);
    return found;
}

static std::string PageText(HWND window)
{
    std::string text;
    char line[2048];
    for (HWND label : Controls(window, "Static"))
        text += std::string(line, GetWindowTextA(label, line, sizeof line)) + "\n";
    return text;
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

static const std::string kSetupCaption = Sjis(MORVALEN_PRODUCT " セットアップ");
static const std::string kUninstallCaption = Sjis(MORVALEN_PRODUCT " アンインストール");

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
        RegDeleteKeyA(HKEY_CURRENT_USER, MORVALEN_SETTINGS_KEY);
        RemoveTree(InstallFolder());    /* the logs the uninstaller rightly left */
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
            return Matches(ReadBytes(log), started, 1, [&](const Stamps &t) { return before + StartRecordAt(t[0]); });
        }, 5000);
    }

    /* Waits for log to be before with its open line completed at some
       minute of now, and one new open line started then. */
    bool Continued(const std::string &log, const std::string &before, const Moment &opened, Moment &now)
    {
        return WaitFor([&] {
            now.to = Now();
            return Matches(ReadBytes(log), {opened.from, now.to}, 3, [&](const Stamps &t) {
                return before + EndRecordAt(t[0], t[1]) + StartRecordAt(t[2]);
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
    ASSERT_TRUE(Records(logs + DEFAULT_LOG));
    EXPECT_EQ(ReadBytes(Installed()), ReadBytes(ProgramPath()));
    EXPECT_EQ(ReadBytes(InstallFolder() + "\\morvalen-report.exe"), ReadBytes(BuildFolder() + "\\morvalen-report.exe"));
    EXPECT_TRUE(SamePath(ImageOf(recorder), Installed())) << ImageOf(recorder);
    EXPECT_EQ(GetPriorityClass(recorder), (DWORD)IDLE_PRIORITY_CLASS);
    struct { const char *value; std::string data; } entry[] = {
        {"DisplayName", MORVALEN_PRODUCT},
        {"DisplayVersion", MORVALEN_VERSION},
        {"Publisher", "Morvalen Project"},
        {"InstallLocation", InstallFolder()},
        {"UninstallString", "\"" + Uninstaller() + "\""},
        {"QuietUninstallString", "\"" + Uninstaller() + "\" /S"},
    };
    for (auto &row : entry)
        EXPECT_TRUE(SamePath(Entry(row.value), row.data)) << row.value << ": " << Entry(row.value);

    /* The Start menu's report runs on the installed log. */
    ShellExecuteA(NULL, NULL, ReportLink().c_str(), NULL, NULL, SW_SHOWNORMAL);
    for (const char *output : {"morvalen-report.html", "morvalen-days.csv", "morvalen-sessions.csv"})
        EXPECT_TRUE(WaitFor([&] { return FileExists(logs + output); }, 10000)) << output;

    const std::string archives[][2] = {{MORVALEN_DEFAULT_LOGNAME "_26-01-31.txt", "an archive\r\n"},
                                       {MORVALEN_DEFAULT_LOGNAME "_25-12-31.txt", kLogHeader + "\r\n"}};
    for (const auto &archive : archives)
        WriteBytes(logs + archive[0], archive[1]);
    std::string before = ReadBytes(logs + DEFAULT_LOG);
    Moment ended = {Now()};
    EXPECT_EQ(RunToEnd("\"" + Uninstaller() + "\" /S", folder), 0);
    /* The uninstaller goes on in a copy of itself after this returns. */
    EXPECT_TRUE(WaitFor([] { return !FileExists(Uninstaller()) && Entry() == "<missing>"; }, 10000));
    EXPECT_TRUE(RecorderEnded(5000)) << "the running copy was not stopped";
    ended.to = Now();
    for (const std::string &gone : {Installed(), InstallFolder() + "\\morvalen-report.exe", StartupLink(), MenuFolder()})
        EXPECT_FALSE(FileExists(gone)) << gone;
    std::string after = ReadBytes(logs + DEFAULT_LOG);
    EXPECT_TRUE(Matches(after, {started.from, ended.to}, 2, [&](const Stamps &t) {
        return before + EndRecordAt(t[0], t[1]);
    }));
    for (const auto &archive : archives)
        EXPECT_EQ(ReadBytes(logs + archive[0]), archive[1]) << archive[0];
}

/* While a copy run by hand records, names the program could not keep are
   refused and change nothing: 18 bytes, of which it would keep 16; a
   wildcard; device names, which are no files. A name that only contains
   a device name is a file like any other: that install stops the copy,
   whose line is completed, and starts the installed one; an update without
   options keeps the log where the install put it. */
TEST_F(Installer, InstallOverARunningCopyCompletesItsLineAndRefusesBadNames)
{
    Follow(Start());
    std::string log = Log(), nulls = folder + "\\nulls.txt";
    for (std::string name : {Sjis("あいうえおかきくけ"), std::string("log?"), std::string("NUL"),
                             std::string("Lpt1"), std::string("\"aux .x\"")}) {
        EXPECT_EQ(Setup("/LOGDIR=\"" + folder + "\" /LOGNAME=" + name), 2) << Utf8(name);
        EXPECT_FALSE(FileExists(Installed()) || FileExists(StartupLink()) || Entry() != "<missing>") << Utf8(name);
        EXPECT_FALSE(RecorderEnded(0)) << "a refused install stopped the running copy";
    }
    Moment opened = started;
    ASSERT_EQ(Setup("/LOGDIR=\"" + folder + "\" /LOGNAME=nulls"), 0);
    EXPECT_TRUE(RecorderEnded(5000)) << "the copy run by hand was not stopped";
    EXPECT_TRUE(Matches(Log(), {opened.from, Now()}, 2, [&](const Stamps &t) { return log + EndRecordAt(t[0], t[1]); }));
    started.from = opened.to;
    ASSERT_TRUE(Records(nulls));
    EXPECT_TRUE(SamePath(ImageOf(recorder), Installed()));
    std::string before = ReadBytes(nulls);
    opened = started;
    Moment again = {Now()};
    ASSERT_EQ(Setup(), 0);
    EXPECT_TRUE(RecorderEnded(5000)) << "the installed copy was not stopped";
    EXPECT_TRUE(Continued(nulls, before, opened, again)) << Utf8(ReadBytes(nulls));
}

/* The log page refuses what the program could not keep and installs with
   the folder and name typed there, which the next log-on uses too; the
   uninstaller's last page says where the logs stay. */
TEST_F(Installer, WizardInstallsForEveryLogOnAndUninstalls)
{
    std::string logFolder = folder + Sjis("\\ログ"), logName = Sjis("使用記録");
    std::string log = logFolder + "\\" + logName + ".txt";
    Launched setup = Launch("", folder, "\"" + SetupPath() + "\"");
    HWND wizard = FindBox(0, 10000, NULL, kSetupCaption).window;
    ASSERT_TRUE(wizard);
    EXPECT_TRUE(Shows(wizard, Sjis("セットアップへようこそ"), 5000)) << Utf8(PageText(wizard));
    SaveScreenshot("installer-welcome");
    Next(wizard);
    std::vector<HWND> edits;
    ASSERT_TRUE(WaitFor([&] { return Controls(wizard, "Edit").size() == 1; }, 5000)) << "no folder page";
    Next(wizard);
    ASSERT_TRUE(WaitFor([&] { return (edits = Controls(wizard, "Edit")).size() == 2; }, 5000)) << "no log page";
    EXPECT_TRUE(Shows(wizard, InstallFolder() + "\\" DEFAULT_LOG)) << Utf8(PageText(wizard));

    /* 18 bytes, then a device name: the page says why and stays. */
    struct { std::string name, why; } refused[] = {
        {Sjis("あいうえおかきくけ"), Sjis("長すぎます")},
        {"con", Sjis("装置に使う名前")},
    };
    for (auto &row : refused) {
        SendMessageA(edits[1], WM_SETTEXT, 0, (LPARAM)row.name.c_str());
        Next(wizard);
        BoxInfo refusal = FindBox(setup.pid, 5000, wizard);
        SaveScreenshot("installer-name-refused");
        EXPECT_NE(refusal.text.find(row.why), std::string::npos) << Utf8(refusal.text);
        PressButton(refusal.window, IDOK);
    }
    SendMessageA(edits[0], WM_SETTEXT, 0, (LPARAM)logFolder.c_str());
    SendMessageA(edits[1], WM_SETTEXT, 0, (LPARAM)logName.c_str());
    SaveScreenshot("installer-log-page");
    started.from = Now();
    Next(wizard);
    /* The log page shows the path too: wait for the last page's title. */
    EXPECT_TRUE(Shows(wizard, Sjis("セットアップの完了"), 10000)) << Utf8(PageText(wizard));
    EXPECT_TRUE(Shows(wizard, log)) << Utf8(PageText(wizard));
    SaveScreenshot("installer-finish");
    Next(wizard);
    EXPECT_EQ(WaitForExit(setup, 5000), 0);
    Release(setup);
    EXPECT_TRUE(Records(log)) << Utf8(ReadBytes(log));

    /* Log-off and the next log-on, which runs the Startup folder: its
       shortcut starts the recorder on the same log. */
    std::string before = ReadBytes(log);
    Moment relogged = {Now()};
    EXPECT_NE(RunToEnd("wineboot.exe --end-session", folder), -1) << "wineboot did not finish";
    EXPECT_TRUE(RecorderEnded(10000)) << "the session's recorder was left running";
    ASSERT_TRUE(Follow(FindRecorder(10000))) << "the shortcut did not start the recorder";
    EXPECT_TRUE(Continued(log, before, started, relogged)) << Utf8(ReadBytes(log));

    /* The uninstaller's wizard is a copy of it, run from elsewhere. */
    Launched uninstall = Launch("", folder, "\"" + Uninstaller() + "\"");
    Release(uninstall);
    HWND unwizard = FindBox(0, 10000, NULL, kUninstallCaption).window;
    ASSERT_TRUE(unwizard);
    Next(unwizard);
    EXPECT_TRUE(Shows(unwizard, logFolder + "\r\n", 10000)) << Utf8(PageText(unwizard));
    EXPECT_TRUE(Shows(unwizard, logName + ".txt"));
    SaveScreenshot("uninstaller-finish");
    Next(unwizard);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(unwizard); }, 5000));
    EXPECT_TRUE(RecorderEnded(5000));
    EXPECT_FALSE(FileExists(Installed()));
    EXPECT_TRUE(FileExists(log));
}

/* The Windows Installer package, run as Group Policy and Intune run it:
   msiexec as the user, silent. Its options are properties. */
static const char kPackage[] = "morvalen.msi";
static const char kEarlierPackage[] = "morvalen-earlier.msi";

/* The product codes of every version installed, and one's version. */
static std::vector<std::string> Products()
{
    std::vector<std::string> codes;
    char code[39];
    for (DWORD i = 0; MsiEnumRelatedProductsA(MORVALEN_UPGRADE_CODE, 0, i, code) == ERROR_SUCCESS; i++)
        codes.push_back(code);
    return codes;
}

static std::string VersionOf(const std::string &product)
{
    char version[64] = "";
    DWORD size = sizeof version;
    MsiGetProductInfoA(product.c_str(), INSTALLPROPERTY_VERSIONSTRING, version, &size);
    return version;
}

/* A value under the settings key, as text; "<missing>" without one. */
static std::string Setting(const char *name)
{
    char data[MAX_PATH] = "";
    DWORD size = sizeof data, type = 0;
    if (RegGetValueA(HKEY_CURRENT_USER, MORVALEN_SETTINGS_KEY, name, RRF_RT_REG_SZ | RRF_RT_REG_DWORD, &type, data,
                     &size))
        return "<missing>";
    return type == REG_DWORD ? std::to_string(*(DWORD *)data) : std::string(data);
}

struct Shortcut {
    std::string target, arguments, folder;
};

static Shortcut ReadShortcut(const std::string &path)
{
    Shortcut link;
    IShellLinkA *shell = NULL;
    IPersistFile *file = NULL;
    WCHAR wide[MAX_PATH];
    char text[1024] = "";
    CoInitialize(NULL);
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void **)&shell)) &&
        SUCCEEDED(shell->QueryInterface(IID_IPersistFile, (void **)&file)) && SUCCEEDED(file->Load(wide, STGM_READ))) {
        shell->GetPath(text, sizeof text, NULL, 0);
        link.target = text;
        shell->GetArguments(text, sizeof text);
        link.arguments = text;
        shell->GetWorkingDirectory(text, sizeof text);
        link.folder = text;
    }
    if (file)
        file->Release();
    if (shell)
        shell->Release();
    return link;
}

class Package : public Installer {
protected:
    void TearDown() override
    {
        RemoveProducts();
        Installer::TearDown();
    }

    void RemoveProducts()
    {
        for (const std::string &product : Products())
            RunToEnd("msiexec.exe /x " + product + " /qn", folder);
        RegDeleteTreeA(HKEY_CURRENT_USER, MORVALEN_SETTINGS_KEY);
    }

    /* msiexec's exit code: 0, or 1603 for an install refused. */
    int Msiexec(const char *action, const char *package, const std::string &options = "")
    {
        return RunToEnd(std::string("msiexec.exe ") + action + " \"" + BuildFolder() + "\\" + package + "\" /qn " +
                        options, folder);
    }

    /* An install refused, with msiexec's basic interface: the text of the
       box it shows, which is answered; msiexec must then end with 1603. */
    std::string Refusal(const char *package, const std::string &options = "")
    {
        Launched run = Launch("", folder, "msiexec.exe /i \"" + BuildFolder() + "\\" + package + "\" /qb " + options);
        BoxInfo box = FindBox(run.pid, 20000);
        PressButton(box.window, IDOK);
        EXPECT_EQ(WaitForExit(run, 20000), 1603) << options;
        TerminateProcess(run.process, 1);   /* one left waiting holds every other msiexec back */
        Release(run);
        return box.text;
    }
};

/* With every option: the programs, both shortcuts on the log and in its
   folder, the settings the recorder reads, and the recorder started on the
   log at once. The uninstall stops it, whose line is completed, and takes
   all that away but the log. */
TEST_F(Package, InstallsForTheUserAndUninstallKeepsTheLog)
{
    std::string logFolder = folder + Sjis("\\ログ"), logName = Sjis("使用記録"), collect = folder + "\\collected";
    std::string log = logFolder + "\\" + logName + ".txt";
    started.from = Now();
    ASSERT_EQ(Msiexec("/i", kPackage, "LOGDIR=\"" + logFolder + "\" LOGNAME=" + logName + " COLLECT=\"" + collect +
                                          "\" ENDATLOCK=1 COPYEVERY=35791"), 0);
    ASSERT_TRUE(Records(log)) << Utf8(ReadBytes(log));
    EXPECT_TRUE(SamePath(ImageOf(recorder), Installed())) << ImageOf(recorder);
    EXPECT_EQ(ReadBytes(Installed()), ReadBytes(ProgramPath()));
    EXPECT_EQ(ReadBytes(InstallFolder() + "\\morvalen-report.exe"), ReadBytes(BuildFolder() + "\\morvalen-report.exe"));
    struct { Shortcut link; std::string target, arguments, folder; } links[] = {
        {ReadShortcut(StartupLink()), Installed(), logName, logFolder + "\\"},
        {ReadShortcut(ReportLink()), InstallFolder() + "\\morvalen-report.exe", "\"" + log + "\"", logFolder + "\\"},
    };
    for (auto &row : links) {
        EXPECT_TRUE(SamePath(row.link.target, row.target)) << row.link.target;
        EXPECT_EQ(Utf8(row.link.arguments), Utf8(row.arguments));
        EXPECT_TRUE(SamePath(row.link.folder, row.folder)) << Utf8(row.link.folder);
    }
    EXPECT_EQ(Setting(MORVALEN_COLLECT_VALUE), collect);
    EXPECT_EQ(Setting(MORVALEN_ENDATLOCK_VALUE), "1");
    EXPECT_EQ(Setting(MORVALEN_COPYEVERY_VALUE), "35791");
    ASSERT_EQ(Products().size(), 1u);
    EXPECT_EQ(VersionOf(Products()[0]), MORVALEN_VERSION);

    std::string before = ReadBytes(log);
    Moment ended = {Now()};
    EXPECT_EQ(Msiexec("/x", kPackage), 0);
    EXPECT_TRUE(RecorderEnded(5000)) << "the running copy was not stopped";
    ended.to = Now();
    for (const std::string &gone : {Installed(), InstallFolder(), StartupLink(), MenuFolder()})
        EXPECT_FALSE(FileExists(gone)) << gone;
    EXPECT_TRUE(Products().empty());
    EXPECT_EQ(Setting(MORVALEN_COLLECT_VALUE), "<missing>");
    EXPECT_EQ(Setting(MORVALEN_COPYEVERY_VALUE), "<missing>");
    EXPECT_TRUE(Matches(ReadBytes(log), {started.from, ended.to}, 2, [&](const Stamps &t) {
        return before + EndRecordAt(t[0], t[1]);
    }));
}

/* The first log-on after deployment: the package starts the recorder,
   then Windows runs the Startup folder's shortcut, as the shell does,
   with the shortcut's path for a title. That launch finds the copy, ends
   with 0 and shows nothing; the log holds one start. A launch by hand
   later still opens the command dialog. */
TEST_F(Package, StartupShortcutAfterTheInstallShowsNothing)
{
    std::string log = InstallFolder() + "\\" DEFAULT_LOG;
    started.from = Now();
    ASSERT_EQ(Msiexec("/i", kPackage), 0);
    ASSERT_TRUE(Records(log)) << Utf8(ReadBytes(log));
    std::string before = ReadBytes(log);
    DWORD pid = GetProcessId(recorder);
    Shortcut link = ReadShortcut(StartupLink());
    std::string title = StartupLink(), line = "\"" + link.target + "\" " + link.arguments;
    for (bool byHand : {false, true}) {
        STARTUPINFOA startup = {sizeof startup};
        startup.lpTitle = byHand ? NULL : &title[0];
        startup.dwFlags = byHand ? 0 : STARTF_TITLEISLINKNAME;
        PROCESS_INFORMATION info = {};
        ASSERT_TRUE(CreateProcessA(NULL, &line[0], NULL, NULL, FALSE, 0, NULL, link.folder.c_str(), &startup, &info));
        Launched launch = {info.hProcess, info.hThread, info.dwProcessId};
        EXPECT_EQ(WaitForExit(launch, 10000), 0) << byHand;
        Release(launch);
        BoxInfo dialog = FindBox(pid, byHand ? 10000 : kBoxWaitMs);
        EXPECT_EQ(dialog.window != NULL, byHand) << (byHand ? "no dialog by hand" : "a dialog at log-on: ")
                                                 << Utf8(dialog.caption);
        PressButton(dialog.window, IDCANCEL);
        EXPECT_EQ(ReadBytes(log), before);
        EXPECT_EQ(FindRecorder(0) && ProcessOf(FindRecorder(0)) == pid, true);
    }
}

/* An earlier version installed with options: this one, given none,
   replaces it, keeps its log and stops its recorder, whose line the one it
   starts continues; one product is left. The earlier one then refuses to
   go over it and changes nothing. */
TEST_F(Package, ReplacesAnEarlierVersionAndRefusesToGoBack)
{
    std::string log = folder + Sjis("\\使用記録.txt");
    started.from = Now();
    ASSERT_EQ(Msiexec("/i", kEarlierPackage, "LOGDIR=\"" + folder + "\" LOGNAME=" + Sjis("使用記録")), 0);
    ASSERT_TRUE(Records(log));
    std::string before = ReadBytes(log);
    Moment opened = started, again = {Now()};
    ASSERT_EQ(Msiexec("/i", kPackage), 0);
    EXPECT_TRUE(RecorderEnded(5000)) << "the earlier version's recorder was not stopped";
    ASSERT_TRUE(Follow(FindRecorder(10000))) << "no recorder after the upgrade";
    EXPECT_TRUE(Continued(log, before, opened, again)) << Utf8(ReadBytes(log));
    ASSERT_EQ(Products().size(), 1u);
    EXPECT_EQ(VersionOf(Products()[0]), MORVALEN_VERSION);

    std::string refusal = Refusal(kEarlierPackage);
    EXPECT_NE(refusal.find(Sjis("より新しいバージョン")), std::string::npos) << Utf8(refusal);
    EXPECT_EQ(VersionOf(Products()[0]), MORVALEN_VERSION);
    EXPECT_FALSE(RecorderEnded(0)) << "a refused install stopped the recorder";
}

/* What a condition can check is refused with the NSIS setup's words, in
   the box msiexec shows with its basic interface, and installs nothing. */
TEST_F(Package, RefusesBadOptionsWithTheSetupsWords)
{
    struct { std::string option, words; } refused[] = {
        {"LOGNAME=a/b", Sjis("ログファイルの名前に次の文字は使えません")},
        {"LOGDIR=logs", Sjis("C:\\… のようにドライブから")},
        {"LOGDIR=%TEMP%\\logs", Sjis("C:\\… のようにドライブから")},
        {"LOGDIR=\"C:\\a|b\"", Sjis("ログファイルのフォルダの名前に使えない文字")},
        {"COLLECT=share", Sjis("ログを集めるフォルダは")},
        {"ENDATLOCK=yes", Sjis("ENDATLOCK には")},
        {"COPYEVERY=x", Sjis("COPYEVERY には")},
        {"COPYEVERY=35792", Sjis("COPYEVERY には")},
    };
    for (auto &row : refused) {
        std::string refusal = Refusal(kPackage, row.option);
        EXPECT_NE(refusal.find(row.words), std::string::npos) << row.option << ": " << Utf8(refusal);
        EXPECT_TRUE(Products().empty() && !FileExists(Installed())) << row.option;
        RemoveProducts();
    }
}

/* The administrator's options: written under the settings key, which the
   recorder the installer starts reads at once (its copy reaches the
   collection folder), kept by an update without them, changed or taken
   away by one with them; a bad one changes nothing; the uninstaller
   removes the key and leaves the copies and the logs. */
TEST_F(Installer, CollectionFolderAndEndAtLockAreWrittenKeptAndRemoved)
{
    std::string share = folder + "\\share", expand = "%MORVALEN_SHARE%\\x";
    CreateDirectoryA(share.c_str(), NULL);
    /* what the key holds after: the folder ("" none) and its type, EndAtLock
       (0 none), CopyEveryMinutes (-1 none) */
    struct { std::string options; int code; std::string collect; DWORD type, endAtLock; int copyEvery; } rows[] = {
        {"/COLLECT=\"" + share + "\" /ENDATLOCK=1 /COPYEVERY=0", 0, share, REG_SZ, 1, 0},
        {"", 0, share, REG_SZ, 1, 0},
        {"/COLLECT=" + expand + " /ENDATLOCK=0 /COPYEVERY=35791", 0, expand, REG_EXPAND_SZ, 0, 35791},
        {"/COLLECT=share", 2, expand, REG_EXPAND_SZ, 0, 35791},
        {"/ENDATLOCK=yes", 2, expand, REG_EXPAND_SZ, 0, 35791},
        {"/COPYEVERY=35792", 2, expand, REG_EXPAND_SZ, 0, 35791},
        {"/COPYEVERY=5m", 2, expand, REG_EXPAND_SZ, 0, 35791},
        {"/COPYEVERY=-1", 2, expand, REG_EXPAND_SZ, 0, 35791},
        {"/COLLECT= /COPYEVERY=", 0, "", 0, 0, -1},
    };
    for (auto &row : rows) {
        started.from = Now();
        ASSERT_EQ(Setup(row.options), row.code) << row.options;
        char data[MAX_PATH] = "";
        DWORD type = 0, size = sizeof data, endAtLock = 0, dwordSize = sizeof endAtLock;
        RegGetValueA(HKEY_CURRENT_USER, MORVALEN_SETTINGS_KEY, MORVALEN_COLLECT_VALUE, RRF_RT_ANY | RRF_NOEXPAND,
                     &type, data, &size);
        RegGetValueA(HKEY_CURRENT_USER, MORVALEN_SETTINGS_KEY, MORVALEN_ENDATLOCK_VALUE, RRF_RT_REG_DWORD, NULL,
                     &endAtLock, &dwordSize);
        EXPECT_EQ(std::make_pair(std::string(data), type), std::make_pair(row.collect, row.type)) << row.options;
        EXPECT_EQ(endAtLock, row.endAtLock) << row.options;
        EXPECT_EQ(Setting(MORVALEN_COPYEVERY_VALUE), row.copyEvery < 0 ? "<missing>" : std::to_string(row.copyEvery))
            << row.options;
        if (&row == rows)
            EXPECT_TRUE(WaitFor([&] { return HoldsCopies(CopiesIn(share), InstallFolder(), {DEFAULT_LOG}); }, 10000))
                << HoldsCopies(CopiesIn(share), InstallFolder(), {DEFAULT_LOG}).message();
    }
    std::string copies = CopiesIn(share);
    ASSERT_EQ(RunToEnd("\"" + Uninstaller() + "\" /S", folder), 0);
    EXPECT_TRUE(WaitFor([] {
        HKEY key;
        return RegOpenKeyExA(HKEY_CURRENT_USER, MORVALEN_SETTINGS_KEY, 0, KEY_READ, &key) || RegCloseKey(key) < 0;
    }, 10000)) << "the settings key stayed";
    EXPECT_TRUE(FileExists(copies + "\\" DEFAULT_LOG) && FileExists(InstallFolder() + "\\" DEFAULT_LOG));
}
