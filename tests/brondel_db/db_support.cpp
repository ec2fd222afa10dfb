#include "db_support.h"

namespace dbtest {

std::vector<std::string> failures;
std::vector<std::string> warnings;

namespace {

void on_warning(const char *message) { warnings.emplace_back(message); }
void on_failure(const char *message) { failures.emplace_back(message); }

br_diaghandler recorder = {"test recorder", on_warning, on_failure};

const float cube_p[8][3] = {{-1, -1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1},
                            {-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1}};
const br_uint_16 cube_f[12][3] = {{0, 1, 2}, {0, 2, 3}, {0, 4, 5}, {0, 5, 1}, {1, 5, 6}, {1, 6, 2},
                                  {2, 6, 7}, {2, 7, 3}, {3, 7, 4}, {3, 4, 0}, {4, 7, 6}, {4, 6, 5}};

} // namespace

void diag_record()
{
    failures.clear();
    warnings.clear();
    BrDiagHandlerSet(&recorder);
}

void Db::SetUp()
{
    ASSERT_EQ(BrBegin(), 0u);
    diag_record();
}

void Db::TearDown()
{
    EXPECT_EQ(BrEnd(), 0u);
}

br_model *make_cube(const char *name, br_uint_16 model_flags, const br_uint_16 side_bits[6])
{
    br_model *m = BrModelAllocate(name, 8, 12);
    for (int i = 0; i < 8; i++) {
        BrVector3Set(&m->vertices[i].p, cube_p[i][0], cube_p[i][1], cube_p[i][2]);
        m->vertices[i].colour = {(br_uint_8)i, (br_uint_8)(10 + i), (br_uint_8)(20 + i), (br_uint_8)(30 + i)};
    }
    for (int f = 0; f < 12; f++) {
        for (int c = 0; c < 3; c++)
            m->faces[f].vertices[c] = cube_f[f][c];
        m->faces[f].smoothing = side_bits[f / 2];
        m->faces[f].flags = (f % 2) ? BR_FACEF_HIDE_EDGE_0 : BR_FACEF_HIDE_EDGE_2;
    }
    m->flags = model_flags;
    return m;
}

br_model *make_cube(const char *name, br_uint_16 model_flags)
{
    static const br_uint_16 one[6] = {1, 1, 1, 1, 1, 1};
    return make_cube(name, model_flags, one);
}

bool has_failure(const std::string &text)
{
    for (const std::string &f : failures)
        if (f.find(text) != std::string::npos)
            return true;
    return false;
}

} // namespace dbtest
