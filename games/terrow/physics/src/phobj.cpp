// The fixed pieces of a run, the common base of every physics object, the finish protocol and the
// contact tests of tiles, ground pieces and ramps.
#include <float.h>
#include <math.h>

#include <brondel/brmodel.h>

#include "terrow/phys/phmsg.h"
#include "terrow/phys/phobj.h"
#include "terrow/phys/phstep.h"

namespace {

const float k_eps = 1.1920929e-7f;
const float k_ball_view_radius = 0.035f;

// Scales a ball's model so that it is 0.035 view units across its first vertex.
void rescale_ball_model(TrElem *e)
{
    const PhHost &host = Phys_Host();
    br_model *m = host.ballModel != nullptr ? host.ballModel(e) : nullptr;
    if (m == nullptr || m->vertices == nullptr || m->nvertices == 0)
        return;
    const float *v0 = m->vertices[0].p.v;
    const double len = sqrt(double(v0[0]) * v0[0] + double(v0[1]) * v0[1] + double(v0[2]) * v0[2]);
    if (!(len > 0) || !isfinite(len))
        return;  // a degenerate model cannot be scaled
    const double scale = k_ball_view_radius / len;
    if (!(scale <= FLT_MAX))
        return;  // a vertex too short to scale within the float range
    const float s = static_cast<float>(scale);
    if (s == 1.0f)
        return;
    for (int i = 0; i < m->nvertices; i++)
        for (float &c : m->vertices[i].p.v)
            c *= s;
    m->flags |= 2;
    if (host.modelUpdate != nullptr)
        host.modelUpdate(m, BR_MODU_ALL);
}

// A bomb striking hard explodes with the piece (ground level survives); anything else bounces.
int explode_or_bounce(PhElem *piece, PhBall &ball, const FV3 &c, int code, float time)
{
    if (ball.type == TY_G_BOMBA && PhBall_HardImpact(ball, c)) {
        PhElem_Shatter(piece);
        PhElem_Finish(&ball, FIN_DESTROYED, EF_DESTROYED);
        return 1;
    }
    PhBall_Bounce(ball, piece, c, time, code, 0, 1.0f);
    return 0;
}

}  // namespace

PhElem::PhElem(TrElem *elem, int32_t idx, PhClass c) : cls(c), element(elem), ioFlags(&elem->io->flags)
{
    PhScope scope;
    PhWorld &w = PhysWorld;
    elem->physObject = this;
    PhList_Push(w.objects, this, &PhElem::nextObject);
    Phys_PiecesChanged();
    EIo &io = *elem->io;
    type = io.type;
    flags = io.flags;
    index = idx;
    io.flags &= ~(EF_SUNK | EF_DESTROYED | 0x100u);
    cellX = io.x;
    cellY = io.y - 1;
    cellZ = io.z;
    position = FV3(static_cast<float>(cellX), cellY * 0.55f, static_cast<float>(cellZ));
    centre = position + FV3(0.5f, 0.275f, 0.5f);
    SetBox(position + FV3(k_eps, k_eps, k_eps), position + FV3(1.0f, 0.55f, 1.0f), true);
    // The class decides the lists and the model; the file's class bits only raise the warning.
    const uint32_t expected = cls == PHC_BALL ? EF_BALL : EF_NOT_BALL;
    if ((flags & EF_CLASS_MASK) != expected)
        Phys_Warning(PHMSG_NEITHER);
    if (cls == PHC_BALL) {
        rescale_ball_model(elem);
    } else {
        PhList_Push(w.gridTiles, this, &PhElem::nextFixed);
        if (TrElem **slot = Grid_Cell(cellX, cellY, cellZ)) {
            *slot = elem;
            inGrid = true;
        }
    }
    if (Phys_Host().renderStyle != nullptr)
        Phys_Host().renderStyle(elem, 4);
    up = FV3(0, 1, 0);
}

