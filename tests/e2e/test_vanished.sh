#!/usr/bin/env bash
# An entry whose file goes away after the listing: told once, drawn as
# nothing, and tried again on stepping back, R and F5; E tells it without
# starting the paint program; the viewer keeps going.
source "$(dirname "$0")/lib.sh"
start_display
make_registry

pics="$work/pics"
for name in first second third; do solid_image "$pics/$name.png" 32x32 black; done
mapfile -t order < <(listed_images "$pics")
# A colour for each place in the viewer's order (rewritten in place, so the
# order stays), so each check tells which entry is shown.
colours=(red lime yellow)
for i in 0 1 2; do solid_image "$pics/${order[$i]}" 32x32 "${colours[$i]}"; done
gone="$pics/${order[1]}"
error="message box \"Olvistra - error\": can not open file $gone for read"

# A stand-in paint program that only records that it ran.
mkdir -p "$work/bin"
printf '#!/bin/sh\ntouch "%s"\n' "$work/painted" >"$work/bin/mspaint"
chmod +x "$work/bin/mspaint"
PATH="$work/bin:$PATH" start_viewer "$pics"
wait_window "Olvistra - "
expect_pixel "first entry shown" 512 384 "#FF0000"
mv "$gone" "$work/kept.png"

press l
wait_lines "$error" 1 || true
# Keys make the viewer draw again; each would tell again if every frame retried.
for _ in 1 2 3; do sync_viewer; done
expect_eq "error shown once, not on every frame" 1 "$(count_lines "$error")"
expect_pixel "nothing drawn for the vanished entry" 512 384 "#000000"
expect_eq "no info box for the vanished entry" 0 "$(count_lines 'message box "info"')"

press l
expect_pixel "the entry after the vanished one shown" 512 384 "#FFFF00"
press j
wait_lines "$error" 2 || true
expect_eq "stepping back tries again" 2 "$(count_lines "$error")"
press r
wait_lines "$error" 3 || true
expect_eq "R tries again" 3 "$(count_lines "$error")"
press e
wait_lines "$error" 4 || true
expect_eq "E tells it" 4 "$(count_lines "$error")"
[ ! -e "$work/painted" ] && pass || fail "E started the paint program on a vanished file"

mv "$work/kept.png" "$gone"
convert -size 32x32 xc:blue png:- >"$gone"
press F5
expect_pixel "F5 shows the file once it is back" 512 384 "#0000FF"
expect_eq "no further error" 4 "$(count_lines "$error")"
kill -0 "$viewer_pid" 2>/dev/null && pass || fail "viewer ended"
press Escape
wait_exit

finish
