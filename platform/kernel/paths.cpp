/*
 * Windows paths on the host, and the calls that report the machine's
 * directories and drives.
 *
 * A Windows path becomes a host path in two steps.  First it is made
 * absolute and normal, without touching the host: both separators are
 * accepted, a drive-relative path ("C:x") and a relative one continue from
 * the current directory (when it is on that drive), a rooted one ("\x")
 * starts at the current drive's root, "." is dropped and ".." removes the
 * component before it but never climbs above the drive root.  A name with
 * a character Windows forbids (<>:"|?* or a control character) fails with
 * ERROR_INVALID_NAME, a drive the machine lacks with ERROR_PATH_NOT_FOUND,
 * and UNC paths (\\server\share, \\?\...) are not on the machine at all.
 *
 * Then the components are looked up below the drive's host folder: an
 * existing name is found whatever its case, a new one keeps the case the
 * program gave.  Names are Windows-1252 on the Windows side and UTF-8 on
 * the host.  Last, the deepest part of the host path that exists is
 * resolved through any symbolic links, and the path is refused with
 * ERROR_ACCESS_DENIED unless that lands inside the drive's folder, so
 * that no link leads the program out of the machine.
 *
 * The current directory is a Windows path the layer keeps; the host
 * process's own working directory plays no part.
 */
#include "kernel/kernel.h"

#include <dirent.h>
#include <errno.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

namespace {

struct WinPath {
    char letter = 0;
    std::vector<std::string> parts;
};

bool ValidComponent(const std::string &c)
{
    for (unsigned char ch : c)
        if (ch < 0x20 || strchr("<>:\"|?*", ch))
            return false;
    return true;
}

void Split(const std::string &text, std::vector<std::string> &parts)
{
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t sep = text.find('\\', pos);
        if (sep == std::string::npos)
            sep = text.size();
        std::string c = text.substr(pos, sep - pos);
        pos = sep + 1;
        if (c.empty() || c == ".")
            continue;
        if (c == "..") {
            if (!parts.empty())
                parts.pop_back();
            continue;
        }
        parts.push_back(c);
    }
}

/* The first, lexical step: an absolute, normal Windows path.  Sets the
 * last error on failure. */
