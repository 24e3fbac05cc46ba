/*
 * The standard scroll bars of a window (WS_VSCROLL, WS_HSCROLL), drawn in
 * the non-client area next to the client rectangle that ComputeClientRect
 * leaves for them.
 *
 * A bar is two arrow buttons and the track between them; the thumb's length
 * shows the page against the whole range (a fixed square when there is no
 * page) and its place the position, which never passes max - page + 1.  A
 * bar whose range is empty, or that was disabled by SIF_DISABLENOSCROLL,
 * shows grey arrows and no thumb.
 *
 * TrackScrollBar is a local modal loop that runs while the left button is
 * held: a press on an arrow sends SB_LINEUP/SB_LINEDOWN, on the track
 * SB_PAGEUP/SB_PAGEDOWN, and a drag of the thumb SB_THUMBTRACK with each new
 * position, then SB_THUMBPOSITION at release; every press ends with
 * SB_ENDSCROLL.  The messages go to the window itself (WM_VSCROLL or
 * WM_HSCROLL, lParam null) and the window's handler moves the position.
 */
#include "user/wm.h"

#include <algorithm>

namespace layer {

static const int kArrow = 16, kMinThumb = 8;
static const DWORD kErrorNoScrollbars = 1447;

enum Part { NONE, ARROW_BACK, ARROW_FORWARD, PAGE_BACK, PAGE_FORWARD, THUMB };

static ScrollBar &BarOf(Window *w, int bar) { return bar == SB_HORZ ? w->hscroll : w->vscroll; }

RECT ScrollBarRect(Window *w, int bar)
{
    RECT c = w->client;
    if (bar == SB_VERT && (w->style & WS_VSCROLL))
        return {c.right, c.top, c.right + kArrow, c.bottom};
    if (bar == SB_HORZ && (w->style & WS_HSCROLL))
        return {c.left, c.bottom, c.right, c.bottom + kArrow};
    return {0, 0, 0, 0};
}

/* Positions along the bar's axis, in window coordinates. */
struct Geometry {
    bool vertical;
    int start, end;           /* the whole bar */
    int arrow;                /* length of each arrow */
    int trackStart, trackEnd;
    bool hasThumb = false;
    int thumbStart = 0, thumbLength = 0;
};

static bool Usable(const ScrollBar &sb)
{
    int range = sb.max - sb.min;
    return sb.enabled && range > 0 && (sb.page == 0 || (int)sb.page <= range);
}

static int MaxPos(const ScrollBar &sb) { return std::max(sb.min, sb.max - std::max((int)sb.page - 1, 0)); }

static Geometry Measure(Window *w, int bar, int pos)
{
    ScrollBar &sb = BarOf(w, bar);
    RECT r = ScrollBarRect(w, bar);
    Geometry g;
    g.vertical = bar == SB_VERT;
    g.start = g.vertical ? r.top : r.left;
    g.end = g.vertical ? r.bottom : r.right;
    int length = g.end - g.start;
    g.arrow = std::min(kArrow, length / 2);
    g.trackStart = g.start + g.arrow;
    g.trackEnd = g.end - g.arrow;
    int track = g.trackEnd - g.trackStart;
    if (!Usable(sb) || track <= 0)
        return g;
    int range = sb.max - sb.min + 1;
    int thumb = sb.page ? (int)((long long)track * sb.page / range) : kArrow;
    thumb = std::max(thumb, kMinThumb);
    if (thumb > track)
        return g;
    g.hasThumb = true;
    g.thumbLength = thumb;
    int span = MaxPos(sb) - sb.min;
    int p = std::min(std::max(pos, sb.min), MaxPos(sb)) - sb.min;
    g.thumbStart = g.trackStart + (span > 0 ? (int)((long long)(track - thumb) * p / span) : 0);
    return g;
}

static Part PartAt(Window *w, int bar, POINT windowPt, const Geometry &g)
{
    RECT r = ScrollBarRect(w, bar);
    if (!PtInRect(&r, windowPt))
        return NONE;
    int v = g.vertical ? windowPt.y : windowPt.x;
    if (v < g.trackStart)
        return ARROW_BACK;
    if (v >= g.trackEnd)
        return ARROW_FORWARD;
    if (!g.hasThumb)
        return NONE;
    if (v < g.thumbStart)
        return PAGE_BACK;
    if (v >= g.thumbStart + g.thumbLength)
        return PAGE_FORWARD;
    return THUMB;
}

/* A rectangle across the bar between two positions along it. */
static RECT Across(const RECT &bar, bool vertical, int from, int to)
{
    return vertical ? RECT{bar.left, from, bar.right, to} : RECT{from, bar.top, to, bar.bottom};
}

static HBRUSH TrackBrush()
{
    /* The classic track: a checkerboard of highlight and face. */
    static HBRUSH brush;
    static bool tried;
    if (!tried) {
        tried = true;
        static const WORD bits[8] = {0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA};
        if (HBITMAP pattern = CreateBitmap(8, 8, 1, 1, bits)) {
            brush = CreatePatternBrush(pattern);
            DeleteObject(pattern);
        }
    }
    return brush;
}

static void DrawArrow(HDC dc, RECT box, bool vertical, bool back, bool pressed, bool enabled)
{
    FillRect(dc, &box, GetSysColorBrush(COLOR_BTNFACE));
    RECT edge = box;
    if (pressed)
        FrameRect(dc, &edge, GetSysColorBrush(COLOR_BTNSHADOW));
    else
        DrawEdge(dc, &edge, EDGE_RAISED, BF_RECT);
    int shift = pressed ? 1 : 0;
    int cx = (box.left + box.right) / 2 + shift, cy = (box.top + box.bottom) / 2 + shift;
    /* A triangle of four rows pointing along the bar. */
    for (int pass = enabled ? 1 : 0; pass < 2; pass++) {
        COLORREF ink = enabled ? GetSysColor(COLOR_BTNTEXT)
                               : GetSysColor(pass == 0 ? COLOR_3DHILIGHT : COLOR_GRAYTEXT);
        int off = pass == 0 ? 1 : 0;
        for (int i = 0; i < 4; i++) {
            int tip = back ? -2 + i : 1 - i;
            for (int j = -i; j <= i; j++) {
                int x = vertical ? cx + j : cx + tip, y = vertical ? cy + tip : cy + j;
                SetPixel(dc, x - 1 + off, y - 1 + off, ink);
            }
        }
    }
}

void PaintScrollBar(HDC dc, Window *w, int bar)
{
    RECT r = ScrollBarRect(w, bar);
    if (IsRectEmpty(&r))
        return;
    ScrollBar &sb = BarOf(w, bar);
    Geometry g = Measure(w, bar, sb.tracking ? sb.trackPos : sb.pos);
    bool enabled = Usable(sb);
    DrawArrow(dc, Across(r, g.vertical, g.start, g.start + g.arrow), g.vertical, true, sb.pressed == ARROW_BACK,
              enabled);
    DrawArrow(dc, Across(r, g.vertical, g.end - g.arrow, g.end), g.vertical, false,
              sb.pressed == ARROW_FORWARD, enabled);
    if (g.trackEnd <= g.trackStart)
        return;
    RECT track = Across(r, g.vertical, g.trackStart, g.trackEnd);
    HBRUSH pattern = TrackBrush();
    COLORREF oldText = SetTextColor(dc, GetSysColor(COLOR_BTNFACE));
    COLORREF oldBk = SetBkColor(dc, GetSysColor(COLOR_3DHILIGHT));
    FillRect(dc, &track, pattern ? pattern : GetSysColorBrush(COLOR_SCROLLBAR));
    SetTextColor(dc, oldText);
    SetBkColor(dc, oldBk);
    if (!g.hasThumb)
        return;
    if (sb.pressed == PAGE_BACK || sb.pressed == PAGE_FORWARD) {
        RECT held = sb.pressed == PAGE_BACK ? Across(r, g.vertical, g.trackStart, g.thumbStart)
                                            : Across(r, g.vertical, g.thumbStart + g.thumbLength, g.trackEnd);
        FillRect(dc, &held, GetSysColorBrush(COLOR_3DDKSHADOW));
    }
    RECT thumb = Across(r, g.vertical, g.thumbStart, g.thumbStart + g.thumbLength);
    FillRect(dc, &thumb, GetSysColorBrush(COLOR_BTNFACE));
    DrawEdge(dc, &thumb, EDGE_RAISED, BF_RECT);
}

static void RedrawBar(Window *w, int bar)
{
    RECT r = ScrollBarRect(w, bar);
    if (!ReallyVisible(w) || IsRectEmpty(&r))
        return;
    if (HDC dc = GetWindowDC(H(w))) {
        PaintScrollBar(dc, w, bar);
        ReleaseDC(H(w), dc);
    }
}

/* Shows or hides a standard bar by its style; the frame is computed again. */
static void SetBarShown(Window *w, int bar, bool show)
{
    DWORD bit = bar == SB_HORZ ? WS_HSCROLL : WS_VSCROLL;
    if (((w->style & bit) != 0) == show)
        return;
    if (show)
        w->style |= bit;
    else
        w->style &= ~bit;
    BarOf(w, bar).shown = show;
    SetWindowPos(H(w), NULL, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void TrackScrollBar(Window *w, int bar, POINT screenPoint)
{
    HWND hwnd = H(w);
    ScrollBar &sb = BarOf(w, bar);
    RECT wr = ScreenWindowRect(w);
    POINT p = {screenPoint.x - wr.left, screenPoint.y - wr.top};
    Geometry g = Measure(w, bar, sb.pos);
    Part part = PartAt(w, bar, p, g);
    if (part == NONE || !Usable(sb))
        return;
    UINT message = bar == SB_VERT ? WM_VSCROLL : WM_HSCROLL;
    int grab = (g.vertical ? p.y : p.x) - g.thumbStart;
    SetCapture(hwnd);
    sb.pressed = part;
    if (part == THUMB) {
        sb.tracking = true;
        sb.trackPos = sb.pos;
    }
    RedrawBar(w, bar);
    static const WPARAM codes[] = {0, SB_LINEUP, SB_LINEDOWN, SB_PAGEUP, SB_PAGEDOWN, 0};
    if (part != THUMB)
        SendMessageA(hwnd, message, codes[part], 0);
    bool released = false;
    while (!released && WindowLookup(hwnd) && GetCapture() == hwnd) {
        MSG msg;
        BOOL got = GetMessageA(&msg, NULL, 0, 0);
        if (got <= 0) {
            if (got == 0)
                PostQuitMessage((int)msg.wParam);
            break;
        }
        if (msg.hwnd == hwnd && (msg.message == WM_MOUSEMOVE || msg.message == WM_LBUTTONUP)) {
            if (msg.message == WM_LBUTTONUP)
                released = true;
            if (part != THUMB)
                continue;
            POINT q = {GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
            ClientToScreen(hwnd, &q);
            wr = ScreenWindowRect(w);
            int along = (g.vertical ? q.y - wr.top : q.x - wr.left) - grab;
            Geometry now = Measure(w, bar, sb.pos);
            int room = now.trackEnd - now.trackStart - now.thumbLength;
            int span = MaxPos(sb) - sb.min;
            int offset = std::min(std::max(along - now.trackStart, 0), std::max(room, 0));
            int pos = sb.min + (room > 0 ? (int)(((long long)offset * span + room / 2) / room) : 0);
            if (pos != sb.trackPos || released) {
                sb.trackPos = pos;
                RedrawBar(w, bar);
                SendMessageA(hwnd, message, MAKEWPARAM(released ? SB_THUMBPOSITION : SB_THUMBTRACK, pos), 0);
                if (!WindowLookup(hwnd))
                    return;
            }
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    if (!WindowLookup(hwnd))
        return;
    if (GetCapture() == hwnd)
        ReleaseCapture();
    sb.pressed = NONE;
    sb.tracking = false;
    SendMessageA(hwnd, message, SB_ENDSCROLL, 0);
    if (WindowLookup(hwnd))
        RedrawBar(w, bar);
}

} // namespace layer

using namespace layer;

static Window *BarWindow(HWND hwnd, int bar)
{
    Window *w = WindowLookup(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    if (bar != SB_VERT && bar != SB_HORZ) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return w;
}

extern "C" int WINAPI SetScrollInfo(HWND hwnd, int bar, LPCSCROLLINFO info, BOOL redraw)
{
    Window *w = BarWindow(hwnd, bar);
    if (!w || !info)
        return 0;
    ScrollBar &sb = BarOf(w, bar);
    if (info->fMask & SIF_RANGE) {
        sb.min = info->nMin;
        sb.max = std::max(info->nMax, info->nMin);
    }
    if (info->fMask & SIF_PAGE)
        sb.page = info->nPage;
    unsigned range = (unsigned)(sb.max - sb.min) + 1;
    if (sb.page > range)
        sb.page = range;
    if (info->fMask & SIF_POS)
        sb.pos = info->nPos;
    sb.pos = std::min(std::max(sb.pos, sb.min), MaxPos(sb));
    if (!sb.tracking)
        sb.trackPos = sb.pos;
    /* A bar the range makes useless goes away, or stays disabled when asked. */
    bool needed = sb.max > sb.min && (sb.page == 0 || (int)sb.page <= sb.max - sb.min);
    if (info->fMask & (SIF_RANGE | SIF_PAGE)) {
        if (info->fMask & SIF_DISABLENOSCROLL) {
            sb.enabled = needed;
            SetBarShown(w, bar, true);
        } else {
            sb.enabled = true;
            SetBarShown(w, bar, needed);
        }
    }
    if (redraw)
        RedrawBar(w, bar);
    return sb.pos;
}

extern "C" BOOL WINAPI GetScrollInfo(HWND hwnd, int bar, LPSCROLLINFO info)
{
    Window *w = BarWindow(hwnd, bar);
    if (!w || !info)
        return FALSE;
    if (!(info->fMask & SIF_ALL)) {
        SetLastError(kErrorNoScrollbars);
        return FALSE;
    }
    ScrollBar &sb = BarOf(w, bar);
    if (info->fMask & SIF_RANGE) {
        info->nMin = sb.min;
        info->nMax = sb.max;
    }
    if (info->fMask & SIF_PAGE)
        info->nPage = sb.page;
    if (info->fMask & SIF_POS)
        info->nPos = sb.pos;
    if (info->fMask & SIF_TRACKPOS)
        info->nTrackPos = sb.tracking ? sb.trackPos : sb.pos;
    return TRUE;
}

extern "C" int WINAPI SetScrollPos(HWND hwnd, int bar, int pos, BOOL redraw)
{
    Window *w = BarWindow(hwnd, bar);
    if (!w)
        return 0;
    int old = BarOf(w, bar).pos;
    SCROLLINFO si = {sizeof si, SIF_POS, 0, 0, 0, pos, 0};
    SetScrollInfo(hwnd, bar, &si, redraw);
    return old;
}

extern "C" int WINAPI GetScrollPos(HWND hwnd, int bar)
{
    Window *w = BarWindow(hwnd, bar);
    return w ? BarOf(w, bar).pos : 0;
}

extern "C" BOOL WINAPI SetScrollRange(HWND hwnd, int bar, int minPos, int maxPos, BOOL redraw)
{
    Window *w = BarWindow(hwnd, bar);
    if (!w)
        return FALSE;
    SCROLLINFO si = {sizeof si, SIF_RANGE, minPos, maxPos, 0, 0, 0};
    SetScrollInfo(hwnd, bar, &si, redraw);
    return TRUE;
}

extern "C" BOOL WINAPI ShowScrollBar(HWND hwnd, int bar, BOOL show)
{
    Window *w = WindowLookup(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (bar == SB_BOTH) {
        SetBarShown(w, SB_VERT, show != 0);
        SetBarShown(w, SB_HORZ, show != 0);
        return TRUE;
    }
    if (bar != SB_VERT && bar != SB_HORZ) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    SetBarShown(w, bar, show != 0);
    return TRUE;
}
