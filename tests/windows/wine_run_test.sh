#!/usr/bin/env bash
# scripts/wine-run.sh starts wine only inside the private namespace, each run in a prefix of
# its own. A stand-in for wine and wineserver on PATH records every call, so that a refusal
# is seen to start nothing at all. Needs root for the namespaces.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
run="$root/scripts/wine-run.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

mkdir "$work/bin"
cat >"$work/bin/wine" <<'STUB'
#!/usr/bin/env bash
echo "wine $* prefix=$WINEPREFIX" >>"$TELVANE_TEST_CALLS"
[ "${1:-}" = wineboot ] && touch "$WINEPREFIX/system.reg"
[ "${1:-}" = write ] && echo written >"$WINEPREFIX/drive_c-file"
[ "${1:-}" = exit ] && exit "$2"
exit 0
STUB
cat >"$work/bin/wineserver" <<'STUB'
#!/usr/bin/env bash
echo "wineserver $* prefix=$WINEPREFIX" >>"$TELVANE_TEST_CALLS"
STUB
chmod +x "$work/bin/wine" "$work/bin/wineserver"
export PATH="$work/bin:$PATH" TELVANE_TEST_CALLS="$work/calls" TELVANE_WINE_TEMPLATE="$work/template"

expect_refusal() {
    local what=$1 rc=0
    shift
    : >"$work/calls"
    "$@" >"$work/out" 2>&1 || rc=$?
    [ "$rc" -eq 125 ] || fail "$what: exit $rc, expected 125"
    grep -q refusing "$work/out" || fail "$what: no refusal message"
    [ ! -s "$work/calls" ] || fail "$what: wine was called: $(cat "$work/calls")"
}

expect_refusal "on the host" "$run" true
expect_refusal "on the host with the harness's variables" \
    env TELVANE_NETNS_HARNESS=1 TELVANE_PROGRAM_NETNS=telvane-prog-1 "$run" true

# A namespace with the right name but an interface netns.sh does not make.
ns="telvane-prog-test$$"
ip netns add "$ns"
ip -n "$ns" link add name eth0 type veth peer name eth1
expect_refusal "in a namespace with foreign links" \
    ip netns exec "$ns" env TELVANE_NETNS_HARNESS=1 TELVANE_PROGRAM_NETNS="$ns" "$run" true
ip netns del "$ns"

# Inside: the template is made once, each run has a fresh prefix that no run sees again,
# the run's wineserver is ended, and the program's exit status comes back.
: >"$work/calls"
rc=0
"$run" --netns exit 7 >"$work/out" 2>&1 || rc=$?
[ "$rc" -eq 7 ] || fail "the program's exit status: $rc, expected 7 ($(cat "$work/out"))"
[ -f "$work/template/.telvane-ready" ] || fail "no template prefix was made"
"$run" --netns write >/dev/null 2>&1 || fail "second run failed"
[ ! -e "$work/template/drive_c-file" ] || fail "a run wrote into the template"
mapfile -t prefixes < <(sed -n 's/^wine \(exit\|write\).* prefix=//p' "$work/calls")
[ "${#prefixes[@]}" -eq 2 ] || fail "expected two runs, calls: $(cat "$work/calls")"
[ "${prefixes[0]:-a}" != "${prefixes[1]:-a}" ] || fail "two runs shared the prefix ${prefixes[0]:-}"
for p in "${prefixes[@]}"; do
    [ ! -e "$p" ] || fail "prefix $p left behind"
    grep -q "^wineserver -k prefix=$p\$" "$work/calls" || fail "no wineserver -k for $p"
done
[ "$(grep -c '^wine wineboot' "$work/calls")" -eq 1 ] || fail "the template was not made exactly once"

[ "$failures" -eq 0 ] && echo "wine-run: all checks passed"
exit "$failures"
