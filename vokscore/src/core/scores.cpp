// Best times of each game (one file per game in the write root, blocks of one or two tables of six
// 56-byte entries) and the solved fields of Terrow's field game (one 120-byte file per player). Files
// are read and written field by field and replaced whole; a damaged file is refused as it is, and a
// damaged best-times file is kept aside when a new time is stored.
#include <stdio.h>
#include <string.h>

#include <set>
#include <string>

#include "scores.h"
#include "state.h"
#include "texts.h"
#include "vokscore/vokstats.h"
#include "win32/windows.h"

namespace {

constexpr int kVarnel = 0, kMossik = 1, kTerrow = 2, kKelpa = 3;
constexpr size_t kEntrySize = VOK_SCORE_ENTRY_SIZE;
constexpr size_t kTableSize = kEntrySize * VOK_SCORE_TABLE;
constexpr size_t kCreatedSize = kEntrySize * 24; // a new file holds 24 free entries
const char *const kFiles[VOK_GAME_COUNT] = {"vns.dat", "mks.dat", "fws.dat", "kps.dat", "dms.dat"};
const int kLevels[VOK_GAME_COUNT] = {6, 28, 40, 22, 4};
constexpr int kMaxLevels = 40;

// Tables in a block of a game's file, and the number of blocks.
int tables_of(int game)
{
    return game == kVarnel ? 2 : game == kMossik || game == kKelpa ? 1 : 0;
}

int blocks_of(int game)
{
    return game == kVarnel ? 6 : game == kMossik || game == kKelpa ? 5 : 0;
}

struct ScoreState {
    VokScoreEntry tables[2][VOK_SCORE_TABLE];
    VokStatRecord record;
    int bestRank[2] = {-1, -1};
    int solvedFree[VOK_GAME_COUNT] = {};
    int totalFree = 0;
    bool seenFree[VOK_GAME_COUNT][kMaxLevels] = {};
    std::set<std::string> toldStuck; // damaged files that could not be set aside, already told
};

ScoreState &scores()
{
    static ScoreState s;
    return s;
}

void free_entry(VokScoreEntry &e)
{
    memset(&e, 0, sizeof e);
    e.result = -1;
    e.second = -1;
}

void clear_tables()
{
    ScoreState &s = scores();
    for (auto &table : s.tables)
        for (VokScoreEntry &e : table)
            free_entry(e);
    memset(&s.record, 0, sizeof s.record);
}

void set_ranks(int first, int second)
{
    ScoreState &s = scores();
    s.bestRank[0] = first;
    s.bestRank[1] = second;
    vok::iface().bestRank1 = first;
    vok::iface().bestRank2 = second;
}

int32_t get32(const uint8_t *p)
{
    return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
}

void put32(uint8_t *p, int32_t v)
{
    for (int i = 0; i < 4; i++)
        p[i] = uint8_t(uint32_t(v) >> (8 * i));
}

void decode(const uint8_t *p, VokScoreEntry &e)
{
    memcpy(e.name, p, 32);
    e.name[31] = '\0';
    e.result = get32(p + 32);
    e.second = get32(p + 36);
    memcpy(e.title, p + 40, 16);
    e.title[15] = '\0';
}

void encode(uint8_t *p, const VokScoreEntry &e)
{
    memset(p, 0, kEntrySize);
    strncpy(reinterpret_cast<char *>(p), e.name, 31);
    put32(p + 32, e.result);
    put32(p + 36, e.second);
    strncpy(reinterpret_cast<char *>(p + 40), e.title, 15);
}

// Byte i of a file of free entries.
uint8_t free_byte(size_t i)
{
    static uint8_t entry[kEntrySize];
    static bool made = false;
    if (!made) {
        VokScoreEntry e;
        free_entry(e);
        encode(entry, e);
        made = true;
    }
    return entry[i % kEntrySize];
}

bool file_path(char *out, const char *name)
{
    const char *root = vok::iface().writeRoot != nullptr ? vok::iface().writeRoot : vok::state().root;
    const char *parts[] = {root, name};
    return vok::join_path(out, VOK_PATH_SIZE, parts, 2);
}

// unreadable: the file is there but cannot be read (a folder, no permission, a read error); it is
// left as it is, like a damaged one.
enum class Read { ok, missing, damaged, unreadable };

bool refused(Read r)
{
    return r == Read::damaged || r == Read::unreadable;
}

// A best-times file: whole entries only, never more blocks than the game has.
Read read_scores_file(int game, std::string &bytes)
{
    char path[VOK_PATH_SIZE];
    if (!file_path(path, kFiles[game]))
        return Read::damaged;
    vok::Load load = vok::load_file_status(path, bytes);
    if (load != vok::Load::kRead)
        return load == vok::Load::kMissing ? Read::missing : Read::unreadable;
    size_t largest = size_t(blocks_of(game)) * tables_of(game) * kTableSize;
    if (bytes.size() % kEntrySize != 0 || bytes.size() > (largest > kCreatedSize ? largest : kCreatedSize))
        return Read::damaged;
    return Read::ok;
}

// A best-times file past repair would refuse every later time of its game: it moves aside under a
// name of its own ("kps.dat" -> "kps.dat.damaged", then ".damaged2" ...), the player is told once
// and the caller begins a fresh file. When it cannot be moved (a read-only folder) it stays refused,
// and the player is told that once a run rather than at every refused time.
bool set_aside_damaged(const std::string &file)
{
    char path[VOK_PATH_SIZE], aside[VOK_PATH_SIZE], name[VOK_PATH_SIZE];
    if (file_path(path, file.c_str()))
        for (int n = 1; n < 100; n++) {
            if (n == 1)
                snprintf(name, sizeof name, "%s.damaged", file.c_str());
            else
                snprintf(name, sizeof name, "%s.damaged%d", file.c_str(), n);
            if (!file_path(aside, name))
                break;
            if (GetFileAttributesA(aside) != INVALID_FILE_ATTRIBUTES)
                continue;
            if (!MoveFileA(path, aside))
                break;
            vok::message_box_plain(vok::iface().ownerWnd, MB_OK | MB_ICONEXCLAMATION,
                                   "The best times file %s was damaged.\nIt is kept as %s and a new one begins.",
                                   file.c_str(), name);
            return true;
        }
    if (scores().toldStuck.insert(file).second)
        vok::message_box_plain(vok::iface().ownerWnd, MB_OK | MB_ICONEXCLAMATION,
                               "The best times file %s is damaged and cannot be replaced.\nNew best times are not "
                               "kept in it.",
                               file.c_str());
    return false;
}

// Block `block` into the working tables; bytes past the end of the file read as free entries.
void take_block(int game, int block, const std::string &bytes)
{
    ScoreState &s = scores();
    size_t at = size_t(block) * tables_of(game) * kTableSize;
    for (int t = 0; t < tables_of(game); t++)
        for (int i = 0; i < VOK_SCORE_TABLE; i++, at += kEntrySize)
            if (at + kEntrySize <= bytes.size())
                decode(reinterpret_cast<const uint8_t *>(bytes.data()) + at, s.tables[t][i]);
            else
                free_entry(s.tables[t][i]);
}

// Writes the working tables as block `block`, growing the file with free entries where needed.
bool put_block(int game, int block, std::string bytes)
{
    ScoreState &s = scores();
    size_t at = size_t(block) * tables_of(game) * kTableSize;
    size_t need = at + tables_of(game) * kTableSize;
    if (need < kCreatedSize)
        need = kCreatedSize;
    for (size_t i = bytes.size(); i < need; i++)
        bytes.push_back(char(free_byte(i)));
    for (int t = 0; t < tables_of(game); t++)
        for (int i = 0; i < VOK_SCORE_TABLE; i++, at += kEntrySize)
            encode(reinterpret_cast<uint8_t *>(&bytes[at]), s.tables[t][i]);
    char path[VOK_PATH_SIZE];
    return file_path(path, kFiles[game]) && vok::save_file(path, bytes.data(), bytes.size());
}

// "<player>_fws.dat"; characters a file name cannot carry become '_'.
std::string solved_name()
{
    std::string name = vok::state().playerName;
    for (char &c : name)
        if ((unsigned char)c < 0x20 || strchr("\\/:*?\"<>|", c) != nullptr)
            c = '_';
    return name + "_fws.dat";
}

bool solved_path(char *out)
{
    return file_path(out, solved_name().c_str());
}

Read read_solved(uint8_t *fields)
{
    memset(fields, 0, VOK_SOLVED_FIELDS);
    char path[VOK_PATH_SIZE];
    std::string bytes;
    if (!solved_path(path))
        return Read::damaged;
    vok::Load load = vok::load_file_status(path, bytes);
    if (load != vok::Load::kRead)
        return load == vok::Load::kMissing ? Read::missing : Read::unreadable;
    if (bytes.size() != VOK_SOLVED_FIELDS)
        return Read::damaged;
    memcpy(fields, bytes.data(), VOK_SOLVED_FIELDS);
    return Read::ok;
}

bool empty(const VokScoreEntry &e)
{
    return e.result <= 0;
}

// Enters a result into a table: the first entry that is free or worse takes it, the rest move down.
int enter(VokScoreEntry *table, int32_t result, int32_t second, const char *title)
{
    if (result <= 0)
        return -1;
    for (int i = 0; i < VOK_SCORE_TABLE; i++) {
        if (!empty(table[i]) && table[i].result <= result)
            continue;
        memmove(&table[i + 1], &table[i], sizeof(VokScoreEntry) * size_t(VOK_SCORE_TABLE - 1 - i));
        VokScoreEntry &e = table[i];
        memset(&e, 0, sizeof e);
        strncpy(e.name, vok::state().playerName, 31);
        e.result = result;
        e.second = second;
        if (title != nullptr)
            strncpy(e.title, title, 15);
        return i;
    }
    return -1;
}

int32_t total_fields()
{
    int total = 0;
    for (int list = 1; list < vok::kFieldLists; list++)
        total += vok::field_count(list);
    return total > 0 ? total : 100;
}

void fill_record(const uint8_t *fields)
{
    VokStatRecord &r = scores().record;
    memcpy(r.fields, fields, VOK_SOLVED_FIELDS);
    r.total = total_fields();
    r.solved = 0;
    for (int i = 0; i < VOK_SOLVED_FIELDS; i++)
        r.solved += fields[i] != 0;
}

void clear_free_counters()
{
    ScoreState &s = scores();
    memset(s.solvedFree, 0, sizeof s.solvedFree);
    memset(s.seenFree, 0, sizeof s.seenFree);
    s.totalFree = 0;
}

int update_free(int game, int position)
{
    ScoreState &s = scores();
    if (position >= kLevels[game] || s.seenFree[game][position])
        return 0;
    s.seenFree[game][position] = true;
    s.solvedFree[game]++;
    s.totalFree++;
    return -1;
}

int update_challenge(int game, int position, int result1, int result2)
{
    ScoreState &s = scores();
    if (game == kTerrow) {
        if (position >= VOK_SOLVED_FIELDS)
            return -1;
        // Other processes write the same files: each read, change and write is one step for them.
        char path[VOK_PATH_SIZE];
        if (!solved_path(path))
            return 0;
        vok::UpdateLock lock(path);
        uint8_t fields[VOK_SOLVED_FIELDS];
        if (!lock.held())
            return 0;
        // A damaged record leaves the fields read as unsolved once it is set aside; one that cannot
        // be read at all is left as it is.
        const Read got = read_solved(fields);
        if (got == Read::unreadable || (got == Read::damaged && !set_aside_damaged(solved_name())))
            return 0;
        if (fields[position] != 0)
            return 0;
        fields[position] = 1;
        fill_record(fields);
        return vok::save_file(path, fields, sizeof fields) ? -1 : 0;
    }
    if (tables_of(game) == 0 || position >= blocks_of(game))
        return -1;
    char path[VOK_PATH_SIZE];
    if (!file_path(path, kFiles[game]))
        return 0;
    vok::UpdateLock lock(path);
    std::string bytes;
    if (!lock.held())
        return 0;
    const Read got = read_scores_file(game, bytes);
    if (got == Read::unreadable)
        return 0;
    if (got == Read::damaged) {
        if (!set_aside_damaged(kFiles[game]))
            return 0;
        bytes.clear();
    }
    take_block(game, position, bytes);
    int first = enter(s.tables[0], result1, result2, vok::iface().titleText);
    int second = game == kVarnel ? enter(s.tables[1], result2, result1, nullptr) : -1;
    if (first < 0 && second < 0)
        return 0;
    if (!put_block(game, position, bytes))
        return 0;
    set_ranks(first, second);
    return -1;
}

}  // namespace

