// Shared pieces of the datafile, pixel-map file and picture loader tests: a fixture that begins the
// core with a recording handler in a fresh folder, and file helpers.
#pragma once

#include <string>
#include <vector>

#include "../platform/temp_dir.h"
#include "brondel/brcore.h"
#include "foundation_support.h"

class DfTest : public ::testing::Test {
protected:
    vok_test::TempDir dir{"datafile"};

    void SetUp() override
    {
        DiagLog::clear();
        BrDiagHandlerSet(&DiagLog::handler);
        ASSERT_EQ(BrCoreBegin(), (br_error)BRE_OK);
    }
    void TearDown() override
    {
        BrCoreEnd();
    }
    std::string path(const std::string &name) const
    {
        return dir.str(name);
    }
    std::string bytes(const std::string &name) const
    {
        return dir.read(name);
    }
    // Whether some recorded failure contains the text.
    static bool failed_with(const std::string &text)
    {
        for (const auto &f : DiagLog::failures)
            if (f.find(text) != std::string::npos)
                return true;
        return false;
    }
};

inline std::string hex_of(const std::string &s)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : s) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}
