// kplevel make OUT [--board 1..5] [--rows FILE] [--pattern ROW]... [--tested]
// kplevel dump FILE
// kplevel check FILE...
// kplevel play FILE --seed N --keys "120l 124L 300s" [--speed 0..8]
// kplevel solve FILE --seed N [--tries N] [--speed 0..8]
// make: a level from a built-in board (default 1) or from a text of 11 lines of 11 cell characters
// (. empty, ? random, # fixed, E exit, b g o r w y the colours; x down, z across); each --pattern adds
// a row of five colour characters and sets the streak count. dump prints the header and the board;
// check names every rule a file breaks and answers 1 when one does. play runs the level headless as a
// game of the Standard/Curious/Blocked kind and prints the verdict, the frame count and a hash of the
// cube positions (answer 0 only when won); solve looks for key events that win it. Paths are the
// caller's.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <fstream>
#include <sstream>

#include "kelpa/kprules.h"
#include "levelfile.h"
#include "vokplat/paths.h"

using namespace kplevel;

namespace {

int usage()
{
    fprintf(stderr, "usage: kplevel make OUT [--board 1..5] [--rows FILE] [--pattern ROW]... [--tested]\n"
                    "       kplevel dump FILE\n       kplevel check FILE...\n"
                    "       kplevel play FILE --seed N --keys EVENTS [--speed 0..8]\n"
                    "       kplevel solve FILE --seed N [--tries N] [--speed 0..8]\n");
    return 2;
}

bool load(const char *path, Level &level)
{
    std::vector<uint8_t> bytes;
    std::string error;
    if (!read_file(path, bytes, error) || !decode(bytes, level, error)) {
        fprintf(stderr, "kplevel: %s: %s\n", path, error.c_str());
        return false;
    }
    return true;
}

int make(int argc, char **argv)
{
    if (argc < 1)
        return usage();
    const char *out = PlatToolPath(argv[0]);
    Level level = default_level();
    builtin_board(1, level);
    int rows = 0;
    for (int i = 1; i < argc; i++) {
        const char *a = argv[i];
        const char *v = i + 1 < argc ? argv[i + 1] : nullptr;
        if (!strcmp(a, "--tested")) {
            level.header[2] = 1;
            continue;
        }
        if (v == nullptr)
            return usage();
        i++;
        if (!strcmp(a, "--board")) {
            if (strlen(v) != 1 || !builtin_board(v[0] - '0', level)) {
                fprintf(stderr, "kplevel: board '%s' is not 1..5\n", v);
                return 2;
            }
        } else if (!strcmp(a, "--rows")) {
            std::ifstream in(PlatToolPath(v));
            if (!in) {
                fprintf(stderr, "kplevel: cannot open %s\n", v);
                return 1;
            }
            std::string line;
            int x = 0;
            while (std::getline(in, line) && x < 11) {
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                if (line.empty())
                    continue;
                if (line.size() != 11) {
                    fprintf(stderr, "kplevel: %s line %d: 11 cells wanted, %zu given\n", v, x + 1, line.size());
                    return 1;
                }
                for (int z = 0; z < 11; z++) {
                    const int k = cell_kind(line[size_t(z)]);
                    if (k < 0) {
                        fprintf(stderr, "kplevel: %s line %d: '%c' is not a cell\n", v, x + 1, line[size_t(z)]);
                        return 1;
                    }
                    level.board[x * 11 + z] = k;
                }
                x++;
            }
            if (x != 11) {
                fprintf(stderr, "kplevel: %s: 11 lines wanted, %d given\n", v, x);
                return 1;
            }
        } else if (!strcmp(a, "--pattern")) {
            if (rows == 6 || strlen(v) != 5) {
                fprintf(stderr, "kplevel: pattern rows are five colours, six rows at most\n");
                return 2;
            }
            for (int p = 0; p < 5; p++) {
                const int k = cell_kind(v[p]);
                if (k < 4) {
                    fprintf(stderr, "kplevel: '%c' is not a colour (b g o r w y)\n", v[p]);
                    return 2;
                }
                level.header[18 + rows * 5 + p] = k;
            }
            rows++;
            level.header[0] = 6;
            level.header[1] = rows;
            level.header[11] = 0;
        } else {
            return usage();
        }
    }
    level.header[3] = 1;
    for (const std::string &problem : check(level))
        fprintf(stderr, "kplevel: warning: %s\n", problem.c_str());
    std::string error;
    if (!write_file(out, encode(level), error)) {
        fprintf(stderr, "kplevel: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

bool isWork(const char *path)
{
    const size_t n = strlen(path);
    return n >= 4 && (strcasecmp(path + n - 4, ".KPW") == 0 || strcasecmp(path + n - 4, ".KSW") == 0);
}

// The file as the game reads it: refused as the game refuses it.
bool loadForGame(const char *path, KpLevelFile &level)
{
    std::vector<uint8_t> bytes;
    std::string error;
    if (!read_file(path, bytes, error)) {
        fprintf(stderr, "kplevel: %s: %s\n", path, error.c_str());
        return false;
    }
    if (!KpDecodeLevel(bytes.data(), bytes.size(), level, isWork(path))) {
        fprintf(stderr, "kplevel: %s: Damaged Kelpa file !\n", path);
        return false;
    }
    return true;
}

bool option(int argc, char **argv, const char *name, long lo, long hi, long &value)
{
    for (int i = 0; i + 1 < argc; i++)
        if (!strcmp(argv[i], name)) {
            char *end = nullptr;
            value = strtol(argv[i + 1], &end, 10);
            if (end == argv[i + 1] || *end != '\0' || value < lo || value > hi) {
                fprintf(stderr, "kplevel: %s '%s' is not a number from %ld to %ld\n", name, argv[i + 1], lo, hi);
                return false;
            }
        }
    return true;
}

const char *textOption(int argc, char **argv, const char *name)
{
    for (int i = 0; i + 1 < argc; i++)
        if (!strcmp(argv[i], name))
            return argv[i + 1];
    return nullptr;
}

std::string keysText(const std::vector<KpKeyEvent> &keys)
{
    std::string s;
    for (const KpKeyEvent &k : keys)
        s += (s.empty() ? "" : " ") + std::to_string(k.frame) + k.key;
    return s;
}

int play(int argc, char **argv)
{
    KpLevelFile level;
    long seed = 1, speed = 7;
    if (!option(argc, argv, "--seed", 0, 0xFFFFFFFFl, seed) || !option(argc, argv, "--speed", 0, 8, speed))
        return 2;
    if (!loadForGame(PlatToolPath(argv[0]), level))
        return 1;
    std::vector<KpKeyEvent> keys;
    std::string error;
    const char *text = textOption(argc, argv, "--keys");
    if (!KpParseKeys(text != nullptr ? text : "", keys, error)) {
        fprintf(stderr, "kplevel: %s\n", error.c_str());
        return 2;
    }
    const KpPlayResult r = KpPlayLevel(level, uint32_t(seed), keys, int(speed));
    printf("%s frames %d exits %d worms %d hash %08x\n", r.verdict > 0 ? "won" : r.verdict < 0 ? "lost" : "running",
           r.frames, r.exitsReached, r.rows, r.hash);
    return r.verdict > 0 ? 0 : 1;
}

// A random search: turns held for a few frames at random moments, a step now and then.
int solve(int argc, char **argv)
{
    KpLevelFile level;
    long seed = 1, tries = 2000, speed = 7;
    if (!option(argc, argv, "--seed", 0, 0xFFFFFFFFl, seed) || !option(argc, argv, "--tries", 1, 10000000, tries) ||
        !option(argc, argv, "--speed", 0, 8, speed))
        return 2;
    if (!loadForGame(PlatToolPath(argv[0]), level))
        return 1;
    uint32_t rng = uint32_t(seed) * 2654435761u + 1;
    auto next = [&](uint32_t n) {
        rng = rng * 1664525u + 1013904223u;
        return (rng >> 8) % n;
    };
    for (long t = 0; t < tries; t++) {
        std::vector<KpKeyEvent> keys;
        const uint32_t gap = 10 + next(60);
        for (int f = int(next(40)); f < 6000; f += int(5 + next(gap))) {
            const uint32_t what = next(10);
            if (what == 0) {
                keys.push_back({f, 's'});
            } else {
                const bool left = what & 1;
                keys.push_back({f, left ? 'l' : 'r'});
                f += int(1 + next(4));
                keys.push_back({f, left ? 'L' : 'R'});
            }
        }
        const KpPlayResult r = KpPlayLevel(level, uint32_t(seed), keys, int(speed), 8000);
        if (r.verdict > 0) {
            // Only the events up to the win.
            while (!keys.empty() && keys.back().frame >= r.frames)
                keys.pop_back();
            printf("%s\n", keysText(keys).c_str());
            return 0;
        }
    }
    fprintf(stderr, "kplevel: no win found in %ld tries\n", tries);
    return 1;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 3)
        return usage();
    if (!strcmp(argv[1], "make"))
        return make(argc - 2, argv + 2);
    if (!strcmp(argv[1], "dump")) {
        Level level;
        if (!load(PlatToolPath(argv[2]), level))
            return 1;
        fputs(dump(level).c_str(), stdout);
        return 0;
    }
    if (!strcmp(argv[1], "play"))
        return play(argc - 2, argv + 2);
    if (!strcmp(argv[1], "solve"))
        return solve(argc - 2, argv + 2);
    if (!strcmp(argv[1], "check")) {
        int status = 0;
        for (int i = 2; i < argc; i++) {
            Level level;
            KpLevelFile game;
            // The game's refusal first, then every rule the file breaks.
            if (!loadForGame(PlatToolPath(argv[i]), game))
                status = 1;
            if (!load(PlatToolPath(argv[i]), level)) {
                status = 1;
                continue;
            }
            const std::vector<std::string> problems = check(level);
            for (const std::string &p : problems)
                printf("%s: %s\n", argv[i], p.c_str());
            if (problems.empty())
                printf("%s: playable\n", argv[i]);
            else
                status = 1;
        }
        return status;
    }
    return usage();
}
