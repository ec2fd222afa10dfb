// libFuzzer target: bytes read as a decoration list. Every name is one non-empty line within the
// length limit.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "terrow/trlook.h"

namespace {

void check(const char *name, void *)
{
    const size_t n = strlen(name);
    if (n == 0 || n > TR_DECOR_NAME_MAX || strchr(name, '\n') != nullptr || name[n - 1] == '\r')
        abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Decor_ParseList(reinterpret_cast<const char *>(data), size, check, nullptr);
    return 0;
}
