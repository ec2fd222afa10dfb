// The board, its colours and the level files: reading refuses what the game could not play, and
// every save goes through a temporary file renamed over the name.
#include <stdio.h>
#include <string.h>

#include "kelpa/kprules.h"
#include "vokplat/savefile.h"
#include "vokplat/stdio.h"

// colour, cell kind, header flag, editor tool, material stem
const KpColourInfo kKpColours[9] = {
    {KP_RED, KP_CELL_RED, 4, 1, "Red"},      {KP_BLUE, KP_CELL_BLUE, 2, 0, "Blu"},
    {KP_YELLOW, KP_CELL_YELLOW, 5, 3, "Yel"}, {KP_GREEN, KP_CELL_GREEN, 6, 2, "Gre"},
    {KP_WHITE, KP_CELL_WHITE, 1, 4, "Whi"},  {KP_ORANGE, KP_CELL_ORANGE, 3, 5, "Ora"},
    {KP_FIXED, KP_CELL_FIXED, 0, 6, "Tab"},  {KP_MIX, KP_CELL_RANDOM, -1, 7, "Mix"},
    {KP_CLEAR, KP_CELL_EMPTY, -1, -1, "Atlatszo"},
};

int KpColourOfCell(int cell)
{
    for (int c = 0; c <= KP_FIXED; c++)
        if (kKpColours[c].cell == cell)
            return c;
    return KP_NO_COLOUR;
}

int KpCellOfColour(int colour)
{
    return colour >= 0 && colour <= KP_MIX ? kKpColours[colour].cell : KP_CELL_EMPTY;
}

void KpEncodeLevel(const KpLevelFile &level, uint8_t out[kKpLevelBytes])
{
    auto put = [&](size_t i, int32_t v) {
        const uint32_t u = uint32_t(v);
        for (int k = 0; k < 4; k++)
            out[i * 4 + size_t(k)] = uint8_t(u >> (8 * k));
    };
    for (int i = 0; i < kKpHeaderWords; i++)
        put(size_t(i), level.header[i]);
    for (int i = 0; i < kKpCells; i++)
        put(size_t(kKpHeaderWords + i), level.board[i]);
}

bool KpDecodeLevel(const uint8_t *data, size_t size, KpLevelFile &level, bool workFile)
{
    if (data == nullptr || size != kKpLevelBytes)
        return false;
    auto get = [&](size_t i) {
        const uint8_t *p = data + i * 4;
        return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
    };
    KpLevelFile read;
    for (int i = 0; i < kKpHeaderWords; i++)
        read.header[i] = get(size_t(i));
    for (int i = 0; i < kKpCells; i++) {
        read.board[i] = get(size_t(kKpHeaderWords + i));
        if (read.board[i] < 0 || read.board[i] > 9)
            return false;
    }
    const int32_t streaks = read.header[KP_H_STREAKS];
    if (!(streaks == kKpNoPattern || (streaks >= 1 && streaks <= 6) || (workFile && streaks == 0)))
        return false;
    level = read;
    return true;
}

void KpDefaultHeader(int32_t header[kKpHeaderWords])
{
    header[KP_H_COLOURS] = 7;
    header[KP_H_STREAKS] = kKpNoPattern;
    header[KP_H_TESTED] = 0;
    header[KP_H_SAVED] = 0;
    for (int i = 0; i < 14; i++)
        header[KP_H_FIRST_GROUP + i] = 0;
    header[KP_H_SECOND_GROUP] = 1;
}

const int32_t *KpBuiltinTable(int number)
{
    static int32_t tables[5][kKpCells];
    static bool made = false;
    static const int kRange[5][2] = {{15, 17}, {13, 17}, {11, 17}, {10, 18}, {9, 19}};
    if (!made) {
        for (int k = 0; k < 5; k++)
            for (int z = 0; z < 11; z++)
                for (int x = 0; x < 11; x++) {
                    const int s = x + z;
                    tables[k][z * 11 + x] = s >= kRange[k][0] && s <= kRange[k][1] ? KP_CELL_RANDOM : KP_CELL_EMPTY;
                }
        for (int k = 0; k < 5; k++)
            tables[k][10 * 11 + 10] = KP_CELL_EXIT;
        made = true;
    }
    return number >= 1 && number <= 5 ? tables[number - 1] : nullptr;
}

void KpTransposeInto(const int32_t table[kKpCells], int32_t board[kKpCells])
{
    for (int r = 0; r < 11; r++)
        for (int c = 0; c < 11; c++)
            board[c * 11 + r] = table[r * 11 + c];
}

