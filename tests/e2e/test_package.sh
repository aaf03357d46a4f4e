#!/usr/bin/env bash
# The Debian package: built with CPack from a release build for /usr,
# unpacked into a scratch root, checked file by file, and the unpacked viewer
# run once on a bundled sample.
source "$(dirname "$0")/lib.sh"
: "${OLVISTRA_SOURCE_DIR:?OLVISTRA_SOURCE_DIR names the source tree}"

# Kept beside the test build, so a rerun only rebuilds what changed.
pkgbuild="$(dirname "$OLVISTRA_BIN")/package"
if ! { cmake -S "$OLVISTRA_SOURCE_DIR" -B "$pkgbuild" -G Ninja -DCMAKE_BUILD_TYPE=Release \
         -DCMAKE_INSTALL_PREFIX=/usr >"$work/build.log" 2>&1 &&
       cmake --build "$pkgbuild" >>"$work/build.log" 2>&1 &&
       rm -f "$pkgbuild"/olvistra_*.deb &&
       (cd "$pkgbuild" && cpack -G DEB) >>"$work/build.log" 2>&1; }; then
  cat "$work/build.log" >&2
  fail "the package does not build"
  finish
  exit 1
fi
deb=$(ls "$pkgbuild"/olvistra_*_amd64.deb)
root="$work/root"
dpkg-deb -x "$deb" "$root"

# Files.
for file in usr/bin/olvistra usr/share/applications/olvistra.desktop \
            usr/share/icons/hicolor/32x32/apps/olvistra.png etc/olvistra/olvistra.reg \
            usr/share/olvistra/samples/square_quarters.bmp; do
  if [ -e "$root/$file" ]; then pass; else fail "the package lacks /$file"; fi
done
expect_eq "icon size" "PNG 32x32" "$(identify -format '%m %wx%h' "$root/usr/share/icons/hicolor/32x32/apps/olvistra.png" 2>&1)"
if out=$(desktop-file-validate "$root/usr/share/applications/olvistra.desktop" 2>&1) && [ -z "$out" ]; then
  pass
else
  fail "desktop entry: $out"
fi
expect_eq "desktop entry runs the viewer on one file" "Exec=olvistra %f" \
  "$(grep '^Exec=' "$root/usr/share/applications/olvistra.desktop")"
expect_eq "registry file names the installed data directory" '"installDir"="/usr/share/olvistra"' \
  "$(grep -a '^"installDir"' "$root/etc/olvistra/olvistra.reg" | tr -d '\r')"
expect_eq "registry file is a conffile" "/etc/olvistra/olvistra.reg" \
  "$(dpkg-deb --ctrl-tarfile "$deb" | tar -xOf - ./conffiles 2>/dev/null)"
# Without OLVISTRA_REGISTRY the viewer reads the file the package installs.
if grep -qaF "/etc/olvistra/olvistra.reg" "$root/usr/bin/olvistra"; then
  pass
else
  fail "the binary does not read /etc/olvistra/olvistra.reg by default"
fi

# Dependencies: every library the binary needs comes from a declared package,
# and every declared package exists (this machine runs the viewer, so each is
# installed here).
depends=$(dpkg-deb -f "$deb" Depends | tr -d ' ' | tr ',' '\n' | sed 's/(.*//')
for lib in $(readelf -d "$root/usr/bin/olvistra" | grep -oP 'NEEDED.*\[\K[^]]+'); do
  owner=$(dpkg -S "*/x86_64-linux-gnu/$lib" 2>/dev/null | head -n1 | cut -d: -f1)
  if [ -n "$owner" ] && grep -qx "$owner" <<<"$depends"; then
    pass
  else
    fail "$lib comes from [${owner:-no package}], which Depends does not name"
  fi
done
for package in $depends; do
  if dpkg-query -W "$package" >/dev/null 2>&1; then pass; else fail "Depends names $package, no such package"; fi
done

# The unpacked viewer, started as the desktop entry would, shows the picture.
start_display
export OLVISTRA_REGISTRY="$root/etc/olvistra/olvistra.reg"
OLVISTRA_BIN="$root/usr/bin/olvistra"
picture="$root/usr/share/olvistra/samples/square_quarters.bmp"
start_viewer "$picture"
if wait_window "Olvistra - "; then
  expect_eq "title" "Olvistra - $picture" "$(window_title)"
  # Four quarters of a square picture, fitted around the window's centre.
  expect_pixel "top left quarter" 300 200 "#D32F2F"
  expect_pixel "top right quarter" 720 200 "#388E3C"
  expect_pixel "bottom left quarter" 300 570 "#1976D2"
  expect_pixel "bottom right quarter" 720 570 "#FBC02D"
  import -window "$wid" "$pkgbuild/installed-viewer.png" 2>/dev/null
  press Escape
  wait_exit
fi

finish
