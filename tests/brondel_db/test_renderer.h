// A recording renderer for the database tests, begun from a built-in driver image the way the real
// driver is, so renderer start finds it through the facility look-up. It keeps every state call
// and the token-value lists it was given, in order.
#ifndef BRONDEL_DB_TEST_RENDERER_H
#define BRONDEL_DB_TEST_RENDERER_H

#include <string>
#include <vector>

#include <brondel/brcore.h>
#include <brondel/brdevice.h>

namespace dbtest {

struct call {
    std::string op;        // "partSetMany", "statePush", "newStoredState", "newStoredBuffer", ...
    br_token part = 0;     // the part, or the buffer usage token
    br_uint_32 mask = 0;
    void *object = nullptr; // the stored state, buffer or pixel map involved
    std::vector<br_token_value> tv;
};

struct recorder {
    std::vector<call> calls;
    std::vector<std::vector<br_token_value>> renderer_lists; // what rendererNew was given
    int renderers = 0, renderers_freed = 0;
    int states = 0, states_freed = 0;
    int buffers = 0, buffers_freed = 0;
    int geometries = 0, geometries_freed = 0;
    // Switches.
    bool no_model_format = false, no_buckets_format = false, no_lighting_format = false;
    bool stored_geometry = false, stored_shared = true;
    br_error renderer_new_result = BRE_OK;

    std::vector<call> of(const std::string &op) const;
};

extern recorder rec;

// Adds the built-in image "dbtest" and begins its device, which offers "Default-Renderer-Float";
// call after begin.
void test_renderer_register();
// Clears the recorder and its switches.
void test_renderer_reset();

// Token-value list helpers for comparisons.
std::vector<br_token> tokens_of(const std::vector<br_token_value> &tv);
const br_value *value_of(const std::vector<br_token_value> &tv, br_token t);

} // namespace dbtest

#endif
