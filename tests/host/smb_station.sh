# The harness of the tests that run the native host against real Samba servers
# (smb_server.sh) in namespaces of their own: a station folder whose shares are given,
# the program started on it, its log lines, its end checked. Sourced by a test script
# as `. smb_station.sh BINARY STATION`, which then runs inside `unshare -n -m -p -f
# --mount-proc` as root, or exits 77 (skipped) where that cannot be had.
set -uo pipefail
binary=$(realpath "$1")
station=$2
smbfs=$(dirname "$binary")/vodu-tavisto-smbfs
probe=$(dirname "$binary")/vodu-tavisto-smb-probe

skip() { echo "SKIPPED: $*"; exit 77; }
if [ "${VODU_IN_NAMESPACE:-0}" != 1 ]; then
  for program in smbd smbpasswd fusermount3; do
    command -v "$program" > /dev/null ||
      { echo "FAIL: missing $program (scripts/setup installs samba and fuse3)"; exit 1; }
  done
  [ "$(id -u)" -eq 0 ] || skip "a server with its own users and a FUSE mount need root here"
  unshare -n -m -p -f --mount-proc true 2> /dev/null ||
    skip "this machine does not allow network, mount and PID namespaces (unshare failed)"
  VODU_IN_NAMESPACE=1 exec unshare -n -m -p -f --mount-proc "$0" "$@"
fi
. "$(dirname "$0")/smb_server.sh"

work=$(mktemp -d)
pid=""
# What the test started goes, however it ends: the program, every server, the folder.
# A test adds servers to `servers` and what else to undo to `cleanup`.
servers=(fileserver plc oldplc)
cleanup=":"
trap '[ -n "$pid" ] && kill -KILL "$pid" 2> /dev/null; for s in "${servers[@]}"; do smb_server_stop $s; done; eval "$cleanup"; rm -rf "$work"' EXIT
password='Se"cr\et 42'  # quotes, a backslash and a blank survive every hand-over
out=$work/out.txt
err=$work/err.txt
copy=$work/station
runtime=$work/run
mount=$copy/.vodu-tavisto-shares
docu=$work/server/shares/docu
status_file=$copy/drive_c/Zembrik/Documentation/Documentation_Tavisto.ini
passed=0

fail() {
  echo "FAIL: $*"
  echo "--- stdout"; cat "$out"; echo "--- stderr"; cat "$err"
  exit 1
}
ok() { passed=$((passed + 1)); echo "ok: $*"; }
lines() { sed -E 's/^[0-9]{2}:[0-9]{2}:[0-9]{2} //' "$out"; }
# Waits up to $2 seconds (default 15) until `grep -c "$1"` of the output reaches $3 (1).
wait_for() {
  local deadline=$((SECONDS + ${2:-15}))
  while [ "$(grep -cF -- "$1" "$out")" -lt "${3:-1}" ]; do
    [ "$SECONDS" -lt "$deadline" ] || fail "no line \"$1\" (${3:-1} wanted) within ${2:-15} s"
    sleep 0.05
  done
}
checks() { grep -c 'Checking ready' "$out"; }
ms_since() { echo $(( ($(date +%s%N) - $1) / 1000000 )); }
# The helpers that run, counted by their full program path.
helpers() { pgrep -c -f "^($smbfs|$probe)( |\$)"; }
# A station whose [NetAddress] is "$@", one "DRIVE=\\server\share=user=password" each;
# `interval`, `retry` and `watch` set UpdateInterval, RetryAfterFaultSeconds and
# WatchSharesSeconds.
station() {
  local i=0 entry drive share user pass
  rm -rf "$copy"
  mkdir -p "$copy/dosdevices" "$runtime"
  cp -a "$station/drive_c" "$copy/"
  ln -s ../drive_c "$copy/dosdevices/c:"
  printf '[Project]\r\nNumberOfMachines=1\r\nVWStudio=false\r\n' > "$copy/drive_c/Zembrik/Parameter/Program.ini"
  {
    printf '[Machine1]\r\n'
    for entry in "$@"; do i=$((i + 1)); printf 'Reference%s=%s\\m1\r\n' "$i" "$(cut -d= -f2 <<< "$entry")"; done
    printf '[NetAddress]\r\n'
    i=0
    for entry in "$@"; do
      i=$((i + 1))
      IFS='=' read -r drive share user pass <<< "$entry"
      printf 'User%s=%s\r\nPassword%s=%s\r\nNetAddress%s=%s\r\nNetDrive%s=%s\r\n' \
        "$i" "$user" "$i" "$pass" "$i" "$share" "$i" "$drive"
    done
    printf 'UpdateInterval=%s\r\n[Tavisto]\r\nShareTimeoutSeconds=3\r\nCheckOnNetworkChange=true\r\n' \
      "${interval:-10}"
    [ -z "${retry:-}" ] || printf 'RetryAfterFaultSeconds=%s\r\n' "$retry"
    [ -z "${watch:-}" ] || printf 'WatchSharesSeconds=%s\r\n' "$watch"
  } > "$copy/drive_c/Zembrik/Documentation/Documentation_Customer.cfg"
}
start() {
  : > "$out"
  WINEPREFIX="$copy" VisuDir='C:\Zembrik' RUNTIME_DIRECTORY="$runtime" "$binary" >> "$out" 2>> "$err" &
  pid=$!
  wait_for 'Checking ready'
}
# The program ends within a second of SIGTERM, and leaves no mount, helper or runtime file.
stop_and_verify_clean() {
  local started status=0
  started=$(date +%s%N)
  kill -TERM "$pid"
  while kill -0 "$pid" 2> /dev/null; do
    [ "$(ms_since "$started")" -lt 1000 ] || fail "still running 1 s after SIGTERM ($1)"
    sleep 0.02
  done
  wait "$pid" || status=$?
  pid=""
  [ "$status" -eq 0 ] || fail "exit status $status after SIGTERM ($1)"
  ! grep -q vodu-tavisto-shares /proc/self/mountinfo || fail "a mount is left ($1)"
  [ "$(helpers)" -eq 0 ] || fail "a helper is left: $(pgrep -af vodu-tavisto-smb) ($1)"
  [ -z "$(ls -A "$runtime")" ] || fail "runtime files are left: $(ls -AR "$runtime") ($1)"
  [ ! -e "$mount" ] || fail "the mount point is left ($1)"
}
# The program's output holds its log lines and nothing else (whatever the SMB library says).
only_log_lines() {
  ! grep -qvE '^[0-9]{2}:[0-9]{2}:[0-9]{2} ' "$out" || fail "not a log line: $(grep -vE '^[0-9]{2}:' "$out")"
}
