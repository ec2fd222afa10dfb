// Generated fields for whole-run checks and the physics benchmark: the busy field of the benchmark
// and seeded mixed fields with every piece kind at several heights.
#ifndef PHYS_SCENARIOS_BUSYFIELD_H
#define PHYS_SCENARIOS_BUSYFIELD_H

#include <stdint.h>

#include "terrow/trfield.h"

namespace busyfield {

inline TrElem *put(TrPalya *f, int x, int y, int z, int type, int dir)
{
    TrElem *e = Elem_New(x, y, z, dir, type, Elem_ClassOf(type) | EF_LEVEL_PART);
    Palya_AddElem(f, e);
    return e;
}

// A size x size floor with goals, magnets and spiked pieces, raised blocks with slopes leading up to
// them along the odd rows, and up to `balls` balls started in all four directions.
inline TrPalya *busy(int size, int balls)
{
    TrPalya *f = Palya_NewEmpty();
    for (int z = 0; z < size; z++)
        for (int x = 0; x < size; x++) {
            int type = TY_T_SIMA;
            if ((x * 7 + z * 3) % 41 == 0)
                type = TY_T_CEL;
            else if ((x * 5 + z * 11) % 53 == 0)
                type = TY_T_MAGNES;
            else if ((x * 13 + z) % 59 == 0)
                type = TY_T_SZOGES;
            put(f, x, 0, z, type, 0);
        }
    for (int z = 1; z < size; z += 4)
        for (int x = 3; x < size - 1; x += 6) {
            put(f, x, 1, z, TY_T_SIMA, 0);
            put(f, x - 1, 1, z, TY_T_LEJTO, 0);
            put(f, x + 1, 1, z, TY_T_SIMA, 0);
        }
    int placed = 0;
    for (int z = 0; z < size && placed < balls; z += 2)
        for (int x = 0; x < size && placed < balls; x++) {
            if (z % 4 == 1)
                continue;
            put(f, x, 1, z, placed % 3 == 0 ? TY_G_GUMI : TY_G_FEM, placed % 4);
            placed++;
        }
    return f;
}

// Deterministic pseudo-random numbers (a 64-bit LCG; the high bits are used).
struct Rng {
    uint64_t s;
    explicit Rng(uint64_t seed) : s(seed * 2862933555777941757ull + 3037000493ull) {}
    int below(int n)
    {
        s = s * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<int>((s >> 33) % static_cast<uint64_t>(n));
    }
};

// A size x size field from `seed`: a floor with holes and every fixed piece kind, a second and third
// layer of blocks, slopes and corners in all directions, and balls of every kind on top.
inline TrPalya *mixed(uint64_t seed, int size, int balls)
{
    static const int k_floor[] = {TY_T_SIMA, TY_T_SIMA, TY_T_SIMA, TY_T_SIMA, TY_T_CEL,
                                  TY_T_MAGNES, TY_T_SZOGES, TY_T_INDITO};
    static const int k_upper[] = {TY_T_SIMA, TY_T_SIMA, TY_T_LEJTO, TY_T_LEJTO, TY_T_SAROK,
                                  TY_T_MAGNES, TY_T_SZOGES, TY_T_CEL};
    static const int k_balls[] = {TY_G_FEM, TY_G_GUMI, TY_G_BOMBA, TY_G_UVEG};
    Rng rng(seed);
    TrPalya *f = Palya_NewEmpty();
    for (int z = 0; z < size; z++)
        for (int x = 0; x < size; x++) {
            if (rng.below(12) == 0)
                continue;  // a hole
            put(f, x, 0, z, k_floor[rng.below(8)], rng.below(4));
            for (int y = 1; y <= 2 && rng.below(5 * y) == 0; y++)
                put(f, x, y, z, k_upper[rng.below(8)], rng.below(4));
        }
    for (int placed = 0, tries = 0; placed < balls && tries < 50 * balls + 50; tries++) {
        const int x = rng.below(size), z = rng.below(size);
        bool taken = false;
        for (int32_t i = 0; i < f->count && !taken; i++) {
            const EIo &io = *f->elements[i]->io;
            taken = io.x == x && io.z == z && io.y >= 1;
        }
        if (taken)
            continue;
        put(f, x, 1, z, k_balls[rng.below(4)], rng.below(5));
        placed++;
    }
    return f;
}

}  // namespace busyfield

#endif
