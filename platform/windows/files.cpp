// Readability test of a file: the C runtime refuses to open directories.
#include <cstdio>

#include "platform/services.h"
#include "platform/win32.h"

bool fileOpensForReading(const char* path) {
    FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    std::fclose(file);
    return true;
}
