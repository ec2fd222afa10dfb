// The renderer's state: one record per part, set and queried through token-value templates, with
// a push/pop stack, stored copies, defaults, the model matrix operations and the bounds test. The
// driver objects wrap this; it needs nothing but the core's tokens and templates.
#ifndef SOFTREND_RSTATE_H
#define SOFTREND_RSTATE_H

#include "brondel/brtoken.h"
#include "sr_light.h"
#include "sr_types.h"

#include <memory>
#include <vector>

namespace sr {

// State masks: which parts an operation touches. Fixed by the database: 2 model-to-view, 32 bounds,
// 0x80000041 the parts a material sets (cull, surface, primitive).
enum : br_uint_32 {
    MASK_CULL = 0x01,
    MASK_MODEL_TO_VIEW = 0x02,
    MASK_ENABLE = 0x04,
    MASK_LIGHT = 0x08,
    MASK_CLIP = 0x10,
    MASK_BOUNDS = 0x20,
    MASK_SURFACE = 0x40,
    MASK_VIEW = 0x100, // view-to-screen and view-to-environment
    MASK_OUTPUT = 0x200,
    MASK_HIDDEN_SURFACE = 0x400,
    MASK_PRIMITIVE = 0x80000000u,
    MASK_ALL = 0xffffffffu,
};

struct PartMatrix {
    float model_to_view[4][3];
    br_token model_to_view_hint;
    float view_to_screen[4][4];
    br_token view_to_screen_hint;
    float view_to_environment[4][3];
    br_token view_to_environment_hint;
};

struct PartOutput {
    void *colour; // pixel maps of the 3D library
    void *depth;
};

struct PartHidden {
    br_token type;
    void *order_table, *heap, *insert_function, *insert_arg1, *insert_arg2, *insert_arg3;
};

struct PartEnable {
    br_boolean bounds;
};

struct PartBounds {
    float min[2], max[2];
};

struct PartLight {
    br_token type, space;
    br_uint_32 colour;
    float att_c, att_l, att_q;
    float position[3], direction[3];
    float spot_outer, spot_inner;
};
// Compared byte for byte between draws: no padding may hide a difference or invent one.
static_assert(sizeof(PartLight) == 14 * 4, "PartLight has padding");

struct PartClip {
    br_token type;
    float plane[4];
};

struct PartSurface {
    float map_matrix[3][2];
    br_uint_32 colour;
    float opacity, ambient, diffuse, specular, power;
    br_boolean lighting, force_front;
    br_token colour_source, mapping_source;
};

struct PartPrimitive {
    br_uint_32 colour;
    float opacity;
    br_boolean modulate, blend, smooth, perspective, decal, dither_map, dither_colour;
    br_token perspective_type;
    br_int_32 subdivide_tolerance, index_base, index_range;
    br_token map_antialiasing, map_interpolation, mip_interpolation, fog;
    float fog_min, fog_max;
    br_uint_32 fog_colour;
    void *colour_map, *index_shade, *index_blend, *index_fog, *screen_door;
};

struct PartCull {
    br_token type;
};

struct State {
    PartCull cull;
    PartMatrix matrix;
    PartEnable enable;
    PartLight light[MAX_LIGHTS];
    PartClip clip[MAX_CLIP_PLANES];
    PartBounds bounds;
    PartSurface surface;
    PartPrimitive prim;
    PartOutput output;
    PartHidden hidden;
};

// Clears every buffer slot of the primitive part that names `buffer`.
void prim_forget(PartPrimitive &p, const void *buffer);
// Copies the masked parts of src into dst.
void state_copy(State &dst, const State &src, br_uint_32 mask);
// Resets the masked parts to the default state.
void state_default(State &s, br_uint_32 mask);

// Templates of the parts, made once per renderer under its resource.
struct PartTemplates {
    explicit PartTemplates(void *res);
    ~PartTemplates();
    br_tv_template *matrix, *output, *hidden, *enable, *bounds, *light, *clip, *surface, *prim, *cull;
};

class StateMachine {
public:
    explicit StateMachine(void *res);

    br_error partSet(br_token part, br_int_32 index, br_token t, br_value value);
    br_error partSetMany(br_token part, br_int_32 index, br_token_value *tv, br_int_32 *pcount);
    br_error partQuery(br_token part, br_int_32 index, br_value *pvalue, void *buffer, br_size_t size, br_token t);
    br_error partQueryBuffer(br_token part, br_int_32 index, br_token_value *tv, void *buffer, br_size_t size);

    // model-to-view = m x model-to-view
    br_error modelMul(const float m[4][3]);
    // Length-preserving inverse when the hint says so, else the general one; a singular matrix
    // fails and stays.
    br_error modelInvert();

    br_error push(br_uint_32 mask);
    br_error pop(br_uint_32 mask);
    void reset(br_uint_32 mask) { state_default(cur, mask); }

    // ACCEPT, REJECT or PARTIAL for a box in model space, against the view volume and the enabled
    // user planes.
    br_token boundsTest(const float min[3], const float max[3]) const;

    // The pipeline's view of the current state for a given target.
    Setup setup(const Target &t) const;

    // A snapshot of some parts (a stored state object holds one).
    struct Stored {
        State s;
        br_uint_32 mask;
    };
    void save(Stored &st, br_uint_32 mask) const;
    void restore(const Stored &st, br_uint_32 mask);
    // A buffer object is going: the current state and the pushed ones stop naming it.
    void forget(const void *buffer);

    // Draws one group with `group_state` (when given) loaded over the current state for its
    // duration; grows the bounds part while bounds are enabled. With a sink (z-sort) the finished
    // primitives go there instead of into the buffers.
    void draw(const Target &t, const Group &g, const Stored *group_state, Primitive p, Scratch &scratch,
              Sink *sink = nullptr);

    State cur;
    // Looks up the texture of a colour map buffer object; false leaves the surface untextured.
    bool (*texture_of)(void *buffer, Texture &out) = nullptr;

private:
    br_error locate(br_token part, br_int_32 index, void *&block, br_tv_template *&tpl);
    PartTemplates tpl_;
    std::vector<Stored> stack_; // pushed states up to depth_, then entries kept for reuse
    size_t depth_ = 0;
    // Fills every field of a setup that the current state decides (an unused light only its type);
    // the lights are left as they are unless `lights`.
    void fill_setup(Setup &s, const Target &t, bool lights = true) const;
    // What a draw under way keeps of the current state, its setup and, for a draw inside another
    // (a z-sort callback drawing again), its own scratch: the outer draw still reads its own; made once.
    struct DrawSlot {
        State keep;
        Setup setup;
        Scratch scratch;
        // The lights the setup and the prepared lighting were made of: a draw under the same
        // lights (model after model) renews only the surface half.
        PartLight lit_by[MAX_LIGHTS];
        bool lit_valid = false;
        Lighting lighting;
    };
    std::vector<std::unique_ptr<DrawSlot>> keeps_;
    size_t draws_ = 0;
};

} // namespace sr

#endif
