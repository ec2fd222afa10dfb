// The drawing pipeline of the stand-in renderer: plain types that need nothing of the 3D library,
// so the pipeline can be driven on raw buffers. Matrices follow the library's row-vector
// convention: p' = p x M, the translation in the last row.
#ifndef SOFTREND_SR_TYPES_H
#define SOFTREND_SR_TYPES_H

#include <cstdint>
#include <vector>

// A function cloned for AVX2 processors, picked at load time: the same SSE operations in the
// three-operand encoding (fewer register copies) and rounding in one instruction; no fused
// multiply-add, so the values are the same. Not under ThreadSanitizer: the clone's resolver runs
// while libraries are relocated, before the sanitizer's run time is up, and the instrumented
// resolver crashes the program. Not with clang (the fuzz builds): it wants the clones named at a
// function's first declaration, and those builds measure nothing.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_THREAD__)
#define SR_AVX2_CLONES __attribute__((target_clones("default", "avx2")))
#else
#define SR_AVX2_CLONES
#endif

namespace sr {

struct Vec3 {
    float x, y, z;
};

struct Mat34 {
    float m[4][3];
};

struct Mat4 {
    float m[4][4];
};

Mat34 identity34();
Mat4 identity4();
// a x b, a read as its 4x4 form.
Mat4 mul34_4(const Mat34 &a, const Mat4 &b);
// a x b.
Mat34 mul34(const Mat34 &a, const Mat34 &b);
// Inverses; false (and the identity) for a singular matrix.
bool invert34(Mat34 &out, const Mat34 &in);
// Inverse of a matrix known to be a rotation and a translation.
Mat34 invert34_lp(const Mat34 &in);

// Destination pixel layouts. Words are stored little-endian: 565/555 as 16-bit words, RGB_888 as
// the bytes B, G, R, RGBX/RGBA as 32-bit 0xXXRRGGBB words.
enum class ColourType : uint8_t { RGB_555, RGB_565, RGB_888, RGBX_888, RGBA_8888 };
enum class DepthType : uint8_t { None, D16, D32 };

int colour_bytes(ColourType t);
int depth_bytes(DepthType t);

// Texel layouts a surface can be mapped with: index 8 through a palette, the true-colour types, and
// two alpha types of the 2D library (3 bytes: alpha then a 565 word; 4444 with alpha on top).
enum class TexelType : uint8_t { Index8, RGB_555, RGB_565, RGB_888, RGBX_888, RGBA_8888, RGB565_A8, ARGB_4444 };

int texel_bytes(TexelType t);
bool texel_alpha(TexelType t); // texels carry alpha

// A texture read in place: `pixels` addresses texel (0, 0), rows `row_bytes` apart (may be negative).
struct Texture {
    const uint8_t *pixels = nullptr;
    int32_t row_bytes = 0;
    int32_t width = 0, height = 0;
    TexelType type = TexelType::RGB_565;
    const uint32_t *palette = nullptr; // Index8: 256 colours 0xffRRGGBB
};

// How the pixels of a surface are made and laid down.
struct Paint {
    bool textured = false;
    Texture texture;
    bool modulate = false; // texel x shaded colour; else the texel as is
    bool decal = false;    // texel over the shaded colour by its alpha, opaque result
    bool bilinear = false; // else nearest texel
    bool blend = false;    // 50/50 with what is behind, depth tested but not written
};

// A block of pixels: `pixels` addresses pixel (0, 0); rows are `row_bytes` apart and may run
// upwards in memory (negative row_bytes).
struct Buffer {
    uint8_t *pixels = nullptr;
    int32_t row_bytes = 0;
    int32_t width = 0, height = 0;
};

struct Target {
    Buffer colour;
    ColourType ctype = ColourType::RGB_565;
    Buffer depth;
    DepthType dtype = DepthType::None;
};

// Depth values: the screen z of a point (-32767 nearest .. 32767 farthest) becomes a 32-bit depth
// with the top bit flipped; DEPTH_16 keeps its upper half. Smaller is nearer.
uint32_t depth_from_screen_z(float sz);

enum class LightType : uint8_t { None, Point, Direct, Spot };
enum class CullType : uint8_t { OneSided, TwoSided, None };
enum class Primitive : uint8_t { Point, Line, Triangle };

struct Light {
    LightType type = LightType::None;
    uint32_t colour = 0;    // 0x00RRGGBB
    float att_c = 1, att_l = 0, att_q = 0;
    Vec3 position{0, 0, 0};  // view space
    Vec3 direction{0, 0, 1}; // view space, unit vector towards the light; a spot shines along -direction
    float spot_outer = 0, spot_inner = 0; // cosines
};

struct ClipPlane {
    bool enabled = false;
    float plane[4] = {0, 0, 0, 0}; // clip space; points with dot((x, y, z, w), plane) >= 0 stay
};

enum { MAX_LIGHTS = 16, MAX_CLIP_PLANES = 6 };

struct Sink;
struct Lighting;

// What the pipeline needs for one group of faces.
struct Setup {
    Target target;
    Mat34 model_to_view = identity34();
    bool model_to_view_lp = false; // length preserving: normals need no inverse transpose
    Mat4 view_to_screen = identity4();
    bool parallel = false; // the eye looks along -z from infinity
    Light lights[MAX_LIGHTS];
    ClipPlane clip[MAX_CLIP_PLANES];

