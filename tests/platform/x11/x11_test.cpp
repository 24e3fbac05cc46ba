// The X11 screen.  The translations run everywhere; the tests that need a
// server run only under tests/x11/x11_screen.sh, which starts Xvfb and sets
// NOBRA_X11_TESTS=1, so that a developer's own desktop is never covered by
// a full-screen test window.
// GoogleTest first: Xlib's macros (None, Bool, Status) clash with its names.
#include <gtest/gtest.h>

#include "display/x11.h"
#include "layer.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <spawn.h>
#include <stdlib.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace {

bool ServerTests()
{
    const char *display = getenv("DISPLAY");
    const char *enabled = getenv("NOBRA_X11_TESTS");
    return display && *display && enabled && strcmp(enabled, "1") == 0;
}

#define NEED_SERVER()                                                                              \
    do {                                                                                           \
        if (!ServerTests())                                                                        \
            GTEST_SKIP() << "needs an X server: run tests/x11/x11_screen.sh";                      \
    } while (0)

TEST(X11Text, ClipboardToWindows1252)
{
    struct Case {
        const char *bytes;
        bool latin1;
        const char *want;
    } cases[] = {
        {"plain", false, "plain"},
        {"caf\xc3\xa9 \xe2\x82\xac \xe2\x80\x93", false, "caf\xe9 \x80 \x96"},
        {"a\nb\r\nc\rd", false, "a\r\nb\r\nc\r\nd"},
        {"\xe4\xb8\xad!", false, "?!"},         // no Windows-1252 character
        {"\xc3", false, "?"},                   // cut sequence
        {"\xff\xfe x", false, "?? x"},          // not UTF-8 at all
        {"caf\xe9", true, "caf\xe9"},           // Latin-1
        {"up to\0beyond", false, "up to"},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.bytes);
        std::string in = strcmp(k.bytes, "up to") == 0 ? std::string("up to\0beyond", 12) : k.bytes;
        EXPECT_EQ(layer::X11TextToCp1252(in, k.latin1), k.want);
    }
}

TEST(X11Text, ClipboardFromWindows1252)
{
    EXPECT_EQ(layer::X11TextFromCp1252("caf\xe9 \x80\r\nx", false), "caf\xc3\xa9 \xe2\x82\xac\nx");
    EXPECT_EQ(layer::X11TextFromCp1252("caf\xe9 \x80", true), "caf\xe9 ?");
}

TEST(X11Keys, KeysymCharacters)
{
    struct Case {
        unsigned long keysym;
        uint32_t cp;
    } cases[] = {{XK_a, 'a'}, {XK_eacute, 0xE9}, {XK_EuroSign, 0x20AC}, {XK_KP_7, '7'},
                 {XK_KP_Decimal, '.'}, {0x1000416, 0x416}, {XK_Home, 0}, {XK_F4, 0}};
    for (const Case &k : cases)
        EXPECT_EQ(layer::X11KeysymToUnicode(k.keysym), k.cp) << std::hex << k.keysym;
}

// A second client of the test's X server: paints the root, reads windows
// back, owns or asks for the clipboard.
class Helper {
public:
    Helper() { dpy = XOpenDisplay(nullptr); }
    ~Helper()
    {
        if (dpy)
            XCloseDisplay(dpy);
    }
    Display *dpy;
};

const int kBands = 4;
const uint32_t kBandColors[kBands] = {0xC01020, 0x20A040, 0x3050E0, 0xF0E010};

uint32_t Rgb(XImage *img, int x, int y)
{
    unsigned long p = XGetPixel(img, x, y);
    auto ch = [&](unsigned long mask) {
        int shift = 0;
        while (!(mask & 1)) {
            mask >>= 1;
            shift++;
        }
        return (uint32_t)((p >> shift) & 0xFF);
    };
    return ch(img->red_mask) << 16 | ch(img->green_mask) << 8 | ch(img->blue_mask);
}

