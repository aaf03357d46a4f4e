// Packets with descriptors attached, as the viewer and its decode helper
// pass them over their socket: files for the helper to read, pixel buffers
// back (decode_transport.cpp describes the exchange).
#pragma once

#include <cstddef>

// Sends one packet on `socket` with `count` descriptors attached
// (SCM_RIGHTS), again when a signal cuts it short; true when all of it went.
bool sendPacket(int socket, const void* data, size_t size, const int* fds, size_t count);
