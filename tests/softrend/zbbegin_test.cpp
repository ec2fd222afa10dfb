// With no configuration at all, the z-buffer begin of the database finds the compiled-in renderer:
// database begin puts the built-in images on the list, BrZbBegin finds the facility through them.
#include "brondel/brcore.h"
#include "brondel/brimage.h"
#include "brondel/brv1db.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> failures;
void on_warning(const char *m) { failures.push_back(m); }
void on_failure(const char *m) { failures.push_back(m); }
br_diaghandler recording = {"recording", on_warning, on_failure};

TEST(Discovery, ZbBeginFindsTheRendererWithoutConfiguration)
{
    failures.clear();
    BrDiagHandlerSet(&recording);
    ASSERT_EQ(BrBegin(), (br_error)BRE_OK);
    BrZbBegin(5, 11);
    EXPECT_NE(BrV1dbRendererQuery(), nullptr);
    EXPECT_TRUE(failures.empty()) << failures.front();
    BrZbEnd();
    EXPECT_EQ(BrV1dbRendererQuery(), nullptr);
    BrEnd();
}

} // namespace

namespace {

int begins_seen = 0;
void count_begin(void) { ++begins_seen; }

// The registration the carrier's renderer uses: every database begin calls each registered function
// once (registering it again changes nothing); nothing is registered for a null function.
TEST(Discovery, RegisteredImagesAreAddedAtEveryDatabaseBegin)
{
    EXPECT_EQ(BrDbImagesRegister(nullptr), (br_error)BRE_FAIL);
    ASSERT_EQ(BrDbImagesRegister(count_begin), (br_error)BRE_OK);
    ASSERT_EQ(BrDbImagesRegister(count_begin), (br_error)BRE_OK);
    begins_seen = 0;
    ASSERT_EQ(BrBegin(), (br_error)BRE_OK);
    EXPECT_EQ(begins_seen, 1);
    // The renderer linked into this program registered itself the same way.
    EXPECT_NE(BrImageFind("softrend"), nullptr);
    BrEnd();
    ASSERT_EQ(BrBegin(), (br_error)BRE_OK);
    EXPECT_EQ(begins_seen, 2);
    BrEnd();
}

} // namespace
