// One fixed step of the world: each ball's own step (support, slopes, magnets, friction and the
// integration), the impulse between two balls, and the phases of the world step that run them.
#include <float.h>
#include <math.h>
#include <string.h>
#include <emmintrin.h>

#include "phpairs.h"
#include "phutil.h"
#include "terrow/phys/phstep.h"

namespace {

// The world's ball pair lists, made on the first step that needs them.
PhPairGrid &pair_grid()
{
    PhWorld &w = PhysWorld;
    if (w.pairGrid == nullptr)
        w.pairGrid = new PhPairGrid();
    return *w.pairGrid;
}

PhElem *obj_at(TrPalya *field, const FV3 &p, const PhBall &ball)
{
    TrElem *e = Phys_ElemAtPoint(field, p, &ball);
    return e != nullptr ? e->physObject : nullptr;
}

// The key whose slope direction is the unit normal into the surface of a slope of orientation o.
int touch_key(int o)
{
    static const int key[4] = {3, 0, 1, 2};
    return key[o & 3];
}

// The unit normal into a slope's surface for its orientation.
const FV3 &slope_normal(int o) { return PhyDerived.slopeDir[touch_key(o)]; }

PhElem *slope_at(const FV3 &p, const PhBall &ball)
{
    TrElem *e = Phys_SlopeAtPoint(p);
    return e != nullptr && e->physObject != &ball ? e->physObject : nullptr;
}

// A ball within 0.2 of a cell border along the axis of key k and moving towards it: the step of 0.1
// towards that border.
bool toward_border(const PhBall &ball, int k, FV3 *step)
{
    const bool alongX = (k & 1) != 0;
    const float f = Frac(alongX ? ball.position.x : ball.position.z);
    const float v = alongX ? ball.velocity.x : ball.velocity.z;
    float d = 0;
    if (f < 0.2f && v < 0)
        d = -0.1f;
    else if (f > 0.8f && v > 0)
        d = 0.1f;
    else
        return false;
    *step = alongX ? FV3(d, 0, 0) : FV3(0, 0, d);
    return true;
}

// The piece under the ball that find_support does not see at once: searched in a fixed order of
// probe points.
__attribute__((noinline)) PhElem *find_support_walk(PhBall &ball, TrPalya *field)
{
    const float r = ball.radius;
    const FV3 &c = ball.position;
    const FV3 bottom = c + FV3(0, -r, 0);
    if (PhElem *o = obj_at(field, bottom, ball))
        return o;
    // The touch point of a ball lying on a ramp is on its surface: probe a hair inside.
    for (int k = 0; k < 4; k++) {
        const FV3 q = c + PhyDerived.slopeDir[k] * (r + 0.002f);
        if (PhElem *s = slope_at(q, ball))
            return s;
        // A ball on its way over the border of its slope's cell may lift off the surface a little:
        // look a step ahead, or a little lower.
        FV3 step;
        if (ball.slope != nullptr && touch_key(ball.slope->Orientation()) == k && toward_border(ball, k, &step)) {
            if (PhElem *s = slope_at(q + step, ball))
                return s;
            if (PhElem *s = slope_at(q - FV3(0, 0.055f, 0), ball))
                return s;
        }
    }
    if (PhElem *own = Phys_ObjAtCell(ball.cellX, ball.cellY, ball.cellZ, &ball))
        if (own->cls == PHC_SLOPE)
            return nullptr;
    if (c.y - 1.01f * r <= 0)
        if (PhElem *o = obj_at(field, c + FV3(0, -1.01f * r, 0), ball))
            return o;
    PhElem *o = obj_at(field, c + FV3(0, -0.55f, 0), ball);
    if (o != nullptr && o->cls == PHC_GOAL && PhGoal_Accepts(*static_cast<PhGoal *>(o), ball))
        return o;
    return nullptr;
}

// A vector's components in lanes 0-2 (lane 3: 0), and written back (its validity set).
inline __m128 lanes_of(const FV3 &v) { return _mm_setr_ps(v.x, v.y, v.z, 0.0f); }
inline void set_lanes(FV3 &v, __m128 a)
{
    _mm_storel_pi(reinterpret_cast<__m64 *>(&v.x), a);
    _mm_store_ss(&v.z, _mm_movehl_ps(a, a));
    v.state = PH_VALID;
}
inline __m128 yzx(__m128 a) { return _mm_shuffle_ps(a, a, _MM_SHUFFLE(3, 0, 2, 1)); }
inline __m128 zxy(__m128 a) { return _mm_shuffle_ps(a, a, _MM_SHUFFLE(3, 1, 0, 2)); }

// Whether the ball's bottom point lies where the point query surely finds piece s
// (Phys_SurelyAtPoint), from the part of s's box the ball keeps for it.
inline bool surely_on(PhBall &ball, const PhElem &s, bool fast)
{
    const uint32_t gen = PhysWorld.piecesGeneration;
    if (&s != ball.sureOf || ball.sureGeneration != gen) {
        ball.sureOf = &s;
        ball.sureGeneration = gen;
        ball.sureKnown = Phys_SureBox(s, ball.sureBox);
    }
    // The box's low x, y, z against the bottom point and that against its high x, y, z, three
    // lanes at once (a NaN is in no box, as the comparisons one by one say).
    const float *b = ball.sureBox;
    const __m128 lohi0 = _mm_loadu_ps(b), lohi1 = _mm_loadu_ps(b + 2);  // x0 x1 y0 y1, y0 y1 z0 z1
    const __m128 lo = _mm_shuffle_ps(lohi0, lohi1, _MM_SHUFFLE(2, 2, 2, 0));
    const __m128 hi = _mm_shuffle_ps(lohi0, lohi1, _MM_SHUFFLE(3, 3, 3, 1));
    const __m128 q = _mm_setr_ps(ball.position.x, ball.position.y - ball.radius, ball.position.z, 0.0f);
    const int in = _mm_movemask_ps(_mm_and_ps(_mm_cmpge_ps(q, lo), _mm_cmple_ps(q, hi)));
    return ball.sureKnown && (in & 7) == 7 && fast;
}

// The piece under the ball.
inline PhElem *find_support(PhBall &ball, TrPalya *field, bool fast)
{
    // Still well on the piece it lay on: that piece is what the query would find.
    if (const PhElem *s = ball.support; s != nullptr && s != &ball && surely_on(ball, *s, fast))
        return s->element != nullptr ? s->element->physObject : nullptr;
    // Rolled on, well onto the piece below its cell (its first support slot, found since the pieces
    // last changed): that piece, as above.
    if (ball.support != nullptr && fast && ball.slotsValid && ball.slotsGeneration == PhysWorld.piecesGeneration &&
        ball.element != nullptr) {
        const TrElem *e = ball.element->shadowReceivers[0];
        const PhElem *s = e != nullptr ? e->physObject : nullptr;
        if (s != nullptr && s != ball.support && s != &ball && surely_on(ball, *s, fast))
            return s->element != nullptr ? s->element->physObject : nullptr;
    }
    return find_support_walk(ball, field);
}

// v turned into the plane whose normal is up, its speed kept.
void turn_onto(FV3 &v, const FV3 &up)
{
    const double speed = v.Length();
    v -= up * static_cast<float>(v.Dot(up));
    if (v.Length() > 0)
        v.SetLength(static_cast<float>(speed));
}

// Gravity less its part along a slope's up vector.
FV3 gravity_along(const FV3 &up)
{
    const FV3 &g = PhyDerived.gravity;
    return g - up * static_cast<float>(g.Dot(up));
}

void list_on_slope(PhBall &ball, PhSlope *slope)
{
    if (ball.slope == slope)
        return;
    if (ball.slope != nullptr)
        PhList_Remove(ball.slope->ballsOn, &ball, &PhBall::nextOnSlope);
    ball.slope = slope;
    PhList_Push(slope->ballsOn, &ball, &PhBall::nextOnSlope);
}

// Whether no magnet can reach the iron ball where it is: it lies within the box its last walk over
// the magnets found free of them (see find_magnets_far).
bool magnets_surely_far(const PhBall &b)
{
    // Four floats from each corner (the fourth: the next field), three lanes compared (a NaN is
    // in no box).
    const __m128 p = _mm_setr_ps(b.position.x, b.position.y, b.position.z, 0.0f);
    const __m128 lo = _mm_loadu_ps(b.magnetsFarLow), hi = _mm_loadu_ps(b.magnetsFarHigh);
    const int in = _mm_movemask_ps(_mm_and_ps(_mm_cmple_ps(lo, p), _mm_cmple_ps(p, hi)));
    return b.magnetsFarKnown && b.magnetsFarGeneration == PhysWorld.piecesGeneration &&
           b.magnetsFarReach == PhyParams.classifyReach && b.magnetsFarRadius == b.radius && (in & 7) == 7;
}

// After a walk over the magnets that found none within the iron ball's reach: the box about the
// ball in which that stays so. Each magnet keeps the ball on its side of the magnet's reach on the
// axis of the widest gap; the box is held within 4096 of the origin and takes a margin from each
// reach far wider than the rounding of PhElem_OutOfReach's sums there, so that the test gives the
// same answer anywhere in the box.
void find_magnets_far(PhBall &b)
{
    const float reach = PhyParams.classifyReach;
    const double k_bound = 4096, k_slack = 2e-3, r = b.radius;
    const float p[3] = {b.position.x, b.position.y, b.position.z};
    double lo[3], hi[3];
    bool known = r >= 0 && r <= 64 && reach >= 0 && reach <= 64;
    for (int a = 0; a < 3; a++) {
        lo[a] = -k_bound;
        hi[a] = k_bound;
        known &= fabsf(p[a]) < k_bound;
    }
    // How far the centre must stay from a box's face on each axis: the reach, the radius and the margin.
    const double keep[3] = {reach + r + k_slack, 0.55f * reach + r + k_slack, reach + r + k_slack};
    for (const PhMagnet *m = PhysWorld.magnets; m != nullptr && known; m = m->nextMagnet) {
        const float l[3] = {m->boxLow.x, m->boxLow.y, m->boxLow.z}, h[3] = {m->boxHigh.x, m->boxHigh.y, m->boxHigh.z};
        double widest = 0, bound = 0;
        int axis = -1;
        for (int a = 0; a < 3; a++) {
            known &= fabsf(l[a]) < k_bound && fabsf(h[a]) < k_bound;
            const double under = double(l[a]) - keep[a], over = double(h[a]) + keep[a];
            if (under - p[a] > widest) {
                widest = under - p[a];
                bound = under;
                axis = a;
            }
            if (p[a] - over > widest) {
                widest = p[a] - over;
                bound = over;
                axis = a + 3;
            }
        }
        if (axis < 0)
            known = false;
        else if (axis < 3)
            hi[axis] = bound < hi[axis] ? bound : hi[axis];
        else
            lo[axis - 3] = bound > lo[axis - 3] ? bound : lo[axis - 3];
    }
    b.magnetsFarKnown = known;
    for (int a = 0; a < 3; a++) {
        // Kept inside the box found (its margin is far wider than a float's rounding).
        b.magnetsFarLow[a] = static_cast<float>(lo[a] + 1e-4);
        b.magnetsFarHigh[a] = static_cast<float>(hi[a] - 1e-4);
    }
    b.magnetsFarReach = reach;
    b.magnetsFarRadius = b.radius;
    b.magnetsFarGeneration = PhysWorld.piecesGeneration;
}

// A bomb that has lost its support over a slope rolls onto it instead of flying (and exploding on
// landing): down it, or up over its crest. The slope, or none when the bomb simply loses its support.
PhElem *bomb_slope_roll(PhBall &ball, TrPalya *field)
{
    PhElem *s = obj_at(field, ball.position - FV3(0, 0.55f, 0), ball);
    if (s == nullptr || s->cls != PHC_SLOPE)
        return nullptr;
    const int o = s->Orientation();
    const bool alongX = o == 0 || o == 2;
    const FV3 &v = ball.velocity;
    const float va = alongX ? v.x : v.z, vo = alongX ? v.z : v.x;
    if (!(fabsf(va) > fabsf(vo)))
        return nullptr;
    const bool down = (o == 0 || o == 3) ? va < 0 : va > 0;
    const bool prevSlope = ball.prevSupport != nullptr && ball.prevSupport->cls == PHC_SLOPE;
    if (down) {
        ball.rollingDown = 1;
        if (!prevSlope || ball.motion == MT_LEGORDUL)
            turn_onto(ball.velocity, s->up);
        if (ball.motion != MT_LEGORDUL) {
            FV3 p = ball.position;
            Env_PlaceOnSupport(ball, s, p, 0, 1);
            PhBall_SetMotion(ball, MT_LEGORDUL, p, ball.velocity, ball.stepStartTime, 0);
            list_on_slope(ball, static_cast<PhSlope *>(s));
        }
    } else {
        ball.rollingUp = 1;
        if (prevSlope || ball.motion == MT_FOLGORDUL)
            turn_onto(ball.velocity, s->up);
        if (ball.motion != MT_FOLGORDUL)
            PhBall_SetMotion(ball, MT_FOLGORDUL, ball.position, ball.velocity, ball.stepStartTime, 0);
    }
    return s;
}

// A bomb going down over a slope's crest stays seated on it and moves round it: turned onto the ramp
// plane at once it would cut into the crest (and the piece it leaves) and strike it.
void roll_over_crest(PhBall &ball, PhElem *slope)
{
    Env_PlaceOnSupport(ball, slope, ball.position, 0, 1);
    const FV3 &p = ball.position, &lo = slope->boxLow, &hi = slope->boxHigh;
    const int o = slope->Orientation();
    const FV3 crest = o == 0 ? FV3(hi.x, hi.y, p.z)
                    : o == 1 ? FV3(p.x, hi.y, lo.z)
                    : o == 2 ? FV3(lo.x, hi.y, p.z)
                             : FV3(p.x, hi.y, hi.z);
    FV3 e = p - crest;
    if (!(e.Length() > 0) || e.Length() > ball.radius * 1.001) {
        ball.acceleration = gravity_along(slope->up);  // already clear of the crest
        return;
    }
    e.Normalise();
    turn_onto(ball.velocity, e);
    ball.acceleration = gravity_along(e);
}

// A bomb rolling off its support's edge (state 6 or 7) whose support no longer carries it: down, it
// goes to state 2 once the slope is under it; up over the crest it lands on the piece beyond in
// state 1. Meanwhile it rolls on with gravity along the slope. False when it flies instead.
bool slope_roll_goes_on(PhBall &ball, TrPalya *field, PhElem *rollSlope)
{
    const float r = ball.radius;
    if (ball.motion == MT_LEGORDUL && rollSlope != nullptr) {
        PhElem *on = slope_at(ball.position - rollSlope->up * (1.1f * r), ball);
        if (on == nullptr) {
            roll_over_crest(ball, rollSlope);
            return true;
        }
        ball.prevSupport = ball.support;
        ball.support = on;
        list_on_slope(ball, static_cast<PhSlope *>(on));
        PhBall_SetMotion(ball, MT_EVEL, ball.position, ball.velocity, ball.stepStartTime, 0);
        ball.acceleration = gravity_along(on->up);
        return true;
    }
    if (ball.motion != MT_FOLGORDUL)
        return false;
    PhElem *under = obj_at(field, ball.position - FV3(0, 0.55f, 0), ball);
    if (under == nullptr)
        return false;
    if (under->cls == PHC_SLOPE) {
        ball.acceleration = gravity_along(under->up);
        return true;
    }
    ball.prevSupport = ball.support;
    ball.support = under;
    Env_PlaceOnSupport(ball, under, ball.position, 1, 0);
    PhBall_SetMotion(ball, MT_EVE, ball.position, ball.velocity, ball.stepStartTime, 1);
    const double s = ball.velocity.Length();
    ball.acceleration = s > 0 ? ball.velocity.Normalised() * -ball.Material().rollFriction : FV3(0, 0, 0);
    return true;
}

bool slope_near(const PhElem *s, const PhBall &ball)
{
    return s->cls == PHC_SLOPE && (s->cellY == ball.cellY || s->cellY == ball.cellY - 1);
}

// The four support slots of the ball's element: the column below it and the ones it reaches over.
__attribute__((noinline)) void record_supports(PhBall &ball)
{
    TrElem **slots = ball.element->shadowReceivers;
    if (ball.goal != nullptr || ball.sinking) {
        if (ball.position.y <= ball.goalHigh.y) {
            slots[0] = nullptr;
            ball.slotsValid = false;
            return;
        }
    }
    ball.zone = ball.ClassifyInCell(nullptr);
    const int dx = ball.zone.Detail(0), dz = ball.zone.Detail(2);
    const int x = ball.cellX, y = ball.cellY, z = ball.cellZ;
    // The same cell and zone details (x and z, as their bits of the zone code) over the same pieces
    // find the same columns.
    const uint32_t details = ball.zone.bits & PhZoneCode::k_xzDetails;
    const __m128i key = _mm_setr_epi32(x, y, z, static_cast<int32_t>(details));
    const uint32_t gen = PhysWorld.piecesGeneration;
    if (ball.slotsValid && ball.slotsGeneration == gen &&
        _mm_movemask_epi8(_mm_cmpeq_epi32(key, _mm_loadu_si128(reinterpret_cast<const __m128i *>(ball.slotsKey)))) == 0xffff)
        return;
    _mm_storeu_si128(reinterpret_cast<__m128i *>(ball.slotsKey), key);
    ball.slotsGeneration = gen;
    ball.slotsValid = true;
    // A calm box stands for the slots it was kept with: a ball that left it where no new box was
    // kept (near the wall, moved by a caller or a push) may come back to it with these.
    ball.calmRadius = NAN;
    const int sx = dx < 5 ? -1 : 1, sz = dz < 5 ? -1 : 1;
    int n = 0;
    slots[n++] = Phys_SupportBelow(x, y, z, &ball);
    if (dx != 5) {
        slots[n++] = Phys_SupportBelow(x + sx, y, z, &ball);
        if (dz != 5) {
            slots[n++] = Phys_SupportBelow(x + sx, y, z + sz, &ball);
            slots[n++] = Phys_SupportBelow(x, y, z + sz, &ball);
        }
    } else if (dz != 5) {
        slots[n++] = Phys_SupportBelow(x, y, z + sz, &ball);
    }
    if (n < 4)
        slots[n] = nullptr;
}

// record_supports for a ball with no goal and not sinking, the common case inline: its zones kept
// for its place (ClassifyInCell's kept answer) in the cell, with the details and pieces the slots
// were found for, leave the slots as they are.
inline void record_supports_free(PhBall &ball)
{
    const __m128i cell = _mm_setr_epi32(ball.cellX, ball.cellY, ball.cellZ, 0);
    const __m128 p = _mm_setr_ps(ball.position.x, ball.position.y, ball.position.z, ball.radius);
    const __m128i zoneCell = _mm_loadu_si128(reinterpret_cast<const __m128i *>(ball.zoneCell));
    const __m128i same = _mm_and_si128(_mm_cmpeq_epi32(_mm_castps_si128(p), _mm_loadu_si128(reinterpret_cast<const __m128i *>(ball.zoneAt))),
                                       _mm_cmpeq_epi32(cell, zoneCell));
    if (_mm_movemask_epi8(same) == 0xffff && ball.slotsValid && ball.slotsGeneration == PhysWorld.piecesGeneration) {
        // The key's fourth lane: the zone code's x and z details.
        const uint32_t details = ball.zoneFound.bits & PhZoneCode::k_xzDetails;
        const __m128i key = _mm_insert_epi16(_mm_insert_epi16(zoneCell, int(details & 0xffff), 6), int(details >> 16), 7);
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(key, _mm_loadu_si128(reinterpret_cast<const __m128i *>(ball.slotsKey)))) == 0xffff) {
            ball.zone = ball.zoneFound;
            return;
        }
    }
    record_supports(ball);
}

