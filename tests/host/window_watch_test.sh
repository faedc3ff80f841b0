#!/usr/bin/env bash
# The native host watches the visualisation's window on the X server DISPLAY names, as
# the Windows build watches it: on Xvfb without a window manager, with openbox (which
# reparents and keeps _NET_CLIENT_LIST) and with twm (which keeps none). For each: the
# program's own lookup against windows titled every way a title is set, then the watch's
# cases with the program itself; an X server stopped for a while, for good and before
# the start (without a window manager); and a display that cannot be opened.
#
#   window_watch_test.sh BINARY X_WINDOWS FIND_WINDOW
set -uo pipefail
binary=$(realpath "$1")
x_windows=$(realpath "$2")
find_window=$(realpath "$3")
for tool in Xvfb openbox twm; do
  command -v "$tool" > /dev/null ||
    { echo "FAIL: missing $tool (scripts/setup installs xvfb, openbox and twm)"; exit 1; }
done

work=$(mktemp -d)
xvfb=""
wm=""
pid=""
windows=""
cleanup() {
  [ -n "$pid" ] && kill -KILL "$pid" 2> /dev/null
  [ -n "$windows" ] && kill "$windows" 2> /dev/null
  [ -n "$wm" ] && kill "$wm" 2> /dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2> /dev/null
  wait 2> /dev/null
  rm -rf "$work"
}
trap cleanup EXIT
passed=0
fail() { echo "FAIL ($manager): $*"; [ -f "$work/err" ] && { echo "--- stderr"; cat "$work/err"; }; exit 1; }
ok() { passed=$((passed + 1)); echo "ok ($manager): $*"; }
export HOME=$work  # the window managers' own files

start_display() {
  : > "$work/display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp > /dev/null 2>&1 3> "$work/display" &
  xvfb=$!
  for _ in $(seq 1 100); do [ -s "$work/display" ] && break; sleep 0.05; done
  [ -s "$work/display" ] || fail "Xvfb did not start"
  export DISPLAY=:$(head -n 1 "$work/display")
  case $manager in
    openbox) openbox --sm-disable > /dev/null 2>&1 & wm=$! ;;
    # twm waits for a click to place each window, while it grabs the server, unless told not to.
    twm) printf 'RandomPlacement\nNoGrabServer\nNoTitleFocus\n' > "$work/twmrc"
         twm -f "$work/twmrc" > /dev/null 2>&1 & wm=$! ;;
  esac
  sleep 0.5
  coproc WINDOWS { exec "$x_windows"; }
  windows=$WINDOWS_PID
}
stop_display() {
  eval "exec ${WINDOWS[1]}>&-"
  wait "$windows" 2> /dev/null; windows=""
  [ -n "$wm" ] && { kill "$wm" 2> /dev/null; wait "$wm" 2> /dev/null; wm=""; }
  kill "$xvfb" 2> /dev/null; wait "$xvfb" 2> /dev/null; xvfb=""
}
# Sends the helper a command and echoes its answer (the window's id for open).
window() {
  local answer
  echo "$*" >&"${WINDOWS[1]}"
  read -r -t 10 -u "${WINDOWS[0]}" answer || fail "no answer to \"$*\""
  echo "${answer#* }"
}
# A station of its own with no shares; the watched title from VWStudio.
start() {
  local studio=$1 station=$work/station-$RANDOM
  mkdir -p "$station/dosdevices" "$station/drive_c/Zembrik/Parameter" "$station/drive_c/Zembrik/Documentation"
  ln -s ../drive_c "$station/dosdevices/c:"
  printf '[Project]\r\nNumberOfMachines=1\r\nVWStudio=%s\r\n' "$studio" > "$station/drive_c/Zembrik/Parameter/Program.ini"
  : > "$station/drive_c/Zembrik/Documentation/Documentation_Customer.cfg"
  WINEPREFIX=$station "$binary" > "$work/out" 2> "$work/err" &
  pid=$!
  for _ in $(seq 1 100); do grep -q 'Checking ready' "$work/out" && return 0; sleep 0.05; done
  fail "the program did not start"
}
# Whether the program has ended within $1 ms; its exit status in $status.
ended_within() {
  local deadline=$(( $(date +%s%N) + $1 * 1000000 ))
  while kill -0 "$pid" 2> /dev/null; do
    [ "$(date +%s%N)" -lt "$deadline" ] || return 1
    sleep 0.05
  done
  status=0
  wait "$pid" || status=$?
  pid=""
  return 0
}
runs_on() {
  ! ended_within 2500 || fail "the program ended ($*)"
  kill -TERM "$pid"; wait "$pid"; pid=""
}

