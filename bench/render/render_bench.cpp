// Frames of the lit cube board (11 x 11 cubes, 1,452 triangles, 640 x 480, RGB_565 + DEPTH_16),
// plain and textured, and a full-screen textured quad, against a memset of the colour and depth
// bytes of the same pixel count.
#include "support.h"

#include <benchmark/benchmark.h>

#include <cstring>

#include "brondel/brcore.h"
#include "brondel/brdevice.h"
#include "brondel/brpixmap.h"
#include "brondel/brv1db.h"
#include "softrend.h"

namespace {

constexpr int W = 640, H = 480;

void BM_CubeBoardFrame(benchmark::State &state)
{
    srtest::Frame f(W, H, sr::ColourType::RGB_565, sr::DepthType::D16, true, 0);
    srtest::Board board(f.target);
    sr::Scratch scratch;
    const size_t cbytes = (size_t)W * H * 2, dbytes = (size_t)W * H * 2;
    for (auto _ : state) {
        // Clearing is part of every game frame.
        std::memset(f.cmem.data(), 0, cbytes);
        std::memset(f.dmem.data(), 0xff, dbytes);
        board.render(scratch);
        benchmark::DoNotOptimize(f.cmem.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["fps"] = benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
    state.counters["pixels/s"] = benchmark::Counter((double)scratch.pixels_tested, benchmark::Counter::kIsRate);
    state.counters["pixels/frame"] = (double)scratch.pixels_tested / (double)state.iterations();
    state.counters["triangles/frame"] = (double)(board.mesh.f.size() * board.model_to_view.size());
}
BENCHMARK(BM_CubeBoardFrame)->Unit(benchmark::kMillisecond);

// The same board with a 64 x 64 RGB_565 texture on every side, modulated by the smooth lighting and
// sampled perspective-correct at every pixel.
void BM_TexturedBoardFrame(benchmark::State &state)
{
    srtest::Frame f(W, H, sr::ColourType::RGB_565, sr::DepthType::D16, true, 0);
    srtest::Texture565 tex(64);
    srtest::Board board(f.target, &tex.texture);
    sr::Scratch scratch;
    for (auto _ : state) {
        std::memset(f.cmem.data(), 0, (size_t)W * H * 2);
        std::memset(f.dmem.data(), 0xff, (size_t)W * H * 2);
        board.render(scratch);
        benchmark::DoNotOptimize(f.cmem.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["fps"] = benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
    state.counters["pixels/frame"] = (double)scratch.pixels_tested / (double)state.iterations();
}
BENCHMARK(BM_TexturedBoardFrame)->Unit(benchmark::kMillisecond);

// A textured quad over the whole 640 x 480 frame: an unlit 256 x 256 RGB_565 texture (as the games
// map their unlit surfaces) into RGB_565 with DEPTH_16. The quad is drawn again over its own depth,
// so every pixel passes and writes colour and depth: the same bytes as the memset reference.
void BM_TexturedQuadFullScreen(benchmark::State &state)
{
    srtest::Frame f(W, H, sr::ColourType::RGB_565, sr::DepthType::D16, true, 0);
    f.clear();
    srtest::Texture565 tex(256);
    sr::Setup s;
    s.target = f.target;
    s.lighting = false;
    s.cull = sr::CullType::None;
    s.paint.textured = true;
    s.paint.texture = tex.texture;
    srtest::Mesh quad;
    const float corner[4][2] = {{-1, 1}, {1, 1}, {1, -1}, {-1, -1}};
    for (const auto &c : corner) {
        quad.add_vertex(c[0], c[1], 0.25f);
        // About 2.5 screen pixels a texel: the texture repeats across the frame.
        quad.v.back().map[0] = (c[0] + 1) * 1.25f;
        quad.v.back().map[1] = (1 - c[1]) * 0.9375f;
    }
    quad.add_face(0, 1, 2);
    quad.add_face(0, 2, 3);
    sr::Group g = quad.group();
    sr::Scratch scratch;
    for (auto _ : state) {
        sr::render_group(s, g, sr::Primitive::Triangle, scratch, nullptr);
        benchmark::DoNotOptimize(f.cmem.data());
        benchmark::ClobberMemory();
    }
    state.counters["fps"] = benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
    state.counters["pixels/frame"] = (double)scratch.pixels_tested / (double)state.iterations();
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)W * H * 4);
}
BENCHMARK(BM_TexturedQuadFullScreen)->Unit(benchmark::kMillisecond);

// The same frames through the driver objects as the database drives them: state set by tokens,
// each cube a model-to-view matrix and a prepared block drawn by the V1 model format.
void BM_CubeBoardFrameDriver(benchmark::State &state)
{
    BrBegin();
    SoftrendImagesAdd();
    br_renderer_facility *rf = nullptr;
    br_renderer *r = nullptr;
    br_token_value none[] = {{0, {}}};
    if (BrRendererFacilityFind(&rf, nullptr, BRT_FLOAT) != BRE_OK || rf->dispatch->_rendererNew(rf, &r, none) != BRE_OK) {
        state.SkipWithError("no renderer");
        BrEnd();
        return;
    }
    br_geometry *gf = nullptr;
    BrGeometryFormatFind(&gf, r, rf, BRT_FLOAT, BRT_GEOMETRY_V1_MODEL);
    auto *v1 = (br_geometry_v1_model *)gf;

    br_pixelmap *colour = BrPixelmapAllocate(BR_PMT_RGB_565, W, H, nullptr, PIXELMAP_ALLOCATE_INVERTED);
    br_pixelmap *depth = BrPixelmapAllocate(BR_PMT_DEPTH_16, W, H, nullptr, PIXELMAP_ALLOCATE_INVERTED);
    sr::Target t; // only its size matters to the board's camera
    t.colour.width = W;
    t.colour.height = H;
    srtest::Board board(t);
    br_value v;
    v.p = colour;
    r->dispatch->_partSet(r, BRT_OUTPUT, 0, BRT_COLOUR_BUFFER_O, v);
    v.p = depth;
    r->dispatch->_partSet(r, BRT_OUTPUT, 0, BRT_DEPTH_BUFFER_O, v);
    v.p = board.setup.view_to_screen.m;
    r->dispatch->_partSet(r, BRT_MATRIX, 0, BRT_VIEW_TO_SCREEN_M4_F, v);
    v.raw = 0;
    v.t = BRT_LENGTH_PRESERVING;
    r->dispatch->_partSet(r, BRT_MATRIX, 0, BRT_MODEL_TO_VIEW_HINT_T, v);
    for (int i = 0; i < 2; ++i) {
        const sr::Light &l = board.setup.lights[i];
        float pos[3] = {l.position.x, l.position.y, l.position.z}, dir[3] = {l.direction.x, l.direction.y, l.direction.z};
        br_token_value tv[] = {{BRT_TYPE_T, {}}, {BRT_COLOUR_RGB, {}}, {BRT_ATTENUATION_C_F, {}},
                               {BRT_ATTENUATION_L_F, {}}, {BRT_POSITION_V3_F, {}}, {BRT_DIRECTION_V3_F, {}}, {0, {}}};
        tv[0].v.t = l.type == sr::LightType::Point ? BRT_POINT : BRT_DIRECT;
        tv[1].v.u32 = l.colour;
        tv[2].v.f = l.att_c;
        tv[3].v.f = l.att_l;
        tv[4].v.p = pos;
        tv[5].v.p = dir;
        r->dispatch->_partSetMany(r, BRT_LIGHT, i, tv, nullptr);
    }
    // One material per colour, as stored states.
    std::vector<br_renderer_state_stored *> materials;
    for (uint32_t c : board.colours) {
        r->dispatch->_statePush(r, 0x80000041u);
        r->dispatch->_stateDefault(r, 0x80000041u);
        br_token_value tv[] = {{BRT_COLOUR_RGB, {}}, {BRT_AMBIENT_F, {}}, {BRT_DIFFUSE_F, {}}, {BRT_SPECULAR_F, {}},
                               {BRT_SPECULAR_POWER_F, {}}, {BRT_LIGHTING_B, {}}, {0, {}}};
        tv[0].v.u32 = c;
        tv[1].v.f = board.setup.ka;
        tv[2].v.f = board.setup.kd;
        tv[3].v.f = board.setup.ks;
        tv[4].v.f = board.setup.power;
        tv[5].v.b = 1;
        r->dispatch->_partSetMany(r, BRT_SURFACE, 0, tv, nullptr);
        v.raw = 0;
        v.b = 1;
        r->dispatch->_partSet(r, BRT_PRIMITIVE, 0, BRT_SMOOTH_B, v);
        br_renderer_state_stored *ss = nullptr;
        r->dispatch->_newStoredState(r, &ss, 0x80000041u, nullptr);
        materials.push_back(ss);
        r->dispatch->_statePop(r, 0x80000041u);
    }
    // The cube's prepared block: one group over the mesh's arrays.
    br_prepared_group group{};
    group.faces = (br_prepared_face *)board.mesh.f.data();
    group.vertices = (br_prepared_vertex *)board.mesh.v.data();
    group.nfaces = (br_uint_16)board.mesh.f.size();
    group.nvertices = (br_uint_16)board.mesh.v.size();
    group.nedges = 25;
    br_prepared_model block{};
    block.ngroups = 1;
    block.groups = &group;

    for (auto _ : state) {
        BrPixelmapFill(colour, 0);
        BrPixelmapFill(depth, 0xffffffff);
        for (size_t k = 0; k < board.model_to_view.size(); ++k) {
            r->dispatch->_statePush(r, 2);
            v.p = board.model_to_view[k].m;
            r->dispatch->_partSet(r, BRT_MATRIX, 0, BRT_MODEL_TO_VIEW_M34_F, v);
            v1->dispatch->_render(v1, r, &block, materials[k], BRT_TRIANGLE);
            r->dispatch->_statePop(r, 2);
        }
        benchmark::DoNotOptimize(colour->pixels);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["fps"] = benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
    int drawn = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            uint16_t p;
            std::memcpy(&p, (char *)colour->pixels + (std::ptrdiff_t)y * colour->row_bytes + x * 2, 2);
            drawn += p != 0;
        }
    state.counters["covered/frame"] = drawn;
    for (br_renderer_state_stored *ss : materials)
        ObjectFree(ss);
    ObjectFree(r);
    BrPixelmapFree(colour);
    BrPixelmapFree(depth);
    BrEnd();
}
BENCHMARK(BM_CubeBoardFrameDriver)->Unit(benchmark::kMillisecond);

// The reference: the colour and depth bytes of a whole 640 x 480 frame written by memset.
void BM_MemsetColourAndDepth(benchmark::State &state)
{
    std::vector<uint8_t> colour((size_t)W * H * 2), depth((size_t)W * H * 2);
    benchmark::DoNotOptimize(colour.data());
    benchmark::DoNotOptimize(depth.data());
    for (auto _ : state) {
        std::memset(colour.data(), 0x12, colour.size());
        std::memset(depth.data(), 0xff, depth.size());
        benchmark::ClobberMemory();
    }
    state.counters["pixels/s"] = benchmark::Counter((double)state.iterations() * W * H, benchmark::Counter::kIsRate);
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)(colour.size() + depth.size()));
}
BENCHMARK(BM_MemsetColourAndDepth)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
