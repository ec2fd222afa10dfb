/* A whole run of a field without the game: build the world, step it every 25 ms of simulated time
 * until everything rests or a step cap, and sum up what happened. */
#ifndef TERROW_PHYS_PHRUN_H
#define TERROW_PHYS_PHRUN_H

#include <stdint.h>

#include "terrow/phys/phworld.h"

enum { PH_STEP_MS = 25 };
/* The most steps a run can take: the step's time in ms must fit its 32-bit argument. */
enum { PH_MAX_STEPS = INT32_MAX / PH_STEP_MS };

struct PhRunResult {
    int32_t steps;      // steps taken, the resting one included
    bool rested;        // the last step reported rest (else the cap ended the run)
    int32_t sunk;       // ball elements with the sunk bit
    int32_t destroyed;  // elements with the destroyed bit
    int32_t needed;     // the field's balls needed
    bool solved;        // sunk >= needed, as the game's driver judges a run
    PhImpactCounters impacts;  // the strongest level of each counter over the run
    uint64_t hash;      // of every ball's final position (bit patterns) or its end flags
};

/* Builds the world of `field`, runs it (at most PH_MAX_STEPS steps), frees it. */
PhRunResult Phys_Run(TrPalya *field, int32_t maxSteps);
/* The hash alone, of the balls as they are now (the world still built). */
uint64_t Phys_BallHash(const TrPalya *field);

#endif
