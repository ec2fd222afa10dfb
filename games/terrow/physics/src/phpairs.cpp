// Buckets of the balls for the pair loops of the step.
#include "phpairs.h"
#include "phutil.h"

#include <float.h>
#include <math.h>
#include <xmmintrin.h>

#include <algorithm>

namespace {

// Buckets are counted in 32 bits and kept small enough to clear every step.
const int32_t k_max_buckets = 1 << 20;

}  // namespace

void PhPairGrid::Build(const std::vector<PhBall *> *list)
{
    const PhWorld &w = PhysWorld;
    loneLive_ = false;  // none is known lone until all are re-bucketed
    // The same balls as at the last build keep their numbers: then only the balls that changed
    // bucket move, and no bucket need be cleared.
    bool same = !all_;
    size_t count = 0;
    float maxRadius = 0;
    bool sound = true;
    // The buckets cover the field and, where that stays small, the balls that have left it.
    float lo[2] = {0, 0}, hi[2] = {w.sizeXf, w.sizeZf};
    float wide[2][2] = {{lo[0], hi[0]}, {lo[1], hi[1]}};
    // The list walked once: the rest reads it from the array.
    static std::vector<PhBall *> walked;
    if (list == nullptr) {
        walked.clear();
        for (PhBall *b = w.balls; b != nullptr; b = b->nextBall)
            walked.push_back(b);
        list = &walked;
    }
    same &= list->size() == balls_.size();
    // Balls removed from the list (the rest in the same order) leave the buckets, and the rest
    // are numbered anew in them: then the build goes on as with the same balls.
    if (!same && !all_ && list->size() < balls_.size() && Drop(*list))
        same = true;
    // While the balls are the same, each is re-bucketed as it is read: the buckets most often stay
    // as they were, and else they are all made anew below. Most steps every ball is on the field
    // with a sound radius: those are read first, up to the first that is not (the walk below goes on
    // from there).
    if (same) {
        PhBall *const *in = list->data(), *const *had = balls_.data();
        const size_t n = list->size();
        for (; count < n; count++) {
            PhBall *b = in[count];
            const float r = b->radius, x = b->position.x, z = b->position.z;
            if (b != had[count] || !(r >= 0 && r <= FLT_MAX) || !(x >= lo[0] && x <= hi[0] && z >= lo[1] && z <= hi[1]))
                break;
            maxRadius = std::max(maxRadius, r);
            MovedTo<false>(int32_t(count), x, b->position.Valid() ? b->position.y : NAN, z, r);
        }
    }
    while (count < list->size()) {
        PhBall *b = (*list)[count];
        if (same && balls_[count] != b)
            same = false;
        if (same)
            Moved(int32_t(count));
        count++;
        // A radius not a number or infinite leaves no sound width (the largest is kept only while
        // all are sound, and read only then).
        const float r = b->radius;
        sound &= r >= 0 && r <= FLT_MAX;
        maxRadius = std::max(maxRadius, r);
        // Only a place off the field can widen the span.
        const float c[2] = {b->position.x, b->position.z};
        for (int a = 0; a < 2; a++)
            if (!(c[a] >= lo[a] && c[a] <= hi[a]) && isfinite(c[a])) {
                wide[a][0] = std::min(wide[a][0], c[a]);
                wide[a][1] = std::max(wide[a][1], c[a]);
            }
    }
    same &= count == balls_.size();
    if (!same) {
        // Only the buckets the old balls used hold anything.
        if (!all_) {
            for (int32_t k : key_)
                if (k >= 0)
                    head_[size_t(k)] = -1;
            head_.back() = -1;
            std::fill(used_.begin(), used_.end(), 0);
        }
        balls_.assign(list->begin(), list->end());
    }
    const bool wasAll = all_;
    all_ = true;
    if (!sound || !Phys_FastPaths())
        return;
    // Balls touch within 0.9 (rA + rB); a width with room to spare keeps float rounding of the
    // distance and of the bucket division from ever reaching two buckets over.
    const float width = 1.8f * maxRadius * 1.01f + 0.01f;
    float origin[2], counts[2];
    auto span = [&](const float l[2], const float h[2], float cap) {
        for (int a = 0; a < 2; a++) {
            origin[a] = floorf(l[a] / width) - 1;
            counts[a] = floorf(h[a] / width) - origin[a] + 2;
        }
        return counts[0] * counts[1] <= cap;
    };
    // Balls far out would make a large grid to clear every step: then they go to the outside list.
    if (!span(lo, hi, float(k_max_buckets)))
        return;
    const float wl[2] = {wide[0][0], wide[1][0]}, wh[2] = {wide[0][1], wide[1][1]};
    if (!span(wl, wh, 2 * counts[0] * counts[1] + 1024))
        span(lo, hi, float(k_max_buckets));
    if (same && !wasAll && width == width_ && origin[0] == origin_[0] && origin[1] == origin_[1] &&
        counts[0] == count_[0] && counts[1] == count_[1]) {
        all_ = false;  // each ball re-bucketed above
        LoneUnknown();
        return;
    }
    if (same && !wasAll) {
        for (int32_t k : key_)
            if (k >= 0)
                head_[size_t(k)] = -1;
        head_.back() = -1;
        std::fill(used_.begin(), used_.end(), 0);
    }
    width_ = width;
    perWidth_ = 1.0f / width;
    origin_[0] = origin[0], origin_[1] = origin[1];
    count_[0] = counts[0], count_[1] = counts[1];
    const int32_t nx = static_cast<int32_t>(count_[0]), nz = static_cast<int32_t>(count_[1]);
    const size_t buckets = (size_t(nx) + 2) * (size_t(nz) + 2) + 1;
    if (wasAll || nx != nx_ || nz != nz_ || head_.size() != buckets)
        head_.assign(buckets, -1);  // else every bucket was emptied above
    nx_ = nx;
    nz_ = nz;
    for (int32_t k = 0; k < 9; k++)
        near_[k] = k / 3 * (nx + 2) + k % 3;
    if (nx + 2 <= 64)
        used_.assign(size_t(nz) + 2, 0);
    else
        used_.clear();
    rc_.assign(balls_.size(), 0);
    key_.assign(balls_.size(), -1);
    at_.assign(4 * balls_.size(), 0.0f);
    cell_.assign(2 * balls_.size(), 0.0f);
    next_.assign(balls_.size(), -1);
    for (int32_t i = Count() - 1; i >= 0; i--)
        Insert(i);
    cache_.assign(balls_.size(), Found{0, 0, {}});
    all_ = false;
    LoneUnknown();
}

