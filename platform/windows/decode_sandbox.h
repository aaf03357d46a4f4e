// What the Windows decode helper does to itself before its first job (the
// viewer's part of the sandbox, the token, job and mitigations it starts the
// helper with, is helper_start.cpp).
#pragma once

#include "platform/windows/decode_pipe.h"

// Ends the helper at once, without any report or box.
[[noreturn]] void endDecodeHelperNow(unsigned exitCode);

// Makes every way a process can crash end the helper at once: no Windows
// Error Reporting box or dump, no C runtime "abnormal program termination"
// box, heap corruption ends it too.
void endDecodeHelperOnAnyCrash();

// Ends the impersonation the helper starts with (helper_start.cpp): from
// here on its own token, with the restricting SIDs, holds. Called once its
// libraries are loaded.
void dropStartingToken();

#ifdef OLVISTRA_TEST_HOOKS
// Test build only: run by a helper started with OLVISTRA_SANDBOX_ATTACK set
// to the picture's folder, once its start is over. Reports what the helper
// finds of its own sandbox and tries what the sandbox must refuse, as one
// framed message of lines on the answer pipe, "<name> <result>", then ends.
[[noreturn]] void attackDecodeSandbox(const DecodeHelperHandles& channel, const char* folder);
#endif
