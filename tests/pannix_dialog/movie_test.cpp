// Movie cells: frames taken by the clock, the end of a movie played once posting the cell's command,
// and the frame grab writing each new frame as a pixel-map file.
#include "dialog_support.h"
#include "movie/flcwriter.h"
#include "movie/tmzwriter.h"

namespace {

using dlgtest::cell;
using dlgtest::pixel;

class MovieCell : public dlgtest::Dialog {
protected:
    // Three 8x4 frames of 16 bits, each one colour (0x0100 + frame), 40 ms apart.
    void write_movie()
    {
        movie::TmzWriter w(8, 4, 16, 40);
        for (int f = 0; f < 3; f++) {
            std::vector<uint8_t> frame(size_t(w.frame_size()));
            for (size_t i = 0; i < frame.size(); i += 2) {
                frame[i] = uint8_t(f);
                frame[i + 1] = 1;
            }
            ASSERT_TRUE(w.add_frame(frame));
        }
        std::string error;
        ASSERT_TRUE(w.write(path("m.tmz"), error)) << error;
    }
};

TEST_F(MovieCell, PlaysByTheClockAndPostsItsCommandAtTheEnd)
{
    write_movie();
    cells = {cell(AKTYPE_STATIC, 1, CF_PLAYONCE | CF_DELAY, 4, 4, 0, 0)};
    cells[0].file = const_cast<char *>("m.tmz");
    cells[0].command = 0x71;
    ASSERT_EQ(start(cells, 0, 0), 1) << GetLastMsgError();
    EXPECT_EQ(cells[0].cellW, 8);
    EXPECT_EQ(cells[0].cellH, 4);
    ASSERT_EQ(ToggleSaveMode(), 1);
    std::vector<uint16_t> seen;
    int result = 1;
    for (int step = 0; step < 4 && result != 0; step++) {
        result = PannixBuildScene(&scene);
        seen.push_back(pixel(parent, 6, 6));
        PlatAdvanceClock(40);
    }
    EXPECT_EQ(result, 0);
    EXPECT_EQ(seen, (std::vector<uint16_t>{0x0100, 0x0101, 0x0102, 0x0102}));
    drain();
    EXPECT_EQ(thread_keys, std::vector<int32_t>{0x71});
    // The two frames taken while grabbing were saved under the movie's name.
    br_pixelmap *grabbed = PxLoadPix(path("m001.pix").c_str());
    ASSERT_NE(grabbed, nullptr) << GetLastMsgError();
    EXPECT_EQ(pixel(grabbed, 3, 2), 0x0102);
    PxFreePix(grabbed);
    if (ToggleSaveMode() != 0)  // the grab mode is process-wide: leave it off
        ToggleSaveMode();
}

TEST_F(MovieCell, FailedGrabIsShownAndNotCounted)
{
    write_movie();
    std::filesystem::create_directory(path("m000.pix"));  // the first frame's file cannot be written
    cells = {cell(AKTYPE_STATIC, 1, 0, 4, 4, 0, 0)};
    cells[0].file = const_cast<char *>("m.tmz");
    ASSERT_EQ(start(cells, 0, 0), 1) << GetLastMsgError();
    PlatMsgBoxReset();
    ASSERT_EQ(ToggleSaveMode(), 1);
    ASSERT_EQ(PannixBuildScene(&scene), 1);  // the first frame was shown at the start
    PlatAdvanceClock(40);
    ASSERT_EQ(PannixBuildScene(&scene), 1);
    const std::string log = dlgtest::box_log();
    EXPECT_EQ(log.find("beep type=0xffffffff"), std::string::npos) << log;
    EXPECT_NE(log.find("beep type=0x10\n"), std::string::npos) << log;
    EXPECT_NE(log.find("caption=\"PANNIX\""), std::string::npos) << log;
    EXPECT_NE(log.find("m000.pix"), std::string::npos) << log;
    EXPECT_EQ(cells[0].grabCount, 0);
    EXPECT_EQ(ToggleSaveMode(), 1);  // the failure turned the grab off
    ToggleSaveMode();
}

// 8-bit movies in a 16-bit scene: FLC and FLI, preloaded and streamed, each frame a solid colour
// index whose colour comes from the movie's palette (which changes at frame 2).
class EightBitCell : public dlgtest::Dialog {
protected:
    static constexpr uint16_t kColours[4] = {0xF800, 0x07E0, 0x001F, 0xFFE0};

