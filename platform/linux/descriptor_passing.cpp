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
