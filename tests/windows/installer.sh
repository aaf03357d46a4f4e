#!/usr/bin/env bash
# The Windows installer and zip made by cpack, the installer run for real
# under Wine in a prefix of its own: a silent install puts the same files as
# the zip in Program Files\Olvistra, sets the registry value, offers the
# viewer in Explorer's "Open with" for the 16 picture types without taking
# any type's default, and adds a Start-menu entry; the installed viewer,
# started through the open command as Explorer starts it, shows a sample; a
# silent uninstall leaves the registry as it found it and takes the files
# and the entry away again. A refused registry write fails the install.
source "$(dirname "$0")/../e2e/lib.sh"
source "$(dirname "$0")/wine_lib.sh"

version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$OLVISTRA_WINDOWS_BUILD/CPackConfig.cmake")
cpack --config "$OLVISTRA_WINDOWS_BUILD/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack failed"; }
installer="$work/package/olvistra-$version-win64.exe"
zip="$work/package/olvistra-$version-win64.zip"
[ -f "$installer" ] && pass || fail "no installer $(basename "$installer")"
[ -f "$zip" ] && pass || fail "no zip $(basename "$zip")"

# What the zip holds, below its top folder.
zipped=$(unzip -Z1 "$zip" | grep -v '/$' | sed "s|^olvistra-$version-win64/||" | sort)
for file in olvistra.exe olvistra-decode.exe DevIL.dll ILU.dll ILUT.dll olvistra.reg samples/square_quarters.bmp licenses/devil/COPYING; do
  grep -qx "$file" <<<"$zipped" && pass || fail "$file is not in the zip"
done

start_display 1280x1024
start_wine
app="$(drive_c)/Program Files/Olvistra"
menu="$(drive_c)/ProgramData/Microsoft/Windows/Start Menu/Programs/Olvistra"
installed_dir() {
  wine reg query 'HKLM\SOFTWARE\Quenmark\Olvistra' /v installDir 2>/dev/null | tr -d '\r' |
    awk '/installDir/ { sub(/^.*REG_SZ +/, ""); print }'
}

# HKEY_LOCAL_MACHINE\Software as regedit exports it, as UTF-8 text.
export_software() {
  wine regedit /E "$work/export.reg" 'HKEY_LOCAL_MACHINE\Software' 2>/dev/null
  iconv -f UTF-16 -t UTF-8 "$work/export.reg" | tr -d '\r' >"$1"
}
# Another program's claims: the install must leave them as they are.
wine reg add 'HKLM\Software\Classes\.png' /ve /d pngfile /f >/dev/null 2>&1
wine reg add 'HKLM\Software\Classes\.jpg\OpenWithProgids' /v Other.Picture /t REG_NONE /f >/dev/null 2>&1
export_software "$work/before.txt"

timeout 300 wine "$(windows_path "$installer")" /S 2>>"$work/install.log"
expect_eq "installer's status" 0 "$?"
expect_eq "installDir after the install" 'C:\Program Files\Olvistra' "$(installed_dir)"
expect_eq "installed files: the zip's and the uninstaller" "$(printf '%s\nUninstall.exe' "$zipped" | sort)" \
  "$(cd "$app" && find . -type f | sed 's|^\./||' | sort)"
[ -f "$menu/Olvistra.lnk" ] && pass || fail "no Start-menu entry (menu folder: $(ls "$menu" 2>&1))"
# Version information in the installer and the uninstaller it wrote (the
# viewer's is checked by scripts/check-windows-imports).
for exe in "$installer" "$app/Uninstall.exe"; do
  expect_eq "version information of $(basename "$exe")" "$version" \
    "$(strings -el "$exe" | grep -A1 -x FileVersion | tail -n1)"
done

