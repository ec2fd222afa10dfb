// Mavrel, the main program: start-up, the main window, the state loop with logos and the main menu,
// and the launcher of the game modules. All state of a run lives in one record (`app()`), cleared by
// `resetApp()`, so that tests can drive the pieces one by one.
#pragma once

#include <stdint.h>

#include <string>

#include "brondel/brpixmap.h"
#include "pannix/pannix.h"
#include "vokscore/vokscore.h"
#include "win32/ddraw.h"
#include "win32/windows.h"

namespace mavrel {

constexpr int kWidth = 640, kHeight = 480;
constexpr char kCaption[] = "Velmo's Games Demo";
constexpr char kAtomName[] = "Velmos's Games";
constexpr char kClassName[] = "vokclass";
constexpr int kIconId = 15, kCursorId = 17;

// MavrelState values.
enum State : int {
    kLoadAndLogo1 = 0,
    kLogo1Wait = 1,
    kLogo2 = 2,
    kLogo2Wait = 3,
    kLogo3 = 4,
    kLogo3Wait = 5,
    kMenuSetup = 6,
    kMenuRedraw = 7,
    kMenu = 8,
    kNameScreen = 12,
    kLaunch = 14,
    kMenuAfterGame = 16,
    kQuit = 17,
    kError = 18,
};

// The highlights and hot spots of the main menu, in the order they are tested.
constexpr int kSpotCount = 4;
struct HotSpot {
    int x, y, width, height;
    const char *highlight;
};
extern const HotSpot kHotSpots[kSpotCount];
constexpr int kHighlightSize = 128;

// The framework's screens and sounds as Mavrel calls them. The defaults reach VokScore; tests put
// their own in.
struct FrameworkCalls {
    int (*popupScreen)(unsigned id);       // 1 shown, 0 not shown; the choice in popupResult
    void (*updateProgress)(unsigned percent);
    bool (*backdropUp)();                  // a scene (the loading backdrop) is still current
    int (*fadeInGame)();                   // ends that backdrop
    void (*playMenuSound)(int index);
};
FrameworkCalls &framework();
void useDefaultFramework();

struct App {
    HINSTANCE instance = nullptr;
    int fullScreen = 0;   // FullScreen
    int quickStart = 0;   // QuickStart
    std::string developDir;     // DevelopDir: the framework's write root; game modules load from it
    std::string programFolder;  // the folder the launcher returns to
    HWND window = nullptr;
    HDC windowDC = nullptr;
    IDirectDraw *directDraw = nullptr;
    VokInterFace *face = nullptr;
    char *playerName = nullptr;
    bool ownAtom = false;  // the single-instance atom is ours and not yet deleted
    bool classRegistered = false;

    int state = kLoadAndLogo1;  // MavrelState
    bool repaintPending = false;
    DWORD logoStart = 0;
    unsigned chosenScreen = 18;
    bool askName = true;
    int hover = -1;
    bool logoTimer = false;
    int quitCode = 0;  // wParam of the WM_QUIT that ended the loop

    FFPACKHANDLE *menuPack = nullptr;
    DIBUFFER *dib = nullptr;
    br_pixelmap *screen = nullptr;  // the screen pixel map over the DIB's pixels
    br_pixelmap *background = nullptr;
    br_pixelmap *highlights[kSpotCount] = {};
};
App &app();
void resetApp();

// Start-up, window and display.
int WINAPI mavrelMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show);
// The single-instance rule: true when this copy may run (the atom is then ours).
bool claimInstance();
bool quickStartRequested(const char *commandLine);
HWND createMainWindow();
int setDisplayMode(int width, int height, int bits);
void releaseDirectDraw();
LRESULT CALLBACK mainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void draw(HDC dc);
int pixelTypeOfDepth(int bits);

// The state loop, the menu and the launcher.
// One pass of the loop: a state step, then a pump pass. False when the loop ends.
bool loopPass();
void stateStep();
// One pump pass: false on WM_QUIT.
bool pumpPass();
// Waits for the next message, or for the logo's deadline, when nothing is left to do.
void idleWait();
int loadMenuPictures();
void freeMenuPictures();
int showLogo(const char *file, int nextState);
void drawMenu();
int askPlayerName();
int confirmExit();
void launchGameModule(uint32_t gameId);
void skipLogo();
void mouseInput(UINT message, int x, int y);
void menuKey(WPARAM key);
void onLogoTimer();

}  // namespace mavrel
