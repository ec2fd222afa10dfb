// A renderer that draws nothing and records what the database asks of it: the matrix stack, the
// parts set, and each model drawn with its model-to-view translation.
#ifndef BRONDEL_SCENE_RECORDER_H
#define BRONDEL_SCENE_RECORDER_H

#include <brondel/brcore.h>
#include <brondel/brscene.h>
#include <brondel/brv1db.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace scenetest {

struct Drawn {
    const void *block; // the prepared model
    br_token type;
    bool on_screen;
    br_matrix34 model_to_view;
};

struct PartSet {
    br_token part;
    br_int_32 index;
    std::vector<std::pair<br_token, br_value>> tv;
    std::vector<float> floats; // vectors and matrices copied out
};

struct Recorder {
    br_renderer renderer;
    br_geometry_v1_model format;
    br_geometry_v1_buckets buckets;

    br_matrix34 m2v;
    br_matrix4 v2s;
    std::vector<br_matrix34> stack;
    std::vector<Drawn> drawn;
    std::vector<PartSet> sets;
    std::vector<std::string> calls;
    int queries = 0;
    int bucket_draws = 0;
    std::vector<void **> bucket_tables;
    // Answer of the bounds test; PARTIAL unless a test sets it.
    std::function<br_token(const br_bounds3 *)> bounds_answer;

    Recorder();
    // Makes this the database's renderer (and its formats) for the test.
    void install(bool with_buckets = true);
    void uninstall();
    // Parts set for one part token, in order.
    std::vector<PartSet> parts(br_token part) const;
};

// Value of a token in a set, or null.
const br_value *find(const PartSet &p, br_token t);

} // namespace scenetest

#endif
