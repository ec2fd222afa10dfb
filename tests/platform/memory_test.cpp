#include <gtest/gtest.h>

#include <cstring>

#include "win32/windows.h"

namespace {

bool all_zero(const void* p, size_t n) {
    const unsigned char* b = static_cast<const unsigned char*>(p);
    for (size_t i = 0; i < n; ++i)
        if (b[i]) return false;
    return true;
}

TEST(GlobalMemory, MovableBlockIsReachedThroughItsHandle) {
    HGLOBAL h = GlobalAlloc(GHND, 1000);
    ASSERT_NE(h, nullptr);
    void* p = GlobalLock(h);
    ASSERT_NE(p, nullptr);
    EXPECT_NE(p, h);  // a movable handle is not the address
    EXPECT_TRUE(all_zero(p, 1000));
    EXPECT_EQ(GlobalHandle(p), h);
    EXPECT_EQ(GlobalSize(h), 1000u);
    EXPECT_EQ(GlobalLock(h), p);
    EXPECT_TRUE(GlobalUnlock(h));   // still locked once
    EXPECT_FALSE(GlobalUnlock(h));  // now unlocked
    EXPECT_EQ(GetLastError(), (DWORD)NO_ERROR);

    std::memset(p, 0xAB, 1000);
    ASSERT_EQ(GlobalReAlloc(h, 4000, GMEM_MOVEABLE | GMEM_ZEROINIT), h);
    unsigned char* q = static_cast<unsigned char*>(GlobalLock(h));
    EXPECT_EQ(q[999], 0xAB);
    EXPECT_TRUE(all_zero(q + 1000, 3000));
    GlobalUnlock(h);
    EXPECT_EQ(GlobalFree(h), nullptr);
}

TEST(GlobalMemory, FixedBlocksAndPointerHelpers) {
    void* p = GlobalAlloc(GPTR, 64);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(GlobalLock(p), p);
    EXPECT_EQ(GlobalHandle(p), p);
    EXPECT_TRUE(all_zero(p, 64));
    EXPECT_EQ(GlobalReAlloc(p, 128, 0), nullptr);  // a fixed block may not move unless allowed
    EXPECT_EQ(GlobalFree(p), nullptr);

    char* s = static_cast<char*>(GlobalAllocPtr(GMEM_MOVEABLE | GMEM_ZEROINIT, 32));
    ASSERT_NE(s, nullptr);
    EXPECT_TRUE(all_zero(s, 32));
    std::strcpy(s, "kept");
    EXPECT_FALSE(GlobalFreePtr(s));  // GlobalFree answers NULL on success

    HLOCAL l = LocalAlloc(LPTR, 16);
    ASSERT_NE(l, nullptr);
    EXPECT_TRUE(all_zero(l, 16));
    EXPECT_EQ(LocalFree(l), nullptr);
}

TEST(GlobalMemory, UnknownHandlesAreRefused) {
    alignas(16) static char not_a_block[64] = {};
    SetLastError(0);
    EXPECT_EQ(GlobalLock(not_a_block + 32), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    EXPECT_EQ(GlobalFree(not_a_block + 32), not_a_block + 32);
}

TEST(HeapMemory, ZeroingSizesAndGrowth) {
    HANDLE heap = GetProcessHeap();
    ASSERT_NE(heap, nullptr);
    unsigned char* p = static_cast<unsigned char*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, 100));
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(all_zero(p, 100));
    EXPECT_EQ(HeapSize(heap, 0, p), 100u);
    std::memset(p, 7, 100);
    EXPECT_EQ(HeapReAlloc(heap, HEAP_REALLOC_IN_PLACE_ONLY, p, 200), nullptr);
    p = static_cast<unsigned char*>(HeapReAlloc(heap, HEAP_ZERO_MEMORY, p, 300));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p[99], 7);
    EXPECT_TRUE(all_zero(p + 100, 200));
    EXPECT_EQ(HeapSize(heap, 0, p), 300u);
    EXPECT_TRUE(HeapFree(heap, 0, p));
    EXPECT_TRUE(HeapFree(heap, 0, nullptr));
}

TEST(GlobalMemory, StatusAnswersAvailableMemory) {
    MEMORYSTATUS ms{};
    GlobalMemoryStatus(&ms);
    EXPECT_EQ(ms.dwLength, sizeof ms);
    EXPECT_GT(ms.dwTotalPhys, 0u);
    EXPECT_GT(ms.dwAvailPhys + ms.dwAvailVirtual, 10000000u);
}

}  // namespace
