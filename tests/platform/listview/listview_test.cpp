// The directory browser's controls: the drop-down-list combo box, the list
// view in list mode and its image list.  Each scenario runs the BROWSE
// dialog of listview.rc in a fresh process; the dialog procedure records the
// notifications, and the script acts through the real input path.

#include <automation.h>
#include <commctrl.h>
#include <windows.h>

#include <gtest/gtest.h>

#include "listview_ids.h"
#include "machine.h"
#include "scenario.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

using Strings = std::vector<std::string>;

// What the dialog procedure saw, in order (in the child process).
Strings events;
// Runs in WM_INITDIALOG, to fill the controls for one scenario.
std::function<void(HWND)> setup;
// Image lists the scenario made, to look at after the dialog has gone.
HIMAGELIST madeList;

void Note(const char *fmt, ...)
{
    char buf[256];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    events.push_back(buf);
}

const char *ComboCode(int code)
{
    switch (code) {
    case CBN_SELCHANGE: return "selchange";
    case CBN_SELENDOK: return "selendok";
    case CBN_SELENDCANCEL: return "selendcancel";
    case CBN_DROPDOWN: return "dropdown";
    case CBN_CLOSEUP: return "closeup";
    }
    return nullptr; // focus notifications are not recorded
}

INT_PTR CALLBACK BrowseProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_INITDIALOG:
        if (setup)
            setup(dlg);
        return TRUE;
    case WM_COMMAND: {
        int id = LOWORD(wp), code = HIWORD(wp);
        if (id == IDOK || id == IDCANCEL) {
            EndDialog(dlg, id);
            return TRUE;
        }
        if ((id == IDC_DRIVES || id == IDC_SORTED) && ComboCode(code))
            Note("%s %d", ComboCode(code), (int)SendMessageA((HWND)lp, CB_GETCURSEL, 0, 0));
        return TRUE;
    }
    case WM_NOTIFY: {
        const NMHDR *h = (const NMHDR *)lp;
        if (h->hwndFrom != GetDlgItem(dlg, (int)h->idFrom) || h->idFrom != wp) {
            Note("bad header");
            return TRUE;
        }
        if (h->code == NM_CLICK || h->code == NM_DBLCLK) {
            const NMITEMACTIVATE *a = (const NMITEMACTIVATE *)lp;
            Note("%s %d", h->code == NM_CLICK ? "click" : "dblclk", a->iItem);
        } else if (h->code == NM_RETURN) {
            Note("return");
        } else if (h->code == LVN_ITEMCHANGED) {
            const NMLISTVIEW *v = (const NMLISTVIEW *)lp;
            if ((v->uOldState ^ v->uNewState) & LVIS_SELECTED)
                Note("%s %d", (v->uNewState & LVIS_SELECTED) ? "select" : "unselect", v->iItem);
        }
        return TRUE;
    }
    }
    return FALSE;
}

int RunBrowse() { return (int)DialogBoxParamA(NULL, "BROWSE", NULL, BrowseProc, 0); }

// The events recorded since the last call.
Strings TakeEvents()
{
    Strings e = events;
    events.clear();
    return e;
}

int Insert(HWND list, const char *text, int pos, int image = -1)
{
    LVITEMA item = {};
    item.mask = LVIF_TEXT | (image >= 0 ? LVIF_IMAGE : 0);
    item.iItem = pos;
    item.pszText = const_cast<char *>(text);
    item.iImage = image;
    return (int)SendMessageA(list, LVM_INSERTITEMA, 0, (LPARAM)&item);
}

void Fill(HWND list, int count)
{
    char name[32];
    for (int i = 0; i < count; i++) {
        snprintf(name, sizeof name, "dir%02d", i);
        Insert(list, name, i);
    }
}

RECT ItemRect(HWND list, int index, int part = LVIR_BOUNDS)
{
    RECT r = {part, 0, 0, 0};
    SendMessageA(list, LVM_GETITEMRECT, (WPARAM)index, (LPARAM)&r);
    return r;
}

POINT ToScreen(HWND w, int x, int y)
{
    POINT p = {x, y};
    ClientToScreen(w, &p);
    return p;
}

// Items per column: how many share the first item's column.
int Rows(HWND list)
{
    int n = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), rows = 0;
    int left = ItemRect(list, 0).left;
    for (int i = 0; i < n && ItemRect(list, i).left == left; i++)
        rows++;
    return rows;
}

void AddStrings(HWND combo, const Strings &items)
{
    for (const std::string &s : items)
        SendMessageA(combo, CB_ADDSTRING, 0, (LPARAM)s.c_str());
}