    void write_movie(const std::string &name, bool fli)
    {
        movie::FlcWriter w(8, 4, fli ? 3 : 40, fli);
        movie::Palette one{}, two{};
        auto set = [](movie::Palette &p, int index, uint16_t c) {
            p[3 * size_t(index)] = uint8_t((c >> 11) * 255 / 31);
            p[3 * size_t(index) + 1] = uint8_t((c >> 5 & 63) * 255 / 63);
            p[3 * size_t(index) + 2] = uint8_t((c & 31) * 255 / 31);
        };
        for (int i = 0; i < 4; i++)
            set(one, 10 + i, kColours[i]);
        two = one;
        set(two, 12, 0xF81F);  // frame 2's index takes another colour from frame 2 on
        for (int f = 0; f < 4; f++)
            ASSERT_TRUE(w.add_frame(std::vector<uint8_t>(32, uint8_t(10 + f)), f == 0 ? &one : f == 2 ? &two : nullptr,
                                    movie::FlcWriter::Code::Auto, fli));
        std::string error;
        ASSERT_TRUE(w.write(path(name), error)) << error;
    }
    uint16_t expected(int frame) const { return frame == 2 ? 0xF81F : kColours[frame]; }
};

TEST_F(EightBitCell, DrawnWithTheMoviesPalette)
{
    for (bool fli : {false, true})
        for (uint32_t mem : {0u, uint32_t(CF_USEMEM)}) {
            SCOPED_TRACE(testing::Message() << (fli ? "FLI" : "FLC") << (mem ? " preloaded" : " streamed"));
            const char *name = fli ? "m.fli" : "m.flc";
            write_movie(name, fli);
            cells = {cell(AKTYPE_STATIC, 1, CF_NOTRANSP | mem, 4, 4, 0, 0)};
            cells[0].file = const_cast<char *>(name);
            ASSERT_EQ(start(cells, 0, 0), 1) << GetLastMsgError();
            const uint32_t frame_time = cells[0].movie->frameTime;
            for (int f = 0; f < 6; f++) {
                ASSERT_EQ(PannixBuildScene(&scene), 1);
                EXPECT_EQ(pixel(parent, 6, 6), expected(f % 4)) << "frame " << f;
                EXPECT_EQ(pixel(parent, 11, 7), expected(f % 4)) << "frame " << f;
                PlatAdvanceClock(frame_time);
            }
            KillPannix(&scene);
        }
}

// A cell that plays only when focused is held on its loop-start frame otherwise, streamed or not.
TEST_F(EightBitCell, UnfocusedPlayIfCurrentShowsTheLoopStart)
{
    write_movie("m.flc", false);
    for (uint32_t mem : {0u, uint32_t(CF_USEMEM)})
        for (int32_t loop_start : {0, 2}) {
            SCOPED_TRACE(testing::Message() << (mem ? "preloaded" : "streamed") << " loop start " << loop_start);
            cells = {cell(AKTYPE_BUTTON, 1, CF_NOTRANSP | CF_PLAYIFCUR | mem, 4, 4, 0, 0),
                     cell(AKTYPE_BUTTON, 2, 0, 40, 4, 20, 10)};
            cells[0].file = const_cast<char *>("m.flc");
            cells[0].bxCur = loop_start;
            cells[0].bxMax = 4;
            cells[1].text = const_cast<char *>("x");
            ASSERT_EQ(start(cells, 0, 0), 1) << GetLastMsgError();
            PMVMOVIE *m = cells[0].movie;
            // Focused: it plays on from where it is.
            scene.focus = 0;
            for (int f = 0; f < 3; f++) {
                ASSERT_EQ(PannixBuildScene(&scene), 1);
                PlatAdvanceClock(m->frameTime);
            }
            scene.focus = 1;
            for (int f = 0; f < 3; f++) {
                ASSERT_EQ(PannixBuildScene(&scene), 1);
                EXPECT_EQ(pixel(parent, 6, 6), expected(loop_start)) << "frame " << f;
                PlatAdvanceClock(m->frameTime);
            }
            // Focused again, it plays on from the loop start.
            scene.focus = 0;
            ASSERT_EQ(PannixBuildScene(&scene), 1);
            EXPECT_EQ(pixel(parent, 6, 6), expected(loop_start + 1));
            KillPannix(&scene);
        }
}

}  // namespace
