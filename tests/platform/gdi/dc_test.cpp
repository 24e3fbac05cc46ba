// Device contexts: clipping, object selection and deletion rules, object
// queries, device capabilities, and injected failures.
#include "screen_fixture.h"

#include <stdlib.h>

class DCTest : public ScreenTest {};

TEST_F(DCTest, WindowDCDrawsOnlyInsideItsVisibleRegionAndReportsDamage)
{
    Fill(0x000000);
    layer::GetScreen().damage = RECT{0, 0, 0, 0};
    // Client origin at (10, 5); the window may touch (10,5)-(30,25) less a
    // covering window at (15,10)-(20,15).
    layer::Region visible;
    visible.SetRect(RECT{10, 5, 30, 25});
    visible.SubtractRect(RECT{15, 10, 20, 15});
    HDC dc = layer::CreateScreenDC(reinterpret_cast<HWND>(1), POINT{10, 5}, visible);
    ASSERT_NE(dc, nullptr);
    RECT all = {-100, -100, 200, 200};
    EXPECT_NE(FillRect(dc, &all, (HBRUSH)GetStockObject(WHITE_BRUSH)), 0);

    struct { int x, y; uint32_t expect; } probes[] = {
        {10, 5, 0xFFFFFF}, {29, 24, 0xFFFFFF}, {9, 5, 0}, {30, 24, 0}, {10, 25, 0},
        {15, 10, 0}, {19, 14, 0}, {20, 14, 0xFFFFFF}, {14, 10, 0xFFFFFF},
    };
    for (auto &p : probes)
        EXPECT_EQ(Px(p.x, p.y), p.expect) << p.x << "," << p.y;
    RECT d = layer::GetScreen().damage;
    EXPECT_EQ(d.left, 10);
    EXPECT_EQ(d.top, 5);
    EXPECT_EQ(d.right, 30);
    EXPECT_EQ(d.bottom, 25);

    // Logical coordinates start at the client origin, moved by the viewport.
    SetViewportOrgEx(dc, 2, 3, nullptr);
    EXPECT_EQ(SetPixel(dc, 0, 0, RGB(255, 0, 0)), RGB(255, 0, 0));
    EXPECT_EQ(Px(12, 8), 0xFF0000u);
    EXPECT_EQ(SetPixel(dc, -5, 0, RGB(255, 0, 0)), CLR_INVALID); // outside the region
    layer::DestroyScreenDC(dc);
}

TEST_F(DCTest, UserClipCombinesWithTheSystemRegion)
{
    HDC dc = WindowDC(POINT{4, 4}, RECT{4, 4, 44, 44});
    RECT box;
    EXPECT_EQ(GetClipBox(dc, &box), SIMPLEREGION);
    EXPECT_EQ(box.left, 0);
    EXPECT_EQ(box.right, 40);

    EXPECT_EQ(IntersectClipRect(dc, 10, 10, 30, 30), SIMPLEREGION);
    EXPECT_EQ(ExcludeClipRect(dc, 15, 15, 20, 20), COMPLEXREGION);
    GetClipBox(dc, &box);
    EXPECT_EQ(box.left, 10);
    EXPECT_EQ(box.top, 10);
    EXPECT_EQ(box.right, 30);
    EXPECT_EQ(box.bottom, 30);

    Fill(0);
    RECT all = {0, 0, 40, 40};
    FillRect(dc, &all, (HBRUSH)GetStockObject(WHITE_BRUSH));
    EXPECT_EQ(Px(14, 14), 0xFFFFFFu);  // logical (10,10)
    EXPECT_EQ(Px(13, 14), 0u);
    EXPECT_EQ(Px(20, 20), 0u);         // logical (16,16): excluded
    EXPECT_EQ(Px(33, 33), 0xFFFFFFu);

    // A selected region is in the DC's device units: relative to the
    // client origin, not to the screen.
    HRGN rgn = CreateRectRgn(0, 0, 2, 2);
    EXPECT_EQ(SelectClipRgn(dc, rgn), SIMPLEREGION);
    DeleteObject(rgn); // only a copy was selected
    Fill(0);
    FillRect(dc, &all, (HBRUSH)GetStockObject(WHITE_BRUSH));
    EXPECT_EQ(Px(4, 4), 0xFFFFFFu);
    EXPECT_EQ(Px(5, 5), 0xFFFFFFu);
    EXPECT_EQ(Px(6, 6), 0u);

    EXPECT_EQ(SelectClipRgn(dc, nullptr), SIMPLEREGION);
    HRGN outside = CreateRectRgn(100, 100, 110, 110);
    EXPECT_EQ(SelectClipRgn(dc, outside), NULLREGION);
    DeleteObject(outside);
    layer::DestroyScreenDC(dc);
}

