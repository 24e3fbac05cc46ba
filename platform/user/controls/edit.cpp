/*
 * The EDIT class: single-line and multiline edit controls.
 *
 * The text is one string; the selection is an anchor and a caret (the end
 * that moves).  A multiline control lays the text out in lines: a line
 * ends at CR-LF or at a lone LF, and, unless the control scrolls sideways
 * (WS_HSCROLL, ES_AUTOHSCROLL), wraps at the last space that fits the
 * width, or inside a word longer than the width.  Widths come from a table
 * of the font's 256 advances, which is exact because the text renderer adds
 * advances the same way.
 *
 * Every change of the text goes through one place, which sends EN_UPDATE
 * before the control shows the new text and EN_CHANGE after: WM_SETTEXT,
 * each keystroke that changes something, cut, paste, clear and
 * EM_REPLACESEL.  What the user enters is held to the EM_LIMITTEXT limit
 * and, in a single-line control without ES_AUTOHSCROLL, to what fits the
 * width (EN_MAXTEXT when something had to be left out).
 *
 * The caret is a steady one-pixel line drawn by WM_PAINT while the control
 * has the focus; it does not blink, so that pictures of the screen are
 * stable.  Read-only and disabled controls take their colours from
 * WM_CTLCOLORSTATIC, the others from WM_CTLCOLOREDIT.
 *
 * A read-only multiline control is a viewer: the arrow and page keys
 * scroll it (as do its scroll bar and the wheel, three lines a notch).
 *
 * The per-control record hangs from the window's extra bytes and outlives
 * the window (its memory is released at WM_NCDESTROY): a notification may
 * destroy the control while its procedure still runs.
 */
#include "user/wm.h"

#include <ctype.h>
#include <string.h>
#include <algorithm>

