# Shared helpers for the tests that run the real olvistra.exe under Wine,
# on top of the end-to-end helpers (tests/e2e/lib.sh, sourced first): a Wine
# prefix of the test's own inside its work folder, programs started in it,
# and message boxes read through Wine's msgbox trace channel.
#
# Facts about Wine 8 on Xvfb these helpers rely on:
# - without a window manager a window has no frame: the X window found by
#   the title is the client area;
# - a closed box stays findable for a moment, so searches use --onlyvisible;
# - every box's text is traced as `trace:msgbox:MSGBOX_OnInit L"..."`, with
#   \n, \t and \\ written as escapes;
# - `wineserver -k` ends the server of $WINEPREFIX only, and every program
#   of that prefix with it.

: "${OLVISTRA_WINDOWS_BUILD:?OLVISTRA_WINDOWS_BUILD names the Windows build folder}"

wine_cleanup() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
  fi
  cleanup
}
trap wine_cleanup EXIT

skip() { echo "SKIPPED: $*"; exit 77; }

# Makes the prefix (about 700 MB, removed with the work folder) and keeps its
# server running until the test ends, so programs start without waiting for
# a new one. Skips (77) when Wine cannot start at all.
start_wine() {
  command -v wine >/dev/null || skip "wine is not installed (scripts/deps installs it)"
  export WINEPREFIX="$work/prefix" WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml="
  export WINEDEBUG="-all,err+all,+msgbox"
  mkdir -p "$WINEPREFIX"
  wineserver -p
  timeout 300 wine wineboot -i >"$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log"; skip "wine cannot make a prefix"; }
}

# The Windows name of a path under / (Wine's drive Z:).
windows_path() { echo "Z:${1//\//\\}"; }

# The folder of drive C:.
drive_c() { echo "$WINEPREFIX/drive_c"; }

# Starts a Windows program in the background like start_viewer; its standard
# error (Wine's traces included) goes to $work/stderr.
start_wine_program() {
  : >"$work/stderr"
  wine "$@" 2>"$work/stderr" &
  viewer_pid=$!
}

# The texts of the boxes shown so far, one a line, as Wine traces them.
box_texts() {
  grep -a 'trace:msgbox:MSGBOX_OnInit' "$work/stderr" | sed -e 's/^.*MSGBOX_OnInit L"//' -e 's/"\r\{0,1\}$//'
}

# Waits (up to 60 s) for a visible box with exactly this caption that is the
# COUNT-th box shown; sets $box (its window) and $box_text.
wait_box() {  # caption count
  box=""
  box_text=""
  for _ in $(seq 600); do
    if [ "$(box_texts | wc -l)" -ge "$2" ]; then
      box=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1 || true)
      if [ -n "$box" ]; then
        box_text=$(box_texts | sed -n "$2p")
        return 0
      fi
    fi
    sleep 0.1
  done
  fail "no box \"$1\" (box $2; seen: $(box_texts | tr '\n' '|'))"
  return 1
}

# Presses a key in the box and waits (up to 30 s, or the seconds given) for it
# to go.
answer_box() {  # key [seconds, default 30]
  [ -n "$box" ] || return 1
  timeout 5 xdotool windowfocus --sync "$box" 2>/dev/null || true
  xdotool key "$1"
  for _ in $(seq $((${2:-30} * 10))); do
    xdotool search --onlyvisible --name . 2>/dev/null | grep -qx "$box" || return 0
    sleep 0.1
  done
  fail "the box did not close (e2e line ${BASH_LINENO[0]}: $(box_texts | tail -n 1))"
  return 1
}

# Waits (up to 60 s) for the program started last to end; sets $status.
wait_wine_exit() {
  status=""
  for _ in $(seq 600); do
    if ! kill -0 "$viewer_pid" 2>/dev/null; then
      wait "$viewer_pid"; status=$?
      viewer_pid=""
      return 0
    fi
    sleep 0.1
  done
  fail "the program did not end"
  return 1
}

# Escapes a text as Wine's trace writes it: backslash, tab and newline.
traced() { printf '%s' "$1" | sed -e 's/\\/\\\\/g' -e 's/\t/\\t/g' | sed -e ':a;N;$!ba;s/\n/\\n/g'; }
