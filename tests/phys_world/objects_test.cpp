// The event protocol (finish, destruction, links of other objects), the class bits and the ball model,
// and the contacts and responses of the fixed pieces.
#include <brondel/brmodel.h>

#include "worldtest.h"

namespace {

using wtest::moving;
using wtest::World;
using phtest::boxes;

int finished_count()
{
    int n = 0;
    for (PhElem *o = PhysWorld.finished; o != nullptr; o = o->nextFinished)
        n++;
    return n;
}

bool on_balls(const PhBall *b)
{
    for (PhBall *x = PhysWorld.balls; x != nullptr; x = x->nextBall)
        if (x == b)
            return true;
    return false;
}

TEST_F(World, FinishQueuesOnceAndCollectsBits)
{
    TrElem *tile = add(0, 1, 0, TY_T_SIMA);
    TrElem *ball = add(1, 1, 0, TY_G_FEM, 3);
    Phys_Build(field);
    PhElem *t = tile->physObject;
    EXPECT_EQ(PhElem_Finish(t, FIN_DESTROYED, EF_DESTROYED), FIN_DESTROYED);
    EXPECT_EQ(PhElem_Finish(t, FIN_DESTROYED, EF_HANDLED), FIN_DESTROYED);
    EXPECT_EQ(finished_count(), 1);
    EXPECT_EQ(t->finishCode, FIN_DESTROYED);
    EXPECT_EQ(tile->io->flags & (EF_DESTROYED | EF_HANDLED), EF_DESTROYED | EF_HANDLED);

    // A ball leaving the run takes its energy out of the expected energy.
    PhBall *b = obj<PhBall>(ball);
    const float before = PhysWorld.expectedEnergy;
    PhElem_Finish(b, FIN_SUNK, EF_SUNK);
    EXPECT_FLOAT_EQ(PhysWorld.expectedEnergy, before - PhBall_Energy(*b));
    EXPECT_EQ(finished_count(), 2);
    // A goal entry afterwards does not revive it.
    PhElem_Finish(b, FIN_ACTIVE, EF_ENTERED);
    EXPECT_EQ(b->finishCode, FIN_SUNK);
}

TEST_F(World, DeletedPiecesLeaveNoLinks)
{
    TrElem *tile = add(1, 1, 0, TY_T_SIMA);
    TrElem *ground = add(0, 0, 0, TY_T_SIMA);
    TrElem *onTile = add(1, 2, 0, TY_G_FEM);
    TrElem *other = add(0, 1, 0, TY_G_GUMI);
    Phys_Build(field);
    PhBall *a = obj<PhBall>(onTile), *o = obj<PhBall>(other);
    ASSERT_EQ(a->support, tile->physObject);
    o->neighbour = a;
    o->neighbourCount = 2;
    o->support = tile->physObject;  // the previous step's support of a ball rolling off

    destroy(tile->physObject);
    EXPECT_EQ(tile->physObject, nullptr);
    EXPECT_EQ(a->support, nullptr);
    EXPECT_EQ(a->prevSupport, nullptr);
    EXPECT_EQ(o->support, nullptr);
    EXPECT_EQ(*Grid_Cell(1, 0, 0), nullptr);
    EXPECT_EQ(finished_count(), 0);
    ASSERT_EQ(PhysWorld.removedCount, 1);
    EXPECT_EQ(PhysWorld.removed[0], tile);

    destroy(a);
    EXPECT_FALSE(on_balls(a));
    EXPECT_EQ(o->neighbour, nullptr);
    EXPECT_EQ(o->neighbourCount, 0);
    ASSERT_EQ(PhysWorld.removedCount, 2);
    EXPECT_EQ(PhysWorld.removed[1], onTile);
    EXPECT_EQ(obj<PhBall>(other)->support, nullptr);
    EXPECT_EQ(ground->physObject->finishCode, 0);
    // The remaining ball still walks its lists safely.
    EXPECT_EQ(Phys_Energy(), PhBall_Energy(*o));
}

TEST_F(World, ListsFollowTheClassNotTheFileBits)
{
    // A ball whose file says "fixed piece" and a tile whose file says "ball".
    TrElem *ball = add(0, 1, 0, TY_G_FEM, 0, EF_NOT_BALL);
    TrElem *tile = Elem_New(1, 1, 0, 0, TY_T_SIMA, EF_BALL);
    Palya_AddElem(field, tile);
    TrElem *none = Elem_New(2, 1, 0, 0, TY_T_SIMA, 0);
    Palya_AddElem(field, none);
    br_vertex v[2] = {};
    v[0].p.v[0] = 0.07f;
    br_model model{};
    model.vertices = v;
    model.nvertices = 2;
    wtest::marks().model = &model;
    Phys_Build(field);

    EXPECT_EQ(boxes().size(), 3u);
    for (const auto &b : boxes())
        EXPECT_EQ(b.text, PHMSG_NEITHER);
    PhBall *b = obj<PhBall>(ball);
    EXPECT_TRUE(on_balls(b));
    EXPECT_FALSE(b->inGrid);
    EXPECT_TRUE(tile->physObject->inGrid);
    EXPECT_TRUE(none->physObject->inGrid);
    EXPECT_EQ(wtest::marks().updates, 1);  // only the ball's model

    destroy(b);
    EXPECT_FALSE(on_balls(b));
    EXPECT_EQ(PhysWorld.balls, nullptr);
}

TEST_F(World, BallModelRescale)
{
    struct Case {
        float x;       // first vertex (x, 0, 0)
        int updates;
        float second;  // the second vertex's x afterwards (0.5 before)
    };
    // The last: a first vertex so short that the scale factor leaves the float range.
    const Case cases[] = {{0.07f, 1, 0.25f}, {0.035f, 0, 0.5f}, {0.0f, 0, 0.5f}, {1e-45f, 0, 0.5f}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.x);
        br_vertex v[2] = {};
        v[0].p.v[0] = c.x;
        v[1].p.v[0] = 0.5f;
        br_model model{};
        model.vertices = v;
        model.nvertices = 2;
        wtest::marks() = wtest::Marks{};
        wtest::marks().model = &model;
        TrElem *e = Elem_New(0, 1, 0, 0, TY_G_FEM, EF_BALL);
        auto *b = new PhBall(e, 0);
        EXPECT_EQ(wtest::marks().updates, c.updates);
        EXPECT_FLOAT_EQ(v[1].p.v[0], c.second);
        EXPECT_EQ((model.flags & 2) != 0, c.updates == 1);
        if (c.updates == 1) {
            EXPECT_EQ(wtest::marks().updateFlags, 0x7fff);
        }
        PhysWorld.tearingDown = true;
        delete b;
        PhysWorld.tearingDown = false;
        PhysWorld.objects = nullptr;
        PhysWorld.balls = nullptr;
        Elem_Free(e);
    }
}

