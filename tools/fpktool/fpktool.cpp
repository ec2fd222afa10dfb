// fpktool: builds a pack (.fpk) from the files of a folder tree, lists a pack and extracts its entries.
#include <fnmatch.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "fpk/fpkformat.h"
#include "vokplat/paths.h"

namespace fs = std::filesystem;

namespace {

int usage()
{
    fprintf(stderr,
            "usage: fpktool build [--pixmap PATTERN]... OUT.fpk FOLDER\n"
            "       fpktool ls PACK.fpk\n"
            "       fpktool extract PACK.fpk FOLDER [NAME]...\n"
            "build packs every file of FOLDER and of its subfolders; a file in a subfolder becomes an\n"
            "entry named with its folders joined by a backslash (\"menu\\co0000.pix\"). Entries whose\n"
            "name or file name matches a --pixmap pattern (case-insensitive) are marked as stored pixel\n"
            "maps. extract writes such entries back into subfolders of FOLDER.\n");
    return 2;
}

int fail(const std::string &message)
{
    fprintf(stderr, "fpktool: %s\n", message.c_str());
    return 1;
}

// The entry name of a file `depth` folders below the packed folder: its last path parts joined
// with "\"; empty when a part holds a backslash itself (its key would name another file).
std::string entry_name(const fs::path &path, int depth)
{
    std::vector<std::string> parts;
    for (const fs::path &part : path)
        parts.push_back(part.string());
    std::string name;
    for (size_t i = parts.size() - std::min(parts.size(), size_t(depth) + 1); i < parts.size(); i++) {
        if (parts[i].find('\\') != std::string::npos)
            return "";
        name += (name.empty() ? "" : "\\") + parts[i];
    }
    return name;
}

int build(int argc, char **argv)
{
    std::vector<std::string> patterns;
    int i = 0;
    for (; i + 1 < argc && strcmp(argv[i], "--pixmap") == 0; i += 2)
        patterns.push_back(argv[i + 1]);
    if (argc - i != 2)
        return usage();
    std::string out = PlatToolPath(argv[i]), folder = PlatToolPath(argv[i + 1]);
    std::error_code ec;
    std::vector<fpk::Entry> entries;
    fs::recursive_directory_iterator it(folder, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const fs::directory_entry &de = *it;
        std::error_code probe; // a failed probe reads as "no"
        if (de.is_symlink(probe) && de.is_directory(probe))
            return fail("'" + de.path().string() + "' is a link to a folder; links to folders are not followed");
        if (de.is_directory(probe))
            continue;
        if (!de.is_regular_file(probe))
            return fail("'" + de.path().string() + "' is not a plain file");
        // A pack built inside the folder it packs never takes its own earlier output.
        if (fs::equivalent(de.path(), out, probe))
            continue;
        fpk::Entry e;
        e.name = entry_name(de.path(), it.depth());
        if (!fpk::valid_name(e.name))
            return fail("'" + de.path().string() + "' cannot be named in a pack");
        std::string error;
        if (!fpk::read_file(de.path().string(), e.data, error))
            return fail(error);
        std::string leaf = de.path().filename().string();
        for (const std::string &p : patterns)
            if (fnmatch(p.c_str(), e.name.c_str(), FNM_CASEFOLD) == 0 ||
                fnmatch(p.c_str(), leaf.c_str(), FNM_CASEFOLD) == 0)
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
    if (!load(PlatToolPath(argv[0]), entries))
        return 1;
    for (const fpk::Entry &e : entries)
        printf("%s\t%zu\t%s\n", e.name.c_str(), e.data.size(), (e.flags & fpk::kPixmapFlag) ? "pixmap" : "-");
    return 0;
}

// The name as it is stored: "/" typed for "\" is taken as one.
std::string stored_form(std::string name)
{
    std::replace(name.begin(), name.end(), '/', '\\');
    return name;
}

// The host path of an entry below `folder`, its folders created on the way. Every part must be a
// plain folder (not a link) and the entry's own name no link either (a save writes through links),
// so a written entry never lands outside `folder`.
bool place(const fs::path &folder, const std::string &name, fs::path &where, std::string &error)
{
    std::vector<std::string> parts = fpk::name_parts(name);
    where = folder;
    std::error_code ec;
    for (size_t i = 0; i + 1 < parts.size(); i++) {
        where /= parts[i];
        fs::file_status st = fs::symlink_status(where, ec);
        if (st.type() == fs::file_type::not_found)
            fs::create_directory(where, ec), st = fs::symlink_status(where, ec);
        if (st.type() != fs::file_type::directory) {
            error = "'" + where.string() + "' is not a plain folder";
            return false;
        }
    }
    where /= parts.back();
    if (fs::is_symlink(fs::symlink_status(where, ec))) {
        error = "'" + where.string() + "' is a link; entries are not written through links";
        return false;
    }
    return true;
}

int extract(int argc, char **argv)
{
    if (argc < 2)
        return usage();
    std::vector<fpk::Entry> entries;
    if (!load(PlatToolPath(argv[0]), entries))
        return 1;
    fs::path folder = PlatToolPath(argv[1]);
    std::error_code ec;
    fs::create_directories(folder, ec);
    int missing = 0;
    auto named = [](const fpk::Entry &e, const char *arg) {
        return strcasecmp(e.name.c_str(), stored_form(arg).c_str()) == 0;
    };
    for (int i = 2; i < argc; i++) {
        bool found = false;
        for (const fpk::Entry &e : entries)
            found = found || named(e, argv[i]);
        if (!found) {
            fail(std::string("no entry '") + argv[i] + "'");
            missing++;
        }
    }
    for (const fpk::Entry &e : entries) {
        bool wanted = argc == 2;
        for (int i = 2; i < argc; i++)
            wanted = wanted || named(e, argv[i]);
        if (!wanted)
            continue;
        // Names come from the file: only relative names become files, and only inside the folder.
        if (!fpk::valid_name(e.name))
            return fail("entry name '" + e.name + "' is not a relative file name");
        fs::path where;
        std::string error;
        if (!place(folder, e.name, where, error) || !fpk::write_file(where.string(), e.data, error))
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
