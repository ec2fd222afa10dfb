// The step's own rules: an empty world rests at once, the first step has no length, rest nudges off a
// cell edge, the stuck detector, the push between touching balls and its bounded passes, and the
// impulse between two balls; which magnets reach a rolling iron ball.
#include <math.h>

#include <vector>

#include <brondel/bractor.h>

#include "terrow/phys/phrun.h"
#include "terrow/phys/phstep.h"
#include "worldtest.h"

namespace {

using wtest::World;

TEST_F(World, NoBallsRestsAtOnce)
{
    floor(2, 2);
    Phys_Build(field);
    PhysWorld.expectedEnergy = 123.0f;
    EXPECT_EQ(Phys_Step(field, 0), 1);
    EXPECT_EQ(Phys_Step(field, 25), 1);
    EXPECT_EQ(PhysWorld.expectedEnergy, 123.0f);  // no energy measured
}

TEST_F(World, FirstStepOfNoLengthStaysFinite)
{
    floor(3, 1);
    TrElem *e = add(0, 1, 0, TY_G_FEM, 3);
    Phys_Build(field);
    EXPECT_EQ(Phys_Step(field, 0), 0);
    const PhBall &b = *obj<PhBall>(e);
    for (float v : {b.spin.x, b.spin.y, b.spin.z, b.position.x, b.position.y, b.velocity.x})
        EXPECT_TRUE(std::isfinite(v));
    for (float m : b.orientation.m)
        EXPECT_TRUE(std::isfinite(m));
    EXPECT_EQ(Phys_Step(field, 25), 0);
    EXPECT_GT(b.position.x, 0.5f);  // the second step moves it
}

// The view is the host's: the actor of a shown ball is put where the ball is and turned as it
// rolls, a headless ball (no actor) has none to write, and neither changes the physics.
TEST_F(World, ActorFollowsAShownBallAndTheViewLeavesThePhysicsAlone)
{
    struct Step {
        FV3 p, v;
    };
    br_actor actors[2] = {};
    auto run = [&](TrPalya *f, bool shown) {
        std::vector<Step> steps;
        TrElem *balls[2] = {Elem_New(0, 1, 0, 3, TY_G_GUMI, Elem_ClassOf(TY_G_GUMI) | EF_LEVEL_PART),
                            Elem_New(7, 1, 1, 1, TY_G_FEM, Elem_ClassOf(TY_G_FEM) | EF_LEVEL_PART)};
        for (int z = 0; z < 2; z++)
            for (int x = 0; x < 8; x++)
                Palya_AddElem(f, Elem_New(x, 0, z, 0, TY_T_SIMA, Elem_ClassOf(TY_T_SIMA) | EF_LEVEL_PART));
        for (int k = 0; k < 2; k++) {
            Palya_AddElem(f, balls[k]);
            actors[k] = br_actor{};
            actors[k].t.type = BR_TRANSFORM_MATRIX34;
            for (int i = 0; i < 3; i++)
                actors[k].t.t.mat.m[i][i] = 1.0f;
            balls[k]->actor = shown ? &actors[k] : nullptr;
        }
        Phys_Build(f);
        for (int32_t t = 0; t <= 40 * PH_STEP_MS; t += PH_STEP_MS) {
            Phys_Step(f, t);
            for (TrElem *e : balls) {
                const PhBall &b = *obj<PhBall>(e);
                steps.push_back({b.position, b.velocity});
                if (!shown)
                    continue;
                const br_matrix34 &m = e->actor->t.t.mat;
                for (int i = 0; i < 9; i++)
                    EXPECT_EQ(m.m[i / 3][i % 3], b.orientation.m[i]);
                EXPECT_EQ(m.m[3][0], b.position.x * 0.1f);
                EXPECT_EQ(m.m[3][2], b.position.z * 0.1f);
            }
        }
        // Rolling along x turns the ball about z.
        if (shown)
            EXPECT_LT(obj<PhBall>(balls[0])->orientation.m[0], 0.99f);
        for (TrElem *e : balls)
            e->actor = nullptr;
        Phys_Free();
        return steps;
    };
    const std::vector<Step> withActors = run(field, true);
    TrPalya *headless = Palya_NewEmpty();
    const std::vector<Step> without = run(headless, false);
    Palya_Free(headless);
    ASSERT_EQ(withActors.size(), without.size());
    for (size_t k = 0; k < without.size(); k++) {
        SCOPED_TRACE(k);
        for (int a = 0; a < 3; a++) {
            EXPECT_EQ((&withActors[k].p.x)[a], (&without[k].p.x)[a]);
            EXPECT_EQ((&withActors[k].v.x)[a], (&without[k].v.x)[a]);
        }
    }
    EXPECT_GT(without.back().p.x, 0.5f);  // the balls rolled
}

TEST_F(World, RestNudgeTable)
{
    // Row z = 0: tiles at x = 0..3 except a hole at x = 2 and a slope at x = 5; ball on tile 3.
    add(0, 0, 0, TY_T_SIMA);
    add(1, 0, 0, TY_T_SIMA);
    add(3, 0, 0, TY_T_SIMA);
    add(4, 0, 0, TY_T_SIMA);
    add(5, 0, 0, TY_T_LEJTO, 0);
    add(3, 0, 1, TY_T_SIMA);
    TrElem *e = add(3, 1, 0, TY_G_FEM, TR_DIR_UNSET);
    add(0, 0, 5, TY_T_SIMA);  // widens the field in z
    Phys_Build(field);
    PhBall &b = *obj<PhBall>(e);
    struct Case {
        float x, z;
        int nudged;
        float vx, vz;
    } cases[] = {
        {3.01f, 0.5f, 1, -0.1f, 0},   // hole at x = 2
        {3.99f, 0.5f, 0, 0, 0},       // tile at x = 4
        {3.5f, 0.99f, 0, 0, 0},       // tile at z = 1
        {3.01f, 0.99f, 1, -0.1f, 0},  // the x edge is judged first
        {3.5f, 0.5f, 0, 0, 0},        // in the middle
        {4.99f, 0.5f, 1, 0.1f, 0},    // a slope next door counts as open
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.x);
        b.position = FV3(c.x, 0.35f, c.z);
        b.UpdateCell();
        b.support = Phys_ObjAtCell(b.cellX, -1, b.cellZ, &b);
        FV3 v(9, 9, 9);
        EXPECT_EQ(Env_RestNudge(b, &v), c.nudged);
        if (c.nudged) {
            EXPECT_EQ(v.x, c.vx);
            EXPECT_EQ(v.z, c.vz);
        }
    }
}

