#!/bin/sh
# The shared library exports exactly the functions the public header declares.
set -eu
lib="$1"
header="$2"
declared=$(grep -oE 'VEMKA_CALL \**VemkaSDK_[A-Za-z0-9_]+\(' "$header" | grep -oE 'VemkaSDK_[A-Za-z0-9_]+' | sort -u)
exported=$(nm -D --defined-only "$lib" | awk '{print $3}' | sed 's/@.*//' | sort -u)
if [ "$declared" != "$exported" ]; then
  echo "declared and exported symbols differ:"
  printf '%s\n' "$declared" > /tmp/vemka-declared.$$
  printf '%s\n' "$exported" > /tmp/vemka-exported.$$
  diff /tmp/vemka-declared.$$ /tmp/vemka-exported.$$ || true
  rm -f /tmp/vemka-declared.$$ /tmp/vemka-exported.$$
  exit 1
fi
echo "$(printf '%s\n' "$exported" | wc -l) exports, all declared"
