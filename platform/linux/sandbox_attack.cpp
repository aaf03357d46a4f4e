// Test build only: the decode helper attacking its own sandbox.
//
// Started like a real helper but with OLVISTRA_SANDBOX_ATTACK naming a
// writable folder, the helper takes the same restrictions as before a real
// decode and then tries what a hostile file that took over the decoder
// would try: start a program, read, write and create files, open and connect a
// socket, signal or trace the viewer, map memory writable and executable,
// and raise its own limits. It sends one packet with a line per attempt,
// "<name> <errno>" (0 when the attempt succeeded), and ends. The signal and
// trace attempts are harmless if they succeed: signal 0 and PTRACE_TRACEME.
#ifdef OLVISTRA_TEST_HOOKS
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/linux/decode_sandbox.h"

namespace {

// The errno of a call that returned -1, or 0 when it succeeded.
int outcome(long result) { return result == -1 ? errno : 0; }

int tryExec() {
    char program[] = "/bin/true";
    char* argv[] = {program, nullptr};
    char* env[] = {nullptr};
    return outcome(::execve(program, argv, env));
}

int tryFork() {
    pid_t child = ::fork();
    if (child == 0) std::_Exit(0);
    if (child > 0) ::waitpid(child, nullptr, 0);
    return outcome(child);
}

int tryOpen(const std::string& path, int flags) {
    int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0600);
    if (fd >= 0) ::close(fd);
    return outcome(fd);
}

int tryCreat(const std::string& path) {
#ifdef SYS_creat
    long fd = ::syscall(SYS_creat, path.c_str(), 0600);
    if (fd >= 0) ::close(int(fd));
    return outcome(fd);
#else
    return tryOpen(path, O_WRONLY | O_CREAT | O_TRUNC);
#endif
}

int trySocket(int domain) {
    int fd = ::socket(domain, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0) ::close(fd);
    return outcome(fd);
}

// Connecting the one socket the helper holds to another address.
int tryConnect(int socket) {
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::string name = std::string(1, '\0') + "olvistra-attack";
    name.copy(address.sun_path, name.size());
    socklen_t length = socklen_t(sizeof(sa_family_t) + name.size());
    return outcome(::connect(socket, reinterpret_cast<sockaddr*>(&address), length));
}

int tryReadViewerMemory() {
    char mine[8] = {}, theirs[8] = {};
    iovec local = {mine, sizeof mine}, remote = {theirs, sizeof theirs};
    return outcome(::process_vm_readv(::getppid(), &local, 1, &remote, 1, 0));
}

int tryWritableExecutable() {
    void* block = ::mmap(nullptr, 4096, PROT_READ | PROT_WRITE | PROT_EXEC, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block != MAP_FAILED) ::munmap(block, 4096);
    return block == MAP_FAILED ? errno : 0;
}

int tryMakeExecutableWritable() {
    void* block = ::mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) return errno;
    int result = outcome(::mprotect(block, 4096, PROT_READ | PROT_WRITE | PROT_EXEC));
    ::munmap(block, 4096);
    return result;
}

// Raising a soft limit up to its hard limit needs no privilege, so only the
// filter can refuse it; -1 when the soft limit leaves nothing to raise.
int tryRaiseLimit() {
    rlimit files = {};
    if (::getrlimit(RLIMIT_NOFILE, &files) != 0 || files.rlim_cur >= files.rlim_max) return -1;
    files.rlim_cur = files.rlim_max;
    return outcome(::setrlimit(RLIMIT_NOFILE, &files));
}

}  // namespace

void attackDecodeSandbox(int socket, const char* folder) {
    std::string dir = std::string(folder) + "/";
    const std::pair<const char*, int> attempts[] = {
        {"execve", tryExec()},
        {"fork", tryFork()},
        {"open-for-reading", tryOpen(dir + "target", O_RDONLY)},
        {"open-for-writing", tryOpen(dir + "target", O_WRONLY)},
        {"open-read-write", tryOpen(dir + "target", O_RDWR)},
        {"open-truncating", tryOpen(dir + "target", O_RDONLY | O_TRUNC)},
        {"create", tryOpen(dir + "created", O_WRONLY | O_CREAT)},
        {"creat", tryCreat(dir + "created")},
        {"socket-inet", trySocket(AF_INET)},
        {"socket-unix", trySocket(AF_UNIX)},
        {"connect", tryConnect(socket)},
        {"kill-viewer", outcome(::kill(::getppid(), 0))},
        {"tgkill-viewer", outcome(::syscall(SYS_tgkill, ::getppid(), ::getppid(), 0))},
        {"ptrace", outcome(::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr))},
        {"read-viewer-memory", tryReadViewerMemory()},
        {"mmap-writable-executable", tryWritableExecutable()},
        {"mprotect-writable-executable", tryMakeExecutableWritable()},
        {"raise-limit", tryRaiseLimit()},
    };
    std::string report;
    for (const auto& [name, error] : attempts) report += std::string(name) + " " + std::to_string(error) + "\n";
    ::send(socket, report.data(), report.size(), MSG_NOSIGNAL);
    std::_Exit(0);
}
#endif
