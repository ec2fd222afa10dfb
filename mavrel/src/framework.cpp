// The framework calls the menu makes around its screens. The screen runner, the loading bar and the
// fade-in are looked up in VokScore by name, so that a framework without them still runs the menu:
// a screen it cannot show counts as not shown.
#include "mavrel.h"

namespace mavrel {
namespace {

template <typename Fn>
Fn frameworkExport(const char *name)
{
    HMODULE module = GetModuleHandleA("VokScore.dll");
    return module != nullptr ? reinterpret_cast<Fn>(GetProcAddress(module, name)) : nullptr;
}

int popupScreen(unsigned id)
{
    static auto popup = frameworkExport<int (*)(unsigned)>("VokPopupIFScreen");
    if (popup != nullptr)
        return popup(id);
    // What the runner answers for a screen it does not know.
    if (VokInterFace *face = app().face)
        face->popupResult = -1;
    return 0;
}

void updateProgress(unsigned percent)
{
    static auto update = frameworkExport<void (*)(unsigned)>("UpdateLoadingProgressBar");
    if (update != nullptr)
        update(percent);
}

bool backdropUp() { return VokGetCurScene() != nullptr; }

int fadeInGame()
{
    static auto fade = frameworkExport<int (*)()>("FadeInGame");
    return fade != nullptr ? fade() : KillCurScene(0);
}

FrameworkCalls g_calls{popupScreen, updateProgress, backdropUp, fadeInGame, IfPlaySound};

}  // namespace

FrameworkCalls &framework() { return g_calls; }

void useDefaultFramework() { g_calls = FrameworkCalls{popupScreen, updateProgress, backdropUp, fadeInGame, IfPlaySound}; }

}  // namespace mavrel
