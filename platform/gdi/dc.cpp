/*
 * Device contexts and the life of GDI objects.
 *
 * A handle is the address of its record.  Records are only believed after
 * a look-up in a table of live addresses: every GdiObject enters the table
 * in its constructor and leaves it in its destructor, and the DCs have a
 * table of their own, so a stale or made-up handle fails the way the API
 * says instead of reading freed memory.
 *
 * There are three kinds of DC.  A display DC (CreateDCA "DISPLAY") and a
 * window DC (GetDC, BeginPaint, through CreateScreenDC) draw on the screen's
 * framebuffer; a window DC carries the window's visible region, made by the
 * window manager.  A memory DC draws on the bitmap selected into it and
 * starts with the shared 1x1 monochrome stock bitmap.  A DC's clip in device
 * coordinates is its system region (a memory DC: the whole bitmap), cut by
 * the user's clip (SelectClipRgn, IntersectClipRect, ExcludeClipRect), cut
 * by the surface.  Logical coordinates become device coordinates by adding
 * the DC's origin and its viewport origin.
 *
 * Selecting an object counts it in `selections`; DeleteObject refuses an
 * object that some DC still holds, and a stock object, and leaves it alive.
 * A bitmap can be selected into one memory DC at a time.  Fonts are made and
 * freed by the font module; this file only selects them and hands them to
 * FontRelease when they are deleted.
 */
#include "gdi.h"

#include <string.h>
#include <strings.h>

#include <unordered_set>

