#include "util/path_rules.h"

#include "util/text.h"

std::string defaultStartPath(PathStyle style) { return style == PathStyle::windows ? "C:/" : "/"; }

bool isAbsolutePath(PathStyle style, const std::string& path) {
    if (style == PathStyle::windows) return hasDriveColon(path);
    return !path.empty() && path[0] == '/';
}

char directorySeparator(PathStyle style) { return style == PathStyle::windows ? '\\' : '/'; }

std::string joinToWorkingDir(PathStyle style, const std::string& workingDir, const std::string& relative) {
    std::string joined = workingDir;
    bool endsInSeparator = !joined.empty() && (joined.back() == '\\' || joined.back() == '/');
    if (!endsInSeparator) joined += directorySeparator(style);
    return joined + relative;
}
