#!/usr/bin/env bash
# Decoding in the helper process, seen from the window: a file that hangs
# DevIL leaves the viewer stepping, reloading, editing and describing it; a
# helper killed from outside is replaced; a neighbour replaced after it was
# decoded ahead shows its new content, and R the current file's; no helper
# outlives the viewer.
source "$(dirname "$0")/lib.sh"
start_display
make_registry
# A hanging decode is given far longer than any wait below, so a picture
# that shows while one hangs shows because nothing waited for it.
export OLVISTRA_DECODE_TIME_LIMIT_MS=600000
export OLVISTRA_TRACE=1

helper_pid() { pgrep -P "$viewer_pid" | head -n1; }

pics="$work/pics"
mkdir -p "$pics"
solid_image "$pics/one.png" 64x64 red
solid_image "$pics/three.png" 64x64 blue
convert -size 64x64 xc:lime "png:$work/whole.png"
head -c 64 "$work/whole.png" >"$pics/two.png"  # DevIL spins on it forever
mapfile -t order < <(listed_images "$pics")
index_of() { local i; for i in "${!order[@]}"; do [ "${order[$i]}" == "$1" ] && echo "$i"; done; }

# Start on the hanging file; R, I and a step away all answer at once, and
# the info box describes the entry as not loaded.
start_viewer "$pics/two.png"
wait_window "Olvistra - "
press r i
hang=$(index_of two.png)
if [ "$hang" -gt 0 ]; then press j; other="${order[$((hang - 1))]}"; else press l; other="${order[1]}"; fi
case "$other" in one.png) colour="#FF0000" ;; *) colour="#0000FF" ;; esac
expect_pixel "R, I and a step away from a hanging decode show the neighbour" 512 384 "$colour"
wait_lines 'message box "info": ' 1 || true
info=$(grep -F 'message box "info": ' "$work/stderr" | tail -n1)
case "$info" in *two.png*) case "$info" in *width:*) fail "info on a pending decode: $info" ;; *) pass ;; esac ;;
  *) fail "no info box for the hanging file: $info" ;; esac

# Killed from outside: the next image still shows.
first_helper=$(helper_pid)
if [ -n "$first_helper" ]; then kill -9 "$first_helper"; else fail "no helper found to kill"; fi
wait_for 30 process_gone "$first_helper"
if [ "$other" == one.png ]; then target=three.png; target_colour="#0000FF"; else target=one.png; target_colour="#FF0000"; fi
press Home
for _ in $(seq "$(index_of "$target")"); do press l; done
# It may have been loaded ahead before the kill: R decodes it afresh.
press r
expect_pixel "the other image after the helper was killed" 512 384 "$target_colour"
if kill -0 "$viewer_pid" 2>/dev/null; then pass; else fail "viewer ended"; fi
second_helper=$(helper_pid)
if [ -n "$second_helper" ] && [ "$second_helper" != "$first_helper" ]; then pass; else fail "no new helper ($first_helper, $second_helper)"; fi
press Escape
wait_exit
if [ -z "$second_helper" ]; then
  fail "no helper found, so none can be seen to end with the viewer"
else
  wait_for 30 process_gone "$second_helper"
  if process_gone "$second_helper"; then pass; else fail "helper outlived the viewer"; fi
fi

# Decoded ahead, then replaced on disk: the new content shows. R shows the
# current file's content.
good="$work/good"
mkdir -p "$good"
for name in alpha beta gamma; do solid_image "$good/$name.png" 64x64 red; done
mapfile -t order < <(listed_images "$good")
start_viewer "$good/${order[0]}"
wait_window "Olvistra - "
expect_pixel "first image" 512 384 "#FF0000"
driver_loaded() { grep -qF "graphics driver loaded ahead" "$work/stderr"; }
if wait_for 60 driver_loaded; then pass; else fail "the GL driver was not loaded ahead of the window's context"; fi
decoded_ahead() { grep -qF "trace $good/${order[1]}: decoded ahead" "$work/stderr"; }
wait_for 60 decoded_ahead || fail "the next picture was not decoded ahead"
solid_image "$good/tmp.png" 64x64 blue
mv "$good/tmp.png" "$good/${order[1]}"
press l
expect_pixel "the replaced neighbour shows its new content" 512 384 "#0000FF"
solid_image "$good/tmp.png" 64x64 yellow
mv "$good/tmp.png" "$good/${order[1]}"
press r
expect_pixel "R shows the current content" 512 384 "#FFFF00"
# The helper and its spare both end with the viewer.
helpers=$(pgrep -P "$viewer_pid" | tr '\n' ' ')
press Escape
wait_exit
for helper in $helpers; do
  wait_for 30 process_gone "$helper"
  if process_gone "$helper"; then pass; else fail "helper $helper outlived the viewer"; fi
done
[ -n "$helpers" ] && pass || fail "no helper found"

# E whose paint program leaves a file that hangs DevIL: the edited picture is
# decoded in the background and a step away answers at once.
mkdir -p "$work/bin"
cat >"$work/bin/mspaint" <<SCRIPT
#!/bin/sh
head -c 64 "$work/whole.png" > "\$1"
SCRIPT
chmod +x "$work/bin/mspaint"
PATH="$work/bin:$PATH" start_viewer "$good/${order[0]}"
wait_window "Olvistra - "
expect_pixel "first image before E" 512 384 "#FF0000"
press e l
expect_pixel "a step away after E left a hanging file" 512 384 "#FFFF00"
press Escape
wait_exit

finish