HWND OpenList()
{
    for (HWND w = GetWindow(GetDesktopWindow(), GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT))
        if (automation::ClassName(w) == "ComboLBox" && IsWindowVisible(w))
            return w;
    return NULL;
}

class ListViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(machine.Ready());
        events.clear();
        setup = nullptr;
        madeList = nullptr;
    }
    TempMachine machine;
};

// ---- list view ---------------------------------------------------------

TEST_F(ListViewTest, InsertKeepsSortedOrderOrUsesTheAskedPosition)
{
    auto result = RunScenario(
        [] {
            HWND dlg = automation::WaitDialog("BROWSE");
            ASSERT_NE(dlg, nullptr);
            EXPECT_EQ(automation::Items(automation::Control(dlg, IDC_DIRS)),
                      (Strings{"!data", "#temp", "........", "alpha", "beta", "Beta", "BETA", "Zeta"}));
            EXPECT_EQ(automation::Items(automation::Control(dlg, IDC_PLAIN)), (Strings{"a", "d", "b", "c"}));
            PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
        },
        [] {
            setup = [](HWND dlg) {
                // Sorted: the asked position never matters; equal texts keep
                // the order they came in.
                struct {
                    const char *text;
                    int asked, landed;
                } sorted[] = {
                    {"Zeta", 0, 0},  {"beta", 0, 0},     {"........", 5, 0}, {"alpha", 100, 1},
                    {"Beta", 0, 3},  {"!data", 4, 0},    {"BETA", 0, 5},     {"#temp", 7, 1},
                };
                HWND dirs = GetDlgItem(dlg, IDC_DIRS);
                for (auto &c : sorted)
                    EXPECT_EQ(Insert(dirs, c.text, c.asked), c.landed) << c.text;
                // Unsorted: the asked position, clamped to the count; a
                // negative one is refused.
                struct {
                    const char *text;
                    int asked, landed;
                } plain[] = {{"b", 0, 0}, {"a", 0, 0}, {"c", 99, 2}, {"d", 1, 1}, {"x", -1, -1}};
                HWND list = GetDlgItem(dlg, IDC_PLAIN);
                for (auto &c : plain)
                    EXPECT_EQ(Insert(list, c.text, c.asked), c.landed) << c.text;
                EXPECT_EQ(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), 4);
            };
            return RunBrowse();
        });
    EXPECT_SCENARIO_OK(result, IDCANCEL);
}

