// The camera keys and their limits, the status line's timing, the pause and close popups, Escape in
// the editor with the save through the browser, a producer that dies under the popup, the field
// reset and the level title.
#include <chrono>
#include <cmath>
#include <filesystem>
#include <atomic>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

#include <brondel/bractor.h>

#include "gamefix.h"
#include "terrow/trlook.h"
#include "vokplat/clock.h"
#include "vokplat/window.h"
#include "vokscore/vokloading.h"
#include "win32/winfile.h"
#include "win32/wintime.h"

using namespace trgame;

namespace {

struct CameraCase {
    int game;
    int32_t key;
    int shift, ctrl;
    float pitch, yaw, distance, pan, height;  // before
    float ePitch, eYaw, eDistance, ePan, eHeight;
};

TEST(Camera, KeyTable)
{
    const float d = TR_CAM_DISTANCE;
    const CameraCase cases[] = {
        // turning: 2 degrees, 2/3 with Shift; Ctrl turns too in the game
        {1, VK_LEFT, 0, 0, 310, -45, d, 0, -0.1f, 310, -47, d, 0, -0.1f},
        {1, VK_RIGHT, 1, 0, 310, -45, d, 0, -0.1f, 310, -45 + 2.0f / 3, d, 0, -0.1f},
        {1, VK_UP, 0, 0, 310, -45, d, 0, -0.1f, 312, -45, d, 0, -0.1f},
        {1, VK_DOWN, 1, 0, 310, -45, d, 0, -0.1f, 310 - 2.0f / 3, -45, d, 0, -0.1f},
        {1, VK_LEFT, 0, 1, 310, -45, d, 0, -0.1f, 310, -47, d, 0, -0.1f},
        // Ctrl in the editor pans and lifts
        {0, VK_LEFT, 0, 1, 310, -45, d, 0, -0.1f, 310, -45, d, 0.0125f, -0.1f},
        {0, VK_RIGHT, 0, 1, 310, -45, d, 0, -0.1f, 310, -45, d, -0.0125f, -0.1f},
        {0, VK_UP, 0, 1, 310, -45, d, 0, -0.1f, 310, -45, d, 0, -0.1125f},
        {0, VK_DOWN, 0, 1, 310, -45, d, 0, -0.1f, 310, -45, d, 0, -0.0875f},
        // zoom
        {1, VK_PRIOR, 0, 0, 310, -45, 2.0f, 0, -0.1f, 310, -45, 2.0f * 0.97087383f, 0, -0.1f},
        {1, VK_NEXT, 0, 0, 310, -45, 2.0f, 0, -0.1f, 310, -45, 2.06f, 0, -0.1f},
        // limits: the pitch goes back, the rest is held
        {1, VK_UP, 0, 0, 354, -45, d, 0, -0.1f, 354, -45, d, 0, -0.1f},
        {0, VK_UP, 0, 0, 354, -45, d, 0, -0.1f, 356, -45, d, 0, -0.1f},
        {1, VK_DOWN, 0, 0, 271, -45, d, 0, -0.1f, 271, -45, d, 0, -0.1f},
        {1, VK_NEXT, 0, 0, 310, -45, 3.15f, 0, -0.1f, 310, -45, 3.2f, 0, -0.1f},
        {1, VK_PRIOR, 0, 0, 310, -45, 1.21f, 0, -0.1f, 310, -45, 1.2f, 0, -0.1f},
        {0, VK_LEFT, 0, 1, 310, -45, d, 0.445f, -0.1f, 310, -45, d, 0.45f, -0.1f},
        {0, VK_UP, 0, 1, 310, -45, d, 0, -0.295f, 310, -45, d, 0, -0.3f},
        {0, VK_DOWN, 0, 1, 310, -45, d, 0, -0.005f, 310, -45, d, 0, 0.0f},
        // key 82: the default camera
        {1, 82, 0, 0, 300, 12, 2.5f, 0.2f, -0.2f, 310, -45, d, 0, -0.1f},
    };
    for (const CameraCase &c : cases) {
        TrPlayModeGet()->game = c.game;
        TrCamera *cam = TrCameraGet();
        *cam = TrCamera{c.pan, 0, c.pitch, c.yaw, c.distance, 0, nullptr, nullptr, c.height, 1};
        TrCameraKeyWith(c.key, c.shift, c.ctrl);
        SCOPED_TRACE(testing::Message() << "game " << c.game << " key " << c.key << " shift " << c.shift
                                        << " ctrl " << c.ctrl);
        EXPECT_NEAR(cam->pitch, c.ePitch, 1e-4);
        EXPECT_NEAR(cam->yaw, c.eYaw, 1e-4);
        EXPECT_NEAR(cam->distance, c.eDistance, 1e-5);
        EXPECT_NEAR(cam->pan, c.ePan, 1e-6);
        EXPECT_NEAR(cam->height, c.eHeight, 1e-6);
    }
    // The limit switch off: the pitch may leave the range.
    TrPlayModeGet()->game = 1;
    *TrCameraGet() = TrCamera{0, 0, 354, -45, 1.85f, 0, nullptr, nullptr, -0.1f, 0};
    TrCameraKeyWith(VK_UP, 0, 0);
    EXPECT_NEAR(TrCameraGet()->pitch, 356, 1e-4);
}

TEST(Camera, OrbitKeyAppliesHalfTheDragUnderTheLimits)
{
    TrPlayModeGet()->game = 1;
    *TrCameraGet() = TrCamera{0, 0, 310, -45, 1.85f, 0, nullptr, nullptr, -0.1f, 1};
    TrCameraOrbit(10, -6);
    TrCameraKeyWith(88, 0, 0);
    EXPECT_NEAR(TrCameraGet()->yaw, -40, 1e-4);
    EXPECT_NEAR(TrCameraGet()->pitch, 307, 1e-4);
    TrCameraOrbit(0, 200);  // far past 355: the pitch stays
    TrCameraKeyWith(88, 0, 0);
    EXPECT_NEAR(TrCameraGet()->pitch, 307, 1e-4);
    TrCameraKeyWith(88, 0, 0);  // the increments were used up
    EXPECT_NEAR(TrCameraGet()->yaw, -40, 1e-4);
}

TEST(Camera, QuarterAndCursorsTurnWithANegativeYaw)
{
    const struct {
        float yaw;
        int32_t quarter, slope0;
    } cases[] = {{-45, 0, 119}, {-100, 3, 122}, {-190, 2, 121}, {45, 1, 120}, {-450, 0, 119}, {-460, 3, 122}, {300, 0, 119}};
    for (const auto &c : cases) {
        TrCameraGet()->yaw = c.yaw;
        EXPECT_EQ(TrCameraQuarter(), c.quarter) << c.yaw;
        EXPECT_EQ(TrCursorResource(5, 0, c.yaw), c.slope0) << c.yaw;
        const int32_t corners[4] = {125, 126, 124, 123};
        EXPECT_EQ(TrCursorResource(6, 1, c.yaw), corners[(c.quarter + 1) % 4]) << c.yaw;
    }
}

TEST(Status, TimingTable)
{
    PlatSetVirtualClock(TRUE);
    TrGetModule()->ini.DebugMode = 0;
    const struct {
        int kind;  // 0 long, 1 short, 2 timed 4000, 3 plain
        uint32_t hold;
    } cases[] = {{0, 30000}, {1, 1500}, {2, 4000}, {3, 0}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.kind);
        const uint32_t t0 = timeGetTime();
        switch (c.kind) {
        case 0: TrStatusLong("long"); break;
        case 1: TrStatusShort("short"); break;
        case 2: TrStatusTimed("timed", 4000); break;
        default: TrStatusPlain("plain"); break;
        }
        EXPECT_EQ(TrStatusHoldEnd() - t0, c.hold);
        EXPECT_EQ(TrStatusTick(t0 + c.hold + TR_STATUS_LINGER_MS), 1) << "still shown 2200 ms after the hold";
        EXPECT_STRNE(TrStatusText(), "");
        EXPECT_EQ(TrStatusTick(t0 + c.hold + TR_STATUS_LINGER_MS + 1), 0);
        EXPECT_STREQ(TrStatusText(), "");
    }
    TrStatusPlain("Well done!");
    EXPECT_EQ(TrLastSound(), 18) << "a text ending in ! plays 18";
    TrGetModule()->ini.DebugMode = 1;
    TrStatusClear();
    TrStatusLong("hidden");
    TrStatusShort("hidden");
    TrStatusTimed("hidden", 100);
    EXPECT_STREQ(TrStatusText(), "") << "the debug texts keep the line";
    TrStatusPlain("debug");
    EXPECT_STREQ(TrStatusText(), "debug");
    TrGetModule()->ini.DebugMode = 0;
    TrStatusClear();
}