// Paints the root window with vertical bands, then starts the layer's X11
// screen over it, once for the whole program.
class X11Screen : public ::testing::Environment {
public:
    void SetUp() override
    {
        if (!ServerTests())
            return;
        Helper h;
        ASSERT_NE(h.dpy, nullptr);
        int scr = DefaultScreen(h.dpy);
        Window root = RootWindow(h.dpy, scr);
        int w = DisplayWidth(h.dpy, scr), hgt = DisplayHeight(h.dpy, scr);
        Pixmap pm = XCreatePixmap(h.dpy, root, w, hgt, DefaultDepth(h.dpy, scr));
        GC gc = XCreateGC(h.dpy, pm, 0, nullptr);
        for (int i = 0; i < kBands; i++) {
            XSetForeground(h.dpy, gc, kBandColors[i]); // 24-bit TrueColor: the pixel is the RGB
            XFillRectangle(h.dpy, pm, gc, i * w / kBands, 0, w / kBands + 1, hgt);
        }
        XSetWindowBackgroundPixmap(h.dpy, root, pm);
        XClearWindow(h.dpy, root);
        XFreeGC(h.dpy, gc);
        XFreePixmap(h.dpy, pm);
        XSync(h.dpy, False);

        char dir[] = "/tmp/nobra-x11-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        root_ = dir;
        setenv("SETUP_MACHINE", dir, 1);
        setenv("SETUP_SCREEN", "x11", 1);
        unsetenv("SETUP_SCREEN_SIZE");
        ASSERT_TRUE(layer::MachineInit());
        ASSERT_TRUE(layer::ScreenInit());
    }
    void TearDown() override
    {
        if (!root_.empty()) {
            std::string cmd = "rm -rf '" + root_ + "'";
            if (system(cmd.c_str()) != 0)
                fprintf(stderr, "could not remove %s\n", root_.c_str());
        }
    }

private:
    std::string root_;
};
const auto *screenEnv = ::testing::AddGlobalTestEnvironment(new X11Screen);

layer::ScreenBackend &Backend()
{
    layer::ScreenBackend *b = layer::GetScreen().backend;
    EXPECT_NE(b, nullptr);
    return *b;
}

// The layer's window, found the way any other client would.
Window LayerWindow(Display *dpy)
{
    Window rootRet, parent, *children = nullptr;
    unsigned n = 0;
    Window found = 0;
    if (XQueryTree(dpy, DefaultRootWindow(dpy), &rootRet, &parent, &children, &n)) {
        for (unsigned i = 0; i < n; i++) {
            char *name = nullptr;
            if (XFetchName(dpy, children[i], &name) && name) {
                if (strcmp(name, "Nobra Setup") == 0)
                    found = children[i];
                XFree(name);
            }
        }
        if (children)
            XFree(children);
    }
    return found;
}

