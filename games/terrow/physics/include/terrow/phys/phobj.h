/* The physics objects of a run: one per field element, a common base and eight concrete classes, the
 * lists they live on, and the event protocol (goal entry, sinking, destruction) towards the game. */
#ifndef TERROW_PHYS_PHOBJ_H
#define TERROW_PHYS_PHOBJ_H

#include "terrow/phys/phworld.h"

#include <emmintrin.h>

/* Motion states. */
enum {
    MT_ALL = 0,       // at rest
    MT_EVE = 1,       // rolling on a flat piece
    MT_EVEL = 2,      // rolling on a slope
    MT_SZE = 3,       // flying
    MT_SZEL = 4,      // flying off a slope
    MT_MAGN_ALL = 5,  // held by a magnet
    MT_LEGORDUL = 6,
    MT_FOLGORDUL = 7,
};

/* Finish codes. */
enum { FIN_ACTIVE = 0, FIN_DESTROYED = 1, FIN_BROKEN = 2, FIN_SUNK = 3 };

/* The concrete class, for the tests that must not trust the element's flag bits. */
enum PhClass : int32_t { PHC_BALL, PHC_TILE, PHC_GROUND, PHC_MAGNET, PHC_SPIKED, PHC_GOAL, PHC_SLOPE, PHC_CORNER };

struct PhElem {
    PhElem(TrElem *elem, int32_t index, PhClass cls);
    PhElem(const PhElem &) = delete;
    PhElem &operator=(const PhElem &) = delete;

    /* The nine operations, in this order. */
    virtual ~PhElem();
    virtual float DistanceTo(const PhBall &ball) const;
    /* 1 (2: through a ramp's top) when the ball touches; c runs from the ball's centre to the touch. */
    virtual int Contact(PhBall &ball, FV3 *c, int *code, float tolerance);
    /* 1 when the contact ends the ball's part in this step. */
    virtual int Respond(PhBall &ball, const FV3 &c, int code, float time);
    virtual int SupportTest(PhBall &ball, const FV3 &w, int code);
    virtual void TurnToGround();
    virtual TrElem *FilterCandidate(TrElem *candidate, const FV3 &point);
    virtual TrElem *FilterCandidateFromBall(TrElem *candidate, const PhBall &ball);
    virtual int32_t Orientation() const;

    bool IsBall() const { return cls == PHC_BALL; }
    bool IsFixed() const { return cls != PHC_BALL; }
    /* Zones of a ball against this object's box. */
    PhZoneCode Classify(const PhBall &ball, FV3 *closest) const;
    void SetBox(const FV3 &low, const FV3 &high, bool toElement);

    PhClass cls;
    TrElem *element;
    const uint32_t *ioFlags;  // the element's flag word, for the queries that pass over balls
    PhElem *nextObject = nullptr;
    PhElem *nextFixed = nullptr;
    PhElem *nextFinished = nullptr;
    int32_t index;
    uint32_t flags;
    // What the passes over the balls read of a ball's base, together.
    int32_t type;
    int32_t finishCode = 0;
    int32_t finishAge = 0;
    FV3 position, centre;
    int32_t cellX, cellY, cellZ;
    FV3 boxLow, boxHigh;
    float box[6];
    FV3 up;
    bool inGrid = false;  // the element was stored in its grid slot
};

struct PhTile : PhElem {
    PhTile(TrElem *e, int32_t i, PhClass c = PHC_TILE) : PhElem(e, i, c) {}
};

struct PhGroundTile : PhElem {
    PhGroundTile(TrElem *e, int32_t i);
    int Contact(PhBall &ball, FV3 *c, int *code, float tolerance) override;
    int Respond(PhBall &ball, const FV3 &c, int code, float time) override;
};

struct PhMagnet : PhTile {
    PhMagnet(TrElem *e, int32_t i);
    ~PhMagnet() override;
    void TurnToGround() override;
    void ReleaseAll();
    PhMagnet *nextMagnet = nullptr;
    PhBall *held = nullptr;
};

struct PhSpiked : PhElem {
    PhSpiked(TrElem *e, int32_t i) : PhElem(e, i, PHC_SPIKED) {}
    int Respond(PhBall &ball, const FV3 &c, int code, float time) override;
    void TurnToGround() override;
};

struct PhGoal : PhTile {
    PhGoal(TrElem *e, int32_t i);
    ~PhGoal() override;
    int Respond(PhBall &ball, const FV3 &c, int code, float time) override;
    PhGoal *nextGoal = nullptr;
};

/* Slopes and corners share the solid and its contact. */
struct PhRamp : PhElem {
    PhRamp(TrElem *e, int32_t i, PhClass c);
    ~PhRamp() override;
    int Contact(PhBall &ball, FV3 *c, int *code, float tolerance) override;
    int SupportTest(PhBall &ball, const FV3 &w, int code) override;
    TrElem *FilterCandidate(TrElem *candidate, const FV3 &point) override;
    int32_t Orientation() const override;
    PhRampGeom *geom = nullptr;
};

