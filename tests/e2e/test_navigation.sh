#!/usr/bin/env bash
# Stepping through the list with every stepping key, at both ends and on an
# empty list, and with a held key.
source "$(dirname "$0")/lib.sh"
start_display
make_registry

pics="$work/pics"
for name in one two three four five; do solid_image "$pics/$name.png" 32x32 gray; done
mapfile -t order < <(listed_images "$pics")
last=$((${#order[@]} - 1))
at() { echo "$pics/${order[$1]}"; }

start_viewer "$pics"
wait_window "Olvistra - "
expect_eq "start" "$(at 0)" "$(current_entry)"

press j; expect_eq "J on the first entry" "$(at 0)" "$(current_entry)"
press Left Prior; expect_eq "Left, Page Up on the first entry" "$(at 0)" "$(current_entry)"
press l; expect_eq "L" "$(at 1)" "$(current_entry)"
press Right; expect_eq "Right" "$(at 2)" "$(current_entry)"
press Next; expect_eq "Page Down" "$(at 3)" "$(current_entry)"
press Left; expect_eq "Left" "$(at 2)" "$(current_entry)"
press Prior; expect_eq "Page Up" "$(at 1)" "$(current_entry)"
press j; expect_eq "J" "$(at 0)" "$(current_entry)"
press End; expect_eq "End" "$(at $last)" "$(current_entry)"
press l Right Next; expect_eq "next keys on the last entry" "$(at $last)" "$(current_entry)"
press Home; expect_eq "Home" "$(at 0)" "$(current_entry)"

press Escape
wait_exit

# Holding Right steps once per repeat and stops at the last entry: the key
# is held until the last entry is on screen (each shown entry writes its
# trace line, "decoded ahead" lines aside), however fast the server repeats.
OLVISTRA_TRACE=1 start_viewer "$pics"
wait_window "Olvistra - "
last_shown() { grep -qF "trace $(at $last): list " "$work/stderr"; }
timeout 20 xdotool windowfocus --sync "$wid" 2>/dev/null || true
xdotool keydown Right
wait_for 60 last_shown || fail "holding Right never reached the last entry"
xdotool keyup Right
expect_eq "held Right" "$(at $last)" "$(current_entry)"
press Escape
wait_exit

# An empty list: nothing to show, the keys change nothing and nothing breaks.
mkdir -p "$work/empty"
echo text >"$work/empty/readme.txt"
start_viewer "$work/empty"
wait_window "Olvistra - "
press l j Right Left Prior Next End Home r F5 e i
sync_viewer
expect_eq "no info box on an empty list" 0 "$(count_lines 'message box "info"')"
expect_pixel "empty list clears to black" 512 384 "#000000"
if kill -0 "$viewer_pid" 2>/dev/null; then pass; else fail "viewer ended on an empty list"; fi
press Escape
wait_exit

# Layouts without Latin letters: the physical L, J and I keys, typed by the
# symbols the layout gives them, are still L, J and I. The layout is set
# while the viewer runs: the server goes back to its own when its last
# client leaves.
for layout in "ru Cyrillic_de Cyrillic_o Cyrillic_sha" "gr Greek_lamda Greek_xi Greek_iota"; do
  read -r name key_l key_j info_key <<<"$layout"
  start_viewer "$pics"
  wait_window "Olvistra - "
  setxkbmap -display "$DISPLAY" "$name" || fail "setxkbmap $name"
  press "$key_l" "$key_l"; expect_eq "L under $name" "$(at 2)" "$(current_entry)"
  press "$key_j"; expect_eq "J under $name" "$(at 1)" "$(current_entry)"
  press Escape
  wait_exit
done
info_key=i

finish
