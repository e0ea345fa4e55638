/*
 * Usage report: the files that the command line's logs and folders stand
 * for. A folder means every .txt in it and in its subfolders, so the
 * folder that PCs copy their logs to (PC\user\log) is read whole; a log
 * brings its archives, NAME_yy-MM-dd.txt beside it, which come first
 * because they are older, after the copies the collection kept of it
 * (history.h), whose records count as first copied. A .csv, given or in a folder given (not in its
 * subfolders), is a timesheet to compare with, unless the folder's is one
 * of the report's own. A file reached twice is read once.
 */
#include "report.h"
#include "history.h"
#include "../../recorder/loglayout.h"

#include <algorithm>

bool SamePath(const WText &a, const WText &b)
{
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

static bool NameBefore(const WText &a, const WText &b)
{
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_LESS_THAN;
}

static const WText Extension = Widen(LOG_EXTENSION, sizeof LOG_EXTENSION - 1, CP_ACP);
static const WText Mark = Widen(LOG_ARCHIVE_MARK, sizeof LOG_ARCHIVE_MARK - 1, CP_ACP);

static bool EndsWith(const WText &name, const WText &extension)
{
    size_t n = extension.size();
    return name.size() > n && SamePath(name.substr(name.size() - n), extension);
}

static bool EndsWithTxt(const WText &name)
{
    return EndsWith(name, Extension);
}

/* What the recorder's archive names look like after the log's name, with
   '0' for each digit: "_00-00-00.txt" from the mark, the date's picture
   (its letters stand for digits, quoted text for itself) and the
   extension. */
static WText ArchiveShape()
{
    WText shape = Mark;
    bool quoted = false;
    for (const char *p = LOG_ARCHIVE_DATE_PICTURE; *p; p++) {
        if (*p == '\'')
            quoted = !quoted;
        else
            shape += !quoted && (*p == 'y' || *p == 'M' || *p == 'd') ? L'0' : (wchar_t)*p;
    }
    return shape + Extension;
}

static const WText ArchiveTail = ArchiveShape();

WText FolderOf(const WText &path)
{
    size_t slash = path.find_last_of(L"\\/");
    if (slash == WText::npos)
        return L".";
    /* "C:\" keeps its backslash: "C:" alone is the drive's current folder. */
    return path.substr(0, slash > 0 && path[slash - 1] == L':' ? slash + 1 : slash);
}

WText Join(const WText &folder, const WText &name)
{
    WText path = folder;
    if (!path.empty() && path.back() != L'\\' && path.back() != L'/')
        path += L'\\';
    return path + name;
}

WText FullPath(const WText &path)
{
    DWORD n = GetFullPathNameW(path.c_str(), 0, NULL, NULL);
    if (!n)
        return path;
    WText full(n, L'\0');
    n = GetFullPathNameW(path.c_str(), n, &full[0], NULL);
    full.resize(n);
    return full;
}

/* The .txt (or other extension's) files of a folder whose names start
   with prefix, by name. */
static std::vector<WText> TextFiles(const WText &folder, const WText &prefix,
                                    const WText &extension = Extension)
{
    std::vector<WText> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(Join(folder, prefix + L"*" + extension).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        WText name = found.cFileName;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && EndsWith(name, extension))
            names.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end(), NameBefore);
    return names;
}

/* "_yy-MM-dd.txt" */
static bool IsArchiveTail(const wchar_t *tail)
{
    const WText &shape = ArchiveTail;
    for (size_t i = 0; i < shape.size(); i++) {
        bool digit = tail[i] >= L'0' && tail[i] <= L'9';
        wchar_t lower = tail[i] >= L'A' && tail[i] <= L'Z' ? tail[i] + 32 : tail[i];
        if (shape[i] == L'0' ? !digit : lower != shape[i])
            return false;
    }
    return tail[shape.size()] == L'\0';
}

/* listedFrom: where the path from the folder given starts; 0 for a file
   given itself, which is listed in full. */
