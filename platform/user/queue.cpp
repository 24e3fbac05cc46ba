/*
 * The thread's message queue, input routing, focus, activation and capture.
 *
 * There is one GUI thread and one queue.  GetMessageA looks, in this order,
 * at: posted messages; device input; the quit request; windows that need
 * painting.  Device input arrives as raw events (from the X11 backend or the
 * automation driver) and is routed only when the queue reaches it, so that a
 * capture or focus change made while handling one event decides where the
 * next one goes, as on the platform.  When nothing is left the screen is
 * flushed and the thread waits: for the automation driver when one runs,
 * otherwise for the screen's backend.  A headless screen without a driver
 * can never deliver input, so waiting there ends the process with a message
 * instead of hanging.
 *
 * Routing: the mouse goes to the window holding the capture, else to the
 * deepest visible window under the pointer that does not answer
 * HTTRANSPARENT; a click on a window whose top-level window is disabled (the
 * owner of a modal dialog) is dropped.  Keys go to the focus window, or the
 * active window when nothing has the focus.  TranslateMessage turns a key
 * press into WM_CHAR with the character the device reported for it.
 */
#include "user/wm.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <algorithm>
#include <deque>

namespace layer {

struct RawInput {
    enum Kind { MOVE, BUTTON, WHEEL, KEY } kind;
    int x = 0, y = 0;
    int button = 0;
    bool down = false;
    int delta = 0;
    UINT vk = 0;
    unsigned char ch = 0;
};

static std::deque<MSG> posted;
static std::deque<RawInput> rawInput;
static bool quitPending;
static int quitCode;
static Window *focus;
static Window *active;
static Window *capture;
static POINT cursor;
static unsigned char keyDown[256];
static unsigned char keyToggled[256];
static MSG lastMessage;

/* The character that goes with the last key press routed, for TranslateMessage. */
static MSG lastKeyMsg;
static unsigned char lastKeyChar;

/* Double clicks: the last press, where and when. */
static Window *lastClickWindow;
static int lastClickButton = -1;
static POINT lastClickPoint;
static DWORD lastClickTime;
static bool lastClickWasDouble;

static DWORD Now() { return GetTickCount(); }

Window *FocusWindow() { return focus && WindowLookup(H(focus)) ? focus : nullptr; }
Window *ActiveTopLevel() { return active && WindowLookup(H(active)) ? active : nullptr; }

void ForgetWindow(Window *w)
{
    if (focus == w)
        focus = nullptr;
    if (capture == w)
        capture = nullptr;
    if (active == w)
        active = nullptr;
    if (lastClickWindow == w)
        lastClickWindow = nullptr;
    HWND h = H(w);
    posted.erase(std::remove_if(posted.begin(), posted.end(), [h](const MSG &m) { return m.hwnd == h; }),
                 posted.end());
}

void PostInternal(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    MSG m;
    m.hwnd = hwnd;
    m.message = message;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = Now();
    m.pt = cursor;
    posted.push_back(m);
}

bool QueueBusy()
{
    return !posted.empty() || !rawInput.empty() || quitPending || NextWindowToPaint() != nullptr;
}

void InputMouseMove(int x, int y)
{
    RawInput r;
    r.kind = RawInput::MOVE;
    r.x = x;
    r.y = y;
    rawInput.push_back(r);
}

void InputMouseButton(int button, bool down, int x, int y)
{
    RawInput r;
    r.kind = RawInput::BUTTON;
    r.button = button;
    r.down = down;
    r.x = x;
    r.y = y;
    rawInput.push_back(r);
}

void InputWheel(int delta, int x, int y)
{
    RawInput r;
    r.kind = RawInput::WHEEL;
    r.delta = delta;
    r.x = x;
    r.y = y;
    rawInput.push_back(r);
}

void InputKey(UINT vk, bool down, unsigned char ch)
{
    RawInput r;
    r.kind = RawInput::KEY;
    r.vk = vk & 0xFF;
    r.down = down;
    r.ch = ch;
    rawInput.push_back(r);
}

static WPARAM MouseKeyFlags()
{
    WPARAM f = 0;
    if (keyDown[VK_LBUTTON]) f |= MK_LBUTTON;
    if (keyDown[VK_RBUTTON]) f |= MK_RBUTTON;
    if (keyDown[VK_SHIFT]) f |= MK_SHIFT;
    if (keyDown[VK_CONTROL]) f |= MK_CONTROL;
    if (keyDown[4]) f |= MK_MBUTTON;
    return f;
}

Window *WindowAtPoint(POINT p, bool honourTransparent, LRESULT *hit);

static bool TopLevelEnabled(Window *w)
{
    Window *t = TopLevel(w);
    return t && !(t->style & WS_DISABLED);
}

static MSG MakeMsg(Window *w, UINT message, WPARAM wParam, LPARAM lParam)
{
    MSG m;
    m.hwnd = H(w);
    m.message = message;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = Now();
    m.pt = cursor;
    return m;
}

/* Turns one raw event into a message; false when it goes nowhere. */
static bool RouteInput(const RawInput &in, MSG &out)
{
    static const UINT downMsgs[3] = {WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN};
    static const UINT upMsgs[3] = {WM_LBUTTONUP, WM_RBUTTONUP, WM_MBUTTONUP};
    static const UINT dblMsgs[3] = {WM_LBUTTONDBLCLK, WM_RBUTTONDBLCLK, WM_MBUTTONDBLCLK};
    static const int buttonKeys[3] = {VK_LBUTTON, VK_RBUTTON, 4};

    switch (in.kind) {
    case RawInput::MOVE:
    case RawInput::BUTTON: {
        cursor = {in.x, in.y};
        int b = std::min(std::max(in.button, 0), 2);
        if (in.kind == RawInput::BUTTON)
            keyDown[buttonKeys[b]] = in.down;
        Window *target = nullptr;
        LRESULT hit = HTCLIENT;
        if (capture && WindowLookup(H(capture))) {
            target = capture;
        } else {
            target = WindowAtPoint(cursor, true, &hit);
            if (!target)
                return false;
            if (!TopLevelEnabled(target))
                return false;
            if (target->style & WS_DISABLED) {
                /* A disabled control passes the mouse to its enabled parent. */
                while (target && (target->style & WS_DISABLED) && (target->style & WS_CHILD))
                    target = target->parent;
                if (!target || (target->style & WS_DISABLED))
                    return false;
                hit = HTCLIENT;
            }
        }
        UINT message;
        if (in.kind == RawInput::MOVE) {
            message = WM_MOUSEMOVE;
        } else if (in.down) {
            Window *top = TopLevel(target);
            if (top && top != ActiveTopLevel() && !(top->style & WS_DISABLED))
                SetActiveWindow(H(top));
            if (!WindowLookup(H(target)))
                return false;
            DWORD t = Now();
            bool dbl = (target->cls->style & CS_DBLCLKS) && lastClickWindow == target &&
                       lastClickButton == b && !lastClickWasDouble && t - lastClickTime <= 500 &&
                       abs(cursor.x - lastClickPoint.x) <= 2 && abs(cursor.y - lastClickPoint.y) <= 2;
            /* The frame's double clicks do not depend on the class style. */
            if (hit != HTCLIENT)
                dbl = lastClickWindow == target && lastClickButton == b && !lastClickWasDouble &&
                      t - lastClickTime <= 500;
            lastClickWasDouble = dbl;
            lastClickWindow = target;
            lastClickButton = b;
            lastClickPoint = cursor;
            lastClickTime = t;
            message = dbl ? dblMsgs[b] : downMsgs[b];
        } else {
            message = upMsgs[b];
        }
        if (hit == HTCLIENT || target == capture) {
            POINT p = cursor;
            ScreenToClient(H(target), &p);
            out = MakeMsg(target, message, MouseKeyFlags(), MAKELPARAM((SHORT)p.x, (SHORT)p.y));
        } else {
            /* The frame: WM_NCxxx carry the hit code and screen coordinates. */
            UINT nc = message - WM_MOUSEMOVE + WM_NCMOUSEMOVE;
            out = MakeMsg(target, nc, (WPARAM)hit, MAKELPARAM((SHORT)cursor.x, (SHORT)cursor.y));
        }
        return true;
    }
    case RawInput::WHEEL: {
        cursor = {in.x, in.y};
        Window *target = FocusWindow();
        if (!target)
            target = WindowAtPoint(cursor, true, nullptr);
        if (!target || !TopLevelEnabled(target))
            return false;
        out = MakeMsg(target, WM_MOUSEWHEEL, MAKEWPARAM(MouseKeyFlags(), (WORD)(SHORT)in.delta),
                      MAKELPARAM((SHORT)cursor.x, (SHORT)cursor.y));
        return true;
    }
    case RawInput::KEY: {
        UINT vk = in.vk;
        bool wasDown = keyDown[vk];
        keyDown[vk] = in.down;
        if (in.down && !wasDown)
            keyToggled[vk] ^= 1;
        /* The generic modifiers follow their left and right keys. */
        if (vk == 0xA0 || vk == 0xA1) keyDown[VK_SHIFT] = in.down;
        if (vk == 0xA2 || vk == 0xA3) keyDown[VK_CONTROL] = in.down;
        if (vk == 0xA4 || vk == 0xA5) keyDown[VK_MENU] = in.down;
        Window *target = FocusWindow();
        if (!target)
            target = ActiveTopLevel();
        if (!target)
            return false;
        bool alt = keyDown[VK_MENU] != 0;
        UINT message = in.down ? (alt ? WM_SYSKEYDOWN : WM_KEYDOWN) : (alt ? WM_SYSKEYUP : WM_KEYUP);
        LPARAM lp = 1;
        if (alt)
            lp |= 1 << 29;
        if (!in.down)
            lp |= (LPARAM)(3u << 30);
        else if (wasDown)
            lp |= 1 << 30;
        out = MakeMsg(target, message, vk, lp);
        if (in.down) {
            lastKeyMsg = out;
            lastKeyChar = in.ch;
        }
        return true;
    }
    }
    return false;
}

static bool MatchesFilter(const MSG &m, HWND filter, UINT first, UINT last)
{
    if (filter && m.hwnd != filter && !IsChild(filter, m.hwnd))
        return false;
    if (first == 0 && last == 0)
        return true;
    return m.message >= first && m.message <= last;
}

/* One pass over the queue's sources; true with a message when one is there. */
static bool Retrieve(MSG *out, HWND filter, UINT first, UINT last, bool remove)
{
    for (;;) {
        for (auto it = posted.begin(); it != posted.end(); ++it) {
            if (MatchesFilter(*it, filter, first, last)) {
                *out = *it;
                if (remove)
                    posted.erase(it);
                return true;
            }
        }
        if (!rawInput.empty()) {
            RawInput in = rawInput.front();
            rawInput.pop_front();
            MSG m;
            if (RouteInput(in, m))
                posted.push_back(m);
            continue;
        }
        break;
    }
    if (quitPending && !filter) {
        MSG m = {};
        m.message = WM_QUIT;
        m.wParam = (WPARAM)quitCode;
        m.time = Now();
        m.pt = cursor;
        *out = m;
        if (remove)
            quitPending = false;
        return true;
    }
    for (;;) {
        Window *p = NextWindowToPaint();
        if (!p)
            break;
        if (filter && H(p) != filter && !IsChild(filter, H(p)))
            break;
        if (p->update.Empty()) {
            SendMessageA(H(p), WM_NCPAINT, 1, 0);
            p->ncPaint = false;
            continue;
        }
        if (first || last) {
            if (WM_PAINT < first || WM_PAINT > last)
                break;
        }
        MSG m = MakeMsg(p, WM_PAINT, 0, 0);
        *out = m;
        return true;
    }
    return false;
}

[[noreturn]] static void NothingCanAnswer()
{
    fprintf(stderr, "nobra-setup: the program waits for input, but the %s screen cannot give any "
                    "(no script is driving it)\n", GetScreen().backend ? GetScreen().backend->Name() : "");
    fflush(stderr);
    exit(124);
}

} // namespace layer

