// The contact environment of a ball: which pieces around it it meets in this step and when, the
// bounce off a surface, the nudge off a cell edge, the stuck detector and the push between balls; and
// the slope and corner responses built on them.
#include <math.h>
#include <string.h>

#include "phpairs.h"
#include "phutil.h"

#include "terrow/phys/phmsg.h"
#include "terrow/phys/phstep.h"

namespace {

using phys_detail::in;

int sgn(float v) { return v > 0 ? 1 : (v < 0 ? -1 : 0); }

// The cell beyond a slope's high side, by its orientation.
void beyond_high_side(int o, int *dx, int *dz)
{
    *dx = o == 0 ? 1 : (o == 2 ? -1 : 0);
    *dz = o == 1 ? -1 : (o == 3 ? 1 : 0);
}

const PhyMaterial &material_of(int32_t kind)
{
    return PhyParams.material[kind >= 0 && kind < PHY_KINDS ? kind : 0];
}

// Position and velocity of the ball's step segment at time t.
void advance_to(PhBall &ball, float t)
{
    const float dt = t - ball.stepStartTime;
    ball.position = ball.prevPosition + (ball.lastVelocity + ball.acceleration * (dt / 2)) * dt;
    ball.velocity = ball.lastVelocity + ball.acceleration * dt;
}

}  // namespace

int Env_Collect(PhBall &ball, PhContact *table, int *count)
{
    return Env_CollectWith(ball, table, count, Phys_FastPaths());
}

