#include <gtest/gtest.h>

#include <string>

#include "win32/windows.h"

namespace {

std::string resource_bytes(HMODULE m, HRSRC r) {
    HGLOBAL g = LoadResource(m, r);
    const char* p = static_cast<const char*>(LockResource(g));
    return p ? std::string(p, SizeofResource(m, r)) : std::string();
}

class ResourcesTest : public ::testing::Test {
protected:
    void SetUp() override { module = LoadLibraryA("PlatModA.dll"); ASSERT_NE(module, nullptr); }
    void TearDown() override { FreeLibrary(module); }
    HMODULE module = nullptr;
};

TEST_F(ResourcesTest, FindsByNameOrNumberAndType) {
    const std::string greeting = "Hello from the module.\r\n";
    const std::string blob("\x4d\x5a\x00\x01\xff\x00\x7f\x80\x00\x00\x10", 11);
    struct Case {
        LPCSTR name;
        LPCSTR type;
        const std::string* bytes;
    } cases[] = {
        {"GREETING", RT_RCDATA, &greeting},
        {"greeting", MAKEINTRESOURCEA(10), &greeting},
        {"Greeting", "#10", &greeting},
        {MAKEINTRESOURCEA(5), "MEDIA_MZIRESOURCE", &blob},
        {"#5", "media_mziresource", &blob},
    };
    for (const Case& c : cases) {
        HRSRC r = FindResourceA(module, c.name, c.type);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(resource_bytes(module, r), *c.bytes);
    }
    // Text resources end with a NUL that the size does not count.
    HRSRC r = FindResourceA(module, "GREETING", RT_RCDATA);
    EXPECT_EQ(static_cast<const char*>(LockResource(LoadResource(module, r)))[greeting.size()], '\0');
    EXPECT_FALSE(FreeResource(LoadResource(module, r)));
}

TEST_F(ResourcesTest, MissingResourcesFailWithTheirCodes) {
    HMODULE other = LoadLibraryA("PlatModB.dll");
    ASSERT_NE(other, nullptr);
    struct Case {
        HMODULE m;
        LPCSTR name;
        LPCSTR type;
        DWORD error;
    } cases[] = {
        {module, "NOPE", RT_RCDATA, ERROR_RESOURCE_NAME_NOT_FOUND},
        {module, MAKEINTRESOURCEA(6), "MEDIA_MZIRESOURCE", ERROR_RESOURCE_NAME_NOT_FOUND},
        {module, "GREETING", RT_BITMAP, ERROR_RESOURCE_TYPE_NOT_FOUND},
        {module, "5", "MEDIA_MZIRESOURCE", ERROR_RESOURCE_NAME_NOT_FOUND},  // a string, not a number
        // A module without resources: the one it is linked with (the platform) is not searched.
        {other, "GREETING", RT_RCDATA, ERROR_RESOURCE_DATA_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_EQ(FindResourceA(c.m, c.name, c.type), nullptr);
        EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_EQ(SizeofResource(module, nullptr), 0u);
    EXPECT_EQ(LoadResource(module, nullptr), nullptr);
    FreeLibrary(other);
}

TEST_F(ResourcesTest, NullModuleIsTheProgram) {
    HRSRC r = FindResourceA(nullptr, "PROGRAM.TXT", RT_RCDATA);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(resource_bytes(nullptr, r), "Hello from the module.\r\n");
    EXPECT_EQ(FindResourceA(GetModuleHandleA(nullptr), "program.txt", RT_RCDATA), r);
    // Each module answers from its own table only.
    SetLastError(0);
    EXPECT_EQ(FindResourceA(nullptr, "GREETING", RT_RCDATA), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_RESOURCE_NAME_NOT_FOUND);
    EXPECT_EQ(FindResourceA(module, "PROGRAM.TXT", RT_RCDATA), nullptr);
}

}  // namespace
