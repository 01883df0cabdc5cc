#!/bin/sh
# The main job: builds the SDK and its tools, then drives a task through the
# library from the vemka command-line host and shows its callbacks.
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DVEMKA_BUILD_TESTS=OFF -DVEMKA_BUILD_BENCH=OFF >/dev/null
cmake --build build-release -j "$(nproc 2>/dev/null || echo 2)"
bin=build-release/tools

export VEMKASDK_INI="$(mktemp -d)/libvemkasdk.ini"
printf '[System]\nSyncTimeOut=500\nSyncTryCount=2\nGetDeviceTimeOut=300\nGetDeviceTryCount=1\nDebugDir=%s\n' \
  "$(dirname "$VEMKASDK_INI")/debug" > "$VEMKASDK_INI"

echo "== A task for an address where no scale answers (detection fails: 266)"
"$bin/vemka" exec 127.1.0.9 --protocol 2 --proc 1 --type 0 --file "$(dirname "$VEMKASDK_INI")/plu.txt" || true
echo "== Debug files left in $(dirname "$VEMKASDK_INI")/debug:"
ls "$(dirname "$VEMKASDK_INI")/debug"
