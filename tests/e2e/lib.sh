# Shared helpers for the end-to-end tests: each test runs the real viewer on
# a private virtual display and drives it with xdotool.
set -uo pipefail

: "${OLVISTRA_BIN:?OLVISTRA_BIN names the viewer binary}"
export LIBGL_ALWAYS_SOFTWARE=1
# No session bus here: without an address libdbus (reached through SDL's
# video start) forks a launcher, and in the sanitizer build a child forked
# while another thread holds the allocator's lock never gets further, so
# the viewer would wait for it forever. An address that fails at once.
export DBUS_SESSION_BUS_ADDRESS="${DBUS_SESSION_BUS_ADDRESS:-unix:path=/nonexistent/olvistra-test-bus}"
export OLVISTRA_DIALOG_ANSWER="${OLVISTRA_DIALOG_ANSWER:-yes}"
# Leaks are checked by the unit tests; here the viewer's children (message
# boxes, which SDL forks again) must be free to exit as they do.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"

work=$(mktemp -d /tmp/olvistra-e2e.XXXXXX)
viewer_pid=""
xvfb_pid=""
wm_pid=""
failures=0
checks=0

cleanup() {
  [ -n "$viewer_pid" ] && kill -9 "$viewer_pid" 2>/dev/null || true
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
pass() { checks=$((checks + 1)); }

expect_eq() {  # description expected actual
  if [ "$2" == "$3" ]; then pass; else fail "$1: expected [$2], got [$3]"; fi
}

# Ends the test with the plain count line ctest output can be read by.
finish() {
  echo "$checks passed, $failures failed"
  [ "$failures" -eq 0 ]
}

# Polls a command until it succeeds, for up to the given seconds; the
# deadlines are far above the usual times, so that a busy machine only
# makes a test slower, never red.
wait_for() {  # seconds command...
  local tries=$(($1 * 10))
  shift
  for _ in $(seq "$tries"); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

# Starts a private X server (WIDTHxHEIGHT, default 1024x768), optionally with
# a window manager ("wm"), and points DISPLAY at it.
start_display() {
  local size="${1:-1024x768}" fdfile="$work/display.fd"
  Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$fdfile" 2>"$work/xvfb.log" &
  xvfb_pid=$!
  wait_for 30 test -s "$fdfile" || fail "Xvfb did not start: $(tail -n 3 "$work/xvfb.log")"
  export DISPLAY=":$(head -n1 "$fdfile")"
  # The keyboard repeats as on a desktop, whatever the server's default.
  xset r on r rate 250 25 2>/dev/null || true
  if [ "${2:-}" == "wm" ]; then
    start_wm || fail "openbox did not start: $(tail -n 3 "$work/wm.log")"
  fi
}

# Starts openbox and waits until it has announced itself on the root. The
# server resets when its last client (xset above) leaves, and openbox
# connecting during that reset ends with "unable to open display"; it is then
# started again, until the deadline.
start_wm() {
  local deadline=$((SECONDS + 60))
  while [ "$SECONDS" -lt "$deadline" ]; do
    openbox --sm-disable >"$work/wm.log" 2>&1 &
    wm_pid=$!
    while kill -0 "$wm_pid" 2>/dev/null && [ "$SECONDS" -lt "$deadline" ]; do
      wmctrl -m >/dev/null 2>&1 && return 0
      sleep 0.1
    done
  done
  return 1
}

# A registry file whose installDir is the work directory.
make_registry() {
  printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quenmark\\Olvistra]\r\n"installDir"="%s"\r\n' \
    "$work" >"$work/olvistra.reg"
  export OLVISTRA_REGISTRY="$work/olvistra.reg"
}

# Starts the viewer in the background with the given arguments; its standard
# error goes to $work/stderr.
start_viewer() {
  : >"$work/stderr"
  "$OLVISTRA_BIN" "$@" 2>"$work/stderr" &
  viewer_pid=$!
}

# Waits (up to 60 s) for a window whose title matches the pattern, other
# than the window given second (one being replaced, which can stay findable
# for a moment); sets $wid.
wait_window() {
  wid=""
  for _ in $(seq 600); do
    wid=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | grep -vx "${2:-none}" | head -n1 || true)
    [ -n "$wid" ] && return 0
    kill -0 "$viewer_pid" 2>/dev/null || break
    sleep 0.1
  done
  fail "no window titled like '$1' (viewer $(kill -0 "$viewer_pid" 2>/dev/null && echo running || echo ended); its last words: $(tail -n 3 "$work/stderr" | tr '\n' '|'); windows: $(xdotool search --name . 2>/dev/null | while read -r w; do printf '[%s] ' "$(xdotool getwindowname "$w")"; done))"
  return 1
}