TEST_F(World, RollsOnFlatOnlyLevelOrUpwardWithFiniteVelocity)
{
    // The flat pieces of the layer below are passed over only for a ball going level or upward: the
    // velocity's dot product with straight up, which is undefined for an infinite or undefined x or z.
    floor(3, 1);
    TrElem *e = add(1, 1, 0, TY_G_FEM, TR_DIR_UNSET);
    Phys_Build(field);
    PhBall &b = *obj<PhBall>(e);
    ASSERT_NE(b.support, nullptr);
    const float inf = INFINITY, nan = NAN;
    const struct Case {
        FV3 v;
        bool rolls;
    } cases[] = {
        {FV3(0, 0, 0), true},     {FV3(2, -0.0f, -3), true}, {FV3(0, 1e-30f, 0), true}, {FV3(0, inf, 0), true},
        {FV3(0, -1e-30f, 0), false}, {FV3(inf, 0, 0), false}, {FV3(0, 0, -inf), false}, {FV3(nan, 1, 0), false},
        {FV3(0, nan, 0), false},  {FV3(1, 1, nan), false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << c.v.x << "," << c.v.y << "," << c.v.z);
        b.velocity = c.v;
        EXPECT_EQ(Env_RollsOnFlat(b), c.rolls);
    }
    // Not on a flat piece of the layer below: never.
    b.velocity = FV3(0, 0, 0);
    b.cellY++;
    EXPECT_FALSE(Env_RollsOnFlat(b));
}

