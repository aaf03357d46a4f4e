#include "model/handdir.h"

#include "platform/win32.h"
#include "util/text.h"

namespace {

// The search pattern "<dir>\*" for a directory path; empty for an empty path,
// which searches "\*" and so names no directory we were asked for.
std::string searchPattern(const std::string& path) {
    std::string pattern = replaceAll(path, "/", "\\");
    if (pattern.empty()) return pattern;
    if (pattern.back() != '\\') pattern += '\\';
    return pattern + '*';
}

}  // namespace

Handdir::Handdir(std::string path) : cursor(0) { opendir(path); }

bool Handdir::opendir(std::string path) {
    cursor = 0;
    names.count = 0;
    pattern = searchPattern(path);
    if (pattern.empty()) throw std::string("Handdir::opendir -> FindFirstFile");

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

bool visitNames(const std::string& path, const std::function<bool(const std::string&)>& visit) {
    std::string pattern = searchPattern(path);
    if (pattern.empty()) return false;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    try {
        while (visit(found.cFileName) && FindNextFileA(search, &found)) {
        }
    } catch (...) {
        FindClose(search);
        throw;
    }
    FindClose(search);
    return true;
}

// The first name found answers the question, so a large sub-directory is
// not read to its end (listing a folder of many sub-folders asks this once
// for each of them).
bool isReadableDir(std::string path) {
    try {
        std::string pattern = searchPattern(path);
        if (pattern.empty()) return false;
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA(pattern.c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return false;
        FindClose(search);
        return true;
    } catch (...) {
        return false;
    }
}
