// The dialog manager, message boxes, scroll bars, the clipboard and the
// BUTTON, STATIC and EDIT controls.  Templates come from dialog.rc; broken
// ones from tests/fixtures/dialog.  Each scenario runs in a fresh process on
// a 640 by 480 headless screen and is driven through the automation API.

#include <automation.h>
#include <windows.h>

#include <gtest/gtest.h>

#include "dialog_ids.h"
#include "machine.h"
#include "scenario.h"
#include "user/dialog.h"

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using namespace automation;

std::vector<std::string> notes;
LPARAM commandControl = -1; // lParam of the command that ended the dialog

enum { DISABLE_AGREE = 1, INIT_RETURNS_FALSE = 2 };

std::string EditText(HWND dialog, int id)
{
    char buf[256];
    GetDlgItemTextA(dialog, id, buf, sizeof buf);
    return buf;
}

// Ends the dialog with the id of a button command; records edit notifications.
INT_PTR CALLBACK RecordingProc(HWND dialog, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_INITDIALOG:
        if (lp & DISABLE_AGREE)
            EnableWindow(GetDlgItem(dialog, IDC_AGREE), FALSE);
        return (lp & INIT_RETURNS_FALSE) ? FALSE : TRUE;
    case WM_COMMAND:
        switch (HIWORD(wp)) {
        case EN_UPDATE:
            notes.push_back("update " + EditText(dialog, LOWORD(wp)));
            return TRUE;
        case EN_CHANGE:
            notes.push_back("change " + EditText(dialog, LOWORD(wp)));
            return TRUE;
        case BN_CLICKED:
            if (LOWORD(wp) == IDC_AGREE || LOWORD(wp) == IDC_EX_FLAT) {
                notes.push_back("clicked " + std::to_string(LOWORD(wp)));
                return TRUE;
            }
            commandControl = lp;
            EndDialog(dialog, LOWORD(wp));
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

std::function<int()> RunDialog(LPCSTR name, LPARAM flags = 0)
{
    return [name, flags] { return (int)DialogBoxParamA(GetModuleHandleA(NULL), name, NULL, RecordingProc, flags); };
}

RECT Rect(HWND w) { return WindowRect(w); }
int Width(const RECT &r) { return r.right - r.left; }
int Height(const RECT &r) { return r.bottom - r.top; }

// The centre of the close box of a captioned dialog-framed window.
POINT CloseBox(HWND w)
{
    RECT r = Rect(w);
    return {r.right - 13, r.top + 12};
}

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(machine.Ready());
        notes.clear();
        commandControl = -1;
    }
    TempMachine machine;
};

std::vector<unsigned char> Fixture(const char *name)
{
    std::ifstream f(std::string(NOBRA_FIXTURES) + "/dialog/" + name, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(f), {});
}

TEST(DialogTemplate, BrokenTemplatesFailWithoutReadingPastTheirEnd)
{
    for (const char *name : {"truncated_header.bin", "item_count_too_large.bin", "title_unterminated.bin",
                             "font_truncated.bin", "creation_data_overrun.bin", "ex_item_truncated.bin"}) {
        std::vector<unsigned char> data = Fixture(name);
        ASSERT_FALSE(data.empty()) << name;
        layer::DialogTemplate t;
        EXPECT_FALSE(layer::ParseDialogTemplate(data.data(), data.size(), t)) << name;
    }
}

TEST(DialogTemplate, HandBuiltItemWithOrdinalTitleAndCreationData)
{
    std::vector<unsigned char> data = Fixture("valid_item.bin");
    layer::DialogTemplate t;
    ASSERT_TRUE(layer::ParseDialogTemplate(data.data(), data.size(), t));
    EXPECT_FALSE(t.extended);
    EXPECT_EQ(t.title.text, "T\xE9st"); // UTF-16 to Windows-1252
    ASSERT_EQ(t.items.size(), 1u);
    const layer::DialogItemTemplate &item = t.items[0];
    EXPECT_EQ(item.id, 42u);
    EXPECT_EQ(layer::TemplateClassName(item.cls), "Button");
    EXPECT_EQ(item.title.kind, layer::TemplateName::ORDINAL);
    EXPECT_EQ(item.title.ordinal, 7);
    EXPECT_EQ(item.creationData, (std::vector<unsigned char>{1, 2, 3, 4}));
    // Every shorter image is incomplete.
    for (size_t n = 0; n < data.size(); n++) {
        std::vector<unsigned char> part(data.begin(), data.begin() + n);
        EXPECT_FALSE(layer::ParseDialogTemplate(part.data(), part.size(), t)) << n;
    }
}

