#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <map>
#include <set>

#include "foundation_support.h"

// The standard allocator's failure report is tested with a request the heap must refuse.
extern "C" __attribute__((visibility("default"), used)) const char *__asan_default_options(void)
{
    return "allocator_may_return_null=1";
}
extern "C" __attribute__((visibility("default"), used)) const char *__tsan_default_options(void)
{
    return "allocator_may_return_null=1";
}

namespace {

// An allocator that hands out blocks at addresses that are 8 but never 16 aligned, records the
// sizes it is asked for, and can keep freed blocks readable.
struct TestHeap {
    static std::vector<size_t> sizes;
    static std::map<void *, void *> blocks; // handed-out block -> raw allocation
    static bool keep_freed;
    static br_uint_32 guarantee;
    static size_t offset;

    static void *allocate(br_size_t size, br_uint_8 type)
    {
        sizes.push_back(size);
        uint8_t *raw = (uint8_t *)aligned_alloc(16, ((size + 32) + 15) & ~(size_t)15);
        void *b = raw + offset;
        blocks[b] = raw;
        return b;
    }
    static void release(void *block)
    {
        if (keep_freed)
            return;
        auto it = blocks.find(block);
        ASSERT_NE(it, blocks.end());
        free(it->second);
        blocks.erase(it);
    }
    static br_uint_32 inquire(br_uint_8) { return 0; }
    static br_uint_32 align(br_uint_8) { return guarantee; }
    static void release_all()
    {
        for (auto &b : blocks)
            free(b.second);
        blocks.clear();
    }
    static br_allocator record;
};

std::vector<size_t> TestHeap::sizes;
std::map<void *, void *> TestHeap::blocks;
bool TestHeap::keep_freed;
br_uint_32 TestHeap::guarantee;
size_t TestHeap::offset;
br_allocator TestHeap::record = {"test heap", TestHeap::allocate, TestHeap::release, TestHeap::inquire,
                                 TestHeap::align};

class ResTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DiagLog::clear();
        TestHeap::sizes.clear();
        TestHeap::keep_freed = false;
        TestHeap::guarantee = 8;
        TestHeap::offset = 8;
        BrDiagHandlerSet(&DiagLog::handler);
        BrAllocatorSet(&TestHeap::record);
        ASSERT_EQ(BrFwBegin(), (br_error)BRE_OK);
        TestHeap::sizes.clear();
    }
    void TearDown() override
    {
        BrFwEnd();
        TestHeap::release_all();
    }
};

TEST_F(ResTest, BlockSizesRoundTheBodyToFourBytes)
{
    struct {
        size_t request;
        size_t body;
    } cases[] = {{0, 0}, {1, 4}, {4, 4}, {5, 8}, {13, 16}};
    for (auto &c : cases) {
        TestHeap::sizes.clear();
        void *r = BrResAllocate(nullptr, c.request, BR_MEMORY_APPLICATION);
        ASSERT_NE(r, nullptr);
        ASSERT_EQ(TestHeap::sizes.size(), 1u);
        EXPECT_EQ(TestHeap::sizes[0], BR_RES_HEADER_SIZE + c.body) << c.request;
        EXPECT_EQ(BrResSize(r), c.body) << c.request;
        EXPECT_EQ(BrResClass(r), BR_MEMORY_APPLICATION);
        EXPECT_TRUE(BrResCheck(r));
        BrResFree(r);
    }
}

TEST_F(ResTest, AlignedClassGetsAlignedBodyFromALooserAllocator)
{
    // OBJECT asks for 16; the heap guarantees 8 and hands out 8-but-not-16 aligned blocks.
    void *parent = BrResAllocate(nullptr, 8, BR_MEMORY_APPLICATION);
    TestHeap::sizes.clear();
    void *r = BrResAllocate(parent, 20, BR_MEMORY_OBJECT);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ((uintptr_t)r % 16, 0u);
    EXPECT_EQ(TestHeap::sizes[0], BR_RES_HEADER_SIZE + 20 + 8u); // extra = (16 - 1) & ~(8 - 1)
    EXPECT_EQ(BrResClass(r), BR_MEMORY_OBJECT);
    EXPECT_TRUE(BrResCheck(r));
    EXPECT_TRUE(BrResIsChild(parent, r));
    EXPECT_EQ(BrResSize(r), 20u);
    EXPECT_TRUE(DiagLog::failures.empty());
    BrResFree(parent);
}

