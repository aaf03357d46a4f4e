#!/usr/bin/env bash
# A display whose colour profile is published on the X root window
# (`_ICC_PROFILE`, as colour managers set it) gets pictures converted to it:
# on a Display P3 screen an untagged (sRGB) red is stored as P3's numbers for
# that red, and a picture already in P3 with that profile shows its own
# numbers unchanged. A profile published while the viewer runs is taken up:
# the shown picture is decoded again for it.
source "$(dirname "$0")/lib.sh"
start_display
make_registry
mkdir -p "$work/pics"
"$OLVISTRA_SOURCE_DIR/tests/support/make_wide_gamut_png" "$work/pics/b_p3.png" "$work/p3.icc"
solid_image "$work/pics/a_red.png" 64x48 red

start_viewer "$work/pics/a_red.png"
wait_window "Olvistra - "
expect_pixel "untagged red on a display without a profile" 512 384 "#FF0000"

# xprop sets at most 64 elements; Xlib itself sets the whole profile. The
# setter stays connected: Xvfb starts afresh, root properties gone, when its
# last client leaves.
python3 - "$work/p3.icc" "$work/profile.set" <<'PY' &
import ctypes, ctypes.util, select, sys
x = ctypes.cdll.LoadLibrary(ctypes.util.find_library("X11"))
x.XOpenDisplay.restype = ctypes.c_void_p
x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x.XDefaultRootWindow.restype = ctypes.c_ulong
x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x.XInternAtom.restype = ctypes.c_ulong
x.XChangeProperty.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_int,
                              ctypes.c_int, ctypes.c_char_p, ctypes.c_int]
x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
profile = open(sys.argv[1], "rb").read()
display = x.XOpenDisplay(None)
cardinal = 6  # XA_CARDINAL
x.XChangeProperty(display, x.XDefaultRootWindow(display), x.XInternAtom(display, b"_ICC_PROFILE", 0), cardinal, 8, 0,
                  profile, len(profile))
x.XSync(display, 0)
open(sys.argv[2], "w").close()
x.XConnectionNumber.argtypes = [ctypes.c_void_p]
select.select([x.XConnectionNumber(display)], [], [])  # until the test ends it, or the display goes
PY
setter_pid=$!
wait_for 30 test -e "$work/profile.set" || fail "could not set _ICC_PROFILE"

# sRGB red in P3 (gamma 2.2) is (233, 54, 40); the P3 file's top-left quarter
# holds those numbers too.
expect_pixel "untagged red, converted to the profile published meanwhile" 512 384 "#E93628"
press Escape
wait_exit
start_viewer "$work/pics/b_p3.png"
wait_window "Olvistra - "
expect_pixel "P3 red on the P3 display" 327 245 "#E93628"
expect_pixel "P3 lime on the P3 display" 697 245 "#74FB4D"
press Escape
wait_exit
kill "$setter_pid"
wait "$setter_pid" 2>/dev/null || true

finish