bool Normalize(const char *winPath, WinPath &out)
{
    if (!winPath || !*winPath) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    std::string p(winPath);
    for (char &c : p)
        if (c == '/')
            c = '\\';
    if (p.size() >= 2 && p[0] == '\\' && p[1] == '\\') {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    const std::string &current = layer::GetMachine().currentDir;
    char currentLetter = current.empty() ? 0 : current[0];
    std::string rest;
    bool fromCurrent = false;
    if (p.size() >= 2 && p[1] == ':' && ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z'))) {
        out.letter = p[0];
        rest = p.substr(2);
        bool sameDrive = currentLetter && layer::LowerCp1252((unsigned char)currentLetter) ==
                                              layer::LowerCp1252((unsigned char)p[0]);
        fromCurrent = (rest.empty() || rest[0] != '\\') && sameDrive;
    } else {
        out.letter = currentLetter;
        rest = p;
        fromCurrent = p[0] != '\\';
    }
    layer::Drive *drive = out.letter ? layer::FindDrive(out.letter) : nullptr;
    if (!drive) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    out.letter = drive->letter;
    /* Validate before ".." can hide a bad name. */
    size_t pos = 0;
    while (pos <= rest.size()) {
        size_t sep = rest.find('\\', pos);
        if (sep == std::string::npos)
            sep = rest.size();
        if (!ValidComponent(rest.substr(pos, sep - pos))) {
            SetLastError(ERROR_INVALID_NAME);
            return false;
        }
        pos = sep + 1;
    }
    std::string joined = fromCurrent && current.size() > 3 ? current.substr(3) + "\\" + rest : rest;
    Split(joined, out.parts);
    return true;
}

std::string WinText(const WinPath &w)
{
    std::string s(1, w.letter);
    s += ":\\";
    for (size_t i = 0; i < w.parts.size(); i++) {
        if (i)
            s += '\\';
        s += w.parts[i];
    }
    return s;
}

/* The name in folder dir that matches name ignoring case: the exact name
 * when it exists, else the first match in byte order, so that the choice
 * does not depend on the order the host lists a folder in. */
bool FindEntry(const std::string &dir, const std::string &winName, std::string &hostName)
{
    std::string exact = layer::Cp1252ToUtf8(winName);
    struct stat st;
    if (lstat((dir + "/" + exact).c_str(), &st) == 0) {
        hostName = exact;
        return true;
    }
    DIR *d = opendir(dir.c_str());
    if (!d)
        return false;
    bool found = false;
    while (struct dirent *e = readdir(d)) {
        std::string n = e->d_name;
        if (n == "." || n == "..")
            continue;
        if (layer::HostNameEquals(n, winName) && (!found || n < hostName)) {
            hostName = n;
            found = true;
        }
    }
    closedir(d);
    return found;
}

bool Inside(const std::string &path, const std::string &root)
{
    return path == root || (path.size() > root.size() && path.compare(0, root.size(), root) == 0 &&
                            (root == "/" || path[root.size()] == '/'));
}

/* Copies text into a caller's buffer by the usual rule of the directory
 * calls: the length without the terminator when it fits, else the size the
 * buffer needs, terminator included, and nothing written. */
DWORD CopyOut(const std::string &text, LPSTR buffer, DWORD size)
{
    if (!buffer || size < text.size() + 1)
        return (DWORD)text.size() + 1;
    memcpy(buffer, text.c_str(), text.size() + 1);
    return (DWORD)text.size();
}

} // namespace

