#!/usr/bin/env bash
# A key press counts however short it is: F and Escape pressed and released
# back to back, as automation tools and fast typists' key rollover deliver
# them, still switch the mode and end the viewer.
source "$(dirname "$0")/lib.sh"
make_registry
solid_image "$work/pics/alpha.png" 80x40 red

# Press and release sent in one flush to the X server, so that both reach
# the viewer in one read (what xdotool's separate requests do not ensure).
tap() {
  timeout 5 xdotool windowfocus --sync "$wid" 2>/dev/null || true
  python3 - "$1" <<'PY'
import ctypes, ctypes.util, sys
x11 = ctypes.CDLL(ctypes.util.find_library("X11"))
xtst = ctypes.CDLL(ctypes.util.find_library("Xtst"))
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XStringToKeysym.restype = ctypes.c_ulong
display = ctypes.c_void_p(x11.XOpenDisplay(None))
code = x11.XKeysymToKeycode(display, ctypes.c_ulong(x11.XStringToKeysym(sys.argv[1].encode())))
xtst.XTestFakeKeyEvent(display, code, 1, ctypes.c_ulong(0))
xtst.XTestFakeKeyEvent(display, code, 0, ctypes.c_ulong(0))
x11.XFlush(display)
x11.XCloseDisplay(display)
PY
}

start_display 1024x768
start_viewer "$work/pics"
wait_window "Olvistra - "
tap Escape
wait_exit
[ -n "$status" ] && pass || fail "a tap of Escape did not end the viewer"

start_viewer "$work/pics"
wait_window "Olvistra - "
tap f
if wait_window "^Olvistra$"; then
  expect_eq "full-screen after a tap of F" "Olvistra" "$(window_title)"
  expect_pixel "picture drawn in the new mode" 512 384 "#FF0000"
fi

finish
