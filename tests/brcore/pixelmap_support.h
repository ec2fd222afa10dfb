// Shared pieces of the pixel-map tests: a fixture that begins the core, pixel helpers, and test
// classes built on the memory class's table (a pixel-set-only class and a foreign device class).
#pragma once

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "brondel/brcore.h"
#include "foundation_support.h"

class PmTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DiagLog::clear();
        BrDiagHandlerSet(&DiagLog::handler);
        ASSERT_EQ(BrCoreBegin(), (br_error)BRE_OK);
    }
    void TearDown() override
    {
        BrCoreEnd();
        EXPECT_TRUE(DiagLog::failures.empty());
    }
};

using PixelSet = std::set<std::pair<int, int>>;

// Every pixel (absolute column, row) whose value differs from the background.
inline PixelSet pixels_not(br_pixelmap *pm, br_uint_32 background)
{
    PixelSet s;
    for (int y = 0; y < pm->height; y++)
        for (int x = 0; x < pm->width; x++)
            if (BrPixelmapPixelGet(pm, x - pm->origin_x, y - pm->origin_y) != background)
                s.insert({x, y});
    return s;
}

// The memory class with drawing routed through the generic methods, which reach the pixels only
// through pixelSet.
inline const br_pixelmap_dispatch *pixel_set_only_dispatch()
{
    static br_pixelmap_dispatch d = [] {
        br_pixelmap_dispatch t = BrPixelmapMemDispatch;
        t.line = _M_br_device_pixelmap_gen_line;
        t.copyBits = _M_br_device_pixelmap_gen_copyBits;
        t.text = _M_br_device_pixelmap_gen_text;
        return t;
    }();
    return &d;
}

// A foreign class: its device is the record's `user` word, and the copy methods only record
// that they were called.
struct ForeignLog {
    static std::vector<std::string> calls;
};
inline std::vector<std::string> ForeignLog::calls;

inline const br_pixelmap_dispatch *foreign_dispatch()
{
    static br_pixelmap_dispatch d = [] {
        br_pixelmap_dispatch t = BrPixelmapMemDispatch;
        t._device = [](br_object *self) -> struct br_device * {
            return (struct br_device *)((br_pixelmap *)self)->user;
        };
        t.copy = [](br_pixelmap *, br_pixelmap *) -> br_error {
            ForeignLog::calls.push_back("copy");
            return BRE_OK;
        };
        t.copyTo = [](br_pixelmap *, br_pixelmap *) -> br_error {
            ForeignLog::calls.push_back("copyTo");
            return BRE_OK;
        };
        t.copyFrom = [](br_pixelmap *, br_pixelmap *) -> br_error {
            ForeignLog::calls.push_back("copyFrom");
            return BRE_OK;
        };
        t.rectangleCopyTo = [](br_pixelmap *, br_point *, br_pixelmap *, br_rectangle *) -> br_error {
            ForeignLog::calls.push_back("rectangleCopyTo");
            return BRE_OK;
        };
        t.rectangleCopyFrom = [](br_pixelmap *, br_point *, br_pixelmap *, br_rectangle *) -> br_error {
            ForeignLog::calls.push_back("rectangleCopyFrom");
            return BRE_OK;
        };
        t.copyToDirty = _M_br_device_pixelmap_gen_copyToDirty;
        t.copyFromDirty = _M_br_device_pixelmap_gen_copyFromDirty;
        return t;
    }();
    return &d;
}
