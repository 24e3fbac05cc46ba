/*
 * Fonts: logical fonts made real with fontconfig and FreeType.
 *
 * A logical font (CreateFontIndirectA) names a face the way a Windows
 * program does: "MS Sans Serif", "Arial", "Courier New".  None of those is
 * installed on the host, so a small substitution table maps each name to a
 * kind of face - a sans-serif, the heaviest sans-serif, a monospace - and
 * fontconfig picks the installed file for that kind, weight and slant.
 * Unknown names are sans-serif unless the pitch and family ask for a fixed
 * pitch.
 *
 * Sizes follow the platform: a negative lfHeight is the em in pixels, a
 * positive one the cell (ascent plus descent, the font's Windows ascent and
 * descent figures), zero a 12-pixel em.  The dialog font is tuned: "MS Sans
 * Serif" at -11 must give a 13-pixel cell and an average letter width that
 * makes dialog base units of 6 by 13, as the bitmap font did at 96 dpi, or
 * every dialog template would come out the wrong size.  The substitute is
 * drawn at the fractional em, between 9 and 11 pixels, that meets this with
 * the most margin for the face actually installed (DialogEm).  lfWidth,
 * lfEscapement and lfOrientation are not honoured.
 *
 * A resolved (file, em, weight, rendering) is a FontFace: an FT_Face of its
 * own at that size, its metrics, and a glyph cache of 256 entries indexed by
 * the Windows-1252 byte, filled on first use.  Faces live as long as the
 * process; logical fonts share them, so making and deleting the same font in
 * every paint costs nothing after the first time.
 *
 * Rendering: antialiased grey masks hinted vertically only (FreeType's light
 * target, which keeps advances at the rounded design widths), or monochrome
 * masks with full hinting for NONANTIALIASED_QUALITY and on 8-bit screens,
 * where a blend would leave the palette.  Text extents come from the same
 * glyphs that are drawn, so measuring and drawing always agree.
 */
#include "gdi/font.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <map>
#include <new>
#include <stdio.h>
#include <string.h>
#include <string>
#include <tuple>

