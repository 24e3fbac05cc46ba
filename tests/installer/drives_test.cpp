// The drive table and the free-space probe, seen when the destination page
// opens: one machine configuration per case, run through the real wizard.

#include "wizard.h"

#include "scenario.h"

#include <stdio.h>
#include <sys/stat.h>

namespace {

using wizard::Clusters;
using wizard::Drives;
using wizard::operator+;

struct DriveCase {
    const char *name;
    std::vector<MachineSetting> settings;
    const char *renameProgramFiles; // host folder to rename "Program files" to, "" to remove it
    char programFilesDrive;
    const char *sourceDir;  // after the table upper-cased it
    std::vector<std::string> drives;
    int currentDrive;
    const char *baseDir;
    DWORD freeKB;
    const char *currentDir; // compared ignoring case, as Windows paths are
    const char *shown;      // the destination page's directory line
};

std::vector<MachineSetting> Machine(const char *windows, const char *current)
{
    return {{"machine", "windows", windows}, {"machine", "temp", std::string(windows) + "\\TEMP"},
            {"machine", "current", current}};
}

std::vector<MachineSetting> Free(char drive, const std::string &bytes) { return {{"free", std::string(1, drive), bytes}}; }

const DriveCase kCases[] = {
    // The source drive is picked first, then C wins over it.
    {"SourceOnDButCWins", Drives("ACD") + Machine("C:\\WINDOWS", "D:\\SETUP") + Free('C', Clusters(1000000)) +
                              Free('D', Clusters(7)),
     nullptr, 'C', "D:\\SETUP", {"A:\\", "C:\\", "D:\\"}, 1, "C:\\Program files", 4096000, "C:\\Program files",
     "C:\\Program files\\Nobra"},
    // Without C the source drive stays selected and no directory is proposed.
    {"NoCKeepsTheSourceDrive", Drives("ADE") + Machine("D:\\WINDOWS", "E:\\") + Free('E', Clusters(1048576)),
     nullptr, 'D', "E:", {"A:\\", "D:\\", "E:\\"}, 2, "", 4294967, "E:\\", "Nobra"},
    // The system reports the roots as the machine names them; the table holds them upper-cased.
    {"LowerCaseRootsAreUpperCased", Drives("aCd") + Machine("C:\\WINDOWS", "d:\\") + Free('C', Clusters(2000000)),
     nullptr, 'C', "D:", {"A:\\", "C:\\", "D:\\"}, 1, "C:\\Program files", 8192000, "C:\\Program files",
     "C:\\Program files\\Nobra"},
    // The source directory is upper-cased too, so a lower-case source drive still matches its slot.
    {"LowerCaseSourceDriveMatches", Drives("ade") + Machine("d:\\WINDOWS", "e:\\") + Free('e', Clusters(1000000)),
     nullptr, 'D', "E:", {"A:\\", "D:\\", "E:\\"}, 2, "", 4096000, "e:\\", "Nobra"},
    // The folder's own case does not matter: the proposal is spelled one way.
    {"ProgramFilesInAnotherCase", Free('C', Clusters(1000000)), "PROGRAM FILES", 'C', "C:", {"C:\\"}, 0,
     "C:\\Program files", 4096000, "C:\\PROGRAM FILES", "C:\\Program files\\Nobra"},
    {"NoProgramFilesFallsBackToTheRoot", Free('C', Clusters(1000000)), "", 'C', "C:", {"C:\\"}, 0, "C:\\", 4096000,
     "C:\\", "C:\\Nobra"},
    // Windows on D: the folder is D's, yet C is selected and measured.
    {"WindowsOnD", Drives("CD") + Machine("D:\\WINNT", "C:\\") + Free('C', Clusters(2000000)) +
                       Free('D', Clusters(1000000)),
     nullptr, 'D', "C:", {"C:\\", "D:\\"}, 0, "D:\\Program files", 8192000, "D:\\Program files",
     "D:\\Program files\\Nobra"},
    {"WindowsOnDWithoutProgramFiles", Drives("CD") + Machine("D:\\WINNT", "D:\\") + Free('C', Clusters(1000000)),
     "", 'D', "D:", {"C:\\", "D:\\"}, 0, "C:\\", 4096000, "D:\\", "C:\\Nobra"},
    // Exactly 5,000,000 free bytes are 5000 KB, enough; a thousand bytes fewer are 4999.
    {"FiveMillionBytesAreEnough", Free('C', "5000000"), nullptr, 'C', "C:", {"C:\\"}, 0, "C:\\Program files",
     5000, "C:\\Program files", "C:\\Program files\\Nobra"},
    {"OneThousandBytesFewerAreNot", Free('C', "4999000"), nullptr, 'C', "C:", {"C:\\"}, 0, "C:\\Program files",
     4999, "C:\\Program files", "C:\\Program files\\Nobra"},
    // Beyond what 32 bits count in units of 1000 bytes (5 TB): the largest count, not a wrapped small one.
    {"FreeBeyond32BitsSaturates", Free('C', "5000000000000"), nullptr, 'C', "C:", {"C:\\"}, 0, "C:\\Program files",
     4294967295u, "C:\\Program files", "C:\\Program files\\Nobra"},
    // More drives than slots: the table keeps the first 20 and nothing past it is written.
    {"TwentyFourDrives", Drives("ABCDEFGHIJKLMNOPQRSTUVWX") + Machine("C:\\WINDOWS", "X:\\") +
                             Free('C', Clusters(1000000)),
     nullptr, 'C', "X:", {"A:\\", "B:\\", "C:\\", "D:\\", "E:\\", "F:\\", "G:\\", "H:\\", "I:\\", "J:\\",
                    "K:\\", "L:\\", "M:\\", "N:\\", "O:\\", "P:\\", "Q:\\", "R:\\", "S:\\", "T:\\"},
     2, "C:\\Program files", 4096000, "C:\\Program files", "C:\\Program files\\Nobra"},
    // 25 roots need more than 100 characters; the source drive Z is not among the 20 kept.
    {"TwentyFiveDrivesWithoutC", Drives("ABDEFGHIJKLMNOPQRSTUVWXYZ") + Machine("A:\\WINDOWS", "Z:\\") +
                                     Free('A', Clusters(1000000)),
     nullptr, 'A', "Z:", {"A:\\", "B:\\", "D:\\", "E:\\", "F:\\", "G:\\", "H:\\", "I:\\", "J:\\", "K:\\",
                    "L:\\", "M:\\", "N:\\", "O:\\", "P:\\", "Q:\\", "R:\\", "S:\\", "T:\\", "U:\\"},
     0, "", 4096000, "Z:\\", "Nobra"},
};

void PrintTo(const DriveCase &c, std::ostream *os) { *os << c.name; }

class DriveTable : public ::testing::TestWithParam<DriveCase> {};

TEST_P(DriveTable, AsTheDestinationPageOpens)
{
    const DriveCase &c = GetParam();
    // A current directory below a root must exist before the machine can start there, so
    // the first start may refuse it; the folder is made and the machine started again.
    TempMachine m(c.settings);
    for (const MachineSetting &s : c.settings)
        if (s.key == "current" && s.value.size() > 3)
            m.MakeDir(s.value.substr(3), s.value[0]);
    if (c.renameProgramFiles) {
        std::string from = m.HostPath("Program files", c.programFilesDrive);
        if (*c.renameProgramFiles)
            ASSERT_EQ(rename(from.c_str(), m.HostPath(c.renameProgramFiles, c.programFilesDrive).c_str()), 0);
        else
            ASSERT_EQ(rmdir(from.c_str()), 0);
    }
    ASSERT_TRUE(m.Init());

    auto result = RunScenario([&c] {
        HWND page = wizard::ToDestination();
        ASSERT_NE(page, nullptr);
        std::vector<std::string> drives;
        for (int i = 0; i < g_setup.driveCount && i < DriveSlots; i++)
            drives.push_back(g_setup.drives[i]);
        EXPECT_EQ(g_setup.driveCount, (int)c.drives.size());
        EXPECT_EQ(drives, c.drives);
        for (int i = g_setup.driveCount; i < DriveSlots; i++)
            EXPECT_STREQ(g_setup.drives[i], "") << "slot " << i;
        EXPECT_STREQ(g_setup.sourceDir, c.sourceDir);
        EXPECT_EQ(g_setup.currentDrive, c.currentDrive);
        EXPECT_STREQ(g_setup.baseDir, c.baseDir);
        EXPECT_EQ(g_setup.freeKB, c.freeKB);
        char cwd[MAX_PATH] = "";
        GetCurrentDirectoryA(MAX_PATH, cwd);
        EXPECT_STRCASEEQ(cwd, c.currentDir);
        EXPECT_EQ(automation::Text(automation::Control(page, IDC_INSTALL_DIR)), c.shown);
        wizard::CancelSetup(page);
    });
    EXPECT_SCENARIO_OK(result, 0);
}

INSTANTIATE_TEST_SUITE_P(Machines, DriveTable, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<DriveCase> &info) { return info.param.name; });

