// The game screens (ids 15..20): a menu of kinds on the background session, a page of level buttons
// per kind, and one key handler that turns the focused level into the game fields of the record.
// Solved levels are marked on their pages from two overlay pictures, and Terrow's pages list fields.
#include <string.h>

#include <map>
#include <string>
#include <vector>

#include "brondel/brpixmap.h"
#include "controls.h"
#include "gamesel.h"
#include "pannix/pannix.h"
#include "runner.h"
#include "scenedesc.h"
#include "scenestate.h"
#include "scores.h"
#include "state.h"
#include "texts.h"
#include "vokscore/vokscore.h"
#include "vokscore/vokscout.h"

namespace vok {

namespace {

constexpr int kBack = 5;
constexpr int kSoundYes = 11, kSoundBack = 13;
constexpr int kFirstGameScreen = 15, kLastGameScreen = 19, kGeneralScreen = 20, kTerrowScreen = 17;
constexpr int kReplayPage = 114, kMossikReplayPage = 113, kFirstGrid = 121;
constexpr int kListType = 8;

// Terrow's field lists (the kind-100 page and the four group pages): the level position of every row
// shown, by the list's session (fields missing from the lists are left out).
struct FieldRows {
    std::map<int, std::vector<int>> positions;
    std::map<int, std::vector<std::string>> names;
};

FieldRows &field_rows()
{
    static FieldRows r;
    return r;
}

int game_now()
{
    return int(iface().gameId & 0xFF);
}

int focused(VokSession *s)
{
    if (!s)
        return 0;
    if (s->focused)
        return s->focused->id;
    return s->focusId;
}

VokIkon *list_ikon(VokSession *s)
{
    return s ? FindIkonByType(s, kListType) : nullptr;
}

// Copies the overlay pictures over the rectangles of the solved levels' buttons.
void mark(VokSession *s, br_pixelmap *overlay, br_pixelmap *onto, const VokIkon &k)
{
    if (!overlay || !onto)
        return;
    int w = k.width, h = k.height;
    if (k.x + w > overlay->width)
        w = overlay->width - k.x;
    if (k.y + h > overlay->height)
        h = overlay->height - k.y;
    if (w > 0 && h > 0)
        CopyRectangle(onto, k.x, k.y, overlay, k.x, k.y, w, h);
    (void)s;
}

bool entry_marked(int game, int kind, int id)
{
    if (kind == kReplayPage || kind == kMossikReplayPage) {
        int base = game == kGameKelpa ? 40410 : 40035;
        return level_solved(game, VOK_KIND_CHALLENGE, id - base);
    }
    int base = level_command_base(game, kind);
    int position = id - base;
    bool families = game == kGameKelpa || game == kGameMossik;
    if (families && kind == VOK_KIND_FREE && id >= kFirstGrid && id < kFirstGrid + 4) {
        // A family button: marked when every level of the family is solved.
        int size = game == kGameKelpa ? kKelpaFamily : kMossikFamily;
        int family = id - kFirstGrid, first = family * size;
        int last = std::min(first + size, level_count(game, kind));
        if (first >= last)
            return false;
        for (int p = first; p < last; p++)
            if (!level_solved(game, kind, p))
                return false;
        return true;
    }
    return base && position >= 0 && position < level_count(game, kind) && level_solved(game, kind, position);
}

// Session routine of a level page: marks its solved levels.
int solved_marks(VokSession *s)
{
    VokScene *scene = engine().running;
    if (!scene || !s->extraPicture1)
        return 1;
    int game = game_now();
    int kind = s->id >= kFirstGrid && s->id < kFirstGrid + 4 ? VOK_KIND_FREE : s->id;
    if (kind == VOK_KIND_FREE || kind == VOK_KIND_CHALLENGE)
        VokLoadStatistic(kind, iface().gameId, 0, nullptr);
    br_pixelmap *normal = load_picture(scene, s->extraPicture1, s->pixWidth, s->pixHeight);
    br_pixelmap *highlit = s->extraPicture2 ? load_picture(scene, s->extraPicture2, s->pixWidth, s->pixHeight) : nullptr;
    for (int i = 0; i < s->ikonCount; i++) {
        const VokIkon &k = s->ikons[i];
        if (!entry_marked(game, kind, k.id))
            continue;
        mark(s, normal, s->backgroundPix, k);
        mark(s, highlit, s->focusBackgroundPix, k);
    }
    if (normal)
        PxFreePix(normal);
    if (highlit)
        PxFreePix(highlit);
    return 1;
}

bool is_grid(int sessionId)
{
    return sessionId >= kFirstGrid && sessionId < kFirstGrid + 4;
}

// Session routine of a Terrow field list: the 40 fields of the kind-100 page (session 100), or the
// fields of one group of the kind-101 page (sessions 121..124); solved ones marked.
int field_list(VokSession *s)
{
    VokIkon *k = list_ikon(s);
    VokList *list = list_of(k);
    int kind = is_grid(s->id) ? VOK_KIND_CHALLENGE : s->id;
    if (!list || (kind != VOK_KIND_FREE && kind != VOK_KIND_CHALLENGE))
        return 1;
    VokInterFace &f = iface();
    FieldRows &r = field_rows();
    std::vector<int> &positions = r.positions[s->id];
    std::vector<std::string> &names = r.names[s->id];
    positions.clear();
    names.clear();
    VokStatRecord record{};
    bool haveRecord = kind == VOK_KIND_CHALLENGE && VokLoadStatistic(kind, f.gameId, 0, &record) >= 0;
    int first = 0, count = level_count(kGameTerrow, kind);
    if (kind == VOK_KIND_CHALLENGE) {
        first = (s->id - kFirstGrid) * kTerrowGroupSize;
        count = kTerrowGroupSize;
    }
    for (int p = first; p < first + count; p++) {
        int list_no = kind == VOK_KIND_FREE ? 0 : p / kTerrowGroupSize + 1;
        const char *name = field_name(list_no, kind == VOK_KIND_FREE ? p : p % kTerrowGroupSize);
        if (!name)
            continue;
        bool solved = haveRecord ? record.fields[p] != 0 : level_solved(kGameTerrow, kind, p);
        positions.push_back(p);
        names.push_back(std::string(solved ? "* " : "  ") + name);
    }
    std::vector<const char *> rows;
    for (auto &n : names)
        rows.push_back(n.c_str());
    // Without the field-name lists the page says so; the row chooses nothing.
    if (rows.empty())
        rows.push_back("  No fields are installed.");
    list_set_rows(list, rows.data(), int(rows.size()));
    int selected = 0;
    if (f.gameKind == kind && game_now() == kGameTerrow)
        for (size_t i = 0; i < positions.size(); i++)
            if (positions[i] == VokLevelPosition())
                selected = int(i);
    list_select(list, selected);
    return 1;
}

// The session holding Terrow's field list of a kind: the kind-100 page, or the list of the group
// focused on the kind-101 page.
VokSession *terrow_list_session(int kind)
{
    VokSession *page = FindSession(kind);
    if (kind == VOK_KIND_CHALLENGE) {
        int group = focused(page);
        return is_grid(group) ? FindSession(group) : nullptr;
    }
    return kind == VOK_KIND_FREE ? page : nullptr;
}

// The family (or group) buttons of a page: the grid of the focused one shows under them. The page's
// own routine shows it (drawn after the page); one on the first session, which is always drawn, hides
// the grids when the page goes.
void show_grids(int shown)
{
    bool hid = false;
    for (int i = 0; i < 4; i++)
        if (VokSession *grid = FindSession(kFirstGrid + i)) {
            bool visible = ((grid->state & VOK_SST_HIDDEN) != 0) == ((grid->state & VOK_SST_PENDING) != 0);
            if (kFirstGrid + i == shown) {
                ShowSession(grid);
            } else if (visible) {
                HideSession(grid);
                hid = true;
            }
        }
    // The first session may be drawing now, before what the grid leaves uncovered: all of it next time.
    if (VokScene *scene = engine().running; hid && scene && scene->sessionCount > 0)
        scene->sessions[0].state |= VOK_SST_FULL;
}

int family_frame(VokSessionProc *p)
{
    VokSession *s = p->session;
    // Every frame: the screen's runner hides the pages after the first frame has drawn.
    show_grids(engine().page == s && s->focused ? s->focused->id : 0);
    return 1;
}

int family_gone(VokSessionProc *p)
{
    if (engine().page != FindSession(int(p->words[1])))
        show_grids(0);
    return 1;
}

int family_grids(VokSession *s)
{
    solved_marks(s);
    AddProcToSession(s, nullptr, family_frame, nullptr, nullptr);
    VokScene *scene = engine().running;
    if (scene && scene->sessionCount > 0)
        if (VokSessionProc *p = AddProcToSession(&scene->sessions[0], nullptr, family_gone, nullptr, nullptr))
            p->words[1] = s->id;
    return 1;
}

void end_screen(int sound)
{
    if (sound)
        IfPlaySound(sound);
    engine().runningFlag = false;
}

// The command of the level chosen on page `kind`, 0 when none.
int chosen_command(VokScene *scene, int kind)
{
    VokSession *page = FindSession(kind);
    if (!page)
        return 0;
    if (scene->screenId == kTerrowScreen && (kind == VOK_KIND_FREE || kind == VOK_KIND_CHALLENGE)) {
        VokSession *holder = terrow_list_session(kind);
        VokList *list = list_of(list_ikon(holder));
        if (!holder)
            return 0;
        const std::vector<int> &positions = field_rows().positions[holder->id];
        if (!list || list->selected < 0 || list->selected >= int(positions.size()))
            return 0;
        return level_command_base(kGameTerrow, kind) + positions[size_t(list->selected)];
    }
    int command = focused(page);
    int game = scene->screenId - kFirstGameScreen;
    if (game == kGameMossik || game == kGameKelpa)
        if (VokSession *grid = command > 0 && command < 1000 ? FindSession(command) : nullptr)
            command = focused(grid);
    return command;
}

// After a choice of a level that was solved before: the solved-level screen decides. False: stay.
bool solved_before(bool &nested)
{
    VokInterFace &f = iface();
    int game = game_now();
    bool counted = f.gameKind == VOK_KIND_FREE || (f.gameKind == VOK_KIND_CHALLENGE && game == kGameTerrow);
    if (!counted || !level_solved(game, f.gameKind, VokLevelPosition()))
        return true;
    f.gameFlags |= VOK_GF_SOLVED;
    nested = true;
    int shown = VokPopupIFScreen(25);
    if (!shown)
        return false;
    if (f.popupResult == 2) {
        if (!VokNextUnsolvedLevel())
            return false;
    } else if (f.popupResult != 0) {
        return false;
    }
    f.popupResult = 1;
    return true;
}

// Dunmar: a game that was not saved before asks for the player's colour first. False: stay.
bool dunmar_colour(bool &nested)
{
    VokInterFace &f = iface();
    char name[VOK_PATH_SIZE];
    snprintf(name, sizeof name, "dunmar_%s_%i.dmg", f.playerName ? f.playerName : "", f.levelFamily);
    if (CheckFileExistence(VokMakeWritePath("dm\\", "%s", name)))
        return true;
    int result = f.popupResult;
    nested = true;
    if (!VokPopupIFScreen(40))
        return false;
    f.colourChoice = f.popupResult;
    f.popupResult = result;
    return true;
}

void game_enter(HWND window, VokScene *scene)
{
    VokInterFace &f = iface();
    VokSession *menu = &scene->sessions[0];
    int entry = focused(menu);
    f.gameFlags &= ~0x07u;
    f.popupResult = 1;
    bool nested = false;
    switch (entry) {
    case kBack:
        VokChooseButton(menu, kBack, kSoundBack, -1);
        return;
    case 104: VokPopupIFScreen(36); return;
    case 105: VokPopupIFScreen(33); return;
    case 106: VokPopupIFScreen(45); return;
    case 107: NotImplemented(); return;
    default: break;
    }
    if (entry < 100 || entry > kReplayPage)
        return;
    int command = chosen_command(scene, entry);
    if (!command || !VokSelectGameByCommand(window, command))
        return;
    int game = game_now();
    if (game == kGameDunmar) {
        if (f.gameKind != VOK_KIND_EDITOR && !dunmar_colour(nested))
            return;
    } else if (!solved_before(nested)) {
        return;
    }
    if (game == kGameTerrow)
        f.popupResult = 1;
    end_screen(nested ? 0 : kSoundYes);
}

// The whole screen again, after something outside it drew over the window.
void redraw_all(VokScene *scene)
{
    if (engine().running != scene)
        return;
    for (int i = 0; i < scene->sessionCount; i++) {
        scene->sessions[i].state |= VOK_SST_FULL;
        VokAddDirtyRect(&scene->sessions[i], nullptr);
    }
    MnuPaintScreen(scene, 1);
}

void general_enter(VokScene *scene)
{
    VokInterFace &f = iface();
    int entry = focused(&scene->sessions[0]);
    if (entry < 107 || entry > 111)
        return;
    IfPlaySound(kSoundYes);
    switch (entry) {
    case 107:
        VokLaunchScoutview(f.ownerWnd);
        redraw_all(scene);
        break;
    case 108: VokPopupIFScreen(31); break;
    case 109: VokPopupIFScreen(32); break;
    case 110: f.gameId = VOK_GAME_VARNEL; VokPopupIFScreen(30); break;
    case 111: f.gameId = VOK_GAME_VARNEL; VokPopupIFScreen(44); break;
    }
}

}  // namespace

}  // namespace vok

