// DIBs: GetDIBits and SetDIBits round trips with row padding and scan
// order, the query without bits, 8-bit colour tables, and DIBs drawn
// straight to the device.
#include "screen_fixture.h"

#include <string.h>

#include <vector>

namespace {

struct Info {
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];
};

Info MakeInfo(int width, int height, int bits)
{
    Info info;
    memset(&info, 0, sizeof info);
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = width;
    info.header.biHeight = height;
    info.header.biPlanes = 1;
    info.header.biBitCount = (WORD)bits;
    info.header.biCompression = BI_RGB;
    return info;
}

/* The pixel of a 3x2 test picture. */
uint32_t Picture(int x, int y) { return (uint32_t)((x * 80) << 16 | (y * 200) << 8 | (x + y) * 40); }

} // namespace

class DibTest : public ScreenTest {};

TEST_F(DibTest, RoundTripsWithPaddingAndScanOrder)
{
    // A 3-pixel row is 9 bytes at 24 bits (padded to 12) and 3 bytes at 8
    // bits (padded to 4): the padding must be skipped on both ways.
    struct { int bits; int height; size_t stride; } cases[] = {
        {24, 2, 12}, {24, -2, 12}, {32, 2, 12}, {8, 2, 4}, {8, -2, 4},
    };
    for (auto &c : cases) {
        HDC screen = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
        HBITMAP b = CreateCompatibleBitmap(screen, 3, 2);
        HDC mem = CreateCompatibleDC(screen);
        HGDIOBJ old = SelectObject(mem, b);
        for (int y = 0; y < 2; y++)
            for (int x = 0; x < 3; x++) {
                uint32_t p = Picture(x, y);
                if (c.bits == 8) // colours found only once in the system palette
                    p = layer::EntryPixel(layer::GetScreen().palette[11 + x + 36 * y]);
                SetPixel(mem, x, y, RGB(p >> 16, (p >> 8) & 0xFF, p & 0xFF));
            }
        SelectObject(mem, old);

        Info info = MakeInfo(3, c.height, c.bits);
        std::vector<uint8_t> bits(c.stride * 2 + 16, 0xAB);
        ASSERT_EQ(GetDIBits(screen, b, 0, 2, bits.data(), (BITMAPINFO *)&info, DIB_RGB_COLORS), 2)
            << c.bits << "/" << c.height;
        EXPECT_EQ(info.header.biSizeImage, c.stride * 2);
        EXPECT_EQ(bits[c.stride * 2], 0xAB) << "wrote past the image";
        // The first row in memory is the bottom row unless the height is negative.
        int firstRow = c.height > 0 ? 1 : 0;
        if (c.bits == 24) {
            uint32_t p = Picture(0, firstRow);
            EXPECT_EQ(bits[0], p & 0xFF);
            EXPECT_EQ(bits[1], (p >> 8) & 0xFF);
            EXPECT_EQ(bits[2], p >> 16);
            EXPECT_EQ(bits[9], 0) << "padding is zero";
        } else if (c.bits == 8) {
            EXPECT_EQ(bits[0], 11 + 36 * firstRow);
            EXPECT_EQ(bits[2], 13 + 36 * firstRow);
            const RGBQUAD &q = info.colors[11 + 36 * firstRow];
            const PALETTEENTRY &e = layer::GetScreen().palette[11 + 36 * firstRow];
            EXPECT_EQ(q.rgbRed, e.peRed);
            EXPECT_EQ(q.rgbBlue, e.peBlue);
        }

        // Back into a second bitmap: the same pixels.
        HBITMAP copy = CreateCompatibleBitmap(screen, 3, 2);
        EXPECT_EQ(SetDIBits(screen, copy, 0, 2, bits.data(), (BITMAPINFO *)&info, DIB_RGB_COLORS), 2);
        for (int y = 0; y < 2; y++)
            for (int x = 0; x < 3; x++)
                EXPECT_EQ(BitmapPx(copy, x, y), BitmapPx(b, x, y)) << c.bits << "/" << c.height << " " << x << "," << y;
        DeleteObject(copy);
        DeleteObject(b);
        DeleteDC(mem);
        DeleteDC(screen);
    }
}

TEST_F(DibTest, ScanLinesCountFromTheFirstRowInMemory)
{
    HDC screen = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    HBITMAP b = CreateCompatibleBitmap(screen, 1, 4);
    Info info = MakeInfo(1, 4, 32);
    uint32_t one = 0x00112233;
    // Scan 0 of a bottom-up DIB is the bitmap's bottom row.
    EXPECT_EQ(SetDIBits(screen, b, 0, 1, &one, (BITMAPINFO *)&info, DIB_RGB_COLORS), 1);
    EXPECT_EQ(BitmapPx(b, 0, 3), 0x112233u);
    EXPECT_EQ(SetDIBits(screen, b, 3, 5, &one, (BITMAPINFO *)&info, DIB_RGB_COLORS), 1) << "clamped to the height";
    EXPECT_EQ(BitmapPx(b, 0, 0), 0x112233u);
    uint32_t out[4] = {};
    EXPECT_EQ(GetDIBits(screen, b, 2, 9, out, (BITMAPINFO *)&info, DIB_RGB_COLORS), 2);
    EXPECT_EQ(out[1], 0x112233u) << "scan 3 is the top row";
    EXPECT_EQ(GetDIBits(screen, b, 4, 1, out, (BITMAPINFO *)&info, DIB_RGB_COLORS), 0);
    DeleteObject(b);
    DeleteDC(screen);
}

