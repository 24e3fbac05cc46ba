// A small headless screen for the GDI tests: a fresh machine folder whose
// machine.ini asks for the size and depth, the screen started from it, and
// helpers to read and paint framebuffer pixels directly.
#ifndef NOBRA_GDI_SCREEN_FIXTURE_H
#define NOBRA_GDI_SCREEN_FIXTURE_H

#include "gdi/gdi.h"
#include "machine.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

class ScreenTest : public ::testing::Test {
protected:
    void StartScreen(int bpp = 32, int width = 64, int height = 48)
    {
        machine_.reset();
        machine_.reset(new TempMachine({{"screen", "backend", "headless"},
                                        {"screen", "width", std::to_string(width)},
                                        {"screen", "height", std::to_string(height)},
                                        {"screen", "bpp", std::to_string(bpp)}}));
        ASSERT_TRUE(machine_->Ready());
        ASSERT_TRUE(layer::ScreenInit());
        ASSERT_EQ(layer::GetScreen().width, width);
        ASSERT_EQ(layer::GetScreen().bpp, bpp);
    }
    void SetUp() override { StartScreen(); }

    static uint32_t Px(int x, int y) { return layer::GetScreen().framebuffer.Row(y)[x]; }
    static void Fill(uint32_t color)
    {
        auto &p = layer::GetScreen().framebuffer.pixels;
        std::fill(p.begin(), p.end(), color);
    }
    /* A window DC whose client origin is at origin and that may draw on visible. */
    static HDC WindowDC(POINT origin, const RECT &visible)
    {
        layer::Region r;
        r.SetRect(visible);
        return layer::CreateScreenDC(reinterpret_cast<HWND>(1), origin, r);
    }
    /* A memory DC holding a fresh 32-bit bitmap of w x h filled with color. */
    static HDC MemoryDC(int w, int h, uint32_t color, HBITMAP *bitmap = nullptr)
    {
        HDC dc = CreateCompatibleDC(nullptr);
        HBITMAP b = CreateBitmap(w, h, 1, 32, nullptr);
        SelectObject(dc, b);
        auto *obj = static_cast<layer::BitmapObj *>(layer::GdiLookup(b, layer::GDI_BITMAP));
        std::fill(obj->surface.pixels.begin(), obj->surface.pixels.end(), color);
        if (bitmap)
            *bitmap = b;
        return dc;
    }
    static uint32_t BitmapPx(HBITMAP b, int x, int y)
    {
        auto *obj = static_cast<layer::BitmapObj *>(layer::GdiLookup(b, layer::GDI_BITMAP));
        return obj->surface.Row(y)[x];
    }

    std::unique_ptr<TempMachine> machine_;
};

#endif
