#!/usr/bin/env bash
# The native host connects shares over SMB, against a real Samba server on loopback in
# a namespace of the test's own: the right password, a wrong one, no such share, the
# server stopped, paused and back, the file system's process killed, SIGTERM and
# SIGKILL, and the password nowhere it must not be.
#
#   smb_test.sh BINARY STATION
#
# Exits 77 (skipped) where the namespaces cannot be made (they need root here).
set -uo pipefail
binary=$1
station=$2

skip() { echo "SKIPPED: $*"; exit 77; }
if [ "${VODU_IN_NAMESPACE:-0}" != 1 ]; then
  for program in smbd smbpasswd; do
    command -v "$program" > /dev/null ||
      { echo "FAIL: missing $program (scripts/setup installs samba and smbnetfs)"; exit 1; }
  done
  [ "$(id -u)" -eq 0 ] || skip "a server with its own users and a FUSE mount need root here"
  unshare -n -m -p -f --mount-proc true 2> /dev/null ||
    skip "this machine does not allow network, mount and PID namespaces (unshare failed)"
  VODU_IN_NAMESPACE=1 exec unshare -n -m -p -f --mount-proc "$0" "$@"
fi
. "$(dirname "$0")/smb_server.sh"

work=$(mktemp -d)
pid=""
trap '[ -n "$pid" ] && kill -KILL "$pid" 2> /dev/null; smb_server_stop; rm -rf "$work"' EXIT
password='Se"cr\et 42'  # quotes, a backslash and a blank survive every hand-over
out=$work/out.txt
err=$work/err.txt
copy=$work/station
runtime=$work/run
mount=$copy/.vodu-tavisto-shares
passed=0

fail() {
  echo "FAIL: $*"
  echo "--- stdout"; cat "$out"; echo "--- stderr"; cat "$err"
  exit 1
}
ok() { passed=$((passed + 1)); echo "ok: $*"; }
# Waits up to $2 seconds (default 15) until `grep -c "$1"` of the output reaches $3 (1).
wait_for() {
  local deadline=$((SECONDS + ${2:-15}))
  while [ "$(grep -cF -- "$1" "$out")" -lt "${3:-1}" ]; do
    [ "$SECONDS" -lt "$deadline" ] || fail "no line \"$1\" (${3:-1} wanted) within ${2:-15} s"
    sleep 0.05
  done
}
checks() { grep -c 'Checking ready' "$out"; }
start() {
  : > "$out"
  WINEPREFIX="$copy" VisuDir='C:\Zembrik' RUNTIME_DIRECTORY="$runtime" "$binary" >> "$out" 2>> "$err" &
  pid=$!
}
# The program ends within a second of SIGTERM, and leaves no mount, helper or runtime file.
stop_and_verify_clean() {
  local started=$(date +%s%N) status=0
  kill -TERM "$pid"
  while kill -0 "$pid" 2> /dev/null; do
    [ $(( ($(date +%s%N) - started) / 1000000 )) -lt 1000 ] || fail "still running 1 s after SIGTERM ($1)"
    sleep 0.02
  done
  wait "$pid" || status=$?
  pid=""
  [ "$status" -eq 0 ] || fail "exit status $status after SIGTERM ($1)"
  ! grep -q vodu-tavisto-shares /proc/self/mountinfo || fail "a mount is left ($1)"
  ! pgrep -f 'vodu-tavisto-smb' > /dev/null || fail "a helper is left: $(pgrep -af 'vodu-tavisto-smb') ($1)"
  [ -z "$(ls -A "$runtime")" ] || fail "runtime files are left: $(ls -AR "$runtime") ($1)"
  [ ! -e "$mount" ] || fail "the mount point is left ($1)"
}
no_password_anywhere() {
  local found
  found=$(grep -lF -- "$password" /proc/[0-9]*/cmdline "$out" "$err" 2> /dev/null)
  [ -z "$found" ] || fail "the password is in $found"
  found=$(grep -rlF --exclude=Documentation_Customer.cfg -- "$password" "$copy" "$work/server/shares" 2> /dev/null)
  [ -z "$found" ] || fail "the password is in $found"
  found=$(find "$runtime" -type f ! -perm 0600)
  [ -z "$found" ] || fail "runtime files not of mode 0600: $found"
}

smb_server_setup "$work/server" "$password"
smb_server_start || fail "the server did not start"
echo hello > "$work/server/shares/docu/m1.txt"
chown 4711:4711 "$work/server/shares/docu/m1.txt"
mkdir -p "$runtime" "$copy/dosdevices"
cp -a "$station/drive_c" "$copy/"
ln -s ../drive_c "$copy/dosdevices/c:"
printf '[Project]\r\nNumberOfMachines=1\r\nVWStudio=false\r\n' > "$copy/drive_c/Zembrik/Parameter/Program.ini"
cfg="[Machine1]
Reference1=\\\\fileserver\\docu\\m1
Reference2=\\\\fileserver\\visu\\m1
Reference3=\\\\fileserver\\nosuch\\m1
[NetAddress]
User1=WORKGROUP\\station
Password1=$password
NetAddress1=\\\\fileserver\\docu
NetDrive1=X
User2=station
Password2=not-the-password
NetAddress2=\\\\fileserver\\visu
NetDrive2=Y
User3=station
Password3=$password
NetAddress3=\\\\fileserver\\nosuch
NetDrive3=Z
UpdateInterval=1
[Tavisto]
RetryAfterFaultSeconds=1
ShareTimeoutSeconds=3
CheckOnNetworkChange=true"
printf '%s\r\n' "$cfg" > "$copy/drive_c/Zembrik/Documentation/Documentation_Customer.cfg"
status_file=$copy/drive_c/Zembrik/Documentation/Documentation_Tavisto.ini

