// libFuzzer target: the language pack's texts. The input is cut at each "\0\1" into the pack's text
// files in a fixed order (the line table, key names, field names, a help text, rules, a tip and two
// demonstration scripts); they are packed as the data generator packs them, loaded through the
// framework's own loader, and every table is then walked and every line used as a format.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "fpk/fpkformat.h"
#include "texts.h"
#include "vokscore/vokiface.h"
#include "vokscore/vokpath.h"
#include "vokscore/voktext.h"

namespace {

const char *const kEntries[] = {"mnutext.txt", "keys.txt",   "fwfields.txt", "mainhelp.txt",
                                "vnrules.txt", "kptip1.txt", "vndemo.txt",   "dmdemo.txt"};

std::string &pack_path()
{
    static std::string path = [] {
        struct stat st;
        std::string name = stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode) ? "/dev/shm" : "/tmp";
        name += "/vok_fuzz_texts_XXXXXX";
        if (mkdtemp(name.data()) == nullptr)
            abort();
        static std::string made = name;
        atexit([] { std::filesystem::remove_all(made); });
        return name + "/mnutext.fpk";
    }();
    return path;
}

size_t sink;

void use(const char *text)
{
    if (text != nullptr)
        sink += strlen(text);
}

}  // namespace

// The loader names the pack through the framework's language path: here it is the fuzzer's.
VOK_EXPORT char *VokMakeLangPath(const char *, const char *, ...)
{
    static char path[VOK_PATH_SIZE];
    snprintf(path, sizeof path, "%s", pack_path().c_str());
    return path;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::vector<fpk::Entry> entries;
    const std::string input(reinterpret_cast<const char *>(data), size);
    size_t at = 0;
    for (const char *name : kEntries) {
        if (at > input.size())
            break;
        size_t cut = input.find(std::string("\0\1", 2), at);
        const size_t end = cut == std::string::npos ? input.size() : cut;
        entries.push_back(fpk::Entry{name, std::vector<uint8_t>(input.begin() + long(at), input.begin() + long(end)), 0});
        at = end + 2;
    }
    std::vector<uint8_t> bytes;
    std::string error;
    if (!fpk::build(entries, bytes, error) || !fpk::write_file(pack_path(), bytes, error))
        abort();

    VokLoadTextFiles();
    for (int n = -1; n <= vok::kLineCount; n++) {
        const char *line = vok::text(n);
        use(line);
        char out[64];
        vok::format_text(out, sizeof out, line, {"Ann", nullptr});
        vok::format_text(out, 1, line, {});
    }
    for (int s = -1; s <= vok::kSpecialCount; s++)
        use(vok::special_text(s));
    for (int g = -1; g <= VOK_GAME_COUNT; g++) {
        const vok::GameTexts *t = vok::game_texts(g);
        if (t == nullptr)
            continue;
        use(t->rules);
        use(t->controls);
        if (t->tipCount < 0 || t->tipCount > vok::kMaxTips)
            abort();
        for (int i = 0; i < t->tipCount; i++)
            use(t->tips[i]);
        // A script always ends with its closing step and a step starting at -1.
        if (t->demo != nullptr) {
            int steps = 0;
            for (const vok::DemoStep *d = t->demo; d->start != -1; d++, steps++) {
                if (steps > vok::kDemoSteps + 1)
                    abort();
                use(d->text);
            }
        }
    }
    for (int list = -1; list <= vok::kFieldLists; list++) {
        if (vok::field_count(list) > vok::field_capacity(list))
            abort();
        for (int i = -1; i <= vok::field_count(list); i++)
            use(vok::field_name(list, i));
    }
    for (int i = -1; i <= vok::kKeyNameCount; i++)
        use(vok::key_name(vok::key_code(i)));
    VokFreeTextFiles();
    return 0;
}
