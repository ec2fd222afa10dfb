// Global atoms: reference counts, case, integer atoms, a damaged table, a second process and one
// killed while it held an atom.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
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
// its answer and exits before any test runs: the second process of the tests below ("hold" adds
// two references and waits to be killed).
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
    else if (op == "hold" && GlobalAddAtomA(arg.c_str()) != 0) answer = GlobalAddAtomA(arg.c_str());
    std::printf("%u\n", answer);
    std::fflush(stdout);
    if (op == "hold")  // two references, never deleted: waits to be killed
        for (;;) pause();
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
    EXPECT_EQ(in_other_process("add:Velmos's Games"), a);  // a second reference, gone with that process
    EXPECT_EQ(GlobalAddAtomA("Velmos's Games"), a);           // two of ours
    // A process that holds none may still delete: one of ours goes.
    EXPECT_EQ(in_other_process("delete:" + std::to_string(a)), 0u);
    EXPECT_EQ(GlobalFindAtomA("Velmos's Games"), a);
    EXPECT_EQ(GlobalDeleteAtom(a), 0);
    EXPECT_EQ(GlobalFindAtomA("Velmos's Games"), 0);
    EXPECT_EQ(in_other_process("find:Velmos's Games"), 0u);

    // A reference goes with the process that held it; ours keeps the atom.
    ATOM kept = GlobalAddAtomA("Kept");
    EXPECT_EQ(in_other_process("add:Kept"), kept);
    unsigned left = in_other_process("add:Left behind");
    EXPECT_GE(left, 0xC000u);
    EXPECT_EQ(GlobalFindAtomA("LEFT BEHIND"), 0);
    EXPECT_EQ(GlobalFindAtomA("Kept"), kept);
    EXPECT_EQ(GlobalDeleteAtom(kept), 0);  // the other process's reference went with it
    EXPECT_EQ(GlobalFindAtomA("Kept"), 0);
}

// A process that adds an atom and is killed before it deletes it leaves nothing that stops the
// next start: its reference is dropped at once, whatever the table says.
TEST_F(Atoms, ReferencesOfAKilledProcessAreGone) {
    ATOM mine = GlobalAddAtomA("Shared");
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    std::string self = fs::read_symlink("/proc/self/exe").string();
    setenv("VOK_ATOM_PROBE", "hold:Velmos's Games", 1);
    pid_t child = fork();
    if (child == 0) {
        dup2(out[1], 1);
        execl(self.c_str(), self.c_str(), nullptr);
        _exit(127);
    }
    unsetenv("VOK_ATOM_PROBE");
    ASSERT_GT(child, 0);
    struct Reaper {  // never leaves the holder behind when a check below gives up
        pid_t pid;
        ~Reaper() {
            if (pid > 0 && kill(pid, SIGKILL) == 0) waitpid(pid, nullptr, 0);
        }
    } reaper{child};
    close(out[1]);
    FILE* from = fdopen(out[0], "r");
    unsigned held = 0;
    ASSERT_EQ(std::fscanf(from, "%u", &held), 1);
    fclose(from);
    EXPECT_EQ(GlobalFindAtomA("Velmos's Games"), held);
    EXPECT_EQ(in_other_process("add:Shared"), mine);

    // Killed at once: its two references, never deleted, go with it (reaped or not yet).
    ASSERT_EQ(kill(child, SIGKILL), 0);
    for (int i = 0; i < 200 && GlobalFindAtomA("Velmos's Games") != 0; ++i) usleep(5000);
    EXPECT_EQ(GlobalFindAtomA("Velmos's Games"), 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    reaper.pid = 0;
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(GlobalFindAtomA("Velmos's Games"), 0);
    ATOM again = GlobalAddAtomA("Velmos's Games");  // the next start takes it as a new atom
    EXPECT_GE(again, 0xC000);
    EXPECT_EQ(GlobalDeleteAtom(again), 0);
    EXPECT_EQ(GlobalFindAtomA("Velmos's Games"), 0);

    // A table written by a process that ran before with the same pid number: another start time.
    {
        std::ofstream f(dir / "atoms", std::ios::app | std::ios::binary);
        f << "C0F0 " << getpid() << ":1:1 Same pid earlier\n"
          << "C0F1 " << 0x7FFFFFFF << ":0:1 No such process\n";
    }
    EXPECT_EQ(GlobalFindAtomA("Same pid earlier"), 0);
    EXPECT_EQ(GlobalFindAtomA("No such process"), 0);
    EXPECT_EQ(GlobalFindAtomA("Shared"), mine);
    EXPECT_EQ(GlobalDeleteAtom(mine), 0);
}

TEST_F(Atoms, DamagedTableIsReadAsFarAsItHolds) {
    ASSERT_NE(GlobalAddAtomA("Kept"), 0);
    {
        std::ofstream f(dir / "atoms", std::ios::app | std::ios::binary);
        const std::string me = std::to_string(getpid()) + ":0:";  // start unknown: the pid alone
        f << "C0\n"                                  // short
          << "ZZZZ " << me << "1 Bad hex\n"          // not hex
          << "0100 " << me << "1 Below range\n"      // not a string atom
          << "C005 " << me << "0 No refs\n"          // no reference
          << "C006 " << me << "1 Bad %G1 escape\n"
          << "C000 " << me << "1 Same atom again\n"
          << "C007 " << me << "2 Line%0Abreak\n"     // an escaped name is fine
          << "C008 " << me << "1 " << std::string(300, 'n') << "\n"
          << "C009 " << me << "4294967296 Too many\n"
          << "C00B 1 Old form\n"                      // no owner
          << "C00C " << me << "1, Empty owner\n"
          << "C00D " << me << "1:2 Owner too long\n"
          << "C00E +" << me << "1 Signed pid\n"
          << "C00A " << me << "1";                     // cut off
    }
    EXPECT_NE(GlobalFindAtomA("Kept"), 0);
    EXPECT_EQ(GlobalFindAtomA("Line\nbreak"), 0xC007);
    for (const char* gone : {"Bad hex", "Below range", "No refs", "Bad %G1 escape", "Same atom again",
                             "Too many"})
        EXPECT_EQ(GlobalFindAtomA(gone), 0) << gone;
    for (const char* gone : {"Old form", "Empty owner", "Owner too long", "Signed pid"})
        EXPECT_EQ(GlobalFindAtomA(gone), 0) << gone;

    std::ofstream(dir / "atoms", std::ios::trunc | std::ios::binary) << "garbage\x01\x02";
    EXPECT_EQ(GlobalFindAtomA("Kept"), 0);
    ATOM fresh = GlobalAddAtomA("Fresh");  // rewrites a sound table
    EXPECT_EQ(fresh, 0xC000);
    EXPECT_EQ(GlobalFindAtomA("FRESH"), fresh);
}

}  // namespace
