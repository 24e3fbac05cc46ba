/*
 * Regions, surfaces and the USER rectangle helpers.
 *
 * A region is a list of disjoint, non-empty rectangles with exclusive right
 * and bottom edges.  Intersection keeps the pairwise overlaps; subtraction
 * cuts each rectangle that meets the hole into at most four pieces (the
 * band above, the band below, and the parts left and right of the hole
 * between them); union subtracts the new rectangle from what is there and
 * then appends it, so the list stays disjoint without any sorting.  The
 * lists are short (a window's visible area less a few overlapping windows),
 * so nothing here tries to merge bands.
 */
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include "gdi.h"

#include <new>

namespace layer {

static bool Overlap(const RECT &a, const RECT &b, RECT &out)
{
    out.left = a.left > b.left ? a.left : b.left;
    out.top = a.top > b.top ? a.top : b.top;
    out.right = a.right < b.right ? a.right : b.right;
    out.bottom = a.bottom < b.bottom ? a.bottom : b.bottom;
    return out.left < out.right && out.top < out.bottom;
}

static bool NonEmpty(const RECT &r) { return r.left < r.right && r.top < r.bottom; }

void Region::SetRect(const RECT &r)
{
    rects.clear();
    if (NonEmpty(r))
        rects.push_back(r);
}

void Region::IntersectRect(const RECT &r)
{
    std::vector<RECT> kept;
    RECT o;
    for (const RECT &a : rects)
        if (Overlap(a, r, o))
            kept.push_back(o);
    rects.swap(kept);
}

void Region::Intersect(const Region &other)
{
    std::vector<RECT> kept;
    RECT o;
    for (const RECT &a : rects)
        for (const RECT &b : other.rects)
            if (Overlap(a, b, o))
                kept.push_back(o);
    rects.swap(kept);
}

void Region::SubtractRect(const RECT &r)
{
    if (!NonEmpty(r))
        return;
    std::vector<RECT> kept;
    RECT o;
    for (const RECT &a : rects) {
        if (!Overlap(a, r, o)) {
            kept.push_back(a);
            continue;
        }
        if (a.top < o.top)
            kept.push_back(RECT{a.left, a.top, a.right, o.top});
        if (o.bottom < a.bottom)
            kept.push_back(RECT{a.left, o.bottom, a.right, a.bottom});
        if (a.left < o.left)
            kept.push_back(RECT{a.left, o.top, o.left, o.bottom});
        if (o.right < a.right)
            kept.push_back(RECT{o.right, o.top, a.right, o.bottom});
    }
    rects.swap(kept);
}

void Region::UnionRect(const RECT &r)
{
    if (!NonEmpty(r))
        return;
    SubtractRect(r);
    rects.push_back(r);
}

void Region::Offset(int dx, int dy)
{
    for (RECT &a : rects) {
        a.left += dx;
        a.right += dx;
        a.top += dy;
        a.bottom += dy;
    }
}

bool Region::Contains(int x, int y) const
{
    for (const RECT &a : rects)
        if (x >= a.left && x < a.right && y >= a.top && y < a.bottom)
            return true;
    return false;
}

RECT Region::Bounds() const
{
    if (rects.empty())
        return RECT{0, 0, 0, 0};
    RECT b = rects[0];
    for (const RECT &a : rects) {
        if (a.left < b.left) b.left = a.left;
        if (a.top < b.top) b.top = a.top;
        if (a.right > b.right) b.right = a.right;
        if (a.bottom > b.bottom) b.bottom = a.bottom;
    }
    return b;
}

static const size_t kMappedPixels = 1 << 20;

/* Freed screen-sized blocks are kept for the next surface of the same size
 * (a few of them), zeroed again on reuse: a program that makes and drops
 * such bitmaps pays the system's page faults once, not every time. */
struct PooledBlock {
    void *p;
    size_t bytes;
};
static PooledBlock pool[4];

void *AllocatePixels(size_t bytes)
{
    if (bytes < kMappedPixels)
        return calloc(bytes ? bytes : 1, 1);
    for (PooledBlock &b : pool)
        if (b.p && b.bytes == bytes) {
            void *p = b.p;
            b.p = nullptr;
            memset(p, 0, bytes);
            return p;
        }
    return MapAligned(bytes, PROT_READ | PROT_WRITE);
}

void FreePixels(void *p, size_t bytes)
{
    if (!p)
        return;
    if (bytes < kMappedPixels) {
        free(p);
        return;
    }
    for (PooledBlock &b : pool)
        if (!b.p) {
            b.p = p;
            b.bytes = bytes;
            return;
        }
    munmap(p, MappedLength(bytes));
}

/* Surfaces are capped well below what would overflow the index arithmetic,
 * so that a hostile size reads as "out of memory", not as a wrapped size. */
bool Surface::Resize(int w, int h)
{
    if (w < 0 || h < 0 || (w > 0 && h > (1 << 28) / w))
        return false;
    try {
        PixelVector fresh((size_t)w * h);
        pixels.swap(fresh);
    } catch (const std::bad_alloc &) {
        return false;
    }
    width = w;
    height = h;
    return true;
}

} // namespace layer

