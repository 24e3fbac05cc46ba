// Global and virtual memory, and failure injection.
#include "machine.h"

#include "layer.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

namespace {

TEST(Global, FixedAndMoveableBlocks)
{
    struct Case {
        UINT flags;
        SIZE_T size;
    };
    const Case cases[] = {{GMEM_FIXED, 100}, {GPTR, 100}, {GMEM_MOVEABLE, 100}, {GHND, 4096}, {GMEM_FIXED, 0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "flags " << c.flags << " size " << c.size);
        HGLOBAL h = GlobalAlloc(c.flags, c.size);
        ASSERT_NE(nullptr, h);
        EXPECT_EQ(c.size, GlobalSize(h));
        char *p = (char *)GlobalLock(h);
        ASSERT_NE(nullptr, p);
        if (!(c.flags & GMEM_MOVEABLE)) {
            EXPECT_EQ((void *)h, (void *)p) << "a fixed block's handle is its address";
        } else {
            EXPECT_NE((void *)h, (void *)p);
        }
        for (SIZE_T i = 0; (c.flags & GMEM_ZEROINIT) && i < c.size; i++)
            ASSERT_EQ(0, p[i]) << i;
        memset(p, 0x5a, c.size);
        EXPECT_EQ(p, GlobalLock(h)) << "the block stays where it is";
        GlobalUnlock(h);
        GlobalUnlock(h);
        EXPECT_EQ(nullptr, GlobalFree(h));
    }
}

TEST(Global, LockCount)
{
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 16);
    ASSERT_NE(nullptr, h);
    SetLastError(12345);
    EXPECT_FALSE(GlobalUnlock(h)) << "not locked";
    EXPECT_NE((DWORD)NO_ERROR, GetLastError());
    ASSERT_NE(nullptr, GlobalLock(h));
    ASSERT_NE(nullptr, GlobalLock(h));
    EXPECT_TRUE(GlobalUnlock(h)) << "still locked once";
    SetLastError(12345);
    EXPECT_FALSE(GlobalUnlock(h));
    EXPECT_EQ((DWORD)NO_ERROR, GetLastError()) << "the count reached zero";
    EXPECT_EQ(nullptr, GlobalFree(h));

    // A moveable block of no bytes is discarded: it has a handle, no memory.
    HGLOBAL empty = GlobalAlloc(GMEM_MOVEABLE, 0);
    ASSERT_NE(nullptr, empty);
    EXPECT_EQ(nullptr, GlobalLock(empty));
    EXPECT_EQ(0u, GlobalSize(empty));
    EXPECT_EQ(nullptr, GlobalFree(empty));
}

TEST(Global, ForeignAndFreedHandles)
{
    int local;
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 8);
    ASSERT_EQ(nullptr, GlobalFree(h));
    for (HGLOBAL bad : {(HGLOBAL)&local, h}) {
        SetLastError(0);
        EXPECT_EQ(nullptr, GlobalLock(bad));
        EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, GetLastError());
        EXPECT_EQ(0u, GlobalSize(bad));
        EXPECT_FALSE(GlobalUnlock(bad));
        EXPECT_EQ(bad, GlobalFree(bad)) << "GlobalFree gives back a handle it could not free";
    }
}

TEST(Virtual, CommittedPagesAreZeroedAndWritable)
{
    const SIZE_T size = 3 * 4096 + 10;
    unsigned char *p = (unsigned char *)VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(0u, (uintptr_t)p % 4096);
    for (SIZE_T i = 0; i < size; i++)
        ASSERT_EQ(0, p[i]);
    memset(p, 0xff, size);
    SetLastError(0);
    EXPECT_FALSE(VirtualFree(p, size, MEM_RELEASE)) << "a release takes size 0";
    EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER, GetLastError());
    EXPECT_FALSE(VirtualFree(p + 4096, 0, MEM_RELEASE)) << "only the base address releases";
    EXPECT_EQ((DWORD)ERROR_INVALID_ADDRESS, GetLastError());
    EXPECT_TRUE(VirtualFree(p, 0, MEM_RELEASE));
    EXPECT_FALSE(VirtualFree(p, 0, MEM_RELEASE)) << "released once only";
}

