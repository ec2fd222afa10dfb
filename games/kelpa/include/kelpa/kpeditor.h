// The level editor's rules on the board model: the nine tools, the placing rules for the board,
// the palette and the pattern, taking cubes back, and emptying the level. The game backs them with
// its actors (src/editor.cpp); the tests run them on memory cubes.
#pragma once

#include "kelpa/kprules.h"

// Tools in their order beside the board: blue, red, green, yellow, white, orange, fixed, random, exit.
enum KpTool {
    KP_TOOL_NONE = -1, KP_TOOL_BLUE = 0, KP_TOOL_RED = 1, KP_TOOL_GREEN = 2, KP_TOOL_YELLOW = 3,
    KP_TOOL_WHITE = 4, KP_TOOL_ORANGE = 5, KP_TOOL_FIXED = 6, KP_TOOL_RANDOM = 7, KP_TOOL_EXIT = 8
};
constexpr int kKpTools = 9;
extern const char *const kKpToolTips[kKpTools];

// The cell kind a tool puts down, the colour it stands for (KP_MIX random, KP_NO_COLOUR exit), and
// the tool of a colour or of a cell kind (KP_TOOL_NONE for none).
int KpToolCell(int tool);
int KpToolColour(int tool);
int KpToolOfColour(int colour);
int KpToolOfCell(int cell);
// Where a tool stands (height 0), with or without a pattern in use.
void KpToolPlace(int tool, bool pattern, float &x, float &z);

// The board's placing rule: on the board, and (but for the random tool) fewer than two cubes of the
// tool's colour lined up with the cell as the match count counts them.
bool KpCanPlace(const KpRules &r, int tool, int x, int z);
// The edits; each returns whether it was made. Every edit that changes what a level file holds
// clears `tested` and `saved`.
bool KpDropOnBoard(KpRules &r, int tool, int x, int z);
bool KpDropOnPalette(KpRules &r, int tool, int place);
bool KpDropOnPattern(KpRules &r, int tool, int row, int place);
// Taking back: the tool the cube stood for (KP_TOOL_NONE: nothing there to take).
int KpPickUpBoard(KpRules &r, int x, int z);
int KpPickUpPalette(KpRules &r, int place);
int KpPickUpPattern(KpRules &r, int row, int place);
// The colours on the seven palette places (KP_CLEAR when empty).
void KpPaletteColours(KpRules &r, int colours[7]);
// The "new" button's emptying: board, pattern and palette, then the set-up.
void KpClearLevel(KpRules &r);
// A trial run plays on a copy of the editor's board: its end gives the editor its board back.
void KpBeginTrial(KpRules &r);
void KpEndTrial(KpRules &r);