// Runs a program to its end, as a child of the test.
int RunChild(std::vector<std::string> args)
{
    std::vector<char *> argv;
    for (std::string &a : args)
        argv.push_back(&a[0]);
    argv.push_back(nullptr);
    pid_t pid;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(X11Screen, CapturesTheDesktopBeforeItsWindowMaps)
{
    NEED_SERVER();
    Helper h;
    int scr = DefaultScreen(h.dpy);
    layer::Screen &s = layer::GetScreen();
    EXPECT_STREQ(Backend().Name(), "x11");
    EXPECT_EQ(s.width, DisplayWidth(h.dpy, scr)) << "width 0 is the host screen's";
    EXPECT_EQ(s.height, DisplayHeight(h.dpy, scr));
    for (int i = 0; i < kBands; i++) {
        int x = i * s.width / kBands + s.width / (2 * kBands);
        EXPECT_EQ(s.framebuffer.Row(s.height / 2)[x], kBandColors[i]) << "band " << i;
    }
    Window w = LayerWindow(h.dpy);
    ASSERT_NE(w, 0u);
    XWindowAttributes a;
    ASSERT_TRUE(XGetWindowAttributes(h.dpy, w, &a));
    EXPECT_EQ(a.map_state, IsViewable);
    EXPECT_TRUE(a.override_redirect) << "no window manager runs on the test server";
    EXPECT_EQ(a.width, s.width);
    EXPECT_EQ(a.height, s.height);
    Window focus;
    int revert;
    XGetInputFocus(h.dpy, &focus, &revert);
    EXPECT_EQ(focus, w) << "the screen takes the keyboard itself";
}

TEST(X11Screen, PresentShowsTheFramebuffer)
{
    NEED_SERVER();
    layer::Screen &s = layer::GetScreen();
    RECT r = {10, 20, 60, 50};
    for (int y = r.top; y < r.bottom; y++)
        for (int x = r.left; x < r.right; x++)
            s.framebuffer.Row(y)[x] = 0x123456;
    s.framebuffer.Row(21)[11] = 0xFEDCBA;
    layer::ScreenDamage(r);
    layer::ScreenFlush();
    Helper h;
    Window w = LayerWindow(h.dpy);
    ASSERT_NE(w, 0u);
    XImage *img = XGetImage(h.dpy, w, 0, 0, 80, 80, AllPlanes, ZPixmap);
    ASSERT_NE(img, nullptr);
    EXPECT_EQ(Rgb(img, 10, 20), 0x123456u);
    EXPECT_EQ(Rgb(img, 59, 49), 0x123456u);
    EXPECT_EQ(Rgb(img, 11, 21), 0xFEDCBAu);
    EXPECT_EQ(Rgb(img, 5, 5), s.framebuffer.Row(5)[5]) << "the captured desktop around it";
    XDestroyImage(img);
}

// Keys typed on the server reach the layer as virtual keys and characters.
TEST(X11Keys, TranslationOfServerKeys)
{
    NEED_SERVER();
    Helper h;
    struct Case {
        KeySym sym;
        unsigned state;
        UINT vk;
        unsigned char ch;
    } cases[] = {
        {XK_a, 0, 'A', 'a'},
        {XK_a, ShiftMask, 'A', 'A'},
        {XK_a, ControlMask, 'A', 0x01},
        {XK_v, ControlMask, 'V', 0x16},
        {XK_1, ShiftMask, '1', '!'},
        {XK_Return, 0, VK_RETURN, '\r'},
        {XK_Escape, 0, VK_ESCAPE, 0x1B},
        {XK_Tab, 0, VK_TAB, '\t'},
        {XK_BackSpace, 0, VK_BACK, 0x08},
        {XK_Delete, 0, VK_DELETE, 0},
        {XK_Home, 0, VK_HOME, 0},
        {XK_End, 0, VK_END, 0},
        {XK_Left, 0, VK_LEFT, 0},
        {XK_Down, 0, VK_DOWN, 0},
        {XK_Prior, 0, VK_PRIOR, 0},
        {XK_Next, 0, VK_NEXT, 0},
        {XK_Shift_L, 0, VK_SHIFT, 0},
        {XK_Control_L, 0, VK_CONTROL, 0},
        {XK_space, 0, VK_SPACE, ' '},
        {XK_F4, 0, 0x73, 0},
        {XK_comma, 0, 0xBC, ','},
        {XK_period, 0, 0xBE, '.'},
        {XK_minus, 0, 0xBD, '-'},
        {XK_backslash, 0, 0xDC, '\\'},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(XKeysymToString(k.sym));
        KeyCode code = XKeysymToKeycode(h.dpy, k.sym);
        ASSERT_NE(code, 0) << "not on the server's keyboard";
        XKeyEvent ev;
        memset(&ev, 0, sizeof ev);
        ev.type = KeyPress;
        ev.display = h.dpy;
        ev.keycode = code;
        ev.state = k.state;
        UINT vk = 0;
        unsigned char ch = 0xEE;
        ASSERT_TRUE(layer::X11TranslateKey(&ev, vk, ch));
        EXPECT_EQ(vk, k.vk);
        EXPECT_EQ(ch, k.ch);
        ev.type = KeyRelease;
        ASSERT_TRUE(layer::X11TranslateKey(&ev, vk, ch));
        EXPECT_EQ(vk, k.vk);
        EXPECT_EQ(ch, 0) << "a release types nothing";
    }
}

LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcA(w, m, wp, lp); }

