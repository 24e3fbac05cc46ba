// The headless screen: its desktop (built in or desktop.bmp, broken files
// included), damage and flush, and the PNG writer.
#include "screen_fixture.h"

#include <stdio.h>
#include <zlib.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

static std::string ReadAll(const std::string &path)
{
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

static void WriteAll(const std::string &path, const std::string &data)
{
    std::ofstream f(path, std::ios::binary);
    f << data;
}

class ScreenBackendTest : public ScreenTest {};

TEST_F(ScreenBackendTest, BuiltInDesktopIsTealWithShapesOnIt)
{
    StartScreen(32, 320, 240);
    EXPECT_STREQ(layer::GetScreen().backend->Name(), "headless");
    EXPECT_FALSE(layer::GetScreen().backend->Pump(0)) << "no input ever comes";
    EXPECT_EQ(Px(300, 100), 0x008080u);
    int other = 0;
    for (int y = 0; y < 240; y++)
        for (int x = 0; x < 64; x++)
            other += Px(x, y) != 0x008080u;
    EXPECT_GT(other, 500) << "icons on the left";
    EXPECT_EQ(Px(300, 230), 0xC0C0C0u) << "a grey taskbar";
}

TEST_F(ScreenBackendTest, DesktopBmpIsStretchedToTheScreen)
{
    // A 2x2 picture: red, blue over green, white; each becomes a quarter.
    std::string bmp = ReadAll(NOBRA_FIXTURES "/gdi/desktop_2x2.bmp");
    ASSERT_FALSE(bmp.empty());
    machine_.reset();
    TempMachine m({{"screen", "backend", "headless"}, {"screen", "width", "8"}, {"screen", "height", "6"}});
    ASSERT_TRUE(m.Ready());
    WriteAll(m.Root() + "/desktop.bmp", bmp);
    ASSERT_TRUE(layer::ScreenInit());
    EXPECT_EQ(Px(0, 0), 0xFF0000u);
    EXPECT_EQ(Px(7, 0), 0x0000FFu);
    EXPECT_EQ(Px(0, 5), 0x00FF00u);
    EXPECT_EQ(Px(7, 5), 0xFFFFFFu);
    EXPECT_EQ(Px(3, 2), 0xFF0000u);
    EXPECT_EQ(Px(4, 3), 0xFFFFFFu);
}

TEST_F(ScreenBackendTest, BrokenDesktopBmpFallsBackToTheBuiltInPicture)
{
    const char *fixtures[] = {"truncated.bmp", "not_a_bmp.bmp", "rle.bmp",
                              "huge.bmp", "bad_offset.bmp", "short_header.bmp"};
    for (const char *name : fixtures) {
        machine_.reset();
        TempMachine m({{"screen", "backend", "headless"}, {"screen", "width", "64"}, {"screen", "height", "48"}});
        ASSERT_TRUE(m.Ready());
        WriteAll(m.Root() + "/desktop.bmp", ReadAll(std::string(NOBRA_FIXTURES "/gdi/") + name));
        ASSERT_TRUE(layer::ScreenInit()) << name;
        EXPECT_EQ(Px(63, 47), 0x008080u) << name;
    }
}

TEST_F(ScreenBackendTest, DamageGrowsUntilFlushed)
{
    layer::Screen &s = layer::GetScreen();
    s.damage = RECT{0, 0, 0, 0};
    layer::ScreenDamage(RECT{10, 10, 12, 12});
    layer::ScreenDamage(RECT{-5, 20, 3, 100}); // clipped to the screen
    EXPECT_EQ(s.damage.left, 0);
    EXPECT_EQ(s.damage.top, 10);
    EXPECT_EQ(s.damage.right, 12);
    EXPECT_EQ(s.damage.bottom, 48);
    layer::ScreenFlush();
    EXPECT_TRUE(IsRectEmpty(&s.damage));
}

TEST_F(ScreenBackendTest, UnknownBackendIsAnError)
{
    machine_.reset();
    TempMachine m({{"screen", "backend", "headless"}});
    ASSERT_TRUE(m.Ready());
    layer::GetMachine().screenBackend = "vga";
    EXPECT_FALSE(layer::ScreenInit());
    layer::GetMachine().screenBackend = "headless";
    EXPECT_TRUE(layer::ScreenInit());
    EXPECT_EQ(layer::GetScreen().width, 640) << "the headless default size";
}

TEST(Png, WritesAnImageThatInflatesBackToThePixels)
{
    layer::Surface s;
    ASSERT_TRUE(s.Resize(3, 2));
    for (int i = 0; i < 6; i++)
        s.pixels[i] = 0x102030u * (uint32_t)(i + 1);
    std::string path = testing::TempDir() + "/gdi_png_test.png";
    ASSERT_TRUE(layer::WritePng(path.c_str(), s));
    std::string file = ReadAll(path);
    remove(path.c_str());
    ASSERT_GT(file.size(), 33u + 12u);
    EXPECT_EQ(file.substr(0, 8), std::string("\x89PNG\r\n\x1A\n", 8));
    EXPECT_EQ(file.substr(12, 4), "IHDR");
    auto be32 = [&](size_t at) {
        return (uint32_t)(uint8_t)file[at] << 24 | (uint32_t)(uint8_t)file[at + 1] << 16 |
               (uint32_t)(uint8_t)file[at + 2] << 8 | (uint8_t)file[at + 3];
    };
    EXPECT_EQ(be32(16), 3u);
    EXPECT_EQ(be32(20), 2u);
    EXPECT_EQ(be32(29), (uint32_t)crc32(0, (const Bytef *)file.data() + 12, 17)) << "IHDR crc";
    size_t idat = file.find("IDAT");
    ASSERT_NE(idat, std::string::npos);
    uint32_t length = be32(idat - 4);
    std::vector<uint8_t> raw(2 * (1 + 9));
    uLongf rawSize = raw.size();
    ASSERT_EQ(uncompress(raw.data(), &rawSize, (const Bytef *)file.data() + idat + 4, length), Z_OK);
    ASSERT_EQ(rawSize, raw.size());
    EXPECT_EQ(raw[0], 0) << "filter type";
    EXPECT_EQ(raw[1], 0x10);
    EXPECT_EQ(raw[2], 0x20);
    EXPECT_EQ(raw[3], 0x30);
    EXPECT_EQ(raw[10 + 7], 0x60) << "last pixel, red";
    EXPECT_EQ(file.substr(file.size() - 8, 4), "IEND");
    EXPECT_FALSE(layer::WritePng("/nonexistent-dir/x.png", s));
}
