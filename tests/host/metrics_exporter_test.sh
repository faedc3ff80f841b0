#!/usr/bin/env bash
# The metrics file as the plant reads it: the native host on a copy of the sample
# station writes it, Debian's node_exporter (textfile collector only, on 127.0.0.1) serves
# it, and the scrape has every series with its value; promtool checks the file and tests
# the alert rules.
#
#   metrics_exporter_test.sh BINARY STATION PROMETHEUS_EXAMPLES VERSION
set -uo pipefail
binary=$1
station=$2
examples=$3
version=$4
exporter=$(command -v prometheus-node-exporter || command -v node_exporter) ||
  { echo "missing node_exporter (Debian's prometheus-node-exporter)"; exit 1; }
command -v promtool >/dev/null || { echo "missing promtool (Debian's prometheus)"; exit 1; }

work=$(mktemp -d)
pid=""
exporter_pid=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null
  [ -n "$exporter_pid" ] && kill "$exporter_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  [ -f "$work/scrape.txt" ] && { echo "--- scrape"; grep -v '^#' "$work/scrape.txt" | head -40; }
  [ -f "$copy/out.txt" ] && { echo "--- program"; cat "$copy/out.txt"; }
  exit 1
}

copy=$work/station
cp -a "$station"/. "$copy"/
folder=$copy/drive_c/Zembrik/Documentation
metrics=$folder/vodu_tavisto.prom
grep -q '^MetricsFile=' "$folder/Documentation_Customer.cfg" || fail "the sample station writes no metrics"

# GET /metrics over bash's own TCP, so no HTTP client is needed.
scrape() {  # port
  exec 5<>"/dev/tcp/127.0.0.1/$1" || return 1
  printf 'GET /metrics HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n' >&5
  tr -d '\r' <&5 | sed '1,/^$/d'
  exec 5<&-
}

# The exporter on a free port of 127.0.0.1: a port nothing answers on, then one it took.
for _ in $(seq 1 20); do
  port=$(( 20000 + RANDOM % 30000 ))
  (exec 6<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && continue
  "$exporter" --web.listen-address="127.0.0.1:$port" --collector.disable-defaults \
    --collector.textfile --collector.textfile.directory="$folder" > "$work/exporter.log" 2>&1 &
  exporter_pid=$!
  for _ in $(seq 1 50); do scrape "$port" > /dev/null 2>&1 && break 2; sleep 0.1; done
  kill "$exporter_pid" 2>/dev/null; wait "$exporter_pid" 2>/dev/null; exporter_pid=""
done
[ -n "$exporter_pid" ] || { cat "$work/exporter.log"; fail "node_exporter did not start"; }

WINEPREFIX="$copy" VisuDir='C:\Zembrik' "$binary" > "$copy/out.txt" 2>&1 &
pid=$!
for _ in $(seq 1 100); do [ -s "$metrics" ] && break; sleep 0.1; done
[ -s "$metrics" ] || fail "no metrics file after the first check"

# The file as the format wants it.
head -c 3 "$metrics" | grep -q $'^\xef\xbb\xbf' && fail "a byte-order mark"
grep -q $'\r' "$metrics" && fail "a CR in the file"
[ "$(tail -c 1 "$metrics" | od -An -c | tr -d ' ')" = '\n' ] || fail "no final line feed"
promtool check metrics < "$metrics" > "$work/promtool.txt" 2>&1 || { cat "$work/promtool.txt"; fail "promtool check metrics"; }

scrape "$port" > "$work/scrape.txt" || fail "no scrape"
expect() {  # a line the scrape must hold
  grep -qxF -- "$1" "$work/scrape.txt" || fail "not in the scrape: $1"
}
expect 'node_textfile_scrape_error 0'
# node_exporter gives the labels in name order.
expect 'vodu_tavisto_share_up{drive="K",share="\\\\fileserver\\docu",slot="1"} 1'
expect 'vodu_tavisto_share_up{drive="L",share="\\\\fileserver\\archive",slot="2"} 1'
expect 'vodu_tavisto_share_up{drive="M",share="\\\\oldserver\\backup",slot="3"} 0'
expect 'vodu_tavisto_share_last_error{drive="M",share="\\\\oldserver\\backup",slot="3"} 6'
expect 'vodu_tavisto_share_last_error{drive="K",share="\\\\fileserver\\docu",slot="1"} 0'
expect 'vodu_tavisto_share_connect_failures_total{drive="M",share="\\\\oldserver\\backup",slot="3"} 1'
expect 'vodu_tavisto_checks_total{trigger="start"} 1'
expect 'vodu_tavisto_status_file_write_success 1'
expect 'vodu_tavisto_update_interval_seconds 60'
expect "vodu_tavisto_build_info{version=\"$version\"} 1"
# The exporter prints it as Go does (1.79672175095e+09).
end=$(awk '/^vodu_tavisto_last_check_end_timestamp_seconds / { printf "%d", $2 }' "$work/scrape.txt")
now=$(date +%s)
[ -n "$end" ] && [ "$(( now - end ))" -ge 0 ] && [ "$(( now - end ))" -lt 60 ] ||
  fail "last check end $end is not a moment ago ($now)"
# The sample's passwords end in "secret"; its users are "station" and "backup".
grep -i 'vodu_tavisto' "$work/scrape.txt" | grep -qiE 'secret|user|"station"' &&
  fail "a user name or password in the scrape"

kill -TERM "$pid"; wait "$pid"; pid=""
kill "$exporter_pid"; wait "$exporter_pid" 2>/dev/null; exporter_pid=""

(cd "$examples" && promtool test rules vodu_tavisto.rules.test.yml) > "$work/rules.txt" 2>&1 ||
  { cat "$work/rules.txt"; fail "promtool test rules"; }
echo "1 passed, 0 failed"
