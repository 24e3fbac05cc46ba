/*
 * The dialog manager: templates, dialog creation, the modal loop, the
 * default dialog procedure and keyboard navigation.
 *
 * A template is read completely into a DialogTemplate before anything is
 * made, with every read checked against the image's size, so that a broken
 * template fails the dialog instead of reading past its end.  Both binary
 * forms are understood: DLGTEMPLATE (style first) and DLGTEMPLATEEX (version
 * 1, signature 0xFFFF); names are absent (0x0000), ordinals (0xFFFF, n) or
 * NUL-terminated UTF-16 strings, converted to Windows-1252; each item starts
 * on a DWORD boundary counted from the start of the template.
 *
 * A dialog is a window of class "#32770" whose procedure is DefDlgProcA.
 * That procedure hands each message to the DLGPROC first; when the DLGPROC
 * returns FALSE the default handling below runs.  Template coordinates are
 * dialog units: x in quarters of the font's average letter width, y in
 * eighths of its height.  The dialog's record (DialogState) is never freed,
 * like the window memory it belongs to, so that a loop or a procedure still
 * running for a destroyed dialog reads a record that is still there.
 *
 * The default push button keeps a frame: a push button that gets the focus
 * takes it (button.cpp calls DialogFollowFocus), and when the focus moves to
 * anything else the button DM_GETDEFID names gets it back.  The frame is
 * moved with BM_SETSTYLE, so the buttons' styles always tell who has it.
 */
#include "user/dialog.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

namespace layer {

/* Messages whose result the DLGPROC returns itself instead of through
 * DWLP_MSGRESULT. */
static const UINT kWmCompareItem = 0x0039, kWmVKeyToItem = 0x002E, kWmCharToItem = 0x002F,
                  kWmQueryDragIcon = 0x0037;
static const DWORD kErrorControlIdNotFound = 1421;

struct DialogState : DialogInfo {
    HWND disabledOwner = nullptr; /* the window the modal loop disabled */
    HFONT ownFont = nullptr;      /* made from the template; deleted with the dialog */
};

static DialogState *pendingState; /* handed to the window as WM_NCCREATE arrives */

DialogInfo *DialogOf(Window *w) { return w ? static_cast<DialogInfo *>(w->dialog) : nullptr; }

static DialogState *StateOf(Window *w) { return w ? static_cast<DialogState *>(w->dialog) : nullptr; }

/* ---- reading templates ---------------------------------------------------- */

namespace {

struct Reader {
    const unsigned char *base;
    size_t size, pos = 0;

    bool Word(WORD &v)
    {
        if (size - pos < 2 || pos > size)
            return false;
        v = (WORD)(base[pos] | base[pos + 1] << 8);
        pos += 2;
        return true;
    }
    bool Dword(DWORD &v)
    {
        WORD lo, hi;
        if (!Word(lo) || !Word(hi))
            return false;
        v = (DWORD)lo | (DWORD)hi << 16;
        return true;
    }
    bool Short(int &v)
    {
        WORD w;
        if (!Word(w))
            return false;
        v = (SHORT)w;
        return true;
    }
    bool Byte(BYTE &v)
    {
        if (pos >= size)
            return false;
        v = base[pos++];
        return true;
    }
    bool Align4()
    {
        size_t next = (pos + 3) & ~(size_t)3;
        if (next > size)
            return false;
        pos = next;
        return true;
    }
    /* A NUL-terminated UTF-16 string whose first unit was already read. */
    bool String(WORD first, std::string &out)
    {
        out.clear();
        WORD unit = first;
        while (unit != 0) {
            uint32_t cp = unit;
            if (unit >= 0xD800 && unit <= 0xDBFF) {
                WORD low;
                if (!Word(low))
                    return false;
                if (low == 0)
                    break;
                cp = low >= 0xDC00 && low <= 0xDFFF ? 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00) : '?';
            }
            unsigned char c = cp < 0x80 ? (unsigned char)cp : UnicodeToCp1252(cp);
            out += c ? (char)c : '?';
            if (!Word(unit))
                return false;
        }
        return true;
    }
    bool Name(TemplateName &n)
    {
        WORD first;
        if (!Word(first))
            return false;
        n = TemplateName();
        if (first == 0)
            return true;
        if (first == 0xFFFF) {
            n.kind = TemplateName::ORDINAL;
            return Word(n.ordinal);
        }
        n.kind = TemplateName::STRING;
        return String(first, n.text);
    }
};

} // namespace

