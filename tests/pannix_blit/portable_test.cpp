// The portable blitters: key, fill, shading and mirrored copies, their clipping against both
// maps, and the line-doubling copy.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "blit_api.h"
#include "support.h"

using namespace pxblit;
using pxtest::MapSpec;
using pxtest::TestMap;

namespace {

TestMap row16(std::vector<uint32_t> values, int type = T_565) {
    TestMap m(MapSpec{type, static_cast<int>(values.size()), 1});
    for (size_t i = 0; i < values.size(); ++i) m.set(static_cast<int>(i), 0, values[i]);
    return m;
}

std::vector<uint32_t> read_row(TestMap& m, int y = 0) {
    std::vector<uint32_t> v;
    for (int x = 0; x < m.map()->width; ++x) v.push_back(m.get(x, y));
    return v;
}

using V = std::vector<uint32_t>;

TEST(CopyRectTransparent, SkipsTheKeyAtEveryPixelSize) {
    struct Case { int type; uint32_t key; V src, want; };
    const Case cases[] = {
        {T_I8, 0, {0, 1, 2, 0}, {9, 1, 2, 9}},
        {T_I8, 2, {0, 1, 2, 0}, {0, 1, 9, 0}},
        {T_565, 0, {0, 0x1234, 0, 0xFFFF}, {9, 0x1234, 9, 0xFFFF}},
        {T_555, 0x1234, {0, 0x1234, 5, 0x1234}, {0, 9, 5, 9}},
        {T_565, 0x10000, {0, 0x1234, 0, 1}, {0, 0x1234, 0, 1}},  // a key above 16 bits skips nothing
        {T_888, 0xFF00FF, {0xFF00FF, 0xFF00FE, 0x00FF00, 0xFF00FF}, {9, 0xFF00FE, 0x00FF00, 9}},
        {T_X888, 0, {0, 0xFF000000, 1, 0}, {9, 0xFF000000, 1, 9}},
        {T_A8888, 0x80FFFFFF, {0x80FFFFFF, 0x00FFFFFF, 1, 2}, {9, 0x00FFFFFF, 1, 2}},
    };
    for (const Case& c : cases)
        for (SimdLevel level : {SimdLevel::Scalar, SimdLevel::Sse2, SimdLevel::Avx2}) {
            set_simd_level(level);
            TestMap src = row16(c.src, c.type);
            TestMap dst = row16(V(c.src.size(), 9), c.type);
            copy_rect_transparent(dst.map(), 0, 0, src.map(), 0, 0, 4, 1, c.key);
            EXPECT_EQ(read_row(dst), c.want) << "type " << c.type << " key " << c.key;
            EXPECT_TRUE(dst.guards_ok());
        }
    set_simd_level(SimdLevel::Avx2);
}

TEST(CopyRectTransparent, ClipsAndHonoursTheSourceBase) {
    TestMap src(MapSpec{T_565, 4, 2, 0, false, 2, 1, 1, 1});
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) src.set(x, y, static_cast<uint32_t>(0x10 * y + x + 1));
    TestMap dst(MapSpec{T_565, 6, 3, 0, true});
    copy_rect_transparent(dst.map(), 3, 1, src.map(), -1, 0, 5, 5, 0);
    // Source column -1 is cut, so the copy starts at dx + 1 with source column 0; 2 columns fit.
    EXPECT_EQ(read_row(dst, 1), (V{0, 0, 0, 0, 1, 2}));
    EXPECT_EQ(read_row(dst, 2), (V{0, 0, 0, 0, 0x11, 0x12}));
    EXPECT_EQ(read_row(dst, 0), V(6, 0));
    EXPECT_TRUE(dst.guards_ok());
}

TEST(CopyRectTransparent, TypesItDoesNotStepDrawNothing) {
    for (int type : {0, 2, 9, int{T_A565}, int{T_4444}}) {
        TestMap src(MapSpec{type, 2, 2});
        src.fill_bytes(0x33);
        TestMap dst(MapSpec{type, 2, 2});
        const auto before = dst.snapshot();
        copy_rect_transparent(dst.map(), 0, 0, src.map(), 0, 0, 2, 2, 0);
        EXPECT_TRUE(dst.memory() == before) << type;
    }
    // A source stepped at another size than the destination's.
    TestMap src8(MapSpec{T_I8, 4, 4});
    src8.fill_bytes(0x33);
    TestMap dst(MapSpec{T_565, 4, 4});
    copy_rect_transparent(dst.map(), 0, 0, src8.map(), 0, 0, 4, 4, 0);
    EXPECT_EQ(dst.get(0, 0), 0u);
    copy_rect_transparent(nullptr, 0, 0, src8.map(), 0, 0, 4, 4, 0);
}

