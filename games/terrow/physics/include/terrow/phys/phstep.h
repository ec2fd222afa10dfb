/* One fixed step of the world: the contact environment of each ball, its own step, ball pairs, the
 * slope and corner responses and the step that runs them all. */
#ifndef TERROW_PHYS_PHSTEP_H
#define TERROW_PHYS_PHSTEP_H

#include "terrow/phys/phobj.h"

struct PhContact {
    int32_t kind;  // 0: an object
    PhElem *object;
    FV3 point;     // the contact vector the object reported
    FV3 place;     // ball position + contact vector
    uint32_t code;
    uint32_t reserved;
    float time;
};

enum { PH_ENV_TABLE = 10, PH_SEPARATION_PASSES = 32 };
/* Steps (2 s) an attracted ball may stay within 1.5 cells of one place before its magnet holds it there. */
enum { PH_TRAP_STEPS = 80 };
/* Steps (1 s) a ball may keep its place with a velocity before it counts as at rest: whatever holds
 * it there (a piece, a ball, the wall) would hold it for ever. */
enum { PH_BLOCKED_STEPS = 40 };

/* 1 when the world has no ball or nothing moved, sank or was nudged; else 0. */
int Phys_Step(TrPalya *field, int32_t timeMs);

/* *count is the table's capacity on entry, the records on return; the earliest record or -1. */
int Env_Collect(PhBall &ball, PhContact *table, int *count);
/* Whether the ball rolls on a flat piece of the layer below, level or upward: the flat pieces of
 * that layer are not met (the velocity is read once here). */
inline bool Env_RollsOnFlat(const PhBall &ball)
{
    const PhElem *sup = ball.support;
    if (!(sup != nullptr && sup->cls != PHC_SLOPE && sup->cellY == ball.cellY - 1))
        return false;
    // The velocity's dot product with straight up, not below 0: its y not below 0 and x and z
    // finite (x - x is 0 just then), as the product's sum of x * 0, y and z * 0 says.
    const FV3 &v = ball.velocity;
    v.Check();
    return v.y >= 0 && v.x - v.x == v.z - v.z;
}
/* Whether Env_Collect, with the fast paths on and room in the table, would find the range empty
 * again at once: the same cell, support case and pieces as a call that found it empty, anywhere in
 * the cell when that call found every cell around empty but for the flat pieces rolled over
 * (details -1), else in the same zones (then the ball's zone is found). */
inline bool Env_OpenAgain(PhBall &ball, bool rollsOnFlat)
{
    const int32_t *open = ball.openAt;
    // The cell x, y, z side by side in both (the fourth lane is not compared).
    const __m128i cell = _mm_cmpeq_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i *>(open)),
                                         _mm_loadu_si128(reinterpret_cast<const __m128i *>(&ball.cellX)));
    if (!((_mm_movemask_epi8(cell) & 0xfff) == 0xfff && open[4] == (rollsOnFlat ? 1 : 0) &&
          open[5] == static_cast<int32_t>(PhysWorld.piecesGeneration)))
        return false;
    if (open[3] == -1)
        return true;
    ball.zone = ball.ClassifyInCell(nullptr);
    return open[3] == static_cast<int32_t>(ball.zone.bits >> 15);
}
/* Env_Collect past the range found empty again: the search itself, for the ball's Env_RollsOnFlat. */
int Env_CollectAnew(PhBall &ball, PhContact *table, int *count, bool rollsOnFlat);
/* Env_Collect with the fast-path setting given (the step asks it once for all its balls). */
inline int Env_CollectWith(PhBall &ball, PhContact *table, int *count, bool fastPaths)
{
    const bool rolls = Env_RollsOnFlat(ball);
    if (*count > 0 && fastPaths && Env_OpenAgain(ball, rolls)) {
        *count = 0;
        return -1;
    }
    return Env_CollectAnew(ball, table, count, rolls);
}
float Env_ImpactTime(PhBall &ball, PhElem *object, const FV3 &c);
/* 1 when the contact became rolling or sliding along the surface. */
int Env_Bounce(PhBall &ball, PhElem *object, const FV3 &c, float t, int code);
int Env_RestNudge(PhBall &ball, FV3 *velocity);
int Env_Stuck(PhBall &ball, const PhContact *table, int count);
int Env_PushOut(PhBall &ball);
void Env_LaneTurn(PhBall &ball, PhElem *corner, int code);

int PhBall_Step(PhBall &ball, TrPalya *field, int32_t timeMs);
int PhBall_PairResponse(PhBall &a, PhBall &b, const FV3 &c, float t, float f);
/* True when the ball lies on the slope's surface. */
bool PhBall_OnSlope(const PhBall &ball, const PhElem &slope, float f);

int PhSlope_Respond(PhSlope &slope, PhBall &ball, const FV3 &c, int code, float time);
int PhCorner_Respond(PhCorner &corner, PhBall &ball, const FV3 &c, int code, float time);

#endif
