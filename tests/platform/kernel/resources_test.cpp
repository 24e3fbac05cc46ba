// The program's resources (kernel.rc, linked into this test) and the .res
// reader on broken images.
#include "kernel/resources.h"

#include <gtest/gtest.h>

#include <string.h>

#include <vector>

extern "C" {
extern const unsigned char platform_resources[] __attribute__((weak));
extern const unsigned char platform_resources_end[] __attribute__((weak));
}

namespace {

std::string Data(const layer::ResourceData &d)
{
    return std::string((const char *)d.data, d.size);
}

std::vector<unsigned char> Fixture(const char *name)
{
    std::vector<unsigned char> bytes;
    FILE *f = fopen((std::string(NOBRA_FIXTURES) + "/kernel/" + name).c_str(), "rb");
    if (!f)
        return bytes;
    int c;
    while ((c = fgetc(f)) != EOF)
        bytes.push_back((unsigned char)c);
    fclose(f);
    return bytes;
}

TEST(Resources, FoundByTypeAndName)
{
    struct Case {
        LPCSTR type, name;
        const char *data; // null: absent
        size_t size;
        DWORD error;
    };
    const Case cases[] = {
        {RT_RCDATA, MAKEINTRESOURCEA(10), "abc\x34\x12", 5, 0},
        {RT_RCDATA, "#10", "abc\x34\x12", 5, 0},
        {"#10", "#10", "abc\x34\x12", 5, 0},
        {RT_RCDATA, "Payload", "named", 5, 0},
        {RT_RCDATA, "PAYLOAD", "named", 5, 0},
        {RT_RCDATA, "payload", "named", 5, 0},
        {"custom", MAKEINTRESOURCEA(7), "own type", 8, 0},
        {"CUSTOM", "#7", "own type", 8, 0},
        {RT_RCDATA, MAKEINTRESOURCEA(11), nullptr, 0, ERROR_RESOURCE_NAME_NOT_FOUND},
        {RT_RCDATA, "Payloads", nullptr, 0, ERROR_RESOURCE_NAME_NOT_FOUND},
        {RT_BITMAP, MAKEINTRESOURCEA(10), nullptr, 0, ERROR_RESOURCE_TYPE_NOT_FOUND},
        {"other", "Payload", nullptr, 0, ERROR_RESOURCE_TYPE_NOT_FOUND},
        {RT_RCDATA, "", nullptr, 0, ERROR_RESOURCE_NAME_NOT_FOUND},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(IS_INTRESOURCE(c.name) ? std::to_string((ULONG_PTR)c.name) : std::string(c.name));
        layer::ResourceData d;
        EXPECT_EQ(c.data != nullptr, layer::FindResourceData(c.type, c.name, d));
        SetLastError(0);
        HRSRC r = FindResourceA(nullptr, c.name, c.type);
        if (!c.data) {
            EXPECT_EQ(nullptr, r);
            EXPECT_EQ(c.error, GetLastError());
            continue;
        }
        EXPECT_EQ(std::string(c.data, c.size), Data(d));
        ASSERT_NE(nullptr, r);
        HGLOBAL g = LoadResource(GetModuleHandleA(nullptr), r);
        ASSERT_NE(nullptr, g);
        EXPECT_EQ(d.data, LockResource(g));
        EXPECT_EQ(d.size, SizeofResource(nullptr, r));
    }
}

TEST(Resources, HandlesAndModules)
{
    EXPECT_NE(nullptr, layer::ModuleInstance());
    EXPECT_EQ(layer::ModuleInstance(), GetModuleHandleA(nullptr));
    EXPECT_EQ(nullptr, GetModuleHandleA("user32.dll"));

    int local;
    SetLastError(0);
    EXPECT_EQ(nullptr, LoadResource(nullptr, (HRSRC)&local));
    EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, GetLastError());
    EXPECT_EQ(0u, SizeofResource(nullptr, (HRSRC)&local));
    EXPECT_EQ(nullptr, FindResourceA((HMODULE)&local, "#10", RT_RCDATA)) << "another module";
}

