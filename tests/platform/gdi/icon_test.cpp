// Icons, cursors and bitmaps from the test program's resources (gdi.rc)
// and from the system.
#include "screen_fixture.h"

class IconTest : public ScreenTest {
protected:
    HINSTANCE Module() { return layer::ModuleInstance(); }
};

TEST_F(IconTest, ModuleIconPicksTheSystemSizeAndHonoursItsMask)
{
    HICON icon = LoadIconA(Module(), MAKEINTRESOURCEA(1));
    ASSERT_NE(icon, nullptr);
    layer::IconObj *obj = layer::IconLookup(icon);
    ASSERT_NE(obj, nullptr);
    EXPECT_EQ(obj->width, 32) << "the 32x32 image, not the 16x16 one";
    EXPECT_EQ(LoadIconA(Module(), MAKEINTRESOURCEA(1)), icon) << "shared";
    EXPECT_EQ(LoadIconA(Module(), "two"), LoadIconA(Module(), "TWO")) << "names ignore case";

    Fill(0x00FF00);
    HDC dc = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    EXPECT_TRUE(DrawIcon(dc, 4, 4, icon));
    EXPECT_EQ(Px(4, 4), 0x0000FFu) << "opaque left half";
    EXPECT_EQ(Px(19, 35), 0x0000FFu);
    EXPECT_EQ(Px(20, 4), 0x00FF00u) << "masked right half keeps the screen";
    EXPECT_EQ(Px(35, 35), 0x00FF00u);

    // Drawn at half size, the mask scales with it.
    Fill(0x00FF00);
    EXPECT_TRUE(DrawIconEx(dc, 0, 0, icon, 16, 16, 0, nullptr, DI_NORMAL));
    EXPECT_EQ(Px(7, 7), 0x0000FFu);
    EXPECT_EQ(Px(8, 7), 0x00FF00u);
    EXPECT_EQ(Px(0, 16), 0x00FF00u);

    ICONINFO info;
    ASSERT_TRUE(GetIconInfo(icon, &info));
    EXPECT_TRUE(info.fIcon);
    EXPECT_EQ(BitmapPx(info.hbmMask, 0, 0), 0x000000u);
    EXPECT_EQ(BitmapPx(info.hbmMask, 31, 0), 0xFFFFFFu);
    EXPECT_EQ(BitmapPx(info.hbmColor, 0, 0), 0x0000FFu);
    EXPECT_TRUE(DeleteObject(info.hbmMask));
    EXPECT_TRUE(DeleteObject(info.hbmColor));
    EXPECT_TRUE(DestroyIcon(icon));
    EXPECT_NE(layer::IconLookup(icon), nullptr) << "a shared icon outlives DestroyIcon";
    DeleteDC(dc);
}

TEST_F(IconTest, AlphaIconTakesTheOnlySizeThereIs)
{
    HICON icon = LoadIconA(Module(), MAKEINTRESOURCEA(2));
    ASSERT_NE(icon, nullptr);
    layer::IconObj *obj = layer::IconLookup(icon);
    EXPECT_EQ(obj->width, 16);
    Fill(0x202020);
    HDC dc = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    DrawIconEx(dc, 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL);
    EXPECT_EQ(Px(3, 3), 0x00FF00u) << "alpha 255";
    EXPECT_EQ(Px(3, 12), 0x202020u) << "alpha 0 wins over a mask that hides nothing";
    EXPECT_EQ(Px(16, 3), 0x202020u) << "drawn at its own size";
    DeleteDC(dc);
}

TEST_F(IconTest, MissingAndBrokenResourcesFailCleanly)
{
    SetLastError(0);
    EXPECT_EQ(LoadIconA(Module(), MAKEINTRESOURCEA(99)), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_RESOURCE_NAME_NOT_FOUND);
    EXPECT_EQ(LoadIconA(Module(), MAKEINTRESOURCEA(3)), nullptr) << "a directory longer than its data";
    EXPECT_EQ(LoadBitmapA(Module(), MAKEINTRESOURCEA(99)), nullptr);
    EXPECT_EQ(LoadIconA(nullptr, MAKEINTRESOURCEA(100)), nullptr);
    EXPECT_EQ(LoadCursorA(nullptr, MAKEINTRESOURCEA(100)), nullptr);
}

TEST_F(IconTest, SystemIconsAndCursors)
{
    struct { const char *name; LPCSTR id; int x, y; uint32_t expect; } cases[] = {
        {"application", IDI_APPLICATION, 10, 6, 0x000080},  // caption bar
        {"hand", IDI_HAND, 16, 4, 0xFF0000},                // red ring, above the cross
        {"hand cross", IDI_HAND, 16, 16, 0xFFFFFF},
        {"question", IDI_QUESTION, 16, 3, 0xFFFFFF},        // white bubble
        {"exclamation", IDI_EXCLAMATION, 16, 26, 0xFFFF00}, // yellow triangle
        {"exclamation mark", IDI_EXCLAMATION, 16, 10, 0x000000},
        {"asterisk", IDI_ASTERISK, 16, 5, 0x0000FF},        // the blue "i"
    };
    for (auto &c : cases) {
        HICON icon = LoadIconA(nullptr, c.id);
        ASSERT_NE(icon, nullptr) << c.name;
        layer::IconObj *obj = layer::IconLookup(icon);
        ASSERT_EQ(obj->width, 32) << c.name;
        size_t k = (size_t)c.y * 32 + c.x;
        EXPECT_TRUE(obj->opaque[k]) << c.name;
        EXPECT_EQ(obj->color[k], c.expect) << c.name;
        EXPECT_FALSE(obj->opaque[0]) << c.name << ": corners are transparent";
    }
    HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW), beam = LoadCursorA(nullptr, IDC_IBEAM);
    ASSERT_NE(arrow, nullptr);
    ASSERT_NE(beam, nullptr);
    ICONINFO info;
    ASSERT_TRUE(GetIconInfo(arrow, &info));
    EXPECT_FALSE(info.fIcon);
    EXPECT_EQ(info.xHotspot, 0u);
    DeleteObject(info.hbmMask);
    DeleteObject(info.hbmColor);
    ASSERT_TRUE(GetIconInfo(beam, &info));
    EXPECT_EQ(info.xHotspot, 16u);
    DeleteObject(info.hbmMask);
    DeleteObject(info.hbmColor);
}

TEST_F(IconTest, LoadBitmapGivesAScreenCompatibleBitmap)
{
    StartScreen(24);
    HBITMAP b = LoadBitmapA(Module(), MAKEINTRESOURCEA(10));
    ASSERT_NE(b, nullptr);
    BITMAP bm;
    GetObjectA(b, sizeof bm, &bm);
    EXPECT_EQ(bm.bmWidth, 3);
    EXPECT_EQ(bm.bmHeight, 2);
    EXPECT_EQ(bm.bmBitsPixel, 24);
    uint32_t expect[2][3] = {{0xFF0000, 0x00FF00, 0x0000FF}, {0xFFFFFF, 0x000000, 0x804020}};
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 3; x++)
            EXPECT_EQ(BitmapPx(b, x, y), expect[y][x]) << x << "," << y;
    EXPECT_NE(LoadBitmapA(Module(), MAKEINTRESOURCEA(10)), b) << "each load is the caller's own";
    EXPECT_TRUE(DeleteObject(b));
}