namespace layer {

namespace {

const int kMarginX = 2, kMarginY = 1;

struct Line {
    size_t start, end, next; /* text shown [start, end); the next line starts at next */
};

struct EditState {
    std::string text;
    size_t anchor = 0, caret = 0;
    size_t limit = 32767;
    int scrollX = 0;   /* single-line: pixels scrolled to the left */
    int firstLine = 0; /* multiline: the top line shown */
    HFONT font = nullptr;
    bool focused = false, selecting = false, modified = false;
    bool hasVScroll = false;
    int widths[256] = {};
    int lineHeight = 13;
    bool measured = false;
    std::vector<Line> lines;
    int wheel = 0; /* wheel delta not yet turned into lines */
};

EditState *StateOf(Window *w) { return ControlState<EditState>(w); }

bool Multi(Window *w) { return (w->style & ES_MULTILINE) != 0; }
bool ReadOnly(Window *w) { return (w->style & ES_READONLY) != 0; }

void Measure(Window *w, EditState *s)
{
    HDC dc = GetDC(NULL);
    if (!dc)
        return;
    HGDIOBJ old = SelectObject(dc, s->font ? s->font : SystemFont());
    TEXTMETRICA tm;
    if (GetTextMetricsA(dc, &tm))
        s->lineHeight = std::max(1, (int)tm.tmHeight);
    for (int c = 0; c < 256; c++) {
        char ch = (char)c;
        SIZE size = {0, 0};
        s->widths[c] = (c == '\r' || c == '\n' || !GetTextExtentPoint32A(dc, &ch, 1, &size)) ? 0 : size.cx;
    }
    if (old)
        SelectObject(dc, old);
    ReleaseDC(NULL, dc);
    s->measured = true;
}

unsigned char Shown(Window *w, char c) { return (w->style & ES_PASSWORD) ? '*' : (unsigned char)c; }

int Width(Window *w, EditState *s, size_t from, size_t to)
{
    int x = 0;
    for (size_t i = from; i < to && i < s->text.size(); i++)
        x += s->widths[Shown(w, s->text[i])];
    return x;
}

RECT FormatRect(Window *w)
{
    RECT r = {0, 0, w->client.right - w->client.left, w->client.bottom - w->client.top};
    InflateRect(&r, -kMarginX, 0);
    r.top += kMarginY;
    return r;
}

int VisibleLines(Window *w, EditState *s)
{
    RECT f = FormatRect(w);
    return std::max(1, (int)(f.bottom - f.top) / s->lineHeight);
}

void Layout(Window *w, EditState *s)
{
    if (!s->measured)
        Measure(w, s);
    s->lines.clear();
    const std::string &t = s->text;
    size_t n = t.size();
    if (!Multi(w)) {
        s->lines.push_back({0, n, n});
        return;
    }
    bool wrap = !(w->style & (WS_HSCROLL | ES_AUTOHSCROLL));
    RECT f = FormatRect(w);
    int width = std::max(1, (int)(f.right - f.left));
    size_t i = 0;
    for (;;) {
        size_t lf = t.find('\n', i);
        size_t stop = lf == std::string::npos ? n : lf;
        size_t shownEnd = stop > i && t[stop - 1] == '\r' ? stop - 1 : stop;
        size_t next = lf == std::string::npos ? n : lf + 1;
        size_t ls = i;
        if (!wrap || ls == shownEnd) {
            s->lines.push_back({ls, shownEnd, next});
        } else {
            while (ls < shownEnd) {
                int x = 0;
                size_t j = ls, lastBreak = std::string::npos;
                for (; j < shownEnd; j++) {
                    int cw = s->widths[Shown(w, t[j])];
                    if (x + cw > width && j > ls && t[j] != ' ')
                        break;
                    x += cw;
                    if (t[j] == ' ')
                        lastBreak = j + 1;
                }
                if (j >= shownEnd) {
                    s->lines.push_back({ls, shownEnd, next});
                    break;
                }
                size_t brk = lastBreak != std::string::npos && lastBreak > ls ? lastBreak : j;
                s->lines.push_back({ls, brk, brk});
                ls = brk;
            }
            s->lines.back().next = next;
        }
        if (lf == std::string::npos)
            break;
        i = next;
    }
}

size_t LineOf(EditState *s, size_t pos)
{
    size_t lo = 0, hi = s->lines.size();
    while (hi - lo > 1) {
        size_t mid = (lo + hi) / 2;
        if (s->lines[mid].start <= pos)
            lo = mid;
        else
            hi = mid;
    }
    return lo;
}

int MaxFirstLine(Window *w, EditState *s)
{
    return std::max(0, (int)s->lines.size() - VisibleLines(w, s));
}

void UpdateScrollBar(Window *w, EditState *s)
{
    if (!Multi(w) || !s->hasVScroll)
        return;
    SCROLLINFO si = {sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL, 0,
                     std::max(0, (int)s->lines.size() - 1), (UINT)VisibleLines(w, s), s->firstLine, 0};
    SetScrollInfo(H(w), SB_VERT, &si, TRUE);
}

void ScrollTo(Window *w, EditState *s, int line)
{
    line = std::min(std::max(line, 0), MaxFirstLine(w, s));
    if (line == s->firstLine)
        return;
    s->firstLine = line;
    InvalidateRect(H(w), NULL, FALSE);
    UpdateScrollBar(w, s);
}

void EnsureCaretVisible(Window *w, EditState *s)
{
    if (Multi(w)) {
        int line = (int)LineOf(s, s->caret), visible = VisibleLines(w, s);
        if (line < s->firstLine)
            ScrollTo(w, s, line);
        else if (line >= s->firstLine + visible)
            ScrollTo(w, s, line - visible + 1);
        return;
    }
    if (!(w->style & ES_AUTOHSCROLL)) {
        s->scrollX = 0;
        return;
    }
    RECT f = FormatRect(w);
    int avail = std::max(1, (int)(f.right - f.left) - 1);
    int x = Width(w, s, 0, s->caret), total = Width(w, s, 0, s->text.size());
    int old = s->scrollX;
    if (x - s->scrollX > avail)
        s->scrollX = x - avail;
    if (x < s->scrollX)
        s->scrollX = std::max(0, x - avail / 3);
    if (s->scrollX > 0 && total - s->scrollX < avail)
        s->scrollX = std::max(0, total - avail);
    if (old != s->scrollX)
        InvalidateRect(H(w), NULL, FALSE);
}

bool Notify(Window *w, WORD code)
{
    HWND hwnd = H(w);
    if (w->parent && (w->style & WS_CHILD))
        SendMessageA(H(w->parent), WM_COMMAND, MAKEWPARAM((WORD)w->id, code), (LPARAM)hwnd);
    return WindowLookup(hwnd) != nullptr;
}

/* Shows a new text: the layout, the caret in view, then the notifications. */
bool TextChanged(Window *w, EditState *s)
{
    w->text = s->text;
    Layout(w, s);
    s->firstLine = std::min(s->firstLine, MaxFirstLine(w, s));
    EnsureCaretVisible(w, s);
    UpdateScrollBar(w, s);
    if (!Notify(w, EN_UPDATE))
        return false;
    InvalidateRect(H(w), NULL, FALSE);
    return Notify(w, EN_CHANGE);
}

size_t SelStart(EditState *s) { return std::min(s->anchor, s->caret); }
size_t SelEnd(EditState *s) { return std::max(s->anchor, s->caret); }

/* Replaces the selection.  user: typed or pasted, so held to the limit and,
 * without ES_AUTOHSCROLL on one line, to the width. */
bool Replace(Window *w, EditState *s, std::string insert, bool user)
{
    size_t a = SelStart(s), b = SelEnd(s);
    bool cut = false;
    if (user) {
        size_t kept = s->text.size() - (b - a);
        size_t room = s->limit > kept ? s->limit - kept : 0;
        if (insert.size() > room) {
            insert.resize(room);
            cut = true;
        }
        if (!Multi(w) && !(w->style & ES_AUTOHSCROLL)) {
            RECT f = FormatRect(w);
            int avail = (int)(f.right - f.left);
            int base = Width(w, s, 0, a) + Width(w, s, b, s->text.size());
            size_t fit = 0;
            for (int x = base; fit < insert.size(); fit++) {
                x += s->widths[Shown(w, insert[fit])];
                if (x > avail)
                    break;
            }
            if (fit < insert.size()) {
                insert.resize(fit);
                cut = true;
            }
        }
    }
    if (cut && !Notify(w, EN_MAXTEXT))
        return false;
    if (a == b && insert.empty())
        return true;
    s->text.replace(a, b - a, insert);
    s->anchor = s->caret = a + insert.size();
    s->modified = true;
    return TextChanged(w, s);
}

/* Steps over a CR-LF pair as one character. */
size_t Prev(EditState *s, size_t p)
{
    if (p == 0)
        return 0;
    if (p >= 2 && s->text[p - 1] == '\n' && s->text[p - 2] == '\r')
        return p - 2;
    return p - 1;
}

size_t Next(EditState *s, size_t p)
{
    size_t n = s->text.size();
    if (p >= n)
        return n;
    if (s->text[p] == '\r' && p + 1 < n && s->text[p + 1] == '\n')
        return p + 2;
    return p + 1;
}

bool WordChar(char c) { return !isspace((unsigned char)c); }

size_t PrevWord(EditState *s, size_t p)
{
    while (p > 0 && !WordChar(s->text[p - 1]))
        p--;
    while (p > 0 && WordChar(s->text[p - 1]))
        p--;
    return p;
}

size_t NextWord(EditState *s, size_t p)
{
    size_t n = s->text.size();
    while (p < n && WordChar(s->text[p]))
        p++;
    while (p < n && !WordChar(s->text[p]))
        p++;
    return p;
}

/* The character position nearest to a client point. */
size_t PositionAt(Window *w, EditState *s, int x, int y)
{
    RECT f = FormatRect(w);
    size_t li = 0;
    if (Multi(w)) {
        int row = y < f.top ? -1 : (y - f.top) / s->lineHeight;
        li = (size_t)std::min(std::max(s->firstLine + row, 0), (int)s->lines.size() - 1);
    }
    const Line &l = s->lines[li];
    int at = f.left - (Multi(w) ? 0 : s->scrollX);
    for (size_t i = l.start; i < l.end; i++) {
        int cw = s->widths[Shown(w, s->text[i])];
        if (x < at + cw / 2 + (cw & 1))
            return i;
        at += cw;
    }
    /* Past the end of a wrapped line the caret stays before the next one. */
    return l.end;
}

bool CopySelection(Window *w, EditState *s)
{
    size_t a = SelStart(s), b = SelEnd(s);
    if (a == b || (w->style & ES_PASSWORD))
        return false;
    if (!OpenClipboard(H(w)))
        return false;
    EmptyClipboard();
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, b - a + 1);
    if (char *p = block ? (char *)GlobalLock(block) : nullptr) {
        memcpy(p, s->text.data() + a, b - a);
        p[b - a] = 0;
        GlobalUnlock(block);
        if (!SetClipboardData(CF_TEXT, block))
            GlobalFree(block);
    } else if (block) {
        GlobalFree(block);
    }
    CloseClipboard();
    return true;
}

void Paste(Window *w, EditState *s)
{
    if (ReadOnly(w) || !OpenClipboard(H(w)))
        return;
    std::string text;
    if (HANDLE h = GetClipboardData(CF_TEXT)) {
        if (const char *p = (const char *)GlobalLock(h)) {
            text.assign(p, strnlen(p, GlobalSize(h)));
            GlobalUnlock(h);
        }
    }
    CloseClipboard();
    if (!Multi(w)) {
        /* One line takes the clipboard's first line. */
        size_t cut = text.find_first_of("\r\n");
        if (cut != std::string::npos)
            text.resize(cut);
    }
    if (!text.empty())
        Replace(w, s, text, true);
}

void Paint(Window *w, EditState *s)
{
    HWND hwnd = H(w);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (!dc)
        return;
    bool disabled = (w->style & WS_DISABLED) != 0;
    bool staticLook = ReadOnly(w) || disabled;
    HBRUSH brush = nullptr;
    if (w->parent && (w->style & WS_CHILD))
        brush = (HBRUSH)SendMessageA(H(w->parent), staticLook ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT, (WPARAM)dc,
                                     (LPARAM)hwnd);
    if (!WindowLookup(hwnd)) {
        EndPaint(hwnd, &ps);
        return;
    }
    if (!brush || !GdiLookup(brush, GDI_BRUSH)) {
        brush = GetSysColorBrush(staticLook ? COLOR_BTNFACE : COLOR_WINDOW);
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    }
    COLORREF ink = disabled ? GetSysColor(COLOR_GRAYTEXT) : GetTextColor(dc);
    RECT client;
    GetClientRect(hwnd, &client);
    FillRect(dc, &client, brush);
    HGDIOBJ oldFont = SelectObject(dc, s->font ? s->font : SystemFont());
    SetBkMode(dc, TRANSPARENT);
    RECT f = FormatRect(w);
    IntersectClipRect(dc, f.left, f.top, f.right, client.bottom);
    bool showSel = s->focused || (w->style & ES_NOHIDESEL);
    size_t a = SelStart(s), b = SelEnd(s);
    int first = Multi(w) ? s->firstLine : 0;
    int count = Multi(w) ? VisibleLines(w, s) + 1 : 1;
    std::string shown;
    for (int li = first; li < first + count && li < (int)s->lines.size(); li++) {
        const Line &l = s->lines[li];
        int y = f.top + (li - first) * s->lineHeight;
        int x = f.left - (Multi(w) ? 0 : s->scrollX);
        shown.clear();
        for (size_t i = l.start; i < l.end; i++)
            shown += (char)Shown(w, s->text[i]);
        /* Three runs: before, inside and after the selection. */
        size_t cuts[4] = {l.start, std::min(std::max(a, l.start), l.end), std::min(std::max(b, l.start), l.end),
                          l.end};
        for (int run = 0; run < 3; run++) {
            size_t from = cuts[run], to = cuts[run + 1];
            if (to <= from)
                continue;
            int width = Width(w, s, from, to);
            bool selected = run == 1 && showSel;
            if (selected) {
                RECT hl = {x, y, x + width, y + s->lineHeight};
                FillRect(dc, &hl, GetSysColorBrush(COLOR_HIGHLIGHT));
            }
            SetTextColor(dc, selected ? GetSysColor(COLOR_HIGHLIGHTTEXT) : ink);
            TextOutA(dc, x, y, shown.data() + (from - l.start), (int)(to - from));
            x += width;
        }
    }
    if (s->focused) {
        size_t li = LineOf(s, s->caret);
        if (!Multi(w) || ((int)li >= first && (int)li < first + count)) {
            const Line &l = s->lines[li];
            int x = f.left - (Multi(w) ? 0 : s->scrollX) + Width(w, s, l.start, std::min(s->caret, l.end));
            int y = f.top + ((int)li - first) * s->lineHeight;
            RECT caret = {x, y, x + 1, y + s->lineHeight};
            HBRUSH ib = CreateSolidBrush(ink);
            FillRect(dc, &caret, ib ? ib : GetSysColorBrush(COLOR_WINDOWTEXT));
            if (ib)
                DeleteObject(ib);
        }
    }
    if (oldFont)
        SelectObject(dc, oldFont);
    EndPaint(hwnd, &ps);
}

/* Moves the caret; Shift keeps the anchor, so the selection grows. */
void MoveCaret(Window *w, EditState *s, size_t to, bool extend)
{
    s->caret = std::min(to, s->text.size());
    if (!extend)
        s->anchor = s->caret;
    EnsureCaretVisible(w, s);
    InvalidateRect(H(w), NULL, FALSE);
}

size_t VerticalMove(Window *w, EditState *s, int delta)
{
    size_t li = LineOf(s, s->caret);
    int target = std::min(std::max((int)li + delta, 0), (int)s->lines.size() - 1);
    const Line &from = s->lines[li];
    int x = Width(w, s, from.start, std::min(s->caret, from.end));
    const Line &to = s->lines[target];
    int at = 0;
    for (size_t i = to.start; i < to.end; i++) {
        int cw = s->widths[Shown(w, s->text[i])];
        if (x < at + cw / 2 + (cw & 1))
            return i;
        at += cw;
    }
    return to.end;
}

void KeyDown(Window *w, EditState *s, WPARAM vk)
{
    bool shift = GetKeyState(VK_SHIFT) < 0, ctrl = GetKeyState(VK_CONTROL) < 0;
    bool multi = Multi(w);
    size_t a = SelStart(s), b = SelEnd(s);
    size_t li = LineOf(s, s->caret);
    if (multi && ReadOnly(w)) {
        /* A viewer scrolls. */
        int page = VisibleLines(w, s);
        switch (vk) {
        case VK_UP: ScrollTo(w, s, s->firstLine - 1); return;
        case VK_DOWN: ScrollTo(w, s, s->firstLine + 1); return;
        case VK_PRIOR: ScrollTo(w, s, s->firstLine - page); return;
        case VK_NEXT: ScrollTo(w, s, s->firstLine + page); return;
        case VK_HOME:
        case VK_END:
            if (ctrl) {
                ScrollTo(w, s, vk == VK_HOME ? 0 : MaxFirstLine(w, s));
                MoveCaret(w, s, vk == VK_HOME ? 0 : s->text.size(), shift);
                ScrollTo(w, s, vk == VK_HOME ? 0 : MaxFirstLine(w, s));
                return;
            }
            break;
        }
    }
    switch (vk) {
    case VK_LEFT:
    case VK_UP:
        if (vk == VK_UP && multi)
            MoveCaret(w, s, VerticalMove(w, s, -1), shift);
        else if (!shift && a != b)
            MoveCaret(w, s, a, false);
        else
            MoveCaret(w, s, ctrl ? PrevWord(s, s->caret) : Prev(s, s->caret), shift);
        return;
    case VK_RIGHT:
    case VK_DOWN:
        if (vk == VK_DOWN && multi)
            MoveCaret(w, s, VerticalMove(w, s, 1), shift);
        else if (!shift && a != b)
            MoveCaret(w, s, b, false);
        else
            MoveCaret(w, s, ctrl ? NextWord(s, s->caret) : Next(s, s->caret), shift);
        return;
    case VK_HOME:
        MoveCaret(w, s, multi && !ctrl ? s->lines[li].start : 0, shift);
        return;
    case VK_END:
        MoveCaret(w, s, multi && !ctrl ? s->lines[li].end : s->text.size(), shift);
        return;
    case VK_PRIOR:
    case VK_NEXT:
        if (multi) {
            int page = VisibleLines(w, s);
            MoveCaret(w, s, VerticalMove(w, s, vk == VK_PRIOR ? -page : page), shift);
        }
        return;
    case VK_DELETE:
        if (ReadOnly(w))
            return;
        if (shift) {
            SendMessageA(H(w), WM_CUT, 0, 0);
            return;
        }
        if (a == b) {
            if (b >= s->text.size())
                return;
            s->anchor = a;
            s->caret = Next(s, a);
        }
        Replace(w, s, "", false);
        return;
    case VK_INSERT:
        if (ctrl)
            SendMessageA(H(w), WM_COPY, 0, 0);
        else if (shift)
            SendMessageA(H(w), WM_PASTE, 0, 0);
        return;
    }
}

void Char(Window *w, EditState *s, unsigned char c)
{
    HWND hwnd = H(w);
    switch (c) {
    case 0x01: /* Ctrl+A */
        s->anchor = 0;
        MoveCaret(w, s, s->text.size(), true);
        return;
    case 0x03: SendMessageA(hwnd, WM_COPY, 0, 0); return;
    case 0x16: SendMessageA(hwnd, WM_PASTE, 0, 0); return;
    case 0x18: SendMessageA(hwnd, WM_CUT, 0, 0); return;
    case '\b':
        if (ReadOnly(w))
            return;
        if (s->anchor == s->caret) {
            if (s->caret == 0)
                return;
            s->anchor = Prev(s, s->caret);
        }
        Replace(w, s, "", false);
        return;
    case '\r':
        if (Multi(w) && !ReadOnly(w))
            Replace(w, s, "\r\n", true);
        return;
    }
    if (c < 0x20 || c == 0x7F || ReadOnly(w))
        return;
    if ((w->style & ES_NUMBER) && !isdigit(c))
        return;
    std::string one(1, (char)c);
    if (w->style & ES_UPPERCASE)
        CharUpperA(&one[0]);
    else if (w->style & ES_LOWERCASE)
        CharLowerA(&one[0]);
    Replace(w, s, one, true);
}

void ScrollMessage(Window *w, EditState *s, WPARAM wParam)
{
    int page = VisibleLines(w, s);
    switch (LOWORD(wParam)) {
    case SB_LINEUP: ScrollTo(w, s, s->firstLine - 1); break;
    case SB_LINEDOWN: ScrollTo(w, s, s->firstLine + 1); break;
    case SB_PAGEUP: ScrollTo(w, s, s->firstLine - page); break;
    case SB_PAGEDOWN: ScrollTo(w, s, s->firstLine + page); break;
    case SB_TOP: ScrollTo(w, s, 0); break;
    case SB_BOTTOM: ScrollTo(w, s, MaxFirstLine(w, s)); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
        SCROLLINFO si = {sizeof si, SIF_TRACKPOS, 0, 0, 0, 0, 0};
        int pos = GetScrollInfo(H(w), SB_VERT, &si) ? si.nTrackPos : (int)HIWORD(wParam);
        ScrollTo(w, s, pos);
        break;
    }
    }
}

