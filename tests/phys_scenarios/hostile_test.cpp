// Runs that go wrong on purpose: pieces and balls deleted between steps, balls thrown to huge or
// undefined places and speeds, a field packed with balls, fields with no room, and steps after
// everything is gone. Under the sanitizers none may read freed memory or overflow.
#include <math.h>

#include <limits>
#include <vector>

#include "busyfield.h"
#include "terrow/phys/phrun.h"
#include "terrow/phys/phstep.h"
#include "worldtest.h"

namespace {

class Hostile : public wtest::World {
protected:
    void use(TrPalya *f)
    {
        Palya_Free(field);
        field = f;
    }
    void steps(int from, int n)
    {
        for (int k = from; k < from + n; k++)
            Phys_Step(field, k * PH_STEP_MS);
    }
};

TEST_F(Hostile, DeletingPiecesAndBallsBetweenSteps)
{
    for (uint64_t seed = 1; seed <= 3; seed++) {
        use(busyfield::mixed(seed, 8, 20));
        Phys_Build(field);
        for (int round = 0; round < 40 && PhysWorld.objects != nullptr; round++) {
            steps(round * 5, 5);
            // Every third object, balls and pieces alike.
            std::vector<PhElem *> doomed;
            int k = 0;
            for (PhElem *o = PhysWorld.objects; o != nullptr; o = o->nextObject)
                if (k++ % 3 == round % 3 && o->finishCode == 0)
                    doomed.push_back(o);
            for (PhElem *o : doomed)
                destroy(o);
        }
        while (PhysWorld.objects != nullptr)
            destroy(PhysWorld.objects);
        EXPECT_EQ(Phys_Step(field, 10000), 1);
        EXPECT_EQ(Phys_Step(field, 10025), 1);
        Phys_Free();
    }
}

TEST_F(Hostile, WildPlacesAndSpeeds)
{
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    const FV3 places[] = {FV3(nan, 0.35f, 0.5f), FV3(0.5f, nan, 0.5f), FV3(inf, 0.35f, -inf),
                          FV3(3e9f, 0.35f, -3e9f), FV3(-1e30f, 1e30f, 2.5f), FV3(2.5f, -5.0f, 2.5f)};
    const FV3 speeds[] = {FV3(0, 0, 0), FV3(nan, 0, 0), FV3(1e30f, -1e30f, 1e30f), FV3(inf, 0, -inf),
                          FV3(0, -40.0f, 0)};
    for (const FV3 &p : places)
        for (const FV3 &v : speeds) {
            use(busyfield::mixed(5, 6, 6));
            Phys_Build(field);
            steps(0, 2);
            for (PhBall *b = PhysWorld.balls; b != nullptr; b = b->nextBall) {
                b->velocity = v;
                PhBall_Sync(*b, p);
            }
            steps(2, 30);
            Phys_Free();
        }
}

// A caller setting one ball's radius to a wild value between steps, the others rolling on.
TEST_F(Hostile, WildRadii)
{
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    for (float r : {3e38f, 1e37f, inf, nan, -0.3f, 0.0f, 1e-40f}) {
        use(busyfield::mixed(5, 6, 6));
        Phys_Build(field);
        steps(0, 2);
        PhysWorld.balls->radius = r;
        steps(2, 30);
        Phys_Free();
    }
}

TEST_F(Hostile, FieldPackedWithBalls)
{
    // Every cell of three layers holds a ball, over a floor with a magnet, a goal and a slope.
    for (int32_t z = 0; z < 6; z++)
        for (int32_t x = 0; x < 6; x++)
            add(x, 0, z, (x + z) % 5 == 0 ? TY_T_MAGNES : (x * z) % 7 == 3 ? TY_T_CEL : TY_T_SIMA);
    add(2, 1, 2, TY_T_LEJTO, 1);
    for (int32_t y = 1; y <= 3; y++)
        for (int32_t z = 0; z < 6; z++)
            for (int32_t x = 0; x < 6; x++)
                add(x, y, z, TY_G_FEM + (x + y + z) % 4, (x + z) % 5);
    Phys_Build(field);
    int k = 0;
    while (k < 2000 && Phys_Step(field, k * PH_STEP_MS) == 0)
        k++;
    for (PhBall *b = PhysWorld.balls; b != nullptr; b = b->nextBall)
        EXPECT_TRUE(std::isfinite(b->position.x) && std::isfinite(b->position.y) && std::isfinite(b->position.z));
}

TEST_F(Hostile, BallsAmongStackedCorners)
{
    // Columns of corners of one orientation (the response hands a ball over between them) with
    // balls dropped and rolled in from every side.
    floor(5, 5);
    for (int32_t o = 0; o < 4; o++)
        for (int32_t y = 1; y <= 3; y++)
            add(1 + (o & 1) * 2, y, 1 + (o >> 1) * 2, TY_T_SAROK, o);
    int placed = 0;
    for (int32_t z = 0; z < 5; z++)
        for (int32_t x = 0; x < 5; x++)
            if ((x + z) % 2 == 0)
                add(x, 4 + (x + z) % 3, z, TY_G_FEM + placed % 4, placed++ % 5);
    Phys_Build(field);
    steps(0, 1500);
}

TEST_F(Hostile, FieldsWithoutRoom)
{
    // A ball alone (no floor), a ball below the field's floor, and nothing at all.
    add(0, 1, 0, TY_G_GUMI, 3);
    Phys_Build(field);
    steps(0, 200);
    Phys_Free();
    use(Palya_NewEmpty());
    add(0, -1, 0, TY_G_FEM, 3);
    Phys_Build(field);
    steps(0, 200);
    Phys_Free();
    use(Palya_NewEmpty());
    Phys_Build(field);
    EXPECT_EQ(Phys_Step(field, 0), 1);
}

}  // namespace
