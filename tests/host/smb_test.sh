#!/usr/bin/env bash
# The native host connects shares over SMB and serves them as mapped drives, against
# real Samba servers on loopback in namespaces of the test's own: each verdict and its
# reason, a drive's file semantics compared with the server's folder, faults that stay
# local and bounded, a file system that is restarted at once, ownership (SIGTERM,
# SIGKILL, a stale mount), and the password nowhere it must not be.
#
#   smb_test.sh BINARY STATION
#
# Exits 77 (skipped) where the namespaces cannot be made (they need root here).
. "$(dirname "$0")/smb_station.sh"
cleanup='umount -l "$work/server/shares/docu/small" 2> /dev/null'
# The password, as written and as any escaping would write it (C or shell, smb.conf
# quoting, a URL), in no command line, environment, output or file but the station's
# own configuration.
no_password_anywhere() {
  local found form
  for form in "$password" 'Se\"cr\\et 42' 'Se%22cr%5Cet%2042' 'Se""cr\et 42'; do
    found=$(grep -lF -- "$form" /proc/[0-9]*/cmdline /proc/[0-9]*/environ "$out" "$err" 2> /dev/null)
    [ -z "$found" ] || fail "the password ($form) is in $found"
    found=$(grep -rlF --exclude=Documentation_Customer.cfg --exclude-dir=.vodu-tavisto-shares -- \
      "$form" "$copy" "$runtime" \
      /dev/shm /tmp/vodu-* 2> /dev/null)
    [ -z "$found" ] || fail "the password ($form) is in $found"
  done
}

smb_server_setup "$work/server" "$password"
for server in fileserver plc oldplc; do smb_server_start "$server" || fail "$server did not start"; done
echo hello > "$docu/m1.txt"
echo ro > "$work/server/shares/ro/ro.txt"
echo data > "$work/server/plc/shares/data/m1.txt"
echo old > "$work/server/oldplc/shares/data/m1.txt"
mkdir "$docu/small"
mount -t tmpfs -o size=1m tmpfs "$docu/small"  # a disk that fills up
chown -R 4711:4711 "$work/server/shares" "$work/server/plc/shares" "$work/server/oldplc/shares"

# Five shares on two servers: right and wrong password, no such share, a read-only one.
retry=1 station "X=\\\\fileserver\\docu=WORKGROUP\\station=$password" \
  "Y=\\\\fileserver\\visu=station=not-the-password" "Z=\\\\fileserver\\nosuch=station=$password" \
  "W=\\\\plc\\data=station=$password" "V=\\\\fileserver\\ro=station=$password"
start
refused='  error 13: fileserver refused the logon of station (a wrong user or password, or an account that is locked, disabled or expired)'
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
  error 2: fileserver has no share named nosuch
Checking: \\\\plc\\data
Generate: \\\\plc\\data
Checking: \\\\fileserver\\ro
Generate: \\\\fileserver\\ro
Checking ready 2 faults"
[ "$(lines | head -n 16)" = "$expected" ] || fail "unexpected lines of the first check"
[ "$(tr -d '\r' < "$status_file")" = $'[Machine1]\nNetOK1=true\nNetOK2=false\nNetOK3=false\nNetOK4=true\nNetOK5=true' ] ||
  fail "status file: $(cat -A "$status_file")"
ok "the right password connects (a second server's share too, by a file system of its own), a wrong one and no such share each say why"

