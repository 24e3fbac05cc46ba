// Starting the layer in a process, as the program's entry does.  These link
// the whole layer (the screen, the automation log), so they live apart from
// the kernel's own tests.
#include "machine.h"

#include "layer.h"

#include <platform.h>

#include <gtest/gtest.h>

#include <string.h>

namespace {

struct Seen {
    int calls = 0;
    HINSTANCE instance = nullptr, previous = nullptr;
    std::string commandLine;
    bool writable = false;
    int show = -1;
} seen;

TEST(Start, BrokenMachineEndsWithExitCode2)
{
    TempMachine m(TempMachine::NoInit);
    m.WriteIni("[drives]\nC=\n");
    testing::internal::CaptureStderr();
    EXPECT_EQ(2, PlatformStart());
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(std::string::npos, err.find("machine")) << err;
}

TEST(Start, BrokenScreenEndsWithExitCode2)
{
    TempMachine m(TempMachine::NoInit);
    m.SetEnv("DISPLAY", ":98765");
    m.WriteIni("[drives]\nC=drive_c\n[screen]\nbackend=x11\n");
    testing::internal::CaptureStderr();
    EXPECT_EQ(2, PlatformStart());
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(std::string::npos, err.find("screen")) << err;
}

TEST(Start, RunsWinMainWithTheInstance)
{
    TempMachine m(TempMachine::NoInit);
    m.WriteIni("[drives]\nC=drive_c\n[screen]\nbackend=headless\nwidth=64\nheight=48\n");
    ASSERT_EQ(0, PlatformStart());
    EXPECT_EQ(64, layer::GetScreen().width);
    EXPECT_EQ(7, PlatformRunWinMain());
    EXPECT_EQ(1, seen.calls);
    EXPECT_EQ(PlatformInstance(), seen.instance);
    EXPECT_EQ(GetModuleHandleA(nullptr), seen.instance);
    EXPECT_EQ(nullptr, seen.previous);
    EXPECT_EQ("", seen.commandLine);
    EXPECT_TRUE(seen.writable);
    EXPECT_EQ(SW_SHOWDEFAULT, seen.show);
}

} // namespace

extern "C" int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show)
{
    seen.calls++;
    seen.instance = instance;
    seen.previous = previous;
    seen.commandLine = commandLine ? commandLine : "(null)";
    if (commandLine) {
        commandLine[0] = 0;  // writing the terminator back must be allowed
        seen.writable = true;
    }
    seen.show = show;
    return 7;
}
