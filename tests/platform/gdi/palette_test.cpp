// Palettes at 8 bits per pixel: the system palette's layout, realisation
// into it, and palette-relative colours.
#include "screen_fixture.h"

#include <vector>

class PaletteTest : public ScreenTest {
protected:
    void SetUp() override { StartScreen(8); }

    static HPALETTE Make(const std::vector<PALETTEENTRY> &entries)
    {
        std::vector<uint8_t> buffer(sizeof(LOGPALETTE) + entries.size() * sizeof(PALETTEENTRY));
        auto *lp = reinterpret_cast<LOGPALETTE *>(buffer.data());
        lp->palVersion = 0x300;
        lp->palNumEntries = (WORD)entries.size();
        for (size_t i = 0; i < entries.size(); i++)
            lp->palPalEntry[i] = entries[i];
        return CreatePalette(lp);
    }
    static bool Same(const PALETTEENTRY &a, BYTE r, BYTE g, BYTE b)
    {
        return a.peRed == r && a.peGreen == g && a.peBlue == b;
    }
};

TEST_F(PaletteTest, SystemPaletteHasTheStaticColoursAtBothEnds)
{
    HDC dc = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    PALETTEENTRY all[256];
    EXPECT_EQ(GetSystemPaletteEntries(dc, 0, 0, nullptr), 256u);
    ASSERT_EQ(GetSystemPaletteEntries(dc, 0, 256, all), 256u);
    EXPECT_TRUE(Same(all[0], 0, 0, 0));
    EXPECT_TRUE(Same(all[7], 0xC0, 0xC0, 0xC0));
    EXPECT_TRUE(Same(all[9], 0xA6, 0xCA, 0xF0));
    EXPECT_TRUE(Same(all[246], 0xFF, 0xFB, 0xF0));
    EXPECT_TRUE(Same(all[248], 0x80, 0x80, 0x80));
    EXPECT_TRUE(Same(all[249], 0xFF, 0, 0));
    EXPECT_TRUE(Same(all[255], 0xFF, 0xFF, 0xFF));
    EXPECT_EQ(GetSystemPaletteEntries(dc, 250, 100, all), 6u);
    // The colour cube between the static colours repeats some of them, so
    // the nearest entry is checked by its colour.
    EXPECT_TRUE(Same(all[layer::NearestSystemIndex(0xFE0102)], 0xFF, 0, 0));
    EXPECT_TRUE(Same(all[layer::NearestSystemIndex(0xA5CBEF)], 0xA6, 0xCA, 0xF0));
    EXPECT_TRUE(Same(all[layer::NearestSystemIndex(0x343434)], 0x33, 0x33, 0x33));
    DeleteDC(dc);
}

TEST_F(PaletteTest, RealizeFillsSlotsInOrderAndCollapsesKnownColours)
{
    HDC dc = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    HPALETTE pal = Make({
        {0x11, 0x22, 0x33, PC_NOCOLLAPSE},
        {0xFF, 0x00, 0x00, 0},             // a static colour: no slot
        {0xFF, 0x00, 0x00, PC_NOCOLLAPSE}, // the same, but it takes a slot
        {0x11, 0x22, 0x33, 0},             // collapses onto the first entry
        {0x44, 0x55, 0x66, 0},
    });
    ASSERT_NE(pal, nullptr);
    SelectPalette(dc, pal, FALSE);
    int before = layer::GetScreen().realizeCount;
    EXPECT_EQ(RealizePalette(dc), 5u);
    EXPECT_EQ(layer::GetScreen().realizeCount, before + 1);
    PALETTEENTRY sys[256];
    GetSystemPaletteEntries(dc, 0, 256, sys);
    EXPECT_TRUE(Same(sys[10], 0x11, 0x22, 0x33));
    EXPECT_TRUE(Same(sys[11], 0xFF, 0x00, 0x00));
    EXPECT_TRUE(Same(sys[12], 0x44, 0x55, 0x66));
    EXPECT_TRUE(Same(sys[249], 0xFF, 0, 0)) << "static colours stay";

    // The colour table of an 8-bit DIB is the system palette as it is now.
    HBITMAP b = CreateCompatibleBitmap(dc, 1, 1);
    struct { BITMAPINFOHEADER h; RGBQUAD c[256]; } info = {};
    info.h.biSize = sizeof info.h;
    info.h.biWidth = 1;
    info.h.biHeight = 1;
    info.h.biPlanes = 1;
    info.h.biBitCount = 8;
    GetDIBits(dc, b, 0, 1, nullptr, (BITMAPINFO *)&info, DIB_RGB_COLORS);
    EXPECT_EQ(info.c[12].rgbRed, 0x44);
    EXPECT_EQ(info.c[12].rgbBlue, 0x66);
    DeleteObject(b);

    SelectPalette(dc, (HPALETTE)GetStockObject(DEFAULT_PALETTE), FALSE);
    DeleteObject(pal);
    DeleteDC(dc);
}