TEST_F(Game, PauseMenuResults)
{
    const std::string level = field("Ch_Ac.trl"), other = field("Ch_Ba.trl");
    run(100, level, [&] {
        // 0 resumes: no close, the same field, painting again.
        TrPalya *before = Palya_Current();
        script().onPopup = [](unsigned) { face()->popupResult = 0; };
        EXPECT_EQ(TrPauseMenu(), 0);
        EXPECT_EQ(Palya_Current(), before);
        EXPECT_EQ(TrPaintState(), 2);
        MSG m;
        EXPECT_FALSE(PeekMessageA(&m, TrGetShell()->window, WM_CLOSE, WM_CLOSE, PM_NOREMOVE));
        // Nonzero restarts, on the level the screen chose.
        script().onPopup = [&](unsigned) {
            face()->popupResult = 2;
            std::snprintf(face()->levelPath, sizeof face()->levelPath, "%s", other.c_str());
        };
        EXPECT_EQ(TrPauseMenu(), 2);
        EXPECT_STREQ(TrControlGet()->levelFile, other.c_str());
        EXPECT_NE(Palya_Current(), nullptr);
        // -1 posts WM_CLOSE; the close request then answers 1 without a second popup.
        script().onPopup = nullptr;
        script().closing = true;
        EXPECT_EQ(TrPauseMenu(), -1);
        EXPECT_TRUE(PeekMessageA(&m, TrGetShell()->window, WM_CLOSE, WM_CLOSE, PM_NOREMOVE));
    });
    EXPECT_EQ(script().popups, (std::vector<unsigned>{6, 6, 6})) << "no screen 17 after the popup's close";
    EXPECT_TRUE(script().boxes.empty()) << script().boxes.front();
}

