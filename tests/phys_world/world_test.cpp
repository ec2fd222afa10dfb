// Building the world from a field and freeing it: objects and their lists, the level grid, the queries
// and the log of a traced ball.
#include <stdio.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "worldtest.h"

namespace {

using wtest::World;
using phtest::boxes;

int count_objects()
{
    int n = 0;
    for (PhElem *o = PhysWorld.objects; o != nullptr; o = o->nextObject)
        n++;
    return n;
}

TEST_F(World, EmptyFieldBuildsEmptyWorld)
{
    EXPECT_EQ(Phys_Build(field), 1);
    EXPECT_EQ(PhysWorld.objects, nullptr);
    EXPECT_EQ(PhysWorld.balls, nullptr);
    EXPECT_EQ(PhysWorld.expectedEnergy, 0.0f);
    EXPECT_EQ(PhysWorld.log, nullptr);
    EXPECT_EQ(Grid_Cell(0, -1, 0), nullptr);
    EXPECT_TRUE(boxes().empty());
}

TEST_F(World, ObjectsByTypeListsInReverseOrderAndGrid)
{
    TrElem *ground = add(0, 0, 0, TY_T_SIMA);
    TrElem *raised = add(1, 1, 0, TY_T_SIMA);
    TrElem *starter = add(2, 0, 0, TY_T_INDITO);
    TrElem *slope = add(0, 1, 1, TY_T_LEJTO, 2);
    TrElem *corner = add(1, 1, 1, TY_T_SAROK, 1);
    TrElem *magnet = add(2, 1, 1, TY_T_MAGNES);
    TrElem *spiked = add(0, 0, 2, TY_T_SZOGES);
    TrElem *goal = add(1, 0, 2, TY_T_CEL);
    TrElem *ball = add(2, 1, 2, TY_G_GUMI, 1);
    TrElem *bad = add(2, 2, 2, 7);
    Phys_Build(field);

    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, std::string(PHMSG_ILLEGAL_TYPE) + "    7 ");
    EXPECT_EQ(bad->physObject, nullptr);
    EXPECT_EQ(count_objects(), 9);

    struct Row {
        TrElem *e;
        PhClass cls;
        int32_t type;
    };
    const Row rows[] = {{ground, PHC_GROUND, TY_T_TALAJ}, {raised, PHC_TILE, TY_T_SIMA},
                        {starter, PHC_GROUND, TY_T_TALAJ}, {slope, PHC_SLOPE, TY_T_LEJTO},
                        {corner, PHC_CORNER, TY_T_SAROK},  {magnet, PHC_MAGNET, TY_T_MAGNES},
                        {spiked, PHC_SPIKED, TY_T_SZOGES}, {goal, PHC_GOAL, TY_T_CEL},
                        {ball, PHC_BALL, TY_G_GUMI}};
    EXPECT_EQ(ground->io->type, TY_T_SIMA);  // the field keeps its own type
    for (const Row &r : rows) {
        SCOPED_TRACE(r.type);
        ASSERT_NE(r.e->physObject, nullptr);
        EXPECT_EQ(r.e->physObject->element, r.e);
        EXPECT_EQ(r.e->physObject->cls, r.cls);
        EXPECT_EQ(r.e->physObject->type, r.type);
    }
    // Every list runs from the last element built back to the first.
    EXPECT_EQ(PhysWorld.objects, ball->physObject);
    EXPECT_EQ(PhysWorld.objects->nextObject, goal->physObject);
    EXPECT_EQ(static_cast<PhElem *>(PhysWorld.balls), ball->physObject);
    EXPECT_EQ(static_cast<PhElem *>(PhysWorld.slopes), slope->physObject);
    EXPECT_EQ(static_cast<PhElem *>(PhysWorld.goals), goal->physObject);
    EXPECT_EQ(static_cast<PhElem *>(PhysWorld.magnets), magnet->physObject);
    EXPECT_EQ(PhysWorld.gridTiles, goal->physObject);
    int fixed = 0;
    for (PhElem *o = PhysWorld.gridTiles; o != nullptr; o = o->nextFixed)
        fixed++;
    EXPECT_EQ(fixed, 8);

