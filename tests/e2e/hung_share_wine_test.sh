#!/usr/bin/env bash
# The Windows build under Wine with K: on a mount whose server never answers (a FUSE
# file system of the tests' own): the window answers while the listing waits, the
# status file follows at the deadline, and the program ends when the watched window
# goes away. Skips (77), saying why, where FUSE cannot be mounted. (Not in run_e2e.sh's
# network namespace: a FUSE mount needs the machine's own.)
#
#   hung_share_wine_test.sh WINDOWS_BUILD_DIR STATION_DIR
set -uo pipefail
build=$(cd "$1" && pwd)
station=$(cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
for file in VoduTavisto.exe e2e/e2e_driver.exe; do
  [ -f "$build/$file" ] || { echo "missing $build/$file"; exit 1; }
done
# shellcheck source=../host/silent_mount.sh
. "$here/../host/silent_mount.sh"
problem=$(silent_mount_problem)
[ -z "$problem" ] || { echo "skipped: $problem"; exit 77; }

work=$(mktemp -d "${TMPDIR:-/tmp}/vodu-hung.XXXXXX")
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
export WINEPREFIX=$work/prefix
base_overrides=$WINEDLLOVERRIDES
app_files=("$build/VoduTavisto.exe" "$build/e2e/e2e_driver.exe")
# shellcheck source=wine_harness.sh
. "$here/wine_harness.sh"
holder=""
program_pid=""
cleanup() {
  stop_silent_mount
  wineserver -k 2>/dev/null
  kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
start_virtual_display

echo "scenario: K: on a server that never answers"
new_prefix prefix  # the prefix named by WINEPREFIX
documentation=$WINEPREFIX/drive_c/Zembrik/Documentation
sed -i 's/^\[Tavisto\]\r$/[Tavisto]\r\nShareTimeoutSeconds=8\r/' "$documentation/Documentation_Customer.cfg"
printf '[Project]\r\nNumberOfMachines=2\r\nVWStudio=True\r\n' > "$WINEPREFIX/drive_c/Zembrik/Parameter/Program.ini"
mount=$WINEPREFIX/dosdevices/unc/fileserver/docu
rm -rf "$mount" && mkdir "$mount"
start_silent_mount "$mount" "$work/fs.log" > "$work/mount.txt" || {
  echo "skipped: $(cat "$work/mount.txt")"
  exit 77
}

# The visualisation's window, for 30 s: long enough for the program's start, its check
# (about 11 s) and what is read of it afterwards on a busy machine; the program watches it.
drive hold-window DERuvezo 30 > /dev/null &
holder=$!
drive wait-window DERuvezo 30 || fail "no DERuvezo window"
start_program
drive wait-line 'Checking: \\fileserver\docu' 30 || fail "no check of the silent share"
# While the listing waits for the silent server, the window answers, again and again.
for _ in 1 2 3; do
  drive answers || fail "the window did not answer while the listing waited"
  sleep 1
done
drive wait-line "Checking ready" 30 || fail "the check did not end"
# Timed by the program's own log file: each of the driver's calls is a Wine process whose
# start and end a busy machine stretches by seconds.
logged_at() {  # TEXT: the second of the day of the last log line that holds TEXT
  tr -d '\r' < "$documentation/Tavisto.log" | grep -F -- "$1" | tail -n 1 |
    awk '{ split($2, t, ":"); print t[1] * 3600 + t[2] * 60 + t[3] }'
}
checked=$(logged_at 'Checking: \\fileserver\docu')
given_up=$(logged_at 'error 121: no answer from \\fileserver\docu')
took=$(((${given_up:-0} - ${checked:-0} + 86400) % 86400))
[ -n "$checked" ] && [ -n "$given_up" ] && [ "$took" -ge 7 ] && [ "$took" -le 11 ] ||
  fail "the share was given up after ${took} s by the log ('$checked' to '$given_up'), its deadline 8 s"
items=$(drive items)
case "$items" in
  *'  error 121: no answer from \\fileserver\docu within 8 s'*) ;;
  *) fail "no reason line: $items" ;;
esac
expect_eq "status file" "$(tr -d '\r' < "$documentation/Documentation_Tavisto.ini")" '[Machine1]
NetOK1=false
NetOK2=false
NetOK4=false
[Machine2]
NetOK1=false
NetOK2=false'

# The visualisation's window goes; the program ends at the next poll, its listing still
# waiting: its window's thread is gone at once. (The kernel keeps the thread that reads
# the silent mount, and with it the process and, under Wine, its window, until the
# connection is aborted; Windows ends such a process whole.)
wait "$holder"
main_thread_gone "$program_pid" 10 ||
  fail "the program still ran 10 s after DERuvezo went (state $main_thread_state)"
stop_silent_mount
status=running
for _ in $(seq 1 100); do
  kill -0 "$program_pid" 2>/dev/null || { wait "$program_pid"; status=$?; break; }
  sleep 0.1
done
expect_eq "exit status" "$status" 0
drive wait-gone "Vodu Tavisto" 10 || fail "the program's window stayed after it ended"
count_scenario || { echo "    program output:"; sed 's/^/      /' "$prefix.program.log" | head -20; }
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