TEST_F(Game, CloseRequestChoosingAnotherLevelRestartsInTheModule)
{
    const std::string level = field("Ch_Ac.trl"), other = field("Ch_Bo.trl");
    run(100, level, [&] {
        script().onPopup = [&](unsigned id) {
            EXPECT_EQ(id, 17u);
            face()->popupResult = 1;
            std::snprintf(face()->levelPath, sizeof face()->levelPath, "%s", other.c_str());
        };
        EXPECT_EQ(TrCloseRequest(), 0);
        EXPECT_STREQ(TrControlGet()->levelFile, other.c_str());
        script().onPopup = nullptr;
        EXPECT_EQ(TrCloseRequest(), 1);
    });
    EXPECT_GE(script().popups.size(), 2u);
}

TEST_F(Game, ADeadProducerFreesThePopupWithinASecond)
{
    run(100, field("Ch_Ac.trl"), [] {
        // The producer started and died without saying it ended.
        script().onPopup = [](unsigned) {
            TrSetProducerIdle(0);
            face()->popupResult = 0;
        };
        const auto t0 = std::chrono::steady_clock::now();
        EXPECT_EQ(TrPauseMenu(), 0);
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
        EXPECT_GE(ms, TR_PRODUCER_WAIT_MS - 50);
        EXPECT_LT(ms, TR_PRODUCER_WAIT_MS + 500);
        TrSetProducerIdle(1);
    });
}

TEST_F(Game, ProducerHandsItsFrameOverAndEndsOnTheStop)
{
    run(100, field("Ch_Ac.trl"), [] {
        VokInterFace *f = face();
        f->imgDoneEvent = nullptr;
        f->imgFlags = 0;
        TrSetProducerIdle(1);
        std::thread producer([] { TrPreviewProducer(nullptr); });
        // The framework's side: takes the frame, then ends the preview.
        for (int i = 0; i < 2000 && !(__atomic_load_n(&face()->imgFlags, __ATOMIC_SEQ_CST) & 0x01u); i++)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        EXPECT_EQ(f->imgRect.width, TrGetShell()->view->width);
        __atomic_fetch_and(&f->imgFlags, ~0x01u, __ATOMIC_SEQ_CST);
        TrPreviewEndCb();
        producer.join();
        EXPECT_EQ(TrProducerIdle(), 1);
        EXPECT_EQ(f->imgFlags, 0u);
    });
}