struct PhSlope : PhRamp {
    PhSlope(TrElem *e, int32_t i);
    ~PhSlope() override;
    int Respond(PhBall &ball, const FV3 &c, int code, float time) override;
    TrElem *FilterCandidateFromBall(TrElem *candidate, const PhBall &ball) override;
    PhSlope *nextSlope = nullptr;
    PhBall *ballsOn = nullptr;
};

struct PhCorner : PhRamp {
    PhCorner(TrElem *e, int32_t i);
    int Contact(PhBall &ball, FV3 *c, int *code, float tolerance) override;
    int Respond(PhBall &ball, const FV3 &c, int code, float time) override;
    TrElem *FilterCandidateFromBall(TrElem *candidate, const PhBall &ball) override;
};

struct PhNeighbour {
    PhElem *object;
    int32_t count;
    uint32_t seen;
};

// Aligned to a cache line, so that the fields read first lie in as few lines as they can.
struct alignas(64) PhBall : PhElem {
    PhBall(TrElem *e, int32_t i);
    ~PhBall() override;
    float DistanceTo(const PhBall &ball) const override;
    int Contact(PhBall &ball, FV3 *c, int *code, float tolerance) override;
    TrElem *FilterCandidate(TrElem *candidate, const FV3 &point) override;

    /* The ball's own cell box (cell x, y, z) and the zones within it. Inline: the step's passes ask
     * it again and again for a ball that has not moved, whose zones are kept. */
    PhZoneCode ClassifyInCell(FV3 *closest) const;
    /* ClassifyInCell without looking at the zones kept. */
    PhZoneCode ClassifyInCellAnew(FV3 *closest) const;
    /* Recomputes the cell from the position (the previous cell keeps the old one) and the box. */
    void UpdateCell();
    const PhyMaterial &Material() const;

