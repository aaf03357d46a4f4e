#!/usr/bin/env bash
# The Debian package, made once by the package_build test (scripts/build-deb):
# its files and metadata, lintian, and a real install with apt-get, after
# which the viewer runs from PATH and the package is removed again.
source "$(dirname "$0")/lib.sh"
: "${OLVISTRA_SOURCE_DIR:?OLVISTRA_SOURCE_DIR names the source tree}"
unset OLVISTRA_REGISTRY

pkgbuild="$(dirname "$OLVISTRA_BIN")/package"
deb=$(ls "$pkgbuild"/olvistra_*_amd64.deb 2>/dev/null | head -n1)
if [ -z "$deb" ]; then
  fail "no package in $pkgbuild: the package_build test makes it"
  finish
  exit 1
fi
version=$(dpkg-deb -f "$deb" Version)
root="$work/root"
dpkg-deb -x "$deb" "$root"
share="$root/usr/share"

# Files.
for file in usr/bin/olvistra usr/libexec/olvistra/olvistra-decode usr/share/applications/olvistra.desktop usr/share/man/man1/olvistra.1.gz \
            usr/share/metainfo/com.quenmark.olvistra.metainfo.xml usr/share/icons/hicolor/scalable/apps/olvistra.svg \
            usr/share/doc/olvistra/copyright usr/share/doc/olvistra/changelog.gz etc/olvistra/olvistra.reg \
            usr/share/olvistra/samples/square_quarters.bmp; do
  if [ -e "$root/$file" ]; then pass; else fail "the package lacks /$file"; fi
done

# Icons: every hicolor size, each the drawing rendered at that size, and the
# Windows icon carries the same sizes.
sizes="16 24 32 48 64 128 256"
for size in $sizes; do
  png="$share/icons/hicolor/${size}x${size}/apps/olvistra.png"
  expect_eq "icon size $size" "PNG ${size}x${size}" "$(identify -format '%m %wx%h' "$png" 2>&1)"
  difference=$(rsvg-convert -w "$size" -h "$size" "$OLVISTRA_SOURCE_DIR/resources/icons/olvistra.svg" |
    compare -metric RMSE - "$png" null: 2>&1 | grep -oP '\(\K[0-9.e-]+')
  awk -v d="${difference:-1}" 'BEGIN { exit !(d < 0.02) }' && pass ||
    fail "the ${size}px icon is not the drawing's (RMSE ${difference:-?}): run scripts/make-icons"
done
expect_eq "Windows icon sizes" "$(for s in $sizes; do printf '%sx%s ' "$s" "$s"; done)" \
  "$(identify -format '%wx%h ' "$OLVISTRA_SOURCE_DIR/resources/olvistra.ico" 2>&1)"

# The desktop entry and the metainfo are valid and name the same MIME types.
desktop="$share/applications/olvistra.desktop"
metainfo="$share/metainfo/com.quenmark.olvistra.metainfo.xml"
if out=$(desktop-file-validate "$desktop" 2>&1) && [ -z "$out" ]; then pass; else fail "desktop entry: $out"; fi
expect_eq "desktop entry runs the viewer on one file" "Exec=olvistra %f" "$(grep '^Exec=' "$desktop")"
if out=$(appstreamcli validate --no-net "$metainfo" 2>&1); then pass; else fail "metainfo: $out"; fi
grep -q '<screenshot type="default">' "$metainfo" && pass || fail "the metainfo has no screenshot"
expect_eq "metainfo provides the desktop entry's MIME types" \
  "$(grep '^MimeType=' "$desktop" | cut -d= -f2 | tr ';' '\n' | sed '/^$/d' | sort)" \
  "$(grep -oP '<mediatype>\K[^<]+' "$metainfo" | sort)"

# The manual page renders without warnings and covers what --help lists.
manpage="$share/man/man1/olvistra.1.gz"
expect_eq "man warnings" "" "$(man --warnings -l "$manpage" 2>&1 >/dev/null)"
for text in SYNOPSIS KEYS "REGISTRY FILE" ENVIRONMENT "EXIT STATUS" FORMATS FILES /etc/olvistra/olvistra.reg \
            $("$root/usr/bin/olvistra" --help | grep -oE 'OLVISTRA_[A-Z_]+' | sort -u); do
  zcat "$manpage" | grep -qF -- "$text" && pass || fail "the manual page lacks $text"