class Editor : public Game {
protected:
    // The editor's field with a few pieces added (changed, not saved).
    static void change_field()
    {
        ASSERT_NE(Palya_Add(2, 1, 2, 0, TY_T_SIMA, 1, 0), nullptr);
        ASSERT_NE(Palya_Add(3, 1, 2, 0, TY_G_FEM, 1, 0), nullptr);
        Palya_Current()->flags |= PF_MODIFIED;
    }
    std::string folder_;
    void SetUp() override
    {
        Game::SetUp();
        folder_ = writeRoot_ + "picked/";
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override
    {
        chmod(folder_.c_str(), 0755);
        std::filesystem::remove_all(folder_);
        Game::TearDown();
    }
};

TEST_F(Editor, EscapeWithCancelKeepsEverything)
{
    run(TR_EDITOR_KIND, "", [] {
        change_field();
        const int32_t count = Palya_Current()->count;
        script().answers = {IDCANCEL};
        TrEscape();
        EXPECT_EQ(script().questions.size(), 1u);
        EXPECT_EQ(Palya_Current()->count, count);
        EXPECT_TRUE(Palya_Modified());
        MSG m;
        EXPECT_FALSE(PeekMessageA(&m, TrGetShell()->window, WM_CLOSE, WM_CLOSE, PM_NOREMOVE));
        Palya_Current()->flags &= ~PF_MODIFIED;
    });
}

TEST_F(Editor, EscapeYesSavesThroughTheBrowserAndLeaves)
{
    const std::string path = folder_ + "mine.trl";
    static std::vector<int32_t> types;
    types.clear();
    run(TR_EDITOR_KIND, "", [&] {
        change_field();
        for (int32_t i = 0; i < Palya_Current()->count; i++)
            types.push_back(Palya_Current()->elements[i]->io->type);
        script().answers = {IDYES};
        script().browsePath = path;
        script().closing = true;
        TrEscape();
        EXPECT_FALSE(Palya_Modified());
        MSG m;
        EXPECT_TRUE(PeekMessageA(&m, TrGetShell()->window, WM_CLOSE, WM_CLOSE, PM_NOREMOVE));
    });
    ASSERT_EQ(script().browseTitles.size(), 1u);
    EXPECT_EQ(script().browseTitles[0], TrMessage(TR_MSG_SAVE_LEVEL));
    EXPECT_EQ(script().popups, (std::vector<unsigned>{17}));
    TrPalya *back = Palya_FOpenLoad(path.c_str());
    ASSERT_NE(back, nullptr);
    ASSERT_EQ(back->count, (int32_t)types.size());
    for (int32_t i = 0; i < back->count; i++)
        EXPECT_EQ(back->elements[i]->io->type, types[i]);
    Palya_Free(back);
}

TEST_F(Editor, ASaveThatCannotBeWrittenSaysSoAndStays)
{
    // A read-only folder (root writes there anyway), and a folder that is a file.
    std::vector<std::string> paths;
    if (geteuid() != 0) {
        std::filesystem::create_directories(folder_ + "locked");
        chmod((folder_ + "locked").c_str(), 0555);
        paths.push_back(folder_ + "locked/mine.trl");
    } else if (access("/sys", F_OK) == 0 && access("/sys/mine.trl", F_OK) != 0) {
        // As root only a read-only file system refuses a new file.
        paths.push_back("/sys/mine.trl");
    }
    std::fclose(std::fopen((folder_ + "plain").c_str(), "w"));
    paths.push_back(folder_ + "plain/mine.trl");
    for (const std::string &path : paths) {
        SCOPED_TRACE(path);
        script() = Script{};
        run(TR_EDITOR_KIND, "", [&] {
            change_field();
            script().answers = {IDYES};
            script().browsePath = path;
            TrEscape();
            EXPECT_TRUE(Palya_Modified()) << "the field stays changed";
            MSG m;
            EXPECT_FALSE(PeekMessageA(&m, TrGetShell()->window, WM_CLOSE, WM_CLOSE, PM_NOREMOVE)) << "the editor stays";
            Palya_Current()->flags &= ~PF_MODIFIED;
        });
        TrWindowCleanup(TrGetShell()->window);
        ASSERT_FALSE(script().boxes.empty());
        EXPECT_EQ(script().boxes[0], TrMessage(TR_MSG_SAVE_FAILED));
        EXPECT_FALSE(std::filesystem::exists(path));
        TrGetModule()->warning = 0;
    }
    chmod((folder_ + "locked").c_str(), 0755);
}

TEST_F(Editor, LeavingTheBrowserSavesNothingAndStays)
{
    run(TR_EDITOR_KIND, "", [] {
        change_field();
        script().answers = {IDYES};
        TrEscape();
        EXPECT_TRUE(Palya_Modified());
        Palya_Current()->flags &= ~PF_MODIFIED;
    });
    EXPECT_EQ(script().browseTitles.size(), 1u);
}

TEST_F(Editor, ASecretSaveWritesTheSecretLevelFlag)
{
    const std::string path = folder_ + "secret.trl";
    run(TR_EDITOR_KIND, "", [&] {
        change_field();
        script().browsePath = path;
        // The browser marks the save secret only when the hook allowed it.
        TrScreenHooks h = scripted();
        h.browseSave = [](char *out, const char *, const char *, const char *) -> char * {
            EXPECT_TRUE(face()->gameFlags & 0x08u);
            face()->gameFlags |= 0x10u;
            std::snprintf(out, 260, "%s", script().browsePath.c_str());
            return out;
        };
        TrSetScreenHooks(&h);
        EXPECT_EQ(TrSaveFieldHook(), 1);
        EXPECT_EQ(face()->gameFlags & 0x18u, 0u);
    });
    FILE *in = std::fopen(path.c_str(), "rb");
    ASSERT_NE(in, nullptr);
    std::fclose(in);
    TrPalya *back = Palya_FOpenLoad(path.c_str());
    ASSERT_NE(back, nullptr);
    EXPECT_TRUE(back->levelFlags & LF_SECRET);
    Palya_Free(back);
}

TEST_F(Editor, ResetAsksWhenChangedAndClearsToTheFloor)
{
    run(TR_EDITOR_KIND, "", [] {
        change_field();
        const int32_t count = Palya_Current()->count;
        script().answers = {IDNO};
        TrResetField();
        EXPECT_EQ(Palya_Current()->count, count) << "No keeps the field";
        script().answers = {IDYES};
        TrResetField();
        EXPECT_LT(Palya_Current()->count, count);
        EXPECT_FALSE(Palya_Modified());
        EXPECT_EQ(Palya_Current()->ballsNeeded, 1);
        EXPECT_STREQ(TrStatusText(), "");
    });
    ASSERT_EQ(script().questions.size(), 2u);
    EXPECT_EQ(script().questions[0], TrMessage(TR_MSG_SURE));
}

TEST_F(Game, ResetInTheGameTakesTheSuppliedPiecesBack)
{
    run(100, field("Ch_Ac.trl"), [] {
        TrPalya *f = Palya_Current();
        ASSERT_NE(f, nullptr);
        const int32_t count = f->count;
        TrResetField();
        EXPECT_EQ(Palya_Current()->count, count);
        EXPECT_TRUE(script().questions.empty()) << "the game asks nothing";
    });
}

TEST_F(Game, TitleOverFortyOneCharactersIsNotShown)
{
    const struct {
        const char *title;
        const char *shown;
    } cases[] = {{"Levels\\Short one", "Short one"},
                 {"A title of exactly forty-one characters!!", "A title of exactly forty-one characters!!"},
                 {"A title of exactly forty-two characters!!!", ""}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.title);
        std::snprintf(face()->titleText, sizeof face()->titleText, "%s", c.title);
        script() = Script{};
        run(100, field("Ch_Ac.trl"), [&] { EXPECT_STREQ(TrControlGet()->levelTitle, c.shown); });
        TrWindowCleanup(TrGetShell()->window);
    }
}

