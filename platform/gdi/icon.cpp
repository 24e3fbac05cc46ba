/*
 * Icons, cursors and bitmaps from resources.
 *
 * An icon here is a colour image and a mask of the pixels it covers.  A
 * module's icon is an RT_GROUP_ICON directory (a GRPICONDIR header and
 * 14-byte entries: width, height, colour count, reserved, planes, bit
 * count, byte size, RT_ICON id) naming RT_ICON images; LoadIconA takes the
 * entry nearest the system icon size of 32x32, the deeper one on a tie,
 * and decodes it: a BITMAPINFOHEADER whose height counts the colour rows
 * and the mask rows together, the colour table, the colour rows, then the
 * 1-bit AND mask (1 = transparent), all bottom-up.  A 32-bit image with any
 * alpha uses alpha instead of the mask, opaque from half up: the mask kept
 * here has no partial coverage, and the screen pixels an AND/XOR icon would
 * invert are simply left alone.  PNG-compressed images are not read.
 *
 * Loaded icons and cursors are shared, as the API's are: loading the same
 * name again gives the same handle, and DestroyIcon leaves them alive.  The
 * system's icons and cursors (a null instance) are drawn here at 32x32:
 * the application window, the red error circle, the question and
 * information bubbles and the yellow warning triangle, the arrow, the
 * I-beam and the hourglass.
 *
 * LoadBitmapA reads an RT_BITMAP resource, a packed DIB, into a bitmap
 * compatible with the screen.
 */
#include "gdi.h"

#include <ctype.h>
#include <string.h>

#include <map>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace layer {

static std::unordered_set<const IconObj *> &LiveIcons()
{
    static auto *live = new std::unordered_set<const IconObj *>;
    return *live;
}

static std::unordered_map<const IconObj *, POINT> &Hotspots()
{
    static auto *spots = new std::unordered_map<const IconObj *, POINT>;
    return *spots;
}

static IconObj *NewIcon(int width, int height, bool cursor)
{
    auto *icon = new IconObj;
    icon->magic = kIconMagic;
    icon->width = width;
    icon->height = height;
    icon->color.assign((size_t)width * height, 0);
    icon->opaque.assign((size_t)width * height, 0);
    icon->cursor = cursor;
    LiveIcons().insert(icon);
    return icon;
}

IconObj *IconLookup(HICON handle)
{
    auto *icon = reinterpret_cast<IconObj *>(handle);
    if (!icon || !LiveIcons().count(icon) || icon->magic != kIconMagic)
        return nullptr;
    return icon;
}

void DrawIconPixels(DC *dc, const IconObj *icon, int x, int y, int cx, int cy)
{
    Target t;
    if (!dc || !icon || icon->width <= 0 || icon->height <= 0 || !MakeTarget(dc, t))
        return;
    if (cx <= 0)
        cx = icon->width;
    if (cy <= 0)
        cy = icon->height;
    RECT box = {x, y, x + cx, y + cy}, b = t.clip.Bounds(), o;
    o.left = box.left > b.left ? box.left : b.left;
    o.top = box.top > b.top ? box.top : b.top;
    o.right = box.right < b.right ? box.right : b.right;
    o.bottom = box.bottom < b.bottom ? box.bottom : b.bottom;
    for (int py = o.top; py < o.bottom; py++) {
        int sy = (int)((int64_t)(py - y) * icon->height / cy);
        for (int px = o.left; px < o.right; px++) {
            int sx = (int)((int64_t)(px - x) * icon->width / cx);
            size_t k = (size_t)sy * icon->width + sx;
            if (icon->opaque[k] && t.clip.Contains(px, py))
                t.surface->Row(py)[px] = StoreColor(t, icon->color[k]);
        }
    }
    TargetDamage(t, o);
}

/* ---- decoding icon images ---- */

static bool DecodeIconImage(const uint8_t *data, size_t size, IconObj *&out)
{
    static const uint8_t png[4] = {0x89, 'P', 'N', 'G'};
    if (size >= 4 && !memcmp(data, png, 4))
        return false;
    Dib dib;
    size_t header = 0;
    if (!ReadDibInfo(reinterpret_cast<const BITMAPINFO *>(data), size, DIB_RGB_COLORS, nullptr, dib,
                     &header) ||
        dib.topDown || dib.height < 2 || (dib.height & 1))
        return false;
    int w = dib.width, h = dib.height / 2;
    size_t maskStride = DibStride(w, 1);
    if (header > size || (size - header) / (dib.stride + maskStride) < (size_t)h)
        return false;
    const uint8_t *colors = data + header;
    const uint8_t *mask = colors + dib.stride * h;
    IconObj *icon = NewIcon(w, h, false);
    bool alpha = false;
    if (dib.bits == 32)
        for (int i = 0; i < h && !alpha; i++)
            for (int x = 0; x < w && !alpha; x++)
                alpha = colors[(size_t)i * dib.stride + 4 * x + 3] != 0;
    for (int i = 0; i < h; i++) {
        int y = h - 1 - i;
        const uint8_t *row = colors + (size_t)i * dib.stride;
        DecodeDibRow(dib, row, icon->color.data() + (size_t)y * w, w);
        for (int x = 0; x < w; x++) {
            bool on;
            if (alpha)
                on = row[4 * x + 3] >= 128;
            else
                on = !((mask[(size_t)i * maskStride + (x >> 3)] >> (7 - (x & 7))) & 1);
            icon->opaque[(size_t)y * w + x] = on;
        }
    }
    out = icon;
    return true;
}

