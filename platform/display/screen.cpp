/*
 * The screen: one 32-bit framebuffer, the backend that shows it, and the
 * system palette that an 8-bit screen reports.
 *
 * ScreenInit reads the machine's settings and starts a backend: headless
 * when asked, or when the backend is "auto" and no DISPLAY is set; X11
 * otherwise.  A backend sizes the framebuffer and paints the desktop into
 * it.  An X11 screen that cannot start is an error, also under "auto": a
 * program that nobody can see would wait for input forever.
 *
 * Drawing marks what it touched with ScreenDamage; ScreenFlush hands the
 * bounding rectangle of it to the backend and starts over.
 *
 * The system palette is always filled, whatever the depth, because GetDIBits
 * at 8 bits reports it as the colour table: the twenty static colours at 0-9
 * and 246-255, between them a 6x6x6 colour cube (slots 10-225, levels
 * 0x00, 0x33, ... 0xFF) and a ramp of twenty greys (slots 226-245).
 */
#include "gdi/gdi.h"

#include <stdio.h>
#include <stdlib.h>

namespace layer {

static Screen screen;

Screen &GetScreen() { return screen; }

static void InitSystemPalette(Screen &s)
{
    PALETTEENTRY def[20];
    PaletteObj *statics = DefaultPalette();
    for (int i = 0; i < 20; i++)
        def[i] = statics->entries[i];
    for (int i = 0; i < 10; i++) {
        s.palette[i] = def[i];
        s.palette[246 + i] = def[10 + i];
    }
    for (int r = 0; r < 6; r++)
        for (int g = 0; g < 6; g++)
            for (int b = 0; b < 6; b++)
                s.palette[10 + r * 36 + g * 6 + b] =
                    PALETTEENTRY{(BYTE)(r * 0x33), (BYTE)(g * 0x33), (BYTE)(b * 0x33), 0};
    for (int i = 0; i < 20; i++) {
        BYTE v = (BYTE)((i + 1) * 255 / 21);
        s.palette[226 + i] = PALETTEENTRY{v, v, v, 0};
    }
}

bool ScreenInit()
{
    const Machine &m = GetMachine();
    delete screen.backend;
    screen.backend = nullptr;
    screen.bpp = m.screenBpp;
    if (screen.bpp != 8 && screen.bpp != 16 && screen.bpp != 24 && screen.bpp != 32) {
        fprintf(stderr, "nobra-setup: screen depth %d is not 8, 16, 24 or 32; using 32\n", screen.bpp);
        screen.bpp = 32;
    }
    screen.width = m.screenWidth;
    screen.height = m.screenHeight;
    screen.realizeCount = 0;
    screen.damage = RECT{0, 0, 0, 0};
    InitSystemPalette(screen);

    std::string kind = m.screenBackend.empty() ? "auto" : m.screenBackend;
    if (kind == "auto") {
        const char *display = getenv("DISPLAY");
        kind = display && *display ? "x11" : "headless";
    }
    std::string error;
    if (kind == "headless") {
        screen.backend = CreateHeadlessBackend(screen, error);
    } else if (kind == "x11") {
        screen.backend = CreateX11Backend(screen, error);
        if (!screen.backend && error.empty())
            error = "the X11 screen did not start";
        if (!screen.backend)
            error += " (SETUP_SCREEN=headless runs without a display)";
    } else {
        error = "unknown screen backend \"" + kind + "\" (auto, headless or x11)";
    }
    if (!screen.backend) {
        fprintf(stderr, "nobra-setup: %s\n", error.c_str());
        return false;
    }
    LAYER_CHECK(screen.framebuffer.width == screen.width && screen.framebuffer.height == screen.height);
    return true;
}

void ScreenDamage(const RECT &r)
{
    RECT c = r;
    if (c.left < 0) c.left = 0;
    if (c.top < 0) c.top = 0;
    if (c.right > screen.width) c.right = screen.width;
    if (c.bottom > screen.height) c.bottom = screen.height;
    if (c.left >= c.right || c.top >= c.bottom)
        return;
    RECT &d = screen.damage;
    if (d.left >= d.right || d.top >= d.bottom) {
        d = c;
        return;
    }
    if (c.left < d.left) d.left = c.left;
    if (c.top < d.top) d.top = c.top;
    if (c.right > d.right) d.right = c.right;
    if (c.bottom > d.bottom) d.bottom = c.bottom;
}

void ScreenFlush()
{
    RECT d = screen.damage;
    if (d.left >= d.right || d.top >= d.bottom)
        return;
    screen.damage = RECT{0, 0, 0, 0};
    if (screen.backend)
        screen.backend->Present(d);
}

int NearestSystemIndex(uint32_t rgb)
{
    int best = 0;
    unsigned bestDistance = ~0u;
    for (int i = 0; i < 256; i++) {
        int dr = screen.palette[i].peRed - (int)((rgb >> 16) & 0xFF);
        int dg = screen.palette[i].peGreen - (int)((rgb >> 8) & 0xFF);
        int db = screen.palette[i].peBlue - (int)(rgb & 0xFF);
        unsigned d = (unsigned)(dr * dr + dg * dg + db * db);
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
            if (!d)
                break;
        }
    }
    return best;
}

} // namespace layer
