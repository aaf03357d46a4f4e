// Answers to the command line go to standard output, where a program started
// from a terminal or a script is expected to write them.
#include <cstdio>

#include "platform/services.h"
#include "platform/win32.h"

bool showCommandLineAnswer(const char* text) {
    bool written = std::fputs(text, stdout) >= 0;
    return std::fflush(stdout) == 0 && written;
}
