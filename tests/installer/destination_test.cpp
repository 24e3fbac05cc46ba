// The destination page end to end: the directory it proposes, what Browse
// hands back, Next's three refusals and questions, and the directory that
// Next makes on the machine.  The copy page is not built yet, so a page that
// ends with 0 is followed by the wizard's cancel message.

#include "wizard.h"

#include "scenario.h"

namespace {

using wizard::Clusters;
using wizard::Drives;
using wizard::operator+;

std::string Shown(HWND page) { return automation::Text(automation::Control(page, IDC_INSTALL_DIR)); }

// Cancel and No change nothing; what is typed into the directory line is
// never read: Next makes baseDir joined with the folder name.
TEST(DestinationPage, NextMakesTheProposedDirectoryWhateverIsTyped)
{
    TempMachine m;
    ASSERT_TRUE(m.Ready());
    auto result = RunScenario([] {
        HWND page = wizard::ToDestination();
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(Shown(page), "C:\\Program files\\Nobra");
        EXPECT_EQ(automation::DefaultButton(page), IDOK);

        for (bool esc : {true, false}) {
            if (esc)
                automation::Key(VK_ESCAPE);
            else
                automation::Click(automation::Control(page, IDCANCEL));
            auto boxes = automation::MessageBoxes();
            ASSERT_FALSE(boxes.empty());
            EXPECT_EQ(boxes.back().text, wizard::kCancelQuestion);
            EXPECT_EQ(boxes.back().caption, "Nobra - Setup");
            EXPECT_EQ(boxes.back().type, (UINT)(MB_ICONQUESTION | MB_YESNO));
            ASSERT_TRUE(wizard::Answer(page, "No"));
            EXPECT_EQ(automation::FindDialog("IDD_DIR"), page);
            EXPECT_EQ(Shown(page), "C:\\Program files\\Nobra");
        }

        HWND line = automation::Control(page, IDC_INSTALL_DIR);
        wizard::TypeInto(line, "C:\\Elsewhere");
        EXPECT_EQ(automation::Text(line), "C:\\Elsewhere");
        size_t asked = automation::MessageBoxes().size();
        automation::Click(automation::Control(page, IDOK));
        EXPECT_EQ(automation::FindDialog("IDD_DIR"), nullptr);
        EXPECT_STREQ(g_setup.installDir, "C:\\Program files\\Nobra");
        EXPECT_EQ(automation::MessageBoxes().size(), asked + 1); // the cancel message only
        wizard::ExpectCancelMessage();
    });
    EXPECT_SCENARIO_OK(result, 0);
    EXPECT_TRUE(m.IsDir("Program files/Nobra"));
    EXPECT_FALSE(m.Exists("Elsewhere"));
}

// An existing directory is offered for reuse: No keeps the page and the
// same question comes again; Yes goes on into it.
TEST(DestinationPage, AnExistingDirectoryIsAskedForEachTime)
{
    TempMachine m;
    ASSERT_TRUE(m.Ready());
    m.WriteFile("Program files/Nobra/keep.txt", "from before");
    auto result = RunScenario([] {
        HWND page = wizard::ToDestination();
        ASSERT_NE(page, nullptr);
        for (const char *answer : {"No", "No", "Yes"}) {
            automation::Click(automation::Control(page, IDOK));
            auto boxes = automation::MessageBoxes();
            ASSERT_FALSE(boxes.empty());
            EXPECT_EQ(boxes.back().text, wizard::kExists);
            EXPECT_EQ(boxes.back().caption, "Nobra - Setup");
            EXPECT_EQ(boxes.back().type, (UINT)(MB_ICONQUESTION | MB_YESNO));
            ASSERT_TRUE(wizard::Answer(page, answer));
            if (answer[0] == 'N')
                EXPECT_EQ(automation::FindDialog("IDD_DIR"), page);
        }
        EXPECT_EQ(automation::FindDialog("IDD_DIR"), nullptr);
        EXPECT_EQ(automation::MessageBoxes().size(), 4u);
        wizard::ExpectCancelMessage();
    });
    EXPECT_SCENARIO_OK(result, 0);
    EXPECT_EQ(m.ReadFile("Program files/Nobra/keep.txt"), "from before");
}

// Too little space: the box is captioned with the setup's title and either
// answer keeps the page.  The machine starts with 1,220 clusters of 4,096
// bytes (4,997 KB); the exact edge, 4,999 against 5,000, is set in the record.
TEST(DestinationPage, NextRefusesTooLittleSpaceUntilThereIsEnough)
{
    TempMachine m({{"free", "C", Clusters(1220)}});
    ASSERT_TRUE(m.Ready());
    auto result = RunScenario([] {
        HWND page = wizard::ToDestination();
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(g_setup.freeKB, 4997u);
        for (const char *answer : {"Yes", "No"}) {
            automation::Click(automation::Control(page, IDOK));
            auto boxes = automation::MessageBoxes();
            ASSERT_FALSE(boxes.empty());
            EXPECT_EQ(boxes.back().text, wizard::kNoSpace);
            EXPECT_EQ(boxes.back().caption, "Nobra - Setup");
            EXPECT_EQ(boxes.back().type, (UINT)(MB_ICONERROR | MB_YESNO));
            ASSERT_TRUE(wizard::Answer(page, answer));
            EXPECT_EQ(automation::FindDialog("IDD_DIR"), page) << "after " << answer;
        }
        g_setup.freeKB = 4999;
        automation::Click(automation::Control(page, IDOK));
        EXPECT_EQ(automation::MessageBoxes().size(), 3u);
        ASSERT_TRUE(wizard::Answer(page, "No"));
        g_setup.freeKB = 5000;
        automation::Click(automation::Control(page, IDOK));
        EXPECT_EQ(automation::FindDialog("IDD_DIR"), nullptr);
        EXPECT_EQ(automation::MessageBoxes().size(), 4u);
        wizard::ExpectCancelMessage();
    });
    EXPECT_SCENARIO_OK(result, 0);
    EXPECT_TRUE(m.IsDir("Program files/Nobra"));
}

// A name emptied in the browser and left by Cancel: the page shows the
// bare folder and Next asks for a directory, sending the focus to the line.
TEST(DestinationPage, AnEmptyNameIsAskedFor)
{
    TempMachine m;
    ASSERT_TRUE(m.Ready());
    auto result = RunScenario([] {
        HWND page = wizard::ToDestination();
        ASSERT_NE(page, nullptr);
        HWND browser = wizard::OpenBrowser(page);
        ASSERT_NE(browser, nullptr);
        wizard::ClearEdit(automation::Control(browser, IDC_FOLDER_NAME));
        automation::Click(automation::Control(browser, IDCANCEL));
        EXPECT_EQ(automation::FindDialog("IDD_BROWSE"), nullptr);
        EXPECT_EQ(Shown(page), "C:\\Program files\\");

        automation::Click(automation::Control(page, IDOK));
        auto boxes = automation::MessageBoxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, "You were forgoten to select an directory");
        EXPECT_EQ(boxes[0].caption, "Nobra - Setup");
        EXPECT_EQ(boxes[0].type, (UINT)MB_ICONWARNING);
        ASSERT_TRUE(wizard::Answer(page, "OK"));
        EXPECT_EQ(automation::FindDialog("IDD_DIR"), page);
        EXPECT_EQ(automation::Focus(), automation::Control(page, IDC_INSTALL_DIR));
        wizard::CancelSetup(page);
    });
    EXPECT_SCENARIO_OK(result, 0);
    EXPECT_FALSE(m.Exists("Program files/Nobra"));
}

