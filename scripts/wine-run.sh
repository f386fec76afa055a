#!/usr/bin/env bash
# Runs one Windows program under wine inside the project's private network namespace.
#
#   scripts/wine-run.sh [--netns] PROGRAM [ARG...]      e.g. build-windows/.../test.exe, msiexec /i x.msi
#   scripts/wine-run.sh [--netns] --session CMD [ARG...]
#
# --session runs CMD, a host command, with WINEPREFIX set to the run's prefix, for a test
# that starts wine several times in one prefix (install, run, uninstall).
#
# Wine makes its sockets in its wineserver: a wineserver started on the host would put the
# program on the host's network. So this script starts wine only when it can prove that it
# runs in a namespace made by scripts/netns.sh, and refuses otherwise. With --netns it makes
# that namespace first when it is not already in one (needs root, as netns.sh does).
#
# Every run gets a prefix of its own, copied from a template prefix (made once, also inside
# a namespace, kept in $TELVANE_WINE_TEMPLATE or ~/.cache/telvane/wine-template); the
# run's wineserver is ended and its prefix removed afterwards. The program's exit status is
# passed on; 125 means that wine was not started.
#   TELVANE_WINE_KEEP=DIR   copy the run's prefix to DIR before it is removed (for looking into)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
enter=0
session=0
if [ "${1:-}" = "--netns" ]; then
    enter=1
    shift
fi
if [ "${1:-}" = "--session" ]; then
    session=1
    shift
fi
[ $# -gt 0 ] || { echo "usage: $0 [--netns] [--session] PROGRAM [ARG...]" >&2; exit 125; }

# The proof: a network namespace registered under the name netns.sh gave it, holding no
# interface but loopback and netns.sh's own links, and (where process 1 can be looked at,
# not in every container) not the one of process 1.
inside_private_namespace() {
    local ours init name links
    ours=$(readlink /proc/self/ns/net) || return 1
    if init=$(readlink /proc/1/ns/net 2>/dev/null); then
        [ "$ours" != "$init" ] || return 1
    fi
    [ "${TELVANE_NETNS_HARNESS:-}" = 1 ] || return 1
    name=$(ip netns identify "$$" 2>/dev/null) || return 1
    case "$name" in telvane-prog-*) ;; *) return 1 ;; esac
    [ "$name" = "${TELVANE_PROGRAM_NETNS:-}" ] || return 1
    links=$(ip -o link show | awk -F': ' '{ sub(/@.*/, "", $2); print $2 }')
    [ -n "$links" ] || return 1
    while read -r link; do
        case "$link" in lo | tvp[0-9]*) ;; *) return 1 ;; esac
    done <<<"$links"
    return 0
}

if ! inside_private_namespace; then
    if [ "$enter" -eq 1 ]; then
        [ "$session" -eq 1 ] && set -- --session "$@"
        exec "$here/netns.sh" run -- "$0" "$@"
    fi
    echo "$0: refusing to start wine outside the private network namespace (use scripts/netns.sh run -- $0 ...)" >&2
    exit 125
fi

command -v wine >/dev/null && command -v wineserver >/dev/null ||
    { echo "$0: wine is not installed (Debian: apt-get install wine wine64)" >&2; exit 125; }

# No menu entries or file associations on the host, no downloads of Mono or Gecko.
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=;mshtml=${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEARCH=win64

# A wineserver serves the prefix whose directory has its device and inode numbers. A fresh
# directory whose numbers belong to a server still running (one left from a directory since
# removed) would join that server, wherever it runs: such a directory is not used.
server_running_for() {
    local dev ino
    dev=$(stat -c %d "$1")
    ino=$(stat -c %i "$1")
    [ -S "/tmp/.wine-$(id -u)/server-$(printf '%x-%x' "$dev" "$ino")/socket" ]
}

fresh_directory() {
    local parent=$1 dir
    for _ in 1 2 3 4 5; do
        dir=$(mktemp -d "$parent/telvane-wine.XXXXXX")
        if ! server_running_for "$dir"; then
            echo "$dir"
            return 0
        fi
        rmdir "$dir"
    done
    echo "$0: no prefix directory free of a running wineserver" >&2
    return 1
}

template=${TELVANE_WINE_TEMPLATE:-${XDG_CACHE_HOME:-$HOME/.cache}/telvane/wine-template}
mkdir -p "$(dirname "$template")"
exec 9>"$template.lock"
flock 9
if [ ! -f "$template/.telvane-ready" ]; then
    rm -rf "$template"
    made=$(fresh_directory "$(dirname "$template")")
    echo "$0: making the template wine prefix (once)" >&2
    WINEPREFIX="$made" wine wineboot --init >/dev/null 2>&1 || true
    WINEPREFIX="$made" wineserver -w || true
    [ -f "$made/system.reg" ] || { echo "$0: wineboot made no prefix" >&2; rm -rf "$made"; exit 125; }
    touch "$made/.telvane-ready"
    mv "$made" "$template"
fi
flock -u 9

# The run's prefix is the template under an overlay of its own (no 700 MB copy), mounted in
# a mount namespace of this run's, so that the mount goes with it whatever happens.
if [ "${TELVANE_WINE_OWN_MOUNTS:-}" != 1 ]; then
    [ "$session" -eq 1 ] && set -- --session "$@"
    TELVANE_WINE_OWN_MOUNTS=1 exec unshare --mount --propagation private "$0" "$@"
fi
run=$(fresh_directory "${TMPDIR:-/tmp}")
mkdir "$run/upper" "$run/work" "$run/prefix"
mounted=0
cleanup() {
    WINEPREFIX="$run/prefix" wineserver -k 2>/dev/null || true
    WINEPREFIX="$run/prefix" wineserver -w 2>/dev/null || true
    if [ -n "${TELVANE_WINE_KEEP:-}" ]; then
        rm -rf "$TELVANE_WINE_KEEP"
        cp -a "$run/prefix" "$TELVANE_WINE_KEEP"
    fi
    [ "$mounted" -eq 0 ] || umount "$run/prefix" || true
    rm -rf "$run"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
if mount -t overlay overlay -o "lowerdir=$template,upperdir=$run/upper,workdir=$run/work" "$run/prefix" 2>/dev/null; then
    mounted=1
else
    cp -a "$template/." "$run/prefix/"
fi
if server_running_for "$run/prefix"; then
    echo "$0: a wineserver already serves a directory like this run's prefix; not starting" >&2
    exit 125
fi

set +e
if [ "$session" -eq 1 ]; then
    WINEPREFIX="$run/prefix" "$@"
else
    WINEPREFIX="$run/prefix" wine "$@"
fi
rc=$?
set -e
exit "$rc"