bool ParseDialogTemplate(const void *data, size_t size, DialogTemplate &out)
{
    if (!data)
        return false;
    Reader r{(const unsigned char *)data, size};
    DialogTemplate t;
    WORD version, signature, count;
    if (!r.Word(version) || !r.Word(signature))
        return false;
    t.extended = version == 1 && signature == 0xFFFF;
    r.pos = 0;
    if (t.extended) {
        r.pos = 4;
        if (!r.Dword(t.helpId) || !r.Dword(t.exStyle) || !r.Dword(t.style))
            return false;
    } else if (!r.Dword(t.style) || !r.Dword(t.exStyle)) {
        return false;
    }
    if (!r.Word(count) || !r.Short(t.x) || !r.Short(t.y) || !r.Short(t.cx) || !r.Short(t.cy))
        return false;
    if (!r.Name(t.menu) || !r.Name(t.cls) || !r.Name(t.title))
        return false;
    if (t.style & DS_SETFONT) {
        if (!r.Word(t.pointSize))
            return false;
        if (t.extended) {
            if (!r.Word(t.weight) || !r.Byte(t.italic) || !r.Byte(t.charset))
                return false;
        }
        WORD first;
        if (!r.Word(first) || !r.String(first, t.face))
            return false;
    }
    /* An item takes at least 18 bytes (24 extended): a count the image
     * cannot hold is corrupt, whatever follows. */
    if ((size_t)count * (t.extended ? 24 : 18) > size)
        return false;
    t.items.reserve(count);
    for (WORD i = 0; i < count; i++) {
        DialogItemTemplate item;
        if (!r.Align4())
            return false;
        if (t.extended) {
            if (!r.Dword(item.helpId) || !r.Dword(item.exStyle) || !r.Dword(item.style))
                return false;
        } else if (!r.Dword(item.style) || !r.Dword(item.exStyle)) {
            return false;
        }
        if (!r.Short(item.x) || !r.Short(item.y) || !r.Short(item.cx) || !r.Short(item.cy))
            return false;
        if (t.extended) {
            if (!r.Dword(item.id))
                return false;
        } else {
            WORD id;
            if (!r.Word(id))
                return false;
            item.id = id;
        }
        if (!r.Name(item.cls) || !r.Name(item.title))
            return false;
        if (item.cls.kind == TemplateName::NONE)
            return false;
        WORD extra;
        if (!r.Word(extra))
            return false;
        if (extra > r.size - r.pos)
            return false;
        item.creationData.assign(r.base + r.pos, r.base + r.pos + extra);
        r.pos += extra;
        t.items.push_back(std::move(item));
    }
    out = std::move(t);
    return true;
}

std::string TemplateClassName(const TemplateName &cls)
{
    if (cls.kind == TemplateName::STRING)
        return cls.text;
    switch (cls.ordinal) {
    case 0x80: return "Button";
    case 0x81: return "Edit";
    case 0x82: return "Static";
    case 0x83: return "ListBox";
    case 0x84: return "ScrollBar";
    case 0x85: return "ComboBox";
    }
    return "#" + std::to_string(cls.ordinal);
}

/* ---- fonts and units -------------------------------------------------------- */

/* The documented base units of a font: the average width of the 52 letters,
 * rounded, and the character height. */
static void FontBaseUnits(HFONT font, int &bx, int &by)
{
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    HDC dc = GetDC(NULL);
    if (!dc)
        return;
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICA tm;
    SIZE extent;
    if (GetTextMetricsA(dc, &tm) && GetTextExtentPoint32A(dc, letters, 52, &extent) && extent.cx > 0) {
        bx = (extent.cx / 26 + 1) / 2;
        by = tm.tmHeight;
    }
    if (old)
        SelectObject(dc, old);
    ReleaseDC(NULL, dc);
}

