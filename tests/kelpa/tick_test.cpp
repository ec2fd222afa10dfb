// The tick on the virtual clock inside a running game: its pacing, the clock texts and the time
// spent in another window.
#include <string.h>

#include "kelpa/kprules.h"
#include "support.h"

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

