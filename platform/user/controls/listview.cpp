/*
 * SysListView32, the list view, in list mode (LVS_LIST): small icons with
 * their labels to the right, flowing top to bottom and then into the next
 * column.
 *
 * Layout.  Every item has the same height: the taller of the small image
 * list's icons and the font, plus two pixels.  A column holds as many items
 * as fit the client height (at least one), and every column has the same
 * width: the small icon, the widest label and 20 pixels of room (2 before
 * the icon, 2 between icon and label, the label's own 2-pixel margins on
 * either side, and the rest as the gap to the next column).  The platform
 * computes its own width from the same quantities; this one is fixed so
 * that a test can know where an item is.
 *
 * Scrolling is by whole columns.  When the columns do not fit the client
 * width the window gets its standard horizontal scroll bar (WS_HSCROLL),
 * which costs a scroll bar's height of rows; the bar's range is the columns,
 * its page the columns that fit whole, its position the first column shown.
 *
 * Items are kept in a vector in display order.  With LVS_SORTASCENDING an
 * insert goes before the first item whose text compares greater
 * (lstrcmpiA), whatever position the caller asked for, so equal texts keep
 * the order they came in; a text changed by LVM_SETITEM moves its item to
 * keep the order.  Without it the asked position is used, clamped to the
 * count.  An item's selection and focus are bits of its state, so they
 * travel with it.
 *
 * Notifications go to the parent as WM_NOTIFY.  A handler may do anything
 * to the list, delete every item or destroy the window, so after each one
 * the code looks the window up again and trusts no index it held.
 */
#include "user/wm.h"

#include <string.h>
#include <algorithm>

