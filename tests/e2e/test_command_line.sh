#!/usr/bin/env bash
# --help and --version answer on standard output without a display or
# settings; a file named like an option is still reachable as ./--help.
source "$(dirname "$0")/lib.sh"
: "${OLVISTRA_SOURCE_DIR:?OLVISTRA_SOURCE_DIR names the source tree}"
version=$(grep -oP '^project\(olvistra VERSION \K[0-9.]+' "$OLVISTRA_SOURCE_DIR/CMakeLists.txt")

# Neither a display nor a registry file is needed to answer.
answer() { env -u DISPLAY -u WAYLAND_DISPLAY OLVISTRA_REGISTRY="$work/missing.reg" "$OLVISTRA_BIN" "$@" \
  >"$work/stdout" 2>"$work/stderr"; }

for option in --help -h; do
  answer "$option"
  expect_eq "$option status" 0 "$?"
  expect_eq "$option usage line" "Usage: olvistra [PATH]" "$(head -n1 "$work/stdout")"
  for text in "./--help" "Escape" "Page Down" "F1" "OLVISTRA_REGISTRY" "OLVISTRA_DIALOG_ANSWER" "OLVISTRA_TRACE"; do
    grep -qF -- "$text" "$work/stdout" || fail "$option does not mention $text"
  done
  expect_eq "$option standard error" "" "$(cat "$work/stderr")"
done
for option in --version -V; do
  answer "$option"
  expect_eq "$option status" 0 "$?"
  expect_eq "$option" "olvistra $version" "$(cat "$work/stdout")"
done

# A write that fails is no success.
if [ -w /dev/full ]; then
  env -u DISPLAY "$OLVISTRA_BIN" --version >/dev/full 2>/dev/null
  expect_eq "status when the answer cannot be written" 1 "$?"
fi

# A folder really named --help opens as a path, blanks after it included.
start_display
make_registry
solid_image "$work/--help/red.png" 64x64 red
(cd "$work" && exec "$OLVISTRA_BIN" ./--help 2>"$work/stderr") &
viewer_pid=$!
if wait_window "Olvistra - "; then
  expect_eq "title of ./--help" "Olvistra - $work/./--help" "$(window_title)"
  expect_pixel "the folder's picture" 512 384 "#FF0000"
  press Escape
  wait_exit
fi
start_viewer --help me
wait_exit
expect_eq "'--help me' is a path: status" 1 "$status"
grep -qF 'message box "Olvistra - error"' "$work/stderr" || fail "'--help me' gave no error box: $(cat "$work/stderr")"

finish