TEST_F(World, StuckAfterFourMeetingsAndFarOffsetsIgnored)
{
    floor(3, 3);
    TrElem *e = add(1, 1, 1, TY_G_FEM, TR_DIR_UNSET);
    Phys_Build(field);
    PhBall &b = *obj<PhBall>(e);
    PhContact near{0, Phys_ObjAtCell(2, -1, 1, &b), FV3(0, 0, 0), FV3(0, 0, 0), 0, 0, 0};
    int results[5];
    for (int &r : results)
        r = Env_Stuck(b, &near, 1);
    EXPECT_EQ(results[0] + results[1] + results[2] + results[3], 0);
    EXPECT_EQ(results[4], 1);
    // A record two cells away lies outside the table: ignored, never written out of bounds.
    b.position = FV3(0.5f, 0.35f, 0.5f);
    b.UpdateCell();
    PhContact far{0, Phys_ObjAtCell(2, -1, 2, &b), FV3(0, 0, 0), FV3(0, 0, 0), 0, 0, 0};
    EXPECT_EQ(Env_Stuck(b, &far, 1), 0);
    // Unseen entries were emptied.
    for (const PhNeighbour &n : b.around)
        EXPECT_EQ(n.object, nullptr);
}

TEST_F(World, DeletedNeighbourLeavesNoEntry)
{
    // The ball met the object beside it often enough to remember it; the object is then destroyed
    // and the world steps on (under ASan no stale object may be reached). A ball is remembered only
    // where the queries find one (its element without the ball bit), and its deletion must look.
    for (const bool ball : {false, true}) {
        SCOPED_TRACE(ball ? "ball" : "tile");
        floor(3, 1);
        TrElem *t = ball ? add(2, 1, 0, TY_G_FEM, TR_DIR_UNSET) : add(2, 1, 0, TY_T_SIMA);
        TrElem *e = add(1, 1, 0, TY_G_FEM, 3);
        Phys_Build(field);
        PhBall &b = *obj<PhBall>(e);
        PhElem *other = obj(t);
        PhContact rec{0, other, FV3(0, 0, 0), FV3(0, 0, 0), 0, 0, 0};
        for (int k = 0; k < 3; k++)
            Env_Stuck(b, &rec, 1);
        auto remembers = [&](const PhElem *o) {
            for (const PhNeighbour &n : b.around)
                if (n.object == o)
                    return true;
            return false;
        };
        ASSERT_TRUE(remembers(other));
        destroy(other);
        EXPECT_FALSE(remembers(other));
        for (int k = 0; k < 40; k++)
            Phys_Step(field, k * 25);
        EXPECT_EQ(e->io->flags & EF_DESTROYED, 0u);
        Phys_Free();
        Palya_Free(field);
        field = Palya_NewEmpty();
    }
}

TEST_F(World, BallListedOnSlopeFindsItAheadOfCellBorder)
{
    // A ball lifted 0.03 off its slope near the foot: the probe a little lower finds the slope again
    // only for a ball listed on it and moving towards the border.
    floor(4, 1);
    TrElem *s = add(2, 1, 0, TY_T_LEJTO, 0);  // foot at x = 2, crest at x = 3
    TrElem *e = add(0, 1, 0, TY_G_FEM, TR_DIR_UNSET);
    Phys_Build(field);
    PhBall &b = *obj<PhBall>(e);
    PhSlope *slope = obj<PhSlope>(s);
    struct Case {
        bool listed;
        float vx;
        bool found;
    } cases[] = {
        {true, -1.0f, true},    // listed, towards the foot
        {false, -1.0f, false},  // not listed
        {true, 1.0f, false},    // listed, moving away from the border
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.listed << " " << c.vx);
        const float rest = 0.55f * 0.15f + b.radius * sqrtf(1 + 0.55f * 0.55f);
        b.position = FV3(2.15f, rest + 0.03f, 0.5f);
        b.velocity = FV3(c.vx, 0, 0);
        b.motion = b.prevMotion = MT_EVEL;
        b.currentTime = 0;
        b.UpdateCell();
        b.support = b.prevSupport = slope;
        if (b.slope != nullptr)
            PhList_Remove(b.slope->ballsOn, &b, &PhBall::nextOnSlope);
        b.slope = nullptr;
        if (c.listed) {
            b.slope = slope;
            PhList_Push(slope->ballsOn, &b, &PhBall::nextOnSlope);
        }
        PhBall_Step(b, field, 25);
        EXPECT_EQ(b.support == slope, c.found);
    }
}

