/*
 * The program-group page: the last wizard page, which registers the product
 * and makes its shortcuts.  Its template and handlers come with the shortcut
 * work; what stands here is the page's frame, run the way every page runs.
 * While the resources hold no IDD_SHORTCUT, DialogBoxParamA answers -1, which
 * the wizard does not examine for this page.
 */
#include "setup.h"

static const MessageEntry groupPageMessages[] = {
    {WM_PAINT, PaintPageBackground},
};

static const MessageTable groupPageTable = {TABLE_ROWS(groupPageMessages), groupPageMessages, DefaultNone};

static INT_PTR CALLBACK GroupPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DispatchMessageTable(&groupPageTable, page, message, wParam, lParam);
}

INT_PTR RunGroupPage(HWND owner)
{
    return DialogBoxParamA(g_setup.instance, "IDD_SHORTCUT", owner, GroupPageProc, 0);
}
