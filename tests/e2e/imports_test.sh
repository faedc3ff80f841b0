#!/usr/bin/env bash
# The Windows builds are single executables: they import only the system's own DLLs.
set -uo pipefail
allowed='^(kernel32|user32|gdi32|mpr|comctl32|msvcrt|advapi32|ws2_32|crypt32)\.dll$'
checked=0
failed=0
for exe in "$@"; do
  if [ ! -f "$exe" ]; then
    echo "missing: $exe"
    failed=$((failed + 1))
    continue
  fi
  imports=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z')
  for dll in $imports; do
    if ! grep -Eq "$allowed" <<< "$dll"; then
      echo "$exe imports $dll"
      failed=$((failed + 1))
    fi
  done
  checked=$((checked + 1))
done
echo "$checked passed, $failed failed"
[ "$failed" -eq 0 ]
