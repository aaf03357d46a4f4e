#include "support/child_display.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "support/test_images.h"

extern char** environ;

PrivateDisplay::PrivateDisplay(const char* screen) {
    int fds[2];
    if (pipe(fds) != 0) return;
    std::string fd = std::to_string(fds[1]);
    std::vector<std::string> args = {"Xvfb", "-displayfd", fd, "-screen", "0", screen, "-nolisten", "tcp"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    if (posix_spawnp(&server, "Xvfb", nullptr, nullptr, argv.data(), environ) != 0) server = 0;
    close(fds[1]);
    char c;
    while (server != 0 && read(fds[0], &c, 1) == 1 && c != '\n') display += c;
    close(fds[0]);
}

PrivateDisplay::~PrivateDisplay() {
    if (server == 0) return;
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
}

ChildRun runOnDisplay(const PrivateDisplay& display, const std::string& filter, const char* marker,
                      const TempDir& dir) {
    ChildRun result;
    std::string displayVar = "DISPLAY=:" + display.number();
    std::string markerVar = std::string(marker) + "=1";
    std::vector<char*> env;
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "DISPLAY=", 8) != 0) env.push_back(*e);
    env.push_back(&displayVar[0]);
    env.push_back(&markerVar[0]);
    env.push_back(nullptr);

    std::string outPath = dir.path() + "child.out", errPath = dir.path() + "child.err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::string filterArg = "--gtest_filter=" + filter;
    char self[] = "/proc/self/exe";
    char* argv[] = {self, &filterArg[0], nullptr};
    pid_t child = 0;
    if (posix_spawn(&child, self, &actions, nullptr, argv, env.data()) == 0) waitpid(child, &result.status, 0);
    posix_spawn_file_actions_destroy(&actions);
    result.out = readBytes(outPath);
    result.err = readBytes(errPath);
    return result;
}

bool childPassed(const ChildRun& child, const std::string& name) {
    return WIFEXITED(child.status) && WEXITSTATUS(child.status) == 0 &&
           child.out.find("[       OK ] " + name) != std::string::npos;
}
