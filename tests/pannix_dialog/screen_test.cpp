// The scene's own window: its DIB shown through the window's device context, also when the DirectDraw
// screen is asked for and refuses.
#include "dialog_support.h"
#include "vokplat/debug.h"
#include "win32/ddraw.h"

namespace {

using dlgtest::cell;

class Screen : public dlgtest::Dialog {
protected:
    uint32_t window_pixel(int x, int y)
    {
        int w = 0, h = 0;
        EXPECT_TRUE(VokCaptureWindow(scene.window, nullptr, 0, &w, &h));
        std::vector<uint32_t> px(size_t(w) * h);
        EXPECT_TRUE(VokCaptureWindow(scene.window, px.data(), int(px.size()), &w, &h));
        return px[size_t(y) * w + x];
    }
};

TEST_F(Screen, DirectDrawRefusedFallsBackToTheWindowDc)
{
    InitPannix(nullptr, 640, 480, 16, 1, 1);  // DirectDraw, full screen
    PlatDebugOutputClear();
    cells = {
        cell(AKTYPE_BACKGR, 1, 0, 0, 0, 0, 0),
        cell(AKTYPE_STATIC, 2, CF_BORDER, 10, 10, 20, 10),
    };
    cells[0].bh_fbc = 0xF800;  // red in 565
    cells[1].bh_fbc = 0x001F;  // blue
    scene.width = 64;
    scene.height = 48;
    scene.bits = 8;  // the DirectDraw mode takes the default screen bits
    scene.cells = cells.data();
    scene.cellCount = 2;
    scene.flags = PXS_NOEXIT | PXS_DLGFRAME;
    scene.title = "Dialog";
    ASSERT_EQ(StartPannixW(nullptr, 5, 5, &scene, nullptr, 0), 1) << GetLastMsgError();
    EXPECT_EQ(scene.bits, 16);
    ASSERT_NE(scene.window, nullptr);
    ASSERT_NE(scene.dib, nullptr);
    char out[256];
    PlatDebugOutput(out, sizeof out);
    EXPECT_NE(std::string(out).find("Creating multiple backbuffer primary"), std::string::npos) << out;
    RECT client;
    GetClientRect(scene.window, &client);
    EXPECT_EQ(client.right, 64);
    EXPECT_EQ(client.bottom, 48);

    ShowWindow(scene.window, SW_SHOW);
    ASSERT_EQ(PannixBuildScene(&scene), 1);
    PaintMsgScreen(scene.dc, &scene);
    VokPump();
    EXPECT_EQ(window_pixel(0, 0), 0xFF0000u);
    EXPECT_EQ(window_pixel(10, 10), 0x0000FFu);
    EXPECT_EQ(AmsgFlipScreen(&scene), DDERR_INVALIDOBJECT);
}

TEST_F(Screen, MessageLoopRunsUntilTheSceneEnds)
{
    cells = {cell(AKTYPE_BACKGR, 1, CF_DELAY, 0, 0, 0, 0)};
    cells[0].bh_fbc = 0x07E0;
    cells[0].bxMax = 100;  // the delay ends the scene
    scene.width = 32;
    scene.height = 16;
    scene.bits = 16;
    scene.cells = cells.data();
    scene.cellCount = 1;
    ASSERT_EQ(StartPannixWL(nullptr, 0, 0, &scene, nullptr, PXS_NOEXIT), 1) << GetLastMsgError();
    EXPECT_EQ(scene.flags & PXS_STARTED, 0u);
    EXPECT_EQ(scene.window, nullptr);
    EXPECT_EQ(scene.pix, nullptr);
    drain();
    EXPECT_FALSE(quit);  // the loop took the quit its window posted: a host's loop goes on
}

}  // namespace
