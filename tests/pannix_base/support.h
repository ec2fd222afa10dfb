// Shared bits of the Pannix tests: a scratch folder per test and small file helpers.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fpk/fpkformat.h"
#include "vokplat/debug.h"

namespace pxtest {

class Scratch : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "pannix_base_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override
    {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    std::string path(const std::string &name) const { return (dir / name).string(); }

    std::filesystem::path dir;
};

inline void write_bytes(const std::string &path, const std::vector<uint8_t> &bytes)
{
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
}

inline void write_text(const std::string &path, const std::string &text)
{
    std::ofstream f(path, std::ios::binary);
    f << text;
}

inline std::string read_text(const std::string &path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

inline std::vector<uint8_t> bytes_of(const std::string &text)
{
    return std::vector<uint8_t>(text.begin(), text.end());
}

inline std::vector<uint8_t> pack_bytes(const std::vector<fpk::Entry> &entries)
{
    std::vector<uint8_t> out;
    std::string error;
    EXPECT_TRUE(fpk::build(entries, out, error)) << error;
    return out;
}

inline std::string debug_output()
{
    size_t n = PlatDebugOutput(nullptr, 0);
    std::string s(n + 1, '\0');
    PlatDebugOutput(s.data(), s.size());
    s.resize(n);
    return s;
}

}  // namespace pxtest
