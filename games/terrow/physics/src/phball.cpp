// The ball: how it starts, changes its motion, bounces off pieces and the field's wall, sinks into a
// goal, and what its impacts tell the game.
#include <math.h>
#include <string.h>
#include <emmintrin.h>

#include "phutil.h"

#include "terrow/phys/phobj.h"

namespace {

using phys_detail::in;

// Far beyond every piece (pieces stay within 2^24 cells), yet far from the 32-bit ends.
const int32_t k_cell_bound = 1 << 30;

const PhyMaterial &material_of(int32_t kind)
{
    return PhyParams.material[kind >= 0 && kind < PHY_KINDS ? kind : 0];
}

// The restitution chain's last steps: slow bounces lose almost everything; the bounce mode decides
// what happens along the surface (a zero restitution leaves the tangential part as it is).
void apply_restitution(float e, const FV3 &vN, const FV3 &vT, FV3 *outN, FV3 *outT)
{
    *outN = vN * -e;
    *outT = vT;
    if (PhyParams.bounceMode == 1)
        *outT = vT * e;
    else if (PhyParams.bounceMode == 2 && e != 0)
        *outT = vT / e;
}

// The view of the ball, written to its actor when the host shows it (see Phys_Shown).
inline __attribute__((always_inline)) void write_actor(PhBall &ball, bool shown)
{
    if (!shown)
        return;
    ball.viewPosition = ball.position * 0.1f;
    const float view[3] = {ball.viewPosition.x, ball.viewPosition.y, ball.viewPosition.z};
    Phys_Host().writeActor(ball.element, view, ball.orientation.m);
}
inline void write_actor(PhBall &ball) { write_actor(ball, Phys_Shown(ball.element)); }

// The rest of the step after a contact, with the acceleration's horizontal part mirrored about the
// contact's horizontal normal.
void run_on(PhBall &ball, const FV3 &n, float t, bool extraDamping)
{
    FV3 h(n.x, 0, n.z);
    FV3 a = ball.acceleration;
    if (h.Length() > 0) {
        h.Normalise();
        const float ah = static_cast<float>(FV3(a.x, 0, a.z).Dot(h));
        a = FV3(a.x - 2 * ah * h.x, a.y, a.z - 2 * ah * h.z);
    }
    float dt = ball.currentTime - t;
    if (!extraDamping && ball.lane != 0)
        dt = ball.currentTime - ball.stepStartTime;
    ball.position += (ball.lastVelocity + a * (dt / 2)) * dt;
}

// Position and velocity of the ball's current segment at time t.
void advance_to(PhBall &ball, float t)
{
    const float dt = t - ball.stepStartTime;
    ball.position = ball.prevPosition + (ball.lastVelocity + ball.acceleration * (dt / 2)) * dt;
    ball.velocity = ball.lastVelocity + ball.acceleration * dt;
}

// Whether float(sqrt(d2)) > c: the square tells away from the border, the root decides near it.
// Only where a float near c rounds by a relative step (not among the denormals) and c * c is finite.
bool distance_above(double d2, double c)
{
    if (c > 1e-30 && c < 1e150) {
        const double c2 = c * c;
        if (d2 > c2 * 1.0001)
            return true;
        if (d2 < c2 * 0.9999)
            return false;
    }
    return static_cast<float>(sqrt(d2)) > c;
}

void raise(int32_t &counter, int level)
{
    if (counter < level)
        counter = level;
}

}  // namespace