PhElem::~PhElem()
{
    PhWorld &w = PhysWorld;
    if (!w.tearingDown) {
        if (finishCode != 0) {
            if (inGrid) {
                TrElem **slot = Grid_Cell(cellX, cellY, cellZ);
                if (slot != nullptr && *slot == element)
                    *slot = nullptr;
            }
            PhList_Remove(w.finished, this, &PhElem::nextFinished);
            if (w.removedCount < PH_REMOVED_MAX)
                w.removed[w.removedCount++] = element;
        }
        PhList_Remove(w.gridTiles, this, &PhElem::nextFixed);
        // No ball may keep pointing at a deleted piece. A ball is no goal, and is in no ball's
        // neighbour slots unless the queries ever found one (27 slots a ball: most of its memory).
        const bool isBall = cls == PHC_BALL, inSlots = !isBall || w.ballsInSlots;
        for (PhBall *b = w.balls; b != nullptr; b = b->nextBall) {
            if (b->support == this)
                b->support = nullptr;
            if (b->prevSupport == this)
                b->prevSupport = nullptr;
            if (!isBall && static_cast<PhElem *>(b->goal) == this)
                b->goal = nullptr;
            if (static_cast<PhElem *>(b->neighbour) == this) {
                b->propLost |= b->neighbourCount > 10;
                b->neighbour = nullptr;
                b->neighbourCount = 0;
            }
            if (inSlots)
                for (PhNeighbour &n : b->around)
                    if (n.object == this)
                        n = PhNeighbour{nullptr, -1, 0};
        }
    }
    PhList_Remove(w.objects, this, &PhElem::nextObject);
    if (cls != PHC_BALL)
        Phys_PiecesChanged();  // balls are not in the query lists
    if (element != nullptr && element->physObject == this)
        element->physObject = nullptr;
}

void PhElem::SetBox(const FV3 &low, const FV3 &high, bool toElement)
{
    boxLow = low;
    boxHigh = high;
    if (cls != PHC_BALL)
        Phys_PiecesChanged();  // balls are not in the query lists
    const float b[6] = {low.x, high.x, low.y, high.y, low.z, high.z};
    for (int i = 0; i < 6; i++) {
        box[i] = b[i];
        if (toElement)
            element->box[i] = b[i];
    }
}

PhZoneCode PhElem::Classify(const PhBall &ball, FV3 *closest) const
{
    return PhElem_Classify(boxLow, boxHigh, ball.position, ball.radius, closest);
}

float PhElem::DistanceTo(const PhBall &ball) const
{
    PhScope scope;
    return static_cast<float>((centre - ball.position).Length());
}

int PhElem::Contact(PhBall &ball, FV3 *c, int *code, float tolerance)
{
    (void)code;
    (void)tolerance;
    PhScope scope;
    const float r = ball.radius;
    if (DistanceTo(ball) > r + 0.5f * PhyParams.cellDiagonal)
        return 0;
    FV3 closest;
    const PhZoneCode zc = Classify(ball, &closest);
    *c = closest - ball.position;
    const double len = c->Length();
    if (len > r)
        return 0;
    int centred = 0;
    for (int a = 0; a < 3; a++)
        centred += zc.Zone(a) == 5;
    if (centred == 3)
        return 1;
    const FV3 &v = ball.velocity;
    if (v.Length() <= 0)
        return 0;
    const double h = Line_Dist(PhLine{ball.position, v.Normalised()}, closest);
    bool deep = len < r && h < r;
    for (int a = 0; a < 3 && deep; a++)
        deep = zc.Zone(a) >= 3 && zc.Zone(a) <= 7;
    if (deep)
        return v.Dot(*c) > 0 ? 1 : 0;
    const float vel[3] = {v.x, v.y, v.z};
    int approaching = 0;
    for (int a = 0; a < 3; a++) {
        const int z = zc.Zone(a);
        if ((z == 3 && vel[a] > 0) || (z == 7 && vel[a] < 0))
            approaching++;
    }
    if (centred == 2 && approaching == 1)
        return 1;  // a face
    if (centred == 1 && approaching == 2 && len < r)
        return 1;  // an edge
    return 0;
}

