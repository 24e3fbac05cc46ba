// Path translation and the calls that report the machine's directories and drives.
#include "machine.h"

#include "layer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

class Paths : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m.Ready());
        m.MakeDir("Data/Sub");
        m.WriteFile("Data/Readme.TXT", "x");
        m.MakeDir("Caf\xc3\xa9");
        outside = m.Root() + "/outside";
        mkdir(outside.c_str(), 0777);
        ASSERT_EQ(0, symlink(outside.c_str(), m.HostPath("Escape").c_str()));
        ASSERT_EQ(0, symlink(m.HostPath("Data").c_str(), m.HostPath("Inside").c_str()));
        ASSERT_TRUE(SetCurrentDirectoryA("C:\\WINDOWS"));
    }
    TempMachine m;
    std::string outside;
};

TEST_F(Paths, TranslatesOrRefuses)
{
    struct Case {
        const char *win;
        const char *host;  // below drive_c, or null when it must fail
        const char *full;  // the normal Windows form, when it succeeds
        DWORD error;
    };
    const std::string longName(300, 'a');
    const std::string tooLong = "C:\\" + longName;
    const Case cases[] = {
        {"C:\\WINDOWS\\TEMP", "WINDOWS/TEMP", "C:\\WINDOWS\\TEMP", 0},
        {"c:/windows/temp", "WINDOWS/TEMP", "C:\\windows\\temp", 0},
        {"C:\\WINDOWS/TEMP\\", "WINDOWS/TEMP", "C:\\WINDOWS\\TEMP", 0},
        {"C:\\program FILES\\New Folder", "Program files/New Folder", "C:\\program FILES\\New Folder", 0},
        {"C:\\..\\..\\WINDOWS", "WINDOWS", "C:\\WINDOWS", 0},
        {"C:\\WINDOWS\\..\\..\\Data\\.\\readme.txt", "Data/Readme.TXT", "C:\\Data\\readme.txt", 0},
        {"C:\\", "", "C:\\", 0},
        {"TEMP", "WINDOWS/TEMP", "C:\\WINDOWS\\TEMP", 0},
        {"..\\Data\\SUB", "Data/Sub", "C:\\Data\\SUB", 0},
        {"..\\..\\..", "", "C:\\", 0},
        {"\\Data", "Data", "C:\\Data", 0},
        {"C:TEMP", "WINDOWS/TEMP", "C:\\WINDOWS\\TEMP", 0},
        {"C:", "WINDOWS", "C:\\WINDOWS", 0},
        {"C:\\CAF\xc9", "Caf\xc3\xa9", "C:\\CAF\xc9", 0},
        {"C:\\Inside\\new.txt", "Inside/new.txt", "C:\\Inside\\new.txt", 0},
        {"D:\\x", nullptr, nullptr, ERROR_PATH_NOT_FOUND},
        {"D:x", nullptr, nullptr, ERROR_PATH_NOT_FOUND},
        {"\\\\server\\share\\x", nullptr, nullptr, ERROR_PATH_NOT_FOUND},
        {"//server/share", nullptr, nullptr, ERROR_PATH_NOT_FOUND},
        {"\\\\?\\C:\\WINDOWS", nullptr, nullptr, ERROR_PATH_NOT_FOUND},
        {"", nullptr, nullptr, ERROR_PATH_NOT_FOUND},
        {"C:\\a<b", nullptr, nullptr, ERROR_INVALID_NAME},
        {"C:\\a|b", nullptr, nullptr, ERROR_INVALID_NAME},
        {"C:\\a\"b", nullptr, nullptr, ERROR_INVALID_NAME},
        {"C:\\a:b", nullptr, nullptr, ERROR_INVALID_NAME},
        {"C:\\dir\\*.txt", nullptr, nullptr, ERROR_INVALID_NAME},
        {"C:\\a\x01z", nullptr, nullptr, ERROR_INVALID_NAME},
        {"C:\\bad?\\..\\ok", nullptr, nullptr, ERROR_INVALID_NAME},
        {"C:\\Escape", nullptr, nullptr, ERROR_ACCESS_DENIED},
        {"C:\\Escape\\passwd", nullptr, nullptr, ERROR_ACCESS_DENIED},
        {"C:\\escape\\new\\deeper", nullptr, nullptr, ERROR_ACCESS_DENIED},
        {tooLong.c_str(), nullptr, nullptr, ERROR_FILENAME_EXCED_RANGE},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.win);
        std::string host, full;
        SetLastError(0);
        bool ok = layer::TranslatePath(c.win, host, &full);
        if (c.host) {
            ASSERT_TRUE(ok) << "error " << GetLastError();
            EXPECT_EQ(m.HostPath(c.host), host);
            EXPECT_EQ(c.full, full);
        } else {
            EXPECT_FALSE(ok) << host;
            EXPECT_EQ(c.error, GetLastError());
        }
    }
}

TEST_F(Paths, NullPathFails)
{
    std::string host;
    EXPECT_FALSE(layer::TranslatePath(nullptr, host));
}

TEST_F(Paths, CurrentDirectory)
{
    char buf[MAX_PATH];
    EXPECT_EQ(10u, GetCurrentDirectoryA(sizeof buf, buf));
    EXPECT_STREQ("C:\\WINDOWS", buf);

    EXPECT_TRUE(SetCurrentDirectoryA("..\\data\\sub"));
    EXPECT_EQ(std::string("C:\\data\\sub"), layer::GetMachine().currentDir);

    struct Case {
        const char *path;
        DWORD error;
    };
    const Case failures[] = {
        {"C:\\Nowhere", ERROR_FILE_NOT_FOUND},
        {"C:\\Nowhere\\Deeper", ERROR_PATH_NOT_FOUND},
        {"C:\\Data\\Readme.txt", ERROR_DIRECTORY},
        {"Q:\\", ERROR_PATH_NOT_FOUND},
    };
    for (const Case &c : failures) {
        SCOPED_TRACE(c.path);
        SetLastError(0);
        EXPECT_FALSE(SetCurrentDirectoryA(c.path));
        EXPECT_EQ(c.error, GetLastError());
    }
    EXPECT_EQ(std::string("C:\\data\\sub"), layer::GetMachine().currentDir) << "a failed change keeps the old one";
}

