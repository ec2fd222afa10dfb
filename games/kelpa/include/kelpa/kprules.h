// Kelpa's board, level files and worm rules, kept apart from the 3D scene: one state record
// (`KpRules`), a cube facade (the game backs it with actors, the tests with memory) and a host seam
// for every side effect (sounds, redraws, the win animation, worm rows, the random numbers, message
// boxes and the file browser). Single precision throughout; built with -ffp-contract=off so that a
// replay moves the worm exactly as the game did.
#pragma once

#include <stddef.h>
#include <stdio.h>
#include <stdint.h>

#include <string>
#include <vector>

// ---- cells, colours and the four colour orders ----

enum KpCellKind {
    KP_CELL_EMPTY = 0, KP_CELL_RANDOM = 1, KP_CELL_FIXED = 2, KP_CELL_EXIT = 3, KP_CELL_BLUE = 4,
    KP_CELL_GREEN = 5, KP_CELL_ORANGE = 6, KP_CELL_RED = 7, KP_CELL_WHITE = 8, KP_CELL_YELLOW = 9
};

// The rules' colour numbering, also the order in which the materials are made.
enum KpColour {
    KP_RED = 0, KP_BLUE = 1, KP_YELLOW = 2, KP_GREEN = 3, KP_WHITE = 4, KP_ORANGE = 5, KP_FIXED = 6,
    KP_MIX = 7, KP_CLEAR = 8,  // KP_CLEAR: the empty pattern place ("Atlatszo")
    KP_NO_COLOUR = -1
};

// One colour in all four orders: its cell kind, its flag in a header colour group (0..6 from the
// group's first word), the editor's tool cube, and the stem of its materials.
struct KpColourInfo {
    int colour, cell, flag, tool;
    const char *stem;
};
extern const KpColourInfo kKpColours[9];
// KP_NO_COLOUR for a cell kind that is no colour.
int KpColourOfCell(int cell);
int KpCellOfColour(int colour);

// ---- level files ----

constexpr int kKpHeaderWords = 48, kKpCells = 121;
constexpr size_t kKpLevelBytes = (kKpHeaderWords + kKpCells) * 4;  // 676
enum KpHeaderField {
    KP_H_COLOURS = 0, KP_H_STREAKS = 1, KP_H_TESTED = 2, KP_H_SAVED = 3, KP_H_FIRST_GROUP = 4,
    KP_H_SECOND_GROUP = 11, KP_H_PATTERN = 18
};
constexpr int kKpNoPattern = 99;

struct KpLevelFile {
    int32_t header[kKpHeaderWords] = {};
    int32_t board[kKpCells] = {};  // index x * 11 + z
};

void KpEncodeLevel(const KpLevelFile &level, uint8_t out[kKpLevelBytes]);
// A level file read field by field. Refused (false): any size but 676 bytes, a streak count other
// than 1..6 or 99 (0 too in a work file: a pattern not yet complete), a cell outside 0..9.
bool KpDecodeLevel(const uint8_t *data, size_t size, KpLevelFile &level, bool workFile);
// The default header: colourCount 7, no pattern, the second group's fixed flag.
void KpDefaultHeader(int32_t header[kKpHeaderWords]);
// Built-in board 1..5 written the way the module keeps them (indices exchanged) and copied back:
// the exit at (10, 10), random cells where lo <= x + z <= hi. False for another number.
bool KpBuiltinBoard(int number, int32_t board[kKpCells]);
// The stored (exchanged) table of a built-in board, table index z * 11 + x.
const int32_t *KpBuiltinTable(int number);
// Copies a table stored with its indices exchanged into a board.
void KpTransposeInto(const int32_t table[kKpCells], int32_t board[kKpCells]);
// The work copy's name: the extension of the file name replaced (none: appended).
void KpWorkName(const char *name, const char *extension, char *out, size_t size);

// ---- the cube facade ----

// Cubes are numbered from 1: the 131 game cubes 1..131, the 30 pattern cubes and the 7 palette
// cubes after them; 0 is no cube.
constexpr int kKpGameCubes = 131;
constexpr int kKpFirstPatternCube = kKpGameCubes + 1, kKpFirstPaletteCube = kKpFirstPatternCube + 30;
constexpr int kKpAllCubes = kKpFirstPaletteCube + 7 - 1;