TEST_F(DCTest, BitmapSelectionRules)
{
    HDC a = CreateCompatibleDC(nullptr), b = CreateCompatibleDC(nullptr);
    HBITMAP stock = (HBITMAP)GetCurrentObject(a, OBJ_BITMAP);
    BITMAP bm;
    ASSERT_EQ(GetObjectA(stock, sizeof bm, &bm), (int)sizeof bm);
    EXPECT_EQ(bm.bmWidth, 1);
    EXPECT_EQ(bm.bmBitsPixel, 1);

    HBITMAP bmp = CreateBitmap(8, 8, 1, 32, nullptr);
    EXPECT_EQ(SelectObject(a, bmp), (HGDIOBJ)stock);
    EXPECT_EQ(SelectObject(b, bmp), nullptr) << "a bitmap lives in one memory DC at a time";
    EXPECT_FALSE(DeleteObject(bmp)) << "still selected";
    EXPECT_EQ(GetObjectType(bmp), (DWORD)OBJ_BITMAP) << "the refused delete left it alive";

    HDC screen = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(SelectObject(screen, stock), nullptr) << "no bitmaps in a display DC";
    EXPECT_EQ(GetObjectType(screen), (DWORD)OBJ_DC);
    EXPECT_EQ(GetObjectType(a), (DWORD)OBJ_MEMDC);

    EXPECT_EQ(SelectObject(a, stock), (HGDIOBJ)bmp);
    EXPECT_NE(SelectObject(b, bmp), nullptr);
    DeleteDC(b); // deselects
    EXPECT_TRUE(DeleteObject(bmp));
    EXPECT_EQ(GetObjectType(bmp), 0u);
    EXPECT_EQ(SelectObject(a, bmp), nullptr) << "a deleted handle is refused";
    DeleteDC(a);
    DeleteDC(screen);
}

TEST_F(DCTest, DeleteObjectRefusesStockAndSelectedObjects)
{
    HDC dc = CreateCompatibleDC(nullptr);
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    HPEN pen = CreatePen(PS_SOLID, 1, 0);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    EXPECT_EQ(oldBrush, GetStockObject(WHITE_BRUSH));
    SelectObject(dc, pen);
    EXPECT_FALSE(DeleteObject(brush));
    EXPECT_FALSE(DeleteObject(pen));
    EXPECT_FALSE(DeleteObject(GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(GetObjectType(GetStockObject(BLACK_BRUSH)), (DWORD)OBJ_BRUSH);

    EXPECT_EQ(SelectObject(dc, oldBrush), (HGDIOBJ)brush);
    EXPECT_TRUE(DeleteObject(brush));
    DeleteDC(dc); // releases the pen
    EXPECT_TRUE(DeleteObject(pen));
    EXPECT_FALSE(DeleteObject(pen)) << "a second delete of a freed handle";
}

TEST_F(DCTest, PalettesAreSelectedOnlyThroughSelectPalette)
{
    HDC dc = CreateCompatibleDC(nullptr);
    LOGPALETTE lp = {0x300, 1, {{1, 2, 3, 0}}};
    HPALETTE pal = CreatePalette(&lp);
    EXPECT_EQ(SelectObject(dc, pal), nullptr);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PAL), GetStockObject(DEFAULT_PALETTE));
    EXPECT_EQ(SelectPalette(dc, pal, FALSE), (HPALETTE)GetStockObject(DEFAULT_PALETTE));
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PAL), (HGDIOBJ)pal);
    WORD entries = 0;
    EXPECT_EQ(GetObjectA(pal, sizeof entries, &entries), 2);
    EXPECT_EQ(entries, 1);
    EXPECT_FALSE(DeleteObject(pal));
    SelectPalette(dc, (HPALETTE)GetStockObject(DEFAULT_PALETTE), FALSE);
    EXPECT_TRUE(DeleteObject(pal));
    DeleteDC(dc);
}

TEST_F(DCTest, GetObjectReportsBitmapsAndBrushes)
{
    struct { int w, bits; LONG widthBytes; } cases[] = {
        {1, 1, 2}, {17, 1, 4}, {3, 32, 12}, {5, 24, 16}, {7, 8, 8},
    };
    for (auto &c : cases) {
        HBITMAP b = CreateBitmap(c.w, 2, 1, c.bits, nullptr);
        BITMAP bm = {};
        EXPECT_EQ(GetObjectA(b, sizeof bm, &bm), (int)sizeof bm);
        EXPECT_EQ(bm.bmType, 0);
        EXPECT_EQ(bm.bmWidth, c.w);
        EXPECT_EQ(bm.bmHeight, 2);
        EXPECT_EQ(bm.bmWidthBytes, c.widthBytes) << c.w << "x" << c.bits;
        EXPECT_EQ(bm.bmPlanes, 1);
        EXPECT_EQ(bm.bmBitsPixel, c.bits);
        EXPECT_EQ(bm.bmBits, nullptr);
        DeleteObject(b);
    }
    EXPECT_EQ(GetObjectA(GetStockObject(WHITE_BRUSH), 0, nullptr), (int)sizeof(LOGBRUSH));
    LOGBRUSH lb;
    GetObjectA(GetStockObject(NULL_BRUSH), sizeof lb, &lb);
    EXPECT_EQ(lb.lbStyle, (UINT)BS_NULL);
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    GetObjectA(red, sizeof lb, &lb);
    EXPECT_EQ(lb.lbStyle, (UINT)BS_SOLID);
    EXPECT_EQ(lb.lbColor, RGB(255, 0, 0));
    DeleteObject(red);
    EXPECT_EQ(GetObjectA(reinterpret_cast<HGDIOBJ>(&lb), sizeof lb, &lb), 0) << "not a handle";
}

