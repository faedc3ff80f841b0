#!/usr/bin/env bash
# End-to-end tests of the real Windows build under Wine on a virtual display. Each
# scenario gets a fresh Wine prefix holding the sample station; a small Windows driver
# of our own reads and drives the program's window.
#
#   run_e2e.sh WINDOWS_BUILD_DIR STATION_DIR VERSION [NATIVE_BINARY]
#
# With NATIVE_BINARY, the native host also watches a Wine window on the same display.
#
# Exits 77 (skipped) when the Windows build is missing, unless VODU_REQUIRE_E2E=1.
set -uo pipefail

build=$(cd "$1" 2>/dev/null && pwd) || build=$1
station=$(cd "$2" && pwd)
version=$3
native=${4:+$(realpath "$4")}
exe=$build/VoduTavisto.exe
driver=$build/e2e/e2e_driver.exe
double=$build/e2e/mpr.dll
faults=$build/e2e/VoduTavistoFaults.exe

if [ ! -f "$exe" ] || [ ! -f "$driver" ] || [ ! -f "$double" ] || [ ! -f "$faults" ] ||
   [ ! -f "$build/VoduTavistoCheck.exe" ]; then
  echo "no Windows build in $build"
  [ "${VODU_REQUIRE_E2E:-0}" = 1 ] && exit 1
  exit 77
fi
for tool in wine wineboot wineserver Xvfb; do
  command -v "$tool" >/dev/null || { echo "missing $tool"; exit 1; }
done

# The whole run in a network namespace of its own where that is allowed, so that a
# scenario may change the network (an address on lo) without touching the machine's.
if [ -z "${VODU_E2E_NAMESPACE:-}" ]; then
  if unshare -rn true 2>/dev/null && command -v ip >/dev/null; then
    VODU_E2E_NAMESPACE=own exec unshare -rn "$0" "$@"
  fi
  export VODU_E2E_NAMESPACE=none
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/vodu-e2e.XXXXXX")
export WINEDEBUG=-all
# No Mono or Gecko installer dialogs in a fresh prefix.
base_overrides="mscoree,mshtml="
app_files=("$exe" "$driver" "$faults" "$build/VoduTavistoCheck.exe")

# shellcheck source=wine_harness.sh
. "$(dirname "$0")/wine_harness.sh"
start_virtual_display

