// Cursor pictures of module resources, as the backend draws them.
#include <gtest/gtest.h>

#include <vector>

#include "vokplat/window.h"
#include "win32/windows.h"

namespace {

TEST(Cursors, ModuleCursorPicturesAreDecodedAndBrokenOnesRefused) {
    HMODULE self = GetModuleHandleA(nullptr);
    int w = 0, h = 0, hx = 0, hy = 0;
    std::vector<uint32_t> px(64);
    HCURSOR two = LoadCursorA(self, MAKEINTRESOURCEA(20));
    ASSERT_TRUE(VokGetCursorPicture(two, &w, &h, &hx, &hy, px.data(), int(px.size())));
    EXPECT_EQ(w, 8);
    EXPECT_EQ(h, 8);
    EXPECT_EQ(hx, 3);
    EXPECT_EQ(hy, 2);
    for (int x = 0; x < 8; ++x) EXPECT_EQ(px[x] >> 24, 0u) << "the masked top row, x " << x;
    for (int y = 1; y < 8; ++y) {
        EXPECT_EQ(px[y * 8 + 0], 0xFFFF0000u) << y;  // the bottom-up rows come out top first
        EXPECT_EQ(px[y * 8 + 3], 0xFFFF0000u) << y;
        EXPECT_EQ(px[y * 8 + 4], 0xFF0000FFu) << y;
        EXPECT_EQ(px[y * 8 + 7], 0xFF0000FFu) << y;
    }
    EXPECT_FALSE(VokGetCursorPicture(two, &w, &h, nullptr, nullptr, px.data(), 63)) << "too little room";
    EXPECT_EQ(LoadCursorA(self, MAKEINTRESOURCEA(5)), LoadCursorA(self, MAKEINTRESOURCEA(5)));
    EXPECT_TRUE(VokGetCursorPicture(LoadCursorA(self, MAKEINTRESOURCEA(5)), &w, &h, nullptr, nullptr, nullptr, 0))
        << "a cursor named directly";

    // A group without entries, a cursor cut short, the system arrow: no picture.
    for (HCURSOR c : {LoadCursorA(self, MAKEINTRESOURCEA(17)), LoadCursorA(self, MAKEINTRESOURCEA(21)),
                      LoadCursorA(nullptr, IDC_ARROW)}) {
        ASSERT_TRUE(c);
        EXPECT_FALSE(VokGetCursorPicture(c, &w, &h, nullptr, nullptr, px.data(), int(px.size())));
    }
}

}  // namespace
