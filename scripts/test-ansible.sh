#!/usr/bin/env bash
# Checks the telvane.devices Ansible collection with Debian's ansible-core: the modules'
# unit checks, their documentation through ansible-doc, ansible-galaxy's build of the
# collection, and a play (contrib/ansible/tests/play.yml) run from the built collection
# against telvane-sim inside the private namespaces of scripts/netns.sh. Afterwards the
# simulator's log must show exactly one set request for each device that had to change.
#
#   scripts/test-ansible.sh [BUILD_DIR]     (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
tests="$root/contrib/ansible/tests"
collection="$root/contrib/ansible/ansible_collections/telvane/devices"
# Debian's ansible-core lives in the system's Python, whatever python3 is first on PATH.
python=/usr/bin/python3

if [ -z "${TELVANE_NETNS_HARNESS:-}" ]; then
    . "$root/scripts/lib.sh"
    ensure_packages $ANSIBLE_PACKAGES
    exec "$root/scripts/netns.sh" run -- "$0" "$build"
fi

work=$(mktemp -d)
sim=""
trap '[ -n "$sim" ] && kill "$sim" 2>/dev/null; rm -rf "$work"' EXIT
export ANSIBLE_LOCAL_TEMP="$work/tmp" ANSIBLE_REMOTE_TEMP="$work/tmp" ANSIBLE_NOCOLOR=1 \
    ANSIBLE_PYTHON_INTERPRETER="$python" ANSIBLE_INVENTORY_UNPARSED_WARNING=False \
    ANSIBLE_LOCALHOST_WARNING=False ANSIBLE_GALAXY_SERVER_LIST="" HOME="$work"

echo "--- unit checks of the modules"
"$python" "$tests/test_modules.py" 2>&1 | tail -n 3

echo "--- ansible-doc"
for m in discover config; do
    ANSIBLE_COLLECTIONS_PATH="$root/contrib/ansible" ansible-doc -t module "telvane.devices.$m" >"$work/doc-$m.txt"
    grep -q "telvane-cli" "$work/doc-$m.txt" || { echo "ansible-doc telvane.devices.$m shows no description"; exit 1; }
done
echo "ansible-doc renders telvane.devices.discover and telvane.devices.config"

echo "--- ansible-galaxy collection build"
ansible-galaxy collection build --output-path "$work" "$collection" >/dev/null
tarball=$(ls "$work"/telvane-devices-*.tar.gz)
ANSIBLE_COLLECTIONS_PATH="$work/collections" ansible-galaxy collection install --offline -p "$work/collections" \
    "$tarball" >/dev/null
echo "built and installed $(basename "$tarball")"

cli="$build/tools/cli/telvane-cli"

echo "--- the play against telvane-sim"
ip netns exec "$TELVANE_SIM_NETNS" "$build/tools/sim/telvane-sim" --config "$tests/sim-devices.json" \
    --log "$work/sim.log" &
sim=$!
for _ in $(seq 50); do grep -q '^# listening' "$work/sim.log" 2>/dev/null && break; sleep 0.1; done
ANSIBLE_COLLECTIONS_PATH="$work/collections" ansible-playbook -i localhost, "$tests/play.yml" \
    -e "telvane_cli=$cli" -e "telvane_adapter=$TELVANE_ADAPTER1" -e "telvane_interface=tvp1"

# What went on the wire: two set requests to the camera (the first task, and putting the
# snapshot back; the same settings again and check mode send nothing), one to the refusing
# device (a refusal is an answer).
count_sets() {
    local mac=${1//-/}
    grep -cE "^RX .* data=ffff49(50|41)$mac" "$work/sim.log" || true
}
camera=$(count_sets 02000000a001)
refusing=$(count_sets 02000000a002)
if [ "$camera" != 2 ] || [ "$refusing" != 1 ]; then
    echo "the simulator saw $camera set request(s) for the camera and $refusing for the refusing device; expected 2 and 1"
    grep -E '^RX .* data=ffff49' "$work/sim.log" || true
    exit 1
fi
echo "ansible: the play passed; the simulator saw one set request per device that had to change"
