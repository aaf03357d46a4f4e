// The program's own module handle. Linux has no module handles; one fixed,
// non-null value stands for the executable.
#include "platform/win32.h"

namespace {
char moduleTag;
}

HMODULE GetModuleHandleA(LPCSTR lpModuleName) {
    if (lpModuleName) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<HMODULE>(&moduleTag);
}
