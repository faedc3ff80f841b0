#!/usr/bin/env bash
# The native host in a network namespace of its own, where the test may change the
# network: a change gives a check within seconds, a burst of changes gives one or two,
# and an address announced again gives none.
#
#   network_change_test.sh BINARY STATION            the test
#   network_change_test.sh BINARY STATION --measure N the time from a change to the
#                                                     status file updated, N times
#
# Exits 77 (skipped) where user and network namespaces are not allowed.
set -uo pipefail
binary=$1
station=$2
mode=${3:-test}
runs=${4:-5}

if [ "${VODU_IN_NAMESPACE:-0}" != 1 ]; then
  if ! unshare -rn true 2>/dev/null; then
    echo "SKIPPED: this machine does not allow user and network namespaces (unshare -rn failed),"
    echo "so the network cannot be changed for the test here"
    exit 77
  fi
  VODU_IN_NAMESPACE=1 exec unshare -rn "$0" "$@"
fi
command -v ip >/dev/null || { echo "missing ip (Debian's iproute2)"; exit 1; }

work=$(mktemp -d)
pid=""
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT

fail() {
  echo "FAIL: $*"
  echo "--- stdout"; cat "$copy/out.txt"; echo "--- stderr"; cat "$copy/err.txt"
  exit 1
}
checks() { grep -c 'Checking ready' "$copy/out.txt"; }
status_of_backup() {  # NetOK4 of Machine1 lies on \\oldserver\backup
  tr -d '\r' < "$copy/drive_c/Zembrik/Documentation/Documentation_Tavisto.ini" 2>/dev/null |
    sed -n '/^\[Machine1\]/,/^\[/p' | sed -n 's/^NetOK4=//p'
}
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

# A copy of the sample station in which only network changes start early checks: the
# ordinary schedule is an hour, no retries after faults, the lo link down.
start_station() {
  copy=$work/station.$1
  cp -a "$station"/. "$copy"/
  sed -i 's/^UpdateInterval=.*/UpdateInterval=60\r/; s/^RetryAfterFaultSeconds=.*/RetryAfterFaultSeconds=0\r/' \
    "$copy/drive_c/Zembrik/Documentation/Documentation_Customer.cfg"
  grep -q '^CheckOnNetworkChange=true' "$copy/drive_c/Zembrik/Documentation/Documentation_Customer.cfg" ||
    fail "the sample station does not check on network changes"
  ip link set lo down
  WINEPREFIX="$copy" VisuDir='C:\Zembrik' "$binary" > "$copy/out.txt" 2> "$copy/err.txt" &
  pid=$!
  for _ in $(seq 1 100); do [ "$(checks)" -ge 1 ] && break; sleep 0.1; done
  [ "$(checks)" -eq 1 ] || fail "no first check"
  [ "$(status_of_backup)" = false ] || fail "the missing share is not false after the first check"
}
stop_station() { kill -TERM "$pid"; wait "$pid"; pid=""; }

# The share's folder appears, then the network comes up: the milliseconds until the
# status file says so.
time_to_fresh_status() {
  mkdir -p "$copy/dosdevices/unc/oldserver/backup/Machine1"
  local start; start=$(now_ms)
  ip link set lo up
  for _ in $(seq 1 300); do
    [ "$(status_of_backup)" = true ] && { echo $(( $(now_ms) - start )); return 0; }
    sleep 0.05
  done
  return 1
}

if [ "$mode" = --measure ]; then
  for run in $(seq 1 "$runs"); do
    start_station "$run"
    ms=$(time_to_fresh_status) || fail "no check after the network changed"
    echo "network change to status file updated: $ms ms"
    stop_station
  done
  exit 0
fi

start_station test
# Long before the ordinary schedule's hour: within seconds (the benchmark measures them).
time_to_fresh_status > /dev/null || fail "the status file did not follow the network within 15 s"
grep -q 'Network changed' "$copy/out.txt" || fail "no line that says why"
sleep 4  # what the link's coming up brings later (its IPv6 address) has settled
before=$(checks)
for i in $(seq 1 20); do ip addr add "10.77.0.$i/32" dev lo; sleep 0.1; done
sleep 5
burst=$(( $(checks) - before ))
[ "$burst" -ge 1 ] && [ "$burst" -le 2 ] || fail "twenty address changes in two seconds gave $burst checks"
before=$(checks)
# The same address again, with new lifetimes: announced, but nothing changed.
ip addr change 10.77.0.1/32 dev lo valid_lft 1000 preferred_lft 1000
ip addr change 10.77.0.1/32 dev lo valid_lft forever preferred_lft forever
sleep 5
[ "$(checks)" -eq "$before" ] || fail "an address announced again gave a check"
stop_station
echo "1 passed, 0 failed"
