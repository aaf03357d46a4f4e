#!/usr/bin/env bash
# F rebuilds the window in the other mode; a display that cannot run
# 1024x768 asks whether to stay windowed.
source "$(dirname "$0")/lib.sh"
make_registry
solid_image "$work/pics/alpha.png" 80x40 red
solid_image "$work/pics/bravo.png" 40x80 blue
second=$(listed_images "$work/pics" | sed -n 2p)

screen_size() { xdotool getwindowgeometry "$wid" | sed -n 's/.*Geometry: //p'; }

# A 1024x768 display grants full-screen.
start_display 1024x768
start_viewer "$work/pics/$second"
wait_window "Olvistra - "
old=$wid
press f
wait_window "^Olvistra$" "$old"
expect_eq "full-screen title" "Olvistra" "$(window_title)"
expect_eq "full-screen size" "1024x768" "$(screen_size)"
expect_eq "current entry kept" "$work/pics/$second" "$(current_entry)"
colour=$([ "$second" == alpha.png ] && echo "#FF0000" || echo "#0000FF")
expect_pixel "current entry drawn again" 512 384 "$colour"
old=$wid
press f
wait_window "^Olvistra$" "$old"
expect_eq "title after second F" "Olvistra" "$(window_title)"
expect_pixel "drawn again after second F" 512 384 "$colour"
expect_eq "no question on a capable display" 0 "$(count_lines 'Use Windowed Mode Instead?')"
press Escape
wait_exit
kill "$xvfb_pid"; xvfb_pid=""

# A larger display cannot run 1024x768: the question, answered Yes ...
start_display 1280x1024
start_viewer "$work/pics"
wait_window "Olvistra - "
old=$wid
press f
wait_window "^Olvistra$" "$old"
expect_eq "question asked" 1 "$(count_lines 'message box "Olvistra": The Requested Fullscreen Mode Is Not Supported By\nYour Video Card. Use Windowed Mode Instead?')"
expect_eq "windowed after Yes" "1024x768" "$(screen_size)"
press Escape
wait_exit

# ... and answered No: the viewer closes with status 0.
OLVISTRA_DIALOG_ANSWER=no start_viewer "$work/pics"
wait_window "Olvistra - "
press f
wait_exit
expect_eq "exit status after No" 0 "$status"
expect_eq "closing box after No" 1 "$(count_lines 'message box "ERROR": Program Will Now Close.')"

# F and Escape in one pass: the switch runs, then the viewer ends.
start_viewer "$work/pics"
wait_window "Olvistra - "
timeout 5 xdotool windowfocus --sync "$wid" 2>/dev/null || true
# Both keys are still down when the queue next runs empty.
xdotool keydown f keydown Escape
wait_exit
xdotool keyup Escape keyup f
expect_eq "switch ran before the end" 1 "$(count_lines 'Use Windowed Mode Instead?')"

finish
