/*
 * What the GDI files share among themselves and nobody else needs: the
 * drawing target of a device context, the raster operations, the DIB
 * codec and the pattern brush.
 *
 * Every drawing call starts by making a Target from its DC: the surface,
 * the offset from logical to device coordinates and the effective clip.
 * The primitives below write through that clip only, turn colours into
 * black or white when the surface is a monochrome bitmap, and report what
 * they touched on the screen surface to ScreenDamage.
 */
#ifndef NOBRA_GDI_H
#define NOBRA_GDI_H

#include "layer.h"

namespace layer {

/* A brush made from a bitmap: the pattern tiles the device from the DC's
 * origin.  A monochrome pattern takes the DC's text colour for its black
 * bits and the background colour for its white bits, as documented. */
struct PatternBrushObj : BrushObj {
    Surface pattern;
    bool mono = false;
};

struct Target {
    DC *dc = nullptr;
    Surface *surface = nullptr;
    Region clip;          /* device coordinates */
    int dx = 0, dy = 0;   /* logical + (dx, dy) = device */
    bool screen = false;  /* the surface is the screen's framebuffer */
    bool mono = false;    /* the surface is a 1-bit bitmap */
};

/* False when the DC has nothing to draw on. */
bool MakeTarget(DC *dc, Target &t);
/* The colour a surface stores for rgb: itself, or black/white when mono. */
uint32_t StoreColor(const Target &t, uint32_t rgb);
/* Marks a device rectangle of the target as drawn (screen surfaces only). */
void TargetDamage(const Target &t, const RECT &deviceRect);

/* Ternary raster operation (the rop code's index byte) on 24-bit colours. */
uint32_t Rop3(DWORD rop, uint32_t s, uint32_t p, uint32_t d);
bool RopUsesSource(DWORD rop);
bool RopUsesPattern(DWORD rop);
/* Binary raster operation of SetROP2 on 24-bit colours. */
uint32_t Rop2(int mode, uint32_t pen, uint32_t d);

/* The brush's colour at a device pixel, already resolved for the target;
 * false for a hollow brush. */
struct BrushPaint {
    bool hollow = true;
    uint32_t color = 0;
    const PatternBrushObj *pattern = nullptr;
    uint32_t fore = 0, back = 0; /* mono pattern: text and background colours */
    int ox = 0, oy = 0;          /* device position of the pattern's origin */
    uint32_t At(int x, int y) const;
};
BrushPaint PrepareBrush(const Target &t, BrushObj *brush);

/* Fills a device rectangle through the clip with a brush and a rop3. */
void FillDevice(const Target &t, const RECT &deviceRect, const BrushPaint &brush, DWORD rop);
/* Fills a device rectangle through the clip with one colour and a rop2. */
void FillDeviceRop2(const Target &t, const RECT &deviceRect, uint32_t color, int rop2);

/* A DIB described by a header, its colour table and its bits. */
struct Dib {
    int width = 0, height = 0; /* height positive */
    bool topDown = false;
    int bits = 0;
    DWORD compression = BI_RGB;
    size_t stride = 0;         /* bytes per row, padded to 4 */
    std::vector<uint32_t> table; /* 0x00RRGGBB */
    uint32_t masks[3] = {0, 0, 0};
    const uint8_t *pixels = nullptr;
};
/* Reads a BITMAPINFO: header, masks and colour table (DIB_RGB_COLORS, or
 * DIB_PAL_COLORS through the DC's palette).  infoSize bounds how much of
 * the info may be read (SIZE_MAX when the caller's memory is trusted);
 * the pixels are not touched.  False for a format the layer cannot read. */
bool ReadDibInfo(const BITMAPINFO *info, size_t infoSize, UINT usage, DC *dc, Dib &dib,
                 size_t *headerBytes = nullptr);
/* Decodes count pixels of a row into 0x00RRGGBB. */
void DecodeDibRow(const Dib &dib, const uint8_t *row, uint32_t *out, int count);
/* Decodes a packed DIB (header, table, bits) held in size bytes into a
 * surface, top row first.  bitsOffset, when not 0, is where the bits start
 * (a BMP file's bfOffBits less its file header).  False when broken or
 * truncated. */
bool DecodePackedDib(const void *data, size_t size, Surface &out, int *bitsOut = nullptr,
                     size_t bitsOffset = 0);
/* Bytes per DIB row. */
size_t DibStride(int width, int bits);

/* Creates a bitmap object of the given size and reported depth; null with
 * the last error set when the memory cannot be had. */
BitmapObj *NewBitmap(int width, int height, int bitsPixel);
/* The depth GetObjectA reports for a bitmap compatible with a DC. */
int CompatibleDepth(DC *dc);

/* The palette a DC resolves palette-relative colours through, or null. */
PaletteObj *DCPalette(DC *dc);
int NearestPaletteEntry(const PaletteObj *palette, uint32_t rgb);
/* The palette that DC_DISPLAY and fresh DCs start with. */
PaletteObj *DefaultPalette();

inline uint32_t ColorRefToPixel(COLORREF c)
{
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}
inline COLORREF PixelToColorRef(uint32_t p)
{
    return ((p >> 16) & 0xFF) | (p & 0xFF00) | ((p & 0xFF) << 16);
}
inline uint32_t EntryPixel(const PALETTEENTRY &e)
{
    return ((uint32_t)e.peRed << 16) | ((uint32_t)e.peGreen << 8) | e.peBlue;
}

} // namespace layer

#endif
