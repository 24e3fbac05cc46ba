/*
 * Painting: visible regions, update regions and the paint device contexts.
 *
 * There is no backing store.  Every window draws straight onto the screen
 * through a device context clipped to the part of it that is visible: its
 * own rectangle, inside each ancestor's client area, minus the siblings in
 * front of it (at every level of the tree, top-level windows included) and,
 * for a client context, minus its own visible children.  Parents therefore
 * never draw over their children, and children repaint after their parent.
 *
 * When something moves away, the screen area it uncovered is handed to
 * ExposeScreenArea, which adds that area to the update region of every window
 * under it (and marks frames for repainting).  The message loop turns update
 * regions into WM_PAINT, parents before children; BeginPaint draws the frame
 * if it is due, erases the background, clips to the update region and
 * validates it.  The desktop has no procedure: the parts of it that come
 * back into view are copied at once from the picture taken when the first
 * window appeared.
 */
#include "user/wm.h"

#include <algorithm>

namespace layer {

static Surface desktopPicture;
static bool desktopTaken;

void CaptureDesktopPicture()
{
    if (desktopTaken)
        return;
    desktopTaken = true;
    desktopPicture = GetScreen().framebuffer;
}

void PaintDesktopArea(const Region &area)
{
    Screen &screen = GetScreen();
    if (!desktopTaken || desktopPicture.width != screen.width || desktopPicture.height != screen.height)
        return;
    for (const RECT &r : area.rects) {
        RECT c;
        RECT all = {0, 0, screen.width, screen.height};
        if (!IntersectRect(&c, &r, &all))
            continue;
        for (int y = c.top; y < c.bottom; y++)
            std::copy(desktopPicture.Row(y) + c.left, desktopPicture.Row(y) + c.right,
                      screen.framebuffer.Row(y) + c.left);
        ScreenDamage(c);
    }
}

Region VisibleRegion(Window *w, bool clientOnly)
{
    Region r;
    if (!ReallyVisible(w))
        return r;
    Screen &screen = GetScreen();
    RECT base = clientOnly ? ScreenClientRect(w) : ScreenWindowRect(w);
    r.SetRect(base);
    r.IntersectRect({0, 0, screen.width, screen.height});
    Window *desk = Desktop();
    for (Window *a = w; a != desk && a->parent; a = a->parent) {
        Window *p = a->parent;
        if (p != desk)
            r.IntersectRect(ScreenClientRect(p));
        for (Window *sib : p->children) {
            if (sib == a)
                break;
            if (sib->style & WS_VISIBLE)
                r.SubtractRect(ScreenWindowRect(sib));
        }
        if (r.Empty())
            return r;
    }
    for (Window *child : w->children)
        if (child->style & WS_VISIBLE)
            r.SubtractRect(ScreenWindowRect(child));
    return r;
}

static void ExposeWindow(Window *w, const RECT &area)
{
    if (!(w->style & WS_VISIBLE))
        return;
    RECT wr = ScreenWindowRect(w), hit;
    if (!IntersectRect(&hit, &wr, &area))
        return;
    RECT cr = ScreenClientRect(w), inClient;
    if (IntersectRect(&inClient, &cr, &hit)) {
        OffsetRect(&inClient, -cr.left, -cr.top);
        w->update.UnionRect(inClient);
        w->erase = true;
    }
    if (!EqualRect(&cr, &wr)) {
        Region frame;
        frame.SetRect(hit);
        frame.SubtractRect(cr);
        if (!frame.Empty())
            w->ncPaint = true;
    }
    for (Window *child : w->children)
        ExposeWindow(child, area);
}

void ExposeScreenArea(const RECT &area)
{
    Window *desk = Desktop();
    Region bare;
    bare.SetRect(area);
    for (Window *t : desk->children) {
        ExposeWindow(t, area);
        if (t->style & WS_VISIBLE)
            bare.SubtractRect(ScreenWindowRect(t));
    }
    PaintDesktopArea(bare);
}

void InvalidateWhole(Window *w)
{
    w->ncPaint = true;
    RECT all = {0, 0, w->client.right - w->client.left, w->client.bottom - w->client.top};
    w->update.SetRect(all);
    w->erase = true;
    for (Window *child : w->children)
        InvalidateWhole(child);
}

static Window *FindPaint(Window *w)
{
    if (!(w->style & WS_VISIBLE))
        return nullptr;
    if (w->ncPaint || !w->update.Empty())
        return w;
    for (Window *child : w->children)
        if (Window *p = FindPaint(child))
            return p;
    return nullptr;
}

Window *NextWindowToPaint()
{
    /* Back to front, so that what lies behind is painted before what covers it. */
    const std::vector<Window *> &tops = TopLevelWindows();
    for (auto it = tops.rbegin(); it != tops.rend(); ++it)
        if (Window *p = FindPaint(*it))
            return p;
    return nullptr;
}

} // namespace layer

using namespace layer;

