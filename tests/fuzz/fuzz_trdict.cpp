// libFuzzer target: a Terrow dictionary file. No entry may come out longer than the collecting buffer
// or with printf conversions other than its default's.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "internal.h"
#include "terrow/trmsg.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    FILE *s = fmemopen(const_cast<uint8_t *>(data), size, "rb");
    if (s == nullptr)
        return 0;
    tr::read_dictionary(s);
    fclose(s);
    char out[64];
    for (int id = 0; id < TR_MESSAGE_COUNT; id++) {
        const char *text = TrMessage(id);
        if (strlen(text) >= TR_DICT_BUFFER)
            abort();
        // Every entry is safe as a format with the default's arguments.
        if (id == 30)
            snprintf(out, sizeof out, text, "x");
        else if (id == 49 || id == 52)
            snprintf(out, sizeof out, text, 3);
        else if (strchr(text, '%') != nullptr)
            snprintf(out, sizeof out, text);
    }
    TrResetMessages();
    TrClearErrorLog();
    return 0;
}