namespace layer {

/* The dialog font's contract: the cell and the dialog base units that "MS
 * Sans Serif" 8 pt had at 96 dpi.  The base width is measured the
 * documented way, from the extent of the 52 letters. */
static const int kDialogCell = 13;
static const int kDialogBaseWidth = 6;
static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

enum FaceKind { KIND_SANS, KIND_HEAVY, KIND_MONO };

struct Substitute {
    const char *name;
    FaceKind kind;
    bool dialog; /* the dialog font: drawn at DialogEm() when asked for -11 */
};

static const Substitute substitutes[] = {
    {"MS Sans Serif", KIND_SANS, true},
    {"MS Shell Dlg", KIND_SANS, true},
    {"MS Shell Dlg 2", KIND_SANS, true},
    {"Microsoft Sans Serif", KIND_SANS, false},
    {"Arial", KIND_SANS, false},
    {"Tahoma", KIND_SANS, false},
    {"Arial Black", KIND_HEAVY, false},
    {"Courier New", KIND_MONO, false},
    {"Courier", KIND_MONO, false},
    {"Lucida Console", KIND_MONO, false},
    {"Fixedsys", KIND_MONO, false},
    {"Terminal", KIND_MONO, false},
};

/* What fontconfig chose for a logical font, before the size is known. */
struct FaceFile {
    std::string path;
    int index = 0;
    bool embolden = false; /* bold asked for, the file is not bold */
    bool italicSynth = false;
    int weight = FW_NORMAL;
    int family = FF_SWISS;
    bool fixedPitch = false;
};

struct FaceKey {
    std::string path;
    int index;
    int em64;
    bool embolden, italicSynth, mono;
    bool operator<(const FaceKey &o) const
    {
        return std::tie(path, index, em64, embolden, italicSynth, mono) <
               std::tie(o.path, o.index, o.em64, o.embolden, o.italicSynth, o.mono);
    }
};

struct FontFace {
    FT_Face ft = nullptr;
    FaceKey key;
    FontMetrics metrics;
    Glyph glyphs[256];
    std::map<unsigned char, int> advances; /* measured, not yet rendered */
};

/* What a FontObj's face pointer holds: the chosen file and size. */
struct FontImpl {
    bool usable = false;
    FaceFile file;
    int em64 = 0;
    bool mono = false; /* NONANTIALIASED_QUALITY */
};

static FT_Library library;
static bool libraryReady, libraryFailed;
static std::map<FaceKey, FontFace *> faces;

static bool StartLibraries()
{
    if (libraryReady)
        return true;
    if (libraryFailed)
        return false;
    if (!FcInit() || FT_Init_FreeType(&library) != 0) {
        fprintf(stderr, "nobra: fonts: fontconfig or FreeType cannot start\n");
        libraryFailed = true;
        return false;
    }
    libraryReady = true;
    return true;
}

static std::string FaceName(const LOGFONTA &lf)
{
    return std::string(lf.lfFaceName, strnlen(lf.lfFaceName, LF_FACESIZE));
}

static const Substitute *FindSubstitute(const std::string &name)
{
    for (const Substitute &s : substitutes)
        if (strcasecmp(s.name, name.c_str()) == 0)
            return &s;
    return nullptr;
}

static FaceKind KindOf(const LOGFONTA &lf)
{
    if (const Substitute *s = FindSubstitute(FaceName(lf)))
        return s->kind;
    if ((lf.lfPitchAndFamily & 0x03) == FIXED_PITCH || (lf.lfPitchAndFamily & 0xF0) == FF_MODERN)
        return KIND_MONO;
    return KIND_SANS;
}

/* fontconfig weights to the platform's 100..900 scale. */
static int WinWeight(int fcWeight)
{
    if (fcWeight >= FC_WEIGHT_BLACK)
        return FW_BLACK;
    if (fcWeight >= FC_WEIGHT_EXTRABOLD)
        return FW_EXTRABOLD;
    if (fcWeight >= FC_WEIGHT_BOLD)
        return FW_BOLD;
    if (fcWeight >= FC_WEIGHT_DEMIBOLD)
        return FW_SEMIBOLD;
    if (fcWeight >= FC_WEIGHT_MEDIUM)
        return FW_MEDIUM;
    if (fcWeight >= FC_WEIGHT_REGULAR)
        return FW_NORMAL;
    if (fcWeight >= FC_WEIGHT_LIGHT)
        return FW_LIGHT;
    return FW_THIN;
}

static bool FileOf(FcPattern *font, FaceFile &out)
{
    FcChar8 *file = nullptr;
    if (FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch || !file)
        return false;
    out.path = (const char *)file;
    int index = 0;
    if (FcPatternGetInteger(font, FC_INDEX, 0, &index) == FcResultMatch)
        out.index = index;
    int weight = FC_WEIGHT_REGULAR;
    FcPatternGetInteger(font, FC_WEIGHT, 0, &weight);
    out.weight = WinWeight(weight);
    int spacing = FC_PROPORTIONAL;
    if (FcPatternGetInteger(font, FC_SPACING, 0, &spacing) == FcResultMatch)
        out.fixedPitch = spacing >= FC_MONO;
    return true;
}

/* The heaviest face of a sans-serif family: a Black or Heavy weight when
 * one is installed ("Arial Black" itself first), else false. */
static bool FindHeavy(FaceFile &out)
{
    FcPattern *all = FcPatternCreate();
    FcObjectSet *props = FcObjectSetBuild(FC_FAMILY, FC_FILE, FC_INDEX, FC_WEIGHT, FC_SPACING,
                                          FC_SLANT, (char *)nullptr);
    FcFontSet *set = all && props ? FcFontList(nullptr, all, props) : nullptr;
    int best = -1, bestScore = -1;
    for (int i = 0; set && i < set->nfont; i++) {
        FcPattern *f = set->fonts[i];
        FcChar8 *family = nullptr;
        int weight = 0, spacing = FC_PROPORTIONAL, slant = FC_SLANT_ROMAN;
        if (FcPatternGetString(f, FC_FAMILY, 0, &family) != FcResultMatch || !family)
            continue;
        FcPatternGetInteger(f, FC_WEIGHT, 0, &weight);
        FcPatternGetInteger(f, FC_SPACING, 0, &spacing);
        FcPatternGetInteger(f, FC_SLANT, 0, &slant);
        const char *name = (const char *)family;
        bool exact = strcasecmp(name, "Arial Black") == 0;
        bool serif = strcasestr(name, "serif") && !strcasestr(name, "sans");
        if (slant != FC_SLANT_ROMAN || spacing >= FC_MONO || serif)
            continue;
        if (!exact && weight < FC_WEIGHT_EXTRABOLD)
            continue;
        int score = (exact ? 1000 : 0) + weight;
        if (score > bestScore) {
            bestScore = score;
            best = i;
        }
    }
    bool found = best >= 0 && FileOf(set->fonts[best], out);
    if (set)
        FcFontSetDestroy(set);
    if (props)
        FcObjectSetDestroy(props);
    if (all)
        FcPatternDestroy(all);
    return found;
}

static bool MatchFile(const LOGFONTA &lf, FaceFile &out)
{
    FaceKind kind = KindOf(lf);
    if (kind == KIND_HEAVY && FindHeavy(out)) {
        out.family = FF_SWISS;
        return true;
    }
    FcPattern *pat = FcPatternCreate();
    if (!pat)
        return false;
    static const char *const sans[] = {"Liberation Sans", "DejaVu Sans", "sans-serif"};
    static const char *const heavy[] = {"DejaVu Sans", "Liberation Sans", "sans-serif"};
    static const char *const mono[] = {"Liberation Mono", "DejaVu Sans Mono", "monospace"};
    const char *const *families = kind == KIND_MONO ? mono : kind == KIND_HEAVY ? heavy : sans;
    for (int i = 0; i < 3; i++)
        FcPatternAddString(pat, FC_FAMILY, (const FcChar8 *)families[i]);
    bool bold = kind == KIND_HEAVY || lf.lfWeight >= FW_SEMIBOLD;
    FcPatternAddInteger(pat, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pat, FC_SLANT, lf.lfItalic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    FcResult result;
    FcPattern *font = FcFontMatch(nullptr, pat, &result);
    FcPatternDestroy(pat);
    if (!font)
        return false;
    bool ok = FileOf(font, out);
    if (ok) {
        int weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
        FcPatternGetInteger(font, FC_WEIGHT, 0, &weight);
        FcPatternGetInteger(font, FC_SLANT, 0, &slant);
        out.embolden = bold && weight < FC_WEIGHT_DEMIBOLD;
        if (out.embolden)
            out.weight = FW_BOLD;
        out.italicSynth = lf.lfItalic && slant == FC_SLANT_ROMAN;
        out.family = kind == KIND_MONO ? FF_MODERN : FF_SWISS;
        if (kind == KIND_MONO)
            out.fixedPitch = true;
    }
    FcPatternDestroy(font);
    return ok;
}

/* The font's Windows ascent and descent in font units. */
static void WinAscentDescent(FT_Face ft, long &ascent, long &descent)
{
    TT_OS2 *os2 = (TT_OS2 *)FT_Get_Sfnt_Table(ft, FT_SFNT_OS2);
    if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
        ascent = os2->usWinAscent;
        descent = os2->usWinDescent;
    } else {
        ascent = ft->ascender;
        descent = -ft->descender;
    }
    if (ascent + descent <= 0) {
        ascent = ft->units_per_EM;
        descent = 0;
    }
}

static int CeilPixels(long units, int em64, int upem)
{
    long long v = (long long)units * em64;
    long long px64 = (v + upem - 1) / upem;
    return (int)((px64 + 63) >> 6);
}

static int RoundPixels(long units, int em64, int upem)
{
    long long px64 = ((long long)units * em64 + upem / 2) / upem;
    return (int)((px64 + 32) >> 6);
}

/* A glyph's advance with the light hinting target, as LoadGlyph measures. */
static int MeasuredAdvance(FT_Face ft, FT_UInt index)
{
    if (FT_Load_Glyph(ft, index, FT_LOAD_TARGET_LIGHT) != 0)
        return 0;
    return (int)((ft->glyph->advance.x + 32) >> 6);
}

/* The em for the dialog font: among ems from 9 to 11 pixels in steps of an
 * eighth, one whose cell is kDialogCell and whose 52 letters give the base
 * width kDialogBaseWidth, as near the middle of that width's range as can
 * be.  Measured once, on the regular face, so that the bold dialog font is
 * drawn at the same size. */
static int DialogEm(const LOGFONTA &asked)
{
    static int em64;
    if (em64)
        return em64;
    em64 = 11 * 64;
    LOGFONTA lf = asked;
    lf.lfWeight = FW_NORMAL;
    lf.lfItalic = 0;
    FaceFile file;
    FT_Face ft;
    if (!MatchFile(lf, file) || FT_New_Face(library, file.path.c_str(), file.index, &ft) != 0)
        return em64;
    FT_Select_Charmap(ft, FT_ENCODING_UNICODE);
    long ascent, descent;
    WinAscentDescent(ft, ascent, descent);
    int upem = ft->units_per_EM;
    /* (cx / 26 + 1) / 2 == 6 holds for cx in [26 * 11, 26 * 13 - 1]. */
    const int low = 26 * (2 * kDialogBaseWidth - 1), high = 26 * (2 * kDialogBaseWidth + 1) - 1;
    const int middle = (low + high) / 2;
    int bestDistance = -1;
    for (int candidate = 11 * 64; candidate >= 9 * 64; candidate -= 8) {
        if (CeilPixels(ascent, candidate, upem) + CeilPixels(descent, candidate, upem) != kDialogCell)
            continue;
        if (FT_Set_Char_Size(ft, 0, candidate, 72, 72) != 0)
            continue;
        int cx = 0;
        for (const char *p = kLetters; *p; p++)
            cx += MeasuredAdvance(ft, FT_Get_Char_Index(ft, (FT_ULong)*p));
        if (cx < low || cx > high)
            continue;
        int distance = cx > middle ? cx - middle : middle - cx;
        if (bestDistance < 0 || distance < bestDistance) {
            bestDistance = distance;
            em64 = candidate;
        }
    }
    FT_Done_Face(ft);
    return em64;
}

/* The em, in 1/64 pixel, for a logical font's lfHeight. */
static int EmFor(const LOGFONTA &lf, const FaceFile &file)
{
    long height = lf.lfHeight;
    if (height == 0)
        height = -12;
    if (height < -4096 || height > 4096)
        height = height < 0 ? -4096 : 4096;
    if (height < 0) {
        const Substitute *s = FindSubstitute(FaceName(lf));
        if (s && s->dialog && height == -11)
            return DialogEm(lf);
        return (int)(-height * 64);
    }
    FT_Face ft;
    if (FT_New_Face(library, file.path.c_str(), file.index, &ft) != 0)
        return (int)(height * 64);
    long ascent, descent;
    WinAscentDescent(ft, ascent, descent);
    int em64 = (int)((long long)height * 64 * ft->units_per_EM / (ascent + descent));
    /* The cell is rounded up; step down until it is no taller than asked. */
    while (em64 > 64 && CeilPixels(ascent, em64, ft->units_per_EM) +
                                CeilPixels(descent, em64, ft->units_per_EM) > height)
        em64 -= 8;
    FT_Done_Face(ft);
    return em64 < 64 ? 64 : em64;
}

static const Glyph &LoadGlyph(FontFace *face, unsigned char c);
static bool LoadOutline(FontFace *face, FT_UInt index, FT_Int32 flags);

static FontFace *OpenFace(const FaceKey &key, const FaceFile &file)
{
    auto it = faces.find(key);
    if (it != faces.end())
        return it->second;
    FontFace *face = new (std::nothrow) FontFace;
    if (!face)
        return nullptr;
    face->key = key;
    if (FT_New_Face(library, key.path.c_str(), key.index, &face->ft) != 0 ||
        FT_Set_Char_Size(face->ft, 0, key.em64, 72, 72) != 0) {
        if (face->ft)
            FT_Done_Face(face->ft);
        delete face;
        return nullptr;
    }
    FT_Select_Charmap(face->ft, FT_ENCODING_UNICODE);
    FT_Face ft = face->ft;
    int upem = ft->units_per_EM;
    FontMetrics &m = face->metrics;
    long ascent, descent;
    WinAscentDescent(ft, ascent, descent);
    m.ascent = CeilPixels(ascent, key.em64, upem);
    m.descent = CeilPixels(descent, key.em64, upem);
    m.height = m.ascent + m.descent;
    m.internalLeading = m.height - ((key.em64 + 32) >> 6);
    if (m.internalLeading < 0)
        m.internalLeading = 0;
    TT_OS2 *os2 = (TT_OS2 *)FT_Get_Sfnt_Table(ft, FT_SFNT_OS2);
    TT_HoriHeader *hhea = (TT_HoriHeader *)FT_Get_Sfnt_Table(ft, FT_SFNT_HHEA);
    if (os2 && hhea && os2->version != 0xFFFF) {
        long gap = (long)hhea->Ascender - hhea->Descender + hhea->Line_Gap - (ascent + descent);
        m.externalLeading = gap > 0 ? RoundPixels(gap, key.em64, upem) : 0;
    }
    m.weight = file.weight;
    m.italic = file.italicSynth || (ft->style_flags & FT_STYLE_FLAG_ITALIC);
    m.fixedPitch = file.fixedPitch || FT_IS_FIXED_WIDTH(ft);
    m.family = file.family;
    m.underlineThickness = RoundPixels(ft->underline_thickness, key.em64, upem);
    if (m.underlineThickness < 1)
        m.underlineThickness = 1;
    m.underlinePos = RoundPixels(-ft->underline_position, key.em64, upem);
    if (m.underlinePos < 1)
        m.underlinePos = 1;
    if (m.underlinePos + m.underlineThickness > m.descent)
        m.underlinePos = m.descent - m.underlineThickness > 0 ? m.descent - m.underlineThickness : 0;
    m.strikePos = os2 && os2->version != 0xFFFF && os2->yStrikeoutPosition > 0
                      ? RoundPixels(os2->yStrikeoutPosition, key.em64, upem)
                      : m.ascent / 3;
    faces[key] = face;

    /* Widths are the advances text is measured with, emboldening included. */
    int maxAdvance = 0;
    for (int c = 0x20; c < 0x100; c++)
        maxAdvance = std::max(maxAdvance, FaceAdvance(face, (unsigned char)c));
    m.maxCharWidth = maxAdvance;
    if (os2 && os2->version != 0xFFFF && os2->xAvgCharWidth > 0 && !m.fixedPitch)
        m.aveCharWidth = RoundPixels(os2->xAvgCharWidth, key.em64, upem) + (key.embolden ? 1 : 0);
    else
        m.aveCharWidth = FaceAdvance(face, 'x');
    return face;
}

/* Loads a glyph's outline with the synthetic slant and weight applied. */
static bool LoadOutline(FontFace *face, FT_UInt index, FT_Int32 flags)
{
    if (FT_Load_Glyph(face->ft, index, flags) != 0)
        return false;
    FT_GlyphSlot slot = face->ft->glyph;
    if (face->key.italicSynth && slot->format == FT_GLYPH_FORMAT_OUTLINE)
        FT_GlyphSlot_Oblique(slot);
    if (face->key.embolden)
        FT_GlyphSlot_Embolden(slot);
    return true;
}

static const Glyph &LoadGlyph(FontFace *face, unsigned char c)
{
    Glyph &g = face->glyphs[c];
    if (g.loaded)
        return g;
    g.loaded = true;
    FT_Face ft = face->ft;
    uint32_t cp = Cp1252ToUnicode(c);
    FT_UInt index = cp ? FT_Get_Char_Index(ft, cp) : 0;
    /* Advances always come from the light target, so that extents do not
     * change with the quality or the screen's depth; a monochrome mask is
     * then loaded again with full hinting. */
    if (!LoadOutline(face, index, FT_LOAD_TARGET_LIGHT))
        return g;
    g.advance = (int)((ft->glyph->advance.x + 32) >> 6);
    if (face->key.mono && !LoadOutline(face, index, FT_LOAD_TARGET_MONO))
        return g;
    FT_GlyphSlot slot = ft->glyph;
    if (FT_Render_Glyph(slot, face->key.mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) != 0)
        return g;
    const FT_Bitmap &bm = slot->bitmap;
    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    g.width = (int)bm.width;
    g.rows = (int)bm.rows;
    g.coverage.assign((size_t)g.width * g.rows, 0);
    for (int y = 0; y < g.rows; y++) {
        const unsigned char *row = bm.buffer + (ptrdiff_t)y * bm.pitch;
        uint8_t *out = g.coverage.data() + (size_t)y * g.width;
        for (int x = 0; x < g.width; x++) {
            if (bm.pixel_mode == FT_PIXEL_MODE_MONO)
                out[x] = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
            else
                out[x] = row[x];
        }
    }
    return g;
}

/* Measuring loads the outline only: a large font is not rendered glyph by
 * glyph just to be measured. */
int FaceAdvance(FontFace *face, unsigned char c)
{
    Glyph &g = face->glyphs[c];
    if (g.loaded)
        return g.advance;
    auto it = face->advances.find(c);
    if (it != face->advances.end())
        return it->second;
    uint32_t cp = Cp1252ToUnicode(c);
    FT_UInt index = cp ? FT_Get_Char_Index(face->ft, cp) : 0;
    int advance = LoadOutline(face, index, FT_LOAD_TARGET_LIGHT)
                      ? (int)((face->ft->glyph->advance.x + 32) >> 6)
                      : 0;
    face->advances[c] = advance;
    return advance;
}

FontFace *FaceOf(FontObj *font, bool mono)
{
    if (!font || !font->face)
        return nullptr;
    FontImpl *impl = (FontImpl *)font->face;
    if (!impl->usable || !StartLibraries())
        return nullptr;
    FaceKey key{impl->file.path, impl->file.index, impl->em64, impl->file.embolden,
                impl->file.italicSynth, mono || impl->mono};
    return OpenFace(key, impl->file);
}

const FontMetrics &FaceMetrics(FontFace *face) { return face->metrics; }

const Glyph &FaceGlyph(FontFace *face, unsigned char c) { return LoadGlyph(face, c); }

static FontObj *MakeFont(const LOGFONTA &lf, bool stock)
{
    FontObj *font = new (std::nothrow) FontObj;
    FontImpl *impl = new (std::nothrow) FontImpl;
    if (!font || !impl) {
        delete font;
        delete impl;
        return nullptr;
    }
    font->magic = kGdiMagic;
    font->kind = GDI_FONT;
    font->stock = stock;
    font->logfont = lf;
    font->face = impl;
    impl->mono = lf.lfQuality == NONANTIALIASED_QUALITY;
    if (StartLibraries() && MatchFile(lf, impl->file)) {
        impl->em64 = EmFor(lf, impl->file);
        impl->usable = true;
    } else {
        static bool told;
        if (!told)
            fprintf(stderr, "nobra: fonts: no installed font for \"%s\" "
                            "(install fonts-liberation or fonts-dejavu)\n", FaceName(lf).c_str());
        told = true;
    }
    return font;
}

void FontRelease(FontObj *font)
{
    LAYER_CHECK(font && font->kind == GDI_FONT);
    delete (FontImpl *)font->face;
    font->face = nullptr;
    font->magic = 0;
    delete font;
}

HFONT SystemFont()
{
    static FontObj *system;
    if (!system) {
        LOGFONTA lf;
        memset(&lf, 0, sizeof lf);
        lf.lfHeight = -11;
        lf.lfWeight = FW_NORMAL;
        lf.lfCharSet = ANSI_CHARSET;
        lf.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
        strcpy(lf.lfFaceName, "MS Sans Serif");
        system = MakeFont(lf, true);
        LAYER_CHECK(system != nullptr);
    }
    return (HFONT)system;
}

FontObj *DCFont(DC *dc)
{
    if (dc && dc->font)
        return dc->font;
    return (FontObj *)SystemFont();
}

} // namespace layer

