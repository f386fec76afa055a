#!/usr/bin/env bash
# The demo command: installs what is missing (Debian 12), builds, and opens telvane in a
# private network namespace where telvane-sim plays a varied set of devices. On the
# user's display when there is a usable one; otherwise under Xvfb, saving a screenshot.
# Nothing is sent on a real interface.
#
#   scripts/demo.sh [--headless]      --headless: always Xvfb and a screenshot
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
. scripts/lib.sh

headless=0
[ "${1:-}" = "--headless" ] && headless=1
if [ "$(id -u)" -ne 0 ]; then
    echo "demo.sh: making network namespaces needs root; run it with sudo" >&2
    exit 2
fi

ensure_packages $BUILD_PACKAGES $DEMO_PACKAGES iproute2

echo "=== build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build -j "$(nproc)" --target telvane telvane-sim

export TELVANE_DEMO_ROOT="$root" TELVANE_DEMO_HEADLESS="$headless"
exec scripts/netns.sh run -- bash -c '
set -euo pipefail
root=$TELVANE_DEMO_ROOT
work=$(mktemp -d /tmp/telvane-demo.XXXXXX)
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; wait 2>/dev/null || true; }
trap cleanup EXIT

ip netns exec "$TELVANE_SIM_NETNS" "$root/build/tools/sim/telvane-sim" \
    --config "$root/scripts/demo-devices.json" --log "$work/sim.log" &
pids+=($!)
for _ in $(seq 50); do grep -q "^# listening" "$work/sim.log" 2>/dev/null && break; sleep 0.1; done

# A display reached through its socket file works from inside the namespace; a TCP
# one (ssh forwarding) does not, so it is tried first.
if [ "$TELVANE_DEMO_HEADLESS" = 0 ] && [ -n "${DISPLAY:-}" ] && timeout 5 xwd -root -silent >/dev/null 2>&1; then
    echo "=== telvane on $DISPLAY (devices: scripts/demo-devices.json; close the window to end)"
    "$root/build/app/telvane"
    exit 0
fi

display=99
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1024x640x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
export DISPLAY=":$display"
echo "=== telvane under Xvfb $DISPLAY"
"$root/build/app/telvane" &
pids+=($!)
sleep 4  # start-up and the first enumeration (three waits of 150 ms)
shot="$work/telvane-demo.png"
import -window root "$shot"
echo "screenshot: $shot"
echo "simulator log: $work/sim.log"
'
