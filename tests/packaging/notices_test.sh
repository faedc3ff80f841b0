#!/usr/bin/env bash
# THIRD-PARTY-NOTICES.txt names everything the link maps of the Windows programs show
# was taken from outside the program: every archive a member came from and every
# runtime object. A toolchain that brings in something new fails here until the notices
# say it.
#
#   notices_test.sh NOTICES MAP...
set -uo pipefail
notices=$1
shift
checked=0
failed=0
for map in "$@"; do
  if [ ! -f "$map" ]; then
    echo "missing: $map"
    failed=$((failed + 1))
    continue
  fi
  # Archive members ("/path/libx.a(member.o)") and objects loaded whole ("LOAD /path/x.o").
  parts=$(
    awk '/^Archive member included/ { f = 1; next } /^(Discarded input sections|Memory Configuration)/ { f = 0 }
         f && /^\// { print $1 }' "$map" | sed -E 's|.*/([^/]+)\.a\(.*|\1|'
    sed -n 's|^LOAD /usr/.*/\([^/]*\.o\)$|\1|p' "$map"
  )
  [ -n "$parts" ] || { echo "$map names nothing linked"; failed=$((failed + 1)); continue; }
  for part in $(sort -u <<< "$parts"); do
    if ! grep -qw -- "$part" "$notices"; then
      echo "$map: $part is linked but not named in $(basename "$notices")"
      failed=$((failed + 1))
    fi
  done
  if grep -q winpthread "$map"; then
    echo "$map: winpthreads is linked; its licence must be added to the notices"
    failed=$((failed + 1))
  fi
  checked=$((checked + 1))
done
echo "$checked passed, $failed failed"
[ "$failed" -eq 0 ]
