/*
 * The automation driver: a script on its own thread, in lock-step with the
 * program.
 *
 * Exactly one of the two threads runs at a time; a turn variable under a
 * mutex passes control.  The program hands over in AutomationIdle, which the
 * message loop calls when it would wait for input.  The script hands back in
 * Settle, which every action calls after it has fed an event into the input
 * router, so each event is handled to the end (including any modal loop it
 * opens) before the script looks again.  Because the program is parked while
 * the script runs, the script reads windows directly; to read a control's
 * state it sends the layer's own control procedures their query messages
 * (WM_GETTEXT, BM_GETCHECK, LVM_GETITEMTEXTA ...), never a message that the
 * installer's procedures would see.
 *
 * When the program ends (WinMain returns) the harness calls ProgramEnded, and
 * from then on Settle returns at once, so a script waiting for a window that
 * never came reads "none" and fails instead of hanging.
 */
#include "layer.h"
#include "user/wm.h"

#include <automation.h>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <string.h>
#include <strings.h>

namespace automation {
void ProgramEnded();
}

namespace {

enum Turn { PROGRAM, SCRIPT };

struct Driver {
    std::mutex mutex;
    std::condition_variable changed;
    Turn turn = PROGRAM;
    std::function<void()> script;
    bool pending = false;   /* Start was called, the thread not yet made */
    bool running = false;   /* the script has not returned */
    bool programEnded = false;
    std::vector<automation::LogEntry> log;
    std::vector<HWND> logBoxes; /* the box of each log entry, null for others */
};

/* Never destroyed: the script thread may still wait on it while the process exits. */
Driver &D()
{
    static Driver *d = new Driver();
    return *d;
}

void ScriptThread()
{
    Driver &d = D();
    {
        std::unique_lock<std::mutex> lock(d.mutex);
        d.changed.wait(lock, [&] { return d.turn == SCRIPT; });
    }
    d.script();
    std::unique_lock<std::mutex> lock(d.mutex);
    d.running = false;
    d.turn = PROGRAM;
    d.changed.notify_all();
}

} // namespace

namespace layer {

bool AutomationIdle()
{
    Driver &d = D();
    std::unique_lock<std::mutex> lock(d.mutex);
    if (!d.running)
        return false;
    if (d.pending) {
        d.pending = false;
        std::thread(ScriptThread).detach();
    }
    d.turn = SCRIPT;
    d.changed.notify_all();
    d.changed.wait(lock, [&] { return d.turn == PROGRAM; });
    /* After the script's last step the program may still have work queued. */
    return d.running || QueueBusy();
}

void LogMessageBox(HWND box, const char *caption, const char *text, UINT type)
{
    automation::LogEntry e;
    e.kind = "messagebox";
    e.caption = caption ? caption : "";
    e.text = text ? text : "";
    e.type = type;
    D().log.push_back(e);
    D().logBoxes.push_back(box);
}

void LogMessageBoxAnswer(HWND box, int answer)
{
    Driver &d = D();
    for (size_t i = d.log.size(); i-- > 0;)
        if (d.logBoxes[i] == box) {
            d.log[i].answer = answer;
            return;
        }
}

void LogBeep(UINT type)
{
    automation::LogEntry e;
    e.kind = "beep";
    e.type = type;
    D().log.push_back(e);
    D().logBoxes.push_back(nullptr);
}

void LogShellOpen(const char *verb, const char *file, const char *hostPath, int result)
{
    automation::LogEntry e;
    e.kind = "shell";
    e.caption = verb ? verb : "";
    e.text = file ? file : "";
    e.hostPath = hostPath ? hostPath : "";
    e.answer = result;
    D().log.push_back(e);
    D().logBoxes.push_back(nullptr);
}

void NoteDialogTemplate(HWND dialog, LPCSTR templateName)
{
    Window *w = WindowLookup(dialog);
    if (!w)
        return;
    if (IS_INTRESOURCE(templateName))
        w->templateName = "#" + std::to_string((unsigned)(ULONG_PTR)templateName);
    else
        w->templateName = templateName ? templateName : "";
}

} // namespace layer

