// Fonts and text: the dialog font contract, where text lands and what it
// leaves alone, DrawTextA layout, and the substitutes' faces.
#include "layer.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>
#include <string>
#include <unistd.h>

namespace {

const uint32_t kWhite = 0xFFFFFF;
const uint32_t kRed = 0xFF0000;  // as a pixel: 0x00RRGGBB
const uint32_t kBlue = 0x0000FF;
const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// One headless machine for the whole program, so that the display DC and
// the screen's damage exist.
class HeadlessMachine : public ::testing::Environment {
public:
    void SetUp() override
    {
        char dir[] = "/tmp/nobra-font-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        root = dir;
        setenv("SETUP_MACHINE", dir, 1);
        setenv("SETUP_SCREEN", "headless", 1);
        setenv("SETUP_SCREEN_SIZE", "320x200", 1);
        ASSERT_TRUE(layer::MachineInit());
        ASSERT_TRUE(layer::ScreenInit());
    }
    void TearDown() override
    {
        std::string cmd = "rm -rf '" + root + "'";
        if (system(cmd.c_str()) != 0)
            fprintf(stderr, "could not remove %s\n", root.c_str());
    }
    std::string root;
};
const auto *machine = ::testing::AddGlobalTestEnvironment(new HeadlessMachine);

// A white 32-bit bitmap in a memory DC, read back pixel by pixel.
class Canvas {
public:
    Canvas(int w, int h) : width(w), height(h)
    {
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateBitmap(w, h, 1, 32, nullptr);
        old = SelectObject(dc, bitmap);
        PatBlt(dc, 0, 0, w, h, WHITENESS);
        SetTextColor(dc, RGB(255, 0, 0));
        SetBkColor(dc, RGB(0, 0, 255));
        SetBkMode(dc, TRANSPARENT);
    }
    ~Canvas()
    {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
        if (font)
            DeleteObject(font);
    }
    void Use(HFONT f)
    {
        SelectObject(dc, f);
        font = f;
    }
    uint32_t At(int x, int y) const
    {
        COLORREF c = GetPixel(dc, x, y);
        return (uint32_t)GetRValue(c) << 16 | (uint32_t)GetGValue(c) << 8 | GetBValue(c);
    }
    // The bounds of every pixel that is not white; empty when none.
    RECT Touched() const
    {
        RECT r = {width, height, 0, 0};
        for (int y = 0; y < height; y++)
            for (int x = 0; x < width; x++)
                if (At(x, y) != kWhite) {
                    r.left = std::min<LONG>(r.left, x);
                    r.top = std::min<LONG>(r.top, y);
                    r.right = std::max<LONG>(r.right, x + 1);
                    r.bottom = std::max<LONG>(r.bottom, y + 1);
                }
        return r;
    }
    // Darkness summed over the canvas: how much ink text left.
    long Ink() const
    {
        long sum = 0;
        for (int y = 0; y < height; y++)
            for (int x = 0; x < width; x++) {
                uint32_t p = At(x, y);
                sum += 765 - (long)((p >> 16) & 0xFF) - ((p >> 8) & 0xFF) - (p & 0xFF);
            }
        return sum;
    }
    int Count(uint32_t pixel) const
    {
        int n = 0;
        for (int y = 0; y < height; y++)
            for (int x = 0; x < width; x++)
                n += At(x, y) == pixel;
        return n;
    }
    TEXTMETRICA Metrics() const
    {
        TEXTMETRICA tm;
        EXPECT_TRUE(GetTextMetricsA(dc, &tm));
        return tm;
    }
    SIZE Extent(const char *text) const
    {
        SIZE s = {0, 0};
        EXPECT_TRUE(GetTextExtentPoint32A(dc, text, (int)strlen(text), &s));
        return s;
    }

