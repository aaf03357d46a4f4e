// The decode service's transport on Linux: the helper process, the socket to
// it, and the helper's own end (platform/decode_transport.h).
//
// The helper is this very executable, started again through /proc/self/exe
// with OLVISTRA_DECODE_HELPER=<parent pid> in its environment; a constructor
// sees the marker and runs the helper loop instead of the program (no second
// executable to install or find). When the display has a colour profile,
// the marker goes on with " 4" and descriptor 4 is a sealed memfd holding
// it, which the helper reads before it restricts itself. Parent and helper
// talk over a SOCK_SEQPACKET socket pair placed at the helper's descriptor 3:
//   request: one packet holding the longest side the pixels may have (a
//            little-endian uint32, 0 for the built-in cap), then the path's
//            bytes;
//   narrow:  a packet of that side alone, sent while a job runs: the helper
//            takes it before it sizes the pixels, and ignores it when idle;
//   answer:  one packet holding a ResultHeader, with the memfd of the pixels
//            attached (SCM_RIGHTS) when `ok` is set.
// The helper seals the memfd against growing, shrinking and writing before
// it sends it, so the parent's read-only mapping can neither be changed nor
// cut short under it (no SIGBUS); the parent checks the seals and the size
// (decode_answer.cpp).
//
// A JPEG's pixels are turned upright by its EXIF Orientation tag before they
// leave the helper (exif_orientation.h), and the header gives the upright
// size, so the viewer never learns that a picture was stored on its side.
// A picture larger than textureSideCap is shrunk in the same step, and the
// header gives both the pixels' size and the picture's.
//
// The helper restricts itself before its first job (see decode_sandbox.cpp).
// It ends when the socket reports end of file, and is killed with the parent
// (PR_SET_PDEATHSIG), so no helper outlives the viewer.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/decode_transport.h"
#include "platform/decode_wire.h"
#include "platform/exif_orientation.h"
#include "platform/linux/decode_answer.h"
#include "platform/helper_decoder.h"
#include "platform/linux/decode_sandbox.h"
#include "platform/linux/layer_state.h"
#include "platform/linux/spawn_self.h"
#include "platform/services.h"

namespace {

const char* const helperMarker = "OLVISTRA_DECODE_HELPER";
const int helperSocketFd = 3;
const int displayProfileFd = 4;
const size_t maxPathBytes = decodeMaxPathBytes;
const char* const tunablesName = "GLIBC_TUNABLES";
const char* const hugePagesTunable = "glibc.malloc.hugetlb=1";

using ResultHeader = AnswerHeader;

// The viewer's hold on its helper.
struct Helper {
    pid_t pid = 0;
    int socket = -1;
};

Helper helper;

// ---- helper side ------------------------------------------------------------

bool sendAll(int socket, const void* data, size_t size, int attachedFd) {
    iovec part = {const_cast<void*>(data), size};
    msghdr message = {};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    if (attachedFd >= 0) {
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        cmsghdr* header = CMSG_FIRSTHDR(&message);
        header->cmsg_level = SOL_SOCKET;
        header->cmsg_type = SCM_RIGHTS;
        header->cmsg_len = CMSG_LEN(sizeof(int));
        std::memcpy(CMSG_DATA(header), &attachedFd, sizeof(int));
    }
    for (;;) {
        ssize_t sent = ::sendmsg(socket, &message, MSG_NOSIGNAL);
        if (sent >= 0) return size_t(sent) == size;
        if (errno != EINTR) return false;
    }
}

// A sealed memfd holding the decoded pixels, or -1.
int sealedPixelBuffer(size_t size, int orientation, uint32_t width, uint32_t height) {
    int fd = int(::syscall(SYS_memfd_create, "olvistra-decoded", MFD_CLOEXEC | MFD_ALLOW_SEALING));
    if (fd < 0) return -1;
    bool ok = ::ftruncate(fd, off_t(size)) == 0;
    if (ok) {
        void* target = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE, fd, 0);
        ok = target != MAP_FAILED;
        if (ok) {
            registeredHelperDecoder()->copyRgba(static_cast<unsigned char*>(target), orientation, width, height);
            ::munmap(target, size);
        }
    }
    ok = ok && ::fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) == 0;
    if (!ok) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// The latest side sent while the job ran, else the request's.
