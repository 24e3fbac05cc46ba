/*
 * What the font module (gdi/font.cpp) shares with the text module
 * (gdi/text.cpp): a rendered face at one pixel size with its Windows-style
 * metrics, and its glyph cache indexed by the Windows-1252 byte.
 */
#ifndef NOBRA_GDI_FONT_H
#define NOBRA_GDI_FONT_H

#include "layer.h"

#include <stdint.h>
#include <vector>

namespace layer {

/* One glyph as drawn: an alpha mask (0..255 per pixel; only 0 and 255 for
 * monochrome faces) placed relative to the pen position on the baseline. */
struct Glyph {
    bool loaded = false;
    int advance = 0;          /* pixels the pen moves */
    int left = 0, top = 0;    /* mask origin: pen.x + left, baseline - top */
    int width = 0, rows = 0;
    std::vector<uint8_t> coverage;
};

/* The metrics follow GetTextMetricsA: ascent and descent from the font's
 * Windows ascent/descent figures, rounded up so that no glyph of the cell is
 * cut; internal leading is the cell less the em. */
struct FontMetrics {
    int ascent = 0, descent = 0, height = 0;
    int internalLeading = 0, externalLeading = 0;
    int aveCharWidth = 0, maxCharWidth = 0;
    int weight = FW_NORMAL;
    bool italic = false;
    bool fixedPitch = false;
    int family = FF_SWISS;     /* FF_ value for tmPitchAndFamily */
    int underlinePos = 0;      /* pixels below the baseline */
    int underlineThickness = 1;
    int strikePos = 0;         /* pixels above the baseline */
};

struct FontFace;

/* The face that draws a font: mono asks for the monochrome rendering
 * whatever the font's quality says (8-bit screens cannot blend). */
FontFace *FaceOf(FontObj *font, bool mono);
const FontMetrics &FaceMetrics(FontFace *face);
const Glyph &FaceGlyph(FontFace *face, unsigned char c);
/* A character's advance, without rendering it; the same as FaceGlyph's. */
int FaceAdvance(FontFace *face, unsigned char c);
/* The font a DC draws with: its selected font, else the system font. */
FontObj *DCFont(DC *dc);

} // namespace layer

#endif