# A drive as Windows programs and Linux tools use it: each case through X:, then what
# the server's folder holds afterwards.
X=$copy/dosdevices/x:
small_file() { head -c 2000000 /dev/zero > "$X/small/big"; }
cases=(
  "create @@ echo one > $X/new.txt @@ cat $docu/new.txt @@ one"
  "overwrite @@ echo two > $X/new.txt @@ cat $docu/new.txt @@ two"
  "append @@ echo three >> $X/new.txt @@ cat $docu/new.txt @@ two three"
  "write in place @@ printf XY | dd of=$X/new.txt bs=1 seek=1 conv=notrunc 2> /dev/null @@ cat $docu/new.txt @@ tXY three"
  "read and write @@ exec 5<> $X/new.txt; printf Z >&5; exec 5>&- @@ cat $docu/new.txt @@ ZXY three"
  "truncate @@ truncate -s 3 $X/new.txt @@ cat $docu/new.txt @@ ZXY"
  "ftruncate @@ python3 -c 'import os; f = os.open(\"$X/new.txt\", os.O_RDWR); os.ftruncate(f, 1); os.close(f)' @@ cat $docu/new.txt @@ Z"
  "fsync @@ python3 -c 'import os; f = os.open(\"$X/sync.txt\", os.O_CREAT | os.O_WRONLY); os.write(f, b\"synced\"); os.fsync(f); print(open(\"$docu/sync.txt\").read())' @@ cat $docu/sync.txt @@ synced synced"
  "unlink @@ rm $X/sync.txt @@ ls $docu/sync.txt 2>&1 @@ ls: cannot access '$docu/sync.txt': No such file or directory"
  "mkdir @@ mkdir $X/dir && echo f > $X/dir/f @@ cat $docu/dir/f @@ f"
  "rmdir of a folder not empty @@ rmdir $X/dir 2>&1 | sed 's/.*: //' @@ ls $docu/dir @@ Directory not empty f"
  "rename @@ mv $X/dir/f $X/dir/g @@ ls $docu/dir @@ g"
  "rename over a file @@ echo h > $X/dir/h && mv $X/dir/g $X/dir/h @@ cat $docu/dir/h; ls $docu/dir @@ f h"
  "times @@ touch -d '2001-02-03 04:05:06' $X/dir/h @@ stat -c %y $docu/dir/h @@ 2001-02-03 04:05:06.000000000 +0000"
  "rmdir @@ rm $X/dir/h && rmdir $X/dir @@ ls $docu @@ m1.txt new.txt small"
  "names outside ASCII @@ echo ü > '$X/Grüße ñ €.txt' @@ cat '$docu/Grüße ñ €.txt' @@ ü"
  "statfs @@ stat -f -c '%b %S' $X/ | awk '{print \$1 * \$2}' @@ stat -f -c '%b %S' $docu | awk '{print \$1 * \$2}' @@ SAME"
  "EEXIST @@ mkdir $X/small 2>&1 | sed 's/.*: //' @@ true @@ File exists"
  "ENOENT @@ cat $X/nosuch 2>&1 | sed 's/.*: //' @@ true @@ No such file or directory"
  "ENOSPC @@ small_file 2>&1 | sed 's/.*: //' @@ true @@ No space left on device"
  "EACCES on a read-only share @@ (echo x >> $copy/dosdevices/v:/ro.txt) 2>&1 | sed 's/.*: //' @@ cat $work/server/shares/ro/ro.txt @@ Permission denied ro"
)
for row in "${cases[@]}"; do
  IFS=$'\x1f' read -r name action check want <<< "${row// @@ /$'\x1f'}"
  said=$(eval "$action" 2>&1)
  found=$(eval "$check" 2>&1)
  [ "$want" = SAME ] && want="$found $found"
  [ "$(echo $said $found)" = "$want" ] || fail "$name: got \"$(echo $said $found)\", wanted \"$want\""
done
ok "${#cases[@]} cases of a mapped drive's semantics, each as the server's folder has it afterwards"

truncate -s 4608M "$docu/sparse.bin"
printf 'past 4 GiB' | dd of="$docu/sparse.bin" bs=1 seek=4831838200 conv=notrunc 2> /dev/null
mkdir "$docu/many" && (cd "$docu/many" && seq -f 'entry%g' 1 2000 | xargs touch)
chown -R 4711:4711 "$docu"
[ "$(dd if="$X/sparse.bin" bs=1 skip=4831838200 count=10 2> /dev/null)" = "past 4 GiB" ] ||
  fail "a read past 4 GiB"
[ "$(ls "$X/many" | wc -l)" -eq 2000 ] && [ "$(ls -l "$X/many" | grep -c entry)" -eq 2000 ] ||
  fail "2,000 entries not listed"
ok "a file past 4 GiB is read at its end, and a folder of 2,000 entries is listed"

