#!/usr/bin/env bash
# Real message boxes: each info box is a window of its own, the viewer keeps
# running while they are open, and none outlives the viewer.
source "$(dirname "$0")/lib.sh"
unset OLVISTRA_DIALOG_ANSWER
start_display
make_registry
solid_image "$work/pics/alpha.png" 64x64 red

boxes() { xwininfo -root -tree 2>/dev/null | grep -c '^ *0x[0-9a-f]* "info": ' || true; }
two_boxes() { [ "$(boxes)" -ge 2 ]; }
no_box() { [ "$(boxes)" -eq 0 ]; }
# The viewer's own box processes (its children that show an info box).
box_processes() {
  local pid
  for pid in $(pgrep -P "$viewer_pid"); do
    tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -q '^/proc/self/exe [0-9]* info ' && echo "$pid"
  done
}

# A point of the picture that no box covers: the boxes' size follows the
# fonts the machine has, so their real geometry decides. The square picture
# spans about x 141..882 and y 13..755 of the 1024x768 client.
box_rects() {
  local id
  for id in $(xwininfo -root -tree 2>/dev/null | sed -n 's/^ *\(0x[0-9a-f]*\) "info": .*/\1/p'); do
    xwininfo -id "$id" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
      /^ *Width/ {w=$2} /^ *Height/ {h=$2} END {print x, y, x + w, y + h}'
  done
}
free_point() {
  local rects px py covered x0 y0 x1 y1
  rects=$(box_rects)
  for point in "512 30" "512 740" "160 384" "860 384" "160 30" "860 30" "160 740" "860 740"; do
    read -r px py <<<"$point"
    covered=no
    while read -r x0 y0 x1 y1; do
      [ -n "$x0" ] && [ "$px" -ge "$x0" ] && [ "$px" -lt "$x1" ] && [ "$py" -ge "$y0" ] && [ "$py" -lt "$y1" ] && covered=yes
    done <<<"$rects"
    [ "$covered" == no ] && { echo "$px $py"; return 0; }
  done
  return 1
}

start_viewer "$work/pics"
wait_window "Olvistra - "
viewer_window=$wid
expect_pixel "picture before the boxes" 512 384 "#FF0000"
press i
press i
wait_for 30 two_boxes
expect_eq "two info boxes on screen" 2 "$(boxes)"
expect_eq "info lines" 2 "$(count_lines 'message box "info"')"
mapfile -t box_pids < <(box_processes)
expect_eq "one process per box" 2 "${#box_pids[@]}"

# The viewer still draws and takes keys while the boxes are open: the old
# picture goes and the reloaded one shows beside the boxes.
wid=$viewer_window
if read -r x y < <(free_point); then
  expect_pixel "old picture beside the boxes" "$x" "$y" "#FF0000"
  convert -size 64x64 xc:blue png:- >"$work/pics/alpha.png"
  press r
  expect_pixel "reloaded picture shown while the boxes are open" "$x" "$y" "#0000FF"
else
  fail "the info boxes cover the whole picture: $(box_rects | tr '\n' ';')"
fi

press Escape
wait_exit
wait_for 30 no_box
expect_eq "no box left after the viewer ended" 0 "$(boxes)"
for pid in "${box_pids[@]}"; do
  wait_for 30 process_gone "$pid"
  if process_gone "$pid"; then pass; else fail "box process $pid outlived the viewer"; fi
done

finish
