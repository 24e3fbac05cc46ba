// The licence page end to end: its two ways out, the cancel confirmation,
// the text it shows and the picture it paints.

#include "wizard.h"

#include "scenario.h"

#include <algorithm>

namespace {

enum Trigger { EscKey, CancelButton, AgreeButton, EnterKey };

void Press(HWND page, Trigger how)
{
    switch (how) {
    case EscKey:
        automation::Key(VK_ESCAPE);
        break;
    case CancelButton:
        automation::Click(automation::Control(page, IDCANCEL));
        break;
    case AgreeButton:
        automation::Click(automation::Control(page, IDOK));
        break;
    case EnterKey:
        automation::Key(VK_RETURN);
        break;
    }
}

struct CancelCase {
    const char *name;
    Trigger how;
    int focusAfterNo; // a clicked button takes the focus; a key leaves it where it was
};

void PrintTo(const CancelCase &c, std::ostream *os) { *os << c.name; }

class LicenceCancel : public ::testing::TestWithParam<CancelCase> {};

// No leaves the page as it was; asked again, Yes ends it with 1, and the
// wizard closes with its cancel message.
TEST_P(LicenceCancel, AsksAndOnlyYesEndsThePage)
{
    TempMachine m;
    ASSERT_TRUE(m.Ready());
    const CancelCase c = GetParam();
    auto result = RunScenario([c] {
        HWND page = automation::WaitDialog("IDD_AGREEMENT");
        ASSERT_NE(page, nullptr);
        HWND text = automation::Control(page, IDC_LICENCE_TEXT);
        std::string before = automation::Text(text);
        EXPECT_EQ(automation::Focus(), automation::Control(page, IDOK));

        Press(page, c.how);
        auto boxes = automation::MessageBoxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, wizard::kCancelQuestion);
        EXPECT_EQ(boxes[0].caption, "Nobra - Setup");
        EXPECT_EQ(boxes[0].type, (UINT)(MB_ICONQUESTION | MB_YESNO));
        ASSERT_TRUE(wizard::Answer(page, "No"));
        automation::Settle();
        EXPECT_EQ(automation::MessageBoxes()[0].answer, IDNO);
        EXPECT_EQ(automation::FindDialog("IDD_AGREEMENT"), page);
        EXPECT_EQ(automation::ActiveWindow(), page);
        EXPECT_EQ(automation::Focus(), automation::Control(page, c.focusAfterNo));
        EXPECT_EQ(automation::Text(text), before);
        EXPECT_EQ(automation::FindDialog("IDD_DIR"), nullptr);

        Press(page, c.how);
        ASSERT_TRUE(wizard::Answer(page, "Yes"));
        boxes = automation::MessageBoxes();
        ASSERT_EQ(boxes.size(), 3u);
        EXPECT_EQ(boxes[1].text, wizard::kCancelQuestion);
        EXPECT_EQ(boxes[1].answer, IDYES);
        EXPECT_EQ(automation::FindDialog("IDD_AGREEMENT"), nullptr);
        EXPECT_EQ(automation::FindDialog("IDD_DIR"), nullptr);
        wizard::ExpectCancelMessage();
    });
    EXPECT_SCENARIO_OK(result, 0);
}

INSTANTIATE_TEST_SUITE_P(Ways, LicenceCancel,
                         ::testing::Values(CancelCase{"Esc", EscKey, IDOK},
                                           CancelCase{"CancelButton", CancelButton, IDCANCEL}),
                         [](const ::testing::TestParamInfo<CancelCase> &info) { return info.param.name; });

class LicenceAgree : public ::testing::TestWithParam<Trigger> {};

// "I Agree" ends the page with 0 at once: no question, and the destination page follows.
TEST_P(LicenceAgree, EndsThePageAndTheDestinationPageFollows)
{
    TempMachine m;
    ASSERT_TRUE(m.Ready());
    const Trigger how = GetParam();
    auto result = RunScenario([how] {
        HWND page = automation::WaitDialog("IDD_AGREEMENT");
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(automation::DefaultButton(page), IDOK);
        Press(page, how);
        EXPECT_TRUE(automation::MessageBoxes().empty());
        EXPECT_EQ(automation::FindDialog("IDD_AGREEMENT"), nullptr);
        HWND next = automation::FindDialog("IDD_DIR");
        ASSERT_NE(next, nullptr);
        EXPECT_EQ(automation::ActiveWindow(), next);
        wizard::CancelSetup(next);
    });
    EXPECT_SCENARIO_OK(result, 0);
}

INSTANTIATE_TEST_SUITE_P(Ways, LicenceAgree, ::testing::Values(AgreeButton, EnterKey),
                         [](const ::testing::TestParamInfo<Trigger> &info) {
                             return info.param == AgreeButton ? std::string("Mouse") : std::string("Enter");
                         });