void PhPairGrid::FindLone(const std::vector<int32_t> &numbers)
{
    if (all_)
        return;
    uint8_t *const lone = lone_.data();
    const float *const at = at_.data();
    const int32_t *const key = key_.data();
    Found *const cache = cache_.data();
    // From the list kept for the ball: none for one outside the buckets or in a crowd.
    for (const int32_t i : numbers) {
        const float *me = at + 4 * i;
        bool alone = key[i] >= 0 && fabsf(me[1]) <= FLT_MAX;
        if (alone) {
            Found &c = cache[i];
            if (c.gen != gen_)
                Keep(i);
            alone = c.count >= 0;
            for (int32_t k = 0; alone && k < c.count; k++)
                alone = !Close(me, at + 4 * c.near[k]);
        }
        lone[i] = alone;
    }
}

void PhPairGrid::Stirred(int32_t i)
{
    const float *me = At(i);
    bool alone = key_[size_t(i)] >= 0 && fabsf(me[1]) <= FLT_MAX;
    Walk(i, [&](int32_t j) {
        if (Close(me, At(j))) {
            lone_[size_t(j)] = 0;
            alone = false;
        }
        return false;
    });
    lone_[size_t(i)] = alone;
}

bool PhPairGrid::Drop(const std::vector<PhBall *> &list)
{
    // The new number of each ball (-1 for one dropped), when the list keeps the order.
    const size_t n = balls_.size(), m = list.size();
    std::vector<int32_t> &to = renumber_;
    to.assign(n, -1);
    size_t kept = 0;
    for (size_t i = 0; i < n && kept < m; i++)
        if (balls_[i] == list[kept])
            to[i] = int32_t(kept++);
    if (kept != m)
        return false;
    // A dropped ball leaves its bucket and what is kept for the balls in the nine around it (for
    // one outside the buckets, every ball's). Its record is not read: it may be gone.
    const int32_t stride = nx_ + 2;
    for (size_t i = 0; i < n; i++) {
        if (to[i] >= 0)
            continue;
        const int32_t key = key_[i];
        Remove(int32_t(i));
        if (key < 0) {
            Renew();
            continue;
        }
        const int32_t *head = head_.data() + size_t(key) - size_t(stride) - 1;
        for (int32_t t = 0; t < 9; t++)
            for (int32_t j = head[near_[t]]; j != -1; j = next_[size_t(j)]) {
                Found &c = cache_[size_t(j)];
                if (c.gen != gen_)
                    continue;
                int32_t k = 0;
                while (k < c.count && c.near[k] != int32_t(i))
                    k++;
                if (k < c.count)
                    c.near[k] = c.near[--c.count];
                else
                    c.gen = 0;
            }
    }
    // The rest move down to their new numbers (never above the old), the links with them; the
    // first ball of a bucket is renumbered there as it is met.
    for (size_t i = 0; i < n; i++) {
        const int32_t t = to[i];
        if (t < 0)
            continue;
        const int32_t key = key_[i];
        int32_t &first = head_[key >= 0 ? size_t(key) : head_.size() - 1];
        if (first == int32_t(i))
            first = t;
        key_[size_t(t)] = key;
        if (!rc_.empty())
            rc_[size_t(t)] = rc_[i];
        for (int a = 0; a < 4; a++)
            at_[4 * size_t(t) + size_t(a)] = at_[4 * i + size_t(a)];
        cell_[2 * size_t(t)] = cell_[2 * i], cell_[2 * size_t(t) + 1] = cell_[2 * i + 1];
        next_[size_t(t)] = next_[i] >= 0 ? to[size_t(next_[i])] : -1;
        // A list not current is found anew before it is read, and may name a ball gone: left as
        // it is, not read here.
        Found c = cache_[i];
        for (int32_t k = 0; c.gen == gen_ && k < c.count; k++)
            c.near[k] = to[size_t(c.near[k])];
        cache_[size_t(t)] = c;
    }
    key_.resize(m);
    if (!rc_.empty())
        rc_.resize(m);
    at_.resize(4 * m);
    cell_.resize(2 * m);
    next_.resize(m);
    cache_.resize(m);
    balls_.assign(list.begin(), list.end());
    return true;
}