struct KpCubeFacade {
    virtual ~KpCubeFacade() = default;
    virtual void place(int cube, float x, float y, float z) = 0;
    virtual void position(int cube, float &x, float &y, float &z) = 0;
    virtual void setColour(int cube, int colour) = 0;  // outer and inner look together
    virtual int colour(int cube) = 0;
    virtual void show(int cube, bool shown) = 0;
};

// Plain memory: what the tests and the headless runner use.
struct KpMemoryCubes : KpCubeFacade {
    struct Cube {
        float x = 5, y = 5, z = 5;
        int colour = KP_MIX;
        bool shown = false;
    } cubes[kKpAllCubes + 1];
    void place(int c, float x, float y, float z) override;
    void position(int c, float &x, float &y, float &z) override;
    void setColour(int c, int colour) override;
    int colour(int c) override;
    void show(int c, bool shown) override;
};

// ---- the host seam ----

enum KpRedraw { KP_REDRAW_FRAME = 0, KP_REDRAW_BOARD = 1 };
enum KpBrowse { KP_BROWSE_OPEN = 0, KP_BROWSE_SAVE = 1 };

struct KpHost {
    virtual ~KpHost() = default;
    virtual void sound(int /*id*/) {}
    virtual void redraw(int /*what*/) {}
    virtual void floorTile(int /*x*/, int /*z*/, bool /*exit*/) {}
    virtual void winAnimation(int /*mode*/) {}
    // Worm rows: the first row of a level starts the recording, the others append.
    virtual void wormRowWrite(const uint8_t /*row*/[5], bool /*first*/) {}
    virtual bool wormRowRead(uint8_t /*row*/[5]) { return false; }
    // Frame records: written (overwrite: the frame recorded last is replaced).
    virtual void recordFrame(const uint8_t /*frame*/[5], bool /*overwrite*/) {}
    virtual void seed(uint32_t /*value*/) {}
    virtual int random() = 0;
    virtual void message(const char * /*text*/) {}
    // The framework's browser: true with a name in `name` (the previous content is the initial name).
    virtual bool browse(int /*mode*/, const char * /*title*/, const char * /*filter*/, const char * /*pattern*/,
                        const char * /*extension*/, char * /*name*/, size_t /*size*/) { return false; }
    // Whole-file reads and saves (the game resolves names against its folders).
    virtual bool readFile(const char *name, uint8_t *data, size_t capacity, size_t &size);
    virtual bool saveFile(const char *name, const void *data, size_t size);
    // Set-up's and new game's button work (start pair, menu and file buttons).
    virtual void buttons(int /*when*/) {}
};
enum KpButtonsWhen { KP_BUTTONS_SETUP_START = 0, KP_BUTTONS_SETUP_END = 1, KP_BUTTONS_PATTERN = 2,
                     KP_BUTTONS_RESET_START = 3, KP_BUTTONS_TEST_RUNNING = 4 };

// A host whose random numbers come from a seeded generator of its own (the runtime's rand()
// contract: 0..32767), for tests and the headless runner.
struct KpSeededHost : KpHost {
    uint32_t state = 1;
    void seed(uint32_t value) override { state = value; }
    int random() override
    {
        state = state * 1103515245u + 12345u;
        return int((state >> 16) & 0x7FFF);
    }
};

// ---- the rules' state ----

struct KpSlot {
    int32_t cube = 0;  // 0: a free slot
    int32_t word1 = 0;
    uint8_t direction = 0, pendingTurn = 0, pad[2] = {};
    float x = 0;
    int32_t word2 = 0;
    float z = 0;
};

enum KpDirection { KP_DIR_PX = 0, KP_DIR_NX = 1, KP_DIR_PZ = 2, KP_DIR_NZ = 3, KP_DIR_NONE = 99 };
constexpr int kKpLeftKey = 37, kKpRightKey = 39;
constexpr int kKpPathMax = 24;

struct KpRules {
    KpCubeFacade *cubes = nullptr;
    KpHost *host = nullptr;

