// Buckets of the balls by where they stand, so that the loops over ball pairs look only at balls
// close enough to touch. Every bucket is at least as wide as the farthest two balls can be apart and
// still count as touching, so a ball's partners are in its own or a neighbouring bucket; balls beyond
// the buckets (or at a non-finite place) sit in a list that every search includes.
#ifndef TERROW_PHYS_PHPAIRS_H
#define TERROW_PHYS_PHPAIRS_H

#include <float.h>
#include <math.h>
#include <stdint.h>

#include <vector>

#include "terrow/phys/phobj.h"

class PhPairGrid {
public:
    // Numbers the balls of the world in list order and buckets them. Without a sound bucket width
    // (odd radii, no field) every ball counts as near every other. `list`: the world's balls in list
    // order, when the caller has them at hand.
    void Build(const std::vector<PhBall *> *list = nullptr);
    int32_t Count() const { return static_cast<int32_t>(balls_.size()); }
    PhBall *Ball(int32_t i) const { return balls_[size_t(i)]; }
    // Re-buckets ball i after it has moved.
    void Moved(int32_t i);
    // With buckets, where each ball stood at its last bucketing or move (x, y, z, radius side by
    // side, y not a number for a place not set): the pair tests read these instead of the balls.
    bool Flat() const { return !all_; }
    const float *At(int32_t i) const { return &at_[4 * size_t(i)]; }
    // With buckets, whether ball i surely touches no other: every ball lies farther from it on x or
    // on z alone than 0.9 of their radii and a hair (at the places kept), and no ball in its nine
    // buckets has its place unset or its height infinite. False for every ball after Build, found
    // by FindLone for the balls it is given, and kept as balls move: the pair loops pass over most
    // balls without a look at their lists.
    bool Lone(int32_t i) const { return lone_[size_t(i)] != 0; }
    void FindLone(const std::vector<int32_t> &numbers);
    // With buckets, whether every place kept is set with x, y and z within k_bound either way;
    // `largest`: the largest radius kept.
    static constexpr float k_bound = 5e3f;
    bool PlacesWithin(float *largest) const;
    // Re-buckets every ball after the step moved them, the balls being the same as at the last
    // Build (in number and order): a ball outside the buckets goes to the outside list. A dormant
    // ball is not read: the step moves one only through Moved. Calls each(i, ball) after ball i,
    // for a pass over every ball to go in the same walk.
    template <class F>
    void Refresh(F each)
    {
        PhBall *const *balls = balls_.data();
        for (int32_t i = 0, n = Count(); i < n; i++) {
            PhBall &b = *balls[i];
            if (!all_ && !b.dormant) {
                const FV3 &p = b.position;
                MovedTo(i, p.x, p.Valid() ? p.y : NAN, p.z, b.radius);
            }
            each(i, b);
        }
    }
    // The numbers of the balls that may touch ball i, ascending, from `after` + 1 on (every other
    // ball is too far away to touch it); i itself is left out. Valid until the next call.
    struct List {
        const int32_t *first;
        int32_t count;
        const int32_t *begin() const { return first; }
        const int32_t *end() const { return first + count; }
    };
    List Near(int32_t i, int32_t after);
    // Near from the list kept for ball i where there is one (found now when not current), else
    // from a walk of the buckets.
    List NearKept(int32_t i, int32_t after);
    // Calls f(j) for the same balls as Near(i, -1), in no particular order: for the searches that
    // need no order (or only the largest number), without copying or sorting.
    template <class F>
    void ForNear(int32_t i, F f)
    {
        AnyNear(i, [&f](int32_t j) {
            f(j);
            return false;
        });
    }