static IconObj *LoadModuleIcon(LPCSTR name)
{
    ResourceData group;
    if (!FindResourceData(RT_GROUP_ICON, name, group)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    const uint8_t *g = static_cast<const uint8_t *>(group.data);
    if (group.size < 6 || (g[2] | (g[3] << 8)) != 1) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    unsigned count = g[4] | (g[5] << 8);
    if (count == 0 || group.size < 6 + 14 * (size_t)count) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    int best = -1, bestScore = 0, bestBits = 0;
    for (unsigned i = 0; i < count; i++) {
        const uint8_t *e = g + 6 + 14 * i;
        int w = e[0] ? e[0] : 256, h = e[1] ? e[1] : 256, bits = e[6] | (e[7] << 8);
        if (!bits)
            bits = e[2] ? (e[2] <= 2 ? 1 : e[2] <= 16 ? 4 : 8) : 8;
        int score = (w > 32 ? w - 32 : 32 - w) + (h > 32 ? h - 32 : 32 - h);
        if (best < 0 || score < bestScore || (score == bestScore && bits > bestBits)) {
            best = (int)i;
            bestScore = score;
            bestBits = bits;
        }
    }
    const uint8_t *e = g + 6 + 14 * best;
    unsigned id = e[12] | (e[13] << 8);
    ResourceData image;
    IconObj *icon = nullptr;
    if (!FindResourceData(RT_ICON, MAKEINTRESOURCEA(id), image) ||
        !DecodeIconImage(static_cast<const uint8_t *>(image.data), image.size, icon)) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    return icon;
}

/* ---- the system's icons and cursors ---- */

namespace {

struct Canvas {
    IconObj *icon;
    void Put(int x, int y, uint32_t color)
    {
        if (x < 0 || y < 0 || x >= icon->width || y >= icon->height)
            return;
        icon->color[(size_t)y * icon->width + x] = color;
        icon->opaque[(size_t)y * icon->width + x] = 1;
    }
    void Box(int x0, int y0, int x1, int y1, uint32_t color)
    {
        for (int y = y0; y < y1; y++)
            for (int x = x0; x < x1; x++)
                Put(x, y, color);
    }
    /* Fills a shape given by a test of pixel centres, outlined where a
     * neighbour lies outside it. */
    template <class F> void Shape(F inside, uint32_t fill, uint32_t outline)
    {
        for (int y = 0; y < icon->height; y++)
            for (int x = 0; x < icon->width; x++) {
                if (!inside(x, y))
                    continue;
                bool edge = !inside(x - 1, y) || !inside(x + 1, y) || !inside(x, y - 1) ||
                            !inside(x, y + 1);
                Put(x, y, edge ? outline : fill);
            }
    }
    /* A 5x9 glyph drawn twice its size with its top-left at (x, y). */
    void Glyph(const char *const rows[9], int x, int y, uint32_t color)
    {
        for (int j = 0; j < 9; j++)
            for (int i = 0; i < 5; i++)
                if (rows[j][i] == '#')
                    Box(x + 2 * i, y + 2 * j, x + 2 * i + 2, y + 2 * j + 2, color);
    }
    /* A picture in characters: X black, . white, blank transparent. */
    void Picture(const char *const *rows, int count, int x, int y)
    {
        for (int j = 0; j < count; j++)
            for (int i = 0; rows[j][i]; i++) {
                if (rows[j][i] == 'X')
                    Put(x + i, y + j, 0x000000);
                else if (rows[j][i] == '.')
                    Put(x + i, y + j, 0xFFFFFF);
            }
    }
};

const char *const kQuestion[9] = {".###.", "#...#", "....#", "...#.", "..#..", "..#..", ".....",
                                  "..#..", "..#.."};
const char *const kBang[9] = {"..#..", "..#..", "..#..", "..#..", "..#..", "..#..", ".....",
                              "..#..", "..#.."};
const char *const kInfo[9] = {"..#..", "..#..", ".....", ".##..", "..#..", "..#..", "..#..",
                              "..#..", ".###."};

const char *const kArrow[] = {
    "X", "XX", "X.X", "X..X", "X...X", "X....X", "X.....X", "X......X", "X.......X", "X........X",
    "X.....XXXXX", "X..X..X", "X.X X..X", "XX  X..X", "X    X..X", "     X..X", "      X..X",
    "      X..X", "       XX",
};
const char *const kBeam[] = {
    "XXX XXX", "   X", "   X", "   X", "   X", "   X", "   X", "   X", "   X", "   X", "   X",
    "   X", "   X", "   X", "   X", "XXX XXX",
};
const char *const kHourglass[] = {
    "XXXXXXXXXXX", "X.........X", " X.......X", "  X.....X", "   X...X", "    X.X", "     X",
    "    X.X", "   X...X", "  X..X..X", " X..XXX..X", "X..XXXXX..X", "XXXXXXXXXXX",
};

bool InCircle(int x, int y, double cx, double cy, double r)
{
    double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
    return dx * dx + dy * dy <= r * r;
}

} // namespace

static IconObj *DrawSystemIcon(int id)
{
    IconObj *icon = NewIcon(32, 32, false);
    Canvas c{icon};
    switch (id) {
    case 32512: /* IDI_APPLICATION: a window */
        c.Box(2, 4, 30, 28, 0x000000);
        c.Box(3, 5, 29, 27, 0xFFFFFF);
        c.Box(3, 5, 29, 9, 0x000080);
        c.Box(25, 6, 28, 8, 0xC0C0C0);
        break;
    case 32513: /* IDI_HAND: a red circle with a white cross */
        c.Shape([](int x, int y) { return InCircle(x, y, 16, 16, 15); }, 0xFF0000, 0x800000);
        for (int i = 9; i < 23; i++) {
            c.Box(i - 1, i - 1, i + 2, i + 2, 0xFFFFFF);
            c.Box(31 - i - 2, i - 1, 31 - i + 1, i + 2, 0xFFFFFF);
        }
        break;
    case 32514: /* IDI_QUESTION */
    case 32516: /* IDI_ASTERISK */
        c.Shape(
            [](int x, int y) {
                bool tail = y >= 22 && y < 31 && x >= 6 && x < 14 && x - 6 < 31 - y;
                return InCircle(x, y, 16, 13, 12.5) || tail;
            },
            0xFFFFFF, 0x000000);
        c.Glyph(id == 32514 ? kQuestion : kInfo, 11, 4, 0x0000FF);
        break;
    case 32515: /* IDI_EXCLAMATION: a yellow triangle with a black "!" */
        c.Shape(
            [](int x, int y) {
                if (y < 1 || y > 29)
                    return false;
                double half = (y - 1) * 15.0 / 28.0 + 0.5;
                double dx = x + 0.5 - 16;
                return dx >= -half && dx <= half;
            },
            0xFFFF00, 0x000000);
        c.Glyph(kBang, 11, 8, 0x000000);
        break;
    default:
        LiveIcons().erase(icon);
        delete icon;
        return nullptr;
    }
    return icon;
}

static IconObj *DrawSystemCursor(int id)
{
    IconObj *cursor = NewIcon(32, 32, true);
    Canvas c{cursor};
    POINT hot = {0, 0};
    switch (id) {
    case 32512: c.Picture(kArrow, sizeof kArrow / sizeof *kArrow, 0, 0); break;
    case 32513:
        c.Picture(kBeam, sizeof kBeam / sizeof *kBeam, 13, 8);
        hot = POINT{16, 16};
        break;
    case 32514:
        c.Picture(kHourglass, sizeof kHourglass / sizeof *kHourglass, 10, 9);
        hot = POINT{15, 15};
        break;
    default:
        LiveIcons().erase(cursor);
        delete cursor;
        return nullptr;
    }
    Hotspots()[cursor] = hot;
    return cursor;
}

/* The key of a resource name: "#id" for integers, the upper-cased string
 * otherwise ("#123" strings name the integer, as the API reads them). */
static std::string NameKey(LPCSTR name)
{
    if (IS_INTRESOURCE(name))
        return "#" + std::to_string((unsigned)(uintptr_t)name);
    std::string key;
    for (const char *p = name; *p; p++)
        key += (char)toupper((unsigned char)*p);
    return key;
}

static HICON Cached(std::map<std::string, IconObj *> &cache, LPCSTR name, IconObj *(*make)(LPCSTR))
{
    if (!name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::string key = NameKey(name);
    auto it = cache.find(key);
    if (it != cache.end())
        return reinterpret_cast<HICON>(it->second);
    IconObj *icon = make(name);
    if (!icon)
        return nullptr;
    cache[key] = icon;
    return reinterpret_cast<HICON>(icon);
}

} // namespace layer

using namespace layer;

extern "C" {

HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name)
{
    static std::map<std::string, IconObj *> module, system;
    if (instance)
        return Cached(module, name, LoadModuleIcon);
    return Cached(system, name, [](LPCSTR n) -> IconObj * {
        IconObj *icon = IS_INTRESOURCE(n) ? DrawSystemIcon((int)(uintptr_t)n) : nullptr;
        if (!icon)
            SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return icon;
    });
}

/* Only the system's cursors are offered; the installer has no cursor
 * resources of its own. */
HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name)
{
    static std::map<std::string, IconObj *> system;
    if (instance) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return Cached(system, name, [](LPCSTR n) -> IconObj * {
        IconObj *cursor = IS_INTRESOURCE(n) ? DrawSystemCursor((int)(uintptr_t)n) : nullptr;
        if (!cursor)
            SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return cursor;
    });
}

