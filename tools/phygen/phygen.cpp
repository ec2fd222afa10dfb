// phygen PATH: writes the physics tuning file (184 bytes) holding the built-in defaults.
#include <errno.h>
#include <stdio.h>
#include <string.h>

#include "terrow/phys/phparams.h"
#include "vokplat/paths.h"
#include "vokplat/save.h"

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: phygen OUTPUT\n");
        return 2;
    }
    unsigned char bytes[PHY_FILE_SIZE];
    Phy_Encode(Phy_Defaults(), bytes);
    if (!PlatWriteFileAtomic(PlatToolPath(argv[1]), bytes, sizeof bytes)) {
        fprintf(stderr, "phygen: cannot write %s: %s\n", argv[1], strerror(errno));
        return 1;
    }
    return 0;
}
