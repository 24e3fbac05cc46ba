/*
 * Files and folders: searching a folder, making and removing folders,
 * deleting files and reading their attributes.
 *
 * FindFirstFileA takes a folder and a name pattern.  The folder goes through
 * the machine's path translation; the pattern is matched against each name
 * of the folder, ignoring case, with '*' for any run of characters and '?'
 * for one character.  As on the platform, "*.*" matches every name (also
 * those without a full stop), "name.*" matches "name" itself and a pattern
 * ending in a full stop matches the names without an extension.  Folders
 * other than a drive root also report "." and "..", first.  The search reads
 * the whole folder at once and hands out the entries in a stable order
 * (case-insensitive by name), so that FindNextFileA sees a consistent list
 * even while the program deletes what it finds.  Entries that are links
 * leading out of the drive are left out.
 *
 * Attributes are what the host can say: a folder, read-only when the
 * owner may not write it, otherwise normal.  Times are the host's
 * modification and access times as FILETIMEs (100 ns since 1601); Linux
 * keeps no creation time, so that reports the modification time.
 *
 * Where the platform's rules and the host's differ, the platform's win: a
 * read-only file cannot be deleted, DeleteFileA refuses a folder, and the
 * current directory cannot be removed.
 */
#include "kernel/kernel.h"

#include <algorithm>
#include <dirent.h>
#include <errno.h>
#include <limits.h>
#include <mutex>
#include <set>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Find {
    std::vector<WIN32_FIND_DATAA> entries;
    size_t next = 0;
};

std::mutex findLock;
std::set<Find *> liveFinds;

bool Glob(const char *p, const char *n)
{
    const char *star = nullptr, *resume = nullptr;
    while (*n) {
        if (*p == '*') {
            star = p++;
            resume = n;
        } else if (*p == '?' || (*p && layer::LowerCp1252((unsigned char)*p) ==
                                            layer::LowerCp1252((unsigned char)*n))) {
            p++;
            n++;
        } else if (star) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (*p == '*')
        p++;
    return !*p;
}

bool Matches(const std::string &pattern, const std::string &name)
{
    if (pattern == "*" || pattern == "*.*" || Glob(pattern.c_str(), name.c_str()))
        return true;
    bool noExtension = name.find('.') == std::string::npos;
    size_t n = pattern.size();
    if (noExtension && n > 2 && pattern.compare(n - 2, 2, ".*") == 0)
        return Glob(pattern.substr(0, n - 2).c_str(), name.c_str());
    if (noExtension && n > 1 && pattern[n - 1] == '.')
        return Glob(pattern.substr(0, n - 1).c_str(), name.c_str());
    return false;
}

bool HasWildcards(const std::string &s)
{
    return s.find_first_of("*?") != std::string::npos;
}

FILETIME ToFileTime(const struct timespec &ts)
{
    uint64_t t = ((uint64_t)ts.tv_sec + 11644473600ull) * 10000000ull + (uint64_t)ts.tv_nsec / 100;
    FILETIME ft;
    ft.dwLowDateTime = (DWORD)t;
    ft.dwHighDateTime = (DWORD)(t >> 32);
    return ft;
}

DWORD Attributes(const struct stat &st)
{
    DWORD a = 0;
    if (S_ISDIR(st.st_mode))
        a |= FILE_ATTRIBUTE_DIRECTORY;
    if (!(st.st_mode & S_IWUSR))
        a |= FILE_ATTRIBUTE_READONLY;
    return a ? a : FILE_ATTRIBUTE_NORMAL;
}

WIN32_FIND_DATAA Describe(const std::string &name, const struct stat &st)
{
    WIN32_FIND_DATAA d;
    memset(&d, 0, sizeof d);
    d.dwFileAttributes = Attributes(st);
    d.ftCreationTime = ToFileTime(st.st_mtim);
    d.ftLastWriteTime = ToFileTime(st.st_mtim);
    d.ftLastAccessTime = ToFileTime(st.st_atim);
    if (!S_ISDIR(st.st_mode)) {
        d.nFileSizeHigh = (DWORD)((uint64_t)st.st_size >> 32);
        d.nFileSizeLow = (DWORD)st.st_size;
    }
    memcpy(d.cFileName, name.c_str(), name.size() + 1);
    return d;
}

/* A link among a folder's entries counts only when it stays on the drive. */
bool StaysOnDrive(const std::string &path, const std::string &rootReal)
{
    char real[PATH_MAX];
    if (!realpath(path.c_str(), real))
        return false;
    size_t n = rootReal.size();
    return rootReal == real || (strncmp(real, rootReal.c_str(), n) == 0 && real[n] == '/');
}

int CompareNames(const WIN32_FIND_DATAA &a, const WIN32_FIND_DATAA &b)
{
    auto rank = [](const char *n) { return !strcmp(n, ".") ? 0 : !strcmp(n, "..") ? 1 : 2; };
    int ra = rank(a.cFileName), rb = rank(b.cFileName);
    if (ra != rb)
        return ra - rb;
    int c = lstrcmpiA(a.cFileName, b.cFileName);
    return c ? c : strcmp(a.cFileName, b.cFileName);
}

Find *LookupFind(HANDLE handle)
{
    std::lock_guard<std::mutex> hold(findLock);
    auto it = liveFinds.find((Find *)handle);
    return it == liveFinds.end() ? nullptr : *it;
}

} // namespace

