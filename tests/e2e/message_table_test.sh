#!/usr/bin/env bash
# The Windows builds carry the Event Log's message table (resource type 11,
# RT_MESSAGETABLE, id 1), so Event Viewer shows whole sentences once the source is
# registered; and its six messages, compiled from resources/VoduTavisto.mc.
set -uo pipefail
checked=0
failed=0
for exe in "$@"; do
  listing=$(x86_64-w64-mingw32-objdump -p "$exe" 2>/dev/null | sed -n '/Resource Directory section/,$p')
  # The type table's entries are the lines right below it, two spaces in.
  if ! grep -Eq '^[0-9a-f]+   Entry: ID: 0x00000b,' <<< "$listing"; then
    echo "$exe has no message table"
    failed=$((failed + 1))
  fi
  # The messages are UTF-16 in the resource.
  if ! strings -a -el "$exe" | grep -q 'The share %1 on drive %2: can be reached again'; then
    echo "$exe lacks the message of a restored share"
    failed=$((failed + 1))
  fi
  checked=$((checked + 1))
done
echo "$checked checked, $failed failed"
[ "$failed" -eq 0 ]
