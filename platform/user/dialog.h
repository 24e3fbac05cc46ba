/*
 * The dialog manager's parts that other files of platform/user/ use: the
 * parsed form of a dialog template, the parser (open to the tests so that
 * broken templates can be given to it directly), the creation of a dialog
 * from a parsed template (message boxes build theirs in memory), its modal
 * loop, and the hook by which push buttons move the default frame.
 */
#ifndef NOBRA_USER_DIALOG_H
#define NOBRA_USER_DIALOG_H

#include "user/wm.h"

#include <string>
#include <vector>

namespace layer {

/* A name in a template: absent, an ordinal (0xFFFF, n) or a string. */
struct TemplateName {
    enum Kind { NONE, ORDINAL, STRING } kind = NONE;
    WORD ordinal = 0;
    std::string text; /* Windows-1252 */
};

struct DialogItemTemplate {
    DWORD helpId = 0;
    DWORD style = 0, exStyle = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    DWORD id = 0;
    TemplateName cls;    /* ordinals 0x80..0x85 name the predefined classes */
    TemplateName title;
    std::vector<unsigned char> creationData;
};

struct DialogTemplate {
    bool extended = false;
    DWORD helpId = 0;
    DWORD style = 0, exStyle = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    TemplateName menu, cls, title;
    /* DS_SETFONT: the font; the weight, italic flag and charset come only
     * with the extended form. */
    WORD pointSize = 0;
    WORD weight = FW_NORMAL;
    BYTE italic = 0, charset = DEFAULT_CHARSET;
    std::string face;
    std::vector<DialogItemTemplate> items;
    /* Set by message boxes: positions and sizes are pixels, not dialog units. */
    bool pixels = false;
};

/* Reads a DLGTEMPLATE or DLGTEMPLATEEX image.  False, leaving out
 * unspecified, when the image is truncated or malformed; nothing outside
 * the size bytes is read. */
bool ParseDialogTemplate(const void *data, size_t size, DialogTemplate &out);

/* The window class name a template item names: "Button" for 0x80, ... */
std::string TemplateClassName(const TemplateName &cls);

/* Makes the dialog and its controls, records the template name (null for
 * none), sends WM_INITDIALOG and, for a modeless dialog whose template has
 * WS_VISIBLE, shows it; RunModalDialog shows modal ones.  Null when the
 * dialog or (without DS_NOFAILCREATE) one of its controls cannot be made. */
HWND CreateDialogFromTemplate(const DialogTemplate &t, HINSTANCE instance, HWND owner, DLGPROC proc,
                              LPARAM param, bool modal, bool messageBox, LPCSTR templateName);

/* Runs the modal loop of a dialog made with modal set: disables the owner's
 * top-level window, shows the dialog, dispatches until EndDialog or WM_QUIT
 * (which is posted again), enables the owner again and destroys the dialog.
 * Returns the EndDialog value. */
INT_PTR RunModalDialog(HWND dialog, HWND owner);

/* The focus is moving to newFocus (null or outside the dialog allowed): a
 * push button that takes it takes the default frame too, anything else
 * gives the frame back to the dialog's default button. */
void DialogFollowFocus(HWND dialog, HWND newFocus);

} // namespace layer

#endif
