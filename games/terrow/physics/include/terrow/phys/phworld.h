/* The physics world of one run: the objects built from the field, their lists, the level grid, the
 * object queries, the seam to the 3D side and the game, and the placement helpers of a ball. */
#ifndef TERROW_PHYS_PHWORLD_H
#define TERROW_PHYS_PHWORLD_H

#include <math.h>
#include <stdint.h>
#include <stdio.h>

#include <vector>

#include "terrow/phys/phgeom.h"
#include "terrow/phys/phparams.h"
#include "terrow/trfield.h"

struct br_model;
struct PhElem;
struct PhBall;
struct PhGoal;
struct PhSlope;
struct PhMagnet;
struct PhQueryIndex;
class PhPairGrid;

/* Everything the physics asks of the 3D side and the game. Every entry may be null: the physics then
 * does without (fields whose elements have no actors run headless). */
struct PhHost {
    void (*renderStyle)(TrElem *elem, int style);
    /* The model of a ball's actor, or null. */
    br_model *(*ballModel)(TrElem *elem);
    void (*modelUpdate)(br_model *model, uint16_t flags);
    /* Rows 0..2 of the actor's matrix; 0 when there is none (the orientation starts as identity). */
    int (*readMatrix)(TrElem *elem, float rows[9]);
    /* Puts the actor at `view` (physics position x 0.1); `rows` null leaves its rotation. */
    void (*writeActor)(TrElem *elem, const float view[3], const float *rows);
    /* A trace mark at `view` (physics point x 0.1). */
    void (*traceMark)(const float view[3]);
};

/* Installs a host (null: the built-in one, which touches actors directly but updates no models and
 * makes no trace marks); returns the previous one. */
PhHost Phys_SetHost(const PhHost *host);
const PhHost &Phys_Host();

/* Strongest impact of the step per ball kind (0 none, 1 soft, 2 hard), and the magnet event; the
 * driver clears them before every step. */
struct PhImpactCounters {
    int32_t uveg, bomba, gumi, fem, magnet;
};
extern PhImpactCounters PhysCounters;

enum { PH_REMOVED_MAX = 200, PH_GRID_BELOW = 1 };

struct PhWorld {
    TrElem **cells;
    int32_t sizeX, sizeY, sizeZ;
    float sizeXf, sizeZf;
    int32_t layerStride;
    PhElem *objects;
    PhElem *gridTiles;  // the fixed list
    PhBall *balls;
    /* Set once a ball's stuck count (its neighbour slots) has held a ball (the queries find one
     * whose element lacks the ball bit): until then deleting a ball need not look in the slots. */
    bool ballsInSlots;
    PhElem *finished;
    PhGoal *goals;
    PhSlope *slopes;
    PhMagnet *magnets;
    PhBall *tracedBall;
    FILE *log;
    float expectedEnergy;
    bool tearingDown;
    bool viewSync;  // actors follow the balls
    /* Field elements of the objects deleted in the current step, in deletion order. */
    TrElem *removed[PH_REMOVED_MAX];
    int32_t removedCount;
    TrPalya *field;
    /* Per-cell candidate lists of the fixed pieces for the object queries, rebuilt on the first query
     * after a piece is made, moved or deleted (`queryIndexStale`). */
    PhQueryIndex *queryIndex;
    bool queryIndexStale;
    /* The balls bucketed for the pair loops of the step (kept to reuse its memory). */
    PhPairGrid *pairGrid;
    /* Energy the magnets have given the balls since the build: the only source besides the start. */
    double sourceEnergy;
    /* Counts the changes to the pieces (made, moved, deleted): a ball resting since the last change
     * with nothing moving near it is left alone by the step. */
    uint32_t piecesGeneration;
    /* The coarse map of where balls move, a bit per cell, for that test (kept to reuse its memory). */
    std::vector<uint64_t> *stirred;
};
extern PhWorld PhysWorld;

namespace phys_detail {
// The host's actor writer and whether it is the built-in one, kept by Phys_SetHost for Phys_Shown.
extern void (*g_actorWriter)(TrElem *elem, const float view[3], const float *rows);
extern bool g_builtinWriter;
}  // namespace phys_detail

/* Which balls the host shows: 0 none (the actors do not follow the balls, or the host writes none),
 * 1 every one, 2 those whose element has an actor (the built-in host; a field run headless has
 * none). Phys_ShownBy: whether element e is shown so. Inline: every ball's step asks. */
inline int Phys_ShowKind()
{
    if (!PhysWorld.viewSync || phys_detail::g_actorWriter == nullptr)
        return 0;
    return phys_detail::g_builtinWriter ? 2 : 1;
}
inline bool Phys_ShownBy(int kind, const TrElem *e) { return kind == 1 || (kind == 2 && e != nullptr && e->actor != nullptr); }
/* Whether the host shows element e's actor. */
inline bool Phys_Shown(const TrElem *e) { return Phys_ShownBy(Phys_ShowKind(), e); }

/* Where a build with a traced ball creates its log ("Terrow.log" in the current folder by default). */
void Phys_SetLogPath(const char *path);

int Phys_Build(TrPalya *field);
void Phys_Free();
TrElem **Grid_Build(TrPalya *field);
void Grid_Free();
/* The slot of cell (x, gy, z), gy from -1; null outside the grid or without one. */
TrElem **Grid_Cell(int32_t x, int32_t gy, int32_t z);

