/*
 * The headless screen: the framebuffer lives in memory and nobody looks at
 * it except the tests and the screenshots.  No input ever comes from here,
 * so Pump says so at once, and a beep is only logged (by MessageBeep).
 *
 * The desktop is the machine folder's desktop.bmp when there is one: an
 * uncompressed BMP (8 or 24 bits, or any other depth the DIB reader takes),
 * stretched to the screen size with the nearest pixel, the way a stretched
 * wallpaper shows.  A file that cannot be read falls back to the built-in
 * picture with a note on stderr.  The built-in picture is a classic teal
 * desktop with a column of icons and a grey taskbar with a Start button, so
 * that anything drawn over it, dimmed or not, is easy to tell apart.
 */
#include "gdi/gdi.h"

#include <stdio.h>

namespace layer {

namespace {

class HeadlessBackend : public ScreenBackend {
public:
    void Present(const RECT &) override {}
    bool Pump(int) override { return false; }
    const char *Name() const override { return "headless"; }
};

} // namespace

static void Box(Surface &s, int x0, int y0, int x1, int y1, uint32_t color)
{
    if (x0 < 0) x0 = 0;
    if (y0 < 0) y0 = 0;
    if (x1 > s.width) x1 = s.width;
    if (y1 > s.height) y1 = s.height;
    for (int y = y0; y < y1; y++)
        for (int x = x0; x < x1; x++)
            s.Row(y)[x] = color;
}

/* A raised button-like box: white and grey bevels round a face. */
static void Raised(Surface &s, int x0, int y0, int x1, int y1, uint32_t face)
{
    Box(s, x0, y0, x1, y1, 0x000000);
    Box(s, x0, y0, x1 - 1, y1 - 1, 0xFFFFFF);
    Box(s, x0 + 1, y0 + 1, x1 - 1, y1 - 1, 0x808080);
    Box(s, x0 + 1, y0 + 1, x1 - 2, y1 - 2, face);
}

static void Computer(Surface &s, int x, int y)
{
    Raised(s, x + 2, y, x + 30, y + 22, 0xC0C0C0);
    Box(s, x + 5, y + 3, x + 27, y + 18, 0x000080);
    Box(s, x + 7, y + 5, x + 13, y + 8, 0x00FFFF);
    Box(s, x + 10, y + 22, x + 22, y + 25, 0x808080);
    Raised(s, x, y + 25, x + 32, y + 32, 0xC0C0C0);
}

static void Folder(Surface &s, int x, int y)
{
    Box(s, x + 1, y + 4, x + 13, y + 9, 0x808000);
    Box(s, x + 1, y + 8, x + 31, y + 28, 0x808000);
    Box(s, x + 2, y + 9, x + 30, y + 27, 0xFFFF80);
    Box(s, x + 2, y + 5, x + 12, y + 9, 0xFFFF80);
}

static void Bin(Surface &s, int x, int y)
{
    Box(s, x + 6, y + 2, x + 26, y + 6, 0x404040);
    Box(s, x + 8, y + 6, x + 24, y + 31, 0x404040);
    Box(s, x + 9, y + 7, x + 23, y + 30, 0xC0C0C0);
    for (int i = 0; i < 3; i++)
        Box(s, x + 11 + i * 4, y + 9, x + 13 + i * 4, y + 28, 0x808080);
}

/* A label under an icon: a white bar where the name would be. */
static void Label(Surface &s, int x, int y, int width)
{
    Box(s, x + 16 - width / 2, y + 36, x + 16 + width / 2, y + 42, 0xE0E0E0);
}

static void DrawDefaultDesktop(Surface &s)
{
    Box(s, 0, 0, s.width, s.height, 0x008080);
    int x = 16, y = 12;
    Computer(s, x, y);
    Label(s, x, y, 40);
    Folder(s, x, y + 64);
    Label(s, x, y + 64, 30);
    Bin(s, x, y + 128);
    Label(s, x, y + 128, 36);
    if (s.height >= 120) {
        int top = s.height - 28;
        Box(s, 0, top, s.width, s.height, 0xC0C0C0);
        Box(s, 0, top + 1, s.width, top + 2, 0xFFFFFF);
        Raised(s, 2, top + 4, 56, top + 26, 0xC0C0C0);
        Box(s, 7, top + 9, 12, top + 14, 0xFF0000);
        Box(s, 13, top + 9, 18, top + 14, 0x00C000);
        Box(s, 7, top + 15, 12, top + 20, 0x0000FF);
        Box(s, 13, top + 15, 18, top + 20, 0xFFFF00);
        Box(s, 22, top + 13, 50, top + 17, 0x000000);
    }
}

/* Reads the whole file, up to a limit that no sane wallpaper reaches. */
static bool ReadFile(const std::string &path, std::vector<uint8_t> &data, bool &missing)
{
    FILE *f = fopen(path.c_str(), "rb");
    missing = !f;
    if (!f)
        return false;
    const size_t limit = 256u << 20;
    uint8_t chunk[65536];
    size_t n;
    bool ok = true;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) {
        if (data.size() + n > limit) {
            ok = false;
            break;
        }
        data.insert(data.end(), chunk, chunk + n);
    }
    if (ferror(f))
        ok = false;
    fclose(f);
    return ok;
}

static bool LoadDesktop(const std::string &path, Surface &fb, std::string &why)
{
    std::vector<uint8_t> data;
    bool missing = false;
    if (!ReadFile(path, data, missing)) {
        why = missing ? "" : "cannot be read";
        return false;
    }
    if (data.size() < 14 || data[0] != 'B' || data[1] != 'M') {
        why = "is not a BMP file";
        return false;
    }
    uint32_t offBits = data[10] | (data[11] << 8) | (data[12] << 16) | ((uint32_t)data[13] << 24);
    if (offBits < 14 || offBits > data.size()) {
        why = "has a bad pixel offset";
        return false;
    }
    Surface picture;
    if (!DecodePackedDib(data.data() + 14, data.size() - 14, picture, nullptr, offBits - 14)) {
        why = "is broken or in a format other than an uncompressed BMP";
        return false;
    }
    for (int y = 0; y < fb.height; y++) {
        int sy = (int)((int64_t)y * picture.height / fb.height);
        for (int x = 0; x < fb.width; x++)
            fb.Row(y)[x] = picture.Row(sy)[(int64_t)x * picture.width / fb.width];
    }
    return true;
}

ScreenBackend *CreateHeadlessBackend(Screen &screen, std::string &error)
{
    if (screen.width <= 0 || screen.height <= 0) {
        screen.width = 640;
        screen.height = 480;
    }
    if (!screen.framebuffer.Resize(screen.width, screen.height)) {
        error = "no memory for a " + std::to_string(screen.width) + "x" +
                std::to_string(screen.height) + " screen";
        return nullptr;
    }
    const std::string &root = GetMachine().root;
    std::string path = root + "/desktop.bmp";
    std::string why;
    if (root.empty() || !LoadDesktop(path, screen.framebuffer, why)) {
        if (!why.empty())
            fprintf(stderr, "nobra-setup: %s %s; using the built-in desktop\n", path.c_str(), why.c_str());
        DrawDefaultDesktop(screen.framebuffer);
    }
    return new HeadlessBackend;
}

} // namespace layer
