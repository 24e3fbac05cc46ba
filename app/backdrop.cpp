/*
 * The desktop backdrop: a still, darkened picture of the screen as it
 * looked at start-up, with the title "Nobra - Setup" in the top-left
 * corner, painted by the full-screen main window.
 *
 * The build runs once, from the main window's WM_CREATE.  It copies the
 * screen into a bitmap compatible with the display, reads that bitmap back
 * as a bottom-up device-independent image (24 bits, or 8 bits with a colour
 * table on palette displays), blacks every second pixel in a checkerboard
 * directly in that buffer, and writes the pixels back.  On palette displays
 * the picture is not darkened; a 256-entry palette made from the captured
 * colour table is realised on every paint instead.  The title is then drawn
 * twice into the bitmap, a dark pass and a light one offset by 3 pixels.
 *
 * What the build makes it keeps until the process ends.  When a step it
 * cannot do without fails (the display context, the bitmap, the info block
 * or the pixel buffer), it gives back what it made and returns null, and
 * the main window paints nothing.  Only the palette is optional.
 */
#include "setup.h"

#include <string.h>

enum { InfoBlockSize = 1064, PaletteBlockSize = 1032 };

HFONT CreateLogicalFont(LONG weight, LONG width, LONG height, BYTE charSet, const char *face)
{
    LOGFONTA font;

    font.lfHeight = height;
    font.lfWidth = width;
    font.lfEscapement = 0;
    font.lfOrientation = 0;
    font.lfWeight = weight;
    font.lfItalic = 0;
    font.lfUnderline = 0;
    font.lfStrikeOut = 0;
    font.lfCharSet = charSet;
    font.lfOutPrecision = OUT_STROKE_PRECIS;
    font.lfClipPrecision = CLIP_STROKE_PRECIS;
    font.lfQuality = DRAFT_QUALITY;
    font.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    memset(font.lfFaceName, 0, sizeof(font.lfFaceName));
    if (face)
        lstrcpynA(font.lfFaceName, face, LF_FACESIZE);
    return CreateFontIndirectA(&font);
}

/* Blacks every second pixel of a 24-bit bottom-up image, shifted by one on odd rows. */
static void DarkenPixels(const BITMAPINFOHEADER *header, BYTE *bits)
{
    DWORD stride;

    if (header->biWidth <= 0 || header->biHeight <= 0)
        return;
    stride = header->biSizeImage / (DWORD)header->biHeight;
    /* A row shorter than its pixels would make the walk leave the buffer. */
    if (stride < 3 * (DWORD)header->biWidth)
        return;
    for (LONG row = 0; row < header->biHeight; row++) {
        BYTE *line = bits + (SIZE_T)row * stride;
        for (LONG x = row & 1; x < header->biWidth; x += 2) {
            line[3 * x] = 0;
            line[3 * x + 1] = 0;
            line[3 * x + 2] = 0;
        }
    }
}

/* Makes backdropPalette from the captured colour table; without memory there is none. */
static void BuildBackdropPalette(const BITMAPINFO *info)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, PaletteBlockSize);
    LOGPALETTE *palette;

    if (!block)
        return;
    palette = (LOGPALETTE *)GlobalLock(block);
    if (palette) {
        const RGBQUAD *colors = info->bmiColors;
        PALETTEENTRY *entries = palette->palPalEntry;

        palette->palVersion = 0x300;
        palette->palNumEntries = 256;
        for (int i = 0; i < 256; i++) {
            entries[i].peRed = colors[i].rgbRed;
            entries[i].peGreen = colors[i].rgbGreen;
            entries[i].peBlue = colors[i].rgbBlue;
            entries[i].peFlags = PC_NOCOLLAPSE;
        }
        g_setup.backdropPalette = CreatePalette(palette);
        GlobalUnlock(block);
    }
    GlobalFree(block);
}

/* Draws the title twice into the bitmap, through a context compatible with the window. */
static void DrawBackdropTitle(HWND window, HBITMAP bitmap)
{
    HDC windowDC = GetDC(window);
    HDC dc = windowDC ? CreateCompatibleDC(windowDC) : NULL;
    HPALETTE oldPalette = NULL;
    HGDIOBJ oldBitmap, oldFont = NULL;
    int length = lstrlenA(SetupTitle);

    if (dc) {
        if (g_setup.backdropPalette)
            oldPalette = SelectPalette(dc, g_setup.backdropPalette, FALSE);
        oldBitmap = SelectObject(dc, bitmap);
        if (g_setup.titleFont)
            oldFont = SelectObject(dc, g_setup.titleFont);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(32, 0, 64));
        TextOutA(dc, 10, 10, SetupTitle, length);
        SetTextColor(dc, PALETTERGB(64, 160, 255));
        TextOutA(dc, 13, 13, SetupTitle, length);

        if (oldFont)
            SelectObject(dc, oldFont);
        if (oldPalette)
            SelectPalette(dc, oldPalette, FALSE);
        if (oldBitmap)
            SelectObject(dc, oldBitmap);
        DeleteDC(dc);
    }
    if (windowDC)
        ReleaseDC(window, windowDC);
}

