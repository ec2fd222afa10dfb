// Frames of the lit cube board (11 x 11 cubes, 1,452 triangles, 640 x 480, RGB_565 + DEPTH_16),
// plain and textured, in the pipeline and through the database as a game draws it, and a
// full-screen textured quad, against a memset and a memcpy of the colour and depth bytes of the
// same pixel count. The ratios are printed after the table.
#include "support.h"
#include "sr_raster.h"

#include <benchmark/benchmark.h>

#include "board.h"
#include "recorder.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "brondel/brcore.h"
#include "brondel/brdevice.h"
#include "brondel/brpixmap.h"
#include "brondel/brscene.h"
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
    uint64_t tested = 0;
    board_frames(state, true, &tested);
    state.SetItemsProcessed(state.iterations());
    state.counters["pixels/frame"] = (double)tested / (double)state.iterations();
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

// The textured, lit board as a game draws it: a map, six materials (lit, smooth, perspective
// mapped), a cube model and 121 actors registered with the database, a point and a direct light,
// each frame cleared and drawn by BrZbSceneRender.
void BM_TexturedBoardDatabase(benchmark::State &state)
{
    BrBegin();
    BrZbBegin(BR_PMT_RGB_565, BR_PMT_DEPTH_16);
    br_pixelmap *colour = BrPixelmapAllocate(BR_PMT_RGB_565, W, H, nullptr, 0);
    br_pixelmap *depth = BrPixelmapAllocate(BR_PMT_DEPTH_16, W, H, nullptr, 0);
    colour->origin_x = W / 2;
    colour->origin_y = H / 2;
    srtest::Texture565 tex(64);
    br_pixelmap *map = BrPixelmapAllocate(BR_PMT_RGB_565, 64, 64, nullptr, 0);
    for (int y = 0; y < 64; ++y)
        std::memcpy((char *)map->pixels + y * map->row_bytes, tex.words.data() + y * 64, 128);
    map->identifier = BrResStrDup(map, "board");
    BrMapAdd(map);

    static const br_colour palette[] = {0xd04040, 0x40b050, 0x4070d0, 0xd0b040, 0xb050c0, 0x40c0c0};
    br_material *materials[6];
    for (int k = 0; k < 6; ++k) {
        br_material *m = BrMaterialAllocate(nullptr);
        m->colour = palette[k];
        m->flags = BR_MATF_LIT | BR_MATF_SMOOTH | BR_MATF_PERSPECTIVE;
        m->ka = 0.15f;
        m->kd = 0.75f;
        m->ks = 0.35f;
        m->power = 16.0f;
        m->colour_map = map;
        materials[k] = BrMaterialAdd(m);
    }
    // The pipeline board's cube: four vertices a side, the whole texture on each.
    srtest::Mesh mesh = srtest::cube(0.38f);
    br_model *cube = BrModelAllocate("board_cube", (int)mesh.v.size(), (int)mesh.f.size());
    for (size_t k = 0; k < mesh.v.size(); ++k) {
        br_vertex &v = cube->vertices[k];
        std::memcpy(v.p.v, mesh.v[k].p, sizeof v.p.v);
        std::memcpy(v.map.v, mesh.v[k].map, sizeof v.map.v);
    }
    for (size_t k = 0; k < mesh.f.size(); ++k) {
        for (int q = 0; q < 3; ++q)
            cube->faces[k].vertices[q] = mesh.f[k].vertices[q];
        cube->faces[k].smoothing = (br_uint_16)(1u << (k / 2)); // one group a side
    }
    BrModelAdd(cube);

    br_actor *world = BrActorAllocate(BR_ACTOR_NONE, nullptr);
    br_actor *camera = BrActorAdd(world, BrActorAllocate(BR_ACTOR_CAMERA, nullptr));
    br_camera *cam = (br_camera *)camera->type_data;
    cam->type = BR_CAMERA_PERSPECTIVE_CENTRED;
    cam->field_of_view = (br_angle)(1.0f * 65536.0f / 6.2831853f);
    cam->hither_z = 0.5f;
    cam->yon_z = 60.0f;
    cam->aspect = (float)W / (float)H;
    sr::Mat34 view = srtest::look_at({0.0f, 8.5f, 10.5f}, {0.0f, -0.5f, 0.5f});
    sr::Mat34 cam_to_world = sr::invert34_lp(view);
    camera->t.type = BR_TRANSFORM_MATRIX34;
    std::memcpy(camera->t.t.mat.m, cam_to_world.m, sizeof camera->t.t.mat.m);

    br_actor *point = BrActorAdd(world, BrActorAllocate(BR_ACTOR_LIGHT, nullptr));
    br_light *pl = (br_light *)point->type_data;
    pl->type = BR_LIGHT_POINT;
    pl->colour = 0xfff0d8;
    pl->attenuation_c = 0.6f;
    pl->attenuation_l = 0.06f;
    BrMatrix34Translate(&point->t.t.mat, 1.5f, 4.0f, 1.0f);
    BrLightEnable(point);
    br_actor *direct = BrActorAdd(world, BrActorAllocate(BR_ACTOR_LIGHT, nullptr));
    br_light *dl = (br_light *)direct->type_data;
    dl->type = BR_LIGHT_DIRECT;
    dl->colour = 0x5060a0;
    BrMatrix34RotateX(&direct->t.t.mat, (br_angle)0x1800);
    BrMatrix34PostRotateY(&direct->t.t.mat, (br_angle)0xe000);
    BrLightEnable(direct);

    for (int i = 0; i < 11; ++i)
        for (int j = 0; j < 11; ++j) {
            br_actor *a = BrActorAdd(world, BrActorAllocate(BR_ACTOR_MODEL, nullptr));
            a->model = cube;
            a->material = materials[(i + 2 * j) % 6];
            float angle = 0.13f * (float)(i * 3 + j * 5);
            BrMatrix34RotateY(&a->t.t.mat, (br_angle)(int)(angle * 65536.0f / 6.2831853f));
            BrMatrix34PostTranslate(&a->t.t.mat, (float)(i - 5), 0.1f * (float)((i + j) % 3), (float)(j - 5));
        }

    for (auto _ : state) {
        BrPixelmapFill(colour, 0);
        BrPixelmapFill(depth, 0xffffffff);
        BrZbSceneRender(world, camera, colour, depth);
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
    BrActorFree(world);
    BrZbEnd();
    BrPixelmapFree(colour);
    BrPixelmapFree(depth);
    BrPixelmapFree(map);
    BrEnd();
}
BENCHMARK(BM_TexturedBoardDatabase)->Unit(benchmark::kMillisecond);

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

// The reference of the full-screen quad: the same colour and depth bytes copied by memcpy from a
// frame's worth of source bytes.
void BM_MemcpyColourAndDepth(benchmark::State &state)
{
    std::vector<uint8_t> from((size_t)W * H * 4, 0x5a), colour((size_t)W * H * 2), depth((size_t)W * H * 2);
    benchmark::DoNotOptimize(from.data());
    for (auto _ : state) {
        std::memcpy(colour.data(), from.data(), colour.size());
        std::memcpy(depth.data(), from.data() + colour.size(), depth.size());
        benchmark::DoNotOptimize(colour.data());
        benchmark::DoNotOptimize(depth.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)(colour.size() + depth.size()));
}
BENCHMARK(BM_MemcpyColourAndDepth)->Unit(benchmark::kMillisecond);


void ratios(const Recorder &rec)
{
    auto at = [&](const char *name) { return rec.at(name); };
    const double board = at("BM_CubeBoardFrame"), textured = at("BM_TexturedBoardFrame"),
                 database = at("BM_TexturedBoardDatabase"), quad = at("BM_TexturedQuadFullScreen"),
                 memcpy_frame = at("BM_MemcpyColourAndDepth"), memset_frame = at("BM_MemsetColourAndDepth");
    std::printf("\nRatios (same run, processor time):\n");
    if (database > 0)
        std::printf("  textured lit board through the database: %.0f frames/s (goal >= 2000): %s\n", 1.0 / database,
                    1.0 / database >= 2000.0 ? "met" : "NOT met");
    if (textured > 0 && database > 0)
        std::printf("  database board / pipeline board: %.2f of the pipeline's frame rate\n", textured / database);
    if (quad > 0 && memcpy_frame > 0)
        std::printf("  full-screen textured quad: %.1f%% of a memcpy of the same bytes (goal >= 15%%): %s\n",
                    100.0 * memcpy_frame / quad, memcpy_frame / quad >= 0.15 ? "met" : "NOT met");
    if (quad > 0 && memset_frame > 0)
        std::printf("  full-screen textured quad: %.1f%% of a memset of the same bytes\n", 100.0 * memset_frame / quad);
    if (board > 0)
        std::printf("  untextured board: %.0f frames/s; textured board: %.0f frames/s\n", 1.0 / board,
                    textured > 0 ? 1.0 / textured : 0.0);
}

} // namespace

int main(int argc, char **argv)
{
    // SOFTREND_PATH=scalar|sse2|avx2 forces a path of the one-pass writers (to compare them).
    if (const char *path = std::getenv("SOFTREND_PATH")) {
        std::string p = path;
        sr::SimdPath want = p == "scalar" ? sr::SimdPath::Scalar : p == "sse2" ? sr::SimdPath::SSE2 : sr::SimdPath::AVX2;
        sr::simd_path = std::min(want, sr::simd_best());
    }
    std::printf("one-pass writers: %s\n", sr::simd_path == sr::SimdPath::AVX2   ? "AVX2"
                                          : sr::simd_path == sr::SimdPath::SSE2 ? "SSE2"
                                                                                : "pixel by pixel");
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    Recorder rec;
    benchmark::RunSpecifiedBenchmarks(&rec);
    ratios(rec);
    benchmark::Shutdown();
    return 0;
}
