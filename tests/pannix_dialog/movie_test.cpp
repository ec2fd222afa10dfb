// Movie cells: frames taken by the clock, the end of a movie played once posting the cell's command,
// and the frame grab writing each new frame as a pixel-map file.
#include "dialog_support.h"
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

}  // namespace
