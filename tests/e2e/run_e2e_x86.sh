#!/usr/bin/env bash
# The 32-bit Windows build end to end: the x86 program as a 32-bit program on 64-bit
# Windows (WoW64), with 64-bit Wine handing it to the 32-bit half of Wine, which runs
# under QEMU's user-mode emulation (scripts/wine32 makes it). The driver stays the 64-bit
# build; the 32-bit processes are the program itself and the i686 mpr.dll stand-in it
# loads, because each 32-bit process takes about a minute to start under emulation.
#
#   run_e2e_x86.sh X86_BUILD_DIR X64_BUILD_DIR STATION_DIR WINE32_DIR
#
# Exits 77 (skipped) when emulation cannot run here, saying why; a missing build or a
# missing 32-bit Wine is a failure under VODU_REQUIRE_E2E=1, as the set-up makes both.
set -uo pipefail

build=$(cd "$1" 2>/dev/null && pwd) || build=$1
x64_build=$(cd "$2" 2>/dev/null && pwd) || x64_build=$2
station=$(cd "$3" && pwd)
wine32=$4
missing() {
  [ "${VODU_REQUIRE_E2E:-0}" = 1 ] && { echo "$*"; exit 1; }
  echo "skipped: $*"
  exit 77
}
for file in "$build/VoduTavisto.exe" "$build/e2e/mpr.dll" "$x64_build/e2e/e2e_driver.exe"; do
  [ -f "$file" ] || missing "no Windows build: $file is missing"
done
[ -f "$wine32/ready" ] || missing "no 32-bit Wine in $wine32: scripts/wine32 makes it"
command -v qemu-i386-static > /dev/null || missing "no qemu-i386-static: scripts/setup windows installs it"
program_loader=$(cd "$wine32/loader/lib/wine" && pwd)/wine64
# What can stop emulation from running at all (an emulator that cannot map its guest's
# memory, say) shows here, in the 32-bit loader's own answer.
probe=$("$wine32/loader/lib/wine/wine" --version 2>&1)
case "$probe" in
  wine-*) ;;
  *) echo "skipped: the 32-bit Wine loader does not run under qemu-i386-static here: $probe"
     exit 77 ;;
esac

work=$(mktemp -d "${TMPDIR:-/tmp}/vodu-e2e-x86.XXXXXX")
export WINEDEBUG=-all
# 64-bit Wine finds the 32-bit loader beside itself only when no loader is named.
unset WINELOADER
base_overrides="mscoree,mshtml="
app_files=("$build/VoduTavisto.exe" "$x64_build/e2e/e2e_driver.exe")
# A 32-bit start takes about a minute of emulation on an idle machine and two to three
# times that beside other tests on two cores (seen: 165 s, and more than 180 s on a
# slower machine), so the first check has 420 s; the driver's own limit is above that.
first_check_limit=420
drive_time_limit=$((first_check_limit + 20))
double=$build/e2e/mpr.dll
# shellcheck source=wine_harness.sh
. "$(dirname "$0")/wine_harness.sh"
start_virtual_display

prefix=""
program_pid=""
holder_pid=""
cleanup() {
  [ -n "$holder_pid" ] && kill "$holder_pid" 2>/dev/null
  [ -n "$prefix" ] && WINEPREFIX="$prefix" wineserver -k 2>/dev/null
  kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# A prefix made by 64-bit Wine has an empty syswow64; the 32-bit DLLs go there, as the
# 32-bit half of Wine would have put them at the prefix's start.
new_wow64_prefix() {
  new_prefix "$1"
  ln -s "$(cd "$wine32/i386-windows" && pwd)"/* "$prefix/drive_c/windows/syswow64/"
  quiet_schedule  # a slow check must not meet the retry after its faults
}

emulated_program_runs() {
  local cmdline
  for cmdline in /proc/[0-9]*/cmdline; do
    tr '\0' ' ' 2>/dev/null < "$cmdline" | grep -q 'qemu-i386-static .*/wine32 .*VoduTavisto\.exe' &&
      return 0
  done
  return 1
}

# Each 32-bit start costs about a minute of emulation, so one start serves both
# scenarios: its first check meets no network (the stand-in answers as Wine's own router
# does), the check after a resume connects through the stand-in, and the program ends
# when DERuvezo goes.
new_wow64_prefix shared
use_mpr_double
printf '[Project]\r\nNumberOfMachines=2\r\nVWStudio=True\r\n' > "$prefix/drive_c/Zembrik/Parameter/Program.ini"
export VODU_MPR_RECORD='C:\mpr-record.txt' VODU_MPR_NO_NETWORK='C:\mpr-no-network'
: > "$prefix/drive_c/mpr-no-network"
# The visualisation's window, held until the second scenario closes it (no time limit).
WINEPREFIX="$prefix" wine 'C:\app\e2e_driver.exe' hold-window DERuvezo 600 > /dev/null 2>&1 &
holder_pid=$!
drive wait-window DERuvezo 30 || fail "no DERuvezo window"
start_program

echo "scenario: the x86 build: the window, its first check and the status file"
started=$SECONDS
drive wait-line "Checking ready" "$first_check_limit" ||
  fail "no first check within $first_check_limit s"
echo "    first check $((SECONDS - started)) s after the start"
# The program runs as the 32-bit loader's process under the emulator, started by 64-bit
# Wine's start.exe, which waits for it and hands on its exit status.
emulated_program_runs || fail "no 32-bit process of the program under qemu-i386-static"
items=$(drive items)
expect_eq "list items" "$(head -n 1 <<< "$items")" "50 items"
expect_eq "log lines" "$(list_lines <<< "$items")" "$sample_first_lines"
expect_eq "status file" "$(status_file)" "$sample_first_status"
expect_eq "Exit after the check" "$(drive button-enabled)" 1
count_scenario

echo "scenario: the x86 build connects through the i686 stand-in and ends when DERuvezo goes"
rm -f "$prefix/drive_c/mpr-no-network"
drive power-resume || fail "no window to tell"
drive wait-count "Checking ready" 2 120 > /dev/null || fail "no check within 120 s after the resume"
expect_contains "final line" "$(drive items | sed -n 2p)" "Checking ready 0 faults"
expect_eq "connect record" "$(tr -d '\r' < "$prefix/drive_c/mpr-record.txt")" \
  'W scope=2 type=1 display=3 usage=1 local=L: remote=\\fileserver\archive comment=XTavisto provider=(null) password=station-secret user=station flags=0x80
W scope=2 type=1 display=3 usage=1 local=M: remote=\\oldserver\backup comment=XTavisto provider=(null) password=backup-secret user=backup flags=0x80'
expect_eq "status file" "$(status_file)" "$sample_connected_status"
if drive items | grep -q secret; then fail "a password was shown"; fi
wait_program 1; expect_eq "while DERuvezo is open" "$ended" running
kill "$holder_pid"
wait "$holder_pid" 2>/dev/null
holder_pid=""
drive wait-gone DERuvezo 10 || fail "DERuvezo stayed"
wait_program 30; expect_eq "exit status after DERuvezo went" "$ended" 0
unset VODU_MPR_RECORD VODU_MPR_NO_NETWORK
end_scenario

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
