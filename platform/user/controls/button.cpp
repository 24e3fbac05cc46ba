/*
 * The BUTTON class: push buttons, default push buttons, check boxes (two-
 * and three-state, automatic or not), radio buttons and group boxes, in the
 * classic look.
 *
 * A press follows the mouse: the button takes the focus and the capture on
 * the left button, looks pressed while the pointer is over it, and clicks
 * only when released over it.  Space presses on key down and clicks on key
 * up; losing the focus or the capture in between cancels the press.  A
 * click toggles an automatic check box or radio button first and then sends
 * BN_CLICKED to the parent.
 *
 * The default push button (BS_DEFPUSHBUTTON) wears an extra black frame;
 * the dialog manager moves that style between buttons with BM_SETSTYLE as
 * the focus moves, and the button tells it when the focus comes and goes.
 * Push buttons draw in the system colours after WM_CTLCOLORBTN, as
 * documented; check boxes, radio buttons and group boxes fill their
 * background with the brush WM_CTLCOLORSTATIC returns.
 *
 * The per-button record hangs from the window's extra bytes.  It is not
 * freed with the window: a click's BN_CLICKED may destroy the button while
 * its procedure is still running, and the record must outlive that.
 */
#include "user/dialog.h"

#include <string.h>
#include <algorithm>

