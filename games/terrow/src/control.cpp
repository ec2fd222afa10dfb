// The game's control between the window and the field: starting and loading a level, the pause and
// close popups with the preview producer, Escape, help, the editor's test run, the field reset and
// the editor's own save and load through the framework's browser.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include <brondel/bractor.h>
#include <brondel/brpixmap.h>

#include "gameint.h"
#include "wiring.h"
#include "pannix/pxfont.h"
#include "terrow/trdib.h"
#include "terrow/tredit.h"
#include "terrow/trfield.h"
#include "terrow/trgame.h"
#include "terrow/trlook.h"
#include "terrow/trmodule.h"
#include "terrow/trmsg.h"
#include "terrow/trplay.h"
#include "terrow/trshell.h"
#include "vokscore/vokbrowse.h"
#include "vokscore/vokiface.h"
#include "vokscore/vokloading.h"
#include "vokscore/vokpath.h"
#include "vokscore/vokpopup.h"
#include "win32/winfile.h"
#include "win32/winsync.h"
#include "win32/wintime.h"
#include "win32/winuser.h"

namespace {

TrControl g_control = {};
std::atomic<int32_t> g_producerIdle{1};
std::atomic<int32_t> g_stop{0};

#define TR_GF_MAY_MARK 0x08u
#define TR_GF_MARKED 0x10u
const char kFilter[] = "Fenlow Field (*.trl)\0*.trl\0";

int real_box(HWND window, unsigned type, const char *text)
{
    return VokMessageBox(window, type, "%s", text);
}

const TrScreenHooks kFramework = {VokPopupIFScreen, real_box, VokBrowseFileSave, VokBrowseFileOpen,
                                  UpdateLoadingProgressBar};
TrScreenHooks g_screens = kFramework;

TrShell &shell()
{
    return *TrGetShell();
}

VokInterFace *face()
{
    return TrGetModule()->iface;
}

bool game()
{
    return TrPlayModeGet()->game != 0;
}

int popup(unsigned id)
{
    return g_screens.popup(id);
}

void owner_and_picture()
{
    if (VokInterFace *f = face()) {
        f->ownerWnd = shell().window;
        f->screenPix = shell().screenPix;
    }
}

void frame_now()
{
    tr_render_present();
}

void fade_in()
{
    if (face() != nullptr && face()->screenPix != nullptr)
        FadeInGame(face()->screenPix);
}

// The file name part of the record's title, shown when it fits the line.
void take_title()
{
    g_control.levelTitle[0] = '\0';
    const VokInterFace *f = face();
    if (f == nullptr)
        return;
    const char *t = f->titleText;
    for (const char *p = t; *p != '\0'; p++)
        if (*p == '\\' || *p == '/')
            t = p + 1;
    const size_t n = std::strlen(t);
    if (n < sizeof g_control.levelTitle)
        std::memcpy(g_control.levelTitle, t, n + 1);
}

void install_field(TrPalya *field)
{
    TrShell &s = shell();
    // The hover, the hand and the direction mode point into the field that goes.
    Edit_ClearHover();
    Edit_Reset();
    TrCopiesReset();
    s.field = field;
    TrBuildFieldScene();
    tr_order_opaque();
}

void save_position()
{
    char path[260];
    TrSaveName(path);
    if (path[0] != '\0')
        Palya_SaveCurrentUser(path);
}

void toolbar_restore()
{
    if (game())
        TrToolbarGameState();
    else
        TrToolbarEditorState();
}

}  // namespace

void tr_progress(unsigned percent)
{
    if (g_screens.progress != nullptr)
        g_screens.progress(percent);
}

