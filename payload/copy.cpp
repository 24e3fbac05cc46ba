/*
 * The copy page: the third wizard page, which writes the payload into the
 * installation directory.  Its template and handlers come with the payload
 * work; what stands here is the page's frame, run the way every page runs, so
 * that the wizard reaches it.  While the resources hold no IDD_COPY,
 * DialogBoxParamA answers -1 and the wizard shows its cancel message.
 */
#include "setup.h"

static const MessageEntry copyPageMessages[] = {
    {WM_PAINT, PaintPageBackground},
};

static const MessageTable copyPageTable = {TABLE_ROWS(copyPageMessages), copyPageMessages, DefaultNone};

static INT_PTR CALLBACK CopyPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DispatchMessageTable(&copyPageTable, page, message, wParam, lParam);
}

INT_PTR RunCopyPage(HWND owner)
{
    return DialogBoxParamA(g_setup.instance, "IDD_COPY", owner, CopyPageProc, 0);
}