PhBall::PhBall(TrElem *e, int32_t i) : PhElem(e, i, PHC_BALL)
{
    PhScope scope;
    radius = PhyDerived.ballRadius > 0 ? PhyDerived.ballRadius : 0.35f;
    PhList_Push(PhysWorld.balls, this, &PhBall::nextBall);
    const float s = PhyParams.launchSpeed;
    static const float k_dir[4][3] = {{0, 0, -1}, {-1, 0, 0}, {0, 0, 1}, {1, 0, 0}};
    const int32_t key = e->io->direction;
    if (key >= 0 && key <= 3) {
        velocity = FV3(k_dir[key][0] * s, k_dir[key][1] * s, k_dir[key][2] * s);
        lane = (key & 1) ? 1 : 2;
    } else {
        velocity = FV3(0, 0, 0);  // no direction set: the ball starts still
        lane = 0;
    }
    motion = prevMotion = MT_EVE;
    lastVelocity = moveStartVel = velocity;
    acceleration = FV3(0, 0, 0);
    spin = FV3(0, 0, 0);
    impactVelocity = FV3(0, 0, 0);
    float rows[9];
    const PhHost &host = Phys_Host();
    if (host.readMatrix != nullptr && host.readMatrix(e, rows))
        orientation = M33(rows);
    else
        orientation = M33(FV3(0, 0, 0));  // identity
    position = FV3(cellX + 0.5f, cellY * 0.55f + radius, cellZ + 0.5f);
    centre = position;
    prevPosition = moveStartPos = position;
    halfSize = FV3(radius, radius, radius);
    SetBox(position - halfSize, position + halfSize, false);
    prevCellX = cellX;
    prevCellY = cellY;
    prevCellZ = cellZ;
    energy = startEnergy = PhBall_Energy(*this);
    e->io->flags &= ~EF_ENTERED;
    zone = prevZone = ClassifyInCell(nullptr);
    viewPosition = position * 0.1f;
    for (PhNeighbour &n : around)
        n = PhNeighbour{nullptr, -1, 0};
}

PhBall::~PhBall()
{
    PhWorld &w = PhysWorld;
    if (w.tearingDown)
        return;
    if (magnet != nullptr)
        PhList_Remove(magnet->held, this, &PhBall::nextHeld);
    PhList_Remove(w.balls, this, &PhBall::nextBall);
    if (w.tracedBall == this)
        w.tracedBall = nullptr;
    if (slope != nullptr)
        PhList_Remove(slope->ballsOn, this, &PhBall::nextOnSlope);
}

float PhBall::DistanceTo(const PhBall &ball) const
{
    PhScope scope;
    return static_cast<float>((position - ball.position).Length());
}

int PhBall::Contact(PhBall &ball, FV3 *c, int *code, float tolerance)
{
    (void)code;
    (void)tolerance;
    PhScope scope;
    // The distance as DistanceTo gives it, compared as its square away from each border.
    const double d2 = (position - ball.position).Length2();
    if (distance_above(d2, 0.9f * (radius + ball.radius)))
        return 0;
    if (lane != 0 && ball.lane != 0 && lane != ball.lane && distance_above(d2, 0.9 * PhyDerived.halfRoot2))
        return 0;
    *c = ball.position - position;
    const FV3 rel = (ball.position - ball.prevPosition) - (position - prevPosition);
    return c->Dot(rel) < 0 ? 1 : 0;
}

TrElem *PhBall::FilterCandidate(TrElem *candidate, const FV3 &point)
{
    PhScope scope;
    return (position - point).Length() <= radius ? nullptr : candidate;
}

