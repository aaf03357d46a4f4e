#include "util/path_rules.h"

#include "util/text.h"

std::string defaultStartPath(PathStyle style) { return style == PathStyle::windows ? "C:/" : "/"; }

namespace {

bool isSeparator(char c) { return c == '\\' || c == '/'; }

// A byte as Windows compares names: ASCII letters in lower case, '/' as '\'.
char windowsFolded(char c) {
    if (c == '/') return '\\';
    return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
}

}  // namespace

bool isAbsolutePath(PathStyle style, const std::string& path) {
    if (style == PathStyle::windows) {
        return hasDriveColon(path) || (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1]));
    }
    return !path.empty() && path[0] == '/';
}

bool samePathSpelling(PathStyle style, const std::string& a, const std::string& b) {
    if (style == PathStyle::posix || a.size() != b.size()) return a == b;
    for (size_t i = 0; i < a.size(); ++i) {
        if (windowsFolded(a[i]) != windowsFolded(b[i])) return false;
    }
    return true;
}

char directorySeparator(PathStyle style) { return style == PathStyle::windows ? '\\' : '/'; }

std::string joinToWorkingDir(PathStyle style, const std::string& workingDir, const std::string& relative) {
    std::string joined = workingDir;
    bool endsInSeparator = !joined.empty() && isSeparator(joined.back());
    if (!endsInSeparator) joined += directorySeparator(style);
    return joined + relative;
}