void CheckResourceTemplates()
{
        struct Case {
            LPCSTR name;
            bool extended;
            DWORD style;
            WORD points, weight;
            BYTE italic, charset;
            const char *face;
            size_t items;
        } cases[] = {
            {"IDD_PAGE", false, WS_POPUP | DS_SETFONT | DS_CENTER, 8, FW_NORMAL, 0, DEFAULT_CHARSET, "MS Sans Serif", 7},
            {MAKEINTRESOURCEA(IDD_EX), true, WS_POPUP | WS_CAPTION | DS_SETFONT | DS_CENTER, 8, 400, 0, 0,
             "MS Sans Serif", 5},
            {"IDD_EXBOLD", true, WS_POPUP | DS_SETFONT, 10, 700, 1, 2, "Arial", 1},
        };
        for (const Case &c : cases) {
            layer::ResourceData res;
            ASSERT_TRUE(layer::FindResourceData(RT_DIALOG, c.name, res));
            layer::DialogTemplate t;
            ASSERT_TRUE(layer::ParseDialogTemplate(res.data, res.size, t));
            EXPECT_EQ(t.extended, c.extended);
            EXPECT_EQ(t.style & ~WS_VISIBLE, c.style);
            EXPECT_EQ(t.pointSize, c.points);
            EXPECT_EQ(t.weight, c.weight);
            EXPECT_EQ(t.italic, c.italic);
            EXPECT_EQ(t.charset, c.charset);
            EXPECT_EQ(t.face, c.face);
            EXPECT_EQ(t.items.size(), c.items);
        }
        layer::ResourceData res;
        ASSERT_TRUE(layer::FindResourceData(RT_DIALOG, MAKEINTRESOURCEA(IDD_EX), res));
        layer::DialogTemplate t;
        ASSERT_TRUE(layer::ParseDialogTemplate(res.data, res.size, t));
        EXPECT_EQ(t.exStyle, (DWORD)WS_EX_DLGMODALFRAME);
        EXPECT_EQ(t.title.text, "Extended");
        EXPECT_EQ(t.items[0].exStyle, (DWORD)WS_EX_CLIENTEDGE);
        EXPECT_STRCASEEQ(layer::TemplateClassName(t.items[1].cls).c_str(), "Button");
        EXPECT_EQ(t.items[1].title.text, "Flat");
        ASSERT_TRUE(layer::FindResourceData(RT_DIALOG, "IDD_EXBOLD", res));
        ASSERT_TRUE(layer::ParseDialogTemplate(res.data, res.size, t));
        EXPECT_STRCASEEQ(layer::TemplateClassName(t.items[0].cls).c_str(), "SysListView32");
        EXPECT_EQ(t.items[0].x, 1);
        EXPECT_EQ(t.items[0].y, 2);
}

TEST_F(DialogTest, BothTemplateFormsFromTheResources)
{
    auto result = RunScenario(nullptr, [] {
        CheckResourceTemplates();
        return 0;
    });
    EXPECT_SCENARIO_OK(result, 0);
}

TEST_F(DialogTest, DialogUnitsBecomePixelsThroughTheFontsBaseUnits)
{
    auto result = RunScenario(
        [] {
            HWND page = WaitDialog("IDD_PAGE");
            ASSERT_NE(page, nullptr);
            EXPECT_EQ(GetDialogBaseUnits(), MAKELONG(6, 13));
            // 200 x 240 units of 6 x 13 pixels, centred on the screen, no frame.
            RECT r = Rect(page);
            EXPECT_EQ(Width(r), 300);
            EXPECT_EQ(Height(r), 390);
            EXPECT_EQ(r.left, (640 - 300) / 2);
            EXPECT_EQ(r.top, (480 - 390) / 2);
            // Cancel at 125,217 size 50x14: MulDiv(x, 6, 4) and MulDiv(y, 13, 8).
            RECT c = Rect(Control(page, IDCANCEL));
            EXPECT_EQ(c.left - r.left, 188);
            EXPECT_EQ(c.top - r.top, 353);
            EXPECT_EQ(Width(c), 75);
            EXPECT_EQ(Height(c), 23);
            RECT m = {125, 217, 175, 231};
            MapDialogRect(page, &m);
            EXPECT_EQ(m.left, 188);
            EXPECT_EQ(m.bottom, 375);
            Key(VK_ESCAPE);

            HWND captioned = WaitDialog("Captioned");
            ASSERT_NE(captioned, nullptr);
            // Not centred: 20,20 units from the screen origin; the frame and
            // caption come on top of the 160 x 80 unit client.
            r = Rect(captioned);
            EXPECT_EQ(r.left, 30);
            EXPECT_EQ(r.top, 33);
            RECT client = ClientRect(captioned);
            EXPECT_EQ(Width(client), 240);
            EXPECT_EQ(Height(client), 130);
            EXPECT_EQ(client.left - r.left, 3);
            EXPECT_EQ(client.top - r.top, 3 + 19);
            Key(VK_ESCAPE);

            HWND ex = WaitDialog("#300");
            ASSERT_NE(ex, nullptr);
            EXPECT_EQ(ex, FindDialog("Extended"));
            // The edit's WS_BORDER (1 pixel) and WS_EX_CLIENTEDGE (2) frame its client.
            HWND edit = Control(ex, IDC_EX_EDIT);
            RECT er = Rect(edit), ec = ClientRect(edit);
            EXPECT_EQ(ec.left - er.left, 3);
            EXPECT_EQ(Width(er), 150);
            Key(VK_ESCAPE);
        },
        [] {
            HINSTANCE inst = GetModuleHandleA(NULL);
            int a = (int)DialogBoxParamA(inst, "IDD_PAGE", NULL, RecordingProc, 0);
            int b = (int)DialogBoxParamA(inst, "IDD_CAPTION", NULL, RecordingProc, 0);
            int c = (int)DialogBoxParamA(inst, MAKEINTRESOURCEA(IDD_EX), NULL, RecordingProc, 0);
            return a == IDCANCEL && b == IDCANCEL && c == IDCANCEL ? 0 : 1;
        });
    EXPECT_SCENARIO_OK(result, 0);
}