    // Grid: 3 x 3 x 3, slot (x, gy, z) at (gy + 1) * 9 + z * 3 + x.
    EXPECT_EQ(PhysWorld.layerStride, 9);
    EXPECT_EQ(Grid_Cell(0, -1, 0), &PhysWorld.cells[0]);
    EXPECT_EQ(Grid_Cell(2, 0, 1), &PhysWorld.cells[9 + 3 + 2]);
    EXPECT_EQ(*Grid_Cell(1, 0, 0), raised);
    EXPECT_EQ(*Grid_Cell(1, -1, 2), goal);
    EXPECT_EQ(*Grid_Cell(2, 0, 2), nullptr);  // balls are not in the grid
    const int outside[][3] = {{-1, 0, 0}, {3, 0, 0}, {0, -2, 0}, {0, 2, 0}, {0, 0, 3}, {0, 0, -1}};
    for (const auto &c : outside)
        EXPECT_EQ(Grid_Cell(c[0], c[1], c[2]), nullptr) << c[0] << "," << c[1] << "," << c[2];

    // The field box and the element boxes.
    EXPECT_EQ(field->fieldBox[1], 3.0f);
    EXPECT_EQ(field->fieldBox[4], 3.0f);
    EXPECT_FLOAT_EQ(raised->box[2], 1.1920929e-7f);
    EXPECT_FLOAT_EQ(raised->box[3], 0.55f);
    EXPECT_FLOAT_EQ(raised->box[1], 2.0f);
    // A corner's object has the block's box, its element the cell's.
    PhElem *co = corner->physObject;
    EXPECT_FLOAT_EQ(corner->box[1], 2.0f);
    EXPECT_LT(co->boxHigh.x - co->boxLow.x, 0.51f);
    EXPECT_EQ(co->Orientation(), 5);
    EXPECT_EQ(slope->physObject->Orientation(), 2);
    EXPECT_EQ(raised->physObject->Orientation(), -1);
    EXPECT_GT(slope->physObject->up.x, 0.0f);

    Phys_Free();
    EXPECT_EQ(PhysWorld.objects, nullptr);
    EXPECT_EQ(PhysWorld.balls, nullptr);
    EXPECT_EQ(PhysWorld.gridTiles, nullptr);
    EXPECT_EQ(PhysWorld.cells, nullptr);
    EXPECT_EQ(PhysWorld.sizeX, 0);
    for (TrElem *e : {ground, slope, ball})
        EXPECT_EQ(e->physObject, nullptr);  // no link to freed objects

    // The same field builds again.
    Phys_Build(field);
    EXPECT_EQ(count_objects(), 9);
}

TEST_F(World, GridNeverWrittenWithoutRoomOrOutside)
{
    // A piece below the floor lies outside the grid; the build must not store it.
    TrElem *below = add(0, -1, 0, TY_T_SIMA);
    TrElem *tile = add(1, 1, 0, TY_T_SIMA);
    Phys_Build(field);
    EXPECT_FALSE(below->physObject->inGrid);
    EXPECT_TRUE(tile->physObject->inGrid);
    destroy(below->physObject);
    EXPECT_EQ(*Grid_Cell(1, 0, 0), tile);
    Phys_Free();

    // No room for the grid: one warning, pieces built without it, lookups yield none.
    boxes().clear();
    field->extentX = field->extentY = field->extentZ = 1 << 22;
    Phys_Build(field);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, PHMSG_NO_GRID_MEMORY);
    EXPECT_EQ(PhysWorld.sizeX, 0);
    EXPECT_EQ(Grid_Cell(1, 0, 0), nullptr);
    ASSERT_NE(tile->physObject, nullptr);
    EXPECT_FALSE(tile->physObject->inGrid);
    destroy(tile->physObject);
}