static HFONT TemplateFont(const DialogTemplate &t)
{
    if (!(t.style & DS_SETFONT) || t.pointSize == 0x7FFF || t.face.empty())
        return nullptr;
    int dpi = 96;
    if (HDC dc = GetDC(NULL)) {
        int v = GetDeviceCaps(dc, LOGPIXELSY);
        if (v > 0)
            dpi = v;
        ReleaseDC(NULL, dc);
    }
    return CreateFontA(-MulDiv(t.pointSize, dpi, 72), 0, 0, 0, t.weight ? t.weight : FW_NORMAL, t.italic, 0,
                       0, t.charset, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, t.face.c_str());
}

static bool IsButtonClass(const TemplateName &cls)
{
    return (cls.kind == TemplateName::ORDINAL && cls.ordinal == 0x80) ||
           (cls.kind == TemplateName::STRING && strcasecmp(cls.text.c_str(), "button") == 0);
}

/* ---- navigation helpers ------------------------------------------------------ */

/* The child of the dialog that holds w (w itself for a direct child). */
static Window *DirectChild(Window *dialog, Window *w)
{
    while (w && w->parent != dialog)
        w = (w->style & WS_CHILD) ? w->parent : nullptr;
    return w;
}

static bool Usable(Window *c) { return (c->style & WS_VISIBLE) && !(c->style & WS_DISABLED); }

static LRESULT DlgCode(HWND ctl, const MSG *msg)
{
    return SendMessageA(ctl, WM_GETDLGCODE, msg ? msg->wParam : 0, (LPARAM)msg);
}

static bool IsPushButton(HWND ctl)
{
    return (DlgCode(ctl, nullptr) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) != 0;
}

/* Gives the focus to a control the way the dialog manager does: an edit
 * control gets all its text selected. */
static void DialogSetFocus(HWND ctl)
{
    if (!WindowLookup(ctl))
        return;
    bool hasSel = (DlgCode(ctl, nullptr) & DLGC_HASSETSEL) != 0;
    SetFocus(ctl);
    if (hasSel && GetFocus() == ctl)
        SendMessageA(ctl, EM_SETSEL, 0, -1);
}

static int DefaultId(HWND dialog)
{
    LRESULT r = SendMessageA(dialog, DM_GETDEFID, 0, 0);
    return HIWORD(r) == DC_HASDEFID ? (int)LOWORD(r) : 0;
}

/* Puts the default frame on the push button with the focus, or on the
 * default button when the focus is elsewhere. */
static void UpdateDefaultFrame(Window *d, HWND focus)
{
    HWND dialog = H(d);
    HWND target = NULL;
    if (focus && WindowLookup(focus) && WindowLookup(focus)->parent == d && IsPushButton(focus))
        target = focus;
    else if (int id = DefaultId(dialog)) {
        HWND def = GetDlgItem(dialog, id);
        if (def && IsPushButton(def))
            target = def;
    }
    std::vector<Window *> kids = d->children;
    for (Window *c : kids) {
        if (!WindowLookup(H(c)))
            continue;
        LRESULT code = DlgCode(H(c), nullptr);
        if (!(code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)))
            continue;
        bool want = H(c) == target, has = (code & DLGC_DEFPUSHBUTTON) != 0;
        if (want != has)
            SendMessageA(H(c), BM_SETSTYLE, want ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
    }
}

void DialogFollowFocus(HWND dialog, HWND newFocus)
{
    Window *d = WindowLookup(dialog);
    if (!StateOf(d) || !newFocus || !IsChild(dialog, newFocus))
        return;
    UpdateDefaultFrame(d, newFocus);
}

/* ---- creation ------------------------------------------------------------------ */

