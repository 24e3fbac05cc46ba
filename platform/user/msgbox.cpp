/*
 * Message boxes: a dialog of the dialog manager, laid out in pixels and
 * built as an in-memory template.
 *
 * The layout follows the classic box: the icon (32 by 32) at the top left,
 * the text to its right, word-wrapped to a maximum width with DrawTextA's
 * own measurement so that the static control draws it on the same lines,
 * and a centred row of 75 by 23 buttons below.  The box is centred on the
 * screen, in front of its owner, which the modal loop disables.
 *
 * Escape and the close box send IDCANCEL like in any dialog; the box's
 * procedure answers it only when the box has a Cancel button (IDCANCEL) or
 * is a plain OK box (IDOK).  Boxes without either (Yes/No, Abort/Retry/
 * Ignore) ignore it, and their close box is drawn disabled: such a box gets
 * a private copy of the dialog class record with CS_NOCLOSE, which is what
 * the frame painter and the close box tracking look at.
 */
#include "user/dialog.h"

#include <string.h>

namespace layer {

namespace {

struct BoxButton {
    int id;
    const char *text;
};

struct BoxData {
    UINT type = 0;
    std::string caption, text;
    std::vector<BoxButton> buttons;
    bool hasCancel = false;
};

const int kIconId = 0x4001, kTextId = 0xFFFF;
const int kMargin = 12, kButtonW = 75, kButtonH = 23, kButtonGap = 6, kIconSize = 32;

std::vector<BoxButton> ButtonsOf(UINT type)
{
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: return {{IDOK, "OK"}, {IDCANCEL, "Cancel"}};
    case MB_ABORTRETRYIGNORE: return {{IDABORT, "&Abort"}, {IDRETRY, "&Retry"}, {IDIGNORE, "&Ignore"}};
    case MB_YESNOCANCEL: return {{IDYES, "&Yes"}, {IDNO, "&No"}, {IDCANCEL, "Cancel"}};
    case MB_YESNO: return {{IDYES, "&Yes"}, {IDNO, "&No"}};
    case MB_RETRYCANCEL: return {{IDRETRY, "&Retry"}, {IDCANCEL, "Cancel"}};
    }
    return {{IDOK, "OK"}};
}

LPCSTR IconOf(UINT type)
{
    switch (type & MB_ICONMASK) {
    case MB_ICONHAND: return IDI_HAND;
    case MB_ICONQUESTION: return IDI_QUESTION;
    case MB_ICONEXCLAMATION: return IDI_EXCLAMATION;
    case MB_ICONASTERISK: return IDI_ASTERISK;
    }
    return nullptr;
}

/* The dialog class record of boxes whose close box is disabled. */
WindowClass *NoCloseClass(WindowClass *dialogClass)
{
    static WindowClass copy;
    static bool made;
    if (!made) {
        copy = *dialogClass;
        copy.style |= CS_NOCLOSE;
        made = true;
    }
    return &copy;
}

INT_PTR CALLBACK BoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        BoxData *data = (BoxData *)lParam;
        SetWindowLongPtrA(box, DWLP_USER, (LONG_PTR)data);
        if (LPCSTR icon = IconOf(data->type))
            SendDlgItemMessageA(box, kIconId, STM_SETICON, (WPARAM)LoadIconA(NULL, icon), 0);
        Window *w = WindowLookup(box);
        if (w && !data->hasCancel && (data->type & MB_TYPEMASK) != MB_OK)
            w->cls = NoCloseClass(w->cls);
        LogMessageBox(box, data->caption.c_str(), data->text.c_str(), data->type);
        MessageBeep(data->type & MB_ICONMASK);
        int def = DialogOf(w) ? DialogOf(w)->defId : IDOK;
        if (HWND button = GetDlgItem(box, def))
            SetFocus(button);
        return FALSE;
    }
    case WM_COMMAND: {
        BoxData *data = (BoxData *)GetWindowLongPtrA(box, DWLP_USER);
        if (!data)
            return FALSE;
        int id = LOWORD(wParam);
        for (const BoxButton &b : data->buttons)
            if (b.id == id) {
                EndDialog(box, id);
                return TRUE;
            }
        if (id == IDCANCEL && (data->type & MB_TYPEMASK) == MB_OK)
            EndDialog(box, IDOK);
        return TRUE;
    }
    }
    return FALSE;
}