TEST_F(DialogTest, MissingTemplatesAndControlsThatCannotBeMade)
{
    auto result = RunScenario(nullptr, [] {
        HINSTANCE inst = GetModuleHandleA(NULL);
        SetLastError(0);
        EXPECT_EQ(DialogBoxParamA(inst, "IDD_NOPE", NULL, RecordingProc, 0), -1);
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_RESOURCE_NAME_NOT_FOUND);
        EXPECT_EQ(DialogBoxParamA(NULL, MAKEINTRESOURCEA(999), NULL, RecordingProc, 0), -1);
        EXPECT_EQ(CreateDialogParamA(inst, "IDD_NOPE", NULL, RecordingProc, 0), (HWND)NULL);
        // Without DS_NOFAILCREATE the missing class fails the dialog.
        EXPECT_EQ(DialogBoxParamA(inst, "IDD_FAIL", NULL, RecordingProc, 0), -1);
        EXPECT_TRUE(layer::TopLevelWindows().empty());
        HWND ok = CreateDialogParamA(inst, "IDD_NOFAIL", NULL, RecordingProc, 0);
        EXPECT_NE(ok, (HWND)NULL);
        EXPECT_EQ(GetDlgItem(ok, IDC_MISSING), (HWND)NULL);
        EXPECT_NE(GetDlgItem(ok, IDOK), (HWND)NULL);
        EXPECT_FALSE(IsWindowVisible(ok)); // no WS_VISIBLE in the template
        DestroyWindow(ok);
        return 0;
    });
    EXPECT_SCENARIO_OK(result, 0);
}


TEST_F(DialogTest, TabWalksTheTabStopsAndTheDefaultFrameFollowsTheFocus)
{
    auto result = RunScenario(
        [] {
            HWND page = WaitDialog("IDD_PAGE");
            ASSERT_NE(page, nullptr);
            // WM_INITDIALOG returned TRUE: the first tab stop has the focus,
            // its text selected as the dialog manager does.
            HWND name = Control(page, IDC_NAME);
            EXPECT_EQ(Focus(), name);
            DWORD from = 1, to = 0;
            SendMessageA(name, EM_GETSEL, (WPARAM)&from, (LPARAM)&to);
            EXPECT_EQ(from, 0u);
            EXPECT_EQ(to, (DWORD)Text(name).size());
            EXPECT_EQ(DefaultButton(page), IDOK);
            // The disabled check box and the label are skipped; focus on a
            // push button takes the default frame, anything else gives it back.
            struct Step {
                int modifiers, focus, framed;
            } steps[] = {
                {0, IDC_BACK, IDC_BACK}, {0, IDOK, IDOK},   {0, IDCANCEL, IDCANCEL},
                {0, IDC_NAME, IDOK},     {SHIFT, IDCANCEL, IDCANCEL}, {SHIFT, IDOK, IDOK},
                {SHIFT, IDC_BACK, IDC_BACK}, {SHIFT, IDC_NAME, IDOK},
            };
            for (const Step &st : steps) {
                Key(VK_TAB, st.modifiers);
                EXPECT_EQ(Focus(), Control(page, st.focus)) << st.focus;
                EXPECT_EQ(DefaultButton(page), st.framed) << st.focus;
            }
            // The arrows move inside the group of buttons.
            Key(VK_TAB);
            Key(VK_RIGHT);
            EXPECT_EQ(Focus(), Control(page, IDOK));
            Key(VK_LEFT);
            EXPECT_EQ(Focus(), Control(page, IDC_BACK));
            // The frame is what the screen shows: black corner on the default button only.
            RECT back = Rect(Control(page, IDC_BACK)), next = Rect(Control(page, IDOK));
            EXPECT_EQ(Pixel(back.left, back.top), 0x000000u);
            EXPECT_NE(Pixel(next.left, next.top), 0x000000u);
            Key(VK_ESCAPE);
        },
        RunDialog("IDD_PAGE", DISABLE_AGREE));
    EXPECT_SCENARIO_OK(result, IDCANCEL);
}

struct KeyCase {
    const char *name;
    LPCSTR dialog;
    std::function<void(HWND)> act;
    int answer;
    int control; // the command's lParam: that control's handle, 0 for none
};

