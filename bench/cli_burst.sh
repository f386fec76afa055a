#!/usr/bin/env bash
# The command line against a burst: N simulated devices (default 2000) answer each of
# the three enumerate requests at once on one adapter. Runs RUNS enumerations (default
# 10) and prints, for each, the devices listed, the summary line and the CPU time the
# command line used (perf stat's task-clock); then how long the simulator took to send a
# burst and how many runs listed every device. Sends datagrams, so it runs only inside
# the namespaces:
#   scripts/netns.sh run -- bench/cli_burst.sh build [N] [RUNS]
set -euo pipefail
[ "${TELVANE_NETNS_HARNESS:-}" = 1 ] || { echo "$0: run it by scripts/netns.sh run -- $0 BUILD_DIR" >&2; exit 2; }
build=${1:?build directory}
devices=${2:-2000}
runs=${3:-10}
work=$(mktemp -d)
trap 'kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true; rm -rf "$work"' EXIT

ip netns exec "$TELVANE_SIM_NETNS" "$build/tools/sim/telvane-sim" --many "$devices" \
    --log "$work/sim.log" &
sim=$!
for _ in $(seq 100); do
    grep -q '^# listening' "$work/sim.log" 2>/dev/null && break
    sleep 0.1
done

complete=0
for run in $(seq "$runs"); do
    # The command line's own processor time, from the scheduler's clock (perf's task-clock).
    perf stat -x, -e task-clock -o "$work/perf" "$build/tools/cli/telvane-cli" enumerate \
        --adapter "$TELVANE_ADAPTER1" --csv >"$work/out" 2>"$work/err"
    cpu_ms=$(awk -F, '/task-clock/ { print $1 }' "$work/perf")
    listed=$(($(wc -l <"$work/out") - 1))
    [ "$listed" -eq "$devices" ] && complete=$((complete + 1))
    printf 'run %2d: %d listed, cpu %s ms; %s\n' "$run" "$listed" "$cpu_ms" "$(cat "$work/err")"
done
# How long the simulator took to hand one request's answers to the system.
grep -o 'burst of [0-9]* answers sent in [0-9]* us' "$work/sim.log" | awk '{ print $(NF - 1) }' | sort -n |
    awk '{ us[NR] = $1 } END { printf "bursts: %d, sent in %.1f ms (median), %.1f ms (longest)\n", NR, us[int((NR + 1) / 2)] / 1000, us[NR] / 1000 }'
echo "every device listed in $complete of $runs runs"
