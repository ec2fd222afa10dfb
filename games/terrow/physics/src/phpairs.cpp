// Buckets of the balls for the pair loops of the step.
#include "phpairs.h"

#include <math.h>

#include <algorithm>

namespace {

// Buckets are counted in 32 bits and kept small enough to clear every step.
const int32_t k_max_buckets = 1 << 20;

}  // namespace

void PhPairGrid::Build()
{
    const PhWorld &w = PhysWorld;
    balls_.clear();
    all_ = true;
    float maxRadius = 0;
    bool sound = true;
    for (PhBall *b = w.balls; b != nullptr; b = b->nextBall) {
        balls_.push_back(b);
        sound &= b->radius >= 0 && isfinite(b->radius);
        if (sound)
            maxRadius = std::max(maxRadius, b->radius);
    }
    if (!sound || !Phys_FastPaths())
        return;
    // Balls touch within 0.9 (rA + rB); a width with room to spare keeps float rounding of the
    // distance and of the bucket division from ever reaching two buckets over.
    width_ = 1.8f * maxRadius * 1.01f + 0.01f;
    // The buckets cover the field and, where that stays small, the balls that have left it.
    float lo[2] = {0, 0}, hi[2] = {w.sizeXf, w.sizeZf};
    float wide[2][2] = {{lo[0], hi[0]}, {lo[1], hi[1]}};
    for (const PhBall *b : balls_) {
        const float c[2] = {b->position.x, b->position.z};
        for (int a = 0; a < 2; a++)
            if (isfinite(c[a])) {
                wide[a][0] = std::min(wide[a][0], c[a]);
                wide[a][1] = std::max(wide[a][1], c[a]);
            }
    }
    auto span = [&](const float l[2], const float h[2], float cap) {
        for (int a = 0; a < 2; a++) {
            origin_[a] = floorf(l[a] / width_) - 1;
            count_[a] = floorf(h[a] / width_) - origin_[a] + 2;
        }
        return count_[0] * count_[1] <= cap;
    };
    // Balls far out would make a large grid to clear every step: then they go to the outside list.
    if (!span(lo, hi, float(k_max_buckets)))
        return;
    const float wl[2] = {wide[0][0], wide[1][0]}, wh[2] = {wide[0][1], wide[1][1]};
    if (!span(wl, wh, 2 * count_[0] * count_[1] + 1024))
        span(lo, hi, float(k_max_buckets));
    nx_ = static_cast<int32_t>(count_[0]);
    nz_ = static_cast<int32_t>(count_[1]);
    head_.assign(size_t(nx_) * size_t(nz_) + 1, -1);
    key_.assign(balls_.size(), -1);
    next_.assign(balls_.size(), -1);
    for (int32_t i = Count() - 1; i >= 0; i--)
        Insert(i);
    all_ = false;
}

int32_t PhPairGrid::KeyOf(const FV3 &p) const
{
    const float kx = floorf(p.x / width_) - origin_[0], kz = floorf(p.z / width_) - origin_[1];
    if (!(kx >= 0 && kx < float(nx_) && kz >= 0 && kz < float(nz_)))
        return -1;  // outside (or not a number)
    return static_cast<int32_t>(kz) * nx_ + static_cast<int32_t>(kx);
}

void PhPairGrid::Insert(int32_t i)
{
    const int32_t k = KeyOf(balls_[size_t(i)]->position);
    key_[size_t(i)] = k;
    int32_t &head = head_[k >= 0 ? size_t(k) : head_.size() - 1];
    next_[size_t(i)] = head;
    head = i;
}

void PhPairGrid::Remove(int32_t i)
{
    const int32_t k = key_[size_t(i)];
    for (int32_t *p = &head_[k >= 0 ? size_t(k) : head_.size() - 1]; *p != -1; p = &next_[size_t(*p)])
        if (*p == i) {
            *p = next_[size_t(i)];
            return;
        }
}

void PhPairGrid::Moved(int32_t i)
{
    if (all_ || KeyOf(balls_[size_t(i)]->position) == key_[size_t(i)])
        return;
    Remove(i);
    Insert(i);
}

const std::vector<int32_t> &PhPairGrid::Near(int32_t i, int32_t after)
{
    found_.clear();
    auto take = [&](int32_t head) {
        for (int32_t j = head; j != -1; j = next_[size_t(j)])
            if (j > after && j != i)
                found_.push_back(j);
    };
    const int32_t k = all_ ? -1 : key_[size_t(i)];
    if (k < 0) {
        // Outside the buckets: every ball may be near.
        for (int32_t j = after + 1; j < Count(); j++)
            if (j != i)
                found_.push_back(j);
        return found_;
    }
    const int32_t kx = k % nx_, kz = k / nx_;
    for (int32_t z = std::max(kz - 1, 0); z <= std::min(kz + 1, nz_ - 1); z++)
        for (int32_t x = std::max(kx - 1, 0); x <= std::min(kx + 1, nx_ - 1); x++)
            take(head_[size_t(z) * size_t(nx_) + size_t(x)]);
    take(head_.back());
    // A handful at most: insertion sort.
    for (size_t a = 1; a < found_.size(); a++) {
        const int32_t v = found_[a];
        size_t b = a;
        for (; b > 0 && found_[b - 1] > v; b--)
            found_[b] = found_[b - 1];
        found_[b] = v;
    }
    return found_;
}
