# What the Wine scenarios share, sourced by each test script: the virtual display, the
# sample station in a prefix, and the bookkeeping of scenarios. The script sets `work`
# (a folder of its own) first.

# The virtual display, on a free number that Xvfb chooses itself; sets DISPLAY and
# xvfb_pid.
start_virtual_display() {
  exec 3> "$work/display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp > "$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 1 50); do [ -s "$work/display" ] && break; sleep 0.1; done
  export DISPLAY=":$(head -n 1 "$work/display")"
}

# The sample station in a prefix: its folder (C:\Zembrik, or C:\FOLDER), its shares
# under dosdevices/unc, and K: on \\fileserver\docu.
add_sample_station() {  # STATION_DIR PREFIX [FOLDER]
  cp -a "$1/drive_c/Zembrik" "$2/drive_c/${3:-Zembrik}"
  cp -a "$1/dosdevices/unc" "$2/dosdevices/"
  ln -sfn unc/fileserver/docu "$2/dosdevices/k:"
}

# The status file the first check on the sample station writes: K: is there, L: and M:
# cannot be connected under Wine.
sample_first_status='[Machine1]
NetOK1=true
NetOK2=false
NetOK4=false
[Machine2]
NetOK1=true
NetOK2=false'

passed=0
failed=0
scenario_ok=1
fail() {
  echo "    FAIL: $*"
  scenario_ok=0
}
expect_eq() {  # what, actual, expected
  [ "$2" = "$3" ] || fail "$1: got [$2], expected [$3]"
}
# Counts the scenario that ends; fails (status 1) when it failed, so the caller can
# show what it has.
count_scenario() {
  local ok=$scenario_ok
  scenario_ok=1
  if [ "$ok" = 1 ]; then
    passed=$((passed + 1))
    echo "    ok"
  else
    failed=$((failed + 1))
    return 1
  fi
}
