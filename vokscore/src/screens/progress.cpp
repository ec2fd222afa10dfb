// The progress page of the results screens: the session holding the progress button (3333) gets
// its title with the player's name, a bar per game (full, partial or none by the share of its
// levels solved in free play) and the line of all games.
#include <stdio.h>
#include <string.h>

#include <string>

#include "lists.h"
#include "scenedesc.h"
#include "scores.h"
#include "state.h"
#include "texts.h"
#include "vokscore/vokscene.h"
#include "vokscore/vokstats.h"

namespace vok {

namespace {

constexpr int kProgressButton = 3333;
constexpr int kFirstBar = 3340, kTotalBar = 3345, kTotalLine = 3350;
constexpr int kTitleResults = 1, kTitleGeneral = 3; // "%s's progress" (in Velmo's Challenge)

struct Progress {
    char title[VOK_SETTINGS_TEXT] = {};
    char line[32] = {};
};

Progress &progress()
{
    static Progress p;
    return p;
}

VokIkon *ikon(VokSession *s, int id)
{
    for (int i = 0; i < s->ikonCount; i++)
        if (s->ikons[i].id == id)
            return &s->ikons[i];
    return nullptr;
}

// The bar ikon takes the length it shows and the picture of its kind; no bar at 0.
void set_bar(VokSession *s, int id, int solved, int levels)
{
    VokIkon *k = ikon(s, id);
    if (!k)
        return;
    int length = bar_length(solved, levels);
    int kind = bar_picture(length);
    k->picture = kind == 2 ? "barfull" : "barpart";
    k->width = length > 0 ? length : 1;
    if (kind == 0)
        k->flags |= VOK_IK_INACTIVE;
    else
        k->flags &= ~uint32_t(VOK_IK_INACTIVE);
}

int fill_progress(VokSession *s, int titleText)
{
    if (!ikon(s, kProgressButton))
        return 1;
    VokInterFace &f = iface();
    Progress &p = progress();
    // A translated title may carry any conversions: only the name goes in.
    const char *title = text(titleText);
    format_text(p.title, sizeof p.title, title ? title : "", {f.playerName ? f.playerName : ""});
    if (VokIkon *k = ikon(s, kProgressButton))
        k->text.string = p.title;
    int solved = 0, levels = 0;
    for (int g = 0; g < VOK_GAME_COUNT; g++) {
        set_bar(s, kFirstBar + g, free_solved(g), free_levels(g));
        solved += free_solved(g);
        levels += free_levels(g);
    }
    set_bar(s, kTotalBar, solved, levels);
    snprintf(p.line, sizeof p.line, "%s", progress_line(solved, levels).c_str());
    if (VokIkon *k = ikon(s, kTotalLine))
        k->text.string = p.line;
    return 1;
}

int progress_bars(VokSession *s)
{
    return fill_progress(s, kTitleResults);
}

// The statistics page of the general screen: the same bars under the title of the whole collection.
int progress_all(VokSession *s)
{
    return fill_progress(s, kTitleGeneral);
}

struct Registered {
    Registered()
    {
        add_routine("progressBars", kRoutineSession, reinterpret_cast<void *>(&progress_bars));
        add_routine("progressAll", kRoutineSession, reinterpret_cast<void *>(&progress_all));
    }
} g_registered;

}  // namespace

}  // namespace vok
