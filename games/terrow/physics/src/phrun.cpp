// A run of a field from its start to rest, without the game around it.
#include <string.h>

#include "terrow/phys/phobj.h"
#include "terrow/phys/phrun.h"
#include "terrow/phys/phstep.h"

namespace {

void mix(uint64_t &h, const void *data, size_t n)
{
    const unsigned char *p = static_cast<const unsigned char *>(data);
    for (size_t i = 0; i < n; i++) {
        h ^= p[i];
        h *= 1099511628211ull;
    }
}

void mix_float(uint64_t &h, float v)
{
    uint32_t bits;
    memcpy(&bits, &v, sizeof bits);
    mix(h, &bits, sizeof bits);
}

void keep_max(int32_t &into, int32_t v)
{
    if (v > into)
        into = v;
}

}  // namespace

uint64_t Phys_BallHash(const TrPalya *field)
{
    uint64_t h = 14695981039346656037ull;
    for (int32_t i = 0; i < field->count; i++) {
        const TrElem *e = field->elements[i];
        if (!(e->io->flags & EF_BALL))
            continue;
        const uint32_t ends = e->io->flags & (EF_SUNK | EF_DESTROYED | EF_ENTERED);
        mix(h, &ends, sizeof ends);
        if (const PhElem *o = e->physObject) {
            mix_float(h, o->position.x);
            mix_float(h, o->position.y);
            mix_float(h, o->position.z);
        }
    }
    return h;
}

PhRunResult Phys_Run(TrPalya *field, int32_t maxSteps)
{
    PhRunResult r{};
    Phys_Build(field);
    if (maxSteps > PH_MAX_STEPS)
        maxSteps = PH_MAX_STEPS;
    for (int32_t k = 0; k < maxSteps; k++) {
        PhysCounters = {};
        const int rest = Phys_Step(field, k * PH_STEP_MS);
        r.steps = k + 1;
        keep_max(r.impacts.uveg, PhysCounters.uveg);
        keep_max(r.impacts.bomba, PhysCounters.bomba);
        keep_max(r.impacts.gumi, PhysCounters.gumi);
        keep_max(r.impacts.fem, PhysCounters.fem);
        keep_max(r.impacts.magnet, PhysCounters.magnet);
        if (rest) {
            r.rested = true;
            break;
        }
    }
    r.hash = Phys_BallHash(field);
    Phys_Free();
    for (int32_t i = 0; i < field->count; i++) {
        const uint32_t f = field->elements[i]->io->flags;
        if ((f & EF_BALL) && (f & EF_SUNK))
            r.sunk++;
        if (f & EF_DESTROYED)
            r.destroyed++;
    }
    r.needed = field->ballsNeeded;
    r.solved = r.sunk >= r.needed;
    return r;
}
