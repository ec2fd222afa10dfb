// Screen description files: the text form of a scene, its sessions and ikons (vokscore/screens/README.md),
// the parser that turns one into records, the checks `scrtool check` runs, the routines a file may
// name, and the table of the files the library carries.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "vokscore/vokscene.h"

namespace vok {

// Kinds of routine a description names.
enum RoutineKind { kRoutineSession = 1, kRoutineMouse, kRoutineKey, kRoutineWindow };

// The routine `name` of `kind`, or NULL when there is none.
void *find_routine(const char *name, int kind);
// Name of a registered routine (for the manifest and messages), NULL when unknown.
const char *routine_name(const void *routine);
// Adds a routine (screens and tests); a name given twice keeps the later routine.
void add_routine(const char *name, int kind, void *routine);

// Which table a file fills.
// The backdrop is the one scene that stays up under the game screens and while a game loads.
enum ScreenTable { kTableInterface = 0, kTableGame = 1, kTableBackdrop = 2 };

// One parsed description: the records and everything they point to.
struct ScreenDesc {
    int table = kTableInterface;
    int entry = -1;
    VokScene scene{};
    std::vector<VokSession> sessions;
    std::deque<std::vector<VokIkon>> ikons;
    std::deque<std::string> strings;
    std::deque<MOVIEDATA> movies;
    std::deque<VokControlDesc> controls;
    std::vector<int> ikonLines;    // line of every ikon, in session order, for the checks
    std::vector<int> sessionLines; // line of every session
    int focusLine = 0;             // line of focusSessionId
};

// Parses `text` (`name` only for messages). NULL with `error` = "name:line: what" on failure; the
// checks of a complete description (references, pictures, ranges) run too.
std::unique_ptr<ScreenDesc> parse_screen(const char *name, const char *text, size_t size, std::string &error);

// Every asset a description names: kind ("pack", "picture", "movie", "font"), pack, name, size (0 free).
struct AssetUse {
    std::string kind;
    std::string pack;
    std::string name;
    int width = 0;
    int height = 0;
};
void list_assets(const ScreenDesc &desc, std::vector<AssetUse> &out);
// Assets the framework's code names itself.
void list_code_assets(std::vector<AssetUse> &out);

// The files the library carries (generated from vokscore/screens at build time).
struct EmbeddedScreen {
    const char *name;
    const char *text;
    size_t size;
};
extern const EmbeddedScreen kEmbeddedScreens[];
extern const size_t kEmbeddedScreenCount;

// Parses the carried files into the two tables once; false (and the last-error text) when one fails.
bool load_screen_tables();
// Drops the tables (tests load their own descriptions).
void set_screen(int table, int entry, VokScene *scene);
// The backdrop scene's description; NULL with the last-error text when none is carried.
VokScene *backdrop_screen();
// The interface screen of `entry`, or null; a missing one is no error here (a search passes many).
VokScene *interface_screen(int entry);

}  // namespace vok