LRESULT CALLBACK EditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Window *w = WindowLookup(hwnd);
    if (!w)
        return 0;
    if (message == WM_NCCREATE && w->extra.size() >= sizeof(EditState *)) {
        EditState *fresh = AttachControlState<EditState>(w);
        fresh->hasVScroll = (w->style & WS_VSCROLL) != 0;
        LRESULT r = DefWindowProcA(hwnd, message, wParam, lParam);
        fresh->text = w->text;
        return r;
    }
    EditState *s = StateOf(w);
    if (!s)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    switch (message) {
    case WM_CREATE:
        Measure(w, s);
        Layout(w, s);
        UpdateScrollBar(w, s);
        return 0;
    case WM_NCDESTROY:
        s->text = std::string();
        s->lines = std::vector<Line>();
        return DefWindowProcA(hwnd, message, wParam, lParam);
    case WM_SIZE:
        Layout(w, s);
        s->firstLine = std::min(s->firstLine, MaxFirstLine(w, s));
        UpdateScrollBar(w, s);
        InvalidateRect(hwnd, NULL, FALSE);
        return 0;
    case WM_PAINT:
        Paint(w, s);
        return 0;
    case WM_ERASEBKGND:
        return 1; /* WM_PAINT covers every pixel */
    case WM_GETDLGCODE: {
        LRESULT code = DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
        const MSG *m = (const MSG *)lParam;
        if (Multi(w) && (w->style & ES_WANTRETURN) && m && m->message == WM_KEYDOWN && m->wParam == VK_RETURN)
            code |= DLGC_WANTALLKEYS;
        return code;
    }
    case WM_SETTEXT:
        s->text = lParam ? (const char *)lParam : "";
        s->anchor = s->caret = 0;
        s->scrollX = 0;
        s->firstLine = 0;
        s->modified = false;
        TextChanged(w, s);
        return TRUE;
    case WM_GETTEXT: {
        if (!wParam || !lParam)
            return 0;
        size_t n = std::min(s->text.size(), (size_t)wParam - 1);
        memcpy((char *)lParam, s->text.data(), n);
        ((char *)lParam)[n] = 0;
        return (LRESULT)n;
    }
    case WM_GETTEXTLENGTH:
        return (LRESULT)s->text.size();
    case WM_SETFONT:
        s->font = (HFONT)wParam;
        Measure(w, s);
        Layout(w, s);
        s->firstLine = std::min(s->firstLine, MaxFirstLine(w, s));
        UpdateScrollBar(w, s);
        if (lParam)
            InvalidateRect(hwnd, NULL, TRUE);
        return 0;
    case WM_GETFONT:
        return (LRESULT)s->font;
    case WM_SETFOCUS:
        s->focused = true;
        InvalidateRect(hwnd, NULL, FALSE);
        Notify(w, EN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        s->focused = false;
        if (s->selecting) {
            s->selecting = false;
            if (GetCapture() == hwnd)
                ReleaseCapture();
        }
        InvalidateRect(hwnd, NULL, FALSE);
        Notify(w, EN_KILLFOCUS);
        return 0;
    case WM_ENABLE:
        InvalidateRect(hwnd, NULL, FALSE);
        return 0;
    case WM_LBUTTONDOWN: {
        if (GetFocus() != hwnd)
            SetFocus(hwnd);
        if (!WindowLookup(hwnd) || GetFocus() != hwnd)
            return 0;
        size_t p = PositionAt(w, s, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        MoveCaret(w, s, p, (wParam & MK_SHIFT) != 0);
        s->selecting = true;
        SetCapture(hwnd);
        return 0;
    }
    case WM_LBUTTONDBLCLK: {
        size_t p = PositionAt(w, s, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        size_t from = p, to = p;
        while (from > 0 && WordChar(s->text[from - 1]))
            from--;
        while (to < s->text.size() && WordChar(s->text[to]))
            to++;
        s->anchor = from;
        MoveCaret(w, s, to, true);
        return 0;
    }
    case WM_MOUSEMOVE:
        if (s->selecting)
            MoveCaret(w, s, PositionAt(w, s, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)), true);
        return 0;
    case WM_LBUTTONUP:
        if (s->selecting) {
            s->selecting = false;
            if (GetCapture() == hwnd)
                ReleaseCapture();
        }
        return 0;
    case WM_CAPTURECHANGED:
        s->selecting = false;
        return 0;
    case WM_KEYDOWN:
        KeyDown(w, s, wParam);
        return 0;
    case WM_CHAR:
        Char(w, s, (unsigned char)wParam);
        return 0;
    case WM_NCLBUTTONDBLCLK:
        /* A quick second click on a scroll bar is one more click. */
        if (wParam == HTVSCROLL || wParam == HTHSCROLL)
            return DefWindowProcA(hwnd, WM_NCLBUTTONDOWN, wParam, lParam);
        break;
    case WM_VSCROLL:
        if (Multi(w))
            ScrollMessage(w, s, wParam);
        return 0;
    case WM_MOUSEWHEEL:
        if (!Multi(w))
            break;
        s->wheel += GET_WHEEL_DELTA_WPARAM(wParam);
        if (int notches = s->wheel / WHEEL_DELTA) {
            s->wheel -= notches * WHEEL_DELTA;
            ScrollTo(w, s, s->firstLine - 3 * notches);
        }
        return 0;
    case WM_COPY:
        CopySelection(w, s);
        return 0;
    case WM_CUT:
        if (!ReadOnly(w) && CopySelection(w, s))
            Replace(w, s, "", false);
        return 0;
    case WM_PASTE:
        Paste(w, s);
        return 0;
    case WM_CLEAR:
        if (!ReadOnly(w) && SelStart(s) != SelEnd(s))
            Replace(w, s, "", false);
        return 0;
    case EM_GETSEL: {
        DWORD a = (DWORD)SelStart(s), b = (DWORD)SelEnd(s);
        if (wParam)
            *(DWORD *)wParam = a;
        if (lParam)
            *(DWORD *)lParam = b;
        return MAKELRESULT(std::min(a, (DWORD)0xFFFF), std::min(b, (DWORD)0xFFFF));
    }
    case EM_SETSEL: {
        int from = (int)wParam, to = (int)lParam;
        size_t n = s->text.size();
        if (from == -1) {
            s->anchor = s->caret;
        } else {
            s->anchor = from < 0 ? n : std::min((size_t)from, n);
            s->caret = to < 0 ? n : std::min((size_t)to, n);
        }
        InvalidateRect(hwnd, NULL, FALSE);
        return 0;
    }
    case EM_REPLACESEL:
        Replace(w, s, lParam ? (const char *)lParam : "", false);
        return 0;
    case EM_LIMITTEXT:
        s->limit = wParam ? (size_t)wParam : (Multi(w) ? (size_t)0xFFFFFFFF : (size_t)0x7FFFFFFE);
        return 0;
    case EM_GETLINECOUNT:
        return Multi(w) ? (LRESULT)s->lines.size() : 1;
    case EM_GETFIRSTVISIBLELINE: {
        if (Multi(w))
            return s->firstLine;
        size_t i = 0;
        for (int x = 0; i < s->text.size(); i++) {
            x += s->widths[Shown(w, s->text[i])];
            if (x > s->scrollX)
                break;
        }
        return (LRESULT)i;
    }
    case EM_LINESCROLL:
        if (!Multi(w))
            return FALSE;
        ScrollTo(w, s, s->firstLine + (int)lParam);
        return TRUE;
    case EM_SCROLL: {
        if (!Multi(w))
            return FALSE;
        WPARAM code = wParam;
        if (code != SB_LINEUP && code != SB_LINEDOWN && code != SB_PAGEUP && code != SB_PAGEDOWN)
            return FALSE;
        int before = s->firstLine;
        ScrollMessage(w, s, code);
        return MAKELRESULT((WORD)(SHORT)(s->firstLine - before), TRUE);
    }
    case EM_SCROLLCARET:
        EnsureCaretVisible(w, s);
        return TRUE;
    case EM_GETMODIFY:
        return s->modified;
    case EM_SETMODIFY:
        s->modified = wParam != 0;
        return 0;
    case EM_SETREADONLY:
        if (wParam)
            w->style |= ES_READONLY;
        else
            w->style &= ~ES_READONLY;
        InvalidateRect(hwnd, NULL, FALSE);
        return TRUE;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

} // namespace

void RegisterEditClass()
{
    WNDCLASSA wc = {};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = EditProc;
    wc.cbWndExtra = sizeof(EditState *);
    wc.hCursor = LoadCursorA(NULL, IDC_IBEAM);
    wc.lpszClassName = "Edit";
    RegisterLayerClass(wc);
}

} // namespace layer