TEST_F(DialogTest, EnterEscapeSpaceAndTheCloseBoxSendTheirCommands)
{
    const KeyCase cases[] = {
        {"enter in an edit: the default button", "IDD_PAGE", [](HWND) { Key(VK_RETURN); }, IDOK, IDOK},
        {"enter on a focused button: that button", "IDD_PAGE",
         [](HWND) {
             Key(VK_TAB);
             Key(VK_TAB);
             Key(VK_RETURN);
         },
         IDC_BACK, IDC_BACK},
        {"escape: cancel", "IDD_PAGE", [](HWND) { Key(VK_ESCAPE); }, IDCANCEL, IDCANCEL},
        {"space presses and releases the focused button", "IDD_PAGE",
         [](HWND) {
             Key(VK_TAB, SHIFT);
             Key(VK_SPACE);
         },
         IDCANCEL, IDCANCEL},
        {"a new default id takes enter", "IDD_PAGE",
         [](HWND d) {
             PostMessageA(d, DM_SETDEFID, IDC_BACK, 0);
             Settle();
             EXPECT_EQ(DefaultButton(d), IDC_BACK);
             Key(VK_RETURN);
         },
         IDC_BACK, IDC_BACK},
        {"escape without a cancel button", "IDD_CAPTION", [](HWND) { Key(VK_ESCAPE); }, IDCANCEL, 0},
        {"the close box", "IDD_CAPTION",
         [](HWND d) {
             POINT p = CloseBox(d);
             ClickAt(p.x, p.y);
         },
         IDCANCEL, 0},
        {"a click released outside does nothing, then a click", "IDD_CAPTION",
         [](HWND d) {
             RECT b = Rect(Control(d, IDC_BACK));
             MouseMove(b.left + 5, b.top + 5);
             MouseDown(b.left + 5, b.top + 5);
             MouseMove(b.right + 20, b.top + 5);
             MouseUp(b.right + 20, b.top + 5);
             EXPECT_TRUE(Visible(d));
             Click(Control(d, IDC_BACK));
         },
         IDC_BACK, IDC_BACK},
        {"a multiline edit with ES_WANTRETURN keeps enter", "#300",
         [](HWND d) {
             Click(Control(d, IDC_EX_NOTES));
             Type("a");
             Key(VK_RETURN);
             Type("b");
             EXPECT_EQ(Text(Control(d, IDC_EX_NOTES)), "a\r\nb");
             EXPECT_TRUE(Visible(d));
             Click(Control(d, IDOK));
         },
         IDOK, IDOK},
    };
    for (const KeyCase &c : cases) {
        SCOPED_TRACE(c.name);
        std::string dialog = c.dialog;
        int control = c.control;
        auto act = c.act;
        auto result = RunScenario(
            [dialog, act, control] {
                HWND d = WaitDialog(dialog.c_str());
                ASSERT_NE(d, nullptr);
                HWND expected = control ? Control(d, control) : NULL;
                act(d);
                Settle();
                EXPECT_EQ(commandControl, (LPARAM)expected);
            },
            RunDialog(c.dialog[0] == '#' ? MAKEINTRESOURCEA(IDD_EX) : c.dialog));
        EXPECT_SCENARIO_OK(result, c.answer);
    }
}

TEST_F(DialogTest, EditNotifiesEveryChangeAndCopiesTextWithinTheBuffer)
{
    auto result = RunScenario(
        [] {
            HWND page = WaitDialog("IDD_PAGE");
            ASSERT_NE(page, nullptr);
            HWND name = Control(page, IDC_NAME);
            SetDlgItemTextA(page, IDC_NAME, "hello");
            Type("ab"); // replaces nothing: the caret is at 0 after WM_SETTEXT
            Key(VK_END);
            Key(VK_BACK);
            Paste("xyz");
            Key(VK_HOME);
            Key(VK_BACK); // nothing before the caret: no change
            EXPECT_EQ(Text(name), "abhellxyz");
            EXPECT_EQ(notes, (std::vector<std::string>{"update hello", "change hello", "update ahello", "change ahello",
                                                       "update abhello", "change abhello", "update abhell",
                                                       "change abhell", "update abhellxyz", "change abhellxyz"}));
            // GetDlgItemTextA copies at most size - 1 and terminates.
            struct Limit {
                int size;
                const char *text;
                UINT count;
            } limits[] = {{1, "", 0}, {3, "ab", 2}, {9, "abhellxy", 8}, {10, "abhellxyz", 9}, {64, "abhellxyz", 9}};
            for (const Limit &l : limits) {
                char buf[66];
                memset(buf, '#', sizeof buf);
                EXPECT_EQ(GetDlgItemTextA(page, IDC_NAME, buf, l.size), l.count) << l.size;
                EXPECT_STREQ(buf, l.text) << l.size;
                EXPECT_EQ(buf[l.size], '#') << l.size;
            }
            Key(VK_ESCAPE);
        },
        RunDialog("IDD_PAGE"));
    EXPECT_SCENARIO_OK(result, IDCANCEL);
}

INT_PTR CALLBACK LimitProc(HWND dialog, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_INITDIALOG) {
        SendDlgItemMessageA(dialog, IDC_EX_EDIT, EM_LIMITTEXT, 4, 0);
        return TRUE;
    }
    return RecordingProc(dialog, msg, wp, lp);
}

