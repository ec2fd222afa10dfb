// Z-sort primitives and the bucket format. A primitive is a record in the caller's heap that
// starts with the link the order table chains it by; the rest is ours: what drawing it needs,
// screen vertices already lit and clipped, and the paint of its group (kept once per group).
#include "zsort.h"

#include "sr_raster.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>

namespace srdrv {

struct ZStyle {
    sr::Paint paint;
    bool smooth;
};

namespace {

constexpr br_uint_32 ZPRIM_MARK = 0x5a505231; // tells our records from anything else in a bucket

struct ZPrim {
    br_primitive link;
    br_uint_32 mark;
    sr::Primitive kind;
    const ZStyle *style;
    float flat[3];
    bool has_flat;
    sr::SVert v[3];
};

inline float least(float a, float b)
{
    return b < a ? b : a;
}

inline float most(float a, float b)
{
    return b > a ? b : a;
}

} // namespace

br_uint_16 bucket_of(const br_order_table &ot, sr::Primitive kind, const float *w)
{
    float d = w[0];
    if (kind == sr::Primitive::Line) {
        if (ot.type == BR_SORT_AVERAGE)
            d = (w[0] + w[1]) * 0.5f;
        else if (ot.type == BR_SORT_MIN)
            d = least(w[0], w[1]);
        else if (ot.type == BR_SORT_MAX)
            d = most(w[0], w[1]);
    } else if (kind == sr::Primitive::Triangle) {
        if (ot.type == BR_SORT_AVERAGE)
            d = (w[0] + w[1] + w[2]) * 0.33333334f;
        else if (ot.type == BR_SORT_MIN)
            d = least(least(w[0], w[1]), w[2]);
        else if (ot.type == BR_SORT_MAX)
            d = most(most(w[0], w[1]), w[2]);
    }
    float range = ot.max_z - ot.min_z;
    float scale = range > 0.001f ? (float)ot.size / range : 1000.0f;
    float at = scale * (d - ot.min_z);
    if (!(at > 0.0f)) // nearer than the range, or no depth at all
        return 0;
    if (at >= (float)ot.size)
        return (br_uint_16)(ot.size - 1);
    return (br_uint_16)at;
}

HeapSink::HeapSink(const sr::PartHidden &h)
    : ot_((br_order_table *)h.order_table), heap_((br_primitive_heap *)h.heap),
      insert_((br_primitive_cbfn *)h.insert_function), args_{h.insert_arg1, h.insert_arg2, h.insert_arg3}
{
}

void *HeapSink::take(size_t n, size_t align)
{
    uintptr_t start = (uintptr_t)heap_->start, end = start + heap_->size;
    uintptr_t at = ((uintptr_t)heap_->current + align - 1) & ~(uintptr_t)(align - 1);
    if (!heap_->start || at < start || at > end || end - at < n)
        return nullptr;
    heap_->current = (void *)(at + n);
    return (void *)at;
}

void HeapSink::insert(const sr::Setup &s, sr::Primitive kind, const sr::SVert *v, int n, const float *flat)
{
    if (!usable())
        return;
    if (!style_) {
        void *at = take(sizeof(ZStyle), alignof(ZStyle));
        if (!at)
            return;
        style_ = new (at) ZStyle{s.paint, s.smooth};
    }
    void *at = take(sizeof(ZPrim), alignof(ZPrim));
    if (!at)
        return;
    ZPrim *p = new (at) ZPrim{};
    p->mark = ZPRIM_MARK;
    p->kind = kind;
    p->style = style_;
    p->has_flat = flat != nullptr;
    if (flat)
        std::copy(flat, flat + 3, p->flat);
    std::copy(v, v + n, p->v);
    float w[3] = {v[0].w, v[n > 1 ? 1 : 0].w, v[n > 2 ? 2 : 0].w};
    br_uint_16 b = bucket_of(*ot_, kind, w);
    p->link.next = ot_->table[b];
    ot_->table[b] = &p->link;
    if (insert_)
        insert_(&p->link, (br_actor *)args_[0], (br_model *)args_[1], (br_material *)args_[2], ot_, w);
}

void HeapSink::point(const sr::Setup &s, const sr::SVert &a)
{
    insert(s, sr::Primitive::Point, &a, 1, nullptr);
}

void HeapSink::line(const sr::Setup &s, const sr::SVert &a, const sr::SVert &b)
{
    const sr::SVert v[2] = {a, b};
    insert(s, sr::Primitive::Line, v, 2, nullptr);
}

void HeapSink::triangle(const sr::Setup &s, const sr::SVert &a, const sr::SVert &b, const sr::SVert &c,
                        const float *flat)
{
    const sr::SVert v[3] = {a, b, c};
    insert(s, sr::Primitive::Triangle, v, 3, flat);
}

// Draws buckets count-1 down to 0 (far to near), each list newest first, with no depth test.
br_error buckets_render(br_geometry_v1_buckets *, br_renderer *renderer, void **buckets, br_int_32 count)
{
    Renderer *r = (Renderer *)renderer;
    if (!r || (!buckets && count > 0))
        return BRE_FAIL;
    sr::StateMachine &sm = *r->sm;
    sr::Target t;
    if (!colour_buffer((const br_pixelmap *)sm.cur.output.colour, t.colour, t.ctype))
        return BRE_FAIL;
    t.dtype = sr::DepthType::None;
    sr::Raster ras(t);
    ras.track = sm.cur.enable.bounds != 0;
    // Our records lie in the primitive heap; a caller's own may be no more than a link, so nothing
    // outside the heap is read past it.
    const br_primitive_heap *heap = (const br_primitive_heap *)sm.cur.hidden.heap;
    const uintptr_t lo = heap ? (uintptr_t)heap->start : 0, size = heap && heap->start ? heap->size : 0;
    auto ours = [&](const br_primitive *p) {
        uintptr_t at = (uintptr_t)p;
        return at >= lo && size >= sizeof(ZPrim) && at - lo <= size - sizeof(ZPrim) &&
               at % alignof(ZPrim) == 0 && ((const ZPrim *)p)->mark == ZPRIM_MARK;
    };
    const ZStyle *style = nullptr;
    for (br_int_32 i = count - 1; i >= 0; --i)
        for (const br_primitive *p = (const br_primitive *)buckets[i]; p; p = p->next) {
            const ZPrim *z = (const ZPrim *)p;
            if (!ours(p))
                continue;
            if (z->style != style) {
                style = z->style;
                ras.set_paint(style->paint);
            }
            if (z->kind == sr::Primitive::Point)
                ras.point(z->v[0]);
            else if (z->kind == sr::Primitive::Line)
                ras.line(z->v[0], z->v[1], true);
            else
                ras.triangle(z->v[0], z->v[1], z->v[2], !z->has_flat, z->flat);
        }
    if (ras.track) {
        sr::ScreenBounds b;
        std::memcpy(b.min, sm.cur.bounds.min, sizeof b.min);
        std::memcpy(b.max, sm.cur.bounds.max, sizeof b.max);
        ras.grow(b);
        std::memcpy(sm.cur.bounds.min, b.min, sizeof b.min);
        std::memcpy(sm.cur.bounds.max, b.max, sizeof b.max);
    }
    return BRE_OK;
}

} // namespace srdrv
