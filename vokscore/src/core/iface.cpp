// The interface record of the run and its life cycle, the general and per-game settings, the game
// mode and type.
#include <string.h>

#include "pannix/pxbase.h"
#include "preview.h"
#include "state.h"
#include "texts.h"
#include "vokscore/vokpath.h"
#include "vokscore/voktext.h"
#include "win32/winsync.h"

// Games copy their blocks by these sizes.
static_assert(sizeof(VnSettings) == 16 && sizeof(MkSettings) == 40 && sizeof(TrSettings) == 32 &&
              sizeof(KpSettings) == 24 && sizeof(DmSettings) == 12);

namespace {

VokInterFace g_iface;
VokGeneralSettings g_general;
VnSettings g_vn;
MkSettings g_mk;
TrSettings g_tr;
KpSettings g_kp;
DmSettings g_dm;

void set_defaults()
{
    vok::default_general(g_general);
    for (int g = 0; g < VOK_GAME_COUNT; g++)
        vok::default_block(g, vok::own_block(g));
}

void point_blocks_at_own()
{
    for (int g = 0; g < VOK_GAME_COUNT; g++)
        g_general.gameBlocks[g] = vok::own_block(g);
}

}  // namespace

namespace vok {

FrameworkState &state()
{
    static FrameworkState s;
    return s;
}

VokInterFace &iface()
{
    return g_iface;
}

VokGeneralSettings &general()
{
    return g_general;
}

void default_general(VokGeneralSettings &out)
{
    void *blocks[VOK_GAME_COUNT];
    memcpy(blocks, out.gameBlocks, sizeof blocks);
    out = VokGeneralSettings{};
    out.cdMusic = 2;
    out.soundEffects = 3;
    out.menuCdTrack = 4;
    out.cursorToFocus = 1;
    const KeyBinding keys[VOK_GLOBAL_KEYS] = {13, 36, 35, 47, 27, 33, 34, 38, 40, 37, 39};
    memcpy(out.globalKeys, keys, sizeof keys);
    // The blocks the settings point at are not settings of their own.
    memcpy(out.gameBlocks, blocks, sizeof blocks);
}

void default_block(int game, void *out)
{
    if (!out)
        return;
    switch (game) {
    case 0: *static_cast<VnSettings *>(out) = VnSettings{2, 1, 4, 32}; break;
    case 1: *static_cast<MkSettings *>(out) = MkSettings{5, 1, 1, {-200.0f, -42.0f, 1.5f, 1.9f, 2.2f, 2.4f}, 32}; break;
    case 2: *static_cast<TrSettings *>(out) = TrSettings{6, 1, 0, {0x76, 0x74, 0x75, 0x77, 0x4027, 0x4025, 0x4026, 0x4028}, 32}; break;
    case 3: *static_cast<KpSettings *>(out) = KpSettings{1, 1, 2, {39, 37, 32}, 0, 32}; break;
    case 4: *static_cast<DmSettings *>(out) = DmSettings{3, 1, 32}; break;
    default: break;
    }
}

void *own_block(int game)
{
    switch (game) {
    case 0: return &g_vn;
    case 1: return &g_mk;
    case 2: return &g_tr;
    case 3: return &g_kp;
    case 4: return &g_dm;
    default: return nullptr;
    }
}

size_t block_size(int game)
{
    static const size_t sizes[VOK_GAME_COUNT] = {sizeof(VnSettings), sizeof(MkSettings), sizeof(TrSettings),
                                                 sizeof(KpSettings), sizeof(DmSettings)};
    return game >= 0 && game < VOK_GAME_COUNT ? sizes[game] : 0;
}

int game_number(uint32_t gameId)
{
    return gameId >= VOK_GAME_BASE && gameId < VOK_GAME_BASE + VOK_GAME_COUNT ? int(gameId - VOK_GAME_BASE) : -1;
}

}  // namespace vok

VOK_EXPORT int InitVokScore(const char *dataFolder)
{
    vok::FrameworkState &s = vok::state();
    g_iface.language = VOK_LANG_US;
    DWORD setup = 0;
    g_iface.setupType = VokRegGetValue(nullptr, "SetupType", &setup, sizeof setup) ? int32_t(setup) : 0;
    g_iface.readRoot = s.root;
    g_iface.writeRoot = s.root;
    memcpy(s.fallback, s.root, sizeof s.fallback);
    InitPannix(VokMakeFullPath("%s", dataFolder ? dataFolder : ""), 640, 480, 16, 0, 0);
    g_iface.hostWnd = nullptr;
    g_iface.hostDC = nullptr;
    g_iface.inGame = 0;
    g_iface.levelFamily = 0;
    g_iface.levelNumber = 0;
    g_iface.subMode = 0;
    g_iface.networkGame = 0;
    g_iface.colourChoice = 0;
    g_iface.titleText[0] = '\0';
    g_iface.levelPath[0] = '\0';
    g_iface.speedIndex = 3;
    VokSetGameMode(VOK_KIND_CHALLENGE);
    g_iface.gameKind = VokGetGameMode();
    set_defaults();
    point_blocks_at_own();
    s.started = true;
    return 1;
}