int PhElem::Respond(PhBall &ball, const FV3 &c, int code, float time)
{
    if (ball.type == TY_G_BOMBA && PhBall_HardImpact(ball, c)) {
        const bool onSlope = (ball.motion == MT_EVEL || ball.prevMotion == MT_EVEL) && ball.slope != nullptr &&
                             ball.support != nullptr && ball.support->cls == PHC_SLOPE && c.y <= -0.1f;
        if (!onSlope) {
            PhElem_Shatter(this);
            PhElem_Finish(&ball, FIN_DESTROYED, EF_DESTROYED);
            return 1;
        }
    }
    if (ball.type == TY_G_FEM && ball.attracted && static_cast<PhElem *>(ball.magnet) == this)
        ball.motion = MT_MAGN_ALL;
    PhBall_Bounce(ball, this, c, time, code, 0, 1.0f);
    return 0;
}

int PhElem::SupportTest(PhBall &ball, const FV3 &w, int code)
{
    (void)code;
    PhScope scope;
    const FV3 q = ball.position + w;
    const float p[3] = {q.x, q.y, q.z};
    const float lo[3] = {boxLow.x, boxLow.y, boxLow.z}, hi[3] = {boxHigh.x, boxHigh.y, boxHigh.z};
    int outside = 0, axis = -1;
    float corner[3];
    for (int a = 0; a < 3; a++) {
        corner[a] = p[a] < lo[a] ? lo[a] : hi[a];
        if (p[a] < lo[a] || p[a] > hi[a]) {
            outside++;
            axis = a;
        }
    }
    if (outside == 0) {
        Phys_Warning(PHMSG_FOOT_INSIDE);
        return 1;
    }
    if (outside == 1) {
        FV3 n(axis == 0 ? 1.0f : 0.0f, axis == 1 ? 1.0f : 0.0f, axis == 2 ? 1.0f : 0.0f);
        FV3 at(corner[0], corner[1], corner[2]);
        PhPlane plane;
        Plane_Set(plane, at, p[axis] < lo[axis] ? -n : n);
        return Env_BackOffPlane(ball, plane, w);
    }
    if (outside == 3)
        Env_BackOffPoint(ball, FV3(corner[0], corner[1], corner[2]));
    return 1;
}

void PhElem::TurnToGround() {}  // a starter keeps its element

TrElem *PhElem::FilterCandidate(TrElem *candidate, const FV3 &point)
{
    (void)point;
    return candidate;
}

TrElem *PhElem::FilterCandidateFromBall(TrElem *candidate, const PhBall &ball)
{
    (void)ball;
    return candidate;
}

int32_t PhElem::Orientation() const { return -1; }

int PhElem_Finish(PhElem *obj, int how, uint32_t bits)
{
    if (obj->IsBall()) {
        auto *b = static_cast<PhBall *>(obj);
        b->energy = PhBall_Energy(*b);
        PhysWorld.expectedEnergy -= b->energy;
    }
    if (how != 0 && obj->finishCode == 0)
        PhList_Push(PhysWorld.finished, obj, &PhElem::nextFinished);
    obj->element->io->flags |= bits;
    // A finish code once set is final: a later goal entry cannot revive a destroyed ball.
    if (obj->finishCode == 0)
        obj->finishCode = how;
    return how;
}

void PhElem_Shatter(PhElem *piece)
{
    if (piece->cellY != -1)
        PhElem_Finish(piece, FIN_DESTROYED, EF_DESTROYED);
}

PhGroundTile::PhGroundTile(TrElem *e, int32_t i) : PhElem(e, i, PHC_GROUND) { type = TY_T_TALAJ; }

int PhGroundTile::Contact(PhBall &ball, FV3 *c, int *code, float tolerance)
{
    (void)code;
    (void)tolerance;
    const FV3 &p = ball.position;
    if (!(p.y < ball.radius) || !(ball.velocity.y < 0))
        return 0;
    if (!(boxLow.x <= p.x && p.x < boxHigh.x && boxLow.z <= p.z && p.z < boxHigh.z))
        return 0;
    *c = FV3(0, -p.y, 0);
    return 1;
}

int PhGroundTile::Respond(PhBall &ball, const FV3 &c, int code, float time)
{
    return explode_or_bounce(this, ball, c, code, time);
}

PhMagnet::PhMagnet(TrElem *e, int32_t i) : PhTile(e, i, PHC_MAGNET)
{
    PhList_Push(PhysWorld.magnets, this, &PhMagnet::nextMagnet);
}

