/*
 * The X11 backend's translations, apart from its connection so that tests
 * can check them: keys to virtual keys and characters, clipboard text
 * between the X encodings and Windows-1252.
 */
#ifndef NOBRA_DISPLAY_X11_H
#define NOBRA_DISPLAY_X11_H

#include "layer.h"

#include <X11/Xlib.h>

#include <string>

namespace layer {

/* The virtual key of a key event and, for a press, the Windows-1252
 * character it types (0 for none).  False for keys the layer does not
 * report (Caps Lock, dead keys, ...). */
bool X11TranslateKey(XKeyEvent *event, UINT &vk, unsigned char &ch);
/* A keysym's Unicode code point, 0 when it has none. */
uint32_t X11KeysymToUnicode(unsigned long keysym);
/* Clipboard text from another client: UTF-8 (or Latin-1 when latin1 is
 * set) to Windows-1252 with CR-LF line ends, as CF_TEXT holds it; it ends
 * at a NUL, and characters Windows-1252 lacks become '?'. */
std::string X11TextToCp1252(const std::string &bytes, bool latin1);
/* The layer's clipboard text for another client: UTF-8 (or Latin-1) with
 * LF line ends. */
std::string X11TextFromCp1252(const std::string &text, bool latin1);

} // namespace layer

#endif
