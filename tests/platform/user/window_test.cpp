// The window manager's behaviours that the installer relies on: creation
// order, the queue, nested loops, painting with its clipping, and input
// routing.  Each scenario runs in a fresh process on a small headless screen.

#include <automation.h>
#include <windows.h>

#include <gtest/gtest.h>

#include "machine.h"
#include "scenario.h"

#include <stdarg.h>
#include <stdio.h>
#include <string>
#include <vector>

namespace {

std::vector<std::string> events;

void Note(const char *fmt, ...)
{
    char buf[256];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    events.push_back(buf);
}

COLORREF paintColour[8];

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    int tag = (int)GetWindowLongPtrA(hwnd, GWLP_USERDATA);
    switch (msg) {
    case WM_CREATE: {
        RECT r;
        GetClientRect(hwnd, &r);
        Note("create %dx%d", (int)r.right, (int)r.bottom);
        return 0;
    }
    case WM_SIZE:
        Note("size %dx%d", LOWORD(lp), HIWORD(lp));
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        HBRUSH b = CreateSolidBrush(paintColour[tag]);
        RECT r;
        GetClientRect(hwnd, &r);
        FillRect(dc, &r, b);
        DeleteObject(b);
        EndPaint(hwnd, &ps);
        Note("paint %d", tag);
        return 0;
    }
    case WM_USER:
        Note("user %d from %d", (int)wp, tag);
        return 0;
    case WM_USER + 1: {
        // A loop nested inside a dispatched message: runs until WM_USER + 2.
        Note("nested loop starts");
        MSG m;
        while (GetMessageA(&m, NULL, 0, 0)) {
            if (m.message == WM_USER + 2)
                break;
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
        Note("nested loop ends");
        return 0;
    }
    case WM_LBUTTONDOWN:
        Note("down %d at %d,%d", tag, GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
        return 0;
    case WM_LBUTTONUP:
        Note("up %d at %d,%d", tag, GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
        return 0;
    case WM_KEYDOWN:
        Note("key %d vk %d", tag, (int)wp);
        return 0;
    case WM_CHAR:
        Note("char %d '%c'", tag, (char)wp);
        return 0;
    case WM_DESTROY:
        if (tag == 0)
            PostQuitMessage(7);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

void RegisterTestClass()
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = "TestWindow";
    wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    ASSERT_NE(RegisterClassA(&wc), 0);
}

HWND Make(int tag, int x, int y, int w, int h, HWND parent = NULL, DWORD style = WS_POPUP | WS_VISIBLE)
{
    HWND hwnd = CreateWindowExA(0, "TestWindow", "", style, x, y, w, h, parent, (HMENU)(INT_PTR)tag,
                                NULL, NULL);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, tag);
    return hwnd;
}

int RunLoop()
{
    MSG m;
    while (GetMessageA(&m, NULL, 0, 0)) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
    return (int)m.wParam;
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(machine.Ready());
        events.clear();
    }
    TempMachine machine{{{"screen", "width", "64"}, {"screen", "height", "48"}}};
};

bool Has(const char *what)
{
    for (const std::string &e : events)
        if (e == what)
            return true;
    return false;
}

int IndexOf(const char *what)
{
    for (size_t i = 0; i < events.size(); i++)
        if (events[i] == what)
            return (int)i;
    return -1;
}

TEST_F(WindowTest, CreateRunsInsideCreateWindowAndSetWindowPosResizesAZeroWindow)
{
    auto result = RunScenario(nullptr, [] {
        RegisterTestClass();
        HWND w = Make(0, 0, 0, 0, 0);
        EXPECT_EQ(events.front(), "create 0x0");
        SetWindowPos(w, NULL, 0, 0, 64, 48, SWP_NOZORDER | SWP_NOACTIVATE);
        EXPECT_TRUE(Has("size 64x48"));
        RECT r;
        GetClientRect(w, &r);
        EXPECT_EQ(r.right, 64);
        EXPECT_EQ(r.bottom, 48);
        DestroyWindow(w);
        return RunLoop();
    });
    EXPECT_SCENARIO_OK(result, 7);
}

TEST_F(WindowTest, PostedBeforeTheLoopAndNestedLoops)
{
    auto result = RunScenario(nullptr, [] {
        RegisterTestClass();
        HWND a = Make(0, 0, 0, 10, 10);
        HWND b = Make(1, 20, 0, 10, 10);
        PostMessageA(a, WM_USER, 1, 0);
        PostMessageA(b, WM_USER + 1, 0, 0);    // b runs a nested loop
        PostMessageA(a, WM_USER, 2, 0);        // handled inside it
        PostMessageA(NULL, WM_USER + 2, 0, 0); // ends it
        PostMessageA(a, WM_USER, 3, 0);
        PostMessageA(a, WM_CLOSE, 0, 0);
        // PeekMessage with a null window sees every window's messages.
        MSG m;
        EXPECT_TRUE(PeekMessageA(&m, NULL, 0, 0, PM_NOREMOVE));
        EXPECT_EQ(m.hwnd, a);
        int code = RunLoop();
        int one = IndexOf("user 1 from 0"), starts = IndexOf("nested loop starts"),
            two = IndexOf("user 2 from 0"), ends = IndexOf("nested loop ends"), three = IndexOf("user 3 from 0");
        EXPECT_TRUE(one >= 0 && one < starts && starts < two && two < ends && ends < three);
        return code;
    });
    EXPECT_SCENARIO_OK(result, 7);
}

TEST_F(WindowTest, UncoveredAreasAreRepaintedAndParentsNeverPaintOverChildren)
{
    auto result = RunScenario(
        [] {
            automation::Settle();
            // The back window is red, the child green, the front window blue.
            EXPECT_EQ(automation::Pixel(2, 2), 0xFF0000u);
            EXPECT_EQ(automation::Pixel(6, 6), 0x00FF00u);
            EXPECT_EQ(automation::Pixel(25, 25), 0x0000FFu);
            HWND front = automation::FindDialog("front");
            ASSERT_NE(front, nullptr);
            DestroyWindow(front);
            automation::Settle();
            EXPECT_EQ(automation::Pixel(25, 25), 0xFF0000u);
            EXPECT_EQ(automation::Pixel(6, 6), 0x00FF00u);
            PostMessageA(automation::FindDialog("back"), WM_CLOSE, 0, 0);
        },
        [] {
            paintColour[0] = RGB(255, 0, 0);
            paintColour[1] = RGB(0, 255, 0);
            paintColour[2] = RGB(0, 0, 255);
            RegisterTestClass();
            HWND back = CreateWindowExA(0, "TestWindow", "back", WS_POPUP | WS_VISIBLE, 0, 0, 40, 40, NULL,
                                        NULL, NULL, NULL);
            HWND child = Make(1, 4, 4, 8, 8, back, WS_CHILD | WS_VISIBLE);
            HWND front = CreateWindowExA(0, "TestWindow", "front", WS_POPUP | WS_VISIBLE, 20, 20, 20, 20, NULL,
                                         NULL, NULL, NULL);
            SetWindowLongPtrA(front, GWLP_USERDATA, 2);
            (void)child;
            int code = RunLoop();
            // The child painted after its parent.
            EXPECT_LT(IndexOf("paint 0"), IndexOf("paint 1"));
            return code;
        });
    EXPECT_SCENARIO_OK(result, 7);
}

TEST_F(WindowTest, GetDCPaintingIsOnTheScreenAtOnce)
{
    auto result = RunScenario(nullptr, [] {
        RegisterTestClass();
        paintColour[0] = RGB(255, 255, 255);
        HWND w = Make(0, 0, 0, 30, 30);
        UpdateWindow(w);
        HDC dc = GetDC(w);
        RECT r = {0, 0, 10, 10};
        HBRUSH b = CreateSolidBrush(RGB(1, 2, 3));
        FillRect(dc, &r, b);
        DeleteObject(b);
        ReleaseDC(w, dc);
        EXPECT_EQ(automation::Pixel(5, 5), 0x010203u);
        DestroyWindow(w);
        return RunLoop();
    });
    EXPECT_SCENARIO_OK(result, 7);
}

TEST_F(WindowTest, InputGoesWhereThePlatformSendsIt)
{
    auto result = RunScenario(
        [] {
            HWND top = automation::FindDialog("top");
            HWND off = automation::FindDialog("off");
            ASSERT_TRUE(top && off);
            automation::ClickAt(13, 14); // inside the child at (10,10) of top
            automation::ClickAt(45, 5);  // on the disabled window: dropped
            automation::Type("a");
            automation::Key('B', automation::SHIFT);
            PostMessageA(top, WM_CLOSE, 0, 0);
        },
        [] {
            RegisterTestClass();
            HWND top = CreateWindowExA(0, "TestWindow", "top", WS_POPUP | WS_VISIBLE, 0, 0, 40, 40, NULL, NULL,
                                       NULL, NULL);
            HWND child = Make(1, 10, 10, 10, 10, top, WS_CHILD | WS_VISIBLE);
            HWND off = CreateWindowExA(0, "TestWindow", "off", WS_POPUP | WS_VISIBLE | WS_DISABLED, 40, 0, 20,
                                       20, NULL, NULL, NULL, NULL);
            SetWindowLongPtrA(off, GWLP_USERDATA, 2);
            SetFocus(child);
            int code = RunLoop();
            EXPECT_TRUE(Has("down 1 at 3,4"));
            EXPECT_TRUE(Has("up 1 at 3,4"));
            EXPECT_FALSE(Has("down 2 at 5,5"));
            EXPECT_TRUE(Has("char 1 'a'"));
            EXPECT_TRUE(Has("char 1 'B'"));
            return code;
        });
    EXPECT_SCENARIO_OK(result, 7);
}

TEST_F(WindowTest, WaitingWithNothingToAnswerEndsTheProcess)
{
    auto result = RunScenario(nullptr, [] {
        RegisterTestClass();
        Make(0, 0, 0, 10, 10);
        return RunLoop();
    });
    EXPECT_TRUE(result.exited);
    EXPECT_EQ(result.exitCode, 124);
}

} // namespace