TEST_F(DialogTest, TypedTextIsHeldToTheLimitAndToTheWidthOfAFixedEdit)
{
    auto result = RunScenario(
        [] {
            HWND ex = WaitDialog("Extended");
            ASSERT_NE(ex, nullptr);
            HWND limited = Control(ex, IDC_EX_EDIT), narrow = Control(ex, IDC_EX_NARROW);
            Type("abcdef");
            EXPECT_EQ(Text(limited), "abcd");
            Paste("123");
            EXPECT_EQ(Text(limited), "abcd");
            // Without ES_AUTOHSCROLL typing stops where the width is full.
            Click(narrow);
            Type("mmmmmmmmmmmmmmmmmmmm");
            std::string typed = Text(narrow);
            EXPECT_GT(typed.size(), 0u);
            EXPECT_LT(typed.size(), 20u);
            HDC dc = GetDC(NULL);
            SelectObject(dc, (HFONT)SendMessageA(narrow, WM_GETFONT, 0, 0));
            SIZE size;
            GetTextExtentPoint32A(dc, typed.c_str(), (int)typed.size(), &size);
            ReleaseDC(NULL, dc);
            RECT client;
            GetClientRect(narrow, &client);
            EXPECT_LE(size.cx, client.right);
            Key(VK_ESCAPE);
        },
        [] { return (int)DialogBoxParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_EX), NULL, LimitProc, 0); });
    EXPECT_SCENARIO_OK(result, IDCANCEL);
}


// The answer a message box gives to a sequence of actions; steps named
// "refused" must leave the box up.
struct BoxCase {
    UINT type;
    std::vector<std::string> steps; // "enter", "escape", "close", "refused", or a button's text
    int answer;
};

TEST_F(DialogTest, MessageBoxAnswersByMouseAndKeyboard)
{
    const BoxCase cases[] = {
        {MB_OK, {"enter"}, IDOK},
        {MB_OK, {"escape"}, IDOK},
        {MB_OK | MB_ICONINFORMATION, {"close"}, IDOK},
        {MB_OKCANCEL, {"escape"}, IDCANCEL},
        {MB_OKCANCEL, {"close"}, IDCANCEL},
        {MB_OKCANCEL, {"OK"}, IDOK},
        {MB_YESNO | MB_ICONQUESTION, {"escape", "refused", "close", "refused", "No"}, IDNO},
        {MB_YESNO, {"enter"}, IDYES},
        {MB_YESNO | MB_DEFBUTTON2, {"enter"}, IDNO},
        {MB_YESNOCANCEL, {"escape"}, IDCANCEL},
        {MB_YESNOCANCEL | MB_ICONWARNING, {"No"}, IDNO},
        {MB_RETRYCANCEL, {"Retry"}, IDRETRY},
        {MB_RETRYCANCEL | MB_ICONERROR, {"escape"}, IDCANCEL},
        {MB_ABORTRETRYIGNORE, {"escape", "refused", "Ignore"}, IDIGNORE},
        {MB_ABORTRETRYIGNORE | MB_DEFBUTTON3, {"enter"}, IDIGNORE},
    };
    for (const BoxCase &c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << std::hex << c.type);
        std::vector<std::string> steps = c.steps;
        UINT type = c.type;
        int answer = c.answer;
        auto result = RunScenario(
            [steps] {
                HWND box = WaitDialog("Error");
                ASSERT_NE(box, nullptr);
                for (const std::string &st : steps) {
                    if (st == "enter")
                        Key(VK_RETURN);
                    else if (st == "escape")
                        Key(VK_ESCAPE);
                    else if (st == "close") {
                        POINT p = CloseBox(box);
                        ClickAt(p.x, p.y);
                    } else if (st == "refused")
                        EXPECT_TRUE(Visible(box));
                    else {
                        HWND b = BoxButton(box, st.c_str());
                        ASSERT_NE(b, nullptr) << st;
                        Click(b);
                    }
                }
            },
            [type, answer] {
                int got = MessageBoxA(NULL, "Some text", NULL, type);
                std::vector<LogEntry> boxes = MessageBoxes();
                EXPECT_EQ(boxes.size(), 1u);
                if (!boxes.empty()) {
                    EXPECT_EQ(boxes[0].caption, "Error");
                    EXPECT_EQ(boxes[0].text, "Some text");
                    EXPECT_EQ(boxes[0].type, type);
                    EXPECT_EQ(boxes[0].answer, answer);
                }
                // One beep, with the icon type, when the box appeared.
                int beeps = 0;
                for (const LogEntry &e : Log())
                    if (e.kind == "beep") {
                        beeps++;
                        EXPECT_EQ(e.type, type & MB_ICONMASK);
                    }
                EXPECT_EQ(beeps, 1);
                return got;
            });
        EXPECT_SCENARIO_OK(result, answer);
    }
}

