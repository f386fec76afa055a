#!/usr/bin/env bash
# The test command: installs what is missing (Debian 12), builds, and runs every test:
# the unit tests, the same tests under AddressSanitizer and UBSan, and the network
# tests inside private network namespaces that never touch a real interface.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
. scripts/lib.sh

ensure_packages $BUILD_PACKAGES $TEST_PACKAGES $FUZZ_PACKAGES

jobs=$(nproc)
failures=0
step() { printf '\n=== %s\n' "$*"; }

step "build (debug, warnings are errors)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build -j "$jobs"

step "unit tests"
(cd build && QT_QPA_PLATFORM=offscreen ctest -L unit --output-on-failure -j "$jobs") || failures=$((failures + 1))

step "build (AddressSanitizer + UndefinedBehaviorSanitizer)"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTELVANE_SANITIZE=ON -DTELVANE_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build build-asan -j "$jobs"

step "unit tests under the sanitizers"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    QT_QPA_PLATFORM=offscreen ctest -L unit --output-on-failure -j "$jobs") || failures=$((failures + 1))

step "fuzzing (short pass; scripts/fuzz.sh runs longer)"
scripts/fuzz.sh "${TELVANE_FUZZ_SECONDS:-15}" || failures=$((failures + 1))

if [ -x scripts/netns.sh ] && (cd build && ctest -N -L netns | grep -q 'Total Tests: [1-9]'); then
    step "network tests (private namespaces)"
    scripts/netns.sh run -- bash -c "cd '$root/build' && QT_QPA_PLATFORM=offscreen ctest -L netns --output-on-failure" \
        || failures=$((failures + 1))
fi

if [ -x scripts/extra-tests.sh ]; then
    step "further checks"
    scripts/extra-tests.sh || failures=$((failures + 1))
fi

if [ "$failures" -ne 0 ]; then
    echo "test.sh: $failures test stage(s) failed" >&2
    exit 1
fi
echo "test.sh: all stages passed"
