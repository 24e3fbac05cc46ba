/*
 * System colours, brushes, pens and the simple drawing calls: FillRect,
 * FrameRect, DrawFocusRect, DrawEdge, lines, Rectangle and single pixels.
 *
 * The system colours are the classic "Windows Standard" scheme: grey 3-D
 * faces, white windows, a navy caption without gradient.  A brush made by
 * GetSysColorBrush is a stock object per index; FillRect also takes the
 * documented colour-index-plus-one in place of a brush.
 *
 * DrawEdge paints each bevel as two colours, top-left and bottom-right;
 * the bottom-right pair is drawn last and owns the two corners where they
 * meet.  The outer bevel of a raised edge is 3-D light over dark shadow,
 * the inner one highlight over shadow; sunken edges are the reverse (outer
 * shadow over highlight, inner dark shadow over light), which gives the
 * classic buttons and sunken fields.
 *
 * Lines follow Bresenham from the current position and leave out the last
 * point, as the API does.  A pen wider than one pixel stamps a square at
 * every point; a dotted pen alternates pixels, drawing its gaps in the
 * background colour when the background mode is OPAQUE.  Styled pens wider
 * than one pixel draw solid, as on the classic platform.
 */
#include "gdi.h"

namespace layer {

static const uint32_t kSysColors[] = {
    0xC0C0C0, /* COLOR_SCROLLBAR */
    0x008080, /* COLOR_BACKGROUND */
    0x000080, /* COLOR_ACTIVECAPTION */
    0x808080, /* COLOR_INACTIVECAPTION */
    0xC0C0C0, /* COLOR_MENU */
    0xFFFFFF, /* COLOR_WINDOW */
    0x000000, /* COLOR_WINDOWFRAME */
    0x000000, /* COLOR_MENUTEXT */
    0x000000, /* COLOR_WINDOWTEXT */
    0xFFFFFF, /* COLOR_CAPTIONTEXT */
    0xC0C0C0, /* COLOR_ACTIVEBORDER */
    0xC0C0C0, /* COLOR_INACTIVEBORDER */
    0x808080, /* COLOR_APPWORKSPACE */
    0x000080, /* COLOR_HIGHLIGHT */
    0xFFFFFF, /* COLOR_HIGHLIGHTTEXT */
    0xC0C0C0, /* COLOR_BTNFACE */
    0x808080, /* COLOR_BTNSHADOW */
    0x808080, /* COLOR_GRAYTEXT */
    0x000000, /* COLOR_BTNTEXT */
    0xC0C0C0, /* COLOR_INACTIVECAPTIONTEXT */
    0xFFFFFF, /* COLOR_BTNHIGHLIGHT */
    0x000000, /* COLOR_3DDKSHADOW */
    0xDFDFDF, /* COLOR_3DLIGHT */
    0x000000, /* COLOR_INFOTEXT */
    0xFFFFE1, /* COLOR_INFOBK */
};
static const int kSysColorCount = sizeof kSysColors / sizeof kSysColors[0];

uint32_t SysColorPixel(int index)
{
    return index >= 0 && index < kSysColorCount ? kSysColors[index] : 0;
}

static BrushObj *SysBrush(int index)
{
    static BrushObj *brushes[kSysColorCount];
    if (index < 0 || index >= kSysColorCount)
        return nullptr;
    if (!brushes[index]) {
        auto *b = new BrushObj;
        b->kind = GDI_BRUSH;
        b->stock = true;
        b->sysColor = index;
        b->color = PixelToColorRef(kSysColors[index]);
        brushes[index] = b;
    }
    return brushes[index];
}

/* A brush handle, or a system colour index plus one. */
static BrushObj *BrushArgument(HBRUSH handle)
{
    if (auto *b = static_cast<BrushObj *>(GdiLookup(handle, GDI_BRUSH)))
        return b;
    uintptr_t v = reinterpret_cast<uintptr_t>(handle);
    if (v >= 1 && v <= (uintptr_t)kSysColorCount)
        return SysBrush((int)v - 1);
    return nullptr;
}

static RECT ToDevice(const Target &t, int left, int top, int right, int bottom)
{
    return RECT{left + t.dx, top + t.dy, right + t.dx, bottom + t.dy};
}

static void Grow(RECT &box, int x, int y, int w)
{
    RECT p = {x, y, x + w, y + w};
    if (box.left >= box.right) {
        box = p;
        return;
    }
    if (p.left < box.left) box.left = p.left;
    if (p.top < box.top) box.top = p.top;
    if (p.right > box.right) box.right = p.right;
    if (p.bottom > box.bottom) box.bottom = p.bottom;
}

/* One pen point at device (x, y): a square of the pen's width. */
static void Stamp(const Target &t, int x, int y, int width, uint32_t color, int rop2, RECT &box)
{
    int x0 = x - width / 2, y0 = y - width / 2;
    for (int j = 0; j < width; j++)
        for (int i = 0; i < width; i++) {
            int px = x0 + i, py = y0 + j;
            if (!t.clip.Contains(px, py))
                continue;
            uint32_t &d = t.surface->Row(py)[px];
            d = StoreColor(t, Rop2(rop2, color, d));
        }
    Grow(box, x0, y0, width);
}

/* Draws from (x0, y0) to (x1, y1) in device coordinates, without the end. */
static void Line(const Target &t, int x0, int y0, int x1, int y1, RECT &box)
{
    DC *dc = t.dc;
    PenObj *pen = dc->pen;
    if (!pen || pen->style == PS_NULL)
        return;
    int width = pen->width < 1 ? 1 : pen->width;
    bool dotted = pen->style != PS_SOLID && pen->style != 6 /* PS_INSIDEFRAME */ && width == 1;
    uint32_t color = ResolveColor(dc, pen->color);
    uint32_t gap = ResolveColor(dc, dc->bkColor);
    int dx = x1 > x0 ? x1 - x0 : x0 - x1, sx = x0 < x1 ? 1 : -1;
    int dy = y1 > y0 ? y1 - y0 : y0 - y1, sy = y0 < y1 ? 1 : -1;
    int err = dx - dy;
    for (int n = 0; x0 != x1 || y0 != y1; n++) {
        if (!dotted || !(n & 1))
            Stamp(t, x0, y0, width, color, dc->rop2, box);
        else if (dc->bkMode == OPAQUE)
            Stamp(t, x0, y0, 1, gap, dc->rop2, box);
        int e2 = 2 * err;
        if (e2 > -dy) {
            err -= dy;
            x0 += sx;
        }
        if (e2 < dx) {
            err += dx;
            y0 += sy;
        }
    }
}

} // namespace layer

