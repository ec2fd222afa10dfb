// terrow-simrun FIELD.trl [FINAL.phy] [--steps N]
// Loads a field and the physics tuning file (the built-in values without one), steps the physics at
// 0, 25, 50 ... ms until everything rests or the step cap, and prints the verdict as the game judges
// a run, the steps taken, the sunk and destroyed counts, the strongest impacts and a hash of the
// balls' final positions.
#include <inttypes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "terrow/phys/phmsg.h"
#include "terrow/phys/phrun.h"
#include "vokplat/paths.h"

namespace {

int print_box(const char *text, const char *caption, unsigned)
{
    fprintf(stderr, "%s: %s\n", caption, text);
    return 1;  // OK: go on
}

void end_run(int code) { exit(code); }

int usage()
{
    fprintf(stderr, "usage: terrow-simrun FIELD.trl [FINAL.phy] [--steps N]\n");
    return 2;
}

}  // namespace

int main(int argc, char **argv)
{
    const char *fieldPath = nullptr, *phyPath = nullptr;
    long steps = 20000;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--steps") == 0) {
            if (++i >= argc)
                return usage();
            char *end = nullptr;
            steps = strtol(argv[i], &end, 10);
            if (end == argv[i] || *end != '\0' || steps <= 0 || steps > PH_MAX_STEPS)
                return usage();
        } else if (fieldPath == nullptr) {
            fieldPath = PlatToolPath(argv[i]);
        } else if (phyPath == nullptr) {
            phyPath = PlatToolPath(argv[i]);
        } else {
            return usage();
        }
    }
    if (fieldPath == nullptr)
        return usage();
    PhReporter reporter{print_box, end_run};
    Phys_SetReporter(&reporter);
    PhyParams = Phy_Defaults();
    if (phyPath != nullptr) {
        FILE *f = fopen(phyPath, "rb");
        if (f == nullptr) {
            fprintf(stderr, "terrow-simrun: cannot open %s\n", phyPath);
            return 1;
        }
        Phy_Read(f);
        fclose(f);
    }
    Phy_Derive();
    TrPalya *field = Palya_FOpenLoad(fieldPath);
    if (field == nullptr) {
        fprintf(stderr, "terrow-simrun: cannot load field %s\n", fieldPath);
        return 1;
    }
    const PhRunResult r = Phys_Run(field, static_cast<int32_t>(steps));
    printf("%s\n", r.solved ? "solved" : "not solved");
    printf("steps %d%s\n", r.steps, r.rested ? "" : " (cap)");
    printf("sunk %d of %d needed\n", r.sunk, r.needed);
    printf("destroyed %d\n", r.destroyed);
    printf("impacts uveg %d bomba %d gumi %d fem %d magnet %d\n", r.impacts.uveg, r.impacts.bomba, r.impacts.gumi,
           r.impacts.fem, r.impacts.magnet);
    printf("hash %016" PRIx64 "\n", r.hash);
    Palya_Free(field);
    return 0;
}