TEST_F(World, StaticFrictionOfATinyOrDampedSpeed)
{
    // Friction pulls against the velocity with its full strength whatever the speed: a speed too small
    // for its reciprocal to be a float still gives a finite pull, and a velocity damped on leaving a
    // roll over a slope's edge is pulled by its own length, not the one it had before.
    TrElem *tile = add(0, 0, 0, TY_T_SIMA);
    for (int x = 1; x < 4; x++)
        add(x, 0, 0, TY_T_SIMA);
    TrElem *s = add(2, 1, 0, TY_T_LEJTO, 0);
    TrElem *e = add(0, 1, 0, TY_G_FEM, TR_DIR_UNSET);
    Phys_Build(field);
    PhBall &b = *obj<PhBall>(e);
    PhSlope *slope = obj<PhSlope>(s);
    const float rest = 0.55f * 0.15f + b.radius * sqrtf(1 + 0.55f * 0.55f);
    b.position = FV3(2.15f, rest, 0.5f);
    b.velocity = FV3(1e-40f, 0, 0);
    b.motion = b.prevMotion = MT_EVEL;
    b.currentTime = 0;
    b.UpdateCell();
    b.support = b.prevSupport = slope;
    PhBall_Step(b, field, 25);
    for (float v : {b.velocity.x, b.velocity.y, b.velocity.z, b.position.x, b.position.y, b.position.z})
        EXPECT_TRUE(std::isfinite(v));

    PhyParams.damping = 0.5f;
    const float f = b.Material().staticFriction;
    const float speed = (0.025f * f + PhyParams.staticSpeed) / 2;
    ASSERT_GT(speed, 0.025f * f);
    b.position = FV3(0.5f, b.radius, 0.5f);
    b.velocity = FV3(speed, 0, 0);
    b.motion = b.prevMotion = MT_FOLGORDUL;
    b.firstContact = 1;
    b.currentTime = 25;
    b.UpdateCell();
    b.support = b.prevSupport = obj(tile);
    ASSERT_NE(b.support, nullptr);
    PhBall_Step(b, field, 50);
    EXPECT_NEAR(b.acceleration.Length(), f, 1e-5 * f);
}

TEST_F(World, CornerWallEdgeBounceIsTheSameFromEitherResponse)
{
    // Against a corner's wall edge only the horizontal velocity turns: fully back (e = 1), or by the
    // squared restitution for a ball a magnet pulls; the vertical part and the impact count are
    // the same whichever response runs it.
    floor(3, 1);
    TrElem *ce = add(1, 1, 0, TY_T_SAROK, 0);
    TrElem *e = add(0, 1, 0, TY_G_FEM, TR_DIR_UNSET);
    Phys_Build(field);
    PhBall &b = *obj<PhBall>(e);
    PhElem *corner = obj(ce);
    const FV3 up = corner->up;
    const float rest = b.Material().restitution;
    for (int attracted = 0; attracted < 2; attracted++)
        for (int viaEnv = 0; viaEnv < 2; viaEnv++) {
            SCOPED_TRACE(testing::Message() << attracted << " " << viaEnv);
            PhysCounters = {};
            const FV3 v = -up + FV3(0, 0.3f, 0);
            wtest::moving(b, FV3(1.2f, 0.4f, 0.2f), v, 0, MT_SZE);
            b.attracted = attracted;
            const FV3 c = -up * 0.3f;
            if (viaEnv)
                EXPECT_EQ(Env_Bounce(b, corner, c, 0, 7), 0);
            else
                PhBall_Bounce(b, corner, c, 0, 7, 0, 1.0f);
            const float k = attracted ? rest * rest : 1.0f;
            const FV3 want = FV3(0, 0.3f, 0) + up * k;
            EXPECT_NEAR(b.velocity.x, want.x, 1e-5f);
            EXPECT_NEAR(b.velocity.y, want.y, 1e-5f);
            EXPECT_NEAR(b.velocity.z, want.z, 1e-5f);
            EXPECT_EQ(PhysCounters.fem, 2);
        }
    b.attracted = 0;
}

