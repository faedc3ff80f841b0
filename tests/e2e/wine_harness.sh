# What the Wine scenarios share, sourced by each test script: the virtual display, the
# sample station in a prefix, the bookkeeping of scenarios, and scenarios in fresh
# prefixes. The script sets `work` (a folder of its own) first; for fresh prefixes also
# `station`, `base_overrides`, `app_files` (what goes to C:\app) and `double` (the
# mpr.dll stand-in).

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

# The status file when every share could be connected (through the mpr.dll stand-in).
sample_connected_status='[Machine1]
NetOK1=true
NetOK2=true
NetOK4=true
[Machine2]
NetOK1=true
NetOK2=true'

# The window's lines after that check, newest first: Wine's router answers 1222 to every
# connect; the reason line gives the system's text, which is Wine's own here (Windows
# says "The network is not present or not started.").
sample_first_lines='Checking ready 2 faults
  error 1222: No network.
Fault by generate: \\oldserver\backup
Generate: \\oldserver\backup
Checking: \\oldserver\backup
  error 1222: No network.
Fault by generate: \\fileserver\archive
Generate: \\fileserver\archive
Checking: \\fileserver\archive
Checking: \\fileserver\docu
Initialisize'

# The driver's `items` output (a count, then the lines with their time) as bare lines.
list_lines() { tail -n +2 | grep -v '^$' | sed -E 's/^[^ ]+( [AP]M)? //'; }

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
expect_contains() {  # what, text, part
  case "$2" in *"$3"*) ;; *) fail "$1: [$3] not in [$2]" ;; esac
}

# The booted prefix that every scenario starts from: made once, under the build folder,
# and made afresh when the installed Wine changes. Test scripts that run side by side
# take turns through a lock, so only one of them boots it. A boot that fails ends the
# script with its log. Sets `template`.
wine_template_root=${VODU_WINE_TEMPLATE:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/build/wine-template}
prepare_template() {
  local version lock status
  version=$(dpkg-query -W -f '${Version}' wine64 2>/dev/null || wine --version)
  mkdir -p "$wine_template_root"
  exec {lock}> "$wine_template_root/lock"
  flock "$lock"
  if [ "$(cat "$wine_template_root/ready" 2>/dev/null)" != "$version" ]; then
    rm -rf "$wine_template_root/prefix" "$wine_template_root/ready"
    mkdir -p "$wine_template_root/prefix"
    # No Mono or Gecko installer dialogs, no menu entries on the machine.
    WINEPREFIX="$wine_template_root/prefix" WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=" \
      timeout 180 wineboot -i > "$wine_template_root/boot.log" 2>&1
    status=$?
    WINEPREFIX="$wine_template_root/prefix" timeout 60 wineserver -w
    if [ "$status" -ne 0 ] || [ ! -s "$wine_template_root/prefix/system.reg" ]; then
      echo "FAIL: the Wine prefix did not boot (wineboot exited $status):"
      sed 's/^/  /' "$wine_template_root/boot.log" | tail -n 40
      exec {lock}>&-
      exit 1
    fi
    echo "$version" > "$wine_template_root/ready"
  fi
  exec {lock}>&-
  template=$wine_template_root/prefix
}

# A copy of the booted prefix at PATH.
copy_template() {  # PATH
  [ -n "${template:-}" ] || prepare_template
  cp -a --reflink=auto "$template" "$1"
}

# A fresh prefix with the sample station: drive_c/Zembrik, the shares under
# dosdevices/unc, K: on \\fileserver\docu, and the app files in C:\app.
new_prefix() {
  prefix=$work/$1
  copy_template "$prefix"
  add_sample_station "$station" "$prefix"
  mkdir -p "$prefix/drive_c/app"
  cp "${app_files[@]}" "$prefix/drive_c/app/"
}

overrides=${base_overrides:-}
use_mpr_double() {
  cp "$double" "$prefix/drive_c/app/"
  overrides="$base_overrides;mpr=n,b"
}

# The customer file of a scenario in which only what the scenario does starts an early
# check: the ordinary schedule an hour, no retries after faults, no watch between checks.
quiet_schedule() {
  sed -i 's/^UpdateInterval=.*/UpdateInterval=60\r/; s/^RetryAfterFaultSeconds=.*/RetryAfterFaultSeconds=0\r/;
          s/^WatchSharesSeconds=.*/WatchSharesSeconds=0\r/' \
    "$prefix/drive_c/Zembrik/Documentation/Documentation_Customer.cfg"
}

# The program under test, started by `program_loader` (wine unless the script says).
start_program() {  # [EXE], the product by default
  WINEPREFIX="$prefix" WINEDLLOVERRIDES=$overrides "${program_loader:-wine}" "C:\\app\\${1:-VoduTavisto.exe}" \
    > "$prefix.program.log" 2>&1 &
  program_pid=$!
}

# The driver, with a time limit of its own (drive_time_limit, 60 s unless the script
# says); its output without carriage returns, each line passed on as it comes (a
# driver that holds something says so before it ends).
drive() {
  WINEPREFIX="$prefix" WINEDLLOVERRIDES=$base_overrides timeout "${drive_time_limit:-60}" \
    wine 'C:\app\e2e_driver.exe' "$@" 2>/dev/null | sed -u 's/\r//g'
  return "${PIPESTATUS[0]}"
}

# Waits at most SECONDS for the program to end; sets `ended` to its exit status, or to
# "running". (Not in a subshell: only this shell can wait for its child.)
wait_program() {
  local seconds=$1
  ended=running
  for _ in $(seq 1 $((seconds * 10))); do
    if ! kill -0 "$program_pid" 2>/dev/null; then
      wait "$program_pid"
      ended=$?
      return
    fi
    sleep 0.1
  done
}

# The text of the program's message box, once it shows (15 s at most).
wait_message_box() {
  local text
  for _ in $(seq 1 30); do
    text=$(drive message-box) && { echo "$text"; return 0; }
    sleep 0.5
  done
  return 1
}

status_file() { tr -d '\r' < "$prefix/drive_c/Zembrik/Documentation/Documentation_Tavisto.ini" 2>/dev/null; }

end_scenario() {
  WINEPREFIX="$prefix" wineserver -k 2>/dev/null
  WINEPREFIX="$prefix" timeout 30 wineserver -w 2>/dev/null
  count_scenario || { echo "    program output:"; sed 's/^/      /' "$prefix.program.log" | head -20; }
  rm -rf "$prefix" "$prefix".*.log
  prefix=""
  overrides=$base_overrides
}
