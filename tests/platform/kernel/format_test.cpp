// wsprintfA, MulDiv, the string calls and the Windows-1252 code page.
#include "layer.h"

#include <gtest/gtest.h>

#include <string.h>

#include <functional>

namespace {

TEST(Wsprintf, Conversions)
{
    struct Case {
        const char *expected;
        std::function<int(char *)> format;
    };
    const DWORD big = 4000000000u;
    const Case cases[] = {
        {"plain", [](char *b) { return wsprintfA(b, "plain"); }},
        {"100%", [](char *b) { return wsprintfA(b, "100%%"); }},
        {"-42 42", [](char *b) { return wsprintfA(b, "%d %i", -42, 42); }},
        {"4000000000", [big](char *b) { return wsprintfA(b, "%lu", big); }},
        {"-294967296", [big](char *b) { return wsprintfA(b, "%ld", big); }},
        {"4000000000 next", [big](char *b) { return wsprintfA(b, "%lu %s", big, "next"); }},
        {"ee6b2800 EE6B2800", [big](char *b) { return wsprintfA(b, "%lx %lX", big, big); }},
        {"0xff 0XFF", [](char *b) { return wsprintfA(b, "%#x %#X", 255, 255); }},
        {"[   42] [42   ] [00042]", [](char *b) { return wsprintfA(b, "[%5d] [%-5d] [%05d]", 42, 42, 42); }},
        {"[-0042] [  -42]", [](char *b) { return wsprintfA(b, "[%05d] [%5d]", -42, -42); }},
        {"[0x00ff]", [](char *b) { return wsprintfA(b, "[%#06x]", 255); }},
        {"[007] [0]", [](char *b) { return wsprintfA(b, "[%.3d] [%.0u]", 7, 0); }},
        {"[abc] [  abc] [abc  ] [ab]", [](char *b) { return wsprintfA(b, "[%s] [%5s] [%-5s] [%.2s]", "abc", "abc", "abc", "abc"); }},
        {"[   ab]", [](char *b) { return wsprintfA(b, "[%5.2s]", "abcdef"); }},
        {"(null)", [](char *b) { return wsprintfA(b, "%s", (const char *)nullptr); }},
        {"x Y", [](char *b) { return wsprintfA(b, "%c %c", 'x', 'Y'); }},
        {"[  z]", [](char *b) { return wsprintfA(b, "[%3c]", 'z'); }},
        {"65535 -1 ffff", [](char *b) { return wsprintfA(b, "%hu %hd %hx", 0x1FFFF, 0xFFFF, 0x2FFFF); }},
        {"-2147483648", [](char *b) { return wsprintfA(b, "%d", (int)0x80000000u); }},
        {"4294967295", [](char *b) { return wsprintfA(b, "%u", 0xFFFFFFFFu); }},
        {"q", [](char *b) { return wsprintfA(b, "%q"); }},
        {"end%", [](char *b) { return wsprintfA(b, "end%"); }},
        {"Caf\xe9", [](char *b) { return wsprintfA(b, "%s", "Caf\xe9"); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.expected);
        char buf[1100];
        memset(buf, '#', sizeof buf);
        int n = c.format(buf);
        EXPECT_STREQ(c.expected, buf);
        EXPECT_EQ((int)strlen(c.expected), n);
    }
}

TEST(Wsprintf, PointersShowEveryDigit)
{
    char buf[64];
    wsprintfA(buf, "%p", (void *)0xAB);
    EXPECT_EQ(std::string(sizeof(void *) * 2 - 2, '0') + "AB", buf);
}

TEST(Wsprintf, StopsAt1024Characters)
{
    std::string longText(2000, 'a');
    char buf[1100];
    memset(buf, '#', sizeof buf);
    EXPECT_EQ(1024, wsprintfA(buf, "%s", longText.c_str()));
    EXPECT_EQ(1024u, strlen(buf));
    EXPECT_EQ('#', buf[1025]);

    memset(buf, '#', sizeof buf);
    std::string fmt(1500, 'b');
    EXPECT_EQ(1024, wsprintfA(buf, fmt.c_str()));
    EXPECT_EQ(0, buf[1024]);
    EXPECT_EQ('#', buf[1025]);

    memset(buf, '#', sizeof buf);
    EXPECT_EQ(1024, wsprintfA(buf, "%2000d", 5)) << "padding counts too";
    EXPECT_EQ(' ', buf[1023]) << "the digit lies beyond the limit";
    EXPECT_EQ('#', buf[1025]);
}

int CallV(char *buf, const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    int n = wvsprintfA(buf, fmt, ap);
    va_end(ap);
    return n;
}

TEST(Wsprintf, VariantTakesAList)
{
    char buf[64];
    EXPECT_EQ(9, CallV(buf, "%s=%lu", "size", (DWORD)1234));
    EXPECT_STREQ("size=1234", buf);
}

TEST(MulDiv, RoundsAndReportsOverflow)
{
    struct Case {
        int a, b, c, expected;
    };
    const Case cases[] = {
        {8, 96, 72, 11},  // 10.67
        {10, 1, 3, 3},    // 3.33
        {1, 1, 2, 1},     // halves round away from zero
        {-1, 1, 2, -1},
        {3, 1, -2, -2},
        {-5, -5, 2, 13},
        {0, 5, 7, 0},
        {1, 1, 0, -1},    // no denominator
        {0x40000000, 4, 1, -1},  // does not fit
        {0x40000000, 4, 2, -1},   // 2^31 is one more than an int holds
        {0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF},  // 64-bit intermediate
        {-0x7FFFFFFF, 2, 2, -0x7FFFFFFF},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.a << " * " << c.b << " / " << c.c);
        EXPECT_EQ(c.expected, MulDiv(c.a, c.b, c.c));
    }
}

TEST(Strings, CopyConcatenateCompare)
{
    char buf[16];
    memset(buf, '#', sizeof buf);
    EXPECT_EQ(buf, lstrcpynA(buf, "abcdef", 4));
    EXPECT_STREQ("abc", buf);
    EXPECT_EQ('#', buf[4]);
    EXPECT_STREQ("ab", lstrcpynA(buf, "ab", 10));
    lstrcpynA(buf, "zzz", 1);
    EXPECT_STREQ("", buf);
    memset(buf, '#', sizeof buf);
    lstrcpynA(buf, "zzz", 0);
    EXPECT_EQ('#', buf[0]) << "no room: nothing written";

    lstrcpyA(buf, "Nobra");
    EXPECT_STREQ("Nobra Setup", lstrcatA(buf, " Setup"));
    EXPECT_EQ(11, lstrlenA(buf));
    EXPECT_EQ(0, lstrlenA(nullptr));

    struct Case {
        const char *a, *b;
        int sign;
    };
    const Case cases[] = {
        {"setup", "SETUP", 0}, {"Caf\xe9", "CAF\xc9", 0}, {"\x9a", "\x8a", 0}, {"abc", "abd", -1},
        {"abc", "ab", 1},      {"", "a", -1},             {"B", "a", 1},      {nullptr, "a", -1},
        {nullptr, nullptr, 0},
        // A word sort: symbols before digits before letters, whatever their codes.
        {"~x", "a", -1},       {"{x", "0", -1},           {"9", "a", -1},     {"_x", "a", -1},
        // Accented letters sort with their base letter, after it when all else is equal.
        {"\xe9t\xe9", "f", -1}, {"\xe9", "e", 1},         {"r\xe9sum\xe9", "resumf", -1},
        // Hyphens and apostrophes are passed over, then break the tie.
        {"co-op", "coop", -1}, {"co-op", "cop", -1},      {"o'neil", "oneil", -1},
        {"stra\xdf" "e", "strasse", 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << (c.a ? c.a : "null") << " vs " << (c.b ? c.b : "null"));
        int r = lstrcmpiA(c.a, c.b);
        EXPECT_EQ(c.sign, (r > 0) - (r < 0)) << "lstrcmpiA gave " << r;
    }
}

TEST(Strings, CaseConversionKnowsWindows1252)
{
    char text[] = "abc XYZ \xe9\xc9 \xff\x9f \x9a\x8a \xdf \xf7\xd7 \xb5 1";
    EXPECT_EQ(text, CharUpperA(text));
    EXPECT_STREQ("ABC XYZ \xc9\xc9 \x9f\x9f \x8a\x8a \xdf \xf7\xd7 \xb5 1", text);
    CharLowerA(text);
    EXPECT_STREQ("abc xyz \xe9\xe9 \xff\xff \x9a\x9a \xdf \xf7\xd7 \xb5 1", text);
    // A character in the low word of the pointer comes back the same way.
    EXPECT_EQ((LPSTR)(ULONG_PTR)'Q', CharUpperA((LPSTR)(ULONG_PTR)'q'));
    EXPECT_EQ((LPSTR)(ULONG_PTR)0xe0, CharLowerA((LPSTR)(ULONG_PTR)0xc0));
}

TEST(CodePage, Windows1252RoundTrip)
{
    struct Case {
        unsigned char byte;
        uint32_t cp;
    };
    const Case cases[] = {{'A', 'A'},      {0x80, 0x20AC}, {0x8A, 0x0160}, {0x92, 0x2019},
                          {0x9F, 0x0178}, {0x81, 0x0081}, {0xA0, 0x00A0}, {0xE9, 0x00E9}};
    for (const Case &c : cases) {
        SCOPED_TRACE((int)c.byte);
        EXPECT_EQ(c.cp, layer::Cp1252ToUnicode(c.byte));
        EXPECT_EQ(c.byte, layer::UnicodeToCp1252(c.cp));
    }
    for (int b = 0; b < 256; b++)
        EXPECT_EQ(b, layer::UnicodeToCp1252(layer::Cp1252ToUnicode((unsigned char)b))) << b;
    for (uint32_t cp : {0x0100u, 0x20ADu, 0x4E2Du, 0x1F600u})
        EXPECT_EQ(0, layer::UnicodeToCp1252(cp)) << cp;
}

TEST(Clock, TickCountMovesWithSleep)
{
    DWORD start = GetTickCount();
    Sleep(30);
    DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 30u);
    EXPECT_LT(elapsed, 2000u);
}

} // namespace