TEST_F(ListViewTest, GetItemAndGetNextItemKeepTheirContracts)
{
    auto result = RunScenario(nullptr, [] {
        setup = [](HWND dlg) {
            HWND list = GetDlgItem(dlg, IDC_PLAIN);
            const char *names[] = {"alpha", "beta", "gamma"};
            for (int i = 0; i < 3; i++) {
                LVITEMA item = {};
                item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_IMAGE;
                item.iItem = i;
                item.pszText = const_cast<char *>(names[i]);
                item.lParam = 100 + i;
                item.iImage = i;
                SendMessageA(list, LVM_INSERTITEMA, 0, (LPARAM)&item);
            }

            // Text: at most cchTextMax - 1 characters, then the terminator,
            // and nothing written past it.
            struct {
                int size;
                const char *want;
            } limits[] = {{1, ""}, {3, "al"}, {6, "alpha"}, {64, "alpha"}};
            for (auto &c : limits) {
                char buf[70];
                memset(buf, '#', sizeof buf);
                LVITEMA item = {};
                item.mask = LVIF_TEXT;
                item.iItem = 0;
                item.pszText = buf;
                item.cchTextMax = c.size;
                EXPECT_TRUE(SendMessageA(list, LVM_GETITEMA, 0, (LPARAM)&item));
                EXPECT_STREQ(buf, c.want) << c.size;
                EXPECT_EQ(buf[c.size], '#') << c.size;
                memset(buf, '#', sizeof buf);
                EXPECT_EQ(SendMessageA(list, LVM_GETITEMTEXTA, 0, (LPARAM)&item), (LRESULT)strlen(c.want));
                EXPECT_STREQ(buf, c.want);
            }
            char untouched[4] = "xyz";
            LVITEMA none = {};
            none.mask = LVIF_TEXT;
            none.pszText = untouched;
            none.cchTextMax = 0;
            EXPECT_TRUE(SendMessageA(list, LVM_GETITEMA, 0, (LPARAM)&none));
            EXPECT_STREQ(untouched, "xyz");

            LVITEMA all = {};
            all.mask = LVIF_PARAM | LVIF_IMAGE | LVIF_STATE;
            all.iItem = 2;
            all.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
            EXPECT_TRUE(SendMessageA(list, LVM_GETITEMA, 0, (LPARAM)&all));
            EXPECT_EQ(all.lParam, 102);
            EXPECT_EQ(all.iImage, 2);
            EXPECT_EQ(all.state, 0u);
            for (int bad : {-1, 3}) {
                all.iItem = bad;
                EXPECT_FALSE(SendMessageA(list, LVM_GETITEMA, 0, (LPARAM)&all)) << bad;
            }

            // Selection and the search: the start item is never returned.
            LVITEMA sel = {};
            sel.state = sel.stateMask = LVIS_SELECTED;
            EXPECT_EQ(SendMessageA(list, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED), -1);
            SendMessageA(list, LVM_SETITEMSTATE, 0, (LPARAM)&sel);
            SendMessageA(list, LVM_SETITEMSTATE, 2, (LPARAM)&sel);
            EXPECT_FALSE(SendMessageA(list, LVM_SETITEMSTATE, 7, (LPARAM)&sel));
            struct {
                int start;
                UINT flags;
                int want;
            } next[] = {{-1, LVNI_SELECTED, 0}, {0, LVNI_SELECTED, 2}, {2, LVNI_SELECTED, -1},
                        {-1, LVNI_ALL, 0},      {0, LVNI_ALL, 1},      {2, LVNI_ALL, -1},
                        {-1, LVNI_FOCUSED, -1}, {5, LVNI_ALL, -1}};
            for (auto &c : next)
                EXPECT_EQ(SendMessageA(list, LVM_GETNEXTITEM, (WPARAM)c.start, c.flags), c.want)
                    << c.start << " " << c.flags;
            EXPECT_EQ(SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0), 2);
            EXPECT_EQ(SendMessageA(list, LVM_GETITEMSTATE, 2, LVIS_SELECTED), LVIS_SELECTED);

            // A single-selection list keeps one selected item.
            HWND dirs = GetDlgItem(dlg, IDC_DIRS);
            Fill(dirs, 3);
            SendMessageA(dirs, LVM_SETITEMSTATE, 0, (LPARAM)&sel);
            SendMessageA(dirs, LVM_SETITEMSTATE, 2, (LPARAM)&sel);
            EXPECT_EQ(SendMessageA(dirs, LVM_GETSELECTEDCOUNT, 0, 0), 1);
            EXPECT_EQ(SendMessageA(dirs, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED), 2);
            EXPECT_TRUE(SendMessageA(dirs, LVM_DELETEITEM, 0, 0));
            EXPECT_FALSE(SendMessageA(dirs, LVM_DELETEITEM, 2, 0));
            EXPECT_EQ(SendMessageA(dirs, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED), 1);
            EXPECT_TRUE(SendMessageA(dirs, LVM_DELETEALLITEMS, 0, 0));
            EXPECT_EQ(SendMessageA(dirs, LVM_GETITEMCOUNT, 0, 0), 0);
            PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
        };
        return RunBrowse();
    });
    EXPECT_SCENARIO_OK(result, IDCANCEL);
}

TEST_F(ListViewTest, ClicksAndArrowKeysMoveTheSelection)
{
    auto result = RunScenario(
        [] {
            HWND dlg = automation::WaitDialog("BROWSE");
            ASSERT_NE(dlg, nullptr);
            HWND list = automation::Control(dlg, IDC_DIRS);
            int rows = Rows(list);
            ASSERT_GT(rows, 1);
            ASSERT_LT(rows, 12); // two columns or more

            automation::ClickItem(list, 1);
            EXPECT_EQ(automation::Focus(), list);
            EXPECT_EQ(automation::Selection(list), 1);
            EXPECT_EQ(TakeEvents(), (Strings{"select 1", "click 1"}));

            struct {
                UINT key;
                int want;
            } keys[] = {{VK_DOWN, 2},           {VK_UP, 1},         {VK_RIGHT, 1 + rows},
                        {VK_LEFT, 1},           {VK_LEFT, 1},       {VK_END, 11},
                        {VK_DOWN, 11},          {VK_HOME, 0},       {VK_UP, 0}};
            for (auto &k : keys) {
                automation::Key(k.key);
                EXPECT_EQ(automation::Selection(list), k.want) << k.key;
                EXPECT_EQ(SendMessageA(list, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_FOCUSED), k.want);
            }
            events.clear();

            // Empty space below the last item of the last column clears the
            // single selection.
            RECT last = ItemRect(list, 11);
            POINT empty = ToScreen(list, last.left + 4, last.bottom + 4);
            automation::ClickAt(empty.x, empty.y);
            EXPECT_EQ(automation::Selection(list), -1);
            EXPECT_EQ(TakeEvents(), (Strings{"unselect 0", "click -1"}));
            PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
        },
        [] {
            setup = [](HWND dlg) { Fill(GetDlgItem(dlg, IDC_DIRS), 12); };
            return RunBrowse();
        });
    EXPECT_SCENARIO_OK(result, IDCANCEL);
}

