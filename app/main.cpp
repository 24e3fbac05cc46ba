/*
 * The entry, the main window and the wizard sequence.
 *
 * WinMain registers the class named by string 301 and creates a popup of
 * size 0 by 0.  Its WM_CREATE handler measures the display, has the
 * backdrop captured while the window still covers nothing, then makes the
 * window full-screen and posts command 4444 to itself.  The message loop
 * picks that command up and RunWizard runs the four pages, each a modal
 * dialog owned by this window, inside that one dispatch.  When the wizard
 * ends it tells the user the outcome and destroys the window, whose
 * WM_DESTROY ends the loop; the exit code is always 0.
 */
#include "setup.h"

#include <string.h>

static LRESULT MainOnCreate(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
static LRESULT MainOnCommand(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
static LRESULT MainOnDestroy(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
static LRESULT MainOnPaint(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
static LRESULT RunWizard(HWND window, UINT id, UINT code, LPARAM lParam);
static LRESULT CloseMainWindow(HWND window, UINT id, UINT code, LPARAM lParam);

static const char CancelText[] =
    "Setup was canceled. Any notes or errors you can send on my email: setup@nobra.example";

static const MessageEntry mainMessageRows[] = {
    {WM_CREATE, MainOnCreate},
    {WM_COMMAND, MainOnCommand},
    {WM_DESTROY, MainOnDestroy},
    {WM_PAINT, MainOnPaint},
};
static const MessageTable mainMessages = {TABLE_ROWS(mainMessageRows), mainMessageRows,
                                          DefaultWindowProc};

static const CommandEntry mainCommandRows[] = {
    {ID_RUN_WIZARD, RunWizard},
    {ID_CLOSE_SETUP, CloseMainWindow},
};
static const CommandTable mainCommands = {TABLE_ROWS(mainCommandRows), mainCommandRows,
                                          DefaultWindowProc};

static LRESULT MainOnCreate(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    HDC dc = GetDC(window);
    g_setup.screenWidth = GetDeviceCaps(dc, HORZRES);
    g_setup.screenHeight = GetDeviceCaps(dc, VERTRES);
    g_setup.screenBpp = GetDeviceCaps(dc, BITSPIXEL);
    ReleaseDC(window, dc);

    g_setup.titleFont = CreateLogicalFont(400, 0, 72, DEFAULT_CHARSET, "Arial Black");
    /* The capture is taken while this window still has no size, so it shows
     * the desktop and not the window itself. */
    g_setup.backdropBitmap = BuildBackdrop(window);
    SetWindowPos(window, NULL, 0, 0, g_setup.screenWidth, g_setup.screenHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);

    memset(g_setup.sourceDir, 0, sizeof(g_setup.sourceDir));
    GetCurrentDirectoryA(500, g_setup.sourceDir);
    /* A drive root "C:\" becomes "C:", so that names join with one backslash. */
    if (lstrlenA(g_setup.sourceDir) < 4)
        g_setup.sourceDir[2] = '\0';

    PostMessageA(window, WM_COMMAND, ID_RUN_WIZARD, 0);
    return 0;
}

static LRESULT MainOnCommand(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DispatchCommand(&mainCommands, window, wParam, lParam);
}

static LRESULT MainOnDestroy(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    PostQuitMessage(0);
    return 0;
}

static LRESULT MainOnPaint(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);

    if (g_setup.backdropBitmap)
        PaintBackdrop(dc);
    EndPaint(window, &paint);
    return 0;
}

/* Runs the four pages in order; the group page's result does not stop the success. */
static LRESULT RunWizard(HWND window, UINT id, UINT code, LPARAM lParam)
{
    if (RunLicencePage(window) != 0 || RunDestinationPage(window) != 0 ||
        RunCopyPage(window) != 0) {
        MessageBoxA(window, CancelText, SetupTitle, MB_ICONWARNING);
    } else {
        RunGroupPage(window);
        wsprintfA(g_setup.messageText, "%s was successfully %s", ProductName, "installed");
        MessageBoxA(window, g_setup.messageText, SetupTitle, MB_ICONINFORMATION);
        ShellExecuteA(NULL, NULL, g_setup.openAtEnd, NULL, NULL, SW_SHOWNA);
    }
    DestroyWindow(window);
    return 0;
}

/* Command 300 comes only from another program posting it. */
static LRESULT CloseMainWindow(HWND window, UINT id, UINT code, LPARAM lParam)
{
    DestroyWindow(window);
    return 0;
}

static LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DispatchMessageTable(&mainMessages, window, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show)
{
    WNDCLASSA cls;
    HACCEL accelerators;
    MSG msg;

    LoadStringA(instance, IDS_CLASSNAME, g_setup.className, ClassNameSize);
    g_setup.instance = instance;

    cls.style = CS_HREDRAW | CS_VREDRAW;
    cls.lpfnWndProc = MainWndProc;
    cls.cbClsExtra = 0;
    cls.cbWndExtra = 0;
    cls.hInstance = instance;
    cls.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_SETUP));
    cls.hCursor = LoadCursorA(NULL, IDC_ARROW);
    cls.hbrBackground = (HBRUSH)(COLOR_MENUTEXT + 1);
    cls.lpszMenuName = g_setup.className;
    cls.lpszClassName = g_setup.className;
    if (!RegisterClassA(&cls) && !RegisterClassA(&cls))
        return 0;

    g_setup.mainWindow = CreateWindowExA(0, g_setup.className, g_setup.className,
                                         WS_POPUP | WS_VISIBLE, 0, 0, 0, 0, NULL, NULL, instance,
                                         NULL);
    if (!g_setup.mainWindow)
        return 0;
    UpdateWindow(g_setup.mainWindow);

    /* The resources hold no accelerator table; the handle stays null. */
    accelerators = LoadAcceleratorsA(instance, g_setup.className);
    msg.wParam = 0;
    while (GetMessageA(&msg, NULL, 0, 0)) {
        if (!TranslateAcceleratorA(msg.hwnd, accelerators, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return (int)msg.wParam;
}
