// Global atoms: reference counts, case, integer atoms, a damaged table, and a second process.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "win32/windows.h"

namespace fs = std::filesystem;

namespace {

// The same test program started again with VOK_ATOM_PROBE="<op>:<arg>" does one atom call, prints
// its answer and exits before any test runs: the second process of the tests below.
int run_probe() {
    const char* probe = std::getenv("VOK_ATOM_PROBE");
    if (!probe) return 0;
    std::string op(probe), arg;
    size_t colon = op.find(':');
    if (colon != std::string::npos) {
        arg = op.substr(colon + 1);
        op.resize(colon);
    }
    unsigned answer = 0;
    if (op == "add") answer = GlobalAddAtomA(arg.c_str());
    else if (op == "find") answer = GlobalFindAtomA(arg.c_str());
    else if (op == "delete") answer = GlobalDeleteAtom(ATOM(std::strtoul(arg.c_str(), nullptr, 0)));
    std::printf("%u\n", answer);
    std::fflush(stdout);
    _exit(0);
}
const int g_probe = run_probe();

class Atoms : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("vok_atoms_" + std::to_string(getpid()));
        fs::remove_all(dir);
        setenv("VOK_ATOM_DIR", dir.c_str(), 1);
    }
    void TearDown() override {
        unsetenv("VOK_ATOM_DIR");
        fs::remove_all(dir);
    }

    // Runs one atom call in a second process and answers what it printed.
    unsigned in_other_process(const std::string& op) {
        setenv("VOK_ATOM_PROBE", op.c_str(), 1);
        std::string cmd(1, '\'');
        cmd += fs::read_symlink("/proc/self/exe").string();
        cmd += '\'';
        FILE* p = popen(cmd.c_str(), "r");
        unsetenv("VOK_ATOM_PROBE");
        if (!p) return 0xFFFFFFFF;
        unsigned answer = 0xFFFFFFFF;
        if (std::fscanf(p, "%u", &answer) != 1) answer = 0xFFFFFFFF;
        EXPECT_EQ(pclose(p), 0);
        return answer;
    }

    fs::path dir;
};

TEST_F(Atoms, CountedCaseInsensitiveNames) {
    ATOM a = GlobalAddAtomA("Velmos's Games");
    EXPECT_GE(a, 0xC000);
    EXPECT_EQ(GlobalFindAtomA("VELMOS'S GAMES"), a);
    EXPECT_EQ(GlobalAddAtomA("velmos's games"), a);  // second reference
    ATOM b = GlobalAddAtomA("Another");
    EXPECT_GE(b, 0xC000);
    EXPECT_NE(b, a);

    EXPECT_EQ(GlobalDeleteAtom(a), 0);
    EXPECT_EQ(GlobalFindAtomA("Velmos's Games"), a);  // one reference left
    EXPECT_EQ(GlobalDeleteAtom(a), 0);
    SetLastError(0);
    EXPECT_EQ(GlobalFindAtomA("Velmos's Games"), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GlobalDeleteAtom(a), a);  // gone: deleting fails
    EXPECT_EQ(GlobalFindAtomA("Another"), b);
    EXPECT_EQ(GlobalAddAtomA("Third"), a);  // the freed value is taken again
}

TEST_F(Atoms, IntegerAtomsAndRefusedNames) {
    std::string long_name(256, 'x');
    struct Case {
        LPCSTR name;
        ATOM expect;
    } cases[] = {
        {"#123", 123},
        {"#1", 1},
        {"#49151", 0xBFFF},
        {MAKEINTATOM(77), 77},
        {"#0", 0},
        {"#49152", 0},
        {"#99999999999", 0},
        {MAKEINTATOM(0), 0},
        {"", 0},
        {nullptr, 0},
        {long_name.c_str(), 0},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_EQ(GlobalAddAtomA(c.name), c.expect) << (IS_INTRESOURCE(c.name) ? "int" : c.name);
        EXPECT_EQ(GlobalFindAtomA(c.name), c.expect);
        if (!c.expect) {
            EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
        }
    }
    EXPECT_EQ(GlobalDeleteAtom(123), 0);
    EXPECT_GE(GlobalAddAtomA(std::string(255, 'y').c_str()), 0xC000);
    EXPECT_GE(GlobalAddAtomA("#12a"), 0xC000);  // not a number: an ordinary name
}

TEST_F(Atoms, SeenFromASecondProcess) {
    ATOM a = GlobalAddAtomA("Velmos's Games");
    ASSERT_NE(a, 0);
    EXPECT_EQ(in_other_process("find:velmos's games"), a);
    EXPECT_EQ(in_other_process("add:Velmos's Games"), a);  // a second reference from there
    EXPECT_EQ(GlobalDeleteAtom(a), 0);
    EXPECT_EQ(GlobalFindAtomA("Velmos's Games"), a);
    EXPECT_EQ(in_other_process("delete:" + std::to_string(a)), 0u);
    EXPECT_EQ(GlobalFindAtomA("Velmos's Games"), 0);
    EXPECT_EQ(in_other_process("find:Velmos's Games"), 0u);

    // An atom outlives the process that added it, until someone deletes it.
    unsigned left = in_other_process("add:Left behind");
    EXPECT_GE(left, 0xC000u);
    EXPECT_EQ(GlobalFindAtomA("LEFT BEHIND"), left);
}

TEST_F(Atoms, DamagedTableIsReadAsFarAsItHolds) {
    ASSERT_NE(GlobalAddAtomA("Kept"), 0);
    {
        std::ofstream f(dir / "atoms", std::ios::app | std::ios::binary);
        f << "C0\n"                    // short
          << "ZZZZ 1 Bad hex\n"        // not hex
          << "0100 1 Below range\n"    // not a string atom
          << "C005 0 No refs\n"        // no reference
          << "C006 1 Bad %G1 escape\n"
          << "C000 1 Same atom again\n"
          << "C007 2 Line%0Abreak\n"   // an escaped name is fine
          << "C008 1 " << std::string(300, 'n') << "\n"
          << "C009 4294967296 Too many\n"
          << "C00A 1";                  // cut off
    }
    EXPECT_NE(GlobalFindAtomA("Kept"), 0);
    EXPECT_EQ(GlobalFindAtomA("Line\nbreak"), 0xC007);
    for (const char* gone : {"Bad hex", "Below range", "No refs", "Bad %G1 escape", "Same atom again",
                             "Too many"})
        EXPECT_EQ(GlobalFindAtomA(gone), 0) << gone;

    std::ofstream(dir / "atoms", std::ios::trunc | std::ios::binary) << "garbage\x01\x02";
    EXPECT_EQ(GlobalFindAtomA("Kept"), 0);
    ATOM fresh = GlobalAddAtomA("Fresh");  // rewrites a sound table
    EXPECT_EQ(fresh, 0xC000);
    EXPECT_EQ(GlobalFindAtomA("FRESH"), fresh);
}

}  // namespace
