/*
 * The clipboard, for CF_TEXT only.
 *
 * The text lives with the screen's backend when it keeps one (the X
 * clipboard under X11) and in the layer's own memory otherwise; what was
 * put last is also kept here, so that a backend that cannot answer falls
 * back to it.  The calls follow the documented protocol: OpenClipboard
 * before EmptyClipboard, SetClipboardData and GetClipboardData, and
 * CloseClipboard after.  SetClipboardData takes ownership of the caller's
 * GlobalAlloc'd block (the clipboard frees it when the data is replaced);
 * GetClipboardData hands out a block the clipboard owns, valid until the
 * clipboard changes.
 */
#include "user/wm.h"

#include <string.h>

namespace layer {

static const DWORD kErrorClipboardNotOpen = 1418;

static bool isOpen;
static std::string localText; /* what was put last */
static bool hasLocal;
static HGLOBAL ownedBlock;    /* SetClipboardData's block, freed when replaced */
static HGLOBAL handedBlock;   /* GetClipboardData's copy */

static void FreeBlock(HGLOBAL &block)
{
    if (block)
        GlobalFree(block);
    block = nullptr;
}

static void StoreText(const std::string &text, bool present)
{
    localText = text;
    hasLocal = present;
    if (ScreenBackend *b = GetScreen().backend)
        b->SetClipboardText(text);
}

static bool CurrentText(std::string &text)
{
    if (ScreenBackend *b = GetScreen().backend) {
        if (b->ClipboardText(text))
            return true;
    }
    text = localText;
    return hasLocal;
}

void ClipboardPut(const std::string &text)
{
    FreeBlock(ownedBlock);
    FreeBlock(handedBlock);
    StoreText(text, true);
}

} // namespace layer

using namespace layer;

extern "C" BOOL WINAPI OpenClipboard(HWND owner)
{
    if (owner && !WindowLookup(owner)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (isOpen) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    isOpen = true;
    return TRUE;
}

extern "C" BOOL WINAPI CloseClipboard(void)
{
    if (!isOpen) {
        SetLastError(kErrorClipboardNotOpen);
        return FALSE;
    }
    isOpen = false;
    return TRUE;
}

extern "C" BOOL WINAPI EmptyClipboard(void)
{
    if (!isOpen) {
        SetLastError(kErrorClipboardNotOpen);
        return FALSE;
    }
    FreeBlock(ownedBlock);
    FreeBlock(handedBlock);
    StoreText("", false);
    return TRUE;
}

extern "C" HANDLE WINAPI SetClipboardData(UINT format, HANDLE data)
{
    if (!isOpen) {
        SetLastError(kErrorClipboardNotOpen);
        return NULL;
    }
    if (format != CF_TEXT || !data) {
        /* Only text is kept, and delayed rendering is not offered. */
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    const char *p = (const char *)GlobalLock(data);
    if (!p) {
        SetLastError(ERROR_INVALID_HANDLE);
        return NULL;
    }
    SIZE_T size = GlobalSize(data);
    std::string text(p, strnlen(p, size));
    GlobalUnlock(data);
    if (ownedBlock != data)
        FreeBlock(ownedBlock);
    FreeBlock(handedBlock);
    ownedBlock = data;
    StoreText(text, true);
    return data;
}

extern "C" HANDLE WINAPI GetClipboardData(UINT format)
{
    if (!isOpen) {
        SetLastError(kErrorClipboardNotOpen);
        return NULL;
    }
    std::string text;
    if (format != CF_TEXT || !CurrentText(text))
        return NULL;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    if (!block)
        return NULL;
    char *p = (char *)GlobalLock(block);
    if (!p) {
        GlobalFree(block);
        return NULL;
    }
    memcpy(p, text.c_str(), text.size() + 1);
    GlobalUnlock(block);
    FreeBlock(handedBlock);
    handedBlock = block;
    return block;
}

extern "C" BOOL WINAPI IsClipboardFormatAvailable(UINT format)
{
    std::string text;
    return format == CF_TEXT && CurrentText(text);
}
