// A field built in memory, the physics world made from it, and a host that records the 3D side.
#ifndef PHYS_WORLD_WORLDTEST_H
#define PHYS_WORLD_WORLDTEST_H

#include <vector>

#include "phtest.h"
#include "terrow/phys/phobj.h"

namespace wtest {

struct Marks {
    std::vector<FV3> traces;
    int updates = 0;
    uint16_t updateFlags = 0;
    br_model *model = nullptr;
};

inline Marks &marks()
{
    static Marks m;
    return m;
}

inline void record_trace(const float view[3]) { marks().traces.push_back(FV3(view[0], view[1], view[2])); }
inline br_model *test_model(TrElem *) { return marks().model; }
inline void record_update(br_model *, uint16_t flags)
{
    marks().updates++;
    marks().updateFlags = flags;
}

class World : public phtest::Recording {
protected:
    TrPalya *field = nullptr;

    void SetUp() override
    {
        Recording::SetUp();
        PhyParams = Phy_Defaults();
        Phy_Derive();
        PhysCounters = {};
        marks() = Marks{};
        PhHost h = Phys_Host();
        h.traceMark = record_trace;
        h.ballModel = test_model;
        h.modelUpdate = record_update;
        Phys_SetHost(&h);
        field = Palya_NewEmpty();
    }
    void TearDown() override
    {
        Phys_Free();
        Palya_Free(field);
        Phys_SetHost(nullptr);
        Recording::TearDown();
    }

    TrElem *add(int32_t x, int32_t y, int32_t z, int32_t type, int32_t dir = 0, uint32_t extra = 0)
    {
        TrElem *e = Elem_New(x, y, z, dir, type, Elem_ClassOf(type) | EF_LEVEL_PART | extra);
        Palya_AddElem(field, e);
        return e;
    }
    // A floor of ground tiles, sx by sz.
    void floor(int32_t sx, int32_t sz)
    {
        for (int32_t z = 0; z < sz; z++)
            for (int32_t x = 0; x < sx; x++)
                add(x, 0, z, TY_T_SIMA);
    }
    template <class T = PhElem>
    static T *obj(TrElem *e)
    {
        return static_cast<T *>(e->physObject);
    }
    // Finishes a piece and deletes it as the step does with finished objects.
    static void destroy(PhElem *o)
    {
        PhElem_Finish(o, FIN_DESTROYED, EF_DESTROYED);
        delete o;
    }
};

// A ball's integration segment: from `from` with velocity v over [0, now].
inline void moving(PhBall &b, const FV3 &from, const FV3 &v, float now, int state)
{
    b.motion = state;
    b.prevPosition = from;
    b.lastVelocity = v;
    b.acceleration = FV3(0, 0, 0);
    b.stepStartTime = 0;
    b.currentTime = now;
    b.position = from + v * now;
    b.velocity = v;
    b.UpdateCell();
}

}  // namespace wtest

#endif
