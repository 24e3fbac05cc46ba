#!/usr/bin/env python3
"""Checks a compiled resource image (.res) of the installer.

The resource compiler has escapes, implicit styles and string limits of its
own; this reads the compiled image back and confirms that it holds what
res/setup.rc means:

  - string 150 is res/licence.txt byte for byte once its UTF-16 units are
    mapped back to Windows-1252 (CR-LF, the 169 byte and the final empty
    line included), and string 301 is "SETUP";
  - IDB_PELMAR, named by its string, is 556 x 384, 8 bits, 256 colours,
    bottom-up and uncompressed, 214,568 bytes with header and table;
  - icon 200 is one 32 x 32 image of 16 colours, icons 201 to 203 one
    16 x 16 image of 16 colours each;
  - the templates IDD_AGREEMENT, IDD_DIR and IDD_BROWSE have exactly the
    styles, controls and positions below;
  - there is no menu and no accelerator table.

Usage: tools/check_res.py image.res [res-dir]    exit status 0 when all hold
"""
import os
import struct
import sys

RT_ICON, RT_BITMAP, RT_MENU, RT_DIALOG, RT_STRING, RT_ACCELERATOR, RT_GROUP_ICON = 3, 2, 4, 5, 6, 9, 14

WS_POPUP, WS_CHILD, WS_VISIBLE = 0x80000000, 0x40000000, 0x10000000
WS_CAPTION, WS_BORDER, WS_VSCROLL, WS_SYSMENU = 0x00C00000, 0x00800000, 0x00200000, 0x00080000
WS_GROUP, WS_TABSTOP = 0x00020000, 0x00010000
DS_SETFONT, DS_MODALFRAME, DS_NOFAILCREATE, DS_CENTER = 0x40, 0x80, 0x10, 0x800
BS_DEFPUSHBUTTON, BS_CENTER = 0x1, 0x300
ES_MULTILINE, ES_AUTOVSCROLL, ES_AUTOHSCROLL, ES_READONLY = 0x4, 0x40, 0x80, 0x800
SS_CENTER, SS_SUNKEN = 0x1, 0x1000
CBS_DROPDOWNLIST = 0x3
LVS_LIST, LVS_SINGLESEL, LVS_SORTASCENDING = 0x3, 0x4, 0x10
WS_EX_DLGMODALFRAME, WS_EX_CLIENTEDGE = 0x1, 0x200
CHILD = WS_CHILD | WS_VISIBLE
PAGE = WS_POPUP | WS_VISIBLE | DS_CENTER | DS_SETFONT | DS_NOFAILCREATE

# name: (style, exstyle, x, y, cx, cy, caption, [controls]);
# a control is (id, class, text, style, exstyle, x, y, cx, cy).
TEMPLATES = {
    "IDD_AGREEMENT": (PAGE, 0, 0, 0, 370, 236, "", [
        (1, "BUTTON", "I Agree", CHILD | BS_DEFPUSHBUTTON | BS_CENTER | WS_TABSTOP, 0, 125, 217, 50, 14),
        (2, "BUTTON", "Cancel", CHILD | BS_CENTER | WS_TABSTOP, 0, 193, 217, 50, 14),
        (151, "EDIT", "", CHILD | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY | WS_VSCROLL | WS_BORDER
         | WS_GROUP | WS_TABSTOP, WS_EX_DLGMODALFRAME, 25, 21, 320, 194),
    ]),
    "IDD_DIR": (PAGE, 0, 0, 0, 370, 236, "", [
        (1, "BUTTON", "Next", CHILD | BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 116, 218, 60, 14),
        (2, "BUTTON", "Cancel", CHILD | WS_TABSTOP, 0, 193, 218, 60, 14),
        (100, "BUTTON", "Browse", CHILD | WS_TABSTOP, 0, 297, 200, 48, 12),
        (101, "EDIT", "", CHILD | ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, 92, 200, 204, 11),
        (0xFFFF, "STATIC", "Install in directory", CHILD | WS_BORDER | SS_CENTER, 0, 28, 200, 62, 11),
    ]),
    "IDD_BROWSE": (WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | DS_SETFONT, 0,
                   0, 0, 262, 209, "Setup - directory", [
        (1, "BUTTON", "OK", CHILD | WS_TABSTOP, 0, 167, 7, 43, 12),
        (105, "EDIT", "", CHILD | WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP, 0, 71, 7, 95, 12),
        (104, "COMBOBOX", "", CHILD | CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 0, 8, 32, 49, 60),
        (107, "SysListView32", "", CHILD | WS_BORDER | LVS_LIST | LVS_SINGLESEL | LVS_SORTASCENDING,
         WS_EX_CLIENTEDGE, 7, 45, 246, 156),
        (102, "EDIT", "", CHILD | WS_BORDER | ES_READONLY | ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE,
         56, 32, 197, 13),
        (0xFFFF, "STATIC", " Install in directory:", CHILD | SS_SUNKEN, 0, 8, 7, 62, 11),
        (103, "STATIC", "", CHILD | SS_SUNKEN, 0, 8, 20, 245, 11),
        (2, "BUTTON", "Cancel", CHILD | WS_TABSTOP, 0, 211, 7, 43, 12),
    ]),
}
ATOMS = {0x80: "BUTTON", 0x81: "EDIT", 0x82: "STATIC", 0x83: "LISTBOX", 0x84: "SCROLLBAR", 0x85: "COMBOBOX"}