VOK_EXPORT VokInterFace *VokGetInterFace(uint32_t gameId)
{
    vok::FrameworkState &s = vok::state();
    g_iface.generalSettings = &g_general;
    if (!s.started)
        InitVokScore("Data\\");
    point_blocks_at_own();
    g_iface.playerName = s.playerName;
    VokGetPlayerName(nullptr);
    g_iface.gameId = gameId;
    g_iface.bestRank1 = -1;
    g_iface.bestRank2 = -1;
    vok::reset_best_ranks();
    g_iface.gameFlags |= VOK_GF_INTERFACE;
    return &g_iface;
}

VOK_EXPORT int VokInitInterFace(HWND window)
{
    vok::FrameworkState &s = vok::state();
    s.soundUses++;
    if (s.textUses++ == 0)
        VokLoadTextFiles();
    if (window != nullptr) {
        g_iface.ownerWnd = window;
        if (s.firstWindow == nullptr)
            s.firstWindow = window;
        if (!vok::sound_created())
            VokCreateDirectSound(window);
    } else {
        g_iface.ownerWnd = s.firstWindow;
    }
    if (g_iface.imgReadyEvent == nullptr)
        g_iface.imgReadyEvent = CreateEventA(nullptr, FALSE, FALSE, "VokImgReady");
    if (g_iface.imgDoneEvent == nullptr)
        g_iface.imgDoneEvent = CreateEventA(nullptr, FALSE, FALSE, "VokImgDone");
    g_iface.imgRect = VokImgRect{};
    __atomic_store_n(&g_iface.imgFlags, 0u, __ATOMIC_SEQ_CST);
    int game = vok::game_number(g_iface.gameId);
    if (game >= 0) {
        void *own = vok::own_block(game);
        void *slot = g_general.gameBlocks[game];
        if (slot == nullptr)
            g_general.gameBlocks[game] = own;
        else if (slot != own)
            memcpy(slot, own, vok::block_size(game));
    }
    return 1;
}

VOK_EXPORT int VokCloseInterFace(void)
{
    vok::FrameworkState &s = vok::state();
    if (s.soundUses == 1)
        VokReleaseDirectSound();
    if (s.soundUses > 0)
        s.soundUses--;
    // A preview producer that missed its stop still uses the events and screenPix.
    vok::preview_join();
    if (g_iface.imgReadyEvent != nullptr) {
        CloseHandle(g_iface.imgReadyEvent);
        g_iface.imgReadyEvent = nullptr;
    }
    if (g_iface.imgDoneEvent != nullptr) {
        CloseHandle(g_iface.imgDoneEvent);
        g_iface.imgDoneEvent = nullptr;
    }
    int game = vok::game_number(g_iface.gameId);
    if (game >= 0) {
        void *own = vok::own_block(game);
        void *slot = g_general.gameBlocks[game];
        if (slot != nullptr && slot != own)
            memcpy(own, slot, vok::block_size(game));
    }
    point_blocks_at_own();
    if (s.textUses > 0 && --s.textUses == 0)
        VokFreeTextFiles();
    int result = 1;
    if (game == 3)
        result = VokSetPlayerName(g_iface.playerName);
    return result;
}

VOK_EXPORT int VokSetGameMode(int mode)
{
    if (mode != VOK_KIND_FREE && mode != VOK_KIND_CHALLENGE)
        return 0;
    vok::state().gameMode = mode;
    return 1;
}

VOK_EXPORT int VokGetGameMode(void)
{
    return vok::state().gameMode;
}

VOK_EXPORT int VokSetGameType(uint32_t id)
{
    if (vok::game_number(id) < 0)
        return 0;
    vok::state().gameType = id;
    return 1;
}

VOK_EXPORT uint32_t VokGetGameType(void)
{
    return vok::state().gameType;
}

// Capture and the old score hooks do nothing in this build.
VOK_EXPORT void ClearVelmoScore(void) {}
VOK_EXPORT void VokStartCapture(uint32_t) {}
VOK_EXPORT void VokStopCapture(void) {}
VOK_EXPORT void VokKillCapture(void) {}
VOK_EXPORT void VokCaptureNow(void) {}
VOK_EXPORT int LoadVelmoScore(void)
{
    return 0;
}
