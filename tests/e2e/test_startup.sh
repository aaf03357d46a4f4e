#!/usr/bin/env bash
# Start-up: the registry check, the start path and the first current entry.
source "$(dirname "$0")/lib.sh"
start_display

# No registry key: one box, no window, exit status 0.
export OLVISTRA_REGISTRY="$work/missing.reg"
start_viewer "$work"
wait_exit
expect_eq "status without registry key" 0 "$status"
expect_eq "registry box" 'olvistra: message box "Olvistra - error": Error: Can not from Registry.\nProgram will close now.' \
  "$(cat "$work/stderr")"

make_registry
pics="$work/pics"
solid_image "$pics/alpha.png" 64x64 red
solid_image "$pics/bravo.png" 64x64 lime
solid_image "$pics/charlie.png" 64x64 blue
echo "notes" >"$pics/notes.txt"
first=$(listed_images "$pics" | head -n1)
second=$(listed_images "$pics" | sed -n 2p)

# A display that cannot be reached: the window error, and the viewer ends,
# instead of running on with a window nobody sees. The number is one no
# server here has claimed (no lock file, no socket, not listening).
unused_display() {
  local n
  for n in $(seq 4000 4999); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    grep -q "/tmp/.X11-unix/X$n\$" /proc/net/unix 2>/dev/null && continue
    echo ":$n"
    return 0
  done
}
DISPLAY=$(unused_display) start_viewer "$pics/$second"
wait_exit
expect_eq "window error without a display" 'olvistra: message box "ERROR": Window Creation Error.' \
  "$(grep -F 'message box' "$work/stderr")"

# An image file: its directory is listed and it is current; the title has the path.
start_viewer "$pics/$second"
wait_window "Olvistra - "
expect_eq "title" "Olvistra - $pics/$second" "$(window_title)"
expect_eq "start file current" "$pics/$second" "$(current_entry)"
press Escape
wait_exit

# A relative start path resolves against the working directory it was started in.
(cd "$work" && "$OLVISTRA_BIN" "pics/$second" 2>"$work/stderr") &
viewer_pid=$!
wait_window "Olvistra - "
expect_eq "relative title" "Olvistra - $pics/$second" "$(window_title)"
expect_eq "relative start file current" "$pics/$second" "$(current_entry)"
press Escape
wait_exit

# A directory, with and without its trailing separator: the first entry.
for dir in "$pics" "$pics/"; do
  start_viewer "$dir"
  wait_window "Olvistra - "
  expect_eq "title for $dir" "Olvistra - $dir" "$(window_title)"
  expect_eq "first entry for $dir" "$pics/$first" "$(current_entry)"
  press Escape
  wait_exit
done

# A file of an unlisted type: the first entry.
start_viewer "$pics/notes.txt"
wait_window "Olvistra - "
expect_eq "first entry for an unlisted type" "$pics/$first" "$(current_entry)"
press Escape
wait_exit

# The list is built from the start path's own text, so a doubled separator
# still finds the start file (spelt the same way).
start_viewer "$pics//$second"
wait_window "Olvistra - "
expect_eq "doubled separator" "$pics//$second" "$(current_entry)"
press Escape
wait_exit

# Quotes around a path with blanks are removed.
mkdir -p "$work/with blank"
cp "$pics/$first" "$work/with blank/one.png"
start_viewer "\"$work/with blank/one.png\""
wait_window "Olvistra - "
expect_eq "quoted path title" "Olvistra - $work/with blank/one.png" "$(window_title)"
press Escape
wait_exit

# No argument: the root directory.
start_viewer
wait_window "Olvistra - "
expect_eq "no argument title" "Olvistra - /" "$(window_title)"
press Escape
wait_exit

# A path that is neither a file nor a directory: told, and a failed exit.
start_viewer "$work/does-not-exist"
wait_exit
expect_eq "missing path box" "olvistra: message box \"Olvistra - error\": Handdir::opendir -> FindFirstFile\\n$work/does-not-exist\\nNo such file or directory" \
  "$(grep -F 'Olvistra - error' "$work/stderr")"
if [ "$status" -ne 0 ]; then pass; else fail "missing start path exited with status 0"; fi

finish
