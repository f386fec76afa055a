#!/usr/bin/env bash
# Regenerates the dissector fixtures: sends the datagrams of datagrams.py across a veth pair
# between two private network namespaces made here, captures them with tcpdump, and writes
# the values they were built from next to the capture. Nothing leaves the namespaces.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
[ "$(id -u)" -eq 0 ] || { echo "make-captures.sh: needs root (network namespaces)" >&2; exit 1; }

a="tvpkg-a-$$" b="tvpkg-b-$$"
cleanup() {
    [ -n "${dump:-}" ] && kill "$dump" 2>/dev/null || true
    ip netns del "$a" 2>/dev/null || true
    ip netns del "$b" 2>/dev/null || true
}
trap cleanup EXIT
ip netns add "$a"
ip netns add "$b"
ip link add tvpkg-va type veth peer name tvpkg-vb netns "$b"
ip link set tvpkg-va netns "$a"
ip -n "$a" addr add 192.0.2.1/24 dev tvpkg-va
ip -n "$b" addr add 192.0.2.10/24 dev tvpkg-vb
for ns in "$a" "$b"; do ip -n "$ns" link set lo up; done
ip -n "$a" link set tvpkg-va up
ip -n "$b" link set tvpkg-vb up
# The limited broadcast needs a route out of the program's namespace.
ip -n "$a" route add default dev tvpkg-va

pcap="$here/datagrams.pcap"
rm -f "$pcap"
ip netns exec "$b" tcpdump -i tvpkg-vb --immediate-mode -U -w "$pcap" -s 2048 'udp port 18768' 2>/dev/null &
dump=$!
sleep 1
ip netns exec "$a" python3 "$here/send-datagrams.py" requests 192.0.2.1 40000
# The program's side must be able to take the replies: keep a socket open on its port.
ip netns exec "$a" python3 -c 'import socket,time; s=socket.socket(socket.AF_INET,socket.SOCK_DGRAM); s.bind(("192.0.2.1",40000)); time.sleep(3)' &
sleep 0.3
ip netns exec "$b" python3 "$here/send-datagrams.py" replies 192.0.2.10 192.0.2.1 40000
wait %2 2>/dev/null || true
sleep 0.5
kill -INT "$dump"; wait "$dump" 2>/dev/null || true; dump=""
chmod 644 "$pcap"
python3 -c "import sys; sys.path.insert(0, '$here'); import datagrams, json
items = datagrams.requests() + datagrams.replies()
json.dump([dict(bytes=d.hex(), fields=e) for d, e in items], open('$here/datagrams.json', 'w'), indent=1, ensure_ascii=False)"
echo "wrote $pcap and $here/datagrams.json"
