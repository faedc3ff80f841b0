#!/usr/bin/env bash
# The window watch of the native host on Xvfb: one lookup among 100 and among 1,000
# top-level windows, without a window manager and with openbox (Google Benchmark), and
# the CPU the program uses while it watches a window for SECONDS (default 60).
#
#   bench/window_bench.sh BUILD_DIR [SECONDS]
set -euo pipefail
build=$(realpath "$1")
seconds=${2:-60}
work=$(mktemp -d)
xvfb=""
trap '[ -n "$xvfb" ] && kill "$xvfb" 2> /dev/null; rm -rf "$work"' EXIT
display() {
  : > "$work/display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp > /dev/null 2>&1 3> "$work/display" &
  xvfb=$!
  for _ in $(seq 1 100); do [ -s "$work/display" ] && break; sleep 0.05; done
  export DISPLAY=:$(head -n 1 "$work/display")
}
display
echo "-- without a window manager"
"$build/bench/window_bench" --benchmark_min_time=1
kill "$xvfb"; wait "$xvfb" 2> /dev/null || true
display
HOME=$work openbox --sm-disable > /dev/null 2>&1 &
sleep 0.5
echo "-- with openbox"
"$build/bench/window_bench" --benchmark_min_time=1

station=$work/station
mkdir -p "$station/dosdevices" "$station/drive_c/Zembrik/Parameter" "$station/drive_c/Zembrik/Documentation"
ln -s ../drive_c "$station/dosdevices/c:"
printf '[Project]\r\nNumberOfMachines=1\r\nVWStudio=false\r\n' > "$station/drive_c/Zembrik/Parameter/Program.ini"
: > "$station/drive_c/Zembrik/Documentation/Documentation_Customer.cfg"
coproc HOLD { "$build/bench/window_bench" --hold Vwwebbrowser; }
read -r _ <&"${HOLD[0]}"
WINEPREFIX=$station "$build/vodu-tavisto" > /dev/null 2>&1 &
pid=$!
sleep "$seconds"
kill -0 "$pid" || { echo "the program did not keep watching"; exit 1; }
read -r -a fields < "/proc/$pid/stat"
kill -TERM "$pid"; wait "$pid" || true
eval "exec ${HOLD[1]}>&-"
ticks=$(getconf CLK_TCK)
echo "CPU while watching a window for $seconds s (a lookup every 2 s, start-up included):" \
  "$(( (fields[13] + fields[14]) * 1000 / ticks )) ms"
