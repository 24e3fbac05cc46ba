/*
 * The page frame and the licence page.
 *
 * The four wizard pages share one frame: a captionless popup of 370 by 236
 * dialog units, centred in front of the full-screen main window, whose
 * client area shows the page picture IDB_PELMAR.  At the standard base
 * units the picture covers the whole page; it is copied unscaled from the
 * client origin on every WM_PAINT, with no palette, and the controls draw
 * in the system colours on top of it.
 *
 * The licence page comes first and loads the picture, which the later pages
 * paint and which stays loaded until the process ends.  It shows string 150
 * in a read-only multiline edit; "I Agree" ends it with 0, and "Cancel" or
 * Esc asks whether to cancel the setup, ending it with 1 on Yes.
 */
#include "setup.h"

enum { LicenceTextSize = 7000 };

static LRESULT LicencePageOnCommand(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
static LRESULT InitLicencePage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
static LRESULT LicencePageCommand(HWND page, UINT id, UINT code, LPARAM lParam);

static const MessageEntry licenceMessageRows[] = {
    {WM_COMMAND, LicencePageOnCommand},
    {WM_INITDIALOG, InitLicencePage},
    {WM_PAINT, PaintPageBackground},
};
static const MessageTable licenceMessages = {TABLE_ROWS(licenceMessageRows), licenceMessageRows,
                                             DefaultNone};

static const CommandEntry licenceCommandRows[] = {
    {IDOK, LicencePageCommand},
    {IDCANCEL, LicencePageCommand},
};
static const CommandTable licenceCommands = {TABLE_ROWS(licenceCommandRows), licenceCommandRows,
                                             DefaultNone};

LRESULT PaintPageBackground(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(page, &paint);
    HDC memory = CreateCompatibleDC(dc);

    if (memory) {
        HGDIOBJ previous = SelectObject(memory, g_setup.pageBitmap);
        BitBlt(dc, 0, 0, g_setup.pageBitmapInfo.bmWidth, g_setup.pageBitmapInfo.bmHeight, memory,
               0, 0, SRCCOPY);
        if (previous)
            SelectObject(memory, previous);
        DeleteDC(memory);
    }
    EndPaint(page, &paint);
    return 0;
}

void ConfirmCancelSetup(HWND page)
{
    if (MessageBoxA(page, "Are you sure you want to cancel the setup?", SetupTitle,
                    MB_ICONQUESTION | MB_YESNO) == IDYES)
        EndDialog(page, 1);
}

static LRESULT InitLicencePage(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    char text[LicenceTextSize];

    g_setup.pageBitmap = LoadBitmapA(g_setup.instance, "IDB_PELMAR");
    /* Without the picture the record stays zero and every page shows its plain background. */
    if (g_setup.pageBitmap)
        GetObjectA(g_setup.pageBitmap, sizeof(BITMAP), &g_setup.pageBitmapInfo);

    text[0] = '\0';
    LoadStringA(g_setup.instance, IDS_LICENCE, text, LicenceTextSize);
    SetDlgItemTextA(page, IDC_LICENCE_TEXT, text);
    SetFocus(GetDlgItem(page, IDOK));
    return 1;
}

static LRESULT LicencePageOnCommand(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DispatchCommand(&licenceCommands, page, wParam, lParam);
}

static LRESULT LicencePageCommand(HWND page, UINT id, UINT code, LPARAM lParam)
{
    if (id == IDOK)
        EndDialog(page, 0);
    else if (id == IDCANCEL)
        ConfirmCancelSetup(page);
    return 0;
}

static INT_PTR CALLBACK LicencePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DispatchMessageTable(&licenceMessages, page, message, wParam, lParam);
}

INT_PTR RunLicencePage(HWND owner)
{
    return DialogBoxParamA(g_setup.instance, "IDD_AGREEMENT", owner, LicencePageProc, 0);
}
