// The routines descriptions name and the two screen tables filled from the carried files.
#include <string.h>

#include <map>
#include <string>

#include "pannix/pxbase.h"
#include "scenedesc.h"
#include "win32/winmisc.h"

namespace vok {

namespace {

struct Routine {
    int kind;
    void *routine;
};

std::map<std::string, Routine> &routines()
{
    static std::map<std::string, Routine> table;
    return table;
}

struct Tables {
    bool loaded = false;
    bool ok = true;
    std::string error;
    std::vector<std::unique_ptr<ScreenDesc>> descs;
    VokScene *interface[VOK_INTERFACE_SCREENS] = {};
    VokScene *game[VOK_GAME_SCREENS] = {};
    VokScene *backdrop = nullptr;
};

Tables &tables()
{
    static Tables t;
    return t;
}

}  // namespace

void *find_routine(const char *name, int kind)
{
    auto it = routines().find(name ? name : "");
    return it != routines().end() && it->second.kind == kind ? it->second.routine : nullptr;
}

const char *routine_name(const void *routine)
{
    for (auto &[name, r] : routines())
        if (r.routine == routine)
            return name.c_str();
    return nullptr;
}

void add_routine(const char *name, int kind, void *routine)
{
    routines()[name] = Routine{kind, routine};
}

bool load_screen_tables()
{
    Tables &t = tables();
    if (t.loaded) {
        if (!t.ok)
            SetLastMsgError("%s", t.error.c_str());
        return t.ok;
    }
    t.loaded = true;
    for (size_t i = 0; i < kEmbeddedScreenCount; i++) {
        const EmbeddedScreen &f = kEmbeddedScreens[i];
        std::string error;
        std::unique_ptr<ScreenDesc> d = parse_screen(f.name, f.text, f.size, error);
        if (!d) {
            // The build checks every file, so this only happens to a library built past the check.
            t.ok = false;
            t.error = error;
            OutputDebugStringA(("VokScore: " + error + "\n").c_str());
            continue;
        }
        VokScene *&slot = d->table == kTableInterface ? t.interface[d->entry]
                          : d->table == kTableGame    ? t.game[d->entry]
                                                      : t.backdrop;
        if (!slot)
            slot = &d->scene;
        t.descs.push_back(std::move(d));
    }
    if (!t.ok)
        SetLastMsgError("%s", t.error.c_str());
    return t.ok;
}

void set_screen(int table, int entry, VokScene *scene)
{
    Tables &t = tables();
    load_screen_tables();
    if (table == kTableInterface && entry >= 0 && entry < VOK_INTERFACE_SCREENS)
        t.interface[entry] = scene;
    if (table == kTableGame && entry >= 0 && entry < VOK_GAME_SCREENS)
        t.game[entry] = scene;
    if (table == kTableBackdrop && entry == 0)
        t.backdrop = scene;
}

VokScene *backdrop_screen()
{
    load_screen_tables();
    if (!tables().backdrop)
        SetLastMsgError("No screen description for the backdrop");
    return tables().backdrop;
}

VokScene *interface_screen(int entry)
{
    load_screen_tables();
    return entry >= 0 && entry < VOK_INTERFACE_SCREENS ? tables().interface[entry] : nullptr;
}

}  // namespace vok

VOK_EXPORT VokScene *VokInterfaceScreen(int entry)
{
    if (!vok::interface_screen(entry)) {
        SetLastMsgError("No screen description for interface screen %d", entry);
        return nullptr;
    }
    return vok::tables().interface[entry];
}

VOK_EXPORT VokScene *VokGameScreen(int number)
{
    vok::load_screen_tables();
    if (number < 0 || number >= VOK_GAME_SCREENS || !vok::tables().game[number]) {
        SetLastMsgError("No screen description for game screen %d", number);
        return nullptr;
    }
    return vok::tables().game[number];
}