uint32_t narrowedSide(uint32_t maxSide) {
    unsigned char packet[sizeof(uint32_t) + 1];
    for (;;) {
        // Only narrow packets can be waiting: no request comes while a job runs.
        ssize_t got = ::recv(helperSocketFd, packet, sizeof packet, MSG_DONTWAIT | MSG_PEEK);
        if (got != ssize_t(sizeof(uint32_t))) return maxSide;
        if (::recv(helperSocketFd, packet, sizeof packet, MSG_DONTWAIT) != ssize_t(sizeof(uint32_t))) return maxSide;
        maxSide = littleEndian32(packet);
    }
}

void answer(const char* path, uint32_t maxSide) {
    ResultHeader result = {};
    int fd = -1;
    uint32_t storedWidth = 0, storedHeight = 0;
    if (registeredHelperDecoder()->decode(path, &storedWidth, &storedHeight)) {
        int orientation = jpegOrientation(path);
        result = sizedAnswer(storedWidth, storedHeight, orientation, narrowedSide(maxSide));
        fd = sealedPixelBuffer(size_t(result.byteCount), orientation, result.width, result.height);
        result.ok = fd >= 0 ? 1 : 0;
    }
    if (!result.ok) result = ResultHeader{};
    bool sent = sendAll(helperSocketFd, &result, sizeof result, fd);
    if (fd >= 0) ::close(fd);
    if (!sent) std::_Exit(0);
}

[[noreturn]] void helperLoop() {
    static char request[sizeof(uint32_t) + maxPathBytes + 1];
    for (;;) {
        ssize_t got = ::recv(helperSocketFd, request, sizeof request, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) std::_Exit(0);  // the viewer is gone
        if (size_t(got) == sizeof(uint32_t)) continue;  // a narrow that came after its job
        if (size_t(got) < sizeof(uint32_t) || size_t(got) > sizeof(uint32_t) + maxPathBytes) {
            ResultHeader refused = {};
            if (!sendAll(helperSocketFd, &refused, sizeof refused, -1)) std::_Exit(0);
            continue;
        }
        request[got] = '\0';
        answer(request + sizeof(uint32_t), littleEndian32(reinterpret_cast<const unsigned char*>(request)));
    }
}

// The display profile the viewer left at `fd`, or empty when it is not a
// sealed buffer of a size the viewer sends.
std::string receivedDisplayProfile(int fd) {
    std::string bytes;
    int seals = ::fcntl(fd, F_GET_SEALS);
    off_t size = ::lseek(fd, 0, SEEK_END);
    if (seals < 0 || !(seals & F_SEAL_WRITE) || size <= 0 || uint64_t(size) > decode_transport::maxDisplayProfileBytes)
        return bytes;
    bytes.resize(size_t(size));
    for (size_t done = 0; done < bytes.size();) {
        ssize_t got = ::pread(fd, &bytes[done], bytes.size() - done, off_t(done));
        if (got <= 0) return std::string();
        done += size_t(got);
    }
    return bytes;
}

// Runs before main() in every start of the executable; only a start made by
// startHelper() carries the marker.
__attribute__((constructor)) void decodeHelperEntry() {
    const char* marker = std::getenv(helperMarker);
    if (!marker) return;
    char* end = nullptr;
    pid_t parent = pid_t(std::strtol(marker, &end, 10));
    bool profileGiven = std::strtol(end, nullptr, 10) == displayProfileFd;
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) std::_Exit(0);
    ::unsetenv(helperMarker);
    std::string displayProfile = profileGiven ? receivedDisplayProfile(displayProfileFd) : std::string();
    closeDescriptorsAbove(helperSocketFd);
    const HelperDecoder* decoder = registeredHelperDecoder();
    if (!decoder) std::_Exit(0);  // nothing to decode with: every job fails
    decoder->start(displayProfile);
    restrictDecodeHelper();
#ifdef OLVISTRA_TEST_HOOKS
    if (const char* folder = std::getenv("OLVISTRA_SANDBOX_ATTACK")) attackDecodeSandbox(helperSocketFd, folder);
#endif
    helperLoop();
}

// ---- viewer side ------------------------------------------------------------

