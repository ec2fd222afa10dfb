// The ball: its start, motion changes and lanes, bounces off a tile and the field's wall, the sink into
// a goal, ball-ball contact, impact counters and placement on its support.
#include <math.h>

#include "worldtest.h"

namespace {

using wtest::marks;
using wtest::moving;
using wtest::World;

TEST_F(World, BallStartTable)
{
    for (int k = 0; k < 4; k++)
        add(k, 0, 0, TY_T_SIMA);
    TrElem *balls[4];
    for (int k = 0; k < 4; k++)
        balls[k] = add(k, 1, 0, TY_G_FEM, k, EF_ENTERED | EF_SUNK);
    Phys_Build(field);
    struct Row {
        FV3 v;
        int lane;
    };
    const Row rows[4] = {{FV3(0, 0, -1.5f), 2}, {FV3(-1.5f, 0, 0), 1}, {FV3(0, 0, 1.5f), 2}, {FV3(1.5f, 0, 0), 1}};
    for (int k = 0; k < 4; k++) {
        SCOPED_TRACE(k);
        const PhBall &b = *obj<PhBall>(balls[k]);
        EXPECT_EQ(b.velocity.x, rows[k].v.x);
        EXPECT_EQ(b.velocity.z, rows[k].v.z);
        EXPECT_EQ(b.lastVelocity.x, rows[k].v.x);
        EXPECT_EQ(b.moveStartVel.z, rows[k].v.z);
        EXPECT_EQ(b.lane, rows[k].lane);
        EXPECT_EQ(b.motion, MT_EVE);
        EXPECT_EQ(b.prevMotion, MT_EVE);
        EXPECT_FLOAT_EQ(b.position.x, k + 0.5f);
        EXPECT_FLOAT_EQ(b.position.y, 0.35f);
        EXPECT_FLOAT_EQ(b.position.z, 0.5f);
        EXPECT_FLOAT_EQ(b.boxLow.y, 0.0f);
        EXPECT_FLOAT_EQ(b.startEnergy, (4.5f * 0.35f + 0.5f * 2.25f) * 3.0f);
        EXPECT_EQ(b.firstContact, 1u);
        EXPECT_FALSE(b.sinkStep.Valid());
        EXPECT_EQ(b.orientation(0, 0), 1.0f);  // no actor: identity
        EXPECT_EQ(b.orientation(1, 1), 1.0f);
        EXPECT_EQ(balls[k]->io->flags & (EF_ENTERED | EF_SUNK), 0u);
        EXPECT_EQ(b.support, Phys_ObjAtCell(k, -1, 0, nullptr));
    }
}

TEST_F(World, MotionChangesAndLanes)
{
    add(0, 0, 0, TY_T_SIMA);
    TrElem *ball = add(0, 1, 0, TY_G_FEM);
    Phys_Build(field);
    PhBall &b = *obj<PhBall>(ball);
    struct Case {
        const char *what;
        int from, to;
        FV3 p, v;
        int lane;
    };
    const Case cases[] = {
        {"along x, centred row", MT_ALL, MT_EVE, FV3(0.3f, 0.35f, 0.5f), FV3(1, 0, 0), 1},
        {"along x, row edge", MT_ALL, MT_EVE, FV3(0.3f, 0.35f, 0.39f), FV3(1, 0, 0), 5},
        {"along z, centred column", MT_MAGN_ALL, MT_EVE, FV3(0.6f, 0.35f, 0.2f), FV3(0, 0, 1), 2},
        {"along z, column edge", MT_ALL, MT_EVE, FV3(0.61f, 0.35f, 0.2f), FV3(0, 0, 1), 6},
        {"diagonal", MT_ALL, MT_EVE, FV3(0.5f, 0.35f, 0.5f), FV3(1, 0, 1), 0},
        {"already moving", MT_EVE, MT_SZE, FV3(0.5f, 0.35f, 0.5f), FV3(0, 0, 1), 9},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        b.motion = c.from;
        b.lane = 9;
        b.lastVelocity = FV3(7, 7, 7);
        PhBall_SetMotion(b, c.to, c.p, c.v, 0.5f, 0);
        EXPECT_EQ(b.lane, c.lane);
        EXPECT_EQ(b.prevMotion, c.from);
        EXPECT_EQ(b.motion, c.to);
        EXPECT_EQ(b.changeTime, 0.5f);
        EXPECT_EQ(b.moveStartPos.x, c.p.x);
        EXPECT_EQ(b.prevPosition.z, c.p.z);
        EXPECT_EQ(b.lastVelocity.x, c.v.x);
        EXPECT_EQ(b.impactVelocity.x, 7.0f);
    }
    // Into or out of the tipping states the velocity is damped; rest zeroes motion.
    b.motion = MT_EVE;
    PhBall_SetMotion(b, MT_LEGORDUL, b.position, FV3(1, 0, 0), 0, 0);
    EXPECT_FLOAT_EQ(b.velocity.x, 0.998f);
    PhBall_SetMotion(b, MT_EVE, b.position, FV3(1, 0, 0), 0, 0);
    EXPECT_FLOAT_EQ(b.velocity.x, 0.998f);
    b.spin = FV3(1, 1, 1);
    b.acceleration = FV3(0, -4.5f, 0);
    PhBall_SetMotion(b, MT_ALL, b.position, FV3(1, 0, 0), 0, 0);
    EXPECT_EQ(b.velocity.Length(), 0.0);
    EXPECT_EQ(b.spin.Length(), 0.0);
    EXPECT_EQ(b.acceleration.Length(), 0.0);
    // Settling clips a velocity into the flat support.
    PhBall_SetMotion(b, MT_EVE, FV3(0.5f, 0.5f, 0.5f), FV3(1, -1, 0), 0, 1);
    EXPECT_FLOAT_EQ(b.position.y, 0.35f);
    EXPECT_EQ(b.velocity.y, 0.0f);
    EXPECT_EQ(b.moveStartVel.y, 0.0f);
}

TEST_F(World, BallDroppedOntoATile)
{
    struct Case {
        float speed, vy;
        int counter;
    };
    // Restitution 0.6 of iron times 0.5 for a level face; below 0.25 only 1 % of that.
    const Case cases[] = {{2.0f, 2.0f * 0.3f, 2}, {0.2f, 0.2f * 0.3f * 0.01f, 0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.speed);
        TrElem *tile = add(0, 1, 0, TY_T_SIMA);
        TrElem *ball = add(0, 3, 0, TY_G_FEM);
        Phys_Build(field);
        PhysCounters = {};
        PhBall &b = *obj<PhBall>(ball);
        PhElem &t = *tile->physObject;
        // Falling from 0.9 + 0.05 speed: touches the top (0.55 + r) at 0.05 / speed.
        const float hit = 0.05f / c.speed;
        moving(b, FV3(0.5f, 0.95f, 0.5f), FV3(0, -c.speed, 0), 2 * hit, MT_SZE);
        FV3 cv;
        int code = 0;
        ASSERT_EQ(t.Contact(b, &cv, &code, 0.001f), 1);
        EXPECT_EQ(t.Respond(b, cv, code, hit), 0);
        EXPECT_EQ(b.impactTime, hit);
        EXPECT_NEAR(b.velocity.y, c.vy, 1e-6);
        EXPECT_NEAR(b.position.y, 0.9f, 1e-6);
        EXPECT_EQ(b.support, &t);
        EXPECT_EQ(b.motion, MT_SZE);
        EXPECT_EQ(PhysCounters.fem, c.counter);
        EXPECT_EQ(b.cellY, 1);
        Phys_Free();
        Palya_Free(field);
        field = Palya_NewEmpty();
    }
}

TEST_F(World, BallIntoTheFieldWall)
{
    floor(3, 1);
    TrElem *ball = add(2, 1, 0, TY_G_FEM, 3);
    TrElem *bomb = add(1, 1, 0, TY_G_BOMBA, 3);
    Phys_Build(field);
    PhBall &b = *obj<PhBall>(ball);

    // Centre from 2.5 at 1.5 per second: 0.35 from the wall x = 3 at 0.1.
    moving(b, FV3(2.5f, 0.35f, 0.5f), FV3(1.5f, 0, 0), 0.2f, MT_EVE);
    EXPECT_EQ(PhBall_TraceAndHit(b, 8, FV3(0.2f, 0, 0), 0.2f), 1);
    ASSERT_EQ(marks().traces.size(), 1u);
    EXPECT_FLOAT_EQ(marks().traces[0].x, 0.3f);
    EXPECT_FLOAT_EQ(marks().traces[0].y, 0.035f);
    EXPECT_NEAR(b.impactTime, 0.1f, 1e-6);
    EXPECT_NEAR(b.velocity.x, -0.9f, 1e-6);  // iron 0.6 times the wall's 1.0
    EXPECT_LE(b.position.x, 3.0f - b.radius);
    EXPECT_GE(b.position.x, 2.4f);
    EXPECT_FLOAT_EQ(b.position.y, 0.35f);
    EXPECT_EQ(PhysCounters.fem, 2);

    // A root the solver rejects is no time of impact: the end of the step is.
    for (int state : {MT_EVE, MT_SZE, MT_ALL, MT_LEGORDUL}) {
        SCOPED_TRACE(state);
        moving(b, FV3(2.5f, 0.35f, 0.5f), FV3(0.01f, 0, 0), 0.2f, state);
        PhBall_BoundaryBounce(b, FV3(0.2f, 0, 0), 0.2f);
        EXPECT_EQ(b.impactTime, 0.2f);
        EXPECT_GT(b.position.x, 2.4f);
        EXPECT_LT(b.position.x, 2.6f);
    }

    // A bomb hitting the wall hard explodes and leaves no trace mark.
    PhBall &m = *obj<PhBall>(bomb);
    moving(m, FV3(2.5f, 0.35f, 0.5f), FV3(1.5f, 0, 0), 0.2f, MT_EVE);
    marks().traces.clear();
    PhBall_TraceAndHit(m, 8, FV3(0.2f, 0, 0), 0.2f);
    EXPECT_EQ(m.finishCode, FIN_DESTROYED);
    EXPECT_NE(bomb->io->flags & EF_DESTROYED, 0u);
    EXPECT_TRUE(marks().traces.empty());
}

TEST_F(World, SinkSequence)
{
    TrElem *goal = add(1, 0, 1, TY_T_CEL);
    TrElem *ball = add(1, 1, 1, TY_G_FEM);
    TrElem *off = add(0, 1, 0, TY_G_GUMI);
    Phys_Build(field);
    PhBall &b = *obj<PhBall>(ball);
    auto *g = obj<PhGoal>(goal);
    goal->shadowReceivers[0] = off;
    PhBall_EnterGoal(b, g);

    const float r = b.radius;
    float y = b.position.y;
    ASSERT_EQ(PhBall_Sink(b), 0);
    EXPECT_NEAR(b.position.y, y - 2 * r / 20, 1e-6);  // centred: straight down
    EXPECT_EQ(b.position.x, 1.5f);
    EXPECT_EQ(b.sinkStepsLeft, 19);
    y = b.position.y;
    ASSERT_EQ(PhBall_Sink(b), 0);
    EXPECT_NEAR(b.position.y, y - 2 * r / 19, 1e-6);
    EXPECT_NEAR(b.velocity.y, -2 * r / 19, 1e-6);
    EXPECT_EQ(goal->shadowReceivers[0], off);
    int calls = 2;
    while (b.position.y > 0 && calls < 20) {
        ASSERT_EQ(PhBall_Sink(b), 0);
        calls++;
    }
    EXPECT_EQ(goal->shadowReceivers[0], nullptr);  // cleared once the centre is below the goal's top

    // The goal goes away mid-sink: the ball finishes on the goal kept from its entry.
    destroy(g);
    EXPECT_EQ(b.goal, nullptr);
    int done = 0;
    while (!done && calls < 20) {
        done = PhBall_Sink(b);
        calls++;
    }
    EXPECT_EQ(done, 1);
    EXPECT_LT(b.position.y + r, 0.0f);

    // An off-centre ball below the rim slides towards the centre first; the count never goes below 0.
    PhBall &o = *obj<PhBall>(off);
    o.position = FV3(1.2f, 0.35f, 1.5f);
    o.sinking = true;
    o.goalLow = FV3(1, -0.55f, 1);
    o.goalHigh = FV3(2, 0, 2);
    o.goalCentre = FV3(1.5f, -0.275f, 1.5f);
    PhBall_Sink(o);
    const float oy = o.position.y, ox = o.position.x;
    PhBall_Sink(o);
    EXPECT_EQ(o.position.y, oy);
    EXPECT_GT(o.position.x, ox);
    for (int i = 0; i < 40; i++) {
        const float before = o.position.y;
        PhBall_Sink(o);
        EXPECT_GE(o.sinkStepsLeft, 0);
        EXPECT_LE(o.position.y, before);
    }
    EXPECT_LT(o.position.y, -1.0f);
}

TEST_F(World, BallsTouchOnlyWhenClosingIn)
{
    TrElem *ea = add(0, 1, 0, TY_G_FEM);
    TrElem *eb = add(1, 1, 0, TY_G_GUMI);
    Phys_Build(field);
    PhBall &a = *obj<PhBall>(ea), &b = *obj<PhBall>(eb);
    const float reach = 0.9f * (a.radius + b.radius);
    struct Case {
        float gap, move;
        int contact;
    };
    const Case cases[] = {{reach, -0.1f, 1}, {reach, 0.1f, 0}, {reach * 1.001f, -0.1f, 0}, {0.2f, -0.1f, 1}};
    for (const Case &c : cases) {
        a.position = a.prevPosition = FV3(0, 0.35f, 0.5f);
        b.position = FV3(c.gap, 0.35f, 0.5f);
        b.prevPosition = b.position - FV3(c.move, 0, 0);
        FV3 cv;
        int code = 0;
        EXPECT_EQ(a.Contact(b, &cv, &code, 0), c.contact) << c.gap << " " << c.move;
        if (c.contact) {
            EXPECT_FLOAT_EQ(cv.x, c.gap);
        }
    }
}

TEST_F(World, ImpactCountersByKind)
{
    TrElem *ground = add(0, 0, 0, TY_T_SIMA);
    TrElem *tile = add(1, 1, 0, TY_T_SIMA);
    TrElem *e[4];
    for (int k = 0; k < 4; k++)
        e[k] = add(k, 2, 1, k);
    Phys_Build(field);
    PhBall *ball[4];
    for (int k = 0; k < 4; k++)
        ball[k] = obj<PhBall>(e[k]);
    struct Case {
        const char *what;
        int kind, other;
        PhElem *piece;
        FV3 dv;
        int uveg, bomba, gumi, fem;
    };
    const Case cases[] = {
        {"plastic hits iron", 1, 0, nullptr, FV3(1, 0, 0), 0, 0, 0, 2},
        {"plastic hits plastic softly", 1, 1, nullptr, FV3(0.3f, 0, 0), 0, 0, 1, 0},
        {"pair below 0.2", 1, 1, nullptr, FV3(0.15f, 0, 0), 0, 0, 0, 0},
        {"iron hits glass", 0, 3, nullptr, FV3(0.5f, 0, 0), 1, 0, 0, 0},
        {"bomb on a tile", 2, -1, tile->physObject, FV3(0, 0.8f, 0), 0, 2, 0, 0},
        {"glass on a tile, slow", 3, -1, tile->physObject, FV3(0, 0.5f, 0), 0, 0, 0, 0},
        {"iron on the ground", 0, -1, ground->physObject, FV3(0, -0.7f, 0), 0, 0, 0, 1},
        {"iron on the ground, hard", 0, -1, ground->physObject, FV3(0, -1.3f, 0), 0, 0, 0, 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        PhysCounters = {};
        PhBall_RecordImpact(*ball[c.kind], c.other >= 0 ? ball[c.other] : nullptr, c.piece, c.dv);
        EXPECT_EQ(PhysCounters.uveg, c.uveg);
        EXPECT_EQ(PhysCounters.bomba, c.bomba);
        EXPECT_EQ(PhysCounters.gumi, c.gumi);
        EXPECT_EQ(PhysCounters.fem, c.fem);
    }
    // A counter keeps the strongest impact of the step.
    PhysCounters = {};
    PhBall_ImpactSound(*ball[0], tile->physObject, FV3(1, 0, 0));
    PhBall_ImpactSound(*ball[0], tile->physObject, FV3(0.6f, 0, 0));
    EXPECT_EQ(PhysCounters.fem, 2);
}

TEST_F(World, PlacementOnSupports)
{
    TrElem *tile = add(2, 1, 0, TY_T_SIMA);
    TrElem *slope = add(0, 1, 0, TY_T_LEJTO, 0);  // rises towards +x
    TrElem *ball = add(1, 3, 0, TY_G_FEM);
    Phys_Build(field);
    PhBall &b = *obj<PhBall>(ball);
    PhElem *s = slope->physObject, *t = tile->physObject;
    const float r = b.radius;

    // On the ramp: the centre ends r from the surface y = 0.55 x.
    FV3 p(0.5f, 2.0f, 0.5f);
    ASSERT_EQ(Env_PlaceOnSupport(b, s, p, 0, 0), 1);
    EXPECT_NEAR((p.y - 0.55f * p.x) / sqrt(1 + 0.55 * 0.55), r, 1e-5);
    // Past the crest: resting on the edge.
    p = FV3(1.1f, 2.0f, 0.5f);
    ASSERT_EQ(Env_PlaceOnSupport(b, s, p, 0, 1), 1);
    EXPECT_NEAR(p.y, sqrt(r * r - 0.01) + 0.55, 1e-5);
    // Hanging over the foot without force: not applicable, nothing moves.
    p = FV3(-0.2f, 2.0f, 0.5f);
    EXPECT_EQ(Env_PlaceOnSupport(b, s, p, 0, 0), 0);
    EXPECT_EQ(p.y, 2.0f);
    // Flat: the floor of the ball's layer plus r, and the vertical velocity cleared on request.
    p = FV3(2.5f, 0.7f, 0.5f);
    b.velocity = FV3(1, -1, 0);
    EXPECT_EQ(Env_PlaceOnSupport(b, t, p, 1, 0), 1);
    EXPECT_FLOAT_EQ(p.y, 0.55f + r);
    EXPECT_EQ(b.velocity.y, 0.0f);
    EXPECT_EQ(Env_PlaceOnSupport(b, nullptr, p, 0, 0), 0);
    // Into the slope's plane with the speed kept.
    b.velocity = FV3(-1, -1, 0);
    Env_PlaceOnSupport(b, s, p, 1, 1);
    EXPECT_NEAR(b.velocity.Dot(s->up), 0, 1e-6);
    EXPECT_NEAR(b.velocity.Length(), sqrt(2.0), 1e-5);

    // Clipping to the support.
    FV3 w(1, -1, 0);
    b.support = t;
    PhBall_ClipToSupport(b, w);
    EXPECT_EQ(w.y, 0.0f);
    b.support = s;
    w = FV3(0, -1, 0);
    PhBall_ClipToSupport(b, w);
    EXPECT_NEAR(w.Dot(s->up), 0, 1e-6);
    w = FV3(0, 1, 0);
    PhBall_ClipToSupport(b, w);
    EXPECT_EQ(w.y, 1.0f);
    b.support = nullptr;
}

}  // namespace
