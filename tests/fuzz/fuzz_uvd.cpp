// libFuzzer target: bytes read as a .uvd map of a small model in both modes. Every face must name a
// vertex that exists, and the vertices stay within what the corners can ask for.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include <sanitizer/lsan_interface.h>

#include <brondel/brfw.h>
#include <brondel/brmodel.h>
#include <brondel/brv1db.h>

#include "terrow/trlook.h"

namespace {

void quiet(const char *) {}
br_diaghandler g_quiet = {"fuzz", quiet, quiet};

// A strip of six faces over five vertices, corners shared.
br_model *strip()
{
    br_model *m = BrModelAllocate("strip", 5, 6);
    for (int i = 0; i < 5; i++) {
        BrVector3Set(&m->vertices[i].p, float(i), float(i & 1), 0);
        m->vertices[i].map.v[0] = 0.2f * float(i);
        m->vertices[i].map.v[1] = 0.7f;
    }
    for (int f = 0; f < 6; f++)
        for (int c = 0; c < 3; c++)
            m->faces[f].vertices[c] = br_uint_16((f + c) % 5);
    m->flags = BR_MODF_UPDATEABLE;
    return m;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The 3D instance lives as long as the run.
    static bool begun = [] {
        __lsan_disable();
        BrBegin();
        BrDiagHandlerSet(&g_quiet);
        __lsan_enable();
        return true;
    }();
    (void)begun;
    const std::string text(reinterpret_cast<const char *>(data), size);
    for (int mode = 0; mode < 2; mode++) {
        br_model *m = strip();
        if (UVMapText(m, text.c_str(), TrUTable, TrVTable, mode) == 1) {
            if (m->nvertices > 5 + 3 * 6)
                abort();
            for (int f = 0; f < m->nfaces; f++)
                for (int c = 0; c < 3; c++)
                    if (m->faces[f].vertices[c] >= m->nvertices)
                        abort();
        }
        BrModelFree(m);
    }
    return 0;
}
