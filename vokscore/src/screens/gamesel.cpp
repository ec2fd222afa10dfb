// Game selection: every level button of the game screens carries a command id, and one table turns
// the id into game, kind and level of the interface record. The level position is the button's place
// in its run of ids; VokSetLevel splits it per game and VokLevelPosition puts it back together.
#include "gamesel.h"
#include "help.h"

#include <stdio.h>
#include <string.h>

#include "runner.h"
#include "scores.h"
#include "state.h"
#include "texts.h"
#include "vokscore/vokscore.h"
#include "win32/winmisc.h"

namespace vok {

namespace {

constexpr int kTerrowFreeList = 0; // the Terrow kind-100 fields: the first field list
constexpr int kTextNoReplay = 50, kTextOldSystem = 52, kTextFieldTitle = 54, kTextNoNetwork = 56;
constexpr int kKindVarnelThird = 103;

struct Run {
    int first, last;
    int game, kind;
};

// Commands whose place in their run is the level position.
const Run kRuns[] = {
    {40001, 40006, kGameVarnel, VOK_KIND_FREE},      {40008, 40013, kGameVarnel, VOK_KIND_CHALLENGE},
    {40030, 40033, kGameMossik, VOK_KIND_CHALLENGE}, {40047, 40146, kGameTerrow, VOK_KIND_CHALLENGE},
    {40148, 40169, kGameKelpa, VOK_KIND_FREE},       {40182, 40185, kGameDunmar, VOK_KIND_FREE},
    {40190, 40193, kGameDunmar, VOK_KIND_CHALLENGE}, {40194, 40197, kGameDunmar, VOK_KIND_CHALLENGE},
    {40300, 40305, kGameVarnel, VOK_KIND_CHALLENGE}, {40306, 40309, kGameMossik, VOK_KIND_CHALLENGE},
    {40310, 40314, kGameKelpa, VOK_KIND_CHALLENGE},  {40400, 40404, kGameKelpa, VOK_KIND_CHALLENGE},
    {40347, 40386, kGameTerrow, VOK_KIND_FREE},      {40517, 40544, kGameMossik, VOK_KIND_FREE},
};

uint32_t id_of(int game)
{
    return VOK_GAME_BASE + uint32_t(game);
}

int current_game()
{
    return int(iface().gameId & 0xFF);
}

void message(HWND window, int textNumber)
{
    const char *t = text(textNumber);
    VokMessageBox(window, 0, "%s", t ? t : "");
}

// Replays the best solution of challenge level `level`: its stored name is the one to replay.
int replay(HWND window, int command, int game, int level)
{
    char name[VOK_NAME_SIZE] = "";
    if (VokLoadStatistic(VOK_KIND_CHALLENGE, id_of(game), level, nullptr) == 1)
        if (const VokScoreEntry *t = score_table(0); t && t[0].name[0] && t[0].result > 0)
            snprintf(name, sizeof name, "%s", t[0].name);
    if (!name[0]) {
        message(window, kTextNoReplay);
        return 0;
    }
    VokInterFace &f = iface();
    f.gameKind = VOK_KIND_CHALLENGE;
    f.gameId = id_of(game);
    f.levelFamily = level;
    f.levelNumber = 0;
    f.gameFlags |= VOK_GF_REPLAY;
    snprintf(f.titleText, sizeof f.titleText, "%s", name);
    return command;
}

// The Windows versions before XP had no network play of this kind; this system reports XP.
bool platform_allows_network(HWND window)
{
    OSVERSIONINFOA v{};
    v.dwOSVersionInfoSize = sizeof v;
    if (GetVersionExA(&v) && v.dwPlatformId == 2 && v.dwMajorVersion <= 4) {
        message(window, kTextOldSystem);
        return false;
    }
    return true;
}

int editor_choice(HWND window, int command)
{
    VokInterFace &f = iface();
    int game = current_game();
    int choice = command - 40210;
    if (choice == 1 && game != kGameMossik && game != kGameKelpa && game != kGameTerrow)
        return 0;
    if (choice == 1 && game == kGameTerrow) {
        // The player's own fields live under the write root, apart from the shipped ones.
        char folder[VOK_PATH_SIZE];
        snprintf(folder, sizeof folder, "%s", VokMakeWritePath("Fields\\", "%s", ""));
        const char *path = browse_over_screen(window, "Fenlow Field (*.trl)\0*.trl\0", folder, text(kTextFieldTitle));
        if (!path)
            return 0;
        snprintf(f.levelPath, sizeof f.levelPath, "%s", path);
        f.gameKind = VOK_KIND_OWN_FIELD;
    } else {
        f.gameKind = VOK_KIND_EDITOR;
    }
    f.subMode = choice;
    f.levelFamily = choice;
    return command;
}

// The Terrow field of a level position: its list, index and name; false when the list has no such field.
bool terrow_field(int kind, int position, int &list, int &index)
{
    if (kind == VOK_KIND_FREE) {
        list = kTerrowFreeList;
        index = position;
    } else {
        list = position / kTerrowGroupSize + 1;
        index = position % kTerrowGroupSize;
    }
    return position >= 0 && index < field_count(list) && field_name(list, index) != nullptr;
}

}  // namespace

int level_count(int game, int kind)
{
    static const int kCounts[VOK_GAME_COUNT][2] = {{6, 6}, {28, 4}, {40, 100}, {22, 5}, {4, 4}};
    if (game < 0 || game >= VOK_GAME_COUNT || (kind != VOK_KIND_FREE && kind != VOK_KIND_CHALLENGE))
        return 0;
    return kCounts[game][kind - VOK_KIND_FREE];
}

int level_command_base(int game, int kind)
{
    switch (game * 1000 + kind) {
    case kGameVarnel * 1000 + 100: return 40001;
    case kGameVarnel * 1000 + 101: return 40008;
    case kGameMossik * 1000 + 100: return 40517;
    case kGameMossik * 1000 + 101: return 40030;
    case kGameTerrow * 1000 + 100: return 40347;
    case kGameTerrow * 1000 + 101: return 40047;
    case kGameKelpa * 1000 + 100: return 40148;
    case kGameKelpa * 1000 + 101: return 40400;
    case kGameDunmar * 1000 + 100: return 40182;
    case kGameDunmar * 1000 + 101: return 40190;
    default: return 0;
    }
}

bool level_solved(int game, int kind, int position)
{
    if (kind == VOK_KIND_FREE)
        return free_seen(game, position);
    if (kind != VOK_KIND_CHALLENGE)
        return false;
    if (game == kGameTerrow) {
        VokStatRecord r{};
        return VokLoadStatistic(kind, id_of(game), 0, &r) >= 0 && position >= 0 && position < VOK_SOLVED_FIELDS &&
               r.fields[position] != 0;
    }
    if (VokLoadStatistic(kind, id_of(game), position, nullptr) != 1)
        return false;
    const VokScoreEntry *t = score_table(0);
    return t && t[0].name[0] && t[0].result > 0;
}

}  // namespace vok

