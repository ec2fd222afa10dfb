// trfield: dump a Fenlow field (.trl) or saved position (.trs), or write one from a text description.
//   trfield dump FILE             the description of the file as the game loads it
//   trfield make TEXT OUT         writes OUT as a saved position when it ends in ".trs", else a field
#include <stdio.h>
#include <string.h>
#include <strings.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "fieldtext.h"
#include "terrow/trmsg.h"
#include "vokplat/paths.h"

namespace {

int print_box(const char *text, unsigned)
{
    fprintf(stderr, "trfield: %s\n", text);
    return 1;
}

bool is_position(const std::string &name)
{
    return name.size() >= 4 && strcasecmp(name.c_str() + name.size() - 4, ".trs") == 0;
}

int usage()
{
    fprintf(stderr, "usage: trfield dump FILE.trl|FILE.trs\n       trfield make TEXT OUT.trl|OUT.trs\n");
    return 2;
}

int dump(const std::string &name)
{
    if (is_position(name)) {
        // A count of 0 and a refused file both read as 0: only a 4-byte file holds no pieces.
        std::ifstream probe(name, std::ios::binary);
        std::string head((std::istreambuf_iterator<char>(probe)), std::istreambuf_iterator<char>());
        bool empty = head == std::string(4, '\0');
        TrPalya *f = Palya_NewEmpty();
        int n = Palya_FOpenLoadUser(name.c_str(), f);
        if (n == 0 && !(empty && f->count == 0)) {
            fprintf(stderr, "trfield: %s: not a readable saved position\n", name.c_str());
            Palya_Free(f);
            return 1;
        }
        printf("# saved position: %d elements\n%s", f->count, trtext::format(f, true).c_str());
        Palya_Free(f);
        return 0;
    }
    TrPalya *f = Palya_FOpenLoad(name.c_str());
    if (f == nullptr) {
        fprintf(stderr, "trfield: %s: not a readable field file\n", name.c_str());
        return 1;
    }
    printf("%s", trtext::format(f, false).c_str());
    Palya_Free(f);
    return 0;
}

int make(const std::string &textName, const std::string &out)
{
    std::ifstream in(textName, std::ios::binary);
    if (!in) {
        fprintf(stderr, "trfield: cannot read %s\n", textName.c_str());
        return 1;
    }
    std::stringstream text;
    text << in.rdbuf();
    std::string error;
    TrPalya *f = trtext::parse(text.str(), error);
    if (f == nullptr) {
        fprintf(stderr, "trfield: %s: %s\n", textName.c_str(), error.c_str());
        return 1;
    }
    int ok = is_position(out) ? Palya_FSaveUser(out.c_str(), f) : Palya_FSave(out.c_str(), f);
    Palya_Free(f);
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char **argv)
{
    TrSetBoxHook(print_box);
    if (argc == 3 && strcmp(argv[1], "dump") == 0)
        return dump(PlatToolPath(argv[2]));
    if (argc == 4 && strcmp(argv[1], "make") == 0)
        return make(PlatToolPath(argv[2]), PlatToolPath(argv[3]));
    return usage();
}