TEST_F(World, MagnetAndSlopeReleaseTheirBalls)
{
    TrElem *magnet = add(0, 1, 0, TY_T_MAGNES);
    TrElem *slope = add(1, 1, 0, TY_T_LEJTO, 0);
    TrElem *tile = add(2, 1, 0, TY_T_SIMA);
    TrElem *b1 = add(2, 2, 0, TY_G_FEM);
    TrElem *b2 = add(1, 2, 0, TY_G_FEM);
    TrElem *b3 = add(1, 3, 0, TY_G_GUMI);
    Phys_Build(field);
    auto *m = obj<PhMagnet>(magnet);
    auto *s = obj<PhSlope>(slope);
    PhBall *held[2] = {obj<PhBall>(b1), obj<PhBall>(b2)};
    held[0]->support = tile->physObject;
    held[1]->support = s;
    for (PhBall *b : held) {
        b->magnet = m;
        b->attracted = 1;
        b->motion = MT_MAGN_ALL;
        PhList_Push(m->held, b, &PhBall::nextHeld);
    }
    destroy(m);
    EXPECT_EQ(PhysWorld.magnets, nullptr);
    EXPECT_EQ(held[0]->motion, MT_EVE);
    EXPECT_EQ(held[1]->motion, MT_EVEL);
    for (PhBall *b : held) {
        EXPECT_EQ(b->magnet, nullptr);
        EXPECT_EQ(b->attracted, 0u);
        EXPECT_EQ(b->nextHeld, nullptr);
    }

    // Two balls listed on a slope: neither stays linked to it.
    PhBall *on[2] = {held[1], obj<PhBall>(b3)};
    for (PhBall *b : on) {
        b->slope = s;
        b->support = s;
        PhList_Push(s->ballsOn, b, &PhBall::nextOnSlope);
    }
    destroy(s);
    EXPECT_EQ(PhysWorld.slopes, nullptr);
    for (PhBall *b : on) {
        EXPECT_EQ(b->slope, nullptr);
        EXPECT_EQ(b->support, nullptr);
        EXPECT_EQ(b->nextOnSlope, nullptr);
    }
    EXPECT_EQ(*Grid_Cell(1, 0, 0), nullptr);
    // A ball deleted later does not walk the freed slope's list.
    destroy(on[1]);
    EXPECT_EQ(PhysWorld.removedCount, 3);
}