using namespace vok;

VOK_EXPORT int VokSetLevel(int kind, uint32_t gameId, int position)
{
    int game = int(gameId & 0xFF);
    int family = position, number = 0;
    char name[kFieldNameSize] = "";
    char path[sizeof(VokInterFace::levelPath)] = "";
    if (game == kGameTerrow && (kind == VOK_KIND_FREE || kind == VOK_KIND_CHALLENGE)) {
        int list = 0, index = 0;
        // A list shorter than the buttons (a translated or damaged fwfields.txt) has no field there.
        if (!terrow_field(kind, position, list, index))
            return -1;
        if (kind == VOK_KIND_CHALLENGE) {
            family = position / kTerrowGroupSize;
            number = position % kTerrowGroupSize;
        }
        snprintf(name, sizeof name, "%s", field_name(list, index));
        // The shipped field of a name: the list's prefix and the name's first two characters.
        const char *full = VokMakeReadPath("fw\\Fields\\", "%s%.2s.trl", field_prefix(list), name);
        if (!full || strlen(full) >= sizeof path)
            return -1;
        memcpy(path, full, strlen(full) + 1);
    } else if (kind == VOK_KIND_FREE && game == kGameMossik) {
        family = position / kMossikFamily;
        number = position % kMossikFamily;
    } else if (kind == VOK_KIND_FREE && game == kGameKelpa) {
        family = position / kKelpaFamily;
        number = position % kKelpaFamily;
    }
    VokInterFace &f = iface();
    f.gameKind = kind;
    f.gameId = gameId;
    f.levelFamily = family;
    f.levelNumber = number;
    if (name[0]) {
        snprintf(f.titleText, sizeof f.titleText, "%s", name);
        snprintf(f.levelPath, sizeof f.levelPath, "%s", path);
    }
    if (game == kGameDunmar)
        f.colourChoice = 0;
    return family;
}

