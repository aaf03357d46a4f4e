#include "platform/linux/decode_answer.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/decode_wire.h"

namespace {

// Maps the helper's buffer after checking that it is sealed and exactly as
// large as the header says.
bool mapPixels(int fd, const AnswerHeader& header, DecodedImage* image) {
    if (!answerSizesAgree(header)) return false;
    uint64_t expected = header.byteCount;
    int seals = ::fcntl(fd, F_GET_SEALS);
    int needed = F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE;
    if (seals < 0 || (seals & needed) != needed) return false;
    off_t size = ::lseek(fd, 0, SEEK_END);
    if (size < 0 || uint64_t(size) != expected) return false;
    void* mapped = ::mmap(nullptr, size_t(expected), PROT_READ, MAP_SHARED | MAP_POPULATE, fd, 0);
    if (mapped == MAP_FAILED) return false;
    *image = answeredImage(header, mapped, mapped);
    return true;
}

}  // namespace

bool receiveDecodeAnswer(int socket, DecodedImage* image, bool* decoded) {
    AnswerHeader header = {};
    iovec part = {&header, sizeof header};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * 4)] = {};
    msghdr message = {};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    ssize_t got;
    do {
        got = ::recvmsg(socket, &message, MSG_CMSG_CLOEXEC);
    } while (got < 0 && errno == EINTR);
    int fd = -1;
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS) continue;
        size_t fds = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (size_t i = 0; i < fds; ++i) {
            int received;
            std::memcpy(&received, CMSG_DATA(c) + i * sizeof(int), sizeof(int));
            if (fd < 0) {
                fd = received;
            } else {
                ::close(received);
            }
        }
    }
    bool wellFormed = got == ssize_t(sizeof header) && !(message.msg_flags & (MSG_TRUNC | MSG_CTRUNC));
    *decoded = false;
    if (wellFormed && header.ok) {
        *decoded = fd >= 0 && mapPixels(fd, header, image);
    } else if (wellFormed && fd >= 0) {
        wellFormed = false;  // a failure never carries a buffer
    }
    if (fd >= 0) ::close(fd);
    return wellFormed;
}

void releaseDecodedImage(DecodedImage* image) {
    if (image->handle) ::munmap(image->handle, image->byteCount);
    *image = DecodedImage{};
}