TEST_F(World, PushOutMovesTouchingBallAlongItsTravel)
{
    floor(4, 1);
    TrElem *ea = add(1, 1, 0, TY_G_FEM, TR_DIR_UNSET);
    TrElem *eb = add(2, 1, 0, TY_G_GUMI, TR_DIR_UNSET);
    Phys_Build(field);
    PhBall &a = *obj<PhBall>(ea), &b = *obj<PhBall>(eb);
    a.position = FV3(1.5f, 0.35f, 0.5f);
    b.position = FV3(1.9f, 0.35f, 0.5f);
    b.prevPosition = b.position;
    a.prevPosition = FV3(1.4f, 0.35f, 0.5f);  // a has come towards the still b
    b.velocity = FV3(0, 0, 0);
    a.UpdateCell();
    b.UpdateCell();
    EXPECT_EQ(Env_PushOut(a), 1);
    EXPECT_NEAR((b.position - a.position).Length(), 0.95 * 0.7, 1e-5);
    EXPECT_GT(b.position.x, a.position.x);
    EXPECT_EQ(b.pushed, 1u);
    EXPECT_EQ(b.velocity.Length(), 0.0);  // a still ball is moved, not set going
}

TEST_F(World, SeparationPassesAreBounded)
{
    // Three balls on one spot, one held by a magnet: the pushes cannot all be satisfied, yet the
    // step returns.
    floor(3, 1);
    TrElem *m = field->elements[1];
    m->io->type = TY_T_MAGNES;
    TrElem *e[3] = {add(1, 1, 0, TY_G_FEM, TR_DIR_UNSET), add(1, 1, 0, TY_G_FEM, 3), add(1, 1, 0, TY_G_FEM, 1)};
    Phys_Build(field);
    for (TrElem *x : e)
        obj<PhBall>(x)->attracted = 1;
    for (int k = 0; k < 5; k++)
        Phys_Step(field, k * 25);
    SUCCEED();
}

TEST_F(World, IronBallIsInMagnetReachExactlyWhereTheZonesSaySo)
{
    // Iron balls rolling along x past magnets, each a hair beyond the reach across z of the magnet
    // beside its path: one ball runs over the second magnet, the other passes it so. The step passes over the magnets while a ball stays in the box it last found free
    // of them; at every step the ball must be near a magnet exactly when the zones put it in reach.
    for (int32_t row : {4, 8}) {
        SCOPED_TRACE(row);
        floor(30, 9);
        field->elements[12]->io->type = TY_T_MAGNES;             // (12, 0, 0): beside the path
        field->elements[4 * 30 + 25]->io->type = TY_T_MAGNES;    // (25, 0, 4): on the path of row 4
        TrElem *e = add(1, 1, row, TY_G_FEM, TR_DIR_UNSET);
        Phys_Build(field);
        PhBall &b = *obj<PhBall>(e);
        b.velocity = FV3(9, 0, 0);
        PhBall_SetMotion(b, MT_EVE, b.position, b.velocity, 0, 0);
        int inReach = 0, out = 0;
        for (int k = 1; k <= 160 && b.finishCode == 0; k++) {
            bool expect = false;
            for (const PhMagnet *m = PhysWorld.magnets; m != nullptr; m = m->nextMagnet) {
                FV3 closest;
                const PhZoneCode zc = PhElem_Classify(m->boxLow, m->boxHigh, b.position, b.radius, &closest);
                bool reach = true;
                for (int a = 0; a < 3; a++)
                    reach &= zc.Zone(a) >= 1 && zc.Zone(a) <= 9;
                expect |= reach;
            }
            const bool held = b.motion == MT_MAGN_ALL;
            Phys_Step(field, k * 25);
            if (held || b.support == nullptr)
                break;  // held, or gone from the floor: the magnets' rules, not their reach, from here
            ASSERT_EQ(b.nearMagnet, expect) << "step " << k << " at x " << b.prevPosition.x;
            (expect ? inReach : out)++;
        }
        EXPECT_GT(out, 5);
        if (row == 4)
            EXPECT_GT(inReach, 0);  // it came into the reach of the magnet on its way
        else
            EXPECT_EQ(inReach, 0);
        Phys_Free();
        Palya_Free(field);
        field = Palya_NewEmpty();
    }
}