/* The USER rectangle helpers fail with FALSE for null pointers, as their
 * documentation allows. */
extern "C" {

BOOL WINAPI SetRect(LPRECT rect, int left, int top, int right, int bottom)
{
    if (!rect)
        return FALSE;
    *rect = RECT{left, top, right, bottom};
    return TRUE;
}

BOOL WINAPI SetRectEmpty(LPRECT rect)
{
    if (!rect)
        return FALSE;
    *rect = RECT{0, 0, 0, 0};
    return TRUE;
}

BOOL WINAPI CopyRect(LPRECT dst, const RECT *src)
{
    if (!dst || !src)
        return FALSE;
    *dst = *src;
    return TRUE;
}

BOOL WINAPI InflateRect(LPRECT rect, int dx, int dy)
{
    if (!rect)
        return FALSE;
    rect->left -= dx;
    rect->right += dx;
    rect->top -= dy;
    rect->bottom += dy;
    return TRUE;
}

BOOL WINAPI OffsetRect(LPRECT rect, int dx, int dy)
{
    if (!rect)
        return FALSE;
    rect->left += dx;
    rect->right += dx;
    rect->top += dy;
    rect->bottom += dy;
    return TRUE;
}

BOOL WINAPI IsRectEmpty(const RECT *rect)
{
    return !rect || rect->right <= rect->left || rect->bottom <= rect->top;
}

/* An empty intersection sets the destination to the empty rectangle and
 * returns FALSE. */
BOOL WINAPI IntersectRect(LPRECT dst, const RECT *a, const RECT *b)
{
    if (!dst || !a || !b)
        return FALSE;
    RECT o;
    if (IsRectEmpty(a) || IsRectEmpty(b) || !layer::Overlap(*a, *b, o)) {
        *dst = RECT{0, 0, 0, 0};
        return FALSE;
    }
    *dst = o;
    return TRUE;
}

/* Empty rectangles take no part in a union; two empty ones give the empty
 * rectangle and FALSE. */
BOOL WINAPI UnionRect(LPRECT dst, const RECT *a, const RECT *b)
{
    if (!dst || !a || !b)
        return FALSE;
    bool ea = IsRectEmpty(a), eb = IsRectEmpty(b);
    if (ea && eb) {
        *dst = RECT{0, 0, 0, 0};
        return FALSE;
    }
    if (ea) {
        *dst = *b;
        return TRUE;
    }
    if (eb) {
        *dst = *a;
        return TRUE;
    }
    RECT u;
    u.left = a->left < b->left ? a->left : b->left;
    u.top = a->top < b->top ? a->top : b->top;
    u.right = a->right > b->right ? a->right : b->right;
    u.bottom = a->bottom > b->bottom ? a->bottom : b->bottom;
    *dst = u;
    return TRUE;
}

BOOL WINAPI PtInRect(const RECT *rect, POINT point)
{
    return rect && point.x >= rect->left && point.x < rect->right && point.y >= rect->top &&
           point.y < rect->bottom;
}

BOOL WINAPI EqualRect(const RECT *a, const RECT *b)
{
    return a && b && a->left == b->left && a->top == b->top && a->right == b->right &&
           a->bottom == b->bottom;
}

} // extern "C"
