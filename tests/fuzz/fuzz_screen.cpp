// libFuzzer target: screen description files through the parser and its checks, and the asset
// listing over what it accepts.
#include <stdint.h>
#include <string.h>

#include "scenedesc.h"

namespace vok {
// Routines by name: "r" exists for every kind, nothing else does.
static int any_routine()
{
    return 1;
}
void *find_routine(const char *name, int)
{
    return name && !strcmp(name, "r") ? reinterpret_cast<void *>(any_routine) : nullptr;
}
}  // namespace vok

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string error;
    auto d = vok::parse_screen("f.scr", reinterpret_cast<const char *>(data), size, error);
    if (d) {
        std::vector<vok::AssetUse> uses;
        vok::list_assets(*d, uses);
        for (int i = 0; i < d->scene.sessionCount; i++)
            for (int j = 0; j < d->scene.sessions[i].ikonCount; j++)
                if (d->scene.sessions[i].ikons[j].text.string)
                    (void)strlen(d->scene.sessions[i].ikons[j].text.string);
    } else if (error.empty()) {
        __builtin_trap(); // a refusal always says why
    }
    return 0;
}