using namespace layer;

namespace automation {

void Start(std::function<void()> script)
{
    Driver &d = D();
    std::lock_guard<std::mutex> lock(d.mutex);
    d.script = std::move(script);
    d.pending = true;
    d.running = true;
}

void Settle()
{
    Driver &d = D();
    std::unique_lock<std::mutex> lock(d.mutex);
    if (d.programEnded)
        return;
    d.turn = PROGRAM;
    d.changed.notify_all();
    d.changed.wait(lock, [&] { return d.turn == SCRIPT || d.programEnded; });
}

void ProgramEnded()
{
    Driver &d = D();
    std::unique_lock<std::mutex> lock(d.mutex);
    d.programEnded = true;
    if (!d.running || d.pending)
        return;
    /* Let the script finish its checks against what is left. */
    d.turn = SCRIPT;
    d.changed.notify_all();
    d.changed.wait(lock, [&] { return !d.running; });
}

static bool SameText(const std::string &a, const char *b) { return strcasecmp(a.c_str(), b) == 0; }

HWND FindDialog(const char *name)
{
    if (!name)
        return NULL;
    for (Window *w : TopLevelWindows()) {
        if (!(w->style & WS_VISIBLE))
            continue;
        if ((!w->templateName.empty() && SameText(w->templateName, name)) || SameText(w->text, name))
            return H(w);
    }
    return NULL;
}

HWND WaitDialog(const char *name)
{
    Settle();
    return FindDialog(name);
}

HWND ActiveWindow() { return GetActiveWindow(); }

HWND Control(HWND dialog, int id) { return GetDlgItem(dialog, id); }

static std::string WithoutPrefix(const std::string &s)
{
    std::string out;
    for (size_t i = 0; i < s.size(); i++) {
        if (s[i] == '&' && i + 1 < s.size()) {
            i++;
        }
        out += s[i];
    }
    return out;
}

HWND BoxButton(HWND box, const char *text)
{
    Window *w = WindowLookup(box);
    if (!w || !text)
        return NULL;
    for (Window *c : w->children)
        if (SameText(c->cls->name, "BUTTON") && SameText(WithoutPrefix(Text(H(c))), text))
            return H(c);
    return NULL;
}

void MouseMove(int x, int y)
{
    InputMouseMove(x, y);
    Settle();
}

void MouseDown(int x, int y, int button)
{
    InputMouseButton(button, true, x, y);
    Settle();
}

void MouseUp(int x, int y, int button)
{
    InputMouseButton(button, false, x, y);
    Settle();
}

void ClickAt(int x, int y)
{
    MouseMove(x, y);
    MouseDown(x, y);
    MouseUp(x, y);
}

void DoubleClickAt(int x, int y)
{
    MouseMove(x, y);
    MouseDown(x, y);
    MouseUp(x, y);
    MouseDown(x, y);
    MouseUp(x, y);
}

void WheelAt(int x, int y, int delta)
{
    InputMouseMove(x, y);
    InputWheel(delta, x, y);
    Settle();
}

static POINT Centre(HWND hwnd)
{
    RECT r = WindowRect(hwnd);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

void Click(HWND hwnd)
{
    if (!WindowLookup(hwnd))
        return;
    POINT p = Centre(hwnd);
    ClickAt(p.x, p.y);
}

void DoubleClick(HWND hwnd)
{
    if (!WindowLookup(hwnd))
        return;
    POINT p = Centre(hwnd);
    DoubleClickAt(p.x, p.y);
}

/* The screen rectangle of an item of a list view or of an open combo list. */
static bool ItemRect(HWND control, int index, RECT &out)
{
    Window *w = WindowLookup(control);
    if (!w)
        return false;
    if (SameText(w->cls->name, "SysListView32")) {
        RECT r = {LVIR_LABEL, 0, 0, 0};
        if (!SendMessageA(control, LVM_GETITEMRECT, (WPARAM)index, (LPARAM)&r))
            return false;
        POINT a = {r.left, r.top}, b = {r.right, r.bottom};
        ClientToScreen(control, &a);
        ClientToScreen(control, &b);
        out = {a.x, a.y, b.x, b.y};
        return true;
    }
    if (SameText(w->cls->name, "COMBOBOX")) {
        if (!SendMessageA(control, CB_GETDROPPEDSTATE, 0, 0))
            Click(control);
        for (Window *t : TopLevelWindows()) {
            if (!(t->style & WS_VISIBLE) || !SameText(t->cls->name, "ComboLBox"))
                continue;
            RECT r;
            if (SendMessageA(H(t), 0x0198 /* LB_GETITEMRECT */, (WPARAM)index, (LPARAM)&r) == -1)
                return false;
            POINT a = {r.left, r.top}, b = {r.right, r.bottom};
            ClientToScreen(H(t), &a);
            ClientToScreen(H(t), &b);
            out = {a.x, a.y, b.x, b.y};
            return true;
        }
    }
    return false;
}

void ClickItem(HWND control, int index)
{
    RECT r;
    if (ItemRect(control, index, r))
        ClickAt((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

void DoubleClickItem(HWND control, int index)
{
    RECT r;
    if (ItemRect(control, index, r))
        DoubleClickAt((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

static void KeyEvent(UINT vk, bool down, unsigned char ch)
{
    InputKey(vk, down, ch);
    Settle();
}

static void Press(UINT vk, int modifiers, unsigned char ch)
{
    if (modifiers & SHIFT)
        KeyEvent(VK_SHIFT, true, 0);
    if (modifiers & CTRL)
        KeyEvent(VK_CONTROL, true, 0);
    KeyEvent(vk, true, ch);
    KeyEvent(vk, false, 0);
    if (modifiers & CTRL)
        KeyEvent(VK_CONTROL, false, 0);
    if (modifiers & SHIFT)
        KeyEvent(VK_SHIFT, false, 0);
}

void Key(UINT vk, int modifiers) { Press(vk, modifiers, 0); }

/* The key of the US layout that types a character, and whether Shift is needed. */
static UINT KeyForChar(unsigned char c, bool &shift)
{
    static const char *plain = ";=,-./`[\\]'";
    static const char *shifted = ":+<_>?~{|}\"";
    static const UINT keys[] = {0xBA, 0xBB, 0xBC, 0xBD, 0xBE, 0xBF, 0xC0, 0xDB, 0xDC, 0xDD, 0xDE};
    shift = false;
    if (c >= 'a' && c <= 'z')
        return c - 32;
    if (c >= 'A' && c <= 'Z') {
        shift = true;
        return c;
    }
    if (c >= '0' && c <= '9')
        return c;
    if (c == ' ')
        return VK_SPACE;
    for (int i = 0; plain[i]; i++) {
        if (c == (unsigned char)plain[i])
            return keys[i];
        if (c == (unsigned char)shifted[i]) {
            shift = true;
            return keys[i];
        }
    }
    const char *digits = ")!@#$%^&*(";
    for (int i = 0; i < 10; i++)
        if (c == (unsigned char)digits[i]) {
            shift = true;
            return '0' + i;
        }
    return 0xE7; /* a character without a key of its own */
}

void Type(const char *text)
{
    for (const unsigned char *p = (const unsigned char *)text; p && *p; p++) {
        bool shift;
        UINT vk = KeyForChar(*p, shift);
        Press(vk, shift ? SHIFT : 0, *p);
    }
}

void Paste(const char *text)
{
    ClipboardPut(text ? text : "");
    Key('V', CTRL);
}

/* Controls of the layer's own classes answer queries; other windows are read directly. */
static bool LayerControl(Window *w)
{
    return w->cls->system && w->proc == w->cls->proc && !w->dialog;
}

std::string Text(HWND hwnd)
{
    Window *w = WindowLookup(hwnd);
    if (!w)
        return "";
    if (!LayerControl(w))
        return w->text;
    int n = (int)SendMessageA(hwnd, WM_GETTEXTLENGTH, 0, 0);
    std::string s(n + 1, '\0');
    int got = (int)SendMessageA(hwnd, WM_GETTEXT, (WPARAM)(n + 1), (LPARAM)&s[0]);
    s.resize(got > 0 ? got : 0);
    return s;
}

std::string ClassName(HWND hwnd)
{
    Window *w = WindowLookup(hwnd);
    return w ? w->cls->name : "";
}

int Checked(HWND button)
{
    Window *w = WindowLookup(button);
    return w && LayerControl(w) ? (int)SendMessageA(button, BM_GETCHECK, 0, 0) : 0;
}

HWND Focus() { return GetFocus(); }

bool Enabled(HWND hwnd) { return IsWindowEnabled(hwnd) != 0; }

bool Visible(HWND hwnd) { return IsWindowVisible(hwnd) != 0; }

RECT WindowRect(HWND hwnd)
{
    RECT r = {0, 0, 0, 0};
    GetWindowRect(hwnd, &r);
    return r;
}

RECT ClientRect(HWND hwnd)
{
    Window *w = WindowLookup(hwnd);
    return w ? ScreenClientRect(w) : RECT{0, 0, 0, 0};
}

std::vector<std::string> Items(HWND control)
{
    std::vector<std::string> out;
    Window *w = WindowLookup(control);
    if (!w || !LayerControl(w))
        return out;
    if (SameText(w->cls->name, "SysListView32")) {
        int n = (int)SendMessageA(control, LVM_GETITEMCOUNT, 0, 0);
        for (int i = 0; i < n; i++) {
            char buf[512] = "";
            LVITEMA item = {};
            item.iSubItem = 0;
            item.pszText = buf;
            item.cchTextMax = sizeof buf;
            SendMessageA(control, LVM_GETITEMTEXTA, (WPARAM)i, (LPARAM)&item);
            out.push_back(buf);
        }
    } else if (SameText(w->cls->name, "COMBOBOX")) {
        int n = (int)SendMessageA(control, CB_GETCOUNT, 0, 0);
        for (int i = 0; i < n; i++) {
            int len = (int)SendMessageA(control, CB_GETLBTEXTLEN, (WPARAM)i, 0);
            std::string s(len > 0 ? len + 1 : 1, '\0');
            SendMessageA(control, CB_GETLBTEXT, (WPARAM)i, (LPARAM)&s[0]);
            s.resize(strlen(s.c_str()));
            out.push_back(s);
        }
    }
    return out;
}

int Selection(HWND control)
{
    Window *w = WindowLookup(control);
    if (!w || !LayerControl(w))
        return -1;
    if (SameText(w->cls->name, "SysListView32"))
        return (int)SendMessageA(control, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
    if (SameText(w->cls->name, "COMBOBOX"))
        return (int)SendMessageA(control, CB_GETCURSEL, 0, 0);
    return -1;
}

int DefaultButton(HWND dialog)
{
    Window *w = WindowLookup(dialog);
    if (!w)
        return 0;
    for (Window *c : w->children)
        if (SameText(c->cls->name, "BUTTON") && (c->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
            return (int)c->id;
    return 0;
}

int ScreenWidth() { return GetScreen().width; }
int ScreenHeight() { return GetScreen().height; }

uint32_t Pixel(int x, int y)
{
    Screen &s = GetScreen();
    if (x < 0 || y < 0 || x >= s.framebuffer.width || y >= s.framebuffer.height)
        return 0;
    return s.framebuffer.Row(y)[x] & 0xFFFFFF;
}

bool SavePng(const char *path) { return WritePng(path, GetScreen().framebuffer); }

std::vector<PALETTEENTRY> SystemPalette()
{
    Screen &s = GetScreen();
    return std::vector<PALETTEENTRY>(s.palette, s.palette + 256);
}

int RealizeCount() { return GetScreen().realizeCount; }

std::vector<LogEntry> Log() { return D().log; }

std::vector<LogEntry> MessageBoxes()
{
    std::vector<LogEntry> out;
    for (const LogEntry &e : D().log)
        if (e.kind == "messagebox")
            out.push_back(e);
    return out;
}

} // namespace automation