namespace layer {

bool TranslatePath(const char *winPath, std::string &host, std::string *fullWin)
{
    WinPath w;
    if (!Normalize(winPath, w))
        return false;
    std::string text = WinText(w);
    if (text.size() >= MAX_PATH) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    Drive *drive = FindDrive(w.letter);
    std::string h = drive->hostDir;
    bool look = true;
    for (const std::string &c : w.parts) {
        std::string name;
        if (!(look && FindEntry(h, c, name))) {
            look = false;
            name = Cp1252ToUtf8(c);
        }
        h += "/" + name;
    }

    char real[PATH_MAX], rootReal[PATH_MAX];
    if (!realpath(drive->hostDir.c_str(), rootReal)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    std::string probe = h;
    struct stat st;
    while (probe.size() > drive->hostDir.size() && lstat(probe.c_str(), &st) != 0)
        probe.erase(probe.find_last_of('/'));
    if (!realpath(probe.c_str(), real) || !Inside(real, rootReal)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    host = h;
    if (fullWin)
        *fullWin = text;
    return true;
}

DWORD ErrorFromErrno(int err, const std::string &hostPath)
{
    switch (err) {
    case ENOENT: {
        size_t slash = hostPath.find_last_of('/');
        struct stat st;
        if (slash != std::string::npos && stat(hostPath.substr(0, slash).c_str(), &st) == 0 &&
            S_ISDIR(st.st_mode))
            return ERROR_FILE_NOT_FOUND;
        return ERROR_PATH_NOT_FOUND;
    }
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS: return ERROR_ACCESS_DENIED;
    case EEXIST: return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case EBUSY: return ERROR_SHARING_VIOLATION;
    case EISDIR: return ERROR_ACCESS_DENIED;
    }
    return ERROR_ACCESS_DENIED;
}

} // namespace layer

extern "C" DWORD WINAPI GetCurrentDirectoryA(DWORD size, LPSTR buffer)
{
    return CopyOut(layer::GetMachine().currentDir, buffer, size);
}

/* The new directory must be an existing folder: a missing one fails with
 * ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND, a file with
 * ERROR_DIRECTORY, as the platform reports them. */
extern "C" BOOL WINAPI SetCurrentDirectoryA(LPCSTR path)
{
    std::string host, full;
    if (!layer::TranslatePath(path, host, &full))
        return FALSE;
    struct stat st;
    if (stat(host.c_str(), &st) != 0) {
        SetLastError(layer::ErrorFromErrno(errno, host));
        return FALSE;
    }
    if (!S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_DIRECTORY);
        return FALSE;
    }
    layer::GetMachine().currentDir = full;
    return TRUE;
}

extern "C" UINT WINAPI GetWindowsDirectoryA(LPSTR buffer, UINT size)
{
    return CopyOut(layer::GetMachine().windowsDir, buffer, size);
}

extern "C" DWORD WINAPI GetTempPathA(DWORD size, LPSTR buffer)
{
    std::string temp = layer::GetMachine().tempDir;
    if (temp.empty() || temp.back() != '\\')
        temp += '\\';
    return CopyOut(temp, buffer, size);
}

/* "C:\<nul>D:\<nul><nul>".  When the buffer cannot hold all of it, final
 * terminator included, nothing is written and the result is the size the
 * buffer needs, which is then always greater than the size given. */
extern "C" DWORD WINAPI GetLogicalDriveStringsA(DWORD size, LPSTR buffer)
{
    std::string all;
    for (const layer::Drive &d : layer::GetMachine().drives) {
        all += d.letter;
        all += ":\\";
        all += '\0';
    }
    if (!buffer || size < all.size() + 1)
        return (DWORD)all.size() + 1;
    memcpy(buffer, all.data(), all.size());
    buffer[all.size()] = 0;
    return (DWORD)all.size();
}

/* Free space of the drive that holds root (the current drive when null):
 * 512-byte sectors, 8 to a cluster, the cluster counts clamped to a DWORD.
 * The machine's [free] figure, when given, stands for the free bytes. */
extern "C" BOOL WINAPI GetDiskFreeSpaceA(LPCSTR root, LPDWORD sectorsPerCluster, LPDWORD bytesPerSector,
                                         LPDWORD freeClusters, LPDWORD totalClusters)
{
    std::string host, full;
    if (!layer::TranslatePath(root ? root : "\\", host, &full))
        return FALSE;
    layer::Drive *drive = layer::FindDrive(full[0]);
    struct statvfs vfs;
    if (statvfs(drive->hostDir.c_str(), &vfs) != 0) {
        SetLastError(layer::ErrorFromErrno(errno, drive->hostDir));
        return FALSE;
    }
    /* 4,096-byte clusters (8 sectors of 512), as a disk reports them; a free
     * figure from machine.ini that is no whole number of those is reported
     * in smaller clusters, down to single bytes, so that it comes out exact. */
    uint64_t sectors = 8, sectorBytes = 512;
    uint64_t unit = vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize;
    uint64_t total = (uint64_t)vfs.f_blocks * unit;
    uint64_t avail = (uint64_t)vfs.f_bavail * unit;
    if (drive->hasFreeFigure) {
        avail = drive->freeBytes;
        if (total < avail)
            total = avail;
        if (avail % 4096 != 0 && avail % 512 == 0 && avail / 512 <= 0xFFFFFFFFu)
            sectors = 1;
        else if (avail % 512 != 0 && avail <= 0xFFFFFFFFu)
            sectors = sectorBytes = 1;
    }
    const uint64_t cluster = sectors * sectorBytes;
    auto clamp = [](uint64_t v) { return v > 0xFFFFFFFFu ? (DWORD)0xFFFFFFFFu : (DWORD)v; };
    if (sectorsPerCluster)
        *sectorsPerCluster = (DWORD)sectors;
    if (bytesPerSector)
        *bytesPerSector = (DWORD)sectorBytes;
    if (freeClusters)
        *freeClusters = clamp(avail / cluster);
    if (totalClusters)
        *totalClusters = clamp(total / cluster);
    return TRUE;
}
