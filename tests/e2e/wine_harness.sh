# What the Wine scenarios share, sourced by each test script: the virtual display and
# the bookkeeping of scenarios. The script sets `work` (a folder of its own) first.

# The virtual display, on a free number that Xvfb chooses itself; sets DISPLAY and
# xvfb_pid.
start_virtual_display() {
  exec 3> "$work/display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp > "$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 1 50); do [ -s "$work/display" ] && break; sleep 0.1; done
  export DISPLAY=":$(head -n 1 "$work/display")"
}

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
