#!/usr/bin/env bash
# The info box (I) and the help box (F1) say exactly what they should.
source "$(dirname "$0")/lib.sh"
start_display
make_registry

dir="$work/100% real"
img="$dir/photo %d %s 100%.png"
solid_image "$img" 64x48 white
# A path far longer than 256 bytes reaches the info box whole.
long="$work/$(printf 'd%.0s' $(seq 120))/$(printf 'e%.0s' $(seq 120))"
long_img="$long/$(printf 'f%.0s' $(seq 40)).png"
solid_image "$long_img" 480x640 white

start_viewer "$img"
wait_window "Olvistra - "
press i
wait_lines 'message box "info"' 1 || true
expect_eq "info text" "olvistra: message box \"info\": filename:\\t$img\\npath:\\t$dir/\\nwidth:\\t64px\\nheight:\\t48px\\nradio:\\t1.33" \
  "$(grep -F 'message box "info"' "$work/stderr")"

press i i
wait_lines 'message box "info"' 3 || true
expect_eq "two presses, two more boxes" 3 "$(count_lines 'message box "info"')"

press F1
wait_lines 'message box "help"' 1 || true
expect_eq "help text" 'olvistra: message box "help": keys:\nJ -\tprevios file in dir.\nL -\tnext file in dir.\nHOME -\tgo to first file in dir.\nEND -\tgo to last file in dir.\nR -\treload currently image.\nF -\tswitch fullscreen on / off.\nE -\tedit currently image.\nF1 -\tshow this help window.' \
  "$(grep -F 'message box "help"' "$work/stderr")"
press Escape
wait_exit

start_viewer "$long_img"
wait_window "Olvistra - "
press i
wait_lines 'message box "info"' 1 || true
expect_eq "long info text" "olvistra: message box \"info\": filename:\\t$long_img\\npath:\\t$long/\\nwidth:\\t480px\\nheight:\\t640px\\nradio:\\t0.75" \
  "$(grep -F 'message box "info"' "$work/stderr")"
press Escape
wait_exit

finish
