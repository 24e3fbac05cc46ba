/*
 * ShellExecuteA, for what the program asks of it: opening a folder of the
 * machine so that a person sees it.
 *
 * The verb is the default (null), "open" or "explore", and the file a
 * Windows path to a folder; a relative one is taken from the directory
 * argument when there is one, else from the current directory.  The folder
 * is found through the machine's path translation and shown by the screen's
 * backend (a file manager under X11; the headless screen shows nothing and
 * that is no failure).  There is nothing here to run documents or programs
 * with, so an existing file that is not a folder, or another verb, answers
 * SE_ERR_NOASSOC as the platform does for a file without an association.
 * A missing or empty name answers ERROR_FILE_NOT_FOUND, a missing folder
 * on the way ERROR_PATH_NOT_FOUND.  Every call is written to the automation
 * log with the host folder it opened (empty when none) and its result.
 */
#include "kernel/kernel.h"

#include <errno.h>
#include <string.h>
#include <sys/stat.h>

static const int kSuccess = 42; /* any value above 32 means success */

static int ResultOfError(DWORD err)
{
    switch (err) {
    case ERROR_FILE_NOT_FOUND: return SE_ERR_FNF;
    case ERROR_ACCESS_DENIED: return SE_ERR_ACCESSDENIED;
    }
    return SE_ERR_PNF;
}

static bool IsAbsolute(const char *p)
{
    return p[0] == '\\' || p[0] == '/' || (p[0] && p[1] == ':');
}

static int OpenFolder(const char *verb, const char *file, const char *directory, std::string &opened)
{
    if (verb && lstrcmpiA(verb, "open") != 0 && lstrcmpiA(verb, "explore") != 0)
        return SE_ERR_NOASSOC;
    if (!file || !*file)
        return SE_ERR_FNF;
    std::string path = file;
    if (directory && *directory && !IsAbsolute(file)) {
        path = directory;
        if (path.back() != '\\' && path.back() != '/')
            path += '\\';
        path += file;
    }
    std::string host;
    if (!layer::TranslatePath(path.c_str(), host))
        return ResultOfError(GetLastError());
    struct stat st;
    if (stat(host.c_str(), &st) != 0)
        return ResultOfError(layer::ErrorFromErrno(errno, host));
    if (!S_ISDIR(st.st_mode))
        return SE_ERR_NOASSOC;
    layer::ScreenBackend *backend = layer::GetScreen().backend;
    if (backend)
        backend->OpenFolder(host);
    opened = host;
    return kSuccess;
}

extern "C" HINSTANCE WINAPI ShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                                          LPCSTR directory, int show)
{
    (void)owner;
    (void)parameters;
    (void)show;
    std::string opened;
    int result = OpenFolder(verb, file, directory, opened);
    layer::LogShellOpen(verb ? verb : "", file ? file : "", opened.c_str(), result);
    return (HINSTANCE)(INT_PTR)result;
}