HBITMAP WINAPI LoadBitmapA(HINSTANCE instance, LPCSTR name)
{
    ResourceData res;
    if (!instance || !name || !FindResourceData(RT_BITMAP, name, res)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    Surface image;
    if (!DecodePackedDib(res.data, res.size, image)) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    BitmapObj *b = NewBitmap(0, 0, GetScreen().bpp);
    if (!b)
        return nullptr;
    b->surface = std::move(image);
    return reinterpret_cast<HBITMAP>(static_cast<GdiObject *>(b));
}

/* DrawIcon draws at the system icon size, 32x32. */
BOOL WINAPI DrawIcon(HDC handle, int x, int y, HICON icon)
{
    return DrawIconEx(handle, x, y, icon, 32, 32, 0, nullptr, DI_NORMAL);
}

BOOL WINAPI DrawIconEx(HDC handle, int x, int y, HICON iconHandle, int cx, int cy, UINT step,
                       HBRUSH flicker, UINT flags)
{
    DC *dc = DCLookup(handle);
    IconObj *icon = IconLookup(iconHandle);
    if (!dc || !icon || !(flags & DI_NORMAL)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (cx <= 0)
        cx = icon->width;
    if (cy <= 0)
        cy = icon->height;
    if (flicker) {
        RECT r = {x, y, x + cx, y + cy};
        FillRect(handle, &r, flicker);
    }
    int dx = x + dc->origin.x + dc->viewport.x, dy = y + dc->origin.y + dc->viewport.y;
    if ((flags & DI_NORMAL) == DI_NORMAL) {
        DrawIconPixels(dc, icon, dx, dy, cx, cy);
        return TRUE;
    }
    /* One half of the pair: the image alone covers the whole square; the
     * mask alone blackens what the icon covers. */
    IconObj part = *icon;
    for (size_t k = 0; k < part.color.size(); k++) {
        if (flags & DI_IMAGE) {
            if (!part.opaque[k])
                part.color[k] = 0;
            part.opaque[k] = 1;
        } else {
            part.color[k] = 0;
        }
    }
    DrawIconPixels(dc, &part, dx, dy, cx, cy);
    return TRUE;
}

BOOL WINAPI GetIconInfo(HICON handle, PICONINFO info)
{
    IconObj *icon = IconLookup(handle);
    if (!icon || !info) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    BitmapObj *mask = NewBitmap(icon->width, icon->height, 1);
    BitmapObj *color = NewBitmap(icon->width, icon->height, GetScreen().bpp);
    if (!mask || !color) {
        delete mask;
        delete color;
        return FALSE;
    }
    for (size_t k = 0; k < icon->color.size(); k++) {
        mask->surface.pixels[k] = icon->opaque[k] ? 0x000000 : 0xFFFFFF;
        color->surface.pixels[k] = icon->opaque[k] ? icon->color[k] : 0;
    }
    info->fIcon = !icon->cursor;
    auto spot = Hotspots().find(icon);
    if (spot != Hotspots().end()) {
        info->xHotspot = (DWORD)spot->second.x;
        info->yHotspot = (DWORD)spot->second.y;
    } else {
        info->xHotspot = (DWORD)(icon->width / 2);
        info->yHotspot = (DWORD)(icon->height / 2);
    }
    info->hbmMask = reinterpret_cast<HBITMAP>(static_cast<GdiObject *>(mask));
    info->hbmColor = reinterpret_cast<HBITMAP>(static_cast<GdiObject *>(color));
    return TRUE;
}

/* Shared icons stay alive, as documented; only an icon that was made for
 * its caller alone is freed. */
BOOL WINAPI DestroyIcon(HICON handle)
{
    IconObj *icon = IconLookup(handle);
    if (!icon) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!icon->shared) {
        LiveIcons().erase(icon);
        Hotspots().erase(icon);
        icon->magic = 0;
        delete icon;
    }
    return TRUE;
}

} // extern "C"
