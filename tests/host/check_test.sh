#!/usr/bin/env bash
# The native check of station files as a pipeline runs it: the sample station as the
# program finds it, and a plant's folder of stations (a clean one, the sample's files, a
# broken copy); its lines, its counts and its exit status, and nothing written.
set -uo pipefail
binary=$1
station=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }
expect_exit() {  # what, expected status, command...
  local what=$1 expected=$2 status=0
  shift 2
  "$@" > "$work/out.txt" 2>&1 || status=$?
  [ "$status" -eq "$expected" ] || { fail "$what: exit status $status, expected $expected"; cat "$work/out.txt"; }
}

# On the station: its one warning (a reference on no share) and its notes.
cp -a "$station"/. "$work/prefix"/
before=$(find "$work/prefix" -printf '%p %s %T@\n' | sort)
WINEPREFIX="$work/prefix" expect_exit "the sample station" 1 "$binary" --check
tail -n 1 "$work/out.txt" | grep -qx '0 errors, 1 warnings, 4 notes' || fail "counts: $(tail -n 1 "$work/out.txt")"
grep -q 'Documentation_Customer.cfg:11: warning: \[Machine2\] Reference3=\\\\elsewhere\\share\\Machine2 lies on no configured share' \
  "$work/out.txt" || fail "no warning for the reference on no share"
WINEPREFIX="$work/prefix" expect_exit "--show" 1 "$binary" --check --show
grep -q '^  slot 2: drive L, share \\\\fileserver\\archive, user station, password (plain)$' "$work/out.txt" ||
  fail "--show has no slot 2"
grep -q secret "$work/out.txt" && fail "a password in the output"
[ "$(find "$work/prefix" -printf '%p %s %T@\n' | sort)" = "$before" ] || fail "the check changed the station"

# A station prefix (WINEPREFIX) as PATH: the files the program run with it finds, the
# same findings as its station folder's; --show says which folder that was.
expect_exit "the sample as a prefix" 1 "$binary" --check "$station"
cp "$work/out.txt" "$work/prefix.txt"
expect_exit "the sample's station folder" 1 "$binary" --check "$station/drive_c/Zembrik"
cmp -s "$work/prefix.txt" "$work/out.txt" || { fail "a prefix gives other findings than its station folder"; diff "$work/prefix.txt" "$work/out.txt"; }
expect_exit "--show of a prefix" 1 "$binary" --check --show "$station"
grep -qxF "  a station prefix: its station folder C:\Zembrik is $station/drive_c/Zembrik" "$work/out.txt" ||
  fail "--show does not say which folder the prefix's station folder is: $(head -n 3 "$work/out.txt")"

# A plant's repository: three stations in one call; the broken one gives the exit status.
plant=$work/plant
mkdir -p "$plant"
cp -a "$station/drive_c/Zembrik" "$plant/sample"
cp -a "$station/drive_c/Zembrik" "$plant/broken"
printf '[Project]\r\nNumberOfMachines=6\r\n' > "$plant/broken/Parameter/Program.ini"
sed -i 's/^\[Tavisto\]\r$/[Tavisto]\r\nShareTimeoutSecond=10\r/' "$plant/broken/Documentation/Documentation_Customer.cfg"
mkdir -p "$plant/clean/parameter" "$plant/clean/documentation"  # letter case as Windows ignores it
printf '[Project]\r\nNumberOfMachines=0\r\n' > "$plant/clean/parameter/program.ini"
printf '[NetAddress]\r\nUpdateInterval=5\r\n' > "$plant/clean/documentation/documentation_customer.cfg"
expect_exit "the clean station alone" 0 "$binary" --check "$plant/clean"
expect_exit "a folder of stations" 2 "$binary" --check "$plant"/*
grep -q "^$plant/broken/Parameter/Program.ini:2: error: the program stops at start-up" "$work/out.txt" ||
  fail "no error for six machines"
grep -q "^$plant/broken/Documentation/Documentation_Customer.cfg:[0-9]*: warning: \[Tavisto\] ShareTimeoutSecond is not read by the program; did you mean ShareTimeoutSeconds?" \
  "$work/out.txt" || fail "no warning for the misspelt key"
tail -n 1 "$work/out.txt" | grep -qx '1 errors, 3 warnings, 8 notes' || fail "counts: $(tail -n 1 "$work/out.txt")"
expect_exit "a customer file alone" 1 "$binary" --check "$plant/sample/Documentation/Documentation_Customer.cfg"
expect_exit "a path that is not there" 2 "$binary" --check "$plant/none"
expect_exit "an unknown option" 2 "$binary" --check --verbose
expect_exit "an unknown option of the program" 2 "$binary" --frobnicate
[ "$failed" -eq 0 ] && echo "check of station files: passed"
exit "$failed"
