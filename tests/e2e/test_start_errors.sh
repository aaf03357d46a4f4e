#!/usr/bin/env bash
# A start path that can be neither shown nor listed: one box whose first line
# is the directory reader's error, then the path, then the system's reason;
# and a failed exit. Run as root, the viewer gives up the capabilities that
# override permissions, so that permission problems are real.
source "$(dirname "$0")/lib.sh"
start_display
make_registry

as_user=()
[ "$(id -u)" -eq 0 ] && as_user=(setpriv --bounding-set=-dac_override,-dac_read_search --)

expect_refused() {  # path reason
  : >"$work/stderr"
  "${as_user[@]}" "$OLVISTRA_BIN" "$1" 2>"$work/stderr" &
  viewer_pid=$!
  wait_exit
  expect_eq "box for $1" \
    "olvistra: message box \"Olvistra - error\": Handdir::opendir -> FindFirstFile\\n$1\\n$2" \
    "$(grep -F 'Olvistra - error' "$work/stderr")"
  if [ "$status" -ne 0 ]; then pass; else fail "$1 exited with status 0"; fi
}

solid_image "$work/locked.png" 8x8 red
chmod 000 "$work/locked.png"
ln -s loop-b "$work/loop-a"
ln -s loop-a "$work/loop-b"
mkfifo "$work/pipe.png"
solid_image "$work/closed/inside.png" 8x8 red
chmod 000 "$work/closed"

expect_refused "$work/does-not-exist" "No such file or directory"
expect_refused "$work/locked.png" "Permission denied"
expect_refused "$work/loop-a" "Too many levels of symbolic links"
expect_refused "$work/pipe.png" "Not a picture or folder"
expect_refused /dev/null "Not a picture or folder"
expect_refused "$work/closed" "Permission denied"
expect_refused "$work/closed/inside.png" "Permission denied"

chmod 700 "$work/closed"
finish
