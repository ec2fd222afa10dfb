// terrow-simrun FIELD.trl [FINAL.phy] [--steps N] [--without-supplied] [--check]
// Loads a field and the physics tuning file (the built-in values without one), steps the physics at
// 0, 25, 50 ... ms until everything rests or the step cap, and prints the verdict as the game judges
// a run, the steps taken, the sunk and destroyed counts, the strongest impacts and a hash of the
// balls' final positions. --without-supplied takes the supplied pieces away and tries every direction
// of each fixed ball the player may turn: "solved" when any of them solves. --check first tests the
// rules a shipped field keeps and fails naming the broken one.
#include <inttypes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "terrow/phys/phmsg.h"
#include "terrow/phys/phrun.h"
#include "terrow/trplay.h"
#include "vokplat/paths.h"
#include "vokplat/wholefile.h"

namespace {

int print_box(const char *text, const char *caption, unsigned)
{
    fprintf(stderr, "%s: %s\n", caption, text);
    return 1;  // OK: go on
}

void end_run(int code) { exit(code); }

int usage()
{
    fprintf(stderr, "usage: terrow-simrun FIELD.trl [FINAL.phy] [--steps N] [--without-supplied] [--check]\n");
    return 2;
}

// The field without its supplied pieces, every turn of the balls the player may set tried in turn;
// the first run that solves, else the last one. False when there are too many turns to try.
bool without_supplied(TrPalya *field, int32_t steps, PhRunResult &out)
{
    for (int32_t i = field->count - 1; i >= 0; i--)
        if (!(field->elements[i]->io->flags & EF_LEVEL_PART))
            Palya_RemoveElem(field, field->elements[i]);
    std::vector<EIo *> free;
    for (int32_t i = 0; i < field->count; i++) {
        EIo *io = field->elements[i]->io;
        if ((io->flags & EF_BALL) && !(io->flags & EF_DIR_LOCKED))
            free.push_back(io);
    }
    if (free.size() > 8)
        return false;
    const uint32_t turns = 1u << (2 * free.size());
    for (uint32_t k = 0; k < turns; k++) {
        for (size_t b = 0; b < free.size(); b++)
            free[b]->direction = int32_t((k >> (2 * b)) & 3);
        out = Phys_Run(field, steps);
        for (int32_t i = 0; i < field->count; i++)
            field->elements[i]->io->flags &= ~(EF_SUNK | EF_DESTROYED | EF_ENTERED | EF_HANDLED);
        if (out.solved)
            break;
    }
    return true;
}

}  // namespace

int main(int argc, char **argv)
{
    const char *fieldPath = nullptr, *phyPath = nullptr;
    long steps = 20000;
    bool withoutSupplied = false, check = false;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--without-supplied") == 0) {
            withoutSupplied = true;
        } else if (strcmp(argv[i], "--check") == 0) {
            check = true;
        } else if (strcmp(argv[i], "--steps") == 0) {
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
    // A field of the most pieces the game keeps stays below 300 KB, a tuning file below a few KB.
    std::string why;
    for (const char *path : {fieldPath, phyPath})
        if (path != nullptr && !vokplat::check_readable_file(path, 1u << 20, why)) {
            fprintf(stderr, "terrow-simrun: cannot read %s: %s\n", path, why.c_str());
            return 1;
        }
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
    if (check) {
        char why[160];
        if (!TrFieldCheck(field, why, sizeof why)) {
            fprintf(stderr, "terrow-simrun: %s: %s\n", fieldPath, why);
            Palya_Free(field);
            return 1;
        }
    }
    PhRunResult r;
    if (withoutSupplied) {
        if (!without_supplied(field, static_cast<int32_t>(steps), r)) {
            fprintf(stderr, "terrow-simrun: too many balls to turn in %s\n", fieldPath);
            Palya_Free(field);
            return 1;
        }
    } else {
        r = Phys_Run(field, static_cast<int32_t>(steps));
    }
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
