// The decode helper's sandbox, attacked from inside: a helper started in the
// test build's attack mode takes the same restrictions as before a real
// decode, tries what a hijacked decoder would, and reports each outcome.
// Every attempt must be refused with its expected error.
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "support/test_images.h"

extern char** environ;

namespace {

// The decode helper program, which the build puts beside this one.
std::string helperProgram() {
    char self[4096];
    ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    std::string folder(self, size_t(length > 0 ? length : 0));
    return folder.substr(0, folder.rfind('/') + 1) + "olvistra-decode";
}

// Starts the decode helper in attack mode and returns its report, or ""
// when none came.
std::string attackReport(const std::string& folder) {
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) return "";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pair[1], 3);
    std::vector<std::string> variables = {"OLVISTRA_DECODE_HELPER=" + std::to_string(::getpid()),
                                          "OLVISTRA_SANDBOX_ATTACK=" + folder};
    std::vector<char*> env;
    for (std::string& variable : variables) env.push_back(&variable[0]);
    for (char** entry = environ; *entry; ++entry) env.push_back(*entry);
    env.push_back(nullptr);
    std::string program = helperProgram();
    char* argv[] = {&program[0], nullptr};
    pid_t helper = 0;
    int spawned = posix_spawn(&helper, program.c_str(), &actions, nullptr, argv, env.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(pair[1]);
    std::string report;
    pollfd watch = {pair[0], POLLIN, 0};
    if (spawned == 0 && ::poll(&watch, 1, 60000) == 1) {
        char buffer[4096];
        ssize_t got = ::recv(pair[0], buffer, sizeof buffer, 0);
        if (got > 0) report.assign(buffer, size_t(got));
    }
    ::close(pair[0]);
    if (spawned == 0) ::waitpid(helper, nullptr, 0);
    return report;
}

}  // namespace

TEST(SandboxAttack, EveryAttemptIsRefused) {
    TempDir dir;
    std::string target = dir.writeFile("target", "untouched");
    const std::map<std::string, int> expected = {
        {"execve", EPERM},          {"fork", EPERM},
        {"open-for-reading", EACCES}, {"open-for-writing", EACCES}, {"open-read-write", EACCES},
        {"open-truncating", EACCES}, {"create", EACCES},
        {"creat", EPERM},           {"socket-inet", EPERM},
        {"socket-unix", EPERM},     {"connect", EPERM},
        {"kill-viewer", EPERM},     {"tgkill-viewer", EPERM},
        {"ptrace", EPERM},          {"read-viewer-memory", EPERM},
        {"mmap-writable-executable", EACCES}, {"mprotect-writable-executable", EACCES},
        {"raise-limit", EPERM},
    };
    // The helper inherits a soft limit on open files below the hard one, so
    // that raising it is something only the filter can refuse.
    rlimit files = {};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &files), 0);
    rlimit lowered = {files.rlim_max - 1 < files.rlim_cur ? files.rlim_max - 1 : files.rlim_cur, files.rlim_max};
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &lowered), 0);
    std::string report = attackReport(dir.path().substr(0, dir.path().size() - 1));
    ::setrlimit(RLIMIT_NOFILE, &files);
    ASSERT_FALSE(report.empty()) << "the helper sent no report";
    std::map<std::string, int> seen;
    std::istringstream lines(report);
    std::string name;
    int error = 0;
    while (lines >> name >> error) seen[name] = error;
    EXPECT_EQ(seen, expected) << report;
    EXPECT_EQ(readBytes(target), "untouched");
    EXPECT_NE(::access((dir.path() + "created").c_str(), F_OK), 0);
}
