// The table dispatch of messages and commands.
//
// The default procedures are watched through the linker (--wrap): a call for
// the test's own window handle is recorded and answered with a value wider
// than 32 bits, so that a result squeezed through an int would show; calls
// for any other window go on to the layer.  The handle is never a real
// window, so no screen is needed.

#include "setup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

enum Call { NoCall, HandlerA, HandlerB, DefWindow, DefDialog };

struct Record {
    Call call;
    HWND window;
    UINT message; // message handlers and default procedures
    WPARAM wParam;
    LPARAM lParam;
    UINT id;      // command handlers
    UINT code;
};

std::vector<Record> calls;

HWND const TestWindow = reinterpret_cast<HWND>(static_cast<UINT_PTR>(0x5EED0));
const LRESULT ResultA = static_cast<LRESULT>(0x1122334455LL);
const LRESULT ResultB = 7;
const LRESULT DefWindowResult = static_cast<LRESULT>(0x66778899AALL);
const LRESULT DefDialogResult = static_cast<LRESULT>(-0x0BADF00D1LL);
const LPARAM SomeControl = static_cast<LPARAM>(0x7F0012345678LL);

LRESULT MessageA(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    calls.push_back({HandlerA, w, m, wp, lp, 0, 0});
    return ResultA;
}

LRESULT MessageB(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    calls.push_back({HandlerB, w, m, wp, lp, 0, 0});
    return ResultB;
}

LRESULT CommandA(HWND w, UINT id, UINT code, LPARAM lp)
{
    calls.push_back({HandlerA, w, 0, 0, lp, id, code});
    return ResultA;
}

LRESULT CommandB(HWND w, UINT id, UINT code, LPARAM lp)
{
    calls.push_back({HandlerB, w, 0, 0, lp, id, code});
    return ResultB;
}

// The third row repeats the first one's key: the first must win.
const MessageEntry messageRows[] = {
    {WM_PAINT, MessageA},
    {WM_INITDIALOG, MessageB},
    {WM_PAINT, MessageB},
};
const CommandEntry commandRows[] = {
    {105, CommandA},
    {104, CommandB},
    {105, CommandB},
    {0xFFF0, CommandA},
};

} // namespace

extern "C" LRESULT __real_DefWindowProcA(HWND, UINT, WPARAM, LPARAM);
extern "C" LRESULT __real_DefDlgProcA(HWND, UINT, WPARAM, LPARAM);

extern "C" LRESULT __wrap_DefWindowProcA(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    if (w != TestWindow)
        return __real_DefWindowProcA(w, m, wp, lp);
    calls.push_back({DefWindow, w, m, wp, lp, 0, 0});
    return DefWindowResult;
}

extern "C" LRESULT __wrap_DefDlgProcA(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    if (w != TestWindow)
        return __real_DefDlgProcA(w, m, wp, lp);
    calls.push_back({DefDialog, w, m, wp, lp, 0, 0});
    return DefDialogResult;
}