int Env_CollectAnew(PhBall &ball, PhContact *table, int *count, bool rollsOnFlat)
{
    PhScope scope;
    const PhWorld &w = PhysWorld;
    const int cap = *count;
    int n = 0, earliest = -1;
    float tBest = ball.currentTime;
    const int cx = ball.cellX, gy = ball.cellY, cz = ball.cellZ;
    const FV3 &v = ball.velocity;
    const PhElem *sup = ball.support;
    ball.zone = ball.ClassifyInCell(nullptr);
    const int32_t details = static_cast<int32_t>(ball.zone.bits >> 15), flatKey = rollsOnFlat ? 1 : 0;
    const int32_t gen = static_cast<int32_t>(w.piecesGeneration);
    int32_t *open = ball.openAt;
    const int dx = ball.zone.Detail(0), dy = ball.zone.Detail(1), dz = ball.zone.Detail(2);

    // The cells to look at, bit (z - cz + 1) * 9 + (y - gy + 1) * 3 + (x - cx + 1): on each axis the
    // ball's cell and the one before or after it where its zone reaches, those in the field (layers
    // from -1).
    static const uint32_t k_x[8] = {0, 0x1249249, 0x2492492, 0x36db6db, 0x4924924, 0x5b6db6d, 0x6db6db6, 0x7ffffff};
    static const uint32_t k_y[8] = {0, 0x01c0e07, 0x0e07038, 0x0fc7e3f, 0x70381c0, 0x71f8fc7, 0x7e3f1f8, 0x7ffffff};
    static const uint32_t k_z[8] = {0, 0x00001ff, 0x003fe00, 0x003ffff, 0x7fc0000, 0x7fc01ff, 0x7fffe00, 0x7ffffff};
    auto axis = [](bool before, bool after, int32_t c, int32_t first, int32_t count) {
        const uint32_t u = uint32_t(c) - uint32_t(first), n = count > 0 ? uint32_t(count) : 0u;
        return (before && u - 1u < n ? 1u : 0u) | (u < n ? 2u : 0u) | (after && u + 1u < n ? 4u : 0u);
    };
    uint32_t visit = k_x[axis(dx < 5, dx > 5, cx, 0, w.sizeX)] & k_y[axis(dy <= 5, dy >= 5, gy, -1, w.sizeY + 1)] &
                     k_z[axis(dz < 5, dz > 5, cz, 0, w.sizeZ)],
             passOver = 0;
    // Of those the cells that hold a piece, and those the walk below would pass over: the flat
    // pieces of the support's layer, for a ball on a flat piece going level or upward (while the
    // table has room: a full one warns of them first). Nothing else there: nothing is met.
    {
        uint32_t held, flat;
        if (cap > 0 && Phys_CellsAround(cx, gy, cz, &held, &flat)) {
            visit &= held;
            if (rollsOnFlat)
                passOver = flat;
            if ((visit & ~passOver) == 0) {
                const int32_t key[6] = {cx, gy, cz, (held & ~passOver) == 0 ? -1 : details, flatKey, gen};
                memcpy(open, key, sizeof key);
                *count = 0;
                return -1;
            }
        } else if (rollsOnFlat && Phys_OpenAround(cx, gy, cz)) {
            *count = 0;
            return -1;
        }
    }

    // Climbing a slope: the cell ahead one layer down and the cell past the slope's top are its own
    // continuation, not obstacles.
    int skip[2][3];
    int skips = 0;
    const FV3 below = ball.position - FV3(0, 0.55f, 0);
    TrElem *under = Phys_NoSlopeNear(below) ? nullptr : Phys_ElemAtPoint(w.field, below, &ball);
    if (under != nullptr) {
        PhElem *s = under->physObject;
        if (s != nullptr && s->cls == PHC_SLOPE && FV3(v.x, 0, v.z).Dot(s->up) < 0) {
            skip[0][0] = cx + sgn(v.x);
            skip[0][1] = gy - 1;
            skip[0][2] = cz + sgn(v.z);
            int ox, oz;
            beyond_high_side(s->Orientation(), &ox, &oz);
            skip[1][0] = s->cellX + ox;
            skip[1][1] = s->cellY;
            skip[1][2] = s->cellZ + oz;
            skips = 2;
        }
    }
    // The cells in bit order: z, then y, then x, as a walk of the range would take them.
    for (uint32_t todo = visit; todo != 0; todo &= todo - 1) {
        const int at = __builtin_ctz(todo);
        const uint32_t bit = 1u << at;
        if ((passOver & bit) && n < cap)
            continue;
        const int x = cx + at % 3 - 1, y = gy + at / 3 % 3 - 1, z = cz + at / 9 - 1;
        bool skipped = false;
        for (int k = 0; k < skips; k++)
            skipped |= skip[k][0] == x && skip[k][1] == y && skip[k][2] == z;
        if (skipped)
            continue;
        PhElem *o = Phys_ObjAtCell(x, y, z, &ball);
        if (o == nullptr || (o->finishCode != 0 && o->finishAge != 0))
            continue;
        if (n >= cap) {
            Phys_Warning(PHMSG_ENV_OVERFLOW);
            continue;
        }
        if (sup != nullptr && sup->cellY == o->cellY) {
            if (sup->cls == PHC_SLOPE) {
                int ox, oz;
                beyond_high_side(sup->Orientation(), &ox, &oz);
                if (o->cellX == sup->cellX + ox && o->cellZ == sup->cellZ + oz)
                    continue;
            } else {
                const FV3 dir = o->cls == PHC_CORNER ? FV3(0, 1, 0) : o->up;
                if (v.Dot(dir) >= 0)
                    continue;
            }
        }
        FV3 c(0, 0, 0);
        int code = 0;
        if (!o->Contact(ball, &c, &code, 0.001f))
            continue;
        const float t = Env_ImpactTime(ball, o, c);
        if (t <= tBest) {
            tBest = t;
            earliest = n;
        }
        table[n] = PhContact{0, o, c, ball.position + c, static_cast<uint32_t>(code), 0, t};
        n++;
    }
    *count = n;
    return earliest;
}

float Env_ImpactTime(PhBall &ball, PhElem *object, const FV3 &c)
{
    PhScope scope;
    const double T = ball.currentTime, t0 = ball.stepStartTime;
    const FV3 &P = ball.prevPosition, &V = ball.lastVelocity, &A = ball.acceleration;
    const float r = ball.radius;
    const PhZoneCode zc = object->Classify(ball, nullptr);
    int off = 0;
    for (int a = 0; a < 3; a++)
        off += zc.Zone(a) != 5;
    const FV3 X = ball.position + c;
    double out = T;
    if (off < 2) {
        if (!(c.Length() > 0))
            return static_cast<float>(T);
        const FV3 nrm = c.Normalised();
        int accepted = 0;
        if (ball.motion == MT_EVE || ball.motion == MT_EVEL)
            accepted = Solve2(0.5 * A.Dot(nrm), V.Dot(nrm), r - (X - P).Dot(nrm), t0, t0, T, &out);
        else if (ball.motion == MT_SZE || ball.motion == MT_SZEL) {
            const FV3 m = -nrm;
            accepted = Solve2(0.5 * A.Dot(m), V.Dot(m), (P - X).Dot(m) - r, t0, t0, T, &out);
        }
        return static_cast<float>(accepted > 0 ? out : T);
    }
    const FV3 D = P - X;
    Solve4(0.25 * A.Length2(), V.Dot(A), D.Dot(A) + V.Length2(), 2 * D.Dot(V), D.Length2() - double(r) * r, t0,
           t0, T, &out);
    if (!(out >= t0 && out <= T))
        out = T;
    return static_cast<float>(out);
}

