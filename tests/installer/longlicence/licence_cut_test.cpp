// The licence page with a licence of 7,680 characters (this program's own
// resources, tests/fixtures/installer/long_licence.rc): the page reads it
// into its 7,000-character buffer, so the edit shows the first 6,999.

#include "wizard.h"

#include "scenario.h"

namespace {

TEST(LicenceText, LongerThanTheBufferIsCutAtSixThousandNineHundredNinetyNine)
{
    TempMachine m;
    ASSERT_TRUE(m.Ready());
    auto result = RunScenario([] {
        HWND page = automation::WaitDialog("IDD_AGREEMENT");
        ASSERT_NE(page, nullptr);
        std::vector<char> buffer(20000, '\0');
        int length = LoadStringA(g_setup.instance, IDS_LICENCE, buffer.data(), (int)buffer.size());
        ASSERT_EQ(length, 7680) << "the long string 150 did not replace the real one";
        std::string whole(buffer.data(), length);

        std::string shown = automation::Text(automation::Control(page, IDC_LICENCE_TEXT));
        EXPECT_EQ(shown.size(), 6999u);
        EXPECT_EQ(shown, whole.substr(0, 6999));
        // 109 whole lines of 64 characters, then 23 of line 110.
        EXPECT_EQ(shown.substr(6976), whole.substr(6976, 23));
        EXPECT_EQ(shown.compare(6976, 4, "110 "), 0);
        // The page works as usual.
        automation::Click(automation::Control(page, IDOK));
        HWND next = automation::WaitDialog("IDD_DIR");
        ASSERT_NE(next, nullptr);
        wizard::CancelSetup(next);
    });
    EXPECT_SCENARIO_OK(result, 0);
}

} // namespace