extern "C" HANDLE WINAPI FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data)
{
    if (!pattern || !*pattern || !data) {
        SetLastError(!data ? ERROR_INVALID_PARAMETER : ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::string p(pattern);
    size_t sep = p.find_last_of("\\/");
    std::string folder, name;
    if (sep != std::string::npos) {
        folder = p.substr(0, sep + 1);
        name = p.substr(sep + 1);
    } else if (p.size() >= 2 && p[1] == ':') {
        folder = p.substr(0, 2);
        name = p.substr(2);
    } else {
        folder = ".";
        name = p;
    }
    if (name.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    for (unsigned char c : name) {
        if (c < 0x20 || strchr("<>:\"|", c)) {
            SetLastError(ERROR_INVALID_NAME);
            return INVALID_HANDLE_VALUE;
        }
    }
    std::string host, full;
    if (!HasWildcards(name)) {
        /* A plain name: the entry of that one file or folder, after "." and
         * ".." in the name have been resolved. */
        if (!layer::TranslatePath(pattern, host, &full))
            return INVALID_HANDLE_VALUE;
        if (full.size() <= 3) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return INVALID_HANDLE_VALUE;
        }
        size_t last = full.find_last_of('\\');
        folder = full.substr(0, last + 1);
        name = full.substr(last + 1);
    }
    if (!layer::TranslatePath(folder.c_str(), host, &full))
        return INVALID_HANDLE_VALUE;
    struct stat st;
    if (stat(host.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    layer::Drive *drive = layer::FindDrive(full[0]);
    char rootReal[PATH_MAX];
    if (!realpath(drive->hostDir.c_str(), rootReal)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    DIR *dir = opendir(host.c_str());
    if (!dir) {
        SetLastError(layer::ErrorFromErrno(errno, host));
        return INVALID_HANDLE_VALUE;
    }
    Find *find = new Find;
    bool root = full.size() <= 3;
    if (!root) {
        struct stat parent;
        if (Matches(name, "."))
            find->entries.push_back(Describe(".", st));
        if (Matches(name, "..") && stat((host + "/..").c_str(), &parent) == 0)
            find->entries.push_back(Describe("..", parent));
    }
    while (struct dirent *e = readdir(dir)) {
        std::string hostName = e->d_name;
        if (hostName == "." || hostName == "..")
            continue;
        std::string winName;
        layer::Utf8ToCp1252(hostName, winName);
        if (winName.size() >= MAX_PATH || !Matches(name, winName))
            continue;
        std::string path = host + "/" + hostName;
        struct stat es;
        if (lstat(path.c_str(), &es) != 0)
            continue;
        if (S_ISLNK(es.st_mode) && (!StaysOnDrive(path, rootReal) || stat(path.c_str(), &es) != 0))
            continue;
        find->entries.push_back(Describe(winName, es));
    }
    closedir(dir);
    if (find->entries.empty()) {
        delete find;
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::stable_sort(find->entries.begin(), find->entries.end(),
                     [](const WIN32_FIND_DATAA &a, const WIN32_FIND_DATAA &b) { return CompareNames(a, b) < 0; });
    *data = find->entries[0];
    find->next = 1;
    {
        std::lock_guard<std::mutex> hold(findLock);
        liveFinds.insert(find);
    }
    SetLastError(NO_ERROR);
    return (HANDLE)find;
}

extern "C" BOOL WINAPI FindNextFileA(HANDLE handle, LPWIN32_FIND_DATAA data)
{
    Find *find = LookupFind(handle);
    if (!find || !data) {
        SetLastError(find ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (find->next >= find->entries.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    *data = find->entries[find->next++];
    return TRUE;
}

extern "C" BOOL WINAPI FindClose(HANDLE handle)
{
    Find *find = nullptr;
    {
        std::lock_guard<std::mutex> hold(findLock);
        auto it = liveFinds.find((Find *)handle);
        if (it != liveFinds.end()) {
            find = *it;
            liveFinds.erase(it);
        }
    }
    if (!find) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    delete find;
    return TRUE;
}

/* The security attributes, when given, only say whether handles are
 * inherited; a folder has none to inherit here. */
extern "C" BOOL WINAPI CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES security)
{
    (void)security;
    std::string host;
    if (!layer::TranslatePath(path, host))
        return FALSE;
    struct stat st;
    if (lstat(host.c_str(), &st) == 0) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return FALSE;
    }
    if (mkdir(host.c_str(), 0777) != 0) {
        int err = errno;
        SetLastError(err == ENOENT || err == ENOTDIR ? ERROR_PATH_NOT_FOUND : layer::ErrorFromErrno(err, host));
        return FALSE;
    }
    return TRUE;
}

extern "C" BOOL WINAPI RemoveDirectoryA(LPCSTR path)
{
    std::string host, full;
    if (!layer::TranslatePath(path, host, &full))
        return FALSE;
    if (full.size() <= 3) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (lstrcmpiA(full.c_str(), layer::GetMachine().currentDir.c_str()) == 0) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    struct stat st;
    if (lstat(host.c_str(), &st) != 0) {
        SetLastError(layer::ErrorFromErrno(errno, host));
        return FALSE;
    }
    if (!S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_DIRECTORY);
        return FALSE;
    }
    if (rmdir(host.c_str()) != 0) {
        int err = errno;
        SetLastError(err == EEXIST ? ERROR_DIR_NOT_EMPTY : layer::ErrorFromErrno(err, host));
        return FALSE;
    }
    return TRUE;
}

extern "C" BOOL WINAPI DeleteFileA(LPCSTR path)
{
    std::string host;
    if (!layer::TranslatePath(path, host))
        return FALSE;
    struct stat st;
    if (lstat(host.c_str(), &st) != 0) {
        SetLastError(layer::ErrorFromErrno(errno, host));
        return FALSE;
    }
    if (S_ISDIR(st.st_mode) || (S_ISREG(st.st_mode) && !(st.st_mode & S_IWUSR))) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (unlink(host.c_str()) != 0) {
        SetLastError(layer::ErrorFromErrno(errno, host));
        return FALSE;
    }
    return TRUE;
}

extern "C" DWORD WINAPI GetFileAttributesA(LPCSTR path)
{
    std::string host;
    if (!layer::TranslatePath(path, host))
        return INVALID_FILE_ATTRIBUTES;
    struct stat st;
    if (stat(host.c_str(), &st) != 0) {
        SetLastError(layer::ErrorFromErrno(errno, host));
        return INVALID_FILE_ATTRIBUTES;
    }
    return Attributes(st);
}