TEST_F(ListViewTest, DoubleClickNotifiesTheItemUnderThePointerOrNone)
{
    auto result = RunScenario(
        [] {
            HWND dlg = automation::WaitDialog("BROWSE");
            ASSERT_NE(dlg, nullptr);
            HWND list = automation::Control(dlg, IDC_DIRS);
            automation::DoubleClickItem(list, 2);
            EXPECT_EQ(automation::Selection(list), 2);
            Strings e = TakeEvents();
            ASSERT_FALSE(e.empty());
            EXPECT_EQ(e.back(), "dblclk 2");
            EXPECT_EQ(std::count(e.begin(), e.end(), "dblclk 2"), 1);

            RECT last = ItemRect(list, 2);
            POINT empty = ToScreen(list, last.left + 4, last.bottom + 20);
            automation::DoubleClickAt(empty.x, empty.y);
            e = TakeEvents();
            ASSERT_FALSE(e.empty());
            EXPECT_EQ(e.back(), "dblclk -1");
            PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
        },
        [] {
            setup = [](HWND dlg) { Fill(GetDlgItem(dlg, IDC_DIRS), 3); };
            return RunBrowse();
        });
    EXPECT_SCENARIO_OK(result, IDCANCEL);
}

TEST_F(ListViewTest, OverflowingItemsGetAHorizontalBarThatScrollsByColumns)
{
    auto result = RunScenario(
        [] {
            HWND dlg = automation::WaitDialog("BROWSE");
            ASSERT_NE(dlg, nullptr);
            HWND list = automation::Control(dlg, IDC_DIRS);
            HWND few = automation::Control(dlg, IDC_PLAIN);
            EXPECT_FALSE(GetWindowLongA(few, GWL_STYLE) & WS_HSCROLL);
            ASSERT_TRUE(GetWindowLongA(list, GWL_STYLE) & WS_HSCROLL);

            int rows = Rows(list);
            int columns = (60 + rows - 1) / rows;
            SCROLLINFO si = {sizeof si, SIF_ALL};
            ASSERT_TRUE(GetScrollInfo(list, SB_HORZ, &si));
            EXPECT_EQ(si.nMin, 0);
            EXPECT_EQ(si.nMax, columns - 1);
            EXPECT_EQ(si.nPos, 0);
            RECT client;
            GetClientRect(list, &client);
            RECT item0 = ItemRect(list, 0);
            int width = ItemRect(list, rows).left - item0.left;
            EXPECT_EQ((int)si.nPage, (int)client.right / width);
            // The bar takes its height from the rows.
            EXPECT_LE(rows * (item0.bottom - item0.top), client.bottom);

            // The bar's right arrow, just under the client's right end.
            RECT screenClient = automation::ClientRect(list);
            automation::ClickAt(screenClient.right - 4, screenClient.bottom + 8);
            EXPECT_EQ(GetScrollPos(list, SB_HORZ), 1);
            EXPECT_EQ(ItemRect(list, rows).left, 0);
            EXPECT_EQ(ItemRect(list, 0).left, -width);

            // Ensuring the last item visible scrolls to the end.
            EXPECT_TRUE(SendMessageA(list, LVM_ENSUREVISIBLE, 59, FALSE));
            RECT lastItem = ItemRect(list, 59);
            EXPECT_GE(lastItem.left, 0);
            EXPECT_LE(lastItem.right, client.right);
            PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
        },
        [] {
            setup = [](HWND dlg) {
                Fill(GetDlgItem(dlg, IDC_DIRS), 60);
                Insert(GetDlgItem(dlg, IDC_PLAIN), "one", 0);
            };
            return RunBrowse();
        });
    EXPECT_SCENARIO_OK(result, IDCANCEL);
}

