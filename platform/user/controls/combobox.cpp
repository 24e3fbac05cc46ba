/*
 * COMBOBOX in its drop-down-list form (CBS_DROPDOWNLIST): a field showing
 * the selected item beside a drop button, and a list that opens under it.
 *
 * The control.  The height given at creation (a dialog template's combo
 * rectangle) is the dropped height: the field and the open list together.
 * The window itself is cut to the field's height at once, and any later
 * resize to another height is again taken as a new dropped height.  The
 * field is a sunken edge around the text and the button; the text is
 * highlighted while the control has the focus.
 *
 * The list.  Opening makes a top-level popup window of the class ComboLBox
 * visible under the control (above it when the screen has no room below),
 * as wide as the control and as tall as the dropped height allows, or as
 * its items need.  A list that cannot show every item gets its standard
 * vertical scroll bar when the control was made with WS_VSCROLL, a style
 * that belongs to the list: the field itself never shows it.  The popup
 * never takes the activation or the focus: the keyboard stays with the
 * combo box, and the combo box holds the mouse capture while the list is
 * open, so that it sees every click, on the list or outside it, in its own
 * coordinates.  A press on the popup's scroll bar is handed to the popup's
 * frame (the standard bar's tracking), and the capture taken back after.
 *
 * Selection.  The list has a highlighted item.  The mouse moves only the
 * highlight; the keys move the highlight and the selection together, with
 * CBN_SELCHANGE, as they do while the list is closed.  Closing ends in one
 * of two ways:
 *   pick   (a click on an item, Enter, F4, Alt+Up): the highlighted item
 *          becomes the selection: CBN_SELCHANGE if it changed, CBN_SELENDOK,
 *          CBN_CLOSEUP;
 *   cancel (Esc, a click outside the list, the focus lost): the selection
 *          the list opened with comes back: CBN_SELENDCANCEL, CBN_SELCHANGE
 *          when the keys had moved it, CBN_CLOSEUP.
 * The list is hidden and the capture released before any of these is sent,
 * so that a handler may open a message box or destroy the dialog.
 *
 * A handler may also empty or refill the list, or destroy the control,
 * from inside any notification; the code looks the control up again after
 * each one.
 */
#include "user/wm.h"

#include <string.h>
#include <algorithm>

