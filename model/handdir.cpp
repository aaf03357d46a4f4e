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

// How a search of a directory ended.
enum class Search { unopened, stopped, ended, failed };

// The one walk over a directory's names: hands each to `visit` in the
// order the system returns them until it returns false or the names run
// out, and always closes the search. Raises what `visit` raises.
Search searchNames(const std::string& pattern, const std::function<bool(const char*)>& visit) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return Search::unopened;
    Search outcome = Search::stopped;
    try {
        while (visit(found.cFileName)) {
            if (!FindNextFileA(search, &found)) {
                outcome = GetLastError() == ERROR_NO_MORE_FILES ? Search::ended : Search::failed;
                break;
            }
        }
    } catch (...) {
        FindClose(search);
        throw;
    }
    if (!FindClose(search) && outcome == Search::ended) outcome = Search::failed;
    return outcome;
}

}  // namespace

Handdir::Handdir(std::string path) : cursor(0) { opendir(path); }

bool Handdir::opendir(std::string path) {
    cursor = 0;
    names.count = 0;
    pattern = searchPattern(path);
    if (pattern.empty()) throw std::string("Handdir::opendir -> FindFirstFile");

    Search outcome = searchNames(pattern, [this](const char* name) {
        uint32_t n = names.count;
        names[n] = name;
        names.count = n + 1;
        return true;
    });
    if (outcome == Search::unopened) throw std::string("Handdir::opendir -> FindFirstFile");
    if (outcome != Search::ended) throw std::string("Handdir::opendir -> FindNextFile");
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
    return searchNames(pattern, [&visit](const char* name) { return visit(name); }) != Search::unopened;
}

// The first name found answers the question, so a large sub-directory is
// not read to its end (listing a folder of many sub-folders asks this once
// for each of them).
bool isReadableDir(std::string path) {
    try {
        std::string pattern = searchPattern(path);
        return !pattern.empty() && searchNames(pattern, [](const char*) { return false; }) != Search::unopened;
    } catch (...) {
        return false;
    }
}