TEST_F(ListViewTest, IconsAreDrawnThroughTheirMasksOverTheBackground)
{
    const uint32_t teal = 0x008080, yellow = 0xFFFF00;
    auto result = RunScenario(
        [=] {
            HWND dlg = automation::WaitDialog("BROWSE");
            ASSERT_NE(dlg, nullptr);
            HWND list = automation::Control(dlg, IDC_DIRS);
            RECT r = ItemRect(list, 0, LVIR_ICON);
            // The icon sits 2 pixels in, centred in the item's height.
            POINT o = ToScreen(list, r.left + 2, r.top + (r.bottom - r.top - 16) / 2);
            EXPECT_EQ(automation::Pixel(o.x + 1, o.y + 1), teal);   // masked corner
            EXPECT_EQ(automation::Pixel(o.x + 8, o.y + 8), yellow); // body
            EXPECT_EQ(automation::Pixel(o.x + 4, o.y + 1), yellow);

            // The 32x32 icon scaled to 16x16: 8-pixel quadrants.
            r = ItemRect(list, 1, LVIR_ICON);
            o = ToScreen(list, r.left + 2, r.top + (r.bottom - r.top - 16) / 2);
            struct {
                int x, y;
                uint32_t want;
            } quad[] = {{1, 1, 0xFF0000},  {6, 6, 0xFF0000}, {9, 1, 0x00FF00},
                        {1, 9, 0x0000FF},  {9, 9, teal},     {14, 14, teal}};
            for (auto &q : quad)
                EXPECT_EQ(automation::Pixel(o.x + q.x, o.y + q.y), q.want) << q.x << "," << q.y;
            PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
        },
        [=] {
            setup = [=](HWND dlg) {
                HIMAGELIST images = ImageList_Create(16, 16, ILC_MASK | ILC_COLOR4, 2, 2);
                ASSERT_NE(images, nullptr);
                HICON folder = LoadIconA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDI_FOLDER));
                HICON quad = LoadIconA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDI_QUAD));
                HICON drive = LoadIconA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDI_DRIVE));
                ASSERT_TRUE(folder && quad && drive);
                struct {
                    int index;
                    HICON icon;
                    int want;
                } adds[] = {{-1, drive, 0}, {-1, quad, 1}, {0, folder, 0}, {2, folder, -1},
                            {-2, folder, -1}, {-1, NULL, -1}};
                for (auto &a : adds)
                    EXPECT_EQ(ImageList_ReplaceIcon(images, a.index, a.icon), a.want) << a.index;
                EXPECT_EQ(ImageList_GetImageCount(images), 2);
                int cx = 0, cy = 0;
                EXPECT_TRUE(ImageList_GetIconSize(images, &cx, &cy));
                EXPECT_EQ(cx, 16);
                EXPECT_EQ(cy, 16);

                HWND list = GetDlgItem(dlg, IDC_DIRS);
                EXPECT_EQ(SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, (LPARAM)images), 0);
                EXPECT_EQ((HIMAGELIST)SendMessageA(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0), images);
                SendMessageA(list, LVM_SETBKCOLOR, 0, RGB(0, 0x80, 0x80));
                Insert(list, "a folder", 0, 0);
                Insert(list, "b quad", 1, 1);
                madeList = images;
            };
            int code = RunBrowse();
            // Not shared: the list went with the control.
            EXPECT_EQ(ImageList_GetImageCount(madeList), 0);
            EXPECT_FALSE(ImageList_Destroy(madeList));
            return code;
        });
    EXPECT_SCENARIO_OK(result, IDCANCEL);
}

// ---- combo box ---------------------------------------------------------

void FillDrives(HWND dlg)
{
    HWND drives = GetDlgItem(dlg, IDC_DRIVES);
    struct {
        const char *text;
        int want;
    } adds[] = {{"C:", 0}, {"A:", 1}, {"D:", 2}};
    for (auto &a : adds)
        EXPECT_EQ(SendMessageA(drives, CB_ADDSTRING, 0, (LPARAM)a.text), a.want) << a.text;
    SendMessageA(drives, CB_SETCURSEL, 0, 0);
    AddStrings(GetDlgItem(dlg, IDC_SORTED), {"b", "c", "a", "B"});
}

