#!/bin/sh
# Installs what is missing, builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer and runs every test, then builds again with
# ThreadSanitizer and runs every test once more.
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
JOBS=$(nproc 2>/dev/null || echo 2)

cmake -S . -B build-asan -G Ninja -DVEMKA_SANITIZE=address -DVEMKA_BUILD_BENCH=OFF
cmake --build build-asan -j "$JOBS"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan -j "$JOBS" --output-on-failure

cmake -S . -B build-tsan -G Ninja -DVEMKA_SANITIZE=thread -DVEMKA_BUILD_BENCH=OFF
cmake --build build-tsan -j "$JOBS"
TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build-tsan -j "$JOBS" --output-on-failure

sh scripts/test-windows.sh