def read_id(data, at):
    """A resource type or name: 0xFFFF and a number, or a NUL-terminated UTF-16 string."""
    (first,) = struct.unpack_from("<H", data, at)
    if first == 0xFFFF:
        return struct.unpack_from("<H", data, at + 2)[0], at + 4
    chars = []
    while True:
        (c,) = struct.unpack_from("<H", data, at)
        at += 2
        if c == 0:
            return "".join(chars), at
        chars.append(chr(c))


def read_res(path):
    data = open(path, "rb").read()
    entries, at = {}, 0
    while at + 8 <= len(data):
        size, header = struct.unpack_from("<II", data, at)
        rtype, p = read_id(data, at + 8)
        name, p = read_id(data, p)
        if size or rtype:
            entries[(rtype, name)] = data[at + header:at + header + size]
        at += header + size
        at += (-at) % 4
    return entries


def string(entries, number):
    block = entries.get((RT_STRING, number // 16 + 1))
    if block is None:
        return None
    at = 0
    for index in range(16):
        (length,) = struct.unpack_from("<H", block, at)
        at += 2
        if index == number % 16:
            return block[at:at + 2 * length].decode("utf-16-le")
        at += 2 * length
    return None


def check_strings(entries, res, faults):
    with open(os.path.join(res, "licence.txt"), "rb") as f:
        wanted = f.read()
    text = string(entries, 150)
    if text is None:
        faults.append("string 150 is missing")
    else:
        try:
            got = text.encode("cp1252")
        except UnicodeEncodeError as e:
            faults.append("string 150 holds a character outside Windows-1252: %s" % e)
            got = None
        if got is not None and got != wanted:
            at = next((i for i in range(min(len(got), len(wanted))) if got[i] != wanted[i]),
                      min(len(got), len(wanted)))
            faults.append("string 150 differs from licence.txt at byte %d (%d bytes, want %d)"
                          % (at, len(got), len(wanted)))
    if string(entries, 301) != "SETUP":
        faults.append("string 301 is %r, want 'SETUP'" % string(entries, 301))


def check_bitmap(entries, faults):
    dib = entries.get((RT_BITMAP, "IDB_PELMAR"))
    if dib is None:
        faults.append("bitmap IDB_PELMAR (named by string) is missing")
        return
    size, width, height, planes, bits, compression, image, _, _, used, _ = struct.unpack_from(
        "<IiiHHIIiiII", dib, 0)
    got = (size, width, height, planes, bits, compression, used or 256, len(dib))
    want = (40, 556, 384, 1, 8, 0, 256, 214568)
    if got != want:
        faults.append("IDB_PELMAR is (header, width, height, planes, bits, compression, colours, "
                      "bytes) %s, want %s" % (got, want))


def check_icons(entries, faults):
    for number, side in ((200, 32), (201, 16), (202, 16), (203, 16)):
        group = entries.get((RT_GROUP_ICON, number))
        if group is None:
            faults.append("icon %d is missing" % number)
            continue
        _, kind, count = struct.unpack_from("<HHH", group, 0)
        if kind != 1 or count != 1:
            faults.append("icon %d holds %d images, want one" % (number, count))
            continue
        w, h, colours, _, _, bits, _, image_id = struct.unpack_from("<BBBBHHIH", group, 6)
        image = entries.get((RT_ICON, image_id), b"")
        if len(image) < 40:
            faults.append("icon %d has no image" % number)
            continue
        _, iw, ih, _, ibits = struct.unpack_from("<IiiHH", image, 0)
        if (w, h, colours, iw, ih, ibits) != (side, side, 16, side, 2 * side, 4):
            faults.append("icon %d is %dx%d with %d colours at %d bits, want %dx%d, 16 colours"
                          % (number, iw, ih // 2, colours, ibits, side, side))


def read_template(data):
    style, exstyle, count, x, y, cx, cy = struct.unpack_from("<IIHhhhh", data, 0)
    at = 18
    menu, at = read_id(data, at)
    cls, at = read_id(data, at)
    title, at = read_id(data, at)
    font = None
    if style & DS_SETFONT:
        (points,) = struct.unpack_from("<H", data, at)
        face, at = read_id(data, at + 2)
        font = (points, face)
    controls = []
    for _ in range(count):
        at += (-at) % 4
        cstyle, cex, x0, y0, w0, h0, cid = struct.unpack_from("<IIhhhhH", data, at)
        at += 18
        ccls, at = read_id(data, at)
        text, at = read_id(data, at)
        (extra,) = struct.unpack_from("<H", data, at)
        at += 2 + extra
        # Class names compare without regard to case, and windres upper-cases them.
        ccls = ATOMS.get(ccls, ccls).upper() if isinstance(ccls, str) else ATOMS.get(ccls, ccls)
        controls.append((cid, ccls, text, cstyle, cex, x0, y0, w0, h0))
    return (style, exstyle, x, y, cx, cy, title, controls), menu, cls, font


def check_templates(entries, faults):
    for name, want in TEMPLATES.items():
        data = entries.get((RT_DIALOG, name))
        if data is None:
            faults.append("template %s (named by string) is missing" % name)
            continue
        if struct.unpack_from("<HH", data, 0) == (1, 0xFFFF):
            faults.append("template %s is an extended template" % name)
            continue
        got, menu, cls, font = read_template(data)
        if menu not in (0, "") or cls not in (0, ""):
            faults.append("template %s names a menu or a class" % name)
        if font != (8, "MS Sans Serif"):
            faults.append("template %s uses font %s" % (name, font))
        if got[:7] != want[:7]:
            faults.append("template %s is %s, want %s" % (name, [hex(v) if isinstance(v, int) else v
                                                                  for v in got[:7]], list(want[:7])))
        if len(got[7]) != len(want[7]):
            faults.append("template %s has %d controls, want %d" % (name, len(got[7]), len(want[7])))
        for g, w in zip(got[7], want[7]):
            w = (w[0], w[1].upper()) + w[2:]
            if g != w:
                faults.append("template %s control %s is %s, want %s"
                              % (name, w[0], (g[0], g[1], g[2], hex(g[3]), hex(g[4])) + g[5:],
                                 (w[0], w[1], w[2], hex(w[3]), hex(w[4])) + w[5:]))


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    res = sys.argv[2] if len(sys.argv) > 2 else os.path.join(os.path.dirname(__file__), "..", "res")
    entries = read_res(sys.argv[1])
    faults = []
    check_strings(entries, res, faults)
    check_bitmap(entries, faults)
    check_icons(entries, faults)
    check_templates(entries, faults)
    for rtype, kind in ((RT_MENU, "menu"), (RT_ACCELERATOR, "accelerator table")):
        if any(t == rtype for t, _ in entries):
            faults.append("the resources hold a %s" % kind)
    for fault in faults:
        print("check_res: " + fault, file=sys.stderr)
    if not faults:
        print("check_res: %s holds what res/setup.rc means" % sys.argv[1])
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
