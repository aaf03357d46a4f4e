#!/usr/bin/env bash
# Real message boxes: each info box is a window of its own, the viewer keeps
# running while they are open, and none outlives the viewer.
source "$(dirname "$0")/lib.sh"
unset OLVISTRA_DIALOG_ANSWER
start_display
make_registry
solid_image "$work/pics/alpha.png" 64x64 red

boxes() { xwininfo -root -tree 2>/dev/null | grep -c '^ *0x[0-9a-f]* "info": ' || true; }
box_processes() { pgrep -f "^/proc/self/exe [0-9]+ info " | wc -l; }

start_viewer "$work/pics"
wait_window "Olvistra - "
viewer_window=$wid
press i
press i
for _ in $(seq 50); do [ "$(boxes)" -ge 2 ] && break; sleep 0.1; done
expect_eq "two info boxes on screen" 2 "$(boxes)"
expect_eq "info lines" 2 "$(count_lines 'message box "info"')"

# The viewer still draws and takes keys while the boxes are open.
wid=$viewer_window
convert -size 64x64 xc:blue png:- >"$work/pics/alpha.png"
press r
expect_pixel "reload while boxes are open" 32 32 "#000000"
expect_pixel "reloaded picture shown" 512 384 "#0000FF"

press Escape
wait_exit
sleep 1
expect_eq "no box left after the viewer ended" 0 "$(boxes)"
expect_eq "no box process left" 0 "$(box_processes)"

finish
