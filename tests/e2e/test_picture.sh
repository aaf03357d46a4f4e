#!/usr/bin/env bash
# What is on screen: the right picture, the right way up, at the right size.
source "$(dirname "$0")/lib.sh"
start_display
make_registry

# Wide: left half red, right half blue. Tall: top half green, bottom half yellow.
mkdir -p "$work/pics"
convert -size 100x100 xc:red -size 100x100 xc:blue +append "$work/pics/wide.png"
convert -size 100x100 xc:lime -size 100x100 xc:yellow -append "$work/pics/tall.png"

start_viewer "$work/pics/wide.png"
wait_window "Olvistra - "
# 2:1 fills 741.6 x 370.8 pixels around the centre (512, 384).
expect_pixel "wide: left half red" 300 384 "#FF0000"
expect_pixel "wide: right half blue" 720 384 "#0000FF"
expect_pixel "wide: inside top edge" 600 205 "#0000FF"
expect_pixel "wide: above the picture" 512 190 "#000000"
expect_pixel "wide: below the picture" 512 578 "#000000"
expect_pixel "wide: left of the picture" 132 384 "#000000"
expect_pixel "wide: inside left edge" 150 384 "#FF0000"
import -window "$wid" "$work/wide.png"
# Half the size: drawn again, fitted to the new client area, where the old
# frame was black.
xdotool windowsize --sync "$wid" 512 384 2>/dev/null || xdotool windowsize "$wid" 512 384
expect_pixel "resized: left half red" 150 192 "#FF0000"
expect_pixel "resized: right half blue" 360 192 "#0000FF"
expect_pixel "resized: above the picture" 256 90 "#000000"

press Escape
wait_exit
start_viewer "$work/pics/tall.png"
wait_window "Olvistra - "
# 1:2 fills 370.8 x 741.6 pixels: top row of the image at the top.
expect_pixel "tall: top half green" 512 100 "#00FF00"
expect_pixel "tall: bottom half yellow" 512 700 "#FFFF00"
expect_pixel "tall: left of the picture" 318 600 "#000000"
expect_pixel "tall: inside left edge" 335 600 "#FFFF00"
expect_pixel "tall: right of the picture" 706 384 "#000000"
press Escape
wait_exit

finish
