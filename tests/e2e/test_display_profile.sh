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

"$OLVISTRA_SOURCE_DIR/tests/support/set_root_profile" "$work/p3.icc" "$work/profile.set" &
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
