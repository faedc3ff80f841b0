#!/usr/bin/env bash
# The native host over SMB, against a real Samba server on loopback in namespaces of
# its own (as root): the time from start to the first status file with two shares
# connected over SMB, and a file of 10 MB read through X: against the same read
# straight from the server's folder, each the best of RUNS (default 5).
#
#   bench/smb_bench.sh BINARY [RUNS]
#
# Exits 77 where the namespaces cannot be made.
set -uo pipefail
binary=$(realpath "$1")
runs=${2:-5}
if [ "${VODU_IN_NAMESPACE:-0}" != 1 ]; then
  [ "$(id -u)" -eq 0 ] && unshare -n -m -p -f --mount-proc true 2> /dev/null ||
    { echo "skipped: needs root and network, mount and PID namespaces"; exit 77; }
  VODU_IN_NAMESPACE=1 exec unshare -n -m -p -f --mount-proc "$0" "$@"
fi
. "$(dirname "$0")/../tests/host/smb_server.sh"
work=$(mktemp -d)
pid=""
trap '[ -n "$pid" ] && kill "$pid" 2> /dev/null; smb_server_stop; rm -rf "$work"' EXIT
smb_server_setup "$work/server" bench-password
smb_server_start || exit 1
head -c 10485760 /dev/urandom > "$work/server/shares/docu/big.bin"
chown 4711:4711 "$work/server/shares/docu/big.bin"

station=$work/station
mkdir -p "$station/dosdevices" "$station/drive_c/Zembrik/Parameter" "$station/drive_c/Zembrik/Documentation"
ln -s ../drive_c "$station/dosdevices/c:"
printf '[Project]\r\nNumberOfMachines=1\r\n' > "$station/drive_c/Zembrik/Parameter/Program.ini"
printf '%s\r\n' '[Machine1]' 'Reference1=\\fileserver\docu\m1' 'Reference2=\\fileserver\visu\m1' \
  '[NetAddress]' 'User1=station' 'Password1=bench-password' 'NetAddress1=\\fileserver\docu' \
  'NetDrive1=X' 'User2=station' 'Password2=bench-password' 'NetAddress2=\\fileserver\visu' \
  'NetDrive2=Y' > "$station/drive_c/Zembrik/Documentation/Documentation_Customer.cfg"
status=$station/drive_c/Zembrik/Documentation/Documentation_Tavisto.ini

ms_since() { echo $(( ($(date +%s%N) - $1) / 1000000 )); }
best() { sort -n | head -n 1; }
for _ in $(seq 1 "$runs"); do
  rm -f "$status"
  started=$(date +%s%N)
  WINEPREFIX="$station" VisuDir='C:\Zembrik' RUNTIME_DIRECTORY=$work "$binary" > /dev/null 2>&1 &
  pid=$!
  until grep -q 'NetOK2=true' "$status" 2> /dev/null; do sleep 0.005; done
  ms_since "$started" >> "$work/start.txt"
  for _ in 1 2 3; do
    started=$(date +%s%N); cat "$station/dosdevices/x:/big.bin" > /dev/null; ms_since "$started" >> "$work/smb.txt"
    started=$(date +%s%N); cat "$work/server/shares/docu/big.bin" > /dev/null; ms_since "$started" >> "$work/local.txt"
  done
  kill -TERM "$pid"; wait "$pid"; pid=""
  rm -f "$station/dosdevices/x:" "$station/dosdevices/y:"
done
start=$(best < "$work/start.txt"); smb=$(best < "$work/smb.txt"); local=$(best < "$work/local.txt")
echo "start to the first status file, two shares over SMB: $start ms (best of $runs)"
awk -v s="$smb" -v l="$local" 'BEGIN {
  printf "10 MB through X: %d ms, from the server folder %d ms: %.1f times as long\n", s, l, s / (l > 0 ? l : 1) }'