// A drive whose free space cannot be read counts as having none, rather
// than keeping the figure of the drive measured before it.
TEST(FreeSpace, ADriveThatCannotBeMeasuredHasNone)
{
    TempMachine m(Free('C', Clusters(2000000)) + std::vector<MachineSetting>{{"drives", "D", "drive_d"}});
    ASSERT_TRUE(m.Ready());
    std::string gone = m.HostPath("", 'D');
    auto result = RunScenario([gone] {
        HWND page = wizard::ToDestination();
        ASSERT_NE(page, nullptr);
        HWND browser = wizard::OpenBrowser(page);
        ASSERT_NE(browser, nullptr);
        HWND space = automation::Control(browser, IDC_SPACE_LINE);
        EXPECT_EQ(automation::Text(space), " Available: 8192000 KB, Required: 5000 KB");
        // The drive goes away while the program runs, as a medium taken out would.
        ASSERT_EQ(rmdir(gone.c_str()), 0);
        automation::ClickItem(automation::Control(browser, IDC_DRIVE_BOX), 1);
        EXPECT_EQ(g_setup.currentDrive, 1);
        EXPECT_EQ(g_setup.freeKB, 0u);
        EXPECT_EQ(automation::Text(space), " Available: 0 KB, Required: 5000 KB");
        // With nothing free the browser refuses to close by OK.
        automation::Click(automation::Control(browser, IDOK));
        auto boxes = automation::MessageBoxes();
        ASSERT_FALSE(boxes.empty());
        EXPECT_EQ(boxes.back().text, wizard::kNoSpace);
        wizard::Answer(browser, "No");
        automation::Click(automation::Control(browser, IDCANCEL));
        wizard::CancelSetup(page);
    });
    EXPECT_SCENARIO_OK(result, 0);
}

} // namespace
