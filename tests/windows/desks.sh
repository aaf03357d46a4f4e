#!/usr/bin/env bash
# olvistra.exe on Windows desks unlike the usual test one, under Wine on a
# 2048x1536 display: the window takes no input method; the display is kept
# on while the window is in front and let go when it is not or is closed;
# Windows' own GL 1.1 (no non-power-of-two textures) draws a picture whole
# and in place; at 150 % (LogPixels 144) the client area is 1536x1152 and
# the picture is drawn in its real pixels; at 200 % the window is the
# largest 4:3 one that fits the screen.
source "$(dirname "$0")/../e2e/lib.sh"
source "$(dirname "$0")/wine_lib.sh"

start_display 2048x1536
quarters="$work/quarters.png"
# 96x72: neither side a power of two.
convert -size 48x36 xc:red xc:lime +append \( -size 48x36 xc:blue xc:yellow +append \) -append "png:$quarters"

start_wine
app="$(drive_c)/olvistra"
mkdir -p "$app"
cp "$OLVISTRA_WINDOWS_BUILD"/{olvistra.exe,olvistra-decode.exe,DevIL.dll,ILU.dll,ILUT.dll} "$app/"
wine reg add 'HKLM\SOFTWARE\Quenmark\Olvistra' /v installDir /t REG_SZ /d 'C:\olvistra' /f >/dev/null 2>&1
# Wine traces the input-method association (imm) and the execution state
# the viewer sets (ntdll's warning that it is a stub).
export WINEDEBUG="$WINEDEBUG,trace+imm,warn+ntdll"

# Starts the viewer on the quarters and waits for its window.
view_quarters() {
  start_wine_program 'C:\olvistra\olvistra.exe' "$(windows_path "$quarters")"
  wait_window "^Olvistra - "
}
client_size() { xdotool getwindowgeometry "$wid" | sed -n 's/.*Geometry: //p'; }
# The execution state the viewer set last.
last_execution_state() { grep -ao 'NtSetThreadExecutionState (0x[0-9a-f]*' "$work/stderr" | tail -n1 | sed 's/.*(//'; }
execution_state_is() { [ "$(last_execution_state)" == "$1" ]; }
wait_execution_state() {  # state description
  wait_for 30 execution_state_is "$1" && pass || fail "$2: the execution state is [$(last_execution_state)], not $1"
}
# The quarters' middles in a client area SCALE times 1024x768.
expect_quarters_at() {  # description scale
  local s=$2
  at() { awk -v v="$1" -v s="$s" 'BEGIN { printf "%.0f", v * s }'; }
  expect_pixel "$1: top left" "$(at 327)" "$(at 245)" "#FF0000"
  expect_pixel "$1: top right" "$(at 697)" "$(at 245)" "#00FF00"
  expect_pixel "$1: bottom left" "$(at 327)" "$(at 523)" "#0000FF"
  expect_pixel "$1: bottom right" "$(at 697)" "$(at 523)" "#FFFF00"
}
capture() { import -silent -window "$wid" "png:$1" 2>/dev/null; }
# The box around everything not black, as WxH+X+Y.
picture_box() { convert "$1" -fuzz 10% -trim -format '%wx%h+%X+%Y' info: 2>/dev/null; }

# 100 %: no input method, the display kept on only while the window is in
# front, and the frame the full GL draws.
view_quarters
expect_eq "client size at 100 %" "1024x768" "$(client_size)"
expect_quarters_at "100 %" 1
grep -aqE 'ImmAssociateContextEx \([0-9A-Fa-f]+, 0+, 0x0\)' "$work/stderr" && pass ||
  fail "no ImmAssociateContextEx(window, NULL, 0): $(grep -a ImmAssociate "$work/stderr" | head -n 3)"
wait_execution_state 0x80000002 "window in front: display required"
capture "$work/full-gl.png"
press F1
wait_box help 1
wait_execution_state 0x80000000 "help box in front: display let go"
answer_box Return
wait_execution_state 0x80000002 "window in front again"
press Escape
wait_wine_exit
expect_eq "execution state after the viewer closed: display let go" 0x80000000 "$(last_execution_state)"

# GL 1.1 as Windows' own renderer has it: no non-power-of-two textures, no
# edge clamp. Mesa keeps the edge clamp whatever the override says.
WINEDEBUG="$WINEDEBUG,trace+wgl" MESA_GL_VERSION_OVERRIDE=1.1 \
  MESA_EXTENSION_OVERRIDE="-GL_ARB_texture_non_power_of_two -GL_EXT_texture_edge_clamp -GL_SGIS_texture_edge_clamp" \
  view_quarters
grep -aq 'GL version *: 1\.1 ' "$work/stderr" && pass || fail "the GL is not 1.1: $(grep -a 'GL version' "$work/stderr")"
expect_quarters_at "GL 1.1" 1
capture "$work/gl-1.1.png"
expect_eq "GL 1.1: the picture's box as with the full GL" "$(picture_box "$work/full-gl.png")" \
  "$(picture_box "$work/gl-1.1.png")"
press Escape
wait_wine_exit

# Sets the prefix's DPI; Wine takes it at its next start.
set_dpi() {
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
}

# 150 %: 1536x1152, drawn in those pixels: the quarters' middles and each
# edge of the picture one pixel wide, where a 1024x768 frame stretched by
# 1.5 would blur it over two.
set_dpi 144
view_quarters
expect_eq "client size at 150 %" "1536x1152" "$(client_size)"
expect_quarters_at "150 %" 1.5
expect_pixel "150 %: left of the picture" 211 367 "#000000"
expect_pixel "150 %: the picture's first column" 212 367 "#FF0000"
expect_pixel "150 %: above the picture" 490 158 "#000000"
expect_pixel "150 %: the picture's top row" 490 159 "#FF0000"
press Escape
wait_wine_exit

# 200 %: 2048x1536 and its frame do not fit the screen; the largest 4:3
# client area that does is taken.
set_dpi 192
view_quarters
read -r width height < <(client_size | tr x ' ')
read -r left top < <(xdotool getwindowgeometry "$wid" | sed -n 's/.*Position: \([0-9]*\),\([0-9]*\).*/\1 \2/p')
if [ "$((left + width))" -le 2048 ] && [ "$((top + height))" -lt 1536 ] && [ "$height" -gt 1200 ]; then pass; else
  fail "200 %: client ${width}x$height at $left,$top does not fill the 2048x1536 screen"
fi
ratio_error=$((3 * width - 4 * height))
[ "${ratio_error#-}" -le 4 ] && pass || fail "200 %: client ${width}x$height is not 4:3"
expect_pixel "200 %: the middle of the picture's top left" $((width * 327 / 1024)) $((height * 245 / 768)) "#FF0000"
press Escape
wait_wine_exit

finish