/* The fast paths: the cell and point queries answer from per-cell candidate lists (the same objects
 * in the same order as a walk of the whole object list) and the pair loops of the step look only at
 * balls near each other. Off, the queries walk the list and the loops try every pair; the results
 * are the same. Returns the previous setting. */
bool Phys_SetFastPaths(bool on);
bool Phys_FastPaths();
/* Marks the candidate lists stale: a piece was made, moved or deleted. */
void Phys_PiecesChanged();
TrElem *Phys_ElemAtCell(int32_t x, int32_t gy, int32_t z, const PhElem *exclude);
PhElem *Phys_ObjAtCell(int32_t x, int32_t gy, int32_t z, const PhElem *exclude);
/* Fast paths only (false without them): whether the 27 cells around (x, gy, z) hold nothing but
 * pieces of layer gy - 1 that face straight up (or corners), which a ball on such a piece rolling
 * level or upward does not meet. Cached per cell until the pieces change. */
bool Phys_OpenAround(int32_t x, int32_t gy, int32_t z);
/* Fast paths only (false without them, or outside the field): the cells around (x, gy, z) that hold
 * a piece, bit (dz + 1) * 9 + (dy + 1) * 3 + (dx + 1), and of those the ones of layer gy - 1 whose
 * piece lies there and is a corner or faces straight up. Cached per cell until the pieces change. */
bool Phys_CellsAround(int32_t x, int32_t gy, int32_t z, uint32_t *held, uint32_t *flatBelow);
/* Fast paths only (false without them): whether the point query at p finds piece o whatever it
 * excludes but o and the balls, because p lies inside o's box across and at its height, and no other
 * piece comes near there. Cached per piece until the pieces change. */
bool Phys_SurelyAtPoint(const PhElem &o, const FV3 &p);
/* Fast paths only (false without them, or where it holds nowhere): the part of o's box where
 * Phys_SurelyAtPoint holds, as x low, x high, y low, y high, z low, z high (a point p is in it when
 * box[0] <= p.x <= box[1] and so on). It holds until the pieces change or the fast paths are set. */
bool Phys_SureBox(const PhElem &o, float box[6]);
/* Fast paths only (false without them): whether no slope comes near point p, so that no query
 * there can find one. */
bool Phys_NoSlopeNear(const FV3 &p);
TrElem *Phys_SupportBelow(int32_t x, int32_t gy, int32_t z, const PhElem *exclude);
TrElem *Phys_ElemAtPoint(TrPalya *field, float x, float y, float z, const PhElem *exclude);
TrElem *Phys_ElemAtPoint(TrPalya *field, const FV3 &p, const PhElem *exclude);
PhElem *Phys_ObjAtPoint(TrPalya *field, float x, float y, float z, const PhElem *exclude);
PhElem *Phys_ObjAtPoint(TrPalya *field, const FV3 &p, const PhElem *exclude);
TrElem *Phys_SlopeAtPoint(const FV3 &p);
/* The goals, in goal-list order, that a ball at p may enter: every goal whose box widened by 0.1
 * across (x, z) holds p is among them. False when the lists cannot tell (fast paths off, p not a
 * number): then every goal may be entered. */
bool Phys_GoalsNear(const FV3 &p, PhElem *const **first, int32_t *count);
/* By field column of whole cells, whether Phys_GoalsNear lists a goal anywhere in it: most balls
 * are far from every goal, and the step asks for each of them. */
struct PhGoalColumns {
    int32_t lo[2] = {0, 0}, n[2] = {0, 0};  // x, z
    std::vector<uint8_t> any;
    /* Whether Phys_GoalsNear lists no goal at (x, z); false when unsure (not a number). */
    bool NoneNear(float x, float z) const
    {
        if (!(fabsf(x) < 1e9f && fabsf(z) < 1e9f))
            return x == x && z == z;  // far beyond every goal
        auto cell = [](float v) {
            const int32_t t = static_cast<int32_t>(v);
            return static_cast<float>(t) > v ? t - 1 : t;
        };
        const uint32_t ux = uint32_t(cell(x) - lo[0]), uz = uint32_t(cell(z) - lo[1]);
        return ux >= uint32_t(n[0]) || uz >= uint32_t(n[1]) || any[size_t(uz) * size_t(n[0]) + ux] == 0;
    }
};
/* The columns of the goal lists; null when the lists cannot tell (as Phys_GoalsNear). Valid until
 * the pieces change. */
const PhGoalColumns *Phys_GoalColumns();
/* Bits 1 (z < 0), 4 (z > sizeZ), 2 (x < 0), 8 (x > sizeX), 16 (y < 0) and the excess beyond. */
uint32_t Phys_OutOfField(const TrPalya *field, const FV3 &p, FV3 *excess);
/* Total energy of the active balls; stores each ball's own. */
float Phys_Energy();

/* Placement helpers of a ball. */
int Env_PlaceOnSupport(PhBall &ball, PhElem *support, FV3 &pos, int clearVertical, int force);
int Env_AxisAligned(const PhBall &ball);
/* The same test for a motion about to start (state, lane lock, velocity). */
int Env_AxisAlignedFor(int state, int lane, const FV3 &v);
int Env_LaneOf(PhBall &ball);
int Env_ClampToField(PhBall &ball);
int Env_BackOffPoint(PhBall &ball, const FV3 &point);
int Env_BackOffPlane(PhBall &ball, const PhPlane &plane, const FV3 &w);

#endif