extern "C" {

void TrSetScreenHooks(const TrScreenHooks *hooks)
{
    g_screens = kFramework;
    if (hooks == nullptr)
        return;
    if (hooks->popup != nullptr)
        g_screens.popup = hooks->popup;
    if (hooks->messageBox != nullptr)
        g_screens.messageBox = hooks->messageBox;
    if (hooks->browseSave != nullptr)
        g_screens.browseSave = hooks->browseSave;
    if (hooks->browseOpen != nullptr)
        g_screens.browseOpen = hooks->browseOpen;
    if (hooks->progress != nullptr)
        g_screens.progress = hooks->progress;
}

TrControl *TrControlGet(void)
{
    return &g_control;
}

int32_t TrProducerIdle(void)
{
    return g_producerIdle.load();
}

void TrSetProducerIdle(int32_t idle)
{
    g_producerIdle.store(idle);
}

int32_t TrProducerStop(void)
{
    return g_stop.load();
}

void TrSaveName(char *out)
{
    const VokInterFace *f = face();
    out[0] = '\0';
    if (f == nullptr)
        return;
    const char *p = TrSavedPositionPath(f->gameKind, f->playerName != nullptr ? f->playerName : "",
                                        g_control.levelFile);
    // Already a path under the write root.
    if (p != nullptr)
        std::snprintf(out, 260, "%s", p);
}

int32_t TrGameStart(void)
{
    VokInterFace *f = face();
    g_control.testRun = 0;
    TrPlayModeGet()->testRun = 0;
    std::snprintf(g_control.levelFile, sizeof g_control.levelFile, "%s", f != nullptr ? f->levelPath : "");
    const int isGame = f == nullptr || f->gameKind != TR_EDITOR_KIND;
    TrPlayModeGet()->game = isGame;
    shell().game = isGame;
    shell().editor = !isGame;
    toolbar_restore();
    if (g_control.levelFile[0] == '\0')
        std::snprintf(g_control.levelFile, sizeof g_control.levelFile, "%s", "internal_error.trl");
    return TrLoadLevel();
}

int32_t TrLoadLevel(void)
{
    TrShell &s = shell();
    TrCopiesViewChanged(0);
    if (game()) {
        SetCurrentDirectoryA(s.readFolder);
        TrPalya *field = nullptr;
        // A level that is not there gives the default field; one that cannot be read has warned.
        if (GetFileAttributesA(g_control.levelFile) != INVALID_FILE_ATTRIBUTES)
            field = Palya_FOpenLoad(g_control.levelFile);
        install_field(field != nullptr ? field : Palya_New());
        take_title();
    }
    TrStatusBar(0);
    SetCurrentDirectoryA(s.readFolder);
    TrCameraFromField();
    if (!game()) {
        install_field(Palya_New());
        g_control.levelTitle[0] = '\0';
        TrCatalogueLayoutEditor();
        tr_place_catalogue_nodes();
        TrCatalogueShowAll();
        TrStatusBar(0);
        TrCameraKey(82);
        if (TrPalya *f = Palya_Current())
            f->ballsNeeded = 1;
        TrStatusTimed(TrMessage(TR_MSG_HELP_F1), 4000);
        frame_now();
        fade_in();
        TrSetPaintState(2);
        return 1;
    }
    TrCatalogueLayoutGame();
    TrCatalogueShowSupplied();
    tr_place_catalogue_nodes();
    char saved[260];
    TrSaveName(saved);
    if (saved[0] != '\0' && GetFileAttributesA(saved) != INVALID_FILE_ATTRIBUTES) {
        // A position with none of the player's pieces is a position too (a damaged one has warned).
        Palya_LoadCurrentUser(saved);
        TrCatalogueShowSupplied();
        TrCameraFromField();
    } else {
        TrToolbarRunState(1);
        g_control.toolbarLock = 1;
        g_control.flyInCountdown = 1;
        Palya_FlyInAll();
        g_control.announceStart = timeGetTime();
        if (g_control.announceStart == 0)
            g_control.announceStart = 1;
    }
    TrStatusBar(0);
    frame_now();
    fade_in();
    TrSetPaintState(2);
    TrCameraKey(0);
    return 1;
}

void TrFrameHandOff(int32_t x, int32_t y, int32_t w, int32_t h)
{
    VokInterFace *f = face();
    if (f == nullptr)
        return;
    f->imgRect = VokImgRect{x, y, w, h};
    VokImgFlagsSet(f, VOK_IMG_READY);
    while ((VokImgFlags(f) & VOK_IMG_READY) && !g_stop.load()) {
        if (f->imgDoneEvent != nullptr)
            WaitForSingleObject(f->imgDoneEvent, 100);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    while ((VokImgFlags(f) & VOK_IMG_PAUSE) && !g_stop.load())
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

// The preview under the popup: the view as it stands, handed over until the screen ends it.
void TrPreviewProducer(void *arg)
{
    (void)arg;
    VokInterFace *f = face();
    g_producerIdle.store(0);
    TrShell &s = shell();
    if (f != nullptr && s.view != nullptr && !g_stop.load())
        TrFrameHandOff(0, 0, s.view->width, s.view->height);
    if (f != nullptr && !g_stop.load())
        tr_wire_preview();
    while (f != nullptr && !g_stop.load() && !(VokImgFlags(f) & VOK_IMG_STOP))
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (f != nullptr)
        VokImgFlagsStore(f, 0);
    g_producerIdle.store(1);
}

void TrPreviewEndCb(void)
{
    g_stop.store(1);
}

int TrSaveGameCb(void)
{
    save_position();
    return 1;
}

int32_t TrPauseMenu(void)
{
    VokInterFace *f = face();
    if (f == nullptr)
        return 0;
    TrSetCursor(0, 0);
    TrPlaySound(15);
    VokImgFlagsStore(f, 0);
    TrPalya *field = Palya_Current();
    if (!(f->gameFlags & VOK_GF_RESULT_SEEN)) {
        save_position();
    } else if (field != nullptr && (field->flags & PF_MODIFIED)) {
        f->gameFlags &= ~VOK_GF_REPLAY;
        VokImgFlagsSet(f, VOK_IMG_REPLAY);
    }
    if (field != nullptr)
        field->flags &= ~PF_MODIFIED;
    owner_and_picture();
    g_stop.store(0);
    f->imgThreadProc = TrPreviewProducer;
    f->imgEndProc = TrPreviewEndCb;
    f->replayProc = TrSaveGameCb;
    g_producerIdle.store(1);
    TrToolbarRunState(1);
    tr_toolbar_popup(1);
    if (!popup(VOK_SCREEN_RESULTS))
        f->popupResult = -1;
    tr_toolbar_popup(0);
    TrSetPaintState(0);
    g_stop.store(1);
    // A producer that never ran or died must not hold the game: the wait is bounded.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(TR_PRODUCER_WAIT_MS);
    while (!g_producerIdle.load() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    f->imgThreadProc = nullptr;
    f->imgEndProc = nullptr;
    f->replayProc = nullptr;
    TrToolbarRunState(0);
    TrStatusBar(0);
    const int32_t result = f->popupResult;
    if (result == -1) {
        g_control.closePending = 1;
        PostMessageA(shell().window, WM_CLOSE, 0, 0);
    } else if (result != 0) {
        toolbar_restore();
        TrGameStart();
    } else {
        TrCameraFromField();
        toolbar_restore();
        frame_now();
        TrStatusBar(0);
        TrSetPaintState(2);
    }
    return result;
}

int32_t TrCloseRequest(void)
{
    if (g_control.closePending) {
        g_control.closePending = 0;
        return 1;
    }
    VokInterFace *f = face();
    if (f == nullptr)
        return 1;
    TrToolbarRunState(1);
    owner_and_picture();
    TrSetCursor(0, 0);
    TrSetPaintState(0);
    tr_toolbar_popup(1);
    if (!popup(17))
        f->popupResult = -1;
    tr_toolbar_popup(0);
    if (shell().fonts != nullptr)
        PxSelectFont(shell().fonts, 0);
    TrToolbarRunState(0);
    if (game() && !(f->gameFlags & VOK_GF_RESULT_SEEN))
        save_position();
    if (f->popupResult == -1)
        return 1;
    TrGameStart();
    return 0;
}

void TrEscape(void)
{
    TrPlaySound(11);
    if (g_control.testRun) {
        TrEndTest();
        return;
    }
    if (!game() && Palya_Modified()) {
        const int answer = g_screens.messageBox(shell().window, 3, TrMessage(TR_MSG_UNSAVED));
        if (answer == IDCANCEL)
            return;
        if (answer == IDYES && !TrSaveFieldHook())
            return;
    }
    if (!TrSimGet()->paused)
        TrRunKeyStop();
    PostMessageA(shell().window, WM_CLOSE, 0, 0);
}

void TrHelp(void)
{
    TrPlaySound(16);
    owner_and_picture();
    TrSetCursor(0, 0);
    popup(game() ? 34 : 37);
    // The screen drew over the whole picture, the bar included.
    TrStatusBar(0);
    TrSetPaintState(2);
}

int32_t TrStartTest(void)
{
    TrPalya *field = Palya_Current();
    if (field == nullptr || game())
        return 0;
    char folder[260] = "";
    GetTempPathA(sizeof folder, folder);
    if (GetTempFileNameA(folder, "trs", 0, g_control.tempFile) == 0 || !Palya_SaveCurrent(g_control.tempFile)) {
        if (g_control.tempFile[0] != '\0')
            DeleteFileA(g_control.tempFile);
        g_control.tempFile[0] = '\0';
        TrMessageBox(TrMessage(TR_MSG_NO_SAVE_FILE), TR_MB_OK);
        return 0;
    }
    g_control.savedLevelFlags = field->levelFlags;
    g_control.testRun = 1;
    g_control.testPassed = 0;
    TrPlayModeGet()->testRun = 1;
    TrPlayModeGet()->game = 1;
    shell().game = 1;
    TrPalya *played = Palya_FOpenLoad(g_control.tempFile);
    install_field(played != nullptr ? played : Palya_New());
    TrCatalogueLayoutGame();
    TrCatalogueShowSupplied();
    TrCameraFromField();
    TrStatusBar(0);
    return 1;
}

void TrEndTest(void)
{
    if (!g_control.testRun)
        return;
    if (TrSimGet()->runActive)
        TrRunKeyStop();
    const int passed = TrSimGet()->testPassed || g_control.testPassed;
    TrPlayModeGet()->game = 0;
    shell().game = 0;
    TrSetPaintState(0);
    TrToolbarEditorState();
    TrSetPaintState(1);
    TrPalya *back = Palya_FOpenLoad(g_control.tempFile);
    install_field(back != nullptr ? back : Palya_New());
    TrCatalogueLayoutEditor();
    TrCatalogueShowAll();
    TrCameraFromField();
    g_control.testRun = 0;
    TrPlayModeGet()->testRun = 0;
    tr_toolbar_test_release();
    DeleteFileA(g_control.tempFile);
    g_control.tempFile[0] = '\0';
    if (TrPalya *f = Palya_Current()) {
        f->levelFlags = g_control.savedLevelFlags;
        if (passed)
            f->levelFlags |= LF_PLAYABLE;
        f->flags &= ~PF_MODIFIED;
    }
    g_control.testPassed = 0;
    TrStatusBar(0);
    TrSetPaintState(2);
}

void TrResetField(void)
{
    TrPlaySound(13);
    const TrSimState *sim = TrSimGet();
    if (sim->runActive && !sim->paused) {
        TrPlaySound(6);
        TrRunKeyStop();
        return;
    }
    if (sim->runActive)
        TrRunKeyStop();
    if (game()) {
        // The pieces that go may be the hover or the direction mode's ball.
        Edit_ClearHover();
        Edit_Reset();
        Palya_TakeBackSupplied();
        TrCatalogueShowSupplied();
        return;
    }
    if (Palya_Modified() && g_screens.messageBox(shell().window, 4, TrMessage(TR_MSG_SURE)) != IDYES)
        return;
    Edit_ClearHover();
    Edit_Reset();
    Palya_ClearToFloor();
    TrPalya *f = Palya_Current();
    if (f != nullptr) {
        f->pitch = TR_CAM_PITCH;
        f->yaw = TR_CAM_YAW;
        f->distance = TR_CAM_DISTANCE;
        f->height = TR_CAM_HEIGHT;
        f->pan = 0.0f;
        f->ballsNeeded = 1;
        f->flags &= ~PF_MODIFIED;
    }
    g_control.levelTitle[0] = '\0';
    TrStatusBar(0);
    TrStatusClear();
}

void TrInstallGameHooks(void)
{
    TrPlayHooks h = *TrPlayHooksGet();
    h.sound = [](int id) { TrPlaySound(id); };
    h.status = [](const char *text, int32_t ms) {
        if (ms > 0)
            TrStatusTimed(text, ms);
        else
            TrStatusPlain(text);
    };
    h.backgroundRepair = TrCopiesRepair;
    // The run's start and stop: the toolbar's run state and the run copies' lifetime.
    h.toolbarRun = [](int running) {
        TrToolbarRunState(running);
        if (running && !TrCopiesGet()->runInUse)
            TrCopiesRunStart();
        else if (!running)
            TrCopiesRunEnd();
    };
    // A solved game ends in the game-over popup unless the effects bring their own sequence.
    // Posted: the run stops inside a frame, and the popup comes once that frame is done.
    if (h.victory == nullptr)
        h.victory = [] { PostMessageA(shell().window, TR_WM_GAME_OVER, 0, 0); };
    h.startButton = [](int enabled, int32_t ms) {
        if (enabled) {
            g_control.startLock = 0;
            tr_toolbar_start_enable(1);
            return;
        }
        g_control.startLock = 1;
        g_control.startLockTime = timeGetTime() + (uint32_t)(ms > 0 ? ms : 0);
        tr_toolbar_start_enable(0);
    };
    h.postKey = [](int32_t key) { PostMessageA(shell().window, WM_KEYDOWN, (WPARAM)key, 0); };
    TrSetPlayHooks(&h);
}

int32_t TrSaveFieldHook(void)
{
    VokInterFace *f = face();
    TrPalya *field = Palya_Current();
    if (f == nullptr || field == nullptr)
        return 0;
    const char *folder = VokMakeWritePath(nullptr, "%s", "Fields\\");
    char dir[260];
    std::snprintf(dir, sizeof dir, "%s", folder);
    CreateDirectoryA(dir, nullptr);
    char path[260] = "";
    // The browser shows over a copy of the screen: the file menu that led here is closed by now.
    frame_now();
    owner_and_picture();
    f->gameFlags = (f->gameFlags | TR_GF_MAY_MARK) & ~TR_GF_MARKED;
    char *chosen = g_screens.browseSave(path, kFilter, dir, TrMessage(TR_MSG_SAVE_LEVEL));
    const bool secret = (f->gameFlags & TR_GF_MARKED) != 0;
    f->gameFlags &= ~(TR_GF_MAY_MARK | TR_GF_MARKED);
    TrSetPaintState(2);
    if (chosen == nullptr)
        return 0;  // the browser was left: nothing written, the field stays as it is
    const uint32_t flags = field->levelFlags;
    if (secret)
        field->levelFlags |= LF_SECRET;
    if (!Palya_SaveCurrent(chosen)) {
        field->levelFlags = flags;  // the failed save has said so (message 12)
        return 0;
    }
    field->flags &= ~PF_MODIFIED;
    return 1;
}

int32_t TrLoadFieldHook(void)
{
    VokInterFace *f = face();
    if (f == nullptr || game())
        return 0;
    char dir[260];
    std::snprintf(dir, sizeof dir, "%s", VokMakeWritePath(nullptr, "%s", "Fields\\"));
    char path[260] = "";
    frame_now();
    owner_and_picture();
    char *chosen = g_screens.browseOpen(path, kFilter, dir, TrMessage(TR_MSG_LOAD_LEVEL));
    TrSetPaintState(2);
    if (chosen == nullptr)
        return 0;
    TrPalya *field = Palya_FOpenLoad(chosen);
    if (field == nullptr)
        return 0;
    install_field(field);
    TrCatalogueLayoutEditor();
    TrCatalogueShowAll();
    TrCameraFromField();
    TrStatusBar(0);
    frame_now();
    return 1;
}

}  // extern "C"
