// Kelpa level files: the 48-word header and the 11 x 11 board, little-endian 32-bit words, 676 bytes,
// no magic. Read and written word by word; a check names every rule a file breaks.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

namespace kplevel {

constexpr size_t kHeaderWords = 48, kCells = 121, kFileSize = (kHeaderWords + kCells) * 4;

// Cell kinds of the board.
enum Cell { kEmpty = 0, kRandom = 1, kFixed = 2, kExit = 3, kBlue = 4, kGreen = 5, kOrange = 6, kRed = 7, kWhite = 8, kYellow = 9 };

struct Level {
    int32_t header[kHeaderWords] = {};
    int32_t board[kCells] = {};  // index x * 11 + z
};

// The default header: 7 colours, no pattern (streak field 99), the second group's fixed flag.
Level default_level();
// Built-in board 1..5: the exit at (10, 10) and random cells where lo <= x + z <= hi.
bool builtin_board(int number, Level &level);

std::vector<uint8_t> encode(const Level &level);
// False (with the reason) for a size other than 676 bytes.
bool decode(const std::vector<uint8_t> &bytes, Level &level, std::string &error);

// Every rule the level breaks, one line each; empty when it is playable.
std::vector<std::string> check(const Level &level);
// The board as 11 lines of 11 characters (x down, z across) and the header's fields.
std::string dump(const Level &level);
// The character of a cell kind in dumps and in the maker's board text; '?' unknown.
char cell_char(int32_t kind);
// The kind of a board character, or -1.
int cell_kind(char c);

// Whole-file read, and a save through a temporary file renamed over the name.
bool read_file(const std::string &path, std::vector<uint8_t> &bytes, std::string &error);
bool write_file(const std::string &path, const std::vector<uint8_t> &bytes, std::string &error);

}  // namespace kplevel
