// libFuzzer target: a pack's header and directory, then every entry read and sought through the
// file interface. Any read outside the bytes given is caught by the address sanitizer.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "pack.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // An exactly sized copy, so that one byte too far is a fault.
    auto *bytes = static_cast<uint8_t *>(malloc(size ? size : 1));
    memcpy(bytes, data, size);
    auto *pack = static_cast<FFPACKHANDLE *>(calloc(1, sizeof(FFPACKHANDLE)));
    if (px::pack_attach(pack, bytes, size, "fuzz.fpk")) {
        uint8_t buf[97];
        for (uint32_t i = 0; i < pack->count; i++) {
            FFFILEHANDLE *f = FFOpenP(pack, pack->directory[i].name);
            if (f == nullptr)
                continue; // an unsorted directory hides some names from the search
            int32_t total = 0, n;
            while ((n = FFRead(f, buf, sizeof buf)) > 0)
                total += n;
            if (n < 0 || uint32_t(total) != f->entry->size)
                abort();
            if (FFSeek(f, 0, 2) != int32_t(f->entry->size) || FFSeek(f, 1, 2) != -1)
                abort();
            FFSeek(f, -int32_t(size & 0xFF), 1);
            FFRead(f, buf, sizeof buf);
            FFClose(f);
        }
    }
    free(pack->directory);
    free(pack);
    free(bytes);
    return 0;
}
