// A recording reporter: boxes are answered with a chosen button and noted, the process end is noted.
#ifndef PHYS_MATH_PHTEST_H
#define PHYS_MATH_PHTEST_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "terrow/phys/phmsg.h"
#include "win32/winmisc.h"

namespace phtest {

struct Box {
    std::string text, caption;
    unsigned type;
};

inline std::vector<Box> &boxes()
{
    static std::vector<Box> b;
    return b;
}
inline int &answer()
{
    static int a = IDOK;
    return a;
}
inline std::vector<int> &ends()
{
    static std::vector<int> e;
    return e;
}

inline int record_box(const char *text, const char *caption, unsigned type)
{
    boxes().push_back({text, caption, type});
    return answer();
}
inline void record_end(int code) { ends().push_back(code); }

class Recording : public ::testing::Test {
protected:
    void SetUp() override
    {
        boxes().clear();
        ends().clear();
        answer() = IDOK;
        PhReporter r{record_box, record_end};
        Phys_SetReporter(&r);
    }
    void TearDown() override { Phys_SetReporter(nullptr); }
};

}  // namespace phtest

#endif
