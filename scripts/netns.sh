#!/usr/bin/env bash
# Runs a command inside a private pair of network namespaces, so that nothing the
# command sends can reach a real interface.
#
#   scripts/netns.sh run -- CMD [ARG...]
#
# Program side (CMD runs here)          device side (the simulator runs here)
#   tvp1 192.0.2.1/24     02:00:5e:00:01:01  <-veth->  tvd1 192.0.2.2/24
#   tvp2 198.51.100.1/24  02:00:5e:00:02:01  <-veth->  tvd2 198.51.100.2/24
#
# CMD gets these variables:
#   TELVANE_NETNS_HARNESS=1
#   TELVANE_PROGRAM_NETNS, TELVANE_SIM_NETNS   the two namespaces (ip netns exec NAME ...)
#   TELVANE_ADAPTER1, TELVANE_ADAPTER2         the program side's addresses, in adapter order
#   TELVANE_ADAPTER1_MAC, TELVANE_ADAPTER2_MAC their hardware addresses
#   TELVANE_SIM_ADDRESS1, TELVANE_SIM_ADDRESS2 the device side's addresses on the same links
# Everything is torn down when CMD ends; its exit code is passed on.
#
#   scripts/netns.sh layout same-subnet|base      (only inside a run)
#
# same-subnet adds a computer with two adapters on one LAN: the program side gets
#   tvp3 203.0.113.1/24  02:00:5e:00:03:01    tvp4 203.0.113.5/24  02:00:5e:00:04:01
# both plugged into one switch on the device side (bridge tvb3 203.0.113.2/24 over
# tvd3 and tvd4). The device side reaches 203.0.113.1 over link 4, as a LAN does when
# the second adapter answered the ARP request for the first one's address. base
# removes them again.
set -euo pipefail

usage() {
    echo "usage: $0 run -- CMD [ARG...] | $0 layout same-subnet|base" >&2
    exit 2
}

# The switch's table and the neighbour entry are fixed, so the path is the same on
# every run rather than whichever adapter answered ARP first.
same_subnet_up() {
    local p=$TELVANE_PROGRAM_NETNS d=$TELVANE_SIM_NETNS
    ip -n "$d" link add tvb3 type bridge stp_state 0 forward_delay 0
    local n
    for n in 3 4; do
        ip link add name "tvp$n" netns "$p" address "02:00:5e:00:0$n:01" type veth \
            peer name "tvd$n" netns "$d" address "02:00:5e:00:0$n:02"
        ip -n "$d" link set "tvd$n" master tvb3
        ip -n "$d" link set "tvd$n" up
        ip -n "$p" link set "tvp$n" up
    done
    ip -n "$p" addr add 203.0.113.1/24 dev tvp3
    ip -n "$p" addr add 203.0.113.5/24 dev tvp4
    ip -n "$d" addr add 203.0.113.2/24 dev tvb3
    ip -n "$d" link set tvb3 up
    bridge -n "$d" fdb replace 02:00:5e:00:03:01 dev tvd3 master static
    bridge -n "$d" fdb replace 02:00:5e:00:04:01 dev tvd4 master static
    ip -n "$d" neigh replace 203.0.113.1 lladdr 02:00:5e:00:04:01 dev tvb3 nud permanent
    ip -n "$d" neigh replace 203.0.113.5 lladdr 02:00:5e:00:04:01 dev tvb3 nud permanent
    # The way back to the devices' side is the link their answers come in on, so that
    # strict reverse-path filtering, where the host has it, does not drop them.
    ip -n "$p" route add 203.0.113.2/32 dev tvp4 src 203.0.113.5
    wait_for_carrier
}

same_subnet_down() {
    ip -n "$TELVANE_PROGRAM_NETNS" link del tvp3 2>/dev/null || true
    ip -n "$TELVANE_PROGRAM_NETNS" link del tvp4 2>/dev/null || true
    ip -n "$TELVANE_SIM_NETNS" link del tvb3 2>/dev/null || true
}

# A veth end reports its carrier a moment after both ends are up.
wait_for_carrier() {
    local down
    for _ in $(seq 50); do
        down=$( (ip -n "${TELVANE_PROGRAM_NETNS:-$program_ns}" -br link; ip -n "${TELVANE_SIM_NETNS:-$device_ns}" -br link) |
            grep -Ec '^tv[pdb][0-9]+(@[^ ]*)? +DOWN' || true)
        [ "$down" -eq 0 ] && return 0
        sleep 0.1
    done
}

if [ "${1:-}" = "layout" ]; then
    [ -n "${TELVANE_PROGRAM_NETNS:-}" ] && [ -n "${TELVANE_SIM_NETNS:-}" ] ||
        { echo "$0: layout works only inside $0 run" >&2; exit 2; }
    case "${2:-}" in
        same-subnet) same_subnet_down; same_subnet_up ;;
        base) same_subnet_down ;;
        *) usage ;;
    esac
    exit 0
fi
[ "${1:-}" = "run" ] || usage
shift
[ "${1:-}" = "--" ] && shift
[ $# -gt 0 ] || usage
[ "$(id -u)" -eq 0 ] || { echo "$0: making network namespaces needs root" >&2; exit 2; }

tag="$$-$(date +%s%N | tail -c 7)"
program_ns="telvane-prog-$tag"
device_ns="telvane-dev-$tag"

cleanup() {
    ip netns del "$program_ns" 2>/dev/null || true
    ip netns del "$device_ns" 2>/dev/null || true
}
trap cleanup EXIT
trap 'exit 130' INT TERM

ip netns add "$program_ns"
ip netns add "$device_ns"
for ns in "$program_ns" "$device_ns"; do
    ip -n "$ns" link set lo up
done

# link n: program side tvpN, device side tvdN; created inside the namespaces directly.
make_link() {
    local n=$1 program_address=$2 device_address=$3 program_mac=$4 device_mac=$5
    ip link add name "tvp$n" netns "$program_ns" address "$program_mac" type veth \
        peer name "tvd$n" netns "$device_ns" address "$device_mac"
    ip -n "$program_ns" addr add "$program_address" dev "tvp$n"
    ip -n "$device_ns" addr add "$device_address" dev "tvd$n"
    ip -n "$program_ns" link set "tvp$n" up
    ip -n "$device_ns" link set "tvd$n" up
}
make_link 1 192.0.2.1/24 192.0.2.2/24 02:00:5e:00:01:01 02:00:5e:00:01:02
make_link 2 198.51.100.1/24 198.51.100.2/24 02:00:5e:00:02:01 02:00:5e:00:02:02

wait_for_carrier

set +e
ip netns exec "$program_ns" env \
    TELVANE_NETNS_HARNESS=1 \
    TELVANE_PROGRAM_NETNS="$program_ns" \
    TELVANE_SIM_NETNS="$device_ns" \
    TELVANE_ADAPTER1=192.0.2.1 TELVANE_ADAPTER2=198.51.100.1 \
    TELVANE_ADAPTER1_MAC=02-00-5e-00-01-01 TELVANE_ADAPTER2_MAC=02-00-5e-00-02-01 \
    TELVANE_SIM_ADDRESS1=192.0.2.2 TELVANE_SIM_ADDRESS2=198.51.100.2 \
    "$@"
rc=$?
set -e
exit "$rc"
