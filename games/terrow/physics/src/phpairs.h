// For each ball, the balls close enough to touch it, so that the loops over ball pairs look only at
// those. The reach is wider than the farthest two balls can be apart and still count as touching;
// a place with x or z not finite makes every ball near every other until the next build.
#ifndef TERROW_PHYS_PHPAIRS_H
#define TERROW_PHYS_PHPAIRS_H

#include <float.h>
#include <math.h>
#include <stdint.h>

#include <vector>

#include "terrow/phys/phobj.h"

class PhPairGrid {
public:
    // Numbers the balls of the world in list order and finds which may touch. Without a sound
    // reach (odd radii, no fast paths) every ball counts as near every other. `list`: the world's
    // balls in list order, when the caller has them at hand.
    void Build(const std::vector<PhBall *> *list = nullptr);
    int32_t Count() const { return static_cast<int32_t>(balls_.size()); }
    PhBall *Ball(int32_t i) const { return balls_[size_t(i)]; }
    // Ball i's place read anew after it has moved.
    void Moved(int32_t i)
    {
        if (!all_) {
            Place(i, *balls_[size_t(i)]);
            Follow();
        }
    }
    // Unless every ball is near every other, where each ball stood at the last build or move (x, y,
    // z, radius side by side, y not a number for a place not set): the pair tests read these
    // instead of the balls.
    bool Flat() const { return !all_; }
    const float *At(int32_t i) const { return &at_[4 * size_t(i)]; }
    // With flat places, whether ball i surely touches no other: every ball lies farther from it on
    // x or on z alone than 0.9 of their radii and a hair (at the places kept), and no ball in its
    // list has its place unset or its height infinite. Found for every ball as the balls are
    // built, and kept as they move: the pair loops pass over most balls without a look at their
    // lists.
    bool Lone(int32_t i) const { return stirred_[size_t(i)] == 0; }
    // With flat places, whether every place kept is set with x, y and z within k_bound either way;
    // `largest`: the largest radius kept.
    static constexpr float k_bound = 5e3f;
    // Known as the build reads the places, until one is read again.
    bool PlacesWithin(float *largest) const
    {
        if (within_ < 0)
            return PlacesWithinNow(largest);
        if (within_ == 0 || all_)
            return false;
        *largest = largest_;
        return true;
    }
    // Reads every ball's place anew after the step moved them, the balls being the same as at the
    // last Build (in number and order). A dormant ball is not read: the step moves one only through
    // Moved. Calls each(i, ball) after ball i, for a pass over every ball to go in the same walk.
    template <class F>
    void Refresh(F each)
    {
        PhBall *const *balls = balls_.data();
        for (int32_t i = 0, n = Count(); i < n; i++) {
            PhBall &b = *balls[i];
            if (!all_ && !b.dormant)
                Place(i, b);
            each(i, b);
        }
        Follow();
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
    List NearKept(int32_t i, int32_t after) { return Near(i, after); }
    // Calls f(j) for the same balls as Near(i, -1), in no particular order.
    template <class F>
    void ForNear(int32_t i, F f)
    {
        AnyNear(i, [&f](int32_t j) {
            f(j);
            return false;
        });
    }
    // Whether f(j) holds for one of the balls ForNear(i) visits: the walk stops at the first.
    template <class F>
    bool AnyNear(int32_t i, F f)
    {
        const List kept = KeptNear(i);
        if (kept.first != nullptr) {
            for (int32_t j : kept)
                if (f(j))
                    return true;
            return false;
        }
        const bool every = all_ || wild_;
        for (int32_t j = 0, n = Count(); j < n; j++)
            if (j != i && (every || Box(At(i), At(j))) && f(j))
                return true;
        return false;
    }
    // The balls ForNear(i) visits as the list kept for i, for a loop to read straight; no list
    // (null) where all balls are read instead: with every ball near, with a place off every list
    // (x or z not finite), and for a crowd. Valid until a ball moves.
    List KeptNear(int32_t i) const
    {
        if (all_ || wild_ || count_[size_t(i)] < 0)
            return {nullptr, 0};
        return {&lists_[size_t(i) * k_kept], count_[size_t(i)]};
    }

private:
    // Whether two kept places lie within the reach on x and on z: the balls that may touch, each
    // in the other's list.
    bool Box(const float *a, const float *b) const
    {
        return !(fabsf(a[0] - b[0]) > reach_ || fabsf(a[2] - b[2]) > reach_);
    }
    // Ball i's place kept anew from the ball; one that moved is noted for Follow (out of line).
    void Place(int32_t i, const PhBall &b)
    {
        const FV3 &p = b.position;
        const float x = p.x, y = p.Valid() ? p.y : NAN, z = p.z, r = b.radius;
        // A ball still where it was keeps its list and its Lone (most of them, step after step),
        // which read only x, z, the radius and whether the height is finite.
        float *at = &at_[4 * size_t(i)];
        at[1] = y;
        within_ = -1;
        if (!(x == at[0] && z == at[2] && r == at[3] && fabsf(y) <= FLT_MAX))
            Placed(i, x, z, r);
    }
    void Placed(int32_t i, float x, float z, float r);
    bool PlacesWithinNow(float *largest) const;
    // The balls Place noted linked anew: one by one for a few, else all swept again.
    void Follow()
    {
        if (!changed_.empty())
            Relink();
    }
    void Relink();
    // Every ball's list and Lone found anew from the places kept, by a sweep along x.
    void Sweep();
    // Ball i's list found anew (and it in or out of the others'), and its Lone; the balls it is
    // close to lose theirs.
    void Relink(int32_t i);
    // Ball j out of (or into, in order) ball i's list.
    void Erase(int32_t i, int32_t j);
    void Insert(int32_t i, int32_t j);
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

    static const int32_t k_kept = 24;
    static const size_t k_relink = 6;
    std::vector<PhBall *> balls_;
    std::vector<float> at_;        // x, y, z and radius of each ball as last seen
    std::vector<int32_t> order_;   // the balls by x, kept from sweep to sweep (it barely changes)
    std::vector<float> key_;       // their x, side by side with order_ (and room for a lane of 4 past the end)
    std::vector<float> side_;      // their z, filled for the sweep (the same room)
    std::vector<int32_t> count_;   // the length of each ball's list, below zero for a crowd
    std::vector<int32_t> lists_;   // k_kept slots a ball: those within the reach, ascending
    std::vector<uint8_t> stirred_; // by ball: 1 for one close to another, in a crowd, with its height not finite (or not known lone)
    std::vector<int32_t> unsorted_; // the balls with more than one in their list, for the sweep to sort
    std::vector<int32_t> found_;   // Near's answer
    std::vector<int32_t> changed_; // the balls Place noted
    float reach_ = 0;              // on x and z: past the touching distance of the largest balls
    int8_t within_ = -1;  // PlacesWithin as the build found it, below zero when not known
    float largest_ = 0;
    bool all_ = true;
    bool wild_ = false;  // a place with x or z not finite: every ball near every other until the next build
};

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
 * pair lists of the balls it moves. */
int Env_PushOutNear(PhPairGrid &grid, int32_t i);

#endif
