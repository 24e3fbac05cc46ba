/*
 * Text: metrics, extents, TextOutA/ExtTextOutA and DrawTextA.
 *
 * Everything draws through one routine, DrawRun: a run of Windows-1252
 * bytes with an advance for each, its pen on the baseline in device
 * coordinates.  The run's cell (its advances wide, the font's ascent plus
 * descent high) is filled with the background colour when the DC's mode is
 * OPAQUE; each glyph mask is then blended in the text colour, and underline
 * and strike-out bars are drawn across the run.  All of it goes through the
 * clip (the DC's effective clip, narrowed by ETO_CLIPPED or DrawTextA's
 * rectangle), one clip rectangle at a time; the rectangles are disjoint, so
 * no pixel is blended twice.
 *
 * DrawTextA lays text out first: line breaks (CR, LF, CR-LF), the & prefix
 * (the next character underlined, && an ampersand), tabs to every eighth
 * average character width with DT_EXPANDTABS, and with DT_WORDBREAK lines
 * broken after the last space that keeps them inside the rectangle.  A word
 * wider than the rectangle stays whole on its own line, as on the platform.
 * DT_CALCRECT returns the laid-out size without drawing.
 *
 * Logical coordinates map to device ones by the DC's origin plus its
 * viewport origin.  Drawing onto the screen's framebuffer marks what it
 * touched as damage, so that the backend shows it.
 */
#include "gdi/font.h"

#include <algorithm>
#include <new>
#include <string.h>
#include <vector>

namespace layer {

/* tmPitchAndFamily bits: the "fixed pitch" bit set means variable pitch. */
static const BYTE kTmpfVariablePitch = 0x01;
static const BYTE kTmpfVector = 0x02;
static const BYTE kTmpfTrueType = 0x04;

struct TextCtx {
    DC *dc = nullptr;
    FontObj *font = nullptr;
    FontFace *face = nullptr;
};

static bool OpenText(HDC hdc, TextCtx &t)
{
    t.dc = DCLookup(hdc);
    if (!t.dc) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    t.font = DCFont(t.dc);
    t.face = FaceOf(t.font, t.dc->bitsPixel <= 8);
    if (!t.face) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return false;
    }
    return true;
}

static POINT DeviceOffset(DC *dc)
{
    POINT p = {dc->origin.x + dc->viewport.x, dc->origin.y + dc->viewport.y};
    return p;
}

static bool Intersect(RECT &r, const RECT &clip)
{
    r.left = std::max(r.left, clip.left);
    r.top = std::max(r.top, clip.top);
    r.right = std::min(r.right, clip.right);
    r.bottom = std::min(r.bottom, clip.bottom);
    return r.left < r.right && r.top < r.bottom;
}

/* Collects the bounds of what was drawn, for the screen's damage. */
struct Painter {
    DC *dc;
    const Region &clip;
    RECT drawn = {0, 0, 0, 0};
    bool any = false;

    Painter(DC *d, const Region &c) : dc(d), clip(c) {}

    void Touch(const RECT &r)
    {
        if (!any) {
            drawn = r;
            any = true;
            return;
        }
        drawn.left = std::min(drawn.left, r.left);
        drawn.top = std::min(drawn.top, r.top);
        drawn.right = std::max(drawn.right, r.right);
        drawn.bottom = std::max(drawn.bottom, r.bottom);
    }

    void Fill(RECT r, uint32_t pixel)
    {
        Surface *s = dc->surface;
        for (const RECT &c : clip.rects) {
            RECT part = r;
            if (!Intersect(part, c))
                continue;
            for (int y = part.top; y < part.bottom; y++) {
                uint32_t *row = s->Row(y);
                for (int x = part.left; x < part.right; x++)
                    row[x] = pixel;
            }
            Touch(part);
        }
    }