TEST_F(World, TileAndGroundContacts)
{
    TrElem *tile = add(1, 1, 0, TY_T_SIMA);
    TrElem *ground = add(0, 0, 0, TY_T_SIMA);
    TrElem *ball = add(1, 2, 0, TY_G_FEM);
    Phys_Build(field);
    PhBall &b = *obj<PhBall>(ball);
    PhElem &t = *tile->physObject, &g = *ground->physObject;
    struct Case {
        const char *what;
        PhElem *piece;
        FV3 p, v;
        int contact;
    };
    const Case cases[] = {
        {"centre inside, still", &t, FV3(1.5f, 0.3f, 0.5f), FV3(0, 0, 0), 1},
        {"sunk into the top, falling", &t, FV3(1.5f, 0.85f, 0.5f), FV3(0, -1, 0), 1},
        {"sunk into the top, rising", &t, FV3(1.5f, 0.85f, 0.5f), FV3(0, 1, 0), 0},
        {"touching the top, falling", &t, FV3(1.5f, 0.9f, 0.5f), FV3(0, -1, 0), 1},
        {"touching the top, sideways", &t, FV3(1.5f, 0.9f, 0.5f), FV3(1, 0, 0), 0},
        {"over the edge, towards it", &t, FV3(2.2f, 0.75f, 0.5f), FV3(-1, -1, 0), 1},
        {"over the edge, away", &t, FV3(2.2f, 0.75f, 0.5f), FV3(1, 0, 0), 0},
        {"beyond the corner, away", &t, FV3(2.2f, 0.75f, 1.2f), FV3(1, 1, 1), 0},
        {"ground, resting", &g, FV3(0.5f, 0.35f, 0.5f), FV3(0, 0, 0), 0},
        {"ground, sinking in", &g, FV3(0.5f, 0.3f, 0.5f), FV3(0, -1, 0), 1},
        {"ground, other square", &g, FV3(1.0f, 0.3f, 0.5f), FV3(0, -1, 0), 0},
    };
    for (const Case &c : cases) {
        b.position = c.p;
        b.velocity = c.v;
        FV3 cv;
        int code = 0;
        EXPECT_EQ(c.piece->Contact(b, &cv, &code, 0.001f), c.contact) << c.what;
    }
    b.position = FV3(0.5f, 0.3f, 0.5f);
    b.velocity = FV3(0, -1, 0);
    FV3 cv;
    int code = 0;
    ASSERT_EQ(g.Contact(b, &cv, &code, 0.001f), 1);
    EXPECT_FLOAT_EQ(cv.y, -0.3f);
}