// The contacts of the ball's step. A ball that travels farther in the step than half its radius is
// also looked for at points along its way, earliest first: tested only where the step ends, a fast
// ball would pass through a piece a cell thick. A contact found on the way leaves the ball there
// (the response rewinds it to the time of impact and runs on from it).
int collect_swept(PhBall &ball, PhContact *table, int *count, bool fastPaths)
{
    const int cap = *count;
    const float t0 = ball.stepStartTime, t1 = ball.currentTime;
    const double travel = (ball.position - ball.prevPosition).Length();
    const double stride = 0.5 * ball.radius;
    if (!(t1 > t0) || !(travel > stride) || !isfinite(travel))
        return Env_CollectWith(ball, table, count, fastPaths);  // most find the range empty again
    const double want = ceil(travel / stride);
    const int samples = want < 4096 ? static_cast<int>(want) : 4096;
    const FV3 endPos = ball.position, endVel = ball.velocity;
    const int32_t cx = ball.cellX, cy = ball.cellY, cz = ball.cellZ;
    const int32_t px = ball.prevCellX, py = ball.prevCellY, pz = ball.prevCellZ;
    for (int k = 1; k < samples; k++) {
        const float t = t0 + (t1 - t0) * static_cast<float>(k) / static_cast<float>(samples);
        const float dt = t - t0;
        ball.position = ball.prevPosition + (ball.lastVelocity + ball.acceleration * (dt / 2)) * dt;
        ball.velocity = ball.lastVelocity + ball.acceleration * dt;
        ball.currentTime = t;
        ball.UpdateCell();
        *count = cap;
        const int first = Env_CollectWith(ball, table, count, fastPaths);
        ball.currentTime = t1;
        if (first >= 0)
            return first;
    }
    ball.position = endPos;
    ball.velocity = endVel;
    ball.UpdateCell();
    ball.cellX = cx, ball.cellY = cy, ball.cellZ = cz;
    ball.prevCellX = px, ball.prevCellY = py, ball.prevCellZ = pz;
    *count = cap;
    return Env_CollectWith(ball, table, count, fastPaths);
}

// A ball that has lain still on a piece for two steps, with no piece changed since, is left alone
// while nothing moves near it: its step would find it at rest again. The count first: most balls
// have not lain still.
bool may_sleep(const PhBall &b)
{
    return b.stillSteps >= 2 && b.finishCode == 0 && !b.sinking && b.goal == nullptr &&
           b.stillGeneration == PhysWorld.piecesGeneration && b.velocity.x == 0 && b.velocity.y == 0 &&
           b.velocity.z == 0;
}

// Whether sqrt(d2) < c and sqrt(d2) > c: away from the border the squares tell, and the root (slow
// to come) is taken only near it, where it decides as before.
inline bool root_below(double d2, double c)
{
    if (c > 0 && c < 1e150) {
        const double c2 = c * c;
        if (d2 < c2 * 0.9999)
            return true;
        if (d2 > c2 * 1.0001)
            return false;
    }
    return sqrt(d2) < c;
}
// root_above for one c, its bounds taken once for a whole walk.
struct RootAbove {
    explicit RootAbove(double c) : c_(c), squares_(c > 0 && c < 1e150), hi_(c * c * 1.0001), lo_(c * c * 0.9999) {}
    bool operator()(double d2) const
    {
        if (squares_) {
            if (d2 > hi_)
                return true;
            if (d2 < lo_)
                return false;
        }
        return sqrt(d2) > c_;
    }
    double c_;
    bool squares_;
    double hi_, lo_;
};
inline bool root_above(double d2, double c) { return RootAbove(c)(d2); }

// Whether b leans on o: their centres within 0.9 of their radii.
bool leans_on(const PhBall &o, const PhBall &b)
{
    return root_below((o.position - b.position).Length2(), 0.9 * (o.radius + b.radius));
}

// Lying still and quiet, and no other ball has touched it in this step.
bool idle(const PhBall &b)
{
    return b.quiet && b.velocity.x == 0 && b.velocity.y == 0 && b.velocity.z == 0 && b.position.x == b.stillAt.x &&
           b.position.y == b.stillAt.y && b.position.z == b.stillAt.z;
}

// The coarse map's cell: wider than two balls' touching distance. A row of the map is a bit set.
const float k_stir_cell = 2.0f;

// The bits from to to (0 <= from, to <= 63) of a word of the map's row.
inline uint64_t row_bits(size_t from, size_t to) { return (~uint64_t(0) >> (63 - to)) & (~uint64_t(0) << from); }

// The balls the step does not leave alone, in list order, and their numbers in the list (the pair
// buckets number the balls the same way): the passes after the dormancy test walk only these.
// `all` is the whole list as the step's first walk found it (and again after a removal): the later
// walks over every ball read it instead of following the list.
struct Awake {
    std::vector<PhBall *> balls;
    std::vector<int32_t> numbers;
    std::vector<PhBall *> all;
    // Every ball of `all` that is not dormant.
    void FromAll(bool anyDormant)
    {
        balls.resize(all.size());
        numbers.resize(all.size());
        size_t n = 0;
        for (size_t i = 0; i < all.size(); i++)
            if (!anyDormant || !all[i]->dormant) {
                balls[n] = all[i];
                numbers[n++] = int32_t(i);
            }
        balls.resize(n);
        numbers.resize(n);
    }
    // Every ball of `all` but those numbered in `dormant` (rising), read from the numbers alone.
    void FromAllBut(const int32_t *dormant, size_t count)
    {
        const size_t n = all.size();
        balls.resize(n - count);
        numbers.resize(n - count);
        PhBall **out = balls.data();
        int32_t *number = numbers.data();
        PhBall *const *in = all.data();
        size_t from = 0;
        for (size_t d = 0; d <= count; d++) {
            const size_t to = d < count ? size_t(dormant[d]) : n;
            for (size_t i = from; i < to; i++) {
                *out++ = in[i];
                *number++ = int32_t(i);
            }
            from = to + 1;
        }
    }
};
Awake g_awake;

