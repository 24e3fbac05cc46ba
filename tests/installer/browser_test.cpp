// The folder browser of the destination page, driven through its controls:
// walking folders, the folder-name limiter and OK's two refusals.

#include "wizard.h"

#include "scenario.h"

#include <stdlib.h>
#include <sys/stat.h>

namespace {

using wizard::Clusters;
using wizard::operator+;

const char kUp[] = "........";
const UINT kSimpleBeep = 0xFFFFFFFF;

enum Step { EnterItem, EnterIndex, EmptySpace };

struct WalkStep {
    Step how;
    const char *item; // EnterItem: the item's text; EnterIndex: the index as text
    const char *baseDir;
    std::vector<std::string> items;
    const char *pathLine;
};

const std::vector<std::string> kRoot = {"Nobra", "Program files", "ProgramData", "Users", "WINDOWS"};
const std::vector<std::string> kWindows = {kUp, "!data", "Nobra", "SYSTEM", "TEMP"};

// From the proposed C:\Program files: into the product folder (which does
// not exist), up twice to the root, into WINDOWS and SYSTEM and back, into a
// folder that sorts ahead of the up item's full stops and out again, and a
// double click on empty space that refills the list with a folder made
// meanwhile.
const WalkStep kWalk[] = {
    {EnterItem, "Nobra", "C:\\Program files\\Nobra", {kUp, "Nobra"}, "C:\\Program files\\Nobra\\Nobra"},
    {EnterIndex, "0", "C:\\Program files", {kUp, "Nobra"}, "C:\\Program files\\Nobra"},
    {EnterIndex, "0", "C:\\", kRoot, "C:\\Nobra"},
    {EnterItem, "WINDOWS", "C:\\WINDOWS", kWindows, "C:\\WINDOWS\\Nobra"},
    {EnterItem, "SYSTEM", "C:\\WINDOWS\\SYSTEM", {kUp, "Nobra"}, "C:\\WINDOWS\\SYSTEM\\Nobra"},
    {EnterIndex, "0", "C:\\WINDOWS", kWindows, "C:\\WINDOWS\\Nobra"},
    {EnterIndex, "1", "C:\\WINDOWS\\!data", {kUp, "Nobra"}, "C:\\WINDOWS\\!data\\Nobra"},
    {EnterIndex, "0", "C:\\WINDOWS", kWindows, "C:\\WINDOWS\\Nobra"},
    {EmptySpace, "", "C:\\WINDOWS", {kUp, "!data", "Later", "Nobra", "SYSTEM", "TEMP"}, "C:\\WINDOWS\\Nobra"},
};

TEST(FolderBrowser, WalksUpAndDownTheFolders)
{
    TempMachine m;
    ASSERT_TRUE(m.Ready());
    m.MakeDir("WINDOWS/SYSTEM");
    m.MakeDir("WINDOWS/!data");
    std::string later = m.HostPath("WINDOWS/Later");
    auto result = RunScenario([later] {
        HWND page = wizard::ToDestination();
        ASSERT_NE(page, nullptr);
        HWND browser = wizard::OpenBrowser(page);
        ASSERT_NE(browser, nullptr);
        HWND list = automation::Control(browser, IDC_FOLDER_LIST);
        HWND line = automation::Control(browser, IDC_PATH_LINE);
        EXPECT_EQ(automation::Text(browser), "Setup - directory");
        EXPECT_EQ(automation::Items(list), (std::vector<std::string>{kUp, "Nobra"}));
        EXPECT_EQ(automation::Text(line), "C:\\Program files\\Nobra");
        EXPECT_EQ(automation::Text(automation::Control(browser, IDC_FOLDER_NAME)), "Nobra");
        EXPECT_EQ(automation::Items(automation::Control(browser, IDC_DRIVE_BOX)), (std::vector<std::string>{"C:\\"}));

        for (const WalkStep &s : kWalk) {
            SCOPED_TRACE(std::string("to ") + s.baseDir);
            if (s.how == EnterItem) {
                wizard::Enter(list, s.item);
            } else if (s.how == EnterIndex) {
                automation::DoubleClickItem(list, atoi(s.item));
            } else {
                EXPECT_EQ(automation::Selection(list), -1);
                ASSERT_EQ(mkdir(later.c_str(), 0777), 0);
                RECT r = automation::ClientRect(list);
                automation::DoubleClickAt(r.left + 20, r.bottom - 10);
            }
            EXPECT_STREQ(g_setup.baseDir, s.baseDir);
            EXPECT_EQ(automation::Items(list), s.items);
            EXPECT_EQ(automation::Text(line), s.pathLine);
        }
        EXPECT_EQ(wizard::CountBeeps(kSimpleBeep), 0);
        EXPECT_EQ(automation::FindDialog("IDD_BROWSE"), browser);
        // What the walk reached becomes the page's directory.
        automation::Click(automation::Control(browser, IDOK));
        EXPECT_EQ(automation::FindDialog("IDD_BROWSE"), nullptr);
        EXPECT_EQ(automation::Text(automation::Control(page, IDC_INSTALL_DIR)), "C:\\WINDOWS\\Nobra");
        wizard::CancelSetup(page);
    });
    EXPECT_SCENARIO_OK(result, 0);
}

// The name edit holds 99 characters at most: a 100th typed, or a paste
// that would pass the limit, is undone with the simple beep.
TEST(FolderBrowser, NameLimiterRefusesTheHundredthCharacter)
{
    TempMachine m;
    ASSERT_TRUE(m.Ready());
    auto result = RunScenario([] {
        HWND page = wizard::ToDestination();
        ASSERT_NE(page, nullptr);
        HWND browser = wizard::OpenBrowser(page);
        ASSERT_NE(browser, nullptr);
        HWND name = automation::Control(browser, IDC_FOLDER_NAME);
        EXPECT_STREQ(g_setup.folderName, "Nobra");

        automation::Click(name);
        automation::Key(VK_END);
        const std::string more(94, 'x');
        automation::Type(more.c_str());
        const std::string longest = "Nobra" + more;
        EXPECT_EQ(automation::Text(name), longest);
        EXPECT_STREQ(g_setup.folderName, longest.c_str());
        EXPECT_EQ(wizard::CountBeeps(kSimpleBeep), 0);

        automation::Type("y");
        EXPECT_EQ(automation::Text(name), longest);
        EXPECT_STREQ(g_setup.folderName, longest.c_str());
        EXPECT_EQ(wizard::CountBeeps(kSimpleBeep), 1);

        wizard::TypeInto(name, "Nobra");
        EXPECT_STREQ(g_setup.folderName, "Nobra");
        automation::Key(VK_END);
        automation::Paste(std::string(150, 'p').c_str());
        EXPECT_EQ(automation::Text(name), "Nobra");
        EXPECT_STREQ(g_setup.folderName, "Nobra");
        EXPECT_EQ(wizard::CountBeeps(kSimpleBeep), 2);

        // A paste that stays within the limit is taken.  Setting the text back put the caret first.
        automation::Key(VK_END);
        automation::Paste(std::string(94, 'q').c_str());
        EXPECT_EQ(automation::Text(name), "Nobra" + std::string(94, 'q'));
        EXPECT_EQ(wizard::CountBeeps(kSimpleBeep), 2);
        automation::Click(automation::Control(browser, IDCANCEL));
        wizard::CancelSetup(page);
    });
    EXPECT_SCENARIO_OK(result, 0);
}

// OK refuses an empty name and too little space; either answer to the
// space box keeps the browser open.  The layer counts free space in whole
// clusters of 4,096 bytes, so its nearest figures below and above the
// 5,000 needed are 4,997 and 5,001; the exact edge is set in the record.
TEST(FolderBrowser, OkRefusesAnEmptyNameAndTooLittleSpace)
{
    TempMachine m({{"free", "C", Clusters(1220)}});
    ASSERT_TRUE(m.Ready());
    auto result = RunScenario([] {
        HWND page = wizard::ToDestination();
        ASSERT_NE(page, nullptr);
        HWND browser = wizard::OpenBrowser(page);
        ASSERT_NE(browser, nullptr);
        HWND name = automation::Control(browser, IDC_FOLDER_NAME);
        HWND ok = automation::Control(browser, IDOK);
        EXPECT_EQ(automation::Text(automation::Control(browser, IDC_SPACE_LINE)),
                  " Available: 4997 KB, Required: 5000 KB");

        wizard::ClearEdit(name);
        automation::Click(ok);
        auto boxes = automation::MessageBoxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, "You forget to select a directory");
        EXPECT_EQ(boxes[0].caption, "Warning");
        EXPECT_EQ(boxes[0].type, (UINT)MB_ICONWARNING);
        ASSERT_TRUE(wizard::Answer(browser, "OK"));
        EXPECT_EQ(automation::FindDialog("IDD_BROWSE"), browser);
        EXPECT_EQ(automation::Focus(), name);

        automation::Type("Nobra");
        for (const char *answer : {"Yes", "No"}) {
            automation::Click(ok);
            boxes = automation::MessageBoxes();
            ASSERT_FALSE(boxes.empty());
            EXPECT_EQ(boxes.back().text, wizard::kNoSpace);
            // No caption was given: the box shows the system's own.
            EXPECT_EQ(boxes.back().caption, "Error");
            EXPECT_EQ(boxes.back().type, (UINT)(MB_ICONERROR | MB_YESNO));
            ASSERT_TRUE(wizard::Answer(browser, answer));
            EXPECT_EQ(automation::FindDialog("IDD_BROWSE"), browser) << "after " << answer;
        }
        size_t asked = automation::MessageBoxes().size();
        g_setup.freeKB = 4999;
        automation::Click(ok);
        EXPECT_EQ(automation::MessageBoxes().size(), asked + 1);
        ASSERT_TRUE(wizard::Answer(browser, "No"));
        g_setup.freeKB = 5000;
        automation::Click(ok);
        EXPECT_EQ(automation::MessageBoxes().size(), asked + 1);
        EXPECT_EQ(automation::FindDialog("IDD_BROWSE"), nullptr);
        wizard::CancelSetup(page);
    });
    EXPECT_SCENARIO_OK(result, 0);
}

