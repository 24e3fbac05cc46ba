// Brushes, system colours, edges, focus rectangles, lines and rectangles.
#include "screen_fixture.h"

class DrawTest : public ScreenTest {
protected:
    void SetUp() override
    {
        ScreenTest::SetUp();
        Fill(0x123456);
        dc_ = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
        ASSERT_NE(dc_, nullptr);
    }
    void TearDown() override { DeleteDC(dc_); }
    HDC dc_ = nullptr;
};

TEST_F(DrawTest, SystemColoursAreTheClassicScheme)
{
    struct { int index; COLORREF color; } cases[] = {
        {COLOR_BTNFACE, RGB(192, 192, 192)},  {COLOR_BTNSHADOW, RGB(128, 128, 128)},
        {COLOR_BTNHIGHLIGHT, RGB(255, 255, 255)}, {COLOR_3DDKSHADOW, RGB(0, 0, 0)},
        {COLOR_3DLIGHT, RGB(223, 223, 223)},  {COLOR_WINDOW, RGB(255, 255, 255)},
        {COLOR_WINDOWTEXT, RGB(0, 0, 0)},     {COLOR_ACTIVECAPTION, RGB(0, 0, 128)},
        {COLOR_CAPTIONTEXT, RGB(255, 255, 255)}, {COLOR_HIGHLIGHT, RGB(0, 0, 128)},
        {COLOR_HIGHLIGHTTEXT, RGB(255, 255, 255)}, {COLOR_GRAYTEXT, RGB(128, 128, 128)},
        {COLOR_MENUTEXT, RGB(0, 0, 0)},
    };
    for (auto &c : cases) {
        EXPECT_EQ(GetSysColor(c.index), c.color) << c.index;
        EXPECT_EQ(layer::SysColorPixel(c.index), (uint32_t)((GetRValue(c.color) << 16) |
                                                            (GetGValue(c.color) << 8) | GetBValue(c.color)));
        HBRUSH b = GetSysColorBrush(c.index);
        EXPECT_EQ(b, GetSysColorBrush(c.index)) << "one stock brush per index";
        EXPECT_FALSE(DeleteObject(b));
    }
    EXPECT_EQ(GetSysColorBrush(999), nullptr);
}

TEST_F(DrawTest, FillRectTakesABrushOrASystemColourIndexPlusOne)
{
    struct { HBRUSH brush; uint32_t expect; } cases[] = {
        {(HBRUSH)(COLOR_BTNFACE + 1), 0xC0C0C0},
        {(HBRUSH)(COLOR_ACTIVECAPTION + 1), 0x000080},
        {GetSysColorBrush(COLOR_BTNSHADOW), 0x808080},
        {(HBRUSH)GetStockObject(BLACK_BRUSH), 0x000000},
    };
    for (auto &c : cases) {
        RECT r = {2, 2, 6, 5};
        EXPECT_NE(FillRect(dc_, &r, c.brush), 0);
        EXPECT_EQ(Px(2, 2), c.expect);
        EXPECT_EQ(Px(5, 4), c.expect);
        EXPECT_EQ(Px(6, 4), 0x123456u) << "right edge is exclusive";
        EXPECT_EQ(Px(5, 5), 0x123456u) << "bottom edge is exclusive";
    }
    RECT r = {0, 0, 1, 1};
    EXPECT_EQ(FillRect(dc_, &r, (HBRUSH)(uintptr_t)5000), 0) << "neither a brush nor a colour index";
    EXPECT_EQ(FillRect(dc_, &r, (HBRUSH)GetStockObject(NULL_BRUSH)), 1);
    EXPECT_EQ(Px(0, 0), 0x123456u);
}

TEST_F(DrawTest, DrawEdgeBevelColours)
{
    const uint32_t light = 0xDFDFDF, dark = 0x000000, hi = 0xFFFFFF, shadow = 0x808080;
    struct {
        const char *name;
        UINT edge;
        uint32_t outerTL, outerBR, innerTL, innerBR;
    } cases[] = {
        {"raised", EDGE_RAISED, light, dark, hi, shadow},
        {"sunken", EDGE_SUNKEN, shadow, hi, dark, light},
        {"etched", EDGE_ETCHED, shadow, hi, hi, shadow},
        {"bump", EDGE_BUMP, light, dark, dark, light},
    };
    for (auto &c : cases) {
        Fill(0x123456);
        RECT r = {10, 10, 20, 18};
        EXPECT_TRUE(DrawEdge(dc_, &r, c.edge, BF_RECT | BF_ADJUST));
        EXPECT_EQ(Px(10, 12), c.outerTL) << c.name << " outer left";
        EXPECT_EQ(Px(12, 10), c.outerTL) << c.name << " outer top";
        EXPECT_EQ(Px(19, 12), c.outerBR) << c.name << " outer right";
        EXPECT_EQ(Px(12, 17), c.outerBR) << c.name << " outer bottom";
        EXPECT_EQ(Px(19, 10), c.outerBR) << c.name << " top-right corner belongs to the dark side";
        EXPECT_EQ(Px(11, 12), c.innerTL) << c.name << " inner left";
        EXPECT_EQ(Px(18, 12), c.innerBR) << c.name << " inner right";
        EXPECT_EQ(Px(12, 16), c.innerBR) << c.name << " inner bottom";
        EXPECT_EQ(Px(14, 14), 0x123456u) << c.name << " middle untouched";
        EXPECT_EQ(r.left, 12);
        EXPECT_EQ(r.top, 12);
        EXPECT_EQ(r.right, 18);
        EXPECT_EQ(r.bottom, 16);
    }
    // Only the sides asked for, and no adjustment without BF_ADJUST.
    Fill(0x123456);
    RECT r = {10, 10, 20, 18};
    DrawEdge(dc_, &r, BDR_SUNKENOUTER, BF_TOP);
    EXPECT_EQ(Px(12, 10), shadow);
    EXPECT_EQ(Px(10, 12), 0x123456u);
    EXPECT_EQ(Px(19, 12), 0x123456u);
    EXPECT_EQ(r.left, 10);
}

