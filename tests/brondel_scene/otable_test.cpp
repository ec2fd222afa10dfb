// Order tables and the bucket of a primitive.
#include <gtest/gtest.h>

#include <math.h>

#include <brondel/brscene.h>

#include "db_support.h"

namespace {

using dbtest::Db;
using OrderTables = Db;

TEST(BucketSelect, DepthByPrimitiveAndSortType)
{
    const float z[3] = {2.0f, 6.0f, 4.0f};
    struct Case {
        br_token type;
        br_uint_16 sort;
        br_uint_16 bucket; // 10 buckets over 0..10
    } cases[] = {
        {BRT_POINT, BR_SORT_MAX, 2},
        {BRT_LINE, BR_SORT_AVERAGE, 4},   {BRT_LINE, BR_SORT_MIN, 2},  {BRT_LINE, BR_SORT_MAX, 6},
        {BRT_LINE, BR_SORT_FIRST_VERTEX, 2},
        {BRT_TRIANGLE, BR_SORT_AVERAGE, 4}, {BRT_TRIANGLE, BR_SORT_MIN, 2}, {BRT_TRIANGLE, BR_SORT_MAX, 6},
        {BRT_TRIANGLE, 7, 2},
    };
    for (const Case &c : cases)
        EXPECT_EQ(BrZsPrimitiveBucketSelect(z, c.type, 0.0f, 10.0f, 10, c.sort), c.bucket)
            << c.type << " " << c.sort;
}

TEST(BucketSelect, OutsideTheRangeGoesToTheEndBuckets)
{
    const float near[3] = {0.5f, 0.5f, 0.5f}, far[3] = {50.0f, 50.0f, 50.0f}, nan[3] = {NAN, NAN, NAN};
    EXPECT_EQ(BrZsPrimitiveBucketSelect(near, BRT_TRIANGLE, 1.0f, 10.0f, 256, BR_SORT_AVERAGE), 0);
    EXPECT_EQ(BrZsPrimitiveBucketSelect(far, BRT_TRIANGLE, 1.0f, 10.0f, 256, BR_SORT_AVERAGE), 255);
    EXPECT_EQ(BrZsPrimitiveBucketSelect(nan, BRT_TRIANGLE, 1.0f, 10.0f, 256, BR_SORT_AVERAGE), 0);
    // An empty range counts 1000 buckets per unit.
    const float z[3] = {3.001f, 0, 0};
    EXPECT_EQ(BrZsPrimitiveBucketSelect(z, BRT_POINT, 3.0f, 3.0f, 256, 0), 0);
    const float z2[3] = {3.1f, 0, 0};
    EXPECT_EQ(BrZsPrimitiveBucketSelect(z2, BRT_POINT, 3.0f, 3.0f, 256, 0), 99);
}

TEST_F(OrderTables, AllocateInsertClearFree)
{
    EXPECT_EQ(BrOrderTableAllocate(0, 0, BR_SORT_AVERAGE), nullptr);
    EXPECT_TRUE(dbtest::has_failure("order table"));

    br_order_table *ot = BrOrderTableAllocate(4, BR_ORDER_TABLE_SORT_FAR, BR_SORT_MAX);
    ASSERT_NE(ot, nullptr);
    EXPECT_EQ(ot->size, 4);
    EXPECT_EQ(ot->type, BR_SORT_MAX);
    EXPECT_EQ(ot->visits, 0);
    br_primitive p[3];
    BrOrderTablePrimitiveInsert(ot, &p[0], 1);
    BrOrderTablePrimitiveInsert(ot, &p[1], 1);
    BrOrderTablePrimitiveInsert(ot, &p[2], 9); // past the end: the last bucket
    EXPECT_EQ(ot->table[1], &p[1]); // newest first
    EXPECT_EQ(p[1].next, &p[0]);
    EXPECT_EQ(p[0].next, nullptr);
    EXPECT_EQ(ot->table[3], &p[2]);
    EXPECT_EQ(BrOrderTableClear(ot), ot);
    for (int i = 0; i < 4; i++)
        EXPECT_EQ(ot->table[i], nullptr);

    ot->min_z = 2;
    ot->max_z = 4;
    BrZsOrderTableScaleSet(ot);
    EXPECT_EQ(ot->scale, 2.0f);
    EXPECT_EQ(ot->sort_z, 4.0f);
    ot->flags = BR_ORDER_TABLE_SORT_NEAR | BR_ORDER_TABLE_SORT_FAR;
    BrZsOrderTableScaleSet(ot);
    EXPECT_EQ(ot->sort_z, 2.0f);
    ot->max_z = 2;
    BrZsOrderTableScaleSet(ot);
    EXPECT_EQ(ot->scale, 1000.0f);

    br_actor *a = BrActorAllocate(BR_ACTOR_NONE, nullptr);
    EXPECT_EQ(BrZsActorOrderTableSet(a, ot), ot);
    EXPECT_EQ(BrZsActorOrderTableGet(a), ot);
    BrActorFree(a);
    BrOrderTableFree(ot);
}

} // namespace