namespace {

// The zones of a ball whose centre lies in its own cell (but for round-off at a border, or a ball
// thrown far out): on each axis zone 5, and a detail telling whether the ball reaches over a face,
// with the comparisons the general classification makes there, the three axes at once. Kept for
// ClassifyInCell; false when the centre lies outside the cell.
inline __attribute__((always_inline)) bool zones_inside(const PhBall &ball, __m128i cell, __m128 p)
{
    const __m128 lo = _mm_mul_ps(_mm_cvtepi32_ps(cell), _mm_setr_ps(1.0f, 0.55f, 1.0f, 0.0f));
    const __m128 hi = _mm_add_ps(lo, _mm_setr_ps(1.0f, 0.55f, 1.0f, 0.0f));
    const __m128 r = _mm_shuffle_ps(p, p, _MM_SHUFFLE(3, 3, 3, 3));
    const int inside = _mm_movemask_ps(_mm_and_ps(_mm_cmple_ps(lo, p), _mm_cmple_ps(p, hi)));
    if ((inside & 7) != 7)
        return false;
    const uint32_t low = _mm_movemask_ps(_mm_cmpgt_ps(lo, _mm_sub_ps(p, r))) & 7;   // detail 4
    const uint32_t high = _mm_movemask_ps(_mm_cmpgt_ps(_mm_add_ps(p, r), hi)) & 7;  // detail 6
    ball.zoneFound = PhZoneCode::InCell(low, high);
    _mm_storeu_ps(ball.zoneAt, p);
    _mm_storeu_si128(reinterpret_cast<__m128i *>(ball.zoneCell), cell);
    return true;
}

// A vector's lanes 0-2 written to v (its validity set).
inline void set_lanes(FV3 &v, __m128 a)
{
    _mm_storel_pi(reinterpret_cast<__m64 *>(&v.x), a);
    _mm_store_ss(&v.z, _mm_movehl_ps(a, a));
    v.state = PH_VALID;
}

// UpdateCell: the new cell, in lanes 0-2, for the position in p (lane 3: 0, and so the cell's).
inline __attribute__((always_inline)) __m128i update_cell(PhBall &ball, __m128 p)
{
    ball.prevCellX = ball.cellX;
    ball.prevCellY = ball.cellY;
    ball.prevCellZ = ball.cellZ;
    // A ball thrown far out (or to no number) keeps a cell that the step's neighbour arithmetic
    // (one or two cells either way, offsets to pieces) cannot overflow: CellOf held within the
    // bound, without its wider saturation first (a NaN goes to the low bound, as the saturation
    // gave). The three axes at once; x and z divided by 1 stay as they are.
    const __m128 q = _mm_div_ps(p, _mm_setr_ps(1.0f, 0.55f, 1.0f, 1.0f));
    const __m128 lim = _mm_set1_ps(1073741824.0f);
    const __m128 inside = _mm_and_ps(_mm_cmpgt_ps(q, _mm_sub_ps(_mm_setzero_ps(), lim)), _mm_cmplt_ps(q, lim));
    // Truncated, one less for a negative value (the mask of -1 added).
    const __m128i t = _mm_add_epi32(_mm_cvttps_epi32(q), _mm_castps_si128(_mm_cmplt_ps(p, _mm_setzero_ps())));
    const __m128i bound = _mm_set1_epi32(k_cell_bound), up = _mm_castps_si128(_mm_cmpgt_ps(q, _mm_setzero_ps()));
    const __m128i far = _mm_or_si128(_mm_and_si128(up, bound), _mm_andnot_si128(up, _mm_sub_epi32(_mm_setzero_si128(), bound)));
    const __m128i in = _mm_castps_si128(inside);
    const __m128i cell = _mm_or_si128(_mm_and_si128(in, t), _mm_andnot_si128(in, far));
    ball.cellX = _mm_cvtsi128_si32(cell);
    ball.cellY = _mm_cvtsi128_si32(_mm_srli_si128(cell, 4));
    ball.cellZ = _mm_cvtsi128_si32(_mm_srli_si128(cell, 8));
    ball.centre = ball.position;
    // A ball is in no query list: its box is only written (SetBox without its notice).
    const __m128 h = _mm_setr_ps(ball.halfSize.x, ball.halfSize.y, ball.halfSize.z, 0.0f);
    const __m128 lo = _mm_sub_ps(p, h), hi = _mm_add_ps(p, h);
    set_lanes(ball.boxLow, lo);
    set_lanes(ball.boxHigh, hi);
    _mm_storeu_ps(ball.box, _mm_unpacklo_ps(lo, hi));
    _mm_storel_pi(reinterpret_cast<__m64 *>(ball.box + 4), _mm_unpackhi_ps(lo, hi));
    return cell;  // lane 3: 0, as p's
}

}  // namespace

PhZoneCode PhBall::ClassifyInCellAnew(FV3 *closest) const
{
    if (closest == nullptr &&
        zones_inside(*this, _mm_setr_epi32(cellX, cellY, cellZ, 0), _mm_setr_ps(position.x, position.y, position.z, radius)))
        return zoneFound;
    const FV3 lo(static_cast<float>(cellX), 0.55f * cellY, static_cast<float>(cellZ));
    return PhElem_Classify(lo, lo + FV3(1.0f, 0.55f, 1.0f), position, radius, closest);
}