HWND CreateDialogFromTemplate(const DialogTemplate &t, HINSTANCE instance, HWND owner, DLGPROC proc,
                              LPARAM param, bool modal, bool messageBox, LPCSTR templateName)
{
    Window *ownerWindow = owner ? WindowLookup(owner) : nullptr;
    if (owner && !ownerWindow) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return NULL;
    }
    DWORD style = t.style, exStyle = t.exStyle;
    bool child = (style & WS_CHILD) != 0;
    if (child && !ownerWindow) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    if (style & DS_MODALFRAME)
        exStyle |= WS_EX_DLGMODALFRAME;
    bool show = !modal && (style & WS_VISIBLE);
    style &= ~WS_VISIBLE;

    HFONT own = TemplateFont(t);
    HFONT font = own ? own : SystemFont();
    int bx = 6, by = 13;
    FontBaseUnits(font, bx, by);
    auto X = [&](int v) { return t.pixels ? v : MulDiv(v, bx, 4); };
    auto Y = [&](int v) { return t.pixels ? v : MulDiv(v, by, 8); };

    /* The template gives the client size; the frame comes on top of it. */
    Window probe;
    probe.style = style;
    probe.exStyle = exStyle;
    const int big = 10000;
    RECT c = ComputeClientRect(&probe, {0, 0, big, big});
    int width = X(t.cx) + big - (c.right - c.left), height = Y(t.cy) + big - (c.bottom - c.top);
    int x = X(t.x), y = Y(t.y);
    if (!child) {
        Screen &screen = GetScreen();
        if (style & DS_CENTER) {
            x = (screen.width - width) / 2;
            y = (screen.height - height) / 2;
        } else if (ownerWindow && !(style & DS_ABSALIGN)) {
            RECT oc = ScreenClientRect(ownerWindow);
            x += oc.left;
            y += oc.top;
        }
        /* A top-level dialog is kept on the screen. */
        if (x + width > screen.width)
            x = screen.width - width;
        if (y + height > screen.height)
            y = screen.height - height;
        if (x < 0)
            x = 0;
        if (y < 0)
            y = 0;
    }

    DialogState *state = new DialogState();
    state->modal = modal;
    state->messageBox = messageBox;
    state->font = font;
    state->ownFont = own;
    state->baseX = bx;
    state->baseY = by;
    state->defId = IDOK;
    for (const DialogItemTemplate &item : t.items)
        if (IsButtonClass(item.cls) && (item.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
            state->defId = (int)item.id;
            break;
        }

    std::string className = t.cls.kind == TemplateName::NONE ? "#32770" : TemplateClassName(t.cls);
    pendingState = state;
    HWND dialog = CreateWindowExA(exStyle, className.c_str(), t.title.text.c_str(), style, x, y, width, height,
                                  owner, NULL, instance, NULL);
    Window *w = WindowLookup(dialog);
    bool attached = pendingState != state;
    pendingState = nullptr;
    if (!w) {
        if (!attached)
            delete state;
        if (own)
            DeleteObject(own);
        return NULL;
    }
    if (!w->dialog)
        w->dialog = state;
    state->proc = proc;
    if (templateName) {
        NoteDialogTemplate(dialog, templateName);
        if (w->templateName.empty())
            w->templateName = IS_INTRESOURCE(templateName)
                                  ? "#" + std::to_string((unsigned)(ULONG_PTR)templateName)
                                  : std::string(templateName);
    }
    bool setFont = (t.style & DS_SETFONT) != 0;
    if (setFont)
        SendMessageA(dialog, WM_SETFONT, (WPARAM)font, FALSE);

    for (const DialogItemTemplate &item : t.items) {
        if (!WindowLookup(dialog))
            return NULL;
        std::string cls = TemplateClassName(item.cls);
        LPCSTR title = item.title.kind == TemplateName::ORDINAL ? MAKEINTRESOURCEA(item.title.ordinal)
                                                                : item.title.text.c_str();
        DWORD cs = (item.style | WS_CHILD) & ~WS_POPUP;
        void *data = item.creationData.empty() ? nullptr : (void *)item.creationData.data();
        HWND ctl = CreateWindowExA(item.exStyle, cls.c_str(), title, cs, X(item.x), Y(item.y), X(item.cx),
                                   Y(item.cy), dialog, (HMENU)(UINT_PTR)item.id, instance, data);
        if (!ctl) {
            if (t.style & DS_NOFAILCREATE)
                continue;
            DWORD err = GetLastError();
            DestroyWindow(dialog);
            SetLastError(err ? err : ERROR_CANNOT_FIND_WND_CLASS);
            return NULL;
        }
        if (setFont)
            SendMessageA(ctl, WM_SETFONT, (WPARAM)font, FALSE);
    }
    if (!WindowLookup(dialog))
        return NULL;

    HWND first = GetNextDlgTabItem(dialog, NULL, FALSE);
    LRESULT focusFirst = SendMessageA(dialog, WM_INITDIALOG, (WPARAM)first, param);
    if (!WindowLookup(dialog))
        return NULL;
    if (focusFirst) {
        first = GetNextDlgTabItem(dialog, NULL, FALSE);
        if (first)
            DialogSetFocus(first);
    }
    if (!WindowLookup(dialog))
        return NULL;
    if (show && !state->ended)
        ShowWindow(dialog, SW_SHOWNORMAL);
    return WindowLookup(dialog) ? dialog : NULL;
}

