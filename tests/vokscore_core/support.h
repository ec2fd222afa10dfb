// Shared bits of the framework tests: a fresh root folder per test, written the way the system writes
// folders ("\tmp\...\"), and small file helpers.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fpk/fpkformat.h"
#include "state.h"
#include "texts.h"
#include "vokplat/msgbox.h"
#include "vokscore/vokscore.h"

namespace vstest {

// Runs `work(i)` in `count` processes at once and answers whether every one of them returned true.
template <class Work>
bool in_processes(int count, Work work)
{
    std::vector<pid_t> children;
    for (int i = 0; i < count; i++) {
        pid_t pid = fork();
        if (pid == 0)
            _exit(work(i) ? 0 : 1);
        if (pid < 0)
            return false;
        children.push_back(pid);
    }
    bool ok = true;
    for (pid_t pid : children) {
        int status = 0;
        ok = waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0 && ok;
    }
    return ok;
}

// Makes `path` a file that is there but cannot be read: no read permission, or for a privileged user
// (whom permissions do not stop) a link to a file whose reads fail.
inline void make_unreadable(const std::filesystem::path &path)
{
    if (geteuid() != 0) {
        std::ofstream(path, std::ios::binary) << "kept";
        std::filesystem::permissions(path, std::filesystem::perms::owner_write);
    } else {
        std::filesystem::create_symlink("/proc/self/mem", path);
    }
}

inline std::string system_form(std::string host)
{
    for (char &c : host)
        if (c == '/')
            c = '\\';
    return host;
}

class Root : public ::testing::Test {
protected:
    void SetUp() override
    {
        static int counter = 0;
        dir = std::filesystem::temp_directory_path() /
              ("vokscore_" + std::to_string(getpid()) + "_" + std::to_string(counter++));
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        use_root(dir);
        PlatMsgBoxReset();
    }
    void TearDown() override
    {
        while (vok::state().textUses > 0 || vok::state().soundUses > 0)
            VokCloseInterFace();
        VokFreeTextFiles();
        std::error_code ec;
        for (auto it = std::filesystem::recursive_directory_iterator(dir, ec);
             it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(dir, ec);
    }

    // The framework's own folder becomes `folder`, then the framework starts again over it.
    void use_root(const std::filesystem::path &folder)
    {
        std::string root = system_form(folder.string()) + "\\";
        snprintf(vok::state().root, sizeof vok::state().root, "%s", root.c_str());
        InitVokScore("Data\\");
        face = VokGetInterFace(VOK_GAME_VARNEL);
    }

    std::string path(const std::string &rel) const { return (dir / rel).string(); }
    bool exists(const std::string &rel) const { return std::filesystem::exists(dir / rel); }

    void write(const std::string &rel, const std::string &data) const
    {
        std::filesystem::create_directories((dir / rel).parent_path());
        std::ofstream(dir / rel, std::ios::binary) << data;
    }

    std::string read(const std::string &rel) const
    {
        std::ifstream in(dir / rel, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    // A language pack of text entries under Data/<lang>/ (folder names in small letters, so that the
    // framework's "Data\US\" finds them only without regard to case).
    void write_pack(const std::string &rel, const std::vector<std::pair<std::string, std::string>> &files) const
    {
        std::vector<fpk::Entry> entries;
        for (const auto &f : files)
            entries.push_back(fpk::Entry{f.first, std::vector<uint8_t>(f.second.begin(), f.second.end()), 0});
        std::vector<uint8_t> bytes;
        std::string error;
        ASSERT_TRUE(fpk::build(entries, bytes, error)) << error;
        write(rel, std::string(bytes.begin(), bytes.end()));
    }

    std::filesystem::path dir;
    VokInterFace *face = nullptr;
};

}  // namespace vstest