done

expect_eq "registry file names the installed data directory" '"installDir"="/usr/share/olvistra"' \
  "$(grep -a '^"installDir"' "$root/etc/olvistra/olvistra.reg" | tr -d '\r')"
expect_eq "registry file is a conffile" "/etc/olvistra/olvistra.reg" \
  "$(dpkg-deb --ctrl-tarfile "$deb" | tar -xOf - ./conffiles 2>/dev/null)"

# Dependencies: every library the viewer and its helper need comes from a
# declared package, and every declared package exists (this machine runs the
# viewer, so each is installed here). The helper draws nothing.
depends=$(dpkg-deb -f "$deb" Depends | tr -d ' ' | tr ',' '\n' | sed 's/(.*//')
helper="$root/usr/libexec/olvistra/olvistra-decode"
"$OLVISTRA_SOURCE_DIR/scripts/check-helper-libraries" "$helper" && pass || fail "the packaged helper draws"
for lib in $(readelf -d "$root/usr/bin/olvistra" "$helper" | grep -oP 'NEEDED.*\[\K[^]]+' | sort -u); do
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

# lintian: no errors and no warnings. (Two notes stay: the stripped binary
# keeps its .comment section, and the help box's text spells "previos" as it
# always has.)
lintian --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1
expect_eq "lintian errors and warnings" "" "$(grep -E '^[EW]: ' "$work/lintian.log")"

# The real install. A package installed by someone else is left alone; one a
# killed run of this test left behind (its marker is there) is removed first.
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo -n)
marker=/var/tmp/olvistra-package-test.installed
installed() { dpkg-query -W -f='${Status}' olvistra 2>/dev/null | grep -q "install ok installed"; }
purge() { "${sudo_cmd[@]}" apt-get purge -y -qq -o DPkg::Lock::Timeout=600 olvistra >>"$work/apt.log" 2>&1; }

# One run at a time on this machine installs and removes the package.
exec 9>>/tmp/olvistra-package-test.lock
flock -w 1200 9 || fail "another package test held the install lock for 20 minutes"
if installed && [ ! -e "$marker" ]; then
  fail "olvistra is installed on this machine; the test installs and removes the package, so it leaves that install alone"
  finish
  exit 1
fi
installed && purge
"${sudo_cmd[@]}" touch "$marker"
remove_package() {
  [ -n "$viewer_pid" ] && kill -9 "$viewer_pid" 2>/dev/null
  purge || cat "$work/apt.log" >&2
  "${sudo_cmd[@]}" rm -f "$marker"
}
trap 'remove_package; cleanup' EXIT
trap 'exit 1' TERM INT HUP

if ! DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
     -o DPkg::Lock::Timeout=600 "$deb" >"$work/apt.log" 2>&1; then
  cat "$work/apt.log" >&2
  fail "apt-get install $deb failed"
  finish
  exit 1
fi
expect_eq "olvistra on PATH" /usr/bin/olvistra "$(command -v olvistra)"
expect_eq "version from PATH" "olvistra $version" "$(olvistra --version)"
expect_eq "man finds the page" /usr/share/man/man1/olvistra.1.gz "$(man -w olvistra 2>&1)"

# The installed viewer, started from PATH as the desktop entry would, reads
# the installed registry file and shows the picture.
start_display
OLVISTRA_BIN=olvistra
picture=/usr/share/olvistra/samples/square_quarters.bmp
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

# Removed again, with its registry file.
remove_package
trap cleanup EXIT
installed && fail "the package is still installed after apt-get purge"
for file in /usr/bin/olvistra /usr/libexec/olvistra/olvistra-decode /etc/olvistra/olvistra.reg; do
  [ -e "$file" ] && fail "$file is left after apt-get purge" || pass
done

finish