std::vector<std::string> g_refusals;

// A source of another pixel size than the destination's is refused by every routine, which says so
// once for the call and draws nothing.
TEST(PortableBlitters, OtherPixelSizesAreRefusedAndReportedOnce) {
    set_refusal_report([](const char* text) { g_refusals.emplace_back(text); });
    struct Case {
        const char* name;
        void (*blit)(PxMap* d, PxMap* s);
    };
    const Case cases[] = {
        {"CopyRectTransparent", [](PxMap* d, PxMap* s) { copy_rect_transparent(d, 0, 0, s, 0, 0, 4, 4, 0); }},
        {"CopyRectTransparent0fill",
         [](PxMap* d, PxMap* s) { copy_rect_transparent0_fill(d, 0, 0, s, 0, 0, 4, 4, 0x1234); }},
        {"CopyRectTranslucent0", [](PxMap* d, PxMap* s) { copy_rect_translucent0(d, 0, 0, s, 0, 0, 4, 4, 0, nullptr); }},
        {"CopyRectTranslucentA", [](PxMap* d, PxMap* s) { copy_rect_translucent_a(d, 0, 0, s, 0, 0, 4, 4, nullptr); }},
        {"CopyRectFlipY", [](PxMap* d, PxMap* s) { copy_rect_flip(d, 0, 0, s, 0, 0, 4, 4, FlipH, false); }},
        {"CopyRectFlipX", [](PxMap* d, PxMap* s) { copy_rect_flip(d, 0, 0, s, 0, 0, 4, 4, FlipV, false); }},
        {"CopyRectTransparent0FlipXY",
         [](PxMap* d, PxMap* s) { copy_rect_flip(d, 0, 0, s, 0, 0, 4, 4, FlipH | FlipV, true); }},
    };
    // A 16-bit target with an 8-bit or a 32-bit source (the shape of a glyph sheet of another type).
    for (int src_type : {int{T_I8}, int{T_X888}})
        for (const Case& c : cases) {
            TestMap src(MapSpec{src_type, 4, 4}), dst(MapSpec{T_565, 4, 4});
            src.fill_bytes(0x33);
            const auto before = dst.snapshot();
            g_refusals.clear();
            c.blit(dst.map(), src.map());
            EXPECT_TRUE(dst.memory() == before) << c.name;
            ASSERT_EQ(g_refusals.size(), 1u) << c.name;
            EXPECT_EQ(g_refusals[0].rfind(std::string(c.name) + ": source pixel type " + std::to_string(src_type), 0), 0u)
                << g_refusals[0];
        }
    // Maps of one size draw and report nothing; neither does a call without a map.
    TestMap src(MapSpec{T_555, 4, 4}), dst(MapSpec{T_565, 4, 4});
    src.fill_bytes(0x33);
    g_refusals.clear();
    copy_rect_transparent0_fill(dst.map(), 0, 0, src.map(), 0, 0, 4, 4, 0x1234);
    copy_rect_transparent(nullptr, 0, 0, src.map(), 0, 0, 4, 4, 0);
    EXPECT_EQ(dst.get(3, 3), 0x1234u);
    EXPECT_TRUE(g_refusals.empty());
    set_refusal_report(nullptr);
}