// A sealed memfd holding the display's profile, or -1 when there is none.
int displayProfileBuffer() {
    const std::string& profile = decode_transport::displayProfile();
    if (profile.empty() || profile.size() > decode_transport::maxDisplayProfileBytes) return -1;
    int fd = int(::syscall(SYS_memfd_create, "olvistra-display-profile", MFD_CLOEXEC | MFD_ALLOW_SEALING));
    if (fd < 0) return -1;
    bool ok = true;
    for (size_t done = 0; ok && done < profile.size();) {
        ssize_t put = ::write(fd, profile.data() + done, profile.size() - done);
        ok = put > 0;
        if (ok) done += size_t(put);
    }
    if (!ok || ::fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool spawnHelper() {
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) return false;
    // dup2 onto the same number would keep close-on-exec set.
    if (pair[1] == helperSocketFd) {
        int moved = ::fcntl(pair[1], F_DUPFD_CLOEXEC, helperSocketFd + 1);
        ::close(pair[1]);
        if (moved < 0) {
            ::close(pair[0]);
            return false;
        }
        pair[1] = moved;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pair[1], helperSocketFd);
    // Made after the pair, so not at descriptor 3 or 4 while 0 to 2 are open
    // (dup2 onto another number clears close-on-exec); were it there, the
    // helper would find no sealed buffer and show sRGB.
    int profile = displayProfileBuffer();
    if (profile >= 0) posix_spawn_file_actions_adddup2(&actions, profile, displayProfileFd);

    std::string marker = std::string(helperMarker) + "=" + std::to_string(::getpid());
    if (profile >= 0) marker += " " + std::to_string(displayProfileFd);
    // A large picture's buffers are fresh memory on every decode; with huge
    // pages glibc's malloc takes a few hundred faults for them instead of
    // tens of thousands (about 30 ms on a 6000 x 4000 photo).
    // The caller's own tunables are kept.
    const char* ownTunables = std::getenv(tunablesName);
    std::string tunables = std::string(tunablesName) + "=" +
                           (ownTunables ? std::string(ownTunables) + ":" + hugePagesTunable : hugePagesTunable);
    char exe[] = "/proc/self/exe";
    char name[] = "olvistra-decode-helper";
    char* argv[] = {exe, name, nullptr};
    pid_t child = 0;
    bool spawned = spawnSelf(argv, {marker, tunables}, &actions, &child);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pair[1]);
    if (profile >= 0) ::close(profile);
    if (!spawned) {
        ::close(pair[0]);
        return false;
    }
    helper.pid = child;
    helper.socket = pair[0];
    return true;
}

// True once the helper has set no-new-privileges, the step before its
// filter and its first job.
bool helperRestricted(pid_t pid) {
    std::string path = "/proc/" + std::to_string(pid) + "/status";
    std::FILE* status = std::fopen(path.c_str(), "re");
    if (!status) return false;
    char line[256];
    bool restricted = false;
    while (!restricted && std::fgets(line, sizeof line, status)) {
        restricted = std::strncmp(line, "NoNewPrivs:", 11) == 0 && std::strchr(line + 11, '1') != nullptr;
    }
    std::fclose(status);
    return restricted;
}

}  // namespace

namespace decode_transport {

bool helperRunning() {
    if (helper.pid <= 0) return false;
    int status = 0;
    pid_t waited = ::waitpid(helper.pid, &status, WNOHANG);
    if (waited == 0) return true;
    helper.pid = 0;  // reaped, or not ours any more
    endHelper();
    return false;
}

bool startHelper() { return spawnHelper(); }

void endHelper() {
    if (helper.socket >= 0) ::close(helper.socket);
    helper.socket = -1;
    if (helper.pid > 0) {
        ::kill(helper.pid, SIGKILL);
        while (::waitpid(helper.pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    helper.pid = 0;
}

bool helperStarted() { return helper.pid > 0 && helperRestricted(helper.pid); }

bool sendRequest(const char* path, uint32_t maxSide) {
    std::string request = littleEndianBytes(maxSide) + path;
    return ::send(helper.socket, request.data(), request.size(), MSG_NOSIGNAL) == ssize_t(request.size());
}

bool sendNarrow(uint32_t maxSide) {
    std::string packet = littleEndianBytes(maxSide);
    return ::send(helper.socket, packet.data(), packet.size(), MSG_NOSIGNAL | MSG_DONTWAIT) == ssize_t(packet.size());
}

void jobSent() { olvlinux::watchDecodeAnswer(helper.socket); }

Wait waitForAnswer(uint32_t waitMs) {
    pollfd watch = {helper.socket, POLLIN, 0};
    int ready = ::poll(&watch, 1, int(waitMs));
    if (ready < 0 && errno == EINTR) return Wait::interrupted;
    if (ready == 0) return Wait::nothing;
    return (watch.revents & POLLIN) ? Wait::answer : Wait::broken;
}

bool receiveAnswer(DecodedImage* image, bool* decoded) { return receiveDecodeAnswer(helper.socket, image, decoded); }

void stopped() { olvlinux::stopWatchingDecodeAnswers(); }

long helperProcessId() { return long(helper.pid); }

}  // namespace decode_transport
