#include "platform/linux/descriptor_passing.h"

#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <vector>

bool sendPacket(int socket, const void* data, size_t size, const int* fds, size_t count) {
    iovec part = {const_cast<void*>(data), size};
    msghdr message = {};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    std::vector<char> control(CMSG_SPACE(sizeof(int) * count));
    if (count > 0) {
        message.msg_control = control.data();
        message.msg_controllen = control.size();
        cmsghdr* header = CMSG_FIRSTHDR(&message);
        header->cmsg_level = SOL_SOCKET;
        header->cmsg_type = SCM_RIGHTS;
        header->cmsg_len = CMSG_LEN(sizeof(int) * count);
        std::memcpy(CMSG_DATA(header), fds, sizeof(int) * count);
    }
    for (;;) {
        ssize_t sent = ::sendmsg(socket, &message, MSG_NOSIGNAL);
        if (sent >= 0) return size_t(sent) == size;
        if (errno != EINTR) return false;
    }
}

ssize_t receivePacket(int socket, void* data, size_t size, size_t maxFds, std::vector<int>* fds, bool* cutShort) {
    iovec part = {data, size};
    std::vector<char> control(CMSG_SPACE(sizeof(int) * maxFds));
    msghdr message = {};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control.data();
    message.msg_controllen = control.size();
    ssize_t got;
    do {
        got = ::recvmsg(socket, &message, MSG_CMSG_CLOEXEC);
    } while (got < 0 && errno == EINTR);
    fds->clear();
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); got >= 0 && header; header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level != SOL_SOCKET || header->cmsg_type != SCM_RIGHTS) continue;
        size_t count = (header->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (size_t i = 0; i < count; ++i) {
            int fd;
            std::memcpy(&fd, CMSG_DATA(header) + i * sizeof(int), sizeof fd);
            fds->push_back(fd);
        }
    }
    *cutShort = (message.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) != 0;
    return got;
}
