// Searching folders, making and removing folders and files, and the C
// runtime's path calls through the machine's translation.
#include "machine.h"

#include "layer.h"

#include <hostio.h>
#undef fopen
#undef gzopen

#include <gtest/gtest.h>

#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class Files : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m.Ready());
        m.WriteFile("Data/readme.txt", "12345");
        m.WriteFile("Data/Setup.EXE", "MZ");
        m.WriteFile("Data/noext", "");
        m.WriteFile("Data/a.b.c", "");
        m.MakeDir("Data/Sub");
        m.WriteFile("Data/locked.txt", "");
        chmod(m.HostPath("Data/locked.txt").c_str(), 0444);
        std::string outside = m.Root() + "/outside";
        mkdir(outside.c_str(), 0777);
        symlink(outside.c_str(), m.HostPath("Data/away").c_str());
    }

    std::vector<std::string> Names(const char *pattern, DWORD *error = nullptr)
    {
        std::vector<std::string> names;
        WIN32_FIND_DATAA fd;
        SetLastError(0);
        HANDLE h = FindFirstFileA(pattern, &fd);
        if (h == INVALID_HANDLE_VALUE) {
            if (error)
                *error = GetLastError();
            return names;
        }
        do
            names.push_back(fd.cFileName);
        while (FindNextFileA(h, &fd));
        EXPECT_EQ((DWORD)ERROR_NO_MORE_FILES, GetLastError());
        EXPECT_TRUE(FindClose(h));
        if (error)
            *error = 0;
        return names;
    }

    TempMachine m;
};

using Names_ = std::vector<std::string>;

TEST_F(Files, FindPatterns)
{
    struct Case {
        const char *pattern;
        Names_ names;
        DWORD error;
    };
    const Case cases[] = {
        {"C:\\Data\\*.*", {".", "..", "a.b.c", "locked.txt", "noext", "readme.txt", "Setup.EXE", "Sub"}, 0},
        {"C:\\Data\\*", {".", "..", "a.b.c", "locked.txt", "noext", "readme.txt", "Setup.EXE", "Sub"}, 0},
        {"c:/data/*.TXT", {"locked.txt", "readme.txt"}, 0},
        {"C:\\Data\\*.exe", {"Setup.EXE"}, 0},
        {"C:\\Data\\??????.txt", {"locked.txt", "readme.txt"}, 0},
        {"C:\\Data\\?????.txt", {}, ERROR_FILE_NOT_FOUND},
        {"C:\\Data\\?.?.?", {"a.b.c"}, 0},
        {"C:\\Data\\s*", {"Setup.EXE", "Sub"}, 0},
        {"C:\\Data\\*.c", {"a.b.c"}, 0},
        {"C:\\Data\\noext.*", {"noext"}, 0},
        {"C:\\Data\\*.", {".", "..", "noext", "Sub"}, 0},
        {"C:\\Data\\README.TXT", {"readme.txt"}, 0},
        {"C:\\Data\\Sub", {"Sub"}, 0},
        {"C:\\Data\\Sub\\.", {"Sub"}, 0},
        {"C:\\Data\\Sub\\*", {".", ".."}, 0},
        {"C:\\*", {"Data", "Program files", "ProgramData", "Users", "WINDOWS"}, 0},
        {"C:\\Data\\*.zip", {}, ERROR_FILE_NOT_FOUND},
        {"C:\\Data\\missing", {}, ERROR_FILE_NOT_FOUND},
        {"C:\\Nowhere\\*", {}, ERROR_PATH_NOT_FOUND},
        {"C:\\Data\\readme.txt\\*", {}, ERROR_PATH_NOT_FOUND},
        {"C:\\Data\\", {}, ERROR_FILE_NOT_FOUND},
        {"C:\\Data\\a|b", {}, ERROR_INVALID_NAME},
        {"Q:\\*", {}, ERROR_PATH_NOT_FOUND},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pattern);
        DWORD error = 0;
        EXPECT_EQ(c.names, Names(c.pattern, &error));
        EXPECT_EQ(c.error, error);
    }
}