TEST_F(DialogTest, MessageBoxLayoutAndItsDisabledCloseBox)
{
    auto result = RunScenario(
        [] {
            HWND box = WaitDialog("Question");
            ASSERT_NE(box, nullptr);
            RECT r = Rect(box);
            // Centred on the screen.
            EXPECT_LE(abs((r.left + r.right) / 2 - 320), 1);
            EXPECT_LE(abs((r.top + r.bottom) / 2 - 240), 1);
            HWND yes = BoxButton(box, "Yes"), no = BoxButton(box, "No");
            ASSERT_TRUE(yes && no);
            RECT y = Rect(yes), n = Rect(no);
            EXPECT_EQ(Width(y), 75);
            EXPECT_EQ(Height(y), 23);
            EXPECT_EQ(y.top, n.top);
            EXPECT_LE(abs((y.left + n.right) / 2 - (r.left + r.right) / 2), 1);
            EXPECT_EQ(Focus(), yes);
            // The long text wraps onto several lines of the box.
            HWND text = NULL;
            for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
                if (ClassName(c) == "Static" && !Text(c).empty())
                    text = c;
            ASSERT_NE(text, nullptr);
            EXPECT_GT(Height(Rect(text)), 3 * 13);
            EXPECT_LT(Width(r), 640);
            // The cross of a disabled close box is grey, not black.
            int w = Width(r);
            EXPECT_NE(Pixel(r.left + w - 14, r.top + 11), 0x000000u);
            Key(VK_RETURN);

            HWND ok = WaitDialog("Plain");
            ASSERT_NE(ok, nullptr);
            r = Rect(ok);
            EXPECT_EQ(Pixel(r.left + Width(r) - 14, r.top + 11), 0x000000u);
            Key(VK_RETURN);
        },
        [] {
            std::string text;
            for (int i = 0; i < 60; i++)
                text += "words ";
            int a = MessageBoxA(NULL, text.c_str(), "Question", MB_YESNO | MB_ICONQUESTION);
            int b = MessageBoxA(NULL, "Short\nTwo lines", "Plain", MB_OK);
            return a == IDYES && b == IDOK ? 0 : 1;
        });
    EXPECT_SCENARIO_OK(result, 0);
}

int handledWhileUp = 0;

LRESULT CALLBACK PlainProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_APP)
        handledWhileUp++;
    return DefWindowProcA(hwnd, msg, wp, lp);
}

HWND MakePlainWindow(const char *title, int x)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = PlainProc;
    wc.lpszClassName = "PlainWindow";
    wc.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
    RegisterClassA(&wc);
    return CreateWindowExA(0, "PlainWindow", title, WS_POPUP | WS_VISIBLE, x, 0, 100, 100, NULL, NULL, NULL, NULL);
}

TEST_F(DialogTest, ModalLoopsDisableTheOwnerOnlyWhileTheyRun)
{
    auto result = RunScenario(
        [] {
            HWND owner = FindDialog("owner"), other = FindDialog("other");
            HWND box = WaitDialog("Owned");
            ASSERT_TRUE(owner && other && box);
            EXPECT_FALSE(Enabled(owner));
            EXPECT_TRUE(Enabled(other));
            Key(VK_RETURN);
            // An ownerless box disables nothing, and its loop still
            // dispatches the messages of every window of the thread.
            HWND free = WaitDialog("Free");
            ASSERT_NE(free, nullptr);
            EXPECT_TRUE(Enabled(owner));
            EXPECT_TRUE(Enabled(other));
            EXPECT_EQ(handledWhileUp, 1);
            Key(VK_RETURN);
            HWND page = WaitDialog("IDD_PAGE");
            ASSERT_NE(page, nullptr);
            EXPECT_FALSE(Enabled(owner));
            Key(VK_ESCAPE);
            Settle();
            EXPECT_TRUE(Enabled(owner));
            EXPECT_EQ(ActiveWindow(), owner);
        },
        [] {
            HWND owner = MakePlainWindow("owner", 0);
            HWND other = MakePlainWindow("other", 200);
            int a = MessageBoxA(owner, "Owned box", "Owned", MB_OK);
            bool back = IsWindowEnabled(owner) && GetActiveWindow() == owner;
            PostMessageA(other, WM_APP, 0, 0);
            int b = MessageBoxA(NULL, "Free box", "Free", MB_OK);
            int c = (int)DialogBoxParamA(GetModuleHandleA(NULL), "IDD_PAGE", owner, RecordingProc, 0);
            return a == IDOK && back && b == IDOK && c == IDCANCEL ? 0 : 1;
        });
    EXPECT_SCENARIO_OK(result, 0);
}

INT_PTR CALLBACK LicenceProc(HWND dialog, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_INITDIALOG) {
        std::string text;
        for (int i = 1; i <= 40; i++)
            text += "Line " + std::to_string(i) + "\r\n";
        for (int i = 0; i < 40; i++)
            text += "wrapping ";
        text += "\nafter a lone line feed";
        SetDlgItemTextA(dialog, IDC_LICENCE, text.c_str());
        return TRUE;
    }
    return RecordingProc(dialog, msg, wp, lp);
}