TEST_F(World, CellAndPointQueries)
{
    TrElem *ground = add(0, 0, 0, TY_T_SIMA);
    TrElem *corner = add(0, 1, 0, TY_T_SAROK, 0);
    TrElem *slope = add(1, 1, 0, TY_T_LEJTO, 0);
    TrElem *ground2 = add(1, 0, 0, TY_T_SIMA);
    TrElem *ball = add(0, 2, 0, TY_G_FEM);
    Phys_Build(field);

    EXPECT_EQ(Phys_ElemAtCell(0, -1, 0, nullptr), ground);
    EXPECT_EQ(Phys_ElemAtCell(0, 1, 0, nullptr), nullptr);  // balls are never found
    EXPECT_EQ(Phys_ElemAtCell(1, 0, 0, nullptr), slope);
    EXPECT_EQ(Phys_ElemAtCell(1, 0, 0, slope->physObject), nullptr);
    // Down a column: corners are passed over, slopes returned, the excluded object skipped.
    EXPECT_EQ(Phys_SupportBelow(0, 1, 0, nullptr), ground);
    EXPECT_EQ(Phys_SupportBelow(1, 1, 0, nullptr), slope);
    EXPECT_EQ(Phys_SupportBelow(1, 1, 0, slope->physObject), ground2);
    EXPECT_EQ(Phys_SupportBelow(0, -2, 0, nullptr), nullptr);
    (void)corner;

    // A point exactly on a box face is found; a ramp is found only inside its solid.
    EXPECT_EQ(Phys_ElemAtPoint(field, 0.5f, 0.0f, 0.5f, nullptr), ground);
    EXPECT_EQ(Phys_ElemAtPoint(field, 1.0f, -0.3f, 0.5f, nullptr), ground2);  // shared face: the later one first
    EXPECT_EQ(Phys_ElemAtPoint(field, 1.95f, 0.05f, 0.5f, nullptr), slope);   // foot of the uphill wall
    EXPECT_EQ(Phys_ElemAtPoint(field, 1.05f, 0.5f, 0.5f, nullptr), nullptr);  // above the ramp
    EXPECT_EQ(Phys_SlopeAtPoint(FV3(1.95f, 0.05f, 0.5f)), slope);
    EXPECT_EQ(Phys_SlopeAtPoint(FV3(1.05f, 0.5f, 0.5f)), nullptr);
    EXPECT_EQ(Phys_ObjAtPoint(field, FV3(0.5f, 0.9f, 0.5f), nullptr), nullptr);  // the ball is not an obstacle
    EXPECT_EQ(Phys_ObjAtPoint(field, FV3(1.5f, -0.3f, 0.5f), nullptr), ground2->physObject);
    (void)ball;
}

TEST_F(World, OutOfFieldBits)
{
    add(2, 0, 1, TY_T_SIMA);  // a 3 x 2 field
    Phys_Build(field);
    struct Case {
        FV3 p;
        uint32_t bits;
        FV3 excess;
    };
    const Case cases[] = {
        {FV3(3.0f, 0, 2.0f), 0, FV3(0, 0, 0)},
        {FV3(0, 0, 0), 0, FV3(0, 0, 0)},
        {FV3(3.0001f, 1, 1), 8, FV3(3.0001f - 3.0f, 0, 0)},
        {FV3(3.5f, 1, -0.5f), 1 | 8, FV3(0.5f, 0, -0.5f)},
        {FV3(-0.25f, -0.1f, 2.5f), 2 | 4 | 16, FV3(-0.25f, -0.1f, 0.5f)},
        {FV3(1, 100, 1), 0, FV3(0, 0, 0)},  // no ceiling
    };
    for (const Case &c : cases) {
        FV3 e(9, 9, 9);
        EXPECT_EQ(Phys_OutOfField(field, c.p, &e), c.bits) << c.p.x << "," << c.p.y << "," << c.p.z;
        EXPECT_FLOAT_EQ(e.x, c.excess.x);
        EXPECT_FLOAT_EQ(e.y, c.excess.y);
        EXPECT_FLOAT_EQ(e.z, c.excess.z);
    }
}