using namespace vok;

VOK_EXPORT int VokGameScreenKeyHandler(HWND window, UINT message, WPARAM key, LPARAM)
{
    VokScene *scene = engine().running;
    if (message != WM_KEYDOWN || !scene || scene->sessionCount == 0)
        return 0;
    VokSession *menu = &scene->sessions[0];
    if (key == VK_ESCAPE) {
        VokChooseButton(menu, kBack, kSoundBack, -1);
        return 0;
    }
    if (scene->screenId == kTerrowScreen && (key == VK_PRIOR || key == VK_NEXT || key == VK_END ||
                                             key == VK_HOME || key == VK_UP || key == VK_DOWN)) {
        int kind = focused(menu);
        if (VokList *list = list_of(list_ikon(terrow_list_session(kind))))
            list_key(message, list, key);
        return 0;
    }
    if (key == VK_DELETE && scene->screenId == kGeneralScreen) {
        stats_clear_question();
        return 0;
    }
    if (key != VK_RETURN)
        return 0;
    iface().titleText[0] = '\0';
    if (scene->screenId >= kFirstGameScreen && scene->screenId <= kLastGameScreen)
        game_enter(window, scene);
    else if (scene->screenId == kGeneralScreen)
        general_enter(scene);
    return 0;
}

namespace {

struct Registered {
    Registered()
    {
        add_routine("gameKeys", kRoutineKey, reinterpret_cast<void *>(&VokGameScreenKeyHandler));
        add_routine("solvedMarks", kRoutineSession, reinterpret_cast<void *>(&solved_marks));
        add_routine("familyGrids", kRoutineSession, reinterpret_cast<void *>(&family_grids));
        add_routine("fieldList", kRoutineSession, reinterpret_cast<void *>(&field_list));
        RunnerHooks &h = runner_hooks();
        h.nextUnsolvedLevel = &VokNextUnsolvedLevel;
        h.levelPosition = &VokLevelPosition;
        h.levelCommand = [](int game, int sessionId) -> int {
            VokInterFace &f = iface();
            int position = VokLevelPosition();
            bool grid = is_grid(sessionId);
            int kind = !grid ? sessionId : game == kGameTerrow ? VOK_KIND_CHALLENGE : VOK_KIND_FREE;
            if (f.gameKind != kind || position < 0 || position >= level_count(game, kind))
                return 0;
            // Pages of families (Mossik's and Kelpa's free play) or of groups (Terrow's field game).
            bool families = (kind == VOK_KIND_FREE && (game == kGameMossik || game == kGameKelpa)) ||
                            (kind == VOK_KIND_CHALLENGE && game == kGameTerrow);
            if (families && !grid)
                return kFirstGrid + f.levelFamily;
            if (grid && (!families || sessionId != kFirstGrid + f.levelFamily))
                return 0;
            int base = level_command_base(game, kind);
            return base && game != kGameTerrow ? base + position : 0;
        };
    }
} g_registered;

}  // namespace
