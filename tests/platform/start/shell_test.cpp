// ShellExecuteA opening folders of the machine.
#include "machine.h"

#include "layer.h"

#include <automation.h>
#include <gtest/gtest.h>

namespace {

// Stands in for a screen that shows folders to a person.
class RecordingBackend : public layer::ScreenBackend {
public:
    void Present(const RECT &) override {}
    bool Pump(int) override { return false; }
    bool OpenFolder(const std::string &host) override
    {
        opened.push_back(host);
        return true;
    }
    const char *Name() const override { return "recording"; }
    std::vector<std::string> opened;
};

TEST(ShellExecute, OpensFoldersAndLogsEveryCall)
{
    TempMachine m;
    ASSERT_TRUE(m.Ready());
    m.MakeDir("Program files/Nobra");
    m.WriteFile("Program files/Nobra/readme.txt", "x");
    RecordingBackend backend;
    layer::ScreenBackend *saved = layer::GetScreen().backend;
    layer::GetScreen().backend = &backend;

    struct Case {
        const char *verb, *file, *directory;
        INT_PTR result;    // above 32: opened
        const char *host;  // below drive_c, when opened
    };
    const Case cases[] = {
        {"open", "C:\\Program files\\Nobra", nullptr, 42, "Program files/Nobra"},
        {nullptr, "c:\\PROGRAM FILES\\nobra\\", nullptr, 42, "Program files/Nobra"},
        {"explore", "Nobra", "C:\\Program files", 42, "Program files/Nobra"},
        {"Open", "C:\\Program files\\Missing", nullptr, SE_ERR_FNF, nullptr},
        {"open", "C:\\Missing\\Deeper", nullptr, SE_ERR_PNF, nullptr},
        {"open", "Q:\\", nullptr, SE_ERR_PNF, nullptr},
        {"open", "", nullptr, SE_ERR_FNF, nullptr},
        {"open", nullptr, nullptr, SE_ERR_FNF, nullptr},
        {"open", "C:\\Program files\\Nobra\\readme.txt", nullptr, SE_ERR_NOASSOC, nullptr},
        {"print", "C:\\Program files\\Nobra", nullptr, SE_ERR_NOASSOC, nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file ? c.file : "(null)");
        size_t logged = automation::Log().size();
        size_t shown = backend.opened.size();
        HINSTANCE r = ShellExecuteA(nullptr, c.verb, c.file, nullptr, c.directory, SW_SHOWNORMAL);
        EXPECT_EQ(c.result, (INT_PTR)r);
        std::vector<automation::LogEntry> log = automation::Log();
        ASSERT_EQ(logged + 1, log.size());
        const automation::LogEntry &e = log.back();
        EXPECT_EQ("shell", e.kind);
        EXPECT_EQ(c.verb ? c.verb : "", e.caption);
        EXPECT_EQ(c.file ? c.file : "", e.text);
        EXPECT_EQ(c.result, e.answer);
        if (c.host) {
            EXPECT_EQ(m.HostPath(c.host), e.hostPath);
            ASSERT_EQ(shown + 1, backend.opened.size());
            EXPECT_EQ(m.HostPath(c.host), backend.opened.back());
        } else {
            EXPECT_EQ("", e.hostPath);
            EXPECT_EQ(shown, backend.opened.size());
        }
    }
    layer::GetScreen().backend = saved;
}

} // namespace