# A refused append fails alone: the same server answers the next reads.
for i in 1 2 3 4 5; do
  ! (echo x >> "$copy/dosdevices/v:/ro.txt") 2> /dev/null || fail "an append to a read-only share succeeded"
  [ "$(cat "$X/m1.txt")" = hello ] || fail "read $i right after a refused append failed"
done
ok "an append the server refuses fails alone: 5 of 5 reads on the same server right after succeed"
no_password_anywhere
ok "the password is in no command line, no environment, no output, no file"

wait_for 'Checking ready' 15 2
[ "$(grep -cF 'Checking: \\fileserver\visu' "$out")" -eq 1 ] || fail "the refused logon was tried again early"
ok "a refused logon gets no early retry"
stop_and_verify_clean "five shares"
ok "SIGTERM ends everything within a second"

# Faults, on a station whose shares all connect: two servers, no early retries.
station "X=\\\\fileserver\\docu=station=$password" "W=\\\\plc\\data=station=$password"
start
W=$copy/dosdevices/w:
smb_server_pause fileserver
started=$(date +%s%N)
cat "$X/m1.txt" > /dev/null 2>&1 & reader=$!
sleep 0.2
for i in 1 2 3 4 5; do [ "$(cat "$W/m1.txt")" = data ] || fail "the other server did not answer while one was silent"; done
[ "$(ms_since "$started")" -lt 1500 ] || fail "the other server answered only after $(ms_since "$started") ms"
wait "$reader" && fail "a read from a silent server succeeded"
elapsed=$(ms_since "$started")
[ "$elapsed" -lt 7000 ] || fail "a read from a silent server took $elapsed ms"
smb_server_resume fileserver
ok "a silent server gives no answer within its timeout, and holds up no other server (read failed after $elapsed ms)"

head -c 300000000 /dev/zero > "$docu/long.bin" && chown 4711:4711 "$docu/long.bin"
before=$(checks)
started=$(date +%s%N)
(cat "$X/long.bin" > /dev/null 2>&1; echo $? > "$work/read.status") &
reader=$!
sleep 0.2
smb_server_stop fileserver
wait "$reader"
[ "$(cat "$work/read.status")" -ne 0 ] || fail "the read went on although the server stopped"
[ "$(ms_since "$started")" -lt 4000 ] || fail "the read failed only after $(ms_since "$started") ms"
smb_server_start fileserver || fail "the server did not start again"
[ "$(cat "$X/m1.txt")" = hello ] || fail "no read after the server was back"
[ "$(checks)" -eq "$before" ] || fail "a check ran in between"
ok "a server stopped during a read fails the read at once, and the next read after its restart succeeds without a check"

before=$(checks)
status_before=$(cat "$status_file")
pkill -KILL -f "^$smbfs( |\$)"
started=$(date +%s%N)
until [ "$(cat "$X/m1.txt" 2> /dev/null)" = hello ]; do
  [ "$(ms_since "$started")" -lt 3000 ] || fail "X: not read again within 3 s of the file system's end"
  sleep 0.05
done
[ "$(cat "$W/m1.txt")" = data ] || fail "W: not served again"
[ "$(checks)" -eq "$before" ] || fail "a check ran in between"
[ "$(cat "$status_file")" = "$status_before" ] || fail "the status file changed"
for server in fileserver plc; do
  [ "$(grep -c "Fault by vodu-tavisto-smbfs: ended by signal 9 (Killed), serving \\\\\\\\$server" "$out")" -eq 1 ] ||
    fail "the end of $server's file system was not named once"
done
ok "a killed file system is named once for each server and serves again within $(ms_since "$started") ms, without a check and with the status unchanged"

[ "$(helpers)" -eq 2 ] || fail "not one helper for each server runs: $(pgrep -af vodu-tavisto-smb)"
kill -KILL "$pid"
wait "$pid" 2> /dev/null
pid=""
for _ in $(seq 1 40); do [ "$(helpers)" -eq 0 ] && break; sleep 0.05; done
[ "$(helpers)" -eq 0 ] || fail "a helper outlived the program killed with SIGKILL: $(pgrep -af vodu-tavisto-smb)"
ok "no helper outlives the program, not even one killed with SIGKILL"

