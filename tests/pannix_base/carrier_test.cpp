// Pannix.so and a second carrier of the 3D library in one process: each has its own instance, begun
// and ended on its own.
#include <gtest/gtest.h>

#include <string>

#include "pannix/pannix.h"
#include "win32/windows.h"

namespace {

constexpr int kOk = 0, kNotActive = 0x1006, kAlreadyActive = 0x1007;

const std::string pannix_path = std::string(VOK_BIN_DIR) + "/Pannix.so";
const std::string twin_path = std::string(VOK_TEST_BIN_DIR) + "/PxTwinCarrier.so";

template <class F>
F entry(HMODULE m, const char *name)
{
    return reinterpret_cast<F>(GetProcAddress(m, name));
}

TEST(Carriers, EachInstanceBeginsAndEndsOnItsOwn)
{
    HMODULE pannix = LoadLibraryA(pannix_path.c_str());
    ASSERT_NE(pannix, nullptr) << GetLastError();
    HMODULE twin = LoadLibraryA(twin_path.c_str());
    ASSERT_NE(twin, nullptr) << GetLastError();
    auto twin_begin = entry<int (*)()>(twin, "TwinBegin");
    auto twin_end = entry<int (*)()>(twin, "TwinEnd");
    ASSERT_NE(twin_begin, nullptr);
    ASSERT_NE(twin_end, nullptr);

    // Nothing of the 3D library leaves either module.
    for (const char *name : {"BrBegin", "BrEnd", "BrCoreBegin", "BrFwBegin", "BrResAllocate", "BrPixelmapAllocate"}) {
        EXPECT_EQ(GetProcAddress(pannix, name), nullptr) << name;
        EXPECT_EQ(GetProcAddress(twin, name), nullptr) << name;
    }

    // Pannix began its instance when it was loaded; the twin's is still to begin.
    EXPECT_EQ(twin_end(), kNotActive);
    EXPECT_EQ(twin_begin(), kOk);
    EXPECT_EQ(twin_begin(), kAlreadyActive);
    // The renderer each module links registered itself with that module's own instance when the
    // module loaded (Pannix's already begun, the twin's at its begin).
    auto twin_renderer = entry<int (*)()>(twin, "TwinRendererStarts");
    ASSERT_NE(twin_renderer, nullptr);
    const int renderer = twin_renderer();
#ifdef TWIN_HAS_RENDERER
    EXPECT_EQ(renderer, 1);
#else
    EXPECT_EQ(renderer, 0);
#endif

    auto alloc = entry<br_pixelmap *(*)(int32_t, int32_t, int32_t, void *, int32_t)>(pannix, "PxAllocPix");
    auto free_pix = entry<int (*)(br_pixelmap *)>(pannix, "PxFreePix");
    auto pannix_works = [&] {
        if (alloc == nullptr)
            return true; // no pixel maps in this build yet: the begin and end codes carry the test
        br_pixelmap *pm = alloc(5, 8, 8, nullptr, 0);
        free_pix(pm);
        return pm != nullptr;
    };
    EXPECT_TRUE(pannix_works());

    // Ending the twin leaves Pannix's instance alone.
    EXPECT_EQ(twin_end(), kOk);
    EXPECT_EQ(twin_end(), kNotActive);
    EXPECT_TRUE(pannix_works());

    // Unloading Pannix ends its instance only.
    EXPECT_EQ(twin_begin(), kOk);
    EXPECT_EQ(twin_renderer(), renderer);
    ASSERT_TRUE(FreeLibrary(pannix));
    EXPECT_EQ(twin_end(), kOk);

    // Loaded again, Pannix begins a fresh instance.
    pannix = LoadLibraryA(pannix_path.c_str());
    ASSERT_NE(pannix, nullptr);
    alloc = entry<br_pixelmap *(*)(int32_t, int32_t, int32_t, void *, int32_t)>(pannix, "PxAllocPix");
    free_pix = entry<int (*)(br_pixelmap *)>(pannix, "PxFreePix");
    EXPECT_TRUE(pannix_works());
    EXPECT_EQ(twin_end(), kNotActive);
    FreeLibrary(pannix);
    FreeLibrary(twin);
}

// Loaded the other way round, each renderer still lands in its own module's instance.
TEST(Carriers, EachRendererRegistersWithItsOwnInstance)
{
    HMODULE twin = LoadLibraryA(twin_path.c_str());
    ASSERT_NE(twin, nullptr) << GetLastError();
    auto twin_begin = entry<int (*)()>(twin, "TwinBegin");
    auto twin_end = entry<int (*)()>(twin, "TwinEnd");
    auto twin_renderer = entry<int (*)()>(twin, "TwinRendererStarts");
    ASSERT_NE(twin_renderer, nullptr);
    EXPECT_EQ(twin_begin(), kOk);
    const int alone = twin_renderer();
#ifdef TWIN_HAS_RENDERER
    EXPECT_EQ(alone, 1);
#endif
    HMODULE pannix = LoadLibraryA(pannix_path.c_str());
    ASSERT_NE(pannix, nullptr) << GetLastError();
    EXPECT_EQ(twin_renderer(), alone);
    EXPECT_EQ(twin_end(), kOk);
    ASSERT_TRUE(FreeLibrary(pannix));
    EXPECT_EQ(twin_begin(), kOk);
    EXPECT_EQ(twin_renderer(), alone);
    EXPECT_EQ(twin_end(), kOk);
    FreeLibrary(twin);
}

}  // namespace
