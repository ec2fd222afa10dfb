// The player-name entry's rules, apart from its screen.
#pragma once

namespace vok {

constexpr int kNameCapacity = 31;                 // the name buffer holds 31 characters and the NUL
constexpr int kNameSlideStart = 640, kNameSlideEnd = 457, kNameSlideWidth = 183;

// Characters the name line (and the file browser) take: letters, digits, the blank, a few signs,
// and the Latin-1 letters (not the multiplication and division signs).
int name_char_ok(int ch);
// Trailing blanks and tabs cut, ASCII lower case, a first letter 'a'..'z' capitalised, at most 31
// characters. False for a line that is empty once cut.
bool tidy_name(const char *typed, char out[kNameCapacity + 1]);
// Where the sliding name panel is at `angle`.
int name_slide_x(double angle);

}  // namespace vok