bool PhPairGrid::PlacesWithin(float *largest) const
{
    if (all_)
        return false;
    // A place at a time, its four floats at once: x, y and z against the bound (false for one not
    // a number), the radius against infinity (as a radius is sound with buckets).
    const __m128 sign = _mm_set1_ps(-0.0f), bound = _mm_setr_ps(k_bound, k_bound, k_bound, INFINITY);
    __m128 r = _mm_setzero_ps();
    for (size_t i = 0; i < at_.size(); i += 4) {
        const __m128 at = _mm_loadu_ps(&at_[i]);
        if (_mm_movemask_ps(_mm_cmplt_ps(_mm_andnot_ps(sign, at), bound)) != 15)
            return false;
        r = _mm_max_ps(r, at);
    }
    alignas(16) float out[4];
    _mm_store_ps(out, r);
    *largest = out[3];
    return true;
}

void PhPairGrid::Keep(int32_t i)
{
    Found &c = cache_[size_t(i)];
    int32_t n = 0;
    Walk(i, [&](int32_t j) {
        if (n < k_kept)
            c.near[n] = j;
        n++;
        return false;
    });
    c.gen = gen_;
    c.count = n <= k_kept ? n : -1;
}

void PhPairGrid::Renew()
{
    if (++gen_ == 0) {  // a kept list never reads as current after a wrap
        for (Found &c : cache_)
            c.gen = 0;
        gen_ = 1;
    }
}

