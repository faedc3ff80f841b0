#!/usr/bin/env bash
# The release as a plant checks it: two builds of one commit in two clones at different
# paths, a while apart, give the same bytes (programs, zips, MSIs, .deb); a build signed
# with a throw-away certificate verifies against its CA and its signed program still runs
# under Wine; the zips and the .deb hold what they should; lintian finds no error; the
# unit passes systemd-analyze verify; the package installs and is removed cleanly.
#
#   release_test.sh            (from a clone whose HEAD is the commit to release)
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
"$root/scripts/setup" release-checks
version=$("$root/scripts/version")
work=$(mktemp -d "${TMPDIR:-/tmp}/vodu-release.XXXXXX")
xvfb_pid=""
# shellcheck source=../e2e/wine_harness.sh
. "$root/tests/e2e/wine_harness.sh"
cleanup() {
  [ -n "${WINEPREFIX:-}" ] && wineserver -k 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  dpkg -s vodu-tavisto > /dev/null 2>&1 && dpkg --purge vodu-tavisto > /dev/null 2>&1
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
check() {  # what, then a command that must succeed
  local what=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
    echo "ok: $what"
  else
    failed=$((failed + 1))
    echo "FAIL: $what"
  fi
}

# Two clones at two paths of different lengths; the second builds later.
git clone -q "$root" "$work/one"
git clone -q "$root" "$work/a/much/longer/path/two"
first=$work/one
second=$work/a/much/longer/path/two
(cd "$first" && scripts/release) > "$work/first.log" 2>&1 || { tail -30 "$work/first.log"; exit 1; }
sleep 2
(cd "$second" && scripts/release) > "$work/second.log" 2>&1 || { tail -30 "$work/second.log"; exit 1; }

same_bytes() {
  local file status=0
  for file in "$first"/dist/* "$first"/build/release-x64/VoduTavisto*.exe \
              "$first"/build/release-x86/VoduTavisto*.exe; do
    cmp -s "$file" "$second${file#"$first"}" || { echo "  differs: ${file#"$first"/}"; status=1; }
  done
  return "$status"
}
check "two builds at two paths give the same bytes" same_bytes
check "SHA256SUMS holds" bash -c "cd '$first/dist' && sha256sum --quiet -c SHA256SUMS"
expected_dist="SHA256SUMS
VoduTavisto-$version-win-x64.zip
VoduTavisto-$version-win-x86.zip
VoduTavisto-$version-x64.msi
VoduTavisto-$version-x86.msi
vodu-tavisto_${version}_amd64.deb"
check "dist/ holds the release" test "$(ls "$first/dist")" = "$expected_dist"
check "SHA256SUMS names every other file" test "$(awk '{print $2}' "$first/dist/SHA256SUMS")" = \
  "$(ls "$first/dist" | grep -v SHA256SUMS)"
check "the release says it is not signed" grep -qx 'Not signed: .*' "$work/first.log"

members="VoduTavisto.exe
VoduTavistoProtect.exe
VoduTavistoCheck.exe
LICENSE
THIRD-PARTY-NOTICES.txt"
for arch in x64 x86; do
  check "the $arch zip's members" test "$(unzip -Z1 "$first/dist/VoduTavisto-$version-win-$arch.zip")" = "$members"
done

deb=$first/dist/vodu-tavisto_${version}_amd64.deb
deb_files="./etc/xdg/autostart/vodu-tavisto.desktop
./lib/systemd/system/vodu-tavisto@.service
./usr/bin/vodu-tavisto
./usr/libexec/vodu-tavisto/vodu-tavisto-smb-probe
./usr/libexec/vodu-tavisto/vodu-tavisto-smbfs
./usr/share/doc/vodu-tavisto/changelog.gz
./usr/share/doc/vodu-tavisto/copyright
./usr/share/man/man8/vodu-tavisto.8.gz"
check "the .deb's files" test "$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort)" = "$deb_files"
depends() { dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed 's/^ *//; s/ .*//' | grep -qx "$1"; }
for package in libsmbclient libfuse3-3 fuse3; do check "the .deb depends on $package" depends "$package"; done
check "the .deb's owners are root" test -z "$(dpkg-deb -c "$deb" | awk '$2 != "root/root"')"
lint() { lintian --fail-on error "$deb" > "$work/lintian.log" 2>&1 || { cat "$work/lintian.log"; return 1; }; }
check "lintian finds no error" lint
# The template as an instance for a user that exists, with the binary in place.
install_deb() { dpkg -i "$deb" > "$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; return 1; }; }
check "the package installs" install_deb
verify_unit() {
  mkdir -p "$work/unit"
  cp /lib/systemd/system/vodu-tavisto@.service "$work/unit/vodu-tavisto@root.service"
  systemd-analyze verify --man=no "$work/unit/vodu-tavisto@root.service" > "$work/verify.log" 2>&1
  local status=$?
  [ "$status" -eq 0 ] && ! grep -q 'vodu-tavisto' "$work/verify.log" || { cat "$work/verify.log"; return 1; }
}
check "systemd-analyze verify accepts the unit" verify_unit
validate_autostart() {
  desktop-file-validate /etc/xdg/autostart/vodu-tavisto.desktop > "$work/desktop.log" 2>&1 &&
    [ ! -s "$work/desktop.log" ] || { cat "$work/desktop.log"; return 1; }
}
check "the session's autostart entry is valid" validate_autostart
conffiles() {
  dpkg-deb -e "$deb" "$work/control" &&
    [ "$(cat "$work/control/conffiles")" = /etc/xdg/autostart/vodu-tavisto.desktop ]
}
check "the autostart entry is a conffile" conffiles
# On a station folder that is not there it says so and ends with exit status 1.
starts() {
  WINEPREFIX=$work/no-station /usr/bin/vodu-tavisto > /dev/null 2> "$work/start.log"
  [ $? -eq 1 ] && grep -q "$work/no-station" "$work/start.log"
}
check "the installed program runs" starts
check "the package is removed cleanly" bash -c "dpkg --purge vodu-tavisto > /dev/null 2>&1 &&
  [ ! -e /usr/bin/vodu-tavisto ] && [ ! -e /lib/systemd/system/vodu-tavisto@.service ] &&
  [ ! -e /usr/share/doc/vodu-tavisto ]"

# Signed with a throw-away CA and code-signing certificate.
certs=$work/certs
mkdir -p "$certs"
password="throw-away-$RANDOM-password"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Vodu Tavisto Test CA" \
  -keyout "$certs/ca.key" -out "$certs/ca.pem" > /dev/null 2>&1
openssl req -newkey rsa:2048 -nodes -subj "/CN=Vodu Tavisto Test Signer" \
  -keyout "$certs/signer.key" -out "$certs/signer.csr" > /dev/null 2>&1
printf 'extendedKeyUsage=codeSigning\nkeyUsage=digitalSignature\n' > "$certs/ext"
openssl x509 -req -in "$certs/signer.csr" -CA "$certs/ca.pem" -CAkey "$certs/ca.key" \
  -CAcreateserial -days 2 -extfile "$certs/ext" -out "$certs/signer.pem" > /dev/null 2>&1
openssl pkcs12 -export -inkey "$certs/signer.key" -in "$certs/signer.pem" \
  -certfile "$certs/ca.pem" -passout "pass:$password" -out "$certs/signer.pfx" > /dev/null 2>&1
(cd "$first" && VODU_SIGN_PKCS12=$certs/signer.pfx VODU_SIGN_PASSWORD=$password \
   VODU_SIGN_CA_FILE=$certs/ca.pem scripts/release) > "$work/signed.log" 2>&1
check "the signed release is built" test $? -eq 0
check "the password appears nowhere in its output" bash -c "! grep -qF '$password' '$work/signed.log'"
mkdir -p "$work/signed"
for arch in x64 x86; do
  (cd "$work/signed" && mkdir -p "$arch" && cd "$arch" && unzip -q "$first/dist/VoduTavisto-$version-win-$arch.zip")
done
verify_all() {
  local file status=0
  for file in "$work"/signed/*/*.exe "$first"/dist/*.msi; do
    osslsigncode verify -CAfile "$certs/ca.pem" -in "$file" > "$work/verify-one.log" 2>&1 ||
      { echo "  not verified: $file"; tail -3 "$work/verify-one.log"; status=1; }
  done
  return "$status"
}
check "every signed .exe and .msi verifies against the CA" verify_all
check "the signed exe differs from the unsigned one" bash -c "! cmp -s '$work/signed/x64/VoduTavisto.exe' '$second/build/release-x64/VoduTavisto.exe'"

# The signed 64-bit program runs under Wine on the sample station.
runs_under_wine() {
  export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
  start_virtual_display
  copy_template "$WINEPREFIX"
  add_sample_station "$root/examples/station" "$WINEPREFIX"
  cp "$work/signed/x64/VoduTavisto.exe" "$WINEPREFIX/drive_c/"
  wine 'C:\VoduTavisto.exe' > /dev/null 2>&1 &
  local documentation=$WINEPREFIX/drive_c/Zembrik/Documentation
  for _ in $(seq 1 300); do [ -s "$documentation/vodu_tavisto.prom" ] && break; sleep 0.1; done
  grep -qx 'NetOK1=true' <(tr -d '\r' < "$documentation/Documentation_Tavisto.ini" 2>/dev/null)
}
check "the signed x64 program runs under Wine and writes the status file" runs_under_wine

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
