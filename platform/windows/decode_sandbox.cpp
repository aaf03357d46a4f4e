#include "platform/windows/decode_sandbox.h"

#include <csignal>
#include <exception>

namespace {

LONG WINAPI endOnCrash(EXCEPTION_POINTERS*) { endDecodeHelperNow(3); }

void endOnAbort(int) { endDecodeHelperNow(3); }

// WerSetFlags is looked up: older systems and Wine may lack it.
void keepCrashesFromErrorReporting() {
    using SetFlags = HRESULT(WINAPI*)(DWORD);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    auto setFlags = kernel ? reinterpret_cast<SetFlags>(reinterpret_cast<void*>(GetProcAddress(kernel, "WerSetFlags")))
                           : nullptr;
    // No heap in a report, so no picture bytes leave with one; queued, so no UI.
    const DWORD noHeap = 2, queue = 4;  // WER_FAULT_REPORTING_FLAG_NOHEAP, _QUEUE
    if (setFlags) setFlags(noHeap | queue);
}

}  // namespace

void endDecodeHelperNow(unsigned exitCode) {
    TerminateProcess(GetCurrentProcess(), exitCode);
    for (;;) {
    }
}

void dropStartingToken() {
    // A helper that cannot drop it must not decode with it.
    if (!RevertToSelf()) endDecodeHelperNow(3);
}

void endDecodeHelperOnAnyCrash() {
    // The filter ends the helper also where the error mode is not honoured
    // (Wine starts its debugger, with a crash window, whatever the mode).
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(endOnCrash);
    std::set_terminate([] { endDecodeHelperNow(3); });
    std::signal(SIGABRT, endOnAbort);
    HeapSetInformation(nullptr, HeapEnableTerminationOnCorruption, nullptr, 0);
    keepCrashesFromErrorReporting();
}