# "Open with": the ProgID, the application and its capabilities, each of the
# 16 types (those the viewer lists) offering the ProgID; nothing that was
# there before is changed or gone.
export_software "$work/installed.txt"
expect_eq "registry lines the install changed or removed" "" "$(diff "$work/before.txt" "$work/installed.txt" | grep '^<')"
# The values of one key of the export, one a line.
key_values() {
  KEY="[HKEY_LOCAL_MACHINE\\Software\\$1]" awk '$0 == ENVIRON["KEY"] { on = 1; next } /^\[/ { on = 0 } on && NF' \
    "$work/installed.txt"
}
command='@="\"C:\\Program Files\\Olvistra\\olvistra.exe\" \"%1\""'
expect_eq "ProgID" '@="Olvistra picture"' "$(key_values 'Classes\Olvistra.Picture')"
expect_eq "ProgID's icon" '@="C:\\Program Files\\Olvistra\\olvistra.exe,0"' "$(key_values 'Classes\Olvistra.Picture\DefaultIcon')"
expect_eq "ProgID's open command" "$command" "$(key_values 'Classes\Olvistra.Picture\shell\open\command')"
expect_eq "application's open command" "$command" "$(key_values 'Classes\Applications\olvistra.exe\shell\open\command')"
expect_eq "registered application" '"Olvistra"="Software\\Quenmark\\Olvistra\\Capabilities"' \
  "$(key_values 'RegisteredApplications' | grep '^"Olvistra"=')"
extensions=$(sed -n '/imageExtensions\[\] = {/,/};/p' "$OLVISTRA_SOURCE_DIR/model/file_info_factory.cpp" | grep -o '"[a-z0-9]*"' | tr -d '"')
expect_eq "picture types" 16 "$(wc -w <<<"$extensions")"
for extension in $extensions; do
  key_values "Classes\\.$extension\\OpenWithProgids" | grep -qx '"Olvistra.Picture"=hex(0):' && pass ||
    fail ".$extension does not offer Olvistra.Picture: $(key_values "Classes\\.$extension\\OpenWithProgids")"
  key_values 'Classes\Applications\olvistra.exe\SupportedTypes' | grep -qx "\".$extension\"=\"\"" && pass ||
    fail ".$extension is not among the application's supported types"
  key_values 'Quenmark\Olvistra\Capabilities\FileAssociations' | grep -qx "\".$extension\"=\"Olvistra.Picture\"" && pass ||
    fail ".$extension is not among the capabilities' file associations"
done

# The installed viewer, started by the ProgID's open command as Explorer
# starts it, finds its key and shows a sample; start waits for it.
start_wine_program start /wait /ProgIDOpen Olvistra.Picture 'C:\Program Files\Olvistra\samples\square_quarters.bmp'
wait_window "^Olvistra - "
expect_eq "title" 'Olvistra - C:\Program Files\Olvistra\samples\square_quarters.bmp' "$(window_title)"
expect_pixel "sample, top left" 327 199 "#D32F2F"
expect_pixel "sample, bottom right" 697 569 "#FBC02D"
press Escape
wait_wine_exit
expect_eq "status after Escape" 27 "$status"

# The uninstaller copies itself away and returns at once: its work is
# waited for (up to 120 s).
timeout 120 wine 'C:\Program Files\Olvistra\Uninstall.exe' /S 2>>"$work/install.log"
deadline=$(($(date +%s) + 120))
while [ "$(date +%s)" -lt "$deadline" ]; do
  [ ! -e "$app" ] && [ -z "$(installed_dir)" ] && break
  sleep 0.2
done
expect_eq "installDir after the uninstall" "" "$(installed_dir)"
export_software "$work/after.txt"
expect_eq "registry changes the uninstall left" "" "$(diff "$work/before.txt" "$work/after.txt")"
[ ! -e "$app" ] && pass || fail "left behind: $(cd "$app" && find . | tr '\n' ' ')"
[ ! -e "$menu" ] && pass || fail "Start-menu entry left behind: $(ls "$menu")"

# The viewer's key refused to the installer (as to a standard user; Wine
# runs every program as an administrator, so a volatile parent key stands in
# for the missing rights) ends it with a failure, not a success.
x86_64-w64-mingw32-gcc -O1 -Wall -Werror "$OLVISTRA_SOURCE_DIR/tests/windows/volatile_key.c" -o "$work/volatile_key.exe"
wine "$work/volatile_key.exe" 'Software\Quenmark' 2>/dev/null
timeout 300 wine "$(windows_path "$installer")" /S 2>>"$work/install.log"
refused=$?
[ "$refused" -ne 0 ] && pass || fail "the installer reported success after a refused registry write"

finish