// The lists once the balls are numbered anew (after a removal): every ball not dormant.
void list_awake()
{
    g_awake.all.clear();
    for (PhBall *b = PhysWorld.balls; b != nullptr; b = b->nextBall)
        g_awake.all.push_back(b);
    g_awake.FromAll(true);
}

// Marks the balls the step leaves alone: those that may sleep with no other ball moving within
// reach of them (the touching distance plus twice its travel in a step, in cells of the map). The
// rest go to the awake list; a dormant ball's clock moves on here, as nothing else touches it.
__attribute__((noinline)) void mark_dormant(float stepLength, float now)
{
    PhWorld &w = PhysWorld;
    const bool fast = Phys_FastPaths();
    const int32_t nx = w.sizeX / 2 + 2, nz = w.sizeZ / 2 + 2;  // cells of k_stir_cell
    // The map of the sleepers' cells not yet found stirred: a bit per cell, kept clear between steps.
    const size_t words = (size_t(nx) + 63) / 64;
    if (w.stirred == nullptr)
        w.stirred = new std::vector<uint64_t>();
    if (w.stirred->size() != words * size_t(nz))
        w.stirred->assign(words * size_t(nz), 0);
    uint64_t *const map = w.stirred->data();
    // The sleepers, with their numbers in the list and the word and bit of their cell in the map
    // (word -1: off the map, it stays awake).
    struct Sleeper {
        PhBall *ball;
        int32_t number;
        int64_t word;
        uint64_t bit;
    };
    static std::vector<Sleeper> sleepers;
    // The rest, in list order: the balls whose reach may stir a sleeper.
    static std::vector<PhBall *> moving;
    static std::vector<int32_t> dormant;
    // Each sleeper's cell by its number in the list, for the place it was found at: a sleeper mostly
    // lies where it lay in the last step. Kept for the map's size.
    struct CellMemo {
        uint32_t x, z;  // the bits of the place
        bool known;
        int64_t word;
        uint64_t bit;
    };
    static std::vector<CellMemo> memo;
    static int32_t memoNx = -1, memoNz = -1;
    if (memoNx != nx || memoNz != nz) {
        memo.assign(memo.size(), CellMemo{});
        memoNx = nx;
        memoNz = nz;
    }
    const double travel = 2.0 * (stepLength > 0.025f ? stepLength : 0.025f);
    std::vector<PhBall *> &all = g_awake.all;
    size_t sleeping = 0, nm = 0, openWords = 0;
    bool unset = false;  // a moving ball's speed is not set
    int32_t number = 0;
    // Room for every ball, written without growing.
    size_t room = all.size();
    PhBall **toAll = all.data(), **toMoving = moving.data();
    Sleeper *toSleepers = sleepers.data();
    CellMemo *memos = memo.data();
    for (PhBall *b = w.balls; b != nullptr; b = b->nextBall, number++) {
        if (size_t(number) >= room) {
            room = 2 * size_t(number) + 64;
            all.resize(room);
            sleepers.resize(room);
            moving.resize(room);
            memo.resize(room);
            toAll = all.data(), toMoving = moving.data(), toSleepers = sleepers.data(), memos = memo.data();
        }
        toAll[number] = b;
        b->dormant = false;
        if (!may_sleep(*b)) {
            b->quiet = false;
            unset |= !b->velocity.Valid();
            toMoving[nm++] = b;
            continue;
        }
        Sleeper &sl = toSleepers[sleeping++];
        sl.ball = b;
        sl.number = number;
        CellMemo &c = memos[number];
        uint32_t xb, zb;
        memcpy(&xb, &b->position.x, sizeof xb);
        memcpy(&zb, &b->position.z, sizeof zb);
        if (!c.known || c.x != xb || c.z != zb) {
            c = {xb, zb, true, -1, 0};
            const float cx = phys_detail::floor_of(b->position.x / k_stir_cell), cz = phys_detail::floor_of(b->position.z / k_stir_cell);
            if (cx >= 0 && cx < float(nx) && cz >= 0 && cz < float(nz)) {
                const size_t x = size_t(cx);
                c.word = int64_t(size_t(cz) * words + x / 64);
                c.bit = uint64_t(1) << (x % 64);
            }
        }
        sl.word = c.word;
        sl.bit = c.bit;
        if (sl.word >= 0) {
            openWords += map[sl.word] == 0;
            map[sl.word] |= sl.bit;
        }
    }
    all.resize(size_t(number));
    if (sleeping == 0) {
        g_awake.FromAllBut(nullptr, 0);
        return;
    }
    // One held by the balls it leans on (blockedSteps) must see them leave. Its step must leave
    // nothing the pair loop reads otherwise: not so for one a magnet pulls or reaches (what it may
    // keep after a push grows), nor for one that tried to go in its last step (it is nudged again
    // and its blocked count goes on). One its magnet held through its last step, with no pull (a
    // pull restarts the held motion each step), is quiet: its step changes nothing. One a caller has
    // moved since the last count takes its step (it may have lost its support), as does one a
    // caller set to another state than rest, and one the balls it leaned on have left (on a slope it
    // rolls). Only the sleepers left awake are asked: no pass reads it of a dormant ball.
    auto quiet = [fast](const PhBall *b) {
        const bool held = b->motion == MT_MAGN_ALL && b->attracted && b->magnet != nullptr && b->type == TY_G_FEM &&
                          b->heldStill;
        return fast && b->blockedSteps <= PH_BLOCKED_STEPS &&
               (held || (!b->attracted && !b->nearMagnet && b->motion == MT_ALL)) && !b->nudgedLast && !b->propLost &&
               b->position.x == b->stillAt.x && b->position.y == b->stillAt.y && b->position.z == b->stillAt.z;
    };
    // The cells a moving ball reaches: 1, 0 when none is on the map, -1 when it cannot be mapped.
    // As the box of the centre's cell widened by the reach rounded up to whole cells, clipped to the
    // map: in whole numbers, which hold the same cells for every place but the far ones (off the
    // map whatever the reach) and the ones not numbers.
    struct Box {
        int32_t x0, x1, z0, z1;
    };
    // The cells within k of the cell of (fx, fz), clipped to the map (both finite and below 2^30).
    auto cellsAround = [&](float fx, float fz, int32_t k, Box *q) {
        const int32_t ix = phys_detail::floor_int(fx), iz = phys_detail::floor_int(fz);
        q->x0 = ix - k > 0 ? ix - k : 0;
        q->x1 = ix + k < nx - 1 ? ix + k : nx - 1;
        q->z0 = iz - k > 0 ? iz - k : 0;
        q->z1 = iz + k < nz - 1 ? iz + k : nz - 1;
    };
    auto boxOf = [&](const PhBall *b, Box *q) {
        const double reach = 0.9 * 2 * (b->radius > 0.35f ? b->radius : 0.35f) + 0.1 + b->velocity.Length() * travel;
        const double half = reach / k_stir_cell;  // at least 0.365, or not a number
        const float fx = b->position.x / k_stir_cell, fz = b->position.z / k_stir_cell;
        if (!(half <= 63))
            return -1;
        if (!(fabsf(fx) < 0x1p30f && fabsf(fz) < 0x1p30f))
            return isfinite(fx) && isfinite(fz) ? 0 : -1;
        const int32_t t = int32_t(half);
        cellsAround(fx, fz, t + (double(t) < half), q);
        return q->x0 <= q->x1 && q->z0 <= q->z1 ? 1 : 0;
    };
    auto clearMap = [&] {
        for (size_t s = 0; s < sleeping; s++)
            if (sleepers[s].word >= 0)
                map[sleepers[s].word] = 0;
    };
    // Clears the cells the moving ball reaches from the map: -1 when it cannot be mapped, 1 when it
    // stirred a sleeper.
    auto stir = [&](const PhBall *b) {
        Box q;
        const int got = boxOf(b, &q);
        if (got <= 0)
            return got;
        bool any = false;
        if (words == 1) {  // a row of the map in one word
            const uint64_t bits = row_bits(q.x0, q.x1);
            for (int32_t z = q.z0; z <= q.z1; z++)
                if (const uint64_t hit = map[z] & bits) {
                    map[z] ^= hit;
                    openWords -= map[z] == 0;
                    any = true;
                }
            return int(any);
        }
        for (size_t wd = size_t(q.x0) / 64; wd <= size_t(q.x1) / 64; wd++) {
            const size_t from = wd * 64 > size_t(q.x0) ? 0 : size_t(q.x0) - wd * 64;
            const size_t to = wd * 64 + 63 < size_t(q.x1) ? 63 : size_t(q.x1) - wd * 64;
            const uint64_t bits = row_bits(from, to);
            uint64_t *cell = map + size_t(q.z0) * words + wd;
            for (int32_t z = q.z0; z <= q.z1; z++, cell += words)
                if (const uint64_t hit = *cell & bits) {
                    *cell ^= hit;
                    openWords -= *cell == 0;
                    any = true;
                }
        }
        return int(any);
    };
    // Whether a moving ball whose speed is set surely stirs no sleeper left: no open cell lies in a
    // box about its cell at least as wide as its own, taken without the root (the speed is at most
    // the sum of its parts; the margins are far wider than the rounding). False when unsure, as for
    // a ball that may not be mapped.
    auto surelyCalm = [&](const PhBall *b) {
        const float fx = b->position.x / k_stir_cell, fz = b->position.z / k_stir_cell;
        if (words != 1 || !(fabsf(fx) < 0x1p30f && fabsf(fz) < 0x1p30f))
            return false;
        const FV3 &v = b->velocity;
        const double sum = fabs(double(v.x)) + fabs(double(v.y)) + fabs(double(v.z));
        const double bound =
            (0.9 * 2 * (b->radius > 0.35f ? b->radius : 0.35f) + 0.1 + sum * travel * (1 + 1e-9)) / k_stir_cell + 1e-9;
        if (!(bound < 62))
            return false;
        Box q;
        cellsAround(fx, fz, int32_t(bound) + 1, &q);
        if (q.x0 > q.x1)
            return true;
        const uint64_t bits = row_bits(q.x0, q.x1);
        uint64_t open = 0;
        for (int32_t z = q.z0; z <= q.z1; z++)
            open |= map[z];
        return (open & bits) == 0;
    };
    auto allAwake = [&] {
        clearMap();
        for (size_t s = 0; s < sleeping; s++)
            sleepers[s].ball->quiet = quiet(sleepers[s].ball);
        g_awake.FromAllBut(nullptr, 0);  // every ball awake, in list order
    };
    // Once the map is empty the rest of the moving balls cannot change what the step does, nor can
    // the order they are taken in: one that cannot be mapped wakes every ball. The balls that stirred
    // a sleeper in the last step (their places among the moving balls) are taken first, as the balls
    // near a sleeper mostly stay near it; with a speed not set, the balls are taken in list order,
    // so that the warnings come as before.
    static std::vector<uint32_t> stirrers, next, triedAt;
    static uint32_t stamp = 0;
    size_t k = 0;
    if (!unset) {
        if (triedAt.size() < nm)
            triedAt.resize(moving.size(), stamp);
        stamp++;
        next.clear();
        size_t h = 0;
        for (; h < stirrers.size() && openWords > 0; h++) {
            const uint32_t m = stirrers[h];
            if (m >= nm)
                continue;
            triedAt[m] = stamp;
            const int got = stir(moving[m]);
            if (got < 0)
                return allAwake();
            if (got > 0)
                next.push_back(m);
        }
        for (; h < stirrers.size(); h++)  // not tried: kept for the next step
            next.push_back(stirrers[h]);
        for (; k < nm && openWords > 0; k++) {
            if (triedAt[k] == stamp || surelyCalm(moving[k]))
                continue;
            const int got = stir(moving[k]);
            if (got < 0)
                return allAwake();
            if (got > 0)
                next.push_back(uint32_t(k));
        }
        stirrers.swap(next);
    } else {
        for (; k < nm && openWords > 0; k++)
            if (stir(moving[k]) < 0)
                return allAwake();
    }
    // The speeds not read: one not set would have warned (up to a ball that cannot be mapped).
    if (unset)
        for (size_t m = k; m < nm; m++)
            if (!moving[m]->velocity.Valid()) {
                Box q;
                for (; k < nm && boxOf(moving[k], &q) >= 0; k++) {
                }
                break;
            }
    if (dormant.size() < sleeping)
        dormant.resize(sleepers.size());
    size_t nd = 0;
    for (size_t s = 0; s < sleeping; s++) {
        const Sleeper &sl = sleepers[s];
        PhBall *b = sl.ball;
        if (sl.word >= 0 && (map[sl.word] & sl.bit) != 0) {
            b->dormant = true;
            b->quiet = false;
            b->stepStartTime = b->currentTime;
            b->currentTime = now;
            dormant[nd++] = sl.number;
        } else {
            b->quiet = quiet(b);
        }
    }
    clearMap();
    g_awake.FromAllBut(dormant.data(), nd);  // the balls not dormant, in list order
}