INT_PTR RunModalDialog(HWND dialog, HWND owner)
{
    Window *w = WindowLookup(dialog);
    DialogState *state = StateOf(w);
    if (!state)
        return -1;
    Window *top = owner ? TopLevel(WindowLookup(owner)) : nullptr;
    if (top && top != w && !(top->style & WS_DISABLED)) {
        /* Remember the owner's focus: disabling it takes the focus away. */
        Window *f = FocusWindow();
        if (f && TopLevel(f) == top)
            top->savedFocus = H(f);
        EnableWindow(H(top), FALSE);
        state->disabledOwner = H(top);
    }
    if (!state->ended && WindowLookup(dialog))
        ShowWindow(dialog, SW_SHOWNORMAL);
    while (WindowLookup(dialog) && !state->ended) {
        MSG msg;
        BOOL got = GetMessageA(&msg, NULL, 0, 0);
        if (got == -1)
            break;
        if (!got) {
            PostQuitMessage((int)msg.wParam);
            break;
        }
        if (!IsDialogMessageA(dialog, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    INT_PTR result = state->result;
    if (HWND o = state->disabledOwner) {
        state->disabledOwner = nullptr;
        if (WindowLookup(o))
            EnableWindow(o, TRUE);
    }
    if (WindowLookup(dialog))
        DestroyWindow(dialog);
    return result;
}

/* ---- the default dialog procedure ------------------------------------------------ */

static bool ReturnsDirectly(UINT message)
{
    switch (message) {
    case WM_INITDIALOG:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case kWmCompareItem:
    case kWmVKeyToItem:
    case kWmCharToItem:
    case kWmQueryDragIcon:
        return true;
    }
    return false;
}

/* Sends IDCANCEL as the Cancel button would, unless that button is disabled. */
static void SendCancel(HWND dialog)
{
    HWND cancel = GetDlgItem(dialog, IDCANCEL);
    if (cancel && !IsWindowEnabled(cancel)) {
        MessageBeep(0);
        return;
    }
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), (LPARAM)cancel);
}

static LRESULT DefaultDialogMessage(Window *w, DialogState *s, UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND hwnd = H(w);
    switch (message) {
    case WM_ERASEBKGND: {
        HBRUSH brush = (HBRUSH)SendMessageA(hwnd, WM_CTLCOLORDLG, wParam, (LPARAM)hwnd);
        if (!brush || !GdiLookup(brush, GDI_BRUSH))
            brush = GetSysColorBrush(COLOR_BTNFACE);
        RECT r;
        GetClientRect(hwnd, &r);
        FillRect((HDC)wParam, &r, brush);
        return 1;
    }
    case WM_CLOSE:
        SendCancel(hwnd);
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            Window *f = FocusWindow();
            if (f && IsChild(hwnd, H(f)))
                w->savedFocus = H(f);
        } else {
            HWND focus = GetFocus();
            if (focus && IsChild(hwnd, focus))
                return 0;
            HWND saved = w->savedFocus;
            if (saved && IsChild(hwnd, saved) && IsWindowEnabled(saved) && IsWindowVisible(saved)) {
                SetFocus(saved);
            } else {
                HWND first = GetNextDlgTabItem(hwnd, NULL, FALSE);
                if (first)
                    DialogSetFocus(first);
                else
                    SetFocus(hwnd);
            }
        }
        return 0;
    case DM_GETDEFID:
        return s && s->defId ? MAKELRESULT(s->defId, DC_HASDEFID) : 0;
    case DM_SETDEFID:
        if (s) {
            s->defId = (int)wParam;
            HWND focus = GetFocus();
            UpdateDefaultFrame(w, focus && IsChild(hwnd, focus) ? focus : NULL);
        }
        return TRUE;
    case WM_NEXTDLGCTL: {
        HWND target = LOWORD(lParam) ? (HWND)wParam : GetNextDlgTabItem(hwnd, GetFocus(), wParam != 0);
        if (target && IsChild(hwnd, target))
            DialogSetFocus(target);
        return 0;
    }
    case WM_SETFONT:
        if (s)
            s->font = (HFONT)wParam;
        return 0;
    case WM_GETFONT:
        return s ? (LRESULT)s->font : 0;
    case WM_NCDESTROY:
        if (s && s->ownFont) {
            if (s->font == s->ownFont)
                s->font = nullptr;
            DeleteObject(s->ownFont);
            s->ownFont = nullptr;
        }
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

} // namespace layer

using namespace layer;

extern "C" LRESULT WINAPI DefDlgProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Window *w = WindowLookup(hwnd);
    if (!w)
        return 0;
    if (!w->dialog && pendingState && message == WM_NCCREATE) {
        w->dialog = pendingState;
        pendingState = nullptr;
    }
    DialogState *s = StateOf(w);
    if (s && s->proc) {
        s->msgResult = 0;
        INT_PTR handled = s->proc(hwnd, message, wParam, lParam);
        if (handled)
            return ReturnsDirectly(message) ? handled : s->msgResult;
        if (!WindowLookup(hwnd))
            return 0;
    }
    return DefaultDialogMessage(w, s, message, wParam, lParam);
}

