#!/usr/bin/env bash
# Soak: many enumerations (the real procedure, three requests 150 ms apart) and sets in
# a row against simulated devices, each build inside its own pair of private network
# namespaces (scripts/netns.sh). Reports resident memory and open descriptors; fails
# on growth, and on any leak that LeakSanitizer finds in the sanitizer build.
#
#   scripts/soak.sh [ENUMERATIONS] [SETS]    default 1000 and 200: about 8 minutes,
#                                            both builds side by side
# scripts/test.sh runs the same test with 100 enumerations and 20 sets.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
. scripts/lib.sh
ensure_packages $BUILD_PACKAGES $TEST_PACKAGES

enumerations=${1:-1000}
sets=${2:-200}

cmake --preset debug >/dev/null
cmake --build --preset debug --target test_netns
cmake --preset sanitizers >/dev/null
cmake --build --preset sanitizers --target test_netns

run() {  # build-dir log
    TELVANE_SOAK_ENUMERATIONS=$enumerations TELVANE_SOAK_SETS=$sets \
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        scripts/netns.sh run -- "$root/$1/tests/netns/test_netns" \
        --gtest_filter='SoakNetnsTest.*' >"$2" 2>&1
}

echo "soak: $enumerations enumerations and $sets sets, plain and sanitizer builds side by side"
start=$(date +%s)
run build build/soak.log & plain=$!
run build-asan build-asan/soak.log & asan=$!
status=0
wait $plain || status=1
wait $asan || status=1

for log in build/soak.log build-asan/soak.log; do
    echo "--- $log"
    grep -E '^soak:|LeakSanitizer|SUMMARY|Failure|FAILED|Expected|Which is|kB of growth' "$log" || true
done
echo "soak: $(( $(date +%s) - start )) s"
[ "$status" -eq 0 ] && echo "soak: passed" || echo "soak: FAILED (see the logs above)" >&2
exit $status
