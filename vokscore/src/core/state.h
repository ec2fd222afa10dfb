// Module-wide state of the framework beside the interface record, and the internal entries the areas
// call of each other.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>

#include "vokscore/vokiface.h"

struct PlatFolderLock;

namespace vok {

struct FrameworkState {
    HMODULE module = nullptr;
    char root[VOK_PATH_SIZE] = {};     // the module's own folder, with its trailing separator
    char fallback[VOK_PATH_SIZE] = {}; // copy of the root taken at start: where the data disc is looked for
    char playerName[VOK_NAME_SIZE] = {};
    int gameMode = VOK_KIND_CHALLENGE;
    uint32_t gameType = 0;
    int soundUses = 0;
    int textUses = 0;
    bool started = false;
    HWND firstWindow = nullptr;
};

FrameworkState &state();
VokInterFace &iface();
VokGeneralSettings &general();

// The framework's own copy of each game's settings block and its size.
void *own_block(int game);
size_t block_size(int game);
// The settings a fresh start has: the general record (its block pointers kept) and game `game`'s
// block.
void default_general(VokGeneralSettings &out);
void default_block(int game, void *out);
// Game number 0..4 of an identifier, or -1.
int game_number(uint32_t gameId);

// Joins folder parts and a name into `out` (a backslash after every non-empty folder part that does
// not end in one). False, with `out` emptied, when the result does not fit.
bool join_path(char *out, size_t size, const char *const *parts, size_t count);
// readRoot (or the module root before the start) + name, in a caller's buffer.
bool root_file(char *out, size_t size, const char *name);
// Replaces a whole file under its final name through a temporary file; false when it failed.
bool save_file(const char *path, const void *data, size_t size);
// Reads a whole file; false when it cannot be opened.
bool load_file(const char *path, std::string &data);
// How a whole-file read ended: only a file that is not there is kMissing; a folder, a file that may
// not be read or a read error is kFailed, and such a file is left as it is.
enum class Load { kRead, kMissing, kFailed };
Load load_file_status(const char *path, std::string &data);
// Held around a read, change and write of a file that other processes change too.
class UpdateLock {
public:
    explicit UpdateLock(const char *path);
    ~UpdateLock();
    UpdateLock(const UpdateLock &) = delete;
    UpdateLock &operator=(const UpdateLock &) = delete;
    bool held() const { return lock_ != nullptr; }

private:
    PlatFolderLock *lock_;
};

// The DirectSound object was made (and not released since).
bool sound_created();

// Scores: the module's best ranks back to -1.
void reset_best_ranks();

// A message in the platform's box even while a screen runs (screenPix is cleared for the call and
// put back): the framework's own screens report through it.
int message_box_plain(HWND window, unsigned type, const char *format, ...);

}  // namespace vok
