// Which balls may touch which, for the pair loops of the step.
#include "phpairs.h"
#include "phutil.h"

#include <float.h>
#include <math.h>
#include <xmmintrin.h>

#include <algorithm>

void PhPairGrid::Build(const std::vector<PhBall *> *list)
{
    const PhWorld &w = PhysWorld;
    // The list walked once: the rest reads it from the array.
    static std::vector<PhBall *> walked;
    if (list == nullptr) {
        walked.clear();
        for (PhBall *b = w.balls; b != nullptr; b = b->nextBall)
            walked.push_back(b);
        list = &walked;
    }
    // Other balls than at the last build start from the list's order along x (the sort puts it right).
    const size_t n = list->size();
    if (n != balls_.size() || !std::equal(list->begin(), list->end(), balls_.begin())) {
        balls_.assign(list->begin(), list->end());
        order_.resize(n);
        for (size_t i = 0; i < n; i++)
            order_[i] = int32_t(i);
        // Four past the end for the sweep's lanes: beyond every reach.
        key_.assign(n + 4, INFINITY);
        side_.assign(n + 4, 0.0f);
        at_.resize(4 * n);
        count_.resize(n);
        lists_.resize(n * size_t(k_kept));
        stirred_.resize(n);
    }
    changed_.clear();
    all_ = true;
    // Each place written as one lane of four, with the largest and smallest of each lane and
    // whether x, z or the radius is not finite: a radius not a number, infinite or below zero
    // leaves no sound reach, and an x or z not finite no sweep.
    const __m128 sign = _mm_set1_ps(-0.0f), most = _mm_set1_ps(FLT_MAX);
    __m128 high = _mm_setzero_ps(), low = _mm_setzero_ps(), odd = _mm_setzero_ps();
    float *at = at_.data();
    for (size_t i = 0; i < n; i++, at += 4) {
        const PhBall &b = *balls_[i];
        const FV3 &p = b.position;
        const __m128 v = _mm_setr_ps(p.x, p.Valid() ? p.y : NAN, p.z, b.radius);
        _mm_storeu_ps(at, v);
        high = _mm_max_ps(high, v);
        low = _mm_min_ps(low, v);
        odd = _mm_or_ps(odd, _mm_cmpnle_ps(_mm_andnot_ps(sign, v), most));
    }
    alignas(16) float highs[4], lows[4];
    _mm_store_ps(highs, high);
    _mm_store_ps(lows, low);
    const int notFinite = _mm_movemask_ps(odd);
    const float maxRadius = highs[3];
    const bool sound = (notFinite & 8) == 0 && lows[3] >= 0, finite = (notFinite & 5) == 0;
    within_ = (notFinite & 7) == 0 && highs[0] < k_bound && highs[1] < k_bound && highs[2] < k_bound &&
              -lows[0] < k_bound && -lows[1] < k_bound && -lows[2] < k_bound;
    largest_ = highs[3];
    if (!sound || !Phys_FastPaths())
        return;
    // Balls touch within 0.9 (rA + rB); the reach has room to spare for the round-off of the
    // distance tests.
    reach_ = 1.8f * maxRadius * 1.01f + 0.01f;
    if (!(reach_ <= FLT_MAX))
        return;  // radii so large that no reach is finite: the sweep would find no end
    all_ = false;
    wild_ = !finite;
    if (wild_)
        std::fill(stirred_.begin(), stirred_.end(), 1);
    else
        Sweep();
}

void PhPairGrid::Sweep()
{
    const int32_t n = Count();
    const float *const at = at_.data();
    int32_t *const order = order_.data(), *const count = count_.data(), *const lists = lists_.data();
    float *const key = key_.data(), *const side = side_.data();
    uint8_t *const stirred = stirred_.data();
    // The order of the last sweep is nearly right: insertion sort, on the x read side by side.
    for (int32_t a = 0; a < n; a++) {
        const int32_t v = order[a];
        const float x = at[4 * v];
        if (!(a > 0 && key[a - 1] > x)) {
            key[a] = x;
            continue;
        }
        int32_t b = a;
        for (; b > 0 && key[b - 1] > x; b--) {
            key[b] = key[b - 1];
            order[b] = order[b - 1];
        }
        key[b] = x;
        order[b] = v;
    }
    std::fill(count_.begin(), count_.end(), 0);
    for (int32_t a = 0; a < n; a++) {
        const float *place = at + 4 * order[a];
        side[a] = place[2];
        stirred[order[a]] = !(fabsf(place[1]) <= FLT_MAX);
    }
    unsorted_.clear();
    auto add = [this, count, lists, stirred](int32_t i, int32_t j) {
        int32_t &c = count[i];
        if (c < 0)
            return;
        if (c == k_kept) {
            c = -1;  // a crowd
            stirred[i] = 1;
            return;
        }
        lists[i * k_kept + c++] = j;
        if (c == 2)
            unsorted_.push_back(i);
    };
    // Four balls on from each at once: those past the reach on x end its search (the order is by
    // x), those past it on z are passed over.
    const __m128 reach = _mm_set1_ps(reach_), sign = _mm_set1_ps(-0.0f);
    for (int32_t a = 0; a < n; a++) {
        const __m128 x = _mm_set1_ps(key[a]), z = _mm_set1_ps(side[a]);
        for (int32_t b = a + 1;; b += 4) {
            const int far = _mm_movemask_ps(_mm_cmpgt_ps(_mm_sub_ps(_mm_loadu_ps(key + b), x), reach));
            const int off = _mm_movemask_ps(_mm_cmpgt_ps(_mm_andnot_ps(sign, _mm_sub_ps(_mm_loadu_ps(side + b), z)), reach));
            for (int hits = ~(far | off) & 15; hits != 0; hits &= hits - 1) {
                const int32_t i = order[a], j = order[b + __builtin_ctz(unsigned(hits))];
                add(i, j);
                add(j, i);
                if (Close(at + 4 * i, at + 4 * j))
                    stirred[i] = stirred[j] = 1;
            }
            if (far != 0)
                break;
        }
    }
    // Each list of more than one ascending (a handful at most).
    for (const int32_t i : unsorted_) {
        int32_t *got = lists + i * k_kept;
        for (int32_t a = 1; a < count[i]; a++) {
            const int32_t v = got[a];
            int32_t b = a;
            for (; b > 0 && got[b - 1] > v; b--)
                got[b] = got[b - 1];
            got[b] = v;
        }
    }
}

