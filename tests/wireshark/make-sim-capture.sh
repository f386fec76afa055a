#!/usr/bin/env bash
# Regenerates sim.pcap: telvane-sim plays the devices of sim-devices.json, telvane-cli
# enumerates them and then runs the sets of sim-sets.json (a refusal, then an acceptance),
# and tcpdump records the traffic on the device side, all inside the private namespaces of
# scripts/netns.sh. Also keeps the simulator's log and what the command line read, for
# check-dissector.py.
#
#   tests/wireshark/make-sim-capture.sh [BUILD_DIR]     (default: build)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)

if [ -z "${TELVANE_NETNS_HARNESS:-}" ]; then
    exec "$root/scripts/netns.sh" run -- "$0" "$build"
fi

work=$(mktemp -d)
trap 'kill $sim $dump 2>/dev/null || true; rm -rf "$work"' EXIT
ip netns exec "$TELVANE_SIM_NETNS" tcpdump -i tvd1 --immediate-mode -U -s 2048 -w "$work/sim.pcap" 'udp port 18768' 2>/dev/null &
dump=$!
ip netns exec "$TELVANE_SIM_NETNS" "$build/tools/sim/telvane-sim" --config "$here/sim-devices.json" \
    --log "$work/sim.log" &
sim=$!
for _ in $(seq 50); do grep -q '^# listening' "$work/sim.log" 2>/dev/null && break; sleep 0.1; done
sleep 0.5
"$build/tools/cli/telvane-cli" enumerate --adapter "$TELVANE_ADAPTER1" --json >"$here/sim-enumerate.json"
python3 -c 'import json, sys; [print("\t".join(s["args"])) for s in json.load(open(sys.argv[1]))]' \
    "$here/sim-sets.json" | while IFS=$'\t' read -r -a args; do
    "$build/tools/cli/telvane-cli" set --adapter "$TELVANE_ADAPTER1" "${args[@]}" || true
done
sleep 1
kill "$sim"; wait "$sim" 2>/dev/null || true
kill -INT "$dump"; wait "$dump" 2>/dev/null || true
# The log's clock times change with every run; the datagrams are what the check needs.
grep -E '^(RX|TX) ' "$work/sim.log" | sed -E 's/ t=[0-9.]+ at=[0-9:.]+//' >"$here/sim.log"
cp "$work/sim.pcap" "$here/sim.pcap"
chmod 644 "$here/sim.pcap"
echo "wrote $here/sim.pcap, sim.log and sim-enumerate.json"