void PhMagnet::ReleaseAll()
{
    while (held != nullptr) {
        PhBall *b = held;
        held = b->nextHeld;
        b->nextHeld = nullptr;
        b->magnet = nullptr;
        b->attracted = 0;
        FV3 p = b->position;
        if (b->support != nullptr)
            Env_PlaceOnSupport(*b, b->support, p, 0, 1);
        const int state = b->support != nullptr && b->support->cls == PHC_SLOPE ? MT_EVEL : MT_EVE;
        PhBall_SetMotion(*b, state, p, b->velocity, b->currentTime, 0);
    }
}

PhMagnet::~PhMagnet()
{
    if (!PhysWorld.tearingDown) {
        ReleaseAll();
        PhList_Remove(PhysWorld.magnets, this, &PhMagnet::nextMagnet);
    }
}

void PhMagnet::TurnToGround()
{
    ReleaseAll();
    PhList_Remove(PhysWorld.magnets, this, &PhMagnet::nextMagnet);
    type = TY_T_TALAJ;
}

int PhSpiked::Respond(PhBall &ball, const FV3 &c, int code, float time)
{
    if (ball.type == TY_G_UVEG && ball.cellY == cellY + 1) {
        PhElem_Finish(&ball, FIN_BROKEN, EF_DESTROYED);
        return 1;
    }
    return explode_or_bounce(this, ball, c, code, time);
}

void PhSpiked::TurnToGround() { type = TY_T_TALAJ; }

PhGoal::PhGoal(TrElem *e, int32_t i) : PhTile(e, i, PHC_GOAL) { PhList_Push(PhysWorld.goals, this, &PhGoal::nextGoal); }

PhGoal::~PhGoal()
{
    if (!PhysWorld.tearingDown)
        PhList_Remove(PhysWorld.goals, this, &PhGoal::nextGoal);
}

int PhGoal::Respond(PhBall &ball, const FV3 &c, int code, float time)
{
    if (ball.cellY == cellY + 1 && PhGoal_Accepts(*this, ball)) {
        PhBall_EnterGoal(ball, this);
        PhElem_Finish(&ball, FIN_ACTIVE, EF_ENTERED);
        return 1;
    }
    return PhElem::Respond(ball, c, code, time);
}

int PhGoal_Accepts(const PhGoal &goal, const PhBall &ball)
{
    PhScope scope;
    const FV3 &lo = goal.boxLow, &hi = goal.boxHigh, &p = ball.position;
    // The cheap test first: most balls are nowhere near the goal.
    if (p.x < lo.x - 0.1f || p.x > hi.x + 0.1f || p.z < lo.z - 0.1f || p.z > hi.z + 0.1f)
        return 0;
    if (TrElem **above = Grid_Cell(goal.cellX, goal.cellY + 1, goal.cellZ)) {
        if (*above != nullptr && ((*above)->physObject == nullptr || (*above)->physObject->cls != PHC_GOAL))
            return 0;
    }
    const PhZoneCode zc = PhElem_Classify(lo, hi + FV3(0, 0.55f, 0), p, ball.radius, nullptr);
    if (zc.Zone(1) < 4 || zc.Zone(1) > 6)
        return 0;
    const float pc[2] = {p.x, p.z}, l[2] = {lo.x, lo.z}, h[2] = {hi.x, hi.z};
    for (int k = 0; k < 2; k++) {
        const int zone = zc.Zone(k * 2);
        if (zone < 4 && !((p.y - lo.y) / (l[k] - pc[k]) > 0.5f))
            return 0;
        if (zone > 6 && !((p.y - lo.y) / (pc[k] - h[k]) > 0.5f))
            return 0;
    }
    const FV3 target(goal.centre.x, hi.y, goal.centre.z);
    return ball.velocity.Dot(target - p) >= 0 ? 1 : 0;
}

PhRamp::PhRamp(TrElem *e, int32_t i, PhClass c) : PhElem(e, i, c)
{
    int32_t key = e->io->direction;
    if (key < 0 || key > 3)
        key = 0;  // an unset direction stands as the first
    geom = Ramp_New(e->io->x, e->io->y, e->io->z, key, c == PHC_CORNER);
}

