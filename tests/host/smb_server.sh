# A real Samba server for tests, on loopback in the namespace of the test that sources
# this file (which must run as root inside `unshare -n -m -p -f --mount-proc`):
# `fileserver` is 127.0.0.1, shares `docu` and `visu` for the user `station`.
#
#   smb_server_setup FOLDER PASSWORD   the name, the user, the configuration (once)
#   smb_server_start                   starts smbd; SMBD_PID is its process group
#   smb_server_pause / _resume / _stop

smb_server_setup() {
  SMB_DIR=$1
  local password=$2 folder
  ip link set lo up
  mkdir -p "$SMB_DIR"
  chmod 0755 "$SMB_DIR" "$(dirname "$SMB_DIR")"  # smbd reaches the shares as the user station
  for folder in etc lock state cache private run ncalrpc binddns shares/docu shares/visu; do
    mkdir -p "$SMB_DIR/$folder"
  done
  # The SMB user needs a Unix account, and the name an address: in this namespace only.
  printf '127.0.0.1 localhost fileserver\n' > "$SMB_DIR/etc/hosts"
  cp /etc/passwd /etc/group /etc/shadow "$SMB_DIR/etc/"
  echo "station:x:4711:4711::/nonexistent:/usr/sbin/nologin" >> "$SMB_DIR/etc/passwd"
  echo "station:x:4711:" >> "$SMB_DIR/etc/group"
  echo "station:*:19000:0:99999:7:::" >> "$SMB_DIR/etc/shadow"
  for file in hosts passwd group shadow; do mount --bind "$SMB_DIR/etc/$file" "/etc/$file"; done
  chown -R 4711:4711 "$SMB_DIR/shares"
  cat > "$SMB_DIR/smb.conf" <<CONF
[global]
server role = standalone server
interfaces = 127.0.0.1
bind interfaces only = yes
disable netbios = yes
smb ports = 445
map to guest = never
load printers = no
printcap name = /dev/null
disable spoolss = yes
lock directory = $SMB_DIR/lock
state directory = $SMB_DIR/state
cache directory = $SMB_DIR/cache
pid directory = $SMB_DIR/run
ncalrpc dir = $SMB_DIR/ncalrpc
binddns dir = $SMB_DIR/binddns
private dir = $SMB_DIR/private
passdb backend = tdbsam:$SMB_DIR/passdb.tdb
log file = $SMB_DIR/smbd.log
[docu]
path = $SMB_DIR/shares/docu
read only = no
valid users = station
[visu]
path = $SMB_DIR/shares/visu
read only = no
valid users = station
CONF
  printf '%s\n%s\n' "$password" "$password" |
    smbpasswd -c "$SMB_DIR/smb.conf" -s -a station > /dev/null
}

# smbd calls setsid() itself: its pid is its process group, which the other calls signal.
smb_server_start() {
  smbd -F -s "$SMB_DIR/smb.conf" < /dev/null > /dev/null 2>&1 &
  SMBD_PID=$!
  for _ in $(seq 1 100); do
    (exec 3<> /dev/tcp/127.0.0.1/445) 2> /dev/null && return 0
    sleep 0.05
  done
  echo "smbd did not start: $(tail -n 5 "$SMB_DIR/smbd.log" 2> /dev/null)"
  return 1
}
smb_server_pause() { kill -STOP -- "-$SMBD_PID"; }
smb_server_resume() { kill -CONT -- "-$SMBD_PID"; }
smb_server_stop() {
  kill -TERM -- "-$SMBD_PID" 2> /dev/null
  wait "$SMBD_PID" 2> /dev/null || true
}
