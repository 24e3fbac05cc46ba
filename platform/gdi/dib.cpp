/*
 * Bitmaps and device-independent bitmaps.
 *
 * Every bitmap keeps 32-bit pixels in its surface, top row first; its
 * bitsPixel is only what it reports (GetObjectA, GetDIBits with a zero bit
 * count), except for monochrome bitmaps, whose pixels are kept black or
 * white.  A bitmap compatible with a DC has the DC's depth, or, for a
 * memory DC, the depth of the bitmap selected there: a fresh memory DC
 * holds the 1x1 monochrome stock bitmap, so it makes monochrome bitmaps,
 * as documented.
 *
 * DIBs are read and written with the documented layout: a BITMAPINFOHEADER
 * (larger headers are read as one), the masks for BI_BITFIELDS, the colour
 * table (RGBQUADs, or WORD indices into the DC's palette with
 * DIB_PAL_COLORS), rows padded to four bytes, bottom-up for a positive
 * height and top-down for a negative one.  Scan line numbers count from the
 * first row in memory: the bottom row of a bottom-up DIB.
 *
 * GetDIBits at 8 bits or less fills the colour table itself: black and white
 * at 1 bit, the sixteen VGA colours at 4, the system palette at 8, and maps
 * every pixel to its nearest table entry.  With no bits it fills the header
 * (biBitCount 0: the bitmap's own format) or the image size and table.
 *
 * Data read from resources and files is bounded by its size; the API calls
 * that take a caller's BITMAPINFO trust its memory, as the API does, but
 * still reject sizes that no bitmap can have.
 */
#include "gdi.h"

#include <string.h>

namespace layer {

size_t DibStride(int width, int bits) { return (((size_t)width * bits + 31) / 32) * 4; }

static uint32_t Read32(const uint8_t *p) { return p[0] | (p[1] << 8) | (p[2] << 16) | ((uint32_t)p[3] << 24); }

static const int kMaxSide = 1 << 15;

bool ReadDibInfo(const BITMAPINFO *info, size_t infoSize, UINT usage, DC *dc, Dib &dib,
                 size_t *headerBytes)
{
    if (!info || infoSize < sizeof(BITMAPINFOHEADER))
        return false;
    const BITMAPINFOHEADER &h = info->bmiHeader;
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biSize > infoSize || h.biSize > 4096)
        return false;
    if (h.biWidth <= 0 || h.biWidth > kMaxSide || h.biHeight == 0 || h.biHeight < -kMaxSide ||
        h.biHeight > kMaxSide)
        return false;
    int bits = h.biBitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return false;
    if (h.biCompression != BI_RGB && !(h.biCompression == BI_BITFIELDS && (bits == 16 || bits == 32)))
        return false;
    if (usage != DIB_RGB_COLORS && usage != DIB_PAL_COLORS)
        return false;
    dib.width = h.biWidth;
    dib.height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    dib.topDown = h.biHeight < 0;
    dib.bits = bits;
    dib.compression = h.biCompression;
    dib.stride = DibStride(dib.width, bits);

    const uint8_t *base = reinterpret_cast<const uint8_t *>(info);
    size_t at = h.biSize;
    if (h.biCompression == BI_BITFIELDS) {
        if (h.biSize >= 52) {
            for (int i = 0; i < 3; i++)
                dib.masks[i] = Read32(base + 40 + 4 * i);
        } else {
            if (infoSize - at < 12)
                return false;
            for (int i = 0; i < 3; i++)
                dib.masks[i] = Read32(base + at + 4 * i);
            at += 12;
        }
    } else if (bits == 16) {
        dib.masks[0] = 0x7C00, dib.masks[1] = 0x03E0, dib.masks[2] = 0x001F;
    } else if (bits == 32) {
        dib.masks[0] = 0xFF0000, dib.masks[1] = 0xFF00, dib.masks[2] = 0xFF;
    }

