#!/usr/bin/env bash
# Checks beyond ctest, run by scripts/test.sh after the build: one function per check,
# listed in CHECKS. Each prints what it verified; the script fails when any check fails.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
. scripts/lib.sh

ensure_packages $PACKAGE_TEST_PACKAGES

# Man pages: groff must format them without a single warning.
check_man_pages() {
    local page out bad=0
    for page in man/*.1; do
        out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
        if [ -n "$out" ]; then
            echo "$page: $out"
            bad=1
        fi
    done
    [ "$bad" -eq 0 ] && echo "man pages format without warnings: $(ls man/*.1 | xargs -n1 basename | tr '\n' ' ')"
    return "$bad"
}

# Man pages against the programs: the version in each page is the project's, and every
# long option that --help prints is in the man page and the other way round. The tools
# only print here, and still run in a network namespace without interfaces.
check_man_matches_help() {
    local version bad=0 p page bin help
    version=$(sed -nE 's/^project\(telvane VERSION ([0-9.]+).*/\1/p' CMakeLists.txt)
    for page in man/*.1; do
        grep -q "^\.TH .*\"telvane $version\"" "$page" || { echo "$page: version is not $version"; bad=1; }
    done
    for p in telvane-cli telvane-sim; do
        bin=$(find build -type f -name "$p" -perm -u+x 2>/dev/null | head -n1)
        if [ -z "$bin" ]; then
            echo "NOTICE: $p is not built by this tree yet; its man page is not compared with --help"
            continue
        fi
        help=$(unshare --net "$bin" --help 2>&1) || { echo "$p --help fails"; bad=1; continue; }
        # A program with commands shows each command's options on that command's own page.
        local cmd
        for cmd in $(sed -n '/^Commands:/,/^$/p' <<<"$help" | grep -oE '^  [a-z][a-z-]*' || true); do
            [ "$cmd" = help ] && continue
            help+=$'\n'$(unshare --net "$bin" "$cmd" --help 2>&1) || { echo "$p $cmd --help fails"; bad=1; }
        done
        unshare --net "$bin" --version 2>&1 | grep -q "$version" || { echo "$p --version does not print $version"; bad=1; }
        local in_help in_man
        in_help=$(grep -oE -- '--[a-z0-9][a-z0-9-]*' <<<"$help" | sort -u)
        in_man=$(sed 's/\\-/-/g' "man/$p.1" | grep -oE -- '--[a-z0-9][a-z0-9-]*' | sort -u)
        local only_help only_man
        only_help=$(comm -23 <(echo "$in_help") <(echo "$in_man") | tr '\n' ' ')
        only_man=$(comm -13 <(echo "$in_help") <(echo "$in_man") | tr '\n' ' ')
        [ -z "$only_help" ] || { echo "$p: options in --help but not in man/$p.1: $only_help"; bad=1; }
        [ -z "$only_man" ] || { echo "$p: options in man/$p.1 but not in --help: $only_man"; bad=1; }
    done
    [ "$bad" -eq 0 ] && echo "man pages carry version $version and the options that --help prints"
    return "$bad"
}

# cmake --install into a scratch root: programs in bin/, desktop entry, AppStream data,
# icons and man pages where the desktop and man expect them, and all of them valid.
check_install_layout() {
    local dest bad=0 p f
    dest=$(mktemp -d /tmp/telvane-install.XXXXXX)
    DESTDIR="$dest" cmake --install build --prefix /usr >/dev/null
    local usr="$dest/usr"
    need() { [ -e "$usr/$1" ] || { echo "not installed: $1"; bad=1; }; }
    # A program is required once its sources are in the tree.
    [ -n "$(ls app/*.cpp 2>/dev/null)" ] && need bin/telvane
    [ -d tools/cli ] && need bin/telvane-cli
    [ -d tools/sim ] && need bin/telvane-sim
    need share/applications/org.telvane.Telvane.desktop
    need share/metainfo/org.telvane.Telvane.metainfo.xml
    for p in telvane telvane-cli telvane-sim; do need "share/man/man1/$p.1.gz"; done
    [ -e resources/icons/telvane.svg ] && need share/icons/hicolor/scalable/apps/org.telvane.Telvane.svg
    [ -e resources/icons/telvane-48.png ] && need share/icons/hicolor/48x48/apps/org.telvane.Telvane.png
    for f in "$usr"/share/icons/hicolor/*x*/apps/org.telvane.Telvane.png; do
        [ -e "$f" ] || continue
        # The theme directory must match the picture's real size.
        local dir size
        dir=$(basename "$(dirname "$(dirname "$f")")")
        size=$(file -b "$f" | grep -oE '[0-9]+ x [0-9]+' | tr -d ' ')
        [ "$size" = "$dir" ] || { echo "icon in $dir is $size"; bad=1; }
    done
    desktop-file-validate "$usr/share/applications/org.telvane.Telvane.desktop" || bad=1
    appstreamcli validate --no-net "$usr/share/metainfo/org.telvane.Telvane.metainfo.xml" || bad=1
    # The whole tree: the metadata, its desktop entry and its icon together.
    appstreamcli validate-tree --no-net "$dest" || bad=1
    grep -q '^Icon=org.telvane.Telvane$' "$usr/share/applications/org.telvane.Telvane.desktop" || bad=1
    rm -rf "$dest"
    [ "$bad" -eq 0 ] && echo "install layout complete; desktop entry and AppStream data valid"
    return "$bad"
}

# The Wireshark dissector against captured datagrams.
check_dissector() {
    python3 tests/wireshark/check-dissector.py tools/wireshark/telvane.lua
}

# The Debian package in a throwaway root.
check_package() {
    scripts/test-package.sh
}

CHECKS="check_man_pages check_man_matches_help check_install_layout check_dissector check_package"

failed=()
for c in $CHECKS; do
    printf -- '--- %s\n' "$c"
    if ! (set -e; "$c"); then
        failed+=("$c")
    fi
done
if [ ${#failed[@]} -ne 0 ]; then
    echo "extra-tests.sh: failed: ${failed[*]}" >&2
    exit 1
fi
echo "extra-tests.sh: all checks passed"
