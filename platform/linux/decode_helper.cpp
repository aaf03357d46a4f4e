// The decode helper's side of the Linux transport (platform/decode_helper.h;
// the channel is described in decode_transport.cpp, the viewer's side).
//
// The viewer starts olvistra-decode with OLVISTRA_DECODE_HELPER=<its pid> in
// the environment (followed by " 4" when descriptor 4 holds the display's
// colour profile) and the socket at descriptor 3. The helper dies with the
// viewer (PR_SET_PDEATHSIG), reads the profile, closes every other
// descriptor, starts its decoder with the profile and restricts itself
// (decode_sandbox.cpp) before its first job; the viewer's clock for that job
// starts once it sees the restriction.
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <string>

#include "platform/decode_helper.h"
#include "platform/decode_transport.h"
#include "platform/decode_wire.h"
#include "platform/exif_orientation.h"
#include "platform/linux/decode_sandbox.h"

namespace {

const char* const helperMarker = "OLVISTRA_DECODE_HELPER";
const int helperSocketFd = 3;
const int displayProfileFd = 4;
const size_t maxPathBytes = decodeMaxPathBytes;

HelperDecoder decoder;

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
            decoder.copyRgba(static_cast<unsigned char*>(target), orientation, width, height);
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
    AnswerHeader result = {};
    int fd = -1;
    uint32_t storedWidth = 0, storedHeight = 0;
    if (decoder.decode(path, &storedWidth, &storedHeight)) {
        int orientation = jpegOrientation(path);
        result = sizedAnswer(storedWidth, storedHeight, orientation, narrowedSide(maxSide));
        fd = sealedPixelBuffer(size_t(result.byteCount), orientation, result.width, result.height);
        result.ok = fd >= 0 ? 1 : 0;
    }
    if (!result.ok) result = AnswerHeader{};
    bool sent = sendAll(helperSocketFd, &result, sizeof result, fd);
    if (fd >= 0) ::close(fd);
    if (!sent) std::_Exit(0);
}

int helperLoop() {
    static char request[sizeof(uint32_t) + maxPathBytes + 1];
    for (;;) {
        ssize_t got = ::recv(helperSocketFd, request, sizeof request, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return 0;  // the viewer is gone
        if (size_t(got) == sizeof(uint32_t)) continue;  // a narrow that came after its job
        if (size_t(got) < sizeof(uint32_t) || size_t(got) > sizeof(uint32_t) + maxPathBytes) {
            AnswerHeader refused = {};
            if (!sendAll(helperSocketFd, &refused, sizeof refused, -1)) return 0;
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

}  // namespace

bool startedAsDecodeHelper() {
    const char* marker = std::getenv(helperMarker);
    return marker && ::fcntl(helperSocketFd, F_GETFD) >= 0;
}

int serveDecodeRequests(const HelperDecoder& given) {
    char* end = nullptr;
    pid_t viewer = pid_t(std::strtol(std::getenv(helperMarker), &end, 10));
    bool profileGiven = std::strtol(end, nullptr, 10) == displayProfileFd;
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != viewer) return 0;  // the viewer is already gone
    ::unsetenv(helperMarker);
    std::string displayProfile = profileGiven ? receivedDisplayProfile(displayProfileFd) : std::string();
    closeDescriptorsAbove(helperSocketFd);
    decoder = given;
    decoder.start(displayProfile);
    restrictDecodeHelper();
#ifdef OLVISTRA_TEST_HOOKS
    if (const char* folder = std::getenv("OLVISTRA_SANDBOX_ATTACK")) attackDecodeSandbox(helperSocketFd, folder);
#endif
    return helperLoop();
}
