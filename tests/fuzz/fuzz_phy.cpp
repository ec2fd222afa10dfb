// libFuzzer target: the physics tuning file (Final.phy) read as the game reads it, and the values
// derived from whatever it holds.
#include <stdint.h>
#include <stdio.h>

#include "terrow/phys/phparams.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static char empty[1];
    FILE *f = size > 0 ? fmemopen((void *)data, size, "rb") : fmemopen(empty, 1, "w+");
    if (f == nullptr)
        return 0;
    PhyParams = Phy_Defaults();
    Phy_Read(f);
    fclose(f);
    Phy_Derive();
    return 0;
}
