#!/usr/bin/env bash
# The window through the accessibility bus (AT-SPI), against telvane-sim in the private
# namespaces, on an Xvfb display of its own and a session bus of its own:
#   atspi_test.sh TELVANE TELVANE_SIM [actions|keys]...
# Runs tests/a11y/atspi_window_test.py once per mode (both by default), each with a fresh
# simulator. Exits 77 (skipped) when something it needs is missing; outside the namespaces
# it is skipped too, except in CI, where that is a failure.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
[ $# -ge 2 ] || { echo "usage: $0 TELVANE TELVANE_SIM [actions|keys]..." >&2; exit 2; }
telvane=$1 sim=$2
shift 2
modes=("$@")
[ ${#modes[@]} -gt 0 ] || modes=(actions keys)

if [ -z "${TELVANE_NETNS_HARNESS:-}" ]; then
    if [ "${CI:-}" = true ]; then
        echo "FAIL: not inside the private namespaces (scripts/netns.sh run -- ...)"
        exit 1
    fi
    echo "SKIP: sends datagrams; runs only inside the private namespaces (scripts/netns.sh run -- ...)"
    exit 77
fi
for f in "$telvane" "$sim"; do
    [ -x "$f" ] || { echo "SKIP: $f is not built"; exit 77; }
done
for tool in Xvfb dbus-run-session /usr/libexec/at-spi-bus-launcher; do
    command -v "$tool" >/dev/null ||
        { echo "SKIP: $tool is missing (Debian: apt-get install xvfb dbus at-spi2-core)"; exit 77; }
done
# pyatspi belongs to the system's python3, whatever python3 comes first on PATH.
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null ||
    { echo "SKIP: /usr/bin/python3 has no pyatspi (Debian: apt-get install python3-pyatspi)"; exit 77; }

work=$(mktemp -d)
xvfb= sim_pid=
cleanup() {
    [ -z "$sim_pid" ] || kill "$sim_pid" 2>/dev/null || true
    [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb
unset QT_SCALE_FACTOR

failures=0
for mode in "${modes[@]}"; do
    : >"$work/sim.log"
    ip netns exec "$TELVANE_SIM_NETNS" "$sim" --config "$here/devices.json" --log "$work/sim.log" &
    sim_pid=$!
    for _ in $(seq 50); do grep -q '^# listening' "$work/sim.log" 2>/dev/null && break; sleep 0.1; done
    # One session bus per run, with the accessibility bus and its registry on it.
    dbus-run-session -- bash -c '
        /usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
        launcher=$!
        "$1" >"$2/telvane.log" 2>&1 &
        app=$!
        status=0
        timeout 180 /usr/bin/python3 "$3" "$4" || status=$?
        kill "$app" 2>/dev/null && { echo "FAIL: the window was still open"; status=1; }
        kill "$launcher" 2>/dev/null || true
        wait 2>/dev/null || true
        exit "$status"' _ "$telvane" "$work" "$here/atspi_window_test.py" "$mode" 2>/dev/null ||
        { failures=$((failures + 1)); sed 's/^/telvane: /' "$work/telvane.log" | tail -20; }
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
    sim_pid=
done
[ "$failures" -eq 0 ]