TEST_F(World, PairResponseTable)
{
    floor(4, 1);
    TrElem *ea = add(1, 1, 0, TY_G_FEM, 3);
    TrElem *eb = add(2, 1, 0, TY_G_FEM, 1);
    Phys_Build(field);
    PhBall &a = *obj<PhBall>(ea), &b = *obj<PhBall>(eb);
    struct Case {
        int typeA, typeB, motionB;
        float va, vb;  // x velocities after
        int result;
    } cases[] = {
        {TY_G_FEM, TY_G_FEM, MT_EVE, -1.0f, 2.0f, 0},                // swap, k = 2
        {TY_G_FEM, TY_G_FEM, MT_MAGN_ALL, -2.0f, 0, 0},  // the held ball stays
        {TY_G_BOMBA, TY_G_FEM, MT_EVE, 2.0f, -1.0f, 1},              // both destroyed
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typeA);
        a.type = c.typeA;
        b.type = c.typeB;
        a.finishCode = b.finishCode = 0;
        a.motion = MT_EVE;
        b.motion = c.motionB;
        a.position = FV3(1.5f, 0.35f, 0.5f);
        b.position = FV3(2.1f, 0.35f, 0.5f);
        a.velocity = FV3(2.0f, 0, 0);
        b.velocity = FV3(c.motionB == MT_MAGN_ALL ? 0 : -1.0f, 0, 0);
        EXPECT_EQ(PhBall_PairResponse(a, b, b.position - a.position, 0, 1.0f), c.result);
        if (c.result == 0) {
            EXPECT_NEAR(a.velocity.x, c.va, 1e-5f);
            EXPECT_NEAR(b.velocity.x, c.vb, 1e-5f);
        } else {
            EXPECT_EQ(ea->io->flags & EF_DESTROYED, EF_DESTROYED);
            EXPECT_EQ(eb->io->flags & EF_DESTROYED, EF_DESTROYED);
        }
    }
}

// Balls a magnet holds while they lean on each other stay held: the settling of balls leaning on
// each other leaves them be, so once a passing ball has gone they lie still and sleep.
TEST_F(World, HeldBallsLeaningOnEachOtherStayHeldAndSleep)
{
    floor(12, 4);
    field->elements[14]->io->type = TY_T_MAGNES;  // (2, 0, 1)
    add(0, 1, 3, TY_G_GUMI, 3);  // passes by, keeping them awake a while
    TrElem *e[3] = {add(0, 1, 1, TY_G_FEM, 3), add(4, 1, 1, TY_G_FEM, 1), add(2, 1, 0, TY_G_FEM, 2)};
    Phys_Build(field);
    int flips = 0, allAsleep = -1;  // steps
    int last[3] = {-1, -1, -1};
    for (int k = 0; k < 500 && allAsleep < 0; k++) {
        Phys_Step(field, k * 25);
        bool asleep = true;
        for (int i = 0; i < 3; i++) {
            const PhBall &b = *obj<PhBall>(e[i]);
            flips += last[i] == MT_MAGN_ALL && b.motion != MT_MAGN_ALL && b.velocity.Length() == 0;
            last[i] = b.motion;
            asleep &= b.dormant;
        }
        if (asleep)
            allAsleep = k;
    }
    EXPECT_EQ(flips, 0);
    EXPECT_GE(allAsleep, 0) << "held balls never lie still once the other ball has passed";
}