TEST_F(Files, FindRelativeToTheCurrentDirectory)
{
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\Data"));
    EXPECT_EQ(Names_({"locked.txt", "readme.txt"}), Names("*.txt"));
    EXPECT_EQ(Names_({"locked.txt", "readme.txt"}), Names("C:*.txt"));
    EXPECT_EQ(Names_({".", ".."}), Names("Sub\\*"));
}

TEST_F(Files, FindReportsAttributesSizesAndTimes)
{
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA("C:\\Data\\readme.txt", &fd);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_EQ((DWORD)FILE_ATTRIBUTE_NORMAL, fd.dwFileAttributes);
    EXPECT_EQ(5u, fd.nFileSizeLow);
    EXPECT_EQ(0u, fd.nFileSizeHigh);
    struct stat st;
    ASSERT_EQ(0, stat(m.HostPath("Data/readme.txt").c_str(), &st));
    uint64_t t = ((uint64_t)fd.ftLastWriteTime.dwHighDateTime << 32) | fd.ftLastWriteTime.dwLowDateTime;
    EXPECT_EQ((uint64_t)st.st_mtime, t / 10000000 - 11644473600ull);
    FindClose(h);

    h = FindFirstFileA("C:\\Data\\locked.txt", &fd);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_EQ((DWORD)FILE_ATTRIBUTE_READONLY, fd.dwFileAttributes);
    FindClose(h);

    h = FindFirstFileA("C:\\Data\\Sub", &fd);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_EQ((DWORD)FILE_ATTRIBUTE_DIRECTORY, fd.dwFileAttributes);
    EXPECT_EQ(0u, fd.nFileSizeLow);
    FindClose(h);

    EXPECT_EQ((DWORD)FILE_ATTRIBUTE_DIRECTORY, GetFileAttributesA("C:\\"));
    EXPECT_EQ((DWORD)FILE_ATTRIBUTE_NORMAL, GetFileAttributesA("c:\\data\\SETUP.exe"));
    SetLastError(0);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\Data\\gone.txt"));
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, GetLastError());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\Gone\\gone.txt"));
    EXPECT_EQ((DWORD)ERROR_PATH_NOT_FOUND, GetLastError());
}

TEST_F(Files, FindHandlesAreChecked)
{
    WIN32_FIND_DATAA fd;
    int local;
    SetLastError(0);
    EXPECT_FALSE(FindNextFileA((HANDLE)&local, &fd));
    EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, GetLastError());
    EXPECT_FALSE(FindClose(INVALID_HANDLE_VALUE));
    HANDLE h = FindFirstFileA("C:\\Data\\*", &fd);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_TRUE(FindClose(h));
    EXPECT_FALSE(FindClose(h)) << "a closed search cannot be closed again";
    EXPECT_FALSE(FindNextFileA(h, &fd));
}

TEST_F(Files, CreateDirectoryErrors)
{
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, FALSE};
    struct Case {
        const char *path;
        BOOL ok;
        DWORD error;
    };
    const Case cases[] = {
        {"C:\\Data\\New", TRUE, 0},
        {"C:\\Data\\New", FALSE, ERROR_ALREADY_EXISTS},
        {"C:\\data\\NEW", FALSE, ERROR_ALREADY_EXISTS},
        {"C:\\Data\\readme.txt", FALSE, ERROR_ALREADY_EXISTS},
        {"C:\\Missing\\New", FALSE, ERROR_PATH_NOT_FOUND},
        {"C:\\Data\\readme.txt\\New", FALSE, ERROR_PATH_NOT_FOUND},
        {"C:\\", FALSE, ERROR_ALREADY_EXISTS},
        {"C:\\Data\\bad*name", FALSE, ERROR_INVALID_NAME},
        {"C:\\Data\\away\\New", FALSE, ERROR_ACCESS_DENIED},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path);
        SetLastError(0);
        EXPECT_EQ(c.ok, CreateDirectoryA(c.path, c.ok ? nullptr : &sa));
        if (!c.ok) {
            EXPECT_EQ(c.error, GetLastError());
        }
    }
    EXPECT_TRUE(m.IsDir("Data/New"));
    EXPECT_FALSE(m.Exists("../outside/New"));
}

