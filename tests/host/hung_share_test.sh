#!/usr/bin/env bash
# The native host on a station whose K: lies on a mount that never answers (a FUSE file
# system of the tests' own): the other shares are checked and published, K:'s
# references are false within the deadline and a margin, and SIGTERM ends the program
# within a second with exit status 0. Skips (77), saying why, where FUSE cannot be
# mounted.
#
#   hung_share_test.sh BINARY STATION
set -uo pipefail
binary=$1
station=$2
here=$(cd "$(dirname "$0")" && pwd)
skip() { echo "skipped: $*"; exit 77; }
# shellcheck source=silent_mount.sh
. "$here/silent_mount.sh"

work=$(mktemp -d)
copy=$work/station
mount=$copy/dosdevices/unc/fileserver/docu
pid=""
cleanup() {
  [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null
  stop_silent_mount
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  echo "--- stdout"; cat "$copy/out.txt" 2>/dev/null
  echo "--- stderr"; cat "$copy/err.txt" 2>/dev/null
  exit 1
}

cp -a "$station"/. "$copy"/
rm -rf "$mount" && mkdir "$mount"
# The deadline: 3 s.
sed -i 's/^\[Tavisto\]\r$/[Tavisto]\r\nShareTimeoutSeconds=3\r/' \
  "$copy/drive_c/Zembrik/Documentation/Documentation_Customer.cfg"
start_silent_mount "$mount" "$work/fs.log" > "$work/mount.txt" || skip "$(cat "$work/mount.txt")"

started=$(date +%s%N)
WINEPREFIX="$copy" VisuDir='C:\Zembrik' "$binary" > "$copy/out.txt" 2> "$copy/err.txt" &
pid=$!
for _ in $(seq 1 100); do grep -q 'Checking ready' "$copy/out.txt" && break; sleep 0.1; done
published=$(( ($(date +%s%N) - started) / 1000000 ))
grep -q 'Checking ready' "$copy/out.txt" || fail "no check ended within 10 s"
[ "$published" -lt 6000 ] || fail "the check took $published ms with a 3 s deadline"
messages=$(sed -E 's/^[0-9]{2}:[0-9]{2}:[0-9]{2} //' "$copy/out.txt" | head -n 10)
expected='Initialisize
Checking: \\fileserver\docu
Fault by generate: \\fileserver\docu
  error 110: no answer from \\fileserver\docu within 3 s
Checking: \\fileserver\archive
Generate: \\fileserver\archive
Checking: \\oldserver\backup
Generate: \\oldserver\backup
Fault by generate: \\oldserver\backup
  error 6: no server named oldserver is known (the name does not resolve)'
[ "$messages" = "$expected" ] || fail "unexpected log lines"
status_file="$copy/drive_c/Zembrik/Documentation/Documentation_Tavisto.ini"
expected_status=$'[Machine1]\r\nNetOK1=false\r\nNetOK2=true\r\nNetOK4=false\r\n[Machine2]\r\nNetOK1=false\r\nNetOK2=false\r\n'
[ "$(cat "$status_file"; echo .)" = "$expected_status." ] || fail "status file: $(cat -A "$status_file")"

# The listing still hangs in its thread; the window's thread answers SIGTERM at once and
# ends the process. The kernel keeps the thread that waits for the silent server until
# the file system answers or its connection is aborted (the process stays a zombie
# meanwhile); the program's own thread is gone within a second.
kill -TERM "$pid"
main_thread_gone "$pid" 1 ||
  fail "the program's thread still runs a second after SIGTERM (state $main_thread_state)"
stop_silent_mount
status=0
wait "$pid" || status=$?
pid=""
[ "$status" -eq 0 ] || fail "exit status $status after SIGTERM"
echo "1 passed, 0 failed"
