// The options screens (general, and one per game): sliders, switches, the CD track, key bindings and
// the three texts edit working copies of the settings; only OK writes them back. A reset writes the
// defaults at once, so it stays even when the screen is then cancelled.
#include "options.h"

#include <stdio.h>
#include <string.h>

#include "controls.h"
#include "runner.h"
#include "scenedesc.h"
#include "scenestate.h"
#include "state.h"
#include "texts.h"
#include "vokscore/vokmedia.h"
#include "vokscore/vokpopup.h"
#include "vokscore/voksound.h"

namespace vok {

namespace {

constexpr int kGeneralScreen = 44, kGameScreen = 45;
constexpr int kOk = 23, kCancel = 24, kGeneralButton = 25, kReset = 300;
constexpr int kSoundYes = 11, kSoundBack = 13, kSoundStep = 8;
// Sessions.
constexpr int kTrackSession = 3, kFirstSlider = 4, kSecondSlider = 5, kThirdSlider = 6, kKeySession = 7;
constexpr int kCaptureSession = 98, kTextSession = 99;
constexpr int kTrackIkon = 1, kPromptIkon = 1;
// Ikon ids.
constexpr int kSlider1 = 1010, kSlider2 = 1020, kSlider3 = 1030;
constexpr int kFirstGlobalKey = 80, kFirstGameKey = 91, kLastKey = 98;
constexpr int kTerrowKeys = 8, kKelpaKeys = 3;
constexpr int kTerrow = 2, kKelpa = 3;
// CD tracks the screens offer (named by texts 13..19), and the levels of the general sliders.
constexpr int kTracks = 7, kTrackText = 13, kLevels = 6;
constexpr int kPromptText = 43;
constexpr uint32_t kBlinkMs = 300;
constexpr size_t kBlockBytes = 64;

struct Options {
    bool nested = false;
    VokGeneralSettings general{};
    alignas(8) unsigned char blocks[VOK_GAME_COUNT][kBlockBytes] = {};
    char keyNames[kLastKey - kFirstGlobalKey + 1][48] = {};
};

Options &opts()
{
    static Options o;
    return o;
}

static_assert(sizeof(MkSettings) <= kBlockBytes && sizeof(TrSettings) <= kBlockBytes, "block copies fit");

void *stored_block(int game)
{
    void *b = general().gameBlocks[game];
    return b ? b : own_block(game);
}

int32_t *words(int game)
{
    return reinterpret_cast<int32_t *>(opts().blocks[game]);
}

bool on_general()
{
    VokScene *scene = engine().running;
    return scene && scene->screenId == kGeneralScreen;
}

// The game of a per-game screen is the one of its table entry (61 + game).
int current_game()
{
    int entry = runner().current;
    if (entry >= 61 && entry < 61 + VOK_GAME_COUNT)
        return entry - 61;
    int g = game_number(iface().gameId);
    return g < 0 ? 0 : g;
}

void take_copies()
{
    Options &o = opts();
    o.general = general();
    for (int g = 0; g < VOK_GAME_COUNT; g++)
        memcpy(o.blocks[g], stored_block(g), block_size(g));
}

// The general record without its block pointers, which are not the screen's to change.
void put_general(VokGeneralSettings &to, const VokGeneralSettings &from)
{
    void *blocks[VOK_GAME_COUNT];
    memcpy(blocks, to.gameBlocks, sizeof blocks);
    to = from;
    memcpy(to.gameBlocks, blocks, sizeof blocks);
}

void write_back()
{
    Options &o = opts();
    put_general(general(), o.general);
    for (int g = 0; g < VOK_GAME_COUNT; g++)
        memcpy(stored_block(g), o.blocks[g], block_size(g));
}

// The track the stored settings name for this screen.
int stored_track()
{
    return on_general() ? general().menuCdTrack : static_cast<int32_t *>(stored_block(current_game()))[0];
}

int32_t &work_track()
{
    return on_general() ? opts().general.menuCdTrack : words(current_game())[0];
}

KeyBinding *binding(int id)
{
    Options &o = opts();
    if (id >= kFirstGlobalKey && id < kFirstGlobalKey + VOK_GLOBAL_KEYS)
        return &o.general.globalKeys[id - kFirstGlobalKey];
    int n = id - kFirstGameKey;
    if (n < 0)
        return nullptr;
    if (current_game() == kTerrow && n < kTerrowKeys)
        return &reinterpret_cast<TrSettings *>(o.blocks[kTerrow])->keys[n];
    if (current_game() == kKelpa && n < kKelpaKeys)
        return &reinterpret_cast<KpSettings *>(o.blocks[kKelpa])->keys[n];
    return nullptr;
}

void set_text(VokIkon *k, const char *t)
{
    if (!k)
        return;
    k->text.string = t;
    k->shownText = t;
    k->state |= VOK_IST_REDRAW;
}

void set_focus(VokSession *s, int id)
{
    VokIkon *k = s ? FindIkon(s, id) : nullptr;
    if (!k)
        return;
    if (s->focused)
        s->focused->state |= VOK_IST_REDRAW;
    s->focused = k;
    s->focusId = id;
    k->state |= VOK_IST_REDRAW;
}

int focused_in(int session, int base, int count, int otherwise)
{
    VokSession *s = FindSession(session);
    int id = s && s->focused ? s->focused->id : -1;
    return id >= base && id < base + count ? id - base : otherwise;
}

int ikons_from(int session, int base)
{
    VokSession *s = FindSession(session);
    int n = 0;
    while (s && FindIkon(s, base + n))
        n++;
    return n;
}

int clamp(int v, int lo, int hi)
{
    return v < lo ? lo : v > hi ? hi : v;
}

void show_track()
{
    VokSession *s = FindSession(kTrackSession);
    set_text(s ? FindIkon(s, kTrackIkon) : nullptr, text(kTrackText + clamp(work_track(), 0, kTracks - 1)));
}

// The name of a binding: a mouse button, or the key's name after "Ctrl+" and "Shift+".
void binding_name(KeyBinding b, char *out, size_t size)
{
    int key = b & 0xFF;
    const char *name = key_name(key);
    char own[16];
    if (!name || !*name) {
        snprintf(own, sizeof own, "#%d", key);
        name = own;
    }
    snprintf(out, size, "%s%s%s", (b & VOK_KEY_CTRL) ? "Ctrl+" : "", (b & VOK_KEY_SHIFT) ? "Shift+" : "", name);
}

void show_keys()
{
    VokSession *s = FindSession(kKeySession);
    for (int i = 0; s && i < s->ikonCount; i++) {
        VokIkon *k = &s->ikons[i];
        KeyBinding *b = binding(k->id);
        if (!b)
            continue;
        char *name = opts().keyNames[k->id - kFirstGlobalKey];
        binding_name(*b, name, sizeof opts().keyNames[0]);
        set_text(k, name);
    }
}

// Every control of the screen shows the working copy.
void show_all()
{
    Options &o = opts();
    show_track();
    if (on_general()) {
        set_focus(FindSession(kFirstSlider), kSlider1 + clamp(o.general.cdMusic, 0, kLevels - 1));
        set_focus(FindSession(kSecondSlider), kSlider2 + clamp(o.general.soundEffects, 0, kLevels - 1));
        set_focus(FindSession(kThirdSlider), kSlider3 + (o.general.cursorToFocus ? 1 : 0));
        VokSession *t = FindSession(kTextSession);
        for (int n = 0; t && n < 3; n++)
            if (VokEdit *e = edit_of(FindIkon(t, n + 1))) {
                o.general.texts[n][VOK_SETTINGS_TEXT - 1] = 0;
                edit_set_text(e, o.general.texts[n]);
                e->ikon->state |= VOK_IST_REDRAW;
            }
    } else {
        int g = current_game();
        set_focus(FindSession(kFirstSlider), kSlider1 + (words(g)[1] ? 1 : 0));
        int options = ikons_from(kSecondSlider, kSlider2);
        if (options > 0)
            set_focus(FindSession(kSecondSlider), kSlider2 + clamp(words(g)[2], 0, options - 1));
    }
    show_keys();
}

// The sliders and switches of this screen into the working copy.
void take_controls()
{
    Options &o = opts();
    if (on_general()) {
        o.general.cdMusic = focused_in(kFirstSlider, kSlider1, kLevels, o.general.cdMusic);
        o.general.soundEffects = focused_in(kSecondSlider, kSlider2, kLevels, o.general.soundEffects);
        o.general.cursorToFocus = focused_in(kThirdSlider, kSlider3, 2, o.general.cursorToFocus);
        return;
    }
    int g = current_game();
    words(g)[1] = focused_in(kFirstSlider, kSlider1, 2, words(g)[1]);
    int options = ikons_from(kSecondSlider, kSlider2);
    if (options > 0)
        words(g)[2] = focused_in(kSecondSlider, kSlider2, options, words(g)[2]);
}

void step_track(int by)
{
    int32_t &t = work_track();
    t = ((clamp(t, 0, kTracks - 1) + by) % kTracks + kTracks) % kTracks;
    show_track();
    IfPlaySound(kSoundStep);
    VokPlayCDtrack(t);
}

void reset()
{
    Options &o = opts();
    if (on_general()) {
        VokGeneralSettings d = general();
        default_general(d);
        put_general(general(), d);
        put_general(o.general, d);
    } else {
        int g = current_game();
        default_block(g, stored_block(g));
        default_block(g, o.blocks[g]);
    }
    IfPlaySound(kSoundYes);
    show_all();
    if (VokScene *scene = engine().running)
        for (int i = 0; i < scene->sessionCount; i++)
            scene->sessions[i].state |= VOK_SST_FULL;
}

// Waits for a key or a mouse button with the prompt blinking, and binds it.
void capture(int id)
{
    KeyBinding *b = binding(id);
    SceneEngine &e = engine();
    VokScene *scene = e.running;
    if (!b || !scene)
        return;
    VokSession *panel = FindSession(kCaptureSession);
    VokIkon *prompt = panel ? FindIkon(panel, kPromptIkon) : nullptr;
    if (panel)
        ShowSession(panel);
    if (prompt)
        set_text(prompt, text(kPromptText));
    e.keyWait = -1;
    UINT_PTR timer = SetTimer(nullptr, 0, kBlinkMs, nullptr);
    uint32_t blinked = timeGetTime();
    bool lit = true, quit = false;
    WPARAM quitCode = 0;
    while (e.keyWait == -1 && !e.abort && e.running == scene) {
        MSG msg;
        bool got = PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
        if (got && msg.message == WM_QUIT) {
            quit = true;
            quitCode = msg.wParam;
            break;
        }
        if (got && !(msg.message == WM_TIMER && !msg.hwnd && msg.wParam == timer)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (prompt && timeGetTime() - blinked >= kBlinkMs) {
            blinked = timeGetTime();
            lit = !lit;
            if (lit)
                ShowIkon(panel, prompt);
            else
                HideIkon(panel, prompt);
        }
        if (!got && e.keyWait == -1 && e.running == scene) {
            MnuBuildScene();
            MnuPaintScreen(scene, 0);
            WaitMessage();  // the blink timer above wakes it at the next blink
        }
    }
    KillTimer(nullptr, timer);
    int answer = e.keyWait;
    e.keyWait = 0;
    if (quit)
        PostQuitMessage(int(quitCode));
    if (e.running != scene || e.abort || quit)
        return;
    if (prompt)
        ShowIkon(panel, prompt);
    if (panel)
        HideSession(panel);
    if (answer > 0) {
        KeyBinding v = KeyBinding(answer & 0xFF);
        // Mouse buttons are bound as they are; keys with the modifiers held.
        if (answer > 4) {
            if (GetKeyState(VK_CONTROL) < 0)
                v |= VOK_KEY_CTRL;
            if (GetKeyState(VK_SHIFT) < 0)
                v |= VOK_KEY_SHIFT;
        }
        *b = v;
        IfPlaySound(kSoundYes);
    }
    show_keys();
    scene->sessions[0].state |= VOK_SST_FULL;
}

void finish_ok(VokSession *s)
{
    Options &o = opts();
    take_controls();
    if (o.nested) {
        VokChooseButton(s, kOk, kSoundYes, 4);
        return;
    }
    VokChooseButton(s, kOk, kSoundYes, 1);
    write_back();
    VokPlayCDtrack(stored_track());
}

// The other options screen over this one.
void open_other(VokSession *s, int id)
{
    Options &o = opts();
    take_controls();
    if (o.nested) {
        VokChooseButton(s, id, kSoundYes, 4);
        return;
    }
    bool general = on_general();
    uint32_t game = iface().gameId;
    if (general)
        iface().gameId = uint32_t(id);
    o.nested = true;
    int shown = popup_screen(general ? kGameScreen : kGeneralScreen);
    o.nested = false;
    int result = iface().popupResult;
    if (!general)
        iface().gameId = game;
    if (!shown || result == 4) {
        iface().popupResult = 0;
        show_all();
        return;
    }
    if (result == 1) {
        finish_ok(s);
        return;
    }
    iface().popupResult = result < 0 ? 0 : result;
    engine().runningFlag = false;
}

// Session routines: the copies are taken as the screen starts (not under the other options screen),
// and the controls show them once the sessions are built.
int options_begin(VokSession *)
{
    if (!opts().nested)
        take_copies();
    return 1;
}

int options_ready(VokSession *s)
{
    if (s->id == kCaptureSession)
        HideSession(s);
    show_all();
    return 1;
}

struct Registered {
    Registered()
    {
        add_routine("optionsBegin", kRoutineSession, reinterpret_cast<void *>(&options_begin));
        add_routine("optionsReady", kRoutineSession, reinterpret_cast<void *>(&options_ready));
    }
} g_registered;

}  // namespace

bool options_nested()
{
    return opts().nested;
}

void options_key(UINT message, WPARAM key)
{
    VokScene *scene = engine().running;
    if (!scene)
        return;
    VokSession *s = popup_focus_session();
    bool general = on_general();
    bool command = message == WM_KEYDOWN && (key == VK_RETURN || key == VK_ESCAPE);
    // The texts of the general screen take their keys while they have the focus.
    if (general && s && s->id == kTextSession && !command) {
        VokIkon *k = s->focused;
        if (VokEdit *e = edit_of(k)) {
            edit_key(message, e, key);
            if (k->id >= 1 && k->id <= 3) {
                char *t = opts().general.texts[k->id - 1];
                snprintf(t, VOK_SETTINGS_TEXT, "%s", e->text ? e->text : "");
            }
        }
        return;
    }
    if (message != WM_KEYDOWN)
        return;
    if (key == VK_LEFT || key == VK_RIGHT) {
        if (!general || (s && s->id == kTrackSession))
            step_track(key == VK_LEFT ? -1 : 1);
        return;
    }
    if (key == VK_ESCAPE) {
        VokChooseButton(s, kCancel, kSoundBack, 0);
        if (!opts().nested)
            VokPlayCDtrack(stored_track());
        return;
    }
    if (key != VK_RETURN)
        return;
    int id = s && s->focused ? s->focused->id : 0;
    if (id >= kFirstGlobalKey && id <= kLastKey && s->id == kKeySession)
        capture(id);
    else if (id == kOk)
        finish_ok(s);
    else if (id == kCancel)
        options_key(WM_KEYDOWN, VK_ESCAPE);
    else if ((!general && id == kGeneralButton) || (general && game_number(uint32_t(id)) >= 0))
        open_other(s, id);
    else if (id == kReset)
        reset();
}

}  // namespace vok
