// The machine folder, machine.ini and the environment overrides.
#include "machine.h"

#include "layer.h"

#include <gtest/gtest.h>

#include <string.h>
#include <sys/stat.h>

namespace {

std::string Fixture(const char *name)
{
    return std::string(NOBRA_FIXTURES) + "/kernel/" + name;
}

std::string Slurp(const std::string &path)
{
    std::string text;
    FILE *f = fopen(path.c_str(), "rb");
    if (!f)
        return text;
    char chunk[1024];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0)
        text.append(chunk, n);
    fclose(f);
    return text;
}

TEST(Machine, FirstUseWritesDefaultsAndAWindowsDrive)
{
    TempMachine m(TempMachine::NoInit);
    ASSERT_TRUE(m.Init());
    std::string ini = m.ReadIni();
    EXPECT_NE(std::string::npos, ini.find("C=drive_c"));
    EXPECT_NE(std::string::npos, ini.find("backend=auto"));

    const layer::Machine &mc = layer::GetMachine();
    EXPECT_EQ(m.Root(), mc.root);
    ASSERT_EQ(1u, mc.drives.size());
    EXPECT_EQ('C', mc.drives[0].letter);
    EXPECT_EQ(m.Root() + "/drive_c", mc.drives[0].hostDir);
    EXPECT_FALSE(mc.drives[0].hasFreeFigure);
    EXPECT_EQ("C:\\WINDOWS", mc.windowsDir);
    EXPECT_EQ("C:\\WINDOWS\\TEMP", mc.tempDir);
    EXPECT_EQ("C:\\", mc.currentDir);
    EXPECT_EQ("auto", mc.screenBackend);
    EXPECT_EQ(0, mc.screenWidth);
    EXPECT_EQ(32, mc.screenBpp);
    for (const char *dir : {"WINDOWS", "WINDOWS/TEMP", "Program files",
                            "ProgramData/Microsoft/Windows/Start Menu/Programs", "Users/Public/Desktop"})
        EXPECT_TRUE(m.IsDir(dir)) << dir;
    EXPECT_FALSE(m.Exists("../registry.reg"));

    // A second start reads the file it wrote and changes nothing.
    m.WriteFile("WINDOWS/keep.txt", "kept");
    ASSERT_TRUE(m.Init());
    EXPECT_EQ(ini, m.ReadIni());
    EXPECT_EQ("kept", m.ReadFile("WINDOWS/keep.txt"));
}

TEST(Machine, SettingsFromTheFile)
{
    TempMachine m(TempMachine::NoInit);
    std::string absolute = m.Root() + "/elsewhere";
    m.WriteIni("; a comment\n"
               "[Machine]\n"
               "Windows = c:\\os\\ ; inline comment\n"
               "TEMP=C:/os/tmp\n"
               "current=c:\\os\n"
               "colour=blue\n"
               "[drives]\n"
               "C=system\n"
               "e=" + absolute + "\n"
               "[free]\n"
               "e=5000\n"
               "[screen]\n"
               "backend=Headless\n"
               "width=800\n"
               "height=600\n"
               "bpp=8\n"
               "[unknown]\n"
               "anything=goes\n");
    ASSERT_TRUE(m.Init());
    const layer::Machine &mc = layer::GetMachine();
    ASSERT_EQ(2u, mc.drives.size());
    EXPECT_EQ(m.Root() + "/system", mc.drives[0].hostDir);
    EXPECT_EQ('e', mc.drives[1].letter);
    EXPECT_EQ(absolute, mc.drives[1].hostDir);
    EXPECT_TRUE(mc.drives[1].hasFreeFigure);
    EXPECT_EQ(5000u, mc.drives[1].freeBytes);
    EXPECT_EQ("C:\\os", mc.windowsDir);
    EXPECT_EQ("C:\\os\\tmp", mc.tempDir);
    EXPECT_EQ("C:\\os", mc.currentDir);
    EXPECT_EQ("headless", mc.screenBackend);
    EXPECT_EQ(800, mc.screenWidth);
    EXPECT_EQ(600, mc.screenHeight);
    EXPECT_EQ(8, mc.screenBpp);
    EXPECT_TRUE(m.IsDir("os/tmp"));
    struct stat st;
    EXPECT_EQ(0, stat(absolute.c_str(), &st)) << "missing drive folders are made";

    char drives[16];
    ASSERT_EQ(8u, GetLogicalDriveStringsA(sizeof drives, drives));
    EXPECT_STREQ("e:\\", drives + 4) << "a lower-case letter gives a lower-case root";
    std::string host;
    EXPECT_TRUE(layer::TranslatePath("E:\\file", host));
    EXPECT_EQ(absolute + "/file", host);
}

TEST(Machine, BrokenIniFilesStopTheStart)
{
    const char *fixtures[] = {
        "drive_without_folder.ini", "line_without_equals.ini", "unclosed_section.ini",
        "bpp_out_of_range.ini", "free_for_unknown_drive.ini", "free_not_a_number.ini",
        "windows_on_missing_drive.ini", "drive_listed_twice.ini", "drive_letter_too_long.ini",
        "no_drives.ini", "key_before_section.ini", "unknown_backend.ini",
    };
    for (const char *name : fixtures) {
        SCOPED_TRACE(name);
        std::string text = Slurp(Fixture(name));
        ASSERT_FALSE(text.empty());
        TempMachine m(TempMachine::NoInit);
        m.WriteIni(text);
        testing::internal::CaptureStderr();
        bool ok = m.Init();
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_FALSE(ok);
        EXPECT_NE(std::string::npos, err.find("machine.ini")) << "the message names the file: " << err;
    }
}

TEST(Machine, EnvironmentOverridesTheScreen)
{
    TempMachine m;
    m.SetEnv("SETUP_SCREEN", "x11");
    m.SetEnv("SETUP_SCREEN_SIZE", "64x48");
    m.SetEnv("SETUP_SCREEN_BPP", "16");
    ASSERT_TRUE(m.Init());
    const layer::Machine &mc = layer::GetMachine();
    EXPECT_EQ("x11", mc.screenBackend);
    EXPECT_EQ(64, mc.screenWidth);
    EXPECT_EQ(48, mc.screenHeight);
    EXPECT_EQ(16, mc.screenBpp);

    struct Case {
        const char *name, *value;
    };
    const Case bad[] = {
        {"SETUP_SCREEN", "vga"},     {"SETUP_SCREEN_SIZE", "64"},  {"SETUP_SCREEN_SIZE", "0x48"},
        {"SETUP_SCREEN_SIZE", "ax b"}, {"SETUP_SCREEN_BPP", "15"},
    };
    for (const Case &c : bad) {
        SCOPED_TRACE(std::string(c.name) + "=" + c.value);
        TempMachine other;
        other.SetEnv(c.name, c.value);
        testing::internal::CaptureStderr();
        EXPECT_FALSE(other.Init());
        EXPECT_NE(std::string::npos, testing::internal::GetCapturedStderr().find(c.name));
    }
}

TEST(Machine, ExistingSystemDriveIsLeftAsItIs)
{
    TempMachine m(TempMachine::NoInit);
    std::string drive = m.Root() + "/drive_c";
    ASSERT_EQ(0, mkdir(drive.c_str(), 0777));
    m.WriteIni("[drives]\nC=drive_c\n");
    ASSERT_TRUE(m.Init());
    EXPECT_TRUE(m.IsDir("WINDOWS/TEMP")) << "the Windows and temporary folders are always made";
    EXPECT_FALSE(m.Exists("Program files")) << "a drive that existed is not filled";
}

} // namespace
