#!/usr/bin/env bash
# The real olvistra.exe with its own DevIL DLLs under Wine, on a display and
# in a Wine prefix of its own: the registry box and the key imported with
# regedit; the title and the client size; a PNG, a JPEG, a CMYK JPEG, a
# BMP, a photo with EXIF orientation 6 drawn upright and a PNG stored in
# Display P3 with its profile, in its sRGB colours, pixel for pixel as the
# Linux build draws them, and so a photo three times the drawn size, which
# both decode at half its size; a file that crashes DevIL survived; a file
# name outside the ANSI code page; Home, End, J and L; the I, F1 and F boxes; Escape's exit
# status; End from the help box's loop while a folder is read; a start file
# spelt in other letter case, and one named by a \\?\unix\ path; a bad
# start path; and a display profile published while the viewer runs.
source "$(dirname "$0")/../e2e/lib.sh"
source "$(dirname "$0")/wine_lib.sh"

start_display 1280x1024
images="$work/images"
mkdir -p "$images"

# Four 64x48 quarters, red, lime / blue, yellow, as PNG, JPEG, CMYK JPEG and
# BMP, and as a JPEG stored turned a quarter anticlockwise and tagged to be
# turned back.
quarters() { convert -size 32x24 xc:red xc:lime +append \( -size 32x24 xc:blue xc:yellow +append \) -append "$@"; }
quarters "png:$images/a_quarters.png"
quarters -quality 100 "jpg:$images/b_quarters.jpg"
quarters -colorspace CMYK -quality 100 "jpg:$images/c_cmyk.jpg"
quarters -type truecolor "bmp3:$images/c_quarters.bmp"
quarters -rotate -90 -strip -quality 100 "jpg:$work/stored.jpg"
{
  head -c 2 "$work/stored.jpg"
  printf '\xff\xe1\x00\x22Exif\x00\x00II*\x00\x08\x00\x00\x00\x01\x00\x12\x01\x03\x00\x01\x00\x00\x00\x06\x00\x00\x00\x00\x00\x00\x00'
  tail -c +3 "$work/stored.jpg"
} >"$images/d_photo.jpg"
# The quarters in Display P3 numbers, with that profile: unconverted, lime
# would show as (116, 251, 77).
"$OLVISTRA_SOURCE_DIR/tests/support/make_wide_gamut_png" "$images/d_wide.png"
pictures=(a_quarters.png b_quarters.jpg c_cmyk.jpg c_quarters.bmp d_photo.jpg d_wide.png)
# An SGI file (found through its content) whose run-length rows overrun their
# buffer: DevIL 1.8's reader writes past its heap block and crashes.
be() { local b; for b in "$@"; do printf "\\x$(printf %02x "$b")"; done; }  # bytes, given in decimal
be32() { be $(($1 >> 24 & 255)) $(($1 >> 16 & 255)) $(($1 >> 8 & 255)) $(($1 & 255)); }
{
  rows=32  # 8 rows of 4 channels, each row 1 pixel wide
  be 1 218 1 1 0 3 0 1 0 8 0 4 0 0 0 0 0 0 0 255  # magic, RLE, 1 byte, 3D, 1 x 8 x 4, 0..255
  head -c $((512 - 20)) /dev/zero
  for i in $(seq 0 $((rows - 1))); do be32 $((512 + 8 * rows + 129 * i)); done
  for i in $(seq $rows); do be32 129; done
  # Each row: one packet of 127 literal bytes, then the end of the row.
  for i in $(seq $rows); do be 255; head -c 127 /dev/zero | tr '\0' A; be 0; done
} >"$images/e_damaged.psd"
solid_image "$images/f_after.png" 64x48 magenta
solid_image "$images/g_Ωmega.png" 64x48 cyan

# The quarters' middles in a 1024x768 client: a 4:3 picture spans 741.6 x
# 556.2 pixels around (512, 384).
expect_quarters() {  # description
  expect_pixel "$1: top left" 327 245 "#FF0000"
  expect_pixel "$1: top right" 697 245 "#00FF00"
  expect_pixel "$1: bottom left" 327 523 "#0000FF"
  expect_pixel "$1: bottom right" 697 523 "#FFFF00"
}

# The client area, as a PNG.
capture() { import -silent -window "$wid" "png:$1" 2>/dev/null; }

# The Linux build's frames of the same pictures, for comparison.
make_registry
for name in "${pictures[@]}"; do
  start_viewer "$images/$name"
  wait_window "Olvistra - "
  expect_quarters "Linux, $name"
  capture "$work/linux-$name.png"
  press Escape
  wait_exit
done
# Quarters three times the drawn size with a plasma square over their
# meeting point. Both systems decode it at half its size, so the frames
# agree pixel for pixel; a whole decode, shrunk, gives other pixels in the
# plasma.
large="$work/large"
mkdir -p "$large"
convert -size 1200x900 xc:red xc:lime +append \( -size 1200x900 xc:blue xc:yellow +append \) -append \
  \( -seed 7 -size 800x600 plasma:fractal \) -gravity center -composite -quality 90 "jpg:$large/photo.jpg"
