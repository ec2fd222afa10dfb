// A private world for the configuration and file tests: a temp folder holding the registry hives,
// the Windows folder (where "Brondel.ini" lives) and any data, and no configuration variables in the
// environment.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "foundation_support.h"
#include "win32/winreg.h"

inline const char *const config_env_names[] = {
    "BRONDEL_PATH",    "BRONDEL_DRIVERS", "BR_DRIVERS",           "BRONDEL_DEVICES",
    "BR_DEVICES",      "BRONDEL_DOS_GFX", "BRONDEL_DEFAULT_DEVICE", "BR_DEFAULT_DEVICE",
};

inline const char *const config_key = "SOFTWARE\\Corvane\\Brondel\\1.3.0";

class TempWorldTest : public ::testing::Test {
protected:
    std::filesystem::path root;

    void SetUp() override
    {
        char tmpl[] = "/tmp/brcore-cfgXXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        root = tmpl;
        std::filesystem::create_directories(root / "registry");
        std::filesystem::create_directories(root / "windows");
        setenv("VOK_REGISTRY_DIR", (root / "registry").c_str(), 1);
        setenv("VOK_WINDOWS_DIR", (root / "windows").c_str(), 1);
        for (const char *name : config_env_names)
            unsetenv(name);
        DiagLog::clear();
        BrDiagHandlerSet(&DiagLog::handler);
    }
    void TearDown() override
    {
        BrFwEnd();
        for (const char *name : config_env_names)
            unsetenv(name);
        std::filesystem::remove_all(root);
    }

    std::string path(const std::string &rel) const { return (root / rel).string(); }

    void write_file(const std::string &rel, const std::string &bytes) const
    {
        std::filesystem::path p = root / rel;
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << bytes;
    }

    std::string read_file(const std::string &rel) const
    {
        std::ifstream in(root / rel, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    static void reg_set(const char *key, const char *name, DWORD type, const void *data, DWORD size)
    {
        HKEY k;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExA(k, name, 0, type, (const BYTE *)data, size), ERROR_SUCCESS);
        RegCloseKey(k);
    }
    static void reg_set_string(const char *key, const char *name, const char *value)
    {
        reg_set(key, name, REG_SZ, value, (DWORD)strlen(value) + 1);
    }

    // The value of a configuration token, or "<none>".
    static std::string query(br_token t)
    {
        char buf[512];
        if (BrSystemConfigQueryString(t, buf, sizeof(buf)) != BRE_OK) {
            EXPECT_STREQ(buf, "");
            return "<none>";
        }
        return buf;
    }
};