using namespace layer;

extern "C" BOOL WINAPI GetMessageA(LPMSG msg, HWND hwnd, UINT first, UINT last)
{
    if (!msg) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    if (hwnd && !WindowLookup(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    for (;;) {
        if (Retrieve(msg, hwnd, first, last, true)) {
            lastMessage = *msg;
            return msg->message != WM_QUIT;
        }
        ScreenFlush();
        if (AutomationIdle())
            continue;
        ScreenBackend *backend = GetScreen().backend;
        if (!backend || !backend->Pump(-1))
            NothingCanAnswer();
    }
}

extern "C" BOOL WINAPI PeekMessageA(LPMSG msg, HWND hwnd, UINT first, UINT last, UINT remove)
{
    if (!msg)
        return FALSE;
    bool take = (remove & PM_REMOVE) != 0;
    if (Retrieve(msg, hwnd, first, last, take)) {
        if (take)
            lastMessage = *msg;
        return TRUE;
    }
    ScreenFlush();
    if (ScreenBackend *backend = GetScreen().backend)
        backend->Pump(0);
    if (Retrieve(msg, hwnd, first, last, take)) {
        if (take)
            lastMessage = *msg;
        return TRUE;
    }
    return FALSE;
}

extern "C" BOOL WINAPI PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (hwnd && !WindowLookup(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    PostInternal(hwnd, message, wParam, lParam);
    return TRUE;
}

extern "C" LRESULT WINAPI SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Window *w = WindowLookup(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (!w->proc)
        return 0;
    return w->proc(hwnd, message, wParam, lParam);
}

extern "C" void WINAPI PostQuitMessage(int code)
{
    quitPending = true;
    quitCode = code;
}

extern "C" LRESULT WINAPI DispatchMessageA(const MSG *msg)
{
    if (!msg || !msg->hwnd)
        return 0;
    Window *w = WindowLookup(msg->hwnd);
    if (!w)
        return 0;
    LRESULT r = SendMessageA(msg->hwnd, msg->message, msg->wParam, msg->lParam);
    /* A procedure that does not validate its window is answered by the
     * default one, so that WM_PAINT cannot come back for ever. */
    if (msg->message == WM_PAINT && (w = WindowLookup(msg->hwnd)) && !w->update.Empty()) {
        PAINTSTRUCT ps;
        if (BeginPaint(msg->hwnd, &ps))
            EndPaint(msg->hwnd, &ps);
    }
    return r;
}

/* The character a key types when the device gave none: the US layout. */
static unsigned char CharForKey(UINT vk)
{
    bool shift = keyDown[VK_SHIFT] != 0;
    bool ctrl = keyDown[VK_CONTROL] != 0;
    if (vk >= 'A' && vk <= 'Z') {
        if (ctrl)
            return (unsigned char)(vk - 'A' + 1);
        bool upper = shift != (keyToggled[0x14] != 0);
        return (unsigned char)(upper ? vk : vk + 32);
    }
    if (ctrl)
        return 0;
    if (vk >= '0' && vk <= '9')
        return shift ? (unsigned char)")!@#$%^&*("[vk - '0'] : (unsigned char)vk;
    switch (vk) {
    case VK_SPACE: return ' ';
    case VK_RETURN: return '\r';
    case VK_BACK: return '\b';
    case VK_TAB: return '\t';
    case VK_ESCAPE: return 0x1B;
    case 0xBA: return shift ? ':' : ';';
    case 0xBB: return shift ? '+' : '=';
    case 0xBC: return shift ? '<' : ',';
    case 0xBD: return shift ? '_' : '-';
    case 0xBE: return shift ? '>' : '.';
    case 0xBF: return shift ? '?' : '/';
    case 0xC0: return shift ? '~' : '`';
    case 0xDB: return shift ? '{' : '[';
    case 0xDC: return shift ? '|' : '\\';
    case 0xDD: return shift ? '}' : ']';
    case 0xDE: return shift ? '"' : '\'';
    }
    return 0;
}

extern "C" BOOL WINAPI TranslateMessage(const MSG *msg)
{
    if (!msg || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN))
        return FALSE;
    unsigned char ch;
    if (msg->hwnd == lastKeyMsg.hwnd && msg->wParam == lastKeyMsg.wParam && msg->lParam == lastKeyMsg.lParam &&
        msg->time == lastKeyMsg.time && lastKeyChar)
        ch = lastKeyChar;
    else
        ch = CharForKey((UINT)msg->wParam);
    if (!ch)
        return FALSE;
    PostInternal(msg->hwnd, msg->message == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR, ch, msg->lParam);
    return TRUE;
}

extern "C" HACCEL WINAPI LoadAcceleratorsA(HINSTANCE instance, LPCSTR name)
{
    ResourceData res;
    if (!FindResourceData(RT_ACCELERATOR, name, res)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return NULL;
    }
    /* The installer carries no accelerator table; one that exists is kept
     * as its resource data. */
    return (HACCEL)res.data;
}

extern "C" int WINAPI TranslateAcceleratorA(HWND hwnd, HACCEL table, LPMSG msg)
{
    if (!table || !msg)
        return 0;
    if (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)
        return 0;
    /* ACCELTABLEENTRY: fFlags (WORD), wAnsi (WORD), wId (WORD), padding (WORD); 0x80 ends it. */
    const unsigned char *p = (const unsigned char *)table;
    for (int i = 0; i < 256; i++, p += 8) {
        WORD flags = (WORD)(p[0] | p[1] << 8), key = (WORD)(p[2] | p[3] << 8), id = (WORD)(p[4] | p[5] << 8);
        bool virt = flags & 1;
        bool shift = (flags & 4) != 0, ctrl = (flags & 8) != 0, alt = (flags & 16) != 0;
        if (virt && key == msg->wParam && shift == (keyDown[VK_SHIFT] != 0) &&
            ctrl == (keyDown[VK_CONTROL] != 0) && alt == (keyDown[VK_MENU] != 0)) {
            SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(id, 1), 0);
            return 1;
        }
        if (flags & 0x80)
            break;
    }
    return 0;
}

extern "C" HWND WINAPI SetActiveWindow(HWND hwnd)
{
    Window *old = ActiveTopLevel();
    Window *w = hwnd ? WindowLookup(hwnd) : nullptr;
    if (hwnd && !w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return NULL;
    }
    if (w)
        w = TopLevel(w);
    if (w == old)
        return old ? H(old) : NULL;
    if (old) {
        Window *f = FocusWindow();
        if (f && TopLevel(f) == old)
            old->savedFocus = H(f);
    }
    active = w;
    if (old && WindowLookup(H(old))) {
        SendMessageA(H(old), WM_NCACTIVATE, FALSE, 0);
        SendMessageA(H(old), WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), (LPARAM)hwnd);
        old->ncPaint = true;
    }
    if (w && WindowLookup(H(w)) && active == w) {
        SendMessageA(H(w), WM_NCACTIVATE, TRUE, 0);
        SendMessageA(H(w), WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, 0), (LPARAM)(old ? H(old) : NULL));
        w->ncPaint = true;
    }
    if (!w && focus)
        SetFocus(NULL);
    return old ? H(old) : NULL;
}

