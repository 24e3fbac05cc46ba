// Block transfers: the raster operations, overlapping copies on one
// surface, monochrome conversions, stretching and pattern fills.
#include "screen_fixture.h"

class BlitTest : public ScreenTest {};

TEST_F(BlitTest, RasterOperations)
{
    const uint32_t s = 0x0F0F0F, d = 0x3C3C3C, p = 0x555555;
    struct { const char *name; DWORD rop; uint32_t expect; } cases[] = {
        {"SRCCOPY", SRCCOPY, s},          {"SRCPAINT", SRCPAINT, s | d},
        {"SRCAND", SRCAND, s & d},        {"SRCINVERT", SRCINVERT, s ^ d},
        {"PATCOPY", PATCOPY, p},          {"PATINVERT", PATINVERT, p ^ d},
        {"DSTINVERT", DSTINVERT, ~d & 0xFFFFFF}, {"BLACKNESS", BLACKNESS, 0},
        {"WHITENESS", WHITENESS, 0xFFFFFF},
        {"MERGECOPY", 0x00C000CA, s & p}, // P & S, through the general rule
        {"NOTSRCCOPY", 0x00330008, ~s & 0xFFFFFF},
    };
    for (auto &c : cases) {
        HBITMAP src, dst;
        HDC sdc = MemoryDC(4, 4, s, &src), ddc = MemoryDC(4, 4, d, &dst);
        HBRUSH brush = CreateSolidBrush(RGB(0x55, 0x55, 0x55));
        SelectObject(ddc, brush);
        EXPECT_TRUE(BitBlt(ddc, 1, 1, 2, 2, sdc, 0, 0, c.rop)) << c.name;
        EXPECT_EQ(BitmapPx(dst, 1, 1), c.expect) << c.name;
        EXPECT_EQ(BitmapPx(dst, 2, 2), c.expect) << c.name;
        EXPECT_EQ(BitmapPx(dst, 3, 3), d) << c.name << " outside the rectangle";
        SelectObject(ddc, GetStockObject(WHITE_BRUSH));
        DeleteObject(brush);
        DeleteDC(sdc);
        DeleteDC(ddc);
        DeleteObject(src);
        DeleteObject(dst);
    }
}

TEST_F(BlitTest, OverlappingCopiesOnOneSurface)
{
    // A row 0..9 of distinct pixels, copied onto itself shifted each way.
    struct { int dx, dy; } shifts[] = {{3, 0}, {-3, 0}, {0, 2}, {0, -2}, {2, 2}};
    for (auto &sh : shifts) {
        HBITMAP b;
        HDC dc = MemoryDC(16, 16, 0, &b);
        for (int y = 0; y < 16; y++)
            for (int x = 0; x < 16; x++)
                SetPixel(dc, x, y, RGB(x, y, 7));
        ASSERT_TRUE(BitBlt(dc, 4 + sh.dx, 4 + sh.dy, 8, 8, dc, 4, 4, SRCCOPY));
        for (int y = 0; y < 8; y++)
            for (int x = 0; x < 8; x++)
                ASSERT_EQ(BitmapPx(b, 4 + sh.dx + x, 4 + sh.dy + y), (uint32_t)(((4 + x) << 16) | ((4 + y) << 8) | 7))
                    << "shift " << sh.dx << "," << sh.dy << " at " << x << "," << y;
        DeleteDC(dc);
        DeleteObject(b);
    }
}

TEST_F(BlitTest, ScreenToScreenCopyGoesThroughTheClipAndDamages)
{
    Fill(0);
    HDC screen = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    SetPixel(screen, 1, 1, RGB(255, 0, 0));
    layer::GetScreen().damage = RECT{0, 0, 0, 0};
    HDC win = WindowDC(POINT{20, 20}, RECT{20, 20, 30, 30});
    // Copy a 20x20 block from the screen at (0,0) into the window: only its
    // visible 10x10 is written.
    EXPECT_TRUE(BitBlt(win, -10, -10, 20, 20, screen, 10, 10, SRCCOPY));
    EXPECT_TRUE(BitBlt(win, 0, 0, 2, 2, screen, 0, 0, SRCCOPY));
    EXPECT_EQ(Px(21, 21), 0xFF0000u);
    RECT d = layer::GetScreen().damage;
    EXPECT_EQ(d.left, 20);
    EXPECT_EQ(d.right, 30);
    EXPECT_EQ(d.bottom, 30);
    layer::DestroyScreenDC(win);
    DeleteDC(screen);
}

