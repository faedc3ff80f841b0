#!/usr/bin/env bash
# The native host's watch of reachable shares between checks (WatchSharesSeconds=5,
# UpdateInterval=10, ShareTimeoutSeconds=3), against real Samba servers on loopback in
# namespaces of the test's own: no logon reaches a server from the watch; a server
# stopped, and one paused, is published false within WatchSharesSeconds +
# ShareTimeoutSeconds + 3 s, the other server's share staying true; back, it is true
# again by the early retries, long before the next ordinary check.
#
#   smb_watch_test.sh BINARY STATION
#
# Exits 77 (skipped) where the namespaces cannot be made (they need root here).
. "$(dirname "$0")/smb_station.sh"
smb_server_setup "$work/server" "$password"
# fileserver's log tells of every logon (auth_audit: "Auth: [SMB2,...] user ... status").
sed -i 's/^\[global\]$/[global]\nlog level = 1 auth_audit:3/' "$work/server/smb.conf"
for server in fileserver plc; do smb_server_start "$server" || fail "$server did not start"; done
echo hello > "$work/server/shares/docu/m1.txt"
echo data > "$work/server/plc/shares/data/m1.txt"
chown -R 4711:4711 "$work/server/shares" "$work/server/plc/shares"
logons() { grep -c 'Auth: \[SMB2' "$work/server/smbd.log"; }
netok() { tr -d '\r' < "$status_file" | grep "^NetOK$1=" | cut -d= -f2; }
# Waits up to $3 s until NetOK$1 reads $2; the seconds it took.
until_netok() {
  local started=$SECONDS
  until [ "$(netok "$1")" = "$2" ]; do
    [ $((SECONDS - started)) -le "$3" ] || fail "NetOK$1 not $2 within $3 s"
    sleep 0.1
  done
  echo $((SECONDS - started))
}

interval=10 retry=2 watch=5 station "X=\\\\fileserver\\docu=station=$password" \
  "W=\\\\plc\\data=station=$password"
start
[ "$(netok 1)$(netok 2)" = truetrue ] || fail "the shares did not connect"
sleep 1  # the file system made its session when it was handed the share
before=$(logons)
sleep 60
[ "$(logons)" -eq "$before" ] || fail "the watch logged on: $before logons before a minute of it, $(logons) after"
[ "$(grep -c 'Share lost' "$out")" -eq 0 ] && [ "$(checks)" -eq 1 ] || fail "a share was lost or checked meanwhile"
ok "a minute of watching: no logon reaches the server, no check runs"

bound=$((5 + 3 + 3))
for how in stop pause; do  # switched off, or silent
  lost=$(grep -c 'Share lost: \\\\fileserver\\docu' "$out")
  "smb_server_$how" fileserver
  took=$(until_netok 1 false "$bound")
  [ "$(grep -c 'Share lost: \\\\fileserver\\docu' "$out")" -eq $((lost + 1)) ] || fail "not one Share lost line ($how)"
  [ "$(netok 2)" = true ] || fail "plc's share was published false while fileserver was lost ($how)"
  if [ "$how" = stop ]; then smb_server_start fileserver || fail "fileserver did not start again"
  else smb_server_resume fileserver; fi
  back=$(until_netok 1 true 30)
  ok "fileserver's $how: false after $took s (at most $bound), one Share lost line, plc's share still true; true again $back s after it was back"
done
[ "$(grep -c 'Share lost' "$out")" -eq 2 ] || fail "a share was lost more often than twice"
stop_and_verify_clean "watched"
echo "$passed passed, 0 failed"