    // What the step's passes over every ball read comes first, close together (from a cache line's
    // start, with the base's places and state); the rest after.
    PhBall *nextBall = nullptr;
    PhGoal *goal = nullptr;
    PhElem *support = nullptr;
    PhBall *neighbour = nullptr;
    float radius;
    /* Lying still (and not held by the balls it leans on) with a moving ball near: its own step and
     * its pieces would find it as they left it, so only the balls around it may set it going. The
     * fast paths pass over that step; the full walk takes it, and the two must agree. */
    bool quiet = false;
    /* `dormant`: the step left it alone this time (see stillSteps). */
    bool dormant = false;
    bool sinking = false;
    bool nudged = false;
    uint32_t pushed = 0;
    uint32_t attracted = 0;
    int32_t motion = MT_EVE;
    /* Steps the ball has lain still (at rest, on a piece, in the same place) and the pieces'
     * generation it has lain still in. */
    int32_t stillSteps = 0;
    uint32_t stillGeneration = 0;
    /* Steps the ball has kept within a hair of `blockedAt` although it was set moving (or nudged off
     * a cell edge); past PH_BLOCKED_STEPS it rests there and is nudged no more. */
    int32_t blockedSteps = 0;
    int32_t heldTouching = 0;  // balls touching it when it came to rest so: held while they stay
    int32_t neighbourCount = 0;
    uint32_t rollingDown = 0, rollingUp = 0;
    int32_t lane = 0;
    /* The cell, zone details and pieces' generation the support slots were last found for. */
    bool slotsValid = false;
    bool nearMagnet = false;  // an iron ball within a magnet's reach at its last step
    bool nudgedLast = false;  // nudged (it tried to go) in its last step
    /* Its last step began with its magnet holding it, and the magnets only held it (none pulled
     * it): another such step would change nothing. */
    bool heldStill = false;
    /* The balls it leaned on (neighbourCount) have left since its last step: on a slope it rolls. */
    bool propLost = false;
    FV3 velocity, prevPosition, stillAt, blockedAt;
    float energy = 0;
    /* The most energy the ball may have after the step's responses: its energy at the step's start
     * plus what a magnet gave it; a response that would end above it keeps the ball's speed down. */
    float allowance = 0;
    float currentTime = 0, stepStartTime = 0;
    PhZoneCode zone{0};
    // The last ClassifyInCell without a closest point and the centre, radius and cell it was taken
    // for: the step asks several times for a ball that has not moved.
    // (No cell is INT32_MIN: nothing matches before the first.)
    mutable PhZoneCode zoneFound{0};
    mutable float zoneAt[4] = {0, 0, 0, 0};
    mutable int32_t zoneCell[4] = {INT32_MIN, 0, 0, 0};
    int32_t slotsKey[4] = {0, 0, 0, 0};  // cell x, y, z and the zone code's x and z detail bits
    uint32_t slotsGeneration = 0;
    // The cell, zone details and pieces' generation for which Env_Collect last found no piece to
    // look at (details -1: anywhere in the cell; openAt[4] bit 0: a ball rolling on a flat piece; no
    // cell is INT32_MIN).
    int32_t openAt[6] = {INT32_MIN, 0, 0, 0, 0, 0};
    /* Where the piece pass surely finds again what it found last for a ball rolling on a flat piece
     * (no piece met, the wall not reached, the same zones and support slots): the centres within
     * calmLow..calmHigh (x, y, z), for the cell, support, radius and pieces' generation it was found
     * for (radius not a number: none kept). */
    float calmRadius = NAN;
    uint32_t calmGeneration = 0;
    PhZoneCode calmZone{0};
    const PhElem *calmSupport = nullptr;
    float calmLow[4] = {0, 0, 0, 0}, calmHigh[4] = {0, 0, 0, 0};
    int32_t calmCell[4] = {0, 0, 0, 0};
    /* Where the goal entry last found no goal listed near (x low and high, z low and high: a
     * column's cell or a bucket of the goal lists), for the pieces' generation it was found for. */
    float goalFree[4] = {0, 0, 0, 0};
    uint32_t goalFreeGeneration = 0;
    // The ball's own step reads the rest, what its end writes first.
    int32_t prevCellX = 0, prevCellY = 0, prevCellZ = 0;
    PhZoneCode prevZone{0};
    FV3 halfSize;
    int32_t prevMotion = MT_EVE;
    PhElem *prevSupport = nullptr;
    /* The part of a support's box where the point query surely finds it (Phys_SureBox; none when not
     * sureKnown), for the support and the pieces' generation it was found for. */
    const PhElem *sureOf = nullptr;
    uint32_t sureGeneration = 0;
    bool sureKnown = false;
    float sureBox[6] = {0, 0, 0, 0, 0, 0};
    float startEnergy = 0;
    float changeTime = 0, timeInMotion = 0, stepLength = 0;
    FV3 acceleration, lastVelocity, spin;
    uint32_t firstContact = 1;
    M33 orientation;  // the view's, as the spin: turned only while the host shows the ball
    FV3 viewPosition;  // the actor's place, written while the host shows the ball
    FV3 moveStartPos, moveStartVel;
    FV3 work[2];
    float impactTime = 0;
    FV3 impactVelocity;
    FV3 sinkStep;  // not valid until the sink begins
    int32_t sinkStepsLeft = 0;
    /* The goal's box and centre, kept from the goal entry so that a sink can end even when the goal
     * is destroyed meanwhile. */
    FV3 goalLow, goalHigh, goalCentre;
    PhBall *nextHeld = nullptr;
    PhMagnet *magnet = nullptr;
    PhSlope *slope = nullptr;
    PhBall *nextOnSlope = nullptr;
    uint32_t traceCounter = 0;
    /* For how many steps an attracted ball has stayed within its magnet's reach: a magnet that keeps a ball
     * pressed or swinging against a piece it cannot pass holds it there, where the pull turns it back. */
    int32_t trapSteps = 0;
    /* When known, no magnet reaches an iron ball whose centre lies in this box, for the pieces'
     * generation, reach and radius it was found for (a magnet made or moved changes the generation;
     * one removed leaves it true). */
    bool magnetsFarKnown = false;
    float magnetsFarLow[3] = {0, 0, 0}, magnetsFarHigh[3] = {0, 0, 0};
    float magnetsFarReach = 0, magnetsFarRadius = 0;
    uint32_t magnetsFarGeneration = 0;
    PhNeighbour around[27];
};

/* Intrusive lists: insertion at the head, removal of the first match (a non-member is left alone). */
template <class T>
void PhList_Push(T *&head, T *obj, T *T::*link)
{
    obj->*link = head;
    head = obj;
}
template <class T>
bool PhList_Remove(T *&head, T *obj, T *T::*link)
{
    for (T **p = &head; *p != nullptr; p = &((*p)->*link))
        if (*p == obj) {
            *p = obj->*link;
            obj->*link = nullptr;
            return true;
        }
    return false;
}

inline PhZoneCode PhBall::ClassifyInCell(FV3 *closest) const
{
    if (closest == nullptr) {
        // The same bits of centre and radius in the same cell: the same zones.
        const __m128i cell = _mm_setr_epi32(cellX, cellY, cellZ, 0);
        const __m128 p = _mm_setr_ps(position.x, position.y, position.z, radius);
        const __m128i same = _mm_and_si128(_mm_cmpeq_epi32(_mm_castps_si128(p), _mm_loadu_si128(reinterpret_cast<const __m128i *>(zoneAt))),
                                           _mm_cmpeq_epi32(cell, _mm_loadu_si128(reinterpret_cast<const __m128i *>(zoneCell))));
        if (_mm_movemask_epi8(same) == 0xffff)
            return zoneFound;
    }
    return ClassifyInCellAnew(closest);
}

