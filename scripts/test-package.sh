#!/usr/bin/env bash
# Builds the Debian packages and checks, in a throwaway Debian 12 root, that
# telvane-cli installs alone, without Qt, and runs; that `apt-get install ./telvane_*.deb`
# then pulls in everything the window needs; and that both remove without leaving files
# behind.
#
# The minimal root (debootstrap --variant=minbase) and the downloaded packages are cached
# under build/package-root/, so a second run needs no bootstrap. The programs run inside
# the root only with --help/--version, and in a network namespace of their own without
# any interface, so nothing can be sent.
set -euo pipefail
cd "$(dirname "$0")/.."
root_dir=$(pwd)
. scripts/lib.sh

skip() { echo "test-package.sh: SKIPPED: $*"; exit 0; }
fail() { echo "test-package.sh: FAIL: $*" >&2; exit 1; }

[ "$(id -u)" -eq 0 ] || skip "needs root for debootstrap and chroot"
ensure_packages $BUILD_PACKAGES $PACKAGE_TEST_PACKAGES

suite=bookworm
cache="$root_dir/build/package-root"
tarball="$cache/$suite-minbase.tar.gz"
archives="$cache/archives"
mkdir -p "$archives/partial"

# The Debian mirror apt already uses here.
sources=$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources 2>/dev/null |
          grep -vE '^[[:space:]]*#' | grep -oE 'https?://[^[:space:]]+' || true)
mirror=$(grep -E '/debian/?$' <<<"$sources" | head -n1 || true)
[ -n "$mirror" ] || skip "no Debian mirror is configured for apt here"
security=$(grep -E '/debian-security/?$' <<<"$sources" | head -n1 || true)

echo "== build the packages"
# -O2 as Debian builds its packages; the binaries are stripped into the package.
cmake --preset package >/dev/null
cmake --build --preset package -j "$(nproc)"
rm -f build-package/telvane_*.deb build-package/telvane-cli_*.deb
(cd build-package && cpack -G DEB >/dev/null)
deb=$(ls build-package/telvane_*.deb)
cli_deb=$(ls build-package/telvane-cli_*.deb)
for d in "$cli_deb" "$deb"; do echo "built $d: $(dpkg-deb -f "$d" Depends)"; done

work=$(mktemp -d /tmp/telvane-pkgroot.XXXXXX)
root="$work/root"
mounts=()
cleanup() {
    local m
    for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do umount -l "${mounts[$i]}" 2>/dev/null || true; done
    rm -rf --one-file-system "$work"
}
trap cleanup EXIT

if [ ! -s "$tarball" ]; then
    echo "== bootstrap a minimal $suite root from $mirror (cached for later runs)"
    mkdir -p "$work/boot"
    if ! debootstrap --variant=minbase "$suite" "$work/boot" "$mirror" >"$work/debootstrap.log" 2>&1; then
        tail -n 20 "$work/debootstrap.log"
        skip "debootstrap could not build a $suite root here (see the log above)"
    fi
    rm -rf "$work/boot/var/cache/apt/archives/"*.deb
    tar -C "$work/boot" --numeric-owner -czf "$tarball.tmp" .
    mv "$tarball.tmp" "$tarball"
    rm -rf --one-file-system "$work/boot"
fi

echo "== unpack a fresh root"
mkdir -p "$root"
tar -C "$root" --numeric-owner -xzf "$tarball"
{
    echo "deb $mirror $suite main"
    echo "deb $mirror $suite-updates main"
    [ -n "$security" ] && echo "deb $security $suite-security main"
} >"$root/etc/apt/sources.list"
cp /etc/resolv.conf "$root/etc/resolv.conf"
for m in proc sys dev; do
    mount --bind "/$m" "$root/$m"
    mounts+=("$root/$m")
done
mount --bind "$archives" "$root/var/cache/apt/archives"
mounts+=("$root/var/cache/apt/archives")
cp "$deb" "$cli_deb" "$root/tmp/"
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive "$@"; }
# The tools print and exit; run them in a network namespace of their own all the same.
run_isolated() { unshare --net chroot "$root" env -i PATH=/usr/bin:/bin LANG=C.UTF-8 "$@"; }

failures=0
check() { if "$@"; then :; else echo "FAIL: $*" >&2; failures=$((failures + 1)); fi; }
has() { in_root test -e "$1" || { echo "missing in the package: $1" >&2; return 1; }; }
in_root apt-get update -qq

# A headless host (one that Ansible drives) installs the command line alone.
echo "== apt-get install ./$(basename "$cli_deb") alone"
in_root apt-get install -y -qq --no-install-recommends "./tmp/$(basename "$cli_deb")" >"$work/install-cli.log" 2>&1 ||
    { tail -n 30 "$work/install-cli.log"; fail "telvane-cli does not install"; }
in_root dpkg-query -W -f='${Status}\n' telvane-cli | grep -qx 'install ok installed' || fail "telvane-cli is not installed"
qt=$(in_root dpkg-query -W -f='${Package}\n' | grep -iE 'qt' | tr '\n' ' ' || true)
if [ -n "$qt" ]; then
    echo "FAIL: installing telvane-cli alone brought in Qt: $qt" >&2
    failures=$((failures + 1))
