#!/usr/bin/env bash
# The native host on the sample station: the first check's lines on standard output
# and in the log file, the status file, a connected drive, early retries after the
# fault, and SIGTERM ending the program with status 0.
set -euo pipefail
binary=$1
station=$2

copy=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$copy"' EXIT
cp -a "$station"/. "$copy"/
# Retries a second after the fault, then two: three checks within a few seconds.
sed -i 's/^RetryAfterFaultSeconds=.*/RetryAfterFaultSeconds=1\r/' \
  "$copy/drive_c/Zembrik/Documentation/Documentation_Customer.cfg"

WINEPREFIX="$copy" VisuDir='C:\Zembrik' "$binary" > "$copy/out.txt" 2> "$copy/err.txt" &
pid=$!
for _ in $(seq 1 100); do
  [ "$(grep -c 'Checking ready' "$copy/out.txt")" -ge 3 ] && break
  sleep 0.1
done
kill -TERM "$pid"
status=0
wait "$pid" || status=$?

fail() { echo "FAIL: $*"; echo "--- stdout"; cat "$copy/out.txt"; echo "--- stderr"; cat "$copy/err.txt"; exit 1; }
[ "$status" -eq 0 ] || fail "exit status $status after SIGTERM"
[ "$(grep -c 'Checking ready 1 faults' "$copy/out.txt")" -ge 3 ] || fail "no early retries"
messages=$(sed -E 's/^[0-9]{2}:[0-9]{2}:[0-9]{2} //' "$copy/out.txt" | head -n 9)
expected='Initialisize
Checking: \\fileserver\docu
Checking: \\fileserver\archive
Generate: \\fileserver\archive
Checking: \\oldserver\backup
Generate: \\oldserver\backup
Fault by generate: \\oldserver\backup
  error 6: no server named oldserver is known (the name does not resolve)
Checking ready 1 faults'
[ "$messages" = "$expected" ] || fail "unexpected log lines"
grep -Eq '^[0-9]{2}:[0-9]{2}:[0-9]{2} Initialisize$' "$copy/out.txt" || fail "no time stamp"
status_file="$copy/drive_c/Zembrik/Documentation/Documentation_Tavisto.ini"
expected_status=$'[Machine1]\r\nNetOK1=true\r\nNetOK2=true\r\nNetOK4=false\r\n[Machine2]\r\nNetOK1=true\r\nNetOK2=false\r\n'
[ "$(cat "$status_file"; echo .)" = "$expected_status." ] || fail "status file: $(cat -A "$status_file")"
[ "$(readlink "$copy/dosdevices/l:")" = "unc/fileserver/archive" ] || fail "L: not connected"
log_file="$copy/drive_c/Zembrik/Documentation/Tavisto.log"
[ "$(sed -E 's/^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} //' "$log_file" | tr -d '\r' | head -n 9)" = "$expected" ] ||
  fail "log file: $(cat -A "$log_file")"
! grep -q secret "$copy/out.txt" "$copy/err.txt" "$log_file" || fail "a password was shown"
echo "1 passed, 0 failed"