bool KpBuiltinBoard(int number, int32_t board[kKpCells])
{
    const int32_t *t = KpBuiltinTable(number);
    if (t == nullptr)
        return false;
    KpTransposeInto(t, board);
    return true;
}

void KpWorkName(const char *name, const char *extension, char *out, size_t size)
{
    if (size == 0)
        return;
    const char *base = name;
    for (const char *p = name; *p; p++)
        if (*p == '/' || *p == '\\')
            base = p + 1;
    const char *dot = strrchr(base, '.');
    const size_t keep = dot != nullptr ? size_t(dot - name) : strlen(name);
    snprintf(out, size, "%.*s%s", int(keep), name, extension);
}

// ---- memory cubes and the host's file defaults ----

void KpMemoryCubes::place(int c, float x, float y, float z)
{
    if (c > 0 && c <= kKpAllCubes) {
        cubes[c].x = x;
        cubes[c].y = y;
        cubes[c].z = z;
    }
}

void KpMemoryCubes::position(int c, float &x, float &y, float &z)
{
    if (c > 0 && c <= kKpAllCubes) {
        x = cubes[c].x;
        y = cubes[c].y;
        z = cubes[c].z;
    } else {
        x = y = z = 100;
    }
}

void KpMemoryCubes::setColour(int c, int colour)
{
    if (c > 0 && c <= kKpAllCubes)
        cubes[c].colour = colour;
}

int KpMemoryCubes::colour(int c)
{
    return c > 0 && c <= kKpAllCubes ? cubes[c].colour : KP_NO_COLOUR;
}

void KpMemoryCubes::show(int c, bool shown)
{
    if (c > 0 && c <= kKpAllCubes)
        cubes[c].shown = shown;
}

bool KpHost::readFile(const char *name, uint8_t *data, size_t capacity, size_t &size)
{
    FILE *f = PlatFopen(name, "rb");
    if (f == nullptr)
        return false;
    size = fread(data, 1, capacity, f);
    const bool ok = ferror(f) == 0;
    fclose(f);
    return ok;
}

bool KpHost::saveFile(const char *name, const void *data, size_t size)
{
    return PlatSaveFile(name, data, size) != 0;
}

// ---- streaks, colours, pattern ----

void KpCheckStreaks(KpRules &r)
{
    r.patternFault = 0;
    int32_t streaks = 0;
    uint32_t w = 0;
    auto gapless = [](uint32_t v) {
        return v == 0x1 || v == 0x11 || v == 0x111 || v == 0x1111 || v == 0x11111 || v == 0x111111;
    };
    for (int row = 0; row < 6; row++) {
        int filled = 0;
        for (int p = 0; p < 5; p++) {
            const int32_t v = r.header[KP_H_PATTERN + row * 5 + p];
            filled += v >= 4 && v <= 9;
        }
        if (filled == 5) {
            w += 1u << (4 * row);
            if (gapless(w))
                streaks++;
        } else if (filled > 0) {
            r.patternFault = 1;
        }
    }
    if (!gapless(w))
        r.patternFault = 1;
    r.header[KP_H_STREAKS] = streaks;
}

void KpCountColours(KpRules &r, const int colours[7])
{
    r.header[KP_H_COLOURS] = 7;
    for (int i = 0; i < 14; i++)
        r.header[KP_H_FIRST_GROUP + i] = 0;
    for (int place = 0; place < 7; place++) {
        const int c = colours[place];
        if (c < 0 || c > KP_FIXED)
            continue;
        r.header[(place < 5 ? KP_H_FIRST_GROUP : KP_H_SECOND_GROUP) + kKpColours[c].flag] = 1;
    }
}

void KpApplyPattern(KpRules &r)
{
    if (r.header[KP_H_STREAKS] == kKpNoPattern) {
        r.patternInUse = 0;
    } else {
        r.patternInUse = 1;
        for (int i = 0; i < 30; i++) {
            const int32_t v = r.header[KP_H_PATTERN + i];
            if (v == 0)
                r.cubes->setColour(kKpFirstPatternCube + i, KP_CLEAR);
            else if (v >= 4 && v <= 9)
                r.cubes->setColour(kKpFirstPatternCube + i, KpColourOfCell(v));
        }
    }
    KpLevelSetup(r);
    r.host->redraw(KP_REDRAW_FRAME);
    r.host->buttons(KP_BUTTONS_PATTERN);
}