/* Measures the text as the static control will draw it. */
SIZE MeasureText(const std::string &text, int maxWidth)
{
    SIZE out = {0, 0};
    HDC dc = GetDC(NULL);
    if (!dc)
        return out;
    HGDIOBJ old = SelectObject(dc, SystemFont());
    RECT r = {0, 0, maxWidth, 0};
    DrawTextA(dc, text.c_str(), (int)text.size(), &r,
              DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
    out.cx = r.right - r.left;
    out.cy = r.bottom - r.top;
    if (old)
        SelectObject(dc, old);
    ReleaseDC(NULL, dc);
    return out;
}

DialogItemTemplate Item(const char *cls, const char *title, DWORD style, int id, int x, int y, int cx, int cy)
{
    DialogItemTemplate item;
    item.cls.kind = TemplateName::STRING;
    item.cls.text = cls;
    item.title.kind = TemplateName::STRING;
    item.title.text = title;
    item.style = WS_CHILD | WS_VISIBLE | style;
    item.id = (DWORD)id;
    item.x = x;
    item.y = y;
    item.cx = cx;
    item.cy = cy;
    return item;
}

} // namespace

} // namespace layer

using namespace layer;

extern "C" int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    if (owner && !WindowLookup(owner)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    BoxData data;
    data.type = type;
    data.caption = caption ? caption : "Error";
    data.text = text ? text : "";
    data.buttons = ButtonsOf(type);
    for (const BoxButton &b : data.buttons)
        if (b.id == IDCANCEL)
            data.hasCancel = true;

    Screen &screen = GetScreen();
    int maxText = std::max(120, std::min(screen.width * 5 / 8, 480));
    SIZE textSize = MeasureText(data.text, maxText);
    bool icon = IconOf(type) != nullptr;
    int textLeft = kMargin + (icon ? kIconSize + kMargin : 0);
    int contentHeight = std::max((int)textSize.cy, icon ? kIconSize : 0);
    int textTop = kMargin + (contentHeight - textSize.cy) / 2;
    int count = (int)data.buttons.size();
    int rowWidth = count * kButtonW + (count - 1) * kButtonGap;
    int width = std::max(textLeft + (int)textSize.cx + kMargin, rowWidth + 2 * kMargin);
    int buttonTop = kMargin + contentHeight + kMargin;
    int height = buttonTop + kButtonH + kMargin;

    DialogTemplate t;
    t.pixels = true;
    t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER;
    t.exStyle = WS_EX_TOPMOST;
    t.cx = width;
    t.cy = height;
    t.title.kind = TemplateName::STRING;
    t.title.text = data.caption;
    if (icon)
        t.items.push_back(Item("Static", "", SS_ICON, kIconId, kMargin, kMargin, kIconSize, kIconSize));
    t.items.push_back(Item("Static", data.text.c_str(), SS_LEFT | SS_NOPREFIX, kTextId, textLeft, textTop,
                           textSize.cx, textSize.cy));
    int defIndex = (int)((type & MB_DEFMASK) >> 8);
    if (defIndex >= count)
        defIndex = 0;
    int x = (width - rowWidth) / 2;
    for (int i = 0; i < count; i++) {
        DWORD style = WS_TABSTOP | (i == 0 ? WS_GROUP : 0) | (i == defIndex ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
        t.items.push_back(Item("Button", data.buttons[i].text, style, data.buttons[i].id, x, buttonTop,
                               kButtonW, kButtonH));
        x += kButtonW + kButtonGap;
    }

    HWND box = CreateDialogFromTemplate(t, NULL, owner, BoxProc, (LPARAM)&data, true, true, nullptr);
    if (!box)
        return 0;
    int answer = (int)RunModalDialog(box, owner);
    LogMessageBoxAnswer(box, answer);
    return answer;
}