// Each step appends a backslash and a name to the folder walked to.  The
// product-folder item can be entered whether or not the folder exists, so
// with a 99-character name the path grows by 100 a step; a step that
// would leave no room for the name and the path line is refused with the
// simple beep, and nothing changes.
TEST(FolderBrowser, AStepThatWouldNotFitIsRefused)
{
    TempMachine m;
    ASSERT_TRUE(m.Ready());
    auto result = RunScenario([] {
        HWND page = wizard::ToDestination();
        ASSERT_NE(page, nullptr);
        HWND browser = wizard::OpenBrowser(page);
        ASSERT_NE(browser, nullptr);
        HWND list = automation::Control(browser, IDC_FOLDER_LIST);
        HWND line = automation::Control(browser, IDC_PATH_LINE);
        const std::string name(99, 'n');
        wizard::ClearEdit(automation::Control(browser, IDC_FOLDER_NAME));
        automation::Paste(name.c_str());
        ASSERT_STREQ(g_setup.folderName, name.c_str());

        std::string base = "C:\\Program files";
        wizard::Enter(list, "Nobra"); // the list still shows the name of its last filling
        base += "\\Nobra";
        ASSERT_STREQ(g_setup.baseDir, base.c_str());
        for (int step = 0; step < 3; step++) {
            wizard::Enter(list, name);
            base += "\\" + name;
            ASSERT_STREQ(g_setup.baseDir, base.c_str()) << "step " << step;
        }
        ASSERT_EQ(base.size(), 322u);
        EXPECT_EQ(automation::Text(line), base + "\\" + name);
        EXPECT_EQ(wizard::CountBeeps(kSimpleBeep), 0);

        wizard::Enter(list, name);
        EXPECT_STREQ(g_setup.baseDir, base.c_str());
        EXPECT_EQ(wizard::CountBeeps(kSimpleBeep), 1);
        EXPECT_EQ(automation::Items(list), (std::vector<std::string>{kUp, name}));
        EXPECT_EQ(automation::Text(line), base + "\\" + name);

        // The page shows the whole directory, and going up still works.
        automation::DoubleClickItem(list, 0);
        base.resize(base.size() - 100);
        EXPECT_STREQ(g_setup.baseDir, base.c_str());
        automation::Click(automation::Control(browser, IDCANCEL));
        EXPECT_EQ(automation::Text(automation::Control(page, IDC_INSTALL_DIR)), base + "\\" + name);
        wizard::CancelSetup(page);
    });
    EXPECT_SCENARIO_OK(result, 0);
}

} // namespace
