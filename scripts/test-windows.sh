#!/bin/sh
# The Windows stage of the tests. Builds VemkaSDK.dll for 32-bit Windows
# (the product) and 64-bit Windows (the build that runs the test suite under
# wine64, as these machines cannot execute 32-bit programs), checks the
# 32-bit DLL statically, runs the suite under Wine, and downloads a PLU file
# with examples/host.c, natively and under Wine, to a simulated scale that
# runs as a Linux process. Expects the Linux test build (build-asan, made by
# scripts/test.sh) for the simulator and the native host.
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh windows
JOBS=$(nproc 2>/dev/null || echo 2)

echo "== Windows builds"
cmake -S . -B build-win64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DVEMKA_BUILD_BENCH=OFF
cmake --build build-win64 -j "$JOBS"
cmake -S . -B build-win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DVEMKA_BUILD_TESTS=OFF \
  -DVEMKA_BUILD_BENCH=OFF
cmake --build build-win32 -j "$JOBS"

echo "== Static checks of the 32-bit DLL"
sh scripts/check-windows-dll.sh build-win32/src/VemkaSDK.dll include/vemkasdk.h

# One Wine prefix of the build's own, one warm wineserver for the whole run
# (its output goes nowhere: a server that holds ctest's pipes keeps ctest
# waiting). No Mono or Gecko installers: the tests need neither.
WINEPREFIX="$(pwd)/build-win64/wine-prefix"
WINEDEBUG=-all
WINEDLLOVERRIDES="mscoree=;mshtml="
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES
wineserver -p >/dev/null 2>&1 </dev/null || true  # fails only when one already serves this prefix
wineboot -i >/dev/null 2>&1 </dev/null || true
. scripts/sim-process.sh
finish() {
  stop_sim
  wineserver -k >/dev/null 2>&1 || true
}
trap finish EXIT
trap 'exit 130' INT TERM

echo "== The test suite under Wine"
# Wine's sockets do not keep their loopback addresses; the simulated scales
# of the tests get theirs through the simulator's relay, a Linux process.
work="$(mktemp -d)"
start_sim "$work/relay.out" build-asan/tools/vemka-sim --relay 127.0.0.1:5999 --quiet --duration 3600
# A test that fails is run once more: a Wine process now and then loses its
# connection to the wineserver ("wine client error: recvmsg") and dies before
# the test starts. A test that fails twice fails the stage.
VEMKA_SIM_RELAY=127.0.0.1:5999 ctest --test-dir build-win64 -j "$JOBS" --output-on-failure --repeat until-pass:2
stop_sim

echo "== examples/host.c against a simulated scale (Linux process)"
scale=127.0.0.2
start_sim "$work/sim.out" build-asan/tools/vemka-sim --hecr "$scale" --codepage 65001 --quiet --duration 300
printf '[System]\nSyncTimeOut=1000\nSyncTryCount=3\nDebugDir=%s\n' "$work/debug" >"$work/host.ini"
sample="docs/samples/plu_sample.txt?65001"
run_host() {
  echo "-- $1"
  shift
  if ! VEMKASDK_INI="$work/host.ini" "$@" "$scale" "$sample" >"$work/host.out" 2>&1; then
    cat "$work/host.out" >&2
    exit 1
  fi
  tail -1 "$work/host.out"
}
run_host "Linux host" build-asan/examples/host
run_host "Windows host (wine64)" "$(command -v wine64 || echo /usr/lib/wine/wine64)" build-win64/examples/host.exe
rm -rf "$work"
echo "== Windows stage passed"