TEST_F(DialogTest, MultilineViewerWrapsAndScrolls)
{
    auto result = RunScenario(
        [] {
            HWND d = WaitDialog("IDD_LICENCE");
            ASSERT_NE(d, nullptr);
            HWND edit = Control(d, IDC_LICENCE);
            auto first = [&] { return (int)SendMessageA(edit, EM_GETFIRSTVISIBLELINE, 0, 0); };
            auto thumb = [&] { return GetScrollPos(edit, SB_VERT); };
            int lines = (int)SendMessageA(edit, EM_GETLINECOUNT, 0, 0);
            // 40 lines, the long paragraph wrapped onto several, and the last one.
            EXPECT_GT(lines, 40 + 2);
            EXPECT_LT(lines, 40 + 20);
            SCROLLINFO si = {sizeof si, SIF_ALL, 0, 0, 0, 0, 0};
            ASSERT_TRUE(GetScrollInfo(edit, SB_VERT, &si));
            EXPECT_EQ(si.nMax, lines - 1);
            int page = (int)si.nPage;
            ASSERT_GT(page, 2);
            RECT r = Rect(edit);
            int barX = r.right - 1 - 8;
            // A click on the track below the thumb: one page down.
            ClickAt(barX, r.bottom - 1 - 16 - 4);
            EXPECT_EQ(first(), page);
            EXPECT_EQ(thumb(), page);
            // The down arrow: one line.
            ClickAt(barX, r.bottom - 1 - 8);
            EXPECT_EQ(first(), page + 1);
            // The wheel: three lines a notch.
            WheelAt((r.left + r.right) / 2, (r.top + r.bottom) / 2, -WHEEL_DELTA);
            EXPECT_EQ(first(), page + 4);
            EXPECT_EQ(thumb(), page + 4);
            WheelAt((r.left + r.right) / 2, (r.top + r.bottom) / 2, WHEEL_DELTA);
            EXPECT_EQ(first(), page + 1);
            // Dragging the thumb to the bottom shows the last page.
            ASSERT_TRUE(GetScrollInfo(edit, SB_VERT, &si));
            int top = r.top + 1 + 16, track = Height(r) - 2 - 32;
            int thumbY = top + (track - track * page / lines) * si.nPos / (lines - page) + 4;
            MouseMove(barX, thumbY);
            MouseDown(barX, thumbY);
            MouseMove(barX, r.bottom + 50);
            MouseUp(barX, r.bottom + 50);
            EXPECT_EQ(first(), lines - page);
            EXPECT_EQ(thumb(), lines - page);
            // The keyboard, once the viewer has the focus.
            Click(edit);
            Key(VK_HOME, CTRL);
            EXPECT_EQ(first(), 0);
            Key(VK_NEXT);
            EXPECT_EQ(first(), page);
            Key(VK_UP);
            EXPECT_EQ(first(), page - 1);
            EXPECT_EQ((int)SendMessageA(edit, EM_LINESCROLL, 0, 2), TRUE);
            EXPECT_EQ(first(), page + 1);
            // Read-only: typing changes nothing, but the selection copies.
            std::string before = Text(edit);
            Type("x");
            Key(VK_BACK);
            EXPECT_EQ(Text(edit), before);
            Key('A', CTRL);
            Key('C', CTRL);
            ASSERT_TRUE(OpenClipboard(NULL));
            HANDLE h = GetClipboardData(CF_TEXT);
            ASSERT_NE(h, nullptr);
            EXPECT_EQ(std::string((const char *)GlobalLock(h)), before);
            GlobalUnlock(h);
            CloseClipboard();
            Key(VK_RETURN);
        },
        [] { return (int)DialogBoxParamA(GetModuleHandleA(NULL), "IDD_LICENCE", NULL, LicenceProc, 0); });
    EXPECT_SCENARIO_OK(result, IDOK);
}

TEST_F(DialogTest, PressedButtonsCheckBoxesAndStaticRectangles)
{
    auto result = RunScenario(
        [] {
            HWND page = WaitDialog("IDD_PAGE");
            ASSERT_NE(page, nullptr);
            RECT b = Rect(Control(page, IDC_BACK));
            // Raised: a light outer and a white inner bevel.  Held down by the
            // mouse: a black frame with a grey shadow inside it.
            EXPECT_EQ(Pixel(b.left + 1, b.top + 1), 0xFFFFFFu);
            EXPECT_NE(Pixel(b.left, b.top), 0x000000u);
            MouseMove(b.left + 10, b.top + 10);
            MouseDown(b.left + 10, b.top + 10);
            EXPECT_EQ(Pixel(b.left, b.top), 0x000000u);
            EXPECT_EQ(Pixel(b.left + 1, b.top + 1), 0x808080u);
            EXPECT_EQ(SendMessageA(Control(page, IDC_BACK), BM_GETSTATE, 0, 0) & BST_PUSHED, BST_PUSHED);
            // Off the button it comes up again, now framed as the focused
            // default, and releasing there does not click.
            MouseMove(b.left - 30, b.top + 10);
            EXPECT_EQ(SendMessageA(Control(page, IDC_BACK), BM_GETSTATE, 0, 0) & BST_PUSHED, 0);
            EXPECT_EQ(Pixel(b.left, b.top), 0x000000u);
            EXPECT_EQ(Pixel(b.left + 2, b.top + 2), 0xFFFFFFu);
            MouseUp(b.left - 30, b.top + 10);
            EXPECT_TRUE(Visible(page));
            // The automatic check box: a click and Space each toggle it.
            HWND agree = Control(page, IDC_AGREE);
            Click(agree);
            EXPECT_EQ(Checked(agree), BST_CHECKED);
            EXPECT_EQ(Focus(), agree);
            Key(VK_SPACE);
            EXPECT_EQ(Checked(agree), BST_UNCHECKED);
            EXPECT_EQ(notes, (std::vector<std::string>{"clicked 102", "clicked 102"}));
            // A black rectangle paints itself black again after being drawn over.
            HWND black = Control(page, IDC_BLACK);
            RECT k = Rect(black);
            EXPECT_EQ(Pixel(k.left + 3, k.top + 3), 0x000000u);
            HDC dc = GetDC(black);
            RECT all = {0, 0, Width(k), Height(k)};
            FillRect(dc, &all, GetSysColorBrush(COLOR_WINDOW));
            ReleaseDC(black, dc);
            EXPECT_EQ(Pixel(k.left + 3, k.top + 3), 0xFFFFFFu);
            InvalidateRect(black, NULL, TRUE);
            Settle();
            EXPECT_EQ(Pixel(k.left + 3, k.top + 3), 0x000000u);
            // Statics let the mouse through to what is under them.
            EXPECT_EQ(WindowFromPoint({k.left + 3, k.top + 3}), page);
            Key(VK_ESCAPE);
        },
        RunDialog("IDD_PAGE"));
    EXPECT_SCENARIO_OK(result, IDCANCEL);
}

