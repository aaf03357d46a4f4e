// The registry file as the viewer reads it at start: a .reg text (from /etc,
// or from OLVISTRA_REGISTRY) in which it looks for the install directory.
//
// Input: the file's bytes. Whatever they hold, the install directory stays
// a terminated string within its buffer.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/startup.h"

namespace {

std::string file;

void require(bool holds) {
    if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char pattern[] = "/tmp/olvistra-fuzz-registry.XXXXXX";
    int fd = ::mkstemp(pattern);
    require(fd >= 0);
    ::close(fd);
    file = pattern;
    ::setenv("OLVISTRA_REGISTRY", file.c_str(), 1);
    // A missing key is told in a box: answered at once, written to stderr.
    ::setenv("OLVISTRA_DIALOG_ANSWER", "yes", 1);
    std::atexit([] { ::unlink(file.c_str()); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    int fd = ::open(file.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    require(fd >= 0);
    for (size_t written = 0; written < size;) {
        ssize_t n = ::write(fd, data + written, size - written);
        require(n > 0);
        written += size_t(n);
    }
    ::close(fd);
    std::strcpy(installDir, "D:\\");
    loadInstallDir();
    require(strnlen(installDir, sizeof installDir) < sizeof installDir);
    return 0;
}