static void AddFile(std::vector<SourceFile> &files, const WText &path, size_t listedFrom)
{
    for (const SourceFile &file : files)
        if (SamePath(file.path, path))
            return;
    SourceFile file = {};
    file.path = path;
    file.listed = path.substr(listedFrom);
    size_t name = path.find_last_of(L"\\/") + 1;
    file.archive = path.size() > name + ArchiveTail.size() &&
                   IsArchiveTail(path.c_str() + path.size() - ArchiveTail.size());
    file.newest = -1;
    file.copied = -1;
    size_t log = LogOfKept(path).size() - Extension.size();
    file.replaced = log > name ? KeptMoment(path.substr(name), log - name) : -1;
    files.push_back(file);
}

/* Adds the kept copies and the archives of the log found among names
   (sorted: the names starting with "base_" are next to each other), then
   the log itself. */
static void AddLog(std::vector<SourceFile> &files, const WText &folder, const WText &log,
                   const std::vector<WText> &names, size_t listedFrom)
{
    WText base = log.substr(0, log.size() - Extension.size()), prefix = base + Mark;
    for (int archives = 0; archives < 2; archives++)
        for (auto at = std::lower_bound(names.begin(), names.end(), prefix, NameBefore);
             at != names.end() && at->size() >= prefix.size() && SamePath(at->substr(0, prefix.size()), prefix);
             ++at)
            if (archives ? at->size() == base.size() + ArchiveTail.size() && IsArchiveTail(at->c_str() + base.size())
                         : KeptMoment(*at, base.size()) >= 0)
                AddFile(files, Join(folder, *at), listedFrom);
    AddFile(files, Join(folder, log), listedFrom);
}

static void AddSheet(std::vector<WText> &sheets, const WText &path)
{
    for (const WText &sheet : sheets)
        if (SamePath(sheet, path))
            return;
    sheets.push_back(path);
}

/* How deep below the folder given subfolders are read: far more than a
   collection's PC\user needs, and an end to a loop of links that the
   file system does not mark as links. */
const int DeepestFolder = 8;

/* The subfolders of folder, by name. A junction or a symbolic link may
   lead back up and is left alone; a folder a sync client keeps in the
   cloud is also a reparse point, but of a kind that names no other place. */
static std::vector<WText> Subfolders(const WText &folder)
{
    std::vector<WText> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(Join(folder, L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        DWORD attributes = found.dwFileAttributes;
        bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsReparseTagNameSurrogate(found.dwReserved0);
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !link && lstrcmpW(found.cFileName, L".") &&
            lstrcmpW(found.cFileName, L".."))
            names.push_back(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end(), NameBefore);
    return names;
}

/* A folder is listed once; each log comes with its archives, then each
   subfolder's logs follow. */
static void AddFolder(std::vector<SourceFile> &files, const WText &folder, size_t listedFrom, int depth)
{
    std::vector<WText> names = TextFiles(folder, L"");
    for (const WText &name : names)
        AddLog(files, folder, name, names, listedFrom);
    if (depth < DeepestFolder)
        for (const WText &name : Subfolders(folder))
            AddFolder(files, Join(folder, name), listedFrom, depth + 1);
}

void CollectInputs(const std::vector<WText> &inputs, const std::vector<WText> &timesheets,
                   std::vector<SourceFile> &files, std::vector<WText> &sheets)
{
    for (const WText &sheet : timesheets)
        AddSheet(sheets, FullPath(sheet));
    for (const WText &input : inputs) {
        WText path = FullPath(input);
        DWORD attributes = GetFileAttributesW(path.c_str());
        size_t slash = path.find_last_of(L"\\/");
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            AddFolder(files, path, Join(path, L"").size(), 0);
            for (const WText &name : TextFiles(path, L"", L".csv"))
                if (!IsReportOutput(name))
                    AddSheet(sheets, Join(path, name));
        } else if (EndsWith(path, L".csv")) {
            AddSheet(sheets, path);
        } else if (EndsWithTxt(path)) {
            WText name = path.substr(slash + 1), folder = FolderOf(path);
            AddLog(files, folder, name, TextFiles(folder, name.substr(0, name.size() - Extension.size()) + Mark), 0);
        } else {
            AddFile(files, path, 0);
        }
    }
}
