/*
 * Windows: classes, the window tree, positions, styles and text, and the
 * default window procedure.
 *
 * The tree hangs from the desktop window, whose children are the top-level
 * windows (front first); a window's children keep the order they were made
 * in, which is their z-order from the top and so the dialog tab order.  A
 * destroyed window is unlinked and its magic cleared, but its memory is kept:
 * its procedure may still be running further up the stack (a wizard destroys
 * its own main window from inside a command), and an address that is never
 * reused can never be mistaken for a live window.
 *
 * The frame is derived from the styles the way the classic platform does it:
 * a dialog frame (3 pixels) for WS_DLGFRAME or WS_EX_DLGMODALFRAME, else a
 * thin border for WS_BORDER; a sunken client edge (2 pixels) for
 * WS_EX_CLIENTEDGE; a caption bar for WS_CAPTION; scroll bars for WS_VSCROLL
 * and WS_HSCROLL.  DefWindowProcA computes it (WM_NCCALCSIZE), draws it
 * (WM_NCPAINT) and hit-tests it (WM_NCHITTEST).
 */
#include "user/wm.h"

#include <string.h>
#include <strings.h>
#include <algorithm>
#include <unordered_set>

namespace layer {

static std::vector<WindowClass *> classes;
static std::unordered_set<Window *> liveWindows;
static Window *desktop;
static ATOM nextAtom = 0xC000;

static const int kCaptionHeight = 18; /* the bar; one line below it separates the client */
static const int kDialogFrame = 3;
static const int kScrollSize = 16;

Window *WindowLookup(HWND hwnd)
{
    Window *w = reinterpret_cast<Window *>(hwnd);
    if (!w || !liveWindows.count(w) || w->magic != kWindowMagic)
        return nullptr;
    return w;
}

Window *Desktop()
{
    if (!desktop) {
        static WindowClass desktopClass;
        desktopClass.name = "#32769";
        desktopClass.system = true;
        desktop = new Window();
        desktop->magic = kWindowMagic;
        desktop->cls = &desktopClass;
        desktop->style = WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN;
        Screen &screen = GetScreen();
        desktop->rect = {0, 0, screen.width, screen.height};
        desktop->client = desktop->rect;
        desktop->created = true;
        liveWindows.insert(desktop);
        CaptureDesktopPicture();
    }
    return desktop;
}

const std::vector<Window *> &TopLevelWindows() { return Desktop()->children; }

Window *TopLevel(Window *w)
{
    while (w && w->parent && w->parent != desktop)
        w = w->parent;
    return w;
}

bool ReallyVisible(Window *w)
{
    for (; w && w != desktop; w = w->parent)
        if (!(w->style & WS_VISIBLE))
            return false;
    return w == desktop;
}

RECT ScreenWindowRect(Window *w)
{
    RECT r = w->rect;
    for (Window *p = w->parent; p && p != desktop; p = p->parent) {
        int dx = p->rect.left + p->client.left, dy = p->rect.top + p->client.top;
        r.left += dx; r.right += dx; r.top += dy; r.bottom += dy;
    }
    return r;
}

RECT ScreenClientRect(Window *w)
{
    RECT r = ScreenWindowRect(w);
    return {r.left + w->client.left, r.top + w->client.top, r.left + w->client.right,
            r.top + w->client.bottom};
}

static bool HasDialogFrame(DWORD style, DWORD exStyle)
{
    return (exStyle & WS_EX_DLGMODALFRAME) || ((style & WS_DLGFRAME) && !(style & WS_THICKFRAME));
}

RECT ComputeClientRect(Window *w, const RECT &wr)
{
    RECT c = {0, 0, wr.right - wr.left, wr.bottom - wr.top};
    int frame = 0;
    if (HasDialogFrame(w->style, w->exStyle))
        frame = kDialogFrame;
    else if (w->style & WS_THICKFRAME)
        frame = 4;
    else if (w->style & WS_BORDER)
        frame = 1;
    if (w->exStyle & WS_EX_CLIENTEDGE)
        frame += 2;
    else if (w->exStyle & WS_EX_STATICEDGE)
        frame += 1;
    InflateRect(&c, -frame, -frame);
    if ((w->style & WS_CAPTION) == WS_CAPTION)
        c.top += kCaptionHeight + 1;
    if (w->style & WS_VSCROLL)
        c.right -= kScrollSize;
    if (w->style & WS_HSCROLL)
        c.bottom -= kScrollSize;
    if (c.right < c.left)
        c.right = c.left;
    if (c.bottom < c.top)
        c.bottom = c.top;
    return c;
}

/* The caption bar and its close box, in window coordinates. */
static RECT CaptionRect(Window *w)
{
    int frame = HasDialogFrame(w->style, w->exStyle) ? kDialogFrame : (w->style & WS_THICKFRAME) ? 4 : 1;
    int width = w->rect.right - w->rect.left;
    return {frame, frame, width - frame, frame + kCaptionHeight};
}

static RECT CloseBoxRect(Window *w)
{
    RECT cap = CaptionRect(w);
    return {cap.right - 18, cap.top + 2, cap.right - 2, cap.top + 16};
}

/* A caption's close box is disabled for a class with CS_NOCLOSE, and for a
 * message box that has no Cancel answer. */
static bool CloseBoxEnabled(Window *w)
{
    if (w->cls && (w->cls->style & CS_NOCLOSE))
        return false;
    return true;
}

static HFONT CaptionFont()
{
    static HFONT font;
    if (!font)
        font = CreateFontA(-11, 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "MS Sans Serif");
    return font;
}

void PaintNonClient(Window *w)
{
    w->ncPaint = false;
    if (!ReallyVisible(w))
        return;
    HDC dc = GetWindowDC(H(w));
    if (!dc)
        return;
    RECT r = {0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
    if (HasDialogFrame(w->style, w->exStyle)) {
        DrawEdge(dc, &r, EDGE_RAISED, BF_RECT | BF_ADJUST);
        FrameRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
        InflateRect(&r, -1, -1);
    } else if (w->style & WS_THICKFRAME) {
        DrawEdge(dc, &r, EDGE_RAISED, BF_RECT | BF_ADJUST);
        FrameRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
        InflateRect(&r, -1, -1);
        FrameRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
        InflateRect(&r, -1, -1);
    } else if (w->style & WS_BORDER) {
        FrameRect(dc, &r, GetSysColorBrush(COLOR_WINDOWFRAME));
        InflateRect(&r, -1, -1);
    }
    if (w->exStyle & WS_EX_CLIENTEDGE)
        DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    else if (w->exStyle & WS_EX_STATICEDGE)
        DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);

    if ((w->style & WS_CAPTION) == WS_CAPTION) {
        RECT cap = CaptionRect(w);
        bool active = TopLevel(w) == ActiveTopLevel();
        FillRect(dc, &cap, GetSysColorBrush(active ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION));
        RECT line = {cap.left, cap.bottom, cap.right, cap.bottom + 1};
        FillRect(dc, &line, GetSysColorBrush(COLOR_BTNFACE));
        HGDIOBJ oldFont = SelectObject(dc, CaptionFont());
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(active ? COLOR_CAPTIONTEXT : COLOR_INACTIVECAPTIONTEXT));
        RECT textRect = {cap.left + 3, cap.top, cap.right - 22, cap.bottom};
        DrawTextA(dc, w->text.c_str(), (int)w->text.size(), &textRect,
                  DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        if (oldFont)
            SelectObject(dc, oldFont);
        if (w->style & WS_SYSMENU) {
            RECT box = CloseBoxRect(w);
            FillRect(dc, &box, GetSysColorBrush(COLOR_BTNFACE));
            RECT edge = box;
            DrawEdge(dc, &edge, w->closePressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
            bool enabled = CloseBoxEnabled(w);
            int shift = w->closePressed ? 1 : 0;
            int cx = (box.left + box.right) / 2 - 1 + shift, cy = (box.top + box.bottom) / 2 - 1 + shift;
            /* The cross: two thick diagonals; grey and embossed when disabled. */
            for (int pass = enabled ? 1 : 0; pass < 2; pass++) {
                COLORREF ink = enabled ? 0 : (pass == 0 ? GetSysColor(COLOR_3DHILIGHT)
                                                       : GetSysColor(COLOR_GRAYTEXT));
                int off = pass == 0 ? 1 : 0;
                for (int i = -3; i <= 3; i++) {
                    SetPixel(dc, cx + i + off, cy + i + off, ink);
                    SetPixel(dc, cx + i + 1 + off, cy + i + off, ink);
                    SetPixel(dc, cx - i + off, cy + i + off, ink);
                    SetPixel(dc, cx - i + 1 + off, cy + i + off, ink);
                }
            }
        }
    }
    if (w->style & WS_VSCROLL)
        PaintScrollBar(dc, w, SB_VERT);
    if (w->style & WS_HSCROLL)
        PaintScrollBar(dc, w, SB_HORZ);
    if ((w->style & (WS_VSCROLL | WS_HSCROLL)) == (WS_VSCROLL | WS_HSCROLL)) {
        RECT v = ScrollBarRect(w, SB_VERT), h = ScrollBarRect(w, SB_HORZ);
        RECT corner = {v.left, h.top, v.right, h.bottom};
        FillRect(dc, &corner, GetSysColorBrush(COLOR_BTNFACE));
    }
    ReleaseDC(H(w), dc);
}

static LRESULT HitTest(Window *w, POINT screenPt)
{
    RECT wr = ScreenWindowRect(w);
    if (!PtInRect(&wr, screenPt))
        return HTNOWHERE;
    POINT p = {screenPt.x - wr.left, screenPt.y - wr.top};
    if (PtInRect(&w->client, p))
        return HTCLIENT;
    if ((w->style & WS_CAPTION) == WS_CAPTION) {
        RECT cap = CaptionRect(w);
        if (PtInRect(&cap, p)) {
            RECT box = CloseBoxRect(w);
            if ((w->style & WS_SYSMENU) && PtInRect(&box, p))
                return HTCLOSE;
            return HTCAPTION;
        }
    }
    if (w->style & WS_VSCROLL) {
        RECT sb = ScrollBarRect(w, SB_VERT);
        if (PtInRect(&sb, p))
            return HTVSCROLL;
    }
    if (w->style & WS_HSCROLL) {
        RECT sb = ScrollBarRect(w, SB_HORZ);
        if (PtInRect(&sb, p))
            return HTHSCROLL;
    }
    return HTBORDER;
}

/* Holds the close box down until the button is released; a release over
 * the box closes the window. */
static void TrackCloseBox(Window *w)
{
    if (!CloseBoxEnabled(w))
        return;
    HWND hwnd = H(w);
    SetCapture(hwnd);
    w->closePressed = true;
    PaintNonClient(w);
    bool inside = true, released = false;
    while (!released && WindowLookup(hwnd) && GetCapture() == hwnd) {
        MSG msg;
        if (!GetMessageA(&msg, NULL, 0, 0)) {
            PostQuitMessage((int)msg.wParam);
            break;
        }
        if (msg.message == WM_MOUSEMOVE || msg.message == WM_LBUTTONUP) {
            POINT p = {GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
            ClientToScreen(hwnd, &p);
            RECT wr = ScreenWindowRect(w), box = CloseBoxRect(w);
            OffsetRect(&box, wr.left, wr.top);
            bool now = PtInRect(&box, p) != 0;
            if (now != inside) {
                inside = now;
                w->closePressed = inside;
                PaintNonClient(w);
            }
            if (msg.message == WM_LBUTTONUP)
                released = true;
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    if (!WindowLookup(hwnd))
        return;
    if (GetCapture() == hwnd)
        ReleaseCapture();
    w->closePressed = false;
    PaintNonClient(w);
    if (released && inside)
        SendMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
}

} // namespace layer

using namespace layer;

static WindowClass *FindClass(LPCSTR name, HINSTANCE instance)
{
    RegisterSystemClasses();
    /* Application classes stand ahead of the system ones, so they win. */
    (void)instance;
    for (WindowClass *c : classes)
        if (strcasecmp(c->name.c_str(), name) == 0)
            return c;
    return nullptr;
}

static std::vector<std::pair<ATOM, WindowClass *>> atoms;

static WindowClass *FindClassAny(LPCSTR name, HINSTANCE instance)
{
    if (IS_INTRESOURCE(name)) {
        ATOM a = (ATOM)(ULONG_PTR)name;
        for (auto &p : atoms)
            if (p.first == a)
                return p.second;
        return nullptr;
    }
    return FindClass(name, instance);
}

extern "C" ATOM WINAPI RegisterClassA(const WNDCLASSA *wc)
{
    if (!wc || !wc->lpszClassName || !wc->lpfnWndProc || wc->cbWndExtra < 0 || wc->cbClsExtra < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    RegisterSystemClasses();
    if (IS_INTRESOURCE(wc->lpszClassName)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    for (WindowClass *c : classes)
        if (!c->system && strcasecmp(c->name.c_str(), wc->lpszClassName) == 0 && c->instance == wc->hInstance) {
            SetLastError(ERROR_CLASS_ALREADY_EXISTS);
            return 0;
        }
    WindowClass *c = new WindowClass();
    c->name = wc->lpszClassName;
    c->style = wc->style;
    c->proc = wc->lpfnWndProc;
    c->instance = wc->hInstance;
    c->icon = wc->hIcon;
    c->cursor = wc->hCursor;
    c->background = wc->hbrBackground;
    if (wc->lpszMenuName && !IS_INTRESOURCE(wc->lpszMenuName))
        c->menuName = wc->lpszMenuName;
    c->classExtra = wc->cbClsExtra;
    c->windowExtra = wc->cbWndExtra;
    classes.insert(classes.begin(), c); /* an application's class hides a system one of the same name */
    ATOM atom = nextAtom++;
    atoms.push_back({atom, c});
    return atom;
}

namespace layer {
/* The layer registers its own classes through this, marked as system classes. */
void RegisterLayerClass(const WNDCLASSA &wc)
{
    for (WindowClass *c : classes)
        if (c->system && strcasecmp(c->name.c_str(), wc.lpszClassName) == 0)
            return;
    WindowClass *c = new WindowClass();
    c->name = wc.lpszClassName;
    c->style = wc.style;
    c->proc = wc.lpfnWndProc;
    c->cursor = wc.hCursor;
    c->background = wc.hbrBackground;
    c->windowExtra = wc.cbWndExtra;
    c->system = true;
    classes.push_back(c);
    atoms.push_back({nextAtom++, c});
}
} // namespace layer

extern "C" BOOL WINAPI UnregisterClassA(LPCSTR name, HINSTANCE instance)
{
    for (size_t i = 0; i < classes.size(); i++) {
        WindowClass *c = classes[i];
        if (!c->system && !IS_INTRESOURCE(name) && strcasecmp(c->name.c_str(), name) == 0) {
            for (Window *w : liveWindows)
                if (w->cls == c) {
                    SetLastError(ERROR_CLASS_DOES_NOT_EXIST + 2); /* ERROR_CLASS_HAS_WINDOWS */
                    return FALSE;
                }
            classes.erase(classes.begin() + i);
            return TRUE;
        }
    }
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
}

extern "C" BOOL WINAPI GetClassInfoA(HINSTANCE instance, LPCSTR name, LPWNDCLASSA out)
{
    WindowClass *c = FindClassAny(name, instance);
    if (!c || !out) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    out->style = c->style;
    out->lpfnWndProc = c->proc;
    out->cbClsExtra = c->classExtra;
    out->cbWndExtra = c->windowExtra;
    out->hInstance = c->instance;
    out->hIcon = c->icon;
    out->hCursor = c->cursor;
    out->hbrBackground = c->background;
    out->lpszMenuName = c->menuName.empty() ? nullptr : c->menuName.c_str();
    out->lpszClassName = c->name.c_str();
    return TRUE;
}

extern "C" int WINAPI GetClassNameA(HWND hwnd, LPSTR buffer, int size)
{
    Window *w = WindowLookup(hwnd);
    if (!w || !buffer || size <= 0) {
        SetLastError(w ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    int n = std::min((int)w->cls->name.size(), size - 1);
    memcpy(buffer, w->cls->name.data(), n);
    buffer[n] = 0;
    return n;
}

static void SendSizeAndMove(Window *w)
{
    SendMessageA(H(w), WM_SIZE, 0,
                 MAKELPARAM(w->client.right - w->client.left, w->client.bottom - w->client.top));
    POINT origin = {w->rect.left + w->client.left, w->rect.top + w->client.top};
    SendMessageA(H(w), WM_MOVE, 0, MAKELPARAM(origin.x, origin.y));
}

static void RecalcClient(Window *w)
{
    RECT r = w->rect;
    SendMessageA(H(w), WM_NCCALCSIZE, FALSE, (LPARAM)&r);
    /* The procedure answers with the client rectangle in parent coordinates. */
    w->client = {r.left - w->rect.left, r.top - w->rect.top, r.right - w->rect.left, r.bottom - w->rect.top};
}

static void Unlink(Window *w)
{
    if (!w->parent)
        return;
    auto &v = w->parent->children;
    v.erase(std::remove(v.begin(), v.end(), w), v.end());
}

extern "C" HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, int x,
                                       int y, int width, int height, HWND parentHwnd, HMENU menu,
                                       HINSTANCE instance, LPVOID param)
{
    WindowClass *cls = className ? FindClassAny(className, instance) : nullptr;
    if (!cls) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return NULL;
    }
    Window *parent = nullptr, *owner = nullptr;
    if (style & WS_CHILD) {
        parent = WindowLookup(parentHwnd);
        if (!parent) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE + 6); /* ERROR_TLW_WITH_WSCHILD */
            return NULL;
        }
    } else {
        parent = Desktop();
        if (parentHwnd) {
            Window *o = WindowLookup(parentHwnd);
            if (!o) {
                SetLastError(ERROR_INVALID_WINDOW_HANDLE);
                return NULL;
            }
            owner = TopLevel(o);
        }
    }
    if (x == CW_USEDEFAULT) {
        x = 0;
        y = 0;
    }
    if (width == CW_USEDEFAULT) {
        width = GetScreen().width / 2;
        height = GetScreen().height / 2;
    }
    Window *w = new Window();
    w->magic = kWindowMagic;
    w->cls = cls;
    w->proc = cls->proc;
    w->parent = parent;
    w->owner = owner;
    w->style = style;
    w->exStyle = exStyle;
    w->rect = {x, y, x + std::max(width, 0), y + std::max(height, 0)};
    w->id = (style & WS_CHILD) ? (LONG_PTR)menu : 0;
    w->instance = instance;
    w->extra.assign(cls->windowExtra, 0);
    liveWindows.insert(w);
    if (parent == Desktop())
        parent->children.insert(parent->children.begin(), w);
    else
        parent->children.push_back(w);

    CREATESTRUCTA cs;
    cs.lpCreateParams = param;
    cs.hInstance = instance;
    cs.hMenu = menu;
    cs.hwndParent = parentHwnd;
    cs.cy = height;
    cs.cx = width;
    cs.y = y;
    cs.x = x;
    cs.style = (LONG)style;
    cs.lpszName = title;
    cs.lpszClass = className;
    cs.dwExStyle = exStyle;
    HWND hwnd = H(w);
    if (!SendMessageA(hwnd, WM_NCCREATE, 0, (LPARAM)&cs)) {
        DestroyWindow(hwnd);
        SetLastError(ERROR_INVALID_WINDOW_HANDLE + 7);
        return NULL;
    }
    if (!WindowLookup(hwnd))
        return NULL;
    RecalcClient(w);
    if (SendMessageA(hwnd, WM_CREATE, 0, (LPARAM)&cs) == -1) {
        if (WindowLookup(hwnd))
            DestroyWindow(hwnd);
        SetLastError(ERROR_INVALID_WINDOW_HANDLE + 7);
        return NULL;
    }
    if (!WindowLookup(hwnd))
        return NULL;
    w->created = true;
    SendSizeAndMove(w);
    if (w->style & WS_VISIBLE) {
        w->style &= ~WS_VISIBLE;
        ShowWindow(hwnd, SW_SHOW);
    }
    return WindowLookup(hwnd) ? hwnd : NULL;
}

extern "C" BOOL WINAPI DestroyWindow(HWND hwnd)
{
    Window *w = WindowLookup(hwnd);
    if (!w || w == Desktop()) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (w->destroying)
        return TRUE;
    w->destroying = true;
    /* Owned windows go first, then the window itself with its children. */
    std::vector<Window *> owned;
    for (Window *t : TopLevelWindows())
        if (t->owner == w)
            owned.push_back(t);
    for (Window *t : owned)
        DestroyWindow(H(t));
    bool wasVisible = ReallyVisible(w);
    RECT area = ScreenWindowRect(w);
    bool wasActive = w == ActiveTopLevel();
    w->style &= ~WS_VISIBLE;
    if (wasVisible)
        ExposeScreenArea(area);
    SendMessageA(hwnd, WM_DESTROY, 0, 0);
    std::vector<Window *> kids = w->children;
    for (Window *c : kids)
        if (WindowLookup(H(c)))
            DestroyWindow(H(c));
    SendMessageA(hwnd, WM_NCDESTROY, 0, 0);
    ForgetWindow(w);
    Unlink(w);
    liveWindows.erase(w);
    w->magic = 0;
    w->children.clear();
    w->extra.clear();
    w->update.Clear();
    if (wasActive) {
        Window *next = nullptr;
        if (w->owner && WindowLookup(H(w->owner)) && ReallyVisible(w->owner) &&
            IsWindowEnabled(H(w->owner)))
            next = w->owner;
        else
            for (Window *t : TopLevelWindows())
                if ((t->style & WS_VISIBLE) && !(t->style & WS_DISABLED)) {
                    next = t;
                    break;
                }
        SetActiveWindow(next ? H(next) : NULL);
    }
    return TRUE;
}

extern "C" BOOL WINAPI IsWindow(HWND hwnd) { return WindowLookup(hwnd) != nullptr; }

extern "C" BOOL WINAPI IsWindowVisible(HWND hwnd)
{
    Window *w = WindowLookup(hwnd);
    return w && ReallyVisible(w);
}

extern "C" BOOL WINAPI IsWindowEnabled(HWND hwnd)
{
    Window *w = WindowLookup(hwnd);
    return w && !(w->style & WS_DISABLED);
}

extern "C" BOOL WINAPI IsChild(HWND parentHwnd, HWND hwnd)
{
    Window *p = WindowLookup(parentHwnd), *w = WindowLookup(hwnd);
    if (!p || !w)
        return FALSE;
    for (Window *a = w; a && (a->style & WS_CHILD); a = a->parent)
        if (a->parent == p)
            return TRUE;
    return FALSE;
}

extern "C" BOOL WINAPI ShowWindow(HWND hwnd, int command)
{
    Window *w = WindowLookup(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    bool was = (w->style & WS_VISIBLE) != 0;
    if (command == SW_HIDE) {
        if (!was)
            return FALSE;
        SendMessageA(hwnd, WM_SHOWWINDOW, FALSE, 0);
        bool visible = ReallyVisible(w);
        RECT area = ScreenWindowRect(w);
        w->style &= ~WS_VISIBLE;
        if (visible)
            ExposeScreenArea(area);
        if (w == ActiveTopLevel()) {
            Window *next = w->owner && IsWindowEnabled(H(w->owner)) ? w->owner : nullptr;
            SetActiveWindow(next ? H(next) : NULL);
        }
        Window *focus = FocusWindow();
        if (focus && (focus == w || IsChild(hwnd, H(focus))))
            SetFocus(NULL);
        return TRUE;
    }
    if (!was) {
        SendMessageA(hwnd, WM_SHOWWINDOW, TRUE, 0);
        w->style |= WS_VISIBLE;
        InvalidateWhole(w);
    }
    bool activate = !(w->style & WS_CHILD) && command != SW_SHOWNA && command != SW_SHOWNOACTIVATE &&
                    command != SW_SHOWMINNOACTIVE;
    if (activate && !was)
        SetActiveWindow(hwnd);
    return was;
}

extern "C" BOOL WINAPI EnableWindow(HWND hwnd, BOOL enable)
{
    Window *w = WindowLookup(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    bool wasDisabled = (w->style & WS_DISABLED) != 0;
    if (enable && wasDisabled) {
        w->style &= ~WS_DISABLED;
        SendMessageA(hwnd, WM_ENABLE, TRUE, 0);
        if (w->style & WS_CHILD)
            InvalidateWhole(w);
    } else if (!enable && !wasDisabled) {
        w->style |= WS_DISABLED;
        Window *focus = FocusWindow();
        if (focus && (focus == w || IsChild(hwnd, H(focus))))
            SetFocus(NULL);
        if (GetCapture() == hwnd)
            ReleaseCapture();
        SendMessageA(hwnd, WM_ENABLE, FALSE, 0);
        if (w->style & WS_CHILD)
            InvalidateWhole(w);
    }
    return wasDisabled;
}

extern "C" BOOL WINAPI SetWindowPos(HWND hwnd, HWND after, int x, int y, int cx, int cy, UINT flags)
{
    Window *w = WindowLookup(hwnd);
    if (!w || w == Desktop()) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    bool visible = ReallyVisible(w);
    RECT oldScreen = ScreenWindowRect(w);
    RECT r = w->rect;
    if (!(flags & SWP_NOMOVE)) {
        OffsetRect(&r, x - r.left, y - r.top);
    }
    if (!(flags & SWP_NOSIZE)) {
        r.right = r.left + std::max(cx, 0);
        r.bottom = r.top + std::max(cy, 0);
    }
    bool moved = r.left != w->rect.left || r.top != w->rect.top;
    bool sized = (r.right - r.left) != (w->rect.right - w->rect.left) ||
                 (r.bottom - r.top) != (w->rect.bottom - w->rect.top);
    bool reordered = false;
    if (!(flags & SWP_NOZORDER) && w->parent) {
        auto &v = w->parent->children;
        Window *a = (after == HWND_TOP || after == HWND_TOPMOST || after == HWND_NOTOPMOST ||
                     after == HWND_BOTTOM) ? nullptr : WindowLookup(after);
        v.erase(std::remove(v.begin(), v.end(), w), v.end());
        if (after == HWND_BOTTOM)
            v.push_back(w);
        else if (a && a->parent == w->parent)
            v.insert(std::find(v.begin(), v.end(), a) + 1, w);
        else
            v.insert(v.begin(), w);
        reordered = true;
    }
    w->rect = r;
    if (moved || sized || (flags & SWP_FRAMECHANGED))
        RecalcClient(w);
    if (flags & SWP_SHOWWINDOW)
        w->style |= WS_VISIBLE;
    if (flags & SWP_HIDEWINDOW)
        w->style &= ~WS_VISIBLE;
    bool nowVisible = ReallyVisible(w);
    if (!(flags & SWP_NOREDRAW)) {
        if (visible && (moved || sized || reordered || !nowVisible))
            ExposeScreenArea(oldScreen);
        if (nowVisible && (moved || sized || reordered || !visible || (flags & SWP_FRAMECHANGED)))
            InvalidateWhole(w);
    }
    if (moved || sized)
        SendSizeAndMove(w);
    if ((flags & SWP_SHOWWINDOW) && !visible && !(flags & SWP_NOACTIVATE) && !(w->style & WS_CHILD))
        SetActiveWindow(hwnd);
    return TRUE;
}

extern "C" BOOL WINAPI MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint)
{
    return SetWindowPos(hwnd, NULL, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE |
                                                         (repaint ? 0 : SWP_NOREDRAW));
}

extern "C" BOOL WINAPI GetWindowRect(HWND hwnd, LPRECT rect)
{
    Window *w = WindowLookup(hwnd);
    if (!w || !rect) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    *rect = ScreenWindowRect(w);
    return TRUE;
}

extern "C" BOOL WINAPI GetClientRect(HWND hwnd, LPRECT rect)
{
    Window *w = WindowLookup(hwnd);
    if (!w || !rect) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    *rect = {0, 0, w->client.right - w->client.left, w->client.bottom - w->client.top};
    return TRUE;
}

extern "C" BOOL WINAPI ClientToScreen(HWND hwnd, LPPOINT p)
{
    Window *w = WindowLookup(hwnd);
    if (!w || !p)
        return FALSE;
    RECT c = ScreenClientRect(w);
    p->x += c.left;
    p->y += c.top;
    return TRUE;
}

extern "C" BOOL WINAPI ScreenToClient(HWND hwnd, LPPOINT p)
{
    Window *w = WindowLookup(hwnd);
    if (!w || !p)
        return FALSE;
    RECT c = ScreenClientRect(w);
    p->x -= c.left;
    p->y -= c.top;
    return TRUE;
}

extern "C" int WINAPI MapWindowPoints(HWND from, HWND to, LPPOINT points, UINT count)
{
    POINT o1 = {0, 0}, o2 = {0, 0};
    if (from)
        ClientToScreen(from, &o1);
    if (to)
        ClientToScreen(to, &o2);
    int dx = o1.x - o2.x, dy = o1.y - o2.y;
    for (UINT i = 0; i < count; i++) {
        points[i].x += dx;
        points[i].y += dy;
    }
    return MAKELONG((WORD)(SHORT)dx, (WORD)(SHORT)dy);
}

extern "C" HWND WINAPI GetParent(HWND hwnd)
{
    Window *w = WindowLookup(hwnd);
    if (!w)
        return NULL;
    if (w->style & WS_CHILD)
        return w->parent == Desktop() ? NULL : H(w->parent);
    return w->owner ? H(w->owner) : NULL;
}

extern "C" HWND WINAPI GetWindow(HWND hwnd, UINT relation)
{
    Window *w = WindowLookup(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return NULL;
    }
    if (relation == GW_CHILD)
        return w->children.empty() ? NULL : H(w->children.front());
    if (relation == GW_OWNER)
        return w->owner ? H(w->owner) : NULL;
    if (!w->parent)
        return NULL;
    auto &v = w->parent->children;
    size_t i = std::find(v.begin(), v.end(), w) - v.begin();
    switch (relation) {
    case GW_HWNDFIRST: return H(v.front());
    case GW_HWNDLAST: return H(v.back());
    case GW_HWNDNEXT: return i + 1 < v.size() ? H(v[i + 1]) : NULL;
    case GW_HWNDPREV: return i > 0 ? H(v[i - 1]) : NULL;
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return NULL;
}

extern "C" HWND WINAPI GetDesktopWindow(void) { return H(Desktop()); }

/* The deepest visible window under a screen point, skipping windows that
 * report themselves transparent to the mouse. */
namespace layer {
Window *WindowAtPoint(POINT p, bool honourTransparent, LRESULT *hit)
{
    std::vector<Window *> tops = TopLevelWindows();
    for (Window *t : tops) {
        if (!(t->style & WS_VISIBLE))
            continue;
        RECT r = ScreenWindowRect(t);
        if (!PtInRect(&r, p))
            continue;
        Window *w = t;
        for (;;) {
            RECT c = ScreenClientRect(w);
            if (!PtInRect(&c, p))
                break;
            Window *found = nullptr;
            for (Window *child : w->children) {
                if (!(child->style & WS_VISIBLE))
                    continue;
                RECT cr = ScreenWindowRect(child);
                if (!PtInRect(&cr, p))
                    continue;
                if (honourTransparent && !(child->style & WS_DISABLED)) {
                    LRESULT h = SendMessageA(H(child), WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y));
                    if (h == HTTRANSPARENT)
                        continue;
                }
                found = child;
                break;
            }
            if (!found)
                break;
            w = found;
        }
        LRESULT h = (w->style & WS_DISABLED) ? HTCLIENT : SendMessageA(H(w), WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y));
        if (hit)
            *hit = h;
        return w;
    }
    if (hit)
        *hit = HTNOWHERE;
    return nullptr;
}
} // namespace layer

extern "C" HWND WINAPI WindowFromPoint(POINT p)
{
    Window *w = WindowAtPoint(p, true, nullptr);
    return w ? H(w) : NULL;
}

static LONG_PTR GetLongCommon(Window *w, int index, bool wide)
{
    switch (index) {
    case GWL_STYLE: return (LONG)w->style;
    case GWL_EXSTYLE: return (LONG)w->exStyle;
    case GWL_ID: return w->id;
    case GWLP_WNDPROC: return (LONG_PTR)w->proc;
    case GWLP_HINSTANCE: return (LONG_PTR)w->instance;
    case GWLP_HWNDPARENT: return (LONG_PTR)GetParent(H(w));
    case GWLP_USERDATA: return w->userData;
    }
    if (index >= 0) {
        if (DialogInfo *d = DialogOf(w)) {
            if (index == DWLP_MSGRESULT) return d->msgResult;
            if (index == DWLP_DLGPROC) return (LONG_PTR)d->proc;
            if (index == DWLP_USER) return d->user;
        }
        size_t size = wide ? sizeof(LONG_PTR) : sizeof(LONG);
        if ((size_t)index + size <= w->extra.size()) {
            if (wide) {
                LONG_PTR v;
                memcpy(&v, &w->extra[index], size);
                return v;
            }
            LONG v;
            memcpy(&v, &w->extra[index], size);
            return v;
        }
    }
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
}

static LONG_PTR SetLongCommon(Window *w, int index, LONG_PTR value, bool wide)
{
    LONG_PTR old = GetLongCommon(w, index, wide);
    switch (index) {
    case GWL_STYLE: w->style = (DWORD)value; return old;
    case GWL_EXSTYLE: w->exStyle = (DWORD)value; return old;
    case GWL_ID: w->id = value; return old;
    case GWLP_WNDPROC: w->proc = (WNDPROC)value; return old;
    case GWLP_HINSTANCE: w->instance = (HINSTANCE)value; return old;
    case GWLP_USERDATA: w->userData = value; return old;
    case GWLP_HWNDPARENT: {
        Window *o = WindowLookup((HWND)value);
        w->owner = o ? TopLevel(o) : nullptr;
        return old;
    }
    }
    if (index >= 0) {
        if (DialogInfo *d = DialogOf(w)) {
            if (index == DWLP_MSGRESULT) { d->msgResult = value; return old; }
            if (index == DWLP_DLGPROC) { d->proc = (DLGPROC)value; return old; }
            if (index == DWLP_USER) { d->user = value; return old; }
        }
        size_t size = wide ? sizeof(LONG_PTR) : sizeof(LONG);
        if ((size_t)index + size <= w->extra.size()) {
            if (wide)
                memcpy(&w->extra[index], &value, size);
            else {
                LONG v = (LONG)value;
                memcpy(&w->extra[index], &v, size);
            }
            return old;
        }
    }
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
}

extern "C" LONG WINAPI GetWindowLongA(HWND hwnd, int index)
{
    Window *w = WindowLookup(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return (LONG)GetLongCommon(w, index, false);
}

extern "C" LONG WINAPI SetWindowLongA(HWND hwnd, int index, LONG value)
{
    Window *w = WindowLookup(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return (LONG)SetLongCommon(w, index, value, false);
}

extern "C" LONG_PTR WINAPI GetWindowLongPtrA(HWND hwnd, int index)
{
    Window *w = WindowLookup(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return GetLongCommon(w, index, true);
}

extern "C" LONG_PTR WINAPI SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value)
{
    Window *w = WindowLookup(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return SetLongCommon(w, index, value, true);
}

extern "C" BOOL WINAPI SetWindowTextA(HWND hwnd, LPCSTR text)
{
    if (!WindowLookup(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return (BOOL)SendMessageA(hwnd, WM_SETTEXT, 0, (LPARAM)text);
}

extern "C" int WINAPI GetWindowTextA(HWND hwnd, LPSTR buffer, int size)
{
    if (!WindowLookup(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        if (buffer && size > 0)
            buffer[0] = 0;
        return 0;
    }
    if (!buffer || size <= 0)
        return 0;
    return (int)SendMessageA(hwnd, WM_GETTEXT, (WPARAM)size, (LPARAM)buffer);
}

extern "C" int WINAPI GetWindowTextLengthA(HWND hwnd)
{
    if (!WindowLookup(hwnd))
        return 0;
    return (int)SendMessageA(hwnd, WM_GETTEXTLENGTH, 0, 0);
}

extern "C" LRESULT WINAPI CallWindowProcA(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!proc)
        return 0;
    return proc(hwnd, message, wParam, lParam);
}

extern "C" int WINAPI GetSystemMetrics(int index)
{
    switch (index) {
    case SM_CXSCREEN: return GetScreen().width;
    case SM_CYSCREEN: return GetScreen().height;
    case SM_CXVSCROLL: case SM_CYHSCROLL: case SM_CYVTHUMB: case SM_CXHTHUMB: return kScrollSize;
    case SM_CYCAPTION: return kCaptionHeight + 1;
    case SM_CXBORDER: case SM_CYBORDER: return 1;
    case SM_CXDLGFRAME: case SM_CYDLGFRAME: return kDialogFrame;
    case SM_CXICON: case SM_CYICON: return 32;
    case SM_CXSMICON: case SM_CYSMICON: return 16;
    case SM_CXEDGE: case SM_CYEDGE: return 2;
    }
    return 0;
}

/* The parts of the default procedure that deal with text. */
static LRESULT DefaultText(Window *w, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SETTEXT:
        w->text = lParam ? (const char *)lParam : "";
        if ((w->style & WS_CAPTION) == WS_CAPTION)
            w->ncPaint = true;
        return TRUE;
    case WM_GETTEXT: {
        if (!wParam || !lParam)
            return 0;
        size_t n = std::min(w->text.size(), (size_t)wParam - 1);
        memcpy((char *)lParam, w->text.data(), n);
        ((char *)lParam)[n] = 0;
        return (LRESULT)n;
    }
    case WM_GETTEXTLENGTH:
        return (LRESULT)w->text.size();
    }
    return 0;
}

extern "C" LRESULT WINAPI DefWindowProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Window *w = WindowLookup(hwnd);
    if (!w)
        return 0;
    switch (message) {
    case WM_NCCREATE: {
        CREATESTRUCTA *cs = (CREATESTRUCTA *)lParam;
        if (cs && cs->lpszName && !IS_INTRESOURCE(cs->lpszName))
            w->text = cs->lpszName;
        return TRUE;
    }
    case WM_NCCALCSIZE: {
        RECT *r = (RECT *)lParam;
        if (r) {
            RECT c = ComputeClientRect(w, *r);
            OffsetRect(&c, r->left, r->top);
            *r = c;
        }
        return 0;
    }
    case WM_NCHITTEST:
        return HitTest(w, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
    case WM_NCPAINT:
        PaintNonClient(w);
        return 0;
    case WM_NCACTIVATE:
        w->ncPaint = true;
        return TRUE;
    case WM_ACTIVATE:
        /* An activated window takes the focus unless a window inside it has it. */
        if (LOWORD(wParam) != WA_INACTIVE) {
            HWND f = GetFocus();
            if (f != hwnd && !IsChild(hwnd, f))
                SetFocus(hwnd);
        }
        return 0;
    case WM_ERASEBKGND: {
        HBRUSH brush = w->cls->background;
        if (!brush)
            return 0;
        RECT r;
        GetClientRect(hwnd, &r);
        FillRect((HDC)wParam, &r, brush);
        return 1;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_SETTEXT:
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
        return DefaultText(w, message, wParam, lParam);
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE)
            SendMessageA(hwnd, WM_CLOSE, 0, 0);
        return 0;
    case WM_NCLBUTTONDOWN:
        if (wParam == HTCLOSE)
            TrackCloseBox(w);
        else if (wParam == HTVSCROLL || wParam == HTHSCROLL)
            TrackScrollBar(w, wParam == HTVSCROLL ? SB_VERT : SB_HORZ,
                           {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_SYSKEYDOWN:
        if (wParam == VK_F4 && !(w->style & WS_CHILD))
            SendMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        return 0;
    case WM_MOUSEWHEEL:
        if ((w->style & WS_CHILD) && w->parent)
            return SendMessageA(H(w->parent), message, wParam, lParam);
        return 0;
    case WM_MOUSEACTIVATE:
        return 1; /* MA_ACTIVATE */
    case WM_SETCURSOR:
        return 0;
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: {
        HDC dc = (HDC)wParam;
        bool editLike = message == WM_CTLCOLOREDIT || message == WM_CTLCOLORLISTBOX;
        SetTextColor(dc, GetSysColor(editLike ? COLOR_WINDOWTEXT : COLOR_BTNTEXT));
        SetBkColor(dc, GetSysColor(editLike ? COLOR_WINDOW : COLOR_BTNFACE));
        return (LRESULT)GetSysColorBrush(editLike ? COLOR_WINDOW : COLOR_BTNFACE);
    }
    case WM_WINDOWPOSCHANGED:
        return 0;
    case WM_GETFONT:
        return 0;
    }
    return 0;
}
