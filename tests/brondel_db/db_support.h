// Shared fixture of the database tests: a begun library whose failures and warnings are recorded.
#ifndef BRONDEL_DB_SUPPORT_H
#define BRONDEL_DB_SUPPORT_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <brondel/brcore.h>
#include <brondel/brv1db.h>

namespace dbtest {

extern std::vector<std::string> failures;
extern std::vector<std::string> warnings;

// Clears the recorded messages and records those that follow.
void diag_record();

// Begins the library with a recording diagnostic handler and ends it afterwards.
class Db : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

// The 8-vertex cube; smoothing per side: all bits of side_bits[side] (side = face / 2).
br_model *make_cube(const char *name, br_uint_16 model_flags, const br_uint_16 side_bits[6]);
// Every side in smoothing group 1.
br_model *make_cube(const char *name, br_uint_16 model_flags = BR_MODF_UPDATEABLE);

bool has_failure(const std::string &text);

} // namespace dbtest

#endif
