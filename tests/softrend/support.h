// Test support of the stand-in renderer: buffers with guard bytes, small meshes, the cube board
// scene (shared with bench/render) and a PNG writer for pictures a reviewer can look at.
#ifndef SOFTREND_TEST_SUPPORT_H
#define SOFTREND_TEST_SUPPORT_H

#include "brondel/brtoken.h"
#include "sr_raster.h"
#include "sr_types.h"

#include <cstdint>
#include <string>
#include <vector>

namespace srtest {

// A colour and a depth buffer, each surrounded by `guard` pixels (and rows) of a known pattern.
// Rows may run bottom-up (negative row bytes).
struct Frame {
    Frame(int w, int h, sr::ColourType ct, sr::DepthType dt, bool bottom_up = false, int guard = 4);

    void clear(uint32_t colour_word = 0, bool far = true);
    bool guards_intact() const;
    uint32_t pixel(int x, int y) const;
    uint32_t depth(int x, int y) const;
    int drawn(uint32_t background = 0) const; // pixels that differ from the background

    int w, h, guard;
    sr::Target target;
    std::vector<uint8_t> cmem, dmem;

private:
    void place(sr::Buffer &b, std::vector<uint8_t> &mem, int bpp, bool bottom_up);
    std::vector<uint8_t> cpattern_, dpattern_;
};

// Clip-space coordinates of a screen position under the identity parallel mapping of a 64 x 64
// buffer: sx = x * 32 + 32.5, sy = -y * 32 + 32.5.
inline float cx(float sx) { return (sx - 32.5f) / 32.0f; }
inline float cy(float sy) { return -(sy - 32.5f) / 32.0f; }

// Drawing in one unlit colour, nothing culled, under the identity parallel mapping.
sr::Setup flat_setup(const Frame &f, uint32_t colour);

// A mesh the test owns: prepared vertices and faces.
struct Mesh {
    std::vector<sr::PVertex> v;
    std::vector<sr::PFace> f;
    std::vector<uint32_t> vcol, fcol;
    sr::Group group() const;
    void add_vertex(float x, float y, float z, float nx = 0, float ny = 0, float nz = 1);
    // Face a, b, c with its plane computed; edge numbers given (0 hides an edge).
    void add_face(int a, int b, int c, uint16_t e0 = 0, uint16_t e1 = 0, uint16_t e2 = 0);
};

// A cube of half size h around the origin, four vertices per side with the side's normal and the
// whole texture mapped on it.
Mesh cube(float h);

// Perspective view-to-screen matrix as the library makes it for a camera (field of view in
// radians, hither and yon as positive distances).
sr::Mat4 perspective(float fov, float aspect, float hither, float yon);
// Camera at `eye` looking at `at` (y up): the world-to-view matrix.
sr::Mat34 look_at(sr::Vec3 eye, sr::Vec3 at);

// An n x n RGB_565 texture of rings and stripes.
struct Texture565 {
    explicit Texture565(int n);
    std::vector<uint16_t> words;
    sr::Texture texture;
};

// The board: 11 x 11 lit cubes under a point and a direct light, seen from above at an angle; with
// a texture, every side of every cube carries it, modulated by the lighting.
struct Board {
    explicit Board(const sr::Target &t, const sr::Texture *texture = nullptr);
    void render(sr::Scratch &scratch); // one frame (does not clear)
    sr::Setup setup;
    Mesh mesh;
    std::vector<sr::Mat34> model_to_view;
    std::vector<uint32_t> colours;
};

// The colour buffer of a frame as RGB.
std::vector<uint8_t> frame_rgb(const Frame &f);

// Token values for state calls.
inline br_value u32v(br_uint_32 x)
{
    br_value v;
    v.raw = 0;
    v.u32 = x;
    return v;
}

inline br_value fv(float f)
{
    br_value v;
    v.raw = 0;
    v.f = f;
    return v;
}

inline br_value pv(const void *p)
{
    br_value v;
    v.p = (void *)p;
    return v;
}

// The pixel-by-pixel loop first, then every wider path this processor has.
std::vector<sr::SimdPath> paths_to_compare();

// Puts the renderer back on its best path when a test that forces one ends.
struct BestPathAfter {
    ~BestPathAfter() { sr::simd_path = sr::simd_best(); }
};

} // namespace srtest

#endif