VOK_EXPORT int VokLevelPosition(void)
{
    VokInterFace &f = iface();
    int game = int(f.gameId & 0xFF);
    if (f.gameKind == VOK_KIND_FREE) {
        if (game == kGameMossik)
            return f.levelFamily * kMossikFamily + f.levelNumber;
        if (game == kGameKelpa)
            return f.levelFamily * kKelpaFamily + f.levelNumber;
        return f.levelFamily;
    }
    if (game == kGameTerrow)
        return f.levelFamily * kTerrowGroupSize + f.levelNumber;
    return f.levelFamily;
}

VOK_EXPORT int VokNextUnsolvedLevel(void)
{
    VokInterFace &f = iface();
    f.gameFlags &= ~0x07u;
    int game = int(f.gameId & 0xFF);
    if (game >= VOK_GAME_COUNT)
        return 0;
    if (f.gameKind == VOK_KIND_FREE) {
        int count = level_count(game, VOK_KIND_FREE), here = VokLevelPosition();
        VokLoadStatistic(f.gameKind, f.gameId, 0, nullptr);
        for (int p = here + 1; p < count; p++)
            if (!level_solved(game, VOK_KIND_FREE, p))
                return VokSetLevel(VOK_KIND_FREE, f.gameId, p) >= 0 ? 1 : 0;
        for (int p = here - 1; p >= 0; p--)
            if (!level_solved(game, VOK_KIND_FREE, p))
                return VokSetLevel(VOK_KIND_FREE, f.gameId, p) >= 0 ? 1 : 0;
        return 1;
    }
    if (f.gameKind == VOK_KIND_CHALLENGE && game == kGameTerrow) {
        VokStatRecord r{};
        if (VokLoadStatistic(f.gameKind, f.gameId, 0, &r) < 0)
            return 0;
        auto open = [&](int group, int field) {
            int position = group * kTerrowGroupSize + field;
            return field < field_count(group + 1) && !r.fields[position];
        };
        for (int group = f.levelFamily; group < kTerrowGroups; group++)
            for (int field = group == f.levelFamily ? f.levelNumber + 1 : 0; field < kTerrowGroupSize; field++)
                if (open(group, field))
                    return VokSetLevel(f.gameKind, f.gameId, group * kTerrowGroupSize + field) >= 0 ? 1 : 0;
        for (int p = VokLevelPosition() - 1; p >= 0; p--)
            if (open(p / kTerrowGroupSize, p % kTerrowGroupSize))
                return VokSetLevel(f.gameKind, f.gameId, p) >= 0 ? 1 : 0;
        return 1;
    }
    return 0;
}

VOK_EXPORT int VokProbeDirectPlay(void)
{
    return 0;
}

VOK_EXPORT int VokSelectGameByCommand(HWND window, int command)
{
    VokInterFace &f = iface();
    for (const Run &r : kRuns)
        if (command >= r.first && command <= r.last) {
            if (r.game == kGameDunmar && r.kind == VOK_KIND_CHALLENGE)
                f.networkGame = 0;
            return VokSetLevel(r.kind, id_of(r.game), command - r.first) >= 0 ? command : 0;
        }
    switch (command) {
    case 40014: case 40015: case 40016:
        if (command == 40015)
            results_movie_reset();
        VokSetLevel(kKindVarnelThird, id_of(kGameVarnel), command - 40014);
        return command;
    case 40035: case 40036: case 40037: case 40038:
        return replay(window, command, kGameMossik, command - 40035);
    case 40410: case 40411: case 40412: case 40413: case 40414:
        return replay(window, command, kGameKelpa, command - 40410);
    case 40201:
        if (!platform_allows_network(window))
            return 0;
        if (!VokProbeDirectPlay()) {
            message(window, kTextNoNetwork);
            return 0;
        }
        f.gameKind = VOK_KIND_EDITOR;
        f.gameId = id_of(kGameDunmar);
        f.levelFamily = f.levelNumber = 0;
        f.networkGame = 1;
        return command;
    case 40202: NotImplemented(); return 0;
    case 40213: NotIncluded(); return 0;
    case 40210: case 40211: case 40212:
        return editor_choice(window, command);
    default:
        return 0;
    }
}
