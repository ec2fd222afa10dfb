// Sound sets: one object per pack entry, buffers chosen round robin, lost buffers restored and refilled.
#include <string.h>
#include <sys/stat.h>

#include <map>

#include "vokplat/stdio.h"
#include "vokscore/soundpack.h"
#include "vokscore/soundset.h"

namespace vokpack {

namespace {

// Live loop handles; a set's handles leave with it, so a stale handle finds nothing to stop.
struct LoopTable {
    intptr_t next = 1;
    std::map<intptr_t, IDirectSoundBuffer *> live;
};

LoopTable &loops()
{
    static LoopTable t;
    return t;
}

// The name comes from the pack: only a regular file no larger than a buffer's sound plus its headers is
// read, so a name such as a device or a pipe cannot make the read endless.
bool read_file(const char *path, std::vector<uint8_t> &data)
{
    constexpr size_t kMaxImage = size_t(DSBSIZE_MAX) + 65536;
    data.clear();
    FILE *f = PlatFopen(path, "rb");
    if (f == nullptr)
        return false;
    struct stat st {};
    bool ok = fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode) && uint64_t(st.st_size) <= kMaxImage;
    uint8_t chunk[65536];
    size_t n;
    while (ok && (n = fread(chunk, 1, sizeof chunk, f)) > 0) {
        ok = data.size() + n <= kMaxImage;
        if (ok)
            data.insert(data.end(), chunk, chunk + n);
    }
    ok = ok && !ferror(f);
    fclose(f);
    if (!ok)
        data.clear();
    return ok;
}

bool fill(IDirectSoundBuffer *b, const SoundObject &o)
{
    void *p1 = nullptr, *p2 = nullptr;
    DWORD n1 = 0, n2 = 0;
    const DWORD length = DWORD(o.wave.dataSize);
    if (b->Lock(0, length, &p1, &n1, &p2, &n2, 0) != DS_OK)
        return false;
    const uint8_t *src = o.image.data() + o.wave.dataOffset;
    if (n1 > length)
        n1 = length;
    if (n2 > length - n1)
        n2 = length - n1;
    memcpy(p1, src, n1);
    if (p2 != nullptr)
        memcpy(p2, src + n1, n2);
    return b->Unlock(p1, n1, p2, n2) == DS_OK;
}

std::unique_ptr<SoundObject> make_object(IDirectSound *ds, const char *name, int buffers)
{
    auto o = std::make_unique<SoundObject>();
    o->name = name;
    Directory *dir = current();
    bool parsed = dir != nullptr && load_entry(*dir, name, o->image) &&
                  parse_wave(o->image.data(), o->image.size(), o->wave);
    // Not in the pack (or no sound there): the name is taken as a file of its own.
    if (!parsed)
        parsed = read_file(name, o->image) && parse_wave(o->image.data(), o->image.size(), o->wave);
    if (!parsed || o->wave.dataSize > DSBSIZE_MAX)
        return nullptr;

    WAVEFORMATEX format{};
    format.wFormatTag = o->wave.formatTag;
    format.nChannels = o->wave.channels;
    format.nSamplesPerSec = o->wave.samplesPerSec;
    format.nAvgBytesPerSec = o->wave.avgBytesPerSec;
    format.nBlockAlign = o->wave.blockAlign;
    format.wBitsPerSample = o->wave.bitsPerSample;
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DSBCAPS_STATIC | DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME |
                   DSBCAPS_GETCURRENTPOSITION2;
    desc.dwBufferBytes = DWORD(o->wave.dataSize);
    desc.lpwfxFormat = &format;
    IDirectSoundBuffer *first = nullptr;
    if (ds->CreateSoundBuffer(&desc, &first, nullptr) != DS_OK || first == nullptr)
        return nullptr;
    o->buffers.push_back(first);
    if (!fill(first, *o))
        return nullptr;  // the destructor releases the buffer
    for (int i = 1; i < buffers; i++) {
        IDirectSoundBuffer *copy = nullptr;
        if (ds->DuplicateSoundBuffer(first, &copy) != DS_OK || copy == nullptr)
            return nullptr;
        o->buffers.push_back(copy);
    }
    return o;
}

// The buffer to play now, or null.
IDirectSoundBuffer *choose(SoundObject &o)
{
    const int count = int(o.buffers.size());
    IDirectSoundBuffer *b = o.buffers[size_t(o.position)];
    DWORD status = 0;
    b->GetStatus(&status);
    if (status & DSBSTATUS_PLAYING) {
        if (count == 1)
            return nullptr;
        o.position = (o.position + 1) % count;
        b = o.buffers[size_t(o.position)];
        status = 0;
        b->GetStatus(&status);
        if (status & DSBSTATUS_PLAYING) {
            b->Stop();
            b->SetCurrentPosition(0);
        }
    }
    if (status & DSBSTATUS_BUFFERLOST) {
        // Lost while playing, it kept its position: the refilled sound starts from the beginning.
        if (b->Restore() != DS_OK || !fill(b, o) || b->SetCurrentPosition(0) != DS_OK)
            return nullptr;
    }
    return b;
}

IDirectSoundBuffer *object_at(SoundSetData *set, int index)
{
    if (set == nullptr || index < 0 || size_t(index) >= set->objects.size() || !set->objects[size_t(index)])
        return nullptr;
    return choose(*set->objects[size_t(index)]);
}

}  // namespace

SoundObject::~SoundObject()
{
    auto &live = loops().live;
    for (IDirectSoundBuffer *b : buffers) {
        for (auto it = live.begin(); it != live.end();)
            it = it->second == b ? live.erase(it) : std::next(it);
        b->Release();
    }
}

SoundSetData *build_set(IDirectSound *ds, const char *path, int buffers)
{
    if (ds == nullptr || path == nullptr || !open_current(path))
        return nullptr;
    auto set = std::make_unique<SoundSetData>();
    Directory *dir = current();
    // Names are copied first: building an object looks entries up in the same directory.
    std::vector<std::string> names;
    reset_find(*dir);
    for (const char *name; (name = find_next(*dir, nullptr)) != nullptr;)
        names.emplace_back(name);
    // A sound that fails keeps its slot (null), so later sounds keep their pack indices.
    for (const std::string &name : names)
        set->objects.push_back(make_object(ds, name.c_str(), buffers < 1 ? 1 : buffers));
    close_current();
    return set->objects.empty() ? nullptr : set.release();
}

void kill_set(SoundSetData *set)
{
    delete set;
}

bool play(SoundSetData *set, int index)
{
    IDirectSoundBuffer *b = object_at(set, index);
    return b != nullptr && b->Play(0, 0, 0) == DS_OK;
}

intptr_t play_loop(SoundSetData *set, int index)
{
    IDirectSoundBuffer *b = object_at(set, index);
    if (b == nullptr || b->Play(0, 0, DSBPLAY_LOOPING) != DS_OK)
        return 0;
    LoopTable &t = loops();
    // One handle per buffer: an older handle of the same buffer is dropped.
    for (auto it = t.live.begin(); it != t.live.end();)
        it = it->second == b ? t.live.erase(it) : std::next(it);
    const intptr_t handle = t.next++;
    if (t.next == kLoopOff || t.next == 0)
        t.next = 1;
    t.live[handle] = b;
    return handle;
}

HRESULT stop_loop(intptr_t handle)
{
    auto &live = loops().live;
    auto it = live.find(handle);
    if (it == live.end())
        return DSERR_INVALIDCALL;
    return it->second->Stop();
}

}  // namespace vokpack
