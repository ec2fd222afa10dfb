#include "levelfile.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

namespace kplevel {

Level default_level()
{
    Level l;
    l.header[0] = 7;
    l.header[1] = 99;
    l.header[11] = 1;
    return l;
}

bool builtin_board(int number, Level &level)
{
    static const int kRange[5][2] = {{15, 17}, {13, 17}, {11, 17}, {10, 18}, {9, 19}};
    if (number < 1 || number > 5)
        return false;
    for (int x = 0; x < 11; x++)
        for (int z = 0; z < 11; z++) {
            const int s = x + z;
            level.board[x * 11 + z] = s >= kRange[number - 1][0] && s <= kRange[number - 1][1] ? kRandom : kEmpty;
        }
    level.board[10 * 11 + 10] = kExit;
    return true;
}

std::vector<uint8_t> encode(const Level &level)
{
    std::vector<uint8_t> out;
    out.reserve(kFileSize);
    auto put = [&](int32_t v) {
        const uint32_t u = uint32_t(v);
        for (int k = 0; k < 4; k++)
            out.push_back(uint8_t(u >> (8 * k)));
    };
    for (int32_t v : level.header)
        put(v);
    for (int32_t v : level.board)
        put(v);
    return out;
}

bool decode(const std::vector<uint8_t> &bytes, Level &level, std::string &error)
{
    if (bytes.size() != kFileSize) {
        error = "a level file holds " + std::to_string(kFileSize) + " bytes, this one " + std::to_string(bytes.size());
        return false;
    }
    auto get = [&](size_t i) {
        const uint8_t *p = bytes.data() + i * 4;
        return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
    };
    for (size_t i = 0; i < kHeaderWords; i++)
        level.header[i] = get(i);
    for (size_t i = 0; i < kCells; i++)
        level.board[i] = get(kHeaderWords + i);
    return true;
}

char cell_char(int32_t kind)
{
    static const char kChars[] = ".?#Ebgorwy";
    return kind >= 0 && kind <= 9 ? kChars[kind] : '!';
}

int cell_kind(char c)
{
    const char *p = strchr(".?#Ebgorwy", c);
    return c != '\0' && p != nullptr ? int(p - ".?#Ebgorwy") : -1;
}

std::vector<std::string> check(const Level &level)
{
    std::vector<std::string> out;
    const int32_t *h = level.header;
    int exits = 0;
    for (size_t i = 0; i < kCells; i++) {
        const int32_t v = level.board[i];
        if (v < 0 || v > 9)
            out.push_back("cell (" + std::to_string(i / 11) + ", " + std::to_string(i % 11) + ") holds " +
                          std::to_string(v) + ", not a cell kind 0..9");
        exits += v == kExit;
    }
    if (exits == 0)
        out.push_back("ERROR: No Exit !");
    if (level.board[0] != kEmpty)
        out.push_back("the entry corner (0, 0) is not empty");
    if (h[0] < 1 || h[0] > 7)
        out.push_back("colour count " + std::to_string(h[0]) + " is not 1..7");
    if (h[1] != 99 && (h[1] < 1 || h[1] > 6))
        out.push_back("streak count " + std::to_string(h[1]) + " is neither 1..6 nor 99 (no pattern)");
    for (int i = 2; i < 18; i++)
        if (h[i] != 0 && h[i] != 1)
            out.push_back("flag " + std::to_string(i) + " holds " + std::to_string(h[i]) + ", not 0 or 1");
    // The pattern: complete rows first, each place 0 or a colour 4..9, one colour once a row.
    int complete = 0;
    bool gap = false;
    for (int row = 0; row < 6; row++) {
        int filled = 0, seen = 0;
        for (int place = 0; place < 5; place++) {
            const int32_t v = h[18 + row * 5 + place];
            if (v == 0)
                continue;
            if (v < 4 || v > 9) {
                out.push_back("pattern row " + std::to_string(row) + " place " + std::to_string(place) + " holds " +
                              std::to_string(v));
                continue;
            }
            if (seen & (1 << v))
                out.push_back("pattern row " + std::to_string(row) + " repeats a colour");
            seen |= 1 << v;
            filled++;
        }
        if (filled != 0 && filled != 5)
            out.push_back("ERROR: Uncompleted streak !");
        if (filled == 5) {
            if (gap)
                out.push_back("pattern row " + std::to_string(row) + " follows an empty row");
            complete++;
        } else {
            gap = true;
        }
    }
    if (h[1] != 99 && complete != h[1])
        out.push_back("streak count " + std::to_string(h[1]) + " but " + std::to_string(complete) + " complete rows");
    if (h[1] == 99 && complete != 0)
        out.push_back("a pattern of " + std::to_string(complete) + " rows in a level marked as without one");
    return out;
}

std::string dump(const Level &level)
{
    const int32_t *h = level.header;
    std::string s;
    char line[160];
    snprintf(line, sizeof line, "colours %d  streaks %d  tested %d  saved %d\n", h[0], h[1], h[2], h[3]);
    s += line;
    static const char *const kFlags[7] = {"fixed", "white", "blue", "orange", "red", "yellow", "green"};
    for (int g = 0; g < 2; g++) {
        s += g == 0 ? "first group: " : "second group:";
        for (int i = 0; i < 7; i++)
            if (h[4 + g * 7 + i])
                s += std::string(" ") + kFlags[i];
        s += "\n";
    }
    s += "pattern:\n";
    for (int row = 0; row < 6; row++) {
        s += "  ";
        for (int place = 0; place < 5; place++)
            s += cell_char(h[18 + row * 5 + place]);
        s += "\n";
    }
    s += "board (x down, z across):\n";
    for (int x = 0; x < 11; x++) {
        s += "  ";
        for (int z = 0; z < 11; z++)
            s += cell_char(level.board[x * 11 + z]);
        s += "\n";
    }
    return s;
}

bool read_file(const std::string &path, std::vector<uint8_t> &bytes, std::string &error)
{
    FILE *f = fopen(path.c_str(), "rb");
    if (f == nullptr) {
        error = "cannot open " + path + ": " + strerror(errno);
        return false;
    }
    bytes.clear();
    uint8_t buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0 && bytes.size() < (1u << 20))
        bytes.insert(bytes.end(), buf, buf + n);
    const bool bad = ferror(f) != 0;
    fclose(f);
    if (bad) {
        error = "cannot read " + path;
        return false;
    }
    return true;
}

bool write_file(const std::string &path, const std::vector<uint8_t> &bytes, std::string &error)
{
    const std::string temporary = path + ".tmp" + std::to_string(getpid());
    FILE *f = fopen(temporary.c_str(), "wb");
    if (f == nullptr) {
        error = "cannot write " + path + ": " + strerror(errno);
        return false;
    }
    const bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size() && fflush(f) == 0 && fsync(fileno(f)) == 0;
    const bool closed = fclose(f) == 0;
    if (!ok || !closed || rename(temporary.c_str(), path.c_str()) != 0) {
        error = "cannot write " + path + ": " + strerror(errno);
        remove(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace kplevel
