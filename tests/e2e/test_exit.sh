#!/usr/bin/env bash
# Ending the viewer: Escape (also while minimised) and the close button.
source "$(dirname "$0")/lib.sh"
start_display 1024x768 wm
make_registry
solid_image "$work/pics/alpha.png" 32x32 red

start_viewer "$work/pics"
wait_window "Olvistra - "
press Escape
wait_exit
[ -n "$status" ] && pass || fail "Escape did not end the viewer"

start_viewer "$work/pics"
wait_window "Olvistra - "
wmctrl -i -c "$wid"
wait_exit
expect_eq "close button exit status" 0 "$status"

# Minimised and restored, the window is drawn again (its pixels were lost
# with the mapping); then Escape while minimised.
start_viewer "$work/pics"
wait_window "Olvistra - "
expect_pixel "picture shown" 512 384 "#FF0000"
iconic() { xprop -id "$wid" WM_STATE 2>/dev/null | grep -q Iconic; }
minimise() {
  xdotool windowminimize --sync "$wid" 2>/dev/null || xdotool windowminimize "$wid"
  wait_for 30 iconic || fail "the window was not minimised"
}
minimise
wmctrl -i -a "$wid"
wait_for 30 eval '! iconic' || fail "the window was not restored"
expect_pixel "picture drawn again after the restore" 512 384 "#FF0000"
minimise
# The minimised window has no focus; the key is sent to it directly.
xdotool key --window "$wid" Escape 2>/dev/null || true  # the key-up finds the viewer gone
wait_exit
[ -z "$viewer_pid" ] && pass || fail "Escape while minimised did not end the viewer"

finish
