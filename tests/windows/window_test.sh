#!/usr/bin/env bash
# The window under wine, on a virtual X display of its own, against telvane-sim in the
# private namespace.
#   window_test.sh start LINUX_BUILD_DIR TELVANE_EXE SCREENSHOT.png
#       telvane.exe starts, sends its three enumerate requests 150 ms apart out of the first
#       adapter and lists the devices; a picture of the screen is left in SCREENSHOT.png.
#   window_test.sh run LINUX_BUILD_DIR TEST_PROGRAM_EXE [ARG...]
#       runs an in-process window test against the simulator; TELVANE_SIM_LOG names the
#       simulator's log (a Windows path) for the program.
# Makes its own namespace (root). Exits 77 (skipped) when something it needs is missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
self="$root/tests/windows/window_test.sh"
[ $# -ge 3 ] || { echo "usage: $0 start|run LINUX_BUILD_DIR PROGRAM [ARG...]" >&2; exit 2; }

# Inside wine's session: the program, then a picture once the devices have answered.
if [ "$1" = --inside-start ]; then
    program=$2 shot=$3 log=$4 found=$5
    # In a wine desktop window: without a window manager on the display the window would
    # have no frame, and the picture is to show its caption and icon too.
    wine explorer /desktop=telvane,1024x700 "$program" >/dev/null 2>&1 &
    # Wine's first start in a prefix takes a few seconds; the enumeration then takes 3.
    for _ in $(seq 300); do
        [ "$(grep -c '^RX .* len=5 ' "$log" || true)" -ge 3 ] && break
        sleep 0.1
    done
    # The last request's answers, then the list's painting.
    sleep 3
    xwininfo -root -tree | grep -F '"Network Device Telvane"' >"$found" || true
    import -window root "$shot" || true
    wineserver -k || true
    exit 0
fi

mode=$1 linux_build=$2 sim="$2/tools/sim/telvane-sim"
shift 2
[ -x "$sim" ] || { echo "SKIP: $sim is not built (cmake --build <build> --target telvane-sim)"; exit 77; }
for tool in Xvfb import xwininfo; do
    command -v "$tool" >/dev/null ||
        { echo "SKIP: $tool is not installed (Debian: apt-get install xvfb imagemagick x11-utils)"; exit 77; }
done
if [ -z "${TELVANE_NETNS_HARNESS:-}" ]; then
    exec "$root/scripts/netns.sh" run -- "$self" "$mode" "$linux_build" "$@"
fi

work=$(mktemp -d)
sim_pid= xvfb=
trap '[ -z "$sim_pid" ] || kill "$sim_pid" 2>/dev/null || true
      [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
      wait 2>/dev/null || true; rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

ip netns exec "$TELVANE_SIM_NETNS" "$sim" --config "$root/scripts/demo-devices.json" --log "$work/sim.log" &
sim_pid=$!
for _ in $(seq 50); do grep -q '^# listening' "$work/sim.log" 2>/dev/null && break; sleep 0.1; done

Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "FAIL: Xvfb gave no display"; exit 1; }
export DISPLAY=":$(tr -d '[:space:]' <"$work/display")"

# The first adapter's enumerate requests (RX lines of the log): three broadcasts, 150 ms
# apart. $1: the log's lines to look at.
three_requests() {
    awk -v from="from=$TELVANE_ADAPTER1:" '
        /^RX / && index($0, from) && / to=255\.255\.255\.255 / && / len=5 / { sub(/^t=/, "", $2); t[n++] = $2 }
        END {
            if (n != 3) { print "requests: " n; exit 1 }
            for (i = 1; i < n; i++) { d = t[i] - t[i - 1]; if (d < 120 || d > 400) { print "gap: " d; exit 1 } }
        }' "$1"
}

if [ "$mode" = start ]; then
    program=$1 shot=$2
    rm -f "$shot"
    "$root/scripts/wine-run.sh" --session bash "$self" --inside-start "$program" "$shot" "$work/sim.log" \
        "$work/window" || fail "the wine session exited $?"
    three_requests "$work/sim.log" || fail "not three requests 150 ms apart: $(grep '^RX' "$work/sim.log")"
    # The first link's devices answered, to the adapter's address.
    [ "$(grep -c "^TX .* to=$TELVANE_ADAPTER1:" "$work/sim.log" || true)" -ge 6 ] ||
        fail "the devices did not answer: $(cat "$work/sim.log")"
    [ -s "$work/window" ] || fail "no window titled Network Device Telvane"
    [ -s "$shot" ] || fail "no picture taken"
    [ "$failures" -eq 0 ] && echo "window: all checks passed (picture: $shot)"
    exit "$failures"
fi

# run: the test program reads the log through wine's Z: drive.
TELVANE_SIM_LOG="Z:${work//\//\\}\\sim.log" "$root/scripts/wine-run.sh" "$@" || exit $?
