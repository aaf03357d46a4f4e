// What the decode helper gives up before its first job.
#pragma once

// Closes every descriptor above `lowest`.
void closeDescriptorsAbove(int lowest);

// Caps the address space (about 2 GiB), forbids core dumps, sets
// no-new-privileges and installs a system-call filter that leaves reading the
// descriptors it holds, memory, the socket and the pixel buffers, and opens
// no file. Whatever cannot be applied is skipped; the helper still runs.
void restrictDecodeHelper();


#ifdef OLVISTRA_TEST_HOOKS
// Test build only: run by a helper started with OLVISTRA_SANDBOX_ATTACK set
// to a writable folder, after restrictDecodeHelper. Tries what the sandbox
// must refuse, sends a line "<attempt> <errno>" for each over the socket
// (0 when it succeeded) and ends the process.
[[noreturn]] void attackDecodeSandbox(int socket, const char* folder);
#endif