namespace layer {

namespace {

struct Item {
    std::string text;
    int image = -1; /* no image unless LVIF_IMAGE gives one */
    LPARAM param = 0;
    UINT state = 0;
    int textWidth = 0;
};

struct ListView {
    std::vector<Item> items;
    HIMAGELIST images[3] = {nullptr, nullptr, nullptr};
    COLORREF background = CLR_DEFAULT;
    HFONT font = nullptr;
    int firstColumn = 0;   /* the leftmost column shown */
    bool focused = false;
    bool pressed = false;  /* a left press that began here, waiting for its release */
    bool pressWasDouble = false;
};

const UINT kStateBits = LVIS_FOCUSED | LVIS_SELECTED;

ListView *Get(HWND hwnd)
{
    if (!WindowLookup(hwnd))
        return nullptr;
    return reinterpret_cast<ListView *>(GetWindowLongPtrA(hwnd, 0));
}

HFONT Font(ListView *lv) { return lv->font ? lv->font : SystemFont(); }

int TextWidth(HWND hwnd, ListView *lv, const std::string &text)
{
    HDC dc = GetDC(hwnd);
    if (!dc)
        return 0;
    HGDIOBJ old = SelectObject(dc, Font(lv));
    SIZE size = {0, 0};
    GetTextExtentPoint32A(dc, text.c_str(), (int)text.size(), &size);
    SelectObject(dc, old);
    ReleaseDC(hwnd, dc);
    return size.cx;
}

int FontHeight(HWND hwnd, ListView *lv)
{
    HDC dc = GetDC(hwnd);
    if (!dc)
        return 13;
    HGDIOBJ old = SelectObject(dc, Font(lv));
    TEXTMETRICA tm;
    int h = GetTextMetricsA(dc, &tm) ? (int)tm.tmHeight : 13;
    SelectObject(dc, old);
    ReleaseDC(hwnd, dc);
    return h;
}

void IconSize(ListView *lv, int &cx, int &cy)
{
    cx = cy = 0;
    if (lv->images[LVSIL_SMALL] && ImageList_GetIconSize(lv->images[LVSIL_SMALL], &cx, &cy))
        return;
    cx = GetSystemMetrics(SM_CXSMICON);
    cy = GetSystemMetrics(SM_CYSMICON);
}

/* The geometry every position is derived from. */
struct Metrics {
    int itemHeight, columnWidth, iconCx, iconCy;
    int rows;      /* items per column */
    int columns;   /* columns the items fill */
    int fullColumns; /* columns that fit the client width whole, at least 1 */
    int clientW, clientH;
};

Metrics Measure(HWND hwnd, ListView *lv)
{
    Metrics m;
    IconSize(lv, m.iconCx, m.iconCy);
    m.itemHeight = std::max(m.iconCy, FontHeight(hwnd, lv)) + 2;
    int widest = 0;
    for (const Item &it : lv->items)
        widest = std::max(widest, it.textWidth);
    m.columnWidth = m.iconCx + widest + 20;
    RECT c;
    GetClientRect(hwnd, &c);
    m.clientW = c.right;
    m.clientH = c.bottom;
    m.rows = std::max(1, m.clientH / m.itemHeight);
    int count = (int)lv->items.size();
    m.columns = count ? (count + m.rows - 1) / m.rows : 0;
    m.fullColumns = std::max(1, m.clientW / m.columnWidth);
    return m;
}

RECT BoundsRect(const Metrics &m, ListView *lv, int index)
{
    int col = index / m.rows - lv->firstColumn, row = index % m.rows;
    int x = col * m.columnWidth, y = row * m.itemHeight;
    int labelRight = x + 2 + m.iconCx + 2 + lv->items[index].textWidth + 4;
    return {x, y, labelRight, y + m.itemHeight};
}

RECT IconRect(const Metrics &m, ListView *lv, int index)
{
    RECT b = BoundsRect(m, lv, index);
    return {b.left, b.top, b.left + 2 + m.iconCx, b.bottom};
}

RECT LabelRect(const Metrics &m, ListView *lv, int index)
{
    RECT b = BoundsRect(m, lv, index);
    return {b.left + 2 + m.iconCx + 2, b.top, b.right, b.bottom};
}

int HitTest(HWND hwnd, ListView *lv, POINT p)
{
    if (lv->items.empty())
        return -1;
    Metrics m = Measure(hwnd, lv);
    if (p.x < 0 || p.y < 0 || p.y >= m.rows * m.itemHeight)
        return -1;
    int col = p.x / m.columnWidth + lv->firstColumn, row = p.y / m.itemHeight;
    int index = col * m.rows + row;
    if (index < 0 || index >= (int)lv->items.size())
        return -1;
    RECT b = BoundsRect(m, lv, index);
    return PtInRect(&b, p) ? index : -1;
}

/* Shows or hides the horizontal bar and sets its range after any change of
 * items, size, font or image list. */
void UpdateScroll(HWND hwnd, ListView *lv)
{
    Window *w = WindowLookup(hwnd);
    if (!w)
        return;
    int bar = GetSystemMetrics(SM_CYHSCROLL);
    bool has = (w->style & WS_HSCROLL) != 0;
    bool need = false;
    if (!(w->style & LVS_NOSCROLL)) {
        Metrics m = Measure(hwnd, lv);
        int fullH = m.clientH + (has ? bar : 0);
        int rows = std::max(1, fullH / m.itemHeight);
        int count = (int)lv->items.size();
        int cols = count ? (count + rows - 1) / rows : 0;
        need = cols * m.columnWidth > m.clientW;
    }
    if (need != has) {
        ShowScrollBar(hwnd, SB_HORZ, need);
        if (((w->style & WS_HSCROLL) != 0) != need) {
            w->style = need ? (w->style | WS_HSCROLL) : (w->style & ~WS_HSCROLL);
            SetWindowPos(hwnd, NULL, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
        }
        if (!WindowLookup(hwnd))
            return;
    }
    Metrics m = Measure(hwnd, lv);
    int maxFirst = std::max(0, m.columns - m.fullColumns);
    if (!need)
        maxFirst = 0;
    lv->firstColumn = std::min(std::max(lv->firstColumn, 0), maxFirst);
    if (need) {
        SCROLLINFO si = {};
        si.cbSize = sizeof si;
        si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
        si.nMin = 0;
        si.nMax = std::max(0, m.columns - 1);
        si.nPage = (UINT)m.fullColumns;
        si.nPos = lv->firstColumn;
        SetScrollInfo(hwnd, SB_HORZ, &si, TRUE);
    }
}

void Relayout(HWND hwnd, ListView *lv)
{
    UpdateScroll(hwnd, lv);
    InvalidateRect(hwnd, NULL, TRUE);
}

void ScrollTo(HWND hwnd, ListView *lv, int first)
{
    Metrics m = Measure(hwnd, lv);
    int maxFirst = std::max(0, m.columns - m.fullColumns);
    first = std::min(std::max(first, 0), maxFirst);
    if (first == lv->firstColumn)
        return;
    lv->firstColumn = first;
    UpdateScroll(hwnd, lv);
    InvalidateRect(hwnd, NULL, TRUE);
}

bool EnsureVisible(HWND hwnd, ListView *lv, int index, bool partialOk)
{
    if (index < 0 || index >= (int)lv->items.size())
        return false;
    Metrics m = Measure(hwnd, lv);
    int col = index / m.rows;
    if (col < lv->firstColumn) {
        ScrollTo(hwnd, lv, col);
    } else {
        RECT b = BoundsRect(m, lv, index);
        bool whole = b.right <= m.clientW;
        bool some = b.left < m.clientW;
        if (!(whole || (partialOk && some)))
            ScrollTo(hwnd, lv, col - m.fullColumns + 1);
    }
    return true;
}

LRESULT Notify(HWND hwnd, NMHDR &hdr, UINT code)
{
    hdr.hwndFrom = hwnd;
    hdr.idFrom = (UINT_PTR)GetWindowLongPtrA(hwnd, GWL_ID);
    hdr.code = code;
    HWND parent = GetParent(hwnd);
    if (!parent)
        return 0;
    return SendMessageA(parent, WM_NOTIFY, (WPARAM)hdr.idFrom, (LPARAM)&hdr);
}

void NotifySimple(HWND hwnd, UINT code)
{
    NMHDR hdr = {};
    Notify(hwnd, hdr, code);
}

void NotifyActivate(HWND hwnd, UINT code, int item, POINT p)
{
    NMITEMACTIVATE nm = {};
    nm.iItem = item;
    nm.ptAction = p;
    ListView *lv = Get(hwnd);
    if (lv && item >= 0 && item < (int)lv->items.size())
        nm.lParam = lv->items[item].param;
    if (GetKeyState(VK_SHIFT) < 0)
        nm.uKeyFlags |= 0x0004; /* LVKF_SHIFT */
    if (GetKeyState(VK_CONTROL) < 0)
        nm.uKeyFlags |= 0x0002; /* LVKF_CONTROL */
    Notify(hwnd, nm.hdr, code);
}

void InvalidateItem(HWND hwnd, ListView *lv, int index)
{
    if (index < 0 || index >= (int)lv->items.size())
        return;
    Metrics m = Measure(hwnd, lv);
    RECT b = BoundsRect(m, lv, index);
    InvalidateRect(hwnd, &b, TRUE);
}

/* Changes the state bits of one item (mask) to state, keeping a single
 * selection and a single focused item.  The changes are collected first
 * and announced after, one LVN_ITEMCHANGED each, so that a handler sees a
 * consistent list.  False for a bad index. */
bool SetState(HWND hwnd, int index, UINT state, UINT mask)
{
    ListView *lv = Get(hwnd);
    if (!lv)
        return false;
    int count = (int)lv->items.size();
    mask &= kStateBits;
    std::vector<int> targets;
    if (index == -1) {
        for (int i = 0; i < count; i++)
            targets.push_back(i);
    } else if (index >= 0 && index < count) {
        targets.push_back(index);
    } else {
        return false;
    }
    DWORD style = (DWORD)GetWindowLongA(hwnd, GWL_STYLE);
    std::vector<UINT> before(count);
    for (int i = 0; i < count; i++)
        before[i] = lv->items[i].state;
    for (int t : targets) {
        Item &it = lv->items[t];
        UINT next = (it.state & ~mask) | (state & mask);
        if ((next & LVIS_SELECTED) && !(it.state & LVIS_SELECTED) && (style & LVS_SINGLESEL))
            for (int i = 0; i < count; i++)
                if (i != t)
                    lv->items[i].state &= ~LVIS_SELECTED;
        if ((next & LVIS_FOCUSED) && !(it.state & LVIS_FOCUSED))
            for (int i = 0; i < count; i++)
                if (i != t)
                    lv->items[i].state &= ~LVIS_FOCUSED;
        it.state = next;
    }
    /* Setting a state on every item cannot leave two selected in a
     * single-selection list or two focused: the first one keeps it. */
    if (index == -1) {
        bool sel = false, foc = false;
        for (int i = 0; i < count; i++) {
            Item &it = lv->items[i];
            if ((style & LVS_SINGLESEL) && (it.state & LVIS_SELECTED)) {
                if (sel)
                    it.state &= ~LVIS_SELECTED;
                sel = true;
            }
            if (it.state & LVIS_FOCUSED) {
                if (foc)
                    it.state &= ~LVIS_FOCUSED;
                foc = true;
            }
        }
    }
    struct Change { int index; UINT oldState, newState; LPARAM param; };
    std::vector<Change> changes;
    for (int i = 0; i < count; i++)
        if (before[i] != lv->items[i].state) {
            changes.push_back({i, before[i], lv->items[i].state, lv->items[i].param});
            InvalidateItem(hwnd, lv, i);
        }
    for (const Change &c : changes) {
        if (!Get(hwnd))
            break;
        NMLISTVIEW nm = {};
        nm.iItem = c.index;
        nm.uNewState = c.newState;
        nm.uOldState = c.oldState;
        nm.uChanged = LVIF_STATE;
        nm.lParam = c.param;
        Notify(hwnd, nm.hdr, LVN_ITEMCHANGED);
    }
    return true;
}

int FocusedItem(ListView *lv)
{
    for (size_t i = 0; i < lv->items.size(); i++)
        if (lv->items[i].state & LVIS_FOCUSED)
            return (int)i;
    return -1;
}

/* The user moved to an item: it alone is selected, and focused. */
void SelectOnly(HWND hwnd, int index)
{
    ListView *lv = Get(hwnd);
    if (!lv)
        return;
    if (!(GetWindowLongA(hwnd, GWL_STYLE) & LVS_SINGLESEL))
        for (size_t i = 0; i < lv->items.size(); i++)
            if ((int)i != index)
                lv->items[i].state &= ~LVIS_SELECTED, InvalidateItem(hwnd, lv, (int)i);
    SetState(hwnd, index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    if ((lv = Get(hwnd)))
        EnsureVisible(hwnd, lv, index, false);
}

void ClearSelection(HWND hwnd)
{
    ListView *lv = Get(hwnd);
    if (!lv)
        return;
    for (const Item &it : lv->items)
        if (it.state & LVIS_SELECTED) {
            SetState(hwnd, -1, 0, LVIS_SELECTED);
            return;
        }
}

std::string TextOf(const LVITEMA *item)
{
    if (!item->pszText || item->pszText == (LPSTR)(LONG_PTR)-1)
        return std::string();
    return std::string(item->pszText);
}

int SortedPosition(ListView *lv, const std::string &text, int skip = -1)
{
    for (size_t i = 0; i < lv->items.size(); i++) {
        if ((int)i == skip)
            continue;
        if (lstrcmpiA(lv->items[i].text.c_str(), text.c_str()) > 0)
            return (int)i;
    }
    return (int)lv->items.size();
}

int InsertItem(HWND hwnd, ListView *lv, const LVITEMA *in)
{
    if (!in || in->iSubItem != 0)
        return -1;
    DWORD style = (DWORD)GetWindowLongA(hwnd, GWL_STYLE);
    Item item;
    if (in->mask & LVIF_TEXT)
        item.text = TextOf(in);
    if (in->mask & LVIF_IMAGE)
        item.image = in->iImage;
    if (in->mask & LVIF_PARAM)
        item.param = in->lParam;
    item.textWidth = TextWidth(hwnd, lv, item.text);
    UINT state = 0, stateMask = 0;
    if (in->mask & LVIF_STATE) {
        state = in->state;
        stateMask = in->stateMask & kStateBits;
    }
    int pos;
    if (style & LVS_SORTASCENDING) {
        pos = SortedPosition(lv, item.text);
    } else {
        if (in->iItem < 0)
            return -1;
        pos = std::min(in->iItem, (int)lv->items.size());
    }
    lv->items.insert(lv->items.begin() + pos, item);
    Relayout(hwnd, lv);
    if (stateMask & state)
        SetState(hwnd, pos, state, stateMask);
    return pos;
}

bool GetItem(ListView *lv, LVITEMA *out)
{
    if (!out || out->iItem < 0 || out->iItem >= (int)lv->items.size() || out->iSubItem != 0)
        return false;
    const Item &it = lv->items[out->iItem];
    if ((out->mask & LVIF_TEXT) && out->pszText && out->cchTextMax > 0) {
        size_t n = std::min(it.text.size(), (size_t)out->cchTextMax - 1);
        memcpy(out->pszText, it.text.data(), n);
        out->pszText[n] = 0;
    }
    if (out->mask & LVIF_IMAGE)
        out->iImage = it.image;
    if (out->mask & LVIF_PARAM)
        out->lParam = it.param;
    if (out->mask & LVIF_STATE)
        out->state = it.state & out->stateMask;
    return true;
}

bool SetItem(HWND hwnd, ListView *lv, const LVITEMA *in)
{
    if (!in || in->iItem < 0 || in->iItem >= (int)lv->items.size() || in->iSubItem != 0)
        return false;
    int index = in->iItem;
    Item &it = lv->items[index];
    if (in->mask & LVIF_IMAGE)
        it.image = in->iImage;
    if (in->mask & LVIF_PARAM)
        it.param = in->lParam;
    if (in->mask & LVIF_TEXT) {
        it.text = TextOf(in);
        it.textWidth = TextWidth(hwnd, lv, it.text);
        if (GetWindowLongA(hwnd, GWL_STYLE) & LVS_SORTASCENDING) {
            int pos = SortedPosition(lv, it.text, index);
            Item moved = it;
            lv->items.erase(lv->items.begin() + index);
            if (pos > index)
                pos--;
            lv->items.insert(lv->items.begin() + pos, moved);
            index = pos;
        }
    }
    Relayout(hwnd, lv);
    if (in->mask & LVIF_STATE)
        SetState(hwnd, index, in->state, in->stateMask);
    return true;
}

int GetNextItem(ListView *lv, int start, UINT flags)
{
    int count = (int)lv->items.size();
    if (start < -1)
        start = -1;
    UINT want = 0;
    if (flags & LVNI_SELECTED)
        want |= LVIS_SELECTED;
    if (flags & LVNI_FOCUSED)
        want |= LVIS_FOCUSED;
    for (int i = start + 1; i < count; i++)
        if ((lv->items[i].state & want) == want)
            return i;
    return -1;
}

void Paint(HWND hwnd, ListView *lv)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (!dc)
        return;
    Metrics m = Measure(hwnd, lv);
    RECT all = {0, 0, m.clientW, m.clientH};
    if (lv->background != CLR_NONE) {
        COLORREF bk = lv->background == CLR_DEFAULT ? GetSysColor(COLOR_WINDOW) : lv->background;
        HBRUSH brush = CreateSolidBrush(bk);
        FillRect(dc, &all, brush);
        DeleteObject(brush);
    }
    DWORD style = (DWORD)GetWindowLongA(hwnd, GWL_STYLE);
    bool showSel = lv->focused || (style & LVS_SHOWSELALWAYS);
    HGDIOBJ oldFont = SelectObject(dc, Font(lv));
    SetBkMode(dc, TRANSPARENT);
    int first = lv->firstColumn * m.rows;
    int last = std::min((int)lv->items.size(), (lv->firstColumn + m.fullColumns + 1) * m.rows);
    for (int i = first; i < last; i++) {
        const Item &it = lv->items[i];
        RECT icon = IconRect(m, lv, i), label = LabelRect(m, lv, i);
        if (icon.left >= m.clientW)
            break;
        if (lv->images[LVSIL_SMALL] && it.image >= 0)
            ImageList_Draw(lv->images[LVSIL_SMALL], it.image, dc, icon.left + 2,
                           icon.top + (m.itemHeight - m.iconCy) / 2, ILD_TRANSPARENT);
        bool selected = (it.state & LVIS_SELECTED) && showSel;
        COLORREF ink = GetSysColor(COLOR_WINDOWTEXT);
        if (selected) {
            int face = lv->focused ? COLOR_HIGHLIGHT : COLOR_BTNFACE;
            FillRect(dc, &label, GetSysColorBrush(face));
            ink = GetSysColor(lv->focused ? COLOR_HIGHLIGHTTEXT : COLOR_BTNTEXT);
        }
        SetTextColor(dc, ink);
        RECT text = {label.left + 2, label.top, label.right - 2, label.bottom};
        DrawTextA(dc, it.text.c_str(), (int)it.text.size(), &text,
                  DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        if (lv->focused && (it.state & LVIS_FOCUSED))
            DrawFocusRect(dc, &label);
    }
    SelectObject(dc, oldFont);
    EndPaint(hwnd, &ps);
}

void HScroll(HWND hwnd, ListView *lv, int code)
{
    Metrics m = Measure(hwnd, lv);
    int first = lv->firstColumn;
    switch (code) {
    case SB_LINELEFT: first--; break;
    case SB_LINERIGHT: first++; break;
    case SB_PAGELEFT: first -= m.fullColumns; break;
    case SB_PAGERIGHT: first += m.fullColumns; break;
    case SB_LEFT: first = 0; break;
    case SB_RIGHT: first = m.columns; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
        SCROLLINFO si = {};
        si.cbSize = sizeof si;
        si.fMask = SIF_TRACKPOS;
        if (GetScrollInfo(hwnd, SB_HORZ, &si))
            first = si.nTrackPos;
        break;
    }
    default: return;
    }
    ScrollTo(hwnd, lv, first);
}

void KeyDown(HWND hwnd, ListView *lv, UINT vk)
{
    if (vk == VK_RETURN) {
        NotifySimple(hwnd, NM_RETURN);
        return;
    }
    switch (vk) {
    case VK_UP: case VK_DOWN: case VK_LEFT: case VK_RIGHT:
    case VK_HOME: case VK_END: case VK_PRIOR: case VK_NEXT:
        break;
    default:
        return;
    }
    int count = (int)lv->items.size();
    if (!count)
        return;
    Metrics m = Measure(hwnd, lv);
    int cur = FocusedItem(lv);
    int next = 0;
    if (cur >= 0) {
        next = cur;
        switch (vk) {
        case VK_UP: next = std::max(cur - 1, 0); break;
        case VK_DOWN: next = std::min(cur + 1, count - 1); break;
        case VK_LEFT: if (cur - m.rows >= 0) next = cur - m.rows; break;
        case VK_RIGHT:
            if (cur / m.rows + 1 < m.columns)
                next = std::min(cur + m.rows, count - 1);
            break;
        case VK_HOME: next = 0; break;
        case VK_END: next = count - 1; break;
        case VK_PRIOR: next = std::max(cur - m.rows * m.fullColumns, 0); break;
        case VK_NEXT: next = std::min(cur + m.rows * m.fullColumns, count - 1); break;
        }
    }
    SelectOnly(hwnd, next);
}

/* A typed character moves to the next item whose label starts with it. */
void TypeChar(HWND hwnd, ListView *lv, unsigned char ch)
{
    int count = (int)lv->items.size();
    if (!count || ch < ' ')
        return;
    char key[2] = {(char)ch, 0};
    int cur = FocusedItem(lv);
    for (int n = 1; n <= count; n++) {
        int i = (cur + n + count) % count;
        if (cur < 0)
            i = n - 1;
        const std::string &t = lv->items[i].text;
        if (!t.empty()) {
            char first[2] = {t[0], 0};
            if (lstrcmpiA(first, key) == 0) {
                SelectOnly(hwnd, i);
                return;
            }
        }
    }
}

/* A press selects (or, over empty space in a single-selection list,
 * clears) before the mouse is captured, and a double click captures
 * nothing: a handler of the notifications may run a modal loop, which must
 * get the mouse. */
void Press(HWND hwnd, POINT p, bool dbl)
{
    ListView *lv = Get(hwnd);
    if (!lv)
        return;
    if (GetFocus() != hwnd)
        SetFocus(hwnd);
    if (!(lv = Get(hwnd)))
        return;
    int item = HitTest(hwnd, lv, p);
    if (item >= 0)
        SelectOnly(hwnd, item);
    else if (GetWindowLongA(hwnd, GWL_STYLE) & LVS_SINGLESEL)
        ClearSelection(hwnd);
    if (!(lv = Get(hwnd)))
        return;
    lv->pressed = true;
    lv->pressWasDouble = dbl;
    if (dbl) {
        NotifyActivate(hwnd, NM_DBLCLK, item, p);
        return;
    }
    if (GetKeyState(VK_LBUTTON) < 0)
        SetCapture(hwnd);
}

void Release(HWND hwnd, POINT p)
{
    ListView *lv = Get(hwnd);
    if (!lv || !lv->pressed)
        return;
    lv->pressed = false;
    bool dbl = lv->pressWasDouble;
    if (GetCapture() == hwnd)
        ReleaseCapture();
    RECT c;
    GetClientRect(hwnd, &c);
    if (!dbl && PtInRect(&c, p))
        NotifyActivate(hwnd, NM_CLICK, HitTest(hwnd, lv, p), p);
}

void DestroyData(HWND hwnd, ListView *lv)
{
    if (!(GetWindowLongA(hwnd, GWL_STYLE) & LVS_SHAREIMAGELISTS)) {
        for (int i = 0; i < 3; i++) {
            HIMAGELIST list = lv->images[i];
            if (!list)
                continue;
            /* One list given for two roles is destroyed once. */
            for (int j = i + 1; j < 3; j++)
                if (lv->images[j] == list)
                    lv->images[j] = nullptr;
            ImageList_Destroy(list);
        }
    }
    SetWindowLongPtrA(hwnd, 0, 0);
    delete lv;
}

LRESULT CALLBACK ListViewProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    ListView *lv = Get(hwnd);
    if (message == WM_NCCREATE) {
        SetWindowLongPtrA(hwnd, 0, (LONG_PTR) new ListView());
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    if (!lv)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    switch (message) {
    case WM_CREATE:
        UpdateScroll(hwnd, lv);
        return 0;
    case WM_NCDESTROY:
        DestroyData(hwnd, lv);
        return 0;
    case WM_SIZE:
        UpdateScroll(hwnd, lv);
        InvalidateRect(hwnd, NULL, TRUE);
        return 0;
    case WM_SETFONT:
        lv->font = (HFONT)wParam;
        for (Item &it : lv->items)
            it.textWidth = TextWidth(hwnd, lv, it.text);
        UpdateScroll(hwnd, lv);
        if (LOWORD(lParam))
            InvalidateRect(hwnd, NULL, TRUE);
        return 0;
    case WM_GETFONT:
        return (LRESULT)lv->font;
    case WM_ERASEBKGND:
        return 1; /* WM_PAINT fills the whole client */
    case WM_PAINT:
        Paint(hwnd, lv);
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_SETFOCUS:
        lv->focused = true;
        InvalidateRect(hwnd, NULL, TRUE);
        NotifySimple(hwnd, NM_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        lv->focused = false;
        InvalidateRect(hwnd, NULL, TRUE);
        NotifySimple(hwnd, NM_KILLFOCUS);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        Press(hwnd, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}, message == WM_LBUTTONDBLCLK);
        return 0;
    case WM_LBUTTONUP:
        Release(hwnd, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_CAPTURECHANGED:
        if ((HWND)lParam != hwnd)
            lv->pressed = false;
        return 0;
    case WM_KEYDOWN:
        KeyDown(hwnd, lv, (UINT)wParam);
        return 0;
    case WM_CHAR:
        TypeChar(hwnd, lv, (unsigned char)wParam);
        return 0;
    case WM_HSCROLL:
        HScroll(hwnd, lv, LOWORD(wParam));
        return 0;
    case WM_MOUSEWHEEL: {
        int notches = GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA;
        if (notches)
            ScrollTo(hwnd, lv, lv->firstColumn - notches);
        return 0;
    }

    case LVM_SETBKCOLOR:
        lv->background = (COLORREF)lParam;
        InvalidateRect(hwnd, NULL, TRUE);
        return TRUE;
    case LVM_GETIMAGELIST:
        return wParam < 3 ? (LRESULT)lv->images[wParam] : 0;
    case LVM_SETIMAGELIST: {
        if (wParam >= 3)
            return 0;
        HIMAGELIST old = lv->images[wParam];
        lv->images[wParam] = (HIMAGELIST)lParam;
        Relayout(hwnd, lv);
        return (LRESULT)old;
    }
    case LVM_GETITEMCOUNT:
        return (LRESULT)lv->items.size();
    case LVM_GETSELECTEDCOUNT: {
        int n = 0;
        for (const Item &it : lv->items)
            if (it.state & LVIS_SELECTED)
                n++;
        return n;
    }
    case LVM_INSERTITEMA:
        return InsertItem(hwnd, lv, (const LVITEMA *)lParam);
    case LVM_DELETEITEM: {
        int index = (int)wParam;
        if (index < 0 || index >= (int)lv->items.size())
            return FALSE;
        lv->items.erase(lv->items.begin() + index);
        Relayout(hwnd, lv);
        return TRUE;
    }
    case LVM_DELETEALLITEMS:
        lv->items.clear();
        lv->firstColumn = 0;
        Relayout(hwnd, lv);
        return TRUE;
    case LVM_GETITEMA:
        return GetItem(lv, (LVITEMA *)lParam);
    case LVM_SETITEMA:
        return SetItem(hwnd, lv, (const LVITEMA *)lParam);
    case LVM_GETITEMTEXTA: {
        LVITEMA *item = (LVITEMA *)lParam;
        int index = (int)wParam;
        if (!item || !item->pszText || item->cchTextMax <= 0)
            return 0;
        if (index < 0 || index >= (int)lv->items.size() || item->iSubItem != 0) {
            item->pszText[0] = 0;
            return 0;
        }
        const std::string &t = lv->items[index].text;
        size_t n = std::min(t.size(), (size_t)item->cchTextMax - 1);
        memcpy(item->pszText, t.data(), n);
        item->pszText[n] = 0;
        return (LRESULT)n;
    }
    case LVM_SETITEMSTATE: {
        const LVITEMA *item = (const LVITEMA *)lParam;
        if (!item)
            return FALSE;
        return SetState(hwnd, (int)wParam, item->state, item->stateMask);
    }
    case LVM_GETITEMSTATE: {
        int index = (int)wParam;
        if (index < 0 || index >= (int)lv->items.size())
            return 0;
        return lv->items[index].state & (UINT)lParam;
    }
    case LVM_GETNEXTITEM:
        return GetNextItem(lv, (int)wParam, (UINT)LOWORD(lParam));
    case LVM_GETITEMRECT: {
        RECT *r = (RECT *)lParam;
        int index = (int)wParam;
        if (!r || index < 0 || index >= (int)lv->items.size())
            return FALSE;
        Metrics m = Measure(hwnd, lv);
        switch (r->left) {
        case LVIR_BOUNDS: *r = BoundsRect(m, lv, index); return TRUE;
        case LVIR_ICON: *r = IconRect(m, lv, index); return TRUE;
        case LVIR_LABEL: *r = LabelRect(m, lv, index); return TRUE;
        case 3: *r = BoundsRect(m, lv, index); return TRUE; /* LVIR_SELECTBOUNDS */
        }
        return FALSE;
    }
    case LVM_ENSUREVISIBLE:
        return EnsureVisible(hwnd, lv, (int)wParam, lParam != 0);
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

} // namespace

void RegisterListViewClass()
{
    WNDCLASSA wc = {};
    wc.style = CS_DBLCLKS | CS_GLOBALCLASS;
    wc.lpfnWndProc = ListViewProc;
    wc.cbWndExtra = sizeof(LONG_PTR);
    wc.lpszClassName = WC_LISTVIEWA;
    RegisterLayerClass(wc);
}

} // namespace layer