TEST_F(DrawTest, FocusRectIsDottedAndUndoesItself)
{
    Fill(0x000000);
    RECT r = {4, 4, 12, 10};
    EXPECT_TRUE(DrawFocusRect(dc_, &r));
    EXPECT_EQ(Px(4, 4), 0xFFFFFFu);
    EXPECT_EQ(Px(5, 4), 0u);
    EXPECT_EQ(Px(6, 4), 0xFFFFFFu);
    EXPECT_EQ(Px(4, 6), 0xFFFFFFu);
    EXPECT_EQ(Px(8, 7), 0u) << "inside untouched";
    int lit = 0;
    for (int y = 0; y < 48; y++)
        for (int x = 0; x < 64; x++)
            lit += Px(x, y) != 0;
    EXPECT_EQ(lit, 12) << "half of the 24 border pixels";
    DrawFocusRect(dc_, &r);
    for (int y = 0; y < 48; y++)
        for (int x = 0; x < 64; x++)
            ASSERT_EQ(Px(x, y), 0u) << x << "," << y;
}

TEST_F(DrawTest, FrameRectLinesAndRectangles)
{
    RECT r = {1, 1, 5, 4};
    FrameRect(dc_, &r, (HBRUSH)GetStockObject(WHITE_BRUSH));
    EXPECT_EQ(Px(1, 1), 0xFFFFFFu);
    EXPECT_EQ(Px(4, 3), 0xFFFFFFu);
    EXPECT_EQ(Px(2, 2), 0x123456u);
    EXPECT_EQ(Px(5, 3), 0x123456u);

    // A line leaves out its last point.
    HPEN red = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
    HGDIOBJ old = SelectObject(dc_, red);
    MoveToEx(dc_, 10, 20, nullptr);
    LineTo(dc_, 20, 20);
    EXPECT_EQ(Px(10, 20), 0xFF0000u);
    EXPECT_EQ(Px(19, 20), 0xFF0000u);
    EXPECT_EQ(Px(20, 20), 0x123456u);
    POINT at;
    MoveToEx(dc_, 0, 0, &at);
    EXPECT_EQ(at.x, 20);

    // XOR pen twice gives the background back.
    SetROP2(dc_, R2_XORPEN);
    MoveToEx(dc_, 10, 30, nullptr);
    LineTo(dc_, 10, 40);
    EXPECT_EQ(Px(10, 35), 0x123456u ^ 0xFF0000u);
    MoveToEx(dc_, 10, 30, nullptr);
    LineTo(dc_, 10, 40);
    EXPECT_EQ(Px(10, 35), 0x123456u);
    SetROP2(dc_, R2_COPYPEN);

    // Rectangle: pen outline inside the rectangle, brush inside that.
    HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
    HGDIOBJ oldBrush = SelectObject(dc_, blue);
    Rectangle(dc_, 30, 30, 36, 34);
    EXPECT_EQ(Px(30, 30), 0xFF0000u);
    EXPECT_EQ(Px(35, 33), 0xFF0000u);
    EXPECT_EQ(Px(31, 31), 0x0000FFu);
    EXPECT_EQ(Px(36, 33), 0x123456u);
    // With the null pen the fill is one pixel smaller each way.
    SelectObject(dc_, GetStockObject(NULL_PEN));
    Rectangle(dc_, 40, 40, 44, 44);
    EXPECT_EQ(Px(40, 40), 0x0000FFu);
    EXPECT_EQ(Px(42, 42), 0x0000FFu);
    EXPECT_EQ(Px(43, 43), 0x123456u);
    SelectObject(dc_, old);
    SelectObject(dc_, oldBrush);
    EXPECT_TRUE(DeleteObject(red));
    EXPECT_TRUE(DeleteObject(blue));
}

TEST_F(DrawTest, MonochromeBitmapsKeepBlackOrWhite)
{
    HDC mem = CreateCompatibleDC(nullptr);
    HBITMAP mono = CreateBitmap(4, 1, 1, 1, nullptr);
    SelectObject(mem, mono);
    struct { COLORREF in; COLORREF out; } cases[] = {
        {RGB(200, 200, 200), RGB(255, 255, 255)}, {RGB(255, 255, 0), RGB(255, 255, 255)},
        {RGB(0, 0, 255), RGB(0, 0, 0)}, {RGB(100, 100, 100), RGB(0, 0, 0)},
    };
    for (auto &c : cases) {
        EXPECT_EQ(SetPixel(mem, 0, 0, c.in), c.out);
        EXPECT_EQ(GetPixel(mem, 0, 0), c.out);
    }
    EXPECT_EQ(GetPixel(mem, 4, 0), CLR_INVALID);
    DeleteDC(mem);
    DeleteObject(mono);
}