TEST_F(ListViewTest, ComboOpensUnderTheFieldAndPicksWithTheMouse)
{
    auto result = RunScenario(
        [] {
            HWND dlg = automation::WaitDialog("BROWSE");
            ASSERT_NE(dlg, nullptr);
            HWND combo = automation::Control(dlg, IDC_DRIVES);
            EXPECT_EQ(automation::Items(combo), (Strings{"C:", "A:", "D:"}));
            EXPECT_EQ(automation::Items(automation::Control(dlg, IDC_SORTED)), (Strings{"a", "b", "B", "c"}));
            EXPECT_EQ(automation::Text(combo), "C:");

            automation::Click(combo);
            EXPECT_TRUE(SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0));
            HWND list = OpenList();
            ASSERT_NE(list, nullptr);
            RECT field = automation::WindowRect(combo), popup = automation::WindowRect(list);
            EXPECT_EQ(popup.top, field.bottom);
            EXPECT_EQ(popup.left, field.left);
            EXPECT_EQ(popup.right, field.right);
            EXPECT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 3);
            EXPECT_EQ(TakeEvents(), (Strings{"dropdown 0"}));
            EXPECT_EQ(automation::Focus(), combo);

            automation::ClickItem(combo, 2);
            EXPECT_FALSE(SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0));
            EXPECT_FALSE(IsWindowVisible(list));
            EXPECT_EQ(automation::Selection(combo), 2);
            EXPECT_EQ(automation::Text(combo), "D:");
            EXPECT_EQ(TakeEvents(), (Strings{"selchange 2", "selendok 2", "closeup 2"}));

            // Picking the item already selected changes nothing.
            automation::ClickItem(combo, 2);
            EXPECT_EQ(TakeEvents(), (Strings{"dropdown 2", "selendok 2", "closeup 2"}));

            // A click outside the open list cancels it.
            automation::Click(combo);
            HWND open = OpenList();
            ASSERT_NE(open, nullptr);
            RECT item;
            SendMessageA(open, LB_GETITEMRECT, 0, (LPARAM)&item);
            POINT over = ToScreen(open, item.left + 5, item.top + 3);
            automation::MouseMove(over.x, over.y); // highlights item 0 only
            EXPECT_EQ(automation::Selection(combo), 2);
            RECT d = automation::WindowRect(dlg);
            automation::ClickAt(d.left + 10, d.bottom - 10);
            EXPECT_FALSE(SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0));
            EXPECT_EQ(automation::Selection(combo), 2);
            EXPECT_EQ(TakeEvents(), (Strings{"dropdown 2", "selendcancel 2", "closeup 2"}));
            PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
        },
        [] {
            setup = FillDrives;
            return RunBrowse();
        });
    EXPECT_SCENARIO_OK(result, IDCANCEL);
}

TEST_F(ListViewTest, ComboKeysMoveTheSelectionOpenAndClose)
{
    auto result = RunScenario(
        [] {
            HWND dlg = automation::WaitDialog("BROWSE");
            ASSERT_NE(dlg, nullptr);
            HWND combo = automation::Control(dlg, IDC_DRIVES);
            ASSERT_EQ(automation::Focus(), combo);

            // Closed: each move is a selection change, nothing else.
            automation::Key(VK_DOWN);
            automation::Key(VK_DOWN);
            automation::Key(VK_DOWN); // already at the end
            automation::Key(VK_HOME);
            automation::Type("d");
            automation::Key(VK_UP);
            EXPECT_EQ(TakeEvents(),
                      (Strings{"selchange 1", "selchange 2", "selchange 0", "selchange 2", "selchange 1"}));
            EXPECT_FALSE(SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0));

            // Open: the keys move the selection live; Esc brings back the
            // one the list opened with.
            automation::Key(VK_F4);
            EXPECT_TRUE(SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0));
            automation::Key(VK_DOWN);
            automation::Key(VK_ESCAPE);
            EXPECT_FALSE(SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0));
            EXPECT_EQ(automation::Selection(combo), 1);
            EXPECT_EQ(TakeEvents(), (Strings{"dropdown 1", "selchange 2", "selendcancel 1", "selchange 1",
                                             "closeup 1"}));
            EXPECT_NE(automation::FindDialog("BROWSE"), nullptr); // Esc did not reach the dialog

            // Enter picks, and does not press the default button either.
            automation::Key(VK_F4);
            automation::Key(VK_UP);
            automation::Key(VK_RETURN);
            EXPECT_EQ(automation::Selection(combo), 0);
            EXPECT_EQ(TakeEvents(), (Strings{"dropdown 1", "selchange 0", "selendok 0", "closeup 0"}));
            EXPECT_NE(automation::FindDialog("BROWSE"), nullptr);

            // F4 again closes with what is highlighted.
            automation::Key(VK_F4);
            automation::Key(VK_END);
            automation::Key(VK_F4);
            EXPECT_EQ(TakeEvents(), (Strings{"dropdown 0", "selchange 2", "selendok 2", "closeup 2"}));
            PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
        },
        [] {
            setup = FillDrives;
            return RunBrowse();
        });
    EXPECT_SCENARIO_OK(result, IDCANCEL);
}

