# A mount whose server never answers (silent_fs.py), for the tests that source this:
# start_silent_mount MOUNTPOINT LOG mounts it (or says why not, and fails);
# stop_silent_mount stops the file system by its process id and aborts its
# connection, so no process is left waiting on it; main_thread_gone waits for a
# process's own thread to end while another of its threads may still wait on the mount.

silent_mount=""
silent_fs_pid=""

silent_mount_problem() {
  [ -c /dev/fuse ] || { echo "no /dev/fuse"; return; }
  /usr/bin/python3 -c 'import fusepy' 2>/dev/null ||
    { echo "no python3-fusepy (Debian's, for /usr/bin/python3)"; return; }
}

start_silent_mount() {  # MOUNTPOINT LOG
  local problem
  problem=$(silent_mount_problem)
  [ -z "$problem" ] || { echo "$problem"; return 1; }
  silent_mount=$1
  /usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/silent_fs.py" "$1" > "$2" 2>&1 &
  silent_fs_pid=$!
  for _ in $(seq 1 50); do mountpoint -q "$1" && return 0; sleep 0.1; done
  echo "FUSE cannot be mounted here: $(head -c 300 "$2")"
  return 1
}

stop_silent_mount() {
  [ -n "$silent_mount" ] || return 0
  local device
  device=$(stat -c %d "$silent_mount" 2>/dev/null)
  if [ -n "$silent_fs_pid" ]; then
    kill -KILL "$silent_fs_pid" 2>/dev/null
    { wait "$silent_fs_pid"; } 2>/dev/null
  fi
  # An aborted connection no longer answers a stat: the mount table says it is there.
  if [ -n "$device" ] && grep -q " $silent_mount fuse" /proc/mounts; then
    # The connection's number is the mount's device minor.
    [ -d /sys/fs/fuse/connections ] && [ -z "$(ls /sys/fs/fuse/connections)" ] &&
      mount -t fusectl fusectl /sys/fs/fuse/connections 2>/dev/null
    local minor=$(((device & 0xff) | ((device >> 12) & 0xfff00)))
    [ -w "/sys/fs/fuse/connections/$minor/abort" ] &&
      echo 1 > "/sys/fs/fuse/connections/$minor/abort"
    umount -l "$silent_mount" 2>/dev/null || fusermount3 -uz "$silent_mount" 2>/dev/null
  fi
  silent_mount=""
  silent_fs_pid=""
}

# Whether the main thread of process PID has ended within SECONDS: gone, or a zombie
# whose other thread the kernel keeps waiting on the mount. Sets `main_thread_state`.
main_thread_gone() {  # PID SECONDS
  for _ in $(seq 1 $(($2 * 10))); do
    main_thread_state=$(awk '{ print $3 }' "/proc/$1/task/$1/stat" 2>/dev/null)
    case "$main_thread_state" in "" | Z) return 0 ;; esac
    sleep 0.1
  done
  return 1
}