namespace layer {

namespace {

struct Entry {
    std::string text;
    LPARAM data = 0;
};

struct Combo {
    std::vector<Entry> items;
    int sel = -1;
    HFONT font = nullptr;
    int droppedHeight = 0;
    bool focused = false;
    bool sizing = false;
    bool listScrolls = false;  /* made with WS_VSCROLL: the list's, not the field's */
    /* While open. */
    HWND list = nullptr;
    bool dropped = false;
    int hot = -1;          /* the highlighted item */
    int top = 0;           /* the first item shown */
    int rows = 1;          /* items the list shows */
    int selAtDrop = -1;
    bool openingPress = false; /* the press that opened the list is still held */
    bool buttonDown = false;   /* the drop button looks pressed */
    bool forwarding = false;   /* the popup's scroll bar is tracking */
};

const int kEdge = 2;

Combo *Get(HWND hwnd)
{
    if (!WindowLookup(hwnd))
        return nullptr;
    return reinterpret_cast<Combo *>(GetWindowLongPtrA(hwnd, 0));
}

HFONT Font(Combo *cb) { return cb->font ? cb->font : SystemFont(); }

int ItemHeight(HWND hwnd, Combo *cb)
{
    HDC dc = GetDC(hwnd);
    if (!dc)
        return 13;
    HGDIOBJ old = SelectObject(dc, Font(cb));
    TEXTMETRICA tm;
    int h = GetTextMetricsA(dc, &tm) ? (int)tm.tmHeight : 13;
    SelectObject(dc, old);
    ReleaseDC(hwnd, dc);
    return std::max(h, 1);
}

/* The selection field is an item and a pixel above and below it; the
 * control adds its sunken edge and a pixel of room on each side. */
int FieldHeight(HWND hwnd, Combo *cb) { return ItemHeight(hwnd, cb) + 2; }
int ControlHeight(HWND hwnd, Combo *cb) { return FieldHeight(hwnd, cb) + 2 * kEdge + 2; }

RECT ButtonRect(HWND hwnd)
{
    RECT c;
    GetClientRect(hwnd, &c);
    int w = GetSystemMetrics(SM_CXVSCROLL);
    return {std::max(c.right - kEdge - w, kEdge), kEdge, c.right - kEdge, c.bottom - kEdge};
}

RECT TextRect(HWND hwnd)
{
    RECT c, b = ButtonRect(hwnd);
    GetClientRect(hwnd, &c);
    return {kEdge + 1, kEdge + 1, std::max(b.left - 1, kEdge + 1), c.bottom - kEdge - 1};
}

/* Sends a CBN_ notification; false when the control did not survive it. */
bool Notify(HWND hwnd, int code)
{
    HWND parent = GetParent(hwnd);
    if (parent) {
        LONG_PTR id = GetWindowLongPtrA(hwnd, GWL_ID);
        SendMessageA(parent, WM_COMMAND, MAKEWPARAM((WORD)id, (WORD)code), (LPARAM)hwnd);
    }
    return Get(hwnd) != nullptr;
}

HBRUSH ColorsFor(HWND hwnd, HDC dc, HWND from)
{
    HWND parent = GetParent(hwnd);
    HBRUSH brush = NULL;
    if (parent)
        brush = (HBRUSH)SendMessageA(parent, WM_CTLCOLORLISTBOX, (WPARAM)dc, (LPARAM)from);
    if (!brush) {
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        brush = GetSysColorBrush(COLOR_WINDOW);
    }
    return brush;
}

void DrawArrow(HDC dc, const RECT &b, bool pressed, bool enabled)
{
    int shift = pressed ? 1 : 0;
    int cx = (b.left + b.right) / 2 + shift, cy = (b.top + b.bottom) / 2 - 1 + shift;
    HBRUSH ink = GetSysColorBrush(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT);
    for (int row = 0; row < 4; row++) {
        RECT line = {cx - 3 + row, cy - 1 + row, cx + 4 - row, cy + row};
        FillRect(dc, &line, ink);
    }
}

void PaintField(HWND hwnd, Combo *cb, HDC dc)
{
    RECT c;
    GetClientRect(hwnd, &c);
    bool enabled = IsWindowEnabled(hwnd) != 0;
    RECT edge = c;
    DrawEdge(dc, &edge, EDGE_SUNKEN, BF_RECT);

    RECT inner = {kEdge, kEdge, c.right - kEdge, c.bottom - kEdge};
    RECT b = ButtonRect(hwnd);
    RECT field = {inner.left, inner.top, b.left, inner.bottom};
    HGDIOBJ oldFont = SelectObject(dc, Font(cb));
    HBRUSH bg = ColorsFor(hwnd, dc, hwnd);
    if (!enabled) {
        bg = GetSysColorBrush(COLOR_BTNFACE);
        SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    }
    FillRect(dc, &field, bg);
    RECT text = TextRect(hwnd);
    if (cb->focused && enabled) {
        FillRect(dc, &text, GetSysColorBrush(COLOR_HIGHLIGHT));
        SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
    }
    if (cb->sel >= 0 && cb->sel < (int)cb->items.size()) {
        const std::string &t = cb->items[cb->sel].text;
        RECT r = {text.left + 2, text.top, text.right - 1, text.bottom};
        SetBkMode(dc, TRANSPARENT);
        DrawTextA(dc, t.c_str(), (int)t.size(), &r, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
    if (cb->focused && enabled)
        DrawFocusRect(dc, &text);
    SelectObject(dc, oldFont);

    FillRect(dc, &b, GetSysColorBrush(COLOR_BTNFACE));
    if (cb->buttonDown) {
        FrameRect(dc, &b, GetSysColorBrush(COLOR_BTNSHADOW));
    } else {
        RECT e = b;
        DrawEdge(dc, &e, EDGE_RAISED, BF_RECT);
    }
    DrawArrow(dc, b, cb->buttonDown, enabled);
}

void InvalidateField(HWND hwnd) { InvalidateRect(hwnd, NULL, FALSE); }

/* ---- the popup list ----------------------------------------------------- */

int ListClientHeight(Combo *cb, int itemHeight) { return cb->rows * itemHeight; }

void ClampTop(Combo *cb)
{
    int count = (int)cb->items.size();
    cb->top = std::min(std::max(cb->top, 0), std::max(0, count - cb->rows));
}

void UpdateListScroll(Combo *cb)
{
    if (!cb->list || !WindowLookup(cb->list) || !(GetWindowLongA(cb->list, GWL_STYLE) & WS_VSCROLL))
        return;
    int count = (int)cb->items.size();
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMin = 0;
    si.nMax = count - 1;
    si.nPage = (UINT)cb->rows;
    si.nPos = cb->top;
    SetScrollInfo(cb->list, SB_VERT, &si, TRUE);
}

void ScrollListTo(Combo *cb, int top)
{
    int old = cb->top;
    cb->top = top;
    ClampTop(cb);
    if (cb->top != old) {
        UpdateListScroll(cb);
        InvalidateRect(cb->list, NULL, TRUE);
    }
}

void ShowInList(Combo *cb, int index)
{
    if (index < 0)
        return;
    if (index < cb->top)
        ScrollListTo(cb, index);
    else if (index >= cb->top + cb->rows)
        ScrollListTo(cb, index - cb->rows + 1);
}

void SetHot(Combo *cb, int index)
{
    if (index == cb->hot)
        return;
    cb->hot = index;
    if (cb->list)
        InvalidateRect(cb->list, NULL, TRUE);
}

/* The list's item under a point given in the list's client coordinates. */
int ListItemAt(HWND combo, Combo *cb, POINT p)
{
    RECT c;
    GetClientRect(cb->list, &c);
    if (!PtInRect(&c, p))
        return -1;
    int index = cb->top + p.y / ItemHeight(combo, cb);
    return index < (int)cb->items.size() ? index : -1;
}

void PaintList(HWND list, HWND combo, Combo *cb)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(list, &ps);
    if (!dc)
        return;
    RECT c;
    GetClientRect(list, &c);
    HGDIOBJ oldFont = SelectObject(dc, Font(cb));
    HBRUSH bg = ColorsFor(combo, dc, list);
    COLORREF ink = GetTextColor(dc);
    FillRect(dc, &c, bg);
    SetBkMode(dc, TRANSPARENT);
    int ih = ItemHeight(combo, cb);
    for (int i = cb->top; i < (int)cb->items.size() && (i - cb->top) * ih < c.bottom; i++) {
        RECT r = {0, (i - cb->top) * ih, c.right, (i - cb->top + 1) * ih};
        if (i == cb->hot) {
            FillRect(dc, &r, GetSysColorBrush(COLOR_HIGHLIGHT));
            SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
        } else {
            SetTextColor(dc, ink);
        }
        RECT t = {r.left + 2, r.top, r.right - 2, r.bottom};
        const std::string &s = cb->items[i].text;
        DrawTextA(dc, s.c_str(), (int)s.size(), &t, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        if (i == cb->hot)
            DrawFocusRect(dc, &r);
    }
    SelectObject(dc, oldFont);
    EndPaint(list, &ps);
}

LRESULT CALLBACK ListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND combo = (HWND)GetWindowLongPtrA(list, 0);
    Combo *cb = Get(combo);
    if (!cb || cb->list != list)
        return DefWindowProcA(list, message, wParam, lParam);
    switch (message) {
    case WM_MOUSEACTIVATE:
        return 3; /* MA_NOACTIVATE */
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        PaintList(list, combo, cb);
        return 0;
    case WM_VSCROLL: {
        int top = cb->top;
        switch (LOWORD(wParam)) {
        case SB_LINEUP: top--; break;
        case SB_LINEDOWN: top++; break;
        case SB_PAGEUP: top -= cb->rows; break;
        case SB_PAGEDOWN: top += cb->rows; break;
        case SB_TOP: top = 0; break;
        case SB_BOTTOM: top = (int)cb->items.size(); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: {
            SCROLLINFO si = {};
            si.cbSize = sizeof si;
            si.fMask = SIF_TRACKPOS;
            if (GetScrollInfo(list, SB_VERT, &si))
                top = si.nTrackPos;
            break;
        }
        default: return 0;
        }
        ScrollListTo(cb, top);
        return 0;
    }
    case LB_GETCOUNT:
        return (LRESULT)cb->items.size();
    case LB_GETITEMRECT: {
        RECT *r = (RECT *)lParam;
        int index = (int)wParam;
        if (!r || index < 0 || index >= (int)cb->items.size())
            return LB_ERR;
        RECT c;
        GetClientRect(list, &c);
        int ih = ItemHeight(combo, cb);
        *r = {0, (index - cb->top) * ih, c.right, (index - cb->top + 1) * ih};
        return 1;
    }
    }
    return DefWindowProcA(list, message, wParam, lParam);
}

HWND MakeList(HWND hwnd)
{
    /* Owned by the control's top-level window, which takes it along when
     * it is destroyed. */
    return CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, "ComboLBox", "", WS_POPUP | WS_BORDER, 0, 0,
                           0, 0, hwnd, NULL, NULL, NULL);
}

/* ---- opening and closing ------------------------------------------------ */

void Open(HWND hwnd)
{
    Combo *cb = Get(hwnd);
    if (!cb || cb->dropped)
        return;
    if (!Notify(hwnd, CBN_DROPDOWN) || !(cb = Get(hwnd)) || cb->dropped)
        return;
    if (!cb->list || !WindowLookup(cb->list)) {
        cb->list = MakeList(hwnd);
        if (!cb->list)
            return;
        SetWindowLongPtrA(cb->list, 0, (LONG_PTR)hwnd);
    }
    int ih = ItemHeight(hwnd, cb);
    int count = (int)cb->items.size();
    int avail = cb->droppedHeight - ControlHeight(hwnd, cb) - 2;
    int fit = std::max(1, avail / ih);
    cb->rows = std::max(1, std::min(count, fit));
    bool scroll = cb->listScrolls && count > cb->rows;
    RECT r;
    GetWindowRect(hwnd, &r);
    int height = ListClientHeight(cb, ih) + 2;
    int y = r.bottom;
    if (y + height > GetSystemMetrics(SM_CYSCREEN) && r.top - height >= 0)
        y = r.top - height;
    DWORD style = WS_POPUP | WS_BORDER | (scroll ? WS_VSCROLL : 0);
    SetWindowLongA(cb->list, GWL_STYLE, (LONG)style);
    cb->hot = cb->sel;
    cb->selAtDrop = cb->sel;
    cb->top = cb->sel >= 0 ? cb->sel : 0;
    ClampTop(cb);
    cb->dropped = true;
    SetWindowPos(cb->list, HWND_TOP, r.left, y, r.right - r.left, height,
                 SWP_SHOWWINDOW | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    if (!(cb = Get(hwnd)))
        return;
    if (scroll)
        UpdateListScroll(cb);
    InvalidateRect(cb->list, NULL, TRUE);
    SetCapture(hwnd);
    InvalidateField(hwnd);
}

enum CloseKind { CLOSE_PICK, CLOSE_CANCEL, CLOSE_QUIET };

void Close(HWND hwnd, CloseKind kind)
{
    Combo *cb = Get(hwnd);
    if (!cb || !cb->dropped)
        return;
    cb->dropped = false;
    cb->openingPress = false;
    cb->buttonDown = false;
    if (cb->list && WindowLookup(cb->list))
        SetWindowPos(cb->list, NULL, 0, 0, 0, 0,
                     SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    if ((cb = Get(hwnd)) && GetCapture() == hwnd)
        ReleaseCapture();
    if (!(cb = Get(hwnd)))
        return;
    int old = cb->sel;
    if (kind == CLOSE_PICK && cb->hot >= 0 && cb->hot < (int)cb->items.size())
        cb->sel = cb->hot;
    if (kind == CLOSE_CANCEL)
        cb->sel = cb->selAtDrop < (int)cb->items.size() ? cb->selAtDrop : -1;
    bool changed = cb->sel != old;
    InvalidateField(hwnd);
    if (kind == CLOSE_PICK) {
        if (changed && !Notify(hwnd, CBN_SELCHANGE))
            return;
        if (!Notify(hwnd, CBN_SELENDOK))
            return;
    } else if (kind == CLOSE_CANCEL) {
        if (!Notify(hwnd, CBN_SELENDCANCEL))
            return;
        if (changed && !Notify(hwnd, CBN_SELCHANGE))
            return;
    }
    Notify(hwnd, CBN_CLOSEUP);
}

/* The user moved the selection (keys or wheel): it follows into the list's
 * highlight when the list is open. */
void MoveSelection(HWND hwnd, int index)
{
    Combo *cb = Get(hwnd);
    if (!cb)
        return;
    int count = (int)cb->items.size();
    if (!count)
        return;
    index = std::min(std::max(index, 0), count - 1);
    if (cb->dropped) {
        SetHot(cb, index);
        ShowInList(cb, index);
    }
    if (index == cb->sel)
        return;
    cb->sel = index;
    InvalidateField(hwnd);
    Notify(hwnd, CBN_SELCHANGE);
}

int Current(Combo *cb) { return cb->dropped ? cb->hot : cb->sel; }

void KeyDown(HWND hwnd, Combo *cb, UINT vk)
{
    int count = (int)cb->items.size();
    int cur = Current(cb);
    int page = std::max(1, cb->rows - 1);
    if (!cb->dropped) {
        int ih = ItemHeight(hwnd, cb);
        page = std::max(1, (cb->droppedHeight - ControlHeight(hwnd, cb) - 2) / ih - 1);
    }
    switch (vk) {
    case VK_F4:
        if (cb->dropped)
            Close(hwnd, CLOSE_PICK);
        else
            Open(hwnd);
        return;
    case VK_RETURN:
        if (cb->dropped)
            Close(hwnd, CLOSE_PICK);
        return;
    case VK_ESCAPE:
        if (cb->dropped)
            Close(hwnd, CLOSE_CANCEL);
        return;
    case VK_UP: case VK_LEFT:
        MoveSelection(hwnd, cur < 0 ? 0 : cur - 1);
        return;
    case VK_DOWN: case VK_RIGHT:
        MoveSelection(hwnd, cur < 0 ? 0 : cur + 1);
        return;
    case VK_HOME:
        MoveSelection(hwnd, 0);
        return;
    case VK_END:
        MoveSelection(hwnd, count - 1);
        return;
    case VK_PRIOR:
        MoveSelection(hwnd, cur < 0 ? 0 : cur - page);
        return;
    case VK_NEXT:
        MoveSelection(hwnd, cur < 0 ? 0 : cur + page);
        return;
    }
}

/* A typed character moves to the next item that starts with it. */
void TypeChar(HWND hwnd, Combo *cb, unsigned char ch)
{
    int count = (int)cb->items.size();
    if (!count || ch < ' ')
        return;
    char key[2] = {(char)ch, 0};
    int cur = Current(cb);
    for (int n = 1; n <= count; n++) {
        int i = cur < 0 ? n - 1 : (cur + n) % count;
        const std::string &t = cb->items[i].text;
        char first[2] = {t.empty() ? (char)0 : t[0], 0};
        if (first[0] && lstrcmpiA(first, key) == 0) {
            MoveSelection(hwnd, i);
            return;
        }
    }
}

/* Mouse messages while the list is open, in the control's coordinates. */
void DroppedMouse(HWND hwnd, Combo *cb, UINT message, POINT p)
{
    POINT screen = p;
    ClientToScreen(hwnd, &screen);
    POINT inList = screen;
    ScreenToClient(cb->list, &inList);
    RECT self;
    GetClientRect(hwnd, &self);
    int item = ListItemAt(hwnd, cb, inList);
    switch (message) {
    case WM_MOUSEMOVE:
        if (item >= 0)
            SetHot(cb, item);
        return;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        if (item >= 0) {
            SetHot(cb, item);
            return;
        }
        RECT lr;
        GetWindowRect(cb->list, &lr);
        if (PtInRect(&lr, screen)) {
            LRESULT hit = SendMessageA(cb->list, WM_NCHITTEST, 0, MAKELPARAM(screen.x, screen.y));
            if (hit == HTVSCROLL) {
                HWND list = cb->list;
                cb->forwarding = true;
                SendMessageA(list, WM_NCLBUTTONDOWN, HTVSCROLL, MAKELPARAM(screen.x, screen.y));
                if ((cb = Get(hwnd))) {
                    cb->forwarding = false;
                    if (cb->dropped)
                        SetCapture(hwnd);
                }
            }
            return; /* the border or an empty part of the list */
        }
        Close(hwnd, CLOSE_CANCEL);
        return;
    }
    case WM_LBUTTONUP:
        if (cb->openingPress) {
            cb->openingPress = false;
            cb->buttonDown = false;
            InvalidateField(hwnd);
            if (item < 0)
                return; /* released where it was pressed: the list stays open */
        }
        if (item >= 0) {
            SetHot(cb, item);
            Close(hwnd, CLOSE_PICK);
        }
        return;
    }
}

void SetSelection(HWND hwnd, Combo *cb, int index)
{
    cb->sel = index;
    if (cb->dropped) {
        SetHot(cb, index);
        ShowInList(cb, index);
    }
    InvalidateField(hwnd);
}

int FindString(Combo *cb, int start, const char *text, bool exact)
{
    int count = (int)cb->items.size();
    if (!text || !count)
        return CB_ERR;
    if (start < -1 || start >= count)
        start = -1;
    size_t len = strlen(text);
    for (int n = 1; n <= count; n++) {
        int i = (start + n) % count;
        const std::string &t = cb->items[i].text;
        if (exact) {
            if (lstrcmpiA(t.c_str(), text) == 0)
                return i;
        } else if (t.size() >= len) {
            std::string head = t.substr(0, len);
            if (lstrcmpiA(head.c_str(), text) == 0)
                return i;
        }
    }
    return CB_ERR;
}

/* Items were inserted or removed at index: the selection keeps its item. */
void Shifted(HWND hwnd, Combo *cb, int index, int delta)
{
    auto fix = [&](int &v) {
        if (v < 0)
            return;
        if (delta < 0 && v == index)
            v = -1;
        else if (v >= index)
            v += delta;
    };
    fix(cb->sel);
    fix(cb->hot);
    fix(cb->selAtDrop);
    if (cb->dropped) {
        ClampTop(cb);
        UpdateListScroll(cb);
        InvalidateRect(cb->list, NULL, TRUE);
    }
    InvalidateField(hwnd);
}

int Insert(HWND hwnd, Combo *cb, int index, const char *text)
{
    Entry e;
    e.text = text ? text : "";
    int count = (int)cb->items.size();
    if (index < 0 || index > count)
        index = count;
    cb->items.insert(cb->items.begin() + index, e);
    Shifted(hwnd, cb, index, 1);
    return index;
}

void Resize(HWND hwnd, Combo *cb)
{
    RECT r;
    GetWindowRect(hwnd, &r);
    int want = ControlHeight(hwnd, cb);
    if (r.bottom - r.top == want)
        return;
    cb->sizing = true;
    SetWindowPos(hwnd, NULL, 0, 0, r.right - r.left, want, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    if ((cb = Get(hwnd)))
        cb->sizing = false;
}

LRESULT CALLBACK ComboProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        Combo *cb = new Combo();
        const CREATESTRUCTA *cs = (const CREATESTRUCTA *)lParam;
        cb->droppedHeight = cs ? cs->cy : 0;
        SetWindowLongPtrA(hwnd, 0, (LONG_PTR)cb);
        /* The scroll bar styles describe the list; the field has none. */
        DWORD st = (DWORD)GetWindowLongA(hwnd, GWL_STYLE);
        cb->listScrolls = (st & WS_VSCROLL) != 0;
        SetWindowLongA(hwnd, GWL_STYLE, (LONG)(st & ~(WS_VSCROLL | WS_HSCROLL)));
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    Combo *cb = Get(hwnd);
    if (!cb)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    DWORD style = (DWORD)GetWindowLongA(hwnd, GWL_STYLE);
    switch (message) {
    case WM_CREATE:
        Resize(hwnd, cb);
        return 0;
    case WM_DESTROY:
        if (GetCapture() == hwnd)
            ReleaseCapture();
        if (cb->list && WindowLookup(cb->list)) {
            HWND list = cb->list;
            cb->list = nullptr;
            DestroyWindow(list);
        }
        cb->dropped = false;
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrA(hwnd, 0, 0);
        delete cb;
        return 0;
    case WM_SIZE: {
        if (cb->sizing)
            return 0;
        RECT r;
        GetWindowRect(hwnd, &r);
        if (r.bottom - r.top != ControlHeight(hwnd, cb)) {
            cb->droppedHeight = r.bottom - r.top;
            Resize(hwnd, cb);
        }
        InvalidateField(hwnd);
        return 0;
    }
    case WM_SETFONT:
        cb->font = (HFONT)wParam;
        Resize(hwnd, cb);
        if (LOWORD(lParam))
            InvalidateField(hwnd);
        return 0;
    case WM_GETFONT:
        return (LRESULT)cb->font;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        if (dc) {
            PaintField(hwnd, cb, dc);
            EndPaint(hwnd, &ps);
        }
        return 0;
    }
    case WM_ENABLE:
        if (!wParam)
            Close(hwnd, CLOSE_CANCEL);
        InvalidateField(hwnd);
        return 0;
    case WM_GETDLGCODE: {
        LRESULT code = DLGC_WANTARROWS | DLGC_WANTCHARS;
        const MSG *msg = (const MSG *)lParam;
        if (cb->dropped && msg && msg->message == WM_KEYDOWN &&
            (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE))
            code |= DLGC_WANTMESSAGE;
        return code;
    }
    case WM_SETFOCUS:
        cb->focused = true;
        InvalidateField(hwnd);
        Notify(hwnd, CBN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        cb->focused = false;
        if (cb->dropped)
            Close(hwnd, CLOSE_CANCEL);
        if (!(cb = Get(hwnd)))
            return 0;
        InvalidateField(hwnd);
        Notify(hwnd, CBN_KILLFOCUS);
        return 0;
    case WM_CAPTURECHANGED:
        if (cb->dropped && !cb->forwarding && (HWND)lParam != hwnd)
            Close(hwnd, CLOSE_CANCEL);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_MOUSEMOVE: {
        POINT p = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        if (cb->dropped) {
            DroppedMouse(hwnd, cb, message, p);
            return 0;
        }
        if (message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK) {
            if (GetFocus() != hwnd)
                SetFocus(hwnd);
            if (!(cb = Get(hwnd)) || GetFocus() != hwnd)
                return 0;
            Open(hwnd);
            if ((cb = Get(hwnd)) && cb->dropped) {
                cb->openingPress = true;
                cb->buttonDown = true;
                InvalidateField(hwnd);
            }
        }
        return 0;
    }
    case WM_MOUSEWHEEL: {
        int notches = GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA;
        if (!notches)
            return 0;
        if (cb->dropped)
            ScrollListTo(cb, cb->top - 3 * notches);
        else
            MoveSelection(hwnd, cb->sel < 0 ? 0 : cb->sel - notches);
        return 0;
    }
    case WM_KEYDOWN:
        KeyDown(hwnd, cb, (UINT)wParam);
        return 0;
    case WM_SYSKEYDOWN:
        if (wParam == VK_DOWN || wParam == VK_UP) {
            if (cb->dropped)
                Close(hwnd, CLOSE_PICK);
            else if (wParam == VK_DOWN)
                Open(hwnd);
            return 0;
        }
        return DefWindowProcA(hwnd, message, wParam, lParam);
    case WM_CHAR:
        TypeChar(hwnd, cb, (unsigned char)wParam);
        return 0;

    case WM_SETTEXT: {
        int i = FindString(cb, -1, (const char *)lParam, true);
        if (i == CB_ERR)
            return CB_ERR;
        SetSelection(hwnd, cb, i);
        return TRUE;
    }
    case WM_GETTEXT: {
        if (!wParam || !lParam)
            return 0;
        std::string t = cb->sel >= 0 ? cb->items[cb->sel].text : std::string();
        size_t n = std::min(t.size(), (size_t)wParam - 1);
        memcpy((char *)lParam, t.data(), n);
        ((char *)lParam)[n] = 0;
        return (LRESULT)n;
    }
    case WM_GETTEXTLENGTH:
        return cb->sel >= 0 ? (LRESULT)cb->items[cb->sel].text.size() : 0;

    case CB_ADDSTRING: {
        const char *text = (const char *)lParam;
        int index = (int)cb->items.size();
        if (style & CBS_SORT) {
            std::string t = text ? text : "";
            index = 0;
            while (index < (int)cb->items.size() && lstrcmpiA(cb->items[index].text.c_str(), t.c_str()) <= 0)
                index++;
        }
        return Insert(hwnd, cb, index, text);
    }
    case CB_INSERTSTRING: {
        int index = (int)wParam;
        if (index < -1 || index > (int)cb->items.size())
            return CB_ERR;
        return Insert(hwnd, cb, index, (const char *)lParam);
    }
    case CB_DELETESTRING: {
        int index = (int)wParam;
        if (index < 0 || index >= (int)cb->items.size())
            return CB_ERR;
        cb->items.erase(cb->items.begin() + index);
        Shifted(hwnd, cb, index, -1);
        return (LRESULT)cb->items.size();
    }
    case CB_RESETCONTENT:
        cb->items.clear();
        cb->sel = cb->hot = cb->selAtDrop = -1;
        cb->top = 0;
        if (cb->dropped)
            InvalidateRect(cb->list, NULL, TRUE);
        InvalidateField(hwnd);
        return CB_OKAY;
    case CB_GETCOUNT:
        return (LRESULT)cb->items.size();
    case CB_GETCURSEL:
        return cb->sel;
    case CB_SETCURSEL: {
        int index = (int)wParam;
        if (index < 0 || index >= (int)cb->items.size()) {
            SetSelection(hwnd, cb, -1);
            return CB_ERR;
        }
        SetSelection(hwnd, cb, index);
        return index;
    }
    case CB_GETLBTEXT: {
        int index = (int)wParam;
        if (index < 0 || index >= (int)cb->items.size() || !lParam)
            return CB_ERR;
        const std::string &t = cb->items[index].text;
        memcpy((char *)lParam, t.c_str(), t.size() + 1);
        return (LRESULT)t.size();
    }
    case CB_GETLBTEXTLEN: {
        int index = (int)wParam;
        if (index < 0 || index >= (int)cb->items.size())
            return CB_ERR;
        return (LRESULT)cb->items[index].text.size();
    }
    case CB_FINDSTRING:
    case CB_FINDSTRINGEXACT:
        return FindString(cb, (int)wParam, (const char *)lParam, message == CB_FINDSTRINGEXACT);
    case CB_SELECTSTRING: {
        int i = FindString(cb, (int)wParam, (const char *)lParam, false);
        if (i != CB_ERR)
            SetSelection(hwnd, cb, i);
        return i;
    }
    case CB_SETITEMDATA: {
        int index = (int)wParam;
        if (index < 0 || index >= (int)cb->items.size())
            return CB_ERR;
        cb->items[index].data = lParam;
        return TRUE;
    }
    case CB_GETITEMDATA: {
        int index = (int)wParam;
        if (index < 0 || index >= (int)cb->items.size())
            return CB_ERR;
        return cb->items[index].data;
    }
    case CB_SHOWDROPDOWN:
        if (wParam)
            Open(hwnd);
        else
            Close(hwnd, CLOSE_QUIET);
        return TRUE;
    case CB_GETDROPPEDSTATE:
        return cb->dropped ? TRUE : FALSE;
    case CB_GETDROPPEDCONTROLRECT: {
        RECT *r = (RECT *)lParam;
        if (!r)
            return CB_ERR;
        GetWindowRect(hwnd, r);
        r->bottom = r->top + std::max(cb->droppedHeight, (int)(r->bottom - r->top));
        return TRUE;
    }
    case CB_GETITEMHEIGHT:
        if ((int)wParam == -1)
            return FieldHeight(hwnd, cb);
        if ((int)wParam < -1)
            return CB_ERR;
        return ItemHeight(hwnd, cb);
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

} // namespace

void RegisterComboBoxClass()
{
    WNDCLASSA wc = {};
    wc.style = CS_DBLCLKS | CS_GLOBALCLASS;
    wc.lpfnWndProc = ComboProc;
    wc.cbWndExtra = sizeof(LONG_PTR);
    wc.lpszClassName = "COMBOBOX";
    RegisterLayerClass(wc);

    WNDCLASSA lc = {};
    lc.style = CS_SAVEBITS;
    lc.lpfnWndProc = ListProc;
    lc.cbWndExtra = sizeof(LONG_PTR);
    lc.lpszClassName = "ComboLBox";
    RegisterLayerClass(lc);
}

} // namespace layer