for manager in none openbox twm; do
  start_display
  # The program's lookup: each window made one way, each title looked for.
  alpha=$(window open alpha wm Alpha)
  beta=$(window open beta net Beta)
  gamma=$(window open gamma net,wm Gamma)
  upper=$(window open upper net VWWEBBROWSER)
  window open longer net "Delta and more" > /dev/null
  greek=$(window open greek net Größe Ωmega)
  latin=$(window open latin wm Grüße)
  hidden=$(window open hidden hidden,net Hidden one)
  compound=$(window open compound ct Compound)
  window open desktop net "Station - Wine desktop" > /dev/null
  epsilon=$(window open epsilon net,in=desktop Epsilon)
  sleep 0.3  # the window manager takes them in
  lookups=(
    "Alpha=$alpha"                  # WM_NAME only
    "Beta=$beta"                    # _NET_WM_NAME only
    "Gamma=$gamma"                  # both
    "Vwwebbrowser=$upper"           # in another letter case
    "Delta=0"                       # only contains it
    "größe ωMEGA=$greek"            # outside ASCII, UTF-8
    "GRÜSSE=0"                      # no such title: case folding is letter by letter
    "grüße=$latin"                  # Latin-1
    "Hidden one=$hidden"            # never shown
    "Compound=$compound"            # COMPOUND_TEXT, as far as it is Latin-1
    "Epsilon=$epsilon"              # on Wine's virtual desktop
  )
  titles=(); wanted=""
  for row in "${lookups[@]}"; do titles+=("${row%=*}"); wanted+="${row##*=}"$'\n'; done
  found=$("$find_window" "${titles[@]}")
  # Under a window manager a found window may be its frame; found or not is what counts.
  [ "$(sed 's/^[1-9][0-9]*$/1/' <<< "$found")" = "$(sed 's/^[1-9][0-9]*$/1/' <<< "${wanted%$'\n'}")" ] ||
    fail "lookups: got $(echo $found), wanted $(echo $wanted) for ${titles[*]}"
  [ "$manager" != none ] || [ "$found" = "${wanted%$'\n'}" ] || fail "lookups found other windows"
  for name in alpha beta gamma upper longer greek latin hidden compound epsilon desktop; do
    window close "$name" > /dev/null
  done
  ok "${#lookups[@]} lookups, each title set its own way"

  # The watch: armed when the window is there at start, ended at its close.
  window open browser net Vwwebbrowser > /dev/null
  start false
  window close browser > /dev/null
  ended_within 2500 || fail "still running 2.5 s after Vwwebbrowser closed"
  [ "$status" -eq 0 ] || fail "exit status $status"
  ok "closing the watched window ends the program with status 0"

  window open browser net Vwwebbrowser > /dev/null
  start true
  window close browser > /dev/null
  runs_on "VWStudio true watches DERuvezo, not Vwwebbrowser"
  window open studio net DERuvezo > /dev/null
  start false
  window close studio > /dev/null
  runs_on "VWStudio false watches Vwwebbrowser, not DERuvezo"
  ok "only the window VWStudio names is watched"

  start false
  window open browser net Vwwebbrowser > /dev/null
  sleep 2.2
  window close browser > /dev/null
  runs_on "a window opened after start-up"
  ok "a window opened only after start-up is never watched"

  window open browser net Vwwebbrowser > /dev/null
  start false
  window close browser > /dev/null
  window open browser2 net vwwebbrowser > /dev/null
  ! ended_within 3000 || fail "ended although a window of that title was there again"
  window close browser2 > /dev/null
  ended_within 2500 || fail "still running 2.5 s after the second window closed"
  ok "a window closed and another of that title opened runs on, until that one closes"

  window open browser net Vwwebbrowser > /dev/null
  start false
  { kill -KILL "$xvfb"; wait "$xvfb"; } 2> /dev/null
  ended_within 2500 || fail "still running 2.5 s after the X server went away"
  [ "$status" -eq 0 ] || fail "exit status $status after the X server went away"
  ok "the X server going away ends a watching program with status 0"
  stop_display
done

# A busy or stopped X server (compositing, swapping, a driver reset) ends nothing: a
# lookup without an answer is asked again; only one that answers none, a broken
# connection or 30 s without any answer end the program. Without a window manager.
manager=none
start_display
window open browser net Vwwebbrowser > /dev/null
start false
for pause in 4 20; do
  kill -STOP "$xvfb"; sleep "$pause"; kill -CONT "$xvfb"
  ! ended_within 3000 || fail "ended after the X server was stopped for $pause s (status $status)"
done
ok "the X server stopped for 4 s and for 20 s while the window is there: the program runs on"
kill -STOP "$xvfb"
ended_within 35000 || fail "still running 35 s after the X server stopped for good"
[ "$status" -eq 0 ] || fail "exit status $status after the X server stopped for good"
kill -CONT "$xvfb"
ok "the X server stopped for good: the program ends within 35 s, status 0"
kill -STOP "$xvfb"
start false
[ "$(grep -c 'does not answer' "$work/err")" -eq 1 ] || fail "not one line on standard error: $(cat "$work/err")"
kill -CONT "$xvfb"
runs_on "an X server stopped before start-up"
ok "an X server stopped before start-up: start-up and the first check go on, one line on standard error"
stop_display

export DISPLAY=:77
start false
runs_on "a display that cannot be opened"
[ "$(grep -c 'DISPLAY' "$work/err")" -eq 1 ] || fail "not one line on standard error: $(cat "$work/err")"
unset DISPLAY
start false
runs_on "without DISPLAY"
[ ! -s "$work/err" ] || fail "something on standard error without DISPLAY: $(cat "$work/err")"
ok "a display that cannot be opened is said once and the program runs unwatched; without DISPLAY nothing is said"

echo "$passed passed, 0 failed"
