// What the decode helper gives up before its first job.
#pragma once

// Closes every descriptor above `lowest`.
void closeDescriptorsAbove(int lowest);

// Caps the address space (about 2 GiB), forbids core dumps, sets no-new-privileges and installs a system-call filter that
// leaves reading files, memory, the socket and the pixel buffers. Whatever
// cannot be applied is skipped; the helper still runs.
void restrictDecodeHelper();

