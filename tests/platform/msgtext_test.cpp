// FormatMessageA: system texts for error codes and results, the buffer rules and the refusals.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "win32/objbase.h"
#include "win32/windows.h"

namespace {

const DWORD kSystem = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;

TEST(FormatMessage, TextsForCodesAndResultsEndWithTheLineEnd)
{
    const struct {
        DWORD id;
        const char *text;
    } cases[] = {
        {ERROR_FILE_NOT_FOUND, "The system cannot find the file specified.\r\n"},
        {DWORD(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)), "The system cannot find the file specified.\r\n"},
        {DWORD(REGDB_E_CLASSNOTREG), "Class not registered.\r\n"},
        {DWORD(E_NOINTERFACE), "No such interface supported.\r\n"},
        {0x80040218u, "No combination of intermediate filters could be found to make the connection.\r\n"},
    };
    for (const auto &c : cases) {
        char buf[256];
        std::memset(buf, '#', sizeof buf);
        const DWORD n = FormatMessageA(kSystem, nullptr, c.id, 0, buf, sizeof buf, nullptr);
        EXPECT_EQ(std::string(buf), c.text) << std::hex << c.id;
        EXPECT_EQ(n, std::strlen(c.text));
    }
}

TEST(FormatMessage, RefusalsAndAllocatedBuffers)
{
    char buf[256] = "untouched";
    SetLastError(0);
    EXPECT_EQ(FormatMessageA(kSystem, nullptr, 0x8004FFFFu, 0, buf, sizeof buf, nullptr), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_MR_MID_NOT_FOUND));
    EXPECT_EQ(FormatMessageA(kSystem, nullptr, ERROR_ACCESS_DENIED, 0, buf, 10, nullptr), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    // "Access is denied.\r\n" is 19 characters: the terminator needs the 20th.
    EXPECT_EQ(FormatMessageA(kSystem, nullptr, ERROR_ACCESS_DENIED, 0, buf, 19, nullptr), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_STRING, "x", 0, 0, buf, sizeof buf, nullptr), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_STREQ(buf, "untouched");
    EXPECT_EQ(FormatMessageA(kSystem, nullptr, ERROR_ACCESS_DENIED, 0, buf, 20, nullptr), 19u);
    EXPECT_STREQ(buf, "Access is denied.\r\n");

    char *text = nullptr;
    const DWORD n = FormatMessageA(kSystem | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, ERROR_ACCESS_DENIED, 0,
                                   reinterpret_cast<LPSTR>(&text), 0, nullptr);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::string(text, n), "Access is denied.\r\n");
    EXPECT_EQ(LocalFree(text), nullptr);
}

}  // namespace