// ---- files ----

namespace {

const char *playableExtension(const KpRules &r)
{
    return r.levelFamily == 2 ? ".KPS" : ".KPP";
}

const char *workExtension(const KpRules &r)
{
    return r.levelFamily == 2 ? ".KSW" : ".KPW";
}

char g_levelName[1280];
const char kKpSaveFailed[] = "Cannot save Kelpa file !";

bool saveTo(KpRules &r, const char *name)
{
    r.header[KP_H_SAVED] = 1;
    KpLevelFile level;
    memcpy(level.header, r.header, sizeof level.header);
    // While a trial plays, the editor's board is the one kept aside (the worm takes exits on its copy).
    memcpy(level.board, r.trialRun && !r.editorOpen ? r.trialBoard : r.board, sizeof level.board);
    uint8_t bytes[kKpLevelBytes];
    KpEncodeLevel(level, bytes);
    return r.host->saveFile(name, bytes, sizeof bytes);
}

bool browse(KpRules &r, int mode, bool work)
{
    const char *ext = work ? workExtension(r) : playableExtension(r);
    char filter[32], pattern[16];
    snprintf(filter, sizeof filter, "%s files (*%s)", ext + 1, ext);
    snprintf(pattern, sizeof pattern, "*%s", ext);
    const char *title = mode == KP_BROWSE_SAVE ? "Save Kelpa file" : "Open Kelpa file";
    return r.host->browse(mode, title, filter, pattern, ext, g_levelName, sizeof g_levelName) && g_levelName[0] != '\0';
}

void open(KpRules &r, bool work)
{
    if (!browse(r, KP_BROWSE_OPEN, work))
        return;
    if (KpLoadLevelFile(r, g_levelName, work)) {
        KpApplyPattern(r);
        // Opened while a trial plays: the trial's end gives the editor this level.
        if (r.trialRun && !r.editorOpen)
            memcpy(r.trialBoard, r.board, sizeof r.board);
    }
}

}  // namespace

bool KpLoadLevelFile(KpRules &r, const char *name, bool workFile)
{
    uint8_t bytes[kKpLevelBytes + 1];
    size_t size = 0;
    if (!r.host->readFile(name, bytes, sizeof bytes, size))
        return false;
    KpLevelFile level;
    if (!KpDecodeLevel(bytes, size, level, workFile)) {
        r.host->message("Damaged Kelpa file !");
        return false;
    }
    memcpy(r.header, level.header, sizeof r.header);
    memcpy(r.board, level.board, sizeof r.board);
    return true;
}

void KpSaveLevel(KpRules &r)
{
    if (r.header[KP_H_TESTED] == 0) {
        r.host->message("This level not playable !");
        return;
    }
    if (browse(r, KP_BROWSE_SAVE, false)) {
        // The work copy is written even when the playable file fails; the editor hears of either.
        bool saved = saveTo(r, g_levelName);
        char work[sizeof g_levelName + 8];
        KpWorkName(g_levelName, workExtension(r), work, sizeof work);
        saved = saveTo(r, work) && saved;
        if (!saved)
            r.host->message(kKpSaveFailed);
    }
    r.host->redraw(KP_REDRAW_FRAME);
}

void KpSaveWorkLevel(KpRules &r)
{
    if (browse(r, KP_BROWSE_SAVE, true) && !saveTo(r, g_levelName))
        r.host->message(kKpSaveFailed);
    r.host->redraw(KP_REDRAW_FRAME);
}

void KpOpenWorkLevel(KpRules &r)
{
    open(r, true);
}

void KpOpenLevel(KpRules &r)
{
    open(r, false);
}

bool KpTestChecks(KpRules &r)
{
    if (r.patternFault || r.header[KP_H_STREAKS] == 0) {
        r.host->message("ERROR: Uncompleted streak !");
        return false;
    }
    for (int i = 0; i < kKpCells; i++)
        if (r.board[i] == KP_CELL_EXIT)
            return true;
    r.host->message("ERROR: No Exit !");
    return false;
}

void KpKind100Level(int position, int &family, int &number, char *name, size_t size)
{
    if (position < 0)
        position = 0;
    if (position > 21)
        position = 21;
    family = position < 9 ? 0 : position < 18 ? 1 : 2;
    number = position - family * 9;
    snprintf(name, size, "kp\\k100_%d_%d.KPP", family, number);
    number += 1;
}
