#include "platform/linux/decode_answer.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/decode_wire.h"
#include "platform/linux/descriptor_passing.h"

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
    std::vector<int> fds;
    bool cutShort = false;
    ssize_t got = receivePacket(socket, &header, sizeof header, 4, &fds, &cutShort);
    int fd = fds.empty() ? -1 : fds[0];
    for (size_t i = 1; i < fds.size(); ++i) ::close(fds[i]);
    bool wellFormed = got == ssize_t(sizeof header) && !cutShort;
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
