// Key and mouse bindings: the general settings' global keys and the running game's own bindings.
#include "state.h"
#include "vokscore/voktext.h"
#include "win32/winuser.h"

namespace {

bool ctrl_down()
{
    return GetKeyState(VK_CONTROL) < 0;
}

bool shift_down()
{
    return GetKeyState(VK_SHIFT) < 0;
}

// A binding's modifiers are held (extra ones do not matter).
bool modifiers_held(KeyBinding b)
{
    if ((b & VOK_KEY_CTRL) && !ctrl_down())
        return false;
    if ((b & VOK_KEY_SHIFT) && !shift_down())
        return false;
    return true;
}

// The first binding whose key is `key` decides: its index, or -1 when its modifiers are not held.
int match(const KeyBinding *bindings, int count, int key)
{
    for (int i = 0; i < count; i++)
        if ((bindings[i] & 0xFF) == key)
            return modifiers_held(bindings[i]) ? i : -1;
    return -1;
}

// The running game's bindings, through its settings slot: Terrow's eight or Kelpa's three.
const KeyBinding *game_bindings(int *count)
{
    int game = vok::game_number(vok::iface().gameId);
    void *slot = game >= 0 ? vok::general().gameBlocks[game] : nullptr;
    if (slot == nullptr && game >= 0)
        slot = vok::own_block(game);
    if (game == 2) {
        *count = 8;
        return static_cast<TrSettings *>(slot)->keys;
    }
    if (game == 3) {
        *count = 3;
        return static_cast<KpSettings *>(slot)->keys;
    }
    *count = 0;
    return nullptr;
}

}  // namespace

VOK_EXPORT int VokCheckGlobalKeydown(int key)
{
    int i = match(vok::general().globalKeys, VOK_GLOBAL_KEYS, key);
    return i >= 0 ? i | 0x100 : -1;
}

VOK_EXPORT int VokCheckGameKeydown(int key)
{
    int global = VokCheckGlobalKeydown(key);
    if (global >= 0)
        return global;
    int count = 0;
    const KeyBinding *bindings = game_bindings(&count);
    return bindings != nullptr ? match(bindings, count, key) : -1;
}

VOK_EXPORT int VokCheckGameMouseclick(UINT message, WPARAM mkFlags)
{
    int button = message == WM_LBUTTONDOWN ? 1 : message == WM_RBUTTONDOWN ? 2 : message == WM_MBUTTONDOWN ? 4 : 0;
    if (button == 0)
        return -1;
    int count = 0;
    const KeyBinding *bindings = game_bindings(&count);
    for (int i = 0; i < count; i++) {
        KeyBinding b = bindings[i];
        if ((b & 0xFF) != button)
            continue;
        if (((b & VOK_KEY_CTRL) && (mkFlags & MK_CONTROL)) || ((b & VOK_KEY_SHIFT) && (mkFlags & MK_SHIFT)))
            return i;
    }
    return -1;
}
