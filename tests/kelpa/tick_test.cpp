// The tick on the virtual clock inside a running game: its pacing, the clock texts and the time
// spent in another window.
#include <string.h>

#include "kelpa/kprules.h"
#include "support.h"
#include "vokplat/savefile.h"
#include "vokplat/window.h"
#include "vokscore/vokpath.h"

using namespace kptest;

TEST_F(Game, TickPacingClockAndInactiveTime)
{
    face->gameKind = 101;
    face->levelFamily = 0;
    DWORD tenTicks = 0;
    std::string atStart, afterTwoSeconds, afterClickActive, afterActive;
    hostLog().onMessage = [&](UINT m, WPARAM) {
        if (m != WM_USER + 21)
            return;
        HWND w = kpModule().gameWindow;
        KpFrameTick();
        // No frame shorter than 25 ms: ten ticks take at least 250 ms.
        const DWORD t0 = timeGetTime();
        for (int i = 0; i < 10; i++)
            KpFrameTick();
        tenTicks = timeGetTime() - t0;
        KpTestLevel(kpButton(KP_BTN_START));
        KpFrameTick();
        atStart = KpClockText();
        while (kpRules().elapsedTenths < 20 && !kpRules().levelLost)
            KpFrameTick();
        afterTwoSeconds = KpClockText();
        // Three seconds in another window (the level pauses), back by a click: still counted.
        SendMessageA(w, WM_ACTIVATE, WA_INACTIVE, 0);
        Sleep(3000);
        SendMessageA(w, WM_ACTIVATE, WA_CLICKACTIVE, 0);
        KpFrameTick();
        afterClickActive = KpClockText();
        // Back by WA_ACTIVE: the time away is taken off and the level runs on.
        SendMessageA(w, WM_ACTIVATE, WA_ACTIVE, 0);
        KpFrameTick();
        KpFrameTick();
        afterActive = KpClockText();
    };
    EXPECT_EQ(run({{WM_USER + 21, 0}}), 0);
    EXPECT_GE(tenTicks, 250u);
    EXPECT_LT(tenTicks, 400u);
    EXPECT_EQ(atStart, " 00:00 ");
    EXPECT_EQ(afterTwoSeconds, " 00:02 ");
    EXPECT_EQ(afterClickActive, " 00:05 ");
    EXPECT_EQ(afterActive, " 00:02 ");
    EXPECT_EQ(kpRules().paused, 0);
}


// A kind-101 level whose replay cannot be made: the player is told, and the time the results screen
// enters carries no replay's name, neither the title an earlier level left nor its last replay.
namespace {

struct NoReplayCase {
    int kind;
    bool writeFailed, recordingOff;
    bool told, titleCleared, lastGone;
};

}  // namespace

class NoReplay : public Game {
protected:
    void levelWithoutReplay(const NoReplayCase &c);
};

void NoReplay::levelWithoutReplay(const NoReplayCase &c)
{
    face->gameKind = 101;
    face->levelFamily = 0;
    std::string title = "unset";
    bool lastGone = false, told = false;
    int made = -1;
    hostLog().onMessage = [&](UINT m, WPARAM) {
        if (m != WM_USER + 22)
            return;
        KpFrameTick();
        KpTestLevel(kpButton(KP_BTN_START));
        for (int i = 0; i < 20; i++)
            KpFrameTick();
        snprintf(face->titleText, sizeof face->titleText, "kp_OLD.rep");
        char last[64];
        snprintf(last, sizeof last, "kp_%s_last.rep", kpReplay().player);
        const std::string lastPath = VokMakeWritePath("kp\\", "%s", last);
        ASSERT_TRUE(PlatSaveFile(lastPath.c_str(), "x", 1));
        // A recording that lost bytes (a full disk) makes no replay.
        kpReplay().writeFailed = c.writeFailed;
        if (c.recordingOff)
            kpReplay().recordingOn = 0;
        kpReplay().gameKind = c.kind;
        PlatMsgBoxReset();
        face->messageText = nullptr;
        // The message answers the key waiting for it.
        if (c.told)
            PostMessageA(kpModule().gameWindow, WM_KEYDOWN, VK_RETURN, 0);
        made = KpAssembleReplay();
        told = face->messageText != nullptr && strstr(face->messageText, "Cannot create") != nullptr;
        title = face->titleText;
        lastGone = GetFileAttributesA(lastPath.c_str()) == INVALID_FILE_ATTRIBUTES;
        DeleteFileA(lastPath.c_str());
        PostMessageA(host, WM_CLOSE, 0, 0);
    };
    EXPECT_EQ(run({{WM_USER + 22, 0}}), 0);
    EXPECT_EQ(made, c.recordingOff ? 1 : 0);
    EXPECT_EQ(told, c.told);
    EXPECT_EQ(title, c.titleCleared ? "" : "kp_OLD.rep");
    EXPECT_EQ(lastGone, c.lastGone);
}

