#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "child.h"
#include "temp_dir.h"
#include "win32/windows.h"

namespace {

using vok_test::TempDir;

const char kProduct[] = "Software\\Ostrel Interactive\\Velmo's Games";

class Registry : public ::testing::Test {
protected:
    void SetUp() override { setenv("VOK_REGISTRY_DIR", dir.str("reg").c_str(), 1); }
    void TearDown() override { unsetenv("VOK_REGISTRY_DIR"); }
    TempDir dir{"registry"};
};

std::string query_string(HKEY key, const char* name) {
    DWORD size = 0, type = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return "<missing>";
    std::string s(size, '\0');
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(s.data()), &size) != ERROR_SUCCESS)
        return "<failed>";
    return s;
}

TEST_F(Registry, CreateSetQueryWithSizes) {
    HKEY key;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, (std::string(kProduct) + "\\Kelpa\\").c_str(), 0, nullptr,
                              REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    const char path[] = "C:\\Games\\Velmo";
    ASSERT_EQ(RegSetValueExA(key, "InstallPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(path), 14), ERROR_SUCCESS);

    DWORD type = 0, size = 0;
    ASSERT_EQ(RegQueryValueExA(key, "installpath", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 15u);  // the terminator counts, even when the writer left it out
    char small[4];
    size = sizeof small;
    EXPECT_EQ(RegQueryValueExA(key, "InstallPath", nullptr, &type, reinterpret_cast<BYTE*>(small), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, 15u);
    char buf[64];
    size = sizeof buf;
    ASSERT_EQ(RegQueryValueExA(key, "InstallPath", nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(buf, path);
    EXPECT_EQ(RegQueryValueExA(key, "Missing", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegQueryValueExA(key, "InstallPath", nullptr, nullptr, reinterpret_cast<BYTE*>(buf), nullptr),
              ERROR_INVALID_PARAMETER);

    // Every byte survives the text file: control characters, "%", tabs, line breaks, NULs, high bytes.
    std::string blob;
    for (int i = 0; i < 256; ++i) blob += char(i);
    blob += "%0A\t\r\n";
    ASSERT_EQ(RegSetValueExA(key, "Blob", 0, REG_BINARY, reinterpret_cast<const BYTE*>(blob.data()),
                             DWORD(blob.size())),
              ERROR_SUCCESS);
    DWORD number = 0xDEADBEEF;
    ASSERT_EQ(RegSetValueExA(key, "Count", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4), ERROR_SUCCESS);
    number = 7;
    ASSERT_EQ(RegSetValueExA(key, "COUNT", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4), ERROR_SUCCESS);
    RegCloseKey(key);

    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\ostrel interactive\\VELMO'S GAMES\\kelpa", 0, KEY_READ, &key),
              ERROR_SUCCESS);
    EXPECT_EQ(query_string(key, "Blob"), blob);
    DWORD got = 0;
    size = sizeof got;
    ASSERT_EQ(RegQueryValueExA(key, "count", nullptr, &type, reinterpret_cast<BYTE*>(&got), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(got, 7u);
    // Opened for reading only: no changes through this handle.
    EXPECT_EQ(RegSetValueExA(key, "x", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&got), 4), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);

    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProduct, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "\\Software", 0, KEY_READ, &key), ERROR_BAD_PATHNAME);
}

TEST_F(Registry, DeletingValuesAndKeys) {
    HKEY key, sub;
    ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Corvane\\Brondel\\1.3.0", &key), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, "BRONDEL_PATH", 0, REG_SZ, reinterpret_cast<const BYTE*>("dat"), 4), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(key, "brondel_path"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(key, "brondel_path"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Corvane"), ERROR_ACCESS_DENIED);  // has sub-keys
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "software\\corvane\\brondel\\1.3.0"), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, "x", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2), ERROR_KEY_DELETED);
    RegCloseKey(key);
    EXPECT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Corvane\\Brondel\\1.3.0", &sub), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Corvane\\Brondel", &sub), ERROR_SUCCESS);
    RegCloseKey(sub);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Corvane\\Missing"), ERROR_FILE_NOT_FOUND);
}

TEST_F(Registry, MalformedHiveFileReadsAsEmpty) {
    dir.write("reg/user.hive", "VOKREG 1\nK\tA\nV\tbad%Z\t1\tx\nV\tok\tnotanumber\tx\nV\tgood\t4\t%01%00%00%00\ngarbage\n");
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "a", 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD v = 0, size = 4;
    EXPECT_EQ(RegQueryValueExA(key, "good", nullptr, nullptr, reinterpret_cast<BYTE*>(&v), &size), ERROR_SUCCESS);
    EXPECT_EQ(v, 1u);
    EXPECT_EQ(RegQueryValueExA(key, "ok", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);
    dir.write("reg/user.hive", "not a hive\nK\tA\n");
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "a", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
}

// Run in a second process by the test below: reads what the first process wrote, answers with a value.
TEST(RegistryChild, ReadsAndAnswers) {
    if (!std::getenv("VOK_REGISTRY_CHILD")) GTEST_SKIP() << "runs only as the second process";
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kProduct, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    ASSERT_EQ(query_string(key, "FromParent"), std::string("hello\0", 6));
    ASSERT_EQ(RegSetValueExA(key, "FromChild", 0, REG_SZ, reinterpret_cast<const BYTE*>("world"), 6), ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST_F(Registry, ChangesAreSeenByAnotherProcess) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kProduct, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, "FromParent", 0, REG_SZ, reinterpret_cast<const BYTE*>("hello"), 6), ERROR_SUCCESS);

    EXPECT_EQ(vok_test::wait_child(vok_test::spawn_self("RegistryChild.ReadsAndAnswers", {"VOK_REGISTRY_CHILD=1"})), 0);

    // The handle opened before the other process wrote sees its value.
    EXPECT_EQ(query_string(key, "FromChild"), std::string("world\0", 6));
    RegCloseKey(key);
}

}  // namespace