namespace {

struct DispatchCase {
    const char *name;
    bool command;      // DispatchCommand over commandRows, else DispatchMessageTable
    int count;         // the table's count
    LONG kind;         // the table's default kind
    UINT message;      // ignored for commands
    WPARAM wParam;
    LPARAM lParam;
    Call expected;
    LRESULT result;
    UINT id, code;     // what a command handler must receive
};

const int AllMessages = TABLE_ROWS(messageRows);
const int AllCommands = TABLE_ROWS(commandRows);
const WPARAM Wide = static_cast<WPARAM>(0xABCD00000000ULL);

const DispatchCase cases[] = {
    {"DialogMessageWithoutRowReturnsZero", false, AllMessages, DefaultNone, WM_CLOSE, 0, 0, NoCall, 0},
    {"MainMessageWithoutRowGoesToDefWindowProc", false, AllMessages, DefaultWindowProc,
     WM_ERASEBKGND, 0x1234, SomeControl, DefWindow, DefWindowResult},
    {"DialogKindGoesToDefDlgProc", false, AllMessages, DefaultDialogProc, WM_CLOSE, 3, SomeControl,
     DefDialog, DefDialogResult},
    {"MatchingMessageReachesHandler", false, AllMessages, DefaultWindowProc, WM_INITDIALOG, 0x99,
     SomeControl, HandlerB, ResultB},
    {"FirstMatchingMessageRowWins", false, AllMessages, DefaultNone, WM_PAINT, 0, 0, HandlerA,
     ResultA},
    {"ZeroCountHasNoMessageRows", false, 0, DefaultWindowProc, WM_PAINT, 5, 6, DefWindow,
     DefWindowResult},
    {"NegativeCountHasNoMessageRows", false, -1, DefaultNone, WM_PAINT, 0, 0, NoCall, 0},
    {"UnknownKindActsAsNone", false, AllMessages, static_cast<LONG>(3), WM_CLOSE, 0, 0, NoCall, 0},
    {"NegativeKindActsAsNone", false, AllMessages, static_cast<LONG>(-1), WM_CLOSE, 0, 0, NoCall, 0},

    {"EditUpdateReachesHandler", true, AllCommands, DefaultNone, 0, MAKEWPARAM(105, EN_UPDATE),
     SomeControl, HandlerA, ResultA, 105, EN_UPDATE},
    {"ComboSelEndOkReachesHandler", true, AllCommands, DefaultNone, 0,
     MAKEWPARAM(104, CBN_SELENDOK), SomeControl, HandlerB, ResultB, 104, CBN_SELENDOK},
    {"IdentifierAndCodeAreZeroExtended", true, AllCommands, DefaultNone, 0,
     MAKEWPARAM(0xFFF0, 0xFFFF), 0, HandlerA, ResultA, 0xFFF0, 0xFFFF},
    {"BitsAboveTheLowDwordAreNoPartOfTheCommand", true, AllCommands, DefaultNone, 0,
     Wide | MAKEWPARAM(104, 1), 0, HandlerB, ResultB, 104, 1},
    {"FirstMatchingCommandRowWins", true, AllCommands, DefaultNone, 0, MAKEWPARAM(105, 0), 0,
     HandlerA, ResultA, 105, 0},
    {"UnmatchedDialogCommandReturnsZero", true, AllCommands, DefaultNone, 0, MAKEWPARAM(1, 0),
     SomeControl, NoCall, 0},
    {"UnmatchedMainCommandGoesToDefWindowProc", true, AllCommands, DefaultWindowProc, 0,
     MAKEWPARAM(300, 9), SomeControl, DefWindow, DefWindowResult},
    {"ZeroCountHasNoCommandRows", true, 0, DefaultWindowProc, 0, MAKEWPARAM(105, 0), 0, DefWindow,
     DefWindowResult},
    {"NegativeCountHasNoCommandRows", true, -2, DefaultNone, 0, MAKEWPARAM(105, 0), 0, NoCall, 0},
    {"UnknownKindActsAsNoneForCommands", true, AllCommands, static_cast<LONG>(7), 0,
     MAKEWPARAM(1, 0), 0, NoCall, 0},
};

class DispatchTable : public ::testing::TestWithParam<DispatchCase> {
protected:
    void SetUp() override { calls.clear(); }
};

TEST_P(DispatchTable, RoutesAndReturns)
{
    const DispatchCase &c = GetParam();
    DefaultProcKind kind = static_cast<DefaultProcKind>(c.kind);
    LRESULT result;

    if (c.command) {
        const CommandTable table = {c.count, commandRows, kind};
        result = DispatchCommand(&table, TestWindow, c.wParam, c.lParam);
    } else {
        const MessageTable table = {c.count, messageRows, kind};
        result = DispatchMessageTable(&table, TestWindow, c.message, c.wParam, c.lParam);
    }

    EXPECT_EQ(result, c.result);
    if (c.expected == NoCall) {
        EXPECT_TRUE(calls.empty());
        return;
    }
    ASSERT_EQ(calls.size(), 1u);
    const Record &r = calls[0];
    EXPECT_EQ(r.call, c.expected);
    EXPECT_EQ(r.window, TestWindow);
    EXPECT_EQ(r.lParam, c.lParam);
    if (c.command && (c.expected == HandlerA || c.expected == HandlerB)) {
        EXPECT_EQ(r.id, c.id);
        EXPECT_EQ(r.code, c.code);
    } else {
        // Message handlers and default procedures see the message unchanged.
        EXPECT_EQ(r.message, c.command ? static_cast<UINT>(WM_COMMAND) : c.message);
        EXPECT_EQ(r.wParam, c.wParam);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, DispatchTable, ::testing::ValuesIn(cases),
                         [](const ::testing::TestParamInfo<DispatchCase> &info) {
                             return std::string(info.param.name);
                         });

} // namespace
