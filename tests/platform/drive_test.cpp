// Drives: one fixed drive, the root "\", with an empty label; the error mode is handed back.
#include <gtest/gtest.h>

#include <string>

#include "win32/windows.h"

namespace {

TEST(Drive, OneFixedDriveAtTheRoot)
{
    EXPECT_EQ(GetLogicalDrives(), 1u << 2);
    char list[8];
    memset(list, 'x', sizeof list);
    ASSERT_EQ(GetLogicalDriveStringsA(sizeof list, list), 2u);
    EXPECT_EQ(std::string(list, 3), std::string("\\\0\0", 3));
    // Too small a buffer: the size needed, nothing written.
    char small[2] = {'x', 'x'};
    EXPECT_EQ(GetLogicalDriveStringsA(sizeof small, small), 3u);
    EXPECT_EQ(small[0], 'x');
    EXPECT_EQ(GetDriveTypeA("\\"), UINT(DRIVE_FIXED));
    EXPECT_EQ(GetDriveTypeA("Q:\\"), UINT(DRIVE_NO_ROOT_DIR));
    char label[16] = "old", fs[16] = "";
    DWORD serial = 7;
    ASSERT_TRUE(GetVolumeInformationA("\\", label, sizeof label, &serial, nullptr, nullptr, fs, sizeof fs));
    EXPECT_STREQ(label, "");
    EXPECT_FALSE(GetVolumeInformationA("Q:\\", label, sizeof label, nullptr, nullptr, nullptr, nullptr, 0));
    UINT before = SetErrorMode(SEM_FAILCRITICALERRORS);
    EXPECT_EQ(SetErrorMode(before), UINT(SEM_FAILCRITICALERRORS));
}

}  // namespace