    size_t present = h.biClrUsed ? h.biClrUsed : (bits <= 8 ? (1u << bits) : 0);
    if (present > 65536)
        return false;
    size_t entryBytes = usage == DIB_PAL_COLORS ? 2 : 4;
    if ((infoSize - at) / entryBytes < present)
        return false;
    dib.table.assign(bits <= 8 ? (1u << bits) : 0, 0);
    const PaletteObj *pal = DCPalette(dc) ? DCPalette(dc) : DefaultPalette();
    for (size_t i = 0; i < present && i < dib.table.size(); i++) {
        const uint8_t *e = base + at + i * entryBytes;
        if (usage == DIB_PAL_COLORS) {
            unsigned index = e[0] | (e[1] << 8);
            dib.table[i] = EntryPixel(pal->entries[index < pal->entries.size() ? index : 0]);
        } else {
            dib.table[i] = ((uint32_t)e[2] << 16) | ((uint32_t)e[1] << 8) | e[0];
        }
    }
    at += present * entryBytes;
    if (headerBytes)
        *headerBytes = at;
    return true;
}

static uint32_t Channel(uint32_t value, uint32_t mask)
{
    if (!mask)
        return 0;
    int shift = __builtin_ctz(mask);
    int width = __builtin_popcount(mask);
    uint32_t v = (value & mask) >> shift;
    if (width >= 8)
        return v >> (width - 8);
    return v * 255 / ((1u << width) - 1);
}

/* The word-at-a-time row loops below read and write DIB bytes in host order. */
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "DIB rows are packed for a little-endian host");

/* Screen-sized rows of 24 bits are converted sixteen bytes at a time with a
 * byte shuffle where the processor has one (SSSE3); the loops leave the last
 * pixels to the plain code so that no load or store passes the row's end. */
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

__attribute__((target("ssse3"))) static int Unpack24Wide(const uint8_t *row, uint32_t *out, int count)
{
    const __m128i spread = _mm_setr_epi8(0, 1, 2, -128, 3, 4, 5, -128, 6, 7, 8, -128, 9, 10, 11, -128);
    int x = 0;
    for (; x + 6 <= count; x += 4, row += 12)
        _mm_storeu_si128((__m128i *)(out + x),
                         _mm_shuffle_epi8(_mm_loadu_si128((const __m128i *)row), spread));
    return x;
}

__attribute__((target("ssse3"))) static int Pack24Wide(const uint32_t *in, uint8_t *row, int count)
{
    const __m128i gather = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -128, -128, -128, -128);
    int x = 0;
    /* Each store writes four bytes past its twelve; the next store covers them. */
    for (; x + 6 <= count; x += 4, row += 12)
        _mm_storeu_si128((__m128i *)row, _mm_shuffle_epi8(_mm_loadu_si128((const __m128i *)(in + x)), gather));
    return x;
}

static bool HasShuffle()
{
    static const bool has = __builtin_cpu_supports("ssse3");
    return has;
}
#else
static int Unpack24Wide(const uint8_t *, uint32_t *, int) { return 0; }
static int Pack24Wide(const uint32_t *, uint8_t *, int) { return 0; }
static bool HasShuffle() { return false; }
#endif

