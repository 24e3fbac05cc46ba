/*
 * Raster operations and block transfers: BitBlt, StretchBlt, PatBlt and the
 * brush fills that FillRect and friends are made of.
 *
 * A ternary rop's index byte is the truth table of the result for each of
 * the eight combinations of pattern, source and destination bits (bit
 * number P*4 + S*2 + D), so one routine computes any of the 256 rops on
 * whole 24-bit colours; the common ones take a short cut.
 *
 * A blit first copies the source rectangle (nearest pixel for a stretch)
 * into a buffer, so that a source and destination on the same surface may
 * overlap in any direction.  Source pixels outside the source surface leave
 * the destination alone.  Between monochrome and colour the documented
 * conversions hold: a monochrome source paints its black bits in the
 * destination's text colour and its white bits in the destination's
 * background colour; a colour source turns white in a monochrome
 * destination where it matches the source DC's background colour and black
 * elsewhere.
 */
#include "gdi.h"

#include <string.h>

namespace layer {

uint32_t Rop3(DWORD rop, uint32_t s, uint32_t p, uint32_t d)
{
    unsigned code = (rop >> 16) & 0xFF;
    switch (code) {
    case 0x00: return 0;
    case 0xFF: return 0xFFFFFF;
    case 0xCC: return s & 0xFFFFFF;
    case 0xF0: return p & 0xFFFFFF;
    case 0x55: return ~d & 0xFFFFFF;
    case 0x66: return (s ^ d) & 0xFFFFFF;
    case 0x88: return s & d & 0xFFFFFF;
    case 0xEE: return (s | d) & 0xFFFFFF;
    case 0x5A: return (p ^ d) & 0xFFFFFF;
    default: break;
    }
    uint32_t r = 0;
    for (int i = 0; i < 8; i++)
        if (code & (1u << i))
            r |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
    return r & 0xFFFFFF;
}

bool RopUsesSource(DWORD rop)
{
    unsigned code = (rop >> 16) & 0xFF;
    return ((code >> 2) ^ code) & 0x33;
}

bool RopUsesPattern(DWORD rop)
{
    unsigned code = (rop >> 16) & 0xFF;
    return ((code >> 4) ^ code) & 0x0F;
}

uint32_t Rop2(int mode, uint32_t p, uint32_t d)
{
    uint32_t r;
    switch (mode) {
    case 1: r = 0; break;               /* R2_BLACK */
    case 2: r = ~(p | d); break;        /* R2_NOTMERGEPEN */
    case 3: r = ~p & d; break;          /* R2_MASKNOTPEN */
    case 4: r = ~p; break;              /* R2_NOTCOPYPEN */
    case 5: r = p & ~d; break;          /* R2_MASKPENNOT */
    case R2_NOT: r = ~d; break;
    case R2_XORPEN: r = p ^ d; break;
    case 8: r = ~(p & d); break;        /* R2_NOTMASKPEN */
    case 9: r = p & d; break;           /* R2_MASKPEN */
    case 10: r = ~(p ^ d); break;       /* R2_NOTXORPEN */
    case 11: r = d; break;              /* R2_NOP */
    case 12: r = ~p | d; break;         /* R2_MERGENOTPEN */
    case R2_COPYPEN: r = p; break;
    case 14: r = p | ~d; break;         /* R2_MERGEPENNOT */
    case 15: r = p | d; break;          /* R2_MERGEPEN */
    default: r = 0xFFFFFF; break;       /* R2_WHITE */
    }
    return r & 0xFFFFFF;
}

uint32_t BrushPaint::At(int x, int y) const
{
    if (!pattern)
        return color;
    const Surface &s = pattern->pattern;
    int px = ((x - ox) % s.width + s.width) % s.width;
    int py = ((y - oy) % s.height + s.height) % s.height;
    uint32_t v = s.pixels[(size_t)py * s.width + px];
    if (pattern->mono)
        return (v & 0xFFFFFF) ? back : fore;
    return v;
}

BrushPaint PrepareBrush(const Target &t, BrushObj *brush)
{
    BrushPaint b;
    if (!brush || brush->hollow)
        return b;
    b.hollow = false;
    if (brush->sysColor >= 0)
        b.color = SysColorPixel(brush->sysColor);
    else
        b.color = ResolveColor(t.dc, brush->color);
    if (auto *pat = dynamic_cast<PatternBrushObj *>(brush)) {
        if (pat->pattern.width > 0 && pat->pattern.height > 0) {
            b.pattern = pat;
            b.fore = ResolveColor(t.dc, t.dc->textColor);
            b.back = ResolveColor(t.dc, t.dc->bkColor);
            b.ox = t.dc->origin.x;
            b.oy = t.dc->origin.y;
        }
    }
    return b;
}

static bool Clip(const RECT &a, const RECT &b, RECT &o)
{
    o.left = a.left > b.left ? a.left : b.left;
    o.top = a.top > b.top ? a.top : b.top;
    o.right = a.right < b.right ? a.right : b.right;
    o.bottom = a.bottom < b.bottom ? a.bottom : b.bottom;
    return o.left < o.right && o.top < o.bottom;
}

void FillDevice(const Target &t, const RECT &r, const BrushPaint &brush, DWORD rop)
{
    if (brush.hollow && RopUsesPattern(rop))
        return;
    RECT o;
    for (const RECT &c : t.clip.rects) {
        if (!Clip(c, r, o))
            continue;
        for (int y = o.top; y < o.bottom; y++) {
            uint32_t *row = t.surface->Row(y);
            for (int x = o.left; x < o.right; x++)
                row[x] = StoreColor(t, Rop3(rop, 0, brush.hollow ? 0 : brush.At(x, y), row[x]));
        }
        TargetDamage(t, o);
    }
}

void FillDeviceRop2(const Target &t, const RECT &r, uint32_t color, int rop2)
{
    RECT o;
    for (const RECT &c : t.clip.rects) {
        if (!Clip(c, r, o))
            continue;
        for (int y = o.top; y < o.bottom; y++) {
            uint32_t *row = t.surface->Row(y);
            for (int x = o.left; x < o.right; x++)
                row[x] = StoreColor(t, Rop2(rop2, color, row[x]));
        }
        TargetDamage(t, o);
    }
}

/* A plain copy between colour surfaces of the same scale, row by row with
 * memmove: the common case (painting a prepared bitmap, capturing the
 * screen), which the general path would do a pixel at a time through a
 * gathered copy.  Rows are walked bottom-up when the source lies above the
 * destination on the same surface, so that overlap cannot smear.  Returns
 * -1 when the case is not this one and the general path must run. */
static int CopyUnscaled(const Target &t, const RECT &dest, const RECT &visible, HDC src, int sx, int sy)
{
    DC *sdc = DCLookup(src);
    Target st;
    if (!sdc || !MakeTarget(sdc, st)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (st.mono || t.mono)
        return -1;
    const Surface &ss = *st.surface;
    /* Source device position of a destination device pixel. */
    int offx = sx + st.dx - dest.left, offy = sy + st.dy - dest.top;
    RECT inSource = {-offx, -offy, ss.width - offx, ss.height - offy}, lim, o;
    if (!Clip(visible, inSource, lim))
        return TRUE;
    bool upward = &ss == t.surface && offy < 0;
    for (const RECT &c : t.clip.rects) {
        if (!Clip(c, lim, o))
            continue;
        size_t n = (size_t)(o.right - o.left) * sizeof(uint32_t);
        for (int k = 0; k < o.bottom - o.top; k++) {
            int py = upward ? o.bottom - 1 - k : o.top + k;
            uint32_t *to = t.surface->Row(py) + o.left;
            const uint32_t *from = ss.pixels.data() + (size_t)(py + offy) * ss.width + (o.left + offx);
            memmove(to, from, n);
        }
        TargetDamage(t, o);
    }
    return TRUE;
}

/* Normalises a mirrored extent: a negative width covers the pixels from
 * x + width + 1 to x, in reverse. */
static void Normalize(int &x, int &w, bool &flip)
{
    if (w < 0) {
        x = x + w + 1;
        w = -w;
        flip = !flip;
    }
}

static const int kMaxExtent = 1 << 15;

static BOOL Blit(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh,
                 DWORD rop)
{
    DC *dc = DCLookup(dst);
    Target t;
    if (!dc || !MakeTarget(dc, t)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    bool flipX = false, flipY = false;
    Normalize(x, w, flipX);
    Normalize(y, h, flipY);
    Normalize(sx, sw, flipX);
    Normalize(sy, sh, flipY);
    if (w > kMaxExtent || h > kMaxExtent || sw > kMaxExtent || sh > kMaxExtent) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (w == 0 || h == 0)
        return TRUE;

    /* Only the part of the destination that the clip lets through is
     * gathered and written, so a huge rectangle costs what is visible. */
    RECT dest = {x + t.dx, y + t.dy, x + t.dx + w, y + t.dy + h}, visible;
    if (!Clip(dest, t.clip.Bounds(), visible))
        return TRUE;
    int vw = visible.right - visible.left, vh = visible.bottom - visible.top;

    bool useSource = RopUsesSource(rop);
    if (rop == SRCCOPY && sw == w && sh == h && !flipX && !flipY) {
        int copied = CopyUnscaled(t, dest, visible, src, sx, sy);
        if (copied >= 0)
            return copied;
    }
    std::vector<uint32_t> source;
    std::vector<uint8_t> valid;
    if (useSource) {
        DC *sdc = DCLookup(src);
        Target st;
        if (!sdc || !MakeTarget(sdc, st)) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        if (sw == 0 || sh == 0)
            return TRUE;
        /* Gathered before anything is written: source and destination may
         * be the same surface. */
        source.assign((size_t)vw * vh, 0);
        valid.assign((size_t)vw * vh, 0);
        uint32_t fore = ResolveColor(dc, dc->textColor), back = ResolveColor(dc, dc->bkColor);
        uint32_t srcBack = ResolveColor(sdc, sdc->bkColor) & 0xFFFFFF;
        const Surface &ss = *st.surface;
        for (int j = 0; j < vh; j++) {
            int dj = visible.top - dest.top + j;
            int v = (int)(((int64_t)2 * dj + 1) * sh / (2 * h));
            if (flipY)
                v = sh - 1 - v;
            int py = sy + v + st.dy;
            if (py < 0 || py >= ss.height)
                continue;
            for (int i = 0; i < vw; i++) {
                int di = visible.left - dest.left + i;
                int u = (int)(((int64_t)2 * di + 1) * sw / (2 * w));
                if (flipX)
                    u = sw - 1 - u;
                int px = sx + u + st.dx;
                if (px < 0 || px >= ss.width)
                    continue;
                uint32_t p = ss.pixels[(size_t)py * ss.width + px] & 0xFFFFFF;
                if (st.mono && !t.mono)
                    p = p ? back : fore;
                else if (!st.mono && t.mono)
                    p = p == srcBack ? 0xFFFFFF : 0;
                source[(size_t)j * vw + i] = p;
                valid[(size_t)j * vw + i] = 1;
            }
        }
    }
    BrushPaint brush = PrepareBrush(t, dc->brush);
    if (RopUsesPattern(rop) && brush.hollow)
        return TRUE;
    RECT o;
    for (const RECT &c : t.clip.rects) {
        if (!Clip(c, visible, o))
            continue;
        for (int py = o.top; py < o.bottom; py++) {
            uint32_t *row = t.surface->Row(py);
            size_t base = (size_t)(py - visible.top) * vw;
            for (int px = o.left; px < o.right; px++) {
                uint32_t s = 0;
                if (useSource) {
                    size_t k = base + (px - visible.left);
                    if (!valid[k])
                        continue;
                    s = source[k];
                }
                uint32_t p = brush.hollow ? 0 : brush.At(px, py);
                row[px] = StoreColor(t, Rop3(rop, s, p, row[px]));
            }
        }
        TargetDamage(t, o);
    }
    return TRUE;
}

} // namespace layer

using namespace layer;

extern "C" {

BOOL WINAPI BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, DWORD rop)
{
    return Blit(dst, x, y, width, height, src, sx, sy, width, height, rop);
}

BOOL WINAPI StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, int sw,
                       int sh, DWORD rop)
{
    return Blit(dst, x, y, width, height, src, sx, sy, sw, sh, rop);
}

/* PatBlt takes the rectangle from x to x + width whatever the sign. */
BOOL WINAPI PatBlt(HDC handle, int x, int y, int width, int height, DWORD rop)
{
    if (RopUsesSource(rop)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (width < 0) {
        x += width;
        width = -width;
    }
    if (height < 0) {
        y += height;
        height = -height;
    }
    return Blit(handle, x, y, width, height, nullptr, 0, 0, 0, 0, rop);
}

HBRUSH WINAPI CreatePatternBrush(HBITMAP bitmap)
{
    auto *b = static_cast<BitmapObj *>(GdiLookup(bitmap, GDI_BITMAP));
    if (!b) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    auto *brush = new PatternBrushObj;
    brush->kind = GDI_BRUSH;
    brush->pattern = b->surface;
    brush->mono = b->bitsPixel == 1;
    return reinterpret_cast<HBRUSH>(static_cast<GdiObject *>(brush));
}

} // extern "C"