void PhBall::UpdateCell() { update_cell(*this, _mm_setr_ps(position.x, position.y, position.z, 0.0f)); }

void PhBall_SyncInCell(PhBall &ball, bool shown)
{
    write_actor(ball, shown);
    const FV3 &c = ball.position;
    const __m128i cell = update_cell(ball, _mm_setr_ps(c.x, c.y, c.z, 0.0f));
    ball.prevZone = ball.zone;
    // What ClassifyInCell gives: its kept answer is the one found again for the same place.
    ball.zone = zones_inside(ball, cell, _mm_setr_ps(c.x, c.y, c.z, ball.radius)) ? ball.zoneFound
                                                                                 : ball.ClassifyInCellAnew(nullptr);
}

namespace {

void set_speed2(FV3 &v, double want2)
{
    const double have2 = v.Length2();
    if (!(have2 > 0))
        return;
    if (!(want2 > 0)) {
        v = FV3(0, 0, 0);
        return;
    }
    v *= static_cast<float>(sqrt(want2 / have2));
}

}  // namespace

void PhBall_PayLift(PhBall &ball, float dy, FV3 &v)
{
    if (!(dy > 0))
        return;
    const double cost = 2.0 * PhyParams.gravity * dy;
    if (&v != &ball.velocity)
        set_speed2(ball.velocity, ball.velocity.Length2() - cost);
    set_speed2(v, v.Length2() - cost);
}

bool PhBall_AffordsLift(const FV3 &v, float dy)
{
    return !(dy > 0) || v.Length2() >= 2.0 * PhyParams.gravity * dy;
}

void PhBall_LowerToAllowance(PhBall &ball)
{
    // Whatever speed is left after the height is paid for.
    const float m = ball.Material().mass;
    const double kinetic = static_cast<double>(ball.allowance) / m - static_cast<double>(PhyParams.gravity) * ball.position.y;
    set_speed2(ball.velocity, 2.0 * kinetic);
}

void PhBall_SetMotion(PhBall &ball, int state, const FV3 &p, const FV3 &v, float t, int settle)
{
    PhScope scope;
    FV3 vel = v;
    FV3 pos = p;
    const int cur = ball.motion;
    if (cur == MT_LEGORDUL || cur == MT_FOLGORDUL || state == MT_LEGORDUL || state == MT_FOLGORDUL)
        vel *= PhyParams.damping;
    const FV3 arriving = vel;  // what a lift onto the support is paid from, before a hold stops the ball
    if (cur == MT_ALL || cur == MT_MAGN_ALL) {
        // The lane of the motion that starts: judged on the new state and velocity, since the ball
        // at rest has none to judge.
        const float ax = fabsf(vel.x), az = fabsf(vel.z);
        int lane = ball.lane;
        bool check = true;
        if (ax < 0.01f && az < 0.01f && ball.support != nullptr && ball.support->cls == PHC_SLOPE) {
            const int o = ball.support->Orientation();
            lane = (o == 0 || o == 2) ? 5 : 6;
        } else if (Env_AxisAlignedFor(state, lane, vel) == 0) {
            lane = 0;
            check = false;
        } else if (ax > az) {
            lane = 5;
        } else if (ax < az) {
            lane = 6;
        }
        if (check) {
            const float fz = Frac(pos.z), fx = Frac(pos.x);
            if (lane == 5 && fz >= 0.4f && fz <= 0.6f)
                lane = 1;
            else if (lane == 6 && fx >= 0.4f && fx <= 0.6f)
                lane = 2;
        }
        ball.lane = lane;
    }
    ball.prevMotion = cur;
    ball.motion = state;
    ball.changeTime = t;
    if (state == MT_ALL || state == MT_MAGN_ALL) {
        vel = FV3(0, 0, 0);
        ball.spin = FV3(0, 0, 0);
        ball.acceleration = FV3(0, 0, 0);
    }
    ball.velocity = vel;
    if (ball.support != nullptr && settle) {
        FV3 placed = pos;
        Env_PlaceOnSupport(ball, ball.support, placed, 0, 0);
        const float dy = placed.y - pos.y;
        if (PhBall_AffordsLift(arriving, dy)) {
            pos = placed;
            PhBall_PayLift(ball, dy, vel);
        }
        PhBall_ClipToSupport(ball, vel);
        PhBall_ClipToSupport(ball, ball.velocity);
    }
    ball.moveStartVel = vel;
    ball.moveStartPos = pos;
    ball.position = pos;
    ball.prevPosition = ball.position;
    ball.impactVelocity = ball.lastVelocity;
    ball.lastVelocity = ball.velocity;
}