window_title() { xdotool getwindowname "$wid" 2>/dev/null || true; }

# Waits for the viewer to end (up to 60 s); sets $status.
wait_exit() {
  status=""
  for _ in $(seq 600); do
    if ! kill -0 "$viewer_pid" 2>/dev/null; then
      set +e; wait "$viewer_pid"; status=$?; set -e
      viewer_pid=""
      return 0
    fi
    sleep 0.1
  done
  fail "viewer did not end (state $(sed -n 's/^State:[[:space:]]*//p' "/proc/$viewer_pid/status" 2>/dev/null); its last words: $(tail -n 3 "$work/stderr" | tr '\n' '|'))"
  return 1
}

# Presses keys in the viewer window (xdotool key names). The viewer takes
# keys in the order they were pressed, so a check that follows waits for
# what the keys lead to (a pixel, a line), never for a time.
press() {
  [ -n "${wid:-}" ] || { fail "no window to press keys in"; return 1; }
  timeout 20 xdotool windowfocus --sync "$wid" 2>/dev/null || true
  xdotool key --delay 60 "$@"
}

# Returns once the viewer has handled every key pressed so far: F1's help
# line comes after them (only with the answered boxes of OLVISTRA_DIALOG_ANSWER,
# where the help box does not stop the viewer).
sync_viewer() {
  local before
  before=$(count_lines 'message box "help"')
  press F1
  wait_lines 'message box "help"' $((before + 1)) || fail "the viewer did not answer F1"
}

# Number of stderr lines matching a fixed text.
count_lines() { grep -cF -- "$1" "$work/stderr" || true; }

# Waits (up to 30 s) until the stderr log has at least N lines containing the text.
wait_lines() {  # text count
  for _ in $(seq 300); do
    [ "$(count_lines "$1")" -ge "$2" ] && return 0
    sleep 0.1
  done
  return 1
}

# The path of the current entry, read from the info box the I key shows
# (named by its symbol in the display's layout, $info_key, default i).
current_entry() {
  local before
  before=$(count_lines 'message box "info": ')
  press "${info_key:-i}"
  wait_lines 'message box "info": ' $((before + 1)) || { echo "<no info box>"; return; }
  grep -F 'message box "info": ' "$work/stderr" | tail -n1 | sed -e 's/^olvistra: message box "info": filename:\\t//' -e 's/\\npath:.*$//'
}

# Colour (#RRGGBB) of one pixel of the viewer window's client area.
pixel() {  # x y
  # Without a window, import would wait for a click on one.
  [ -n "${wid:-}" ] || return 0
  timeout 20 import -silent -window "$wid" -crop "1x1+$1+$2" +repage -depth 8 txt:- 2>/dev/null |
    tail -n1 | grep -o '#[0-9A-Fa-f]\{6\}' | head -n1
}

# Waits (up to 30 s) until the pixel has the colour (each channel within 24 of it).
wait_pixel() {  # x y #RRGGBB
  local seen=""
  for _ in $(seq 300); do
    seen=$(pixel "$1" "$2")
    if [ -n "$seen" ] && close_colour "$seen" "$3"; then return 0; fi
    sleep 0.1
  done
  echo "$seen"
  return 1
}

close_colour() {
  local a=$1 b=$2 i
  for i in 1 3 5; do
    local x=$((16#${a:$i:2})) y=$((16#${b:$i:2}))
    local d=$((x > y ? x - y : y - x))
    [ "$d" -le 24 ] || return 1
  done
}

expect_pixel() {  # description x y #RRGGBB
  local seen
  if seen=$(wait_pixel "$2" "$3" "$4"); then pass; else fail "$1: pixel ($2,$3) is $seen, expected $4"; fi
}

# A solid-colour image of the given size.
solid_image() {  # path WxH colour
  mkdir -p "$(dirname "$1")"
  # Written through standard output: ImageMagick would read '%d' in a name.
  convert -size "$2" "xc:$3" "${1##*.}:-" >"$1"
}

# The image names of a directory in the order the system lists them, which
# is the viewer's order (only names the viewer lists as images).
listed_images() {
  ls -f "$1" | grep -E '^[^.].{4,}$' | grep -iE '\.(png|jpg|bmp|tga)$' || true
}

# True when the process has ended (gone, or a zombie its parent has not
# collected yet).
process_gone() {  # pid
  ! kill -0 "$1" 2>/dev/null || grep -q '^State:[[:space:]]*Z' "/proc/$1/status" 2>/dev/null
}
