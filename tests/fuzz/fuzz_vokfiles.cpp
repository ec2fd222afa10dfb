// libFuzzer target: the framework's own small files that every game writes: players.lst, the best-times
// files of the table games and a player's solved fields. The first byte picks the file; the rest is
// its content, read, changed and written back through the framework's calls. The framework's module
// state is stood in for by the little these readers use.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "state.h"
#include "texts.h"
#include "vokscore/vokiface.h"
#include "vokscore/vokstats.h"

namespace {

VokInterFace g_face;
KpSettings g_kp{1, 1, 2, {39, 37, 32}, 0, 32};

}  // namespace

namespace vok {

FrameworkState &state()
{
    static FrameworkState s;
    return s;
}
VokInterFace &iface()
{
    return g_face;
}
void *own_block(int game)
{
    return game == 3 ? &g_kp : nullptr;
}
int game_number(uint32_t gameId)
{
    return gameId >= VOK_GAME_BASE && gameId < VOK_GAME_BASE + VOK_GAME_COUNT ? int(gameId - VOK_GAME_BASE) : -1;
}
int field_count(int)
{
    return 20;
}
// A damaged file set aside tells the player; nobody reads the box here.
int message_box_plain(HWND, unsigned, const char *, ...)
{
    return 1;  // OK
}

}  // namespace vok

VOK_EXPORT int VokSetGameMode(int mode)
{
    vok::state().gameMode = mode;
    return 1;
}

VOK_EXPORT int VokGetGameMode(void)
{
    return vok::state().gameMode;
}

namespace {

std::string folder()
{
    static const std::string dir = [] {
        // In memory where there is such a folder: every save is flushed to disk.
        struct stat st;
        std::string name = stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode) ? "/dev/shm" : "/tmp";
        name += "/vok_fuzz_vokfiles_XXXXXX";
        if (mkdtemp(name.data()) == nullptr)
            abort();
        static std::string made = name;
        atexit([] { std::filesystem::remove_all(made); });
        snprintf(vok::state().root, sizeof vok::state().root, "%s/", name.c_str());
        return name;
    }();
    return dir;
}

void put(const std::string &path, const uint8_t *data, size_t size)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char *>(data), long(size));
}

const char *const kTables[] = {"vns.dat", "mks.dat", "kps.dat"};
const uint32_t kTableGames[] = {VOK_GAME_VARNEL, VOK_GAME_MOSSIK, VOK_GAME_KELPA};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const std::string dir = folder();
    strcpy(vok::state().playerName, "Ann");
    unsigned pick = data[0] % 5;
    if (pick == 0) {
        put(dir + "/players.lst", data + 1, size - 1);
        char name[VOK_NAME_SIZE];
        VokGetPlayerName(name);
        char table[6][VOK_NAME_SIZE];
        VokReadPlayerNames(&table[0][0], VOK_NAME_SIZE, 6);
        VokSetPlayerName("Bo");
    } else if (pick <= 3) {
        put(dir + "/" + kTables[pick - 1], data + 1, size - 1);
        const uint32_t game = kTableGames[pick - 1];
        for (int block = 0; block < 3; block++)
            VokLoadStatistic(VOK_KIND_CHALLENGE, game, block, nullptr);
        VokUpdateScores(VOK_KIND_CHALLENGE, game, 1, 500, 7);
        VokRemoveScoreEntry(game, 0, 0);
    } else {
        put(dir + "/Ann_fws.dat", data + 1, size - 1);
        VokStatRecord record;
        VokLoadStatistic(VOK_KIND_CHALLENGE, VOK_GAME_TERROW, 3, &record);
        VokUpdateScores(VOK_KIND_CHALLENGE, VOK_GAME_TERROW, 5, 0, 0);
    }
    return 0;
}