namespace vok {

void reset_best_ranks()
{
    set_ranks(-1, -1);
}

const VokScoreEntry *score_table(int table)
{
    return table == 0 || table == 1 ? scores().tables[table] : nullptr;
}

int best_rank(int table)
{
    return table == 0 || table == 1 ? scores().bestRank[table] : -1;
}

int free_solved(int game)
{
    return game >= 0 && game < VOK_GAME_COUNT ? scores().solvedFree[game] : 0;
}

int free_levels(int game)
{
    return game >= 0 && game < VOK_GAME_COUNT ? kLevels[game] : 0;
}

bool free_seen(int game, int position)
{
    return game >= 0 && game < VOK_GAME_COUNT && position >= 0 && position < kLevels[game] &&
           scores().seenFree[game][position];
}

}  // namespace vok

VOK_EXPORT int VokUpdateScores(int kind, uint32_t gameId, int position, int result1, int result2)
{
    set_ranks(-1, -1);
    if ((gameId & 0xFF) >= VOK_GAME_COUNT || vok::state().playerName[0] == '\0')
        return -1;
    VokSetGameMode(kind);
    clear_tables();
    if (position < 0) {
        clear_free_counters();
        return -1;
    }
    int game = vok::game_number(gameId);
    if (game < 0)
        return -1;
    if (kind == VOK_KIND_FREE)
        return update_free(game, position);
    if (kind != VOK_KIND_CHALLENGE)
        return 0;
    return update_challenge(game, position, result1, result2);
}