void PhPairGrid::Placed(int32_t i, float x, float z, float r)
{
    float *at = &at_[4 * size_t(i)];
    at[0] = x;
    at[2] = z;
    at[3] = r;
    if (!(fabsf(x) <= FLT_MAX && fabsf(z) <= FLT_MAX) && !wild_) {
        wild_ = true;  // every ball near every other until the next build
        std::fill(stirred_.begin(), stirred_.end(), 1);
    }
    changed_.push_back(i);
}

void PhPairGrid::Relink()
{
    if (!all_ && !wild_) {
        if (changed_.size() > k_relink)
            Sweep();
        else
            for (const int32_t i : changed_)
                Relink(i);
    }
    changed_.clear();
}

void PhPairGrid::Erase(int32_t i, int32_t j)
{
    int32_t &c = count_[size_t(i)];
    if (c < 0)
        return;  // a crowd finds its balls anew each time
    int32_t *got = &lists_[size_t(i) * k_kept];
    int32_t k = 0;
    while (k < c && got[k] != j)
        k++;
    if (k == c)
        return;
    for (c--; k < c; k++)
        got[k] = got[k + 1];
}

void PhPairGrid::Insert(int32_t i, int32_t j)
{
    int32_t &c = count_[size_t(i)];
    if (c < 0)
        return;
    if (c == k_kept) {
        c = -1;
        stirred_[size_t(i)] = 1;
        return;
    }
    int32_t *got = &lists_[size_t(i) * k_kept];
    int32_t k = c++;
    for (; k > 0 && got[k - 1] > j; k--)
        got[k] = got[k - 1];
    got[k] = j;
}

void PhPairGrid::Relink(int32_t i)
{
    const int32_t n = Count();
    int32_t &c = count_[size_t(i)];
    int32_t *got = &lists_[size_t(i) * k_kept];
    // Out of the lists of the balls it was near (of every ball's, for a crowd's).
    if (c >= 0) {
        for (int32_t k = 0; k < c; k++)
            Erase(got[k], i);
    } else {
        for (int32_t j = 0; j < n; j++)
            if (j != i)
                Erase(j, i);
    }
    // Into those of the balls near it now, found in number order; the ones it is close to are
    // not lone, nor is it.
    const float *me = At(i);
    bool alone = true;
    c = 0;
    // A place at a time, its four floats at once: within the reach on x and on z (the lanes of y
    // and the radius read nothing).
    const __m128 place = _mm_loadu_ps(me), reach = _mm_set1_ps(reach_), sign = _mm_set1_ps(-0.0f);
    const float *const at = at_.data();
    for (int32_t j = 0; j < n; j++)
        if ((_mm_movemask_ps(_mm_cmpgt_ps(_mm_andnot_ps(sign, _mm_sub_ps(_mm_loadu_ps(at + 4 * j), place)), reach)) & 5) == 0 &&
            j != i) {
            if (c >= 0) {
                if (c < k_kept)
                    got[c++] = j;
                else
                    c = -1;
            }
            Insert(j, i);
            if (Close(me, At(j))) {
                alone = false;
                stirred_[size_t(j)] = 1;
            }
        }
    stirred_[size_t(i)] = !alone || c < 0 || !(fabsf(me[1]) <= FLT_MAX);
}

bool PhPairGrid::PlacesWithinNow(float *largest) const
{
    if (all_)
        return false;
    // A place at a time, its four floats at once: x, y and z against the bound (false for one not
    // a number), the radius against infinity (as a radius is sound with flat places).
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

PhPairGrid::List PhPairGrid::Near(int32_t i, int32_t after)
{
    // Every ball but i at most: the buffer never grows here.
    if (found_.size() < balls_.size())
        found_.resize(balls_.size());
    int32_t *got = found_.data();
    int32_t n = 0;
    const List kept = KeptNear(i);
    if (kept.first != nullptr) {
        for (int32_t j : kept)
            if (j > after)
                got[n++] = j;
        return {got, n};
    }
    const bool every = all_ || wild_;
    for (int32_t j = after + 1; j < Count(); j++)
        if (j != i && (every || Box(At(i), At(j))))
            got[n++] = j;
    return {got, n};
}
