#include <string.h>

#include <vector>

#include "config_files_support.h"

namespace {

const char *const default_path = "dat;../dat;../../dat;../../../dat;../../../../dat";

enum Where { REG, INI, ENV };

struct Source {
    Where where;
    const char *name;
    const char *value;
};

struct ChainCase {
    const char *label;
    std::vector<Source> sources;
    br_token token;
    const char *expected; // "<none>" when the token keeps no value
};

class ConfigTest : public TempWorldTest {
protected:
    void install(const std::vector<Source> &sources)
    {
        std::string ini = "[Brondel]\r\n";
        for (const Source &s : sources) {
            switch (s.where) {
            case REG:
                reg_set_string(config_key, s.name, s.value);
                break;
            case INI:
                ini += std::string(s.name) + "=" + s.value + "\r\n";
                break;
            case ENV:
                setenv(s.name, s.value, 1);
                break;
            }
        }
        write_file("windows/Brondel.ini", ini);
    }
};

TEST_F(ConfigTest, BeginBuildsEachValueFromRegistryThenProfileThenEnvironment)
{
    const ChainCase cases[] = {
        {"no source at all", {}, BRT_BRONDEL_DRIVERS_STR, "<none>"},
        {"environment alone", {{ENV, "BRONDEL_DRIVERS", "e"}}, BRT_BRONDEL_DRIVERS_STR, "e"},
        {"an empty environment variable counts", {{ENV, "BRONDEL_DRIVERS", ""}}, BRT_BRONDEL_DRIVERS_STR, ""},
        {"profile beats environment",
         {{INI, "BRONDEL_DRIVERS", "i"}, {ENV, "BRONDEL_DRIVERS", "e"}},
         BRT_BRONDEL_DRIVERS_STR,
         "i"},
        {"an empty profile value is absent",
         {{INI, "BRONDEL_DRIVERS", ""}, {ENV, "BRONDEL_DRIVERS", "e"}},
         BRT_BRONDEL_DRIVERS_STR,
         "e"},
        {"registry beats profile and environment",
         {{REG, "BRONDEL_DRIVERS", "r"}, {INI, "BRONDEL_DRIVERS", "i"}, {ENV, "BRONDEL_DRIVERS", "e"}},
         BRT_BRONDEL_DRIVERS_STR,
         "r"},
        {"an empty registry value hides the profile one",
         {{REG, "BRONDEL_DRIVERS", ""}, {INI, "BRONDEL_DRIVERS", "i"}, {ENV, "BRONDEL_DRIVERS", "e"}},
         BRT_BRONDEL_DRIVERS_STR,
         ""},
        {"BR_DRIVERS replaces BRONDEL_DRIVERS",
         {{ENV, "BRONDEL_DRIVERS", "long"}, {ENV, "BR_DRIVERS", "short"}},
         BRT_BRONDEL_DRIVERS_STR,
         "short"},
        {"BR_DRIVERS from the environment still replaces a registry BRONDEL_DRIVERS",
         {{REG, "BRONDEL_DRIVERS", "r"}, {ENV, "BR_DRIVERS", "b"}},
         BRT_BRONDEL_DRIVERS_STR,
         "b"},
        {"BR_DEVICES replaces BRONDEL_DEVICES",
         {{INI, "BRONDEL_DEVICES", "i"}, {INI, "BR_DEVICES", "j"}},
         BRT_BRONDEL_DEVICES_STR,
         "j"},
        {"the last of the three device names wins",
         {{REG, "BRONDEL_DOS_GFX", "A"}, {ENV, "BRONDEL_DEFAULT_DEVICE", "B"}, {INI, "BR_DEFAULT_DEVICE", "C"}},
         BRT_DEFAULT_DEVICE_STR,
         "C"},
        {"no device gives the host's default", {}, BRT_DEFAULT_DEVICE_STR, "DDRAW"},
        {"an empty device gives the host's default", {{ENV, "BRONDEL_DOS_GFX", ""}}, BRT_DEFAULT_DEVICE_STR, "DDRAW"},
        {"no path gives the default path", {}, BRT_BRONDEL_PATH_STR, default_path},
        {"path from the profile", {{INI, "BRONDEL_PATH", "a;b"}}, BRT_BRONDEL_PATH_STR, "a;b"},
        {"an empty registry path hides the profile and falls back to the default",
         {{REG, "BRONDEL_PATH", ""}, {INI, "BRONDEL_PATH", "x"}},
         BRT_BRONDEL_PATH_STR,
         default_path},
    };
    for (const ChainCase &c : cases) {
        SCOPED_TRACE(c.label);
        TearDown();
        SetUp();
        install(c.sources);
        ASSERT_EQ(BrFwBegin(), (br_error)BRE_OK);
        EXPECT_EQ(query(c.token), c.expected);
        EXPECT_TRUE(DiagLog::failures.empty());
    }
}

TEST_F(ConfigTest, BeginPassesSilentlyOverARegistryValueThatIsNoString)
{
    DWORD number = 7;
    reg_set(config_key, "BRONDEL_PATH", REG_DWORD, &number, sizeof(number));
    install({{INI, "BRONDEL_PATH", "from-ini"}});
    ASSERT_EQ(BrFwBegin(), (br_error)BRE_OK);
    EXPECT_EQ(query(BRT_BRONDEL_PATH_STR), "from-ini");
    EXPECT_TRUE(DiagLog::failures.empty());
}

TEST_F(ConfigTest, SetStringKeepsItsOwnCopyAndQueryAlwaysTerminates)
{
    ASSERT_EQ(BrFwBegin(), (br_error)BRE_OK);
    char caller[16];
    strcpy(caller, "abcdef");
    ASSERT_EQ(BrSystemConfigSetString(BRT_BRONDEL_PATH_STR, caller), (br_error)BRE_OK);
    strcpy(caller, "changed");
    EXPECT_EQ(query(BRT_BRONDEL_PATH_STR), "abcdef");

    char small[4];
    memset(small, 'x', sizeof(small));
    EXPECT_EQ(BrSystemConfigQueryString(BRT_BRONDEL_PATH_STR, small, sizeof(small)), (br_error)BRE_OK);
    EXPECT_STREQ(small, "abc");

    // Replacing a value, and more values than the array first holds, keep every entry.
    ASSERT_EQ(BrSystemConfigSetString(BRT_BRONDEL_PATH_STR, "second"), (br_error)BRE_OK);
    for (int i = 0; i < 25; i++)
        ASSERT_EQ(BrSystemConfigSetString(BRT_BRONDEL_DEVICES_STR, std::to_string(i).c_str()), (br_error)BRE_OK);
    EXPECT_EQ(query(BRT_BRONDEL_PATH_STR), "second");
    EXPECT_EQ(query(BRT_BRONDEL_DEVICES_STR), "24");
    EXPECT_EQ(query(BRT_DEFAULT_DEVICE_STR), "DDRAW");
}

TEST_F(ConfigTest, RefusesTokensOutsideTheConfiguration)
{
    ASSERT_EQ(BrFwBegin(), (br_error)BRE_OK);
    char buf[8] = "junk";
    EXPECT_EQ(BrSystemConfigSetString(BRT_INI_STR, "x"), (br_error)BRE_FAIL);
    EXPECT_EQ(BrSystemConfigQueryString(BRT_REGISTRY_STR, buf, sizeof(buf)), (br_error)BRE_FAIL);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(BrSystemConfigLoad(BRT_BRONDEL_PATH_STR, "x", nullptr), (br_error)BRE_FAIL);
    ASSERT_EQ(DiagLog::failures.size(), 3u);
    EXPECT_EQ(DiagLog::failures[0], "Failure: Not a valid system configuration token.\n");
    EXPECT_EQ(DiagLog::failures[1], "Failure: Not a valid system configuration token.\n");
    EXPECT_EQ(DiagLog::failures[2], "Failure: Invalid system config load token. Must be REGISTRY or INI");
}

TEST_F(ConfigTest, LoadFromAProfileOfTheCallersChoice)
{
    ASSERT_EQ(BrFwBegin(), (br_error)BRE_OK);
    write_file("game.ini", "[Empty]\n[Video]\nBRONDEL_PATH=maps\nBRONDEL_DOS_GFX=A\nBR_DEFAULT_DEVICE=B\nBRONDEL_DEVICES=\n");
    EXPECT_EQ(BrSystemConfigLoad(BRT_INI_STR, path("game.ini").c_str(), (void *)"Missing"), (br_error)BRE_FAIL);
    EXPECT_EQ(query(BRT_BRONDEL_PATH_STR), default_path);
    // A section that is there without entries is not missing: loaded, with nothing to set.
    EXPECT_EQ(BrSystemConfigLoad(BRT_INI_STR, path("game.ini").c_str(), (void *)"empty"), (br_error)BRE_OK);
    EXPECT_EQ(query(BRT_BRONDEL_PATH_STR), default_path);

    ASSERT_EQ(BrSystemConfigLoad(BRT_INI_STR, path("game.ini").c_str(), (void *)"Video"), (br_error)BRE_OK);
    EXPECT_EQ(query(BRT_BRONDEL_PATH_STR), "maps");
    EXPECT_EQ(query(BRT_DEFAULT_DEVICE_STR), "B");
    EXPECT_EQ(query(BRT_BRONDEL_DEVICES_STR), "<none>"); // empty is absent
}

TEST_F(ConfigTest, LoadFromARegistryKeyStopsAtTheFirstMissingValue)
{
    const char *key = "SOFTWARE\\Game\\Brondel";
    reg_set_string(key, "BRONDEL_PATH", "p");
    reg_set_string(key, "BRONDEL_DRIVERS", "d");
    reg_set_string(key, "BRONDEL_DOS_GFX", "never read");
    ASSERT_EQ(BrFwBegin(), (br_error)BRE_OK);

    EXPECT_EQ(BrSystemConfigLoad(BRT_REGISTRY_STR, key, nullptr), (br_error)BRE_FAIL);
    EXPECT_EQ(query(BRT_BRONDEL_PATH_STR), "p");
    EXPECT_EQ(query(BRT_BRONDEL_DRIVERS_STR), "d");
    EXPECT_EQ(query(BRT_DEFAULT_DEVICE_STR), "DDRAW");

    reg_set_string(key, "BRONDEL_DEVICES", "v");
    reg_set_string(key, "BR_DEFAULT_DEVICE", "last");
    EXPECT_EQ(BrSystemConfigLoad(BRT_REGISTRY_STR, key, (void *)HKEY_LOCAL_MACHINE), (br_error)BRE_OK);
    EXPECT_EQ(query(BRT_BRONDEL_DEVICES_STR), "v");
    EXPECT_EQ(query(BRT_DEFAULT_DEVICE_STR), "last");

    DWORD number = 1;
    reg_set(key, "BRONDEL_PATH", REG_DWORD, &number, sizeof(number));
    EXPECT_EQ(BrSystemConfigLoad(BRT_REGISTRY_STR, key, nullptr), (br_error)BRE_FAIL);
    ASSERT_EQ(DiagLog::failures.size(), 1u);
    EXPECT_EQ(DiagLog::failures[0], "Failure: Registry entry type is not a string");
    EXPECT_EQ(query(BRT_BRONDEL_PATH_STR), "p");
}

TEST_F(ConfigTest, ARegistryStringIsReadUpTo255Bytes)
{
    std::string fits(254, 'f'), too_long(300, 'g');
    reg_set_string(config_key, "BRONDEL_PATH", fits.c_str());
    reg_set_string(config_key, "BRONDEL_DRIVERS", too_long.c_str());
    ASSERT_EQ(BrFwBegin(), (br_error)BRE_OK);
    EXPECT_EQ(query(BRT_BRONDEL_PATH_STR), fits);
    EXPECT_EQ(query(BRT_BRONDEL_DRIVERS_STR), "<none>");
}

} // namespace
