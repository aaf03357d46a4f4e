// The thread's execution state, on Linux.
//
// Honoured:
//  - SetThreadExecutionState: answers the state last set with ES_CONTINUOUS
//    (ES_CONTINUOUS alone at first) and records the new one; it changes
//    nothing on the desktop. The screen saver is already held off while a
//    window of the layer has the focus and allowed again when none has
//    (messages.cpp), which is what the viewer asks for here.
// Not supported: ES_SYSTEM_REQUIRED, ES_AWAYMODE_REQUIRED, keeping the
// display or the system awake apart from the focus.
#include "platform/win32.h"

EXECUTION_STATE SetThreadExecutionState(EXECUTION_STATE esFlags) {
    static thread_local EXECUTION_STATE current = ES_CONTINUOUS;
    EXECUTION_STATE previous = current;
    if (esFlags & ES_CONTINUOUS) current = esFlags;
    return previous;
}