namespace layer {

static std::unordered_set<const GdiObject *> &LiveObjects()
{
    static auto *live = new std::unordered_set<const GdiObject *>;
    return *live;
}

static std::unordered_set<const DC *> &LiveDCs()
{
    static auto *live = new std::unordered_set<const DC *>;
    return *live;
}

GdiObject::GdiObject() : magic(kGdiMagic), kind(0) { LiveObjects().insert(this); }

GdiObject::GdiObject(const GdiObject &other)
    : magic(kGdiMagic), kind(other.kind), stock(other.stock), selections(0)
{
    LiveObjects().insert(this);
}

GdiObject::~GdiObject()
{
    LiveObjects().erase(this);
    magic = 0;
}

GdiObject *GdiLookup(HGDIOBJ handle, int kind)
{
    if (!handle)
        return nullptr;
    auto *obj = static_cast<GdiObject *>(handle);
    if (!LiveObjects().count(obj) || obj->magic != kGdiMagic)
        return nullptr;
    if (kind && obj->kind != kind)
        return nullptr;
    return obj;
}

DC *DCLookup(HDC handle)
{
    auto *dc = reinterpret_cast<DC *>(handle);
    if (!dc || !LiveDCs().count(dc) || dc->magic != kDCMagic)
        return nullptr;
    return dc;
}

/* ---- stock objects ---- */

static BrushObj *StockBrush(COLORREF color, bool hollow)
{
    auto *b = new BrushObj;
    b->kind = GDI_BRUSH;
    b->stock = true;
    b->color = color;
    b->hollow = hollow;
    return b;
}

static PenObj *StockPen(COLORREF color, int style)
{
    auto *p = new PenObj;
    p->kind = GDI_PEN;
    p->stock = true;
    p->color = color;
    p->style = style;
    return p;
}

/* The twenty static colours of the documented default palette: the first
 * ten and the last ten entries of an 8-bit system palette. */
static const PALETTEENTRY kStatic[20] = {
    {0x00, 0x00, 0x00, 0}, {0x80, 0x00, 0x00, 0}, {0x00, 0x80, 0x00, 0}, {0x80, 0x80, 0x00, 0},
    {0x00, 0x00, 0x80, 0}, {0x80, 0x00, 0x80, 0}, {0x00, 0x80, 0x80, 0}, {0xC0, 0xC0, 0xC0, 0},
    {0xC0, 0xDC, 0xC0, 0}, {0xA6, 0xCA, 0xF0, 0}, {0xFF, 0xFB, 0xF0, 0}, {0xA0, 0xA0, 0xA4, 0},
    {0x80, 0x80, 0x80, 0}, {0xFF, 0x00, 0x00, 0}, {0x00, 0xFF, 0x00, 0}, {0xFF, 0xFF, 0x00, 0},
    {0x00, 0x00, 0xFF, 0}, {0xFF, 0x00, 0xFF, 0}, {0x00, 0xFF, 0xFF, 0}, {0xFF, 0xFF, 0xFF, 0},
};

PaletteObj *DefaultPalette()
{
    static PaletteObj *palette = [] {
        auto *p = new PaletteObj;
        p->kind = GDI_PALETTE;
        p->stock = true;
        p->entries.assign(kStatic, kStatic + 20);
        return p;
    }();
    return palette;
}

static BitmapObj *StockBitmap()
{
    static BitmapObj *bitmap = [] {
        auto *b = new BitmapObj;
        b->kind = GDI_BITMAP;
        b->stock = true;
        b->bitsPixel = 1;
        LAYER_CHECK(b->surface.Resize(1, 1));
        return b;
    }();
    return bitmap;
}

static GdiObject *StockObject(int index)
{
    static GdiObject *table[18];
    if (index < 0 || index >= 18)
        return nullptr;
    if (!table[index]) {
        switch (index) {
        case WHITE_BRUSH: table[index] = StockBrush(RGB(255, 255, 255), false); break;
        case LTGRAY_BRUSH: table[index] = StockBrush(RGB(192, 192, 192), false); break;
        case GRAY_BRUSH: table[index] = StockBrush(RGB(128, 128, 128), false); break;
        case DKGRAY_BRUSH: table[index] = StockBrush(RGB(64, 64, 64), false); break;
        case BLACK_BRUSH: table[index] = StockBrush(RGB(0, 0, 0), false); break;
        case NULL_BRUSH: table[index] = StockBrush(0, true); break;
        case WHITE_PEN: table[index] = StockPen(RGB(255, 255, 255), PS_SOLID); break;
        case BLACK_PEN: table[index] = StockPen(RGB(0, 0, 0), PS_SOLID); break;
        case NULL_PEN: table[index] = StockPen(0, PS_NULL); break;
        case DEFAULT_PALETTE: table[index] = DefaultPalette(); break;
        case ANSI_VAR_FONT:
        case SYSTEM_FONT:
        case DEFAULT_GUI_FONT: {
            GdiObject *font = GdiLookup(SystemFont(), GDI_FONT);
            if (!font)
                return nullptr;
            font->stock = true;
            return font;
        }
        default: return nullptr;
        }
    }
    return table[index];
}

/* ---- device contexts ---- */

static DC *NewDC(DCKind kind)
{
    auto *dc = new DC;
    dc->magic = kDCMagic;
    dc->kind = kind;
    dc->bitsPixel = GetScreen().bpp;
    dc->brush = static_cast<BrushObj *>(StockObject(WHITE_BRUSH));
    dc->pen = static_cast<PenObj *>(StockObject(BLACK_PEN));
    dc->palette = DefaultPalette();
    dc->brush->selections++;
    dc->pen->selections++;
    dc->palette->selections++;
    LiveDCs().insert(dc);
    return dc;
}

static void FreeDC(DC *dc)
{
    GdiObject *held[] = {dc->bitmap, dc->brush, dc->pen, dc->font, dc->palette};
    for (GdiObject *o : held)
        if (o && o->selections > 0)
            o->selections--;
    LiveDCs().erase(dc);
    dc->magic = 0;
    delete dc;
}

HDC CreateScreenDC(HWND window, POINT origin, const Region &visible)
{
    DC *dc = NewDC(DC_WINDOW);
    dc->window = window;
    dc->surface = &GetScreen().framebuffer;
    dc->origin = origin;
    dc->system = visible;
    return reinterpret_cast<HDC>(dc);
}

void DestroyScreenDC(HDC handle)
{
    DC *dc = DCLookup(handle);
    if (dc && dc->kind == DC_WINDOW)
        FreeDC(dc);
}

Region EffectiveClip(DC *dc)
{
    Region clip;
    Surface *s = dc->kind == DC_MEMORY ? (dc->bitmap ? &dc->bitmap->surface : nullptr) : dc->surface;
    if (!s)
        return clip;
    RECT all = {0, 0, s->width, s->height};
    if (dc->kind == DC_WINDOW) {
        clip = dc->system;
        clip.IntersectRect(all);
    } else {
        clip.SetRect(all);
    }
    if (dc->hasUserClip)
        clip.Intersect(dc->user);
    return clip;
}

static int Complexity(const Region &r)
{
    return r.Empty() ? NULLREGION : r.rects.size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

PaletteObj *DCPalette(DC *dc)
{
    if (!dc || !dc->palette || dc->palette == DefaultPalette())
        return nullptr;
    return dc->palette;
}

uint32_t ResolveColor(DC *dc, COLORREF color)
{
    uint32_t kind = color >> 24;
    PaletteObj *pal = DCPalette(dc);
    if (kind == 0x01) {
        unsigned index = color & 0xFFFF;
        if (pal)
            return EntryPixel(pal->entries[index < pal->entries.size() ? index : 0]);
        return EntryPixel(GetScreen().palette[index < 256 ? index : 0]);
    }
    if (kind == 0x02 && pal)
        return EntryPixel(pal->entries[NearestPaletteEntry(pal, ColorRefToPixel(color & 0xFFFFFF))]);
    return ColorRefToPixel(color & 0xFFFFFF);
}

bool MakeTarget(DC *dc, Target &t)
{
    t.dc = dc;
    t.surface = dc->kind == DC_MEMORY ? (dc->bitmap ? &dc->bitmap->surface : nullptr) : dc->surface;
    if (!t.surface)
        return false;
    t.clip = EffectiveClip(dc);
    t.dx = dc->origin.x + dc->viewport.x;
    t.dy = dc->origin.y + dc->viewport.y;
    t.screen = t.surface == &GetScreen().framebuffer;
    t.mono = dc->kind == DC_MEMORY && dc->bitmap && dc->bitmap->bitsPixel == 1;
    return true;
}

/* A monochrome surface keeps black or white: a colour becomes white when
 * its luminance is at least half. */
uint32_t StoreColor(const Target &t, uint32_t rgb)
{
    if (!t.mono)
        return rgb & 0xFFFFFF;
    unsigned r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
    return (r * 30 + g * 59 + b * 11) >= 128 * 100 ? 0xFFFFFF : 0;
}

void TargetDamage(const Target &t, const RECT &r)
{
    if (t.screen && r.left < r.right && r.top < r.bottom)
        ScreenDamage(r);
}

int CompatibleDepth(DC *dc)
{
    if (dc && dc->kind == DC_MEMORY && dc->bitmap)
        return dc->bitmap->bitsPixel;
    return GetScreen().bpp;
}

/* Swaps the DC's slot for obj, keeping the selection counts right. */
template <class T> static HGDIOBJ Swap(T *&slot, T *obj)
{
    T *old = slot;
    slot = obj;
    obj->selections++;
    if (old && old->selections > 0)
        old->selections--;
    return old;
}

} // namespace layer

using namespace layer;

extern "C" {

HDC WINAPI CreateDCA(LPCSTR driver, LPCSTR device, LPCSTR output, const void *init)
{
    if (FailPoint("CreateDCA")) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    const char *name = driver ? driver : device;
    if (!name || strcasecmp(name, "DISPLAY") != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    DC *dc = NewDC(DC_DISPLAY);
    dc->surface = &GetScreen().framebuffer;
    dc->system.SetRect(RECT{0, 0, GetScreen().width, GetScreen().height});
    return reinterpret_cast<HDC>(dc);
}

HDC WINAPI CreateCompatibleDC(HDC handle)
{
    if (handle && !DCLookup(handle)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    DC *dc = NewDC(DC_MEMORY);
    dc->bitmap = dc->stockBitmap = StockBitmap();
    dc->surface = &dc->bitmap->surface;
    return reinterpret_cast<HDC>(dc);
}

/* Window DCs belong to ReleaseDC and EndPaint; DeleteDC refuses them. */
BOOL WINAPI DeleteDC(HDC handle)
{
    DC *dc = DCLookup(handle);
    if (!dc || dc->kind == DC_WINDOW) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    FreeDC(dc);
    return TRUE;
}

HGDIOBJ WINAPI GetStockObject(int index) { return StockObject(index); }

static int SetUserClip(DC *dc, const Region *region)
{
    if (!region) {
        dc->hasUserClip = false;
        dc->user.Clear();
    } else {
        dc->hasUserClip = true;
        dc->user = *region;
        dc->user.Offset(dc->origin.x, dc->origin.y);
    }
    return Complexity(EffectiveClip(dc));
}

#define HGDI_ERROR_VALUE ((HGDIOBJ)(LONG_PTR)-1)

HGDIOBJ WINAPI SelectObject(HDC handle, HGDIOBJ object)
{
    DC *dc = DCLookup(handle);
    GdiObject *obj = GdiLookup(object);
    if (!dc || !obj) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    switch (obj->kind) {
    case GDI_BITMAP: {
        auto *bmp = static_cast<BitmapObj *>(obj);
        if (dc->kind != DC_MEMORY || (!bmp->stock && bmp->selections > 0 && dc->bitmap != bmp)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        if (dc->bitmap == bmp)
            return bmp;
        HGDIOBJ old = Swap(dc->bitmap, bmp);
        dc->surface = &bmp->surface;
        return old;
    }
    case GDI_BRUSH: return Swap(dc->brush, static_cast<BrushObj *>(obj));
    case GDI_PEN: return Swap(dc->pen, static_cast<PenObj *>(obj));
    case GDI_FONT: {
        HGDIOBJ old = dc->font ? (HGDIOBJ)dc->font : (HGDIOBJ)SystemFont();
        Swap(dc->font, static_cast<FontObj *>(obj));
        return old;
    }
    case GDI_REGION:
        return (HGDIOBJ)(LONG_PTR)SetUserClip(dc, &static_cast<RegionObj *>(obj)->region);
    default:
        /* Palettes go through SelectPalette only, as documented. */
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
}

HGDIOBJ WINAPI GetCurrentObject(HDC handle, UINT type)
{
    DC *dc = DCLookup(handle);
    if (!dc)
        return nullptr;
    switch (type) {
    case OBJ_BITMAP: return dc->kind == DC_MEMORY ? dc->bitmap : nullptr;
    case OBJ_BRUSH: return dc->brush;
    case OBJ_PEN: return dc->pen;
    case OBJ_PAL: return dc->palette;
    case OBJ_FONT: return dc->font ? (HGDIOBJ)dc->font : (HGDIOBJ)SystemFont();
    default: return nullptr;
    }
}

BOOL WINAPI DeleteObject(HGDIOBJ object)
{
    GdiObject *obj = GdiLookup(object);
    if (!obj || obj->stock || obj->selections > 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (obj->kind == GDI_FONT)
        FontRelease(static_cast<FontObj *>(obj));
    else
        delete obj;
    return TRUE;
}

/* Copies at most size bytes of the record; a null buffer asks for its size. */
static int CopyOut(const void *record, int recordSize, int size, void *buffer)
{
    if (!buffer)
        return recordSize;
    if (size <= 0)
        return 0;
    int n = size < recordSize ? size : recordSize;
    memcpy(buffer, record, n);
    return n;
}

int WINAPI GetObjectA(HGDIOBJ object, int size, LPVOID buffer)
{
    GdiObject *obj = GdiLookup(object);
    if (!obj) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    switch (obj->kind) {
    case GDI_BITMAP: {
        auto *b = static_cast<BitmapObj *>(obj);
        BITMAP bm = {};
        bm.bmType = 0;
        bm.bmWidth = b->surface.width;
        bm.bmHeight = b->surface.height;
        bm.bmWidthBytes = (b->surface.width * b->bitsPixel + 15) / 16 * 2;
        bm.bmPlanes = (WORD)b->planes;
        bm.bmBitsPixel = (WORD)b->bitsPixel;
        bm.bmBits = nullptr;
        return CopyOut(&bm, sizeof bm, size, buffer);
    }
    case GDI_BRUSH: {
        auto *b = static_cast<BrushObj *>(obj);
        LOGBRUSH lb = {};
        lb.lbStyle = b->hollow ? BS_NULL : BS_SOLID;
        lb.lbColor = b->hollow ? 0 : b->color;
        return CopyOut(&lb, sizeof lb, size, buffer);
    }
    case GDI_PALETTE: {
        WORD count = (WORD)static_cast<PaletteObj *>(obj)->entries.size();
        if (buffer && size < (int)sizeof count)
            return 0;
        return CopyOut(&count, sizeof count, size, buffer);
    }
    case GDI_FONT:
        return CopyOut(&static_cast<FontObj *>(obj)->logfont, sizeof(LOGFONTA), size, buffer);
    default:
        return 0;
    }
}

DWORD WINAPI GetObjectType(HGDIOBJ object)
{
    if (DC *dc = DCLookup(reinterpret_cast<HDC>(object)))
        return dc->kind == DC_MEMORY ? OBJ_MEMDC : OBJ_DC;
    GdiObject *obj = GdiLookup(object);
    if (!obj) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return (DWORD)obj->kind;
}

/* Raster capabilities besides RC_PALETTE, with their documented values. */
enum { kRcBitBlt = 0x0001, kRcBitmap64 = 0x0008, kRcDiBitmap = 0x0080, kRcDibToDev = 0x0200,
       kRcStretchBlt = 0x0800 };

int WINAPI GetDeviceCaps(HDC handle, int index)
{
    DC *dc = DCLookup(handle);
    if (!dc)
        return 0;
    const Screen &s = GetScreen();
    bool palette = dc->bitsPixel == 8;
    switch (index) {
    case HORZRES: return s.width;
    case VERTRES: return s.height;
    case BITSPIXEL: return dc->bitsPixel;
    case PLANES: return 1;
    case NUMCOLORS: return palette ? 20 : -1;
    case RASTERCAPS:
        return kRcBitBlt | kRcBitmap64 | kRcDiBitmap | kRcDibToDev | kRcStretchBlt |
               (palette ? RC_PALETTE : 0);
    case LOGPIXELSX:
    case LOGPIXELSY: return 96;
    case SIZEPALETTE: return palette ? 256 : 0;
    case NUMRESERVED: return 20;
    default: return 0;
    }
}

int WINAPI SetBkMode(HDC handle, int mode)
{
    DC *dc = DCLookup(handle);
    if (!dc || (mode != TRANSPARENT && mode != OPAQUE)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    int old = dc->bkMode;
    dc->bkMode = mode;
    return old;
}

int WINAPI GetBkMode(HDC handle)
{
    DC *dc = DCLookup(handle);
    return dc ? dc->bkMode : 0;
}

/* Plain, PALETTEINDEX and PALETTERGB colours are kept as given; they are
 * resolved against the palette when something is drawn. */
static bool ValidColor(COLORREF c)
{
    uint32_t kind = c >> 24;
    return kind == 0 || kind == 1 || kind == 2;
}

COLORREF WINAPI SetBkColor(HDC handle, COLORREF color)
{
    DC *dc = DCLookup(handle);
    if (!dc || !ValidColor(color))
        return CLR_INVALID;
    COLORREF old = dc->bkColor;
    dc->bkColor = color;
    return old;
}

COLORREF WINAPI GetBkColor(HDC handle)
{
    DC *dc = DCLookup(handle);
    return dc ? dc->bkColor : CLR_INVALID;
}

COLORREF WINAPI SetTextColor(HDC handle, COLORREF color)
{
    DC *dc = DCLookup(handle);
    if (!dc || !ValidColor(color))
        return CLR_INVALID;
    COLORREF old = dc->textColor;
    dc->textColor = color;
    return old;
}

COLORREF WINAPI GetTextColor(HDC handle)
{
    DC *dc = DCLookup(handle);
    return dc ? dc->textColor : CLR_INVALID;
}

UINT WINAPI SetTextAlign(HDC handle, UINT align)
{
    DC *dc = DCLookup(handle);
    if (!dc)
        return 0xFFFFFFFF; /* GDI_ERROR */
    UINT old = dc->textAlign;
    dc->textAlign = align;
    return old;
}

int WINAPI SetROP2(HDC handle, int mode)
{
    DC *dc = DCLookup(handle);
    if (!dc || mode < 1 || mode > 16) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    int old = dc->rop2;
    dc->rop2 = mode;
    return old;
}

BOOL WINAPI SetViewportOrgEx(HDC handle, int x, int y, LPPOINT previous)
{
    DC *dc = DCLookup(handle);
    if (!dc)
        return FALSE;
    if (previous)
        *previous = dc->viewport;
    dc->viewport = POINT{x, y};
    return TRUE;
}

BOOL WINAPI GetViewportOrgEx(HDC handle, LPPOINT origin)
{
    DC *dc = DCLookup(handle);
    if (!dc || !origin)
        return FALSE;
    *origin = dc->viewport;
    return TRUE;
}

int WINAPI GetClipBox(HDC handle, LPRECT rect)
{
    DC *dc = DCLookup(handle);
    if (!dc || !rect)
        return ERROR;
    Region clip = EffectiveClip(dc);
    RECT b = clip.Bounds();
    int dx = dc->origin.x + dc->viewport.x, dy = dc->origin.y + dc->viewport.y;
    if (!clip.Empty()) {
        b.left -= dx;
        b.right -= dx;
        b.top -= dy;
        b.bottom -= dy;
    }
    *rect = b;
    return Complexity(clip);
}

/* Starts a user clip that lets everything through, when there is none. */
static void EnsureUserClip(DC *dc)
{
    if (!dc->hasUserClip) {
        dc->hasUserClip = true;
        dc->user.SetRect(RECT{-(1 << 28), -(1 << 28), 1 << 28, 1 << 28});
    }
}

static RECT LogicalToDevice(DC *dc, int left, int top, int right, int bottom)
{
    int dx = dc->origin.x + dc->viewport.x, dy = dc->origin.y + dc->viewport.y;
    if (left > right) { int t = left; left = right; right = t; }
    if (top > bottom) { int t = top; top = bottom; bottom = t; }
    return RECT{left + dx, top + dy, right + dx, bottom + dy};
}

int WINAPI IntersectClipRect(HDC handle, int left, int top, int right, int bottom)
{
    DC *dc = DCLookup(handle);
    if (!dc)
        return ERROR;
    EnsureUserClip(dc);
    dc->user.IntersectRect(LogicalToDevice(dc, left, top, right, bottom));
    return Complexity(EffectiveClip(dc));
}

int WINAPI ExcludeClipRect(HDC handle, int left, int top, int right, int bottom)
{
    DC *dc = DCLookup(handle);
    if (!dc)
        return ERROR;
    EnsureUserClip(dc);
    dc->user.SubtractRect(LogicalToDevice(dc, left, top, right, bottom));
    return Complexity(EffectiveClip(dc));
}

int WINAPI SelectClipRgn(HDC handle, HRGN region)
{
    DC *dc = DCLookup(handle);
    if (!dc)
        return ERROR;
    if (!region)
        return SetUserClip(dc, nullptr);
    auto *r = static_cast<RegionObj *>(GdiLookup(region, GDI_REGION));
    if (!r)
        return ERROR;
    return SetUserClip(dc, &r->region);
}

HRGN WINAPI CreateRectRgn(int left, int top, int right, int bottom)
{
    auto *r = new RegionObj;
    r->kind = GDI_REGION;
    if (left > right) { int t = left; left = right; right = t; }
    if (top > bottom) { int t = top; top = bottom; bottom = t; }
    r->region.SetRect(RECT{left, top, right, bottom});
    return reinterpret_cast<HRGN>(static_cast<GdiObject *>(r));
}

HRGN WINAPI CreateRectRgnIndirect(const RECT *rect)
{
    if (!rect) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom);
}

BOOL WINAPI GdiFlush(void) { return TRUE; }

} // extern "C"