// The directory calls share one buffer rule: the length without the
// terminator when it fits, else the size needed with it, and nothing written.
TEST_F(Paths, DirectoryCallsReportTheSizeTheyNeed)
{
    struct Call {
        const char *name;
        DWORD (*call)(DWORD, LPSTR);
        const char *expected;
    };
    const Call calls[] = {
        {"GetCurrentDirectoryA", [](DWORD n, LPSTR b) { return GetCurrentDirectoryA(n, b); }, "C:\\WINDOWS"},
        {"GetWindowsDirectoryA", [](DWORD n, LPSTR b) { return (DWORD)GetWindowsDirectoryA(b, n); }, "C:\\WINDOWS"},
        {"GetTempPathA", [](DWORD n, LPSTR b) { return GetTempPathA(n, b); }, "C:\\WINDOWS\\TEMP\\"},
    };
    for (const Call &c : calls) {
        SCOPED_TRACE(c.name);
        DWORD len = (DWORD)strlen(c.expected);
        char buf[64];
        memset(buf, '#', sizeof buf);
        EXPECT_EQ(len + 1, c.call(0, nullptr));
        EXPECT_EQ(len + 1, c.call(len, buf)) << "no room for the terminator";
        EXPECT_EQ('#', buf[0]);
        EXPECT_EQ(len, c.call(len + 1, buf));
        EXPECT_STREQ(c.expected, buf);
    }
}

TEST(DriveStrings, TooSmallBuffersGetTheSizeNeeded)
{
    TempMachine m({{"drives", "d", "second"}});
    ASSERT_TRUE(m.Ready());
    const char expected[] = "C:\\\0d:\\\0";  // plus the final terminator
    char buf[32];
    for (DWORD size : {0u, 1u, 4u, 8u}) {
        SCOPED_TRACE(size);
        memset(buf, '#', sizeof buf);
        EXPECT_EQ(9u, GetLogicalDriveStringsA(size, size ? buf : nullptr));
        EXPECT_EQ('#', buf[0]) << "nothing is written to a buffer that is too small";
    }
    memset(buf, '#', sizeof buf);
    EXPECT_EQ(8u, GetLogicalDriveStringsA(9, buf));
    EXPECT_EQ(0, memcmp(buf, expected, 9));
}

TEST(DiskFree, FigureFromMachineIni)
{
    // Whole 4,096-byte clusters where the figure allows, smaller ones where it
    // does not, so that the figure comes back exact; beyond what the counts
    // hold, clamped.
    struct Case {
        const char *figure;
        DWORD sectorsPerCluster, bytesPerSector, freeClusters;
    };
    const Case cases[] = {
        {"0", 8, 512, 0},
        {"409600", 8, 512, 100},
        {"1536", 1, 512, 3},
        {"4095", 1, 1, 4095},
        {"5000000", 1, 1, 5000000},
        {"123456789", 1, 1, 123456789},
        {"99999999999999999", 8, 512, 0xFFFFFFFFu},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.figure);
        TempMachine m({{"free", "C", c.figure}});
        ASSERT_TRUE(m.Ready());
        DWORD spc = 0, bps = 0, freeC = 1, total = 0;
        ASSERT_TRUE(GetDiskFreeSpaceA("C:\\", &spc, &bps, &freeC, &total));
        EXPECT_EQ(c.sectorsPerCluster, spc);
        EXPECT_EQ(c.bytesPerSector, bps);
        EXPECT_EQ(c.freeClusters, freeC);
        EXPECT_GE(total, freeC);
    }
}

TEST(DiskFree, FromTheHostFileSystem)
{
    TempMachine m;
    ASSERT_TRUE(m.Ready());
    struct statvfs vfs;
    ASSERT_EQ(0, statvfs(m.HostPath().c_str(), &vfs));
    uint64_t unit = vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize;
    uint64_t expectFree = (uint64_t)vfs.f_bavail * unit / 4096;
    uint64_t expectTotal = (uint64_t)vfs.f_blocks * unit / 4096;
    DWORD spc, bps, freeC, total;
    ASSERT_TRUE(GetDiskFreeSpaceA(nullptr, &spc, &bps, &freeC, &total));
    EXPECT_EQ(std::min<uint64_t>(expectTotal, 0xFFFFFFFFu), total);
    // Other processes write to the same disk: allow a little movement.
    EXPECT_NEAR((double)std::min<uint64_t>(expectFree, 0xFFFFFFFFu), (double)freeC, 4096.0);

    SetLastError(0);
    EXPECT_FALSE(GetDiskFreeSpaceA("E:\\", &spc, &bps, &freeC, &total));
    EXPECT_EQ((DWORD)ERROR_PATH_NOT_FOUND, GetLastError());
}

TEST(DiskFree, FailsWhenTheDriveFolderHasGone)
{
    TempMachine m({{"drives", "E", "drive_e"}});
    ASSERT_TRUE(m.Ready());
    ASSERT_EQ(0, rmdir(m.HostPath("", 'E').c_str()));
    DWORD spc, bps, freeC, total;
    EXPECT_FALSE(GetDiskFreeSpaceA("E:\\", &spc, &bps, &freeC, &total));
    EXPECT_NE((DWORD)NO_ERROR, GetLastError());
}

} // namespace