prefix=""
program_pid=""
cleanup() {
  [ -n "$prefix" ] && WINEPREFIX="$prefix" wineserver -k 2>/dev/null
  kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

echo "scenario: the window, its 50 lines and the first check"
new_prefix first
start_program
drive wait-window "Vodu Tavisto" 30 || fail "no window titled Vodu Tavisto"
drive wait-line "Checking ready" 30 || fail "no first check"
items=$(drive items)
expect_eq "list items" "$(head -n 1 <<< "$items")" "50 items"
lines=$(list_lines <<< "$items")
expect_eq "log lines" "$lines" "$sample_first_lines"
# The same lines, oldest first and dated, in the log file the station configures.
log_lines=$(tr -d '\r' < "$prefix/drive_c/Zembrik/Documentation/Tavisto.log" | head -n 11)
expect_eq "log file" "$(sed -E 's/^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} //' <<< "$log_lines")" \
  "$(tac <<< "$lines")"
expect_eq "status file" "$(status_file)" "$sample_first_status"
# The metrics file, with the same bytes rules as on Linux: UTF-8, no byte-order mark, no CR.
metrics=$(cat "$prefix/drive_c/Zembrik/Documentation/vodu_tavisto.prom" 2>/dev/null)
[ -n "$metrics" ] || fail "no metrics file"
grep -q $'\r' "$prefix/drive_c/Zembrik/Documentation/vodu_tavisto.prom" && fail "a CR in the metrics file"
head -c 3 "$prefix/drive_c/Zembrik/Documentation/vodu_tavisto.prom" | grep -q $'^\xef\xbb\xbf' &&
  fail "a byte-order mark in the metrics file"
expect_contains "metrics" "$metrics" 'vodu_tavisto_share_up{slot="1",drive="K",share="\\\\fileserver\\docu"} 1'
expect_contains "metrics" "$metrics" 'vodu_tavisto_share_last_error{slot="3",drive="M",share="\\\\oldserver\\backup"} 1222'
expect_contains "metrics" "$metrics" 'vodu_tavisto_checks_total{trigger="start"} 1'
drive click-exit || fail "no Exit button"
wait_program 15; expect_eq "exit status after Exit" "$ended" 0
end_scenario

echo "scenario: a successful connect hands over the record, password, user and flags"
new_prefix connect
use_mpr_double
# The third share has no user and no password: both go as empty texts, not as none.
sed -i 's/^User3=.*/User3=\r/; s/^Password3=.*/Password3=\r/' \
  "$prefix/drive_c/Zembrik/Documentation/Documentation_Customer.cfg"
export VODU_MPR_RECORD='C:\mpr-record.txt'
start_program
drive wait-line "Checking ready" 30 || fail "no first check"
expect_contains "final line" "$(drive items | sed -n 2p)" "Checking ready 0 faults"
expect_eq "connect record" "$(tr -d '\r' < "$prefix/drive_c/mpr-record.txt")" \
  'W scope=2 type=1 display=3 usage=1 local=L: remote=\\fileserver\archive comment=XTavisto provider=(null) password=station-secret user=station flags=0x80
W scope=2 type=1 display=3 usage=1 local=M: remote=\\oldserver\backup comment=XTavisto provider=(null) password="" user="" flags=0x80'
expect_eq "status file" "$(status_file)" "$sample_connected_status"
if drive items | grep -q secret; then fail "a password was shown"; fi
unset VODU_MPR_RECORD
end_scenario

echo "scenario: protected passwords are unprotected, handed over exactly and shown nowhere"
new_prefix protected
use_mpr_double
cp "$build/VoduTavistoProtect.exe" "$prefix/drive_c/app/"
# The companion makes the value in this prefix; a password the code page cannot hold.
value=$(printf 'p\xc3\xa4sswort-\xce\xa9\n' |
  WINEPREFIX="$prefix" wine 'C:\app\VoduTavistoProtect.exe' 2>/dev/null | tr -d '\r')
expect_contains "the companion's value" "$value" "dpapi:"
# The same blob as PowerShell prints it, in hexadecimal digits; and one that was changed.
hex=$(printf '%s' "${value#dpapi:}" | base64 -d | od -An -v -tx1 | tr -d ' \n')
middle=$(( ${#value} / 2 ))
[ "${value:$middle:1}" = A ] && flipped=B || flipped=A
tampered="${value:0:$middle}$flipped${value:$((middle + 1))}"
sed -i "s|^NetDrive3=M\r\?$|NetDrive3=M\r\nProtectedPassword2=$value\r\nProtectedPassword3=$hex\r\n\
NetAddress4=\\\\\\\\fileserver\\\\changed\r\nNetDrive4=N\r\nProtectedPassword4=$tampered\r|" \
  "$prefix/drive_c/Zembrik/Documentation/Documentation_Customer.cfg"
export VODU_MPR_RECORD='C:\mpr-record.txt'
start_program
drive wait-line "Checking ready" 30 || fail "no first check"
record=$(tr -d '\r' < "$prefix/drive_c/mpr-record.txt")
expect_contains "connect of L:" "$record" 'local=L: remote=\\fileserver\archive comment=XTavisto provider=(null) password=pässwort-Ω user=station'
expect_contains "connect of M:" "$record" 'local=M: remote=\\oldserver\backup comment=XTavisto provider=(null) password=pässwort-Ω user=backup'
grep -q 'local=N:' "$prefix/drive_c/mpr-record.txt" && fail "a connect with a value that was changed"
items=$(drive items)
expect_contains "the changed value's fault" "$items" 'Fault by generate: \\fileserver\changed'
expect_contains "its reason" "$items" 'ProtectedPassword4 cannot be unprotected: '
grep -q 'sswort' <<< "$items" && fail "the password in the window"
grep -q 'sswort' "$prefix/drive_c/Zembrik/Documentation/Tavisto.log" && fail "the password in the log file"
grep -q 'sswort' "$prefix/drive_c/Zembrik/Documentation/vodu_tavisto.prom" && fail "the password in the metrics"
unset VODU_MPR_RECORD
end_scenario

echo "scenario: a second start ends at once and leaves the first running"
new_prefix second
start_program
first_pid=$program_pid
drive wait-line "Checking ready" 30 || fail "first copy did not start"
WINEPREFIX="$prefix" timeout 30 wine 'C:\app\VoduTavisto.exe' > "$prefix.second.log" 2>&1
expect_eq "exit status of the second copy" "$?" 0
program_pid=$first_pid
wait_program 1; expect_eq "first copy" "$ended" running
drive wait-window "Vodu Tavisto" 5 || fail "the first copy's window is gone"
end_scenario

echo "scenario: hidden and minimised windows take part in the guard; a title is read to 253 characters"
new_prefix guard
for how in hidden minimised; do
  drive hold-window "Station - DOCU TAVISTO - $how" 10 "$how" > /dev/null &
  holder=$!
  drive wait-window "Station - DOCU TAVISTO - $how" 15 || fail "no $how window to find"
  WINEPREFIX="$prefix" timeout 30 wine 'C:\app\VoduTavisto.exe' > "$prefix.$how.log" 2>&1
  expect_eq "exit status beside a $how window with the marker" "$?" 0
  drive wait-window "Vodu Tavisto" 1 && fail "a new copy showed its window beside a $how one"
  wait "$holder"
done
# The marker at characters 250 to 261: beyond the 253 that are read, so no copy is found.
long_title="$(printf 'x%.0s' $(seq 1 249))DOCU TAVISTO"
drive hold-window "$long_title" 40 > /dev/null &
holder=$!
drive wait-window "$long_title" 15 || fail "no window with the long title"
start_program
drive wait-line "Checking ready" 30 || fail "the marker beyond character 253 stopped the program"
end_scenario

echo "scenario: a share root that holds only a hidden file is connected again"
new_prefix hidden-root
use_mpr_double
mkdir -p "$prefix/dosdevices/unc/fileserver/hiddenonly"
echo "hidden" > "$prefix/dosdevices/unc/fileserver/hiddenonly/.hidden"
ln -sfn unc/fileserver/hiddenonly "$prefix/dosdevices/k:"
export VODU_MPR_RECORD='C:\mpr-record.txt'
start_program
drive wait-line "Checking ready" 30 || fail "no first check"
drive wait-line 'Generate: \\fileserver\docu' 1 ||
  fail "K: with only a hidden file was taken as present: $(drive items | list_lines | tr '\n' '|')"
grep -qF 'local=K: remote=\\fileserver\docu' "$prefix/drive_c/mpr-record.txt" ||
  fail "no connect for K:"
unset VODU_MPR_RECORD
end_scenario

echo "scenario: the Windows Event Log: the start, a share lost and restored, an error that ends the program"
new_prefix eventlog
sed -i 's/^\[Tavisto\]\r$/[Tavisto]\r\nEventLog=true\r/' \
  "$prefix/drive_c/Zembrik/Documentation/Documentation_Customer.cfg"
# K: shows an empty folder at first (a share lost), then the share (restored).
mkdir -p "$prefix/dosdevices/unc/fileserver/empty"
ln -sfn unc/fileserver/empty "$prefix/dosdevices/k:"
# Wine writes each entry's strings to its debug channel: information as trace:eventlog,
# warnings as warn:eventlog, errors as err:eventlog.
export WINEDEBUG=+eventlog
start_program
drive wait-line "Checking ready" 30 || fail "no first check"
ln -sfn unc/fileserver/docu "$prefix/dosdevices/k:"
drive wait-count "Checking ready" 2 30 > /dev/null || fail "no second check"
drive click-exit
wait_program 15
entries=$(grep 'eventlog:ReportEventW' "$prefix.program.log")
expect_contains "the start" "$entries" "trace:eventlog:ReportEventW L\"$version\""
expect_eq "warnings for the docu share (two checks, one entry)" \
  "$(grep -c 'warn:eventlog:ReportEventW L"\\\\\\\\fileserver\\\\docu"' <<< "$entries")" 1
expect_eq "warnings for the archive share, down at both checks" \
  "$(grep -c 'warn:eventlog:ReportEventW L"\\\\\\\\fileserver\\\\archive"' <<< "$entries")" 1
expect_contains "the reason" "$entries" 'warn:eventlog:ReportEventW L"No network."'
expect_contains "the restored share" "$entries" 'trace:eventlog:ReportEventW L"\\\\fileserver\\docu"'
grep -qi secret "$prefix.program.log" && fail "a password in an entry"
# An error that ends the program: its entry is there while its box shows.
export VODU_FAIL_CALL=SetTimer
start_program VoduTavistoFaults.exe
text=$(wait_message_box)
expect_contains "message box" "$text" "SetTimer failed: 8 "
expect_contains "the error entry" "$(grep 'err:eventlog:ReportEventW' "$prefix.program.log")" 'SetTimer failed: 8 '
drive dismiss-message-box
wait_program 15; expect_eq "exit status after the message" "$ended" 1
unset VODU_FAIL_CALL
export WINEDEBUG=-all
end_scenario

echo "scenario: closing the watched DERuvezo window ends the program"
new_prefix watch
printf '[Project]\r\nNumberOfMachines=2\r\nVWStudio=True\r\n' > "$prefix/drive_c/Zembrik/Parameter/Program.ini"
drive hold-window DERuvezo 10 > /dev/null &
holder=$!
drive wait-window DERuvezo 30 || fail "no DERuvezo window"
start_program
drive wait-line "Checking ready" 30 || fail "no first check"
wait_program 1; expect_eq "while DERuvezo is open" "$ended" running
wait "$holder"
wait_program 8; expect_eq "exit status after DERuvezo closed" "$ended" 0
end_scenario

if [ -n "$native" ]; then
  echo "scenario: the native host ends with the Wine window it watches"
  new_prefix native-watch
  printf '[Project]\r\nNumberOfMachines=2\r\nVWStudio=True\r\n' > "$prefix/drive_c/Zembrik/Parameter/Program.ini"
  drive hold-window DERuvezo 6 > /dev/null &
  holder=$!
  drive wait-window DERuvezo 30 || fail "no DERuvezo window"
  # The Wine prefix is the native host's station folder as well.
  WINEPREFIX="$prefix" "$native" > "$prefix.native.log" 2>&1 &
  native_pid=$!
  sleep 2
  kill -0 "$native_pid" 2>/dev/null || fail "the native host ended while DERuvezo was open"
  wait "$holder"
  native_status=running
  for _ in $(seq 1 50); do
    kill -0 "$native_pid" 2>/dev/null || { wait "$native_pid"; native_status=$?; break; }
    sleep 0.05
  done
  [ "$native_status" = running ] && kill "$native_pid"
  expect_eq "the native host within 2.5 s of DERuvezo's close" "$native_status" 0
  end_scenario
fi

echo "scenario: Exit is disabled while a check runs"
new_prefix busy
use_mpr_double
# Each connect blocks 6 s. Reading the list would wait for the blocked program, so the
# button's state is read instead; a click is posted and handled once the program runs on.
export VODU_MPR_DELAY_MS=6000
start_program
drive wait-disabled 30 || fail "Exit was never disabled"
drive click-exit
drive wait-line "Checking ready" 30 || fail "the check did not end"
wait_program 1; expect_eq "after a click on the disabled Exit" "$ended" running
expect_eq "Exit after the check" "$(drive button-enabled)" 1
drive click-exit
wait_program 15; expect_eq "exit status after Exit" "$ended" 0
unset VODU_MPR_DELAY_MS
end_scenario

echo "scenario: NumberOfMachines 6 stops start-up with a message box"
new_prefix config
printf '[Project]\r\nNumberOfMachines=6\r\n' > "$prefix/drive_c/Zembrik/Parameter/Program.ini"
start_program
text=$(wait_message_box)
expect_contains "message box" "$text" "NumberOfMachines is 6"
expect_contains "message box" "$text" "at most 5 machines are supported"
drive dismiss-message-box
wait_program 15; expect_eq "exit status after the message" "$ended" 1
[ -e "$prefix/drive_c/Zembrik/Documentation/Documentation_Tavisto.ini" ] && fail "a status file was written"
end_scenario

echo "scenario: a failing system call is named in the message box"
new_prefix failing-call
export VODU_FAIL_CALL=CreateWindowExW VODU_FAIL_ERROR=1400
start_program VoduTavistoFaults.exe
text=$(wait_message_box)
expect_contains "message box" "$text" "CreateWindowExW failed: 1400 "
expect_contains "message box" "$text" "nvalid window handle"
drive dismiss-message-box
wait_program 15; expect_eq "exit status after the message" "$ended" 1
unset VODU_FAIL_CALL VODU_FAIL_ERROR
end_scenario

echo "scenario: resizing moves the button and stretches the list"
new_prefix resize
start_program
drive wait-line "Checking ready" 30 || fail "no first check"
geometry=$(drive resize 800 400)
read -r _ dpi _ <<< "$(grep '^dpi' <<< "$geometry")"
read -r _ width height <<< "$(grep '^window' <<< "$geometry")"
read -r _ list_left list_top list_width list_height <<< "$(grep '^LISTBOX' <<< "$geometry")"
read -r _ button_left button_top button_width button_height <<< "$(grep '^BUTTON' <<< "$geometry")"
tolerance=$(( 2 * 1440 / ${dpi:-96} ))  # one pixel of rounding on each side
near() {  # what, actual, expected
  local difference=$(( $2 - $3 ))
  [ "${difference#-}" -le "$tolerance" ] || fail "$1: got $2 twips, expected $3"
}
near "button left" "$button_left" $(( width - button_width - 180 ))
near "button top" "$button_top" $(( height - button_height - 450 ))
near "list left" "$list_left" 60
near "list top" "$list_top" 150
near "list width" "$list_width" $(( width - 240 ))
near "list height" "$list_height" $(( height - 150 - button_height - 450 ))
end_scenario

echo "scenario: a resume from sleep gives a check within seconds"
new_prefix resume
quiet_schedule
use_mpr_double  # connects answer at once: the check itself takes no time
start_program
drive wait-line "Checking ready" 30 || fail "no first check"
drive power-resume || fail "no window to tell"
drive wait-line "Resumed" 5 || fail "no check within 5 s of the resume"
drive wait-count "Checking ready" 2 30 > /dev/null || fail "the check did not end"
end_scenario

echo "scenario: an event source of the message loop (a test build's stand-in for a network change)"
new_prefix source
quiet_schedule
use_mpr_double
export VODU_TEST_NETWORK_EVENT=VoduTestNetworkChange
start_program VoduTavistoFaults.exe
drive wait-line "Checking ready" 30 || fail "no first check"
drive set-event VoduTestNetworkChange || fail "the program watches no such event"
drive wait-line "Network changed" 5 || fail "no check within 5 s of the change"
drive wait-count "Checking ready" 2 30 > /dev/null || fail "the check did not end"
unset VODU_TEST_NETWORK_EVENT
end_scenario

echo "scenario: a metrics file that a reader holds open is left for the next check"
new_prefix metrics-held
quiet_schedule
use_mpr_double
export VODU_TEST_NETWORK_EVENT=VoduTestNetworkChange
start_program VoduTavistoFaults.exe
drive wait-line "Checking ready" 30 || fail "no first check"
metrics_file="$prefix/drive_c/Zembrik/Documentation/vodu_tavisto.prom"
cp "$metrics_file" "$prefix.metrics-before"
# Its "holding" line says it has the file open; a driver slow to start on a busy machine
# is waited for.
drive hold-file 'C:\Zembrik\Documentation\vodu_tavisto.prom' 15 > "$prefix.holder.log" &
holder=$!
for _ in $(seq 1 300); do grep -q '^holding' "$prefix.holder.log" && break; sleep 0.1; done
grep -q '^holding' "$prefix.holder.log" || fail "the driver did not open the metrics file within 30 s"
drive set-event VoduTestNetworkChange || fail "the program watches no such event"
drive wait-line "Fault by metrics file: " 15 || fail "the held file was not said"
cmp -s "$metrics_file" "$prefix.metrics-before" || fail "the held file was changed"
ls "$prefix/drive_c/Zembrik/Documentation" | grep -qi '\.tmp$' && fail "a temporary was left"
wait "$holder"
drive set-event VoduTestNetworkChange
drive wait-count "Checking ready" 3 30 > /dev/null || fail "no third check"
for _ in $(seq 1 20); do grep -q 'network_change"} 2' "$metrics_file" && break; sleep 0.5; done
grep -q 'vodu_tavisto_checks_total{trigger="network_change"} 2' "$metrics_file" ||
  fail "the file was not replaced once the reader let go"
unset VODU_TEST_NETWORK_EVENT
end_scenario

echo "scenario: a share whose folder goes away between checks is published false within seconds (WatchSharesSeconds)"
new_prefix share-lost
quiet_schedule
sed -i 's/^WatchSharesSeconds=.*/WatchSharesSeconds=15\r\nShareTimeoutSeconds=5\r/' \
  "$prefix/drive_c/Zembrik/Documentation/Documentation_Customer.cfg"
status_file="$prefix/drive_c/Zembrik/Documentation/Documentation_Tavisto.ini"
metrics_file="$prefix/drive_c/Zembrik/Documentation/vodu_tavisto.prom"
start_program
drive wait-line "Checking ready" 30 || fail "no first check"
grep -q '^NetOK1=true' "$status_file" || fail "K: was not reachable at the first check"
mv "$prefix/dosdevices/unc/fileserver/docu" "$prefix/docu.away"  # its server goes away
lost=$SECONDS
until [ "$(grep -c '^NetOK1=false' "$status_file")" -eq 2 ]; do  # both machines' docu references
  [ $((SECONDS - lost)) -le $((15 + 5 + 3)) ] || fail "K:'s references not false within 23 s"
  sleep 0.5
done
expect_contains "the log" "$(drive items)" "Share lost: \\\\fileserver\\docu"
for _ in $(seq 1 20); do grep -q 'share_lost"} 1' "$metrics_file" && break; sleep 0.5; done
expect_contains "the metric" "$(cat "$metrics_file")" 'vodu_tavisto_checks_total{trigger="share_lost"} 1'
drive click-exit
wait_program 15
end_scenario

echo "scenario: the console check reads the station as the program does and says so in its exit status"
new_prefix check
# Under Wine a drive linked to a folder is a fixed disk, where Windows reports a mapped
# share as remote; without the link the station reads as on Windows.
rm "$prefix/dosdevices/k:"
check_station() {  # [PATH]; sets check_status, check_output
  WINEPREFIX="$prefix" timeout 60 wine 'C:\app\VoduTavistoCheck.exe' "$@" > "$prefix.check.txt" 2>/dev/null
  check_status=$?
  check_output=$(tr -d '\r' < "$prefix.check.txt")
}
check_station
expect_eq "exit status on the sample station" "$check_status" 1
expect_eq "counts" "$(tail -n 1 <<< "$check_output")" "0 errors, 1 warnings, 4 notes"
expect_contains "the reference on no share" "$check_output" \
  'C:\Zembrik\Documentation\Documentation_Customer.cfg:11: warning: [Machine2] Reference3=\\elsewhere\share\Machine2 lies on no configured share'
cp -a "$prefix/drive_c/Zembrik" "$prefix/drive_c/Broken"
printf '[Project]\r\nNumberOfMachines=6\r\n' > "$prefix/drive_c/Broken/Parameter/Program.ini"
check_station 'C:\Broken'
expect_eq "exit status on a broken copy" "$check_status" 2
expect_contains "the error" "$check_output" 'C:\Broken\Parameter\Program.ini:2: error: the program stops at start-up'
# With User Account Control on (Wine's prefix has EnableLUA 0), an elevated visualisation
# sees the drives only with linked connections.
policies='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Policies\System'
WINEPREFIX="$prefix" wine reg add "$policies" /v EnableLUA /t REG_DWORD /d 1 /f > /dev/null 2>&1
check_station
expect_contains "the note for an elevated visualisation" "$check_output" \
  'VoduTavistoCheck: note: User Account Control is on and EnableLinkedConnections'
expect_eq "counts with the note" "$(tail -n 1 <<< "$check_output")" "0 errors, 1 warnings, 5 notes"
WINEPREFIX="$prefix" wine reg add "$policies" /v EnableLinkedConnections /t REG_DWORD /d 1 /f > /dev/null 2>&1
check_station
expect_eq "counts with linked connections" "$(tail -n 1 <<< "$check_output")" "0 errors, 1 warnings, 4 notes"
end_scenario

echo "scenario: an address added on lo gives a check within seconds"
if [ "$VODU_E2E_NAMESPACE" = own ]; then
  new_prefix address
  quiet_schedule
  use_mpr_double
  start_program
  drive wait-line "Checking ready" 30 || fail "no first check"
  ip addr add 10.77.0.1/32 dev lo
  drive wait-line "Network changed" 5 || fail "no check within 5 s of the new address"
  drive wait-count "Checking ready" 2 30 > /dev/null || fail "the check did not end"
  end_scenario
else
  echo "    skipped: this machine allows no network namespace of our own (unshare -rn), so no"
  echo "    address can be added without touching the machine's network"
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
