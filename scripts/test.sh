#!/usr/bin/env bash
# Installs what is missing, builds everything with AddressSanitizer and UndefinedBehaviorSanitizer,
# and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSELVARK_SANITIZE=ON >/dev/null
# CMAKE_BUILD_PARALLEL_LEVEL caps the build's jobs and CTEST_PARALLEL_LEVEL the tests run at once.
cmake --build build-test
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cd build-test
ctest --output-on-failure -j"${CTEST_PARALLEL_LEVEL:-$(nproc)}" --timeout 300
