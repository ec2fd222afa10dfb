// The module's one instance of its state.
#include "terrow/trmodule.h"

namespace {

TrModule g_module = {nullptr, nullptr, 0, 0, {0, 1, 0, TR_PALYA_MERET_DEFAULT, 0, 0, 0}};

}  // namespace

extern "C" {

TrModule *TrGetModule(void)
{
    return &g_module;
}

void TrIniDefaults(TrIni *ini)
{
    *ini = TrIni{0, 1, 0, TR_PALYA_MERET_DEFAULT, 0, 0, 0};
}

}  // extern "C"