// Whether the ball stands elsewhere than where its step began (a caller's or a push's move
// included): the balls' contact test sees two closing in only when one has.
bool has_moved(const PhBall &b)
{
    const FV3 &p = b.position, &q = b.prevPosition;
    return !p.Valid() || !q.Valid() || !(p.x == q.x && p.y == q.y && p.z == q.z);
}

// How many balls touch `b` (or nearly): a ball held in place may lean on them.
// The walk reads the step's array of the whole list (a ball is deleted only after these callers),
// and the places' plain numbers where both are set.
int32_t touching(const PhBall &b)
{
    int32_t n = 0;
    const FV3 &p = b.position;
    for (const PhBall *o : g_awake.all) {
        if (o == &b || o->finishCode != 0)
            continue;
        const double reach = double(o->radius) + b.radius + 0.05;
        const FV3 &q = o->position;
        double d2;
        if (q.Valid() && p.Valid()) {
            d2 = phys_detail::squares(q.x - p.x, q.y - p.y, q.z - p.z);
        } else {
            d2 = (q - p).Length2();
        }
        n += d2 < reach * reach;
    }
    return n;
}

// A ball that travels farther in the step than half its radius may pass another ball between the
// step's two ends. The pair found touching on the way (both moving straight over the step) is put
// back to where they touch, for the pair loop to meet; the rest of their step is given up.
void sweep_pairs(PhPairGrid &grid)
{
    PhWorld &w = PhysWorld;
    auto takesPart = [](const PhBall *b) { return b->finishCode == 0 && b->goal == nullptr && !b->sinking; };
    // Where a ball started the step: one the step left alone stood where it is.
    auto from = [](const PhBall *b) -> const FV3 & {
        return b->dormant || b->quiet || b->blockedSteps > PH_BLOCKED_STEPS ? b->position : b->prevPosition;
    };
    // A dormant ball has not moved: only the awake ones may have passed another.
    // Which awake balls travel that far (their places in the awake list): as found here until the
    // first pair is set back. Whether a ball travels that far: on the plain numbers when both ends
    // are set (the vector arithmetic, and its warnings, else), and surely not when the sum of the
    // three distances is well short of it; with both ends of every one set, the longest such sum.
    static std::vector<uint32_t> fastAt;
    fastAt.clear();
    bool set = true;
    float longest = 0;
    const size_t awake = g_awake.balls.size();
    // Whether a ball takes part is asked only of one with an end not set or a long way: the
    // longest sum may take in the others too (it only widens the room the search gives), and
    // their records' first line is left unread.
    for (size_t k = 0; k < awake; k++) {
        const PhBall *a = g_awake.balls[k];
        const FV3 &p = a->position, &q = from(a);
        if (&q == &p && p.Valid() && a->radius >= 0)
            continue;  // left where it stood: no way at all
        bool travels;
        if (!p.Valid() || !q.Valid()) {
            if (!takesPart(a))
                continue;
            set = false;
            travels = root_above((p - FV3(q)).Length2(), 0.5 * a->radius);
        } else {
            const float dx = p.x - q.x, dy = p.y - q.y, dz = p.z - q.z;
            const float sum = fabsf(dx) + fabsf(dy) + fabsf(dz);
            longest = sum > longest ? sum : longest;
            travels = !(double(sum) < 0.4995 * a->radius) && takesPart(a) &&
                      root_above(phys_detail::squares(dx, dy, dz), 0.5 * a->radius);
        }
        if (travels)
            fastAt.push_back(uint32_t(k));
    }
    const size_t fast = fastAt.size();
    if (fast == 0)
        return;
    // Two balls that meet on the way end the step no farther apart than the touching distance and
    // both travels: with every place set and within bounds (where the round-off of the meeting test
    // stays far below the room given), the balls the pair lists keep farther than that from a fast
    // ball's end on one axis are passed over unread. The rest are read side by side once more than
    // a few travel that far.
    // (A travel not a number meets no ball: it need not be counted.)
    const double longestTravel = double(longest) * 1.001;
    float largest = 0;
    auto placesKnown = [&] { return set && longestTravel < 1e4 && grid.PlacesWithin(&largest); };
    bool near = placesKnown();
    struct Flat {
        PhBall *ball;
        float x0, y0, z0, x1, y1, z1;  // where it started the step and where it is
        float radius;
        int32_t lane;
    };
    static std::vector<Flat> flat;
    flat.clear();
    auto fill = [&](Flat &f, PhBall *b) {
        const FV3 b0 = from(b);
        b->position.Check();
        f = {b, b0.x, b0.y, b0.z, b->position.x, b->position.y, b->position.z, b->radius, b->lane};
    };
    if (!near && fast > 2)
        for (PhBall *b : g_awake.all)
            if (takesPart(b)) {
                flat.push_back({});
                fill(flat.back(), b);
            }
    bool moved = false;
    size_t nextFast = 0;
    for (size_t k = 0; k < awake; k++) {
        if (!moved) {
            if (nextFast == fast)
                break;
            k = fastAt[nextFast++];
        }
        PhBall *a = g_awake.balls[k];
        if (moved && !takesPart(a))
            continue;
        const FV3 a0 = from(a);
        if (moved && !root_above((a->position - a0).Length2(), 0.5 * a->radius))
            continue;
        PhBall *hit = nullptr;
        int32_t hitAt = -1;
        double first = 2;
        // The first time in the step a and f come within touching distance, if they do.
        auto meet = [&](const Flat &f) {
            if (f.ball == a || (a->lane != 0 && f.lane != 0 && a->lane != f.lane))
                return false;  // balls locked to crossing lanes meet only nearer (see PhBall::Contact)
            // A hair inside the pair loop's touching distance, so that its own test meets them.
            const double R = 0.9 * (double(a->radius) + f.radius) - 0.001;
            const float d0x = f.x0 - a0.x, d0y = f.y0 - a0.y, d0z = f.z0 - a0.z;
            const float d1x = f.x1 - a->position.x, d1y = f.y1 - a->position.y, d1z = f.z1 - a->position.z;
            // Between the two ends the distance runs along a straight line: a line that stays off
            // the cube around the touching sphere on one axis never meets it (with room for round-off).
            // Balls so small that R is below zero are met at |R| by the test below: so is the cube.
            const double out = fabs(R) * 1.001 + 1e-4;
            if ((d0x > out && d1x > out) || (d0x < -out && d1x < -out) || (d0y > out && d1y > out) ||
                (d0y < -out && d1y < -out) || (d0z > out && d1z > out) || (d0z < -out && d1z < -out))
                return false;
            const FV3 d0(d0x, d0y, d0z), d1(d1x, d1y, d1z);
            if (d0.Length2() <= R * R)
                return false;  // touching from the start: the pair loop sees to it
            const FV3 e = d1 - d0;
            const double A = e.Length2(), B = 2 * d0.Dot(e), C = d0.Length2() - R * R;
            const double disc = B * B - 4 * A * C;
            if (!(A > 0) || !(disc >= 0))
                return false;
            const double t = (-B - sqrt(disc)) / (2 * A);
            if (t >= 0 && t <= 1 && t < first) {
                first = t;
                hit = f.ball;
                return true;
            }
            return false;
        };
        if (near) {
            // Beyond the touching distance of the largest balls and both travels, with room to spare.
            const float dx = a->position.x - a0.x, dy = a->position.y - a0.y, dz = a->position.z - a0.z;
            const double travel = sqrt(phys_detail::squares(dx, dy, dz));
            const float bound = static_cast<float>((0.9 * (double(a->radius) + largest) + 0.001 + travel + longestTravel) * 1.5 + 0.05);
            const float ax = a->position.x, ay = a->position.y, az = a->position.z;
            for (int32_t j = 0, n = grid.Count(); j < n; j++) {
                const float *o = grid.At(j);
                if (fabsf(o[0] - ax) > bound || fabsf(o[2] - az) > bound || fabsf(o[1] - ay) > bound)
                    continue;
                PhBall *b = grid.Ball(j);
                if (b != a && takesPart(b)) {
                    Flat f;
                    fill(f, b);
                    if (meet(f))
                        hitAt = j;
                }
            }
        } else if (!flat.empty()) {
            for (const Flat &f : flat)
                meet(f);
        } else {
            for (PhBall *b : g_awake.all)
                if (b != a && takesPart(b)) {
                    Flat f;
                    fill(f, b);
                    meet(f);
                }
        }
        if (hit == nullptr)
            continue;
        // The pair lists follow the two; with a place off the field (before or after) they are
        // made anew.
        auto onField = [&w](const FV3 &p) { return p.x >= 0 && p.x <= w.sizeXf && p.z >= 0 && p.z <= w.sizeZf; };
        bool span = !onField(a->position) || !onField(hit->position);
        const FV3 b0 = from(hit);
        a->position = a0 + (a->position - a0) * static_cast<float>(first);
        hit->position = b0 + (hit->position - b0) * static_cast<float>(first);
        a->UpdateCell();
        hit->UpdateCell();
        span |= !onField(a->position) || !onField(hit->position);
        moved = true;
        for (Flat &f : flat)
            if (f.ball == a || f.ball == hit)
                fill(f, f.ball);
        if (span || hitAt < 0) {
            grid.Build(&g_awake.all);
        } else {
            grid.Moved(g_awake.numbers[k]);
            grid.Moved(hitAt);
        }
        if (near)
            near = placesKnown();
    }
}

// After the step: how long each ball has lain still.
// With `energy`, it also sums the balls' energies there as Phys_Energy would (each ball's taken
// before its count, which changes no other ball): one walk of the list instead of two.
// The speed's and the distance's squares are taken once from the plain numbers; each read that
// would warn of a value not set still warns, where and as it did.
void count_still(float *energy = nullptr)
{
    const uint32_t gen = PhysWorld.piecesGeneration;
    float total = 0;
    for (PhBall *b : g_awake.all) {
        const bool active = b->finishCode == 0;
        const FV3 &p = b->position, &v = b->velocity;
        const double v2 = phys_detail::squares(v.x, v.y, v.z);
        if (energy != nullptr && active) {
            if (!v.Valid())
                PhMath_Unset(true);
            b->energy = PhBall_EnergyAt(p.y, v2, b->Material().mass);
            total += b->energy;
        }
        if (b->dormant && !b->pushed && active && b->stillGeneration == gen) {
            b->stillSteps++;  // all else is as the last count left it
            continue;
        }
        const bool piecesChanged = b->stillGeneration != gen;
        // At rest on a piece or on the field's floor, or held by a magnet, asked after the speed (a sum
        // of squares of floats in doubles is 0 just when each of them is): most balls move.
        const bool still = v2 == 0 && active &&
                           ((b->motion == MT_ALL && !b->attracted && (b->support != nullptr || p.y <= b->radius)) ||
                            b->motion == MT_MAGN_ALL) &&
                           p.x == b->stillAt.x && p.y == b->stillAt.y && p.z == b->stillAt.z;
        b->stillSteps = still ? (piecesChanged ? 0 : b->stillSteps) + 1 : 0;
        b->stillGeneration = gen;
        bool moving = false;  // set going, or tried to go (a root is 0 only for 0)
        if (active && !b->sinking && b->goal == nullptr) {
            if (!v.Valid())
                PhMath_Unset(true);
            moving = v2 > 0 || b->nudged;
        }
        b->nudgedLast = b->nudged;
        b->nudged = false;
        bool near = false;
        if (!piecesChanged && b->blockedSteps > 0) {
            p.Check();
            b->blockedAt.Check();
            const FV3 &q = b->blockedAt;
            near = root_below(phys_detail::squares(p.x - q.x, p.y - q.y, p.z - q.z), 0.01);
        }
        if (near) {
            if (moving)
                b->blockedSteps++;
        } else {
            b->blockedSteps = moving ? 1 : 0;
            b->blockedAt = p;
        }
        if (b->blockedSteps == PH_BLOCKED_STEPS + 1 && moving) {
            b->heldTouching = touching(*b);
            b->velocity = FV3(0, 0, 0);
            PhBall_SetMotion(*b, b->attracted ? MT_MAGN_ALL : MT_ALL, b->position, b->velocity, b->currentTime, 0);
        }
        b->stillAt = p;
    }
    if (energy != nullptr)
        *energy = total;
}

}  // namespace

