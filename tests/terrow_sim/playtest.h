// Shared by the tests of the current field, the catalogue and the run: hooks that record what the
// game would show and play, a field made from a text description, and the clean state between tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <brondel/bractor.h>

#include "fieldtext.h"
#include "terrow/phys/phmsg.h"
#include "terrow/phys/phrun.h"
#include "terrow/phys/phworld.h"
#include "terrow/trfield.h"
#include "terrow/trmsg.h"
#include "terrow/trplay.h"
#include "vokplat/clock.h"

namespace playtest {

struct Record {
    std::vector<int> sounds;
    std::vector<std::string> texts;
    std::vector<int> keys;
    std::vector<std::string> boxes;
    float markerShift = 0;
    int frames = 0;
    std::vector<int> startButton;  // enabled, ms
    int victories = 0;
    int shardSteps = 0;
    int shardsLeft = 0;  // steps before a shard set reports its end
    int shardsFreed = 0;
};

inline Record &rec()
{
    static Record r;
    return r;
}

inline int box(const char *text, unsigned)
{
    rec().boxes.push_back(text);
    return 1;
}

inline TrPlayHooks recording_hooks()
{
    TrPlayHooks h{};
    h.sound = [](int id) { rec().sounds.push_back(id); };
    h.status = [](const char *text, int32_t) { rec().texts.push_back(text); };
    h.postKey = [](int32_t key) { rec().keys.push_back(key); };
    h.markerMaterialShift = [](float d) { rec().markerShift += d; };
    h.drawFrame = [] { rec().frames++; };
    h.startButton = [](int enabled, int32_t ms) {
        rec().startButton = {enabled, ms};
    };
    h.victory = [] { rec().victories++; };
    return h;
}

// Every element gets a main actor (a plain node), as the looks would give it.
inline void actor_look(TrElem *e)
{
    if (e->actor == nullptr)
        e->actor = BrActorAllocate(BR_ACTOR_MODEL, nullptr);
}

class Play : public ::testing::Test {
protected:
    br_actor *opaque = nullptr, *translucent = nullptr;

    void SetUp() override
    {
        PlatSetVirtualClock(TRUE);
        rec() = Record{};
        TrSetBoxHook(box);
        static PhReporter quiet{[](const char *, const char *, unsigned) { return 1; }, [](int) {}};
        Phys_SetReporter(&quiet);
        TrPlayHooks h = recording_hooks();
        h.lookMake = actor_look;
        TrSetPlayHooks(&h);
        *TrPlayModeGet() = TrPlayMode{1, 0, 0, 0, 0, nullptr, {nullptr, nullptr}};
        *TrSimGet() = TrSimState{};
        TrSimGet()->paused = 1;
        opaque = BrActorAllocate(BR_ACTOR_NONE, nullptr);
        translucent = BrActorAllocate(BR_ACTOR_NONE, nullptr);
    }

    void TearDown() override
    {
        if (TrSimGet()->runActive)
            TrRunKeyStop();
        Palya_Release();
        TrActionFreeAll();
        TrActionDisable(0);
        TrCatalogueFree();
        BrActorFree(opaque);
        BrActorFree(translucent);
        TrSetPlayHooks(nullptr);
        TrSetBoxHook(nullptr);
    }

    // Makes the description current in the given mode (1 game, 0 editor).
    TrPalya *load(const std::string &text, int game = 0)
    {
        std::string error;
        TrPalya *f = trtext::parse(text, error);
        EXPECT_NE(f, nullptr) << error;
        TrPlayModeGet()->game = game;
        Palya_Install(f, opaque, translucent, nullptr);
        return Palya_Current();
    }

    static TrElem *at(int x, int y, int z) { return Palya_FindCell(Palya_Current(), x, y, z); }
};

}  // namespace playtest
