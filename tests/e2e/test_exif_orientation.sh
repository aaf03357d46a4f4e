#!/usr/bin/env bash
# A photo stored on its side stands upright on screen and in the info box.
source "$(dirname "$0")/lib.sh"
start_display
make_registry

# Stored 200 x 100, left half red, right half blue, tagged "turn a quarter
# clockwise": shown 100 x 200 with red on top.
mkdir -p "$work/pics"
convert -size 100x100 xc:red -size 100x100 xc:blue +append -strip -quality 95 jpg:- >"$work/stored.jpg"
{
  head -c 2 "$work/stored.jpg"
  printf '\xff\xe1\x00\x22Exif\x00\x00II*\x00\x08\x00\x00\x00\x01\x00\x12\x01\x03\x00\x01\x00\x00\x00\x06\x00\x00\x00\x00\x00\x00\x00'
  tail -c +3 "$work/stored.jpg"
} >"$work/pics/photo.jpg"

start_viewer "$work/pics/photo.jpg"
wait_window "Olvistra - "
# 1:2 fills 370.8 x 741.6 pixels around the centre (512, 384).
expect_pixel "top half red" 512 100 "#FF0000"
expect_pixel "bottom half blue" 512 700 "#0000FF"
expect_pixel "left of the upright picture" 318 600 "#000000"
press i
wait_lines 'message box "info": ' 1 || fail "no info box"
expect_eq "info gives the upright size" 1 "$(count_lines 'width:\t100px\nheight:\t200px\nradio:\t0.50')"
press Escape
wait_exit

finish