bool PhBall_OnSlope(const PhBall &ball, const PhElem &s, float f)
{
    PhScope scope;
    const auto &slope = static_cast<const PhRamp &>(s);
    if (slope.geom == nullptr || fabs(s.up.Dot(ball.velocity)) > PhyParams.frictionVertical)
        return false;
    const int o = s.Orientation();
    const float r = ball.radius;
    const FV3 &p = ball.position;
    FV3 q = p + slope_normal(o) * (r * f);
    FV3 w;
    const int k = Ramp_Region(*slope.geom, q, &w);
    if (k == 0 || (k >= 0 && w.Length() < 0.001 && (k == 1 || k == 13 || k == 14)))
        return true;
    const FV3 &lo = s.boxLow, &hi = s.boxHigh;
    if ((o == 0 && q.x > hi.x) || (o == 1 && q.z < lo.z) || (o == 2 && q.x < lo.x) || (o == 3 && q.z > hi.z))
        return false;
    const float d = o == 0 ? hi.x - p.x : o == 1 ? p.z - lo.z : o == 2 ? p.x - lo.x : hi.z - p.z;
    if (fabsf(d) <= r)
        q.y = hi.y - (r - sqrtf(r * r - d * d));
    FV3 dv;
    int code = 0;
    if (!Ramp_Contact(*slope.geom, p, ball.velocity, r, &dv, &code, 0.001f))
        return false;
    return Ramp_Region(*slope.geom, q, &w) == 0;
}

namespace {

// The pulls and holds of the magnets on an iron ball; false when the ball is held (not integrated).
// A walk over the magnets when the ball is not surely far from each.
__attribute__((noinline)) bool magnet_step(PhBall &ball, float r, const FV3 &arriving, bool wasHeld, bool walk)
{
    bool integrate = true;
    bool pulled = false;
    bool inReach = false;
    float gift = 0;  // what the pulls gave it: none when it ends the step held
    bool within = false;
    for (PhMagnet *m = walk ? PhysWorld.magnets : nullptr; m != nullptr; m = m->nextMagnet) {
        if (PhElem_OutOfReach(m->boxLow, m->boxHigh, ball.position, r))
            continue;  // the zone test below would say so too, at more cost
        within = true;
        FV3 closest;
        const PhZoneCode zc = m->Classify(ball, &closest);
        bool reach = true;
        for (int a = 0; a < 3; a++)
            reach &= zc.Zone(a) >= 1 && zc.Zone(a) <= 9;
        if (!reach)
            continue;
        inReach = true;
        const int dy = ball.cellY - m->cellY;
        bool mid = true;
        for (int a = 0; a < 3; a++)
            mid &= zc.Zone(a) >= 2 && zc.Zone(a) <= 8;
        const bool held = (closest - ball.position).Length() < r ||
                          ((dy == 1 || dy == -1) && zc.Zone(0) == 5 && zc.Zone(2) == 5) || (dy == 0 && mid);
        if (held) {
            ball.acceleration = FV3(0, 0, 0);
            ball.velocity = FV3(0, 0, 0);
            if (ball.motion != MT_MAGN_ALL)
                PhBall_SetMotion(ball, MT_MAGN_ALL, ball.position, ball.velocity, ball.currentTime, 1);
            integrate = false;
        } else {
            pulled = true;
            FV3 d = m->centre - ball.position;
            const double L = d.Length();
            if (dy == 1)
                d.SetLength(PhyParams.magnetGain * L);
            else if (L <= r)
                d = FV3(0, 0, 0);
            else
                d.SetLength(PhyParams.magnetGain * (L - r));
            if (ball.support != nullptr) {
                const double into = d.Dot(ball.support->up);
                if (into < 0)
                    d -= ball.support->up * static_cast<float>(into);
            } else if (ball.position.y <= r + 1e-4f && d.y < 0) {
                d.y = 0;  // the field's floor holds a ball lying on it as a piece would
            }
            const float before = PhBall_Energy(ball);
            ball.velocity += d;
            const float gain = PhBall_Energy(ball) - before;
            if (gain > 0)
                gift += gain;
            if (!ball.attracted) {
                ball.magnet = m;
                PhList_Push(m->held, &ball, &PhBall::nextHeld);
                ball.attracted = 1;
                PhysCounters.magnet = 1;
            }
            PhBall_SetMotion(ball, ball.motion, ball.position, ball.velocity, ball.currentTime, 0);
        }
        if (ball.attracted && (((ball.lane == 1 || ball.lane == 5) && ball.acceleration.z != 0) ||
                               ((ball.lane == 2 || ball.lane == 6) && ball.acceleration.x != 0)))
            ball.lane = 0;
    }
    if (walk && !within)
        find_magnets_far(ball);  // where the walk began: no magnet moved it
    else if (within)
        ball.magnetsFarKnown = false;
    if (ball.attracted && inReach && ball.motion != MT_MAGN_ALL) {
        // Counted for as long as the pull keeps it within reach, wherever the swing takes it: a
        // swing a little wider than a fixed place allows would restart the count at each end and
        // go on for ever. Held only where the pull turns it back, at the end of a swing or a
        // rebound: a ball on its way through is never stopped.
        if (++ball.trapSteps > PH_TRAP_STEPS && ball.velocity.Dot(arriving) <= 0) {
            ball.velocity = FV3(0, 0, 0);
            PhBall_SetMotion(ball, MT_MAGN_ALL, ball.position, ball.velocity, ball.currentTime, 0);
        }
    } else {
        ball.trapSteps = 0;
    }
    if (ball.motion == MT_MAGN_ALL) {
        ball.velocity = ball.acceleration = FV3(0, 0, 0);
        integrate = false;
    } else if (gift > 0) {
        ball.allowance += gift;
        PhysWorld.sourceEnergy += gift;
    }
    ball.nearMagnet = inReach;
    ball.heldStill = wasHeld && !pulled && inReach && ball.motion == MT_MAGN_ALL;
    if (ball.attracted && !inReach) {
        if (ball.magnet != nullptr)
            PhList_Remove(ball.magnet->held, &ball, &PhBall::nextHeld);
        ball.magnet = nullptr;
        ball.attracted = 0;
        PhBall_SetMotion(ball, MT_EVE, ball.position, ball.velocity, ball.currentTime, 1);
    }
    return integrate;
}

// Landing: the piece found under a ball that had none answers the touch first. True when that
// finished the ball.
__attribute__((noinline)) bool land_on(PhBall &ball, PhElem *found)
{
    FV3 c;
    int code = 0;
    if (found->Contact(ball, &c, &code, 0.001f)) {
        const float t = Env_ImpactTime(ball, found, c);
        if (t >= ball.stepStartTime && t <= ball.currentTime) {
            found->Respond(ball, c, code, t);
            if (ball.finishCode != 0 || ball.sinking)
                return true;
        }
    }
    return false;
}

// The part of the motion test for a ball with no piece under it: whether the support is unusable.
// With no piece under it, a ball lying on the field's floor rolls on the floor: falling onto it
// every step, it would never come to rest.
__attribute__((noinline)) bool unsupported_unusable(PhBall &ball, float r)
{
    const FV3 &v = ball.velocity;
    const bool onFloor = ball.finishCode == 0 && ball.position.y <= r + 1e-4f &&
                         fabsf(v.y) < PhyParams.frictionVertical && !ball.rollingDown && !ball.rollingUp;
    if (onFloor) {
        ball.position.y = r;
        ball.velocity.y = 0;
    }
    return !onFloor || fabsf(v.y) >= PhyParams.frictionVertical;
}

// A ball whose support does not carry it: a bomb rolls on over a slope, any other falls or settles.
__attribute__((noinline)) void unusable_support(PhBall &ball, TrPalya *field, PhElem *rollSlope, PhElem *sup)
{
    if (slope_roll_goes_on(ball, field, rollSlope))
        return;  // a rolling bomb's state and acceleration are set
    const FV3 &v = ball.velocity;
    ball.acceleration = PhyDerived.gravity;
    const int settle = ball.rollingDown ? 0 : 1;
    if (sup != nullptr && slope_near(sup, ball) && v.y < 0) {
        if (ball.motion != MT_SZEL)
            PhBall_SetMotion(ball, MT_SZEL, ball.position, v, ball.stepStartTime, settle);
    } else if (!(ball.motion == MT_ALL && ball.neighbourCount > 10)) {
        if (ball.motion != MT_SZE)
            PhBall_SetMotion(ball, MT_SZE, ball.position, v, ball.stepStartTime, settle);
    } else {
        ball.acceleration = FV3(0, 0, 0);
    }
    ball.acceleration = ball.motion == MT_ALL ? FV3(0, 0, 0) : PhyDerived.gravity;
}

// A ball at or below the static speed, or one its friction stops in the step: true when it stops,
// else its acceleration is set.
__attribute__((noinline)) bool slow_stops(PhBall &ball, const PhyMaterial &m, float s, float stop, bool onSlope)
{
    const FV3 &v = ball.velocity;
    if (s <= stop && !ball.attracted && !onSlope)
        return true;
    if (!(ball.firstContact || 25 * m.staticFriction <= s || onSlope || ball.attracted))
        return true;
    float len = s;
    if (ball.firstContact) {
        ball.firstContact = 0;
        PhBall_SetMotion(ball, ball.motion, ball.position, v, ball.currentTime, 0);
        // Leaving a roll over a slope's edge damps the velocity: the pull takes its new length.
        len = static_cast<float>(v.Length());
    }
    // A speed too small for its reciprocal to be a float is divided axis by axis.
    const float q = -m.staticFriction / len;
    ball.acceleration = !(len > 0) ? FV3(0, 0, 0) : isinf(q) ? (v / len) * -m.staticFriction : v * q;
    return false;
}

__attribute__((noinline)) void stop_ball(PhBall &ball)
{
    if (ball.motion != MT_ALL)
        PhBall_SetMotion(ball, MT_ALL, ball.position, FV3(0, 0, 0), ball.currentTime, 1);
    ball.velocity = ball.acceleration = FV3(0, 0, 0);
}

// The motion state set anew, the acceleration found for the step kept.
__attribute__((noinline)) void set_motion_kept(PhBall &ball, int state)
{
    const FV3 a = ball.acceleration;
    PhBall_SetMotion(ball, state, ball.position, ball.velocity, ball.stepStartTime, 1);
    ball.acceleration = a;
}

// Rolling on a slope: gravity along it added to the friction.
__attribute__((noinline)) void roll_down_slope(PhBall &ball, const PhElem *sup)
{
    const FV3 &g = PhyDerived.gravity;
    const FV3 along = g - sup->up * static_cast<float>(g.Dot(sup->up));
    const FV3 a = ball.acceleration + along;
    if (ball.motion != MT_EVEL)
        PhBall_SetMotion(ball, MT_EVEL, ball.position, ball.velocity, ball.stepStartTime, 1);
    ball.acceleration = a;
}

}  // namespace

namespace {

// What every ball's step of one world step reads alike: the time it ends at, whether the fast
// paths are on, and which balls the host shows (Phys_ShowKind).
struct StepView {
    float now;
    bool fast;
    int shown;
};

StepView step_view(int32_t timeMs)
{
    return StepView{static_cast<float>(timeMs) / 1000.0f, Phys_FastPaths(), Phys_ShowKind()};
}

int ball_step(PhBall &ball, TrPalya *field, const StepView &view);

}  // namespace

int PhBall_Step(PhBall &ball, TrPalya *field, int32_t timeMs)
{
    return ball_step(ball, field, step_view(timeMs));
}