// Picking D:, walking to D:\GAMES and typing Foo, then Cancel: the browser
// keeps what was changed.  A second visit shows Foo in the path line and
// the product item while the edit starts again from Nobra.  Next makes
// D:\GAMES\Foo, with the 5,001 units that D: has.
TEST(DestinationPage, BrowseHandsBackDriveFolderAndName)
{
    TempMachine m({{"drives", "D", "drive_d"}, {"free", "C", Clusters(1000000)}, {"free", "D", Clusters(1221)}});
    ASSERT_TRUE(m.Ready());
    m.MakeDir("GAMES", 'D');
    auto result = RunScenario([] {
        HWND page = wizard::ToDestination();
        ASSERT_NE(page, nullptr);
        HWND browser = wizard::OpenBrowser(page);
        ASSERT_NE(browser, nullptr);
        HWND drives = automation::Control(browser, IDC_DRIVE_BOX);
        HWND space = automation::Control(browser, IDC_SPACE_LINE);
        HWND list = automation::Control(browser, IDC_FOLDER_LIST);
        HWND line = automation::Control(browser, IDC_PATH_LINE);
        HWND name = automation::Control(browser, IDC_FOLDER_NAME);
        EXPECT_EQ(automation::Items(drives), (std::vector<std::string>{"C:\\", "D:\\"}));
        EXPECT_EQ(automation::Selection(drives), 0);
        EXPECT_EQ(automation::Text(space), " Available: 4096000 KB, Required: 5000 KB");

        automation::ClickItem(drives, 1);
        EXPECT_EQ(automation::Selection(drives), 1);
        EXPECT_STREQ(g_setup.baseDir, "D:\\");
        EXPECT_EQ(g_setup.currentDrive, 1);
        EXPECT_EQ(automation::Text(space), " Available: 5001 KB, Required: 5000 KB");
        EXPECT_EQ(automation::Items(list), (std::vector<std::string>{"GAMES", "Nobra"}));
        EXPECT_EQ(automation::Text(line), "D:\\Nobra");

        wizard::Enter(list, "GAMES");
        EXPECT_EQ(automation::Text(line), "D:\\GAMES\\Nobra");
        wizard::TypeInto(name, "Foo");
        automation::Click(automation::Control(browser, IDCANCEL));
        EXPECT_EQ(automation::FindDialog("IDD_BROWSE"), nullptr);
        EXPECT_EQ(Shown(page), "D:\\GAMES\\Foo");

        browser = wizard::OpenBrowser(page);
        ASSERT_NE(browser, nullptr);
        list = automation::Control(browser, IDC_FOLDER_LIST);
        EXPECT_EQ(automation::Text(automation::Control(browser, IDC_PATH_LINE)), "D:\\GAMES\\Foo");
        EXPECT_EQ(automation::Items(list), (std::vector<std::string>{"........", "Foo"}));
        EXPECT_EQ(automation::Text(automation::Control(browser, IDC_FOLDER_NAME)), "Nobra");
        EXPECT_STREQ(g_setup.folderName, "Nobra");
        EXPECT_EQ(automation::Selection(automation::Control(browser, IDC_DRIVE_BOX)), 1);
        EXPECT_EQ(automation::Text(automation::Control(browser, IDC_SPACE_LINE)),
                  " Available: 5001 KB, Required: 5000 KB");
        wizard::TypeInto(automation::Control(browser, IDC_FOLDER_NAME), "Foo");
        automation::Click(automation::Control(browser, IDOK));
        EXPECT_EQ(automation::FindDialog("IDD_BROWSE"), nullptr);
        EXPECT_EQ(Shown(page), "D:\\GAMES\\Foo");

        automation::Click(automation::Control(page, IDOK));
        EXPECT_EQ(automation::FindDialog("IDD_DIR"), nullptr);
        wizard::ExpectCancelMessage();
    });
    EXPECT_SCENARIO_OK(result, 0);
    EXPECT_TRUE(m.IsDir("GAMES/Foo", 'D'));
    EXPECT_FALSE(m.Exists("Program files/Nobra"));
}

// Without a drive C nothing is proposed but the name, and Next makes it in
// the process's current directory.
TEST(DestinationPage, WithoutDriveCTheNameGoesIntoTheCurrentDirectory)
{
    TempMachine m(Drives("DE") + std::vector<MachineSetting>{{"machine", "windows", "D:\\WINDOWS"},
                                                            {"machine", "temp", "D:\\WINDOWS\\TEMP"},
                                                            {"machine", "current", "E:\\DATA"},
                                                            {"free", "E", Clusters(1221)}});
    m.MakeDir("DATA", 'E');
    ASSERT_TRUE(m.Init());
    auto result = RunScenario([] {
        HWND page = wizard::ToDestination();
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(Shown(page), "Nobra");
        automation::Click(automation::Control(page, IDOK));
        EXPECT_EQ(automation::FindDialog("IDD_DIR"), nullptr);
        wizard::ExpectCancelMessage();
    });
    EXPECT_SCENARIO_OK(result, 0);
    EXPECT_TRUE(m.IsDir("DATA/Nobra", 'E'));
}

} // namespace
