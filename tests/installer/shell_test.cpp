// The application shell end to end: the real program in a fresh process on
// a headless screen, driven through the automation API, checked on what it
// showed and on the screen's pixels.

#include <automation.h>
#include <windows.h>

#include <gtest/gtest.h>

#include "machine.h"
#include "scenario.h"
#include "setup.h"

#include <stdio.h>
#include <string.h>
#include <string>
#include <vector>

namespace {

const char kCancelStart[] = "Setup was canceled. Any notes or errors you can send on my email: ";

// A desktop picture the headless screen starts from: every pixel a colour
// made from its position, so that darkening can be told apart from it.
uint32_t DesktopColour(int x, int y) { return 0x808080u | ((x * 7 & 0x7F) << 16) | ((y * 5 & 0x7F) << 8) | 0x40; }

void WriteDesktop(const TempMachine &m, int w, int h)
{
    int stride = (w * 3 + 3) & ~3;
    std::vector<unsigned char> file(54 + (size_t)stride * h, 0);
    auto put32 = [&](int at, uint32_t v) { memcpy(&file[at], &v, 4); };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, (uint32_t)file.size());
    put32(10, 54);
    put32(14, 40);
    put32(18, (uint32_t)w);
    put32(22, (uint32_t)h);
    file[26] = 1;
    file[28] = 24;
    put32(34, (uint32_t)(stride * h));
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            uint32_t c = DesktopColour(x, y);
            unsigned char *p = &file[54 + (size_t)(h - 1 - y) * stride + 3 * x];
            p[0] = c & 0xFF;
            p[1] = (c >> 8) & 0xFF;
            p[2] = (c >> 16) & 0xFF;
        }
    FILE *f = fopen((m.Root() + "/desktop.bmp").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fwrite(file.data(), 1, file.size(), f);
    fclose(f);
}

// Cancels from the licence page: Cancel, then Yes in the confirmation.
// Leaves the cancel message on the screen.
void CancelFromLicencePage()
{
    HWND page = automation::WaitDialog("IDD_AGREEMENT");
    ASSERT_NE(page, nullptr);
    automation::Click(automation::Control(page, IDCANCEL));
    HWND confirm = automation::ActiveWindow();
    ASSERT_NE(confirm, page);
    automation::Click(automation::BoxButton(confirm, "Yes"));
}

void AnswerCancelMessage()
{
    HWND box = automation::ActiveWindow();
    ASSERT_NE(box, nullptr);
    automation::Click(automation::BoxButton(box, "OK"));
}

std::vector<MachineSetting> Screen(int w, int h, int bpp)
{
    return {{"screen", "width", std::to_string(w)},
            {"screen", "height", std::to_string(h)},
            {"screen", "bpp", std::to_string(bpp)}};
}

TEST(Shell, SpineRegistersCoversTheScreenAndEndsWithTheCancelMessage)
{
    TempMachine m(Screen(800, 600, 32));
    ASSERT_TRUE(m.Ready());
    auto result = RunScenario([] {
        HWND page = automation::WaitDialog("IDD_AGREEMENT");
        ASSERT_NE(page, nullptr);
        HWND main = g_setup.mainWindow;
        ASSERT_TRUE(IsWindow(main));

        WNDCLASSA wc;
        ASSERT_TRUE(GetClassInfoA(g_setup.instance, "SETUP", &wc));
        EXPECT_EQ(wc.style, (UINT)(CS_HREDRAW | CS_VREDRAW));
        EXPECT_EQ(wc.cbClsExtra, 0);
        EXPECT_EQ(wc.cbWndExtra, 0);
        EXPECT_NE(wc.hIcon, nullptr);
        EXPECT_EQ(wc.hIcon, LoadIconA(g_setup.instance, MAKEINTRESOURCEA(200)));
        EXPECT_NE(wc.hCursor, nullptr);
        EXPECT_EQ((INT_PTR)wc.hbrBackground, 8);
        EXPECT_STREQ(wc.lpszMenuName, "SETUP");

        EXPECT_EQ(automation::ClassName(main), "SETUP");
        EXPECT_EQ(automation::Text(main), "SETUP");
        EXPECT_EQ(GetWindowLongA(main, GWL_EXSTYLE), 0);
        EXPECT_EQ((DWORD)GetWindowLongA(main, GWL_STYLE) & ~(DWORD)WS_DISABLED, (DWORD)(WS_POPUP | WS_VISIBLE));
        RECT r = automation::WindowRect(main);
        EXPECT_EQ(r.left, 0);
        EXPECT_EQ(r.top, 0);
        EXPECT_EQ(r.right, 800);
        EXPECT_EQ(r.bottom, 600);
        // The page is modal: its owner is disabled while it runs.
        EXPECT_FALSE(automation::Enabled(main));
        // Started from C:\, the source directory is the bare drive.
        EXPECT_STREQ(g_setup.sourceDir, "C:");

        CancelFromLicencePage();
        auto boxes = automation::MessageBoxes();
        ASSERT_EQ(boxes.size(), 2u);
        EXPECT_EQ(boxes[0].text, "Are you sure you want to cancel the setup?");
        EXPECT_EQ(boxes[0].type, (UINT)(MB_ICONQUESTION | MB_YESNO));
        EXPECT_EQ(boxes[0].answer, IDYES);
        EXPECT_EQ(boxes[1].caption, "Nobra - Setup");
        EXPECT_EQ(boxes[1].type, (UINT)MB_ICONWARNING);
        EXPECT_EQ(boxes[1].text.compare(0, strlen(kCancelStart), kCancelStart), 0) << boxes[1].text;
        EXPECT_GT(boxes[1].text.size(), strlen(kCancelStart) + 3);
        AnswerCancelMessage();
    });
    EXPECT_SCENARIO_OK(result, 0);
}