namespace layer {
void RegisterDialogClass()
{
    WNDCLASSA wc = {};
    wc.style = CS_DBLCLKS | CS_SAVEBITS;
    wc.lpfnWndProc = DefDlgProcA;
    wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
    wc.lpszClassName = "#32770";
    RegisterLayerClass(wc);
}
} // namespace layer

/* The template of a dialog resource, parsed; false with the last error set. */
static bool LoadTemplate(LPCSTR name, DialogTemplate &t)
{
    ResourceData res;
    if (!name || !FindResourceData(RT_DIALOG, name, res)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return false;
    }
    if (!ParseDialogTemplate(res.data, res.size, t)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    return true;
}

extern "C" INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC proc, LPARAM param)
{
    DialogTemplate t;
    if (!LoadTemplate(name, t))
        return -1;
    if (owner && !WindowLookup(owner)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    HWND dialog = CreateDialogFromTemplate(t, instance, owner, proc, param, true, false, name);
    if (!dialog)
        return -1;
    return RunModalDialog(dialog, owner);
}

extern "C" HWND WINAPI CreateDialogParamA(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC proc, LPARAM param)
{
    DialogTemplate t;
    if (!LoadTemplate(name, t))
        return NULL;
    return CreateDialogFromTemplate(t, instance, owner, proc, param, false, false, name);
}

extern "C" BOOL WINAPI EndDialog(HWND dialog, INT_PTR result)
{
    Window *w = WindowLookup(dialog);
    DialogState *s = StateOf(w);
    if (!s) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    s->ended = true;
    s->result = result;
    /* The owner comes back before the dialog goes, so that hiding the
     * dialog activates it again. */
    if (HWND o = s->disabledOwner) {
        s->disabledOwner = nullptr;
        if (WindowLookup(o))
            EnableWindow(o, TRUE);
    }
    ShowWindow(dialog, SW_HIDE);
    return TRUE;
}

extern "C" BOOL WINAPI IsDialogMessageA(HWND dialog, LPMSG msg)
{
    Window *d = WindowLookup(dialog);
    if (!d || !msg || !msg->hwnd || (msg->hwnd != dialog && !IsChild(dialog, msg->hwnd)))
        return FALSE;
    if (msg->message == WM_KEYDOWN) {
        LRESULT code = DlgCode(msg->hwnd, msg);
        if (!(code & DLGC_WANTALLKEYS)) {
            bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
            HWND focus = GetFocus();
            if (focus && !IsChild(dialog, focus))
                focus = NULL;
            Window *fc = DirectChild(d, WindowLookup(focus));
            switch (msg->wParam) {
            case VK_TAB:
                if (code & DLGC_WANTTAB)
                    break;
                if (HWND next = GetNextDlgTabItem(dialog, fc ? H(fc) : NULL, shift))
                    DialogSetFocus(next);
                return TRUE;
            case VK_LEFT:
            case VK_UP:
            case VK_RIGHT:
            case VK_DOWN:
                if (code & DLGC_WANTARROWS)
                    break;
                if (fc) {
                    bool back = msg->wParam == VK_LEFT || msg->wParam == VK_UP;
                    HWND next = GetNextDlgGroupItem(dialog, H(fc), back);
                    if (next && next != H(fc)) {
                        DialogSetFocus(next);
                        if (DlgCode(next, nullptr) & DLGC_RADIOBUTTON)
                            SendMessageA(next, BM_CLICK, 0, 0);
                    }
                }
                return TRUE;
            case VK_ESCAPE:
                SendCancel(dialog);
                return TRUE;
            case VK_RETURN: {
                int id;
                HWND ctl;
                if (focus && (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON))) {
                    ctl = focus;
                    id = GetDlgCtrlID(focus);
                } else {
                    id = DefaultId(dialog);
                    if (!id)
                        id = IDOK;
                    ctl = GetDlgItem(dialog, id);
                    if (ctl && !IsWindowEnabled(ctl)) {
                        MessageBeep(0);
                        return TRUE;
                    }
                }
                SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)ctl);
                return TRUE;
            }
            }
        }
    } else if (msg->message == WM_CHAR) {
        /* The characters of the navigation keys reach only controls that ask for them. */
        LRESULT code = DlgCode(msg->hwnd, msg);
        if (!(code & (DLGC_WANTCHARS | DLGC_WANTALLKEYS)) &&
            (msg->wParam == '\t' || msg->wParam == '\r' || msg->wParam == 0x1B))
            return TRUE;
    }
    TranslateMessage(msg);
    DispatchMessageA(msg);
    return TRUE;
}

