#!/usr/bin/env python3
"""Writes the dialog template fixtures of tests/fixtures/dialog/.

Each file is a DLGTEMPLATE or DLGTEMPLATEEX image as a resource holds it;
all but valid_item.bin are broken in one way."""
import os
import struct

here = os.path.dirname(os.path.abspath(__file__))
out = os.path.join(here, "..", "..", "fixtures", "dialog")

WS_POPUP = 0x80000000
WS_CHILD = 0x40000000
WS_VISIBLE = 0x10000000
DS_SETFONT = 0x40


def utf16z(text):
    return text.encode("utf-16-le") + b"\0\0"


def header(style, count, cx=100, cy=50):
    return struct.pack("<IIHhhhh", style, 0, count, 0, 0, cx, cy)


def align(data):
    return data + b"\0" * (-len(data) % 4)


def item(style, ident, cls_ordinal, title, extra):
    body = struct.pack("<IIhhhhH", style, 0, 1, 2, 30, 10, ident)
    body += struct.pack("<HH", 0xFFFF, cls_ordinal)
    body += title
    body += struct.pack("<H", len(extra)) + extra
    return body


def write(name, data):
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)


os.makedirs(out, exist_ok=True)

# One button item with an ordinal title and four bytes of creation data.
valid = align(header(WS_POPUP, 1) + b"\0\0" + b"\0\0" + utf16z("T\u00e9st"))
valid += item(WS_CHILD | WS_VISIBLE, 42, 0x80, struct.pack("<HH", 0xFFFF, 7), b"\x01\x02\x03\x04")
write("valid_item.bin", valid)

write("truncated_header.bin", header(WS_POPUP, 0)[:10])
write("item_count_too_large.bin", header(WS_POPUP, 60000) + b"\0\0\0\0\0\0")
write("title_unterminated.bin", header(WS_POPUP, 0) + b"\0\0\0\0" + "Abc".encode("utf-16-le"))
write("font_truncated.bin", header(WS_POPUP | DS_SETFONT, 0) + b"\0\0\0\0\0\0" + struct.pack("<H", 8))
overrun = align(header(WS_POPUP, 1) + b"\0\0\0\0\0\0")
overrun += item(WS_CHILD, 1, 0x80, b"\0\0", b"")[:-2] + struct.pack("<H", 200) + b"\xAA" * 4
write("creation_data_overrun.bin", overrun)
ex = struct.pack("<HHIIIHhhhh", 1, 0xFFFF, 0, 0, WS_POPUP, 1, 0, 0, 100, 50) + b"\0\0\0\0\0\0"
ex = align(ex) + struct.pack("<IIIhhhh", 0, 0, WS_CHILD, 1, 2, 30, 10)
write("ex_item_truncated.bin", ex)