    HDC dc;
    int width, height;

private:
    HBITMAP bitmap;
    HGDIOBJ old;
    HFONT font = nullptr;
};

HFONT Font(const char *face, int height, int weight = FW_NORMAL, int quality = DEFAULT_QUALITY)
{
    return CreateFontA(height, 0, 0, 0, weight, 0, 0, 0, ANSI_CHARSET, 0, 0, quality, 0, face);
}

::testing::AssertionResult SameRect(const RECT &a, const RECT &b)
{
    if (a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "(" << a.left << "," << a.top << ")-(" << a.right << ","
                                         << a.bottom << ") != (" << b.left << "," << b.top << ")-("
                                         << b.right << "," << b.bottom << ")";
}

// The dialog manager sizes every dialog from these figures.
TEST(DialogFont, BaseUnitsAreSixByThirteen)
{
    const char *faces[] = {nullptr /* the system font, nothing selected */, "MS Sans Serif",
                           "MS Shell Dlg"};
    for (const char *face : faces) {
        SCOPED_TRACE(face ? face : "system font");
        Canvas c(8, 8);
        if (face)
            c.Use(Font(face, -11));
        TEXTMETRICA tm = c.Metrics();
        SIZE s = c.Extent(kLetters);
        EXPECT_EQ(tm.tmHeight, 13);
        EXPECT_EQ(tm.tmAscent + tm.tmDescent, tm.tmHeight);
        EXPECT_EQ((s.cx / 26 + 1) / 2, 6) << "52 letters measure " << s.cx;
        EXPECT_EQ(s.cy, 13);
        EXPECT_EQ(tm.tmCharSet, ANSI_CHARSET);
        EXPECT_TRUE(tm.tmPitchAndFamily & 0x01) << "a proportional font reports the variable-pitch bit";
    }
}

// The bold dialog font is the regular one's size, only heavier and wider.
TEST(DialogFont, BoldKeepsTheCell)
{
    Canvas regular(8, 8), bold(8, 8);
    bold.Use(Font("MS Sans Serif", -11, FW_BOLD));
    EXPECT_EQ(bold.Metrics().tmHeight, 13);
    EXPECT_GE(bold.Metrics().tmWeight, FW_BOLD);
    EXPECT_GT(bold.Extent(kLetters).cx, regular.Extent(kLetters).cx);
}

TEST(FontSize, HeightsAsTheLogicalFontAsks)
{
    struct Case {
        const char *face;
        int height;
    } cases[] = {{"Arial", -12}, {"Arial", -24}, {"Courier New", -13}, {"Arial", 16},
                 {"Tahoma", 20}, {"Courier New", 30}, {"Arial", 72}};
    for (const Case &k : cases) {
        SCOPED_TRACE(std::string(k.face) + " " + std::to_string(k.height));
        Canvas c(8, 8);
        c.Use(Font(k.face, k.height));
        TEXTMETRICA tm = c.Metrics();
        if (k.height < 0) {
            EXPECT_EQ(tm.tmHeight - tm.tmInternalLeading, -k.height) << "the em is the character height";
        } else {
            EXPECT_LE(tm.tmHeight, k.height) << "the cell is the height";
            EXPECT_GE(tm.tmHeight, k.height - 1);
        }
        EXPECT_EQ(tm.tmAscent + tm.tmDescent, tm.tmHeight);
        EXPECT_GT(tm.tmAveCharWidth, 0);
        EXPECT_GE(tm.tmMaxCharWidth, tm.tmAveCharWidth);
    }
}

TEST(FontSize, CourierNewIsFixedPitch)
{
    Canvas c(8, 8);
    c.Use(Font("Courier New", -13));
    EXPECT_EQ(c.Extent("iiii").cx, c.Extent("MMMM").cx);
    EXPECT_FALSE(c.Metrics().tmPitchAndFamily & 0x01);
    EXPECT_EQ(c.Metrics().tmPitchAndFamily & 0xF0, FF_MODERN);
}

// Arial Black is the heaviest sans-serif there is, never the regular face.
TEST(FontFace, ArialBlackIsHeavierThanArial)
{
    Canvas regular(260, 100), heavy(260, 100);
    regular.Use(Font("Arial", 72));
    heavy.Use(Font("Arial Black", 72));
    ASSERT_TRUE(TextOutA(regular.dc, 2, 2, "Hgw", 3));
    ASSERT_TRUE(TextOutA(heavy.dc, 2, 2, "Hgw", 3));
    EXPECT_GE(heavy.Metrics().tmWeight, FW_BOLD);
    EXPECT_GT(heavy.Ink(), regular.Ink() * 5 / 4);
}

// Bytes above 127 are Windows-1252 characters, not blanks or boxes of one kind.
TEST(Text, UpperHalfCharactersRender)
{
    const unsigned char codes[] = {169 /* copyright */, 0x80 /* euro */, 0xE9 /* e acute */,
                                   0x99 /* trade mark */};
    Canvas box(40, 30);
    box.Use(Font("Arial", -16));
    ASSERT_TRUE(TextOutA(box.dc, 4, 4, "\x81", 1)); // undefined in Windows-1252: the default glyph
    for (unsigned char code : codes) {
        SCOPED_TRACE((int)code);
        Canvas c(40, 30);
        c.Use(Font("Arial", -16));
        char text[2] = {(char)code, 0};
        ASSERT_TRUE(TextOutA(c.dc, 4, 4, text, 1));
        EXPECT_GT(c.Ink(), 0);
        EXPECT_NE(c.Ink(), box.Ink()) << "drawn as the default glyph";
    }
}

// Ink in the text colour, inside the text's cell, and nothing else touched.
TEST(Text, InkStaysInsideTheCell)
{
    const int qualities[] = {DEFAULT_QUALITY, NONANTIALIASED_QUALITY};
    for (int quality : qualities) {
        SCOPED_TRACE(quality);
        Canvas c(200, 40);
        c.Use(Font("Arial", -14, FW_NORMAL, quality));
        SIZE s = c.Extent("Hello, World");
        ASSERT_TRUE(TextOutA(c.dc, 10, 8, "Hello, World", 12));
        RECT ink = c.Touched();
        EXPECT_GE(ink.left, 10);
        EXPECT_GE(ink.top, 8);
        EXPECT_LE(ink.right, 10 + s.cx);
        EXPECT_LE(ink.bottom, 8 + s.cy);
        EXPECT_GT(c.Count(kRed), 10) << "solid pixels in the text colour";
        if (quality == NONANTIALIASED_QUALITY)
            EXPECT_EQ(c.Count(kRed) + c.Count(kWhite), c.width * c.height) << "no blended pixels";
        else
            EXPECT_GT(200 * 40 - c.Count(kRed) - c.Count(kWhite), 0) << "antialiased edges";
    }
}

// A string longer than the clip is cut at the clip, by the DC's clip and by
// ETO_CLIPPED alike.
TEST(Text, ClipCutsText)
{
    const char text[] = "WWWWWWWWWWWWWWWWWWWW";
    {
        Canvas c(200, 40);
        c.Use(Font("Arial", -16));
        IntersectClipRect(c.dc, 0, 0, 40, 40);
        ASSERT_TRUE(TextOutA(c.dc, 10, 5, text, 20));
        RECT ink = c.Touched();
        EXPECT_GT(ink.right, 30);
        EXPECT_LE(ink.right, 40);
    }
    {
        Canvas c(200, 40);
        c.Use(Font("Arial", -16));
        RECT clip = {20, 0, 60, 12};
        ASSERT_TRUE(ExtTextOutA(c.dc, 10, 5, ETO_CLIPPED, &clip, text, 20, nullptr));
        RECT ink = c.Touched();
        EXPECT_GE(ink.left, 20);
        EXPECT_GT(ink.right, 50);
        EXPECT_LE(ink.right, 60);
        EXPECT_LE(ink.bottom, 12);
    }
}

// OPAQUE fills the text cell with the background colour, TRANSPARENT leaves
// it; ETO_OPAQUE fills its rectangle whatever the mode.
TEST(Text, BackgroundModes)
{
    struct Case {
        int mode;
        UINT options;
        bool cellFilled, rectFilled;
    } cases[] = {{OPAQUE, 0, true, false},
                 {TRANSPARENT, 0, false, false},
                 {TRANSPARENT, ETO_OPAQUE, false, true},
                 {OPAQUE, ETO_OPAQUE, true, true}};
    for (const Case &k : cases) {
        SCOPED_TRACE(std::to_string(k.mode) + " " + std::to_string(k.options));
        Canvas c(120, 60);
        c.Use(Font("Arial", -12));
        SetBkMode(c.dc, k.mode);
        RECT rect = {0, 40, 120, 60}; // away from the text
        ASSERT_TRUE(ExtTextOutA(c.dc, 20, 10, k.options, &rect, "Ab", 2, nullptr));
        SIZE s = c.Extent("Ab");
        EXPECT_EQ(c.At(20, 10) == kBlue, k.cellFilled) << "top left of the cell";
        EXPECT_EQ(c.At(20 + s.cx - 1, 10 + s.cy - 1) == kBlue, k.cellFilled) << "bottom right";
        EXPECT_EQ(c.At(19, 10), kWhite) << "left of the cell";
        EXPECT_EQ(c.At(20, 10 + s.cy), kWhite) << "below the cell";
        EXPECT_EQ(c.Count(kBlue) > 0, k.cellFilled || k.rectFilled);
        EXPECT_EQ(c.At(0, 59) == kBlue, k.rectFilled);
    }
}

// The reference point of TextOutA per text alignment, and the viewport.
TEST(Text, AlignmentPlacesTheCell)
{
    Canvas probe(8, 8);
    probe.Use(Font("Arial", -14));
    SIZE s = probe.Extent("Mg");
    int ascent = probe.Metrics().tmAscent;
    struct Case {
        UINT align;
        POINT viewport;
        int left, top;
    } cases[] = {
        {TA_LEFT | TA_TOP, {0, 0}, 60, 30},
        {TA_RIGHT | TA_TOP, {0, 0}, 60 - s.cx, 30},
        {TA_CENTER | TA_TOP, {0, 0}, 60 - s.cx / 2, 30},
        {TA_LEFT | TA_BASELINE, {0, 0}, 60, 30 - ascent},
        {TA_LEFT | TA_BOTTOM, {0, 0}, 60, 30 - s.cy},
        {TA_LEFT | TA_TOP, {5, 7}, 65, 37},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.align);
        Canvas c(160, 80);
        c.Use(Font("Arial", -14));
        SetBkMode(c.dc, OPAQUE);
        SetTextAlign(c.dc, k.align);
        SetViewportOrgEx(c.dc, k.viewport.x, k.viewport.y, nullptr);
        ASSERT_TRUE(TextOutA(c.dc, 60, 30, "Mg", 2));
        SetViewportOrgEx(c.dc, 0, 0, nullptr); // read back in device pixels
        RECT want = {k.left, k.top, k.left + s.cx, k.top + s.cy};
        EXPECT_TRUE(SameRect(c.Touched(), want));
    }
}

// Drawing on the screen marks what it drew, or the X11 screen never shows it.
TEST(Text, ScreenDrawingIsDamage)
{
    HDC dc = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    ASSERT_NE(dc, nullptr);
    layer::ScreenFlush();
    ASSERT_TRUE(TextOutA(dc, 100, 50, "damage", 6));
    RECT d = layer::GetScreen().damage;
    SIZE s;
    ASSERT_TRUE(GetTextExtentPoint32A(dc, "damage", 6, &s));
    EXPECT_LE(d.left, 102);
    EXPECT_LE(d.top, 54);
    EXPECT_GE(d.right, 100 + s.cx - 2);
    EXPECT_GT(d.bottom, 55);
    EXPECT_LE(d.bottom, 50 + s.cy);
    DeleteDC(dc);
}

TEST(Text, Errors)
{
    TEXTMETRICA tm;
    SIZE s;
    RECT r = {0, 0, 10, 10};
    SetLastError(0);
    EXPECT_FALSE(GetTextMetricsA(nullptr, &tm));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    EXPECT_FALSE(GetTextExtentPoint32A(nullptr, "a", 1, &s));
    EXPECT_FALSE(TextOutA(nullptr, 0, 0, "a", 1));
    EXPECT_EQ(DrawTextA(nullptr, "a", 1, &r, 0), 0);
    EXPECT_EQ(CreateFontIndirectA(nullptr), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);

    Canvas c(8, 8);
    EXPECT_FALSE(GetTextExtentPoint32A(c.dc, "a", -1, &s));
    EXPECT_FALSE(GetTextMetricsA(c.dc, nullptr));
    EXPECT_FALSE(TextOutA(c.dc, 0, 0, nullptr, 3));
    EXPECT_EQ(DrawTextA(c.dc, "a", 1, nullptr, 0), 0);
    EXPECT_TRUE(GetTextExtentPoint32A(c.dc, nullptr, 0, &s));
    EXPECT_EQ(s.cx, 0);
}

// A face name that fills lfFaceName without a terminator is read only up
// to its end; fonts are released through DeleteObject.
TEST(Font, UnterminatedFaceNameAndRelease)
{
    LOGFONTA lf;
    memset(&lf, 0, sizeof lf);
    lf.lfHeight = -12;
    memset(lf.lfFaceName, 'A', sizeof lf.lfFaceName);
    HFONT f = CreateFontIndirectA(&lf);
    ASSERT_NE(f, nullptr);
    Canvas c(8, 8);
    HGDIOBJ old = SelectObject(c.dc, f);
    EXPECT_EQ(c.Metrics().tmHeight - c.Metrics().tmInternalLeading, 12);
    SelectObject(c.dc, old);
    EXPECT_EQ(GetObjectType(f), (DWORD)OBJ_FONT);
    EXPECT_TRUE(DeleteObject(f));
    EXPECT_EQ(GetObjectType(f), 0u);
}

class DrawText : public ::testing::Test {
protected:
    void SetUp() override { c.Use(Font("Arial", -12)); }
    int Calc(const char *text, RECT &r, UINT format)
    {
        return DrawTextA(c.dc, text, -1, &r, format | DT_CALCRECT);
    }
    Canvas c{240, 120};
};

TEST_F(DrawText, CalcRectMeasuresLines)
{
    int h = c.Metrics().tmHeight;
    struct Case {
        const char *text;
        UINT format;
        int lines;
        const char *widest; // the line that sets the width
    } cases[] = {
        {"one line", DT_LEFT, 1, "one line"},
        {"a\r\nbb\nccc", DT_LEFT, 3, "ccc"},
        {"a\r\nbb\nccc", DT_SINGLELINE, 1, "abbccc"},
        {"a\rbb", DT_LEFT, 2, "bb"},
        {"&File", DT_LEFT, 1, "File"},
        {"&&File", DT_LEFT, 1, "&File"},
        {"&File", DT_NOPREFIX, 1, "&File"},
        {"", DT_LEFT, 1, ""},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.text);
        RECT r = {10, 20, 200, 21};
        EXPECT_EQ(Calc(k.text, r, k.format), k.lines * h);
        EXPECT_EQ(r.left, 10);
        EXPECT_EQ(r.top, 20);
        EXPECT_EQ(r.bottom, 20 + k.lines * h);
        EXPECT_EQ(r.right, 10 + c.Extent(k.widest).cx);
    }
}