TEST_F(ResTest, AllocatorThatBreaksItsPromiseIsReported)
{
    TestHeap::guarantee = 16; // but the blocks are only 8 aligned
    void *r = BrResAllocate(nullptr, 8, BR_MEMORY_OBJECT);
    ASSERT_NE(r, nullptr);
    ASSERT_EQ(DiagLog::failures.size(), 1u);
    EXPECT_EQ(DiagLog::failures[0], "Failure: Memory allocator broke alignment");
    EXPECT_TRUE(BrResCheck(r)); // used as it is
    BrResFree(r);
}

struct FreeLog {
    static std::vector<std::pair<void *, size_t>> freed;
    static void cb(void *res, br_uint_8 res_class, br_size_t size)
    {
        freed.push_back({res, size});
        EXPECT_EQ(res_class, 200);
        BrResFree(res); // freeing itself again does nothing
    }
};
std::vector<std::pair<void *, size_t>> FreeLog::freed;

TEST_F(ResTest, FreeingASubtreeRunsEveryCallbackOnce)
{
    br_resource_class counted = {0, "COUNTED", 200, FreeLog::cb, 0};
    ASSERT_EQ(BrResClassAdd(&counted), &counted);
    FreeLog::freed.clear();

    void *root = BrResAllocate(nullptr, 4, BR_MEMORY_APPLICATION);
    void *keep = BrResAllocate(root, 4, BR_MEMORY_APPLICATION);
    void *parent = BrResAllocate(root, 10, 200);
    void *a = BrResAllocate(parent, 4, 200);
    void *b = BrResAllocate(parent, 4, BR_MEMORY_APPLICATION);
    void *grand = BrResAllocate(a, 4, 200);
    BrResStrDup(b, "deep string");
    EXPECT_EQ(BrResSizeTotal(parent), 12u + 4 + 4 + 4 + 12);

    size_t live = TestHeap::blocks.size();
    BrResFree(parent);
    EXPECT_EQ(TestHeap::blocks.size(), live - 5);
    ASSERT_EQ(FreeLog::freed.size(), 3u);
    EXPECT_EQ(FreeLog::freed[0].first, parent);
    EXPECT_EQ(FreeLog::freed[0].second, BR_RES_HEADER_SIZE + 12u);
    std::set<void *> seen;
    for (auto &f : FreeLog::freed)
        seen.insert(f.first);
    EXPECT_EQ(seen, (std::set<void *>{parent, a, grand}));

    // The grandparent keeps its other child only.
    EXPECT_TRUE(BrResIsChild(root, keep));
    EXPECT_EQ(BrResSizeTotal(root), 8u);

    // Without the callback on the block itself; its children still run theirs.
    FreeLog::freed.clear();
    void *p2 = BrResAllocate(root, 4, 200);
    void *c2 = BrResAllocate(p2, 4, 200);
    BrResFreeNoCallback(p2);
    ASSERT_EQ(FreeLog::freed.size(), 1u);
    EXPECT_EQ(FreeLog::freed[0].first, c2);

    BrResFree(root);
    BrResClassRemove(&counted);
    EXPECT_STREQ(BrResClassIdentifier(200), "<NULL>");
}

