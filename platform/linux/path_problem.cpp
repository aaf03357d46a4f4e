// Why a start path can be neither read as a picture file nor listed as a
// folder, in the system's own words (strerror of the call that refuses it).
//
// Honoured: missing paths and parents, symbolic-link loops, permissions on
// the path itself, on a folder on its way and on the folder a file is
// listed in; FIFOs, devices and sockets are named "Not a picture or folder".
// Not supported: a path that is fine by the time it is examined again
// gives no reason (the caller then shows none).
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/services.h"
#include "platform/win32.h"

namespace {

// The errno text of opening the directory for listing, or empty.
std::string listingProblem(const std::string& directory) {
    DIR* stream = ::opendir(directory.c_str());
    if (!stream) return std::strerror(errno);
    ::closedir(stream);
    return std::string();
}

}  // namespace

std::string pathProblem(const char* path) {
    struct stat info;
    if (::stat(path, &info) != 0) return std::strerror(errno);
    if (S_ISDIR(info.st_mode)) return listingProblem(path);
    if (!S_ISREG(info.st_mode)) return "Not a picture or folder";
    int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return std::strerror(errno);
    ::close(fd);
    std::string directory(path);
    std::string::size_type separator = directory.find_last_of('/');
    directory = separator == std::string::npos ? "." : separator == 0 ? "/" : directory.substr(0, separator);
    return listingProblem(directory);
}