    void Blend(const Glyph &g, int x0, int y0, uint32_t pixel)
    {
        if (g.width <= 0 || g.rows <= 0)
            return;
        Surface *s = dc->surface;
        RECT box = {x0, y0, x0 + g.width, y0 + g.rows};
        uint32_t cr = (pixel >> 16) & 0xFF, cg = (pixel >> 8) & 0xFF, cb = pixel & 0xFF;
        for (const RECT &c : clip.rects) {
            RECT part = box;
            if (!Intersect(part, c))
                continue;
            for (int y = part.top; y < part.bottom; y++) {
                uint32_t *row = s->Row(y);
                const uint8_t *mask = g.coverage.data() + (size_t)(y - y0) * g.width - x0;
                for (int x = part.left; x < part.right; x++) {
                    unsigned a = mask[x];
                    if (a == 0)
                        continue;
                    if (a == 255) {
                        row[x] = pixel;
                        continue;
                    }
                    uint32_t d = row[x];
                    uint32_t dr = (d >> 16) & 0xFF, dg = (d >> 8) & 0xFF, db = d & 0xFF;
                    dr = (dr * (255 - a) + cr * a + 127) / 255;
                    dg = (dg * (255 - a) + cg * a + 127) / 255;
                    db = (db * (255 - a) + cb * a + 127) / 255;
                    row[x] = (dr << 16) | (dg << 8) | db;
                }
            }
            Touch(part);
        }
    }

    void Finish()
    {
        if (any && dc->surface == &GetScreen().framebuffer)
            ScreenDamage(drawn);
    }
};

/* One laid-out character: its byte, its advance and whether the & prefix
 * underlines it. */
struct Cell {
    unsigned char c;
    int advance;
    bool underline;
};

static int RunWidth(const std::vector<Cell> &cells, size_t from, size_t to)
{
    int w = 0;
    for (size_t i = from; i < to; i++)
        w += cells[i].advance;
    return w;
}

/* Draws cells [from, to) with the pen at device (x, baseline). */
static void DrawRun(Painter &p, FontFace *face, const LOGFONTA &lf, const std::vector<Cell> &cells,
                    size_t from, size_t to, int x, int baseline)
{
    DC *dc = p.dc;
    const FontMetrics &m = FaceMetrics(face);
    int width = RunWidth(cells, from, to);
    int left = std::min(x, x + width), right = std::max(x, x + width);
    if (dc->bkMode == OPAQUE && right > left)
        p.Fill(RECT{left, baseline - m.ascent, right, baseline + m.descent}, ResolveColor(dc, dc->bkColor));
    uint32_t ink = ResolveColor(dc, dc->textColor);
    int pen = x;
    for (size_t i = from; i < to; i++) {
        const Glyph &g = FaceGlyph(face, cells[i].c);
        p.Blend(g, pen + g.left, baseline - g.top, ink);
        if (cells[i].underline && !lf.lfUnderline) {
            int y = baseline + m.underlinePos;
            p.Fill(RECT{pen, y, pen + cells[i].advance, y + m.underlineThickness}, ink);
        }
        pen += cells[i].advance;
    }
    if (lf.lfUnderline && right > left) {
        int y = baseline + m.underlinePos;
        p.Fill(RECT{left, y, right, y + m.underlineThickness}, ink);
    }
    if (lf.lfStrikeOut && right > left) {
        int y = baseline - m.strikePos;
        p.Fill(RECT{left, y, right, y + m.underlineThickness}, ink);
    }
}

static RECT NormalRect(const RECT &r, POINT off)
{
    RECT d = {std::min(r.left, r.right) + off.x, std::min(r.top, r.bottom) + off.y,
              std::max(r.left, r.right) + off.x, std::max(r.top, r.bottom) + off.y};
    return d;
}

} // namespace layer

using namespace layer;

extern "C" BOOL WINAPI GetTextMetricsA(HDC hdc, LPTEXTMETRICA tm)
{
    TextCtx t;
    if (!OpenText(hdc, t))
        return FALSE;
    if (!tm) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const FontMetrics &m = FaceMetrics(t.face);
    const LOGFONTA &lf = t.font->logfont;
    memset(tm, 0, sizeof *tm);
    tm->tmHeight = m.height;
    tm->tmAscent = m.ascent;
    tm->tmDescent = m.descent;
    tm->tmInternalLeading = m.internalLeading;
    tm->tmExternalLeading = m.externalLeading;
    tm->tmAveCharWidth = m.aveCharWidth;
    tm->tmMaxCharWidth = m.maxCharWidth;
    tm->tmWeight = m.weight;
    tm->tmOverhang = 0;
    tm->tmDigitizedAspectX = 96;
    tm->tmDigitizedAspectY = 96;
    tm->tmFirstChar = 0x1E;
    tm->tmLastChar = 0xFF;
    tm->tmDefaultChar = 0x1F;
    tm->tmBreakChar = 0x20;
    tm->tmItalic = (BYTE)(m.italic ? 1 : 0);
    tm->tmUnderlined = (BYTE)(lf.lfUnderline ? 1 : 0);
    tm->tmStruckOut = (BYTE)(lf.lfStrikeOut ? 1 : 0);
    tm->tmPitchAndFamily = (BYTE)(m.family | kTmpfVector | kTmpfTrueType |
                                  (m.fixedPitch ? 0 : kTmpfVariablePitch));
    tm->tmCharSet = ANSI_CHARSET;
    return TRUE;
}

