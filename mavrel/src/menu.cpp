// The state loop: logos, the main menu with its hot spots, the player-name screen and the launch of a
// game module, which runs inside the call on this thread.
#include "mavrel.h"

namespace mavrel {
namespace {

constexpr DWORD kLogoTime = 3000;
constexpr UINT_PTR kLogoTimerId = 1;

struct GameModule {
    uint32_t gameId;
    const char *module;
    const char *start;
};

const GameModule kModules[] = {
    {VOK_GAME_VARNEL, "VnDll", "StartVarnel"}, {VOK_GAME_MOSSIK, "MkDll", "StartMossik"},
    {VOK_GAME_TERROW, "TrDll", "StartTerrow"}, {VOK_GAME_KELPA, "KpDll", "StartKelpa"},
    {VOK_GAME_DUNMAR, "DmDll", "StartDunmar"},
};

void stopLogoTimer()
{
    App &a = app();
    if (a.logoTimer && a.window != nullptr)
        KillTimer(a.window, kLogoTimerId);
    a.logoTimer = false;
}

// The menu picture under the screen's full area.
void copyBackground()
{
    App &a = app();
    if (a.screen != nullptr && a.background != nullptr)
        CopyRectangle(a.screen, 0, 0, a.background, 0, 0, a.background->width, a.background->height);
}

void launchChosenGame()
{
    App &a = app();
    FrameworkCalls &fw = framework();
    if (a.playerName == nullptr || a.playerName[0] == '\0' || a.askName) {
        if (!askPlayerName()) {
            a.state = kMenu;
            return;
        }
    } else {
        fw.playMenuSound(11);
    }
    a.face->screenPix = a.screen;
    fw.popupScreen(a.chosenScreen);
    if (a.face->popupResult < 0) {
        a.state = kMenuRedraw;
    } else {
        IfKillSound();
        freeMenuPictures();
        a.face->inGame = 1;
        launchGameModule(a.face->gameId);
        a.face->inGame = 0;
        // A module that is missing, or that returned before its first frame, left the loading
        // backdrop up; nothing else would end it.
        if (fw.backdropUp())
            fw.fadeInGame();
        a.state = kMenuAfterGame;
    }
    a.repaintPending = true;
}

}  // namespace

int loadMenuPictures()
{
    App &a = app();
    const int old = a.state;
    a.state = kError;
    a.menuPack = FFOpenPack(VokMakeWritePath(nullptr, "mainpics"), 0);
    if (a.menuPack == nullptr)
        return 0;
    a.dib = CreateDIBuffer(kWidth, kHeight, 15, nullptr);
    if (a.dib == nullptr)
        return 0;
    a.screen = PxMatchPixToDib(pixelTypeOfDepth(15), a.dib);
    if (a.screen == nullptr)
        return 0;
    a.background = PxLoadPixP("alap.pix", 0);
    if (a.background == nullptr)
        return 0;
    for (int i = 0; i < kSpotCount; i++) {
        a.highlights[i] = PxLoadPixP(kHotSpots[i].highlight, 0);
        if (a.highlights[i] == nullptr)
            return 0;
    }
    copyBackground();
    a.state = old;
    return 1;
}

void freeMenuPictures()
{
    App &a = app();
    if (a.background != nullptr)
        PxFreePix(a.background);
    a.background = nullptr;
    for (br_pixelmap *&h : a.highlights) {
        if (h != nullptr)
            PxFreePix(h);
        h = nullptr;
    }
    // The framework's record must not keep pointing at the picture about to go (a game's message
    // boxes would draw over it).
    if (a.face != nullptr && a.screen != nullptr && a.face->screenPix == a.screen)
        a.face->screenPix = nullptr;
    if (a.screen != nullptr)
        PxFreePixNP(a.screen);
    a.screen = nullptr;
    if (a.dib != nullptr)
        KillDIBuffer(a.dib);
    a.dib = nullptr;
    if (a.menuPack != nullptr)
        FFClosePack(a.menuPack);
    a.menuPack = nullptr;
}

int showLogo(const char *file, int nextState)
{
    App &a = app();
    if (a.screen == nullptr)
        return 0;
    br_pixelmap *logo = PxLoadPixP(VokMakeDataPath(file), 0);
    if (logo == nullptr)
        return 0;
    CopyRectangle(a.screen, 0, 0, logo, 0, 0, logo->width, logo->height);
    PxFreePix(logo);
    a.repaintPending = true;
    draw(nullptr);
    a.logoStart = timeGetTime();
    a.state = nextState;
    // Wakes the idle wait once the logo's time is over.
    stopLogoTimer();
    if (a.window != nullptr)
        a.logoTimer = SetTimer(a.window, kLogoTimerId, kLogoTime + 1, nullptr) != 0;
    return nextState;
}

void drawMenu()
{
    copyBackground();
    draw(nullptr);
}

int askPlayerName()
{
    App &a = app();
    const int old = a.state;
    a.state = kNameScreen;
    a.face->screenPix = a.screen;
    int result = 0;
    if (framework().popupScreen(28) && a.face->popupResult == 1) {
        VokSetPlayerName(a.playerName);
        a.askName = false;
        result = 1;
    }
    a.state = old;
    return result;
}

// The hot spot under x, y, or -1.
int spotAt(int x, int y)
{
    for (int i = 0; i < kSpotCount; i++) {
        const HotSpot &s = kHotSpots[i];
        if (x >= s.x && x < s.x + s.width && y >= s.y && y < s.y + s.height)
            return i;
    }
    return -1;
}

// The menu as the player left it: its picture, the highlight under the pointer (which may have
// moved off the spot it was on while a question was answered), on the window.
void repaintMenu()
{
    App &a = app();
    POINT p{};
    if (a.window != nullptr && GetCursorPos(&p) && ScreenToClient(a.window, &p))
        a.hover = spotAt(int(p.x), int(p.y));
    copyBackground();
    if (a.hover >= 0 && a.hover < kSpotCount && a.screen != nullptr && a.highlights[a.hover] != nullptr) {
        const HotSpot &s = kHotSpots[a.hover];
        CopyRectangle(a.screen, s.x, s.y, a.highlights[a.hover], 0, 0, kHighlightSize, kHighlightSize);
    }
    draw(nullptr);
}

int confirmExit()
{
    App &a = app();
    if (a.state != kMenu)
        return 0;
    if (a.screen != nullptr) {
        a.face->screenPix = a.screen;
        if (framework().popupScreen(22)) {
            if (a.face->popupResult != 0)
                return 1;
            // The question keeps its look when it ends: the menu goes back over it.
            repaintMenu();
            return 0;
        }
        // The question screen could not be shown: ask with a box rather than leave unasked.
    }
    return MessageBoxA(a.window, "Really want to exit?", kCaption, MB_ICONQUESTION | MB_YESNO) == IDYES ? 1 : 0;
}

void launchGameModule(uint32_t gameId)
{
    App &a = app();
    const GameModule *game = nullptr;
    for (const GameModule &m : kModules)
        if (m.gameId == gameId)
            game = &m;
    if (game == nullptr)
        return;
    const std::string name = std::string(game->module) + ".dll";
    HMODULE module = LoadLibraryA((a.developDir + name).c_str());
    if (module == nullptr)
        module = LoadLibraryA(VokMakeFullPath("%s", name.c_str()));
    if (module != nullptr) {
        framework().updateProgress(5);
        auto start = reinterpret_cast<int (*)()>(GetProcAddress(module, game->start));
        if (start != nullptr)
            start();
        else
            ShowCursor(TRUE);
        // A picture the game left in the record went with it.
        a.face->screenPix = nullptr;
        FreeLibrary(module);
    } else {
        ShowCursor(TRUE);
    }
    SetCurrentDirectoryA(a.programFolder.c_str());
    if (a.window != nullptr)
        SetWindowTextA(a.window, kCaption);
}

void stateStep()
{
    App &a = app();
    switch (a.state) {
    case kLoadAndLogo1:
        if (!loadMenuPictures())
            return;
        if (showLogo("zuvo.pix", kLogo1Wait))
            return;
        a.state = kLogo2;
        [[fallthrough]];
    case kLogo2:
        if (showLogo("logonolt.pix", kLogo2Wait))
            return;
        a.state = kLogo3;
        [[fallthrough]];
    case kLogo3:
        if (showLogo("brondel.pix", kLogo3Wait))
            return;
        a.state = kMenuSetup;
        [[fallthrough]];
    case kMenuSetup:
    case kMenuAfterGame:
        if (a.dib != nullptr || loadMenuPictures()) {
            FFSetCurrentPack(a.menuPack);
            IfInitSound();
            drawMenu();
            a.state = kMenu;
            a.repaintPending = true;
        }
        return;
    case kLogo1Wait:
    case kLogo2Wait:
    case kLogo3Wait:
        if (timeGetTime() - a.logoStart > kLogoTime) {
            stopLogoTimer();
            a.state++;
        }
        return;
    case kMenuRedraw:
        a.state = kMenu;
        drawMenu();
        return;
    case kLaunch:
        launchChosenGame();
        return;
    default:
        return;
    }
}

bool pumpPass()
{
    App &a = app();
    MSG msg;
    if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            a.quitCode = int(msg.wParam);
            return false;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
        if (msg.message == WM_MOUSEMOVE)
            draw(nullptr);
        return true;
    }
    a.repaintPending = false;
    draw(nullptr);
    idleWait();
    return true;
}

