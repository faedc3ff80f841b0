#!/usr/bin/env bash
# The native host over SMB, against a real Samba server on loopback in namespaces of
# its own (as root), each figure the best of RUNS (default 5):
#  - the time from start to the first status file with two shares connected over SMB;
#  - 10 MB read and 10 MB written through X:, against the same through smbclient's get
#    and put (the same protocol without a file system between: the ceiling) and against
#    the server's folder (read from the page cache: that ratio mostly measures the
#    protocol, so it is reported, not targeted);
#  - a folder of 2,000 entries listed with their attributes (ls -l) through X:;
#  - four readers of one server at once against one reader (10 MB each);
#  - Samba's own NetBench load (dbench, client.txt, two clients, 20 s) through X:, against
#    the same through rclone's SMB mount (--vfs-cache-mode writes), and for both how long
#    a file another station rewrites takes to be read through the mount at its next open.
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
trap '[ -n "$pid" ] && kill "$pid" 2> /dev/null; [ -n "${rclone:-}" ] && kill "$rclone" 2> /dev/null; smb_server_stop; rm -rf "$work"' EXIT
smb_server_setup "$work/server" bench-password
smb_server_start || exit 1
docu=$work/server/shares/docu
head -c 10485760 /dev/urandom > "$docu/big.bin"
for n in 1 2 3 4; do head -c 10485760 /dev/urandom > "$docu/big$n.bin"; done
head -c 10485760 /dev/urandom > "$work/local.bin"
mkdir "$docu/many" && (cd "$docu/many" && seq -f 'entry%g' 1 2000 | xargs touch)
chown -R 4711:4711 "$docu"
printf 'username=station\npassword=bench-password\n' > "$work/auth"

station=$work/station
mkdir -p "$station/dosdevices" "$station/drive_c/Zembrik/Parameter" "$station/drive_c/Zembrik/Documentation"
ln -s ../drive_c "$station/dosdevices/c:"
printf '[Project]\r\nNumberOfMachines=1\r\n' > "$station/drive_c/Zembrik/Parameter/Program.ini"
printf '%s\r\n' '[Machine1]' 'Reference1=\\fileserver\docu\m1' 'Reference2=\\fileserver\visu\m1' \
  '[NetAddress]' 'User1=station' 'Password1=bench-password' 'NetAddress1=\\fileserver\docu' \
  'NetDrive1=X' 'User2=station' 'Password2=bench-password' 'NetAddress2=\\fileserver\visu' \
  'NetDrive2=Y' > "$station/drive_c/Zembrik/Documentation/Documentation_Customer.cfg"
status=$station/drive_c/Zembrik/Documentation/Documentation_Tavisto.ini
X=$station/dosdevices/x:

ms_since() { echo $(( ($(date +%s%N) - $1) / 1000 )); }  # in microseconds
timed() { local started; started=$(date +%s%N); "$@" > /dev/null 2>&1; ms_since "$started" >> "$work/$what.txt"; }
best() { sort -n "$work/$1.txt" | head -n 1; }
smbclient_do() { smbclient //fileserver/docu -A "$work/auth" -c "$1"; }
for _ in $(seq 1 "$runs"); do
  rm -f "$status"
  started=$(date +%s%N)
  WINEPREFIX="$station" VisuDir='C:\Zembrik' RUNTIME_DIRECTORY=$work "$binary" > /dev/null 2>&1 &
  pid=$!
  until grep -q 'NetOK2=true' "$status" 2> /dev/null; do sleep 0.005; done
  ms_since "$started" >> "$work/start.txt"
  for _ in 1 2 3; do
    what=read timed cat "$X/big.bin"
    what=write timed cp "$work/local.bin" "$X/put.bin"
    what=get timed smbclient_do "get big.bin /dev/null"
    what=put timed smbclient_do "put $work/local.bin put2.bin"
    what=folder timed cat "$docu/big.bin"
    what=folder_write timed cp "$work/local.bin" "$docu/put3.bin"
    sleep 1.1  # the attributes listed before have expired
    what=list timed ls -l "$X/many"
  done
  cmp -s "$work/local.bin" "$docu/put.bin" || echo "the file written through X: differs"
  kill -TERM "$pid"; wait "$pid"; pid=""
  rm -f "$station/dosdevices/x:" "$station/dosdevices/y:"
done
awk -v start="$(best start)" -v read="$(best read)" -v write="$(best write)" -v get="$(best get)" \
  -v put="$(best put)" -v folder="$(best folder)" -v folder_write="$(best folder_write)" \
  -v list="$(best list)" -v runs="$runs" 'BEGIN {
  printf "start to the first status file, two shares over SMB: %d ms (best of %d)\n", start / 1000, runs
  printf "10 MB read through X:    %6.1f ms; smbclient get %6.1f ms: %.2f times; server folder %5.1f ms: %.1f times\n",
    read / 1000, get / 1000, read / get, folder / 1000, read / folder
  printf "10 MB written through X: %6.1f ms; smbclient put %6.1f ms: %.2f times; server folder %5.1f ms: %.1f times\n",
    write / 1000, put / 1000, write / put, folder_write / 1000, write / folder_write
  printf "2,000 entries listed with attributes through X: %.1f ms\n", list / 1000 }'