TEST_F(ListViewTest, ComboMessagesKeepTheirContracts)
{
    auto result = RunScenario(nullptr, [] {
        setup = [](HWND dlg) {
            FillDrives(dlg);
            events.clear();
            HWND cb = GetDlgItem(dlg, IDC_DRIVES); // C: A: D:, C: selected

            EXPECT_EQ(SendMessageA(cb, CB_SETCURSEL, 1, 0), 1);
            EXPECT_EQ(SendMessageA(cb, CB_SETCURSEL, 3, 0), CB_ERR);
            EXPECT_EQ(SendMessageA(cb, CB_GETCURSEL, 0, 0), CB_ERR); // cleared, as documented
            EXPECT_EQ(SendMessageA(cb, CB_SETCURSEL, (WPARAM)-1, 0), CB_ERR);
            char text[8] = "junk";
            EXPECT_EQ(GetWindowTextA(cb, text, sizeof text), 0);
            EXPECT_STREQ(text, "");
            EXPECT_TRUE(events.empty()); // never a notification

            struct {
                UINT msg;
                int start;
                const char *text;
                LRESULT want;
            } finds[] = {{CB_FINDSTRING, -1, "a", 1},       {CB_FINDSTRING, 1, "", 2},
                         {CB_FINDSTRING, 2, "c", 0},        {CB_FINDSTRING, -1, "x", CB_ERR},
                         {CB_FINDSTRINGEXACT, -1, "d:", 2}, {CB_FINDSTRINGEXACT, -1, "D", CB_ERR},
                         {CB_SELECTSTRING, -1, "x", CB_ERR}, {CB_SELECTSTRING, -1, "a", 1}};
            for (auto &f : finds)
                EXPECT_EQ(SendMessageA(cb, f.msg, (WPARAM)f.start, (LPARAM)f.text), f.want) << f.text;
            EXPECT_EQ(SendMessageA(cb, CB_GETCURSEL, 0, 0), 1);

            // Inserting before the selection keeps it on its item; deleting
            // the selected item clears it.
            EXPECT_EQ(SendMessageA(cb, CB_INSERTSTRING, 0, (LPARAM) "B:"), 0);
            EXPECT_EQ(SendMessageA(cb, CB_INSERTSTRING, (WPARAM)-1, (LPARAM) "Z:"), 4);
            EXPECT_EQ(SendMessageA(cb, CB_INSERTSTRING, 9, (LPARAM) "Q:"), CB_ERR);
            EXPECT_EQ(SendMessageA(cb, CB_GETCURSEL, 0, 0), 2);
            EXPECT_EQ(GetWindowTextA(cb, text, 2), 1);
            EXPECT_STREQ(text, "A");
            EXPECT_EQ(GetWindowTextLengthA(cb), 2);
            EXPECT_EQ(SendMessageA(cb, CB_GETLBTEXTLEN, 4, 0), 2);
            EXPECT_EQ(SendMessageA(cb, CB_GETLBTEXTLEN, 5, 0), CB_ERR);
            EXPECT_EQ(SendMessageA(cb, CB_GETLBTEXT, 5, (LPARAM)text), CB_ERR);
            EXPECT_EQ(SendMessageA(cb, CB_SETITEMDATA, 3, 77), TRUE);
            EXPECT_EQ(SendMessageA(cb, CB_GETITEMDATA, 3, 0), 77);
            EXPECT_EQ(SendMessageA(cb, CB_GETITEMDATA, 9, 0), CB_ERR);
            EXPECT_EQ(SendMessageA(cb, CB_DELETESTRING, 0, 0), 4);
            EXPECT_EQ(SendMessageA(cb, CB_GETCURSEL, 0, 0), 1);
            EXPECT_EQ(SendMessageA(cb, CB_DELETESTRING, 1, 0), 3);
            EXPECT_EQ(SendMessageA(cb, CB_GETCURSEL, 0, 0), CB_ERR);
            EXPECT_EQ(SendMessageA(cb, CB_DELETESTRING, 3, 0), CB_ERR);
            EXPECT_EQ(SendMessageA(cb, CB_GETITEMDATA, 1, 0), 77); // D: kept its data

            // WM_SETTEXT selects an item of that text, or fails.
            EXPECT_TRUE(SetWindowTextA(cb, "z:"));
            EXPECT_EQ(SendMessageA(cb, CB_GETCURSEL, 0, 0), 2);
            EXPECT_FALSE(SetWindowTextA(cb, "nowhere") > 0);
            EXPECT_EQ(SendMessageA(cb, CB_GETCURSEL, 0, 0), 2);

            // Geometry: the control is the field; the template's height is
            // the dropped height.
            RECT dropped, window, units = {0, 0, 0, 60};
            MapDialogRect(dlg, &units);
            GetWindowRect(cb, &window);
            EXPECT_TRUE(SendMessageA(cb, CB_GETDROPPEDCONTROLRECT, 0, (LPARAM)&dropped));
            EXPECT_EQ(dropped.top, window.top);
            EXPECT_EQ(dropped.bottom - dropped.top, units.bottom);
            LRESULT field = SendMessageA(cb, CB_GETITEMHEIGHT, (WPARAM)-1, 0);
            LRESULT item = SendMessageA(cb, CB_GETITEMHEIGHT, 0, 0);
            EXPECT_GT(field, item);
            EXPECT_EQ(window.bottom - window.top, field + 6);

            EXPECT_EQ(SendMessageA(cb, CB_RESETCONTENT, 0, 0), CB_OKAY);
            EXPECT_EQ(SendMessageA(cb, CB_GETCOUNT, 0, 0), 0);
            EXPECT_EQ(SendMessageA(cb, CB_GETCURSEL, 0, 0), CB_ERR);
            EXPECT_TRUE(events.empty());
            PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
        };
        return RunBrowse();
    });
    EXPECT_SCENARIO_OK(result, IDCANCEL);
}