TEST_F(Files, RemoveAndDelete)
{
    struct Case {
        const char *what;
        BOOL (*call)(LPCSTR);
        const char *path;
        BOOL ok;
        DWORD error;
    };
    auto rd = [](LPCSTR p) { return RemoveDirectoryA(p); };
    auto del = [](LPCSTR p) { return DeleteFileA(p); };
    ASSERT_TRUE(CreateDirectoryA("C:\\Data\\Empty", nullptr));
    ASSERT_TRUE(CreateDirectoryA("C:\\Data\\Here", nullptr));
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\Data\\Here"));
    const Case cases[] = {
        {"rd", rd, "C:\\Data\\EMPTY", TRUE, 0},
        {"rd", rd, "C:\\Data\\Empty", FALSE, ERROR_FILE_NOT_FOUND},
        {"rd", rd, "C:\\Data", FALSE, ERROR_DIR_NOT_EMPTY},
        {"rd", rd, "C:\\Data\\readme.txt", FALSE, ERROR_DIRECTORY},
        {"rd", rd, "C:\\Data\\Here", FALSE, ERROR_SHARING_VIOLATION},
        {"rd", rd, "C:\\", FALSE, ERROR_ACCESS_DENIED},
        {"del", del, "C:\\Data\\README.TXT", TRUE, 0},
        {"del", del, "C:\\Data\\readme.txt", FALSE, ERROR_FILE_NOT_FOUND},
        {"del", del, "C:\\Nowhere\\readme.txt", FALSE, ERROR_PATH_NOT_FOUND},
        {"del", del, "C:\\Data\\locked.txt", FALSE, ERROR_ACCESS_DENIED},
        {"del", del, "C:\\Data\\Sub", FALSE, ERROR_ACCESS_DENIED},
        {"del", del, "C:\\Data\\away\\x", FALSE, ERROR_ACCESS_DENIED},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.what) + " " + c.path);
        SetLastError(0);
        EXPECT_EQ(c.ok, c.call(c.path));
        if (!c.ok) {
            EXPECT_EQ(c.error, GetLastError());
        }
    }
    EXPECT_FALSE(m.Exists("Data/readme.txt"));
    EXPECT_TRUE(m.Exists("Data/locked.txt"));
    EXPECT_TRUE(m.IsDir("Data/Sub"));
}

TEST_F(Files, CRuntimeCallsGoThroughTheMachine)
{
    FILE *f = layer_fopen("c:\\DATA\\new file.txt", "wb");
    ASSERT_NE(nullptr, f);
    fputs("written", f);
    fclose(f);
    EXPECT_EQ("written", m.ReadFile("Data/new file.txt"));

    f = layer_fopen("C:/data/README.txt", "rb");
    ASSERT_NE(nullptr, f);
    char buf[8] = {};
    EXPECT_EQ(5u, fread(buf, 1, sizeof buf, f));
    EXPECT_STREQ("12345", buf);
    fclose(f);

    for (const char *path : {"C:\\Data\\away\\secret", "Z:\\x", "\\\\server\\share\\x", "C:\\a<b"}) {
        SCOPED_TRACE(path);
        errno = 0;
        EXPECT_EQ(nullptr, layer_fopen(path, "wb"));
        EXPECT_EQ(ENOENT, errno);
    }
    EXPECT_FALSE(m.Exists("../outside/secret"));

    gzFile gz = layer_gzopen("C:\\Data\\packed.gz", "wb");
    ASSERT_NE(nullptr, gz);
    gzputs(gz, "squeezed");
    gzclose(gz);
    gz = layer_gzopen("c:\\data\\PACKED.GZ", "rb");
    ASSERT_NE(nullptr, gz);
    char text[16] = {};
    EXPECT_EQ(8, gzread(gz, text, sizeof text));
    EXPECT_STREQ("squeezed", text);
    gzclose(gz);
    errno = 0;
    EXPECT_EQ(nullptr, layer_gzopen("C:\\Data\\away\\x.gz", "wb"));
    EXPECT_EQ(ENOENT, errno);
}

} // namespace