int32_t PhPairGrid::KeyOf(const FV3 &p) const
{
    // By the reciprocal: a hair off the quotient at most, far inside the room the width has to spare.
    const float kx = phys_detail::floor_of(p.x * perWidth_) - origin_[0], kz = phys_detail::floor_of(p.z * perWidth_) - origin_[1];
    if (!(kx >= 0 && kx < float(nx_) && kz >= 0 && kz < float(nz_)))
        return -1;  // outside (or not a number)
    return (static_cast<int32_t>(kz) + 1) * (nx_ + 2) + static_cast<int32_t>(kx) + 1;
}

void PhPairGrid::Insert(int32_t i)
{
    const PhBall &b = *balls_[size_t(i)];
    const FV3 &p = b.position;
    const int32_t k = KeyOf(p);
    key_[size_t(i)] = k;
    cell_[2 * size_t(i)] = phys_detail::floor_of(p.x * perWidth_);
    cell_[2 * size_t(i) + 1] = phys_detail::floor_of(p.z * perWidth_);
    float *at = &at_[4 * size_t(i)];
    at[0] = p.x;
    at[1] = p.Valid() ? p.y : NAN;
    at[2] = p.z;
    at[3] = b.radius;
    int32_t &head = head_[k >= 0 ? size_t(k) : head_.size() - 1];
    next_[size_t(i)] = head;
    head = i;
    if (k >= 0 && !used_.empty()) {
        const uint32_t stride = uint32_t(nx_) + 2, row = uint32_t(k) / stride, column = uint32_t(k) % stride;
        rc_[size_t(i)] = row << 6 | column;
        used_[row] |= uint64_t(1) << column;
    }
}

void PhPairGrid::Remove(int32_t i)
{
    const int32_t k = key_[size_t(i)];
    int32_t *head = &head_[k >= 0 ? size_t(k) : head_.size() - 1];
    for (int32_t *p = head; *p != -1; p = &next_[size_t(*p)])
        if (*p == i) {
            *p = next_[size_t(i)];
            break;
        }
    if (k >= 0 && *head == -1 && !used_.empty()) {
        const uint32_t rc = rc_[size_t(i)];
        used_[rc >> 6] &= ~(uint64_t(1) << (rc & 63));
    }
}

void PhPairGrid::Moved(int32_t i)
{
    if (all_)
        return;
    const PhBall &b = *balls_[size_t(i)];
    const FV3 &p = b.position;
    MovedTo(i, p.x, p.Valid() ? p.y : NAN, p.z, b.radius);
}

void PhPairGrid::Rebucket(int32_t i)
{
    const FV3 &p = balls_[size_t(i)]->position;
    float *at = &at_[4 * size_t(i)];
    if (key_[size_t(i)] < 0 && KeyOf(p) < 0) {
        at[0] = p.x;  // still outside
        at[2] = p.z;
        return;
    }
    const int32_t was = key_[size_t(i)];
    Remove(i);
    Insert(i);
    const int32_t now = key_[size_t(i)];
    if (was < 0 || now < 0) {
        Renew();  // the outside list is in every ball's
        return;
    }
    Mend(i, was, now);
}

