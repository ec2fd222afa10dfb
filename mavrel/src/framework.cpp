// The framework calls the menu makes around its screens, in one table that tests replace.
#include "mavrel.h"

namespace mavrel {
namespace {

int popupScreen(unsigned id) { return VokPopupIFScreen(id); }

void updateProgress(unsigned percent) { UpdateLoadingProgressBar(percent); }

// Mavrel runs no scene of its own: a scene still current after a game is the loading backdrop.
bool backdropUp() { return VokGetCurScene() != nullptr; }

int fadeInGame() { return FadeInGame(); }

FrameworkCalls defaults() { return FrameworkCalls{popupScreen, updateProgress, backdropUp, fadeInGame, IfPlaySound}; }

FrameworkCalls g_calls = defaults();

}  // namespace

FrameworkCalls &framework() { return g_calls; }

void useDefaultFramework() { g_calls = defaults(); }

}  // namespace mavrel
