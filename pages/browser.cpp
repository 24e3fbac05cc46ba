/*
 * The folder browser, "Setup - directory", opened by the destination page.
 *
 * It works directly on the shared record: the folder the user walks to is
 * g_setup.baseDir, the typed name is g_setup.folderName, the drive picked in
 * the drive box is g_setup.currentDrive with its free space g_setup.freeKB.
 * Picking a drive lists its root; a double click on a folder steps into it,
 * one on the up item steps out.  The name edit refuses a 100th character
 * keystroke by keystroke.  OK closes only with a name and enough space;
 * Cancel closes at once and keeps whatever the user changed, which the
 * destination page then uses as after OK.
 *
 * A step that would make baseDir too long to hold the search pattern, the
 * path line or the installation directory is refused with the simple beep
 * and leaves everything as it was.
 */
#include "setup.h"

#include <string.h>

enum { NameBufferSize = 512 };

static LRESULT FolderBrowserOnCommand(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
static LRESULT InitFolderBrowser(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
static LRESULT FolderBrowserNotify(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
static LRESULT CloseFolderBrowser(HWND dialog, UINT id, UINT code, LPARAM lParam);
static LRESULT LimitFolderName(HWND dialog, UINT id, UINT code, LPARAM lParam);
static LRESULT SelectDrive(HWND dialog, UINT id, UINT code, LPARAM lParam);

static const MessageEntry browserMessageRows[] = {
    {WM_COMMAND, FolderBrowserOnCommand},
    {WM_INITDIALOG, InitFolderBrowser},
    {WM_NOTIFY, FolderBrowserNotify},
};
static const MessageTable browserMessages = {TABLE_ROWS(browserMessageRows), browserMessageRows,
                                             DefaultNone};

static const CommandEntry browserCommandRows[] = {
    {IDOK, CloseFolderBrowser},
    {IDCANCEL, CloseFolderBrowser},
    {IDC_FOLDER_NAME, LimitFolderName},
    {IDC_DRIVE_BOX, SelectDrive},
};
static const CommandTable browserCommands = {TABLE_ROWS(browserCommandRows), browserCommandRows,
                                             DefaultNone};

static void ShowFreeSpace(HWND dialog)
{
    wsprintfA(g_setup.messageText, " Available: %lu KB, Required: %d KB", (DWORD)g_setup.freeKB,
              (int)RequiredKB);
    SetDlgItemTextA(dialog, IDC_SPACE_LINE, g_setup.messageText);
}

static LRESULT InitFolderBrowser(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    g_setup.folderNameEdit = GetDlgItem(dialog, IDC_FOLDER_NAME);
    g_setup.folderListView = GetDlgItem(dialog, IDC_FOLDER_LIST);
    g_setup.driveCombo = GetDlgItem(dialog, IDC_DRIVE_BOX);

    for (int i = 0; i < g_setup.driveCount; i++) {
        if (g_setup.drives[i][0])
            SendMessageA(g_setup.driveCombo, CB_ADDSTRING, 0, (LPARAM)g_setup.drives[i]);
    }
    SendMessageA(g_setup.driveCombo, CB_SETCURSEL, (WPARAM)g_setup.currentDrive, 0);
    ShowFreeSpace(dialog);

    SetUpFolderImages(g_setup.folderListView);
    FillFolderList(dialog, g_setup.folderListView, g_setup.baseDir, 0);
    /* The edit reports this like a keystroke, so the limiter stores the name. */
    SetDlgItemTextA(dialog, IDC_FOLDER_NAME, ProductName);
    return 1;
}

static LRESULT FolderBrowserOnCommand(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DispatchCommand(&browserCommands, dialog, wParam, lParam);
}

/* Steps out of baseDir; a drive root keeps its backslash. */
static void StepUp(void)
{
    char *last = NULL;

    for (char *c = g_setup.baseDir; *c; c++) {
        if (*c == '\\')
            last = c;
    }
    if (!last)
        return;
    if (last - g_setup.baseDir > 3)
        *last = '\0';
    else
        last[1] = '\0';
}

/* Steps into the named folder of baseDir; FALSE, with nothing changed, when it would not fit. */
static BOOL StepInto(const char *name)
{
    int n = lstrlenA(g_setup.baseDir);
    int joint = n > 3 ? 1 : 0;

    if (n + joint + lstrlenA(name) > BaseDirMax)
        return FALSE;
    if (joint)
        lstrcatA(g_setup.baseDir, "\\");
    lstrcatA(g_setup.baseDir, name);
    return TRUE;
}

static LRESULT FolderBrowserNotify(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    const NMHDR *header = (const NMHDR *)lParam;
    HWND list = g_setup.folderListView;
    int n, selected;

    if (!header || header->hwndFrom != list || header->code != (UINT)NM_DBLCLK)
        return 0;

    n = lstrlenA(g_setup.baseDir);
    selected = (int)SendMessageA(list, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
    if (selected >= 0) {
        if (n > 3 && IsUpItem(list, selected)) {
            StepUp();
        } else {
            char name[256];
            LVITEMA item;

            memset(&item, 0, sizeof(item));
            name[0] = '\0';
            item.mask = LVIF_TEXT;
            item.iItem = selected;
            item.iSubItem = 0;
            item.pszText = name;
            item.cchTextMax = 255;
            if (SendMessageA(list, LVM_GETITEMA, 0, (LPARAM)&item)) {
                name[255] = '\0';
                if (!StepInto(name)) {
                    MessageBeep((UINT)-1);
                    return 0;
                }
            }
        }
    }
    FillFolderList(dialog, list, g_setup.baseDir, 0);
    return 0;
}

/* Keeps folderName at 99 characters at most; every other edit notification is ignored. */
static LRESULT LimitFolderName(HWND dialog, UINT id, UINT code, LPARAM lParam)
{
    char text[NameBufferSize];
    int length;

    if (code != EN_UPDATE || g_setup.nameEditGuard)
        return 1;
    text[0] = '\0';
    GetDlgItemTextA(dialog, IDC_FOLDER_NAME, text, NameBufferSize);
    text[NameBufferSize - 1] = '\0';
    length = lstrlenA(text);
    if (length <= FolderNameMax) {
        lstrcpyA(g_setup.folderName, text);
    } else {
        /* Restoring the last accepted name raises EN_UPDATE again; the guard turns it away. */
        g_setup.nameEditGuard = 1;
        SetDlgItemTextA(dialog, IDC_FOLDER_NAME, g_setup.folderName);
        MessageBeep((UINT)-1);
        g_setup.nameEditGuard = 0;
    }
    return 1;
}

static LRESULT SelectDrive(HWND dialog, UINT id, UINT code, LPARAM lParam)
{
    LRESULT position;

    if (code != CBN_SELENDOK)
        return 0;
    position = SendMessageA(g_setup.driveCombo, CB_GETCURSEL, 0, 0);
    if (position == CB_ERR || position < 0 || position >= g_setup.driveCount)
        return 0;

    g_setup.currentDrive = (int)position;
    lstrcpyA(g_setup.baseDir, g_setup.drives[position]);
    FillFolderList(dialog, g_setup.folderListView, g_setup.baseDir, 0);
    ProbeFreeSpace((int)position);
    ShowFreeSpace(dialog);
    return 0;
}

static LRESULT CloseFolderBrowser(HWND dialog, UINT id, UINT code, LPARAM lParam)
{
    if (id == IDCANCEL) {
        EndDialog(dialog, 0);
        return 0;
    }

    g_setup.folderName[0] = '\0';
    SendMessageA(g_setup.folderNameEdit, WM_GETTEXT, FolderNameMax + 1,
                 (LPARAM)g_setup.folderName);
    if (!g_setup.folderName[0]) {
        MessageBoxA(dialog, "You forget to select a directory", "Warning", MB_ICONWARNING);
        SetFocus(g_setup.folderNameEdit);
    } else if (g_setup.freeKB < RequiredKB) {
        /* The answer does not matter: the user has to pick another drive. */
        MessageBoxA(dialog, NoSpaceText, NULL, MB_ICONERROR | MB_YESNO);
    } else {
        EndDialog(dialog, 0);
    }
    return 0;
}

INT_PTR CALLBACK FolderBrowserProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DispatchMessageTable(&browserMessages, dialog, message, wParam, lParam);
}
