/*
 * Driving the program from a script: the one API of the tests and the
 * unattended demo.
 *
 * A script runs on a thread of its own, in lock-step with the program: the
 * program runs until it would wait for input, then the script runs until it
 * acts (a click, a key), then the program runs again.  Only one of the two
 * runs at any time, so the script may read the program's windows freely.
 * Every action goes through the real input path (hit test, capture, focus,
 * the message queue); no window procedure or handler is called directly.
 */
#ifndef NOBRA_AUTOMATION_H
#define NOBRA_AUTOMATION_H

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace automation {

/* Starts the script; call before WinMain.  When the script returns, the
 * program goes on alone: if it then waits for input that no screen can
 * give, the process ends with exit code 124 and says so on stderr. */
void Start(std::function<void()> script);

/* Lets the program run until it waits for input again. */
void Settle();

/* The top-most visible dialog made from the named template (the name given
 * to DialogBoxParamA), or whose caption is the text; null when none. */
HWND FindDialog(const char *templateOrCaption);
/* Settles, then finds the dialog; null when the program waits without it. */
HWND WaitDialog(const char *templateOrCaption);
/* The top-most window that has the input: the active modal dialog or box. */
HWND ActiveWindow();
HWND Control(HWND dialog, int id);
/* The button of a message box with that text ("OK", "Yes", "No", ...). */
HWND BoxButton(HWND box, const char *text);

/* Mouse, in screen coordinates, through the input router. */
void MouseMove(int x, int y);
void MouseDown(int x, int y, int button = 0);
void MouseUp(int x, int y, int button = 0);
void ClickAt(int x, int y);
void DoubleClickAt(int x, int y);
void WheelAt(int x, int y, int delta);
/* Clicks the centre of a window. */
void Click(HWND window);
void DoubleClick(HWND window);
/* Clicks an item of a list view or of an open combo box list, by index. */
void ClickItem(HWND control, int index);
void DoubleClickItem(HWND control, int index);

/* Keyboard: a key pressed and released, with modifiers held around it. */
enum { SHIFT = 1, CTRL = 2 };
void Key(UINT vk, int modifiers = 0);
/* Types each character as its key would. */
void Type(const char *text);
/* Puts the text on the clipboard and presses Ctrl+V. */
void Paste(const char *text);

/* Reading state. */
std::string Text(HWND window);
std::string ClassName(HWND window);
int Checked(HWND button);
HWND Focus();
bool Enabled(HWND window);
bool Visible(HWND window);
RECT WindowRect(HWND window);
RECT ClientRect(HWND window); /* in screen coordinates */
std::vector<std::string> Items(HWND listOrCombo);
int Selection(HWND listOrCombo);
/* The window's default push button id, or 0. */
int DefaultButton(HWND dialog);

/* The screen. */
int ScreenWidth();
int ScreenHeight();
uint32_t Pixel(int x, int y); /* 0x00RRGGBB */
bool SavePng(const char *path);
/* At 8 bits per pixel: the system palette and how often it was realised. */
std::vector<PALETTEENTRY> SystemPalette();
int RealizeCount();

/* What the program showed. */
struct LogEntry {
    std::string kind;     /* "messagebox", "beep", "shell" */
    std::string caption;  /* message box caption as shown; shell: the verb */
    std::string text;     /* message box text; shell: the file */
    UINT type = 0;        /* MB_ flags; beep: the MessageBeep argument */
    int answer = 0;       /* message box: the button that ended it */
    std::string hostPath; /* shell: the host folder opened, or empty */
};
std::vector<LogEntry> Log();
/* Message boxes only. */
std::vector<LogEntry> MessageBoxes();

} // namespace automation

#endif