TEST_F(World, BombsSpikesAndGoalResponses)
{
    struct Case {
        const char *what;
        int32_t pieceType, pieceY, ballType;
        float speed;
        int result, ballCode, pieceCode;
    };
    const Case cases[] = {
        {"bomb on a raised tile", TY_T_SIMA, 1, TY_G_BOMBA, 1.0f, 1, FIN_DESTROYED, FIN_DESTROYED},
        {"bomb on the ground", TY_T_SIMA, 0, TY_G_BOMBA, 1.0f, 1, FIN_DESTROYED, 0},
        {"bomb at the impact speed", TY_T_SIMA, 1, TY_G_BOMBA, 0.25f, 0, 0, 0},
        {"bomb on a magnet", TY_T_MAGNES, 1, TY_G_BOMBA, 1.0f, 1, FIN_DESTROYED, FIN_DESTROYED},
        {"glass ball on spikes", TY_T_SZOGES, 1, TY_G_UVEG, 0.3f, 1, FIN_BROKEN, 0},
        {"iron ball on spikes", TY_T_SZOGES, 1, TY_G_FEM, 0.3f, 0, 0, 0},
        {"bomb on raised spikes", TY_T_SZOGES, 1, TY_G_BOMBA, 1.0f, 1, FIN_DESTROYED, FIN_DESTROYED},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TrElem *piece = add(0, c.pieceY, 0, c.pieceType);
        TrElem *ball = add(0, c.pieceY + 1, 0, c.ballType);
        Phys_Build(field);
        PhBall &b = *obj<PhBall>(ball);
        PhElem *p = piece->physObject;
        const float top = p->boxHigh.y;
        moving(b, FV3(0.5f, top + b.radius, 0.5f), FV3(0, -c.speed, 0), 0, MT_SZE);
        const uint32_t ballFlags = c.ballCode ? EF_DESTROYED : 0;
        EXPECT_EQ(p->Respond(b, FV3(0, -b.radius, 0), 0, 0), c.result);
        EXPECT_EQ(b.finishCode, c.ballCode);
        EXPECT_EQ(ball->io->flags & EF_DESTROYED, ballFlags);
        EXPECT_EQ(p->finishCode, c.pieceCode);
        if (c.result == 0) {
            EXPECT_GT(b.velocity.y, 0.0f);  // bounced
        }
        Phys_Free();
        Palya_Free(field);
        field = Palya_NewEmpty();
    }
}

TEST_F(World, GoalAcceptance)
{
    TrElem *goal = add(1, 0, 1, TY_T_CEL);
    TrElem *ball = add(1, 1, 1, TY_G_FEM);
    add(2, 0, 2, TY_T_SIMA);  // room around the goal
    Phys_Build(field);
    auto &g = *obj<PhGoal>(goal);
    PhBall &b = *obj<PhBall>(ball);
    struct Case {
        const char *what;
        FV3 p, v;
        int accepted;
    };
    const Case cases[] = {
        {"centred, falling", FV3(1.5f, 0.3f, 1.5f), FV3(0, -1, 0), 1},
        {"centred, rising", FV3(1.5f, 0.3f, 1.5f), FV3(0, 1, 0), 0},
        {"over the rim, steep", FV3(0.92f, -0.49f, 1.5f), FV3(1, -0.1f, 0), 1},
        {"over the rim, flat", FV3(0.92f, -0.53f, 1.5f), FV3(1, -0.1f, 0), 0},
        {"too far out", FV3(0.85f, 0.3f, 1.5f), FV3(1, -1, 0), 0},
        {"too high", FV3(1.5f, 0.95f, 1.5f), FV3(0, -1, 0), 0},
    };
    for (const Case &c : cases) {
        b.position = c.p;
        b.velocity = c.v;
        EXPECT_EQ(PhGoal_Accepts(g, b), c.accepted) << c.what;
    }

    // Entering through the response: the ball keeps its part and starts to sink.
    moving(b, FV3(1.5f, 0.35f, 1.5f), FV3(0, -1, 0), 0, MT_SZE);
    EXPECT_EQ(g.Respond(b, FV3(0, -0.35f, 0), 0, 0), 1);
    EXPECT_EQ(b.goal, &g);
    EXPECT_TRUE(b.sinking);
    EXPECT_EQ(b.finishCode, 0);
    EXPECT_EQ(finished_count(), 0);
    EXPECT_NE(ball->io->flags & EF_ENTERED, 0u);
}

TEST_F(World, GoalUnderAPieceRefuses)
{
    TrElem *goal = add(1, 0, 1, TY_T_CEL);
    add(1, 1, 1, TY_T_SIMA);
    TrElem *ball = add(0, 1, 0, TY_G_FEM);
    Phys_Build(field);
    PhBall &b = *obj<PhBall>(ball);
    b.position = FV3(1.5f, 0.3f, 1.5f);
    b.velocity = FV3(0, -1, 0);
    EXPECT_EQ(PhGoal_Accepts(*obj<PhGoal>(goal), b), 0);
}

}  // namespace
