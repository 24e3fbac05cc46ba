/*
 * The X11 screen: the framebuffer shown in one window of a real X server.
 *
 * At start the backend connects to $DISPLAY, sizes the screen (the
 * machine's width and height, or the root window's when they are 0) and
 * copies the root window's picture into the framebuffer as the desktop -
 * before its own window maps, so that the desktop is what the person saw.
 * Its window covers the screen: override-redirect when no window manager
 * runs (there is none to place it, nor to give it the keyboard, so the
 * backend takes the focus itself once the window is mapped), or a normal
 * window asking for _NET_WM_STATE_FULLSCREEN when one does.  The window
 * manager is detected through _NET_SUPPORTING_WM_CHECK on the root.  The
 * window manager's close box is ignored: the installer ends through its own
 * buttons.
 *
 * Present puts a framebuffer area into the window with XPutImage and
 * flushes, so that drawing shows at once.  The XImage shares the
 * framebuffer's pixels when the visual is 0x00RRGGBB at 32 bits per pixel,
 * the usual 24- and 32-bit TrueColor case; other TrueColor layouts are
 * converted pixel by pixel into an image of their own.  Visuals other than
 * 24- or 32-bit TrueColor are refused at start.
 *
 * Pump waits with poll() on the connection for up to the timeout, then
 * turns every queued event into layer input: Expose repaints, pointer
 * buttons (4 and 5 are the wheel), motion, keys (X11TranslateKey) and the
 * clipboard protocol.  Key auto-repeat is made detectable, so that a held
 * key repeats its press without releases, as on the platform.
 *
 * Clipboard: ClipboardText asks the CLIPBOARD owner for UTF8_STRING (then
 * STRING) and waits a bounded time for the answer, following the
 * incremental protocol for large transfers; SetClipboardText takes the
 * selection and Pump answers other clients' requests for it.
 */
/* The publishing keysyms (dashes, quotes, ...) carry Windows-1252 characters. */
#define XK_PUBLISHING
#include "display/x11.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <new>
#include <string>
#include <vector>

