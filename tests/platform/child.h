// Runs this test program again as another process, limited to one test, for tests of what several
// processes do to the same files.
#pragma once

#include <spawn.h>
#include <sys/wait.h>

#include <string>
#include <vector>

extern char** environ;

namespace vok_test {

// Starts the test `suite.name` of this program with `env` ("NAME=value") added to the environment.
inline pid_t spawn_self(const std::string& test, const std::vector<std::string>& env = {}) {
    std::vector<std::string> all(env);
    for (char** e = environ; *e; ++e) all.push_back(*e);
    std::vector<char*> envp;
    for (std::string& s : all) envp.push_back(s.data());
    envp.push_back(nullptr);
    std::string self = "/proc/self/exe", filter = "--gtest_filter=" + test;
    char* argv[] = {self.data(), filter.data(), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, self.c_str(), nullptr, nullptr, argv, envp.data()) != 0) return -1;
    return pid;
}

// The child's exit status, or 128 + the signal that ended it.
inline int wait_child(pid_t pid) {
    int status = 0;
    if (pid <= 0 || waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

}  // namespace vok_test