TEST(PortableBlitters, PerPixelRules) {
    uint8_t table_mem[256 * 256];
    for (int r = 0; r < 256; ++r)
        for (int c = 0; c < 256; ++c) table_mem[r * 256 + c] = static_cast<uint8_t>(r ^ c);
    PxMap table;
    table.pixels = table_mem;
    table.row_bytes = 256;
    table.type = T_I8;
    table.width = table.height = 256;

    {  // fill: 0x1234 where the source is non-zero
        TestMap src = row16({0, 5, 0, 0xFFFF}), dst = row16({7, 7, 7, 7});
        copy_rect_transparent0_fill(dst.map(), 0, 0, src.map(), 0, 0, 4, 1, 0xABCD1234);
        EXPECT_EQ(read_row(dst), (V{7, 0x1234, 7, 0x1234}));
    }
    {  // fill on 8 bits: the low byte
        TestMap src = row16({0, 5}, T_I8), dst = row16({7, 7}, T_I8);
        copy_rect_transparent0_fill(dst.map(), 0, 0, src.map(), 0, 0, 2, 1, 0x1234);
        EXPECT_EQ(read_row(dst), (V{7, 0x34}));
    }
    {  // translucent 16-bit: source 0 halves the destination
        TestMap src = row16({0, 0x1111}, T_555), dst = row16({0x7FFF, 0x7FFF}, T_555);
        copy_rect_translucent0(dst.map(), 0, 0, src.map(), 0, 0, 2, 1, 0, nullptr);
        EXPECT_EQ(read_row(dst), (V{0x3DEF, 0x1111}));
    }
    {  // translucent 8-bit through shade row 3 (only its low byte counts)
        TestMap src = row16({0, 4}, T_I8), dst = row16({10, 10}, T_I8);
        copy_rect_translucent0(dst.map(), 0, 0, src.map(), 0, 0, 2, 1, 0x1203, &table);
        EXPECT_EQ(read_row(dst), (V{3u ^ 10u, 4}));
    }
    {  // translucent A: table[s][d] on 8 bits, halving whatever the source on 16
        TestMap src = row16({0, 4}, T_I8), dst = row16({10, 10}, T_I8);
        copy_rect_translucent_a(dst.map(), 0, 0, src.map(), 0, 0, 2, 1, &table);
        EXPECT_EQ(read_row(dst), (V{10, 4u ^ 10u}));
        TestMap s16 = row16({0, 0x1111}, T_555), d16 = row16({0x7FFF, 0x7FFF}, T_555);
        copy_rect_translucent_a(d16.map(), 0, 0, s16.map(), 0, 0, 2, 1, nullptr);
        EXPECT_EQ(read_row(d16), (V{0x3DEF, 0x3DEF}));
    }
    {  // no blend table: 8-bit shading draws nothing
        TestMap src = row16({0, 4}, T_I8), dst = row16({10, 10}, T_I8);
        copy_rect_translucent0(dst.map(), 0, 0, src.map(), 0, 0, 2, 1, 0, nullptr);
        copy_rect_translucent_a(dst.map(), 0, 0, src.map(), 0, 0, 2, 1, nullptr);
        EXPECT_EQ(read_row(dst), (V{10, 10}));
    }
    {  // shading of 24- and 32-bit maps has no rule: nothing drawn
        TestMap src = row16({0, 0}, T_X888), dst = row16({0xFFFFFF, 0xFFFFFF}, T_X888);
        copy_rect_translucent0(dst.map(), 0, 0, src.map(), 0, 0, 2, 1, 0, &table);
        EXPECT_EQ(read_row(dst), (V{0xFFFFFF, 0xFFFFFF}));
    }
}

TEST(PortableBlitters, MirroredCopies) {
    struct Case { int mirror; bool skip; int dx; V want; };
    const Case cases[] = {
        {FlipH, false, 0, {3, 0, 1, 9}},
        {FlipH, false, -1, {0, 1, 9, 9}},
        {FlipH, true, 0, {3, 9, 1, 9}},
        {FlipNone, false, 1, {9, 1, 0, 3}},
        {FlipNone, true, 1, {9, 1, 9, 3}},
        {FlipH, false, 2, {9, 9, 3, 0}},  // cut on the right: the source's left columns go
    };
    for (const Case& c : cases) {
        TestMap src = row16({1, 0, 3}), dst = row16({9, 9, 9, 9});
        copy_rect_flip(dst.map(), c.dx, 0, src.map(), 0, 0, 3, 1, c.mirror, c.skip);
        EXPECT_EQ(read_row(dst), c.want) << "mirror " << c.mirror << " dx " << c.dx;
    }
}

TEST(PortableBlitters, VerticalMirrorCutAtTheBottom) {
    // Source rows hold 1..5; a 5-row copy at dy 2 into a 4-row map is cut by 3 rows, draws source
    // row 4 first and stops at row 3.
    TestMap src(MapSpec{T_565, 1, 5});
    for (int y = 0; y < 5; ++y) src.set(0, y, static_cast<uint32_t>(y + 1));
    TestMap dst(MapSpec{T_565, 1, 4});
    copy_rect_flip(dst.map(), 0, 2, src.map(), 0, 0, 1, 5, FlipV, false);
    EXPECT_EQ(dst.get(0, 2), 5u);
    EXPECT_EQ(dst.get(0, 3), 4u);
    EXPECT_EQ(dst.get(0, 0), 0u);
    // Both axes at once, from a sub-map source.
    TestMap sub(MapSpec{T_565, 2, 2, 0, false, 1, 1, 1, 1});
    sub.set(0, 0, 1); sub.set(1, 0, 2); sub.set(0, 1, 3); sub.set(1, 1, 4);
    TestMap d2(MapSpec{T_565, 2, 2, 0, true});
    copy_rect_flip(d2.map(), 0, 0, sub.map(), 0, 0, 2, 2, FlipH | FlipV, false);
    EXPECT_EQ(read_row(d2, 0), (V{4, 3}));
    EXPECT_EQ(read_row(d2, 1), (V{2, 1}));
}

