// Warning and error boxes through the reporter, and the debug text buffer.
#include <string.h>

#include <string>

#include "phtest.h"

namespace {

using Report = phtest::Recording;
using phtest::boxes;
using phtest::ends;

TEST_F(Report, WarningOkReturnsCancelEndsWithTen)
{
    Phys_Warning("first");
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, "first");
    EXPECT_EQ(boxes()[0].caption, "WARNING");
    EXPECT_EQ(boxes()[0].type, MB_OKCANCEL | MB_TASKMODAL);
    EXPECT_TRUE(ends().empty());

    phtest::answer() = IDCANCEL;
    Phys_Warning("second");
    EXPECT_EQ(ends(), std::vector<int>{10});
}

TEST_F(Report, ErrorAlwaysEnds)
{
    Phys_Error(PHMSG_FV3_POOL);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].caption, "ERROR");
    EXPECT_EQ(boxes()[0].type, MB_OK | MB_TASKMODAL);
    EXPECT_EQ(ends(), std::vector<int>{10});
}

TEST(PhTextTest, FormFeedEmptiesThenAppends)
{
    PhText t;
    t << "xyz";
    t << "\fabc";
    EXPECT_STREQ(t.Text(), "abc");
    t << '\f' << 'q';
    EXPECT_STREQ(t.Text(), "q");
    EXPECT_EQ(t.free, t.capacity - 1);
}

TEST(PhTextTest, LongStringGrowsOnceTo310)
{
    PhText t;
    std::string s(300, 'a');
    t << s.c_str();
    EXPECT_EQ(t.capacity, 310);
    EXPECT_EQ(std::string(t.Text()), s);
    EXPECT_EQ(t.cursor - t.base, 300);
}

TEST(PhTextTest, IntegersRightAlignedAndNeverOverrun)
{
    PhText t;
    t << static_cast<int16_t>(7);
    EXPECT_STREQ(t.Text(), "    7 ");
    // Fill to the last byte, then numbers and characters must grow the buffer, not overrun it.
    PhText u;
    u << std::string(99, 'x').c_str();
    EXPECT_EQ(u.free, 1);
    u << static_cast<int16_t>(-32768) << 'z';
    EXPECT_EQ(std::string(u.Text()), std::string(99, 'x') + "-32768 z");
    EXPECT_EQ(strlen(u.Text()), static_cast<size_t>(u.cursor - u.base));
    EXPECT_GE(u.free, 1);
}

}  // namespace