TEST(Virtual, ReserveThenCommit)
{
    char *base = (char *)VirtualAlloc(nullptr, 8 * 4096, MEM_RESERVE, PAGE_READWRITE);
    ASSERT_NE(nullptr, base);
    char *page = (char *)VirtualAlloc(base + 4096 + 100, 10, MEM_COMMIT, PAGE_READWRITE);
    EXPECT_EQ(base + 4096, page);
    page[0] = 1;
    page[4095] = 2;
    EXPECT_TRUE(VirtualFree(page, 4096, MEM_DECOMMIT));
    ASSERT_EQ(page, VirtualAlloc(page, 4096, MEM_COMMIT, PAGE_READWRITE));
    EXPECT_EQ(0, page[0]) << "recommitted pages are zero again";
    int local;
    SetLastError(0);
    EXPECT_EQ(nullptr, VirtualAlloc(&local, 16, MEM_COMMIT, PAGE_READWRITE));
    EXPECT_EQ((DWORD)ERROR_INVALID_ADDRESS, GetLastError());
    EXPECT_EQ(nullptr, VirtualAlloc(base + 7 * 4096, 2 * 4096, MEM_COMMIT, PAGE_READWRITE))
        << "beyond the end of the reservation";
    EXPECT_TRUE(VirtualFree(base, 0, MEM_RELEASE));
}

TEST(Virtual, BadArguments)
{
    struct Case {
        SIZE_T size;
        DWORD type, protect;
    };
    const Case cases[] = {
        {0, MEM_COMMIT, PAGE_READWRITE},
        {4096, 0, PAGE_READWRITE},
        {4096, MEM_COMMIT | MEM_RELEASE, PAGE_READWRITE},
        {4096, MEM_COMMIT, 0x40},
    };
    for (const Case &c : cases) {
        SetLastError(0);
        EXPECT_EQ(nullptr, VirtualAlloc(nullptr, c.size, c.type, c.protect));
        EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER, GetLastError());
    }
    EXPECT_EQ(nullptr, VirtualAlloc(nullptr, (SIZE_T)-1, MEM_COMMIT, PAGE_READWRITE));
    EXPECT_EQ((DWORD)ERROR_NOT_ENOUGH_MEMORY, GetLastError());
}

TEST(FailureInjection, AllocatorsFailAsIfMemoryRanOut)
{
    TempMachine m;
    struct Case {
        const char *setting;
        std::vector<bool> globalFails; // for four calls in a row
        std::vector<bool> virtualFails;
    };
    const Case cases[] = {
        {"GlobalAlloc", {true, true, true, true}, {false, false, false, false}},
        {"GlobalAlloc@2", {false, true, false, false}, {false, false, false, false}},
        {"VirtualAlloc@1, GlobalAlloc@3", {false, false, true, false}, {true, false, false, false}},
        {"VirtualAlloc,CreateDCA", {false, false, false, false}, {true, true, true, true}},
        {"GlobalAlloc@0", {false, false, false, false}, {false, false, false, false}},
        {"", {false, false, false, false}, {false, false, false, false}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.setting);
        testing::internal::CaptureStderr();
        m.SetEnv("SETUP_TEST_FAIL", c.setting);
        for (int i = 0; i < 4; i++) {
            SetLastError(0);
            HGLOBAL g = GlobalAlloc(GMEM_FIXED, 32);
            EXPECT_EQ(c.globalFails[i], g == nullptr) << "call " << i + 1;
            if (!g) {
                EXPECT_EQ((DWORD)ERROR_NOT_ENOUGH_MEMORY, GetLastError());
            }
            GlobalFree(g);
            void *v = VirtualAlloc(nullptr, 4096, MEM_COMMIT, PAGE_READWRITE);
            EXPECT_EQ(c.virtualFails[i], v == nullptr) << "call " << i + 1;
            if (!v) {
                EXPECT_EQ((DWORD)ERROR_NOT_ENOUGH_MEMORY, GetLastError());
            } else {
                VirtualFree(v, 0, MEM_RELEASE);
            }
        }
        testing::internal::GetCapturedStderr();
    }
}

} // namespace
