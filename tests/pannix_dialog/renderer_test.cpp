// Scenes that ask for a 3D renderer, begun inside one another with different pixel types.
#include <gtest/gtest.h>

#include "brondel/brpixmap.h"
#include "brondel/brv1db.h"
#include "pannix/pannix.h"

namespace {

TEST(SceneRenderer, EndOfOneSceneLeavesTheOtherItsRenderer)
{
    br_pixelmap *parent = PxAllocPix(BR_PMT_RGB_565, 32, 32, nullptr, 0);
    ASSERT_NE(parent, nullptr);
    // Scenes without cells: the start ends after the renderer is begun.
    auto start_bare = [parent](PXSCENE &s, int32_t bits) {
        s.width = 16;
        s.height = 16;
        s.bits = bits;
        return StartPannix(parent, 0, 0, &s, PXS_NOEXIT | PXS_RENDERER);
    };
    for (bool outer_ends_first : {false, true}) {
        SCOPED_TRACE(outer_ends_first);
        PXSCENE outer{}, inner{};
        ASSERT_EQ(start_bare(outer, 16), 1) << GetLastMsgError();
        ASSERT_NE(BrV1dbRendererQuery(), nullptr);
        ASSERT_EQ(start_bare(inner, 8), 1) << GetLastMsgError();  // another pixel type: begun anew
        EXPECT_NE(BrV1dbRendererQuery(), nullptr);
        KillPannix(outer_ends_first ? &outer : &inner);
        EXPECT_NE(BrV1dbRendererQuery(), nullptr);  // the scene still running keeps one
        KillPannix(outer_ends_first ? &inner : &outer);
        EXPECT_EQ(BrV1dbRendererQuery(), nullptr);
    }
    PxFreePix(parent);
}

}  // namespace
