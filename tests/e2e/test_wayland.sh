#!/usr/bin/env bash
# The viewer on Wayland: SDL's Wayland driver on weston, whose X11 backend
# shows its output in a window of a private Xvfb. The title reaches the
# compositor and its title bar, the picture's pixels are right, keys typed
# into weston's window step, and Escape ends the viewer. (Under weston's
# headless backend SDL 2.26 crashes inside SDL_Init, so that is not used.)
source "$(dirname "$0")/lib.sh"
command -v weston >/dev/null || { fail "weston is not installed (scripts/deps installs it)"; finish; exit 1; }

weston_pid=""
stop_weston() { [ -n "$weston_pid" ] && kill "$weston_pid" 2>/dev/null; cleanup; }
trap stop_weston EXIT

# Weston's output is larger than the viewer's window with its title bar,
# so all of it shows; weston places the window anywhere within it.
start_display 1280x1024
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
printf '[core]\nidle-time=0\n[shell]\npanel-position=none\nbackground-color=0xff404040\nanimation=none\nstartup-animation=none\n' \
  >"$work/weston.ini"
weston --backend=x11-backend.so --width=1200 --height=960 --socket=olvistra-e2e --config="$work/weston.ini" \
  >"$work/weston.log" 2>&1 &
weston_pid=$!
# Ready once its socket is there and its output window, which takes the keys.
weston_ready() {
  [ -S "$XDG_RUNTIME_DIR/olvistra-e2e" ] && wid=$(xdotool search --class "Weston Compositor" 2>/dev/null | head -n1) && [ -n "$wid" ]
}
wid=""
wait_for 30 weston_ready || fail "weston did not start: $(tail -n 3 "$work/weston.log" | tr '\n' '|')"
# Weston's window takes the X focus once, before the viewer starts: weston
# answers a later change of its window's focus by taking the keyboard from
# its client (wl_keyboard.leave), and under load it did not always give it
# back, so keys typed later went nowhere.
timeout 20 xdotool windowfocus --sync "$wid" 2>/dev/null || true

make_registry
# Two pictures: the one listed first red and blue, the other green. The names
# are made first, since the listing's order depends on them alone.
mkdir -p "$work/pics"
touch "$work/pics/one.png" "$work/pics/two.png"
first=$(listed_images "$work/pics" | head -n1)
second=$(listed_images "$work/pics" | sed -n 2p)
convert -size 100x100 xc:red -size 100x100 xc:blue +append "$work/pics/$first"
solid_image "$work/pics/$second" 200x100 lime

# No X display for the viewer: it can only be Wayland. The client's protocol
# log gives the title and application id it set; only those lines and the
# viewer's own are kept, with the keyboard's coming and going.
: >"$work/stderr"
env -u DISPLAY SDL_VIDEODRIVER=wayland WAYLAND_DISPLAY=olvistra-e2e WAYLAND_DEBUG=client \
  "$OLVISTRA_BIN" "$work/pics/$first" \
  2> >(grep --line-buffered -e 'set_title' -e 'set_app_id' -e 'wl_keyboard@[0-9]*\.\(enter\|leave\)' -e '^olvistra' \
    -e 'rror' >"$work/stderr") &
viewer_pid=$!

# The bounding box "W H X Y" of one colour on the Xvfb's screen.
box_of() {
  import -silent -window root "$work/screen.png" 2>/dev/null
  convert "$work/screen.png" -fuzz 10% -fill black +opaque "$1" -trim -format '%w %h %X %Y' info: 2>/dev/null
}

near() { [ $(($1 - $2)) -ge -4 ] && [ $(($1 - $2)) -le 4 ]; }

# Waits until the colour's box is about W x H; sets box_x, box_y.
wait_box() {  # description #RRGGBB W H
  local seen="" w h x y
  for _ in $(seq 100); do
    seen=$(box_of "$2")
    read -r w h x y <<<"$seen"
    if [ -n "$y" ] && near "$w" "$3" && near "$h" "$4"; then
      box_x=$x box_y=$y
      pass
      return 0
    fi
    sleep 0.2
  done
  fail "$1: $2 is [$seen] on screen, expected about $3 x $4"
  return 1
}

expected_title="Olvistra - $work/pics/$first"
wait_for 40 grep -qF "set_title(\"$expected_title\")" "$work/stderr" && pass ||
  fail "the compositor was not given the title [$expected_title]; viewer said: $(tail -n 3 "$work/stderr" | tr '\n' '|')"

# The application id names the desktop entry, whose icon the desktop shows.
grep -qF 'set_app_id("olvistra")' "$work/stderr" && pass || fail "the application id is not olvistra"

# A 2:1 picture fills 741.6 x 370.8 pixels around the centre of the 1024 x 768
# client area: red on the left, blue on the right.
if wait_box "left half" "#FF0000" 371 371; then
  red_x=$box_x red_y=$box_y
  if wait_box "right half" "#0000FF" 371 371; then
    near "$box_x" $((red_x + 371)) && near "$box_y" "$red_y" && pass ||
      fail "right half at $box_x,$box_y, the left one at $red_x,$red_y"
  fi
  # The client area's corner, and the title bar above it: at its left end,
  # before any title text however long and in whatever font, a block of one
  # colour 10 rows high that is neither the client's black nor weston's
  # background.
  left=$((red_x - 141)) top=$((red_y - 199))
  colours=$(convert "$work/screen.png" -crop "20x10+$((left + 4))+$((top - 11))" +repage -unique-colors \
    -format '%w' info: 2>/dev/null)
  bar=$(convert "$work/screen.png" -format "%[hex:p{$((left + 4)),$((top - 2))}]" info: 2>/dev/null)
  if [ "$colours" == 1 ] && [ "${bar:0:6}" != 000000 ] && [ "${bar:0:6}" != 404040 ]; then
    pass
  else
    fail "no title bar above the window ($colours colours at its left end, the first $bar)"
  fi
  cp "$work/screen.png" "$(dirname "$OLVISTRA_BIN")/wayland-viewer.png"
fi

# Keys typed into weston's X window reach the viewer once weston has given
# it the keyboard.
keyboard_on_viewer() { grep -e 'wl_keyboard' "$work/stderr" | tail -n1 | grep -qF '.enter('; }
wait_for 40 keyboard_on_viewer && pass || fail "weston did not give the viewer the keyboard"
press l
wait_box "next picture, L" "#00FF00" 742 371
press j
wait_box "previous picture, J" "#FF0000" 371 371
press Escape
wait_exit && pass
grep -F 'message box' "$work/stderr" && fail "the viewer showed a message box"

finish
