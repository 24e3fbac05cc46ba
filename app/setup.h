/*
 * The installer's shared record, constants and operations.
 *
 * Every window and page of Nobra Setup shares its state through one global
 * record, g_setup: the paths the wizard chooses, the drive table, the flags
 * that carry a page's outcome to a later step, the handles more than one
 * handler needs, the backdrop's resources and the scratch buffers in which
 * texts are composed.  It lives in static storage, so it is zero-filled
 * before WinMain runs, and only the GUI thread touches it.  Texts are
 * NUL-terminated ANSI strings in fixed buffers whose sizes count the
 * terminator.
 *
 * Window and dialog procedures are table driven: each hands its message to
 * DispatchMessageTable with its own MessageTable; a WM_COMMAND row hands on
 * to DispatchCommand with that window's CommandTable.
 */
#ifndef NOBRA_SETUP_H
#define NOBRA_SETUP_H

#include <windows.h>
#include <commctrl.h>

#include "resource.h"

extern const char ProductName[]; /* "Nobra" */
extern const char SetupTitle[];  /* "Nobra - Setup": message box caption and backdrop title */
const DWORD RequiredKB = 5000;   /* disk space the product needs, in units of 1000 bytes */

/* Sizes of the record's path buffers. */
enum {
    PathSize = 512,
    TempDirSize = 260,
    ClassNameSize = 20,
    DriveSlots = 20,
    DriveSlotSize = 5,
    FolderNameMax = 99,      /* characters folderName may ever hold */
    GzipErrorSize = 1025     /* wsprintfA writes at most 1024 characters */
};

/*
 * The longest baseDir the folder browser walks into: the path must leave
 * room for a backslash, the longest folder name and the terminator, which is
 * also what the path line and installDir need; the four characters of the
 * search pattern fit within that margin.
 */
enum { BaseDirMax = PathSize - 1 - FolderNameMax - 1 };

struct SetupState {
    /* Paths and names. */
    char sourceDir[PathSize];   /* current directory at start; a drive root is cut to "C:" */
    char tempDir[TempDirSize];  /* the copy page's temporary directory, no trailing backslash */
    char baseDir[PathSize];     /* the directory in which the product folder is made */
    char folderName[PathSize];  /* the product folder's name, at most 99 characters */
    char installDir[PathSize];  /* baseDir, a backslash when baseDir is longer than 3, folderName */
    char groupDir[PathSize];    /* the Start-menu folder chosen for the program group */
    char openAtEnd[PathSize];   /* the group folder opened after success; empty when cancelled */
    char linkPath[PathSize];    /* scratch: the shortcut being written */
    char targetPath[PathSize];  /* scratch: the shortcut's target */

    /* Drives and free space. */
    char drives[DriveSlots][DriveSlotSize]; /* upper-case roots such as C:\, in system order */
    int driveCount;
    int currentDrive;           /* slot of the selected drive, the one freeKB measures */
    DWORD freeKB;               /* free space of that drive in units of 1000 bytes */

    /* Flags. */
    int stopFlag;               /* the copy page's cancel and failure flag */
    int nameEditGuard;          /* 1 while the folder-name limiter rewrites its own edit */

    /* Folder list view, shared by both folder browsers. */
    int folderItemCount;        /* items placed ahead of the product-folder item, up item included */
    int folderImage;            /* image-list index of icon 201 */
    int upImage;                /* image-list index of icon 202 */
    int productImage;           /* image-list index of icon 203 */

    /* Module, windows and pages. */
    HINSTANCE instance;
    HWND mainWindow;
    char className[ClassNameSize]; /* string 301: class, menu, title and accelerator name */
    HWND driveCombo;
    HWND folderListView;
    HWND folderNameEdit;
    HWND groupListView;
    HBITMAP pageBitmap;         /* IDB_PELMAR, the background of every wizard page */
    BITMAP pageBitmapInfo;