TEST_F(DrawText, WordBreakWrapsAtTheWidth)
{
    int h = c.Metrics().tmHeight;
    int two = c.Extent("alpha beta").cx;
    RECT r = {0, 0, two + 2, 0};
    EXPECT_EQ(Calc("alpha beta alpha beta", r, DT_WORDBREAK), 2 * h);
    EXPECT_EQ(r.right, two) << "the widest line, its trailing space dropped";

    // A word wider than the rectangle stays whole and widens it.
    int word = c.Extent("unbreakableword").cx;
    r = RECT{0, 0, 20, 0};
    EXPECT_EQ(Calc("unbreakableword and", r, DT_WORDBREAK), 2 * h);
    EXPECT_EQ(r.right, word);

    // Hard breaks still break, and the wrapped lines draw at their places.
    r = RECT{0, 0, two + 2, 0};
    EXPECT_EQ(Calc("alpha\nalpha beta alpha beta", r, DT_WORDBREAK), 3 * h);
    RECT box = {0, 0, two + 2, 120};
    EXPECT_EQ(DrawTextA(c.dc, "alpha beta alpha beta", -1, &box, DT_WORDBREAK), 2 * h);
    RECT ink = c.Touched();
    EXPECT_GT(ink.bottom, h + 2);
    EXPECT_LE(ink.bottom, 2 * h);
    EXPECT_LE(ink.right, two + 2);
}