# Each failing share and the reason the station engineer reads for it.
refused='  error 13: fileserver refused the logon of station (a wrong user or password, or an account that is locked, disabled or expired)'
no_share='  error 2: fileserver has no share named nosuch'
stopped='  error 111: fileserver refused the connection (no SMB server listens there)'
paused='  error 110: no answer from \\fileserver\nosuch within 3 s'

start
wait_for 'Checking ready'
expected="Initialisize
Checking: \\\\fileserver\\docu
Generate: \\\\fileserver\\docu
Checking: \\\\fileserver\\visu
Generate: \\\\fileserver\\visu
Fault by generate: \\\\fileserver\\visu
$refused
Checking: \\\\fileserver\\nosuch
Generate: \\\\fileserver\\nosuch
Fault by generate: \\\\fileserver\\nosuch
$no_share
Checking ready 2 faults"
[ "$(sed -E 's/^[0-9]{2}:[0-9]{2}:[0-9]{2} //' "$out" | head -n 12)" = "$expected" ] ||
  fail "unexpected lines of the first check"
[ "$(tr -d '\r' < "$status_file")" = $'[Machine1]\nNetOK1=true\nNetOK2=false\nNetOK3=false' ] ||
  fail "status file: $(cat -A "$status_file")"
ok "the right password connects, a wrong one and no such share each say why"

[ "$(cat "$copy/dosdevices/x:/m1.txt")" = hello ] || fail "m1.txt not read through X:"
echo written > "$copy/dosdevices/x:/back.txt" || fail "back.txt not written through X:"
[ "$(cat "$work/server/shares/docu/back.txt" 2> /dev/null)" = written ] ||
  fail "back.txt is not in the server's folder"
ok "a file is read through X: and one written back is in the server's folder"
no_password_anywhere
ok "the password is in no command line, no output, no file but the runtime folder's"

wait_for 'Checking ready' 15 2
[ "$(grep -cF 'Checking: \\fileserver\visu' "$out")" -eq 1 ] || fail "the refused logon was tried again early"
ok "a refused logon gets no early retry"

pkill -KILL -f vodu-tavisto-smbfs
wait_for 'Fault by vodu-tavisto-smbfs: ended by signal 9 (Killed)' 5
before=$(checks)
wait_for 'Checking ready' 15 $((before + 1))
[ "$(cat "$copy/dosdevices/x:/m1.txt")" = hello ] || fail "X: not connected again after the helper was killed"
[ "$(grep -c 'Fault by vodu-tavisto-smbfs' "$out")" -eq 1 ] || fail "the helper's end was not named once"
ok "a killed helper is named once and started again by the next check"

smb_server_stop
before=$(checks)
ip addr add 127.0.0.9/8 dev lo  # a network change: a check a few seconds later
wait_for 'Checking ready' 20 $((before + 1))
grep -qxF "$stopped" <(sed -E 's/^[0-9]{2}:[0-9]{2}:[0-9]{2} //' "$out") || fail "no reason for the stopped server"
smb_server_start || fail "the server did not start again"
before=$(checks)
ip addr add 127.0.0.10/8 dev lo
wait_for 'Checking ready' 20 $((before + 1))
[ "$(cat "$copy/dosdevices/x:/m1.txt")" = hello ] || fail "X: not connected when the server was back"
grep -q '^NetOK1=true' "$status_file" || fail "NetOK1 not true when the server was back"
ok "a stopped server says so, and the next check connects when it is back"

smb_server_pause
ip addr add 127.0.0.11/8 dev lo
wait_for 'no answer from \\fileserver\docu within 3 s' 20
wait_for "$paused" 10  # the connect's own verdict; X:'s listing still waits
stop_and_verify_clean "server paused"
ok "a paused server gives no answer in time, and SIGTERM still ends everything within a second"
smb_server_resume

start
wait_for 'Checking ready'
[ "$(cat "$copy/dosdevices/x:/m1.txt")" = hello ] || fail "X: not connected at a new start"
pgrep -f vodu-tavisto-smbfs > /dev/null || fail "no smbnetfs runs for X:"
kill -KILL "$pid"
wait "$pid" 2> /dev/null
pid=""
for _ in $(seq 1 20); do pgrep -f vodu-tavisto-smbfs > /dev/null || break; sleep 0.05; done
! pgrep -f vodu-tavisto-smbfs > /dev/null || fail "smbnetfs outlived the program killed with SIGKILL"
ok "no helper outlives the program, not even one killed with SIGKILL"

start
wait_for 'Checking ready'
kill -STOP "$pid"
pkill -KILL -f vodu-tavisto-smbfs
kill -KILL "$pid"
wait "$pid" 2> /dev/null
pid=""
grep -q vodu-tavisto-shares /proc/self/mountinfo || fail "no stale mount was made for the test"
start
wait_for 'Checking ready'
[ "$(cat "$copy/dosdevices/x:/m1.txt")" = hello ] || fail "X: not connected over a stale mount"
[ "$(ls "$runtime" | wc -l)" -eq 1 ] || fail "the killed program's runtime folder is left: $(ls "$runtime")"
no_password_anywhere
stop_and_verify_clean "after a stale mount"
ok "a new start clears the stale mount and the killed program's runtime folder"

echo "$passed passed, 0 failed"