extern "C" HFONT WINAPI CreateFontIndirectA(const LOGFONTA *lf)
{
    if (!lf) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    layer::FontObj *font = layer::MakeFont(*lf, false);
    if (!font) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return (HFONT)font;
}

extern "C" HFONT WINAPI CreateFontA(int height, int width, int escapement, int orientation, int weight,
                                    DWORD italic, DWORD underline, DWORD strikeOut, DWORD charSet,
                                    DWORD outPrecision, DWORD clipPrecision, DWORD quality,
                                    DWORD pitchAndFamily, LPCSTR face)
{
    LOGFONTA lf;
    memset(&lf, 0, sizeof lf);
    lf.lfHeight = height;
    lf.lfWidth = width;
    lf.lfEscapement = escapement;
    lf.lfOrientation = orientation;
    lf.lfWeight = weight;
    lf.lfItalic = (BYTE)(italic != 0);
    lf.lfUnderline = (BYTE)(underline != 0);
    lf.lfStrikeOut = (BYTE)(strikeOut != 0);
    lf.lfCharSet = (BYTE)charSet;
    lf.lfOutPrecision = (BYTE)outPrecision;
    lf.lfClipPrecision = (BYTE)clipPrecision;
    lf.lfQuality = (BYTE)quality;
    lf.lfPitchAndFamily = (BYTE)pitchAndFamily;
    if (face)
        strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    return CreateFontIndirectA(&lf);
}