TEST_F(DrawText, ExpandTabs)
{
    int stop = 8 * c.Metrics().tmAveCharWidth;
    RECT r = {0, 0, 200, 0};
    Calc("a\tb", r, DT_EXPANDTABS);
    EXPECT_EQ(r.right, stop + c.Extent("b").cx);
    r = RECT{0, 0, 200, 0};
    Calc("\t\tb", r, DT_EXPANDTABS);
    EXPECT_EQ(r.right, 2 * stop + c.Extent("b").cx);
}

TEST_F(DrawText, PlacementInTheRectangle)
{
    int h = c.Metrics().tmHeight;
    int w = c.Extent("Mid").cx;
    struct Case {
        UINT format;
        int left, top, result;
    } cases[] = {
        {DT_LEFT, 20, 10, h},
        {DT_CENTER, 20 + (200 - w) / 2, 10, h},
        {DT_RIGHT, 220 - w, 10, h},
        {DT_SINGLELINE | DT_VCENTER, 20, 10 + (100 - h) / 2, (100 - h) / 2 + h},
        {DT_SINGLELINE | DT_BOTTOM, 20, 110 - h, 100},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.format);
        Canvas d(240, 120);
        d.Use(Font("Arial", -12));
        SetBkMode(d.dc, OPAQUE);
        RECT r = {20, 10, 220, 110};
        EXPECT_EQ(DrawTextA(d.dc, "Mid", 3, &r, k.format), k.result);
        EXPECT_TRUE(SameRect(d.Touched(), RECT{k.left, k.top, k.left + w, k.top + h}));
    }
}

