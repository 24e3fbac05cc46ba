// Steps through the wizard's first pages from a scenario script, and the
// machine settings the page tests share.  Every helper acts through the
// automation API, as a user would, and records a failed check when the
// window it needs is not there.
#ifndef NOBRA_TEST_WIZARD_H
#define NOBRA_TEST_WIZARD_H

#include <automation.h>
#include <windows.h>

#include <gtest/gtest.h>

#include "machine.h"
#include "setup.h"

#include <string.h>
#include <string>
#include <vector>

namespace wizard {

inline const char kCancelQuestion[] = "Are you sure you want to cancel the setup?";
inline const char kCancelStart[] = "Setup was canceled.";
inline const char kNoSpace[] =
    "You do not have enough Free disk space on this drive for installation. Change the drive or "
    "remove some other program-s to free more disk space.";
inline const char kExists[] =
    "Directory allready exsist. Continue with the instalation ?\n\nNOTES: Click on the YES button if "
    "this is previous installation of this software, otherwise click on the NO button and select "
    "another installation directory.";

// The drives listed in this order, each letter as written, each in
// drive_<letter>; the default drive C goes unless the letters name it.
inline std::vector<MachineSetting> Drives(const std::string &letters)
{
    std::vector<MachineSetting> s = {{"drives", "C", ""}};
    for (char c : letters)
        s.push_back({"drives", std::string(1, c), std::string("drive_") + (char)tolower((unsigned char)c)});
    return s;
}

inline std::vector<MachineSetting> operator+(std::vector<MachineSetting> a, const std::vector<MachineSetting> &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Free bytes that make exactly `clusters` of the layer's 4,096-byte clusters.
inline std::string Clusters(unsigned long long clusters) { return std::to_string(clusters * 4096ull); }

// The message box on top, or null when the active window is the page itself.
inline HWND Box(HWND under)
{
    HWND box = automation::ActiveWindow();
    return box && box != under ? box : nullptr;
}

// Answers the message box on top by its button; false when there is none.
inline bool Answer(HWND under, const char *button)
{
    HWND box = Box(under);
    EXPECT_NE(box, nullptr) << "no message box to answer " << button;
    if (!box)
        return false;
    HWND b = automation::BoxButton(box, button);
    EXPECT_NE(b, nullptr) << "the box has no " << button << " button";
    if (!b)
        return false;
    automation::Click(b);
    return true;
}

// Presses "I Agree" and returns the destination page, or null.
inline HWND ToDestination()
{
    HWND licence = automation::WaitDialog("IDD_AGREEMENT");
    EXPECT_NE(licence, nullptr);
    if (!licence)
        return nullptr;
    automation::Click(automation::Control(licence, IDOK));
    HWND page = automation::WaitDialog("IDD_DIR");
    EXPECT_NE(page, nullptr);
    return page;
}

// Opens the folder browser from the destination page.
inline HWND OpenBrowser(HWND page)
{
    automation::Click(automation::Control(page, IDC_BROWSE));
    HWND browser = automation::WaitDialog("IDD_BROWSE");
    EXPECT_NE(browser, nullptr);
    return browser;
}

// The wizard's closing message after a cancelled or unfinished setup:
// checks it and answers it, which ends the program.
inline void ExpectCancelMessage()
{
    HWND box = automation::ActiveWindow();
    ASSERT_NE(box, nullptr) << "no closing message";
    auto boxes = automation::MessageBoxes();
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back().text.compare(0, strlen(kCancelStart), kCancelStart), 0) << boxes.back().text;
    EXPECT_EQ(boxes.back().caption, "Nobra - Setup");
    automation::Click(automation::BoxButton(box, "OK"));
}

// Cancels the page through its confirmation and answers the closing message.
inline void CancelSetup(HWND page)
{
    automation::Click(automation::Control(page, IDCANCEL));
    if (Answer(page, "Yes"))
        ExpectCancelMessage();
}

// Empties a single-line edit through the keyboard, as a user would.
inline void ClearEdit(HWND edit)
{
    automation::Click(edit);
    automation::Key(VK_END);
    automation::Key(VK_HOME, automation::SHIFT);
    automation::Key(VK_DELETE);
}

// Replaces an edit's text by typing.
inline void TypeInto(HWND edit, const char *text)
{
    ClearEdit(edit);
    automation::Type(text);
}

// The index of the item with that text, or -1.
inline int IndexOf(HWND list, const std::string &text)
{
    std::vector<std::string> items = automation::Items(list);
    for (size_t i = 0; i < items.size(); i++)
        if (items[i] == text)
            return (int)i;
    return -1;
}

// Double-clicks the item with that text; a failed check when it is missing.
inline void Enter(HWND list, const std::string &text)
{
    int i = IndexOf(list, text);
    EXPECT_GE(i, 0) << "no item " << text;
    if (i >= 0)
        automation::DoubleClickItem(list, i);
}

inline int CountBeeps(UINT type)
{
    int n = 0;
    for (const automation::LogEntry &e : automation::Log())
        if (e.kind == "beep" && e.type == type)
            n++;
    return n;
}

} // namespace wizard

#endif