    // The level: header and board, and the run's own copies of the game's choices.
    int32_t header[kKpHeaderWords] = {};
    int32_t board[kKpCells] = {};
    // The editor's board while a trial run plays on it (the worm takes the exits it reaches).
    int32_t trialBoard[kKpCells] = {};
    int32_t colourGrid[kKpCells] = {};
    int32_t gameKind = 101, levelFamily = 0, levelNumber = 0, levelCommand = 0, gameFlags = 0, speedIndex = 7;
    int32_t editorOpen = 0, trialRun = 0, replayPlaying = 0, clearBoardOnSetup = 0, firstRow = 0;
    int32_t patternInUse = 0, patternFault = 0;

    // Cube lists.
    KpSlot worm[kKpGameCubes], looseCubes[kKpGameCubes], queue[kKpGameCubes];
    int32_t wormLength = 5, headIndex = 0, looseCount = 0;
    int32_t matchList[kKpGameCubes] = {}, matchCount = 0;
    int32_t nextWormCubes[5] = {};
    int32_t pathCells[kKpPathMax][2] = {}, pathCount = 0;
    // Grids: the colour of the loose cube on each cell (KP_NO_COLOUR none), and the cube.
    int32_t materialGrid[kKpCells] = {}, cubeGrid[kKpCells] = {};

    // Colours of the next worm.
    uint8_t wormRow[5] = {};
    int32_t nextColour = 80, patternRow = 1;

    // Motion.
    int32_t speed = 7, newSpeed = 7, pacingIndex = 1, subStep = 0, speedMode = 1, speedChanged = 0;
    float stepSize = 0;
    int32_t turnRun = 0, turnCount = 0, turnArmed = 0, turnShown = 0, startDelay = 5;
    int32_t newWormPending = 0, newWormShown = 0, tailInside = 0, entryAlongX = 1;

    // Matches.
    int32_t finishing = 0, finishCountdown = 0, stepCountdown = 0, blockWait = 0, graceOver = 0;
    int32_t fastGrace = 0, stepPressed = 0, headShift = 0;

    // The level's course.
    int32_t exitCount = 0, exitsReached = 0, reachedExit = 0, rowsDone = 1;
    int32_t levelRunning = 0, levelLost = 0, runOver = 0, paused = 0;

    // Turn input and the frame record (the tick's).
    int32_t leftHeld = 0, rightHeld = 0, turnState = 0, mayTurn = 1, mayStep = 1;
    int32_t pendingSteps = 0, stepPhase = 0, keyEdge = 0, releaseLatch = 0;
    uint8_t lastFrame[5] = {};
    uint32_t elapsedTenths = 0;

    // The turn indicator over a cube: shown, red (turnRun) or green, the direction it points.
    int32_t indicatorShown = 0, indicatorRed = 0, indicatorCube = 0, indicatorDirection = 0;
    // The renderer's switches the rules raise.
    int32_t introFrame = 0, sceneLive = 1, newLevelSwitch = 0, blinkMode = 0, wormSwitch = 1;
    int32_t fullRedraw = 0, indicatorLive = 1;
};

// Tables of the pacing in use ([pacing][speed]).
extern const int32_t kKpStepCounts[3][9];
extern const float kKpStepIncrement[3][9];
extern const int32_t kKpWaitSteps[4];

int32_t KpRound(float x);
// The unscaled cell values of a position (0..109 on the board).
int32_t KpCellValue(float position);
// The cell of a position (-1 below the board).
int32_t KpCellOf(float position);

// ---- the board and its files ----

// streakCount and the pattern-fault flag from the header's pattern (a place is empty unless 4..9).
void KpCheckStreaks(KpRules &r);
void KpCountColours(KpRules &r, const int colours[7]);
// The header's pattern on the pattern cubes, then the level set-up.
void KpApplyPattern(KpRules &r);
// The editor's file operations through the host's browser.
void KpSaveLevel(KpRules &r);
void KpSaveWorkLevel(KpRules &r);
void KpOpenWorkLevel(KpRules &r);
void KpOpenLevel(KpRules &r);
// Reads a level file into the header and board, or refuses it ("Damaged Kelpa file !") and keeps
// the current level. True when read.
bool KpLoadLevelFile(KpRules &r, const char *name, bool workFile);
// The trial start's checks ("ERROR: Uncompleted streak !", "ERROR: No Exit !"); true when they pass.
bool KpTestChecks(KpRules &r);
// The level file name of a kind-100 position 0..21, and its class (0..2) and number (1..).
void KpKind100Level(int position, int &family, int &number, char *name, size_t size);