    // Whether f(j) holds for one of the balls ForNear(i) visits: the walk stops at the first.
    // The balls a walk of the buckets found are kept for the ball, and mended as balls come into
    // or leave its nine buckets (the three passes ask for the same balls, and few change bucket in
    // a step); a ball that changes bucket walks anew.
    template <class F>
    bool AnyNear(int32_t i, F f)
    {
        const List kept = KeptNear(i);
        if (kept.first == nullptr)
            return Walk(i, f);
        for (int32_t j : kept)
            if (f(j))
                return true;
        return false;
    }
    // The balls ForNear(i) visits, as the list kept for i (found now when not current), for a
    // loop to read straight; no list (null) where the buckets are walked instead: with every ball
    // near, for a ball outside the buckets, and for a crowd. Valid until the buckets change.
    List KeptNear(int32_t i)
    {
        if (all_ || key_[size_t(i)] < 0)
            return {nullptr, 0};
        Found &c = cache_[size_t(i)];
        if (c.gen != gen_)
            Keep(i);
        if (c.count < 0)
            return {nullptr, 0};  // a crowd
        return {c.near, c.count};
    }

private:
    // The walk of the buckets around ball i for AnyNear.
    template <class F>
    bool Walk(int32_t i, F f) const
    {
        const int32_t k = all_ ? -1 : key_[size_t(i)];
        if (k < 0) {
            for (int32_t j = 0; j < Count(); j++)
                if (j != i && f(j))
                    return true;
            return false;
        }
        // The buckets carry a ring of empty ones: the nine around a ball's are always there.
        const int32_t *next = next_.data();
        const size_t stride = size_t(nx_) + 2;
        if (!used_.empty()) {
            // Only the buckets the rows' bit sets mark as holding a ball: the nine bits of the
            // three rows in one word, walked in row order as the rows are.
            const uint32_t rc = rc_[size_t(i)], c = rc & 63;
            const uint64_t *row = used_.data() + (rc >> 6) - 1;
            const int32_t *head = head_.data() + size_t((rc >> 6) - 1) * stride + c - 1;
            uint32_t bits = uint32_t((row[0] >> (c - 1)) & 7) | uint32_t((row[1] >> (c - 1)) & 7) << 3 |
                            uint32_t((row[2] >> (c - 1)) & 7) << 6;
            for (; bits != 0; bits &= bits - 1)
                for (int32_t j = head[near_[__builtin_ctz(bits)]]; j != -1; j = next[j])
                    if (j != i && f(j))
                        return true;
        } else {
            for (const int32_t *row = head_.data() + size_t(k) - stride - 1, *end = row + 3 * stride; row != end; row += stride) {
                if ((row[0] & row[1] & row[2]) == -1)
                    continue;  // three empty buckets (a ball's number has no sign bit)
                for (int32_t x = 0; x < 3; x++)
                    for (int32_t j = row[x]; j != -1; j = next[j])
                        if (j != i && f(j))
                            return true;
            }
        }
        for (int32_t j = head_.back(); j != -1; j = next[j])
            if (j != i && f(j))
                return true;
        return false;
    }

    int32_t KeyOf(const FV3 &p) const;
    // got[0..n) in ascending order, as Near gives them.
    static List Sorted(int32_t *got, int32_t n);
    // Moved for ball i at (x, y, z) with radius r, y not a number for a place not set (the buckets
    // not all_); the part past the ball's bucket out of line.
    // `kept`: Lone is kept (as balls move after Build; not in its walk, after which none is known).
    template <bool kept = true>
    void MovedTo(int32_t i, float x, float y, float z, float r);
    void Rebucket(int32_t i);
    void Insert(int32_t i);
    void Remove(int32_t i);
    // When `list` is the balls of the last build less some, in the same order: drops those from
    // the buckets and what is kept, and numbers the rest as the list does. False (nothing done)
    // for any other list.
    bool Drop(const std::vector<PhBall *> &list);
    // Keeps the balls near i as a walk finds them now; Renew drops all that is kept.
    void Keep(int32_t i);
    void Renew();
    // What is kept for the balls around buckets `was` and `now` after ball i went from one to the
    // other (both buckets, not the outside list).
    void Mend(int32_t i, int32_t was, int32_t now);
    // Whether two kept places may touch (see Lone), on x and z alone, and with the heights.
    static bool CloseOn(const float *a, const float *b)
    {
        const float reach = (a[3] + b[3]) * 0.9011f + 1e-4f;
        return !(fabsf(a[0] - b[0]) > reach || fabsf(a[2] - b[2]) > reach);
    }
    static bool Close(const float *a, const float *b)
    {
        return CloseOn(a, b) || !(fabsf(a[1]) <= FLT_MAX) || !(fabsf(b[1]) <= FLT_MAX);
    }
    // Every ball's Lone false, and kept from now on as balls move.
    void LoneUnknown()
    {
        lone_.assign(balls_.size(), 0);
        loneLive_ = true;
    }
    // After ball i's kept place changed: its own Lone found anew, and the balls it came close to told.
    void Stirred(int32_t i);

