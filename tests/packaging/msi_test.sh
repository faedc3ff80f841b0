#!/usr/bin/env bash
# The Windows installers under Wine, each scenario in a fresh prefix: a silent install
# read back (files, registry values in their view, the Startup shortcut, the Add/Remove
# entry, VisuDir), the installed program on the sample station, upgrade, a refused
# downgrade, and an uninstall that leaves the station's own files alone.
#
#   msi_test.sh X64_BUILD_DIR X86_BUILD_DIR STATION_DIR VERSION
set -uo pipefail
x64=$(cd "$1" && pwd)
x86=$(cd "$2" && pwd)
station=$(cd "$3" && pwd)
version=$4
root=$(cd "$(dirname "$0")/../.." && pwd)
for tool in wine wineboot wineserver Xvfb wixl msibuild faketime; do
  command -v "$tool" >/dev/null || { echo "missing $tool"; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/vodu-msi.XXXXXX")
export WINEDEBUG=-all
# No Mono or Gecko dialogs, and no menu entries on the machine running the tests.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
# shellcheck source=../e2e/wine_harness.sh
. "$root/tests/e2e/wine_harness.sh"
start_virtual_display
cleanup() {
  [ -n "${WINEPREFIX:-}" ] && wineserver -k 2>/dev/null
  kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# The packages: this version for both architectures, and an older one whose programs
# differ from today's by a trailing byte, so that an upgrade shows which were installed.
older=0.0.1
mkdir -p "$work/older-bin"
for exe in VoduTavisto.exe VoduTavistoProtect.exe VoduTavistoCheck.exe; do
  { cat "$x64/$exe"; printf 'x'; } > "$work/older-bin/$exe"
done
"$root/packaging/windows/build-msi" x64 "$version" "$x64" "$work/x64.msi" &&
  "$root/packaging/windows/build-msi" x86 "$version" "$x86" "$work/x86.msi" &&
  "$root/packaging/windows/build-msi" x64 "$older" "$work/older-bin" "$work/older.msi" ||
  { echo "FAIL: the packages could not be built"; exit 1; }

new_prefix() {
  export WINEPREFIX=$work/prefix-$1
  copy_template "$WINEPREFIX"
  cp "$work"/*.msi "$WINEPREFIX/drive_c/"
}
end_scenario() {
  wineserver -k 2>/dev/null
  timeout 30 wineserver -w 2>/dev/null
  count_scenario
  rm -rf "$WINEPREFIX" "$WINEPREFIX".*.log
  unset WINEPREFIX
}
msiexec() {  # its exit status, cut to 8 bits by the shell (1603 shows as 67)
  timeout 300 wine msiexec "$@" /qn > /dev/null 2>&1
  local status=$?
  timeout 60 wineserver -w
  return "$status"
}
# A registry value's type and data ("REG_SZ D:\Station"), or nothing. VIEW: 64 or 32.
reg_value() {  # KEY NAME [VIEW]
  wine reg query "$1" /v "$2" "/reg:${3:-64}" 2>/dev/null | tr -d '\r' |
    sed -n "s/^ *$2 *\(REG_[A-Z_]*\) *\(.*\)$/\1 \2/p"
}
reg_key_exists() {  # KEY [VIEW]
  wine reg query "$1" "/reg:${2:-64}" > /dev/null 2>&1
}
uninstall_entries() {  # the Add/Remove entries named Vodu Tavisto, with their versions
  wine reg query 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null |
    tr -d '\r' | awk '/^HKEY/ { key = $0 } / DisplayName .* Vodu Tavisto$/ { print key }'
}

event_source='HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\Vodu Tavisto'
environment='HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment'
remembered='HKLM\SOFTWARE\Vodu Tavisto'
policies='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Policies\System'
installed='Program Files/Vodu Tavisto'
# Wine puts the per-machine StartupFolder in the installing user's Startup folder;
# Windows puts it in the all-users one (ProgramData).
startup_link() { find "$WINEPREFIX/drive_c" -path '*/Startup/Vodu Tavisto.lnk' -o -path '*/StartUp/Vodu Tavisto.lnk'; }

echo "scenario: a silent install of the x64 package, the program from Program Files, uninstall"
new_prefix install
msiexec /i 'C:\x64.msi' 'VISUDIR=C:\Station' LINKEDCONNECTIONS=1 || fail "msiexec /i exited $?"
expect_eq "EnableLinkedConnections" "$(reg_value "$policies" EnableLinkedConnections)" 'REG_DWORD 0x1'
for exe in VoduTavisto.exe VoduTavistoProtect.exe VoduTavistoCheck.exe; do
  cmp -s "$x64/$exe" "$WINEPREFIX/drive_c/$installed/$exe" || fail "$exe not installed as packed"
done
expect_eq "EventMessageFile" "$(reg_value "$event_source" EventMessageFile)" \
  'REG_EXPAND_SZ C:\Program Files\Vodu Tavisto\VoduTavisto.exe'
expect_eq "TypesSupported" "$(reg_value "$event_source" TypesSupported)" 'REG_DWORD 0x7'
expect_eq "VisuDir" "$(reg_value "$environment" VisuDir)" 'REG_SZ C:\Station'
expect_eq "VisuDir remembered" "$(reg_value "$remembered" VisuDir)" 'REG_SZ C:\Station'
reg_key_exists "$remembered" 32 && fail "$remembered was written to the 32-bit view"
link=$(startup_link)
if [ -z "$link" ]; then
  fail "no Vodu Tavisto.lnk in a Startup folder"
else
  # The target as the link keeps it (its local base path), in ANSI or UTF-16.
  texts=$(strings -a "$link"; strings -a -el "$link")
  grep -qxF 'C:\Program Files\Vodu Tavisto\VoduTavisto.exe' <<< "$texts" ||
    fail "the shortcut does not lead to the installed program: $texts"
fi
entry=$(uninstall_entries)
expect_eq "Add/Remove entries" "$(wc -l <<< "$entry")" 1
expect_eq "DisplayVersion" "$(reg_value "$entry" DisplayVersion)" "REG_SZ $version"
expect_eq "Publisher" "$(reg_value "$entry" Publisher)" 'REG_SZ Vodu Tavisto'
# Windows shows ARPPRODUCTICON as the entry's DisplayIcon; Wine keeps it as the product's
# ProductIcon in the installer's own key. Either way it is the program's icon, kept.
icon=$(wine reg query 'HKLM\SOFTWARE\Classes\Installer\Products' /s 2>/dev/null | tr -d '\r' |
  sed -n 's/^ *ProductIcon *REG_SZ *//p')
icon_file=$WINEPREFIX/drive_c/$(sed 's/^C:\\//; s/\\/\//g' <<< "$icon")
cmp -s "$icon_file" "$root/resources/VoduTavisto.ico" || fail "no product icon ($icon)"

# The installed program on the sample station, in the folder VISUDIR named: its first
# check writes the status file.
add_sample_station "$station" "$WINEPREFIX" Station
wine 'C:\Program Files\Vodu Tavisto\VoduTavisto.exe' > "$WINEPREFIX.program.log" 2>&1 &
status=$WINEPREFIX/drive_c/Station/Documentation/Documentation_Tavisto.ini
# The metrics file comes last, after the check.
for _ in $(seq 1 300); do [ -s "${status%/*}/vodu_tavisto.prom" ] && break; sleep 0.1; done
expect_eq "status file" "$(tr -d '\r' < "$status" 2>/dev/null)" "$sample_first_status"
wineserver -k; timeout 30 wineserver -w

# What the station and a person put beside the program stays.
echo 'a note of my own' > "$WINEPREFIX/drive_c/$installed/notes.txt"
msiexec /x 'C:\x64.msi' || fail "msiexec /x exited $?"
expect_eq "what is left in the install folder" "$(ls "$WINEPREFIX/drive_c/$installed")" notes.txt
[ -z "$(startup_link)" ] || fail "the shortcut is still there"
reg_key_exists "$event_source" && fail "the event source is still registered"
expect_eq "VisuDir after uninstall" "$(reg_value "$environment" VisuDir)" ""
reg_key_exists "$remembered" && fail "$remembered is still there"
expect_eq "EnableLinkedConnections after uninstall" "$(reg_value "$policies" EnableLinkedConnections)" ""
expect_eq "Add/Remove entries after uninstall" "$(uninstall_entries)" ""
expect_eq "the station's files" "$(cd "$WINEPREFIX/drive_c/Station/Documentation" && ls)" \
  "$(printf '%s\n' Documentation_Customer.cfg Documentation_Tavisto.ini Tavisto.log vodu_tavisto.prom)"
end_scenario

echo "scenario: without VISUDIR the station's own VisuDir is left alone, also at uninstall"
new_prefix own-visudir
wine reg add "$environment" /v VisuDir /d 'E:\Own' /f > /dev/null 2>&1
wine reg add "$policies" /v EnableLinkedConnections /t REG_DWORD /d 1 /f /reg:64 > /dev/null 2>&1
msiexec /i 'C:\x64.msi' || fail "msiexec /i exited $?"
expect_eq "VisuDir" "$(reg_value "$environment" VisuDir)" 'REG_SZ E:\Own'
reg_key_exists "$remembered" && fail "$remembered written without VISUDIR"
msiexec /x 'C:\x64.msi' || fail "msiexec /x exited $?"
expect_eq "VisuDir after uninstall" "$(reg_value "$environment" VisuDir)" 'REG_SZ E:\Own'
expect_eq "the station's own EnableLinkedConnections" "$(reg_value "$policies" EnableLinkedConnections)" 'REG_DWORD 0x1'
end_scenario

echo "scenario: an upgrade in place keeps VisuDir; the older package is then refused"
new_prefix upgrade
msiexec /i 'C:\older.msi' 'VISUDIR=D:\Station' LINKEDCONNECTIONS=1 || fail "the older install exited $?"
expect_eq "VisuDir of the older version" "$(reg_value "$environment" VisuDir)" 'REG_SZ D:\Station'
msiexec /i 'C:\x64.msi' || fail "the upgrade exited $?"
entry=$(uninstall_entries)
expect_eq "Add/Remove entries after the upgrade" "$(wc -l <<< "$entry")" 1
expect_eq "DisplayVersion after the upgrade" "$(reg_value "$entry" DisplayVersion)" "REG_SZ $version"
for exe in VoduTavisto.exe VoduTavistoProtect.exe VoduTavistoCheck.exe; do
  cmp -s "$x64/$exe" "$WINEPREFIX/drive_c/$installed/$exe" || fail "$exe is not the new one"
done
expect_eq "VisuDir after the upgrade" "$(reg_value "$environment" VisuDir)" 'REG_SZ D:\Station'
expect_eq "EnableLinkedConnections after the upgrade" "$(reg_value "$policies" EnableLinkedConnections)" 'REG_DWORD 0x1'
msiexec /i 'C:\older.msi'
downgrade=$?
expect_eq "the downgrade's exit status (1603, cut to 8 bits)" "$downgrade" 67
expect_eq "DisplayVersion after the refused downgrade" \
  "$(reg_value "$(uninstall_entries)" DisplayVersion)" "REG_SZ $version"
cmp -s "$x64/VoduTavisto.exe" "$WINEPREFIX/drive_c/$installed/VoduTavisto.exe" ||
  fail "the refused downgrade changed the program"
msiexec /x 'C:\x64.msi' || fail "msiexec /x exited $?"
expect_eq "VisuDir after uninstall" "$(reg_value "$environment" VisuDir)" ""
end_scenario

echo "scenario: the x86 package installs into Program Files (x86) and the 32-bit view"
new_prefix x86
msiexec /i 'C:\x86.msi' || fail "msiexec /i exited $?"
program="$WINEPREFIX/drive_c/Program Files (x86)/Vodu Tavisto/VoduTavisto.exe"
cmp -s "$x86/VoduTavisto.exe" "$program" || fail "VoduTavisto.exe not in Program Files (x86)"
# The machine type in the PE header: 014c is i386. (No 32-bit program runs here.)
machine=$(od -An -tx2 -j "$(($(od -An -tu4 -j 60 -N 4 "$program") + 4))" -N 2 "$program" 2>/dev/null | tr -d ' ')
expect_eq "machine type" "$machine" 014c
expect_eq "EventMessageFile (32-bit view)" "$(reg_value "$event_source" EventMessageFile 32)" \
  'REG_EXPAND_SZ C:\Program Files (x86)\Vodu Tavisto\VoduTavisto.exe'
msiexec /x 'C:\x86.msi' || fail "msiexec /x exited $?"
[ -e "$program" ] && fail "the x86 program is still there"
end_scenario

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
