// Input-method contexts, on Linux.
//
// Honoured:
//  - ImmAssociateContextEx: answers TRUE and changes nothing. SDL starts no
//    text input for the layer's windows, so an input method never sees the
//    viewer's keys and key messages carry the keys themselves (keymap.cpp).
// Not supported: input-method contexts of any kind (ImmCreateContext,
// ImmGetContext), the IACE_* flags, composition.
#include "platform/win32.h"

BOOL ImmAssociateContextEx(HWND, HIMC, DWORD) { return TRUE; }
