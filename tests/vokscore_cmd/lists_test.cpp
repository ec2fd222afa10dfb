// The words of the best-times lists and the sizes of the progress bars.
#include <string.h>

#include <gtest/gtest.h>

#include "lists.h"

namespace {

VokScoreEntry entry(const char *name, int result)
{
    VokScoreEntry e{};
    strncpy(e.name, name, sizeof e.name - 1);
    e.result = result;
    e.second = 0;
    return e;
}

TEST(BestTimes, Lines)
{
    struct Case {
        int game, list, result;
        const char *value;
    };
    const Case cases[] = {
        {3, 0, 1234, "2:03.4"},  {1, 0, 1234, "2:03.4"},  {3, 0, 5, "0:00.5"},     {1, 1, 36000, "60:00.0"},
        {0, 0, 3725, "1:02:05"}, {0, 0, 59, "0:59"},      {0, 0, 3599, "59:59"},   {0, 0, 3600, "1:00:00"},
        {0, 1, 7, "  7"},        {0, 1, 1234, "1234"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(vok::best_value_line(c.game, c.list, entry("Anna", c.result)), c.value) << c.result;
    EXPECT_EQ(vok::best_name_line(2, entry("Anna", 10)), "2. Anna");
    // A free entry.
    EXPECT_EQ(vok::best_name_line(4, entry("", 0)), "4. -");
    EXPECT_EQ(vok::best_value_line(3, 0, entry("", 0)), "-");
    EXPECT_EQ(vok::best_value_line(3, 0, entry("Anna", 0)), "-");
    // A name that fills its 32 bytes without an end is not read past them.
    VokScoreEntry full = entry("", 5);
    memset(full.name, 'n', sizeof full.name);
    EXPECT_EQ(vok::best_name_line(1, full), "1. " + std::string(31, 'n'));
    EXPECT_EQ(vok::best_lines(0), 3);
    EXPECT_EQ(vok::best_lines(3), 6);
    EXPECT_EQ(vok::best_lines(2), 0);
}

TEST(ProgressBars, Sizes)
{
    struct Case {
        int solved, levels, length, picture;
    };
    const Case cases[] = {{0, 28, 0, 0},   {1, 28, 4, 1},     {27, 28, 116, 1}, {28, 28, 121, 2},
                          {30, 28, 121, 2}, {5, 0, 0, 0},     {-1, 28, 0, 0},   {119, 120, 119, 1},
                          {120, 120, 121, 2}};
    for (const Case &c : cases) {
        int length = vok::bar_length(c.solved, c.levels);
        EXPECT_EQ(length, c.length) << c.solved << "/" << c.levels;
        EXPECT_EQ(vok::bar_picture(length), c.picture) << c.solved << "/" << c.levels;
    }
    EXPECT_EQ(vok::progress_line(12, 140), "12/140");
}

}  // namespace
