#!/usr/bin/env bash
# The test command: installs what is missing (Debian 12), builds, and runs every test:
# the unit tests, the same tests under AddressSanitizer and UBSan, and the network
# tests inside private network namespaces that never touch a real interface.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
. scripts/lib.sh

ensure_packages $BUILD_PACKAGES $TEST_PACKAGES $FUZZ_PACKAGES $ANSIBLE_PACKAGES

jobs=$(nproc)
# ccache, where it is installed, keeps the five builds below from compiling a file twice.
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
failures=0
failed_stages=""
stage=""
passed_total=0
failed_total=0
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
step() { stage=$*; printf '\n=== %s\n' "$*"; }
# Counts the current stage as failed and keeps its name for the closing lines.
stage_failed() { failures=$((failures + 1)); failed_stages="$failed_stages
  failed: $stage"; }

# Runs a ctest stage, keeping its counts for the closing line.
count_stage() {
    local log=$1 line total failed
    line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1) || true
    [ -n "$line" ] || return 0
    failed=$(echo "$line" | sed -E 's/.* ([0-9]+) tests? failed.*/\1/')
    total=$(echo "$line" | sed -E 's/.*out of ([0-9]+).*/\1/')
    passed_total=$((passed_total + total - failed))
    failed_total=$((failed_total + failed))
}

# Our own builds treat warnings as errors; a packager's default configure does not.
step "build (debug, warnings are errors)"
cmake --preset debug "${launcher[@]}" >/dev/null
cmake --build --preset debug -j "$jobs"

step "layers (every include points down)"
scripts/check-layers.sh || stage_failed

# A packager's Release build with every default option, tests included: the optimiser
# finds warnings that a debug build never shows. Once with GCC, once with Clang.
step "build (release as a packager builds it, GCC)"
cmake --preset release "${launcher[@]}" >/dev/null
cmake --build --preset release -j "$jobs"

step "build (release as a packager builds it, Clang)"
cmake --preset clang "${launcher[@]}" >/dev/null
cmake --build --preset clang -j "$jobs"

# The command line alone, as a headless packager builds it: Qt and Google Benchmark are
# kept out of reach, so a dependency on either fails here.
step "build and unit tests (command line alone, no Qt)"
cmake --preset cli -DCMAKE_DISABLE_FIND_PACKAGE_Qt6=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON \
    "${launcher[@]}" >/dev/null
cmake --build --preset cli -j "$jobs"
ctest --preset cli -j "$jobs" 2>&1 | tee "$logs/cli" || stage_failed
count_stage "$logs/cli"

step "unit tests"
ctest --preset debug -j "$jobs" 2>&1 | tee "$logs/unit" || stage_failed
count_stage "$logs/unit"

step "build (AddressSanitizer + UndefinedBehaviorSanitizer)"
cmake --preset sanitizers "${launcher[@]}" >/dev/null
cmake --build --preset sanitizers -j "$jobs"

step "unit tests under the sanitizers"
ctest --preset sanitizers -j "$jobs" 2>&1 | tee "$logs/asan" || stage_failed
count_stage "$logs/asan"

step "fuzzing (short pass; scripts/fuzz.sh runs longer)"
scripts/fuzz.sh "${TELVANE_FUZZ_SECONDS:-15}" || stage_failed

if [ -x scripts/netns.sh ] && (cd build && ctest -N -L netns | grep -q 'Total Tests: [1-9]'); then
    step "network tests (private namespaces)"
    scripts/netns.sh run -- bash -c "cd '$root/build' && QT_QPA_PLATFORM=offscreen ctest -L netns --output-on-failure" \
        2>&1 | tee "$logs/netns" || stage_failed
    count_stage "$logs/netns"

    # The hostile peer, the socket's faults and the soak once more under the sanitizers:
    # a crash or a leak there is the finding. The soak's short form: scripts/soak.sh
    # runs the long one.
    step "network tests under the sanitizers (hostile peer, faults, soak)"
    scripts/netns.sh run -- bash -c "cd '$root/build-asan' && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
        UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 QT_QPA_PLATFORM=offscreen \
        ctest -L netns -R 'HostilePeer|FaultNetns|WindowFaults|SoakNetns' --output-on-failure" \
        2>&1 | tee "$logs/netns-asan" || stage_failed
    count_stage "$logs/netns-asan"

    step "Ansible collection (unit checks, ansible-doc, galaxy build, a play against the simulator)"
    scripts/test-ansible.sh build || stage_failed
fi

step "Windows: cross build, tests and packages under wine (private namespaces)"
scripts/test-windows.sh build 2>&1 | tee "$logs/windows" || stage_failed
count_stage "$logs/windows"

if [ -x scripts/extra-tests.sh ]; then
    step "further checks"
    scripts/extra-tests.sh || stage_failed
fi

echo
if [ "$failures" -ne 0 ]; then
    echo "test.sh: $failures stage(s) failed"
    echo "$failed_stages" | sed '/^$/d'
    # A failed build or check outside ctest still fails the run.
    [ "$failed_total" -gt 0 ] || failed_total=$failures
    echo "tests: $passed_total passed, $failed_total failed"
    exit 1
fi
echo "test.sh: all stages passed"
echo "tests: $passed_total passed, $failed_total failed"
