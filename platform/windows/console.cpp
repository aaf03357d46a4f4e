// A windowed program has no console to write to, so answers to the command
// line are shown in a message box.
#include "platform/services.h"
#include "platform/win32.h"

bool showCommandLineAnswer(const char* text) {
    return MessageBoxA(nullptr, text, "Olvistra", MB_OK | MB_ICONINFORMATION) != 0;
}
