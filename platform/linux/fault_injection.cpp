#include "platform/testing.h"

#ifdef OLVISTRA_TEST_HOOKS
#include <atomic>

namespace {
std::atomic<bool> failing[static_cast<int>(PlatformCall::Count)];
}

void platformSetCallFails(PlatformCall call, bool fails) { failing[static_cast<int>(call)] = fails; }

void platformClearCallFailures() {
    for (auto& flag : failing) flag = false;
}

bool platformCallFails(PlatformCall call) { return failing[static_cast<int>(call)]; }
#endif