TEST(PortableBlitters, SourceOverhangIsClippedForEveryMirror) {
    // A rectangle reaching past the source on every side draws only what the source holds, at the
    // place the unclipped mirror would put it.
    for (int mirror : {int{FlipNone}, int{FlipH}, int{FlipV}, FlipH | FlipV}) {
        TestMap src(MapSpec{T_565, 3, 3});
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 3; ++x) src.set(x, y, static_cast<uint32_t>(0x10 * (y + 1) + x + 1));
        TestMap dst(MapSpec{T_565, 9, 9});
        copy_rect_flip(dst.map(), 1, 1, src.map(), -2, -1, 7, 6, mirror, false);
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 9; ++x) {
                uint32_t want = 0;
                const int c = x - 1, r = y - 1;  // position within the 7×6 rectangle
                if (c >= 0 && c < 7 && r >= 0 && r < 6) {
                    const int ux = (mirror & FlipH) ? -2 + 6 - c : -2 + c;
                    const int uy = (mirror & FlipV) ? -1 + 5 - r : -1 + r;
                    if (ux >= 0 && ux < 3 && uy >= 0 && uy < 3) want = static_cast<uint32_t>(0x10 * (uy + 1) + ux + 1);
                }
                ASSERT_EQ(dst.get(x, y), want) << "mirror " << mirror << " at " << x << "," << y;
            }
        EXPECT_TRUE(dst.guards_ok());
    }
}

TEST(PortableBlitters, RealPixelSizeForWideMaps) {
    TestMap src = row16({0x11223344, 0, 0x55667788}, T_X888), dst = row16({1, 1, 1}, T_X888);
    copy_rect_flip(dst.map(), 0, 0, src.map(), 0, 0, 3, 1, FlipH, true);
    EXPECT_EQ(read_row(dst), (V{0x55667788, 1, 0x11223344}));
    TestMap s3 = row16({0x112233, 0x445566}, T_888), d3 = row16({0, 0}, T_888);
    copy_rect_flip(d3.map(), 0, 0, s3.map(), 0, 0, 2, 1, FlipH, false);
    EXPECT_EQ(read_row(d3), (V{0x445566, 0x112233}));
    EXPECT_TRUE(d3.guards_ok());
}

TEST(MagnifyPixV12b, DoublesLinesIntoEvenRows) {
    TestMap src(MapSpec{T_565, 3, 2});
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) src.set(x, y, static_cast<uint32_t>(10 * y + x + 1));
    TestMap dst(MapSpec{T_565, 3, 4});
    dst.fill_bytes(0xAA);
    magnify_v12b(dst.map(), src.map());
    EXPECT_EQ(read_row(dst, 0), (V{1, 2, 3}));
    EXPECT_EQ(read_row(dst, 1), V(3, 0xAAAA));
    EXPECT_EQ(read_row(dst, 2), (V{11, 12, 13}));
    EXPECT_EQ(read_row(dst, 3), V(3, 0xAAAA));
    EXPECT_TRUE(dst.guards_ok());

    TestMap same(MapSpec{T_565, 3, 2});
    same.fill_bytes(0xAA);
    const auto before = same.snapshot();
    magnify_v12b(same.map(), src.map());
    EXPECT_TRUE(same.memory() == before);
}

TEST(MagnifyPixV12b, SubMapsCopyOnlyTheirRowsRemainder) {
    TestMap src(MapSpec{T_565, 2, 1, 0, false, 1, 0, 0, 0});
    src.set(0, 0, 5);
    src.set(1, 0, 6);
    TestMap dst(MapSpec{T_565, 2, 2, 0, true, 0, 0, 1, 0});
    magnify_v12b(dst.map(), src.map());
    EXPECT_EQ(read_row(dst, 0), (V{5, 6}));
    EXPECT_TRUE(dst.guards_ok());
}

}  // namespace
