/*
 * The STATIC class: text, filled and framed rectangles, and icons.
 *
 * Text statics fill their whole client with the brush their parent returns
 * for WM_CTLCOLORSTATIC and draw the text with DrawTextA: SS_LEFT, SS_CENTER
 * and SS_RIGHT wrap words, SS_LEFTNOWORDWRAP and SS_SIMPLE keep one line per
 * paragraph and clip, SS_NOPREFIX shows '&' as it is.  The rectangle styles
 * draw in their system colour without asking the parent.  SS_SUNKEN becomes
 * WS_EX_STATICEDGE at creation, so the frame painter draws its edge, as
 * does WS_BORDER.  Every paint covers the whole client, so InvalidateRect
 * (with or without erase) always brings back the control's own look.
 *
 * A static is transparent to the mouse (HTTRANSPARENT) unless SS_NOTIFY,
 * which makes it send STN_CLICKED.
 */
#include "user/wm.h"

#include <string.h>

namespace layer {

namespace {

const WORD kStnClicked = 0;

struct StaticState {
    HFONT font = nullptr;
    HICON icon = nullptr;
};

StaticState *StateOf(Window *w) { return ControlState<StaticState>(w); }

UINT TypeOf(Window *w) { return w->style & SS_TYPEMASK; }

bool IsRectType(UINT type)
{
    return type == SS_BLACKRECT || type == SS_GRAYRECT || type == SS_WHITERECT || type == SS_BLACKFRAME;
}

void PaintRect(HDC dc, UINT type, RECT r)
{
    switch (type) {
    case SS_BLACKRECT: FillRect(dc, &r, GetSysColorBrush(COLOR_WINDOWFRAME)); break;
    case SS_GRAYRECT: FillRect(dc, &r, GetSysColorBrush(COLOR_BTNSHADOW)); break;
    case SS_WHITERECT: FillRect(dc, &r, GetSysColorBrush(COLOR_WINDOW)); break;
    case SS_BLACKFRAME: FrameRect(dc, &r, GetSysColorBrush(COLOR_WINDOWFRAME)); break;
    }
}

void Paint(Window *w, StaticState *s)
{
    HWND hwnd = H(w);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (!dc)
        return;
    RECT r;
    GetClientRect(hwnd, &r);
    UINT type = TypeOf(w);
    if (IsRectType(type)) {
        PaintRect(dc, type, r);
        EndPaint(hwnd, &ps);
        return;
    }
    HBRUSH brush = w->parent ? (HBRUSH)SendMessageA(H(w->parent), WM_CTLCOLORSTATIC, (WPARAM)dc, (LPARAM)hwnd)
                             : nullptr;
    if (!WindowLookup(hwnd)) {
        EndPaint(hwnd, &ps);
        return;
    }
    if (!brush || !GdiLookup(brush, GDI_BRUSH))
        brush = GetSysColorBrush(COLOR_BTNFACE);
    FillRect(dc, &r, brush);
    if (type == SS_ICON) {
        if (s->icon)
            DrawIcon(dc, 0, 0, s->icon);
        EndPaint(hwnd, &ps);
        return;
    }
    UINT format = DT_EXPANDTABS;
    switch (type) {
    case SS_CENTER: format |= DT_CENTER | DT_WORDBREAK; break;
    case SS_RIGHT: format |= DT_RIGHT | DT_WORDBREAK; break;
    case SS_SIMPLE: format |= DT_SINGLELINE; break;
    case SS_LEFTNOWORDWRAP: break;
    default: format |= DT_WORDBREAK; break;
    }
    if (w->style & SS_NOPREFIX)
        format |= DT_NOPREFIX;
    HGDIOBJ oldFont = SelectObject(dc, s->font ? s->font : SystemFont());
    SetBkMode(dc, TRANSPARENT);
    if (w->style & WS_DISABLED)
        SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    DrawTextA(dc, w->text.c_str(), (int)w->text.size(), &r, format);
    if (oldFont)
        SelectObject(dc, oldFont);
    EndPaint(hwnd, &ps);
}

void LoadTitleIcon(Window *w, StaticState *s, LPCSTR name)
{
    if (!name)
        return;
    if (!IS_INTRESOURCE(name) && !*name)
        return;
    HICON icon = LoadIconA(w->instance, name);
    if (!icon && IS_INTRESOURCE(name))
        icon = LoadIconA(NULL, name);
    s->icon = icon;
}

LRESULT CALLBACK StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Window *w = WindowLookup(hwnd);
    if (!w)
        return 0;
    if (message == WM_NCCREATE && AttachControlState<StaticState>(w)) {
        /* The sunken look is the static edge of the frame. */
        if (w->style & SS_SUNKEN)
            w->exStyle |= WS_EX_STATICEDGE;
    }
    StaticState *s = StateOf(w);
    if (!s)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    switch (message) {
    case WM_CREATE:
        if (TypeOf(w) == SS_ICON) {
            CREATESTRUCTA *cs = (CREATESTRUCTA *)lParam;
            LoadTitleIcon(w, s, cs ? cs->lpszName : nullptr);
        }
        return 0;
    case WM_PAINT:
        Paint(w, s);
        return 0;
    case WM_ERASEBKGND:
        return 1; /* WM_PAINT covers every pixel */
    case WM_NCHITTEST:
        if (!(w->style & SS_NOTIFY))
            return HTTRANSPARENT;
        break;
    case WM_LBUTTONDOWN:
        if ((w->style & SS_NOTIFY) && w->parent)
            SendMessageA(H(w->parent), WM_COMMAND, MAKEWPARAM((WORD)w->id, kStnClicked), (LPARAM)hwnd);
        return 0;
    case WM_GETDLGCODE:
        return DLGC_STATIC;
    case WM_SETTEXT: {
        if (TypeOf(w) == SS_ICON) {
            LoadTitleIcon(w, s, (LPCSTR)lParam);
            InvalidateRect(hwnd, NULL, TRUE);
            return TRUE;
        }
        LRESULT r = DefWindowProcA(hwnd, message, wParam, lParam);
        InvalidateRect(hwnd, NULL, TRUE);
        return r;
    }
    case WM_ENABLE:
        InvalidateRect(hwnd, NULL, TRUE);
        return 0;
    case WM_SETFONT:
        s->font = (HFONT)wParam;
        if (lParam)
            InvalidateRect(hwnd, NULL, TRUE);
        return 0;
    case WM_GETFONT:
        return (LRESULT)s->font;
    case STM_SETICON: {
        HICON old = s->icon;
        s->icon = (HICON)wParam;
        InvalidateRect(hwnd, NULL, TRUE);
        return (LRESULT)old;
    }
    case STM_GETICON:
        return (LRESULT)s->icon;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

} // namespace

void RegisterStaticClass()
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = StaticProc;
    wc.cbWndExtra = sizeof(StaticState *);
    wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
    wc.lpszClassName = "Static";
    RegisterLayerClass(wc);
}

} // namespace layer
