// The "OwnFs" filesystem: the standard record with its open-for-reading replaced, so that the 3D
// library reads its model files out of terrow.pck. The pack is the module's own directory and not the
// framework's current sound pack, which the main program's menu sounds keep using.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include <brondel/brdbfile.h>
#include <brondel/brfile.h>
#include <brondel/brmodel.h>

#include "terrow/trfield.h"
#include "terrow/trlook.h"
#include "terrow/trshell.h"
#include "vokplat/paths.h"
#include "vokscore/soundpack.h"

namespace {

std::unique_ptr<vokpack::Directory, void (*)(vokpack::Directory *)> g_pack(nullptr, vokpack::free_dir);
br_filesystem g_ownfs = {};
br_filesystem *g_previous = nullptr;

// The entry in memory: the stream ends where the entry does, so a damaged model cannot read on into
// the next one. The stream owns its buffer and frees it when closed.
FILE *bounded_stream(const std::vector<uint8_t> &data)
{
    if (data.empty())
        return tmpfile();
    FILE *f = fmemopen(nullptr, data.size(), "w+b");
    if (f == nullptr)
        return nullptr;
    if (fwrite(data.data(), 1, data.size(), f) != data.size()) {
        fclose(f);
        return nullptr;
    }
    rewind(f);
    return f;
}

}  // namespace

extern "C" {

int32_t OwnFs_OpenPack(const char *path)
{
    g_pack.reset();
    if (path == nullptr)
        return 0;
    // The pack stays open for later loads, whatever folder the game is in by then: its path is
    // kept whole.
    char host[4096], whole[PATH_MAX];
    if (PlatResolvePath(path, host, sizeof host) == 0 || realpath(host, whole) == nullptr)
        return 0;
    g_pack.reset(vokpack::read_dir(whole));
    return g_pack != nullptr ? 1 : 0;
}

void OwnFs_ClosePack(void)
{
    g_pack.reset();
}

void OwnFs_Install(void)
{
    BrFilesystemSet(nullptr);
    g_previous = BrFilesystemSet(&g_ownfs);
    g_ownfs = *g_previous;
    g_ownfs.identifier = "OwnFs";
    g_ownfs.open_read = OwnFs_OpenRead;
}

void OwnFs_Restore(void)
{
    BrFilesystemSet(g_previous);
}

const br_filesystem *OwnFs_Record(void)
{
    return &g_ownfs;
}

void *OwnFs_OpenRead(const char *name, br_size_t nMagics, br_mode_test_cbfn *identify, int *modeResult)
{
    if (modeResult != nullptr)
        *modeResult = BR_FS_MODE_BINARY;
    if (g_pack == nullptr || name == nullptr)
        return nullptr;
    std::vector<uint8_t> data;
    if (!vokpack::load_entry(*g_pack, name, data) || data.size() < nMagics)
        return nullptr;
    // The reader learns the file's form from its first bytes; the pack holds binary files only.
    if (nMagics > 0 && identify != nullptr)
        identify(data.data(), nMagics);
    return bounded_stream(data);
}

br_model *OwnFs_Load(const char *name)
{
    OwnFs_Install();
    br_model *m = BrModelLoad(name);
    OwnFs_Restore();
    if (m != nullptr)
        m->flags = 0x82;
    return m;
}

uint32_t OwnFs_LoadMany(const char *name, br_model **models, uint16_t count)
{
    OwnFs_Install();
    uint32_t n = BrModelLoadMany(name, models, count);
    OwnFs_Restore();
    for (uint32_t i = 0; i < n; i++)
        models[i]->flags = 0x82;
    return n;
}

// Field flags of the current field. The extras word's bits 2 and 4 are the level flags 0x02 and 0x04.
void Palya_ClearElemFlags(uint32_t bits)
{
    TrPalya *f = TrGetShell()->field;
    if (f == nullptr)
        return;
    for (int32_t i = 0; i < f->count; i++)
        f->elements[i]->io->flags &= ~bits;
}

void Palya_SetExtraBit2(void)
{
    if (TrPalya *f = TrGetShell()->field)
        f->levelFlags |= LF_PLAYABLE;
}

int32_t Palya_ExtraBit4(void)
{
    TrPalya *f = TrGetShell()->field;
    return f != nullptr && (f->levelFlags & LF_SECRET) != 0 ? 1 : 0;
}

int32_t Palya_Modified(void)
{
    TrPalya *f = TrGetShell()->field;
    return f != nullptr && (f->flags & PF_MODIFIED) != 0 ? 1 : 0;
}

}  // extern "C"
