// The decode helper's answer as the viewer receives it on Linux, played by
// the fuzzer's bytes: a helper that has been taken over can send anything.
//
// Input: one control byte, the packet's length and a count of MiB (a byte
// each), the packet (the answer header, or any other bytes), then the pixel
// data. The control byte's low bits choose what rides with the packet: a
// memfd holding the pixel data (sealed as bits 2-4 say), that and a second
// descriptor, or a pipe; bit 6 makes the memfd larger than the data by the
// MiB count (at most 63), sparse; bit 7 ends the channel after the packet.
//
// Any answer must give either an image whose every byte lies in the buffer
// handed over and whose size its header fixes within the largest picture a
// request allows, or a failed decode; never a crash, and no descriptor left
// open.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/decode_wire.h"
#include "platform/linux/decode_answer.h"
#include "util/downscale.h"

namespace {

const uint64_t largestAnswerBytes = uint64_t(textureSideCap) * textureSideCap * 4;
const uint64_t sparseStep = uint64_t(1) << 20;

void require(bool holds) {
    if (!holds) std::abort();
}

// The lowest descriptor number free now: a descriptor left open by the
// viewer shows as a higher one next time.
int lowestFreeDescriptor() {
    int probe = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ::close(probe);
    return probe;
}

int memfdOf(const uint8_t* data, size_t size, uint8_t control, uint8_t sparseMiB) {
    int fd = int(::syscall(SYS_memfd_create, "fuzz-answer", MFD_CLOEXEC | MFD_ALLOW_SEALING));
    require(fd >= 0);
    size_t written = 0;
    while (written < size) {
        ssize_t n = ::write(fd, data + written, size - written);
        require(n > 0);
        written += size_t(n);
    }
    if (control & 0x40) require(::ftruncate(fd, off_t(size + sparseMiB % 64 * sparseStep)) == 0);
    int seals = ((control & 0x04) ? F_SEAL_SHRINK : 0) | ((control & 0x08) ? F_SEAL_GROW : 0) |
                ((control & 0x10) ? F_SEAL_WRITE : 0);
    if (seals) require(::fcntl(fd, F_ADD_SEALS, seals) == 0);
    return fd;
}

bool sendAnswer(int socket, const uint8_t* packet, size_t packetSize, const int* fds, size_t fdCount) {
    iovec part = {const_cast<uint8_t*>(packet), packetSize};
    msghdr message = {};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * 2)] = {};
    if (fdCount > 0) {
        message.msg_control = control;
        message.msg_controllen = CMSG_SPACE(sizeof(int) * fdCount);
        cmsghdr* header = CMSG_FIRSTHDR(&message);
        header->cmsg_level = SOL_SOCKET;
        header->cmsg_type = SCM_RIGHTS;
        header->cmsg_len = CMSG_LEN(sizeof(int) * fdCount);
        std::memcpy(CMSG_DATA(header), fds, sizeof(int) * fdCount);
    }
    return ::sendmsg(socket, &message, MSG_NOSIGNAL) == ssize_t(packetSize);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    uint8_t control = data[0], sparseMiB = data[2];
    size_t packetSize = data[1] < size - 3 ? data[1] : size - 3;
    const uint8_t* packet = data + 3;
    const uint8_t* pixels = packet + packetSize;
    size_t pixelBytes = size - 3 - packetSize;

    int before = lowestFreeDescriptor();
    int pair[2];
    require(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) == 0);
    int fds[2] = {-1, -1};
    size_t fdCount = 0;
    switch (control & 0x03) {
        case 1: fds[fdCount++] = memfdOf(pixels, pixelBytes, control, sparseMiB); break;
        case 2:
            fds[fdCount++] = memfdOf(pixels, pixelBytes, control, sparseMiB);
            fds[fdCount++] = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
            break;
        case 3: {
            int pipeEnds[2];
            require(::pipe2(pipeEnds, O_CLOEXEC) == 0);
            ::close(pipeEnds[1]);
            fds[fdCount++] = pipeEnds[0];
            break;
        }
        default: break;
    }
    bool sent = sendAnswer(pair[1], packet, packetSize, fds, fdCount);
    for (size_t i = 0; i < fdCount; ++i) ::close(fds[i]);
    // A helper that died before answering: the viewer reads end of file.
    if (!sent || (control & 0x80)) ::shutdown(pair[1], SHUT_WR);

    DecodedImage image;
    bool decoded = true;
    bool wellFormed = receiveDecodeAnswer(pair[0], &image, &decoded);
    if (decoded) {
        require(wellFormed);
        AnswerHeader header;
        require(packetSize == sizeof header);
        std::memcpy(&header, packet, sizeof header);
        require(header.ok && image.width == header.width && image.height == header.height);
        require(image.width > 0 && image.height > 0 && image.byteCount == uint64_t(image.width) * image.height * 4);
        require(image.pictureWidth >= image.width && image.pictureHeight >= image.height);
        require(image.width <= textureSideCap && image.height <= textureSideCap);
        require(image.byteCount <= largestAnswerBytes);
        // Every byte is the buffer's: what was written, then the sparse zeros.
        size_t shared = pixelBytes < image.byteCount ? pixelBytes : image.byteCount;
        require(std::memcmp(image.pixels, pixels, shared) == 0);
        for (size_t i = shared; i < image.byteCount; i += 4096) require(image.pixels[i] == 0);
        releaseDecodedImage(&image);
    } else {
        require(image.pixels == nullptr && image.handle == nullptr && image.byteCount == 0);
    }
    ::close(pair[0]);
    ::close(pair[1]);
    require(lowestFreeDescriptor() == before);
    return 0;
}
