// datagen ROOT [--sheet FILE.png]: writes the data tree of the framework and the main program under
// ROOT (the folder of the programs) and, when asked, a contact sheet of every picture it made.
#include <stdio.h>
#include <string.h>

#include <exception>

#include "gen.h"
#include "vokplat/paths.h"

int main(int argc, char **argv)
{
    const char *root = nullptr, *sheet = nullptr;
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "--sheet") && i + 1 < argc)
            sheet = PlatToolPath(argv[++i]);
        else if (!root && argv[i][0] != '-')
            root = PlatToolPath(argv[i]);
        else {
            fprintf(stderr, "usage: datagen ROOT [--sheet FILE.png]\n");
            return 2;
        }
    }
    if (!root) {
        fprintf(stderr, "usage: datagen ROOT [--sheet FILE.png]\n");
        return 2;
    }
    datagen::Generator generator(root);
    std::string error;
    try {
        if (generator.run(error) && (!sheet || datagen::write_contact_sheet(sheet, generator.pictures(), error)))
            return 0;
    } catch (const std::exception &e) {  // out of memory and the like: still a failed build, said so
        error = e.what();
    }
    fprintf(stderr, "datagen: %s\n", error.c_str());
    return 1;
}
