// A fresh temporary folder per test, removed afterwards.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace vok_test {

struct TempDir {
    std::filesystem::path path;
    explicit TempDir(const std::string& tag) {
        path = std::filesystem::temp_directory_path() /
               ("vok_" + tag + "_" + std::to_string(getpid()) + "_" + std::to_string(counter()++));
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
    }
    ~TempDir() {
        std::error_code ec;
        // Read-only entries would survive remove_all on some systems: make everything writable first.
        for (auto it = std::filesystem::recursive_directory_iterator(path, ec);
             it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
            if (!it->is_symlink()) std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                                                std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path, ec);
    }
    std::string str(const std::string& rel = "") const { return rel.empty() ? path.string() : (path / rel).string(); }
    void write(const std::string& rel, const std::string& data) const {
        std::filesystem::create_directories((path / rel).parent_path());
        std::ofstream(path / rel, std::ios::binary) << data;
    }
    std::string read(const std::string& rel) const {
        std::ifstream in(path / rel, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static int& counter() {
        static int n = 0;
        return n;
    }
};

}  // namespace vok_test