int Env_Bounce(PhBall &ball, PhElem *object, const FV3 &c, float t, int code)
{
    PhScope scope;
    advance_to(ball, t);
    ball.impactTime = t;
    const double speed = ball.velocity.Length();
    const FV3 u = speed > 0 ? ball.velocity.Normalised() : FV3(0, 0, 0);
    const FV3 N = c.Length() > 0 ? c.Normalised() : (speed > 0 ? u : FV3(0, -1, 0));
    const FV3 vn = N * static_cast<float>(N.Dot(ball.velocity));
    const FV3 vt = ball.velocity - vn;
    const bool isSlope = object->cls == PHC_SLOPE, isCorner = object->cls == PHC_CORNER;
    const bool glancing = fabs(u.Dot(N)) <= PhyDerived.sinGrazing && N.y < 0 &&
                          !(isCorner && in(code, {1, 7, 9, 10, 11, 15, 17, 18, 20})) &&
                          !(isSlope && ball.type != TY_G_BOMBA && in(code, {2, 7, 8, 10, 11, 12, 14}));
    if (glancing) {
        FV3 dir = N ^ (u ^ N);
        if (dir.Length() > 0)
            ball.velocity = dir.Normalised() * static_cast<float>(speed);
        const int want = isSlope ? MT_EVEL : MT_EVE;
        PhBall_SetMotion(ball, ball.motion == want ? ball.motion : want, ball.position, ball.velocity, t, 0);
        return 1;
    }
    const PhyMaterial &m = ball.Material();
    if (PhBall_MeetsCornerEdge(ball, object, code)) {
        PhBall_CornerEdgeBounce(ball, object, c, 1.0f);
    } else {
        float e = m.restitution;
        if (N.y == 0)
            e *= material_of(TY_FAL).restitution;
        else if (N.x == 0 && N.z == 0)
            e *= material_of(TY_TALAJ).restitution;
        if (speed < PhyParams.slowBounceSpeed)
            e *= PhyParams.slowBounceFactor;
        FV3 nt = vt;
        if (PhyParams.bounceMode == 1)
            nt = vt * e;
        else if (PhyParams.bounceMode == 2 && e != 0)
            nt = vt / e;
        ball.velocity = vn * -e + nt;
        PhBall_ImpactSound(ball, object, ball.velocity - (vn + vt));
    }
    if (N.y == -1.0f)
        ball.support = object;
    const int last = (fabs(N.Dot(PhyDown)) > 0.5 && fabs(u.Dot(PhyDown)) > 0.5) ? 0 : 1;
    PhBall_SetMotion(ball, ball.motion, ball.position, ball.velocity, t, last);
    return 0;
}

int Env_RestNudge(PhBall &ball, FV3 *velocity)
{
    if (ball.support == nullptr)
        return 0;
    const float fx = Frac(ball.position.x), fz = Frac(ball.position.z);
    const bool nearX = fx < 0.025f || fx > 0.975f, nearZ = fz < 0.025f || fz > 0.975f;
    if (!nearX && !nearZ)
        return 0;
    FV3 nv(0, 0, 0);
    int x = ball.cellX, z = ball.cellZ;
    if (nearX) {
        nv.x = fx < 0.025f ? -0.1f : 0.1f;
        x += fx < 0.025f ? -1 : 1;
    } else {
        nv.z = fz < 0.025f ? -0.1f : 0.1f;
        z += fz < 0.025f ? -1 : 1;
    }
    const PhElem *o = Phys_ObjAtCell(x, ball.cellY - 1, z, &ball);
    if (o != nullptr && o->cls != PHC_SLOPE)
        return 0;
    *velocity = nv;
    return 1;
}

