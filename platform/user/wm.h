/*
 * The window manager's own records, shared by the files of platform/user/
 * and by automation.  A window is a Window; its HWND is its address, checked
 * against the live set before use.  Rectangles are kept the way the platform
 * reports them: `rect` in the parent's client coordinates (screen for
 * top-level windows), `client` relative to the window's own top-left corner.
 */
#ifndef NOBRA_USER_WM_H
#define NOBRA_USER_WM_H

#include "layer.h"

#include <string.h>
#include <string>
#include <vector>

namespace layer {

struct WindowClass {
    std::string name;
    UINT style = 0;
    WNDPROC proc = nullptr;
    HINSTANCE instance = nullptr;
    HICON icon = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
    std::string menuName;
    int classExtra = 0;
    int windowExtra = 0;
    bool system = false; /* registered by the layer: BUTTON, EDIT, ... */
};

struct ScrollBar {
    bool shown = false;
    bool enabled = true;
    int min = 0, max = 100;
    UINT page = 0;
    int pos = 0;
    int trackPos = 0;
    bool tracking = false;
    int pressed = 0; /* the part held down while tracking, for its pressed look */
};

struct Window {
    uint32_t magic;
    WindowClass *cls = nullptr;
    WNDPROC proc = nullptr;
    Window *parent = nullptr;            /* the desktop for top-level windows */
    Window *owner = nullptr;             /* top-level windows only */
    std::vector<Window *> children;      /* z-order: front first */
    DWORD style = 0, exStyle = 0;
    RECT rect = {0, 0, 0, 0};            /* in the parent's client coordinates */
    RECT client = {0, 0, 0, 0};          /* relative to the window's top-left */
    std::string text;
    LONG_PTR id = 0;                     /* GWL_ID for children */
    HINSTANCE instance = nullptr;
    LONG_PTR userData = 0;
    std::vector<unsigned char> extra;    /* the class's window extra bytes */
    Region update;                       /* client coordinates */
    bool erase = false;                  /* WM_ERASEBKGND due at the next BeginPaint */
    bool ncPaint = false;                /* the frame must be drawn again */
    bool destroying = false;
    bool created = false;                /* WM_CREATE has returned */
    ScrollBar vscroll, hscroll;
    void *dialog = nullptr;              /* the dialog manager's record for dialogs */
    std::string templateName;            /* the template it was made from, for automation */
    HWND savedFocus = nullptr;           /* top-level: the focus when it was deactivated */
    bool closePressed = false;           /* the caption's close box is held down */
};
constexpr uint32_t kWindowMagic = 0x444e5757; /* "WWND" */

Window *WindowLookup(HWND window);  /* null for anything but a live window */
inline HWND H(Window *w) { return reinterpret_cast<HWND>(w); }
Window *Desktop();
/* The live top-level windows, front first. */
const std::vector<Window *> &TopLevelWindows();
/* Top-level ancestor (the window itself when top-level). */
Window *TopLevel(Window *w);
/* Visible itself and all its ancestors. */
bool ReallyVisible(Window *w);
/* Window and client rectangles in screen coordinates. */
RECT ScreenWindowRect(Window *w);
RECT ScreenClientRect(Window *w);
/* The part of the screen a window may draw on: client or whole window. */
Region VisibleRegion(Window *w, bool clientOnly);
/* Invalidates every window part under a screen area (it was uncovered). */
void ExposeScreenArea(const RECT &area);
/* Whole window, frame included, must be drawn again. */
void InvalidateWhole(Window *w);
/* The next window with something to paint, parents before children. */
Window *NextWindowToPaint();
/* Non-client metrics computed from the styles. */
RECT ComputeClientRect(Window *w, const RECT &windowRect);
/* Draws the frame, caption and scroll bars of a window. */
void PaintNonClient(Window *w);
/* The desktop picture as it was when the first window appeared. */
void CaptureDesktopPicture();
void PaintDesktopArea(const Region &area);
/* The deepest visible window under a screen point and its hit-test code. */
Window *WindowAtPoint(POINT p, bool honourTransparent, LRESULT *hit);
/* Registers one of the layer's own classes. */
void RegisterLayerClass(const WNDCLASSA &wc);

/* Focus and activation. */
Window *FocusWindow();
Window *ActiveTopLevel();
void ForgetWindow(Window *w); /* a window is being destroyed: drop focus, capture, queue */

/* The queue. */
void PostInternal(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

/* Scroll bars drawn in the non-client area, and their mouse tracking. */
RECT ScrollBarRect(Window *w, int bar); /* window coordinates; empty when not shown */
void PaintScrollBar(HDC windowDC, Window *w, int bar);
void TrackScrollBar(Window *w, int bar, POINT screenPoint);

/* A control's own record, kept as a pointer in the first window extra bytes. */
template <class T> T *ControlState(Window *w)
{
    if (!w || w->extra.size() < sizeof(T *))
        return nullptr;
    T *state;
    memcpy(&state, w->extra.data(), sizeof state);
    return state;
}

/* Gives a control a fresh record at WM_NCCREATE; null when the class has no room for it. */
template <class T> T *AttachControlState(Window *w)
{
    if (!w || w->extra.size() < sizeof(T *))
        return nullptr;
    T *fresh = new T();
    memcpy(w->extra.data(), &fresh, sizeof fresh);
    return fresh;
}

/* Puts text on the clipboard (the backend's, or the layer's own). */
void ClipboardPut(const std::string &text);

/* Registers the layer's own classes (BUTTON, STATIC, EDIT, ...) once. */
void RegisterSystemClasses();
/* Provided by each control's file; RegisterSystemClasses calls them. */
void RegisterButtonClass();
void RegisterStaticClass();
void RegisterEditClass();
void RegisterComboBoxClass();
void RegisterListViewClass();
void RegisterDialogClass();

/* The dialog manager's per-dialog record, reached through Window::dialog. */
struct DialogInfo {
    DLGPROC proc = nullptr;
    LONG_PTR msgResult = 0;
    LONG_PTR user = 0;
    bool ended = false;
    INT_PTR result = 0;
    bool modal = false;
    HFONT font = nullptr;
    int baseX = 6, baseY = 13;   /* dialog base units of its font */
    int defId = IDOK;            /* DM_GETDEFID */
    bool messageBox = false;
};
DialogInfo *DialogOf(Window *w);

} // namespace layer

#endif