namespace layer {

namespace {

struct ButtonState {
    UINT check = BST_UNCHECKED;
    bool pushed = false;   /* drawn pressed */
    bool focused = false;
    bool tracking = false; /* the mouse holds it */
    bool spaceDown = false;
    HFONT font = nullptr;
};

const int kBox = 13;

ButtonState *StateOf(Window *w) { return ControlState<ButtonState>(w); }

UINT TypeOf(Window *w) { return w->style & BS_TYPEMASK; }

bool IsPush(UINT type) { return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON || type == BS_USERBUTTON; }

bool IsCheck(UINT type)
{
    return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE;
}

bool IsRadio(UINT type) { return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON; }

void Notify(Window *w, WORD code)
{
    if (w->parent && (w->style & WS_CHILD))
        SendMessageA(H(w->parent), WM_COMMAND, MAKEWPARAM((WORD)w->id, code), (LPARAM)H(w));
}

void SetPushed(Window *w, ButtonState *s, bool pushed)
{
    if (s->pushed == pushed)
        return;
    s->pushed = pushed;
    InvalidateRect(H(w), NULL, FALSE);
}

void Click(Window *w, ButtonState *s)
{
    UINT type = TypeOf(w);
    if (type == BS_AUTOCHECKBOX)
        s->check = s->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
    else if (type == BS_AUTO3STATE)
        s->check = (s->check + 1) % 3;
    else if (type == BS_AUTORADIOBUTTON && w->parent) {
        /* The radio buttons of the group go out; this one comes on. */
        std::vector<Window *> &kids = w->parent->children;
        size_t at = std::find(kids.begin(), kids.end(), w) - kids.begin(), first = at, last = at + 1;
        while (first > 0 && first < kids.size() && !(kids[first]->style & WS_GROUP))
            first--;
        while (last < kids.size() && !(kids[last]->style & WS_GROUP))
            last++;
        for (size_t i = first; i < last && i < kids.size(); i++)
            if (kids[i] != w && kids[i]->cls == w->cls && TypeOf(kids[i]) == BS_AUTORADIOBUTTON)
                SendMessageA(H(kids[i]), BM_SETCHECK, BST_UNCHECKED, 0);
        s->check = BST_CHECKED;
    }
    if (!IsPush(type))
        InvalidateRect(H(w), NULL, FALSE);
    Notify(w, BN_CLICKED);
}

/* Stops a press in progress without clicking. */
void CancelPress(Window *w, ButtonState *s)
{
    s->spaceDown = false;
    if (s->tracking) {
        s->tracking = false;
        if (GetCapture() == H(w))
            ReleaseCapture();
    }
    SetPushed(w, s, false);
}

void DrawLabel(HDC dc, const std::string &text, RECT r, UINT format, bool enabled, COLORREF ink)
{
    SetBkMode(dc, TRANSPARENT);
    if (enabled) {
        SetTextColor(dc, ink);
        DrawTextA(dc, text.c_str(), (int)text.size(), &r, format);
        return;
    }
    RECT lit = r;
    OffsetRect(&lit, 1, 1);
    SetTextColor(dc, GetSysColor(COLOR_3DHILIGHT));
    DrawTextA(dc, text.c_str(), (int)text.size(), &lit, format);
    SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    DrawTextA(dc, text.c_str(), (int)text.size(), &r, format);
}

UINT Alignment(Window *w, UINT fallback)
{
    switch (w->style & BS_CENTER) {
    case BS_LEFT: return DT_LEFT;
    case BS_RIGHT: return DT_RIGHT;
    case BS_CENTER: return DT_CENTER;
    }
    return fallback;
}

void PaintPush(HDC dc, Window *w, ButtonState *s, RECT r, bool enabled)
{
    SendMessageA(H(w->parent), WM_CTLCOLORBTN, (WPARAM)dc, (LPARAM)H(w));
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    RECT e = r;
    bool framed = TypeOf(w) == BS_DEFPUSHBUTTON;
    if (framed || s->pushed) {
        FrameRect(dc, &e, GetSysColorBrush(COLOR_WINDOWFRAME));
        InflateRect(&e, -1, -1);
    }
    if (s->pushed)
        FrameRect(dc, &e, GetSysColorBrush(COLOR_BTNSHADOW));
    else
        DrawEdge(dc, &e, EDGE_RAISED, BF_RECT);
    RECT text = r;
    InflateRect(&text, -4, -3);
    if (s->pushed)
        OffsetRect(&text, 1, 1);
    DrawLabel(dc, w->text, text, Alignment(w, DT_CENTER) | DT_VCENTER | DT_SINGLELINE, enabled,
              GetSysColor(COLOR_BTNTEXT));
    if (s->focused) {
        RECT f = r;
        InflateRect(&f, -4, -4);
        DrawFocusRect(dc, &f);
    }
}

void DrawTick(HDC dc, int x, int y, COLORREF ink)
{
    static const int tops[7] = {2, 3, 4, 3, 2, 1, 0};
    for (int i = 0; i < 7; i++)
        for (int j = 0; j < 3; j++)
            SetPixel(dc, x + i, y + tops[i] + j, ink);
}

void PaintCheck(HDC dc, Window *w, ButtonState *s, RECT r, bool enabled)
{
    HBRUSH brush = (HBRUSH)SendMessageA(H(w->parent), WM_CTLCOLORSTATIC, (WPARAM)dc, (LPARAM)H(w));
    COLORREF ink = GetTextColor(dc);
    FillRect(dc, &r, brush && GdiLookup(brush, GDI_BRUSH) ? brush : GetSysColorBrush(COLOR_BTNFACE));
    int top = (r.bottom - r.top - kBox) / 2;
    RECT box = {r.left, top, r.left + kBox, top + kBox};
    if (w->style & BS_FLAT) {
        FrameRect(dc, &box, GetSysColorBrush(COLOR_WINDOWFRAME));
        InflateRect(&box, -1, -1);
    } else {
        DrawEdge(dc, &box, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    }
    bool grey = s->pushed || !enabled;
    FillRect(dc, &box, GetSysColorBrush(grey ? COLOR_BTNFACE : COLOR_WINDOW));
    if (s->check) {
        COLORREF tick = (s->check == BST_INDETERMINATE || !enabled) ? GetSysColor(COLOR_BTNSHADOW)
                                                                     : GetSysColor(COLOR_WINDOWTEXT);
        int inner = (box.right - box.left - 7) / 2;
        DrawTick(dc, box.left + inner, box.top + inner, tick);
    }
    RECT text = {r.left + kBox + 4, r.top, r.right, r.bottom};
    UINT format = Alignment(w, DT_LEFT) | DT_VCENTER | DT_SINGLELINE;
    DrawLabel(dc, w->text, text, format, enabled, ink);
    if (s->focused && !w->text.empty()) {
        RECT m = text;
        DrawTextA(dc, w->text.c_str(), (int)w->text.size(), &m, format | DT_CALCRECT);
        int width = m.right - m.left, height = m.bottom - m.top;
        RECT f = text;
        if (format & DT_CENTER)
            f.left = text.left + (text.right - text.left - width) / 2;
        else if (format & DT_RIGHT)
            f.left = text.right - width;
        f.right = f.left + width;
        f.top = (r.bottom - r.top - height) / 2;
        f.bottom = f.top + height;
        InflateRect(&f, 1, 1);
        IntersectRect(&f, &f, &r);
        DrawFocusRect(dc, &f);
    }
}

void PaintGroup(HDC dc, Window *w, RECT r, bool enabled)
{
    HBRUSH brush = (HBRUSH)SendMessageA(H(w->parent), WM_CTLCOLORSTATIC, (WPARAM)dc, (LPARAM)H(w));
    COLORREF ink = GetTextColor(dc);
    TEXTMETRICA tm;
    int half = GetTextMetricsA(dc, &tm) ? tm.tmHeight / 2 : 6;
    RECT frame = {r.left, r.top + half, r.right, r.bottom};
    DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
    if (w->text.empty())
        return;
    RECT m = {r.left + 8, r.top, r.right - 8, r.bottom};
    DrawTextA(dc, w->text.c_str(), (int)w->text.size(), &m, DT_SINGLELINE | DT_CALCRECT);
    RECT back = {m.left - 2, m.top, m.right + 2, m.bottom};
    FillRect(dc, &back, brush && GdiLookup(brush, GDI_BRUSH) ? brush : GetSysColorBrush(COLOR_BTNFACE));
    DrawLabel(dc, w->text, m, DT_SINGLELINE, enabled, ink);
}

void Paint(Window *w, ButtonState *s)
{
    HWND hwnd = H(w);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (!dc)
        return;
    HGDIOBJ oldFont = SelectObject(dc, s->font ? s->font : SystemFont());
    RECT r;
    GetClientRect(hwnd, &r);
    bool enabled = !(w->style & WS_DISABLED);
    UINT type = TypeOf(w);
    if (type == BS_GROUPBOX)
        PaintGroup(dc, w, r, enabled);
    else if (IsCheck(type) || IsRadio(type))
        PaintCheck(dc, w, s, r, enabled);
    else
        PaintPush(dc, w, s, r, enabled);
    if (oldFont)
        SelectObject(dc, oldFont);
    EndPaint(hwnd, &ps);
}

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Window *w = WindowLookup(hwnd);
    if (!w)
        return 0;
    if (message == WM_NCCREATE)
        AttachControlState<ButtonState>(w);
    ButtonState *s = StateOf(w);
    if (!s)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    UINT type = TypeOf(w);
    switch (message) {
    case WM_PAINT:
        Paint(w, s);
        return 0;
    case WM_ERASEBKGND:
        return 1; /* WM_PAINT covers every pixel */
    case WM_NCHITTEST:
        if (type == BS_GROUPBOX)
            return HTTRANSPARENT;
        break;
    case WM_GETDLGCODE:
        if (type == BS_DEFPUSHBUTTON)
            return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
        if (IsPush(type))
            return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
        if (IsRadio(type))
            return DLGC_BUTTON | DLGC_RADIOBUTTON;
        if (type == BS_GROUPBOX)
            return DLGC_STATIC;
        return DLGC_BUTTON;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (type == BS_GROUPBOX)
            return 0;
        SetFocus(hwnd);
        if (!WindowLookup(hwnd) || (w->style & WS_DISABLED))
            return 0;
        SetCapture(hwnd);
        s->tracking = true;
        SetPushed(w, s, true);
        return 0;
    case WM_MOUSEMOVE:
        if (s->tracking) {
            RECT r;
            GetClientRect(hwnd, &r);
            SetPushed(w, s, PtInRect(&r, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}) != 0);
        }
        return 0;
    case WM_LBUTTONUP:
        if (s->tracking) {
            RECT r;
            GetClientRect(hwnd, &r);
            bool inside = PtInRect(&r, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}) != 0;
            s->tracking = false;
            if (GetCapture() == hwnd)
                ReleaseCapture();
            SetPushed(w, s, false);
            if (inside)
                Click(w, s);
        }
        return 0;
    case WM_CAPTURECHANGED:
        if (s->tracking) {
            s->tracking = false;
            SetPushed(w, s, false);
        }
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_SPACE && type != BS_GROUPBOX && !(lParam & (1 << 30)) && !s->tracking) {
            s->spaceDown = true;
            SetPushed(w, s, true);
        }
        return 0;
    case WM_KEYUP:
        if (wParam == VK_SPACE && s->spaceDown) {
            s->spaceDown = false;
            bool was = s->pushed;
            SetPushed(w, s, false);
            if (was)
                Click(w, s);
        }
        return 0;
    case WM_CHAR:
        return 0;
    case WM_SETFOCUS:
        s->focused = true;
        InvalidateRect(hwnd, NULL, FALSE);
        if (w->parent)
            DialogFollowFocus(H(w->parent), hwnd);
        if (WindowLookup(hwnd) && (w->style & BS_NOTIFY))
            Notify(w, BN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        s->focused = false;
        CancelPress(w, s);
        InvalidateRect(hwnd, NULL, FALSE);
        if (w->parent)
            DialogFollowFocus(H(w->parent), (HWND)wParam);
        if (WindowLookup(hwnd) && (w->style & BS_NOTIFY))
            Notify(w, BN_KILLFOCUS);
        return 0;
    case WM_ENABLE:
        if (!wParam)
            CancelPress(w, s);
        InvalidateRect(hwnd, NULL, FALSE);
        return 0;
    case WM_SETTEXT: {
        LRESULT r = DefWindowProcA(hwnd, message, wParam, lParam);
        InvalidateRect(hwnd, NULL, TRUE);
        return r;
    }
    case WM_SETFONT:
        s->font = (HFONT)wParam;
        if (lParam)
            InvalidateRect(hwnd, NULL, TRUE);
        return 0;
    case WM_GETFONT:
        return (LRESULT)s->font;
    case BM_GETCHECK:
        return IsPush(type) || type == BS_GROUPBOX ? BST_UNCHECKED : s->check;
    case BM_SETCHECK: {
        if (IsPush(type) || type == BS_GROUPBOX)
            return 0;
        UINT check = (type == BS_3STATE || type == BS_AUTO3STATE) && wParam == BST_INDETERMINATE
                         ? BST_INDETERMINATE
                         : (wParam == BST_CHECKED ? BST_CHECKED : BST_UNCHECKED);
        if (check != s->check) {
            s->check = check;
            InvalidateRect(hwnd, NULL, FALSE);
        }
        if (IsRadio(type)) {
            /* A checked radio button is the group's tab stop. */
            if (check)
                w->style |= WS_TABSTOP;
            else
                w->style &= ~WS_TABSTOP;
        }
        return 0;
    }
    case BM_GETSTATE:
        return (IsPush(type) ? 0 : s->check) | (s->pushed ? BST_PUSHED : 0) | (s->focused ? BST_FOCUS : 0);
    case BM_SETSTATE:
        SetPushed(w, s, wParam != 0);
        return 0;
    case BM_SETSTYLE:
        w->style = (w->style & ~BS_TYPEMASK) | ((DWORD)wParam & BS_TYPEMASK);
        if (lParam)
            InvalidateRect(hwnd, NULL, TRUE);
        return 0;
    case BM_CLICK:
        if (!(w->style & WS_DISABLED) && type != BS_GROUPBOX)
            Click(w, s);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

} // namespace

void RegisterButtonClass()
{
    WNDCLASSA wc = {};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = ButtonProc;
    wc.cbWndExtra = sizeof(ButtonState *);
    wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
    wc.lpszClassName = "Button";
    RegisterLayerClass(wc);
}

} // namespace layer