TEST_F(BlitTest, MonochromeAndColourConversions)
{
    HDC mono = CreateCompatibleDC(nullptr);
    HBITMAP mb = CreateBitmap(2, 1, 1, 1, nullptr);
    SelectObject(mono, mb);
    SetPixel(mono, 0, 0, RGB(0, 0, 0));
    SetPixel(mono, 1, 0, RGB(255, 255, 255));

    // Black bits take the destination's text colour, white bits its
    // background colour.
    HBITMAP cb;
    HDC color = MemoryDC(2, 1, 0x777777, &cb);
    SetTextColor(color, RGB(255, 0, 0));
    SetBkColor(color, RGB(0, 0, 255));
    BitBlt(color, 0, 0, 2, 1, mono, 0, 0, SRCCOPY);
    EXPECT_EQ(BitmapPx(cb, 0, 0), 0xFF0000u);
    EXPECT_EQ(BitmapPx(cb, 1, 0), 0x0000FFu);

    // Colour to monochrome: the source background colour becomes white.
    SetPixel(color, 0, 0, RGB(10, 20, 30));
    SetPixel(color, 1, 0, RGB(255, 255, 255));
    SetBkColor(color, RGB(10, 20, 30));
    BitBlt(mono, 0, 0, 2, 1, color, 0, 0, SRCCOPY);
    EXPECT_EQ(BitmapPx(mb, 0, 0), 0xFFFFFFu);
    EXPECT_EQ(BitmapPx(mb, 1, 0), 0x000000u) << "white but not the background colour";

    DeleteDC(mono);
    DeleteDC(color);
    DeleteObject(mb);
    DeleteObject(cb);
}

TEST_F(BlitTest, StretchPicksTheNearestPixelAndMirrors)
{
    HBITMAP sb, db;
    HDC src = MemoryDC(2, 1, 0, &sb), dst = MemoryDC(6, 2, 0x999999, &db);
    SetPixel(src, 0, 0, RGB(255, 0, 0));
    SetPixel(src, 1, 0, RGB(0, 255, 0));
    EXPECT_TRUE(StretchBlt(dst, 0, 0, 4, 2, src, 0, 0, 2, 1, SRCCOPY));
    uint32_t expect[4] = {0xFF0000, 0xFF0000, 0x00FF00, 0x00FF00};
    for (int x = 0; x < 4; x++) {
        EXPECT_EQ(BitmapPx(db, x, 0), expect[x]) << x;
        EXPECT_EQ(BitmapPx(db, x, 1), expect[x]) << x;
    }
    EXPECT_EQ(BitmapPx(db, 4, 0), 0x999999u);
    // Opposite signs mirror the picture onto the same pixels.
    EXPECT_TRUE(StretchBlt(dst, 3, 0, -4, 2, src, 0, 0, 2, 1, SRCCOPY));
    for (int x = 0; x < 4; x++)
        EXPECT_EQ(BitmapPx(db, x, 0), expect[3 - x]) << x;
    DeleteDC(src);
    DeleteDC(dst);
    DeleteObject(sb);
    DeleteObject(db);
}

TEST_F(BlitTest, PatBltAndPatternBrushes)
{
    HBITMAP db;
    HDC dst = MemoryDC(4, 4, 0x101010, &db);
    EXPECT_FALSE(PatBlt(dst, 0, 0, 1, 1, SRCCOPY)) << "PatBlt takes no source";
    EXPECT_TRUE(PatBlt(dst, 2, 2, -2, -2, DSTINVERT)); // the rectangle (0,0)-(2,2)
    EXPECT_EQ(BitmapPx(db, 0, 0), 0xEFEFEFu);
    EXPECT_EQ(BitmapPx(db, 1, 1), 0xEFEFEFu);
    EXPECT_EQ(BitmapPx(db, 2, 2), 0x101010u);

    // A monochrome 2x1 pattern: black bits in the text colour, white in the
    // background colour, tiled.
    HBITMAP pattern = CreateBitmap(2, 1, 1, 1, nullptr);
    HDC pdc = CreateCompatibleDC(nullptr);
    SelectObject(pdc, pattern);
    SetPixel(pdc, 1, 0, RGB(255, 255, 255));
    DeleteDC(pdc);
    HBRUSH brush = CreatePatternBrush(pattern);
    DeleteObject(pattern); // the brush keeps its own copy
    SetTextColor(dst, RGB(255, 0, 0));
    SetBkColor(dst, RGB(0, 255, 0));
    RECT all = {0, 0, 4, 4};
    FillRect(dst, &all, brush);
    EXPECT_EQ(BitmapPx(db, 0, 3), 0xFF0000u);
    EXPECT_EQ(BitmapPx(db, 1, 3), 0x00FF00u);
    EXPECT_EQ(BitmapPx(db, 2, 0), 0xFF0000u);
    DeleteObject(brush);
    DeleteDC(dst);
    DeleteObject(db);
}
