/*
 * The destination page, second of the wizard.
 *
 * It proposes the installation directory, baseDir joined with folderName,
 * lets the user change both through the folder browser, and on Next checks
 * the name and the free space and creates that one directory level.  The
 * result travels on in g_setup.installDir.  The path edit only shows the
 * directory: what is typed there is never read.  A directory that cannot be
 * made, most often because an earlier installation made it, is offered for
 * reuse.
 */
#include "setup.h"

static LRESULT DestinationPageOnCommand(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
static LRESULT InitDestinationPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
static LRESULT DestinationPageCommand(HWND page, UINT id, UINT code, LPARAM lParam);
static LRESULT BrowseDestination(HWND page, UINT id, UINT code, LPARAM lParam);

static const char ExistsText[] =
    "Directory allready exsist. Continue with the instalation ?\n\nNOTES: Click on the YES button "
    "if this is previous installation of this software, otherwise click on the NO button and "
    "select another installation directory.";

static const MessageEntry destinationMessageRows[] = {
    {WM_COMMAND, DestinationPageOnCommand},
    {WM_INITDIALOG, InitDestinationPage},
    {WM_PAINT, PaintPageBackground},
};
static const MessageTable destinationMessages = {TABLE_ROWS(destinationMessageRows),
                                                 destinationMessageRows, DefaultNone};

static const CommandEntry destinationCommandRows[] = {
    {IDOK, DestinationPageCommand},
    {IDCANCEL, DestinationPageCommand},
    {IDC_BROWSE, BrowseDestination},
};
static const CommandTable destinationCommands = {TABLE_ROWS(destinationCommandRows),
                                                 destinationCommandRows, DefaultNone};

/* installDir = baseDir, a backslash unless baseDir is a drive root or shorter, folderName. */
static void ComposeInstallDir(void)
{
    int n;

    lstrcpynA(g_setup.installDir, g_setup.baseDir, PathSize);
    n = lstrlenA(g_setup.installDir);
    if (n > 3 && n + 1 < PathSize) {
        g_setup.installDir[n++] = '\\';
        g_setup.installDir[n] = '\0';
    }
    lstrcpynA(g_setup.installDir + n, g_setup.folderName, PathSize - n);
}

static void ShowInstallDir(HWND page)
{
    ComposeInstallDir();
    SetDlgItemTextA(page, IDC_INSTALL_DIR, g_setup.installDir);
}

static LRESULT InitDestinationPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    BuildDriveTable();
    lstrcpyA(g_setup.folderName, ProductName);
    ShowInstallDir(page);
    return 1;
}

static LRESULT DestinationPageOnCommand(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DispatchCommand(&destinationCommands, page, wParam, lParam);
}

/* OK and Cancel of the browser both leave their changes for the page to show. */
static LRESULT BrowseDestination(HWND page, UINT id, UINT code, LPARAM lParam)
{
    DialogBoxParamA(g_setup.instance, "IDD_BROWSE", page, FolderBrowserProc, 0);
    ShowInstallDir(page);
    return 0;
}

static void NextPage(HWND page)
{
    if (!g_setup.folderName[0]) {
        MessageBoxA(page, "You were forgoten to select an directory", SetupTitle, MB_ICONWARNING);
        SetFocus(GetDlgItem(page, IDC_INSTALL_DIR));
        return;
    }
    if (g_setup.freeKB < RequiredKB) {
        MessageBoxA(page, NoSpaceText, SetupTitle, MB_ICONERROR | MB_YESNO);
        return;
    }
    ComposeInstallDir();
    if (CreateDirectoryInherit(g_setup.installDir)) {
        EndDialog(page, 0);
        return;
    }
    /* Asked for any failure, though worded for the common one. */
    if (MessageBoxA(page, ExistsText, SetupTitle, MB_ICONQUESTION | MB_YESNO) == IDYES)
        EndDialog(page, 0);
}

static LRESULT DestinationPageCommand(HWND page, UINT id, UINT code, LPARAM lParam)
{
    if (id == IDOK)
        NextPage(page);
    else if (id == IDCANCEL)
        ConfirmCancelSetup(page);
    return 0;
}

static INT_PTR CALLBACK DestinationPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DispatchMessageTable(&destinationMessages, page, message, wParam, lParam);
}

INT_PTR RunDestinationPage(HWND owner)
{
    return DialogBoxParamA(g_setup.instance, "IDD_DIR", owner, DestinationPageProc, 0);
}
