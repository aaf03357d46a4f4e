// The decode helper's side of the Linux transport (platform/decode_helper.h;
// the channel is described in decode_transport.cpp, the viewer's side).
//
// The viewer starts olvistra-decode with OLVISTRA_DECODE_HELPER=<its pid> in
// the environment (followed by " 4" when descriptor 4 holds the display's
// colour profile) and the socket at descriptor 3. The helper dies with the
// viewer (PR_SET_PDEATHSIG), reads the profile, closes every other
// descriptor, starts its decoder with the profile and restricts itself
// (decode_sandbox.cpp) before its first job; the viewer's clock for that job
// starts once it sees the restriction. It opens no file: each request comes
// with the descriptors of the picture and its companions, mapped here.
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <string>
#include <vector>

#include "platform/decode_helper.h"
#include "platform/decode_transport.h"
#include "platform/decode_wire.h"
#include "platform/exif_orientation.h"
#include "platform/linux/decode_sandbox.h"
#include "platform/linux/descriptor_passing.h"
#include "util/downscale.h"

namespace {

const char* const helperMarker = "OLVISTRA_DECODE_HELPER";
const int helperSocketFd = 3;
const int displayProfileFd = 4;
// A request names the picture and its companions, each ended by a 0 byte.
const size_t maxRequestNames = decodeMaxHandedFiles * (decodeMaxPathBytes + 1);

HelperDecoder decoder;

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

// The file behind a descriptor the viewer handed over, mapped whole and
// read-only: its pages are the system's file cache, so a large picture is
// neither copied nor given fresh memory to clear. False when it is no
// regular file or too large. A file cut short while it is decoded ends the
// helper (SIGBUS), which the viewer takes for a failed decode, as it takes a
// file cut short before.
bool mapHanded(int fd, HandedFile* file) {
    struct stat status;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || uint64_t(status.st_size) > decodeMaxHandedFileBytes)
        return false;
    size_t size = size_t(status.st_size);
    if (size == 0) return true;
    void* mapped = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (mapped == MAP_FAILED) return false;
    file->bytes = std::string_view(static_cast<const char*>(mapped), size);
    file->unmap = [](std::string_view bytes) { ::munmap(const_cast<char*>(bytes.data()), bytes.size()); };
    return true;
}

// The files of a request: its 0-ended names, one for each descriptor, each
// mapped whole. Empty when they do not match or one cannot be read; the
// descriptors are closed either way.
std::vector<HandedFile> handedFiles(const char* names, size_t size, const std::vector<int>& fds) {
    std::vector<HandedFile> files;
    bool ok = !fds.empty();
    size_t at = 0;
    for (int fd : fds) {
        const void* end = at < size ? std::memchr(names + at, '\0', size - at) : nullptr;
        ok = ok && end != nullptr;
        if (ok) {
            HandedFile file;
            file.name.assign(names + at, static_cast<const char*>(end));
            at += file.name.size() + 1;
            ok = mapHanded(fd, &file);
            files.push_back(std::move(file));
        }
        ::close(fd);
    }
    if (!ok || at != size) files.clear();
    return files;
}

void answer(const std::vector<HandedFile>& files, uint32_t maxSide) {
    AnswerHeader result = {};
    int fd = -1;
    uint32_t storedWidth = 0, storedHeight = 0;
    if (!files.empty() && decoder.decode(files, pixelSideCap(maxSide), &storedWidth, &storedHeight)) {
        int orientation = jpegOrientation(files[0]);
        result = sizedAnswer(storedWidth, storedHeight, orientation, maxSide);
        fd = sealedPixelBuffer(size_t(result.byteCount), orientation, result.width, result.height);
        result.ok = fd >= 0 ? 1 : 0;
    }
    if (!result.ok) result = AnswerHeader{};
    bool sent = sendPacket(helperSocketFd, &result, sizeof result, &fd, fd >= 0 ? 1 : 0);
    if (fd >= 0) ::close(fd);
    if (!sent) std::_Exit(0);
}

// Receives one request: its packet and the descriptors attached. -1 when the
// viewer is gone.
ssize_t receiveRequest(char* packet, size_t size, std::vector<int>* fds) {
    bool cutShort = false;
    ssize_t got = receivePacket(helperSocketFd, packet, size, decodeMaxHandedFiles, fds, &cutShort);
    // Descriptors that did not all fit are not trusted to be the files named.
    if (cutShort) {
        for (int fd : *fds) ::close(fd);
        fds->clear();
    }
    return got <= 0 ? -1 : got;
}

int helperLoop() {
    static char request[sizeof(uint32_t) + maxRequestNames + 1];
    std::vector<int> fds;
    for (;;) {
        ssize_t got = receiveRequest(request, sizeof request, &fds);
        if (got < 0) return 0;  // the viewer is gone
        if (size_t(got) < sizeof(uint32_t) || size_t(got) > sizeof(uint32_t) + maxRequestNames) {
            for (int fd : fds) ::close(fd);
            fds.clear();
        }
        size_t namesSize = size_t(got) >= sizeof(uint32_t) ? size_t(got) - sizeof(uint32_t) : 0;
        answer(handedFiles(request + sizeof(uint32_t), namesSize, fds),
               size_t(got) >= sizeof(uint32_t) ? littleEndian32(reinterpret_cast<const unsigned char*>(request)) : 0);
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