int PhBall_HardImpact(PhBall &ball, const FV3 &c)
{
    if (ball.type != TY_G_BOMBA)
        return 0;
    PhScope scope;
    if (c.Length() <= 0)
        return 0;
    const float vn = static_cast<float>(fabs(c.Normalised().Dot(ball.velocity)));
    if (ball.motion == MT_SZE) {
        FV3 hv(ball.velocity.x, 0, ball.velocity.z);
        if (hv.Length() > 0) {
            const FV3 behind = ball.position - hv.Normalised() * ball.radius;
            PhElem *o = Phys_ObjAtPoint(PhysWorld.field, behind, &ball);
            if (o != nullptr && o->cls == PHC_SLOPE) {
                FV3 p = ball.position + c * 1.01f;
                Env_PlaceOnSupport(ball, o, p, 0, 1);
                PhBall_SetMotion(ball, ball.motion, p, ball.velocity, ball.currentTime, 0);
                return 0;
            }
        }
    }
    if (vn <= PhyParams.bombImpactSpeed)
        return 0;
    if ((ball.motion == MT_EVEL || ball.motion == MT_SZEL) && ball.support != nullptr &&
        ball.support->cls == PHC_SLOPE && c.y <= -0.1f)
        return 0;
    return 1;
}

void PhBall_Bounce(PhBall &ball, PhElem *piece, const FV3 &c, float t, int code, int extraDamping, float f)
{
    PhScope scope;
    ball.impactTime = t;
    advance_to(ball, t);
    if (PhysWorld.viewSync)
        write_actor(ball);
    const double speed = ball.velocity.Length();
    const FV3 u = speed > 0 ? ball.velocity.Normalised() : FV3(0, 0, 0);
    // A centre inside the piece gives no contact vector: the ball met it along its motion.
    const FV3 n = c.Length() > 0 ? c.Normalised() : (speed > 0 ? u : FV3(0, -1, 0));
    const FV3 vN = -n * static_cast<float>((-n).Dot(ball.velocity));
    const FV3 vT = ball.velocity - vN;
    const bool isSlope = piece != nullptr && piece->cls == PHC_SLOPE;
    const bool isCorner = piece != nullptr && piece->cls == PHC_CORNER;
    const float sinGraze = static_cast<float>(PhyDerived.sinGrazing);
    const bool edgeCode = (isCorner && in(code, {1, 7, 9, 10, 11, 15, 16, 17, 18, 19, 20})) ||
                          (isSlope && ball.type != TY_G_BOMBA && in(code, {2, 7, 8, 10, 11, 12, 14}));
    bool rolled = false, settleOnPiece = false;
    if (fabs(u.Dot(n)) <= sinGraze && !edgeCode && n.y < 0) {
        // A grazing contact: the ball rolls on along the surface.
        rolled = true;
        FV3 dir = n ^ (u ^ n);
        if (dir.Length() > 0)
            ball.velocity = dir.Normalised() * static_cast<float>(speed);
        const int want = isSlope ? MT_EVEL : MT_EVE;
        if (ball.motion != want) {
            PhElem *old = ball.support;
            const FV3 &p = ball.position;
            const bool over = isSlope && piece->boxLow.x <= p.x && p.x <= piece->boxHigh.x &&
                              piece->boxLow.z <= p.z && p.z <= piece->boxHigh.z;
            if (over && ball.velocity.Dot(piece->up) <= 0)
                ball.support = piece;
            PhBall_SetMotion(ball, want, ball.position, ball.velocity, t, 0);
            ball.support = old;
        }
        const bool plain = piece != nullptr && in(piece->cls, {PHC_TILE, PHC_GOAL, PHC_SPIKED, PHC_MAGNET});
        const bool below = piece != nullptr && ball.cellY == piece->cellY + 1 && ball.cellX == piece->cellX &&
                           ball.cellZ == piece->cellZ;
        settleOnPiece = piece != nullptr && !(plain && !below);
    } else {
        const PhyMaterial &m = ball.Material();
        FV3 newN, newT;
        if (PhBall_MeetsCornerEdge(ball, piece, code)) {
            PhBall_CornerEdgeBounce(ball, piece, c, f);
        } else {
            float e = m.restitution;
            if (n.x == 0 && n.z == 0)
                e *= material_of(TY_TALAJ).restitution;
            else if (n.y == 0)
                e *= material_of(TY_FAL).restitution;
            e *= f;
            if (speed < PhyParams.slowBounceSpeed)
                e *= PhyParams.slowBounceFactor;
            apply_restitution(e, vN, vT, &newN, &newT);
            ball.velocity = newN + newT;
            PhBall_ImpactSound(ball, piece, newN - vN);
        }
        if (n.y <= -1.0f && piece != nullptr)
            ball.support = piece;
        bool settle = true;
        if (fabsf(n.y) > 0.5f && fabsf(u.y) < 0.5f)
            settle = false;
        if (isSlope && !in(code, {1, 13, 14}))
            settle = false;
        if (isCorner && in(code, {1, 15, 16, 17, 18, 19, 20}))
            settle = false;
        PhBall_SetMotion(ball, ball.motion, ball.position, ball.velocity, t, settle ? 1 : 0);
    }
    ball.spin = (vT ^ n) / ball.radius;
    if (rolled || fabsf(n.y) != 1.0f)
        run_on(ball, n, t, extraDamping != 0);
    if (settleOnPiece) {
        const int full = (fabsf(n.y) > 0.5f && fabsf(u.y) < 0.5f) ? 0 : 1;
        const FV3 responded = ball.velocity;
        FV3 start = ball.moveStartPos, at = ball.position;
        Env_PlaceOnSupport(ball, piece, start, full, 1);
        Env_PlaceOnSupport(ball, piece, at, full, 1);
        const float dy = at.y - ball.position.y;
        if (PhBall_AffordsLift(ball.velocity, dy)) {
            ball.moveStartPos = start;
            ball.position = at;
            PhBall_PayLift(ball, dy, ball.velocity);
        } else {
            ball.velocity = responded;  // left as the contact answered
        }
    }
    ball.UpdateCell();
}