extern "C" BOOL WINAPI GetTextExtentPoint32A(HDC hdc, LPCSTR text, int count, LPSIZE size)
{
    TextCtx t;
    if (!OpenText(hdc, t))
        return FALSE;
    if (!size || count < 0 || (count > 0 && !text)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    int w = 0;
    for (int i = 0; i < count; i++)
        w += FaceAdvance(t.face, (unsigned char)text[i]);
    size->cx = w;
    size->cy = FaceMetrics(t.face).height;
    return TRUE;
}

static BOOL ExtTextOutBody(HDC hdc, int x, int y, UINT options, const RECT *rect, LPCSTR text,
                           UINT count, const INT *dx)
{
    TextCtx t;
    if (!OpenText(hdc, t))
        return FALSE;
    if (count > 0 && !text) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DC *dc = t.dc;
    if (!dc->surface)
        return TRUE;
    const FontMetrics &m = FaceMetrics(t.face);
    std::vector<Cell> cells(count);
    for (UINT i = 0; i < count; i++) {
        unsigned char c = (unsigned char)text[i];
        cells[i] = Cell{c, dx ? dx[i] : FaceAdvance(t.face, c), false};
    }
    int width = RunWidth(cells, 0, cells.size());

    POINT off = DeviceOffset(dc);
    int px = x + off.x, py = y + off.y;
    UINT align = dc->textAlign;
    if ((align & TA_CENTER) == TA_CENTER)
        px -= width / 2;
    else if ((align & TA_CENTER) == TA_RIGHT)
        px -= width;
    int baseline;
    if ((align & TA_BASELINE) == TA_BASELINE)
        baseline = py;
    else if ((align & TA_BASELINE) == TA_BOTTOM)
        baseline = py - m.descent;
    else
        baseline = py + m.ascent;

    Region clip = EffectiveClip(dc);
    if ((options & ETO_CLIPPED) && rect)
        clip.IntersectRect(NormalRect(*rect, off));
    Painter p(dc, clip);
    if ((options & ETO_OPAQUE) && rect)
        p.Fill(NormalRect(*rect, off), ResolveColor(dc, dc->bkColor));
    DrawRun(p, t.face, t.font->logfont, cells, 0, cells.size(), px, baseline);
    p.Finish();
    return TRUE;
}

/* The layouts allocate; running out of memory fails the call, as the
 * platform's functions do, instead of throwing across the API. */
extern "C" BOOL WINAPI ExtTextOutA(HDC hdc, int x, int y, UINT options, const RECT *rect, LPCSTR text,
                                   UINT count, const INT *dx)
{
    try {
        return ExtTextOutBody(hdc, x, y, options, rect, text, count, dx);
    } catch (const std::bad_alloc &) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
}

extern "C" BOOL WINAPI TextOutA(HDC hdc, int x, int y, LPCSTR text, int count)
{
    if (count < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return ExtTextOutA(hdc, x, y, 0, nullptr, text, (UINT)count, nullptr);
}

namespace layer {

struct Line {
    size_t from, to; /* cells */
    int width;
};

/* Lays out text into cells and lines.  Tab advances depend on the position
 * in the line, so each line is measured from its own start. */
static void Layout(FontFace *face, const char *text, int count, UINT format, int maxWidth,
                   std::vector<Cell> &cells, std::vector<Line> &lines)
{
    const FontMetrics &m = FaceMetrics(face);
    bool prefix = !(format & DT_NOPREFIX);
    bool single = (format & DT_SINGLELINE) != 0;
    bool wrap = (format & DT_WORDBREAK) && !single;
    int tabStop = 8 * std::max(1, m.aveCharWidth);

    /* Paragraphs: cells with hard breaks recorded as indices. */
    std::vector<size_t> breaks;
    bool underlineNext = false;
    for (int i = 0; i < count; i++) {
        unsigned char c = (unsigned char)text[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < count && text[i + 1] == '\n')
                i++;
            if (!single)
                breaks.push_back(cells.size());
            underlineNext = false;
            continue;
        }
        if (prefix && c == '&' && !underlineNext) {
            if (i + 1 < count && text[i + 1] == '&') {
                cells.push_back(Cell{'&', FaceAdvance(face, '&'), false});
                i++;
            } else {
                underlineNext = true;
            }
            continue;
        }
        int advance = c == '\t' && (format & DT_EXPANDTABS) ? 0 : FaceAdvance(face, c);
        cells.push_back(Cell{c, advance, underlineNext});
        underlineNext = false;
    }
    breaks.push_back(cells.size());

    auto isTab = [&](size_t i) { return cells[i].c == '\t' && (format & DT_EXPANDTABS); };
    auto isSpace = [&](size_t i) { return cells[i].c == ' ' || cells[i].c == '\t'; };

    size_t start = 0;
    for (size_t end : breaks) {
        size_t s = start;
        do {
            /* Measure from s, giving tabs their advance at this position. */
            int x = 0;
            size_t i = s, lastBreak = 0;
            bool haveBreak = false;
            for (; i < end; i++) {
                if (isTab(i))
                    cells[i].advance = tabStop - x % tabStop;
                if (wrap && !isSpace(i) && x + cells[i].advance > maxWidth && haveBreak)
                    break;
                x += cells[i].advance;
                if (wrap && isSpace(i) && i + 1 < end && !isSpace(i + 1)) {
                    lastBreak = i + 1;
                    haveBreak = true;
                }
            }
            size_t lineEnd = i < end ? lastBreak : end;
            size_t trimmed = lineEnd;
            if (lineEnd < end)
                while (trimmed > s && cells[trimmed - 1].c == ' ')
                    trimmed--;
            lines.push_back(Line{s, trimmed, RunWidth(cells, s, trimmed)});
            s = lineEnd;
        } while (s < end);
        start = end;
    }
}

} // namespace layer

static int DrawTextBody(HDC hdc, LPCSTR text, int count, LPRECT rect, UINT format)
{
    TextCtx t;
    if (!OpenText(hdc, t))
        return 0;
    if (!rect || (!text && count != 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (count < 0)
        count = (int)strlen(text);
    const FontMetrics &m = FaceMetrics(t.face);
    std::vector<Cell> cells;
    std::vector<Line> lines;
    Layout(t.face, text, count, format, rect->right - rect->left, cells, lines);

    int lineHeight = m.height;
    int total = (int)lines.size() * lineHeight;
    bool single = (format & DT_SINGLELINE) != 0;
    int top = rect->top;
    if (single && (format & DT_VCENTER))
        top = rect->top + (rect->bottom - rect->top - lineHeight) / 2;
    else if (single && (format & DT_BOTTOM))
        top = rect->bottom - lineHeight;
    int result = (single && (format & (DT_VCENTER | DT_BOTTOM))) ? top + total - rect->top : total;

    if (format & DT_CALCRECT) {
        /* Nothing is drawn, so there is no drawn bottom to report: the
         * height of the text, whatever the vertical placement. */
        int widest = 0;
        for (const Line &l : lines)
            widest = std::max(widest, l.width);
        rect->right = rect->left + widest;
        rect->bottom = rect->top + total;
        return total;
    }

    DC *dc = t.dc;
    if (!dc->surface)
        return result;
    POINT off = DeviceOffset(dc);
    Region clip = EffectiveClip(dc);
    if (!(format & DT_NOCLIP))
        clip.IntersectRect(NormalRect(*rect, off));
    Painter p(dc, clip);
    int y = top;
    for (const Line &l : lines) {
        int x = rect->left;
        if (format & DT_CENTER)
            x = rect->left + (rect->right - rect->left - l.width) / 2;
        else if (format & DT_RIGHT)
            x = rect->right - l.width;
        DrawRun(p, t.face, t.font->logfont, cells, l.from, l.to, x + off.x, y + off.y + m.ascent);
        y += lineHeight;
    }
    p.Finish();
    return result;
}

extern "C" int WINAPI DrawTextA(HDC hdc, LPCSTR text, int count, LPRECT rect, UINT format)
{
    try {
        return DrawTextBody(hdc, text, count, rect, format);
    } catch (const std::bad_alloc &) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
}