namespace {

__attribute__((noinline)) int ball_step(PhBall &ball, TrPalya *field, const StepView &view)
{
    PhScope scope;
    ball.stepStartTime = ball.currentTime;
    ball.currentTime = view.now;
    ball.stepLength = ball.currentTime - ball.stepStartTime;
    bool integrate = true;
    ball.rollingDown = ball.rollingUp = 0;
    const PhyMaterial &mat = ball.Material();  // a ball keeps its kind through its step
    // The speed squared, taken again below while the velocity is as it began (and was set).
    bool vSame = ball.velocity.Valid();
    const double speed2 = ball.velocity.Length2();
    ball.allowance = PhBall_EnergyAt(ball.position.y, speed2, mat.mass);
    ball.propLost = false;
    const bool wasHeld = ball.motion == MT_MAGN_ALL;
    const FV3 arriving = ball.velocity;
    const float r = ball.radius;

    // Support.
    PhElem *found = find_support(ball, field, view.fast);
    PhElem *rollSlope = nullptr;
    if (found == nullptr) {
        vSame = false;
        if (ball.type == TY_G_BOMBA && ball.prevSupport != nullptr)
            rollSlope = bomb_slope_roll(ball, field);
        if (rollSlope == nullptr) {
            ball.prevSupport = ball.support;
            ball.support = nullptr;
        }
    } else {
        if (__builtin_expect(ball.prevSupport == nullptr && ball.support == nullptr, 0)) {
            vSame = false;
            if (land_on(ball, found))
                return 1;
            found = find_support(ball, field, view.fast);
        }
        if (found != ball.support) {
            ball.prevSupport = ball.support;
            ball.support = found;
        }
        PhElem *s = ball.support;
        if (s != nullptr && s->cls == PHC_GOAL && s->cellY == ball.cellY - 1 &&
            PhGoal_Accepts(*static_cast<PhGoal *>(s), ball)) {
            PhBall_EnterGoal(ball, static_cast<PhGoal *>(s));
            PhElem_Finish(&ball, FIN_ACTIVE, EF_ENTERED);
            return 1;
        }
        if (s != nullptr && ball.type == TY_G_UVEG && s->cls == PHC_SPIKED && s->cellY == ball.cellY - 1) {
            PhElem_Finish(&ball, FIN_BROKEN, EF_DESTROYED);
            return 1;
        }
    }

    // Slope list.
    // A bomb rolling down off its support keeps that support for now, but is on the slope's list.
    PhElem *sup = ball.support;
    if (ball.slope != nullptr && ball.slope != sup && !ball.rollingDown) {
        PhList_Remove(ball.slope->ballsOn, &ball, &PhBall::nextOnSlope);
        ball.slope = nullptr;
    }
    if (sup != nullptr && sup->cls == PHC_SLOPE && ball.slope == nullptr) {
        ball.slope = static_cast<PhSlope *>(sup);
        PhList_Push(ball.slope->ballsOn, &ball, &PhBall::nextOnSlope);
    }

    // Magnets pull and hold iron balls. One far from every magnet, as a walk found it before, and
    // free of them: each would be passed over, and nothing holds or releases it.
    if (ball.type == TY_G_FEM) {
        const bool far = magnets_surely_far(ball);
        if (far && !ball.attracted && ball.motion != MT_MAGN_ALL) {
            ball.trapSteps = 0;
            ball.nearMagnet = false;
            ball.heldStill = false;
        } else {
            vSame = false;
            if (!magnet_step(ball, r, arriving, wasHeld, !far))
                integrate = false;
        }
    }

    // Motion state by the support.
    bool keepsEnergy = false;
    if (ball.motion != MT_MAGN_ALL) {
        sup = ball.support;
        const FV3 &v = ball.velocity;
        const bool onSlope = sup != nullptr && sup->cls == PHC_SLOPE;
        const bool rollable = onSlope && PhBall_OnSlope(ball, *sup, 1.0f);
        // A bomb rolling down has left its flat support, however slowly it goes.
        const bool unusable = __builtin_expect(sup == nullptr, 0)
                                  ? unsupported_unusable(ball, r)
                                  : (fabsf(v.y) >= PhyParams.frictionVertical && !rollable) ||
                                        (!onSlope && sup->boxHigh.y <= ball.position.y - 1.01f * r) ||
                                        (ball.rollingDown && !onSlope);
        if (__builtin_expect(unusable, 0)) {
            unusable_support(ball, field, rollSlope, sup);
        } else if (ball.motion == MT_ALL && ball.neighbourCount > 10) {
            // At rest on a slope leaning on another ball: that ball holds it. Restarted here, it would
            // creep a little every step into the ball it leans on until the two lay in one place.
            ball.velocity = ball.acceleration = FV3(0, 0, 0);
            integrate = false;
        } else {
            const PhyMaterial &m = mat;
            const float s = static_cast<float>(vSame ? sqrt(speed2) : v.Length());
            const float stop = ball.stepLength * (s <= PhyParams.staticSpeed ? m.staticFriction : m.rollFriction);
            bool stopped = false;
            if (__builtin_expect(!(s <= PhyParams.staticSpeed) && !(s <= stop && !ball.attracted && !onSlope), 1)) {
                // The direction scaled by one quotient rather than divided by the length in each axis.
                const float q = -m.rollFriction / s;
                const bool finite = __builtin_expect(fabsf(q) <= FLT_MAX, 1);
                ball.acceleration = finite ? v * q : s > 0 ? (v / s) * -m.rollFriction : v * -m.rollFriction;
                // Level, with the velocity and place it began with, rolling on as it was: friction
                // against the motion, less than the speed in the step, shortens each axis and leaves
                // the height, so no energy is gained (the cap would find nothing to take).
                keepsEnergy = vSame && finite && v.y == 0 && q <= 0 && ball.stepLength >= 0 && !onSlope &&
                              ball.motion == MT_EVE;
            } else {
                stopped = slow_stops(ball, m, s, stop, onSlope);
            }
            if (__builtin_expect(stopped, 0)) {
                stop_ball(ball);
                integrate = false;
            } else if (onSlope && slope_near(sup, ball)) {
                roll_down_slope(ball, sup);
            } else if (ball.motion != MT_EVE) {
                set_motion_kept(ball, MT_EVE);
            }
        }
    }

    // Integration, the three axes at once: each lane makes the same float operations as the vector
    // arithmetic, whose validity checks are made once here. The spin and the orientation are the
    // view's alone: a ball the host does not show is not turned.
    const bool shown = Phys_ShownBy(view.shown, ball.element);
    const float dt = ball.stepLength;
    ball.timeInMotion = ball.currentTime - ball.changeTime;
    ball.position.Check();
    ball.velocity.Check();
    const __m128 p0 = lanes_of(ball.position), v0 = lanes_of(ball.velocity);
    set_lanes(ball.prevPosition, p0);
    set_lanes(ball.lastVelocity, v0);
    if (integrate) {
        ball.acceleration.Check();
        const __m128 a = lanes_of(ball.acceleration), t = _mm_set1_ps(dt);
        const __m128 p1 = _mm_add_ps(p0, _mm_mul_ps(_mm_add_ps(v0, _mm_mul_ps(a, _mm_set1_ps(dt / 2))), t));
        set_lanes(ball.velocity, _mm_add_ps(v0, _mm_mul_ps(a, t)));
        set_lanes(ball.position, p1);
        // A step of no length (the run's first) has no mean velocity and turns nothing.
        if ((ball.motion == MT_EVE || ball.motion == MT_EVEL) && dt > 0 && shown) {
            // One division instead of six: a last-bit difference, on a divider that is slow to answer.
            PhyDown.Check();
            const __m128 d = _mm_sub_ps(p1, p0), down = lanes_of(PhyDown);
            // d ^ down: (y, z, x) * (z, x, y) - (z, x, y) * (y, z, x).
            const __m128 cross = _mm_sub_ps(_mm_mul_ps(yzx(d), zxy(down)), _mm_mul_ps(zxy(d), yzx(down)));
            set_lanes(ball.spin, _mm_mul_ps(cross, _mm_set1_ps(1.0f / (dt * r))));
        }
        if (ball.motion == MT_ALL || ball.motion == MT_MAGN_ALL)
            ball.spin = FV3(0, 0, 0);
        else if (dt > 0 && shown)
            ball.orientation.TurnBy(ball.spin * dt);
    }
    if (!keepsEnergy)
        PhBall_CapEnergyOf(ball, mat.mass);
    PhBall_SyncInCell(ball, shown);
    ball.prevSupport = ball.support;
    return 0;
}

}  // namespace

int PhBall_PairResponse(PhBall &a, PhBall &b, const FV3 &c, float t, float f)
{
    PhScope scope;
    if (a.type == TY_G_BOMBA || b.type == TY_G_BOMBA) {
        PhElem_Finish(&a, FIN_DESTROYED, EF_DESTROYED);
        PhElem_Finish(&b, FIN_DESTROYED, EF_DESTROYED);
        return 1;
    }
    const FV3 rel = a.velocity - b.velocity;
    if (rel.Length() > 0.5)
        PhBall_RecordImpact(a, &b, nullptr, rel);
    if (!(c.Length() > 0))
        return 0;
    const FV3 n = c.Normalised();
    const float relN = static_cast<float>(rel.Dot(n));
    float k = (a.Material().restitution * b.Material().restitution + 1) * f;
    if (a.type == TY_G_FEM && b.type == TY_G_FEM)
        k = 2.0f * f;
    const float ma = a.Material().mass, mb = b.Material().mass;
    const float sum = ma + mb;
    const float wa = sum > 0 ? mb / sum : 0.5f, wb = sum > 0 ? ma / sum : 0.5f;
    if (a.motion == MT_MAGN_ALL && b.motion != MT_MAGN_ALL) {
        b.velocity += n * (k * relN);
    } else if (b.motion == MT_MAGN_ALL && a.motion != MT_MAGN_ALL) {
        a.velocity -= n * (k * relN);
    } else if (a.motion != MT_MAGN_ALL) {
        a.velocity -= n * (k * relN * wa);
        b.velocity += n * (k * relN * wb);
    }
    PhBall *both[2] = {&a, &b};
    for (int i = 0; i < 2; i++) {
        PhBall &x = *both[i];
        const FV3 side = i == 0 ? n : -n;
        x.spin = (x.velocity ^ side) / x.radius;
        int state = x.motion;
        if (state == MT_ALL && x.velocity.Length() > 0)
            state = MT_EVE;
        x.firstContact = x.velocity.Length() > PhyParams.staticSpeed ? 1 : 0;
        PhBall_SetMotion(x, state, x.position, x.velocity, t, 1);
        x.lane = Env_LaneOf(x);
        if (x.support != nullptr) {
            PhBall_ClipToSupport(x, x.moveStartVel);
            PhBall_ClipToSupport(x, x.velocity);
        }
    }
    return 0;
}

