// libFuzzer target: cell description lines read into a scene of four cells, then written back and
// read again, as the layout editor does.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "dialog.h"

namespace {

void read_into(PXSCENE *scene, const void *data, size_t size)
{
    if (size == 0)
        return;
    FILE *f = fmemopen(const_cast<void *>(data), size, "r");
    if (f == nullptr)
        return;
    px::cells_load_stream(f, scene);
    fclose(f);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    PXCELLA cells[4] = {};
    PXSCENE scene{};
    scene.cells = cells;
    scene.cellCount = 4;
    read_into(&scene, data, size);
    for (PXCELLA &c : cells)
        if (c.type < 0 && (c.flags & CF_DISABLED) == 0)
            abort();
    // What the writer makes reads back to the same types and flags.
    const std::string text = px::cells_format(&scene);
    PXCELLA again[4] = {};
    PXSCENE second{};
    second.cells = again;
    second.cellCount = 4;
    read_into(&second, text.data(), text.size());
    for (int i = 0; i < 4; i++) {
        if (again[i].type != cells[i].type && cells[i].type >= 0)
            abort();
        if (again[i].flags != (cells[i].flags & ~uint32_t(CF_REBUILD)))
            abort();
        px::cell_free_owned(&cells[i]);
        px::cell_free_owned(&again[i]);
    }
    return 0;
}