void PhPairGrid::Mend(int32_t i, int32_t was, int32_t now)
{
    // Only the balls around either bucket see i come or go: those whose nine buckets take in one
    // bucket and not the other. What is kept for them is mended (a list past its room is dropped,
    // as is a crowd's); i's own is found anew, in the same walk of the buckets around its new one.
    Found &own = cache_[size_t(i)];
    int32_t found = 0;
    const int32_t stride = nx_ + 2;
    // Whether ball j's nine buckets take in bucket k (row and column from the packed ones where
    // they are kept).
    const bool packed = !used_.empty();
    const int32_t wasRow = was / stride, wasColumn = was % stride, nowRow = now / stride, nowColumn = now % stride;
    auto within = [&](int32_t j, int32_t row, int32_t column) {
        const int32_t kj = key_[size_t(j)];
        const int32_t rj = packed ? int32_t(rc_[size_t(j)] >> 6) : kj / stride, cj = packed ? int32_t(rc_[size_t(j)] & 63) : kj % stride;
        return rj - row >= -1 && rj - row <= 1 && cj - column >= -1 && cj - column <= 1;
    };
    // The balls in the nine buckets around the one at (row, column): only those the rows' bit sets
    // mark as holding a ball, where they are kept.
    auto around = [&](int32_t row, int32_t column, auto f) {
        const int32_t *head = head_.data() + size_t(row - 1) * size_t(stride) + size_t(column) - 1;
        uint32_t bits = 511;
        if (packed) {
            const uint64_t *rows = used_.data() + row - 1;
            const uint32_t c = uint32_t(column) - 1;
            bits = uint32_t(rows[0] >> c & 7) | uint32_t(rows[1] >> c & 7) << 3 | uint32_t(rows[2] >> c & 7) << 6;
        }
        for (; bits != 0; bits &= bits - 1)
            for (int32_t j = head[near_[__builtin_ctz(bits)]]; j != -1; j = next_[size_t(j)])
                f(j);
    };
    around(wasRow, wasColumn, [&](int32_t j) {
        Found &c = cache_[size_t(j)];
        if (j == i || c.gen != gen_ || within(j, nowRow, nowColumn))
            return;
        int32_t k = 0;
        while (k < c.count && c.near[k] != i)
            k++;
        if (k < c.count)
            c.near[k] = c.near[--c.count];
        else
            c.gen = 0;  // a crowd (or not found): walked anew
    });
    around(nowRow, nowColumn, [&](int32_t j) {
        if (j == i)
            return;
        if (found < k_kept)
            own.near[found] = j;
        found++;
        Found &c = cache_[size_t(j)];
        if (c.gen != gen_ || within(j, wasRow, wasColumn))
            return;
        if (c.count >= 0 && c.count < k_kept)
            c.near[c.count++] = i;
        else
            c.gen = 0;
    });
    // Its own list as Keep finds it: the outside list last.
    for (int32_t j = head_.back(); j != -1; j = next_[size_t(j)]) {
        if (found < k_kept)
            own.near[found] = j;
        found++;
    }
    own.gen = gen_;
    own.count = found <= k_kept ? found : -1;
}

PhPairGrid::List PhPairGrid::Near(int32_t i, int32_t after)
{
    // Every ball but i at most: the buffer never grows here.
    if (found_.size() < balls_.size())
        found_.resize(balls_.size());
    int32_t *got = found_.data();
    int32_t n = 0;
    const int32_t k = all_ ? -1 : key_[size_t(i)];
    if (k < 0) {
        // Outside the buckets: every ball may be near.
        for (int32_t j = after + 1; j < Count(); j++)
            if (j != i)
                got[n++] = j;
        return {got, n};
    }
    const int32_t *next = next_.data();
    auto take = [&](int32_t j) {
        for (; j != -1; j = next[j])
            if (j > after && j != i)
                got[n++] = j;
    };
    const size_t stride = size_t(nx_) + 2;
    for (const int32_t *row = head_.data() + size_t(k) - stride - 1, *end = row + 3 * stride; row != end; row += stride)
        if ((row[0] & row[1] & row[2]) != -1)
            for (int32_t x = 0; x < 3; x++)
                take(row[x]);
    take(head_.back());
    return Sorted(got, n);
}

PhPairGrid::List PhPairGrid::Sorted(int32_t *got, int32_t n)
{
    if (n > 16) {
        std::sort(got, got + n);
        return {got, n};
    }
    // A handful at most: insertion sort.
    for (int32_t a = 1; a < n; a++) {
        const int32_t v = got[a];
        int32_t b = a;
        for (; b > 0 && got[b - 1] > v; b--)
            got[b] = got[b - 1];
        got[b] = v;
    }
    return {got, n};
}

PhPairGrid::List PhPairGrid::NearKept(int32_t i, int32_t after)
{
    const List kept = KeptNear(i);
    if (kept.first == nullptr)
        return Near(i, after);
    if (found_.size() < balls_.size())
        found_.resize(balls_.size());
    int32_t *got = found_.data();
    int32_t n = 0;
    for (int32_t j : kept)
        if (j > after)
            got[n++] = j;
    return Sorted(got, n);
}