extern "C" HWND WINAPI GetActiveWindow(void)
{
    Window *a = ActiveTopLevel();
    return a ? H(a) : NULL;
}

extern "C" BOOL WINAPI SetForegroundWindow(HWND hwnd)
{
    if (!WindowLookup(hwnd))
        return FALSE;
    SetActiveWindow(hwnd);
    return TRUE;
}

extern "C" HWND WINAPI GetForegroundWindow(void) { return GetActiveWindow(); }

extern "C" HWND WINAPI SetFocus(HWND hwnd)
{
    Window *old = FocusWindow();
    HWND oldH = old ? H(old) : NULL;
    if (!hwnd) {
        focus = nullptr;
        if (old)
            SendMessageA(oldH, WM_KILLFOCUS, 0, 0);
        return oldH;
    }
    Window *w = WindowLookup(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return NULL;
    }
    if (w == old)
        return oldH;
    Window *top = TopLevel(w);
    if (top != ActiveTopLevel()) {
        SetActiveWindow(H(top));
        if (!WindowLookup(hwnd))
            return NULL;
        old = FocusWindow();
        oldH = old ? H(old) : NULL;
        if (w == old)
            return oldH;
    }
    focus = w;
    if (old)
        SendMessageA(oldH, WM_KILLFOCUS, (WPARAM)hwnd, 0);
    if (focus == w && WindowLookup(hwnd))
        SendMessageA(hwnd, WM_SETFOCUS, (WPARAM)oldH, 0);
    return oldH;
}

