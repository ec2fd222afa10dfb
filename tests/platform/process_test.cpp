#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "vokplat/debug.h"
#include "vokplat/winmain.h"
#include "win32/windows.h"

namespace {

std::string debug_output() {
    size_t n = PlatDebugOutput(nullptr, 0);
    std::string s(n + 1, '\0');
    PlatDebugOutput(s.data(), s.size());
    s.resize(n);
    return s;
}

TEST(DebugOutputTest, CapturedAndOnRequestOnStderr) {
    unsetenv("VOK_DEBUG_OUTPUT");
    PlatDebugOutputClear();
    testing::internal::CaptureStderr();
    OutputDebugStringA("FFRead: short read\n");
    OutputDebugStringA(nullptr);
    setenv("VOK_DEBUG_OUTPUT", "1", 1);
    OutputDebugStringA("seen");
    unsetenv("VOK_DEBUG_OUTPUT");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "seen");
    EXPECT_EQ(debug_output(), "FFRead: short read\nseen");

    char small[5];
    EXPECT_EQ(PlatDebugOutput(small, sizeof small), 23u);
    EXPECT_STREQ(small, "FFRe");
    PlatDebugOutputClear();
    EXPECT_EQ(debug_output(), "");
}

struct WinMainCall {
    HINSTANCE instance, previous;
    std::string line;
    int show;
};
WinMainCall g_call;

int WINAPI FakeWinMain(HINSTANCE instance, HINSTANCE previous, LPSTR line, int show) {
    g_call = {instance, previous, line, show};
    return 42;
}

TEST(WinMainTest, GetsInstanceQuotedArgumentsAndShowNormal) {
    struct Case {
        std::vector<std::string> args;
        const char* line;
    } cases[] = {
        {{"mavrel"}, ""},
        {{"mavrel", "-q"}, "-q"},
        {{"mavrel", "a b", "", "c"}, "\"a b\" \"\" c"},
        {{"mavrel", "say \"hi\""}, "\"say \\\"hi\\\"\""},
        {{"mavrel", "C:\\dir\\", "C:\\my dir\\"}, "C:\\dir\\ \"C:\\my dir\\\\\""},
    };
    for (const Case& c : cases) {
        std::vector<char*> argv;
        for (const std::string& a : c.args) argv.push_back(const_cast<char*>(a.c_str()));
        EXPECT_EQ(PlatRunWinMain(static_cast<int>(argv.size()), argv.data(), FakeWinMain), 42);
        EXPECT_EQ(g_call.line, c.line);
        EXPECT_EQ(g_call.instance, GetModuleHandleA(nullptr));
        EXPECT_EQ(g_call.previous, nullptr);
        EXPECT_EQ(g_call.show, 1);  // SW_SHOWNORMAL
    }
}

TEST(CommandLineTest, ProgramAndArgumentsOfThisProcess) {
    std::ifstream f("/proc/self/cmdline", std::ios::binary);
    std::string raw((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    std::string program = raw.substr(0, raw.find('\0'));
    std::string line = GetCommandLineA();
    EXPECT_EQ(line.rfind(program, 0), 0u) << line;
    EXPECT_EQ(GetCommandLineA(), GetCommandLineA());  // one buffer for the process
}

TEST(VersionTest, ReportsAnNtSystemAfterVersionFour) {
    OSVERSIONINFOA info{};
    SetLastError(0);
    EXPECT_FALSE(GetVersionExA(&info));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_EQ(info.dwPlatformId, (DWORD)VER_PLATFORM_WIN32_NT);
    EXPECT_GT(info.dwMajorVersion, 4u);
}

}  // namespace