TEST_F(DCTest, CompatibleBitmapsFollowTheSelectedBitmap)
{
    StartScreen(16);
    HDC screen = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    HDC mem = CreateCompatibleDC(screen);
    struct { HDC dc; int w; int bits; } cases[] = {
        {screen, 4, 16}, // the screen's depth
        {mem, 4, 1},     // a fresh memory DC holds a monochrome bitmap
        {screen, 0, 1},  // zero width: 1x1 monochrome, as documented
    };
    for (auto &c : cases) {
        HBITMAP b = CreateCompatibleBitmap(c.dc, c.w, 3);
        ASSERT_NE(b, nullptr);
        BITMAP bm;
        GetObjectA(b, sizeof bm, &bm);
        EXPECT_EQ(bm.bmBitsPixel, c.bits);
        EXPECT_EQ(bm.bmWidth, c.w ? c.w : 1);
        DeleteObject(b);
    }
    EXPECT_EQ(GetDeviceCaps(mem, BITSPIXEL), 16) << "a memory DC reports its device's depth";
    DeleteDC(mem);
    DeleteDC(screen);
}

TEST_F(DCTest, DeviceCapsAtEachDepth)
{
    struct { int bpp; int rcPalette, sizePalette, numColors; } cases[] = {
        {8, RC_PALETTE, 256, 20}, {24, 0, 0, -1}, {32, 0, 0, -1},
    };
    for (auto &c : cases) {
        StartScreen(c.bpp);
        HDC dc = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
        EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 64);
        EXPECT_EQ(GetDeviceCaps(dc, VERTRES), 48);
        EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), c.bpp);
        EXPECT_EQ(GetDeviceCaps(dc, PLANES), 1);
        EXPECT_EQ(GetDeviceCaps(dc, RASTERCAPS) & RC_PALETTE, c.rcPalette);
        EXPECT_EQ(GetDeviceCaps(dc, SIZEPALETTE), c.sizePalette);
        EXPECT_EQ(GetDeviceCaps(dc, NUMCOLORS), c.numColors);
        EXPECT_EQ(GetDeviceCaps(dc, NUMRESERVED), 20);
        EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 96);
        DeleteDC(dc);
    }
}

TEST_F(DCTest, InjectedFailures)
{
    machine_->SetEnv("SETUP_TEST_FAIL", "CreateDCA,CreateCompatibleBitmap@2");
    EXPECT_EQ(CreateDCA("DISPLAY", nullptr, nullptr, nullptr), nullptr);
    HDC mem = CreateCompatibleDC(nullptr);
    HBITMAP first = CreateCompatibleBitmap(mem, 2, 2);
    EXPECT_NE(first, nullptr);
    SetLastError(0);
    EXPECT_EQ(CreateCompatibleBitmap(mem, 2, 2), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_ENOUGH_MEMORY);
    HBITMAP third = CreateCompatibleBitmap(mem, 2, 2);
    EXPECT_NE(third, nullptr);
    DeleteObject(first);
    DeleteObject(third);
    DeleteDC(mem);
    machine_->SetEnv("SETUP_TEST_FAIL", "");
    HDC dc = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    EXPECT_NE(dc, nullptr);
    DeleteDC(dc);
    EXPECT_EQ(CreateDCA("PRINTER", nullptr, nullptr, nullptr), nullptr);
}

TEST_F(DCTest, StateSettersReturnThePreviousValue)
{
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(SetBkMode(dc, TRANSPARENT), OPAQUE);
    EXPECT_EQ(SetBkMode(dc, 99), 0);
    EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
    EXPECT_EQ(SetTextColor(dc, PALETTERGB(1, 2, 3)), RGB(0, 0, 0));
    EXPECT_EQ(SetTextColor(dc, PALETTEINDEX(4)), PALETTERGB(1, 2, 3));
    EXPECT_EQ(GetTextColor(dc), PALETTEINDEX(4));
    EXPECT_EQ(SetBkColor(dc, RGB(9, 9, 9)), RGB(255, 255, 255));
    EXPECT_EQ(SetROP2(dc, R2_XORPEN), R2_COPYPEN);
    EXPECT_EQ(SetTextAlign(dc, TA_CENTER), (UINT)(TA_LEFT | TA_TOP));
    POINT old;
    SetViewportOrgEx(dc, 5, 6, nullptr);
    SetViewportOrgEx(dc, 1, 1, &old);
    EXPECT_EQ(old.x, 5);
    EXPECT_EQ(old.y, 6);
    DeleteDC(dc);
    EXPECT_EQ(SetTextColor(dc, 0), CLR_INVALID) << "a deleted DC";
}