TEST_F(ResTest, AddMovesABlockBetweenParents)
{
    size_t live = TestHeap::blocks.size();
    void *p1 = BrResAllocate(nullptr, 4, BR_MEMORY_APPLICATION);
    void *p2 = BrResAllocate(nullptr, 4, BR_MEMORY_APPLICATION);
    void *c = BrResAllocate(p1, 4, BR_MEMORY_APPLICATION);
    void *d = BrResAllocate(p1, 4, BR_MEMORY_APPLICATION);
    EXPECT_EQ(BrResAdd(p2, c), c);
    EXPECT_FALSE(BrResIsChild(p1, c));
    EXPECT_TRUE(BrResIsChild(p2, c));
    EXPECT_TRUE(BrResIsChild(p1, d));
    EXPECT_EQ(BrResRemove(d), d);
    EXPECT_FALSE(BrResIsChild(p1, d));
    EXPECT_EQ(BrResSizeTotal(p1), 4u);
    BrResFree(p1);
    BrResFree(p2); // frees c
    BrResFree(d);
    EXPECT_EQ(TestHeap::blocks.size(), live);
}

br_uint_32 count_children(void *res, void *arg)
{
    int *n = (int *)arg;
    return ++*n == 2 ? 99 : 0;
}

TEST_F(ResTest, ChildEnumStopsAtTheFirstNonZeroAnswer)
{
    void *p = BrResAllocate(nullptr, 4, BR_MEMORY_APPLICATION);
    for (int i = 0; i < 3; i++)
        BrResAllocate(p, 4, BR_MEMORY_APPLICATION);
    int n = 0;
    EXPECT_EQ(BrResChildEnum(p, count_children, &n), 99u);
    EXPECT_EQ(n, 2);
    BrResFree(p);
}

TEST_F(ResTest, CheckRefusesAFreedBlock)
{
    TestHeap::keep_freed = true; // the memory stays readable after the free
    void *r = BrResAllocate(nullptr, 16, BR_MEMORY_OBJECT);
    void *s = BrResAllocate(nullptr, 16, BR_MEMORY_APPLICATION);
    EXPECT_TRUE(BrResCheck(r));
    BrResFree(r);
    BrResFree(s);
    EXPECT_FALSE(BrResCheck(r));
    EXPECT_FALSE(BrResCheck(s));
}

TEST_F(ResTest, FailedAllocationAnswersNull)
{
    EXPECT_EQ(BrResAllocate(nullptr, (br_size_t)-10, BR_MEMORY_APPLICATION), nullptr);
    EXPECT_EQ(BrMemCalloc((br_size_t)1 << 40, (br_size_t)1 << 40, BR_MEMORY_APPLICATION), nullptr);
}

TEST(StdAllocatorTest, ReportsAFailedAllocation)
{
    DiagLog::clear();
    BrDiagHandlerSet(&DiagLog::handler);
    ASSERT_EQ(BrFwBegin(), (br_error)BRE_OK);
    void *m = BrMemAllocate((br_size_t)1 << 62, 7);
    EXPECT_EQ(m, nullptr);
    ASSERT_EQ(DiagLog::failures.size(), 1u);
    EXPECT_EQ(DiagLog::failures[0].rfind("Failure: BrStdlibAllocate: failed with size=", 0), 0u);
    EXPECT_NE(DiagLog::failures[0].find("type=7"), std::string::npos);

    char *s = BrMemStrDup("copy");
    EXPECT_STREQ(s, "copy");
    BrMemFree(s);
    EXPECT_EQ(BrMemInquire(0), 0u);
    BrFwEnd();
}

br_resource_class hooked = {0, "HOOKED", 201, nullptr, 0};
br_resource_class *find_hook(const char *pattern)
{
    return &hooked;
}

TEST_F(ResTest, ClassFindFallsBackToTheHook)
{
    EXPECT_STREQ(BrResClassFind("tok*")->identifier, "TOKEN_TEMPLATE"); // newest first
    EXPECT_STREQ(BrResClassFind("TOKEN")->identifier, "TOKEN");
    EXPECT_EQ(BrResClassFind("nothing"), nullptr);
    EXPECT_EQ(BrResClassCount("IMAGE*"), 4u);
    EXPECT_EQ(BrResClassFindHook(find_hook), nullptr);
    EXPECT_EQ(BrResClassFind("nothing"), &hooked);
    EXPECT_EQ(BrResClassFindHook(nullptr), find_hook);
    EXPECT_EQ(BrResClassFind("nothing"), nullptr);
}

} // namespace