int PhElem_Finish(PhElem *obj, int how, uint32_t bits);
void PhElem_Shatter(PhElem *piece);
int PhGoal_Accepts(const PhGoal &goal, const PhBall &ball);

inline const PhyMaterial &PhBall::Material() const
{
    return PhyParams.material[type >= 0 && type < PHY_KINDS ? type : 0];
}

/* Energy from a height and a speed's square (as Length2 gives it): (height x gravity + 0.5 x speed
 * squared) x mass. */
inline float PhBall_EnergyAt(float y, double speed2, float mass)
{
    const float gy = PhyParams.gravity * y;  // single precision on purpose
    return (gy + 0.5f * static_cast<float>(speed2)) * mass;
}
/* Energy of a ball now. Inline: the step takes it for every ball several times. */
inline float PhBall_EnergyOf(const PhBall &ball, float mass)
{
    return PhBall_EnergyAt(ball.position.y, ball.velocity.Length2(), mass);
}
inline float PhBall_Energy(const PhBall &ball) { return PhBall_EnergyOf(ball, ball.Material().mass); }
/* A ball lifted by dy pays for the height with its speed: sqrt(v^2 - 2 g dy), at least 0. Applied to
 * `v` and, when other than `v`, to the ball's own velocity too. */
void PhBall_PayLift(PhBall &ball, float dy, FV3 &v);
/* The speed left to a ball whose energy is above its allowance (PhBall_CapEnergy's rare part). */
void PhBall_LowerToAllowance(PhBall &ball);
/* Whether a ball moving with `v` can pay a lift by dy out of its speed (any drop it can). A lift it
 * cannot pay is not made: the contact with the piece turns it back or stops it instead. */
bool PhBall_AffordsLift(const FV3 &v, float dy);
/* Keeps the ball's energy at or below its allowance by lowering its speed, for its material's mass m. */
inline void PhBall_CapEnergyOf(PhBall &ball, float m)
{
    if (!(m > 0) || ball.finishCode != 0)
        return;
    const float e = PhBall_EnergyOf(ball, m);
    const float slack = 1e-5f + 1e-6f * fabsf(ball.allowance);
    if (e > ball.allowance + slack)
        PhBall_LowerToAllowance(ball);
}
/* The same for the ball's own material. */
inline void PhBall_CapEnergy(PhBall &ball) { PhBall_CapEnergyOf(ball, ball.Material().mass); }
void PhBall_SetMotion(PhBall &ball, int state, const FV3 &p, const FV3 &v, float t, int settle);
/* Takes from w what would go into the ball's support: its downward part on a flat piece, the part
 * into the ramp on a slope. Inline: the settling asks it for every moving ball. */
inline void PhBall_ClipToSupport(const PhBall &ball, FV3 &w)
{
    const PhElem *s = ball.support;
    if (s == nullptr)
        return;
    if (s->cls != PHC_SLOPE) {
        if (w.y < 0)
            w.y = 0;
        return;
    }
    const double d = w.Dot(s->up);
    if (d < 0)
        w -= s->up * static_cast<float>(d);
}
int PhBall_HardImpact(PhBall &ball, const FV3 &c);
void PhBall_Bounce(PhBall &ball, PhElem *piece, const FV3 &c, float t, int code, int extraDamping, float f);
/* True for a contact with a corner's wall edge (code 1, 7 or 10) that the ball moves into. */
bool PhBall_MeetsCornerEdge(const PhBall &ball, const PhElem *piece, int code);
/* The bounce off a corner's wall edge: only the horizontal velocity is turned; counts the impact. */
void PhBall_CornerEdgeBounce(PhBall &ball, const PhElem *corner, const FV3 &c, float f);
/* Starts the sink into `goal` (the goal link and the kept goal geometry). */
void PhBall_EnterGoal(PhBall &ball, PhGoal *goal);
int PhBall_Sink(PhBall &ball);
void PhBall_Sync(PhBall &ball, const FV3 &p);
/* The end of a ball's own step: its actor (when `shown`: Phys_Shown), cell and box written for its
 * position, and its zones found (the last kept as prevZone). */
void PhBall_SyncInCell(PhBall &ball, bool shown);
void PhBall_ImpactSound(PhBall &ball, const PhElem *piece, const FV3 &dv);
void PhBall_RecordImpact(PhBall &ball, const PhBall *other, const PhElem *piece, const FV3 &dv);
int PhBall_TraceAndHit(PhBall &ball, uint32_t bits, const FV3 &excess, float t);
void PhBall_BoundaryBounce(PhBall &ball, const FV3 &excess, float t);

#endif