extern "C" HWND WINAPI GetDlgItem(HWND dialog, int id)
{
    Window *d = WindowLookup(dialog);
    if (!d) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return NULL;
    }
    for (Window *c : d->children)
        if ((int)c->id == id)
            return H(c);
    SetLastError(kErrorControlIdNotFound);
    return NULL;
}

extern "C" int WINAPI GetDlgCtrlID(HWND control)
{
    Window *w = WindowLookup(control);
    if (!w || !(w->style & WS_CHILD)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return (int)w->id;
}

extern "C" BOOL WINAPI SetDlgItemTextA(HWND dialog, int id, LPCSTR text)
{
    HWND ctl = GetDlgItem(dialog, id);
    return ctl ? SetWindowTextA(ctl, text) : FALSE;
}

extern "C" UINT WINAPI GetDlgItemTextA(HWND dialog, int id, LPSTR buffer, int size)
{
    if (!buffer || size <= 0)
        return 0;
    HWND ctl = GetDlgItem(dialog, id);
    if (!ctl) {
        buffer[0] = 0;
        return 0;
    }
    buffer[0] = 0;
    int n = GetWindowTextA(ctl, buffer, size);
    if (n < 0)
        n = 0;
    if (n >= size)
        n = size - 1;
    buffer[n] = 0;
    return (UINT)n;
}

extern "C" BOOL WINAPI SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned)
{
    char text[16];
    if (isSigned)
        snprintf(text, sizeof text, "%d", (int)value);
    else
        snprintf(text, sizeof text, "%u", value);
    return SetDlgItemTextA(dialog, id, text);
}

extern "C" UINT WINAPI GetDlgItemInt(HWND dialog, int id, BOOL *ok, BOOL isSigned)
{
    if (ok)
        *ok = FALSE;
    char text[64];
    HWND ctl = GetDlgItem(dialog, id);
    if (!ctl)
        return 0;
    int n = GetWindowTextA(ctl, text, sizeof text);
    if (n >= (int)sizeof text - 1 && GetWindowTextLengthA(ctl) >= (int)sizeof text - 1)
        return 0; /* longer than any number */
    const char *p = text;
    while (*p == ' ')
        p++;
    bool negative = false;
    if (isSigned && *p == '-') {
        negative = true;
        p++;
    }
    if (*p < '0' || *p > '9')
        return 0;
    unsigned long long v = 0;
    for (; *p >= '0' && *p <= '9'; p++) {
        v = v * 10 + (unsigned)(*p - '0');
        if (v > 0xFFFFFFFFull)
            return 0;
    }
    while (*p == ' ')
        p++;
    if (*p)
        return 0;
    if (isSigned) {
        if ((!negative && v > 0x7FFFFFFFull) || (negative && v > 0x80000000ull))
            return 0;
        if (ok)
            *ok = TRUE;
        return negative ? (UINT)(-(long long)v) : (UINT)v;
    }
    if (ok)
        *ok = TRUE;
    return (UINT)v;
}

