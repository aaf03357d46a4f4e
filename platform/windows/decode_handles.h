// What the Windows message wait (decode_wakeup.cpp) needs of the decode
// transport: the handles that tell it the helper answered or died.
#pragma once

#include "platform/win32.h"

// The event the helper sets after each answer; null while no helper runs.
HANDLE decodeAnswerEvent();
// The helper's process; null while none runs.
HANDLE decodeHelperProcess();

#ifdef OLVISTRA_TEST_HOOKS
#include <string>
// Test build only: the report a helper started in attack mode sends
// (decode_sandbox.h), or "" when none came within waitMs.
std::string decodeHelperAttackReport(DWORD waitMs);
#endif
