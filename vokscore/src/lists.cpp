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
