#!/usr/bin/env bash
# Installs what is needed, builds everything with clang under AddressSanitizer
# and UndefinedBehaviorSanitizer (fuzz targets included) and runs the whole
# test suite with ctest.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build=${VELK_TEST_BUILD_DIR:-build-test}
CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug \
    -DVELK_SANITIZE=ON -DVELK_FUZZ=ON -DVELK_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" --timeout 600