HBITMAP BuildBackdrop(HWND window)
{
    HDC display, memory;
    HBITMAP bitmap;
    HGDIOBJ previous;
    BITMAPINFO *info;
    BITMAPINFOHEADER *header;
    BITMAP object;
    BYTE *bits;
    UINT lines;

    display = CreateDCA("DISPLAY", NULL, NULL, NULL);
    if (!display)
        return NULL;
    memory = CreateCompatibleDC(display);
    if (!memory)
        goto noMemoryDC;
    bitmap = CreateCompatibleBitmap(display, g_setup.screenWidth, g_setup.screenHeight);
    if (!bitmap)
        goto noBitmap;
    previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, g_setup.screenWidth, g_setup.screenHeight, display, 0, 0, SRCCOPY);
    if (previous)
        SelectObject(memory, previous);

    g_setup.backdropInfo = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, InfoBlockSize);
    if (!g_setup.backdropInfo)
        goto noInfo;
    info = (BITMAPINFO *)GlobalLock(g_setup.backdropInfo);
    if (!info)
        goto noInfoLock;

    memset(&object, 0, sizeof(object));
    GetObjectA(bitmap, sizeof(BITMAP), &object);
    header = &info->bmiHeader;
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = object.bmWidth;
    header->biHeight = object.bmHeight;
    header->biPlanes = 1;
    header->biBitCount = g_setup.screenBpp <= 8 ? 8 : 24;
    header->biCompression = BI_RGB;
    header->biSizeImage =
        ((((DWORD)header->biBitCount * (DWORD)header->biWidth + 31) & ~31u) / 8) *
        (DWORD)header->biHeight;
    header->biXPelsPerMeter = 0;
    header->biYPelsPerMeter = 0;
    header->biClrUsed = 256;
    header->biClrImportant = 0;
    lines = (UINT)header->biHeight;

    /* Without a buffer the call only fills the colour table and the image size. */
    GetDIBits(display, bitmap, 0, lines, NULL, info, DIB_RGB_COLORS);
    bits = (BYTE *)VirtualAlloc(NULL, (SIZE_T)header->biSizeImage + 3, MEM_COMMIT,
                                PAGE_READWRITE);
    if (!bits)
        goto noBits;
    g_setup.backdropBits = bits;

    /* A capture that cannot be read back is kept as it is rather than overwritten
     * with an empty buffer. */
    if (GetDIBits(display, bitmap, 0, lines, bits, info, DIB_RGB_COLORS)) {
        if (header->biBitCount == 24)
            DarkenPixels(header, bits);
        else
            BuildBackdropPalette(info);
        SetDIBits(display, bitmap, 0, lines, bits, info, DIB_RGB_COLORS);
    } else if (header->biBitCount != 24) {
        BuildBackdropPalette(info);
    }

    GlobalUnlock(g_setup.backdropInfo);
    DeleteDC(memory);
    DeleteDC(display);
    DrawBackdropTitle(window, bitmap);
    return bitmap;

noBits:
    GlobalUnlock(g_setup.backdropInfo);
noInfoLock:
    GlobalFree(g_setup.backdropInfo);
    g_setup.backdropInfo = NULL;
noInfo:
    DeleteObject(bitmap);
noBitmap:
    DeleteDC(memory);
noMemoryDC:
    DeleteDC(display);
    return NULL;
}

LRESULT PaintBackdrop(HDC dc)
{
    HDC memory = CreateCompatibleDC(dc);
    HPALETTE oldPalette = NULL, oldMemoryPalette = NULL;
    HGDIOBJ oldBitmap;

    if (!memory)
        return 0;
    if (g_setup.backdropPalette) {
        oldPalette = SelectPalette(dc, g_setup.backdropPalette, FALSE);
        RealizePalette(dc);
        oldMemoryPalette = SelectPalette(memory, g_setup.backdropPalette, FALSE);
    }
    oldBitmap = SelectObject(memory, g_setup.backdropBitmap);
    BitBlt(dc, 0, 0, g_setup.screenWidth, g_setup.screenHeight, memory, 0, 0, SRCCOPY);

    if (oldMemoryPalette)
        SelectPalette(memory, oldMemoryPalette, FALSE);
    if (oldPalette)
        SelectPalette(dc, oldPalette, FALSE);
    if (oldBitmap)
        SelectObject(memory, oldBitmap);
    DeleteDC(memory);
    return 0;
}