void DecodeDibRow(const Dib &dib, const uint8_t *row, uint32_t *out, int count)
{
    /* The screen-sized cases get loops of their own, without a switch per pixel. */
    if (dib.bits == 24) {
        /* Four pixels from three little-endian words at a time. */
        int x = HasShuffle() ? Unpack24Wide(row, out, count) : 0;
        row += 3 * x;
        for (; x + 4 <= count; x += 4, row += 12) {
            uint32_t a, b, c;
            memcpy(&a, row, 4);
            memcpy(&b, row + 4, 4);
            memcpy(&c, row + 8, 4);
            out[x] = a & 0xFFFFFF;
            out[x + 1] = (a >> 24) | ((b & 0xFFFF) << 8);
            out[x + 2] = (b >> 16) | ((c & 0xFF) << 16);
            out[x + 3] = c >> 8;
        }
        for (; x < count; x++, row += 3)
            out[x] = ((uint32_t)row[2] << 16) | ((uint32_t)row[1] << 8) | row[0];
        return;
    }
    for (int x = 0; x < count; x++) {
        switch (dib.bits) {
        case 1: out[x] = dib.table[(row[x >> 3] >> (7 - (x & 7))) & 1]; break;
        case 4: out[x] = dib.table[(row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15]; break;
        case 8: out[x] = dib.table[row[x]]; break;
        case 16: {
            uint32_t v = row[2 * x] | (row[2 * x + 1] << 8);
            out[x] = (Channel(v, dib.masks[0]) << 16) | (Channel(v, dib.masks[1]) << 8) |
                     Channel(v, dib.masks[2]);
            break;
        }
        case 24:
            out[x] = ((uint32_t)row[3 * x + 2] << 16) | ((uint32_t)row[3 * x + 1] << 8) | row[3 * x];
            break;
        default: {
            uint32_t v = Read32(row + 4 * x);
            out[x] = (Channel(v, dib.masks[0]) << 16) | (Channel(v, dib.masks[1]) << 8) |
                     Channel(v, dib.masks[2]);
            break;
        }
        }
    }
}

bool DecodePackedDib(const void *data, size_t size, Surface &out, int *bitsOut, size_t bitsOffset)
{
    Dib dib;
    size_t header = 0;
    if (!data || !ReadDibInfo(static_cast<const BITMAPINFO *>(data), size, DIB_RGB_COLORS, nullptr,
                              dib, &header))
        return false;
    size_t at = bitsOffset ? bitsOffset : header;
    if (at < header || at > size || (size - at) / dib.stride < (size_t)dib.height)
        return false;
    if (!out.Resize(dib.width, dib.height))
        return false;
    const uint8_t *bits = static_cast<const uint8_t *>(data) + at;
    for (int i = 0; i < dib.height; i++) {
        int y = dib.topDown ? i : dib.height - 1 - i;
        DecodeDibRow(dib, bits + (size_t)i * dib.stride, out.Row(y), dib.width);
    }
    if (bitsOut)
        *bitsOut = dib.bits;
    return true;
}

BitmapObj *NewBitmap(int width, int height, int bitsPixel)
{
    auto *b = new BitmapObj;
    b->kind = GDI_BITMAP;
    b->bitsPixel = bitsPixel;
    if (!b->surface.Resize(width, height)) {
        delete b;
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return b;
}

static HBITMAP Handle(BitmapObj *b) { return reinterpret_cast<HBITMAP>(static_cast<GdiObject *>(b)); }

static uint32_t Mono(uint32_t rgb)
{
    unsigned r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
    return (r * 30 + g * 59 + b * 11) >= 128 * 100 ? 0xFFFFFF : 0;
}

/* The colour table GetDIBits reports for a depth of 8 bits or less. */
static std::vector<uint32_t> ReportedTable(int bits, DC *dc, UINT usage)
{
    std::vector<uint32_t> table;
    if (usage == DIB_PAL_COLORS) {
        const PaletteObj *pal = DCPalette(dc) ? DCPalette(dc) : DefaultPalette();
        for (unsigned i = 0; i < (1u << bits); i++)
            table.push_back(EntryPixel(pal->entries[i < pal->entries.size() ? i : 0]));
        return table;
    }
    if (bits == 1)
        return {0x000000, 0xFFFFFF};
    if (bits == 4) {
        const PaletteObj *def = DefaultPalette();
        static const int vga[16] = {0, 1, 2, 3, 4, 5, 6, 7, 12, 13, 14, 15, 16, 17, 18, 19};
        for (int i : vga)
            table.push_back(EntryPixel(def->entries[i]));
        return table;
    }
    for (int i = 0; i < 256; i++)
        table.push_back(EntryPixel(GetScreen().palette[i]));
    return table;
}

static int Nearest(const std::vector<uint32_t> &table, uint32_t rgb)
{
    int best = 0;
    unsigned bestDistance = ~0u;
    for (size_t i = 0; i < table.size(); i++) {
        int dr = (int)((table[i] >> 16) & 0xFF) - (int)((rgb >> 16) & 0xFF);
        int dg = (int)((table[i] >> 8) & 0xFF) - (int)((rgb >> 8) & 0xFF);
        int db = (int)(table[i] & 0xFF) - (int)(rgb & 0xFF);
        unsigned d = (unsigned)(dr * dr + dg * dg + db * db);
        if (d < bestDistance) {
            bestDistance = d;
            best = (int)i;
            if (!d)
                break;
        }
    }
    return best;
}

static void EncodeRow(int bits, const std::vector<uint32_t> &table, const uint32_t *in, int count,
                      uint8_t *row)
{
    if (bits == 24) {
        /* Four pixels into three little-endian words at a time. */
        int x = HasShuffle() ? Pack24Wide(in, row, count) : 0;
        row += 3 * x;
        for (; x + 4 <= count; x += 4, row += 12) {
            uint32_t p0 = in[x] & 0xFFFFFF, p1 = in[x + 1] & 0xFFFFFF, p2 = in[x + 2] & 0xFFFFFF,
                     p3 = in[x + 3] & 0xFFFFFF;
            uint32_t a = p0 | (p1 << 24), b = (p1 >> 8) | (p2 << 16), c = (p2 >> 16) | (p3 << 8);
            memcpy(row, &a, 4);
            memcpy(row + 4, &b, 4);
            memcpy(row + 8, &c, 4);
        }
        for (; x < count; x++, row += 3) {
            uint32_t p = in[x];
            row[0] = (uint8_t)p;
            row[1] = (uint8_t)(p >> 8);
            row[2] = (uint8_t)(p >> 16);
        }
        return;
    }
    int lastPixel = -1, lastIndex = 0;
    for (int x = 0; x < count; x++) {
        uint32_t p = in[x] & 0xFFFFFF;
        if (bits <= 8) {
            if ((int)p != lastPixel) {
                lastPixel = (int)p;
                lastIndex = Nearest(table, p);
            }
            int i = lastIndex;
            if (bits == 1)
                row[x >> 3] |= (uint8_t)((i & 1) << (7 - (x & 7)));
            else if (bits == 4)
                row[x >> 1] |= (uint8_t)((i & 15) << ((x & 1) ? 0 : 4));
            else
                row[x] = (uint8_t)i;
        } else if (bits == 16) {
            unsigned v = (((p >> 19) & 31) << 10) | (((p >> 11) & 31) << 5) | ((p >> 3) & 31);
            row[2 * x] = (uint8_t)v;
            row[2 * x + 1] = (uint8_t)(v >> 8);
        } else if (bits == 24) {
            row[3 * x] = (uint8_t)p;
            row[3 * x + 1] = (uint8_t)(p >> 8);
            row[3 * x + 2] = (uint8_t)(p >> 16);
        } else {
            row[4 * x] = (uint8_t)p;
            row[4 * x + 1] = (uint8_t)(p >> 8);
            row[4 * x + 2] = (uint8_t)(p >> 16);
            row[4 * x + 3] = 0;
        }
    }
}

/* Copies scan lines of a DIB into a bitmap's surface; returns the count. */
static int StoreScans(BitmapObj *b, const Dib &dib, UINT start, UINT lines)
{
    if (start >= (UINT)dib.height)
        return 0;
    UINT n = lines < (UINT)dib.height - start ? lines : (UINT)dib.height - start;
    int w = dib.width < b->surface.width ? dib.width : b->surface.width;
    std::vector<uint32_t> row(dib.width);
    for (UINT i = 0; i < n; i++) {
        UINT scan = start + i;
        int y = dib.topDown ? (int)scan : dib.height - 1 - (int)scan;
        if (y >= b->surface.height)
            continue;
        uint32_t *dst = b->surface.Row(y);
        if (b->bitsPixel != 1 && w == dib.width) {
            DecodeDibRow(dib, dib.pixels + (size_t)i * dib.stride, dst, w);
            continue;
        }
        DecodeDibRow(dib, dib.pixels + (size_t)i * dib.stride, row.data(), dib.width);
        for (int x = 0; x < w; x++)
            dst[x] = b->bitsPixel == 1 ? Mono(row[x]) : row[x];
    }
    return (int)n;
}

} // namespace layer

using namespace layer;

extern "C" {

HBITMAP WINAPI CreateCompatibleBitmap(HDC handle, int width, int height)
{
    if (FailPoint("CreateCompatibleBitmap")) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    DC *dc = DCLookup(handle);
    if (!dc) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (width < 0 || height < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (width == 0 || height == 0)
        return Handle(NewBitmap(1, 1, 1));
    return Handle(NewBitmap(width, height, CompatibleDepth(dc)));
}

/* The bits are a device-dependent bitmap: rows top first, padded to a WORD;
 * monochrome bits of 1 are white.  Depths of 8 bits index the system
 * palette, 16 bits are 5-5-5. */
HBITMAP WINAPI CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void *bits)
{
    if (width < 0 || height < 0 || planes != 1 ||
        (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8 && bitsPerPixel != 16 &&
         bitsPerPixel != 24 && bitsPerPixel != 32)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (width == 0 || height == 0)
        return Handle(NewBitmap(1, 1, 1));
    if (width > kMaxSide || height > kMaxSide) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    BitmapObj *b = NewBitmap(width, height, (int)bitsPerPixel);
    if (!b || !bits)
        return Handle(b);
    Dib dib;
    dib.width = width;
    dib.height = height;
    dib.bits = (int)bitsPerPixel;
    dib.table = ReportedTable(dib.bits <= 8 ? dib.bits : 8, nullptr, DIB_RGB_COLORS);
    if (bitsPerPixel == 16)
        dib.masks[0] = 0x7C00, dib.masks[1] = 0x03E0, dib.masks[2] = 0x001F;
    else if (bitsPerPixel == 32)
        dib.masks[0] = 0xFF0000, dib.masks[1] = 0xFF00, dib.masks[2] = 0xFF;
    size_t stride = ((size_t)width * bitsPerPixel + 15) / 16 * 2;
    const uint8_t *src = static_cast<const uint8_t *>(bits);
    for (int y = 0; y < height; y++)
        DecodeDibRow(dib, src + (size_t)y * stride, b->surface.Row(y), width);
    return Handle(b);
}

/* A null DC makes a bitmap compatible with the screen. */
HBITMAP WINAPI CreateDIBitmap(HDC handle, const BITMAPINFOHEADER *header, DWORD init, const void *bits,
                              const BITMAPINFO *info, UINT usage)
{
    DC *dc = DCLookup(handle);
    if ((handle && !dc) || !header || header->biWidth < 0 || header->biWidth > kMaxSide ||
        header->biHeight < -kMaxSide || header->biHeight > kMaxSide) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    int width = header->biWidth, height = header->biHeight < 0 ? -header->biHeight : header->biHeight;
    if (width == 0 || height == 0)
        return Handle(NewBitmap(1, 1, 1));
    Dib dib;
    if ((init & CBM_INIT) && (!bits || !ReadDibInfo(info, SIZE_MAX, usage, dc, dib))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    BitmapObj *b = NewBitmap(width, height, CompatibleDepth(dc));
    if (b && (init & CBM_INIT)) {
        dib.pixels = static_cast<const uint8_t *>(bits);
        StoreScans(b, dib, 0, (UINT)dib.height);
    }
    return Handle(b);
}

int WINAPI GetDIBits(HDC handle, HBITMAP bitmap, UINT start, UINT lines, LPVOID bits, LPBITMAPINFO info,
                     UINT usage)
{
    DC *dc = DCLookup(handle);
    auto *b = static_cast<BitmapObj *>(GdiLookup(bitmap, GDI_BITMAP));
    if (!dc || !b || !info || info->bmiHeader.biSize < sizeof(BITMAPINFOHEADER) ||
        (usage != DIB_RGB_COLORS && usage != DIB_PAL_COLORS)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    BITMAPINFOHEADER &h = info->bmiHeader;
    const Surface &s = b->surface;
    if (h.biBitCount == 0) {
        if (bits)
            return 0;
        h.biWidth = s.width;
        h.biHeight = s.height;
        h.biPlanes = 1;
        h.biBitCount = (WORD)b->bitsPixel;
        h.biCompression = BI_RGB;
        h.biSizeImage = (DWORD)(DibStride(s.width, b->bitsPixel) * s.height);
        h.biClrUsed = 0;
        h.biClrImportant = 0;
        return 1;
    }
    int depth = h.biBitCount;
    if ((depth != 1 && depth != 4 && depth != 8 && depth != 16 && depth != 24 && depth != 32) ||
        h.biCompression != BI_RGB || h.biWidth <= 0 || h.biWidth > kMaxSide || h.biHeight == 0 ||
        h.biHeight < -kMaxSide || h.biHeight > kMaxSide) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    size_t stride = DibStride(h.biWidth, depth);
    h.biPlanes = 1;
    h.biSizeImage = (DWORD)(stride * height);
    std::vector<uint32_t> table;
    if (depth <= 8) {
        table = ReportedTable(depth, dc, usage);
        h.biClrUsed = 0;
        uint8_t *entries = reinterpret_cast<uint8_t *>(info) + h.biSize;
        for (size_t i = 0; i < table.size(); i++) {
            if (usage == DIB_PAL_COLORS) {
                entries[2 * i] = (uint8_t)i;
                entries[2 * i + 1] = (uint8_t)(i >> 8);
            } else {
                entries[4 * i] = (uint8_t)table[i];
                entries[4 * i + 1] = (uint8_t)(table[i] >> 8);
                entries[4 * i + 2] = (uint8_t)(table[i] >> 16);
                entries[4 * i + 3] = 0;
            }
        }
    }
    if (!bits)
        return 1;
    /* Scan numbers follow the bitmap: scan 0 of a bottom-up DIB is the
     * bitmap's bottom row. */
    if (start >= (UINT)s.height || start >= (UINT)height)
        return 0;
    UINT limit = (UINT)(s.height < height ? s.height : height) - start;
    UINT n = lines < limit ? lines : limit;
    int w = h.biWidth < s.width ? h.biWidth : s.width;
    uint8_t *out = static_cast<uint8_t *>(bits);
    for (UINT i = 0; i < n; i++) {
        UINT scan = start + i;
        int y = h.biHeight < 0 ? (int)scan : s.height - 1 - (int)scan;
        uint8_t *row = out + (size_t)i * stride;
        /* Rows of 16 bits and more are written whole; only their padding needs clearing. */
        size_t written = depth >= 16 ? (size_t)w * (depth / 8) : 0;
        memset(row + written, 0, stride - written);
        EncodeRow(depth, table, s.pixels.data() + (size_t)y * s.width, w, row);
    }
    return (int)n;
}

int WINAPI SetDIBits(HDC handle, HBITMAP bitmap, UINT start, UINT lines, const void *bits,
                     const BITMAPINFO *info, UINT usage)
{
    DC *dc = DCLookup(handle);
    auto *b = static_cast<BitmapObj *>(GdiLookup(bitmap, GDI_BITMAP));
    Dib dib;
    if ((handle && !dc) || !b || !bits || !ReadDibInfo(info, SIZE_MAX, usage, dc, dib)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    dib.pixels = static_cast<const uint8_t *>(bits);
    return StoreScans(b, dib, start, lines);
}

/* The source rectangle is in DIB coordinates whose origin is the lower-left
 * corner for a bottom-up DIB and the upper-left for a top-down one; the
 * bits hold only scans start .. start+lines-1 of the image. */
int WINAPI SetDIBitsToDevice(HDC handle, int x, int y, DWORD width, DWORD height, int sx, int sy,
                             UINT start, UINT lines, const void *bits, const BITMAPINFO *info,
                             UINT usage)
{
    DC *dc = DCLookup(handle);
    Dib dib;
    Target t;
    if (!dc || !bits || !ReadDibInfo(info, SIZE_MAX, usage, dc, dib) || !MakeTarget(dc, t) ||
        width > (DWORD)kMaxSide || height > (DWORD)kMaxSide) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    dib.pixels = static_cast<const uint8_t *>(bits);
    std::vector<uint32_t> row(dib.width);
    RECT touched = {0, 0, 0, 0};
    /* Only rows and columns inside the clip's bounds are visited. */
    RECT b = t.clip.Bounds();
    int k0 = b.top - (y + t.dy), k1 = b.bottom - (y + t.dy);
    int i0 = b.left - (x + t.dx), i1 = b.right - (x + t.dx);
    if (k0 < 0) k0 = 0;
    if (k1 > (int)height) k1 = (int)height;
    if (i0 < 0) i0 = 0;
    if (i1 > (int)width) i1 = (int)width;
    for (int k = k0; k < k1; k++) {
        int imageRow = dib.topDown ? sy + k : dib.height - sy - (int)height + k;
        if (imageRow < 0 || imageRow >= dib.height)
            continue;
        int scan = dib.topDown ? imageRow : dib.height - 1 - imageRow;
        if (scan < (int)start || scan >= (int)(start + lines))
            continue;
        DecodeDibRow(dib, dib.pixels + (size_t)(scan - start) * dib.stride, row.data(), dib.width);
        int dy = y + k + t.dy;
        for (int i = i0; i < i1; i++) {
            int srcX = sx + i, dx = x + i + t.dx;
            if (srcX < 0 || srcX >= dib.width || !t.clip.Contains(dx, dy))
                continue;
            t.surface->Row(dy)[dx] = StoreColor(t, row[srcX]);
            if (touched.left >= touched.right) {
                touched = RECT{dx, dy, dx + 1, dy + 1};
            } else {
                if (dx < touched.left) touched.left = dx;
                if (dx + 1 > touched.right) touched.right = dx + 1;
                if (dy < touched.top) touched.top = dy;
                if (dy + 1 > touched.bottom) touched.bottom = dy + 1;
            }
        }
    }
    TargetDamage(t, touched);
    return (int)lines;
}

} // extern "C"
