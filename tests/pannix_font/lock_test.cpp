// The font lock between a drawing thread and the others, on the virtual clock.
#include <atomic>
#include <chrono>
#include <thread>

#include "font_support.h"
#include "vokplat/clock.h"
#include "win32/wintime.h"

namespace {

// A second thread that takes the lock and keeps it until told, or for `hold_ms` of the clock.
class Holder {
public:
    explicit Holder(int hold_ms = -1)
        : thread_([this, hold_ms] {
              PxLockFonts();
              locked_ = true;
              if (hold_ms >= 0) {
                  Sleep(DWORD(hold_ms));
                  released_ = true;
                  PxUnlockFonts();
              }
              while (!stop_)
                  std::this_thread::sleep_for(std::chrono::milliseconds(1));
          })
    {
        while (!locked_)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~Holder()
    {
        stop_ = true;
        thread_.join();
    }
    bool released() const { return released_; }

private:
    std::atomic<bool> locked_{false}, released_{false}, stop_{false};
    std::thread thread_;
};

class Lock : public fonttest::OneFont {
protected:
    void SetUp() override
    {
        OneFont::SetUp();
        PlatSetVirtualClock(TRUE);
    }
    void TearDown() override
    {
        PxUnlockFonts();
        OneFont::TearDown();
    }
    // Milliseconds of the clock that `call` took.
    template <class F>
    uint64_t timed(F call)
    {
        const ULONGLONG start = PlatClockNow();
        call();
        return (PlatClockNow() - start) / 1000;
    }
};

TEST_F(Lock, OthersWaitAtMostOneSecondThenGoOn)
{
    Holder stuck;
    int32_t width = 0;
    const uint64_t waited = timed([&] { width = PxGetTextWidth("ab"); });
    EXPECT_GE(waited, 1000u);
    EXPECT_LT(waited, 1100u);
    EXPECT_EQ(width, 14);  // measured regardless
    // Taking the lock waits the same way, then holds it: no more waiting for this thread.
    EXPECT_GE(timed([] { PxLockFonts(); }), 1000u);
    EXPECT_EQ(timed([] { PxGetTextWidth("ab"); }), 0u);
}

TEST_F(Lock, AWaiterGoesOnWhenTheHolderLetsGo)
{
    Holder brief(200);
    const uint64_t waited = timed([] { PxGetTextHeight1(); });
    EXPECT_TRUE(brief.released());
    EXPECT_LT(waited, 1000u);
}

TEST_F(Lock, TheStackIsReadAfterTheWait)
{
    fonttest::write_set(dir.string(), "three", {fonttest::font(8), fonttest::font(9), fonttest::font(10)});
    PXFONTSET *three = PxLoadFontset(path("three").c_str(), 0, set);
    ASSERT_EQ(three, set) << GetLastMsgError();
    PXFONTSET *second = set->next;
    PxSelectFont(second, 0);
    PxSaveLastFontSettings(1);
    // The holder saves another selection only once this thread has begun to wait (its polls move the
    // clock), then lets go.
    std::atomic<bool> locked{false};
    std::thread holder([&] {
        PxLockFonts();
        const ULONGLONG start = PlatClockNow();
        locked = true;
        while (PlatClockNow() - start < 50 * 1000)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        PxSelectFont(second, 2);
        PxSaveLastFontSettings(0);
        PxUnlockFonts();
    });
    while (!locked)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(PxLoadLastFontSettings(1), 0);
    holder.join();
    EXPECT_EQ(PxGetTextHeight1(), 10);
}

TEST_F(Lock, TheHolderItselfAndLoadingNeverWait)
{
    PxLockFonts();
    EXPECT_EQ(timed([] { PxGetTextWidth("ab"); }), 0u);
    PxUnlockFonts();
    {
        Holder stuck;
        // Loading a set releases the lock.
        fonttest::write_set(dir.string(), "more", {fonttest::font(9)});
        PXFONTSET *more = nullptr;
        EXPECT_EQ(timed([&] { more = PxLoadFontset(path("more").c_str(), 0, set); }), 0u);
        EXPECT_EQ(more, set);
        EXPECT_EQ(timed([] { PxGetTextWidth("ab"); }), 0u);
    }
}

}  // namespace