TEST_F(World, SupportsEnergyAndTracedBall)
{
    char dir[] = "/tmp/phys_world_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string log = std::string(dir) + "/Terrow.log";
    Phys_SetLogPath(log.c_str());

    TrElem *ground = add(0, 0, 0, TY_T_SIMA);
    TrElem *tile = add(1, 1, 0, TY_T_SIMA);
    TrElem *onGround = add(0, 1, 0, TY_G_FEM, 0, EF_SELECTED);
    TrElem *onTile = add(1, 2, 0, TY_G_UVEG, 3, EF_SELECTED);
    TrElem *floating = add(2, 3, 0, TY_G_GUMI);
    Phys_Build(field);

    EXPECT_EQ(obj<PhBall>(onGround)->support, ground->physObject);
    EXPECT_EQ(obj<PhBall>(onGround)->prevSupport, ground->physObject);
    EXPECT_EQ(obj<PhBall>(onTile)->support, tile->physObject);
    EXPECT_EQ(obj<PhBall>(floating)->support, nullptr);
    EXPECT_EQ(PhysWorld.tracedBall, onTile->physObject);  // the later of two

    // (g y + v^2 / 2) m per ball, g y in single precision.
    float expected = 0;
    for (TrElem *b : {onGround, onTile, floating}) {
        const PhBall &pb = *obj<PhBall>(b);
        const float gy = 4.5f * pb.position.y;
        const float e = (gy + 0.5f * 1.5f * 1.5f) * PhyParams.material[pb.type].mass;
        EXPECT_FLOAT_EQ(pb.energy, e);
        expected += e;
    }
    EXPECT_NEAR(PhysWorld.expectedEnergy, expected, 1e-5);

    ASSERT_NE(PhysWorld.log, nullptr);
    Phys_Free();
    FILE *f = fopen(log.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(fgetc(f), EOF);  // created empty
    fclose(f);
    unlink(log.c_str());
    rmdir(dir);
    Phys_SetLogPath(nullptr);
}

TEST_F(World, HostileFieldsBuildAndFreeCleanly)
{
    // Extents a real file never has, pieces outside them, and a crowd of balls: every cycle of build,
    // free and rebuild must leave no grid write outside the slots and no link into freed objects.
    struct Case {
        const char *what;
        int32_t ex, ey, ez;
        bool grid;
    };
    const Case cases[] = {
        {"zero-size field with pieces", 0, 0, 0, true},
        {"pieces beyond the extents", 1, 1, 1, true},
        {"layer too wide to index", 65536, 1, 32769, false},
        {"wide layers, no height", 65536, 0, 65536, false},
    };
    for (int i = 0; i < 40; i++)
        add(1, 1 + i % 4, 1, TY_G_FEM + i % 4);  // many balls sharing a column
    add(3, 1, -2, TY_T_SIMA);
    add(-5, 0, 7, TY_T_CEL);
    add(2, 2, 2, TY_T_MAGNES);
    add(0, 0, 0, TY_T_SIMA);
    for (const Case &c : cases) {
        for (int cycle = 0; cycle < 2; cycle++) {
            boxes().clear();
            field->extentX = c.ex;
            field->extentY = c.ey;
            field->extentZ = c.ez;
            Phys_Build(field);
            EXPECT_EQ(PhysWorld.cells != nullptr, c.grid) << c.what;
            EXPECT_EQ(boxes().size(), c.grid ? 0u : 1u) << c.what;
            int balls = 0;
            for (PhBall *b = PhysWorld.balls; b != nullptr; b = b->nextBall)
                balls++;
            EXPECT_EQ(balls, 40) << c.what;
            PhElem *magnet = field->elements[42]->physObject;
            ASSERT_NE(magnet, nullptr);
            destroy(magnet);
            destroy(PhysWorld.balls);
            Phys_Free();
            for (int32_t k = 0; k < field->count; k++)
                EXPECT_EQ(field->elements[k]->physObject, nullptr) << c.what;
        }
    }
}

TEST_F(World, PiecesBeyondFloatReachGetNoObject)
{
    const int32_t big = 2147483646, small = -2147483647 - 1;  // the field's own extents end at big + 1
    std::vector<TrElem *> far, near;
    for (int32_t type : {TY_T_SIMA, TY_T_CEL, TY_T_LEJTO, TY_T_SAROK, TY_T_SZOGES, TY_T_MAGNES, TY_G_FEM}) {
        far.push_back(add(big, big, big, type));
        far.push_back(add(small, small, small, type));
        far.push_back(add(1 << 30, 2, 0, type));
        near.push_back(add(1 << 20, 1 + type % 3, -(1 << 20), type));
    }
    field->extentX = field->extentY = field->extentZ = 2;
    for (int cycle = 0; cycle < 2; cycle++) {
        Phys_Build(field);
        for (TrElem *e : far)
            EXPECT_EQ(e->physObject, nullptr) << e->io->x << " type " << e->io->type;
        for (TrElem *e : near)
            EXPECT_NE(e->physObject, nullptr) << "type " << e->io->type;
        Phys_Free();
    }
}

}  // namespace