namespace layer {

/* Virtual keys windows.h does not name: letters and digits are their ASCII
 * upper-case codes; the rest as the platform documents them. */
enum {
    kVkF1 = 0x70,
    kVkNumpad0 = 0x60,
    kVkMultiply = 0x6A,
    kVkAdd = 0x6B,
    kVkSeparator = 0x6C,
    kVkSubtract = 0x6D,
    kVkDecimal = 0x6E,
    kVkDivide = 0x6F,
    kVkOem1 = 0xBA,      /* ;: */
    kVkOemPlus = 0xBB,   /* =+ */
    kVkOemComma = 0xBC,
    kVkOemMinus = 0xBD,
    kVkOemPeriod = 0xBE,
    kVkOem2 = 0xBF,      /* /? */
    kVkOem3 = 0xC0,      /* `~ */
    kVkOem4 = 0xDB,      /* [{ */
    kVkOem5 = 0xDC,      /* \| */
    kVkOem6 = 0xDD,      /* ]} */
    kVkOem7 = 0xDE,      /* '" */
    kVkOem8 = 0xDF,      /* other characters of the layout */
    kVkOem102 = 0xE2,    /* the extra key of 102-key keyboards */
};

/* Keysyms outside Latin-1 whose characters Windows-1252 has. */
static const struct {
    unsigned long keysym;
    uint32_t cp;
} keysymChars[] = {
    {XK_EuroSign, 0x20AC}, {XK_Scaron, 0x0160}, {XK_scaron, 0x0161}, {XK_Zcaron, 0x017D},
    {XK_zcaron, 0x017E}, {XK_OE, 0x0152}, {XK_oe, 0x0153}, {XK_Ydiaeresis, 0x0178},
    {XK_emdash, 0x2014}, {XK_endash, 0x2013}, {XK_ellipsis, 0x2026},
    {XK_leftsinglequotemark, 0x2018}, {XK_rightsinglequotemark, 0x2019},
    {XK_leftdoublequotemark, 0x201C}, {XK_rightdoublequotemark, 0x201D},
    {XK_singlelowquotemark, 0x201A}, {XK_doublelowquotemark, 0x201E}, {XK_dagger, 0x2020},
    {XK_doubledagger, 0x2021}, {XK_permille, 0x2030}, {XK_trademark, 0x2122},
    {XK_enfilledcircbullet, 0x2022},
};

uint32_t X11KeysymToUnicode(unsigned long keysym)
{
    if ((keysym >= 0x20 && keysym <= 0x7E) || (keysym >= 0xA0 && keysym <= 0xFF))
        return (uint32_t)keysym;
    if (keysym >= 0x01000100 && keysym <= 0x0110FFFF)
        return (uint32_t)(keysym - 0x01000000);
    if (keysym >= XK_KP_0 && keysym <= XK_KP_9)
        return (uint32_t)('0' + (keysym - XK_KP_0));
    switch (keysym) {
    case XK_KP_Space: return ' ';
    case XK_KP_Equal: return '=';
    case XK_KP_Multiply: return '*';
    case XK_KP_Add: return '+';
    case XK_KP_Separator: return ',';
    case XK_KP_Subtract: return '-';
    case XK_KP_Decimal: return '.';
    case XK_KP_Divide: return '/';
    }
    for (const auto &k : keysymChars)
        if (k.keysym == keysym)
            return k.cp;
    return 0;
}

/* The virtual key of a keysym; 0 when the layer has none for it. */
static UINT VirtualKey(unsigned long base, unsigned long typed)
{
    if (base >= XK_a && base <= XK_z)
        return (UINT)('A' + (base - XK_a));
    if (base >= XK_A && base <= XK_Z)
        return (UINT)base;
    if (base >= XK_0 && base <= XK_9)
        return (UINT)base;
    if (base >= XK_F1 && base <= XK_F12)
        return (UINT)(kVkF1 + (base - XK_F1));
    /* Keypad keys follow Num Lock, which the typed keysym reflects. */
    if (typed >= XK_KP_0 && typed <= XK_KP_9)
        return (UINT)(kVkNumpad0 + (typed - XK_KP_0));
    switch (typed) {
    case XK_KP_Home: return VK_HOME;
    case XK_KP_End: return VK_END;
    case XK_KP_Left: return VK_LEFT;
    case XK_KP_Up: return VK_UP;
    case XK_KP_Right: return VK_RIGHT;
    case XK_KP_Down: return VK_DOWN;
    case XK_KP_Prior: return VK_PRIOR;
    case XK_KP_Next: return VK_NEXT;
    case XK_KP_Insert: return VK_INSERT;
    case XK_KP_Delete: return VK_DELETE;
    case XK_KP_Decimal: return kVkDecimal;
    case XK_KP_Enter: return VK_RETURN;
    case XK_KP_Multiply: return kVkMultiply;
    case XK_KP_Add: return kVkAdd;
    case XK_KP_Separator: return kVkSeparator;
    case XK_KP_Subtract: return kVkSubtract;
    case XK_KP_Divide: return kVkDivide;
    }
    switch (base) {
    case XK_Return: return VK_RETURN;
    case XK_Escape: return VK_ESCAPE;
    case XK_Tab: case XK_ISO_Left_Tab: return VK_TAB;
    case XK_BackSpace: return VK_BACK;
    case XK_Delete: return VK_DELETE;
    case XK_Insert: return VK_INSERT;
    case XK_Home: return VK_HOME;
    case XK_End: return VK_END;
    case XK_Left: return VK_LEFT;
    case XK_Up: return VK_UP;
    case XK_Right: return VK_RIGHT;
    case XK_Down: return VK_DOWN;
    case XK_Prior: return VK_PRIOR;
    case XK_Next: return VK_NEXT;
    case XK_Shift_L: case XK_Shift_R: return VK_SHIFT;
    case XK_Control_L: case XK_Control_R: return VK_CONTROL;
    case XK_Alt_L: case XK_Alt_R: case XK_Meta_L: case XK_Meta_R: return VK_MENU;
    case XK_space: return VK_SPACE;
    case XK_semicolon: return kVkOem1;
    case XK_equal: return kVkOemPlus;
    case XK_comma: return kVkOemComma;
    case XK_minus: return kVkOemMinus;
    case XK_period: return kVkOemPeriod;
    case XK_slash: return kVkOem2;
    case XK_grave: return kVkOem3;
    case XK_bracketleft: return kVkOem4;
    case XK_backslash: return kVkOem5;
    case XK_bracketright: return kVkOem6;
    case XK_apostrophe: return kVkOem7;
    case XK_less: return kVkOem102;
    }
    return 0;
}

bool X11TranslateKey(XKeyEvent *event, UINT &vk, unsigned char &ch)
{
    char bytes[16];
    KeySym typed = NoSymbol;
    int n = XLookupString(event, bytes, sizeof bytes, &typed, nullptr);
    KeySym base = XLookupKeysym(event, 0);
    if (base == NoSymbol)
        base = typed;
    vk = VirtualKey(base, typed);
    ch = 0;
    if (event->type == KeyPress) {
        switch (typed) {
        case XK_Return: case XK_KP_Enter: ch = '\r'; break;
        case XK_BackSpace: ch = 0x08; break;
        case XK_Tab: case XK_ISO_Left_Tab: ch = '\t'; break;
        case XK_Escape: ch = 0x1B; break;
        default:
            if (n == 1 && (unsigned char)bytes[0] < 0x20)
                ch = (unsigned char)bytes[0]; /* Ctrl+letter: the control character */
            else if (uint32_t cp = X11KeysymToUnicode(typed))
                ch = UnicodeToCp1252(cp);
        }
    }
    if (vk == 0 && ch != 0)
        vk = kVkOem8;
    return vk != 0;
}

static void PutUtf8(std::string &out, uint32_t cp)
{
    if (cp < 0x80) {
        out += (char)cp;
    } else if (cp < 0x800) {
        out += (char)(0xC0 | (cp >> 6));
        out += (char)(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += (char)(0xE0 | (cp >> 12));
        out += (char)(0x80 | ((cp >> 6) & 0x3F));
        out += (char)(0x80 | (cp & 0x3F));
    } else {
        out += (char)(0xF0 | (cp >> 18));
        out += (char)(0x80 | ((cp >> 12) & 0x3F));
        out += (char)(0x80 | ((cp >> 6) & 0x3F));
        out += (char)(0x80 | (cp & 0x3F));
    }
}

/* Decodes one UTF-8 sequence at i; malformed bytes decode as U+FFFD, one
 * byte at a time, so that nothing reads past the end. */
static uint32_t NextUtf8(const std::string &s, size_t &i)
{
    unsigned char c = (unsigned char)s[i++];
    if (c < 0x80)
        return c;
    int extra = c >= 0xF0 && c < 0xF8 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : -1;
    if (extra < 0 || (c >= 0xF8))
        return 0xFFFD;
    uint32_t cp = c & (0x3F >> extra);
    for (int k = 0; k < extra; k++) {
        if (i >= s.size() || ((unsigned char)s[i] & 0xC0) != 0x80)
            return 0xFFFD;
        cp = (cp << 6) | ((unsigned char)s[i++] & 0x3F);
    }
    return cp;
}

std::string X11TextToCp1252(const std::string &bytes, bool latin1)
{
    std::string out;
    size_t i = 0;
    while (i < bytes.size()) {
        uint32_t cp = latin1 ? (unsigned char)bytes[i++] : NextUtf8(bytes, i);
        if (cp == 0)
            break;
        if (cp == '\r') {
            out += "\r\n";
            if (i < bytes.size() && bytes[i] == '\n')
                i++;
            continue;
        }
        if (cp == '\n') {
            out += "\r\n";
            continue;
        }
        unsigned char c = cp < 0x80 ? (unsigned char)cp : UnicodeToCp1252(cp);
        out += c ? (char)c : '?';
    }
    return out;
}

std::string X11TextFromCp1252(const std::string &text, bool latin1)
{
    std::string out;
    for (size_t i = 0; i < text.size(); i++) {
        unsigned char c = (unsigned char)text[i];
        if (c == 0)
            break;
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        uint32_t cp = c < 0x80 ? c : Cp1252ToUnicode(c);
        if (latin1)
            out += cp && cp <= 0xFF ? (char)cp : '?';
        else
            PutUtf8(out, cp ? cp : '?');
    }
    return out;
}

/* Protocol errors are expected in a few places (a focus request racing the
 * map, a capture of an unviewable root); Xlib's default handler would end
 * the process, so errors are counted instead. */
static int protocolErrors;
static int CountError(Display *, XErrorEvent *)
{
    protocolErrors++;
    return 0;
}

static int MaskShift(unsigned long mask)
{
    int s = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        s++;
    }
    return s;
}

static int MaskBits(unsigned long mask)
{
    int n = 0;
    for (; mask; mask >>= 1)
        n += (int)(mask & 1);
    return n;
}

/* A channel of a pixel value to 8 bits, and back. */
static uint32_t ChannelFrom(unsigned long pixel, unsigned long mask)
{
    int bits = MaskBits(mask);
    if (!bits)
        return 0;
    uint32_t v = (uint32_t)((pixel & mask) >> MaskShift(mask));
    return bits >= 8 ? v >> (bits - 8) : v * 255 / ((1u << bits) - 1);
}

static unsigned long ChannelTo(uint32_t v8, unsigned long mask)
{
    int bits = MaskBits(mask);
    unsigned long v = bits >= 8 ? (unsigned long)v8 << (bits - 8) : v8 >> (8 - bits);
    return (v << MaskShift(mask)) & mask;
}

static long long NowMs()
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (long long)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

class X11Backend : public ScreenBackend {
public:
    X11Backend(Screen &s) : screen(s) {}
    ~X11Backend() override;
    bool Start(std::string &error);