else
    echo "ok: telvane-cli installs alone without any Qt package"
fi
in_root dpkg -L telvane-cli | sort >"$work/files-cli"
check has /usr/share/man/man1/telvane-cli.1.gz
missing=$(in_root ldd /usr/bin/telvane-cli | grep 'not found' || true)
[ -z "$missing" ] || { echo "FAIL: telvane-cli misses libraries: $missing" >&2; failures=$((failures + 1)); }
version=$(run_isolated telvane-cli --version 2>&1) || true
if grep -q "$(dpkg-deb -f "$cli_deb" Version)" <<<"$version"; then
    echo "ok: telvane-cli --version: $version"
else
    echo "FAIL: telvane-cli --version inside the root: ${version:-no output}" >&2
    failures=$((failures + 1))
fi
# One adapter with a hardware and an IPv4 address: one end of a veth pair in a namespace of its own.
adapters=$(unshare --net sh -c "ip link add tvpkg0 type veth peer name tvpkg1 && ip addr add 192.0.2.1/24 dev tvpkg0 &&
    ip link set tvpkg0 up && chroot '$root' env -i PATH=/usr/bin:/bin LANG=C.UTF-8 telvane-cli adapters" 2>&1) || true
if grep -q "IP: 192.0.2.1" <<<"$adapters"; then
    echo "ok: telvane-cli adapters: $adapters"
else
    echo "FAIL: telvane-cli adapters inside the root: ${adapters:-no output}" >&2
    failures=$((failures + 1))
fi

echo "== apt-get install ./$(basename "$deb") beside it"
in_root apt-get install -y -qq --no-install-recommends "./tmp/$(basename "$deb")" >"$work/install.log" 2>&1 ||
    { tail -n 30 "$work/install.log"; fail "the package does not install"; }
in_root dpkg-query -W -f='${Status}\n' telvane | grep -qx 'install ok installed' || fail "telvane is not installed"
in_root dpkg -L telvane | sort >"$work/files"
cat "$work/files-cli" >>"$work/files"
echo "installed $(wc -l <"$work/files") paths"

check has /usr/share/applications/org.telvane.Telvane.desktop
check has /usr/share/metainfo/org.telvane.Telvane.metainfo.xml
for page in telvane telvane-sim; do check has "/usr/share/man/man1/$page.1.gz"; done
check has /usr/lib/x86_64-linux-gnu/qt6/plugins/platforms/libqxcb.so

# Every program that this tree builds must be in the package and find all its libraries.
programs=()
[ -d app ] && [ -n "$(ls app/*.cpp 2>/dev/null)" ] && programs+=(telvane)
[ -d tools/cli ] && programs+=(telvane-cli)
[ -d tools/sim ] && programs+=(telvane-sim)
for p in telvane telvane-cli telvane-sim; do
    if [[ " ${programs[*]} " != *" $p "* ]]; then
        echo "NOTICE: $p is not built by this tree yet; not checked"
        continue
    fi
    check has "/usr/bin/$p"
    if in_root test -x "/usr/bin/$p"; then
        missing=$(in_root ldd "/usr/bin/$p" | grep 'not found' || true)
        [ -z "$missing" ] || { echo "FAIL: $p misses libraries: $missing" >&2; failures=$((failures + 1)); }
    fi
done

for probe in "telvane-cli --help" "telvane-sim --version"; do
    set -- $probe
    [[ " ${programs[*]} " == *" $1 "* ]] || continue
    if out=$(run_isolated "$@" 2>&1) && [ -n "$out" ]; then
        echo "ok: $probe: $(head -n1 <<<"$out")"
    else
        echo "FAIL: '$probe' inside the root: ${out:-no output}" >&2
        failures=$((failures + 1))
    fi
done

# The window must start with the installed Qt (its platform plugin loaded at run time). In
# a namespace without interfaces it finds no adapter and waits for the user: still running
# after a few seconds is the pass.
if [[ " ${programs[*]} " == *" telvane "* ]]; then
    rc=0
    out=$(timeout 4 unshare --net chroot "$root" env -i PATH=/usr/bin:/bin LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen \
              XDG_RUNTIME_DIR=/tmp telvane 2>&1) || rc=$?
    if [ "$rc" -eq 124 ]; then
        echo "ok: telvane starts and keeps running (offscreen, no network)"
    else
        echo "FAIL: telvane ended with $rc at start-up inside the root: $out" >&2
        failures=$((failures + 1))
    fi
fi

echo "== apt-get purge telvane telvane-cli"
in_root apt-get purge -y -qq telvane telvane-cli >"$work/remove.log" 2>&1 ||
    { tail -n 20 "$work/remove.log"; fail "the packages do not remove"; }
for p in telvane telvane-cli; do
    if in_root dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q installed; then
        echo "FAIL: $p still registered after purge" >&2
        failures=$((failures + 1))
    fi
done
while read -r path; do
    [ -n "$path" ] && [ -f "$root$path" ] && { echo "FAIL: left behind: $path" >&2; failures=$((failures + 1)); }
done <"$work/files"

[ "$failures" -eq 0 ] || fail "$failures check(s) failed"
echo "test-package.sh: the packages install and remove cleanly in a fresh $suite root"