extern "C" HWND WINAPI GetFocus(void)
{
    Window *f = FocusWindow();
    return f ? H(f) : NULL;
}

extern "C" HWND WINAPI SetCapture(HWND hwnd)
{
    Window *old = capture && WindowLookup(H(capture)) ? capture : nullptr;
    capture = WindowLookup(hwnd);
    if (old && old != capture)
        SendMessageA(H(old), WM_CAPTURECHANGED, 0, (LPARAM)hwnd);
    return old ? H(old) : NULL;
}

extern "C" BOOL WINAPI ReleaseCapture(void)
{
    Window *old = capture && WindowLookup(H(capture)) ? capture : nullptr;
    capture = nullptr;
    if (old)
        SendMessageA(H(old), WM_CAPTURECHANGED, 0, 0);
    return TRUE;
}

extern "C" HWND WINAPI GetCapture(void)
{
    return capture && WindowLookup(H(capture)) ? H(capture) : NULL;
}

extern "C" SHORT WINAPI GetKeyState(int key)
{
    key &= 0xFF;
    return (SHORT)((keyDown[key] ? 0x8000 : 0) | (keyToggled[key] ? 1 : 0));
}

extern "C" SHORT WINAPI GetAsyncKeyState(int key)
{
    key &= 0xFF;
    return (SHORT)(keyDown[key] ? 0x8000 : 0);
}

extern "C" BOOL WINAPI GetCursorPos(LPPOINT p)
{
    if (!p)
        return FALSE;
    *p = cursor;
    return TRUE;
}

extern "C" HCURSOR WINAPI SetCursor(HCURSOR c)
{
    static HCURSOR current;
    HCURSOR old = current;
    current = c;
    return old;
}

extern "C" DWORD WINAPI GetMessagePos(void)
{
    return (DWORD)MAKELONG((WORD)(SHORT)lastMessage.pt.x, (WORD)(SHORT)lastMessage.pt.y);
}

extern "C" LONG WINAPI GetMessageTime(void) { return (LONG)lastMessage.time; }

extern "C" BOOL WINAPI MessageBeep(UINT type)
{
    LogBeep(type);
    if (ScreenBackend *b = GetScreen().backend)
        b->Beep();
    return TRUE;
}
