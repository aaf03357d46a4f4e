// The command line as the viewer takes it: the request it makes (--help,
// --version or a path) and the start path made of it by the path rules of
// both systems, with the names the viewer then takes from that path.
//
// Input: the command-line text, then optionally a 0 byte and the working
// directory. A start path keeps no double quote of the command line, is
// absolute wherever the working directory is, and is spelt as itself.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/command_line.h"
#include "app/startup.h"
#include "util/path_rules.h"
#include "util/text.h"

namespace {

void require(bool holds) {
    if (!holds) std::abort();
}

void checkStartPath(PathStyle style, const std::string& commandLine, const std::string& workingDir) {
    std::string startPath = startPathFrom(style, commandLine.c_str(), workingDir);
    if (workingDir.find('"') == std::string::npos) require(startPath.find('"') == std::string::npos);
    if (isAbsolutePath(style, workingDir)) require(isAbsolutePath(style, startPath));
    std::string folder = dirnameOf(startPath);
    require(folder == ".\\" || startPath.compare(0, folder.size(), folder) == 0);
    // Windows compares names with ASCII letters folded and '/' as '\'.
    require(samePathSpelling(style, startPath, startPath));
    std::string folded = toLower(replaceAll(startPath, "/", "\\"));
    if (style == PathStyle::windows) require(samePathSpelling(style, startPath, folded));
    std::string extension = extensionOf(startPath);
    require(extension.find('.') == std::string::npos && toLower(extension) == extension);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string input(reinterpret_cast<const char*>(data), size);
    size_t end = input.find('\0');
    std::string commandLine = input.substr(0, end);
    commandLineRequest(commandLine.c_str());
    if (end == std::string::npos) {
        checkStartPath(PathStyle::posix, commandLine, "/home/user");
        checkStartPath(PathStyle::windows, commandLine, "C:\\Users\\user");
    } else {
        std::string workingDir = input.substr(end + 1);
        workingDir = workingDir.substr(0, workingDir.find('\0'));
        checkStartPath(PathStyle::posix, commandLine, workingDir);
        checkStartPath(PathStyle::windows, commandLine, workingDir);
    }
    return 0;
}
