// Datafiles in either form: records of every member type, counted blocks into fresh memory and
// into a fixed buffer, names, unknown chunks; the stack must come back to where it was.
#include <stdlib.h>

#include "df_fuzz_common.h"
#include "memfs.h"

namespace {

void *iteration; // parent of everything one input allocates

int on_model(br_datafile *df, br_uint_32, br_uint_32, br_uint_32)
{
    fuzz::Rec recs[2];
    memset(recs, 0, sizeof(recs));
    DfStructReadArray(df, &fuzz::rec_template, recs, 2);
    return 0;
}

int on_vertices(br_datafile *df, br_uint_32, br_uint_32, br_uint_32 count)
{
    br_uint_32 n = count;
    void *block = df->prims->block_read(df, nullptr, &n, 2, BR_MEMORY_SCRATCH);
    (void)block;
    return 0;
}

int on_faces(br_datafile *df, br_uint_32, br_uint_32, br_uint_32)
{
    br_uint_8 buf[64];
    br_uint_32 n = 16;
    df->prims->block_read(df, buf, &n, 4, 0);
    return 0;
}

int on_actor(br_datafile *df, br_uint_32, br_uint_32, br_uint_32)
{
    char name[256];
    df->prims->name_read(df, name);
    DfPush(7, iteration, 1);
    return 0;
}

int on_end(br_datafile *, br_uint_32, br_uint_32, br_uint_32)
{
    return 1;
}

const DfChunkEntry entries[] = {
    {FID_END, 0, on_end},         {FID_MODEL, 0, on_model}, {FID_VERTICES, 1, on_vertices},
    {FID_FACES, 0, on_faces},     {FID_ACTOR, 0, on_actor},
};
const DfChunkTable table = {sizeof(entries) / sizeof(entries[0]), entries};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::serve(data, size);
    int depth = DfTopType();
    br_uint_32 scalar = size > 0 && (data[size - 1] & 1) ? BRT_FLOAT : BRT_FIXED;
    br_datafile *df = DfOpen("input.dat", DF_DIRECTION_READ, scalar);
    if (df == nullptr)
        return 0;
    iteration = BrResAllocate(nullptr, 0, BR_MEMORY_ANCHOR);
    df->res = iteration;
    while (DfChunksInterpret(df, &table) != 0) {
    }
    DfClose(df);
    BrResFree(iteration);
    if (DfTopType() != depth)
        abort();
    return 0;
}