int Env_Stuck(PhBall &ball, const PhContact *table, int count)
{
    for (PhNeighbour &e : ball.around)
        e.seen = 0;
    int stuck = 0;
    for (int i = 0; i < count && !stuck; i++) {
        const PhElem *o = table[i].object;
        const int dx = o->cellX - ball.cellX, dy = o->cellY - ball.cellY, dz = o->cellZ - ball.cellZ;
        // The ball may have moved since its cell was last taken: offsets beyond one are not ours.
        if (dx < -1 || dx > 1 || dy < -1 || dy > 1 || dz < -1 || dz > 1)
            continue;
        PhNeighbour &e = ball.around[(dx + 1) + 3 * (dy + 1) + 9 * (dz + 1)];
        e.seen = 1;
        if (e.object == o) {
            if (++e.count > 3)
                stuck = 1;
        } else {
            e.object = const_cast<PhElem *>(o);
            e.count = 0;
            if (o->cls == PHC_BALL)
                PhysWorld.ballsInSlots = true;
        }
    }
    for (PhNeighbour &e : ball.around)
        if (!e.seen) {
            e.object = nullptr;
            e.count = -1;
        }
    return stuck;
}

namespace {

// Pushes o out of b's way when it runs into b; whether it did.
bool push_away(PhBall &b, PhBall &o)
{
    if (&o == &b || o.goal != nullptr || b.goal != nullptr)
        return false;
    FV3 c;
    int code = 0;
    if (!o.Contact(b, &c, &code, 0) || c.Dot(o.velocity) > 0)
        return false;
    // The push runs along o's travel, or straight away from b when o stands still; its speed stays
    // as it is (a ball at rest is moved, not set going).
    const FV3 away = o.position - b.position;
    FV3 u;
    if (o.velocity.Length() > 0)
        u = o.velocity.Normalised();
    else if (away.Length() > 0)
        u = away.Normalised();
    else
        return false;
    const FV3 F = o.position + u * static_cast<float>((b.position - o.position).Dot(u));
    const double h2 = (b.position - F).Length2();
    const double D = (o.radius + b.radius) * 0.95;
    if (D * D < h2)
        return false;
    const float s = static_cast<float>(sqrt(D * D - h2));
    const FV3 p = (b.position - o.position).Dot(u) <= 0 ? F + u * s : F - u * s;
    o.pushed = 1;
    PhBall_Sync(o, p);
    return true;
}

}  // namespace

int Env_PushOut(PhBall &b)
{
    PhScope scope;
    int pushed = 0;
    for (PhBall *o = PhysWorld.balls; o != nullptr; o = o->nextBall)
        pushed |= push_away(b, *o) ? 1 : 0;
    return pushed;
}

int Env_PushOutNear(PhPairGrid &grid, int32_t i)
{
    PhScope scope;
    PhBall &b = *grid.Ball(i);
    // A push moves only the ball pushed, never b: which balls are near enough to touch b is known
    // before the first push, and the order of the pushes changes nothing.
    int32_t near[32];
    int32_t n = 0;
    grid.ForNear(i, [&](int32_t j) {
        if (!PhBalls_Apart(*grid.Ball(j), b)) {
            if (n < 32)
                near[n] = j;
            n++;
        }
    });
    int pushed = 0;
    if (n > 32) {  // a crowd: looked for again one by one
        for (int32_t j : grid.Near(i, -1))
            if (!PhBalls_Apart(*grid.Ball(j), b) && push_away(b, *grid.Ball(j))) {
                pushed = 1;
                grid.Moved(j);
            }
        return pushed;
    }
    for (int32_t k = 0; k < n; k++)
        if (push_away(b, *grid.Ball(near[k]))) {
            pushed = 1;
            grid.Moved(near[k]);
        }
    return pushed;
}

void Env_LaneTurn(PhBall &ball, PhElem *corner, int code)
{
    if (ball.lane == 0 || !in(code, {1, 7, 10}))
        return;
    if (code == 10 && !(ball.velocity.Dot(corner->up) > 0))
        return;
    const float r = ball.radius;
    if (ball.position.y <= corner->boxLow.y - r / 2 || ball.position.y >= corner->boxHigh.y + r / 2)
        ball.lane += 4;
    const int old = ball.lane;
    ball.lane ^= 3;
    if (old == 1 || old == 5) {
        if (old == 1)
            ball.position.x = ball.moveStartPos.x = FloorI(ball.position.x) + 0.5f;
        ball.velocity.x = ball.acceleration.x = ball.moveStartVel.x = 0;
    } else if (old == 2 || old == 6) {
        if (old == 2)
            ball.position.z = ball.moveStartPos.z = FloorI(ball.position.z) + 0.5f;
        ball.velocity.z = ball.acceleration.z = ball.moveStartVel.z = 0;
    }
}

