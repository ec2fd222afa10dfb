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