TEST_F(Game, AFreshLevelAnnouncesItsBallsAndASavedOneDoesNot)
{
    run(100, field("Ch_Ac.trl"), [] {
        EXPECT_NE(TrControlGet()->announceStart, 0u);
        TrControlGet()->announceStart = 0;
        // The popup keeps the position (the result was not seen) and the level starts again on it.
        script().onPopup = [](unsigned) { face()->popupResult = 1; };
        TrPauseMenu();
        char saved[260];
        TrSaveName(saved);
        EXPECT_NE(GetFileAttributesA(saved), INVALID_FILE_ATTRIBUTES) << saved;
        EXPECT_EQ(TrControlGet()->announceStart, 0u) << "a saved position is applied, no fly-in";
    });
}

// Each field keeps its own position under the write root's save folder, also when it is named by a
// host path.
TEST_F(Game, EachFieldSavesItsPositionUnderTheSaveFolder)
{
    const std::string folder = VokMakeWritePath(nullptr, "%s", "save\\fenlw\\");
    std::string mine;
    run(100, field("Ch_Ac.trl"), [&] {
        char saved[260];
        TrSaveName(saved);
        mine = saved;
    });
    EXPECT_EQ(mine.rfind(folder, 0), 0u) << mine;
    EXPECT_NE(mine.find("Ch_Ac.trl"), std::string::npos) << mine;
    const std::string other = TrSavedPositionPath(100, "", field("Ch_Ba.trl").c_str());
    EXPECT_NE(other.find("Ch_Ba.trl"), std::string::npos) << other;
}

}  // namespace