void idleWait()
{
    App &a = app();
    switch (a.state) {
    case kLogo1Wait:
    case kLogo2Wait:
    case kLogo3Wait:
        // The logo timer ends the wait at the deadline; without one the next pass moves on.
        if (a.logoTimer)
            WaitMessage();
        return;
    case kMenu:
        WaitMessage();
        return;
    default:
        return;
    }
}

bool loopPass()
{
    stateStep();
    const int state = app().state;
    if (state == kQuit || state == kError)
        return false;
    return pumpPass();
}

void onLogoTimer() { stopLogoTimer(); }

void skipLogo()
{
    App &a = app();
    if (a.state == kLogo1Wait || a.state == kLogo2Wait || a.state == kLogo3Wait) {
        stopLogoTimer();
        a.state++;
        a.logoStart = 0;
    }
}

void menuKey(WPARAM key)
{
    App &a = app();
    if (a.repaintPending)
        return;
    if (key == VK_SPACE && a.state < kMenu)
        skipLogo();
    else if (key == VK_ESCAPE && confirmExit())
        a.state = kQuit;
}

void mouseInput(UINT message, int x, int y)
{
    App &a = app();
    if (a.repaintPending)
        return;
    if (a.state < kMenu) {
        if (message == WM_LBUTTONDOWN)
            skipLogo();
        return;
    }
    const int old = a.hover;
    a.hover = a.state == kMenu ? spotAt(x, y) : -1;
    if (message == WM_LBUTTONDOWN && a.hover >= 0) {
        switch (a.hover) {
        case 0:
        case 1:
            a.state = kLaunch;
            a.chosenScreen = a.hover == 0 ? 17 : 18;
            break;
        case 2:
            if (confirmExit())
                PostMessageA(a.window, WM_CLOSE, 0, 0);
            break;
        default:
            askPlayerName();
            a.state = kMenu;
            a.hover = -1;
            break;
        }
    }
    if (a.hover != old) {
        copyBackground();
        if (a.hover >= 0 && a.screen != nullptr && a.highlights[a.hover] != nullptr) {
            const HotSpot &s = kHotSpots[a.hover];
            CopyRectangle(a.screen, s.x, s.y, a.highlights[a.hover], 0, 0, kHighlightSize, kHighlightSize);
            framework().playMenuSound(8);
        }
        draw(nullptr);
    }
}

}  // namespace mavrel
