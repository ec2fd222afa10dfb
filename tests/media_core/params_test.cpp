// Parameter lists: order of application, rectangle arithmetic, guards, answer widths and the
// pointer-sized words of the variadic exports.
#include <array>
#include <cstring>

#include "media_test.h"

using namespace mediatest;

namespace {

class MediaParams : public ::testing::Test {
protected:
    void SetUp() override
    {
        h = MediaOpen(MEDIA_MZI, 0, MEDIAPARAM_RECT, start.data());
        ASSERT_GT(h, 0);
    }
    void TearDown() override { CloseMedia(h); }
    std::array<int32_t, 4> rect()
    {
        std::array<int32_t, 4> r{};
        MediaGet(h, MEDIAPARAM_RECT, r.data());
        return r;
    }
    FakeFile *fake() { return static_cast<FakeFile *>(media::find(h)); }

    FakeKind kind;
    std::array<int32_t, 4> start{10, 20, 30, 40};
    MediaHandle h = -1;
};

TEST_F(MediaParams, RectangleIdsMoveAndSizeTheDestination)
{
    std::array<int32_t, 4> given{-5, 6, 100, 200};
    struct Case {
        const char *what;
        std::vector<intptr_t> words;
        std::array<int32_t, 4> expected;
    };
    const std::vector<Case> cases = {
        {"empty list", {}, {10, 20, 30, 40}},
        {"left keeps the width", {9, 100}, {100, 20, 120, 40}},
        {"top keeps the height", {10, -7}, {10, -7, 30, 13}},
        {"width from the old left, then the move", {11, 50, 9, 100}, {100, 20, 150, 40}},
        {"move, then the width from the new left", {9, 100, 11, 50}, {100, 20, 150, 40}},
        {"height", {12, 5}, {10, 20, 30, 25}},
        {"negative sizes are kept", {11, -4, 12, -6}, {10, 20, 6, 14}},
        {"whole rectangle", {13, MEDIA_W(given.data())}, {-5, 6, 100, 200}},
        {"null rectangle is skipped", {13, 0, 9, 0}, {0, 20, 20, 40}},
        {"unknown ids are skipped", {34, 99, 4000, 1, 10, 0}, {10, 0, 30, 20}},
        {"later pairs overrule earlier ones", {9, 1, 9, 2}, {2, 20, 22, 40}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        MediaSet(h, MEDIAPARAM_RECT, start.data());
        std::vector<media::MediaParam> list;
        for (size_t i = 0; i + 1 < c.words.size(); i += 2)
            list.push_back({int32_t(c.words[i]), c.words[i + 1]});
        media::set_params(h, list);
        EXPECT_EQ(rect(), c.expected);
        int32_t w = 0, hgt = 0, left = 0, top = 0;
        MediaGet(h, MEDIAPARAM_WIDTH, &w, MEDIAPARAM_HEIGHT, &hgt, MEDIAPARAM_LEFT, &left, MEDIAPARAM_TOP, &top);
        EXPECT_EQ(w, c.expected[2] - c.expected[0]);
        EXPECT_EQ(hgt, c.expected[3] - c.expected[1]);
        EXPECT_EQ(left, c.expected[0]);
        EXPECT_EQ(top, c.expected[1]);
    }
}

TEST_F(MediaParams, KindIdsRunAfterEveryCommonId)
{
    // The kind's pair comes first in the list but sees the move that follows it.
    MediaSet(h, 1000, 0, MEDIAPARAM_LEFT, 42, 1001, 0);
    ASSERT_EQ(fake()->own_seen.size(), 2u);
    EXPECT_EQ(fake()->own_seen[0].id, 1000);
    EXPECT_EQ(fake()->own_seen[0].left, 42);
    EXPECT_EQ(fake()->own_seen[1].id, 1001);
}

TEST_F(MediaParams, FrameAndRateAreTakenOnlyInRange)
{
    struct Case {
        int32_t id;
        intptr_t value;
        int32_t expected;
    };
    // 10 frames; the frame starts at 3 and the rate at 25.
    for (const Case &c : {Case{31, 10, 3}, Case{31, 9, 9}, Case{31, 0, 0}, Case{31, -1, 3}, Case{32, 0, 25},
                          Case{32, -3, 25}, Case{32, 1, 1}, Case{32, 0x10000 + 30, 30}}) {
        SCOPED_TRACE(testing::Message() << c.id << " = " << c.value);
        MediaSet(h, MEDIAPARAM_FRAME, 3, MEDIAPARAM_FPS, 25);
        MediaSet(h, c.id, c.value);
        int32_t frame = -1;
        uint16_t fps = 0;
        MediaGet(h, MEDIAPARAM_FRAME, &frame, MEDIAPARAM_FPS, &fps);
        EXPECT_EQ(c.id == 31 ? frame : int32_t(fps), c.expected);
    }
}

// Bytes an answer writes: the highest byte changed over two fills of the buffer, plus one.
size_t written(MediaHandle h, int32_t id)
{
    size_t width = 0;
    for (uint8_t fill : {0xAA, 0x55}) {
        uint8_t buffer[32];
        std::memset(buffer, fill, sizeof buffer);
        MediaGet(h, id, buffer);
        for (size_t i = 0; i < sizeof buffer; i++)
            if (buffer[i] != fill)
                width = std::max(width, i + 1);
    }
    return width;
}

TEST_F(MediaParams, AnswersHaveTheWidthOfTheirId)
{
    MediaSet(h, MEDIAPARAM_FPS, 0x1FFF, MEDIAPARAM_LOOP, 1, MEDIAPARAM_RANGESTART, -1, MEDIAPARAM_RANGEEND, -1,
             MEDIAPARAM_LEFT, -1, MEDIAPARAM_TOP, -1, MEDIAPARAM_WIDTH, -1, MEDIAPARAM_HEIGHT, -1, MEDIAPARAM_FRAME, 9,
             MEDIAPARAM_USER1, -1, MEDIAPARAM_USER2, -1, MEDIAPARAM_USER3, -1, MEDIAPARAM_USER4, -1);
    fake()->measured_rate = 24.99;
    fake()->source_rect = {-1, -1, -1, -1};
    struct Case {
        int32_t id;
        size_t width;
    };
    for (const Case &c : {Case{32, 2}, Case{33, 2}, Case{38, 1}, Case{9, 4}, Case{10, 4}, Case{11, 4}, Case{12, 4},
                          Case{28, 4}, Case{30, 4}, Case{31, 4}, Case{36, 4}, Case{37, 4}, Case{13, 16},
                          Case{15, 16}, Case{47, 8}, Case{48, 8}, Case{49, 8}, Case{50, 8},
                          // set-only and unknown ids write nothing
                          Case{1, 0}, Case{2, 0}, Case{29, 0}, Case{34, 0}}) {
        EXPECT_EQ(written(h, c.id), c.width) << c.id;
    }
    uint16_t rate = 0;
    MediaGet(h, MEDIAPARAM_MEASUREDFPS, &rate);
    EXPECT_EQ(rate, 2499);
    // A null address is skipped.
    MediaGet(h, MEDIAPARAM_RECT, 0, MEDIAPARAM_FRAMES, 0);
}

TEST_F(MediaParams, WordsArePointerSizedEndToEnd)
{
    // A user word above 4 GB, set through OpenMedia's list of a second object and through a set-list.
    const intptr_t big = intptr_t(0x7FEDCBA987654321);
    int32_t marker = 0;
    MediaHandle second = MediaOpen(MEDIA_MZI, 0, MEDIAPARAM_USER4, big, MEDIAPARAM_USER1, &marker);
    ASSERT_GT(second, 0);
    intptr_t got[4] = {};
    MediaGet(second, MEDIAPARAM_USER1, &got[0], MEDIAPARAM_USER4, &got[3]);
    EXPECT_EQ(got[0], MEDIA_W(&marker));
    EXPECT_EQ(got[3], big);
    MediaSet(h, MEDIAPARAM_USER2, -big);
    MediaGet(h, MEDIAPARAM_USER2, &got[1]);
    EXPECT_EQ(got[1], -big);
    // Plain int words with garbage above them still end the list at id 0.
    EXPECT_EQ(SetMediaParams(h, MEDIA_W(MEDIAPARAM_LOOP), MEDIA_W(1), 0), 1);
    uint8_t loop = 0;
    MediaGet(h, MEDIAPARAM_LOOP, &loop);
    EXPECT_EQ(loop, 1);
    CloseMedia(second);
}

TEST_F(MediaParams, SourceIsAPathOnlyAboveTheSmallNumbers)
{
    std::string path = "Movies\\Caf\xE9 \x80.mzi";
    MediaHandle named = MediaOpen(MEDIA_MZI, path.c_str());
    MediaHandle numbered = MediaOpen(MEDIA_MZI, 0xFFFF);
    std::string overlong(400, 'x');
    MediaHandle longer = MediaOpen(MEDIA_MZI, overlong.c_str());
    auto *a = static_cast<FakeFile *>(media::find(named));
    auto *b = static_cast<FakeFile *>(media::find(numbered));
    auto *c = static_cast<FakeFile *>(media::find(longer));
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(a->source_path, path);
    EXPECT_EQ(a->source_wide, u"Movies\\Caf\u00E9 \u20AC.mzi");
    EXPECT_EQ(b->source, 0xFFFF);
    EXPECT_TRUE(b->source_path.empty());
    EXPECT_TRUE(b->source_wide.empty());
    EXPECT_EQ(c->source_path.size(), 260u);
    EXPECT_EQ(c->source_wide.size(), 260u);
    for (MediaHandle x : {named, numbered, longer})
        CloseMedia(x);
}

}  // namespace
