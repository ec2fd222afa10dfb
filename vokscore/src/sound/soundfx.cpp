// The framework's sound exports: sets over the process's DirectSound object, the menu sound set and
// the pack reader.
#include <stdlib.h>
#include <string.h>

#include "state.h"
#include "vokscore/soundpack.h"
#include "vokscore/soundset.h"
#include "vokscore/vokpath.h"
#include "vokscore/voksound.h"

namespace vok {
IDirectSound *direct_sound();
}

struct SoundSet {
    vokpack::SoundSetData *data = nullptr;
};
struct VokSoundPackDir : vokpack::Directory {};

namespace {

// The menu sound set lives while its use count is above 0.
struct MenuSound {
    SoundSet *set = nullptr;
    int uses = 0;
};

MenuSound &menu()
{
    static MenuSound m;
    return m;
}

bool effects_on()
{
    return vok::general().soundEffects != 0;
}

SoundSet *init_set(const char *packPath, int buffers)
{
    vokpack::SoundSetData *data = vokpack::build_set(vok::direct_sound(), packPath, buffers);
    if (data == nullptr)
        return nullptr;
    return new SoundSet{data};
}

vokpack::Directory *dir_or_current(VokSoundPackDir *dir)
{
    return dir != nullptr ? static_cast<vokpack::Directory *>(dir) : vokpack::current();
}

}  // namespace

VOK_EXPORT SoundSet *VokInitSound(const char *packPath)
{
    return init_set(packPath, 1);
}

VOK_EXPORT SoundSet *VokKillSound(SoundSet *set)
{
    if (set != nullptr) {
        vokpack::kill_set(set->data);
        delete set;
    }
    return nullptr;
}

VOK_EXPORT void VokPlaySound(SoundSet *set, int index)
{
    if (effects_on() && set != nullptr)
        vokpack::play(set->data, index);
}

VOK_EXPORT VokLoopHandle VokPlayLoopSound(SoundSet *set, int index)
{
    if (!effects_on())
        return VOK_LOOP_OFF;
    return set != nullptr ? vokpack::play_loop(set->data, index) : 0;
}

VOK_EXPORT int VokStopLoopSound(VokLoopHandle handle)
{
    if (!effects_on())
        return 0;
    if (handle != 0 && handle != VOK_LOOP_OFF)
        return int(vokpack::stop_loop(handle));
    return int(handle);
}

VOK_EXPORT int IfInitSound(void)
{
    MenuSound &m = menu();
    if (m.uses++ == 0)
        m.set = init_set(VokMakeWritePath(nullptr, "mnusound.pck"), 2);
    return m.uses;
}

VOK_EXPORT void IfKillSound(void)
{
    MenuSound &m = menu();
    if (m.uses <= 0)
        return;
    if (--m.uses == 0)
        m.set = VokKillSound(m.set);
}

VOK_EXPORT void IfPlaySound(int index)
{
    VokPlaySound(menu().set, index);
}

VOK_EXPORT int VokOpenSoundPack(const char *path)
{
    return vokpack::open_current(path) ? 1 : 0;
}

VOK_EXPORT void VokCloseSoundPack(void)
{
    vokpack::close_current();
}

VOK_EXPORT VokSoundPackDir *VokReadSoundPackDir(const char *path)
{
    vokpack::Directory *dir = vokpack::read_dir(path);
    if (dir == nullptr)
        return nullptr;
    auto *out = new VokSoundPackDir;
    static_cast<vokpack::Directory &>(*out) = std::move(*dir);
    vokpack::free_dir(dir);
    return out;
}

VOK_EXPORT void VokFreeSoundPackDir(VokSoundPackDir *dir)
{
    delete dir;
}

VOK_EXPORT FILE *VokOpenSoundPackEntry(VokSoundPackDir *dir, const char *name)
{
    vokpack::Directory *d = dir_or_current(dir);
    return d != nullptr ? vokpack::open_entry(*d, name) : nullptr;
}

VOK_EXPORT void *VokLoadSoundPackEntry(VokSoundPackDir *dir, const char *name, uint32_t *size)
{
    vokpack::Directory *d = dir_or_current(dir);
    std::vector<uint8_t> data;
    if (d == nullptr || !vokpack::load_entry(*d, name, data))
        return nullptr;
    void *block = malloc(data.empty() ? 1 : data.size());
    if (block == nullptr)
        return nullptr;
    if (!data.empty())
        memcpy(block, data.data(), data.size());
    if (size != nullptr)
        *size = uint32_t(data.size());
    return block;
}

VOK_EXPORT void VokResetSoundPackFind(void)
{
    if (vokpack::Directory *d = vokpack::current())
        vokpack::reset_find(*d);
}

VOK_EXPORT const char *VokFindSoundPackEntry(VokSoundPackDir *dir, const char *substring)
{
    vokpack::Directory *d = dir_or_current(dir);
    return d != nullptr ? vokpack::find_next(*d, substring) : nullptr;
}
