// The data folder: the library's own folder at load, then InitPannix paths below or in its place.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "pannix/pxbase.h"
#include "pxstate.h"

namespace {

// The folder of this program as the platform writes host paths: backslashes, ending in one.
std::string program_folder()
{
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    std::string p(buf, n > 0 ? size_t(n) : 0);
    p.resize(p.rfind('/') + 1);
    for (char &c : p)
        if (c == '/')
            c = '\\';
    return p;
}

TEST(DataFolder, StartsAtTheLibraryAndNestsRelativePaths)
{
    const std::string start = program_folder();
    EXPECT_EQ(px::data_folder(), start);
    EXPECT_EQ(px::screen_defaults().width, 640);
    EXPECT_EQ(px::screen_defaults().full_screen, 1);

    EXPECT_EQ(InitPannix("data\\", 800, 600, 32, 0, 0), 1);
    EXPECT_EQ(px::data_folder(), start + "data\\");
    EXPECT_EQ(px::screen_defaults().width, 800);
    EXPECT_EQ(px::screen_defaults().bits, 32);
    EXPECT_EQ(px::screen_defaults().full_screen, 0);
    InitPannix("more\\", 640, 480, 16, 0, 0);
    EXPECT_EQ(px::data_folder(), start + "data\\more\\");

    for (const char *absolute : {"\\srv\\game\\Data\\", "/srv/game/Data/", "C:\\Games\\Data\\"}) {
        InitPannix(absolute, 640, 480, 16, 0, 0);
        EXPECT_STREQ(px::data_folder(), absolute);
    }
    // Too long a result is cut, never overrun.
    InitPannix(std::string(400, 'a').c_str(), 640, 480, 16, 0, 0);
    EXPECT_EQ(strlen(px::data_folder()), px::kPathMax);
}

}  // namespace