    void Present(const RECT &r) override;
    bool Pump(int timeoutMs) override;
    void Beep() override;
    bool ClipboardText(std::string &text) override;
    void SetClipboardText(const std::string &text) override;
    bool OpenFolder(const std::string &hostPath) override;
    const char *Name() const override { return "x11"; }

private:
    void Capture(int rootWidth, int rootHeight);
    bool WindowManagerRuns();
    bool MakeImage();
    void Handle(XEvent &ev);
    void AnswerRequest(const XSelectionRequestEvent &req);
    bool WaitFor(int type, XEvent &ev, int timeoutMs);
    bool ReadProperty(Atom property, std::string &data, Atom &type);
    Time ServerTime();

    Screen &screen;
    Display *dpy = nullptr;
    Window root = 0, win = 0;
    Visual *visual = nullptr;
    int depth = 0;
    GC gc = nullptr;
    XImage *image = nullptr;
    bool shared = false;  /* image->data is the framebuffer's pixels */
    std::string clipboard; /* Windows-1252, what this client offers */
    bool owning = false;
    Atom aClipboard = 0, aUtf8 = 0, aTargets = 0, aText = 0, aIncr = 0, aTransfer = 0, aStamp = 0;
};

X11Backend::~X11Backend()
{
    if (!dpy)
        return;
    if (image) {
        if (shared)
            image->data = nullptr; /* the framebuffer owns those pixels */
        XDestroyImage(image);
    }
    if (gc)
        XFreeGC(dpy, gc);
    if (win)
        XDestroyWindow(dpy, win);
    XCloseDisplay(dpy);
}

/* Copies the root window's picture into the framebuffer; what lies beyond
 * the root (a screen larger than the host's) is the classic teal. */
void X11Backend::Capture(int rootWidth, int rootHeight)
{
    Surface &fb = screen.framebuffer;
    std::fill(fb.pixels.begin(), fb.pixels.end(), 0x008080u);
    int w = std::min(fb.width, rootWidth), h = std::min(fb.height, rootHeight);
    if (w <= 0 || h <= 0)
        return;
    int errors = protocolErrors;
    XImage *img = XGetImage(dpy, root, 0, 0, (unsigned)w, (unsigned)h, AllPlanes, ZPixmap);
    XSync(dpy, False);
    if (!img || protocolErrors != errors) {
        if (img)
            XDestroyImage(img);
        fprintf(stderr, "nobra-setup: x11: the desktop could not be captured; using a plain one\n");
        return;
    }
    for (int y = 0; y < h; y++) {
        uint32_t *row = fb.Row(y);
        for (int x = 0; x < w; x++) {
            unsigned long p = XGetPixel(img, x, y);
            row[x] = (ChannelFrom(p, img->red_mask) << 16) | (ChannelFrom(p, img->green_mask) << 8) |
                     ChannelFrom(p, img->blue_mask);
        }
    }
    XDestroyImage(img);
}

bool X11Backend::WindowManagerRuns()
{
    Atom check = XInternAtom(dpy, "_NET_SUPPORTING_WM_CHECK", False);
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char *data = nullptr;
    bool runs = false;
    if (XGetWindowProperty(dpy, root, check, 0, 1, False, XA_WINDOW, &type, &format, &count, &after,
                           &data) == Success && data && type == XA_WINDOW && format == 32 && count == 1) {
        Window child = (Window) * (unsigned long *)data;
        XFree(data);
        data = nullptr;
        /* A stale property outlives its window manager: the child must
         * exist and name itself. */
        int errors = protocolErrors;
        if (XGetWindowProperty(dpy, child, check, 0, 1, False, XA_WINDOW, &type, &format, &count,
                               &after, &data) == Success && data && count == 1)
            runs = (Window) * (unsigned long *)data == child;
        XSync(dpy, False);
        if (protocolErrors != errors)
            runs = false;
    }
    if (data)
        XFree(data);
    return runs;
}

bool X11Backend::MakeImage()
{
    int pad = 32, bpp = 0;
    int n = 0;
    XPixmapFormatValues *formats = XListPixmapFormats(dpy, &n);
    for (int i = 0; i < n; i++)
        if (formats[i].depth == depth) {
            bpp = formats[i].bits_per_pixel;
            pad = formats[i].scanline_pad;
        }
    if (formats)
        XFree(formats);
    Surface &fb = screen.framebuffer;
    bool direct = bpp == 32 && visual->red_mask == 0xFF0000 && visual->green_mask == 0xFF00 &&
                  visual->blue_mask == 0xFF;
    if (direct) {
        image = XCreateImage(dpy, visual, (unsigned)depth, ZPixmap, 0, (char *)fb.pixels.data(),
                             (unsigned)fb.width, (unsigned)fb.height, 32, fb.width * 4);
        if (!image)
            return false;
        /* The pixels are in this host's order; Xlib swaps for the server. */
        const uint32_t one = 1;
        image->byte_order = *(const unsigned char *)&one ? LSBFirst : MSBFirst;
        shared = true;
        return true;
    }
    image = XCreateImage(dpy, visual, (unsigned)depth, ZPixmap, 0, nullptr, (unsigned)fb.width,
                         (unsigned)fb.height, pad, 0);
    if (!image)
        return false;
    image->data = (char *)calloc((size_t)image->bytes_per_line, (size_t)fb.height);
    if (!image->data) {
        XDestroyImage(image);
        image = nullptr;
        return false;
    }
    return true;
}

bool X11Backend::Start(std::string &error)
{
    const char *name = getenv("DISPLAY");
    dpy = XOpenDisplay(name);
    if (!dpy) {
        error = std::string("cannot open the X display \"") + (name ? name : "") + "\"";
        return false;
    }
    XSetErrorHandler(CountError);
    int scr = DefaultScreen(dpy);
    root = RootWindow(dpy, scr);
    visual = DefaultVisual(dpy, scr);
    depth = DefaultDepth(dpy, scr);
    if (visual->c_class != TrueColor || (depth != 24 && depth != 32)) {
        error = "the X display's visual is not 24- or 32-bit TrueColor";
        return false;
    }
    int rootWidth = DisplayWidth(dpy, scr), rootHeight = DisplayHeight(dpy, scr);
    if (screen.width <= 0 || screen.height <= 0) {
        screen.width = rootWidth;
        screen.height = rootHeight;
    }
    if (!screen.framebuffer.Resize(screen.width, screen.height)) {
        error = "no memory for a " + std::to_string(screen.width) + "x" +
                std::to_string(screen.height) + " screen";
        return false;
    }
    Capture(rootWidth, rootHeight);
    if (!MakeImage()) {
        error = "cannot make an X image of the screen";
        return false;
    }

    aClipboard = XInternAtom(dpy, "CLIPBOARD", False);
    aUtf8 = XInternAtom(dpy, "UTF8_STRING", False);
    aTargets = XInternAtom(dpy, "TARGETS", False);
    aText = XInternAtom(dpy, "TEXT", False);
    aIncr = XInternAtom(dpy, "INCR", False);
    aTransfer = XInternAtom(dpy, "NOBRA_CLIPBOARD", False);
    aStamp = XInternAtom(dpy, "NOBRA_TIMESTAMP", False);

    bool managed = WindowManagerRuns();
    XSetWindowAttributes attrs;
    memset(&attrs, 0, sizeof attrs);
    attrs.background_pixel = BlackPixel(dpy, scr);
    attrs.override_redirect = managed ? False : True;
    attrs.event_mask = ExposureMask | KeyPressMask | KeyReleaseMask | ButtonPressMask |
                       ButtonReleaseMask | PointerMotionMask | StructureNotifyMask |
                       PropertyChangeMask | FocusChangeMask;
    win = XCreateWindow(dpy, root, 0, 0, (unsigned)screen.width, (unsigned)screen.height, 0, depth,
                        InputOutput, visual, CWBackPixel | CWOverrideRedirect | CWEventMask, &attrs);
    gc = XCreateGC(dpy, win, 0, nullptr);
    XStoreName(dpy, win, "Nobra Setup");
    if (managed) {
        Atom state = XInternAtom(dpy, "_NET_WM_STATE", False);
        Atom full = XInternAtom(dpy, "_NET_WM_STATE_FULLSCREEN", False);
        XChangeProperty(dpy, win, state, XA_ATOM, 32, PropModeReplace, (unsigned char *)&full, 1);
        Atom del = XInternAtom(dpy, "WM_DELETE_WINDOW", False);
        XSetWMProtocols(dpy, win, &del, 1);
    }
    Bool detectable = False;
    XkbSetDetectableAutoRepeat(dpy, True, &detectable);
    XMapRaised(dpy, win);
    XEvent ev;
    if (WaitFor(MapNotify, ev, 2000) && !managed) {
        XSetInputFocus(dpy, win, RevertToParent, CurrentTime);
        XSync(dpy, False);
    }
    XFlush(dpy);
    return true;
}

void X11Backend::Present(const RECT &r)
{
    Surface &fb = screen.framebuffer;
    int x0 = std::max(0, (int)r.left), y0 = std::max(0, (int)r.top);
    int x1 = std::min(fb.width, (int)r.right), y1 = std::min(fb.height, (int)r.bottom);
    if (!image || x0 >= x1 || y0 >= y1)
        return;
    if (shared) {
        /* A framebuffer resized behind the image would leave it pointing at
         * freed pixels; the size is fixed at start, so that is a fault. */
        LAYER_CHECK(image->data == (char *)fb.pixels.data() && image->width == fb.width);
    } else {
        for (int y = y0; y < y1; y++) {
            const uint32_t *row = fb.Row(y);
            for (int x = x0; x < x1; x++) {
                uint32_t p = row[x];
                XPutPixel(image, x, y,
                          ChannelTo((p >> 16) & 0xFF, visual->red_mask) |
                              ChannelTo((p >> 8) & 0xFF, visual->green_mask) |
                              ChannelTo(p & 0xFF, visual->blue_mask));
            }
        }
    }
    XPutImage(dpy, win, gc, image, x0, y0, x0, y0, (unsigned)(x1 - x0), (unsigned)(y1 - y0));
    XFlush(dpy);
}

/* Waits for an event of a type for this window, leaving others queued. */
bool X11Backend::WaitFor(int type, XEvent &ev, int timeoutMs)
{
    long long end = NowMs() + timeoutMs;
    for (;;) {
        if (XCheckTypedWindowEvent(dpy, win, type, &ev))
            return true;
        long long left = end - NowMs();
        if (left <= 0)
            return false;
        struct pollfd p = {ConnectionNumber(dpy), POLLIN, 0};
        poll(&p, 1, (int)std::min(left, 50LL));
    }
}

bool X11Backend::Pump(int timeoutMs)
{
    XFlush(dpy);
    if (!XPending(dpy)) {
        struct pollfd p = {ConnectionNumber(dpy), POLLIN, 0};
        int rc;
        do
            rc = poll(&p, 1, timeoutMs < 0 ? -1 : timeoutMs);
        while (rc < 0 && errno == EINTR);
    }
    while (XPending(dpy)) {
        XEvent ev;
        XNextEvent(dpy, &ev);
        Handle(ev);
    }
    return true;
}

void X11Backend::Handle(XEvent &ev)
{
    switch (ev.type) {
    case Expose: {
        RECT r = {ev.xexpose.x, ev.xexpose.y, ev.xexpose.x + ev.xexpose.width,
                  ev.xexpose.y + ev.xexpose.height};
        Present(r);
        break;
    }
    case ButtonPress:
    case ButtonRelease: {
        bool down = ev.type == ButtonPress;
        int x = ev.xbutton.x, y = ev.xbutton.y;
        switch (ev.xbutton.button) {
        case Button1: InputMouseButton(0, down, x, y); break;
        case Button2: InputMouseButton(2, down, x, y); break;
        case Button3: InputMouseButton(1, down, x, y); break;
        case Button4: if (down) InputWheel(120, x, y); break;
        case Button5: if (down) InputWheel(-120, x, y); break;
        }
        break;
    }
    case MotionNotify:
        InputMouseMove(ev.xmotion.x, ev.xmotion.y);
        break;
    case KeyPress:
    case KeyRelease: {
        UINT vk;
        unsigned char ch;
        if (X11TranslateKey(&ev.xkey, vk, ch))
            InputKey(vk, ev.type == KeyPress, ch);
        break;
    }
    case MappingNotify:
        XRefreshKeyboardMapping(&ev.xmapping);
        break;
    case SelectionRequest:
        AnswerRequest(ev.xselectionrequest);
        break;
    case SelectionClear:
        if (ev.xselectionclear.selection == aClipboard)
            owning = false;
        break;
    }
}

void X11Backend::AnswerRequest(const XSelectionRequestEvent &req)
{
    XEvent reply;
    memset(&reply, 0, sizeof reply);
    XSelectionEvent &n = reply.xselection;
    n.type = SelectionNotify;
    n.display = req.display;
    n.requestor = req.requestor;
    n.selection = req.selection;
    n.target = req.target;
    n.time = req.time;
    n.property = None;
    /* Obsolete clients name no property: the target stands for it. */
    Atom property = req.property != None ? req.property : req.target;
    long maxBytes = XMaxRequestSize(dpy) * 4 - 256;
    if (owning && req.selection == aClipboard) {
        if (req.target == aTargets) {
            Atom targets[] = {aTargets, aUtf8, XA_STRING, aText};
            XChangeProperty(dpy, req.requestor, property, XA_ATOM, 32, PropModeReplace,
                            (unsigned char *)targets, 4);
            n.property = property;
        } else if (req.target == aUtf8 || req.target == aText || req.target == XA_STRING) {
            bool latin1 = req.target == XA_STRING;
            std::string data = X11TextFromCp1252(clipboard, latin1);
            if ((long)data.size() <= maxBytes) {
                XChangeProperty(dpy, req.requestor, property, latin1 ? XA_STRING : aUtf8, 8,
                                PropModeReplace, (const unsigned char *)data.data(), (int)data.size());
                n.property = property;
            }
        }
    }
    XSendEvent(dpy, req.requestor, False, NoEventMask, &reply);
    XFlush(dpy);
}

/* Reads and deletes a property of the window, whole. */
bool X11Backend::ReadProperty(Atom property, std::string &data, Atom &type)
{
    data.clear();
    long offset = 0;
    for (;;) {
        int format;
        unsigned long count, after;
        unsigned char *bytes = nullptr;
        if (XGetWindowProperty(dpy, win, property, offset, 65536, False, AnyPropertyType, &type,
                               &format, &count, &after, &bytes) != Success)
            return false;
        if (bytes) {
            size_t unit = format == 32 ? sizeof(long) : (size_t)format / 8;
            data.append((const char *)bytes, count * unit);
            XFree(bytes);
        }
        if (after == 0 || format == 0)
            break;
        offset += (long)(count * (format / 8) / 4);
    }
    XDeleteProperty(dpy, win, property);
    return true;
}

/* The server's time now, from the PropertyNotify of an empty append.  A
 * selection request stamped with an older event's time loses to any later
 * owner change, and an owner may refuse a conversion stamped before it took
 * the selection, so both are stamped with this. */
Time X11Backend::ServerTime()
{
    XChangeProperty(dpy, win, aStamp, XA_STRING, 8, PropModeAppend, nullptr, 0);
    XFlush(dpy);
    long long end = NowMs() + 1000;
    XEvent ev;
    while (WaitFor(PropertyNotify, ev, (int)std::max(1LL, end - NowMs())))
        if (ev.xproperty.atom == aStamp)
            return ev.xproperty.time;
    return CurrentTime;
}

bool X11Backend::ClipboardText(std::string &text)
{
    if (owning && XGetSelectionOwner(dpy, aClipboard) == win) {
        text = clipboard;
        return true;
    }
    owning = false;
    if (XGetSelectionOwner(dpy, aClipboard) == None)
        return false;
    const Atom targets[] = {aUtf8, XA_STRING};
    for (Atom target : targets) {
        XDeleteProperty(dpy, win, aTransfer);
        XConvertSelection(dpy, aClipboard, target, aTransfer, win, ServerTime());
        XFlush(dpy);
        XEvent ev;
        if (!WaitFor(SelectionNotify, ev, 1000))
            return false;
        if (ev.xselection.property == None)
            continue;
        std::string data;
        Atom type;
        if (!ReadProperty(aTransfer, data, type))
            return false;
        if (type == aIncr) {
            /* Incremental: each chunk arrives as a new value of the
             * property; an empty one ends the transfer. */
            data.clear();
            long long end = NowMs() + 5000;
            for (;;) {
                XEvent pe;
                if (!WaitFor(PropertyNotify, pe, (int)std::max(1LL, end - NowMs())))
                    return false;
                if (pe.xproperty.atom != aTransfer || pe.xproperty.state != PropertyNewValue)
                    continue;
                std::string chunk;
                if (!ReadProperty(aTransfer, chunk, type))
                    return false;
                if (chunk.empty())
                    break;
                data += chunk;
                if (data.size() > (64u << 20))
                    return false;
            }
        }
        text = X11TextToCp1252(data, target == XA_STRING);
        return true;
    }
    return false;
}

void X11Backend::SetClipboardText(const std::string &text)
{
    clipboard = text;
    XSetSelectionOwner(dpy, aClipboard, win, ServerTime());
    owning = XGetSelectionOwner(dpy, aClipboard) == win;
    XFlush(dpy);
}

void X11Backend::Beep()
{
    XBell(dpy, 0);
    XFlush(dpy);
}

static bool InPath(const char *program)
{
    const char *path = getenv("PATH");
    std::string dirs = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        std::string dir = dirs.substr(start, end - start);
        std::string file = (dir.empty() ? std::string(".") : dir) + "/" + program;
        if (access(file.c_str(), X_OK) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

/* Starts xdg-open detached: a grandchild that init adopts, so that neither
 * a zombie nor a wait is left behind. */
bool X11Backend::OpenFolder(const std::string &hostPath)
{
    if (!InPath("xdg-open"))
        return false;
    pid_t child = fork();
    if (child < 0)
        return false;
    if (child == 0) {
        setsid();
        pid_t grandchild = fork();
        if (grandchild == 0) {
            execlp("xdg-open", "xdg-open", hostPath.c_str(), (char *)nullptr);
            _exit(127);
        }
        _exit(grandchild < 0 ? 1 : 0);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR)
        ;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

ScreenBackend *CreateX11Backend(Screen &screen, std::string &error)
{
    X11Backend *backend = new (std::nothrow) X11Backend(screen);
    if (!backend) {
        error = "no memory for the X11 screen";
        return nullptr;
    }
    if (!backend->Start(error)) {
        delete backend;
        return nullptr;
    }
    return backend;
}

} // namespace layer