start
kill -STOP "$pid"
pkill -KILL -f "^$smbfs( |\$)"
kill -KILL "$pid"
wait "$pid" 2> /dev/null
pid=""
grep -q vodu-tavisto-shares /proc/self/mountinfo || fail "no stale mount was made for the test"
start
[ "$(cat "$X/m1.txt")" = hello ] || fail "X: not connected over a stale mount"
[ "$(ls "$runtime" | wc -l)" -eq 1 ] || fail "the killed program's runtime folder is left: $(ls "$runtime")"
no_password_anywhere
stop_and_verify_clean "after a stale mount"
ok "a new start clears the stale mount and the killed program's runtime folder"

# A server that speaks only SMB1: named as such, and connected where the station's own
# client settings allow SMB1.
station "U=\\\\oldplc\\data=station=$password"
start
grep -qxF '  error 93: oldplc speaks only SMB1, which this host'"'"'s SMB client does not allow' <(lines) ||
  fail "no reason for the SMB1 server"
stop_and_verify_clean "SMB1 refused"
printf '[global]\nclient min protocol = NT1\n' > "$work/smb.conf"
mkdir -p /etc/samba && touch /etc/samba/smb.conf && mount --bind "$work/smb.conf" /etc/samba/smb.conf
start
[ "$(cat "$copy/dosdevices/u:/m1.txt" 2> /dev/null)" = old ] ||
  fail "the SMB1 share was not served where the station allows SMB1: $(lines | tail -n 3)"
umount /etc/samba/smb.conf
stop_and_verify_clean "SMB1 allowed"
ok "a server that speaks only SMB1 says so, and is connected where the station allows SMB1"

# A station's own client settings as a newer Samba's or a debugging engineer's may be:
# the library's lines reach standard error, never an answer.
# (The library takes no log level from smb.conf: that case only must not break anything.)
for row in "client quic policy = desired@@Ignoring unknown parameter" "log level = 3@@"; do
  printf '[global]\n%s\n' "${row%@@*}" > "$work/smb.conf"
  mount --bind "$work/smb.conf" /etc/samba/smb.conf
  station "X=\\\\fileserver\\docu=station=$password" "W=\\\\plc\\data=station=$password"
  : > "$err"
  start
  [ "$(cat "$X/m1.txt" "$copy/dosdevices/w:/m1.txt" 2> /dev/null)" = $'hello\ndata' ] ||
    fail "not served with \"${row%@@*}\" in the station's smb.conf: $(lines | tail -n 3)"
  [ -z "${row#*@@}" ] || grep -qF "${row#*@@}" "$err" ||
    fail "the library's \"${row#*@@}\" did not reach standard error"
  only_log_lines
  umount /etc/samba/smb.conf
  stop_and_verify_clean "${row%@@*}"
done
ok "a station smb.conf with a parameter this Samba does not know, or a log level, serves all the same"

