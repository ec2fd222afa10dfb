#include <stdint.h>
#include <string.h>

#include "foundation_support.h"

namespace {

TEST(NamePattern, MatchesByTheTable)
{
    struct {
        const char *pattern;
        const char *name;
        bool match;
    } cases[] = {
        {"*", "", true},         {"*", "anything", true},    {"X?Z", "xyz", true},     {"X?Z", "xy", false},
        {"soft*/x", "softrend", true}, {"soft*/x", "soft", true}, {"soft*/x", "sof", false}, {"", "", true},
        {"", "a", false},        {"a*b*c", "aXXbYc", true},  {"a*b*c", "aXXbY", false}, {"ABC", "abc", true},
        {"abc", "ab", false},    {"ab", "abc", false},       {"?", "", false},          {"[x]", "[X]", true},
        {"*.pix", "Wall.PIX", true}, {nullptr, "x", true},   {nullptr, nullptr, true},  {"*", nullptr, false},
    };
    for (auto &c : cases)
        EXPECT_EQ(BrNamePatternMatch(c.pattern, c.name) != 0, c.match)
            << (c.pattern ? c.pattern : "(null)") << " vs " << (c.name ? c.name : "(null)");
}

struct Node {
    br_node node;
    int id;
};

std::vector<int> ids(br_list *l)
{
    std::vector<int> out;
    for (br_node *n = l->head; n->next != nullptr; n = n->next)
        out.push_back(((Node *)n)->id);
    return out;
}

TEST(Lists, DoublyLinkedListKeepsItsHeadConsistent)
{
    br_list l;
    Node a{{}, 1}, b{{}, 2}, c{{}, 3}, d{{}, 4};
    BrNewList(&l);
    EXPECT_TRUE(BR_EMPTYLIST(&l));
    EXPECT_EQ(BrRemHead(&l), nullptr);
    EXPECT_EQ(BrRemTail(&l), nullptr);

    BrAddTail(&l, &a.node);
    EXPECT_EQ(BrRemHead(&l), &a.node);
    EXPECT_TRUE(BR_EMPTYLIST(&l));
    BrAddTail(&l, &a.node); // works again on the emptied list
    BrAddHead(&l, &b.node);
    BrAddTail(&l, &c.node);
    BrInsert(&l, &b.node, &d.node);
    EXPECT_EQ(ids(&l), (std::vector<int>{2, 4, 1, 3}));
    EXPECT_TRUE(BR_ENDLIST(c.node.next));
    BrRemove(&b.node); // the first node: its neighbour links back to the head
    BrRemove(&c.node); // the last node
    EXPECT_EQ(ids(&l), (std::vector<int>{4, 1}));
    EXPECT_EQ(BrRemTail(&l), &a.node);
    EXPECT_EQ(BrRemTail(&l), &d.node);
    EXPECT_TRUE(BR_EMPTYLIST(&l));
}

struct SNode {
    br_simple_node node;
    int id;
};

TEST(Lists, SimpleListUnlinksAndClearsNodes)
{
    br_simple_list l;
    SNode a{{}, 1}, b{{}, 2}, c{{}, 3};
    BrSimpleNewList(&l);
    EXPECT_EQ(BrSimpleRemHead(&l), nullptr);
    BrSimpleAddHead(&l, &a.node);
    BrSimpleAddHead(&l, &b.node);
    BrSimpleInsert(&l, &b.node, &c.node);
    std::vector<int> out;
    for (br_simple_node *n = l.head; n; n = n->next)
        out.push_back(((SNode *)n)->id);
    EXPECT_EQ(out, (std::vector<int>{2, 3, 1}));
    EXPECT_EQ(BrSimpleRemove(&c.node), &c.node);
    EXPECT_EQ(c.node.next, nullptr);
    EXPECT_EQ(c.node.prev, nullptr);
    EXPECT_EQ(b.node.next, &a.node);
    EXPECT_EQ(a.node.prev, &b.node.next);
    EXPECT_EQ(BrSimpleRemHead(&l), &b.node);
    EXPECT_EQ(BrSimpleRemHead(&l), &a.node);
    EXPECT_EQ(l.head, nullptr);
}

struct Record {
    void *reserved;
    const char *identifier;
};

br_uint_32 collect(void *item, void *arg)
{
    ((std::vector<std::string> *)arg)->push_back(((Record *)item)->identifier);
    return 0;
}

br_uint_32 stop_at_beta(void *item, void *arg)
{
    return strcmp(((Record *)item)->identifier, "beta") == 0 ? 7 : 0;
}

Record fallback = {nullptr, "fallback"};
void *find_failed(const char *pattern)
{
    return &fallback;
}

TEST_F(FwTest, RegistryFindsNewestFirstByPattern)
{
    br_registry reg;
    reg.find_failed_hook = nullptr;
    BrRegistryNew(&reg);
    Record alpha1{nullptr, "alpha"}, beta{nullptr, "beta"}, gamma{nullptr, "Gamma"}, alpha2{nullptr, "ALPHA"};
    void *items[] = {&alpha1, &beta, &gamma};
    EXPECT_EQ(BrRegistryAddMany(&reg, items, 3), 3);
    EXPECT_EQ(BrRegistryAdd(&reg, &alpha2), &alpha2);

    EXPECT_EQ(BrRegistryFind(&reg, "alpha"), &alpha2); // added last, found first
    EXPECT_EQ(BrRegistryFind(&reg, "g*"), &gamma);
    EXPECT_EQ(BrRegistryFind(&reg, "?eta"), &beta);
    EXPECT_EQ(BrRegistryFind(&reg, "delta"), nullptr);
    EXPECT_EQ(BrRegistryCount(&reg, nullptr), 4);
    EXPECT_EQ(BrRegistryCount(&reg, "*a"), 4);
    EXPECT_EQ(BrRegistryCount(&reg, "al*"), 2);

    void *found[2];
    EXPECT_EQ(BrRegistryFindMany(&reg, "*", found, 2), 2);
    EXPECT_EQ(found[0], &alpha2);
    EXPECT_EQ(found[1], &gamma);

    std::vector<std::string> order;
    EXPECT_EQ(BrRegistryEnum(&reg, nullptr, collect, &order), 0);
    EXPECT_EQ(order, (std::vector<std::string>{"ALPHA", "Gamma", "beta", "alpha"}));
    EXPECT_EQ(BrRegistryEnum(&reg, "*", stop_at_beta, nullptr), 7);

    EXPECT_EQ(BrRegistryRemove(&reg, &alpha2), &alpha2);
    EXPECT_EQ(BrRegistryRemove(&reg, &alpha2), nullptr);
    EXPECT_EQ(BrRegistryFind(&reg, "alpha"), &alpha1);
    void *gone[] = {&beta, &alpha2};
    EXPECT_EQ(BrRegistryRemoveMany(&reg, gone, 2), 1);
    EXPECT_EQ(BrRegistryCount(&reg, nullptr), 2);

    reg.find_failed_hook = find_failed;
    EXPECT_EQ(BrRegistryFind(&reg, "delta"), &fallback);

    BrRegistryClear(&reg);
    EXPECT_EQ(BrRegistryCount(&reg, nullptr), 0);
    EXPECT_EQ(BrRegistryCount(&reg, "*"), 0);
    EXPECT_EQ(BrRegistryNewStatic(&reg, nullptr, 0), nullptr);
}

TEST_F(FwTest, ScratchIsNeverTakenFromItsHolder)
{
    char *a = (char *)BrScratchAllocate(100);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ((uintptr_t)a % 16, 0u);
    EXPECT_EQ(BrScratchInquire(), 100u);
    memset(a, 'x', 100);

    // In use: reported, and the second caller gets a block of its own while the holder keeps its
    // block intact; freeing the temporary leaves the kept block in use.
    char *t = (char *)BrScratchAllocate(4000);
    ASSERT_NE(t, nullptr);
    EXPECT_NE(t, a);
    EXPECT_EQ((uintptr_t)t % 16, 0u);
    memset(t, 'y', 4000);
    EXPECT_EQ(BrScratchFlush(), 0u);
    ASSERT_EQ(DiagLog::failures.size(), 2u);
    EXPECT_EQ(DiagLog::failures[0], "Failure: Scratchpad not available");
    EXPECT_EQ(DiagLog::failures[1], "Failure: Scratchpad cannot be flushed while in use");
    EXPECT_EQ(BrScratchInquire(), 100u);
    EXPECT_EQ(a[99], 'x');
    BrScratchFree(t);
    char *t2 = (char *)BrScratchAllocate(10);
    EXPECT_NE(t2, a) << "the kept block is still held";
    BrScratchFree(t2);
    EXPECT_EQ(a[99], 'x');

    // A block it never gave out (or one given back already) is reported and changes nothing.
    int stray;
    DiagLog::clear();
    BrScratchFree(&stray);
    BrScratchFree(t);
    ASSERT_EQ(DiagLog::failures.size(), 2u);
    EXPECT_EQ(DiagLog::failures[0].rfind("Failure: Scratchpad block ", 0), 0u);
    BrScratchFree(a);

    EXPECT_EQ(BrScratchAllocate(50), a); // kept for the next caller
    BrScratchFree(a);
    char *b = (char *)BrScratchAllocate(4000);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(BrScratchInquire(), 4000u);
    b[3999] = 1;
    BrScratchFree(b);
    EXPECT_EQ(BrScratchFlush(), 0u);
    EXPECT_EQ(BrScratchInquire(), 0u);
    EXPECT_EQ(BrScratchStringSize(), 512u);
    EXPECT_NE(BrScratchString(), nullptr);
}

int compare_ints(const void *a, const void *b)
{
    return *(const int *)a - *(const int *)b;
}

TEST(Sort, SortsInPlace)
{
    int v[] = {5, -1, 3, 3, 0};
    BrQsort(v, 5, sizeof(int), compare_ints);
    EXPECT_EQ(std::vector<int>(v, v + 5), (std::vector<int>{-1, 0, 3, 3, 5}));
}

} // namespace
