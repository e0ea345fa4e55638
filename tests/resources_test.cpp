/*
 * The resources of both builds, read back as Windows reads them, and the
 * running dialog's controls as laid out.
 */
#include "program.h"

#include "../res/resource.h"

static std::string I686Path()
{
    std::string build = BuildFolder();
    return build.substr(0, build.rfind('\\')) + "\\i686\\morvalen.exe";
}

static std::wstring Wide(const char *utf8)
{
    wchar_t text[512];
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, text, 512);
    return text;
}

/* The dialog's controls in template order, which is the tab order. */
static const DWORD common = WS_CHILD | WS_VISIBLE;
static const struct {
    int id;
    const char *cls;
    DWORD style;
    RECT units;     /* x, y, width, height in dialog units */
    const char *text;
} kControls[] = {
    {-1, "Static", SS_ICON, {12, 12, 20, 20}, ""},
    {-1, "Static", SS_LEFT | WS_GROUP, {35, 13, 98, 8}, "Morvalen for Windows v1.31"},
    {-1, "Static", SS_LEFT | WS_GROUP, {34, 25, 27, 8}, MORVALEN_NOTICE},
    {IDC_LINK, "Static", SS_LEFT | SS_NOTIFY | WS_GROUP, {62, 25, 62, 8}, MORVALEN_SITE},
    {-1, "Button", BS_GROUPBOX, {7, 2, 126, 37}, ""},
    {-1, "Static", SS_LEFT | WS_GROUP, {25, 53, 99, 8}, "どのコマンドを実行しますか？"},
    {IDC_SHOWLOG, "Button", BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, {30, 71, 92, 10}, "ログファイルの表示"},
    {IDC_INITLOG, "Button", BS_AUTORADIOBUTTON | WS_TABSTOP, {30, 88, 92, 10}, "ログファイルの初期化"},
    {IDC_QUIT, "Button", BS_AUTORADIOBUTTON | WS_TABSTOP, {30, 105, 92, 10}, "プログラムの終了"},
    {IDOK, "Button", BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP, {17, 132, 50, 14}, "OK"},
    {IDCANCEL, "Button", BS_PUSHBUTTON | WS_TABSTOP, {72, 132, 50, 14}, "キャンセル"},
};

TEST(Resources, VersionOfBothBuilds)
{
    for (const std::string &path : {ProgramPath(), I686Path()}) {
        DWORD size = GetFileVersionInfoSizeA(path.c_str(), NULL);
        ASSERT_GT(size, 0u) << path;
        std::vector<char> data(size);
        ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, data.data()));

        VS_FIXEDFILEINFO *fixed;
        UINT length;
        ASSERT_TRUE(VerQueryValueA(data.data(), "\\", (void **)&fixed, &length));
        EXPECT_EQ(fixed->dwFileVersionMS, 0x0001001Fu);
        EXPECT_EQ(fixed->dwFileVersionLS, 0x0000032Fu);
        EXPECT_EQ(fixed->dwProductVersionMS, 0x0001001Fu);
        EXPECT_EQ(fixed->dwProductVersionLS, 0x0000032Fu);
        EXPECT_EQ(fixed->dwFileFlags & fixed->dwFileFlagsMask, 0x28u);
        EXPECT_EQ(fixed->dwFileOS, (DWORD)VOS__WINDOWS32);
        EXPECT_EQ(fixed->dwFileType, (DWORD)VFT_APP);

        WORD *translation;
        ASSERT_TRUE(VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", (void **)&translation, &length));
        EXPECT_EQ(translation[0], 0x0411);
        EXPECT_EQ(translation[1], 1200);

        struct { const char *name; std::string value; } rows[] = {
            {"FileDescription", "Morvalen for Windows"},
            {"InternalName", "Morvalen for Windows"},
            {"ProductName", "Morvalen for Windows"},
            {"Comments", Sjis("ご利用ありがとうございます！")},
            {"PrivateBuild", " "},
            {"SpecialBuild", " "},
            {"LegalTrademarks", " "},
            {"CompanyName", MORVALEN_COMPANY},
            {"LegalCopyright", MORVALEN_COPYRIGHT},
        };
        for (auto &row : rows) {
            char *value = NULL;
            std::string key = std::string("\\StringFileInfo\\041104b0\\") + row.name;
            EXPECT_TRUE(VerQueryValueA(data.data(), key.c_str(), (void **)&value, &length)) << row.name;
            EXPECT_EQ(std::string(value ? value : ""), row.value) << row.name << " of " << path;
        }
    }
}

static BOOL CALLBACK CheckLanguage(HMODULE, LPCSTR type, LPCSTR, WORD language, LONG_PTR count)
{
    EXPECT_EQ(language, 0x0411) << "resource type " << (ULONG_PTR)type;
    ++*(int *)count;
    return TRUE;
}
static BOOL CALLBACK EachName(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR count)
{
    EnumResourceLanguagesA(module, type, name, CheckLanguage, count);
    return TRUE;
}
static BOOL CALLBACK EachType(HMODULE module, LPSTR type, LONG_PTR count)
{
    EnumResourceNamesA(module, type, EachName, count);
    return TRUE;
}