bool PhBall_MeetsCornerEdge(const PhBall &ball, const PhElem *piece, int code)
{
    return piece != nullptr && piece->cls == PHC_CORNER && in(code, {1, 7, 10}) &&
           ball.velocity.Dot(piece->up) < 0;
}

void PhBall_CornerEdgeBounce(PhBall &ball, const PhElem *corner, const FV3 &c, float f)
{
    PhScope scope;
    // Against a corner's wall edge the bounce stays in the horizontal plane, and the bounce mode
    // does not apply.
    FV3 m(-c.x, 0, -c.z);
    if (m.Length() > 0)
        m.Normalise();
    const FV3 vh(ball.velocity.x, 0, ball.velocity.z);
    const FV3 hN = m * static_cast<float>(m.Dot(vh));
    const FV3 hT = vh - hN;
    const PhyMaterial &mat = ball.Material();
    float e = (ball.attracted ? mat.restitution * mat.restitution : 1.0f) * f;
    if (ball.velocity.Length() < PhyParams.slowBounceSpeed)
        e *= PhyParams.slowBounceFactor;
    ball.velocity = FV3(0, ball.velocity.y, 0) - hN * e + hT * e;
    PhBall_ImpactSound(ball, corner, hN * -e - hN);
}

void PhBall_EnterGoal(PhBall &ball, PhGoal *goal)
{
    ball.goal = goal;
    ball.sinking = true;
    ball.goalLow = goal->boxLow;
    ball.goalHigh = goal->boxHigh;
    ball.goalCentre = goal->centre;
}

