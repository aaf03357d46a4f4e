#!/usr/bin/env bash
# R and F5 read the file again; E runs the paint program with the path as its
# one argument and shows the edited picture; E on a directory runs nothing.
source "$(dirname "$0")/lib.sh"
start_display
make_registry

info_size() {  # the width/height lines of the last info box
  local before
  before=$(count_lines 'message box "info": ')
  press i
  wait_lines 'message box "info": ' $((before + 1)) || true
  grep -F 'message box "info": ' "$work/stderr" | tail -n1 | grep -o 'width:\\t[0-9]*px\\nheight:\\t[0-9]*px' |
    sed -e 's/width:\\t//' -e 's/px\\nheight:\\t/x/' -e 's/px$//'
}

dir="$work/odd ;&|\$(touch pwned)\`touch pwned2\`%PATH% dir"
img="$dir/picture 'quoted'.png"  # double quotes never survive the command line
solid_image "$img" 100x50 red
mkdir -p "$dir/folder_entry"

start_viewer "$img"
wait_window "Olvistra - "
expect_eq "size at start" "100x50" "$(info_size)"
expect_pixel "red picture shown" 512 384 "#FF0000"

convert -size 40x80 xc:blue png:- >"$img"
press r
expect_eq "size after R" "40x80" "$(info_size)"
expect_pixel "R shows the new picture" 512 384 "#0000FF"

convert -size 90x30 xc:lime png:- >"$img"
press F5
expect_eq "size after F5" "90x30" "$(info_size)"
expect_pixel "F5 shows the new picture" 512 384 "#00FF00"

# A stand-in paint program first on PATH: records its arguments, then
# replaces the picture with a 60x60 yellow one.
mkdir -p "$work/bin"
cat >"$work/bin/mspaint" <<SCRIPT
#!/bin/sh
printf '%s\n' "\$#" "\$@" > "$work/mspaint.args"
convert -size 60x60 xc:yellow png:- > "\$1"
SCRIPT
chmod +x "$work/bin/mspaint"
kill -9 "$viewer_pid"; wait "$viewer_pid" 2>/dev/null || true
PATH="$work/bin:$PATH" start_viewer "$img"
wait_window "Olvistra - "
press e
wait_for 30 test -s "$work/mspaint.args"
expect_eq "paint program got one argument, the path" "$(printf '1\n%s' "$img")" "$(cat "$work/mspaint.args" 2>/dev/null)"
expect_eq "size after E" "60x60" "$(info_size)"
expect_pixel "E shows the edited picture" 512 384 "#FFFF00"
[ ! -e pwned ] && [ ! -e "$work/pwned" ] && [ ! -e pwned2 ] && [ ! -e "$work/pwned2" ] && pass || fail "path was run by a shell"

# E on a directory entry runs nothing.
rm -f "$work/mspaint.args"
press Home
while [ "$(current_entry)" != "$dir/folder_entry" ]; do
  press l
  steps=$((${steps:-0} + 1))
  [ "$steps" -gt 3 ] && break
done
expect_eq "directory entry reached" "$dir/folder_entry" "$(current_entry)"
expect_pixel "directory marker is blue" 400 500 "#0000FF"
press e
sync_viewer
[ ! -e "$work/mspaint.args" ] && pass || fail "E on a directory ran the paint program"
press Escape
wait_exit

finish