VOK_EXPORT int VokCheckHighScore(char *nameBuffer)
{
    if (VokGetGameMode() != VOK_KIND_CHALLENGE)
        return -1;
    VokInterFace &f = vok::iface();
    int game = vok::game_number(f.gameId);
    set_ranks(-1, -1);
    if (game < 0 || tables_of(game) == 0 || f.levelFamily < 0 || f.levelFamily >= blocks_of(game))
        return -1;
    ScoreState &s = scores();
    std::string bytes;
    if (refused(read_scores_file(game, bytes)))
        return -1;
    take_block(game, f.levelFamily, bytes);
    int first = enter(s.tables[0], f.resultTime, f.resultValue, f.titleText);
    int second = game == kVarnel ? enter(s.tables[1], f.resultValue, f.resultTime, nullptr) : -1;
    if ((game == kMossik || game == kKelpa) && nameBuffer != nullptr)
        memcpy(nameBuffer, vok::state().playerName, strlen(vok::state().playerName) + 1);
    set_ranks(first, second);
    return first;
}

VOK_EXPORT int VokLoadStatisticFile(int kind, uint32_t gameId, int position, void *out)
{
    int game = vok::game_number(gameId);
    clear_tables();
    if (kind != VOK_KIND_CHALLENGE || game < 0 || position < 0)
        return -1;
    ScoreState &s = scores();
    if (game == kTerrow) {
        if (position >= VOK_SOLVED_FIELDS)
            return -1;
        uint8_t fields[VOK_SOLVED_FIELDS];
        if (refused(read_solved(fields)))
            return -1;
        fill_record(fields);
        if (out != nullptr)
            memcpy(out, &s.record, sizeof s.record);
        return fields[position];
    }
    if (tables_of(game) == 0 || position >= blocks_of(game))
        return -1;
    std::string bytes;
    if (read_scores_file(game, bytes) != Read::ok)
        return -1;
    // The tables stay in the working tables (score_table); `out` is sized for the solved record only.
    take_block(game, position, bytes);
    return 1;
}

