#!/usr/bin/env bash
# A whole site through telvane.devices.config in one task: N simulated devices (default
# 1000) get a new static address each from a `devices:` list, then the same play runs
# again (idempotent: nothing is sent). Then a snapshot of M devices (default 2000) is
# applied back: enumerate --json, every device changed by one batch, the snapshot put
# back with set --from-json --ensure, and once more with nothing left to change. Prints
# the wall time of each step and the set requests the simulator saw. Sends datagrams, so
# it runs only inside the namespaces:
#   scripts/netns.sh run -- bench/ansible_site.sh build [N] [M]
set -euo pipefail
[ "${TELVANE_NETNS_HARNESS:-}" = 1 ] || { echo "$0: run it by scripts/netns.sh run -- $0 BUILD_DIR" >&2; exit 2; }
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?build directory}" && pwd)
devices=${2:-1000}
snapshot_devices=${3:-2000}
python=/usr/bin/python3
cli="$build/tools/cli/telvane-cli"
work=$(mktemp -d)
sim=""
stop_sim() { [ -n "$sim" ] && { kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true; }; sim=""; }
trap 'stop_sim; rm -rf "$work"' EXIT
export HOME="$work" ANSIBLE_LOCAL_TEMP="$work/tmp" ANSIBLE_REMOTE_TEMP="$work/tmp" ANSIBLE_NOCOLOR=1 \
    ANSIBLE_PYTHON_INTERPRETER="$python" ANSIBLE_INVENTORY_UNPARSED_WARNING=False ANSIBLE_LOCALHOST_WARNING=False \
    ANSIBLE_COLLECTIONS_PATH="$root/contrib/ansible"

start_sim() {
    : >"$work/sim.log"
    ip netns exec "$TELVANE_SIM_NETNS" "$build/tools/sim/telvane-sim" --many "$1" --log "$work/sim.log" &
    sim=$!
    for _ in $(seq 100); do grep -q '^# listening' "$work/sim.log" 2>/dev/null && break; sleep 0.1; done
}
sets_seen() { grep -cE '^RX .* data=ffff49(50|41)' "$work/sim.log" || true; }
# Seconds since the epoch, with milliseconds.
now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.1f s", b - a }'; }

# Each device a new address in the simulator's own /16, so that nothing conflicts.
renumber() {
    "$python" - "$1" "$2" "$3" <<'PY'
import json, sys
devices = json.load(open(sys.argv[1]))
form = sys.argv[3]
rows = []
for i, d in enumerate(devices):
    ip = "10.77.%d.%d" % (200 + i // 250, 1 + i % 250)
    rows.append({"mac": d["mac"], "ip": ip, "mask": "255.255.0.0"})
out = {"site": rows} if form == "vars" else rows
json.dump(out, open(sys.argv[2], "w"))
PY
}

cat >"$work/play.yml" <<'YML'
- hosts: localhost
  connection: local
  gather_facts: false
  tasks:
    - name: The whole site in one task
      telvane.devices.config:
        adapter: "{{ telvane_adapter }}"
        cli: "{{ telvane_cli }}"
        force: true
        devices: "{{ site }}"
      register: result
    - ansible.builtin.debug:
        msg: "changed={{ result.changed }} devices={{ result.devices | length }} failed={{ result.failed_devices }}"
YML

echo "--- ${devices} devices through one telvane.devices.config task"
start_sim "$devices"
"$cli" enumerate --adapter "$TELVANE_ADAPTER1" --json >"$work/site.json" 2>/dev/null
renumber "$work/site.json" "$work/vars.json" vars
for run in first rerun; do
    before=$(sets_seen)
    t=$(now)
    ansible-playbook -i localhost, "$work/play.yml" -e "telvane_cli=$cli" -e "telvane_adapter=$TELVANE_ADAPTER1" \
        -e "@$work/vars.json" >"$work/play.out"
    echo "$run run: $(elapsed "$t"), $(grep -o 'changed=[A-Za-z]* devices=[0-9]* failed=[0-9]*' "$work/play.out" | head -1), $(($(sets_seen) - before)) set requests"
done
stop_sim

echo "--- a snapshot of ${snapshot_devices} devices applied back"
start_sim "$snapshot_devices"
t=$(now)
"$cli" enumerate --adapter "$TELVANE_ADAPTER1" --json >"$work/snapshot.json" 2>/dev/null
echo "snapshot (enumerate --json): $(elapsed "$t"), $(grep -c '"mac"' "$work/snapshot.json") devices"
renumber "$work/snapshot.json" "$work/changed.json" list
for step in "every device changed:$work/changed.json" "snapshot applied back:$work/snapshot.json" \
    "snapshot again, nothing to change:$work/snapshot.json"; do
    before=$(sets_seen)
    t=$(now)
    "$cli" set --adapter "$TELVANE_ADAPTER1" --from-json "${step#*:}" --ensure --force --json >"$work/set.out" || true
    echo "${step%%:*}: $(elapsed "$t"), $(grep -o '"failed": [0-9]*' "$work/set.out" | head -1), $(($(sets_seen) - before)) set requests"
done
echo "journal: $(cat "$work"/.local/state/telvane/journal.jsonl* | wc -l) lines in $(ls "$work"/.local/state/telvane | wc -l) file(s)"