start_viewer "$large/photo.jpg"
wait_window "Olvistra - "
expect_quarters "Linux, large photo"
capture "$work/linux-large.jpg.png"
press Escape
wait_exit
# wait_exit leaves errexit on; the checks below count their failures instead.
set +e

start_wine
app="$(drive_c)/Program Files/Olvistra"
mkdir -p "$app"
cp "$OLVISTRA_WINDOWS_BUILD"/{olvistra.exe,olvistra-decode.exe,DevIL.dll,ILU.dll,ILUT.dll} "$app/"
exe='C:\Program Files\Olvistra\olvistra.exe'
win_images=$(windows_path "$images")

# Without the key: the box, then status 0 once it is closed.
start_wine_program "$exe" "$win_images"
wait_box "Olvistra - error" 1
expect_eq "registry box text" 'Error: Can not from Registry.\nProgram will close now.' "$box_text"
answer_box Return
wait_wine_exit
expect_eq "status after the registry box" 0 "$status"

# The shipped .reg file, imported as an administrator would.
wine regedit /S "$(windows_path "$OLVISTRA_SOURCE_DIR/resources/olvistra-windows.reg")" 2>/dev/null
installed=$(wine reg query 'HKLM\SOFTWARE\Quenmark\Olvistra' /v installDir 2>/dev/null | tr -d '\r' |
  awk '/installDir/ { sub(/^.*REG_SZ +/, ""); print }')
expect_eq "imported installDir" 'C:\Program Files\Olvistra' "$installed"

# The viewer on the folder: title, size, each picture, upright and as on Linux.
# I's box for the current entry; its text in $box_text.
boxes=0
show_info() {
  boxes=$((boxes + 1))
  press i
  wait_box info "$boxes" && answer_box Return
}
start_wine_program "$exe" "$win_images"
wait_window "^Olvistra - "
expect_eq "title" "Olvistra - $win_images" "$(window_title)"
expect_eq "client size" "1024x768" "$(xdotool getwindowgeometry "$wid" | sed -n 's/.*Geometry: //p')"
win_dir=$(traced "$win_images\\")
# The frame is compared once it has settled: the same as Linux's (each
# channel within the fuzz given, none by default), or the differing pixel
# count when 30 s passed without that.
expect_linux_frame() {  # name [fuzz]
  local differing="" settle_deadline=$(($(date +%s) + 30))
  while :; do
    capture "$work/wine-$1.png"
    differing=$(compare -metric AE -fuzz "${2:-0}" "$work/wine-$1.png" "$work/linux-$1.png" null: 2>&1 || true)
    [ "$differing" == 0 ] || [ "$(date +%s)" -ge "$settle_deadline" ] && break
    sleep 0.25
  done
  expect_eq "pixels differing from Linux, $1" 0 "$differing"
}
for name in "${pictures[@]}"; do
  expect_quarters "Wine, $name"
  expect_linux_frame "$name"
  show_info
  expect_eq "info box, $name" "filename:\\t$win_dir$name\\npath:\\t$win_dir\\nwidth:\\t64px\\nheight:\\t48px\\nradio:\\t1.33" \
    "$box_text"
  press l
done

# The damaged file ends the decode helper, not the viewer; the next picture shows.
expect_pixel "damaged file: nothing drawn" 512 384 "#000000"
show_info
expect_eq "damaged file: info box, size 0 x 0" \
  "filename:\\t${win_dir}e_damaged.psd\\npath:\\t$win_dir\\nwidth:\\t0px\\nheight:\\t0px\\nradio:\\t0.00" "$box_text"
press l
expect_pixel "the picture after the damaged file" 512 384 "#FF00FF"
if kill -0 "$viewer_pid" 2>/dev/null; then pass; else fail "the viewer ended after the damaged file"; fi
others=$(xdotool search --onlyvisible --name . 2>/dev/null | grep -vx "$wid" | while read -r w; do xdotool getwindowname "$w"; done)
expect_eq "no window but the viewer's (no crash report)" "" "$others"

# A name outside the ANSI code page: the manifest gives the A functions UTF-8.
# (Wine traces U+03A9, the capital omega, as \03a9.)
press l
expect_pixel "picture with a Greek name" 512 384 "#00FFFF"
show_info
expect_eq "info box, Greek name" \
  "filename:\\t${win_dir}g_\\03a9mega.png\\npath:\\t$win_dir\\nwidth:\\t64px\\nheight:\\t48px\\nradio:\\t1.33" "$box_text"

# Home, End, J and L.
press Home
expect_quarters "Home"
press End
expect_pixel "End" 512 384 "#00FFFF"
press j
expect_pixel "J from the last" 512 384 "#FF00FF"
press j j
expect_pixel "J onto the photo" 327 245 "#FF0000"
press l l
expect_pixel "L back" 512 384 "#FF00FF"

