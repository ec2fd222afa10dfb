// The game's screens by their result table, inside a running game with the framework's screens
// replaced by a script of answers.
#include <string.h>

#include <algorithm>

#include "kelpa/kprules.h"
#include "support.h"

using namespace kptest;

namespace {

unsigned g_shown = 0;
int g_answer = 0;
VokInterFace *g_face = nullptr;

int fakeScreen(unsigned id)
{
    g_shown = id;
    g_face->popupResult = g_answer;
    return 1;
}

}  // namespace

TEST_F(Game, PopupResultTable)
{
    g_face = face;
    KpSetPopupScreen(fakeScreen);
    const struct {
        int type, answer;
        int setupPending;  // -1: not checked
        bool closes;
    } cases[] = {
        {3, 1, 0, false},  {34, 2, 0, false}, {2, 1, 1, false}, {2, 0, 0, false},
        {4, 2, 1, false},  {5, 1, 1, false},  {6, 2, 1, false}, {7, 1, 1, false},
        {3, -1, -1, true}, {6, -1, -1, true},
    };
    for (const auto &c : cases) {
        hostLog() = HostLog();
        int pending = -2;
        long closes = 0;
        hostLog().onMessage = [&](UINT m, WPARAM) {
            if (m == WM_USER + 12) {
                g_answer = c.answer;
                g_shown = 0;
                KpShowPopup(c.type);
                pending = kpObjects().setupPending;
                // The closes waiting: the run's own and any the screen's answer posted.
                MSG msg;
                while (PeekMessageA(&msg, nullptr, WM_CLOSE, WM_CLOSE, PM_REMOVE))
                    closes++;
                PostMessageA(host, WM_CLOSE, 0, 0);
            }
        };
        EXPECT_EQ(run({{WM_USER + 12, 0}}), 0);
        EXPECT_EQ(g_shown, unsigned(c.type)) << c.type;
        if (c.setupPending >= 0) {
            EXPECT_EQ(pending, c.setupPending) << c.type << " " << c.answer;
        }
        // The run's own close, and one more when the answer is -1.
        EXPECT_EQ(closes, c.closes ? 2 : 1) << c.type << " " << c.answer;
        kpModule() = KpModule();
        kpSwitches() = KpSwitches();
    }
    KpSetPopupScreen(nullptr);
}

TEST_F(Game, ResultsScreenHandsOverTheReplayRoutineInKind100)
{
    g_face = face;
    KpSetPopupScreen(fakeScreen);
    face->gameKind = 100;
    face->levelFamily = 0;
    face->levelNumber = 0;
    VokReplayProc handed = nullptr;
    uint32_t flags = 0;
    hostLog().onMessage = [&](UINT m, WPARAM) {
        if (m == WM_USER + 13) {
            g_answer = 1;
            face->imgFlags = 0;
            KpShowPopup(6);
            handed = face->replayProc;
            flags = face->imgFlags;
            KpShowPopup(3);
        }
    };
    EXPECT_EQ(run({{WM_USER + 13, 0}}), 0);
    EXPECT_EQ(handed, &KpAssembleReplay);
    EXPECT_NE(flags & 0x20u, 0u);
    // Any other screen hands over nothing.
    EXPECT_EQ(face->replayProc, nullptr);
    EXPECT_EQ(face->imgThreadProc, nullptr);
    KpSetPopupScreen(nullptr);
}
