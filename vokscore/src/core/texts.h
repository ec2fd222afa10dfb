// The language texts of the interface: the line table, the special and per-game texts, the demo
// scripts, the field-name lists and the key-name table.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <initializer_list>

namespace vok {

constexpr int kLineCount = 512;
constexpr int kBuiltinCount = 73;
constexpr size_t kTextBlockSize = 100000;
constexpr int kMaxTips = 20;
constexpr int kDemoSteps = 48;
constexpr int kKeyNameCount = 156;
constexpr int kFieldLists = 5;     // C, E, S, H, X
constexpr int kFieldNameSize = 32;

enum SpecialText { kMainHelp, kVnUnscr, kVnLearn, kVnStudy, kVnFree, kFwEpito, kStory, kCredits, kSpecialCount };

// One step of a demonstration script: from `start` to `end`, show `text`. The script ends with the
// step {10000, 10001, text 57} followed by a step whose start is -1.
struct DemoStep {
    int32_t start;
    int32_t end;
    const char *text;
};

struct GameTexts {
    const char *rules;
    const char *controls;
    const char *tips[kMaxTips];
    int tipCount;
    const DemoStep *demo; // NULL without a script
};

// Text n of the line table, NULL when unset or out of range.
const char *text(int n);
const char *special_text(int which);
// Texts of game 0..4, NULL for other numbers.
const GameTexts *game_texts(int game);
// Field names of list 0..4 (C, E, S, H, X): NULL for an index outside the list.
const char *field_name(int list, int index);
int field_count(int list);
int field_capacity(int list);
// File prefix of a list ("Ch_", "Demo_", "Stand_", "Hard_", "Extra_"), NULL outside 0..4.
const char *field_prefix(int list);
// The key-name table: code of entry i, and the name of the first entry with a code (NULL: none).
int key_code(int index);
const char *key_name(int code);

// A text of the table used as a format: "%s" and "%d" take the next argument as it stands, "%%" is a
// percent sign, other conversions stay as they are, and a missing argument is empty. Translated
// texts may carry any number of conversions, so this never reads more than it is given. Returns the
// length written (the text is cut to fit `size`).
size_t format_text(char *out, size_t size, const char *format, std::initializer_list<const char *> args);

}  // namespace vok