using namespace layer;

extern "C" {

DWORD WINAPI GetSysColor(int index) { return PixelToColorRef(SysColorPixel(index)); }

HBRUSH WINAPI GetSysColorBrush(int index)
{
    return reinterpret_cast<HBRUSH>(static_cast<GdiObject *>(SysBrush(index)));
}

HBRUSH WINAPI CreateSolidBrush(COLORREF color)
{
    auto *b = new BrushObj;
    b->kind = GDI_BRUSH;
    b->color = color;
    return reinterpret_cast<HBRUSH>(static_cast<GdiObject *>(b));
}

HPEN WINAPI CreatePen(int style, int width, COLORREF color)
{
    if (style < PS_SOLID || style > 6) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto *p = new PenObj;
    p->kind = GDI_PEN;
    p->style = style;
    p->width = width < 1 ? 1 : width;
    p->color = color;
    return reinterpret_cast<HPEN>(static_cast<GdiObject *>(p));
}

int WINAPI FillRect(HDC handle, const RECT *rect, HBRUSH brush)
{
    DC *dc = DCLookup(handle);
    BrushObj *b = BrushArgument(brush);
    Target t;
    if (!dc || !rect || !b || !MakeTarget(dc, t)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    FillDevice(t, ToDevice(t, rect->left, rect->top, rect->right, rect->bottom), PrepareBrush(t, b),
               PATCOPY);
    return 1;
}

int WINAPI FrameRect(HDC handle, const RECT *rect, HBRUSH brush)
{
    DC *dc = DCLookup(handle);
    BrushObj *b = BrushArgument(brush);
    Target t;
    if (!dc || !rect || !b || !MakeTarget(dc, t)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (rect->right < rect->left || rect->bottom < rect->top)
        return 1;
    BrushPaint paint = PrepareBrush(t, b);
    RECT r = ToDevice(t, rect->left, rect->top, rect->right, rect->bottom);
    FillDevice(t, RECT{r.left, r.top, r.right, r.top + 1}, paint, PATCOPY);
    FillDevice(t, RECT{r.left, r.bottom - 1, r.right, r.bottom}, paint, PATCOPY);
    FillDevice(t, RECT{r.left, r.top, r.left + 1, r.bottom}, paint, PATCOPY);
    FillDevice(t, RECT{r.right - 1, r.top, r.right, r.bottom}, paint, PATCOPY);
    return 1;
}

/* Inverts every other pixel of the border, so that a second call with the
 * same rectangle takes the frame away again. */
BOOL WINAPI DrawFocusRect(HDC handle, const RECT *rect)
{
    DC *dc = DCLookup(handle);
    Target t;
    if (!dc || !rect || !MakeTarget(dc, t)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    RECT r = ToDevice(t, rect->left, rect->top, rect->right, rect->bottom);
    if (r.right <= r.left || r.bottom <= r.top)
        return TRUE;
    RECT box = {0, 0, 0, 0};
    auto invert = [&](int x, int y) {
        if ((((x - r.left) + (y - r.top)) & 1) || !t.clip.Contains(x, y))
            return;
        uint32_t &d = t.surface->Row(y)[x];
        d = StoreColor(t, ~d);
        Grow(box, x, y, 1);
    };
    for (int x = r.left; x < r.right; x++) {
        invert(x, r.top);
        if (r.bottom - 1 > r.top)
            invert(x, r.bottom - 1);
    }
    for (int y = r.top + 1; y < r.bottom - 1; y++) {
        invert(r.left, y);
        if (r.right - 1 > r.left)
            invert(r.right - 1, y);
    }
    TargetDamage(t, box);
    return TRUE;
}

BOOL WINAPI DrawEdge(HDC handle, LPRECT rect, UINT edge, UINT flags)
{
    DC *dc = DCLookup(handle);
    Target t;
    if (!dc || !rect || !MakeTarget(dc, t)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    RECT r = *rect;
    struct Bevel { bool on; int topLeft, bottomRight; } bevels[2] = {
        {(edge & (BDR_RAISEDOUTER | BDR_SUNKENOUTER)) != 0,
         (edge & BDR_RAISEDOUTER) ? COLOR_3DLIGHT : COLOR_3DSHADOW,
         (edge & BDR_RAISEDOUTER) ? COLOR_3DDKSHADOW : COLOR_3DHILIGHT},
        {(edge & (BDR_RAISEDINNER | BDR_SUNKENINNER)) != 0,
         (edge & BDR_RAISEDINNER) ? COLOR_3DHILIGHT : COLOR_3DDKSHADOW,
         (edge & BDR_RAISEDINNER) ? COLOR_3DSHADOW : COLOR_3DLIGHT},
    };
    for (const Bevel &b : bevels) {
        if (!b.on || r.right <= r.left || r.bottom <= r.top)
            continue;
        BrushPaint tl, br;
        tl.hollow = br.hollow = false;
        tl.color = SysColorPixel(b.topLeft);
        br.color = SysColorPixel(b.bottomRight);
        RECT d = ToDevice(t, r.left, r.top, r.right, r.bottom);
        if (flags & BF_LEFT)
            FillDevice(t, RECT{d.left, d.top, d.left + 1, d.bottom}, tl, PATCOPY);
        if (flags & BF_TOP)
            FillDevice(t, RECT{d.left, d.top, d.right, d.top + 1}, tl, PATCOPY);
        if (flags & BF_RIGHT)
            FillDevice(t, RECT{d.right - 1, d.top, d.right, d.bottom}, br, PATCOPY);
        if (flags & BF_BOTTOM)
            FillDevice(t, RECT{d.left, d.bottom - 1, d.right, d.bottom}, br, PATCOPY);
        if (flags & BF_LEFT) r.left++;
        if (flags & BF_TOP) r.top++;
        if (flags & BF_RIGHT) r.right--;
        if (flags & BF_BOTTOM) r.bottom--;
    }
    if (flags & BF_ADJUST)
        *rect = r;
    return TRUE;
}

BOOL WINAPI MoveToEx(HDC handle, int x, int y, LPPOINT previous)
{
    DC *dc = DCLookup(handle);
    if (!dc)
        return FALSE;
    if (previous)
        *previous = dc->position;
    dc->position = POINT{x, y};
    return TRUE;
}

BOOL WINAPI LineTo(HDC handle, int x, int y)
{
    DC *dc = DCLookup(handle);
    Target t;
    if (!dc || !MakeTarget(dc, t))
        return FALSE;
    RECT box = {0, 0, 0, 0};
    Line(t, dc->position.x + t.dx, dc->position.y + t.dy, x + t.dx, y + t.dy, box);
    TargetDamage(t, box);
    dc->position = POINT{x, y};
    return TRUE;
}

/* The outline runs on the rectangle's inside edge with the pen; the inside
 * is filled with the brush.  With the null pen the filled area is one pixel
 * smaller each way, as documented. */
BOOL WINAPI Rectangle(HDC handle, int left, int top, int right, int bottom)
{
    DC *dc = DCLookup(handle);
    Target t;
    if (!dc || !MakeTarget(dc, t))
        return FALSE;
    if (left > right) { int s = left; left = right; right = s; }
    if (top > bottom) { int s = top; top = bottom; bottom = s; }
    if (right - left < 1 || bottom - top < 1)
        return TRUE;
    bool pen = dc->pen && dc->pen->style != PS_NULL;
    RECT inside = pen ? ToDevice(t, left + 1, top + 1, right - 1, bottom - 1)
                      : ToDevice(t, left, top, right - 1, bottom - 1);
    BrushPaint brush = PrepareBrush(t, dc->brush);
    if (!brush.hollow) {
        if (dc->rop2 == R2_COPYPEN) {
            FillDevice(t, inside, brush, PATCOPY);
        } else {
            RECT box = {0, 0, 0, 0};
            for (int y = inside.top; y < inside.bottom; y++)
                for (int x = inside.left; x < inside.right; x++)
                    if (t.clip.Contains(x, y)) {
                        uint32_t &d = t.surface->Row(y)[x];
                        d = StoreColor(t, Rop2(dc->rop2, brush.At(x, y), d));
                        Grow(box, x, y, 1);
                    }
            TargetDamage(t, box);
        }
    }
    if (pen) {
        RECT d = ToDevice(t, left, top, right - 1, bottom - 1);
        RECT box = {0, 0, 0, 0};
        Line(t, d.left, d.top, d.right, d.top, box);
        Line(t, d.right, d.top, d.right, d.bottom, box);
        Line(t, d.right, d.bottom, d.left, d.bottom, box);
        Line(t, d.left, d.bottom, d.left, d.top, box);
        if (d.left == d.right && d.top == d.bottom)
            Stamp(t, d.left, d.top, dc->pen->width, ResolveColor(dc, dc->pen->color), dc->rop2, box);
        TargetDamage(t, box);
    }
    return TRUE;
}

COLORREF WINAPI SetPixel(HDC handle, int x, int y, COLORREF color)
{
    DC *dc = DCLookup(handle);
    Target t;
    if (!dc || !MakeTarget(dc, t))
        return CLR_INVALID;
    int px = x + t.dx, py = y + t.dy;
    if (!t.clip.Contains(px, py))
        return CLR_INVALID;
    uint32_t v = StoreColor(t, ResolveColor(dc, color));
    t.surface->Row(py)[px] = v;
    TargetDamage(t, RECT{px, py, px + 1, py + 1});
    return PixelToColorRef(v);
}

COLORREF WINAPI GetPixel(HDC handle, int x, int y)
{
    DC *dc = DCLookup(handle);
    Target t;
    if (!dc || !MakeTarget(dc, t))
        return CLR_INVALID;
    int px = x + t.dx, py = y + t.dy;
    if (!t.clip.Contains(px, py))
        return CLR_INVALID;
    return PixelToColorRef(t.surface->Row(py)[px]);
}

} // extern "C"