// A list that cannot show every item scrolls, by its bar and by the wheel;
// near the bottom of the screen it opens above the field.
class ComboListPlacement : public ListViewTest, public ::testing::WithParamInterface<bool> {};

TEST_P(ComboListPlacement, LongListsScrollAndFindRoom)
{
    bool atBottom = GetParam();
    auto result = RunScenario(
        [=] {
            HWND dlg = automation::WaitDialog("BROWSE");
            ASSERT_NE(dlg, nullptr);
            HWND combo = automation::Control(dlg, IDC_DRIVES);
            automation::Click(combo);
            HWND list = OpenList();
            ASSERT_NE(list, nullptr);
            RECT field = automation::WindowRect(combo), popup = automation::WindowRect(list);
            if (atBottom)
                EXPECT_EQ(popup.bottom, field.top);
            else
                EXPECT_EQ(popup.top, field.bottom);
            // The template's WS_VSCROLL is the list's; the field has no bar.
            EXPECT_TRUE(GetWindowLongA(list, GWL_STYLE) & WS_VSCROLL);
            EXPECT_FALSE(GetWindowLongA(combo, GWL_STYLE) & WS_VSCROLL);
            LRESULT ih = SendMessageA(combo, CB_GETITEMHEIGHT, 0, 0);
            RECT dropped;
            SendMessageA(combo, CB_GETDROPPEDCONTROLRECT, 0, (LPARAM)&dropped);
            // Whole items, within the dropped height.
            RECT client;
            GetClientRect(list, &client);
            EXPECT_EQ(client.bottom % ih, 0);
            EXPECT_LE(popup.bottom - popup.top, (dropped.bottom - dropped.top) - (field.bottom - field.top));

            RECT first;
            SendMessageA(list, LB_GETITEMRECT, 0, (LPARAM)&first);
            EXPECT_EQ(first.top, 0);
            // The bar's down arrow: one item.
            automation::ClickAt(popup.right - 4, popup.bottom - 5);
            SendMessageA(list, LB_GETITEMRECT, 0, (LPARAM)&first);
            EXPECT_EQ(first.top, -ih);
            EXPECT_TRUE(SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0));
            // The wheel, one notch down: three more.
            automation::WheelAt(popup.left + 5, popup.top + 5, -WHEEL_DELTA);
            SendMessageA(list, LB_GETITEMRECT, 0, (LPARAM)&first);
            EXPECT_EQ(first.top, -4 * ih);

            // An item scrolled into view is picked where it now is.
            automation::ClickItem(combo, 5);
            EXPECT_EQ(automation::Selection(combo), 5);
            EXPECT_EQ(TakeEvents(), (Strings{"dropdown 0", "selchange 5", "selendok 5", "closeup 5"}));
            PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
        },
        [=] {
            setup = [=](HWND dlg) {
                HWND cb = GetDlgItem(dlg, IDC_DRIVES);
                for (char c = 'C'; c <= 'Q'; c++) {
                    char name[4] = {c, ':', 0};
                    SendMessageA(cb, CB_ADDSTRING, 0, (LPARAM)name);
                }
                SendMessageA(cb, CB_SETCURSEL, 0, 0);
                if (atBottom) {
                    // The field 40 pixels above the screen's bottom: no room
                    // for the list under it.
                    RECT r, f;
                    GetWindowRect(dlg, &r);
                    GetWindowRect(cb, &f);
                    int top = r.top + (GetSystemMetrics(SM_CYSCREEN) - 40 - f.top);
                    SetWindowPos(dlg, NULL, r.left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
                }
            };
            return RunBrowse();
        });
    EXPECT_SCENARIO_OK(result, IDCANCEL);
}

INSTANTIATE_TEST_SUITE_P(BelowOrAbove, ComboListPlacement, ::testing::Bool());

} // namespace