# F1's box, and F on a display that cannot run 1024x768: the question, and
# Yes leaves the viewer windowed.
press F1
boxes=$((boxes + 1))
wait_box help "$boxes" && answer_box Return
expect_eq "help box" 'keys:\nJ -\tprevios file in dir.\nL -\tnext file in dir.\nHOME -\tgo to first file in dir.\nEND -\tgo to last file in dir.\nR -\treload currently image.\nF -\tswitch fullscreen on / off.\nE -\tedit currently image.\nF1 -\tshow this help window.' \
  "$box_text"
press f
boxes=$((boxes + 1))
wait_box Olvistra "$boxes"
expect_eq "refusal question" 'The Requested Fullscreen Mode Is Not Supported By\nYour Video Card. Use Windowed Mode Instead?' \
  "$box_text"
answer_box Return
wait_window "^Olvistra$"
expect_eq "windowed after Yes" "1024x768" "$(xdotool getwindowgeometry "$wid" | sed -n 's/.*Geometry: //p')"
expect_pixel "drawn again after F" 512 384 "#FF00FF"

# Escape ends with the last message's wParam, VK_ESCAPE.
press Escape
wait_wine_exit
expect_eq "status after Escape" 27 "$status"

# A key that reaches the window procedure from a box's own loop waits for
# the whole list as well: F1 while a large folder is still read (the loop
# cannot take the list in while the box is open), then End in the viewer's
# window; once the box is closed the last entry is current. Wine gives the
# keyboard to the window clicked, not to the one given the X focus.
many="$work/many"
mkdir -p "$many"
(cd "$many" && seq -f 'p%06g.png' 1 100000 | xargs touch)
start_wine_program "$exe" "$(windows_path "$many")"
wait_window "^Olvistra - "
press F1
wait_box help 1
xdotool mousemove --window "$wid" 20 20 click 1
xdotool key End
xdotool mousemove --window "$box" 5 5 click 1
# End waits inside the box's loop for the whole list, so the box closes only
# once all 100,000 names are in: the deadline allows for a slow listing.
answer_box Return 600
boxes=1
show_info
case "$box_text" in
  "filename:\\t$(traced "$(windows_path "$many")\\p100000.png")\\n"*) pass ;;
  *) fail "End pressed while the help box was open was lost: $box_text" ;;
esac
press Escape
wait_wine_exit

# The start file is found in the list as Windows compares names: spelt in
# other letter case it is still current once the whole list is in (I waits
# for it); and a \\?\unix\ path, Wine's own form of one with two leading
# separators, is taken as absolute, not joined to the working directory.
unc_images="\\\\?\\unix${images//\//\\}"
for start in "$win_images\\C_QUARTERS.BMP" "$unc_images\\c_quarters.bmp"; do
  start_wine_program "$exe" "$start"
  wait_window "^Olvistra - "
  expect_eq "title for $start" "Olvistra - $start" "$(window_title)"
  boxes=0
  show_info
  case "$box_text" in
    "filename:\\t$(traced "${start%\\*}\\c_quarters.bmp")\\n"*) pass ;;
    *) fail "start file $start is not current: $box_text" ;;
  esac
  expect_quarters "shown from $start"
  press Escape
  wait_wine_exit
done

# A start path that is neither a file nor a folder.
boxes=$(box_texts | wc -l)
missing=$(windows_path "$work/no such folder")
start_wine_program "$exe" "$missing"
wait_box "Olvistra - error" 1
case "$box_text" in *"$(traced "$missing")"*) pass ;; *) fail "bad path box: $box_text" ;; esac
answer_box Return
wait_wine_exit
expect_eq "status after a bad path" 1 "$status"

start_wine_program "$exe" "$(windows_path "$large/photo.jpg")"
wait_window "^Olvistra - "
expect_quarters "Wine, large photo"
# Debian's libjpeg-turbo and the newer one inside DevIL.dll round a few
# reduced samples a level apart; the whole decode differs by more in
# thousands of pixels.
expect_linux_frame large.jpg 0.5%
press Escape
wait_wine_exit

# A display profile published while the viewer runs (Wine's GetICMProfile
# gives the root window's `_ICC_PROFILE`) is taken up at the next display
# change: the quarters' red becomes P3's numbers for it, as on Linux. Last,
# as the profile stays published.
x86_64-w64-mingw32-gcc -O1 -Wall -Werror "$OLVISTRA_SOURCE_DIR/tests/windows/display_change.c" -o "$work/display_change.exe"
"$OLVISTRA_SOURCE_DIR/tests/support/make_wide_gamut_png" "$work/p3.png" "$work/p3.icc"
start_wine_program "$exe" "$win_images\\a_quarters.png"
wait_window "^Olvistra - "
expect_pixel "red before a display profile" 327 245 "#FF0000"
"$OLVISTRA_SOURCE_DIR/tests/support/set_root_profile" "$work/p3.icc" "$work/profile.set" &
setter_pid=$!
wait_for 30 test -e "$work/profile.set" || fail "could not set _ICC_PROFILE"
wine "$work/display_change.exe" 2>/dev/null || fail "WM_DISPLAYCHANGE not sent"
expect_pixel "red on the P3 display after the display change" 327 245 "#E93628"
press Escape
wait_wine_exit
kill "$setter_pid"

finish