TEST_F(PaletteTest, RealizeDoesNothingAboveEightBits)
{
    StartScreen(32);
    HDC dc = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    HPALETTE pal = Make({{1, 2, 3, PC_NOCOLLAPSE}});
    SelectPalette(dc, pal, FALSE);
    EXPECT_EQ(RealizePalette(dc), 0u);
    EXPECT_EQ(layer::GetScreen().realizeCount, 0);
    EXPECT_FALSE(Same(layer::GetScreen().palette[10], 1, 2, 3));
    PALETTEENTRY e;
    EXPECT_EQ(GetSystemPaletteEntries(dc, 0, 1, &e), 0u);
    SelectPalette(dc, (HPALETTE)GetStockObject(DEFAULT_PALETTE), FALSE);
    DeleteObject(pal);
    DeleteDC(dc);
}

TEST_F(PaletteTest, PaletteRelativeColoursResolveThroughTheSelectedPalette)
{
    HDC dc = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    layer::DC *record = layer::DCLookup(dc);
    HPALETTE pal = Make({{0x10, 0x20, 0x30, 0}, {0xF0, 0xE0, 0xD0, 0}});
    EXPECT_EQ(GetNearestPaletteIndex(pal, RGB(0xEE, 0xEE, 0xCC)), 1u);
    PALETTEENTRY got[4];
    EXPECT_EQ(GetPaletteEntries(pal, 1, 4, got), 1u);
    EXPECT_TRUE(Same(got[0], 0xF0, 0xE0, 0xD0));
    EXPECT_EQ(GetPaletteEntries(pal, 0, 0, nullptr), 2u);

    struct { COLORREF color; bool selected; uint32_t expect; } cases[] = {
        {PALETTEINDEX(1), true, 0xF0E0D0},
        {PALETTERGB(0x11, 0x21, 0x31), true, 0x102030}, // nearest entry
        {RGB(0x11, 0x21, 0x31), true, 0x112131},        // plain: as given
        {PALETTERGB(0x11, 0x21, 0x31), false, 0x112131},
        {PALETTEINDEX(249), false, 0xFF0000},           // the system palette entry
    };
    for (auto &c : cases) {
        SelectPalette(dc, c.selected ? pal : (HPALETTE)GetStockObject(DEFAULT_PALETTE), FALSE);
        EXPECT_NE(SetTextColor(dc, c.color), CLR_INVALID);
        EXPECT_EQ(layer::ResolveColor(record, GetTextColor(dc)), c.expect) << std::hex << c.color;
        // Drawing resolves the same way.
        HBRUSH brush = CreateSolidBrush(c.color);
        RECT r = {0, 0, 1, 1};
        FillRect(dc, &r, brush);
        EXPECT_EQ(Px(0, 0), c.expect) << std::hex << c.color;
        DeleteObject(brush);
    }
    SelectPalette(dc, (HPALETTE)GetStockObject(DEFAULT_PALETTE), FALSE);
    DeleteObject(pal);
    DeleteDC(dc);
}