namespace {

std::vector<char> file_bytes(const std::string &path)
{
    std::vector<char> out;
    if (FILE *f = std::fopen(path.c_str(), "rb")) {
        char buf[65536];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
            out.insert(out.end(), buf, buf + n);
        std::fclose(f);
    }
    return out;
}

// trplay as a player runs it: the field with its status bar and catalogue, the camera keys, Home and
// End, Escape to Terrow's screen 17, whose Escape leaves.
TEST(TrPlayTool, PlaysAFieldWithTheCameraKeysAndLeavesThroughScreen17)
{
    const std::string dir = std::string(VOK_TEST_BIN_DIR) + "/trplay_game_" + std::to_string(getpid());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    {
        FILE *f = std::fopen((dir + "/script.txt").c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fprintf(f,
                     "7000 capture %s/field.png\n"
                     "+100 key LEFT\n+100 key LEFT\n+100 key PRIOR\n+100 key UP\n"
                     "+300 capture %s/turned.png\n"
                     "+100 key END\n+300 capture %s/end.png\n"
                     "+100 key HOME\n"
                     "+100 key ESCAPE\n+1500 capture %s/screen17.png\n"
                     "+100 key ESCAPE\n",
                     dir.c_str(), dir.c_str(), dir.c_str(), dir.c_str());
        std::fclose(f);
    }
    // From another folder, with the field named relative to it.
    const std::string cmd = "cd " + dir + " && cp " + field("Ch_Ac.trl") +
                            " ./here.trl && VOK_HEADLESS=1 VOK_VIRTUAL_CLOCK=1 VOK_IDLE_QUIT_MS=20000 VOK_INPUT_SCRIPT=" +
                            dir + "/script.txt VOK_CAPTURE=" + dir + "/last.png timeout 120 " + VOK_BIN_DIR +
                            "/trplay here.trl >" + dir + "/out.txt 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << file_bytes(dir + "/out.txt").data();
    const std::vector<char> shown = file_bytes(dir + "/field.png"), turned = file_bytes(dir + "/turned.png"),
                            back = file_bytes(dir + "/end.png"), menu = file_bytes(dir + "/screen17.png");
    EXPECT_GT(shown.size(), 8000u) << "the field is drawn";
    EXPECT_NE(shown, turned) << "the camera keys turn the view";
    EXPECT_NE(back, turned) << "End puts the field's camera back";
    EXPECT_GT(menu.size(), 8000u);
    EXPECT_NE(menu, shown) << "Escape shows screen 17";
    std::filesystem::remove_all(dir);
}

}  // namespace

namespace {

// The editor plays its field through a temporary file; a solved run says so (message 47) and Escape
// brings the editor back with its field as it was, the file gone and the level flags put back (the
// field marked playable).
TEST_F(Editor, ASolvedTestRunComesBackToTheEditorWithItsField)
{
    run(TR_EDITOR_KIND, "", [] {
        // A start, a block and the goal in a row, the ball rolling towards the goal.
        TrPalya *f = Palya_Current();
        while (f->count > 0)
            Palya_Remove(f->elements[0]);
        ASSERT_NE(Palya_Add(0, 0, 0, 0, TY_T_INDITO, 1, 0), nullptr);
        ASSERT_NE(Palya_Add(1, 0, 0, 0, TY_T_SIMA, 1, 0), nullptr);
        ASSERT_NE(Palya_Add(2, 0, 0, 0, TY_T_CEL, 1, 0), nullptr);
        ASSERT_NE(Palya_Add(0, 1, 0, 3, TY_G_FEM, 1, 0), nullptr);
        f->flags &= ~PF_MODIFIED;
        const int32_t count = f->count;
        f->levelFlags &= ~LF_PLAYABLE;
        const uint32_t flags = f->levelFlags;
        ASSERT_EQ(TrStartTest(), 1);
        const std::string temp = TrControlGet()->tempFile;
        EXPECT_NE(GetFileAttributesA(temp.c_str()), INVALID_FILE_ATTRIBUTES) << temp;
        EXPECT_EQ(TrPlayModeGet()->game, 1);
        EXPECT_EQ(TrPlayModeGet()->testRun, 1);
        // The player turns the ball towards the goal.
        for (int32_t i = 0; i < Palya_Current()->count; i++)
            if (Palya_Current()->elements[i]->io->type == TY_G_FEM)
                Palya_Current()->elements[i]->io->direction = 3;
        TrRunKeyStart();
        ASSERT_EQ(TrSimGet()->runActive, 1) << TrStatusText() << " elements " << Palya_Current()->count;
        EXPECT_EQ(TrCopiesGet()->runInUse, 1) << "a run draws from the run copies";
        TrRenderFrame();
        TrRenderFrame();
        EXPECT_EQ(TrCopiesGet()->runTaken, 1);
        for (int i = 0; i < 4000 && TrSimGet()->runActive; i++) {
            PlatAdvanceClock(25);
            TrRunFrame();
            MSG m;
            while (PeekMessageA(&m, TrGetShell()->window, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE))
                DispatchMessageA(&m);
        }
        ASSERT_EQ(TrSimGet()->runActive, 0) << "the ball reached the goal";
        EXPECT_EQ(TrCopiesGet()->runInUse, 0);
        for (int32_t i = 0; i < Palya_Current()->count; i++) {
            const TrElem *e = Palya_Current()->elements[i];
            if (e->io->flags & EF_NOT_BALL)
                EXPECT_EQ(e->actor->parent, Palya_Current()->opaqueParent) << "every piece is back in the field";
        }
        EXPECT_STREQ(TrStatusText(), TrMessage(TR_MSG_TEST_OK));
        TrEscape();
        EXPECT_EQ(TrControlGet()->testRun, 0);
        EXPECT_EQ(TrPlayModeGet()->game, 0);
        EXPECT_EQ(GetFileAttributesA(temp.c_str()), INVALID_FILE_ATTRIBUTES) << "the temporary file is gone";
        f = Palya_Current();
        EXPECT_EQ(f->count, count);
        EXPECT_EQ(f->levelFlags, flags | LF_PLAYABLE);
        MSG m;
        EXPECT_FALSE(PeekMessageA(&m, TrGetShell()->window, WM_CLOSE, WM_CLOSE, PM_NOREMOVE))
            << "Escape ended the test, not the editor";
    });
}

}  // namespace

namespace {

// The window's keys: the camera keys, End (the field's camera), Ctrl + B held with 4 (limits off).
TEST_F(Game, WindowKeysTurnTheCameraAndCtrlBFourLiftsTheLimits)
{
    run(100, field("Ch_Ac.trl"), [] {
        HWND w = TrGetShell()->window;
        const float yaw = TrCameraGet()->yaw;
        TrWndProc(w, WM_KEYDOWN, VK_LEFT, 0);
        EXPECT_NEAR(TrCameraGet()->yaw, yaw - 2, 1e-4);
        TrWndProc(w, WM_KEYDOWN, VK_END, 0);
        EXPECT_NEAR(TrCameraGet()->yaw, Palya_Current()->yaw, 1e-4);
        EXPECT_EQ(TrLastSound(), 12);
        EXPECT_EQ(TrCameraGet()->limits, 1);
        TrWndProc(w, WM_KEYDOWN, '4', 0);
        EXPECT_EQ(TrCameraGet()->limits, 1) << "4 alone";
        VokKey(w, VK_CONTROL, TRUE);
        VokKey(w, 'B', TRUE);
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
            if (m.message != WM_KEYDOWN)
                DispatchMessageA(&m);
        TrWndProc(w, WM_KEYDOWN, '4', 0);
        EXPECT_EQ(TrCameraGet()->limits, 0);
        VokKey(w, 'B', FALSE);
        VokKey(w, VK_CONTROL, FALSE);
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
            if (m.message != WM_KEYUP)
                DispatchMessageA(&m);
    });
}

}  // namespace
