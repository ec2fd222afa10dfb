// kplevel make OUT [--board 1..5] [--rows FILE] [--pattern ROW]... [--tested]
// kplevel dump FILE
// kplevel check FILE...
// make: a level from a built-in board (default 1) or from a text of 11 lines of 11 cell characters
// (. empty, ? random, # fixed, E exit, b g o r w y the colours; x down, z across); each --pattern adds
// a row of five colour characters and sets the streak count. dump prints the header and the board;
// check names every rule a file breaks and answers 1 when one does. Paths are the caller's.
#include <stdio.h>
#include <string.h>

#include <fstream>
#include <sstream>

#include "levelfile.h"

using namespace kplevel;

namespace {

int usage()
{
    fprintf(stderr, "usage: kplevel make OUT [--board 1..5] [--rows FILE] [--pattern ROW]... [--tested]\n"
                    "       kplevel dump FILE\n       kplevel check FILE...\n");
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
    const char *out = argv[0];
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
            std::ifstream in(v);
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

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 3)
        return usage();
    if (!strcmp(argv[1], "make"))
        return make(argc - 2, argv + 2);
    if (!strcmp(argv[1], "dump")) {
        Level level;
        if (!load(argv[2], level))
            return 1;
        fputs(dump(level).c_str(), stdout);
        return 0;
    }
    if (!strcmp(argv[1], "check")) {
        int status = 0;
        for (int i = 2; i < argc; i++) {
            Level level;
            if (!load(argv[i], level)) {
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