// Through the whole path: xdotool on the server, the backend's Pump, the
// input router, the window's queue.
TEST(X11Keys, XdotoolReachesTheFocusedWindow)
{
    NEED_SERVER();
    WNDCLASSA cls;
    memset(&cls, 0, sizeof cls);
    cls.lpfnWndProc = Proc;
    cls.lpszClassName = "X11TestWindow";
    ASSERT_NE(RegisterClassA(&cls), 0);
    HWND w = CreateWindowExA(0, "X11TestWindow", "test", WS_POPUP | WS_VISIBLE, 100, 100, 200, 150,
                             nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(w, nullptr);
    SetActiveWindow(w);
    SetFocus(w);
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&m);

    struct Case {
        std::vector<std::string> command;
        UINT message;
        WPARAM wParam;
    } cases[] = {
        {{"xdotool", "key", "b"}, WM_KEYDOWN, 'B'},
        {{"xdotool", "key", "b"}, WM_CHAR, 'b'},
        {{"xdotool", "key", "Return"}, WM_KEYDOWN, VK_RETURN},
        {{"xdotool", "mousemove", "150", "160", "click", "1"}, WM_LBUTTONDOWN, MK_LBUTTON},
        {{"xdotool", "mousemove", "150", "160", "click", "3"}, WM_RBUTTONUP, 0},
        {{"xdotool", "mousemove", "150", "160", "click", "5"}, WM_MOUSEWHEEL, (WPARAM)(uint16_t)-120 << 16},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.command[2]);
        ASSERT_EQ(RunChild(k.command), 0) << "xdotool failed";
        bool seen = false;
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (!seen && std::chrono::steady_clock::now() < end) {
            while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&m);
                if (m.message == k.message && (m.wParam & 0xFFFF0000u) == (k.wParam & 0xFFFF0000u) &&
                    (k.message == WM_MOUSEWHEEL || m.wParam == k.wParam))
                    seen = true;
                DispatchMessageA(&m);
            }
            if (!seen)
                Backend().Pump(50);
        }
        EXPECT_TRUE(seen);
    }
    DestroyWindow(w);
}

