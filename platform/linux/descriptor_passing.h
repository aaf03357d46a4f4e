// Packets with descriptors attached, as the viewer and its decode helper
// pass them over their socket: files for the helper to read, pixel buffers
// back (decode_transport.cpp describes the exchange).
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <vector>

// Sends one packet on `socket` with `count` descriptors attached
// (SCM_RIGHTS), again when a signal cuts it short; true when all of it went.
bool sendPacket(int socket, const void* data, size_t size, const int* fds, size_t count);

// Receives one packet of at most `size` bytes into `data`, again when a
// signal cuts it short, with the descriptors attached (room for `maxFds`)
// into `fds`. Returns what recvmsg did (the packet's size, 0 at the end, -1
// on an error); `cutShort` tells whether the packet or its descriptors did
// not all fit.
ssize_t receivePacket(int socket, void* data, size_t size, size_t maxFds, std::vector<int>* fds, bool* cutShort);