TEST_F(DrawText, ClipsToTheRectangleUnlessNoClip)
{
    RECT r = {10, 10, 40, 30};
    DrawTextA(c.dc, "WWWWWWWWWW", -1, &r, DT_LEFT);
    EXPECT_LE(c.Touched().right, 40);
    Canvas d(240, 120);
    d.Use(Font("Arial", -12));
    DrawTextA(d.dc, "WWWWWWWWWW", -1, &r, DT_LEFT | DT_NOCLIP);
    EXPECT_GT(d.Touched().right, 60);
}

// The & prefix underlines its character; without the prefix nothing is
// drawn below the baseline of capitals.
TEST_F(DrawText, PrefixUnderline)
{
    int ascent = c.Metrics().tmAscent;
    RECT r = {0, 0, 200, 40};
    DrawTextA(c.dc, "&FILE", -1, &r, DT_LEFT);
    int fw = c.Extent("F").cx;
    EXPECT_GT(c.Touched().bottom, ascent) << "an underline below the capitals";
    int underlined = 0;
    for (int y = ascent; y < c.height; y++)
        for (int x = 0; x < c.width; x++)
            if (c.At(x, y) != kWhite) {
                EXPECT_LT(x, fw) << "only under the F";
                underlined++;
            }
    EXPECT_GT(underlined, 2);

    Canvas d(240, 120);
    d.Use(Font("Arial", -12));
    DrawTextA(d.dc, "&FILE", -1, &r, DT_LEFT | DT_NOPREFIX);
    EXPECT_LE(d.Touched().bottom, ascent);
    EXPECT_GT(d.Touched().right, c.Touched().right) << "the & is drawn";
}

} // namespace
