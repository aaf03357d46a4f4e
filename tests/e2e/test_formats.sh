#!/usr/bin/env bash
# A folder with one picture of every listed extension, plus a BMP with alpha,
# a top-down bit-field BMP and a CMYK JPEG: stepping through it shows each
# picture's quarters in their colours, and the info box gives 40 x 30.
source "$(dirname "$0")/lib.sh"
start_display
make_registry

pics="$work/pics"
bash "$OLVISTRA_SOURCE_DIR/tests/support/make_format_samples" "$pics" || fail "samples not written"
# In the order the system lists them, which is the viewer's order.
mapfile -t names < <(ls -f "$pics" | grep -E '^[^.].{4,}$' | grep -v '\.PAL$')
expect_eq "samples of 16 extensions and 3 more" 19 "${#names[@]}"

# Top-left, top-right, bottom-left, bottom-right (see make_format_samples).
quarters() {
  case $1 in
    quad.dcm) echo "#404040 #808080 #C0C0C0 #FFFFFF" ;;
    quad.exr) echo "#FF0000 #00FF00 #0000FF #FFFF80" ;;
    *) echo "#FF0000 #00FF00 #0000FF #FFFFFF" ;;
  esac
}
# 4:3 fills 741.6 x 556.2 pixels around the centre (512, 384).
xs=(327 697 327 697)
ys=(245 245 523 523)

start_viewer "$pics"
wait_window "Olvistra - "
step=0
for name in "${names[@]}"; do
  step=$((step + 1))
  read -r -a colours <<<"$(quarters "$name")"
  for i in 0 1 2 3; do expect_pixel "$name quarter $i" "${xs[$i]}" "${ys[$i]}" "${colours[$i]}"; done
  press i
  wait_lines 'message box "info": ' $step || fail "$name: no info box"
  info=$(grep -F 'message box "info": ' "$work/stderr" | tail -n1)
  case $info in
    *"filename:\\t$pics/$name\\n"*'width:\t40px\nheight:\t30px\nradio:\t1.33') pass ;;
    *) fail "$name: info box says [$info]" ;;
  esac
  press l
done
press Escape
wait_exit

finish