# Four readers at once against one, and the loads, on one more start.
rm -f "$status"
WINEPREFIX="$station" VisuDir='C:\Zembrik' RUNTIME_DIRECTORY=$work "$binary" > /dev/null 2>&1 &
pid=$!
until grep -q 'NetOK2=true' "$status" 2> /dev/null; do sleep 0.005; done
for _ in $(seq 1 "$runs"); do
  what=one timed cat "$X/big1.bin"
  what=four timed sh -c "for n in 1 2 3 4; do cat '$X/big'\$n.bin > /dev/null & done; wait"
done
awk -v one="$(best one)" -v four="$(best four)" 'BEGIN {
  printf "one reader of 10 MB: %.1f MB/s; four readers at once, 10 MB each: %.1f MB/s in all (%.2f times)\n",
    10.486 / (one / 1e6), 41.943 / (four / 1e6), (41.943 / four) / (10.486 / one) }'

# dbench without its own cleanup (it removes files its trace still holds open); then how
# long another station's rewrite takes to be read through the mount at its next open.
load() {  # FOLDER NAME
  rm -rf "$1/db"; mkdir -p "$1/db"
  timeout 120 dbench --skip-cleanup -c /usr/share/dbench/client.txt -D "$1/db" -t 20 2 > "$work/$2.txt" 2>&1
  local errors
  errors=$(grep -ciE 'failed|error' "$work/$2.txt")
  echo "$(grep -oE 'Throughput [0-9.]+ MB/sec' "$work/$2.txt" | tail -n 1) through $2, $errors errors"
  echo "first" > "$docu/seen.txt" && chown 4711:4711 "$docu/seen.txt"
  sleep 2
  cat "$1/seen.txt" > /dev/null
  local started=$(date +%s%N)
  echo "second, rewritten" > "$docu/seen.txt"
  until [ "$(cat "$1/seen.txt" 2> /dev/null)" = "second, rewritten" ]; do
    [ $(( ($(date +%s%N) - started) / 1000000 )) -lt 30000 ] || break
    sleep 0.01
  done
  echo "  a rewrite on the server read through $2 after $(( ($(date +%s%N) - started) / 1000000 )) ms"
}
load "$X" "the program's file system (X:)"
kill -TERM "$pid"; wait "$pid"; pid=""
mkdir -p "$work/rclone" "$work/rclone-cache"
RCLONE_SMB_PASS=$(rclone obscure bench-password) rclone mount ":smb,host=fileserver,user=station:docu" \
  "$work/rclone" --vfs-cache-mode writes --cache-dir "$work/rclone-cache" > "$work/rclone.log" 2>&1 &
rclone=$!
for _ in $(seq 1 100); do mountpoint -q "$work/rclone" && break; sleep 0.05; done
load "$work/rclone" "rclone's SMB mount (--vfs-cache-mode writes)"
fusermount3 -u -z "$work/rclone"; kill "$rclone" 2> /dev/null; wait "$rclone" 2> /dev/null; rclone=""