// The edit shows string 150 whole: the real text is shorter than the page's
// 7,000-character buffer, so nothing of its end is lost.
TEST(LicenceText, IsStringOneFiftyToItsLastLine)
{
    TempMachine m;
    ASSERT_TRUE(m.Ready());
    auto result = RunScenario([] {
        HWND page = automation::WaitDialog("IDD_AGREEMENT");
        ASSERT_NE(page, nullptr);
        std::vector<char> buffer(20000, '\0');
        int length = LoadStringA(g_setup.instance, IDS_LICENCE, buffer.data(), (int)buffer.size());
        ASSERT_GT(length, 0);
        ASSERT_LT(length, 6999);
        std::string resource(buffer.data(), length);
        std::string shown = automation::Text(automation::Control(page, IDC_LICENCE_TEXT));
        EXPECT_EQ(shown, resource);
        EXPECT_EQ(shown.compare(0, 23, "NOBRA LICENCE AGREEMENT"), 0);
        const std::string last = "\r\n\r\nThank you for choosing Nobra.\r\n";
        ASSERT_GE(shown.size(), last.size());
        EXPECT_EQ(shown.substr(shown.size() - last.size()), last);
        // The one character beyond ASCII arrives as its Windows-1252 code.
        EXPECT_NE(shown.find("Copyright \xA9 2024"), std::string::npos);
        // The text's form: 4,000 characters in 18 paragraphs, broken by CR-LF only (no bare CR
        // or LF, which the edit would not break at), no line longer than 499 characters.
        EXPECT_EQ(shown.size(), 4000u);
        size_t breaks = 0, paragraphs = 0, longest = 0, beyondAscii = 0, start = 0;
        for (size_t i = 0; i < shown.size(); i++) {
            unsigned char c = (unsigned char)shown[i];
            beyondAscii += c >= 0x80;
            if (c == '\n')
                EXPECT_TRUE(i > 0 && shown[i - 1] == '\r') << "bare LF at " << i;
            if (c == '\r')
                EXPECT_TRUE(i + 1 < shown.size() && shown[i + 1] == '\n') << "bare CR at " << i;
            if (c != '\r')
                continue;
            breaks++;
            longest = std::max(longest, i - start);
            paragraphs += i > start && (i + 2 >= shown.size() || shown[i + 2] == '\r');
            start = i + 2;
        }
        EXPECT_EQ(breaks, 43u);
        EXPECT_EQ(paragraphs, 18u);
        EXPECT_EQ(longest, 499u);
        EXPECT_EQ(beyondAscii, 1u);
        wizard::CancelSetup(page);
    });
    EXPECT_SCENARIO_OK(result, 0);
}

// A pixel of IDB_PELMAR, read from the resource itself: a packed DIB of 8
// bits per pixel, rows bottom-up.
uint32_t PicturePixel(const BYTE *dib, int x, int y)
{
    const BITMAPINFOHEADER *h = (const BITMAPINFOHEADER *)dib;
    const RGBQUAD *colours = (const RGBQUAD *)(dib + h->biSize);
    int used = h->biClrUsed ? (int)h->biClrUsed : 256;
    const BYTE *bits = (const BYTE *)(colours + used);
    int stride = (h->biWidth + 3) & ~3;
    const RGBQUAD &c = colours[bits[(size_t)(h->biHeight - 1 - y) * stride + x]];
    return (uint32_t)c.rgbRed << 16 | (uint32_t)c.rgbGreen << 8 | c.rgbBlue;
}

// At base units of 6 by 13 pixels the page is 555 by 384, one column
// narrower than the 556 by 384 picture: the picture fills the page from its
// client origin, unscaled, and its last column is cut off at the page's edge
// rather than drawn over the main window.  No band of the dialog's own grey
// shows at these units.
TEST(LicencePicture, FillsThePageFromItsOriginAndIsCutAtItsEdge)
{
    TempMachine m;
    ASSERT_TRUE(m.Ready());
    auto result = RunScenario([] {
        HWND page = automation::WaitDialog("IDD_AGREEMENT");
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(g_setup.pageBitmapInfo.bmWidth, 556);
        EXPECT_EQ(g_setup.pageBitmapInfo.bmHeight, 384);
        HRSRC found = FindResourceA(g_setup.instance, "IDB_PELMAR", RT_BITMAP);
        ASSERT_NE(found, nullptr);
        const BYTE *dib = (const BYTE *)LockResource(LoadResource(g_setup.instance, found));
        ASSERT_NE(dib, nullptr);
        ASSERT_EQ(((const BITMAPINFOHEADER *)dib)->biWidth, 556);

        RECT client = automation::ClientRect(page);
        ASSERT_EQ(client.right - client.left, 555);
        ASSERT_EQ(client.bottom - client.top, 384);
        // Points of the page that no control covers: the corners, and the bands beside the text.
        const POINT points[] = {{0, 0}, {554, 0}, {0, 383}, {554, 383}, {300, 10},
                                {530, 200}, {10, 200}, {100, 380}, {400, 378}};
        for (POINT p : points)
            EXPECT_EQ(automation::Pixel(client.left + p.x, client.top + p.y), PicturePixel(dib, p.x, p.y))
                << "page point " << p.x << "," << p.y;
        // Beyond the page the main window's backdrop shows, not the picture's last column.
        int bled = 0;
        for (int y = 0; y < 384; y++)
            if (automation::Pixel(client.right, client.top + y) == PicturePixel(dib, 555, y))
                bled++;
        EXPECT_LT(bled, 40) << "the picture's last column shows beside the page";
        wizard::CancelSetup(page);
    });
    EXPECT_SCENARIO_OK(result, 0);
}

} // namespace