// Another client owns the clipboard; the layer reads its text.
TEST(X11Clipboard, ReadsAnotherClientsText)
{
    NEED_SERVER();
    Helper owner;
    Window w = XCreateSimpleWindow(owner.dpy, DefaultRootWindow(owner.dpy), 0, 0, 1, 1, 0, 0, 0);
    Atom clipboard = XInternAtom(owner.dpy, "CLIPBOARD", False);
    Atom utf8 = XInternAtom(owner.dpy, "UTF8_STRING", False);
    XSetSelectionOwner(owner.dpy, clipboard, w, CurrentTime);
    XSync(owner.dpy, False);
    ASSERT_EQ(XGetSelectionOwner(owner.dpy, clipboard), w);
    const std::string offered = "C:\\Program files\\Caf\xc3\xa9\nnext";
    std::atomic<bool> stop{false};
    std::thread serve([&] {
        while (!stop) {
            while (XPending(owner.dpy)) {
                XEvent ev;
                XNextEvent(owner.dpy, &ev);
                if (ev.type != SelectionRequest)
                    continue;
                XSelectionRequestEvent &req = ev.xselectionrequest;
                XEvent reply;
                memset(&reply, 0, sizeof reply);
                reply.xselection.type = SelectionNotify;
                reply.xselection.requestor = req.requestor;
                reply.xselection.selection = req.selection;
                reply.xselection.target = req.target;
                reply.xselection.time = req.time;
                reply.xselection.property = None;
                if (req.target == utf8) {
                    XChangeProperty(owner.dpy, req.requestor, req.property, utf8, 8, PropModeReplace,
                                    (const unsigned char *)offered.data(), (int)offered.size());
                    reply.xselection.property = req.property;
                }
                XSendEvent(owner.dpy, req.requestor, False, 0, &reply);
                XFlush(owner.dpy);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    std::string text;
    bool ok = Backend().ClipboardText(text);
    stop = true;
    serve.join();
    ASSERT_TRUE(ok);
    EXPECT_EQ(text, "C:\\Program files\\Caf\xe9\r\nnext");
}

// The layer's own clipboard text is served to other clients while it pumps.
TEST(X11Clipboard, ServesItsOwnText)
{
    NEED_SERVER();
    Backend().SetClipboardText("Nobra \x80 Setup\r\nline");
    std::string got;
    EXPECT_TRUE(Backend().ClipboardText(got)) << "its own text, without a round trip";
    EXPECT_EQ(got, "Nobra \x80 Setup\r\nline");

    std::atomic<bool> done{false};
    std::string received;
    std::thread asker([&] {
        Helper h;
        Window w = XCreateSimpleWindow(h.dpy, DefaultRootWindow(h.dpy), 0, 0, 1, 1, 0, 0, 0);
        Atom clipboard = XInternAtom(h.dpy, "CLIPBOARD", False);
        Atom utf8 = XInternAtom(h.dpy, "UTF8_STRING", False);
        Atom prop = XInternAtom(h.dpy, "TEST_PASTE", False);
        XConvertSelection(h.dpy, clipboard, utf8, prop, w, CurrentTime);
        XFlush(h.dpy);
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (std::chrono::steady_clock::now() < end) {
            XEvent ev;
            if (XCheckTypedWindowEvent(h.dpy, w, SelectionNotify, &ev)) {
                if (ev.xselection.property != None) {
                    Atom type;
                    int format;
                    unsigned long n, after;
                    unsigned char *data = nullptr;
                    XGetWindowProperty(h.dpy, w, prop, 0, 1 << 16, True, AnyPropertyType, &type, &format,
                                       &n, &after, &data);
                    if (data) {
                        received.assign((const char *)data, n);
                        XFree(data);
                    }
                }
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        done = true;
    });
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(4);
    while (!done && std::chrono::steady_clock::now() < end)
        Backend().Pump(20);
    asker.join();
    EXPECT_EQ(received, "Nobra \xe2\x82\xac Setup\nline");
}

TEST(X11Screen, OpenFolderRunsXdgOpen)
{
    NEED_SERVER();
    char dir[] = "/tmp/nobra-xdg-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string bin = dir, out = bin + "/opened";
    std::string oldPath = getenv("PATH") ? getenv("PATH") : "";

    setenv("PATH", dir, 1);
    EXPECT_FALSE(Backend().OpenFolder("/tmp")) << "no xdg-open on the PATH";

    // The PATH it runs with holds only this folder: absolute paths inside.
    std::ofstream(bin + "/xdg-open") << "#!/bin/sh\necho \"$1\" > '" << out << ".tmp' && /bin/mv '"
                                     << out << ".tmp' '" << out << "'\n";
    chmod((bin + "/xdg-open").c_str(), 0755);
    EXPECT_TRUE(Backend().OpenFolder("/tmp/some folder"));
    setenv("PATH", oldPath.c_str(), 1);
    std::string line;
    for (int i = 0; i < 300 && line.empty(); i++) {
        std::ifstream in(out);
        std::getline(in, line);
        if (line.empty())
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(line, "/tmp/some folder");
    std::string cmd = "rm -rf '" + bin + "'";
    EXPECT_EQ(system(cmd.c_str()), 0);
}

} // namespace