TEST(Shell, SourceDirIsTheCurrentDirectoryWhenNotARoot)
{
    TempMachine m({{"machine", "current", "C:\\WINDOWS"}});
    ASSERT_TRUE(m.Ready());
    auto result = RunScenario([] {
        ASSERT_NE(automation::WaitDialog("IDD_AGREEMENT"), nullptr);
        EXPECT_STREQ(g_setup.sourceDir, "C:\\WINDOWS");
        CancelFromLicencePage();
        AnswerCancelMessage();
    });
    EXPECT_SCENARIO_OK(result, 0);
}

// The backdrop's pixels along the top and left edges, which neither the
// title nor the closing message box covers.
struct Darkening {
    int height;
    int bpp;
};

class Backdrop : public ::testing::TestWithParam<Darkening> {};

TEST_P(Backdrop, EverySecondPixelIsBlackInACheckerboardFromTheBottomRow)
{
    const int w = 640, h = GetParam().height;
    TempMachine m(Screen(w, h, GetParam().bpp));
    ASSERT_TRUE(m.Ready());
    WriteDesktop(m, w, h);
    auto result = RunScenario([w, h] {
        CancelFromLicencePage();
        automation::Settle();
        int wrong = 0;
        for (int y = 0; y < 8; y++)
            for (int x = 0; x < w; x++) {
                // Stored row 0 is the bottom row; its first pixel is blacked.
                int stored = h - 1 - y;
                bool black = (x % 2) == (stored % 2);
                uint32_t want = black ? 0 : DesktopColour(x, y);
                if (automation::Pixel(x, y) != want && wrong++ < 5)
                    ADD_FAILURE() << "pixel " << x << "," << y << " is " << std::hex << automation::Pixel(x, y)
                                  << " not " << want;
            }
        EXPECT_EQ(wrong, 0);
        AnswerCancelMessage();
    });
    EXPECT_SCENARIO_OK(result, 0);
}

INSTANTIATE_TEST_SUITE_P(Depths, Backdrop,
                         ::testing::Values(Darkening{480, 32}, Darkening{481, 32}, Darkening{480, 24},
                                           Darkening{481, 16}));

TEST(BackdropEdge, AScreenOneColumnWideLeavesOddStoredRowsUntouched)
{
    const int h = 601;
    TempMachine m(Screen(1, h, 32));
    ASSERT_TRUE(m.Ready());
    WriteDesktop(m, 1, h);
    auto result = RunScenario([h] {
        CancelFromLicencePage();
        automation::Settle();
        for (int y = 0; y < 8; y++) {
            int stored = h - 1 - y;
            EXPECT_EQ(automation::Pixel(0, y), stored % 2 ? DesktopColour(0, y) : 0u) << "row " << y;
        }
        AnswerCancelMessage();
    });
    EXPECT_SCENARIO_OK(result, 0);
}

TEST(BackdropTitle, TwoPassesThreePixelsApartWithNoBackground)
{
    TempMachine m(Screen(800, 600, 32));
    ASSERT_TRUE(m.Ready());
    WriteDesktop(m, 800, 600);
    auto result = RunScenario([] {
        CancelFromLicencePage();
        automation::Settle();
        // The first pass is dark purple, the second light blue, 3 pixels
        // right of and below it.
        const uint32_t purple = 0x200040, blue = 0x40A0FF;
        int purpleLeft = 9999, purpleTop = 9999, blueLeft = 9999, blueTop = 9999;
        for (int y = 0; y < 120; y++)
            for (int x = 0; x < 800; x++) {
                uint32_t p = automation::Pixel(x, y);
                if (p == purple) {
                    purpleLeft = std::min(purpleLeft, x);
                    purpleTop = std::min(purpleTop, y);
                } else if (p == blue) {
                    blueLeft = std::min(blueLeft, x);
                    blueTop = std::min(blueTop, y);
                }
            }
        ASSERT_LT(purpleLeft, 9999) << "no dark purple title pixel";
        ASSERT_LT(blueLeft, 9999) << "no light blue title pixel";
        EXPECT_EQ(blueLeft - purpleLeft, 3);
        EXPECT_EQ(blueTop - purpleTop, 3);
        EXPECT_GE(purpleLeft, 10);
        EXPECT_GE(purpleTop, 10);
        // Inside the text cell, above the letters, the darkened desktop shows.
        int y = purpleTop - 1, stored = 600 - 1 - y;
        for (int x = 20; x < 40; x++) {
            bool black = (x % 2) == (stored % 2);
            EXPECT_EQ(automation::Pixel(x, y), black ? 0u : DesktopColour(x, y)) << x << "," << y;
        }
        AnswerCancelMessage();
    });
    EXPECT_SCENARIO_OK(result, 0);
}