TEST_F(DialogTest, ClipboardProtocol)
{
    auto result = RunScenario(nullptr, [] {
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 6);
        memcpy(GlobalLock(block), "hello", 6);
        GlobalUnlock(block);
        EXPECT_EQ(SetClipboardData(CF_TEXT, block), (HANDLE)NULL); // not open
        EXPECT_FALSE(EmptyClipboard());
        EXPECT_FALSE(CloseClipboard());
        EXPECT_TRUE(OpenClipboard(NULL));
        EXPECT_FALSE(OpenClipboard(NULL)); // already open
        EXPECT_TRUE(EmptyClipboard());
        EXPECT_FALSE(IsClipboardFormatAvailable(CF_TEXT));
        EXPECT_EQ(SetClipboardData(CF_TEXT, block), block);
        EXPECT_TRUE(CloseClipboard());
        EXPECT_TRUE(IsClipboardFormatAvailable(CF_TEXT));
        EXPECT_EQ(GetClipboardData(CF_TEXT), (HANDLE)NULL); // not open
        EXPECT_TRUE(OpenClipboard(NULL));
        HANDLE h = GetClipboardData(CF_TEXT);
        EXPECT_NE(h, (HANDLE)NULL);
        if (h) {
            EXPECT_STREQ((const char *)GlobalLock(h), "hello");
            GlobalUnlock(h);
        }
        EXPECT_EQ(GetClipboardData(2), (HANDLE)NULL);
        EXPECT_TRUE(CloseClipboard());
        return 0;
    });
    EXPECT_SCENARIO_OK(result, 0);
}

TEST_F(DialogTest, ScrollInfoClampsAndShowsOrHidesTheBar)
{
    auto result = RunScenario(nullptr, [] {
        HWND w = CreateWindowExA(0, "Static", "", WS_POPUP | WS_VISIBLE | WS_VSCROLL, 0, 0, 100, 100, NULL, NULL,
                                 NULL, NULL);
        struct Case {
            int min, max;
            UINT page;
            int pos, expected;
        } cases[] = {
            {0, 99, 10, 50, 50}, {0, 99, 10, 95, 90}, {0, 99, 10, -5, 0}, {10, 20, 0, 25, 20}, {0, 99, 200, 7, 0},
        };
        for (const Case &c : cases) {
            SCROLLINFO si = {sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL, c.min, c.max, c.page,
                             c.pos, 0};
            EXPECT_EQ(SetScrollInfo(w, SB_VERT, &si, TRUE), c.expected) << c.pos;
            EXPECT_EQ(GetScrollPos(w, SB_VERT), c.expected) << c.pos;
        }
        RECT client;
        // SIF_DISABLENOSCROLL kept the useless bar; without it the bar goes.
        GetClientRect(w, &client);
        EXPECT_EQ(client.right, 100 - 16);
        SCROLLINFO si = {sizeof si, SIF_RANGE | SIF_PAGE, 0, 9, 10, 0, 0};
        SetScrollInfo(w, SB_VERT, &si, TRUE);
        GetClientRect(w, &client);
        EXPECT_EQ(client.right, 100);
        EXPECT_FALSE(GetWindowLongA(w, GWL_STYLE) & WS_VSCROLL);
        EXPECT_TRUE(ShowScrollBar(w, SB_HORZ, TRUE));
        GetClientRect(w, &client);
        EXPECT_EQ(client.bottom, 100 - 16);
        EXPECT_EQ(SetScrollPos(w, SB_HORZ, 30, TRUE), 0);
        EXPECT_EQ(GetScrollPos(w, SB_HORZ), 30);
        EXPECT_TRUE(ShowScrollBar(w, SB_BOTH, FALSE));
        GetClientRect(w, &client);
        EXPECT_EQ(client.right, 100);
        EXPECT_EQ(client.bottom, 100);
        DestroyWindow(w);
        return 0;
    });
    EXPECT_SCENARIO_OK(result, 0);
}

} // namespace