int PhSlope_Respond(PhSlope &slope, PhBall &ball, const FV3 &c, int code, float time)
{
    PhScope scope;
    const FV3 N = code == 1 ? slope.up : (c.Length() > 0 ? c.Normalised() : slope.up);
    const double v = N.Dot(ball.velocity);
    if (ball.type == TY_G_BOMBA && fabs(v) >= PhyParams.bombImpactSpeed &&
        !(ball.motion == MT_EVEL && ball.support == &slope)) {
        const FV3 hv(ball.velocity.x, 0, ball.velocity.z), hu(slope.up.x, 0, slope.up.z);
        const double along = ball.velocity.Length() > 0 && c.Length() > 0
                                 ? fabs(ball.velocity.Normalised().Dot(c.Normalised()))
                                 : 0;
        const bool place = code == 1 || (code == 13 && ball.cellY == slope.cellY + 1) ||
                           (code == 14 && ball.cellY == slope.cellY);
        const bool survives = (hv ^ hu).Length2() == 0 && along <= PhyDerived.sinSlope && place &&
                              ((ball.motion >= 1 && ball.motion <= 4) || ball.prevMotion == 2 || ball.prevMotion == 4);
        if (survives) {
            const int prev = ball.prevMotion;
            if (Env_Bounce(ball, &slope, c, time, code) || prev == 2 || prev == 4)
                return 0;
        }
        PhElem_Finish(&slope, FIN_DESTROYED, EF_DESTROYED);
        PhElem_Finish(&ball, FIN_DESTROYED, EF_DESTROYED);
        return 1;
    }
    FV3 cc = c;
    if (ball.lane != 0 && (code == 7 || code == 10) && ball.velocity.y == 0) {
        cc.y = 0;
        if (ball.lane == 1)
            cc.z = 0;
        else if (ball.lane == 2)
            cc.x = 0;
    }
    int extra = 0;
    if ((code == 7 || code == 10) && ball.velocity.y != 0 &&
        ball.velocity.Length() / fabs(ball.velocity.y) > 5.0)
        extra = 1;
    PhBall_Bounce(ball, &slope, cc, time, code, extra, 1.0f);
    return 0;
}

int PhCorner_Respond(PhCorner &corner, PhBall &ball, const FV3 &c, int code, float time)
{
    PhScope scope;
    const float r = ball.radius;
    if (ball.cellY == corner.cellY + 1 || ball.cellY == corner.cellY - 1) {
        // Stacked corners: the one the ball really reaches answers.
        FV3 toward = c;
        if (toward.Length() > 0)
            toward.SetLength(r);
        PhElem *other = Phys_ObjAtPoint(PhysWorld.field, ball.position + toward, &ball);
        if (other != nullptr && other != &corner && other->cls == PHC_CORNER &&
            other->Orientation() == corner.Orientation()) {
            FV3 c2;
            int code2 = 0;
            if (other->Contact(ball, &c2, &code2, 0.001f))
                return other->Respond(ball, c2, code2, time);
            return 0;
        }
    }
    const FV3 N = code == 1 ? corner.up : (c.Length() > 0 ? c.Normalised() : corner.up);
    const double v = N.Dot(ball.velocity);
    const bool edge = in(code, {1, 7, 10});
    if (ball.type == TY_G_BOMBA && fabs(v) < PhyParams.bombImpactSpeed) {
        PhBall_Bounce(ball, &corner, c, time, code, 0, 1.0f);
        if (edge && ball.velocity.Dot(corner.up) > 0)
            Env_LaneTurn(ball, &corner, code);
        return 0;
    }
    if (ball.type == TY_G_BOMBA) {
        const float h = ModCell(0.55f, ball.position.y);
        const double along = ball.velocity.Length() > 0 && c.Length() > 0
                                 ? fabs(ball.velocity.Normalised().Dot(c.Normalised()))
                                 : 0;
        if (!edge || (code == 10 && h > 0.25f * r) || (code == 7 && 0.55f - h > 0.25f * r) ||
            along > PhyDerived.sinSlope) {
            PhElem_Finish(&corner, FIN_DESTROYED, EF_DESTROYED);
            PhElem_Finish(&ball, FIN_DESTROYED, EF_DESTROYED);
            return 1;
        }
    }
    PhBall_Bounce(ball, &corner, c, time, code, 0, 1.0f);
    if (edge && ball.impactVelocity.Dot(corner.up) < 0)
        Env_LaneTurn(ball, &corner, code);
    return 0;
}
