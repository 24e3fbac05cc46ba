/*
 * Logical palettes and their realisation into the system palette.
 *
 * A DC starts with DEFAULT_PALETTE, the twenty static colours.  The
 * framebuffer always keeps 32-bit pixels, so a palette changes no pixel
 * already drawn; what it changes is how palette-relative colours resolve
 * (ResolveColor) and, at 8 bits per pixel, the system palette that
 * GetSystemPaletteEntries and GetDIBits report.
 *
 * RealizePalette on a screen DC at 8 bits treats the palette as the
 * foreground palette: the 236 slots between the static colours are given
 * out again from slot 10, in the order of the logical entries.  An entry
 * whose colour is already a static colour, or was given a slot earlier in
 * the same realisation, collapses onto it and takes no slot, unless it is
 * marked PC_NOCOLLAPSE or PC_RESERVED.  PC_EXPLICIT entries name a system
 * slot and change nothing.  When the slots run out, the remaining entries
 * map to their nearest colour.  SelectPalette's background flag is kept
 * for nothing: no second palette-aware program shares this screen.
 */
#include "gdi.h"

namespace layer {

static unsigned Distance(uint32_t a, uint32_t b)
{
    int dr = (int)((a >> 16) & 0xFF) - (int)((b >> 16) & 0xFF);
    int dg = (int)((a >> 8) & 0xFF) - (int)((b >> 8) & 0xFF);
    int db = (int)(a & 0xFF) - (int)(b & 0xFF);
    return (unsigned)(dr * dr + dg * dg + db * db);
}

int NearestPaletteEntry(const PaletteObj *palette, uint32_t rgb)
{
    int best = 0;
    unsigned bestDistance = ~0u;
    for (size_t i = 0; i < palette->entries.size(); i++) {
        unsigned d = Distance(EntryPixel(palette->entries[i]), rgb);
        if (d < bestDistance) {
            bestDistance = d;
            best = (int)i;
            if (!d)
                break;
        }
    }
    return best;
}

static bool SameColor(const PALETTEENTRY &a, const PALETTEENTRY &b)
{
    return a.peRed == b.peRed && a.peGreen == b.peGreen && a.peBlue == b.peBlue;
}

/* Gives the foreground palette's entries their system slots. */
static UINT RealizeOnScreen(const PaletteObj *palette)
{
    Screen &screen = GetScreen();
    const int first = 10, last = 245;
    int next = first;
    for (const PALETTEENTRY &e : palette->entries) {
        if (e.peFlags & PC_EXPLICIT)
            continue;
        if (!(e.peFlags & (PC_NOCOLLAPSE | PC_RESERVED))) {
            bool found = false;
            for (int i = 0; i < 256 && !found; i++) {
                bool live = i < first || i > last || i < next;
                found = live && SameColor(screen.palette[i], e);
            }
            if (found)
                continue;
        }
        if (next > last)
            continue; /* no slot left: the entry maps to its nearest colour */
        screen.palette[next] = PALETTEENTRY{e.peRed, e.peGreen, e.peBlue, 0};
        next++;
    }
    screen.realizeCount++;
    return (UINT)palette->entries.size();
}

} // namespace layer

using namespace layer;

extern "C" {

HPALETTE WINAPI CreatePalette(const LOGPALETTE *logical)
{
    if (!logical || logical->palNumEntries == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto *p = new PaletteObj;
    p->kind = GDI_PALETTE;
    p->entries.assign(logical->palPalEntry, logical->palPalEntry + logical->palNumEntries);
    return reinterpret_cast<HPALETTE>(static_cast<GdiObject *>(p));
}

HPALETTE WINAPI SelectPalette(HDC handle, HPALETTE palette, BOOL background)
{
    DC *dc = DCLookup(handle);
    auto *p = static_cast<PaletteObj *>(GdiLookup(palette, GDI_PALETTE));
    if (!dc || !p) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    PaletteObj *old = dc->palette;
    dc->palette = p;
    p->selections++;
    if (old && old->selections > 0)
        old->selections--;
    return reinterpret_cast<HPALETTE>(static_cast<GdiObject *>(old));
}

UINT WINAPI RealizePalette(HDC handle)
{
    DC *dc = DCLookup(handle);
    if (!dc || !dc->palette)
        return 0xFFFFFFFF; /* GDI_ERROR */
    if (GetScreen().bpp != 8)
        return 0;
    if (dc->kind == DC_MEMORY)
        return (UINT)dc->palette->entries.size();
    return RealizeOnScreen(dc->palette);
}

UINT WINAPI GetPaletteEntries(HPALETTE palette, UINT start, UINT count, LPPALETTEENTRY entries)
{
    auto *p = static_cast<PaletteObj *>(GdiLookup(palette, GDI_PALETTE));
    if (!p) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    UINT size = (UINT)p->entries.size();
    if (!entries)
        return size;
    if (start >= size)
        return 0;
    UINT n = count < size - start ? count : size - start;
    for (UINT i = 0; i < n; i++)
        entries[i] = p->entries[start + i];
    return n;
}

UINT WINAPI GetSystemPaletteEntries(HDC handle, UINT start, UINT count, LPPALETTEENTRY entries)
{
    if (!DCLookup(handle)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (GetScreen().bpp != 8)
        return 0; /* only a palette device has a system palette */
    if (!entries)
        return 256;
    if (start >= 256)
        return 0;
    UINT n = count < 256 - start ? count : 256 - start;
    for (UINT i = 0; i < n; i++)
        entries[i] = GetScreen().palette[start + i];
    return n;
}

UINT WINAPI GetNearestPaletteIndex(HPALETTE palette, COLORREF color)
{
    auto *p = static_cast<PaletteObj *>(GdiLookup(palette, GDI_PALETTE));
    if (!p) {
        SetLastError(ERROR_INVALID_HANDLE);
        return CLR_INVALID;
    }
    return (UINT)NearestPaletteEntry(p, ColorRefToPixel(color & 0xFFFFFF));
}

} // extern "C"
