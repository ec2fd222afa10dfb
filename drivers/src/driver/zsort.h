// The z-sort side of the renderer: finished primitives copied into the caller's primitive heap and
// put in the buckets of an order table, and the bucket format that draws them far to near.
#ifndef SOFTREND_DRIVER_ZSORT_H
#define SOFTREND_DRIVER_ZSORT_H

#include "objects.h"

#include "brondel/brscene.h"

namespace srdrv {

struct ZStyle;

// Takes the primitives of one group of a model. Primitives that no longer fit in the heap are
// dropped; the heap's current position moves past every primitive kept.
class HeapSink final : public sr::Sink {
public:
    // From the hidden surface part: order table, heap, insert function and its three arguments.
    explicit HeapSink(const sr::PartHidden &h);
    bool usable() const { return ot_ && heap_ && ot_->table && ot_->size; }

    void point(const sr::Setup &s, const sr::SVert &a) override;
    void line(const sr::Setup &s, const sr::SVert &a, const sr::SVert &b) override;
    void triangle(const sr::Setup &s, const sr::SVert &a, const sr::SVert &b, const sr::SVert &c,
                  const float *flat) override;

private:
    void *take(size_t n, size_t align);
    void insert(const sr::Setup &s, sr::Primitive kind, const sr::SVert *v, int n, const float *flat);

    br_order_table *ot_;
    br_primitive_heap *heap_;
    br_primitive_cbfn *insert_;
    void *args_[3];
    const ZStyle *style_ = nullptr; // made at the group's first primitive
};

// The bucket a primitive goes to: its depth (from the w of its vertices, taken as the table's type
// says) placed in the table's range; nearer than the range is bucket 0, beyond it the last one.
br_uint_16 bucket_of(const br_order_table &ot, sr::Primitive kind, const float *w);

// The bucket format's render: buckets count-1 down to 0 into the current colour buffer.
br_error buckets_render(br_geometry_v1_buckets *self, br_renderer *renderer, void **buckets, br_int_32 count);

} // namespace srdrv

#endif