extern "C" BOOL WINAPI CheckDlgButton(HWND dialog, int id, UINT check)
{
    HWND ctl = GetDlgItem(dialog, id);
    if (!ctl)
        return FALSE;
    SendMessageA(ctl, BM_SETCHECK, check, 0);
    return TRUE;
}

extern "C" UINT WINAPI IsDlgButtonChecked(HWND dialog, int id)
{
    HWND ctl = GetDlgItem(dialog, id);
    return ctl ? (UINT)SendMessageA(ctl, BM_GETCHECK, 0, 0) : 0;
}

extern "C" LRESULT WINAPI SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND ctl = GetDlgItem(dialog, id);
    return ctl ? SendMessageA(ctl, message, wParam, lParam) : 0;
}

extern "C" HWND WINAPI GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous)
{
    Window *d = WindowLookup(dialog);
    if (!d) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return NULL;
    }
    const std::vector<Window *> &kids = d->children;
    int n = (int)kids.size();
    Window *from = DirectChild(d, WindowLookup(control));
    int start = -1;
    for (int i = 0; i < n; i++)
        if (kids[i] == from)
            start = i;
    auto eligible = [&](Window *c) { return Usable(c) && (c->style & WS_TABSTOP); };
    if (start < 0) {
        if (!previous) {
            for (int i = 0; i < n; i++)
                if (eligible(kids[i]))
                    return H(kids[i]);
        } else {
            for (int i = n - 1; i >= 0; i--)
                if (eligible(kids[i]))
                    return H(kids[i]);
        }
        return NULL;
    }
    for (int k = 1; k <= n; k++) {
        int i = previous ? (start - k + n) % n : (start + k) % n;
        if (eligible(kids[i]))
            return H(kids[i]);
    }
    return H(from);
}

extern "C" HWND WINAPI GetNextDlgGroupItem(HWND dialog, HWND control, BOOL previous)
{
    Window *d = WindowLookup(dialog);
    if (!d) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return NULL;
    }
    const std::vector<Window *> &kids = d->children;
    int n = (int)kids.size();
    Window *from = DirectChild(d, WindowLookup(control));
    int at = -1;
    for (int i = 0; i < n; i++)
        if (kids[i] == from)
            at = i;
    if (at < 0) {
        for (int i = 0; i < n; i++)
            if (Usable(kids[i]))
                return H(kids[i]);
        return NULL;
    }
    /* The group: from a WS_GROUP control up to the next one. */
    int first = at;
    while (first > 0 && !(kids[first]->style & WS_GROUP))
        first--;
    int last = at + 1;
    while (last < n && !(kids[last]->style & WS_GROUP))
        last++;
    int size = last - first;
    for (int k = 1; k < size; k++) {
        int i = first + (previous ? (at - first - k + size) % size : (at - first + k) % size);
        if (Usable(kids[i]))
            return H(kids[i]);
    }
    return H(from);
}

extern "C" LONG WINAPI GetDialogBaseUnits(void)
{
    static int bx, by;
    if (!bx) {
        int x = 6, y = 13;
        FontBaseUnits(SystemFont(), x, y);
        bx = x;
        by = y;
    }
    return MAKELONG(bx, by);
}

extern "C" BOOL WINAPI MapDialogRect(HWND dialog, LPRECT rect)
{
    DialogInfo *d = DialogOf(WindowLookup(dialog));
    if (!d || !rect) {
        SetLastError(d ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    rect->left = MulDiv(rect->left, d->baseX, 4);
    rect->right = MulDiv(rect->right, d->baseX, 4);
    rect->top = MulDiv(rect->top, d->baseY, 8);
    rect->bottom = MulDiv(rect->bottom, d->baseY, 8);
    return TRUE;
}
