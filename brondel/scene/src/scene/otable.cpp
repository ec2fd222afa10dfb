// Order tables: the buckets of the z-sort render and the choice of a primitive's bucket.
#include <string.h>

#include "scene.h"
#include <brondel/brscene.h>

namespace {

br_scalar buckets_per_unit(br_uint_16 size, br_scalar min_z, br_scalar max_z)
{
    return max_z - min_z > 0.001f ? (br_scalar)size / (max_z - min_z) : 1000.0f;
}

} // namespace

br_order_table *BrOrderTableAllocate(br_uint_16 size, br_uint_32 flags, br_uint_16 type)
{
    // No bucket to put a primitive in: every insert would land outside the table.
    if (size == 0) {
        BrFailure("order table of size 0");
        return nullptr;
    }
    br_order_table *ot = (br_order_table *)BrResAllocate(v1db.res, sizeof(br_order_table), BR_MEMORY_ORDER_TABLE);
    if (ot == nullptr)
        return nullptr;
    ot->table = (br_primitive **)BrResAllocate(ot, sizeof(br_primitive *) * size, BR_MEMORY_ORDER_TABLE);
    if (ot->table == nullptr) {
        BrResFree(ot);
        return nullptr;
    }
    ot->size = size;
    ot->flags = flags;
    ot->type = type;
    return ot;
}

void BrOrderTableFree(br_order_table *ot)
{
    if (ot == nullptr)
        return;
    // The scene-wide table is let go with it rather than drawn from freed memory.
    if (v1db.primary_order_table == ot)
        v1db.primary_order_table = nullptr;
    BrResFree(ot);
}

br_order_table *BrOrderTableClear(br_order_table *ot)
{
    memset(ot->table, 0, sizeof(br_primitive *) * ot->size);
    return ot;
}

void BrOrderTablePrimitiveInsert(br_order_table *ot, br_primitive *p, br_uint_16 bucket)
{
    if (bucket >= ot->size)
        bucket = (br_uint_16)(ot->size - 1);
    p->next = ot->table[bucket];
    ot->table[bucket] = p;
}

br_uint_16 BrZsPrimitiveBucketSelect(const br_scalar *z, br_token type, br_scalar min_z, br_scalar max_z,
                                     br_uint_16 size, br_uint_16 sort_type)
{
    if (size == 0)
        return 0;
    br_scalar d = z[0];
    if (type == BRT_LINE) {
        switch (sort_type) {
        case BR_SORT_AVERAGE:
            d = (z[0] + z[1]) * 0.5f;
            break;
        case BR_SORT_MIN:
            d = z[1] < z[0] ? z[1] : z[0];
            break;
        case BR_SORT_MAX:
            d = z[1] > z[0] ? z[1] : z[0];
            break;
        }
    } else if (type == BRT_TRIANGLE) {
        switch (sort_type) {
        case BR_SORT_AVERAGE:
            d = (z[0] + z[1] + z[2]) * 0.33333334f;
            break;
        case BR_SORT_MIN:
            d = z[0];
            if (z[1] < d)
                d = z[1];
            if (z[2] < d)
                d = z[2];
            break;
        case BR_SORT_MAX:
            d = z[0];
            if (z[1] > d)
                d = z[1];
            if (z[2] > d)
                d = z[2];
            break;
        }
    }
    br_scalar scale = buckets_per_unit(size, min_z, max_z);
    br_scalar offset = d - min_z;
    // Not a number or nearer than the table: the nearest bucket.
    if (!(offset > 0.0f))
        return 0;
    br_scalar index = scale * offset;
    if (!(index < (br_scalar)size))
        return (br_uint_16)(size - 1);
    return (br_uint_16)index;
}

br_order_table *BrZsActorOrderTableSet(br_actor *actor, br_order_table *ot)
{
    actor->render_data = ot;
    return ot;
}

br_order_table *BrZsActorOrderTableGet(br_actor *actor)
{
    return actor->render_data;
}

void BrZsOrderTableScaleSet(br_order_table *ot)
{
    ot->scale = buckets_per_unit(ot->size, ot->min_z, ot->max_z);
    if (ot->flags & BR_ORDER_TABLE_SORT_NEAR)
        ot->sort_z = ot->min_z;
    else if (ot->flags & BR_ORDER_TABLE_SORT_FAR)
        ot->sort_z = ot->max_z;
}
