#!/usr/bin/env bash
# Installs the MSI with msiexec /qn, checks what it put where, upgrades it with a newer
# package made from the same source, and uninstalls; nothing may be left behind.
#   scripts/wine-run.sh --netns --session bash msi_test.sh MSI WXS MAKE_MSI STAGE_DIR
# (runs inside one wine prefix; every wine here uses it).
set -euo pipefail
[ $# -eq 4 ] || { echo "usage: $0 MSI WXS MAKE_MSI STAGE_DIR" >&2; exit 2; }
msi=$1 wxs=$2 make_msi=$3 stage=$4
[ -n "${WINEPREFIX:-}" ] || { echo "$0: run me through scripts/wine-run.sh --session" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

dir="$WINEPREFIX/drive_c/Program Files/Telvane"
# Windows puts a per-machine package's shortcut among all users' programs; wine's msiexec
# puts it among the installing user's. Either will do, the uninstall must remove it.
shortcuts=("$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Telvane.lnk"
    "$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Telvane.lnk")
shortcut_count() {
    local n=0 s
    for s in "${shortcuts[@]}"; do [ -f "$s" ] && n=$((n + 1)); done
    echo "$n"
}
window=0
[ -f "$stage/telvane.exe" ] && window=1

msiexec() { wine msiexec "$1" "$(winepath -w "$2")" /qn; }
system_path() {
    wine reg query 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' /v PATH | tr -d '\r'
}
# DisplayName and DisplayVersion of every installed product named Telvane.
installed() {
    wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s | tr -d '\r' |
        awk '/^HKEY/ { key = $0 } /DisplayName.*Telvane/ { names[key] = 1 }
             /DisplayVersion/ { version[key] = $NF }
             END { for (k in names) print version[k] }'
}

# Install.
msiexec /i "$msi" || fail "msiexec /i exited $?"
[ -f "$dir/telvane-cli.exe" ] || fail "telvane-cli.exe not installed in Program Files\\Telvane"
system_path | grep -qi 'C:\\Program Files\\Telvane' || fail "the folder is not on the system PATH: $(system_path)"
wine cmd /c telvane-cli.exe --version >"$work/version" 2>&1 || fail "telvane-cli.exe not found through PATH: $(cat "$work/version")"
if [ "$window" -eq 1 ]; then
    [ -f "$dir/telvane.exe" ] || fail "telvane.exe not installed"
    [ "$(shortcut_count)" -eq 1 ] || fail "not one Start-menu shortcut but $(shortcut_count)"
fi
[ "$(installed | wc -l)" -eq 1 ] || fail "installed products after install: $(installed | tr '\n' ' ')"

# Upgrade: a newer package with the same UpgradeCode takes the older one's place.
(cd "$stage" && "$make_msi" "$work/newer.msi" "$wxs" 99.0.0) >/dev/null 2>&1 || fail "could not make the newer MSI"
msiexec /i "$work/newer.msi" || fail "upgrade: msiexec /i exited $?"
[ "$(installed)" = "99.0.0" ] || fail "installed after the upgrade: $(installed | tr '\n' ' ') (expected 99.0.0 only)"
[ "$(system_path | grep -oi 'C:\\Program Files\\Telvane' | wc -l)" -eq 1 ] ||
    fail "the folder is on PATH other than once: $(system_path)"

# Uninstall.
msiexec /x "$work/newer.msi" || fail "msiexec /x exited $?"
[ ! -e "$dir/telvane-cli.exe" ] || fail "telvane-cli.exe left behind"
[ ! -e "$dir/telvane.exe" ] || fail "telvane.exe left behind"
[ ! -e "$dir" ] || fail "Program Files\\Telvane left behind: $(ls -A "$dir")"
[ "$(shortcut_count)" -eq 0 ] || fail "Start-menu shortcut left behind"
! system_path | grep -qi 'Telvane' || fail "PATH still names the folder: $(system_path)"
[ -z "$(installed)" ] || fail "still installed: $(installed | tr '\n' ' ')"

[ "$failures" -eq 0 ] && echo "msi: all checks passed"
exit "$failures"
