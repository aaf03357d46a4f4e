/* Sends every top-level window the WM_DISPLAYCHANGE that Windows broadcasts
   when the display's settings change (here: 32 bits, 1280 x 1024). */
#include <windows.h>

int main(void) { return PostMessageW(HWND_BROADCAST, WM_DISPLAYCHANGE, 32, MAKELPARAM(1280, 1024)) ? 0 : 1; }