int PhBall_Sink(PhBall &ball)
{
    PhScope scope;
    if (!ball.sinking)
        return 0;
    const float r = ball.radius;
    FV3 &p = ball.position;
    const FV3 &gc = ball.goalCentre;
    if (!ball.sinkStep.Valid()) {
        ball.sinkStepsLeft = 20;
        ball.sinkStep = FV3(gc.x - p.x, -2 * r, gc.z - p.z) / 20;
    }
    const float turn = ball.currentTime - ball.stepStartTime;
    if (turn > 0 && Phys_Shown(ball.element))  // the view's alone, as in the step
        ball.orientation.TurnBy(ball.spin * turn);
    const PhZoneCode zc = PhElem_Classify(ball.goalLow, ball.goalHigh, p, r, nullptr);
    FV3 step;
    if (p.y - r < ball.goalHigh.y && !(zc.Detail(0) == 5 && zc.Detail(2) == 5) && zc.Zone(1) < 9) {
        // Not yet over the hole: slide towards its centre at the sink's pace.
        step = FV3(gc.x - p.x, 0, gc.z - p.z);
        if (step.Length() > 0)
            step.SetLength(ball.sinkStep.Length());
    } else {
        step = FV3(gc.x - p.x, -2 * r, gc.z - p.z);
        step /= ball.sinkStepsLeft > 0 ? ball.sinkStepsLeft : 1;
    }
    ball.sinkStep = step;
    ball.velocity = step;
    p += step;
    write_actor(ball);
    ball.UpdateCell();
    if (p.y <= ball.goalHigh.y && ball.goal != nullptr && ball.goal->element != nullptr)
        ball.goal->element->shadowReceivers[0] = nullptr;
    if (ball.sinkStepsLeft > 0)
        ball.sinkStepsLeft--;
    return p.y + r < ball.goalHigh.y ? 1 : 0;
}

void PhBall_Sync(PhBall &ball, const FV3 &p)
{
    ball.position = p;
    write_actor(ball);
    ball.UpdateCell();
}

void PhBall_ImpactSound(PhBall &ball, const PhElem *piece, const FV3 &dv)
{
    PhBall_RecordImpact(ball, nullptr, piece, dv);
}

void PhBall_RecordImpact(PhBall &ball, const PhBall *other, const PhElem *piece, const FV3 &dv)
{
    const double len = dv.Length();
    const bool ground = piece != nullptr && piece->cellY == -1;
    int level;
    if (other != nullptr) {
        if (len < 0.2)
            return;
        level = len > 0.75 ? 2 : 1;
    } else {
        if (!(len > 0.5 || (ground && dv.y < -0.6f)))
            return;
        level = ground ? (dv.y < -1.2f ? 2 : 1) : (len > 0.75 ? 2 : 1);
    }
    PhImpactCounters &k = PhysCounters;
    const int32_t otherType = other != nullptr ? other->type : -1;
    switch (ball.type) {
    case TY_G_UVEG: raise(k.uveg, level); break;
    case TY_G_BOMBA: raise(k.bomba, level); break;
    case TY_G_GUMI: raise(otherType == TY_G_FEM ? k.fem : k.gumi, level); break;
    default: raise(otherType == TY_G_UVEG ? k.uveg : k.fem, level); break;
    }
}

int PhBall_TraceAndHit(PhBall &ball, uint32_t bits, const FV3 &excess, float t)
{
    PhScope scope;
    const PhHost &host = Phys_Host();
    if (ball.type != TY_G_BOMBA && !(bits & 16) && host.traceMark != nullptr) {
        const FV3 mark = (ball.position + excess) * 0.1f;
        const float view[3] = {mark.x, mark.y, mark.z};
        host.traceMark(view);
    }
    if (ball.type == TY_G_BOMBA && PhBall_HardImpact(ball, excess)) {
        PhElem_Finish(&ball, FIN_DESTROYED, EF_DESTROYED);
        return 1;
    }
    PhBall_BoundaryBounce(ball, excess, t);
    Env_ClampToField(ball);
    return 1;
}

