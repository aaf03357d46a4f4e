// The message wait of the main loop, woken by the decode helper as by a
// message: MsgWaitForMultipleObjects on the helper's answer event and
// process, and on an event of our own that wakeMessageWait sets from any
// thread.
#include "platform/decode_transport.h"
#include "platform/services.h"
#include "platform/windows/decode_handles.h"
#include "platform/win32.h"

namespace {

// Set by wakeMessageWait; resets itself when the wait takes it.
HANDLE messageWaitWake() {
    static HANDLE wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    return wake;
}

}  // namespace

// The helper's event resets itself when the wait takes it, so it is set
// again for the poll that collects the answer.
void waitForMessageOrDecode() {
    HANDLE watched[3];
    DWORD count = 0;
    if (HANDLE wake = messageWaitWake()) watched[count++] = wake;
    DWORD answeredAt = count;
    DWORD timeout = INFINITE;
    bool jobRunning = decodeJobInFlight();
    if (jobRunning) {
        watched[count++] = decodeAnswerEvent();
        watched[count++] = decodeHelperProcess();
        timeout = DWORD(decodeJobMsLeft());
    }
    DWORD woken = MsgWaitForMultipleObjects(count, count ? watched : nullptr, FALSE, timeout, QS_ALLINPUT);
    if (jobRunning && woken == WAIT_OBJECT_0 + answeredAt) SetEvent(decodeAnswerEvent());
}

void wakeMessageWait() {
    if (HANDLE wake = messageWaitWake()) SetEvent(wake);
}