# An open file whose connection is lost (the server restarted) is opened again where it
# is now, or is stale: never another file in its place; an append lands at the end of
# the open file even where it may only be written.
station "X=\\\\fileserver\\docu=station=$password"
start
for name in a b c; do echo "$name" > "$docu/$name.txt"; done
printf 'start\n' > "$docu/wo.txt"
chown 4711:4711 "$docu"/*.txt && chmod 0200 "$docu/wo.txt"
exec 5< "$X/a.txt" 6<&5 7< "$X/b.txt" 8< "$X/c.txt" 9>> "$X/wo.txt"
echo one >&9
exec 3>&9 5<&- 9>&-  # a descriptor of a and of wo closed, one of each still open
mv "$X/a.txt" "$X/a2.txt" && mv "$X/wo.txt" "$X/wo2.txt" || fail "a file whose descriptor was closed was not renamed"
mv "$docu/b.txt" "$docu/b2.txt"  # elsewhere
rm "$docu/c.txt" && echo other > "$docu/c.txt" && echo short > "$docu/wo.txt"
smb_server_stop fileserver
smb_server_start fileserver || fail "the server did not start again"
echo two >&3 || fail "an append after the server's restart failed"
[ "$(cat <&6)" = a ] || fail "a file renamed through the mount was not read where it is now"
# A read alone, without cat's fstat: the kernel asks a descriptor's attributes by its
# path, where the file renamed elsewhere no longer is (ENOENT) and c.txt is another file.
for fd in 7 8; do
  read_said=$(python3 -c 'import os, sys
try:
    print("read %r" % os.read(int(sys.argv[1]), 64))
except OSError as error:
    print(os.strerror(error.errno))' "$fd")
  [ "$read_said" = "Stale file handle" ] || fail "descriptor $fd: $read_said"
done
exec 3>&- 6<&- 7<&- 8<&-
[ "$(cat "$docu/wo2.txt")" = $'start\none\ntwo' ] || fail "the append landed elsewhere: $(cat -A "$docu/wo2.txt")"
stop_and_verify_clean "reopened"
ok "a renamed file is read where it is now, one renamed or replaced elsewhere is stale, an append on a write-only handle lands at its end"

# Servers as a modern Windows client meets them, each its own smbd: signing mandatory,
# encryption required, SMB 3.1.1 only and a DFS link to another server connect and read;
# a guest session (a wrong password mapped to the guest, a share for guests only) and a
# server that refuses NTLM are refused, each with its reason.
smb_server_add signing 127.0.0.4 'server signing = mandatory' 'valid users = station' data
smb_server_add sealed 127.0.0.5 'server smb encrypt = required' 'valid users = station' data
smb_server_add smb311 127.0.0.6 'server min protocol = SMB3_11' 'valid users = station' data
smb_server_add dfsroot 127.0.0.7 'host msdfs = yes' $'valid users = station\nmsdfs root = yes' data
smb_server_add guestpw 127.0.0.8 'map to guest = Bad Password' 'guest ok = yes' data
smb_server_add guestonly 127.0.0.9 'map to guest = Bad User' $'guest ok = yes\nguest only = yes' data
smb_server_add krbonly 127.0.0.10 'ntlm auth = disabled' 'valid users = station' data
policies=(signing sealed smb311 dfsroot guestpw guestonly krbonly)
servers+=("${policies[@]}")
for server in "${policies[@]}"; do
  echo "$server" > "$work/server/$server/shares/data/m1.txt"
  chown 4711:4711 "$work/server/$server/shares/data/m1.txt"
  smb_server_start "$server" || fail "$server did not start"
done
ln -s 'msdfs:plc\data' "$work/server/dfsroot/shares/data/plc"
station "P=\\\\signing\\data=station=$password" "Q=\\\\sealed\\data=station=$password" \
  "R=\\\\smb311\\data=station=$password" "S=\\\\dfsroot\\data=station=$password" \
  "T=\\\\guestpw\\data=station=not-the-password"
start
D=$copy/dosdevices
[ "$(cat "$D/p:/m1.txt" "$D/q:/m1.txt" "$D/r:/m1.txt" "$D/s:/plc/m1.txt" 2>&1)" = $'signing\nsealed\nsmb311\ndata' ] ||
  fail "a server of the policies that must connect did not serve: $(lines | grep -A1 Fault)"
stop_and_verify_clean "policies that connect"
station "T=\\\\guestpw\\data=station=not-the-password" "U=\\\\guestonly\\data=nobody=x" \
  "V=\\\\krbonly\\data=station=$password"
start
expected="  error 13: guestpw offered only guest access, which this station refuses (as Windows does)
  error 13: guestonly offered only guest access, which this station refuses (as Windows does)
  error 13: krbonly refused an NTLM logon (it takes Kerberos only)"
[ "$(lines | grep '^  error')" = "$expected" ] || fail "the refusals: $(lines | grep '^  error')"
only_log_lines
[ "$(tr -d '\r' < "$status_file")" = $'[Machine1]\nNetOK1=false\nNetOK2=false\nNetOK3=false' ] ||
  fail "status file: $(cat -A "$status_file")"
stop_and_verify_clean "policies that are refused"
ok "signing mandatory, encryption required, SMB 3.1.1 only and DFS connect and read; guests and a server without NTLM are refused, each with its reason"

echo "$passed passed, 0 failed"