static Region ClientUpdateInScreen(Window *w, const Region &update)
{
    Region r = update;
    RECT c = ScreenClientRect(w);
    r.Offset(c.left, c.top);
    return r;
}

extern "C" BOOL WINAPI InvalidateRect(HWND hwnd, const RECT *rect, BOOL erase)
{
    if (!hwnd) {
        Screen &screen = GetScreen();
        ExposeScreenArea({0, 0, screen.width, screen.height});
        return TRUE;
    }
    Window *w = WindowLookup(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    RECT all = {0, 0, w->client.right - w->client.left, w->client.bottom - w->client.top}, part;
    if (rect) {
        if (!IntersectRect(&part, rect, &all))
            return TRUE;
    } else {
        part = all;
    }
    if (IsRectEmpty(&part))
        return TRUE;
    w->update.UnionRect(part);
    if (erase)
        w->erase = true;
    return TRUE;
}

extern "C" BOOL WINAPI ValidateRect(HWND hwnd, const RECT *rect)
{
    Window *w = WindowLookup(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (rect)
        w->update.SubtractRect(*rect);
    else
        w->update.Clear();
    return TRUE;
}

extern "C" BOOL WINAPI GetUpdateRect(HWND hwnd, LPRECT rect, BOOL erase)
{
    Window *w = WindowLookup(hwnd);
    if (!w)
        return FALSE;
    RECT b = w->update.Empty() ? RECT{0, 0, 0, 0} : w->update.Bounds();
    if (rect)
        *rect = b;
    return !w->update.Empty();
}

extern "C" HDC WINAPI BeginPaint(HWND hwnd, LPPAINTSTRUCT ps)
{
    Window *w = WindowLookup(hwnd);
    if (!w || !ps) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return NULL;
    }
    if (w->ncPaint)
        SendMessageA(hwnd, WM_NCPAINT, 1, 0);
    if (!WindowLookup(hwnd))
        return NULL;
    Region update = w->update;
    bool erase = w->erase;
    w->update.Clear();
    w->erase = false;
    Region clip = VisibleRegion(w, true);
    clip.Intersect(ClientUpdateInScreen(w, update));
    RECT c = ScreenClientRect(w);
    HDC dc = CreateScreenDC(hwnd, {c.left, c.top}, clip);
    if (!dc)
        return NULL;
    if (DC *d = DCLookup(dc))
        d->paint = true;
    ps->hdc = dc;
    ps->fErase = TRUE;
    if (erase)
        ps->fErase = SendMessageA(hwnd, WM_ERASEBKGND, (WPARAM)dc, 0) ? FALSE : TRUE;
    ps->rcPaint = update.Empty() ? RECT{0, 0, 0, 0} : update.Bounds();
    ps->fRestore = FALSE;
    ps->fIncUpdate = FALSE;
    return dc;
}

extern "C" BOOL WINAPI EndPaint(HWND hwnd, const PAINTSTRUCT *ps)
{
    if (!ps || !ps->hdc)
        return FALSE;
    DestroyScreenDC(ps->hdc);
    ScreenFlush();
    return TRUE;
}

extern "C" HDC WINAPI GetDC(HWND hwnd)
{
    if (!hwnd) {
        Screen &screen = GetScreen();
        Region all;
        all.SetRect({0, 0, screen.width, screen.height});
        return CreateScreenDC(NULL, {0, 0}, all);
    }
    Window *w = WindowLookup(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return NULL;
    }
    RECT c = ScreenClientRect(w);
    return CreateScreenDC(hwnd, {c.left, c.top}, VisibleRegion(w, true));
}

extern "C" HDC WINAPI GetWindowDC(HWND hwnd)
{
    Window *w = WindowLookup(hwnd);
    if (!w)
        return GetDC(NULL);
    RECT r = ScreenWindowRect(w);
    return CreateScreenDC(hwnd, {r.left, r.top}, VisibleRegion(w, false));
}

extern "C" int WINAPI ReleaseDC(HWND hwnd, HDC dc)
{
    DC *d = DCLookup(dc);
    if (!d || d->kind == DC_MEMORY)
        return 0;
    DestroyScreenDC(dc);
    /* A painter working outside the message loop must be seen at once. */
    ScreenFlush();
    return 1;
}

static void UpdateTree(Window *w)
{
    HWND hwnd = H(w);
    if (!ReallyVisible(w))
        return;
    if (!w->update.Empty())
        SendMessageA(hwnd, WM_PAINT, 0, 0);
    else if (w->ncPaint)
        SendMessageA(hwnd, WM_NCPAINT, 1, 0);
    if (!WindowLookup(hwnd))
        return;
    std::vector<Window *> kids = w->children;
    for (Window *c : kids)
        if (WindowLookup(H(c)))
            UpdateTree(c);
}

extern "C" BOOL WINAPI UpdateWindow(HWND hwnd)
{
    Window *w = WindowLookup(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    UpdateTree(w);
    ScreenFlush();
    return TRUE;
}