// A speed a caller leaves unset warns where the step reads it, whether the checks are on or not
// (lengths always check): a ball asleep far from the one rolling is read only by the still count,
// once a step, for its energy.
TEST_F(World, UnsetSpeedOfASleepingBallWarnsOnceAStep)
{
    floor(20, 3);
    TrElem *e = add(1, 1, 1, TY_G_FEM, TR_DIR_UNSET);
    TrElem *rolling = add(18, 1, 1, TY_G_FEM, 2);
    Phys_Build(field);
    PhBall &b = *obj<PhBall>(e);
    int k = 0;
    for (; k < 100 && !b.dormant; k++)
        Phys_Step(field, k * 25);
    ASSERT_TRUE(b.dormant);
    const float x = b.position.x, y = b.position.y, z = b.position.z;
    for (const bool check : {true, false}) {
        const bool was = Phys_SetValidityCheck(check);
        b.velocity.state = PH_CONSTRUCTED;
        phtest::boxes().clear();
        for (int n = 0; n < 3; n++)
            Phys_Step(field, k++ * 25);
        Phys_SetValidityCheck(was);
        EXPECT_EQ(phtest::boxes().size(), 3u) << "checks " << check;
        EXPECT_GT(obj<PhBall>(rolling)->velocity.Length2(), 0);  // the steps went their whole way
        EXPECT_TRUE(b.dormant);
        EXPECT_EQ(b.position.x, x);
        EXPECT_EQ(b.position.y, y);
        EXPECT_EQ(b.position.z, z);
    }
}

}  // namespace

// A ball set against a held one between steps while both lie asleep is pushed out at the next
// separation, and the marks a caller's push leaves are cleared there, as for balls awake.
TEST_F(World, SeparationReachesSleepingHeldBallAndClearsCallersMarks)
{
    floor(12, 4);
    field->elements[14]->io->type = TY_T_MAGNES;  // (2, 0, 1)
    TrElem *eh = add(0, 1, 1, TY_G_FEM, 3);  // rolls onto the magnet, which holds it
    TrElem *eo = add(8, 1, 1, TY_G_FEM, TR_DIR_UNSET);
    TrElem *ef = add(10, 1, 3, TY_G_GUMI, TR_DIR_UNSET);
    Phys_Build(field);
    PhBall &held = *obj<PhBall>(eh), &o = *obj<PhBall>(eo), &far = *obj<PhBall>(ef);
    int k = 0;
    for (; k < 400 && !(held.dormant && o.dormant && held.attracted); k++)
        Phys_Step(field, k * 25);
    ASSERT_TRUE(held.dormant && o.dormant && held.attracted) << "never held and asleep";
    auto stir = [&] {  // a ball far off set going: the step runs its separation
        far.velocity = FV3(0, 0, -1.0f);
        PhBall_SetMotion(far, MT_EVE, far.position, far.velocity, far.currentTime, 1);
    };
    const double touch = 0.9 * (held.radius + o.radius);
    o.position = held.position + FV3(0.5f, 0, 0);
    o.UpdateCell();
    ASSERT_LT((o.position - held.position).Length(), touch);
    stir();
    Phys_Step(field, k++ * 25);
    EXPECT_GE((o.position - held.position).Length(), touch) << "the held ball pushed nothing";
    for (int n = 0; n < 3; n++) {
        stir();
        Phys_Step(field, k++ * 25);
    }
    o.position = held.position + FV3(0, 0, 0.5f);
    o.prevPosition = o.position + FV3(0, 0, 1.0f);  // come towards the held ball
    o.UpdateCell();
    ASSERT_EQ(Env_PushOut(held), 1);
    stir();
    Phys_Step(field, k++ * 25);
    EXPECT_EQ(o.pushed, 0u) << "a caller's push mark outlived the separation";
}
