// fpktool: builds a pack (.fpk) from the files of a folder, lists a pack and extracts its entries.
#include <fnmatch.h>
#include <stdio.h>
#include <string.h>

#include <filesystem>
#include <string>
#include <vector>

#include "fpk/fpkformat.h"

namespace fs = std::filesystem;

namespace {

int usage()
{
    fprintf(stderr,
            "usage: fpktool build [--pixmap PATTERN]... OUT.fpk FOLDER\n"
            "       fpktool ls PACK.fpk\n"
            "       fpktool extract PACK.fpk FOLDER [NAME]...\n"
            "build packs every file of FOLDER (no subfolders); entries whose names match a --pixmap\n"
            "pattern (case-insensitive) are marked as stored pixel maps.\n");
    return 2;
}

int fail(const std::string &message)
{
    fprintf(stderr, "fpktool: %s\n", message.c_str());
    return 1;
}

int build(int argc, char **argv)
{
    std::vector<std::string> patterns;
    int i = 0;
    for (; i + 1 < argc && strcmp(argv[i], "--pixmap") == 0; i += 2)
        patterns.push_back(argv[i + 1]);
    if (argc - i != 2)
        return usage();
    std::string out = argv[i], folder = argv[i + 1];
    std::error_code ec;
    std::vector<fpk::Entry> entries;
    for (const fs::directory_entry &de : fs::directory_iterator(folder, ec)) {
        std::string name = de.path().filename().string();
        if (!de.is_regular_file(ec))
            return fail("'" + de.path().string() + "' is not a plain file; a pack holds no folders");
        fpk::Entry e;
        e.name = name;
        std::string error;
        if (!fpk::read_file(de.path().string(), e.data, error))
            return fail(error);
        for (const std::string &p : patterns)
            if (fnmatch(p.c_str(), name.c_str(), FNM_CASEFOLD) == 0)
                e.flags |= fpk::kPixmapFlag;
        entries.push_back(std::move(e));
    }
    if (ec)
        return fail("cannot read folder " + folder + ": " + ec.message());
    std::vector<uint8_t> bytes;
    std::string error;
    if (!fpk::build(std::move(entries), bytes, error) || !fpk::write_file(out, bytes, error))
        return fail(error);
    return 0;
}

bool load(const char *path, std::vector<fpk::Entry> &entries)
{
    std::vector<uint8_t> bytes;
    std::string error;
    if (!fpk::read_file(path, bytes, error) || !fpk::read(bytes, entries, error)) {
        fail(std::string(path) + ": " + error);
        return false;
    }
    return true;
}

int list(int argc, char **argv)
{
    if (argc != 1)
        return usage();
    std::vector<fpk::Entry> entries;
    if (!load(argv[0], entries))
        return 1;
    for (const fpk::Entry &e : entries)
        printf("%s\t%zu\t%s\n", e.name.c_str(), e.data.size(), (e.flags & fpk::kPixmapFlag) ? "pixmap" : "-");
    return 0;
}

int extract(int argc, char **argv)
{
    if (argc < 2)
        return usage();
    std::vector<fpk::Entry> entries;
    if (!load(argv[0], entries))
        return 1;
    fs::path folder = argv[1];
    std::error_code ec;
    fs::create_directories(folder, ec);
    int missing = 0;
    for (int i = 2; i < argc; i++) {
        bool found = false;
        for (const fpk::Entry &e : entries)
            found = found || strcasecmp(e.name.c_str(), argv[i]) == 0;
        if (!found) {
            fail(std::string("no entry '") + argv[i] + "'");
            missing++;
        }
    }
    for (const fpk::Entry &e : entries) {
        bool wanted = argc == 2;
        for (int i = 2; i < argc; i++)
            wanted = wanted || strcasecmp(e.name.c_str(), argv[i]) == 0;
        // Names come from the file: only plain names may become files.
        if (!wanted)
            continue;
        if (e.name.empty() || e.name == "." || e.name == ".." || e.name.find_first_of("/\\") != std::string::npos)
            return fail("entry name '" + e.name + "' is not a plain file name");
        std::string error;
        if (!fpk::write_file((folder / e.name).string(), e.data, error))
            return fail(error);
    }
    return missing ? 1 : 0;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 2)
        return usage();
    std::string cmd = argv[1];
    if (cmd == "build")
        return build(argc - 2, argv + 2);
    if (cmd == "ls")
        return list(argc - 2, argv + 2);
    if (cmd == "extract")
        return extract(argc - 2, argv + 2);
    return usage();
}