    std::vector<PhBall *> balls_;
    std::vector<int32_t> key_;   // bucket slot of each ball in head_, -1 for the outside list
    std::vector<float> at_;      // x, y, z and radius of each ball as last seen (x and z: where its bucket was found)
    std::vector<float> cell_;    // the whole parts of x and z over the width where each ball's bucket was found
    std::vector<int32_t> next_;  // the next ball in the same bucket, -1 at the end
    std::vector<int32_t> head_;  // first ball of each bucket (a ring of empty ones around them); the last entry is the outside list
    std::vector<int32_t> found_;
    std::vector<int32_t> renumber_;  // Drop's new numbers
    // Where no more than 64 buckets make a row (the ring included): a bit set per row of the buckets
    // that hold a ball, and each ball's bucket row and column (row << 6 | column: a column is below
    // 64, and a long narrow field may have far more than 65535 rows), so that a search reads only
    // the buckets that hold one. Empty for wider fields.
    std::vector<uint64_t> used_;
    std::vector<uint32_t> rc_;
    int32_t near_[9] = {};
    static const int32_t k_kept = 24;
    struct Found {
        uint32_t gen;    // kept while it equals gen_
        int32_t count;   // below zero for more than k_kept balls
        int32_t near[k_kept];
    };
    std::vector<Found> cache_;
    std::vector<uint8_t> lone_;  // Lone, by ball
    bool loneLive_ = false;      // kept as balls move (not while Build re-buckets them all)
    uint32_t gen_ = 1;  // the nine buckets around one, from its upper left one, row by row
    bool all_ = true;
    float width_ = 1, perWidth_ = 1;
    float origin_[2] = {0, 0}, count_[2] = {0, 0};  // first bucket and buckets along x and z
    int32_t nx_ = 0, nz_ = 0;
};

template <bool kept>
inline void PhPairGrid::MovedTo(int32_t i, float x, float y, float z, float r)
{
    // A ball still where its bucket was found keeps it (most of them, step after step). Lone reads
    // only x, z, the radius and whether the height is finite.
    float *at = &at_[4 * size_t(i)];
    at[1] = y;
    if (!kept) {
        at[3] = r;
        if (x == at[0] && z == at[2])
            return;
    } else {
        if (x == at[0] && z == at[2] && r == at[3] && fabsf(y) <= FLT_MAX)
            return;
        at[3] = r;
    }
    // Still in its bucket when the quotients keep their whole parts (what KeyOf would find).
    const float *cell = &cell_[2 * size_t(i)];
    const float qx = x * perWidth_, qz = z * perWidth_;
    if (key_[size_t(i)] >= 0 && qx >= cell[0] && qx < cell[0] + 1 && qz >= cell[1] && qz < cell[1] + 1) {
        at[0] = x;
        at[2] = z;
    } else {
        Rebucket(i);
    }
    if (kept && loneLive_)
        Stirred(i);
}

/* Whether a.Contact(b) finds the two too far apart to touch: its own distance test on the plain
 * numbers, for the pair loops to pass over the many pairs that are not near. False when a place is
 * not set (Contact then says so itself). */
inline bool PhBalls_ApartAt(const FV3 &c, float ra, float bx, float by, float bz, float rb)
{
    const float dx = c.x - bx, dy = c.y - by, dz = c.z - bz;
    const double d2 = static_cast<double>(dx) * dx + static_cast<double>(dy) * dy + static_cast<double>(dz) * dz;
    const float reach = 0.9f * (ra + rb);
    // Away from the border the squares tell; the root (slow to come) decides near it.
    if (reach > 0 && reach < 1e30f) {
        const double r2 = static_cast<double>(reach) * reach;
        if (d2 > r2 * 1.0001)
            return true;
        if (d2 < r2 * 0.9999)
            return false;
    }
    return static_cast<float>(sqrt(d2)) > reach;  // false for a distance not a number
}
/* Whether two places are farther apart on x or on z alone than the sum of the radii: then the tests
 * on the squares find them apart (far past the touching distance and its round-off), and a pair
 * loop need not take them. False for a sum not finite or below the smallest normal float (where
 * 0.9 of it may round back to it), and for a difference not a number (where the squares decide
 * otherwise). */
inline bool PhBalls_FarOnXZ(float dx, float dy, float dz, float sum)
{
    return (fabsf(dx) >= sum || fabsf(dz) >= sum) && sum >= FLT_MIN && sum <= FLT_MAX && dx + dy + dz == dx + dy + dz;
}
inline bool PhBalls_Apart(const PhBall &a, const PhBall &b)
{
    if (!a.centre.Valid() || !b.position.Valid())
        return false;
    return PhBalls_ApartAt(a.centre, a.radius, b.position.x, b.position.y, b.position.z, b.radius);
}

/* The push of Env_PushOut from ball i, over the balls near it only (those it can touch); keeps the
 * buckets of the balls it moves. */
int Env_PushOutNear(PhPairGrid &grid, int32_t i);

#endif
