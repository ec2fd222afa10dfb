// Best-times lines and progress bars: the words and sizes the results and statistics pages show.
#include "lists.h"

#include <stdio.h>

namespace vok {

namespace {

constexpr int kVarnel = 0, kMossik = 1, kKelpa = 3;

bool free_entry(const VokScoreEntry &e)
{
    return e.name[0] == 0 || e.result <= 0;
}

}  // namespace

std::string best_name_line(int place, const VokScoreEntry &e)
{
    char line[64];
    if (free_entry(e))
        snprintf(line, sizeof line, "%d. -", place);
    else
        snprintf(line, sizeof line, "%d. %.31s", place, e.name);
    return line;
}

std::string best_value_line(int game, int list, const VokScoreEntry &e)
{
    if (free_entry(e))
        return "-";
    char line[48];
    int t = e.result;
    if (game == kVarnel && list == 1) {
        snprintf(line, sizeof line, "%3d", t);
    } else if (game == kVarnel) {
        if (t < 3600)
            snprintf(line, sizeof line, "%d:%.2d", t / 60, t % 60);
        else
            snprintf(line, sizeof line, "%d:%.2d:%.2d", t / 3600, t % 3600 / 60, t % 60);
    } else {
        snprintf(line, sizeof line, "%d:%.2d.%d", t / 600, t % 600 / 10, t % 10);
    }
    return line;
}

int best_lines(int game)
{
    if (game == kVarnel)
        return 3;
    return game == kMossik || game == kKelpa ? 6 : 0;
}

int bar_length(int solved, int levels)
{
    if (levels <= 0 || solved <= 0)
        return 0;
    if (solved > levels)
        solved = levels;
    return int(int64_t(solved) * kBarLength / levels);
}

int bar_picture(int length)
{
    return length > kBarLength - 1 ? 2 : length > 0 ? 1 : 0;
}

std::string progress_line(int solved, int levels)
{
    char line[32];
    snprintf(line, sizeof line, "%d/%d", solved, levels);
    return line;
}

}  // namespace vok

// The best-times panel of the results screens: its text ikons (1..6 names, 11..16 results) get the
// lines of the current game's tables; the line of the last result is drawn on a highlight bar.
#include <string.h>

#include "brondel/brpixmap.h"
#include "pannix/pannix.h"
#include "scenedesc.h"
#include "scenestate.h"
#include "scores.h"
#include "state.h"

namespace vok {

namespace {

constexpr int kRows = 6, kNameId = 1, kValueId = 11;
constexpr uint32_t kHighlight = 0x2A6A; // a deep blue bar under the line of the last result

// The lines shown while the panel is up, and the texts the description had.
struct BestPanel {
    std::string lines[2 * kRows];
    const char *saved[2 * kRows] = {};
    VokSession *session = nullptr;
};

BestPanel &panel()
{
    static BestPanel p;
    return p;
}

int best_init(VokSession *s)
{
    BestPanel &p = panel();
    p = BestPanel{};
    p.session = s;
    int game = int(iface().gameId & 0xFF);
    int lines = best_lines(game);
    for (int row = 0; row < kRows; row++) {
        // Varnel: the first three lines from the time table, the last three from the score table.
        int list = lines == 3 && row >= 3 ? 1 : 0;
        int index = lines == 3 ? row % 3 : row;
        const VokScoreEntry *t = score_table(list);
        VokScoreEntry none{};
        const VokScoreEntry &e = t && row < (lines == 3 ? 6 : lines) ? t[index] : none;
        if (row >= (lines == 3 ? 6 : lines))
            continue;
        p.lines[row] = best_name_line(index + 1, e);
        p.lines[kRows + row] = best_value_line(game, list, e);
        VokIkon *name = FindIkon(s, kNameId + row), *value = FindIkon(s, kValueId + row);
        if (name) {
            p.saved[row] = name->text.string;
            name->text.string = p.lines[row].c_str();
        }
        if (value) {
            p.saved[kRows + row] = value->text.string;
            value->text.string = p.lines[kRows + row].c_str();
        }
        if (best_rank(list) == index && name && s->backgroundPix)
            PxFillPixRect(s->backgroundPix, name->x - 4, name->y - 2, s->pixWidth - 2 * (name->x - 4),
                          name->height + 4, kHighlight);
    }
    return 1;
}

void best_end(VokSessionProc *)
{
    BestPanel &p = panel();
    for (int row = 0; row < kRows && p.session; row++) {
        if (VokIkon *k = FindIkon(p.session, kNameId + row); k && p.saved[row])
            k->text.string = p.saved[row];
        if (VokIkon *k = FindIkon(p.session, kValueId + row); k && p.saved[kRows + row])
            k->text.string = p.saved[kRows + row];
    }
    p = BestPanel{};
}

int best_after_build(VokSession *s)
{
    AddProcToSession(s, nullptr, nullptr, nullptr, best_end);
    return 1;
}

struct Registered {
    Registered()
    {
        add_routine("bestTimes", kRoutineSession, reinterpret_cast<void *>(&best_init));
        add_routine("bestTimesEnd", kRoutineSession, reinterpret_cast<void *>(&best_after_build));
    }
} g_registered;

}  // namespace

}  // namespace vok