TEST_F(DibTest, QueryWithoutBits)
{
    StartScreen(8);
    HDC screen = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    HBITMAP b = CreateCompatibleBitmap(screen, 5, 3);

    // Bit count zero: the bitmap's own format, no colour table.
    Info info = MakeInfo(0, 0, 0);
    EXPECT_NE(GetDIBits(screen, b, 0, 3, nullptr, (BITMAPINFO *)&info, DIB_RGB_COLORS), 0);
    EXPECT_EQ(info.header.biWidth, 5);
    EXPECT_EQ(info.header.biHeight, 3);
    EXPECT_EQ(info.header.biBitCount, 8);
    EXPECT_EQ(info.header.biSizeImage, 8u * 3);

    // An 8-bit request fills the image size and the table: the system palette.
    info = MakeInfo(5, 3, 8);
    EXPECT_NE(GetDIBits(screen, b, 0, 3, nullptr, (BITMAPINFO *)&info, DIB_RGB_COLORS), 0);
    EXPECT_EQ(info.header.biSizeImage, 8u * 3);
    for (int i : {0, 7, 100, 255}) {
        const PALETTEENTRY &e = layer::GetScreen().palette[i];
        EXPECT_EQ(info.colors[i].rgbRed, e.peRed) << i;
        EXPECT_EQ(info.colors[i].rgbGreen, e.peGreen) << i;
        EXPECT_EQ(info.colors[i].rgbBlue, e.peBlue) << i;
    }
    EXPECT_EQ(info.colors[7].rgbRed, 0xC0);   // a static colour
    EXPECT_EQ(info.colors[255].rgbBlue, 0xFF); // white

    info = MakeInfo(5, 3, 12);
    EXPECT_EQ(GetDIBits(screen, b, 0, 3, nullptr, (BITMAPINFO *)&info, DIB_RGB_COLORS), 0) << "no such depth";
    EXPECT_EQ(GetDIBits(screen, nullptr, 0, 3, nullptr, (BITMAPINFO *)&info, DIB_RGB_COLORS), 0);
    DeleteObject(b);
    DeleteDC(screen);
}

TEST_F(DibTest, SetDIBitsReadsEveryDepthAndRejectsBadHeaders)
{
    HDC screen = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    HBITMAP b = CreateCompatibleBitmap(screen, 2, 1);
    // Two pixels per depth: index 1 then index 0 (table: 0 red, 1 blue).
    struct { int bits; std::vector<uint8_t> row; uint32_t first, second; } cases[] = {
        {1, {0x80, 0, 0, 0}, 0x0000FF, 0xFF0000},
        {4, {0x10, 0, 0, 0}, 0x0000FF, 0xFF0000},
        {8, {1, 0, 0, 0}, 0x0000FF, 0xFF0000},
        {16, {0x1F, 0x00, 0x00, 0x7C}, 0x0000FF, 0xFF0000}, // 5-5-5
    };
    for (auto &c : cases) {
        Info info = MakeInfo(2, 1, c.bits);
        info.colors[0] = RGBQUAD{0, 0, 255, 0};
        info.colors[1] = RGBQUAD{255, 0, 0, 0};
        ASSERT_EQ(SetDIBits(screen, b, 0, 1, c.row.data(), (BITMAPINFO *)&info, DIB_RGB_COLORS), 1) << c.bits;
        EXPECT_EQ(BitmapPx(b, 0, 0), c.first) << c.bits;
        EXPECT_EQ(BitmapPx(b, 1, 0), c.second) << c.bits;
    }
    uint8_t row[8] = {};
    struct { const char *name; LONG w, h; WORD bits; DWORD compression; } bad[] = {
        {"zero width", 0, 1, 24, BI_RGB},       {"zero height", 2, 0, 24, BI_RGB},
        {"odd depth", 2, 1, 7, BI_RGB},         {"run-length", 2, 1, 8, BI_RLE8},
        {"bitfields at 24", 2, 1, 24, BI_BITFIELDS}, {"absurd size", 1 << 30, 1, 24, BI_RGB},
    };
    for (auto &c : bad) {
        Info info = MakeInfo(c.w, c.h, c.bits);
        info.header.biCompression = c.compression;
        EXPECT_EQ(SetDIBits(screen, b, 0, 1, row, (BITMAPINFO *)&info, DIB_RGB_COLORS), 0) << c.name;
    }
    DeleteObject(b);
    DeleteDC(screen);
}

TEST_F(DibTest, SetDIBitsToDeviceAndCreateDIBitmap)
{
    Fill(0);
    // A 2x2 bottom-up DIB: bottom row red, green; top row blue, white.
    uint32_t pixels[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
    Info info = MakeInfo(2, 2, 32);
    HDC win = WindowDC(POINT{10, 10}, RECT{10, 10, 12, 11}); // shows one row only
    EXPECT_EQ(SetDIBitsToDevice(win, 0, 0, 2, 2, 0, 0, 0, 2, pixels, (BITMAPINFO *)&info, DIB_RGB_COLORS), 2);
    EXPECT_EQ(Px(10, 10), 0x0000FFu) << "the top row of the picture comes first";
    EXPECT_EQ(Px(11, 10), 0xFFFFFFu);
    EXPECT_EQ(Px(10, 11), 0u) << "clipped";
    layer::DestroyScreenDC(win);

    HDC screen = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    HBITMAP b = CreateDIBitmap(screen, &info.header, CBM_INIT, pixels, (BITMAPINFO *)&info, DIB_RGB_COLORS);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(BitmapPx(b, 0, 0), 0x0000FFu);
    EXPECT_EQ(BitmapPx(b, 1, 1), 0x00FF00u);
    BITMAP bm;
    GetObjectA(b, sizeof bm, &bm);
    EXPECT_EQ(bm.bmBitsPixel, 32);
    DeleteObject(b);
    DeleteDC(screen);
}