namespace {

// The passes of the step, each over the awake balls (kept apart so that each is compiled whole).

// Goal entry. A quiet ball still where the last count found it lies where the last test refused
// it, with the same pieces (one a caller moved since is tested again).
__attribute__((noinline)) void enter_goals()
{
    PhWorld &w = PhysWorld;
    // Most balls are in a column of cells with no goal near: the lists are not asked for them. A
    // ball keeps the column's cell (or the lists' bucket) where they had none for it, and is not
    // asked again while it stays there with the same pieces.
    const PhGoalColumns *columns = Phys_GoalColumns();
    auto keep = [](PhBall *b, float xlo, float xhi, float zlo, float zhi) {
        b->goalFree[0] = xlo, b->goalFree[1] = xhi, b->goalFree[2] = zlo, b->goalFree[3] = zhi;
        b->goalFreeGeneration = PhysWorld.piecesGeneration;
    };
    for (PhBall *b : g_awake.balls) {
        if (idle(*b))
            continue;
        const float x = b->position.x, z = b->position.z;
        if (columns != nullptr) {
            const float *f = b->goalFree;
            if (b->goalFreeGeneration == w.piecesGeneration && x >= f[0] && x < f[1] && z >= f[2] && z < f[3])
                continue;
            if (columns->NoneNear(x, z)) {
                // Whole cells: well below 2^23 the floor and one more are exact.
                if (fabsf(x) < 1e6f && fabsf(z) < 1e6f) {
                    const float cx = phys_detail::floor_of(x), cz = phys_detail::floor_of(z);
                    keep(b, cx, cx + 1, cz, cz + 1);
                }
                continue;
            }
        }
        auto enter = [b, &columns](PhGoal *g) {
            if (b->finishCode == 0 && !b->sinking && PhGoal_Accepts(*g, *b)) {
                PhBall_EnterGoal(*b, g);
                PhElem_Finish(b, FIN_ACTIVE, EF_ENTERED);
                columns = Phys_GoalColumns();  // as the lists would be asked next
            }
        };
        PhElem *const *near = nullptr;
        int32_t n = 0;
        if (Phys_GoalsNear(b->position, &near, &n)) {
            if (n == 0 && columns != nullptr && fabsf(x) < 1e6f && fabsf(z) < 1e6f) {
                // The lists' bucket, a quarter cell: x * 4 and its floor are exact, and so the bounds.
                const float kx = phys_detail::floor_of(x * 4), kz = phys_detail::floor_of(z * 4);
                keep(b, kx / 4, (kx + 1) / 4, kz / 4, (kz + 1) / 4);
            }
            for (int32_t k = 0; k < n; k++)  // the goals farther away would not take it
                enter(static_cast<PhGoal *>(near[k]));
        } else {
            for (PhGoal *g = w.goals; g != nullptr; g = g->nextGoal)
                enter(g);
        }
    }
}

// Motion: each ball's own step, or what stands for it. True when no ball moves.
__attribute__((noinline)) bool move_balls(TrPalya *field, int32_t timeMs, float now)
{
    bool atRest = true;
    const RootAbove aboveEpsilon(PhyParams.epsilon);  // read once: no ball's step changes it
    const StepView view = step_view(timeMs);         // nor these
    for (PhBall *b : g_awake.balls) {
        if (b->quiet) {
            b->stepStartTime = b->currentTime;
            b->currentTime = now;
            // As its step would: what it may keep after a push is what it has now.
            b->allowance = PhBall_Energy(*b);
        } else if (b->sinking) {
            atRest = false;
            b->stepStartTime = b->currentTime;
            b->currentTime = now;
            if (PhBall_Sink(*b))
                PhElem_Finish(b, FIN_SUNK, EF_SUNK);
        } else if (b->finishCode == 0 && b->blockedSteps > PH_BLOCKED_STEPS && b->velocity.Length2() == 0 &&
                   touching(*b) == b->heldTouching) {
            // Held where it is (see count_still) until something sets it going, a piece changes or
            // the balls touching it change (one it leaned on may have left).
            b->stepStartTime = b->currentTime;
            b->currentTime = now;
        } else if (b->finishCode == 0) {
            if (b->blockedSteps > PH_BLOCKED_STEPS)
                b->blockedSteps = 0;
            ball_step(*b, field, view);
            if (aboveEpsilon(b->velocity.Length2())) {
                atRest = false;
                b->nudged = true;  // it tried to move
            } else {
                FV3 nudge;
                // A ball a magnet holds stays where it is held.
                if (!b->attracted && b->blockedSteps <= PH_BLOCKED_STEPS && Env_RestNudge(*b, &nudge)) {
                    atRest = false;
                    b->nudged = true;
                    b->velocity = nudge;
                    PhBall_SetMotion(*b, MT_EVE, b->position, nudge, b->currentTime, 1);
                }
            }
        }
    }
    return atRest;
}

// Ball against ball, from the pair lists.
__attribute__((noinline)) void pair_pass(PhPairGrid &grid)
{
    auto takesPart = [](const PhBall *b) {
        return (b->finishCode == 0 || b->finishAge == 0) && b->goal == nullptr && !b->sinking;
    };
    // No moving ball is near a dormant one: the awake balls are all the pair loop need start from.
    // Which of them touch no other was found with the lists (it holds for the settling too).
    const bool flat = grid.Flat();
    for (const int32_t i : g_awake.numbers) {
        PhBall *a = grid.Ball(i);
        // Most balls touch none: so the lists say of one whose centre is the place they keep.
        if (flat && grid.Lone(i)) {
            // The same bits (a lone ball's place kept is finite): x and y side by side, then z.
            const float *me = grid.At(i);
            const FV3 &c = a->centre;
            uint64_t cxy, mxy;
            uint32_t cz, mz;
            memcpy(&cxy, &c.x, sizeof cxy);
            memcpy(&mxy, me, sizeof mxy);
            memcpy(&cz, &c.z, sizeof cz);
            memcpy(&mz, me + 2, sizeof mz);
            if (c.Valid() && cxy == mxy && cz == mz)
                continue;
        }
        if (!takesPart(a))
            continue;
        // Most balls have no partner within touching distance: then the ordered walk finds nothing.
        // Nor does it for two that have both stayed where they began the step: they are not
        // closing in (a quiet ball among others lying still).
        // The distance first, from the places the lists keep (y not a number for a place not
        // set, where PhBalls_Apart says false as ApartAt does): most are apart, and their balls
        // are not read.
        const bool aMoved = has_moved(*a);
        const bool centreSet = a->centre.Valid();
        const FV3 &c = a->centre;
        const float ra = a->radius;
        const bool any = grid.AnyNear(i, [&](int32_t j) {
            if (j <= i)
                return false;
            const PhBall *b = grid.Ball(j);
            if (!flat)
                return takesPart(b) && (aMoved || has_moved(*b)) && !PhBalls_Apart(*a, *b);
            const float *o = grid.At(j);
            if (centreSet && PhBalls_FarOnXZ(c.x - o[0], c.y - o[1], c.z - o[2], ra + o[3]))
                return false;
            return takesPart(b) && (aMoved || has_moved(*b)) &&
                   !(centreSet && PhBalls_ApartAt(c, ra, o[0], o[1], o[2], o[3]));
        });
        if (!any)
            continue;
        // Partners in list order; after a response the two have moved, so the rest is sought anew.
        for (int32_t after = i, again = 1; again;) {
            again = 0;
            for (int32_t j : grid.NearKept(i, after)) {
                PhBall *b = grid.Ball(j);
                after = j;
                if (!takesPart(b) || !takesPart(a) || PhBalls_Apart(*a, *b))
                    continue;
                FV3 c;
                int code = 0;
                if (a->Contact(*b, &c, &code, 0)) {
                    // The two share what they had: each may keep what the impulse left it.
                    const float before = a->allowance + b->allowance;
                    PhBall_PairResponse(*a, *b, c, a->currentTime, 1.0f);
                    const float ea = PhBall_Energy(*a), eb = PhBall_Energy(*b);
                    if (ea + eb > 0 && before > 0) {
                        const float share = before < ea + eb ? before / (ea + eb) : 1.0f;
                        a->allowance = ea * share;
                        b->allowance = eb * share;
                    }
                    PhBall_CapEnergy(*a);
                    PhBall_CapEnergy(*b);
                    grid.Moved(i);
                    grid.Moved(j);
                    again = 1;
                    break;
                }
            }
        }
    }
}

// The field's wall, past its first test: three tests that each let the ball pass, the one that
// most often does first (a ball on the floor's level is mostly inside the field's box, though
// within a radius of its floor), then the bounce off the wall.
void wall_response(TrPalya *field, PhBall *b)
{
    const PhWorld &w = PhysWorld;
    const float r = b->radius;
    const FV3 &p = b->position, &v = b->velocity;
    const float *box = field->fieldBox;
    const float qx = p.x + (v.x < 0 ? -r : (v.x > 0 ? r : 0)), qy = v.y < 0 ? p.y - r : p.y,
                qz = p.z + (v.z < 0 ? -r : (v.z > 0 ? r : 0));
    if (qz >= box[3] && qz <= box[4] && qx >= box[0] && qx <= box[1] && qy >= box[2])
        return;
    if (r < p.x && p.x < w.sizeXf - r && r < p.y && r < p.z && p.z < w.sizeZf - r)
        return;
    if (v.x == 0 && v.y == 0 && v.z == 0 && isfinite(p.x) && isfinite(p.y) && isfinite(p.z))
        return;  // a ball at rest has no speed into the wall to lose
    FV3 q = p;
    q.x = qx, q.y = qy, q.z = qz;
    FV3 e;
    const uint32_t bits = Phys_OutOfField(field, q, &e);
    if (bits == 0 || e.Dot(v) == 0)
        return;
    const double len = e.Length();
    if (len < r && len > 0)
        e.SetLength(r - len);
    PhBall_TraceAndHit(*b, bits, e, b->currentTime);
    PhBall_CapEnergy(*b);
}

// The calm box of a ball the piece pass has just taken the whole way (no piece met, inside the
// wall, its slots found): where, rolling on the same flat piece, it would find the range empty
// again in the same zones and slots, within the field's box (set with the pieces, once). Per axis
// the part of its cell where each of the zone's and the wall's tests surely comes out as it did
// (the margins well beyond the rounding of the tests' sums), or the centre's own coordinate alone.
void keep_calm(PhBall &b, const float *fieldBox)
{
    b.calmRadius = NAN;  // none kept: no radius equals it
    const PhWorld &w = PhysWorld;
    const PhElem *sup = b.support;
    const FV3 &v = b.velocity, &p = b.position;
    const float r = b.radius;
    // Not kept for a ball that has just rolled over into another cell: its next step finds the
    // piece under it its support.
    if (!(sup != nullptr && sup->cls != PHC_SLOPE && sup->cellY == b.cellY - 1 && sup->cellX == b.cellX &&
          sup->cellZ == b.cellZ && v.Valid() && p.Valid() &&
          v.y >= 0 && v.x - v.x == v.z - v.z && r > 1e-10f && r < 1e30f))
        return;
    const int32_t *open = b.openAt;
    const PhZoneCode z = b.zone;  // as its slots were found: ClassifyInCell's
    const int32_t gen = static_cast<int32_t>(w.piecesGeneration);
    if (!(open[0] == b.cellX && open[1] == b.cellY && open[2] == b.cellZ && open[4] == 1 && open[5] == gen &&
          (open[3] == -1 || open[3] == static_cast<int32_t>(z.bits >> 15))))
        return;
    const uint32_t details = z.bits & PhZoneCode::k_xzDetails;
    if (!(b.slotsValid && b.slotsGeneration == w.piecesGeneration && b.slotsKey[0] == b.cellX &&
          b.slotsKey[1] == b.cellY && b.slotsKey[2] == b.cellZ && b.slotsKey[3] == static_cast<int32_t>(details)))
        return;
    // The three axes at once. The cell's faces and the zone's tests as ClassifyInCell makes them;
    // its code must be the one the slots were found for.
    const __m128i cell = _mm_setr_epi32(b.cellX, b.cellY, b.cellZ, 0);
    const __m128 size = _mm_setr_ps(1.0f, 0.55f, 1.0f, 0.0f);
    const __m128 L = _mm_mul_ps(_mm_cvtepi32_ps(cell), size), H = _mm_add_ps(L, size);
    const __m128 c = _mm_setr_ps(p.x, p.y, p.z, 0.0f), R = _mm_set1_ps(r);
    const __m128 wl = _mm_setr_ps(fieldBox[0], fieldBox[2], fieldBox[3], 0.0f);
    const __m128 wh = _mm_setr_ps(fieldBox[1], INFINITY, fieldBox[4], 0.0f), whFinite = _mm_setr_ps(fieldBox[1], 0.0f, fieldBox[4], 0.0f);
    const __m128 below = _mm_sub_ps(c, R), above = _mm_add_ps(c, R);
    const __m128 lowM = _mm_cmpgt_ps(L, below), highM = _mm_andnot_ps(lowM, _mm_cmpgt_ps(above, H));
    const int inside = _mm_movemask_ps(_mm_and_ps(_mm_cmple_ps(L, c), _mm_cmple_ps(c, H)));
    const int wall = _mm_movemask_ps(_mm_and_ps(_mm_cmpge_ps(below, wl), _mm_cmple_ps(above, wh)));
    const uint32_t low = uint32_t(_mm_movemask_ps(lowM)) & 7, high = uint32_t(_mm_movemask_ps(highM)) & 7;
    if ((inside & 7) != 7 || (wall & 7) != 7 || PhZoneCode::InCell(low, high).bits != z.bits)
        return;
    // Per axis the part of the cell where each test surely comes out as it did: a margin of 2^-18
    // of the largest magnitude, which the bounds' own sums round by far less, so a centre within
    // them is at least half the margin inside each test. Where there is none (and across y: a ball
    // rolling on a flat piece keeps its height), the centre's own coordinate alone, which makes the
    // same tests.
    auto blend = [](__m128 m, __m128 a, __m128 o) { return _mm_or_ps(_mm_and_ps(m, a), _mm_andnot_ps(m, o)); };
    const __m128 sign = _mm_set1_ps(-0.0f), inf = _mm_set1_ps(INFINITY), ninf = _mm_set1_ps(-INFINITY);
    const __m128 m = _mm_mul_ps(_mm_add_ps(_mm_add_ps(_mm_add_ps(_mm_andnot_ps(sign, L), _mm_andnot_ps(sign, wl)),
                                                      _mm_add_ps(_mm_andnot_ps(sign, whFinite), R)),
                                           _mm_set1_ps(2.0f)),
                                _mm_set1_ps(0x1p-18f));
    const __m128 LR = _mm_add_ps(L, R), HR = _mm_sub_ps(H, R);
    const __m128 loCand = blend(lowM, ninf, blend(highM, _mm_max_ps(_mm_add_ps(LR, m), _mm_add_ps(HR, m)), _mm_add_ps(LR, m)));
    const __m128 hiCand = blend(lowM, _mm_sub_ps(LR, m), blend(highM, inf, _mm_sub_ps(HR, m)));
    const __m128 lo = _mm_max_ps(_mm_max_ps(L, _mm_add_ps(_mm_add_ps(wl, R), m)), loCand);
    const __m128 hi = _mm_min_ps(_mm_min_ps(H, _mm_sub_ps(_mm_sub_ps(wh, R), m)), hiCand);
    const __m128 keep = _mm_and_ps(_mm_and_ps(_mm_cmple_ps(lo, c), _mm_cmple_ps(c, hi)),
                                   _mm_castsi128_ps(_mm_setr_epi32(-1, 0, -1, 0)));
    const __m128 lane3 = _mm_castsi128_ps(_mm_setr_epi32(0, 0, 0, -1));
    _mm_storeu_ps(b.calmLow, blend(lane3, ninf, blend(keep, lo, c)));
    _mm_storeu_ps(b.calmHigh, blend(lane3, inf, blend(keep, hi, c)));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(b.calmCell), cell);
    b.calmRadius = r;
    b.calmSupport = sup;
    b.calmZone = z;
    b.calmGeneration = w.piecesGeneration;
}