PhRamp::~PhRamp() { Ramp_Free(geom); }

int PhRamp::Contact(PhBall &ball, FV3 *c, int *code, float tolerance)
{
    if (geom == nullptr)
        return 0;
    return Ramp_Contact(*geom, ball.position, ball.velocity, ball.radius, c, code, tolerance);
}

int PhRamp::SupportTest(PhBall &ball, const FV3 &w, int code)
{
    if (geom == nullptr)
        return 0;
    if (code == 0) {
        Phys_Warning(PHMSG_FOOT_INSIDE);
        return 0;
    }
    const bool slope = cls == PHC_SLOPE;
    int plane = -1;
    switch (code) {
    case 1: plane = 4; break;
    case 2: plane = slope ? 3 : 2; break;
    case 3: plane = slope ? 2 : 3; break;
    case 4: plane = 0; break;
    case 5: plane = 1; break;
    default: break;
    }
    if (plane >= 0)
        return Env_BackOffPlane(ball, *geom->plane[plane], w);
    if (code >= 15 && code <= 20)
        return Env_BackOffPoint(ball, geom->corner[code - 15]);
    return 1;
}

TrElem *PhRamp::FilterCandidate(TrElem *candidate, const FV3 &point)
{
    if (geom == nullptr)
        return candidate;
    return Ramp_RegionCode(*geom, point) != 0 ? nullptr : candidate;
}

int32_t PhRamp::Orientation() const
{
    if (geom == nullptr || (cls == PHC_SLOPE && type != TY_T_LEJTO) || (cls == PHC_CORNER && type != TY_T_SAROK))
        return -1;
    return geom->orientation;
}

PhSlope::PhSlope(TrElem *e, int32_t i) : PhRamp(e, i, PHC_SLOPE)
{
    static const float k_up[4][3] = {{-0.55f, 1, 0}, {0, 1, 0.55f}, {0.55f, 1, 0}, {0, 1, -0.55f}};
    const int o = geom != nullptr ? geom->orientation : 0;
    up = FV3(k_up[o][0], k_up[o][1], k_up[o][2]);
    up.Normalise();
    PhList_Push(PhysWorld.slopes, this, &PhSlope::nextSlope);
}

PhSlope::~PhSlope()
{
    if (PhysWorld.tearingDown)
        return;
    PhList_Remove(PhysWorld.slopes, this, &PhSlope::nextSlope);
    while (ballsOn != nullptr) {
        PhBall *b = ballsOn;
        ballsOn = b->nextOnSlope;
        b->nextOnSlope = nullptr;
        b->slope = nullptr;
        b->support = nullptr;
    }
}

int PhSlope::Respond(PhBall &ball, const FV3 &c, int code, float time)
{
    return PhSlope_Respond(*this, ball, c, code, time);
}

TrElem *PhSlope::FilterCandidateFromBall(TrElem *candidate, const PhBall &ball)
{
    if (geom == nullptr)
        return candidate;
    return FilterCandidate(candidate, ball.position + geom->plane[4]->normal * ball.radius);
}

PhCorner::PhCorner(TrElem *e, int32_t i) : PhRamp(e, i, PHC_CORNER)
{
    static const float k_up[4][2] = {{1, 1}, {1, -1}, {-1, -1}, {-1, 1}};
    const int o = geom != nullptr ? geom->orientation - 4 : 0;
    up = FV3(k_up[o][0], 0, k_up[o][1]);
    up.Normalise();
    // The object takes the block's own box; the element keeps the cell's.
    if (geom != nullptr)
        SetBox(geom->boxLow, geom->boxHigh, false);
}

int PhCorner::Contact(PhBall &ball, FV3 *c, int *code, float tolerance)
{
    (void)tolerance;
    return PhRamp::Contact(ball, c, code, 0.001f);
}

int PhCorner::Respond(PhBall &ball, const FV3 &c, int code, float time)
{
    return PhCorner_Respond(*this, ball, c, code, time);
}

TrElem *PhCorner::FilterCandidateFromBall(TrElem *candidate, const PhBall &ball)
{
    return FilterCandidate(candidate, ball.position - FV3(0, ball.radius, 0));
}