TEST(BackdropPalette, EightBitsKeepsThePixelsAndRealisesTheCapturedPaletteOnEveryPaint)
{
    TempMachine m(Screen(640, 480, 8));
    ASSERT_TRUE(m.Ready());
    WriteDesktop(m, 640, 480);
    auto result = RunScenario([] {
        HWND page = automation::WaitDialog("IDD_AGREEMENT");
        ASSERT_NE(page, nullptr);
        ASSERT_NE(g_setup.backdropPalette, nullptr);
        PALETTEENTRY entries[256];
        ASSERT_EQ(GetPaletteEntries(g_setup.backdropPalette, 0, 256, entries), 256u);
        // The palette is the captured colour table, in order, all PC_NOCOLLAPSE.
        const BITMAPINFO *info = (const BITMAPINFO *)GlobalLock(g_setup.backdropInfo);
        ASSERT_NE(info, nullptr);
        for (int i = 0; i < 256; i++) {
            EXPECT_EQ(entries[i].peRed, info->bmiColors[i].rgbRed) << i;
            EXPECT_EQ(entries[i].peGreen, info->bmiColors[i].rgbGreen) << i;
            EXPECT_EQ(entries[i].peBlue, info->bmiColors[i].rgbBlue) << i;
            EXPECT_EQ(entries[i].peFlags, PC_NOCOLLAPSE) << i;
        }
        GlobalUnlock(g_setup.backdropInfo);
        // Not darkened: the desktop has no black, and none appears along the top.
        for (int y = 0; y < 8; y++)
            for (int x = 0; x < 640; x++)
                EXPECT_NE(automation::Pixel(x, y), 0u) << x << "," << y;
        int before = automation::RealizeCount();
        InvalidateRect(g_setup.mainWindow, NULL, TRUE);
        automation::Settle();
        EXPECT_GT(automation::RealizeCount(), before);
        CancelFromLicencePage();
        AnswerCancelMessage();
    });
    EXPECT_SCENARIO_OK(result, 0);
}

// A backdrop that cannot be built leaves the main window unpainted (its
// class brush, black) and the wizard goes on.  Without the palette's block
// on an 8-bit display the backdrop is still made, only without a palette.
struct BuildFailure {
    const char *fail;  // SETUP_TEST_FAIL
    int bpp;
    bool made;         // the backdrop bitmap exists all the same
};

void PrintTo(const BuildFailure &c, std::ostream *os) { *os << c.fail << " at " << c.bpp; }

class BackdropFailure : public ::testing::TestWithParam<BuildFailure> {};

TEST_P(BackdropFailure, StopsCleanlyAndTheWizardGoesOn)
{
    const BuildFailure c = GetParam();
    TempMachine m(Screen(640, 480, c.bpp));
    ASSERT_TRUE(m.Ready());
    WriteDesktop(m, 640, 480);
    m.SetEnv("SETUP_TEST_FAIL", c.fail);
    auto result = RunScenario([c] {
        HWND page = automation::WaitDialog("IDD_AGREEMENT");
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(g_setup.backdropBitmap != nullptr, c.made);
        EXPECT_EQ(g_setup.backdropPalette, nullptr);
        uint32_t first = automation::Pixel(0, 0);
        int uniform = 0, total = 0;
        for (int y = 0; y < 45; y += 3)
            for (int x = 0; x < 640; x += 3, total++)
                uniform += automation::Pixel(x, y) == first;
        if (c.made) {
            // The desktop shows, not darkened, with the title drawn on it.
            EXPECT_LT(uniform, total);
            for (int x = 0; x < 640; x++)
                EXPECT_NE(automation::Pixel(x, 0), 0u) << x << ",0";
        } else {
            // No checkerboard and no title: the top rows are one colour.
            EXPECT_EQ(uniform, total);
        }
        CancelFromLicencePage();
        AnswerCancelMessage();
    });
    EXPECT_SCENARIO_OK(result, 0);
}

INSTANTIATE_TEST_SUITE_P(Allocations, BackdropFailure,
                         ::testing::Values(BuildFailure{"CreateDCA@1", 32, false},
                                           BuildFailure{"CreateCompatibleBitmap@1", 32, false},
                                           BuildFailure{"GlobalAlloc@1", 32, false},
                                           BuildFailure{"VirtualAlloc@1", 32, false},
                                           BuildFailure{"GlobalAlloc@2", 8, true}),
                         [](const ::testing::TestParamInfo<BuildFailure> &info) {
                             std::string name;
                             for (const char *p = info.param.fail; *p; p++)
                                 if (isalnum((unsigned char)*p))
                                     name += *p;
                             return name + "At" + std::to_string(info.param.bpp);
                         });

} // namespace