// Whether the piece pass, with the fast paths, finds for the ball what keep_calm kept: in its calm
// box, on the same flat piece going level or upward, in the same cell, with the same radius and
// pieces, and not so fast that it is looked for along its way. Then nothing is met and its slots
// stand; only the energy is held to the allowance.
inline bool calm_again(const PhBall &b)
{
    if (!(b.radius == b.calmRadius && b.calmGeneration == PhysWorld.piecesGeneration && b.support == b.calmSupport &&
          b.slotsValid))
        return false;  // (slots a caller let go are found again)
    const FV3 &p = b.position, &v = b.velocity, &q = b.prevPosition;
    if (!(p.Valid() && v.Valid() && q.Valid()))
        return false;  // the whole way, which warns
    const __m128i cell = _mm_cmpeq_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i *>(&b.cellX)),
                                         _mm_loadu_si128(reinterpret_cast<const __m128i *>(b.calmCell)));
    const __m128 at = _mm_setr_ps(p.x, p.y, p.z, 0.0f);
    const __m128 in = _mm_and_ps(_mm_cmple_ps(_mm_loadu_ps(b.calmLow), at), _mm_cmple_ps(at, _mm_loadu_ps(b.calmHigh)));
    // Level or upward with x and z finite (v - v is 0 just then), as Env_RollsOnFlat asks.
    const __m128 vv = _mm_setr_ps(v.x, v.y, v.z, 0.0f), zero = _mm_setzero_ps();
    const int finite = _mm_movemask_ps(_mm_cmpeq_ps(_mm_sub_ps(vv, vv), zero)), upward = _mm_movemask_ps(_mm_cmpge_ps(vv, zero));
    if ((_mm_movemask_epi8(cell) & 0xfff) != 0xfff || _mm_movemask_ps(in) != 0xf || (finite & 5) != 5 || !(upward & 2))
        return false;
    // As collect_swept decides whether to look along the way: a travel whose square is not above
    // the stride's (exact in doubles) is not above the stride; the root decides the rest.
    const float t0 = b.stepStartTime, t1 = b.currentTime;
    const double d2 = (p - q).Length2(), stride = 0.5 * b.radius;
    if (!(t1 > t0) || d2 <= stride * stride)
        return true;
    const double travel = sqrt(d2);
    return !(travel > stride) || !isfinite(travel);
}

// The ball against the pieces; whether a piece responded (which may finish the ball or start its
// sink).
inline bool piece_contacts(PhBall *b, PhContact *table, bool fastPaths)
{
    int n = PH_ENV_TABLE;
    const int k = collect_swept(*b, table, &n, fastPaths);
    if (k >= 0) {
        table[k].object->Respond(*b, table[k].point, static_cast<int>(table[k].code), table[k].time);
        if (b->finishCode != 0 || b->sinking)
            return true;
    }
    PhBall_CapEnergy(*b);
    // Without a response the ball is where the table was made: it holds for the stuck count too.
    if (k >= 0) {
        n = PH_ENV_TABLE;
        Env_CollectWith(*b, table, &n, fastPaths);
    }
    if (n > 0 && Env_Stuck(*b, table, n)) {
        b->velocity = FV3(0, 0, 0);
        PhBall_SetMotion(*b, MT_ALL, b->position, b->velocity, b->currentTime, 1);
    }
    return k >= 0;
}

// Ball against the pieces, then the field's wall. A response moves only its own ball, and the wall's
// first test reads only the ball and the field: it is made while the ball is at hand, and the few
// balls it does not pass meet the wall after every ball has met the pieces, in the order of before.
// Each ball's support slots are found once it is done with (they read only the ball and the
// pieces); the step finds them again when the pass removed or changed a piece.
__attribute__((noinline)) void piece_pass(TrPalya *field)
{
    PhContact table[PH_ENV_TABLE];
    const bool fastPaths = Phys_FastPaths();
    static std::vector<PhBall *> nearWall;
    nearWall.clear();
    // The ball's box inside the field's (but for the top): so is the point of the wall's tests
    // whatever the ball's velocity, the sums rounding the same way as the terms. Lanes x, y, z.
    const float *box = field->fieldBox;
    const __m128 lo = _mm_setr_ps(box[0], box[2], box[3], -INFINITY), hi = _mm_setr_ps(box[1], INFINITY, box[4], INFINITY);
    for (PhBall *b : g_awake.balls) {
        if (b->finishCode != 0 || b->goal != nullptr || b->sinking) {
            record_supports(*b);
            continue;
        }
        const FV3 &p = b->position;
        if (idle(*b)) {
            // No other ball touched it: nothing met, and a ball at rest in a finite place has no
            // speed into the wall to lose.
            if (isfinite(p.x) && isfinite(p.y) && isfinite(p.z)) {
                record_supports_free(*b);
                continue;
            }
        } else if (fastPaths && calm_again(*b)) {
            PhBall_CapEnergy(*b);
            b->zone = b->calmZone;  // as the slots' search would find it
            continue;
        } else if (piece_contacts(b, table, fastPaths) && (b->finishCode != 0 || b->goal != nullptr || b->sinking)) {
            record_supports(*b);
            continue;
        }
        const float r = b->radius;
        const __m128 pp = _mm_setr_ps(p.x, p.y, p.z, 0.0f), rr = _mm_set1_ps(r);
        const __m128 in = _mm_and_ps(_mm_cmpge_ps(_mm_sub_ps(pp, rr), lo), _mm_cmple_ps(_mm_add_ps(pp, rr), hi));
        if (!(r >= 0 && _mm_movemask_ps(in) == 0xf)) {
            nearWall.push_back(b);
        } else {
            record_supports_free(*b);
            if (fastPaths)
                keep_calm(*b, box);
        }
    }
    // A bomb's response may have shattered a ball the queries took for a piece (one whose element
    // lacks the ball bit) after its own turn.
    for (PhBall *b : nearWall) {
        if (b->finishCode == 0 && b->goal == nullptr && !b->sinking)
            wall_response(field, b);
        record_supports(*b);
    }
}

// Separation: from the balls a magnet holds, then along the chains they push. The same balls
// keep their numbers: only those that moved are listed anew. Every mark is cleared (a caller's
// Env_PushOut between steps may have left some), and every held ball pushes: one lying among
// sleepers may have had a ball set against it in steps that ended early, with no separation.
// Whether a ball was pushed.
// With `refresh`, the balls' places are read anew (grid.Refresh) in the same walk.
__attribute__((noinline)) int separate(PhPairGrid &grid, bool refresh)
{
    // The held balls found as the marks are cleared (a push changes no ball's magnet).
    static std::vector<int32_t> held;
    held.clear();
    auto clear = [](int32_t i, PhBall &b) {
        b.pushed = 0;
        if (b.attracted)
            held.push_back(i);
    };
    if (refresh) {
        grid.Refresh(clear);
    } else {
        for (int32_t i = 0; i < grid.Count(); i++)
            clear(i, *grid.Ball(i));
    }
    int anyPushed = 0;
    for (const int32_t i : held) {
        const PhBall *b = grid.Ball(i);
        // A ball pushes only one closing in on it over the step: with neither moved since the step
        // began (a push moves a ball too) the two are not closing in, and most held balls lie among
        // balls lying still.
        if (!has_moved(*b)) {
            const bool closing = grid.AnyNear(i, [&](int32_t j) {
                const PhBall *o = grid.Ball(j);
                return has_moved(*o) && !PhBalls_Apart(*o, *b);
            });
            if (!closing)
                continue;
        }
        anyPushed |= Env_PushOutNear(grid, i);
    }
    // Round-off can make two pushes undo each other; the passes are bounded.
    for (int pass = 0; anyPushed && pass < PH_SEPARATION_PASSES; pass++) {
        int any = 0;
        for (int32_t i = 0; i < grid.Count(); i++)
            if (grid.Ball(i)->pushed)
                any |= Env_PushOutNear(grid, i);
        if (!any)
            break;
    }
    return anyPushed;
}

// Balls leaning on each other settle: the awake ones, and those pushed in the separation.
__attribute__((noinline)) void settle(PhPairGrid &grid, int anyPushed)
{
    const int32_t settleCount = anyPushed ? grid.Count() : int32_t(g_awake.numbers.size());
    const bool flat = grid.Flat();
    for (int32_t at = 0; at < settleCount; at++) {
        const int32_t i = anyPushed ? at : g_awake.numbers[size_t(at)];
        PhBall *b = grid.Ball(i);
        const bool pushed = b->pushed != 0;  // the cap changes only the speed
        if (pushed)
            PhBall_CapEnergy(*b);
        if (b->dormant && !pushed)
            continue;
        if (b->support != nullptr && !b->rollingDown && !b->rollingUp)
            PhBall_ClipToSupport(*b, b->velocity);
        // The last in list order of the balls it leans on: none for most, which the lists find
        // touching no other.
        int32_t last = -1;
        const float *me = flat ? grid.At(i) : nullptr;
        if (flat && grid.Lone(i)) {
            // none near
        } else if (me != nullptr && me[1] == me[1]) {
            // From the places the lists keep, the ball's own too (kept as it moves; y not a
            // number for a place not set, where every distance is, and each pair is tested on the
            // balls as below). One not set is read from the ball (and warns). Most are too far on x
            // or z alone.
            const float bx = me[0], by = me[1], bz = me[2], br = me[3];
            auto lean = [&grid, b, bx, by, bz, br](int32_t j) {
                const float *o = grid.At(j);
                const float dx = o[0] - bx, dy = o[1] - by, dz = o[2] - bz;
                if (PhBalls_FarOnXZ(dx, dy, dz, o[3] + br))
                    return false;
                const double d2 = phys_detail::squares(dx, dy, dz);
                return d2 == d2 ? root_below(d2, 0.9 * (o[3] + br)) : leans_on(*grid.Ball(j), *b);
            };
            // Straight from the list kept for the ball where there is one.
            const PhPairGrid::List kept = grid.KeptNear(i);
            if (kept.first != nullptr) {
                for (int32_t j : kept)
                    if (j > last && lean(j))
                        last = j;
            } else {
                grid.ForNear(i, [&](int32_t j) {
                    if (j > last && lean(j))
                        last = j;
                });
            }
        } else {
            grid.ForNear(i, [&](int32_t j) {
                if (j > last && leans_on(*grid.Ball(j), *b))
                    last = j;
            });
        }
        PhBall *near = last >= 0 ? grid.Ball(last) : nullptr;
        if (near != nullptr) {
            b->neighbour = near;
            b->neighbourCount++;
            // A ball its magnet holds is at rest already: set to lie, the magnet would take it
            // back next step, and it would never count as still.
            if (b->neighbourCount > 10 && b->velocity.Length() < 0.15 && b->motion != MT_MAGN_ALL) {
                PhBall_SetMotion(*b, MT_ALL, b->position, b->velocity, b->currentTime, 1);
                grid.Moved(i);
            }
        } else {
            if (b->neighbourCount > 10)
                b->propLost = true;  // written only then: it lies far from the fields read here
            b->neighbourCount = 0;
            b->neighbour = nullptr;
        }
    }
}

}  // namespace

int Phys_Step(TrPalya *field, int32_t timeMs)
{
    PhWorld &w = PhysWorld;
    w.removedCount = 0;
    if (w.balls == nullptr)
        return 1;
    PhScope scope;
    const float now = static_cast<float>(timeMs) / 1000.0f;
    mark_dormant(w.balls->currentTime < now ? now - w.balls->currentTime : 0.025f, now);
    enter_goals();
    if (move_balls(field, timeMs, now)) {
        count_still();
        return 1;
    }
    // The pair lists first: the sweep reads the places they keep.
    PhPairGrid &grid = pair_grid();
    grid.Build(&g_awake.all);
    sweep_pairs(grid);
    pair_pass(grid);
    const uint32_t piecesBefore = w.piecesGeneration;
    piece_pass(field);

    // Removal. Deleted balls leave the list: the rest are numbered anew.
    const bool removed = w.finished != nullptr;
    while (w.finished != nullptr)
        delete w.finished;
    if (removed)
        list_awake();

    // Every awake ball's slots, found in the piece pass: a piece may have gone in this step, and a
    // ball may have come to rest in a step that ended early, both unseen by the slots it keeps
    // (they hold their own key). Found again when a piece changed or went (a ball removed changes
    // no other ball's slots).
    if (w.piecesGeneration != piecesBefore)
        for (PhBall *b : g_awake.balls)
            record_supports(*b);
    // A finish code is set only together with the finished list: the rest of the objects need no walk.
    for (PhElem *o = w.finished; o != nullptr; o = o->nextFinished)
        o->finishAge++;

    if (removed)
        grid.Build(&g_awake.all);
    settle(grid, separate(grid, !removed));
    count_still(&w.expectedEnergy);
    return 0;
}
