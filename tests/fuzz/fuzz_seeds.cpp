// Writes the seed files of one fuzz target into a folder, each made by this system's own writers.
#include <stdio.h>
#include <string.h>

#include <string>

#include "df_fuzz_common.h"
#include "memfs.h"

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: fuzz_seeds datafile|pix|tga|bmp folder\n");
        return 2;
    }
    std::string kind = argv[1], dir = argv[2];
    BrDiagHandlerSet(&fuzz::quiet_handler);
    BrCoreBegin();
    if (kind == "datafile") {
        DfWriteModeSet(DF_MODE_BINARY);
        fuzz::write_datafile_seed((dir + "/binary.dat").c_str());
        DfWriteModeSet(DF_MODE_TEXT);
        fuzz::write_datafile_seed((dir + "/text.dat").c_str());
    } else {
        fprintf(stderr, "fuzz_seeds: no seeds for %s\n", kind.c_str());
        return 2;
    }
    BrCoreEnd();
    return 0;
}