// ---- the worm rules ----

void KpBuildBoardGrid(KpRules &r);
void KpBuildCubeGrid(KpRules &r);
void KpAdvance(KpRules &r);
void KpBackOff(KpRules &r);
void KpStep(KpRules &r);
void KpTurn(KpRules &r, int key);
void KpFinishTurn(KpRules &r, int key);
void KpFinishUpdate(KpRules &r);
void KpArmTurn(KpRules &r);
void KpNextWormRow(KpRules &r);
void KpNewWorm(KpRules &r);
void KpCheckMatches(KpRules &r);
void KpSettleWorm(KpRules &r);
void KpTailCheck(KpRules &r);
void KpHeadArrive(KpRules &r);
// The number of cubes lined up with a segment (its colour, the four walks and the side walks).
int KpMatchCount(KpRules &r, int segment, int *cells = nullptr, int capacity = 0);

// ---- the frame record and the rule drive of one tick ----

struct KpFrameInput {
    int32_t left = 0, right = 0, turnState = 0, mayTurn = 0, mayStep = 0, steps = 0, edge = 0;
    int32_t turnRun = 0, speed = 0;
    uint32_t time = 0;
};
void KpEncodeFrame(const KpFrameInput &in, uint8_t out[5]);
KpFrameInput KpDecodeFrame(const uint8_t frame[5]);
int KpApplyReplayFrame(KpRules &r, const uint8_t frame[5]);

// Key presses and releases as the tick and the window see them (side 0 left, 1 right).
void KpKeyDown(KpRules &r, int side);
void KpKeyUp(KpRules &r, int side);
// The step key: taken at once before the level runs, carried in the next frame while it runs.
void KpStepKey(KpRules &r);

enum KpFrameOutcome { KP_FRAME_IDLE = 0, KP_FRAME_MOVED = 1, KP_FRAME_WAITED = 2, KP_FRAME_WON = 3,
                      KP_FRAME_LOST = 4 };
struct KpDriveState {
    uint8_t frame[5] = {};
    int32_t savedTurnCount = 0, savedTurnRun = 0, savedTotal = 0;
};
// One frame of a running level: encode and apply the frame (or apply `playback`), then the
// countdowns, the finish update or one increment of motion. The frame applied is left in `d`.
int KpDriveFrame(KpRules &r, KpDriveState &d, const uint8_t *playback);
// The early turn at the first increment of a cell step: back off, apply a fresh frame, overwrite
// the recorded frame, advance again.
void KpEarlyTurn(KpRules &r, KpDriveState &d);
bool KpLevelWon(const KpRules &r);

// ---- level set-up and new game ----

int KpLevelSetup(KpRules &r);
// The most cubes of one colour the random rule gives by choice on a board of `randomCells`.
int KpColourQuota(int randomCells);
void KpLayoutPattern(KpRules &r);
void KpLayoutPalette(KpRules &r);
// Kind 101 families 0..4 and kind 100 positions: the board or file chosen and the title row, as
// the new game sets them. Returns the text row of the title (0: none), with the number for kind 100.
int KpNewGame(KpRules &r, const char *levelPath, int *titleNumber);
// The first worm's segment positions and every placed cube: the colour of cube c.
int KpCubeColour(KpRules &r, int cube);

// ---- a level played headless ----

// A key event: at `frame`, 'l' / 'r' press the left / right turn key, 'L' / 'R' release it, 's' the
// step key. Written "120l 124L 300s".
struct KpKeyEvent {
    int32_t frame;
    char key;
};
bool KpParseKeys(const char *text, std::vector<KpKeyEvent> &out, std::string &error);
struct KpPlayResult {
    int verdict = 0;  // 1 won, -1 lost, 0 still running when the frames ran out
    int frames = 0, exitsReached = 0, rows = 0;
    uint32_t hash = 0;  // of the positions of the 131 game cubes
};
// A kind-100 game of the level: set-up with the generator seeded by `seed`, the start, then frames
// with the key events until the level is won or lost or `maxFrames` have run.
KpPlayResult KpPlayLevel(const KpLevelFile &level, uint32_t seed, const std::vector<KpKeyEvent> &keys,
                         int speed = 7, int maxFrames = 100000);

