#!/usr/bin/env bash
# The Windows installer and zip made by cpack, the installer run for real
# under Wine in a prefix of its own: a silent install puts the same files as
# the zip in Program Files\Olvistra, sets the registry value and adds a
# Start-menu entry; the installed viewer shows a sample; a silent uninstall
# takes the value, the files and the entry away again.
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

timeout 300 wine "$(windows_path "$installer")" /S 2>>"$work/install.log"
expect_eq "installDir after the install" 'C:\Program Files\Olvistra' "$(installed_dir)"
expect_eq "installed files: the zip's and the uninstaller" "$(printf '%s\nUninstall.exe' "$zipped" | sort)" \
  "$(cd "$app" && find . -type f | sed 's|^\./||' | sort)"
[ -f "$menu/Olvistra.lnk" ] && pass || fail "no Start-menu entry (menu folder: $(ls "$menu" 2>&1))"

# The installed viewer finds its key and shows a sample.
start_wine_program 'C:\Program Files\Olvistra\olvistra.exe' 'C:\Program Files\Olvistra\samples\square_quarters.bmp'
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
[ ! -e "$app" ] && pass || fail "left behind: $(cd "$app" && find . | tr '\n' ' ')"
[ ! -e "$menu" ] && pass || fail "Start-menu entry left behind: $(ls "$menu")"

finish
