/*
 * The folder list view shared by the folder browser and the group browser.
 *
 * A list shows the subfolders of one directory, joined by the item of the
 * product folder about to be made there and, below a drive root (mode 0) or
 * below the Start-menu depth (mode 1), topped by the up item "........" that
 * leads to the parent.  Beside it a read-only edit, the path line, shows the
 * full path the installation would use.  Names that begin with a full stop
 * are never listed; files never are.
 *
 * Every item carries its kind in its lParam, so the browsers recognise the
 * up item by what it is rather than by where it stands.  The templates ask
 * the control to keep its items sorted by text; FillFolderList takes that
 * order over, inserting each folder at its place by the same case-blind
 * comparison, so that the up item stays at index 0 even when a folder name
 * sorts ahead of its full stops.  Should a control keep sorting on its own,
 * the order is the same apart from that case.
 */
#include "setup.h"

#include <string.h>

enum {
    ItemTextSize = 256,
    GroupPathLine = 211 /* the group browser's path line */
};

static const char UpItemText[] = "........";

void SetUpFolderImages(HWND list)
{
    HIMAGELIST images = ImageList_Create(16, 16, ILC_MASK, 3, 0);

    g_setup.folderImage =
        ImageList_ReplaceIcon(images, -1, LoadIconA(g_setup.instance, MAKEINTRESOURCEA(IDI_FOLDER)));
    g_setup.upImage =
        ImageList_ReplaceIcon(images, -1, LoadIconA(g_setup.instance, MAKEINTRESOURCEA(IDI_UP)));
    g_setup.productImage = ImageList_ReplaceIcon(
        images, -1, LoadIconA(g_setup.instance, MAKEINTRESOURCEA(IDI_PRODUCT)));
    SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, (LPARAM)images);
}

void InsertFolderItem(HWND list, const char *text, int position, int image, FolderItemKind kind)
{
    LVITEMA item;

    memset(&item, 0, sizeof(item));
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = position;
    item.iSubItem = 0;
    item.pszText = (LPSTR)text;
    item.cchTextMax = 255;
    item.iImage = image;
    item.lParam = kind;
    SendMessageA(list, LVM_INSERTITEMA, 0, (LPARAM)&item);
}

BOOL IsUpItem(HWND list, int index)
{
    LVITEMA item;

    memset(&item, 0, sizeof(item));
    item.mask = LVIF_PARAM;
    item.iItem = index;
    item.iSubItem = 0;
    if (!SendMessageA(list, LVM_GETITEMA, 0, (LPARAM)&item))
        return FALSE;
    return item.lParam == FolderItemUp;
}

/* Reads an item's text; empty when the item cannot be read. */
static void ItemText(HWND list, int index, char *text)
{
    LVITEMA item;

    memset(&item, 0, sizeof(item));
    text[0] = '\0';
    item.mask = LVIF_TEXT;
    item.iItem = index;
    item.iSubItem = 0;
    item.pszText = text;
    item.cchTextMax = ItemTextSize;
    SendMessageA(list, LVM_GETITEMA, 0, (LPARAM)&item);
    text[ItemTextSize - 1] = '\0';
}

/* The index, from first on, at which text keeps the items in ascending order. */
static int SortedPosition(HWND list, int first, const char *text)
{
    char other[ItemTextSize];
    int low = first;
    int high = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);

    while (low < high) {
        int middle = low + (high - low) / 2;

        ItemText(list, middle, other);
        if (lstrcmpiA(text, other) < 0)
            high = middle;
        else
            low = middle + 1;
    }
    return low;
}

void FillFolderList(HWND dialog, HWND list, char *path, int mode)
{
    WIN32_FIND_DATAA found;
    const char *pattern;
    int n, next = 0, first = 0, line;
    BOOL appended;
    LONG style;

    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    style = GetWindowLongA(list, GWL_STYLE);
    if (style & LVS_SORTASCENDING)
        SetWindowLongA(list, GWL_STYLE, style & ~LVS_SORTASCENDING);

    n = lstrlenA(path);
    if ((mode == 0 && n > 3) || (mode == 1 && n > 21)) {
        InsertFolderItem(list, UpItemText, 0, g_setup.upImage, FolderItemUp);
        next = first = 1;
        pattern = "\\*.*";
    } else if (mode == 1) {
        pattern = "\\*.*";
    } else {
        /* A drive root such as C:\ already ends in its backslash. */
        pattern = "*.*";
    }

    /* A path with no room for the pattern is listed as a folder that cannot be read. */
    appended = n + lstrlenA(pattern) < PathSize;
    if (appended) {
        lstrcpyA(path + n, pattern);
        HANDLE find = FindFirstFileA(path, &found);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
                    found.cFileName[0] == '.')
                    continue;
                found.cFileName[MAX_PATH - 1] = '\0';
                InsertFolderItem(list, found.cFileName,
                                 SortedPosition(list, first, found.cFileName),
                                 g_setup.folderImage, FolderItemSubfolder);
                next++;
            } while (FindNextFileA(find, &found));
            FindClose(find);
        }
    }

    g_setup.folderItemCount = next;
    InsertFolderItem(list, g_setup.folderName, SortedPosition(list, first, g_setup.folderName),
                     g_setup.productImage, FolderItemProduct);
    if (appended)
        path[n] = '\0';

    lstrcpynA(g_setup.messageText, path, PathSize);
    line = lstrlenA(g_setup.messageText);
    if (pattern[0] == '\\' && line + 1 < PathSize) {
        g_setup.messageText[line++] = '\\';
        g_setup.messageText[line] = '\0';
    }
    lstrcpynA(g_setup.messageText + line, g_setup.folderName, PathSize - line);
    SetDlgItemTextA(dialog, mode == 0 ? IDC_PATH_LINE : GroupPathLine, g_setup.messageText);
}
