// Shared bits of the field tests: a scratch folder per test, boxes caught instead of shown, and a
// byte builder that writes field files independently of the module's writer.
#pragma once

#include <gtest/gtest.h>
#include <string.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "terrow/trfield.h"
#include "terrow/trmodule.h"
#include "terrow/trmsg.h"

namespace trtest {

inline std::vector<std::string> &boxes()
{
    static std::vector<std::string> b;
    return b;
}

inline int catch_box(const char *text, unsigned)
{
    boxes().push_back(text);
    return 1;
}

// Little-endian words, as the files hold them.
struct Bytes {
    std::string s;
    Bytes &u32(uint32_t v)
    {
        for (int i = 0; i < 4; i++)
            s += char(v >> (8 * i));
        return *this;
    }
    Bytes &i32(int32_t v) { return u32(uint32_t(v)); }
    Bytes &f32(float v)
    {
        uint32_t u;
        memcpy(&u, &v, 4);
        return u32(u);
    }
    Bytes &eio(const EIo &e)
    {
        return i32(e.x).i32(e.y).i32(e.z).i32(e.direction).i32(e.type).i32(e.variant).u32(e.flags);
    }
};

class Scratch : public ::testing::Test {
protected:
    void SetUp() override
    {
        static int counter = 0;
        dir = std::filesystem::temp_directory_path() /
              ("terrow_" + std::to_string(getpid()) + "_" + std::to_string(counter++));
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        boxes().clear();
        TrSetBoxHook(catch_box);
        TrResetMessages();
        TrClearErrorLog();
        TrGetModule()->warning = 0;
        TrIniDefaults(&TrGetModule()->ini);
        Palya_SetUserPlace(nullptr);
        Palya_SuppressChangeMark(0);
    }
    void TearDown() override
    {
        TrSetBoxHook(nullptr);
        TrResetMessages();
        std::error_code ec;
        std::filesystem::permissions(dir, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(dir, ec);
    }

    std::string path(const std::string &rel) const { return (dir / rel).string(); }

    void write(const std::string &rel, const std::string &data) const
    {
        std::ofstream(dir / rel, std::ios::binary) << data;
    }

    std::string read(const std::string &rel) const
    {
        std::ifstream in(dir / rel, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    // Loads bytes as a field file from memory.
    static TrPalya *load(const std::string &bytes)
    {
        FILE *f = fmemopen(const_cast<char *>(bytes.data()), bytes.size(), "rb");
        if (f == nullptr)  // fmemopen refuses an empty buffer
            f = fopen("/dev/null", "rb");
        TrPalya *p = Palya_FLoad(f);
        fclose(f);
        return p;
    }

    static int load_user(const std::string &bytes, TrPalya *field)
    {
        FILE *f = fmemopen(const_cast<char *>(bytes.data()), bytes.size(), "rb");
        if (f == nullptr)
            f = fopen("/dev/null", "rb");
        int n = Palya_FLoadUser(f, field);
        fclose(f);
        return n;
    }

    std::filesystem::path dir;
};

}  // namespace trtest
