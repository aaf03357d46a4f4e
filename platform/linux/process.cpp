// Runs a program with one argument and waits for it, without a shell, so no
// character of the argument is ever interpreted.
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>

#include "platform/services.h"
#include "platform/win32.h"

extern char** environ;

bool runProgramAndWait(const char* program, const char* argument) {
    char* argv[] = {const_cast<char*>(program), const_cast<char*>(argument), nullptr};
    pid_t child = 0;
    if (posix_spawnp(&child, program, nullptr, nullptr, argv, environ) != 0) return false;
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) break;
    }
    return true;
}
