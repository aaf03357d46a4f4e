#include "app/startup.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/services.h"
#include "platform/win32.h"
#include "util/text.h"

char installDir[260] = "D:\\";

PathStyle hostPathStyle() { return platformUsesPosixPaths ? PathStyle::posix : PathStyle::windows; }

bool loadInstallDir() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quenmark\\Olvistra", 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        MessageBoxA(nullptr, "Error: Can not from Registry.\nProgram will close now.", "Olvistra - error",
                    MB_ICONERROR);
        return false;
    }
    // Read into a scratch buffer first, so that a value that is too long or
    // not text never leaves a partial or unterminated copy in installDir.
    char value[sizeof installDir] = {};
    DWORD type = REG_NONE;
    DWORD size = sizeof value;
    LONG result = RegQueryValueExA(key, "installDir", nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    bool isText = type == REG_SZ || type == REG_EXPAND_SZ;
    if (result == ERROR_SUCCESS && isText && size > 0) {
        // Registry strings need not carry their terminating zero.
        size_t length = strnlen(value, size);
        if (length < sizeof installDir) {
            std::memcpy(installDir, value, length);
            std::memset(installDir + length, 0, sizeof installDir - length);
        }
    }
    return true;
}

std::string currentWorkingDir() {
    std::vector<char> buffer(256);
    while (!_getcwd(buffer.data(), static_cast<int>(buffer.size()))) {
        if (errno != ERANGE || buffer.size() >= (1u << 20)) return std::string();
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

std::string startPathFrom(PathStyle style, const char* commandLine, const std::string& workingDir) {
    std::string startPath = defaultStartPath(style);
    if (commandLine && *commandLine) startPath = commandLine;
    startPath = replaceAll(startPath, "\"", "");
    if (!isAbsolutePath(style, startPath)) startPath = joinToWorkingDir(style, workingDir, startPath);
    return startPath;
}
