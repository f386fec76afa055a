#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while.
#   scripts/fuzz.sh [SECONDS_PER_TARGET]   (default 300; scripts/test.sh runs a short pass)
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh
ensure_packages $BUILD_PACKAGES $FUZZ_PACKAGES
seconds=${1:-300}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"
status=0
for target in build-fuzz/fuzz/fuzz_*; do
    name=$(basename "$target" | sed 's/^fuzz_//')
    corpus=build-fuzz/corpus/$name
    mkdir -p "$corpus"
    [ -d "fuzz/corpus/$name" ] && cp -n fuzz/corpus/"$name"/* "$corpus"/ 2>/dev/null || true
    echo "fuzzing $name for ${seconds}s"
    if ! "$target" -max_total_time="$seconds" -max_len=2100 -print_final_stats=1 "$corpus" \
            >"build-fuzz/$name.log" 2>&1; then
        echo "fuzz: $name found a fault; see build-fuzz/$name.log" >&2
        tail -40 "build-fuzz/$name.log" >&2
        status=1
    fi
    grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb' "build-fuzz/$name.log" | sed "s/^/  $name /"
done
exit $status
