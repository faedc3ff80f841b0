# Real Samba servers for tests, on loopback in the namespace of the script that sources
# this file (which must run as root inside `unshare -n -m -p -f --mount-proc`), for the
# user `station`:
#   fileserver  127.0.0.1  shares docu, visu (read and write) and ro (read only)
#   plc         127.0.0.2  shares data and logs
#   oldplc      127.0.0.3  share data, SMB1 only (as old machine controllers speak)
#
#   smb_server_setup FOLDER PASSWORD   names, the user, the configurations (once)
#   smb_server_add NAME ADDRESS GLOBAL_LINES SHARE_LINES SHARE...
#                                      one more server (its name, address and user)
#   smb_server_start [SERVER]          starts its smbd (default fileserver)
#   smb_server_pause / _resume / _stop [SERVER]
#
# The shares' folders are FOLDER/SERVER/SHARE (fileserver's docu: FOLDER/shares/docu,
# as before).

smb_server_setup() {
  SMB_DIR=$1
  local password=$2 folder server
  ip link set lo up
  ip addr add 127.0.0.2/8 dev lo 2> /dev/null
  ip addr add 127.0.0.3/8 dev lo 2> /dev/null
  mkdir -p "$SMB_DIR/etc"
  chmod 0755 "$SMB_DIR" "$(dirname "$SMB_DIR")"  # smbd reaches the shares as the user station
  # The SMB user needs a Unix account, and the names addresses: in this namespace only.
  printf '127.0.0.1 localhost fileserver\n127.0.0.2 plc\n127.0.0.3 oldplc\n' > "$SMB_DIR/etc/hosts"
  cp /etc/passwd /etc/group /etc/shadow "$SMB_DIR/etc/"
  echo "station:x:4711:4711::/nonexistent:/usr/sbin/nologin" >> "$SMB_DIR/etc/passwd"
  echo "station:x:4711:" >> "$SMB_DIR/etc/group"
  echo "station:*:19000:0:99999:7:::" >> "$SMB_DIR/etc/shadow"
  for file in hosts passwd group shadow; do mount --bind "$SMB_DIR/etc/$file" "/etc/$file"; done
  smb_server_configure fileserver 127.0.0.1 "" docu visu ro
  smb_server_configure plc 127.0.0.2 "" data logs
  smb_server_configure oldplc 127.0.0.3 $'server min protocol = NT1\nserver max protocol = NT1' data
  SMB_PASSWORD=$password
  for server in fileserver plc oldplc; do smb_server_user "$server"; done
}

smb_server_user() {
  printf '%s\n%s\n' "$SMB_PASSWORD" "$SMB_PASSWORD" |
    smbpasswd -c "$(smb_server_dir "$1")/smb.conf" -s -a station > /dev/null
}

smb_server_add() {
  local name=$1 address=$2 global=$3
  ip addr add "$address/8" dev lo 2> /dev/null
  echo "$address $name" >> "$SMB_DIR/etc/hosts"
  shift 3
  SMB_SHARE_LINES=$1 smb_server_configure "$name" "$address" "$global" "${@:2}"
  smb_server_user "$name"
}

smb_server_dir() { [ "$1" = fileserver ] && echo "$SMB_DIR" || echo "$SMB_DIR/$1"; }

# smb_server_configure NAME ADDRESS EXTRA_GLOBAL_LINES SHARE...
smb_server_configure() {
  local name=$1 address=$2 extra=$3 dir folder share
  shift 3
  dir=$(smb_server_dir "$name")
  for folder in lock state cache private run ncalrpc binddns; do mkdir -p "$dir/$folder"; done
  {
    cat <<CONF
[global]
server role = standalone server
interfaces = $address
bind interfaces only = yes
disable netbios = yes
smb ports = 445
map to guest = never
load printers = no
printcap name = /dev/null
disable spoolss = yes
lock directory = $dir/lock
state directory = $dir/state
cache directory = $dir/cache
pid directory = $dir/run
ncalrpc dir = $dir/ncalrpc
binddns dir = $dir/binddns
private dir = $dir/private
passdb backend = tdbsam:$dir/passdb.tdb
log file = $dir/smbd.log
$extra
CONF
    for share in "$@"; do
      mkdir -p "$dir/shares/$share"
      printf '[%s]\npath = %s\nread only = %s\n%s\n' "$share" "$dir/shares/$share" \
        "$([ "$share" = ro ] && echo yes || echo no)" "${SMB_SHARE_LINES:-valid users = station}"
    done
  } > "$dir/smb.conf"
  chown -R 4711:4711 "$dir/shares"
}

# smbd calls setsid() itself: its pid is its process group, which the other calls signal.
smb_server_start() {
  local name=${1:-fileserver} dir address
  dir=$(smb_server_dir "$name")
  address=$(sed -n 's/^interfaces = //p' "$dir/smb.conf")
  smbd -F -s "$dir/smb.conf" < /dev/null > /dev/null 2>&1 &
  eval "SMBD_PID_$name=$!"
  [ "$name" = fileserver ] && SMBD_PID=$!
  for _ in $(seq 1 100); do
    (exec 3<> "/dev/tcp/$address/445") 2> /dev/null && return 0
    sleep 0.05
  done
  echo "smbd $name did not start: $(tail -n 5 "$dir/smbd.log" 2> /dev/null)"
  return 1
}
smb_server_pid() { eval "echo \${SMBD_PID_${1:-fileserver}:-}"; }
smb_server_pause() { kill -STOP -- "-$(smb_server_pid "${1:-}")"; }
smb_server_resume() { kill -CONT -- "-$(smb_server_pid "${1:-}")"; }
smb_server_stop() {
  local pid
  pid=$(smb_server_pid "${1:-}")
  [ -n "$pid" ] || return 0
  kill -TERM -- "-$pid" 2> /dev/null
  wait "$pid" 2> /dev/null || true
  # Its children too: one still serving a client holds the port a new start needs.
  for _ in $(seq 1 100); do kill -0 -- "-$pid" 2> /dev/null || return 0; sleep 0.05; done
  kill -KILL -- "-$pid" 2> /dev/null || true
}