void PhBall_BoundaryBounce(PhBall &ball, const FV3 &e, float t)
{
    PhScope scope;
    const double elen = e.Length();
    if (!(elen > 0))
        return;
    const FV3 n = e / static_cast<float>(elen);
    const FV3 &P = ball.prevPosition, &V = ball.lastVelocity, &A = ball.acceleration;
    const float r = ball.radius;
    const double lo = ball.stepStartTime, hi = t >= ball.stepStartTime ? t : ball.stepStartTime;
    const FV3 reach = ball.position + e;
    double T = hi;
    if (ball.motion == MT_EVE || ball.motion == MT_EVEL) {
        if (Solve2(0.5 * A.Dot(n), V.Dot(n), r - (reach - P).Dot(n), lo, lo, hi, &T) == 0)
            T = hi;  // a rejected root is no time of impact
    } else if (ball.motion == MT_SZE || ball.motion == MT_SZEL) {
        const FV3 m = -n;
        if (Solve2(0.5 * A.Dot(m), V.Dot(m), (P - reach).Dot(m) - r, lo, lo, hi, &T) == 0)
            T = hi;
    }
    // No equation for the other states: the impact is at the end of the interval.
    T = T < lo ? lo : (T > hi ? hi : T);
    const float tImpact = static_cast<float>(T);
    ball.impactTime = tImpact;
    advance_to(ball, tImpact);
    const double speed = ball.velocity.Length();
    const FV3 u = speed > 0 ? ball.velocity.Normalised() : FV3(0, 0, 0);
    const FV3 vN = n * static_cast<float>(n.Dot(ball.velocity));
    const FV3 vT = ball.velocity - vN;
    int state = ball.motion;
    bool settle = true;
    if (fabs(u.Dot(n)) > PhyDerived.sinGrazing || n.y == 0) {
        float ev = ball.Material().restitution;
        if (n.y == 0)
            ev *= material_of(TY_FAL).restitution;
        else if (n.x == 0 && n.z == 0)
            ev *= material_of(TY_TALAJ).restitution;
        if (speed < PhyParams.slowBounceSpeed)
            ev *= PhyParams.slowBounceFactor;
        FV3 newN, newT;
        apply_restitution(ev, vN, vT, &newN, &newT);
        ball.velocity = newN + newT;
        PhBall_ImpactSound(ball, nullptr, newN - vN);
    } else {
        FV3 dir = n ^ (u ^ n);
        if (dir.Length() > 0)
            ball.velocity = dir.Normalised() * static_cast<float>(speed);
        state = MT_EVE;
        if (ball.support != nullptr) {
            // Set onto its support only where the speed pays the height; else it rolls on where it is.
            FV3 at = ball.position;
            Env_PlaceOnSupport(ball, ball.support, at, 0, 1);
            const float dy = at.y - ball.position.y;
            if (PhBall_AffordsLift(ball.velocity, dy)) {
                ball.position = at;
                PhBall_PayLift(ball, dy, ball.velocity);
                if (ball.support->cls == PHC_SLOPE)
                    state = MT_EVEL;
            }
        }
    }
    ball.spin = (vT ^ n) / r;
    PhBall_SetMotion(ball, state, ball.position, ball.velocity, tImpact, settle ? 1 : 0);
    if (fabsf(n.y) != 1.0f) {
        run_on(ball, n, tImpact, false);
    } else {
        // Off the field's floor the ball runs on for the rest of the step: rewound to the impact
        // and left there, a ball touching the floor at the step's start would never move again.
        const float dt = ball.currentTime - tImpact;
        ball.position += (ball.lastVelocity + ball.acceleration * (dt / 2)) * dt;
        ball.velocity = ball.lastVelocity + ball.acceleration * dt;
        if (n.y < 0 && ball.position.y < r) {
            // The floor holds it: no lower, and no speed into it.
            ball.position.y = r;
            if (ball.velocity.y < 0)
                ball.velocity.y = 0;
        }
    }
    ball.UpdateCell();
    if (Env_AxisAligned(ball) == 0)
        ball.lane = 0;
}