    /* Screen and backdrop. */
    int screenWidth;
    int screenHeight;
    int screenBpp;
    HFONT titleFont;
    HBITMAP backdropBitmap;     /* null when the backdrop could not be built */
    HGLOBAL backdropInfo;       /* 1064 bytes: BITMAPINFOHEADER and 256 colour entries */
    BYTE *backdropBits;
    HPALETTE backdropPalette;   /* only on displays of 8 bits per pixel or fewer */

    /* Scratch buffers. */
    char messageText[PathSize];
    char gzipErrorText[GzipErrorSize];
};

/* The one instance, defined in app/state.cpp. */
extern SetupState g_setup;

/* Table dispatch. */
typedef LRESULT (*MessageHandler)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
/* id and code are the low and high words of wParam, zero-extended. */
typedef LRESULT (*CommandHandler)(HWND window, UINT id, UINT code, LPARAM lParam);

enum DefaultProcKind : LONG {
    DefaultNone = 0,       /* the result is 0 */
    DefaultWindowProc = 1, /* DefWindowProcA */
    DefaultDialogProc = 2  /* DefDlgProcA */
};

struct MessageEntry {
    UINT message;
    MessageHandler handler;
};

struct MessageTable {
    int count;
    const MessageEntry *entries;
    DefaultProcKind defaultKind;
};

struct CommandEntry {
    WORD id;
    CommandHandler handler;
};

struct CommandTable {
    int count;
    const CommandEntry *entries;
    DefaultProcKind defaultKind;
};

LRESULT DispatchMessageTable(const MessageTable *table, HWND window, UINT message, WPARAM wParam,
                             LPARAM lParam);
LRESULT DispatchCommand(const CommandTable *table, HWND window, WPARAM wParam, LPARAM lParam);
LRESULT CallDefaultProc(DefaultProcKind kind, HWND window, UINT message, WPARAM wParam,
                        LPARAM lParam);

/* Rows count for a table's array. */
#define TABLE_ROWS(rows) ((int)(sizeof(rows) / sizeof((rows)[0])))

/* Page runners: 0 to go on, 1 when cancelled or failed, -1 when the page cannot be made. */
INT_PTR RunLicencePage(HWND owner);
INT_PTR RunDestinationPage(HWND owner);
INT_PTR RunCopyPage(HWND owner);
INT_PTR RunGroupPage(HWND owner);

/* The page frame shared by the four wizard pages. */
LRESULT PaintPageBackground(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
void ConfirmCancelSetup(HWND page);

/* Drive table and free space. */
void BuildDriveTable(void);
void ProbeFreeSpace(int slot);
/* The refusal shown when freeKB is below RequiredKB. */
extern const char NoSpaceText[];

/*
 * Folder list view.  The path given to FillFolderList is a PathSize buffer;
 * the search pattern is appended to it and taken off again.  Mode 0 serves
 * the folder browser (path line 102), mode 1 the group browser (path line
 * 211).
 */
enum FolderItemKind { FolderItemSubfolder = 0, FolderItemUp = 1, FolderItemProduct = 2 };
void SetUpFolderImages(HWND list);
void FillFolderList(HWND dialog, HWND list, char *path, int mode);
void InsertFolderItem(HWND list, const char *text, int position, int image, FolderItemKind kind);
/* True when the item at that index is the up item, whatever its place in the list. */
BOOL IsUpItem(HWND list, int index);

/* The folder browser of the destination page. */
INT_PTR CALLBACK FolderBrowserProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

/* Creates one directory level with an inheritable handle; non-zero when it was made. */
BOOL CreateDirectoryInherit(const char *path);

/* The backdrop. */
HFONT CreateLogicalFont(LONG weight, LONG width, LONG height, BYTE charSet, const char *face);
HBITMAP BuildBackdrop(HWND window);
LRESULT PaintBackdrop(HDC dc);

#endif
