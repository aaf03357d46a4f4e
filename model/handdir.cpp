#include "model/handdir.h"

#include "platform/win32.h"
#include "util/text.h"

Handdir::Handdir(std::string path) : cursor(0) { opendir(path); }

bool Handdir::opendir(std::string path) {
    cursor = 0;
    names.count = 0;
    pattern = replaceAll(path, "/", "\\");
    // An empty path has no last character to test; it searches "\*", which
    // names no directory we were asked for, so it is refused like a missing one.
    if (pattern.empty()) throw std::string("Handdir::opendir -> FindFirstFile");
    if (pattern.back() != '\\') pattern += '\\';
    pattern += '*';

    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) throw std::string("Handdir::opendir -> FindFirstFile");
    try {
        do {
            uint32_t n = names.count;
            names[n] = found.cFileName;
            names.count = n + 1;
        } while (FindNextFileA(search, &found));
    } catch (...) {
        FindClose(search);
        throw;
    }
    if (GetLastError() != ERROR_NO_MORE_FILES) {
        FindClose(search);
        throw std::string("Handdir::opendir -> FindNextFile");
    }
    if (!FindClose(search)) throw std::string("Handdir::opendir -> FindNextFile");
    return true;
}

std::string Handdir::readdir() {
    if (cursor < names.count) {
        std::string name = names[cursor];
        ++cursor;
        return name;
    }
    return std::string();
}

bool isReadableDir(std::string path) {
    try {
        Handdir reader(path);
        return reader.cursor < reader.names.count;
    } catch (...) {
        return false;
    }
}
