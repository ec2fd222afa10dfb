// Shared pieces of the core foundation tests: a diagnostic handler that records and returns, and a
// fixture that begins the framework with it.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "brondel/brcore.h"

struct DiagLog {
    static std::vector<std::string> warnings;
    static std::vector<std::string> failures;
    static void warning(const char *m) { warnings.push_back(m); }
    static void failure(const char *m) { failures.push_back(m); }
    static void clear()
    {
        warnings.clear();
        failures.clear();
    }
    static br_diaghandler handler;
};

inline std::vector<std::string> DiagLog::warnings;
inline std::vector<std::string> DiagLog::failures;
inline br_diaghandler DiagLog::handler = {"recording", DiagLog::warning, DiagLog::failure};

class FwTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DiagLog::clear();
        BrDiagHandlerSet(&DiagLog::handler);
        ASSERT_EQ(BrFwBegin(), (br_error)BRE_OK);
    }
    void TearDown() override
    {
        BrFwEnd();
    }
};
