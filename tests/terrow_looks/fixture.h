// A 3D instance with the game's models and looks loaded from the generated data, warnings caught.
#pragma once

#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <brondel/brfw.h>
#include <brondel/brpixmap.h>
#include <brondel/brv1db.h>

#include "terrow/trlook.h"
#include "terrow/trmsg.h"

namespace trtest {

inline std::vector<std::string> &boxes()
{
    static std::vector<std::string> b;
    return b;
}

inline int box_hook(const char *text, unsigned)
{
    boxes().push_back(text != nullptr ? text : "");
    return 1;
}

inline void diag(const char *message)
{
    TrWarning("%s", message);
}

class Brondel : public ::testing::Test {
protected:
    void SetUp() override
    {
        boxes().clear();
        TrSetBoxHook(box_hook);
        ASSERT_EQ(BrBegin(), 0);
        static br_diaghandler handler = {"test", diag, diag};
        BrDiagHandlerSet(&handler);
        BrZbBegin(BR_PMT_RGB_565, BR_PMT_DEPTH_16);
        char here[1024];
        ASSERT_NE(getcwd(here, sizeof here), nullptr);
        cwd_ = here;
        ASSERT_EQ(chdir(VOK_BIN_DIR "/fw"), 0);  // the data folder; load_all starts from the root
    }
    void TearDown() override
    {
        Look_FreeAll();
        Model_FreeAll();
        OwnFs_ClosePack();
        BrZbEnd();
        BrEnd();
        EXPECT_EQ(chdir(cwd_.c_str()), 0);
        TrSetBoxHook(nullptr);
    }
    void load_all()
    {
        ASSERT_EQ(chdir(VOK_BIN_DIR), 0);
        ASSERT_EQ(Look_LoadAll(), 1) << (boxes().empty() ? "" : boxes().front());
        ASSERT_EQ(chdir(VOK_BIN_DIR "/fw"), 0);
        ASSERT_EQ(Look_Count(), 39);
    }
    std::string cwd_;
};

}  // namespace trtest