/* The dialog template as stored: header, caption, font and controls. */
TEST(Resources, EveryResourceIsJapaneseAndTheTemplateIsAsLaidOut)
{
    for (const std::string &path : {ProgramPath(), I686Path()}) {
        HMODULE module = LoadLibraryExA(path.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_TRUE(module) << path;
        int count = 0;
        EnumResourceTypesA(module, EachType, (LONG_PTR)&count);
        EXPECT_GE(count, 7) << "strings, icons, cursor, dialog, version";

        HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(IDD_COMMANDS), (LPCSTR)RT_DIALOG);
        ASSERT_TRUE(found);
        const WORD *t = (const WORD *)LockResource(LoadResource(module, found));
        const DLGTEMPLATE *header = (const DLGTEMPLATE *)t;
        EXPECT_EQ(header->style, 0x80C808C0u);
        EXPECT_EQ(header->dwExtendedStyle, 0u);
        EXPECT_EQ(header->cdit, 11);
        EXPECT_EQ(header->cx, 139);
        EXPECT_EQ(header->cy, 153);
        const wchar_t *p = (const wchar_t *)(t + 9);
        EXPECT_EQ(*p, 0) << "no menu";
        p++;
        EXPECT_EQ(*p, 0) << "no class";
        p++;
        EXPECT_EQ(std::wstring(p), L"Morvalen for Windows");
        p += wcslen(p) + 1;
        EXPECT_EQ(*p, 9) << "point size";
        p++;
        EXPECT_EQ(std::wstring(p), Wide("ＭＳ Ｐゴシック"));
        p += wcslen(p) + 1;

        for (auto &row : kControls) {
            p = (const wchar_t *)(((ULONG_PTR)p + 3) & ~(ULONG_PTR)3);
            const DLGITEMTEMPLATE *item = (const DLGITEMTEMPLATE *)p;
            EXPECT_EQ(item->style, row.style | common) << row.text;
            EXPECT_EQ(item->dwExtendedStyle, 0u) << row.text;
            EXPECT_EQ(item->x, row.units.left) << row.text;
            EXPECT_EQ(item->y, row.units.top) << row.text;
            EXPECT_EQ(item->cx, row.units.right) << row.text;
            EXPECT_EQ(item->cy, row.units.bottom) << row.text;
            EXPECT_EQ(item->id, (WORD)row.id) << row.text;
            p = (const wchar_t *)(item + 1);
            EXPECT_EQ(p[0], 0xFFFF) << "a predefined class";
            EXPECT_EQ(p[1], lstrcmpA(row.cls, "Button") == 0 ? 0x80 : 0x82) << row.text;
            p += 2;
            if (*p == 0xFFFF) {
                EXPECT_EQ(p[1], IDI_APP) << "the icon by its id";
                p += 2;
            } else {
                EXPECT_EQ(std::wstring(p), Wide(row.text));
                p += wcslen(p) + 1;
            }
            p += 1 + (*p + 1) / 2;    /* creation data */
        }
        FreeLibrary(module);
    }
}

static INT_PTR CALLBACK Inert(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

class Layout : public RecorderCase {};

TEST_F(Layout, RunningDialogHasTheControlsInTemplateOrder)
{
    HWND window = Start();
    Launched later = Launch("", folder);
    WaitForExit(later, 5000);
    Release(later);
    HWND dialog = FindBox(first.pid, 5000).window;
    ASSERT_TRUE(dialog);
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), window);
    EXPECT_EQ((DWORD)GetWindowLongA(dialog, GWL_STYLE) & 0x80C808C0u, 0x80C808C0u);

    /* Dialog units become pixels by the template's font: a copy of the
       dialog made here, from the same template, knows the factor. */
    HMODULE module = LoadLibraryExA(ProgramPath().c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    HWND probe = CreateDialogParamA(module, MAKEINTRESOURCEA(IDD_COMMANDS), NULL, Inert, 0);
    ASSERT_TRUE(probe);
    auto pixels = [&](int x, int y, int cx, int cy) {
        /* Position and size are mapped one by one, as the dialog does. */
        RECT r = {x, y, cx, cy};
        MapDialogRect(probe, &r);
        return RECT{r.left, r.top, r.left + r.right, r.top + r.bottom};
    };
    RECT client, size = pixels(0, 0, 139, 153);
    GetClientRect(dialog, &client);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);

    HWND control = GetWindow(dialog, GW_CHILD);
    for (auto &row : kControls) {
        ASSERT_TRUE(control) << row.text;
        char cls[32];
        wchar_t text[128] = L"";
        GetClassNameA(control, cls, sizeof cls);
        GetWindowTextW(control, text, 128);
        DWORD style = (DWORD)GetWindowLongA(control, GWL_STYLE);
        DWORD kind = lstrcmpiA(cls, "Static") == 0 ? SS_TYPEMASK : BS_TYPEMASK;
        RECT at, want = pixels(row.units.left, row.units.top, row.units.right, row.units.bottom);
        GetWindowRect(control, &at);
        MapWindowPoints(NULL, dialog, (POINT *)&at, 2);

        EXPECT_EQ(GetDlgCtrlID(control) & 0xFFFF, row.id & 0xFFFF) << row.text;
        EXPECT_EQ(lstrcmpiA(cls, row.cls), 0) << row.text << ": " << cls;
        /* Checking a radio button moves the tab stop to it, so the tab
           stops are compared in the template only. */
        EXPECT_EQ(style & (kind | common | WS_GROUP | SS_NOTIFY), (row.style | common) & ~WS_TABSTOP) << row.text;
        if (row.style != SS_ICON)
            EXPECT_EQ(std::wstring(text), Wide(row.text)) << row.text;
        if (row.style != SS_ICON)   /* an icon static takes the icon's size */
            EXPECT_TRUE(EqualRect(&at, &want)) << row.text << ": " << at.left << "," << at.top << " "
                                               << at.right << "," << at.bottom << " want " << want.left << ","
                                               << want.top << " " << want.right << "," << want.bottom;
        control = GetWindow(control, GW_HWNDNEXT);
    }
    EXPECT_EQ(control, (HWND)NULL) << "more controls than the template's";
    DestroyWindow(probe);
    FreeLibrary(module);
    PressButton(dialog, IDCANCEL);
}