    uint32_t colour = 0xffffff;
    float ka = 0.1f, kd = 0.7f, ks = 0.0f, power = 20.0f;
    bool lighting = true;
    bool smooth = false;
    bool force_front = false;
    bool colour_from_geometry = false;
    CullType cull = CullType::OneSided;

    bool bounds_enabled = false;

    Paint paint;
    float map[3][2] = {{1, 0}, {0, 1}, {0, 0}}; // u' = u m00 + v m10 + m20, v' = u m01 + v m11 + m21

    // Z-sort: finished primitives go here instead of into the buffers.
    Sink *sink = nullptr;
    // The lighting of these lights and surface when the caller keeps it prepared; else it is made
    // for the draw.
    const Lighting *prepared = nullptr;
};

// The rectangle of pixels drawn since the last reset, in the colour buffer's pixel units.
struct ScreenBounds {
    float min[2], max[2];
    void reset();
    bool empty() const { return max[0] < min[0]; }
};

// Prepared geometry as the database lays it out: positions relative to the model pivot, texture
// coordinates, normals; faces with group-local vertex numbers, edge numbers (0 = hidden) and plane.
struct PVertex {
    float p[3];
    float map[2];
    float n[3];
};

struct PFace {
    uint16_t vertices[3];
    uint16_t edges[3];
    float n[3];
    float d;
};

struct Group {
    const PFace *faces = nullptr;
    const uint32_t *face_colours = nullptr; // idx<<24 | r<<16 | g<<8 | b, may be null
    const PVertex *vertices = nullptr;
    const uint32_t *vertex_colours = nullptr;
    uint32_t nfaces = 0, nvertices = 0, nedges = 0;
};

// A mapped vertex: screen x, y, screen z (-32767 near .. 32767 far), colour 0..255, clip w, and
// for textures 1/w with the texel position divided by w (these interpolate linearly on screen).
struct SVert {
    float x, y, z;
    float rgb[3];
    float w = 1, q = 1, uq = 0, vq = 0;
};

// Per-vertex and per-face work space, kept between calls so a frame allocates nothing once warm.
struct Scratch {
    struct V {
        float c[4];   // clip space
        uint32_t out; // clip codes: bit per plane the vertex is outside of
        // The vertex as the rasteriser takes it (front colour): a triangle wholly in view is handed
        // its three vertices where they are. Its rgb is the lit colour, 0..255.
        SVert s;
        float brgb[3]; // lit colour of the back side (two-sided lighting)
        float tu, tv;  // texture position in texels
        bool lit;      // rgb and brgb worked out (lit triangles light a vertex at its first drawn face)
        bool used;     // a drawn face uses the vertex (triangles map and light only these)
    };
    std::vector<V> v;
    // Room for the faces a triangle group draws, in order (index x 2 + back), and the vertices
    // those faces use; a draw counts its own.
    std::vector<uint32_t> faces;
    std::vector<uint32_t> used;
    std::vector<uint16_t> edge_done;
    uint64_t pixels_tested = 0; // pixels that reached the depth test, for speed figures
};

// Receives the finished primitives of a z-sort render. `flat` is the colour of a flat triangle,
// null when its vertex colours are interpolated.
struct Sink {
    virtual void point(const Setup &s, const SVert &a) = 0;
    virtual void line(const Setup &s, const SVert &a, const SVert &b) = 0;
    virtual void triangle(const Setup &s, const SVert &a, const SVert &b, const SVert &c, const float *flat) = 0;

protected:
    ~Sink() = default;
};

// Draws one group through the whole pipeline.
void render_group(const Setup &s, const Group &g, Primitive prim, Scratch &scratch, ScreenBounds *bounds);

} // namespace sr

#endif
