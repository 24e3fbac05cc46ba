// Regions stay disjoint through every operation and cover exactly the
// pixels the operations say; the USER rectangle helpers keep their
// documented results for empty rectangles.
#include "layer.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>

using layer::Region;

static std::set<std::pair<int, int>> Pixels(const Region &r)
{
    std::set<std::pair<int, int>> out;
    for (const RECT &a : r.rects)
        for (int y = a.top; y < a.bottom; y++)
            for (int x = a.left; x < a.right; x++)
                EXPECT_TRUE(out.insert({x, y}).second) << "rectangles overlap at " << x << "," << y;
    return out;
}

static std::set<std::pair<int, int>> Box(int l, int t, int r, int b)
{
    std::set<std::pair<int, int>> out;
    for (int y = t; y < b; y++)
        for (int x = l; x < r; x++)
            out.insert({x, y});
    return out;
}

TEST(Region, SubtractAndUnionKeepPixelsExactAndDisjoint)
{
    struct Case {
        const char *name;
        RECT hole;
    } cases[] = {
        {"centre", {3, 3, 6, 6}},    {"left edge", {-2, 2, 3, 5}}, {"corner", {7, 7, 20, 20}},
        {"covers all", {-1, -1, 11, 11}}, {"outside", {20, 20, 30, 30}}, {"empty", {4, 4, 4, 9}},
    };
    for (const Case &c : cases) {
        Region r;
        r.SetRect(RECT{0, 0, 10, 10});
        r.SubtractRect(c.hole);
        auto expect = Box(0, 0, 10, 10);
        for (auto p : Box(c.hole.left, c.hole.top, c.hole.right, c.hole.bottom))
            expect.erase(p);
        EXPECT_EQ(Pixels(r), expect) << c.name;
        for (const RECT &a : r.rects)
            EXPECT_TRUE(a.left < a.right && a.top < a.bottom) << c.name;

        r.UnionRect(c.hole);
        auto both = expect;
        for (auto p : Box(c.hole.left, c.hole.top, c.hole.right, c.hole.bottom))
            both.insert(p);
        EXPECT_EQ(Pixels(r), both) << c.name;
    }
}

TEST(Region, IntersectOffsetBoundsContains)
{
    Region a;
    a.SetRect(RECT{0, 0, 10, 10});
    a.SubtractRect(RECT{4, 0, 6, 10}); // two columns of width 4
    Region b;
    b.SetRect(RECT{2, 2, 8, 4});
    a.Intersect(b);
    auto expect = Box(2, 2, 4, 4);
    for (auto p : Box(6, 2, 8, 4))
        expect.insert(p);
    EXPECT_EQ(Pixels(a), expect);

    a.Offset(10, 1);
    RECT bounds = a.Bounds();
    EXPECT_EQ(bounds.left, 12);
    EXPECT_EQ(bounds.top, 3);
    EXPECT_EQ(bounds.right, 18);
    EXPECT_EQ(bounds.bottom, 5);
    EXPECT_TRUE(a.Contains(12, 3));
    EXPECT_FALSE(a.Contains(15, 3)); // the removed column
    EXPECT_FALSE(a.Contains(18, 3)); // right edge is exclusive

    a.IntersectRect(RECT{100, 100, 200, 200});
    EXPECT_TRUE(a.Empty());
    RECT none = a.Bounds();
    EXPECT_TRUE(IsRectEmpty(&none));
}

static bool Is(const RECT &r, int l, int t, int rr, int b)
{
    RECT e = {l, t, rr, b};
    return EqualRect(&r, &e);
}

TEST(RectHelpers, EmptyRectanglesFollowTheDocumentedRules)
{
    RECT a = {0, 0, 10, 10}, b = {5, 5, 20, 20}, empty = {3, 3, 3, 8}, out;
    EXPECT_TRUE(IntersectRect(&out, &a, &b));
    EXPECT_TRUE(Is(out, 5, 5, 10, 10));

    RECT far = {50, 50, 60, 60};
    out = RECT{1, 2, 3, 4};
    EXPECT_FALSE(IntersectRect(&out, &a, &far));
    EXPECT_TRUE(IsRectEmpty(&out));
    EXPECT_EQ(out.left, 0);
    EXPECT_EQ(out.right, 0);

    EXPECT_TRUE(UnionRect(&out, &a, &empty)); // the empty one takes no part
    EXPECT_TRUE(EqualRect(&out, &a));
    EXPECT_FALSE(UnionRect(&out, &empty, &empty));
    EXPECT_TRUE(IsRectEmpty(&out));

    EXPECT_TRUE(PtInRect(&a, POINT{0, 0}));
    EXPECT_FALSE(PtInRect(&a, POINT{10, 5}));
    InflateRect(&a, -2, 1);
    EXPECT_TRUE(Is(a, 2, -1, 8, 11));
    OffsetRect(&a, 1, 1);
    EXPECT_TRUE(Is(a, 3, 0, 9, 12));
    EXPECT_FALSE(SetRect(nullptr, 0, 0, 1, 1));
}