// ---- recordings and replay files ----

// The trial recording ("proba_<player>.re"), the worm recording ("worm_<player>.re"), their
// assembly into a replay (".rep"), and a replay read back for playback. Names are joined onto
// `folder` (the game's "kp" write folder, ending in a separator).
constexpr int kKpTrialHeader = 12 + kKpHeaderWords * 4 + kKpCells * 4;  // 688
constexpr int kKpWormBytes = 5000;
// Worm rows a replay can carry: 5 * rows + 1 <= kKpWormBytes.
constexpr int kKpMaxWormRows = (kKpWormBytes - 1) / 5;

struct KpReplayFiles {
    char folder[260] = {};
    char player[12] = {};  // made safe for file names, 11 characters at most, NUL padded
    char shownPlayer[12] = {};  // as the trial header keeps it: 11 characters at most, NUL padded
    int32_t gameKind = 101, levelFamily = 0, levelNumber = 0;
    FILE *trialFile = nullptr, *wormFile = nullptr;
    int32_t recordingOn = 0, framesWritten = 0;
    int32_t writeFailed = 0;  // a recording file lost bytes: no replay is made of it
    // Worm rows recorded in this level; more than a replay can carry leaves no replay.
    int32_t wormRowsWritten = 0, wormTooLong = 0;
    // Playback: the worm section, the player stored, the level and the frames.
    uint8_t wormRows[kKpWormBytes] = {};
    int32_t wormBytes = 0, wormRowIndex = 0;
    char replayPlayer[12] = {};
    KpLevelFile level;
    std::vector<uint8_t> frames;
    size_t frameCursor = 0;
    uint8_t readFrame[5] = {};
};

// A name as it may enter a file name: 11 characters at most, separators, dots leading a name,
// control characters and ':' replaced by '_'; an empty name becomes "_".
void KpSafeName(const char *name, char out[12]);
// The full path of a name in the folder.
std::string KpReplayPath(const KpReplayFiles &f, const char *name);
void KpReplaySetPlayer(KpReplayFiles &f, const char *name);
// Recording: the trial file with its header (false: cannot create, recording off), a frame
// (overwrite: the frame written last is replaced), a worm row (first: the worm file starts), close.
bool KpReplayBegin(KpReplayFiles &f, const int32_t header[kKpHeaderWords], const int32_t board[kKpCells]);
bool KpReplayFrameWrite(KpReplayFiles &f, const uint8_t frame[5], bool overwrite);
void KpReplayWormWrite(KpReplayFiles &f, const uint8_t row[5], bool first);
void KpReplayClose(KpReplayFiles &f);
// The replay's letter code of a sum: base 26, least significant letter first ('A' = 0).
std::string KpReplayCode(uint32_t sum);
// The replay's own name: kind 100 "kp_<player>_<family>_<level>.rep", else "kp_<family>_<level>.rep".
std::string KpReplayName(const KpReplayFiles &f);
// Joins the worm and trial recordings into the replay (written whole under a temporary name, then
// renamed). From the tick in kind 100 an existing replay stays (answer 0). `sum` gets the code's sum.
// 1 when done or recording is off, 0 when kept or failed.
int KpReplayAssemble(KpReplayFiles &f, bool fromTick, uint32_t *sum);
// After a best time: `pushedOut` (the replay the table gave back) is deleted when it is a plain
// "kp_*.rep" name, the replay is copied to "kp_<code>.rep" (its name to `codeName`); then the replay
// becomes the player's "kp_<player>_last.rep".
void KpReplayKeep(KpReplayFiles &f, bool placed, uint32_t sum, const char *pushedOut, std::string *codeName);
// Opens a replay for playback: sizes checked against its sections (the worm section at most 5000
// bytes), the header and board as a level file. False: cannot open (nothing changed but the state).
bool KpReplayOpen(KpReplayFiles &f, const char *path);
bool KpReplayParse(KpReplayFiles &f, const uint8_t *data, size_t size);
// The next frame into readFrame (at the end the last one stays); false when none was left.
bool KpReplayNextFrame(KpReplayFiles &f);
// The next worm row of the replay (false past its section: the row is left as it was).
bool KpReplayNextWormRow(KpReplayFiles &f, uint8_t row[5]);