TEST(Resources, LoadStringBufferContract)
{
    struct Case {
        UINT id;
        int size;
        int result;
        const char *text;
    };
    const Case cases[] = {
        {1, 64, 5, "Hello"},
        {1, 6, 5, "Hello"},
        {1, 5, 4, "Hell"},
        {1, 2, 1, "H"},
        {1, 1, 0, ""},
        {2, 64, 16, "Ready to install"},
        {17, 64, 12, "Second block"},
        {40, 64, 13, "Caf\xe9 costs 5\x80"},
        {3, 64, 0, ""},   // absent in a block that exists
        {33, 64, 0, ""},  // in a block that does not exist
        {0x10000 + 1, 64, 0, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "id " << c.id << " size " << c.size);
        char buf[80];
        memset(buf, '#', sizeof buf);
        EXPECT_EQ(c.result, LoadStringA(GetModuleHandleA(nullptr), c.id, buf, c.size));
        EXPECT_STREQ(c.text, buf);
        EXPECT_EQ('#', buf[c.size]) << "nothing beyond the buffer";
    }
    char buf[4] = "abc";
    EXPECT_EQ(0, LoadStringA(nullptr, 1, buf, 0)) << "no room";
    EXPECT_STREQ("abc", buf);
    EXPECT_EQ(0, LoadStringA(nullptr, 1, nullptr, 10));
}

TEST(ResParser, ReadsTheLinkedImage)
{
    ASSERT_NE(nullptr, platform_resources);
    std::vector<layer::ResourceEntry> entries;
    ASSERT_TRUE(layer::ParseResources(platform_resources, platform_resources_end - platform_resources, entries));
    // Three string blocks and three data resources; the empty opening entry is skipped.
    ASSERT_EQ(6u, entries.size());
    int strings = 0;
    for (const layer::ResourceEntry &e : entries) {
        EXPECT_EQ(0x409, e.language);
        strings += e.type.isInt && e.type.number == 6;
    }
    EXPECT_EQ(3, strings);
}

TEST(ResParser, BrokenImagesAreRefused)
{
    const char *fixtures[] = {
        "truncated_data.res", "truncated_header.res", "header_past_end.res",
        "data_size_wraps.res", "unterminated_name.res", "header_too_small.res",
    };
    for (const char *name : fixtures) {
        SCOPED_TRACE(name);
        std::vector<unsigned char> image = Fixture(name);
        ASSERT_FALSE(image.empty());
        // An exact-size copy, so that a read past the end is a read past the heap block.
        std::vector<unsigned char> exact(image);
        std::vector<layer::ResourceEntry> entries(3);
        EXPECT_FALSE(layer::ParseResources(exact.data(), exact.size(), entries));
        EXPECT_TRUE(entries.empty());
    }
    // Every prefix of a good image is either refused or read within its bounds.
    std::vector<unsigned char> good(platform_resources, platform_resources_end);
    for (size_t n = 0; n < good.size(); n++) {
        std::vector<unsigned char> cut(good.begin(), good.begin() + n);
        std::vector<layer::ResourceEntry> entries;
        if (!layer::ParseResources(cut.data(), n, entries))
            continue;
        for (const layer::ResourceEntry &e : entries)
            ASSERT_LE(e.data + e.size, cut.data() + n) << "prefix of " << n;
    }
}

TEST(ResParser, StringBlockThatOverruns)
{
    std::vector<unsigned char> image = Fixture("string_block_overrun.res");
    std::vector<layer::ResourceEntry> entries;
    ASSERT_TRUE(layer::ParseResources(image.data(), image.size(), entries)) << "the image itself is sound";
    ASSERT_EQ(1u, entries.size());
    std::u16string text;
    EXPECT_TRUE(layer::StringInBlock(entries[0].data, entries[0].size, 0, text));
    EXPECT_EQ(u"Hi!", text);
    EXPECT_FALSE(layer::StringInBlock(entries[0].data, entries[0].size, 1, text));
    EXPECT_FALSE(layer::StringInBlock(entries[0].data, entries[0].size, 5, text));
    EXPECT_FALSE(layer::StringInBlock(entries[0].data, entries[0].size, 16, text));
}

} // namespace