VOK_EXPORT int VokLoadStatistic(int kind, uint32_t gameId, int position, void *out)
{
    VokSetGameMode(kind);
    if (vok::game_number(gameId) >= 0)
        return VokLoadStatisticFile(kind, gameId, position, out);
    if (kind != VOK_KIND_FREE)
        return -1;
    ScoreState &s = scores();
    s.totalFree = 0;
    for (int g = 0; g < VOK_GAME_COUNT; g++)
        s.totalFree += s.solvedFree[g];
    if (out != nullptr)
        for (int g = 0; g < VOK_GAME_COUNT; g++)
            static_cast<int32_t *>(out)[g] = kLevels[g];
    return 1;
}

VOK_EXPORT int VokRemoveScoreEntry(uint32_t gameId, int block, int entry)
{
    int game = vok::game_number(gameId);
    if (game < 0 || tables_of(game) == 0 || block < 0 || block >= blocks_of(game) || entry < 0 ||
        entry >= VOK_SCORE_TABLE)
        return 0;
    char path[VOK_PATH_SIZE];
    if (!file_path(path, kFiles[game]))
        return 0;
    vok::UpdateLock lock(path);
    std::string bytes;
    if (!lock.held() || read_scores_file(game, bytes) != Read::ok)
        return 0;
    ScoreState &s = scores();
    take_block(game, block, bytes);
    for (int t = 0; t < tables_of(game); t++) {
        VokScoreEntry *table = s.tables[t];
        memmove(&table[entry], &table[entry + 1], sizeof(VokScoreEntry) * size_t(VOK_SCORE_TABLE - 1 - entry));
        free_entry(table[VOK_SCORE_TABLE - 1]);
    }
    set_ranks(0, 0);
    return put_block(game, block, bytes) ? 1 : 0;
}

bool vok::clear_best_times(uint32_t gameId, int block)
{
    int game = vok::game_number(gameId);
    if (game < 0 || tables_of(game) == 0 || block < 0 || block >= blocks_of(game))
        return false;
    char path[VOK_PATH_SIZE];
    if (!file_path(path, kFiles[game]))
        return false;
    vok::UpdateLock lock(path);
    std::string bytes;
    // Nothing to clear in a file that is not there; a damaged one is left for the next update to set aside.
    if (!lock.held() || read_scores_file(game, bytes) != Read::ok)
        return false;
    ScoreState &s = scores();
    for (int t = 0; t < tables_of(game); t++)
        for (VokScoreEntry &e : s.tables[t])
            free_entry(e);
    set_ranks(-1, -1);
    return put_block(game, block, bytes);
}
