/*
 * The layer's private contract: the records and helpers that its
 * subsystems share.  Nothing outside platform/ includes this file; the
 * installer sees only platform/include/.
 *
 * Start reading at the four records that everything else hangs on:
 *   Surface  - a rectangle of 32-bit 0x00RRGGBB pixels (the screen, a bitmap)
 *   Region   - a set of disjoint rectangles, the clip of a device context
 *   DC       - a device context: a surface, an origin, a clip and the
 *              selected objects, the way the platform's painter carries them
 *   Window   - one window of the window manager
 * and at the Screen, which owns the framebuffer and its backend (headless
 * or X11).  Input flows backend -> Input* functions -> message queue.
 */
#ifndef NOBRA_LAYER_H
#define NOBRA_LAYER_H

#include <windows.h>
#include <commctrl.h>

#include <stdint.h>
#include <new>
#include <string>
#include <vector>

namespace layer {

/* An impossible state inside the layer: report file and line, then abort. */
[[noreturn]] void Abort(const char *file, int line, const char *what);
#define LAYER_CHECK(cond) ((cond) ? (void)0 : ::layer::Abort(__FILE__, __LINE__, #cond))

/* ---- kernel: the machine ------------------------------------------------ */

struct Drive {
    char letter = 'C';          /* as machine.ini writes it; may be lower case */
    std::string hostDir;        /* absolute host folder */
    bool hasFreeFigure = false; /* machine.ini gives a free-space figure */
    uint64_t freeBytes = 0;
};

struct Machine {
    std::string root;           /* the machine folder (SETUP_MACHINE) */
    std::vector<Drive> drives;  /* in machine.ini order */
    std::string windowsDir;     /* e.g. C:\WINDOWS */
    std::string tempDir;        /* e.g. C:\WINDOWS\TEMP */
    std::string currentDir;     /* the process's current directory, e.g. C:\ */
    std::string screenBackend;  /* auto, headless or x11 */
    int screenWidth = 0;        /* 0: the host screen's under X11, 640 headless */
    int screenHeight = 0;
    int screenBpp = 32;
};

/* Reads SETUP_MACHINE, creates the folder and machine.ini with defaults when
 * missing, loads the settings.  Returns false with a message on stderr when
 * the folder cannot be made or the settings cannot be read. */
bool MachineInit();
Machine &GetMachine();

/* Translates a Windows path (absolute "C:\x", drive-relative "C:x", rooted
 * "\x" or relative to the current directory) to a host path.  Existing
 * components are matched case-insensitively, new ones keep their case.
 * Fails (false, last error set) for paths that leave the drives or name no
 * drive of the machine.  fullWin receives the normalised Windows path. */
bool TranslatePath(const char *winPath, std::string &host, std::string *fullWin = nullptr);

/* Failure injection for tests: SETUP_TEST_FAIL="Name[@n],Name[@n]" makes the
 * named call fail (every time, or only on its n-th call, counting from 1).
 * Names are the API names: CreateDCA, CreateCompatibleBitmap, GlobalAlloc,
 * VirtualAlloc, ...  Returns true when the call must fail now. */
bool FailPoint(const char *name);

/* The compiled resources (.res format) linked into the executable. */
struct ResourceData {
    const void *data = nullptr;
    DWORD size = 0;
};
/* Finds a resource by type and name (integer or string, as the API takes
 * them); false when absent. */
bool FindResourceData(LPCSTR type, LPCSTR name, ResourceData &out);
HINSTANCE ModuleInstance();

/* Windows-1252 to Unicode code point, and back (0 when not representable). */
uint32_t Cp1252ToUnicode(unsigned char c);
unsigned char UnicodeToCp1252(uint32_t cp);

/* ---- gdi: surfaces, regions, device contexts ---------------------------- */

/* Pixel memory: large surfaces are mapped straight from the system, zeroed
 * and backed by huge pages where the host offers them, so that making a
 * screen-sized bitmap costs a few page faults rather than thousands and no
 * second pass of zeroing.  Elements are left as the memory comes (zero). */
void *AllocatePixels(size_t bytes);
/* Anonymous zeroed memory; from 2 MiB up it starts on a 2 MiB boundary and
 * asks for huge pages, so the system can back it with few, large pages.
 * munmap(p, MappedLength(bytes)) frees it.  Null when the memory cannot be had. */
void *MapAligned(size_t bytes, int protection);
size_t MappedLength(size_t bytes);
void FreePixels(void *p, size_t bytes);
template <class T> struct PixelAllocator {
    typedef T value_type;
    PixelAllocator() = default;
    template <class U> PixelAllocator(const PixelAllocator<U> &) {}
    T *allocate(size_t n)
    {
        void *p = AllocatePixels(n * sizeof(T));
        if (!p)
            throw std::bad_alloc();
        return static_cast<T *>(p);
    }
    void deallocate(T *p, size_t n) { FreePixels(p, n * sizeof(T)); }
    template <class U> void construct(U *) {}
    template <class U, class... Args> void construct(U *p, Args &&...args) { ::new ((void *)p) U(args...); }
    template <class U> bool operator==(const PixelAllocator<U> &) const { return true; }
    template <class U> bool operator!=(const PixelAllocator<U> &) const { return false; }
};
typedef std::vector<uint32_t, PixelAllocator<uint32_t>> PixelVector;

struct Surface {
    int width = 0;
    int height = 0;
    PixelVector pixels; /* row-major, top row first, 0x00RRGGBB */
    bool Resize(int w, int h);    /* false when the memory cannot be had */
    uint32_t *Row(int y) { return pixels.data() + (size_t)y * width; }
};

struct Region {
    std::vector<RECT> rects; /* disjoint, non-empty */
    void Clear() { rects.clear(); }
    void SetRect(const RECT &r);
    void IntersectRect(const RECT &r);
    void Intersect(const Region &other);
    void SubtractRect(const RECT &r);
    void UnionRect(const RECT &r);
    void Offset(int dx, int dy);
    bool Empty() const { return rects.empty(); }
    bool Contains(int x, int y) const;
    RECT Bounds() const;
};

enum GdiKind { GDI_PEN = OBJ_PEN, GDI_BRUSH = OBJ_BRUSH, GDI_PALETTE = OBJ_PAL, GDI_FONT = OBJ_FONT,
               GDI_BITMAP = OBJ_BITMAP, GDI_REGION = OBJ_REGION };

struct GdiObject {
    uint32_t magic;   /* kGdiMagic while alive */
    int kind;         /* GdiKind */
    bool stock = false;
    int selections = 0; /* device contexts that hold it selected */
    /* Every object enters the table of live objects when it is made and
     * leaves it when it is destroyed, so that GdiLookup can check a handle
     * without reading freed memory (defined in gdi/dc.cpp). */
    GdiObject();
    GdiObject(const GdiObject &other);
    virtual ~GdiObject();
};
constexpr uint32_t kGdiMagic = 0x4f494447; /* "GDIO" */

struct BitmapObj : GdiObject {
    Surface surface;
    int bitsPixel = 32; /* as GetObjectA reports it: the screen's depth for compatible bitmaps */
    int planes = 1;
};
struct BrushObj : GdiObject {
    bool hollow = false;
    COLORREF color = 0;
    int sysColor = -1; /* GetSysColorBrush(index) */
};
struct PenObj : GdiObject {
    int style = PS_SOLID;
    int width = 1;
    COLORREF color = 0;
};
struct FontObj : GdiObject {
    LOGFONTA logfont;
    void *face = nullptr; /* the font module's rendered face */
};
struct PaletteObj : GdiObject {
    std::vector<PALETTEENTRY> entries;
};
struct RegionObj : GdiObject {
    Region region;
};

/* Looks up a live object of the given kind (0: any); null otherwise. */
GdiObject *GdiLookup(HGDIOBJ handle, int kind = 0);

enum DCKind { DC_DISPLAY, DC_WINDOW, DC_MEMORY };

struct DC {
    uint32_t magic;           /* kDCMagic while alive */
    DCKind kind = DC_MEMORY;
    HWND window = nullptr;    /* DC_WINDOW: the window it paints */
    bool paint = false;       /* made by BeginPaint */
    Surface *surface = nullptr; /* the screen's framebuffer, or the selected bitmap's */
    POINT origin = {0, 0};    /* device position of logical (0, 0): the client origin */
    Region system;            /* device coordinates: the visible region (screen DCs) */
    bool hasUserClip = false;
    Region user;              /* device coordinates: SelectClipRgn and friends */
    BitmapObj *bitmap = nullptr;   /* memory DCs: the selected bitmap */
    BitmapObj *stockBitmap = nullptr; /* the 1x1 bitmap a memory DC starts with */
    BrushObj *brush = nullptr;
    PenObj *pen = nullptr;
    FontObj *font = nullptr;
    PaletteObj *palette = nullptr;
    COLORREF textColor = 0x000000;
    COLORREF bkColor = 0xFFFFFF;
    int bkMode = OPAQUE;
    UINT textAlign = TA_LEFT | TA_TOP;
    int rop2 = R2_COPYPEN;
    POINT position = {0, 0};
    POINT viewport = {0, 0};
    int bitsPixel = 32;       /* what GetDeviceCaps(BITSPIXEL) reports */
};
constexpr uint32_t kDCMagic = 0x5f434440; /* "@DC_" */

DC *DCLookup(HDC dc);
/* Makes a device context on the screen for a window: origin is the device
 * position of the window's client (or window) origin, visible the region in
 * device coordinates that it may touch.  Used by GetDC, GetWindowDC and
 * BeginPaint. */
HDC CreateScreenDC(HWND window, POINT origin, const Region &visible);
void DestroyScreenDC(HDC dc);
/* The effective clip of a DC in device coordinates. */
Region EffectiveClip(DC *dc);
/* Resolves a COLORREF (plain, PALETTEINDEX or PALETTERGB) for a DC. */
uint32_t ResolveColor(DC *dc, COLORREF color);

/* Icons and cursors: a colour image with a transparency mask. */
struct IconObj {
    uint32_t magic;       /* kIconMagic */
    int width = 0, height = 0;
    std::vector<uint32_t> color; /* 0x00RRGGBB */
    std::vector<uint8_t> opaque; /* 1 where the mask lets the colour through */
    bool cursor = false;
    bool shared = true;   /* loaded from resources or the system: never freed */
};
constexpr uint32_t kIconMagic = 0x4e4f4349; /* "ICON" */
IconObj *IconLookup(HICON icon);
/* Draws an icon's opaque pixels at device position (x, y) through a DC's clip. */
void DrawIconPixels(DC *dc, const IconObj *icon, int x, int y, int cx, int cy);

/* System colours of the classic look. */
uint32_t SysColorPixel(int index);

/* The fonts the window manager draws with. */
HFONT SystemFont(); /* "MS Sans Serif" 8 pt: dialogs, captions, controls */
/* Frees a font object that DeleteObject was asked to delete (gdi/font.cpp). */
void FontRelease(FontObj *font);

/* ---- display: the screen ------------------------------------------------ */

class ScreenBackend {
public:
    virtual ~ScreenBackend() {}
    /* Shows the framebuffer's area r (device coordinates). */
    virtual void Present(const RECT &r) = 0;
    /* Waits up to timeoutMs (-1: no limit) for host events and feeds them to
     * the Input* functions.  Returns false when no event can ever come (the
     * headless screen), so that a program waiting for input is a fault. */
    virtual bool Pump(int timeoutMs) = 0;
    virtual void Beep() {}
    virtual bool ClipboardText(std::string &text) { (void)text; return false; }
    virtual void SetClipboardText(const std::string &text) { (void)text; }
    /* Opens a host folder for a person to see (xdg-open); false when this
     * screen shows nothing to a person. */
    virtual bool OpenFolder(const std::string &hostPath) { (void)hostPath; return false; }
    virtual const char *Name() const = 0;
};

struct Screen {
    int width = 0, height = 0, bpp = 32;
    Surface framebuffer;
    /* At 8 bits per pixel: the system palette, 256 entries. */
    PALETTEENTRY palette[256];
    int realizeCount = 0;           /* RealizePalette calls that reached the screen */
    ScreenBackend *backend = nullptr;
    RECT damage = {0, 0, 0, 0};     /* drawn but not yet presented */
};

/* Creates the screen from the machine's settings (backend, size, depth);
 * the desktop picture fills the framebuffer.  False with a message on
 * stderr when the requested backend cannot start. */
bool ScreenInit();
Screen &GetScreen();
/* Marks a framebuffer area as drawn. */
void ScreenDamage(const RECT &r);
/* Presents what was drawn since the last flush. */
void ScreenFlush();
/* Maps a colour to the nearest entry of the system palette (8 bits). */
int NearestSystemIndex(uint32_t rgb);
/* The backends.  Each sizes screen.framebuffer and fills it with the
 * desktop; null with a message in error when it cannot start. */
ScreenBackend *CreateHeadlessBackend(Screen &screen, std::string &error);
ScreenBackend *CreateX11Backend(Screen &screen, std::string &error); /* display/x11.cpp */
/* Writes a surface as an RGB PNG file at a host path (automation/png.cpp). */
bool WritePng(const char *path, const Surface &surface);

/* ---- user: input into the window manager -------------------------------- */

/* Mouse and keyboard events from a backend or the automation driver, in
 * screen coordinates.  button: 0 left, 1 right, 2 middle.  vk is a virtual
 * key; ch the Windows-1252 character the key types (0 for none). */
void InputMouseMove(int x, int y);
void InputMouseButton(int button, bool down, int x, int y);
void InputWheel(int delta, int x, int y);
void InputKey(UINT vk, bool down, unsigned char ch);
/* True while messages, input or paints are waiting. */
bool QueueBusy();

/* ---- automation hooks --------------------------------------------------- */

/* Called by the message loop when the program would wait for input.  Returns
 * true when a driver ran and may have queued input; false when none runs. */
bool AutomationIdle();
/* The log of what the program showed. */
void LogMessageBox(HWND box, const char *caption, const char *text, UINT type);
void LogMessageBoxAnswer(HWND box, int answer);
void LogBeep(UINT type);
void LogShellOpen(const char *verb, const char *file, const char *hostPath, int result);
/* DialogBoxParamA and CreateDialogParamA record the template name of each
 * dialog they make, so that a driver can find it by that name. */
void NoteDialogTemplate(HWND dialog, LPCSTR templateName);

} // namespace layer

#endif