TEST_F(NoReplay, AKind101LevelWithoutItsReplaySaysSoAndNamesNoOtherReplay)
{
    levelWithoutReplay({101, true, false, true, true, true});
}

// A recording that could not start said so then: the time still names no earlier replay.
TEST_F(NoReplay, AKind101LevelThatRecordedNothingNamesNoOtherReplay)
{
    levelWithoutReplay({101, false, true, false, true, true});
}

// The editor's levels record nothing and leave the title and the last replay alone.
TEST_F(NoReplay, AnEditorLevelLeavesTheTitleAndTheLastReplay)
{
    levelWithoutReplay({102, false, true, false, false, false});
}

// The turn keys are polled against the held-key state: a key still down is no new press, a release
// is a change, both pressed in one poll turn right, and the player's own left key replaces the arrow.
TEST_F(Game, PollTurnKeysFollowsTheHeldKeys)
{
    face->gameKind = 101;
    face->levelFamily = 0;
    struct Seen {
        int changed, left, right, state;
        bool operator==(const Seen &o) const
        {
            return changed == o.changed && left == o.left && right == o.right && state == o.state;
        }
    };
    std::vector<Seen> seen;
    hostLog().onMessage = [&](UINT m, WPARAM) {
        if (m != WM_USER + 23)
            return;
        HWND w = kpModule().gameWindow;
        KpRules &r = kpRules();
        auto poll = [&]() {
            const int changed = KpPollTurnKeys();
            seen.push_back({changed, r.leftHeld, r.rightHeld, r.turnState});
        };
        poll();
        VokKey(w, VK_LEFT, TRUE);
        poll();
        poll();
        VokKey(w, VK_RIGHT, TRUE);
        poll();
        VokKey(w, VK_RIGHT, FALSE);
        poll();
        VokKey(w, VK_LEFT, FALSE);
        poll();
        VokKey(w, VK_LEFT, TRUE);
        VokKey(w, VK_RIGHT, TRUE);
        poll();
        VokKey(w, VK_LEFT, FALSE);
        VokKey(w, VK_RIGHT, FALSE);
        poll();
        // The player's left key: the arrow is no turn key then.
        const int32_t keptKey = kpSettings().keys[1];
        kpSettings().keys[1] = 'A';
        VokKey(w, VK_LEFT, TRUE);
        poll();
        VokKey(w, 'A', TRUE);
        poll();
        VokKey(w, 'A', FALSE);
        VokKey(w, VK_LEFT, FALSE);
        poll();
        kpSettings().keys[1] = keptKey;
        MSG msg;
        while (PeekMessageA(&msg, w, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
        }
        PostMessageA(host, WM_CLOSE, 0, 0);
    };
    EXPECT_EQ(run({{WM_USER + 23, 0}}), 0);
    const std::vector<Seen> expected = {
        {0, 0, 0, 0}, {1, 1, 0, 1}, {0, 1, 0, 1}, {1, 1, 1, 2}, {1, 1, 0, 1}, {1, 0, 0, 0},
        {1, 1, 1, 2}, {1, 0, 0, 0}, {0, 0, 0, 0}, {1, 1, 0, 1}, {1, 0, 0, 0},
    };
    ASSERT_EQ(seen.size(), expected.size());
    for (size_t i = 0; i < seen.size(); i++)
        EXPECT_TRUE(seen[i] == expected[i]) << "poll " << i << ": " << seen[i].changed << " " << seen[i].left << " "
                                            << seen[i].right << " " << seen[i].state;
}
