#!/usr/bin/env bash
# telvane-cli.exe under wine against telvane-sim answers as the Linux build does: the same
# enumeration on both adapters (line endings aside), and the same outcome and exit status
# for a set that is accepted, refused, and not answered.
#   cli_compare_test.sh LINUX_BUILD_DIR WINDOWS_CLI_EXE
# Makes its own namespace (root). Exits 77 (skipped) when the Linux build lacks the
# programs it compares with.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
[ $# -eq 2 ] || { echo "usage: $0 LINUX_BUILD_DIR WINDOWS_CLI_EXE" >&2; exit 2; }
linux_cli="$1/tools/cli/telvane-cli"
sim="$1/tools/sim/telvane-sim"
windows_cli=$2
for program in "$linux_cli" "$sim"; do
    [ -x "$program" ] || { echo "SKIP: $program is not built (cmake --build $1 --target telvane-cli telvane-sim)"; exit 77; }
done
if [ -z "${TELVANE_NETNS_HARNESS:-}" ]; then
    exec "$root/scripts/netns.sh" run -- "$0" "$@"
fi

work=$(mktemp -d)
# Sets are journalled: the Linux build's into this run's folder, not the user's.
export XDG_STATE_HOME="$work/state"
sim_pid=
trap '[ -z "$sim_pid" ] || kill "$sim_pid" 2>/dev/null || true; rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The demo's devices (every kind of reply and name, a locked one, a refusing one, one in
# another subnet, one on the second adapter) and one that never answers a set.
python3 - "$root/scripts/demo-devices.json" >"$work/devices.json" <<'PY'
import json, sys
config = json.load(open(sys.argv[1]))
config["devices"].append({"mac": "00-1a-2b-3c-4d-09", "ipv4_address": "192.0.2.29", "ipv4_gateway": "192.0.2.1",
                          "model_name": "TLV-100", "device_name": "Never answers a set", "set": "silent",
                          "interface": "tvd1"})
json.dump(config, sys.stdout)
PY
ip netns exec "$TELVANE_SIM_NETNS" "$sim" --config "$work/devices.json" --log "$work/sim.log" &
sim_pid=$!
for _ in $(seq 50); do grep -q '^# listening' "$work/sim.log" 2>/dev/null && break; sleep 0.1; done

# Runs both builds with the same arguments; keeps stdout (Windows' line ends made Unix)
# and the exit status of each.
both() {
    local name=$1 rc
    shift
    rc=0
    local before
    before=$(wc -l <"$work/sim.log")
    "$root/scripts/wine-run.sh" "$windows_cli" "$@" >"$work/$name.windows" 2>"$work/$name.windows.err" || rc=$?
    echo "$rc" >"$work/$name.windows.rc"
    tail -n +"$((before + 1))" "$work/sim.log" | grep '^RX ' >"$work/$name.windows.rx" || true
    sed -i 's/\r$//' "$work/$name.windows"
    rc=0
    "$linux_cli" "$@" >"$work/$name.linux" 2>"$work/$name.linux.err" || rc=$?
    echo "$rc" >"$work/$name.linux.rc"
}

same() {
    local name=$1 expected_rc=$2
    if ! diff -u "$work/$name.linux" "$work/$name.windows" >"$work/$name.diff"; then
        fail "$name: the outputs differ:"
        cat "$work/$name.diff"
        echo "--- stderr of telvane-cli.exe:"
        cat "$work/$name.windows.err"
    fi
    [ "$(cat "$work/$name.windows.rc")" = "$expected_rc" ] ||
        fail "$name: telvane-cli.exe exited $(cat "$work/$name.windows.rc"), expected $expected_rc"
    [ "$(cat "$work/$name.linux.rc")" = "$expected_rc" ] ||
        fail "$name: telvane-cli exited $(cat "$work/$name.linux.rc"), expected $expected_rc"
}

both enumerate-1 enumerate --adapter 0 --json
same enumerate-1 0
grep -q '"00-1a-2b-3c-4d-07"' "$work/enumerate-1.windows" || fail "the broadcast answer is not listed"
grep -q 'Überwachung Süd' "$work/enumerate-1.windows" || fail "the UTF-16 name is not listed"
both enumerate-2 enumerate --adapter 1 --json
same enumerate-2 0
grep -q '"00-1a-2b-3c-4d-08"' "$work/enumerate-2.windows" || fail "the second adapter's device is not listed"
both enumerate-csv enumerate --adapter "$TELVANE_ADAPTER1" --csv
same enumerate-csv 0

# Setting the address a device already has: accepted, and the next run finds it unchanged.
both set-accepted set --adapter 0 --mac 00-1a-2b-3c-4d-02 --ip 192.0.2.21 --json
same set-accepted 0
both set-refused set --adapter 0 --mac 00-1a-2b-3c-4d-06 --ip 192.0.2.45 --json
same set-refused 1
both set-silent set --adapter 0 --mac 00-1a-2b-3c-4d-09 --ip 192.0.2.46 --json
same set-silent 1
both set-unknown set --adapter 0 --mac 00-1a-2b-3c-4d-7f --ip 192.0.2.47 --json
same set-unknown 2
both no-adapter enumerate --adapter 7 --json
same no-adapter 3

# A batch from a file whose name the ANSI code page cannot hold: found and read alike.
csv_name='Устройства Süd.csv'
printf 'mac,ip\r\n00-1a-2b-3c-4d-02,192.0.2.48\r\n' >"$work/$csv_name"
(cd "$work" && both batch set --adapter 0 --from-csv "$csv_name" --dry-run --json)
same batch 0
grep -q '192.0.2.48' "$work/batch.windows" || fail "the batch's row is not planned: $(cat "$work/batch.windows.err")"

# The journal, history and restore alike, each build with a journal of its own that
# outlives its wine prefix; ids and times differ by nature.
win_journal="Z:$(printf '%s' "$work" | tr / '\\')\\windows-journal.jsonl"
journalled() {
    local name=$1 linux_journal=$2 windows_journal=$3 rc
    shift 3
    rc=0
    TELVANE_JOURNAL="$windows_journal" "$root/scripts/wine-run.sh" "$windows_cli" "$@" >"$work/$name.windows" \
        2>"$work/$name.windows.err" || rc=$?
    echo "$rc" >"$work/$name.windows.rc"
    sed -i 's/\r$//' "$work/$name.windows"
    rc=0
    TELVANE_JOURNAL="$linux_journal" "$linux_cli" "$@" >"$work/$name.linux" 2>"$work/$name.linux.err" || rc=$?
    echo "$rc" >"$work/$name.linux.rc"
    sed -i -E 's/[0-9]{9,}-[0-9]+-[0-9]+/ID/g; s/[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9:]{8}[+-][0-9]{4}/TIME/g' \
        "$work/$name.windows" "$work/$name.linux"
}
journalled journal-set "$work/linux-journal.jsonl" "$win_journal" set --adapter 0 --mac 00-1a-2b-3c-4d-02 \
    --ip 192.0.2.21 --json
same journal-set 0
grep -q '"kind":"outcome"' "$work/windows-journal.jsonl" 2>/dev/null || fail "telvane-cli.exe journalled nothing in $win_journal"
journalled history "$work/linux-journal.jsonl" "$win_journal" history --mac 00-1a-2b-3c-4d-02 --json
same history 0
grep -q '"changes": \[\]' "$work/history.windows" || fail "history under wine: $(cat "$work/history.windows")"
journalled restore "$work/linux-journal.jsonl" "$win_journal" restore --adapter 0 --mac 00-1a-2b-3c-4d-02 --dry-run --json
same restore 0
sets_before=$(grep -cE '^RX .* data=ffff49' "$work/sim.log" || true)
journalled unwritable /dev/null/telvane/journal.jsonl 'Z:\dev\null\telvane\journal.jsonl' set --adapter 0 \
    --mac 00-1a-2b-3c-4d-02 --ip 192.0.2.21 --json
for side in linux windows; do
    [ "$(cat "$work/unwritable.$side.rc")" = 4 ] || fail "unwritable journal ($side): exit $(cat "$work/unwritable.$side.rc")"
    grep -q '"code": "journal"' "$work/unwritable.$side" || fail "unwritable journal ($side): $(cat "$work/unwritable.$side")"
done
[ "$(grep -cE '^RX .* data=ffff49' "$work/sim.log" || true)" = "$sets_before" ] || fail "a set left without its journal"

# The watch's JSON lines carry the local time with a numeric offset, as on Linux (the C
# runtime's %z would give the zone's name).
timeout -s TERM 6 "$root/scripts/wine-run.sh" "$windows_cli" enumerate --watch --interval 1 --json \
    >"$work/watch.windows" 2>/dev/null || true
first=$(head -1 "$work/watch.windows" | tr -d '\r')
[[ "$first" =~ ^\{\"time\":\ \"[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}[+-][0-9]{4}\",\ \"event\":\ \"appeared\" ]] ||
    fail "the watch's first line: $first"

# The enumeration's requests from telvane-cli.exe: three broadcasts out of adapter 0,
# 150 ms apart.
awk -v from="from=$TELVANE_ADAPTER1:" '
    index($0, from) && / to=255\.255\.255\.255 / && / len=5 / {
        sub(/^t=/, "", $2); t[n++] = $2 }
    END {
        if (n != 3) { print "requests: " n; exit 1 }
        for (i = 1; i < n; i++) { d = t[i] - t[i - 1]; if (d < 120 || d > 400) { print "gap: " d; exit 1 } }
    }' "$work/enumerate-1.windows.rx" || fail "not three requests 150 ms apart: $(cat "$work/enumerate-1.windows.rx")"

[ "$failures" -eq 0 ] && echo "cli-compare: all checks passed"
exit "$failures"
