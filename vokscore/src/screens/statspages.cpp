// The statistics pages of the general screen: a page per game with best times (Varnel, Mossik and
// Kelpa) holds a column of its challenge levels; the focused level's best-times list shows beside it,
// lower the further down the level, with the clear button under its last line when it holds an entry.
// Delete (or the clear button) asks, then frees the level's best times.
#include <stdio.h>

#include <string>

#include "gamesel.h"
#include "lists.h"
#include "scenedesc.h"
#include "scenestate.h"
#include "scores.h"
#include "state.h"
#include "texts.h"
#include "vokscore/vokscore.h"

namespace vok {

namespace {

constexpr int kMenu = 101;            // the page buttons 121..123
constexpr int kFirstColumn = 121;     // the level columns 121..123
constexpr int kFirstList = 124;       // the best-times lists 124..126
constexpr int kClear = 130;           // the clear button's session
constexpr int kPages = 3;
constexpr int kListStep = 10;         // the list moves down this much per level
constexpr int kClearAbove = 22;       // the clear button sits this far above the list's bottom
constexpr int kOffScreen = 1000;
constexpr int kRows = 6, kNameId = 1, kValueId = 11;
constexpr int kTextClearQuestion = 69;
const int kGames[kPages] = {kGameVarnel, kGameMossik, kGameKelpa};
const int kFirstCommand[kPages] = {40020, 40040, 40420};

// What the pages show while the general screen runs; cleared when it ends.
struct StatsView {
    int page = -1;  // 0..2 the game page shown, -1 none
    int level = -1; // the level whose list is shown, -1 none
    bool any = false;
    std::string lines[2 * kRows];
};

StatsView &view()
{
    static StatsView v;
    return v;
}

bool showing(VokSession *s)
{
    return s && ((s->state & VOK_SST_HIDDEN) != 0) == ((s->state & VOK_SST_PENDING) != 0);
}

void hide_all()
{
    bool any = false;
    for (int id = kFirstColumn; id <= kClear; id++)
        if (id < kFirstList + kPages || id == kClear)
            if (VokSession *s = FindSession(id); showing(s)) {
                HideSession(s);
                any = true;
            }
    // The first session may be drawing now, before what the pages leave uncovered: all of it next time.
    if (VokScene *scene = engine().running; any && scene && scene->sessionCount > 0)
        scene->sessions[0].state |= VOK_SST_FULL;
}

void set_text(VokSession *s, int id, const std::string &line)
{
    if (VokIkon *k = FindIkon(s, id)) {
        k->shownText = line.c_str();
        k->state |= VOK_IST_REDRAW;
    }
}

// Fills the list of the page's level from its best-times file and places it and the clear button.
void show_list()
{
    StatsView &v = view();
    VokSession *list = v.page >= 0 ? FindSession(kFirstList + v.page) : nullptr;
    VokSession *clear = FindSession(kClear);
    if (!list || v.level < 0) {
        HideSession(list);
        HideSession(clear);
        return;
    }
    int game = kGames[v.page];
    bool loaded = VokLoadStatistic(VOK_KIND_CHALLENGE, VOK_GAME_BASE + uint32_t(game), v.level, nullptr) == 1;
    bool two = best_lines(game) == 3; // Varnel: three times, then three scores
    VokScoreEntry none{};
    none.result = -1;
    v.any = false;
    for (int row = 0; row < kRows; row++) {
        int table = two && row >= 3 ? 1 : 0, index = two ? row % 3 : row;
        const VokScoreEntry *t = loaded ? score_table(table) : nullptr;
        const VokScoreEntry &e = t ? t[index] : none;
        if (e.name[0] && e.result > 0)
            v.any = true;
        v.lines[row] = best_name_line(index + 1, e);
        v.lines[kRows + row] = best_value_line(game, table, e);
        set_text(list, kNameId + row, v.lines[row]);
        set_text(list, kValueId + row, v.lines[kRows + row]);
    }
    VokRect at{list->home.x, list->home.y + kListStep * v.level, list->place.width, list->place.height};
    VokMoveSession(list, &at);
    list->state |= VOK_SST_FULL;
    ShowSession(list);
    if (clear) {
        VokRect c{clear->home.x, v.any ? at.y + at.height - kClearAbove : kOffScreen, clear->place.width,
                  clear->place.height};
        VokMoveSession(clear, &c);
        clear->state |= VOK_SST_FULL;
        ShowSession(clear);
    }
}

// Frame routine of the page buttons' session (the pages are drawn after it), and of the first session
// (always drawn, so the pages also go with their menu): follows the focus of the page buttons and the
// level columns.
int stats_frame(VokSessionProc *)
{
    StatsView &v = view();
    VokSession *menu = FindSession(kMenu);
    bool up = menu && engine().page == menu;
    int page = up && menu->focused ? menu->focused->id - kFirstColumn : -1;
    if (page < 0 || page >= kPages)
        page = -1;
    if (page != v.page) {
        // Another page: every page and list goes first.
        hide_all();
        v.page = page;
        v.level = -1;
        if (page >= 0)
            ShowSessionById(kFirstColumn + page);
    }
    if (page < 0)
        return 1;
    VokSession *column = FindSession(kFirstColumn + page);
    int level = column && column->focused ? column->focused->id - kFirstCommand[page] : -1;
    if (level < 0 || level >= level_count(kGames[page], VOK_KIND_CHALLENGE))
        level = -1;
    if (level != v.level) {
        v.level = level;
        show_list();
    }
    return 1;
}

void stats_end(VokSessionProc *)
{
    view() = StatsView{};
}

int stats_pages(VokSession *s)
{
    view() = StatsView{};
    AddProcToSession(s, nullptr, stats_frame, nullptr, nullptr);
    VokScene *scene = engine().running;
    if (scene && scene->sessionCount > 0)
        AddProcToSession(&scene->sessions[0], nullptr, stats_frame, nullptr, stats_end);
    return 1;
}

// The name lines of the lists are only text: the mouse goes through them (to the clear button).
int stats_clear_init(VokSession *)
{
    auto quiet = [](int session, int first, int last) {
        VokSession *s = FindSession(session);
        for (int i = first; s && i <= last && i <= s->ikonCount; i++)
            s->ikons[i - 1].state |= VOK_IST_NOMOUSE;
    };
    quiet(kFirstList, 5, 7);
    quiet(kFirstList, 12, 14);
    quiet(kFirstList + 1, 8, 13);
    quiet(kFirstList + 2, 8, 13);
    return 1;
}

const char *ikon_words(const VokIkon *k)
{
    if (!k)
        return "";
    if (k->shownText)
        return k->shownText;
    if (k->text.string)
        return k->text.string;
    const char *t = text(k->text.number);
    return t ? t : "";
}

struct Registered {
    Registered()
    {
        add_routine("statsPages", kRoutineSession, reinterpret_cast<void *>(&stats_pages));
        add_routine("statsClear", kRoutineSession, reinterpret_cast<void *>(&stats_clear_init));
    }
} g_registered;

}  // namespace

bool stats_clear_question()
{
    StatsView &v = view();
    if (v.page < 0 || v.level < 0)
        return false;
    int page = v.page, level = v.level;
    VokSession *column = FindSession(kFirstColumn + page);
    const char *game = ikon_words(FindIkon(FindSession(kMenu), kFirstColumn + page));
    const char *levelName = ikon_words(column ? column->focused : nullptr);
    // The question names the game and the level: a translated text may carry fewer or more "%s".
    char question[512];
    const char *format = text(kTextClearQuestion);
    format_text(question, sizeof question, format ? format : "", {game, levelName});
    if (VokMessageBox(iface().ownerWnd, MB_YESNO, "%s", question) != IDYES)
        return true;
    // The file is left whole when it cannot be written: the list still shows its times, and says why.
    if (!clear_best_times(VOK_GAME_BASE + uint32_t(kGames[page]), level))
        message_box_plain(iface().ownerWnd, MB_OK | MB_ICONEXCLAMATION,
                          "The best times of %s could not be cleared.\nThe best times file cannot be written.",
                          game);
    if (view().page == page && view().level == level)
        show_list();
    return true;
}

}  // namespace vok
