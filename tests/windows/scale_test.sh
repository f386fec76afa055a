#!/usr/bin/env bash
# The window program's scale test under wine at each system DPI, each in a prefix of its own
# on a virtual X display of its own:
#   tests/windows/scale_test.sh TEST_PROGRAM OUTPUT_DIR
# Leaves OUTPUT_DIR/window-PERCENT.png, a picture per scale, to look at.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
program=$1 out=${2:-}
command -v Xvfb >/dev/null || { echo "SKIP: Xvfb is not installed (Debian: apt-get install xvfb)"; exit 77; }
command -v convert >/dev/null || { echo "SKIP: convert is not installed (Debian: apt-get install imagemagick)"; exit 77; }

# Inside one wine session: the system DPI in the prefix's registry, then the program.
if [ "$program" = --inside ]; then
    dpi=$3
    for key in 'HKCU\Control Panel\Desktop' 'HKCC\Software\Fonts'; do
        wine reg add "$key" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
    done
    exec wine "$2"
fi

mkdir -p "$out"
work=$(mktemp -d)
xvfb=
trap '[ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT
Xvfb -displayfd 3 -nolisten tcp -screen 0 1920x1400x24 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(tr -d '[:space:]' <"$work/display")"

failures=0
for scale in 100:96 125:120 150:144 200:192; do
    percent=${scale%%:*} dpi=${scale##*:}
    echo "=== $percent % ($dpi DPI)"
    status=0
    TELVANE_EXPECT_DPI=$dpi TELVANE_SCALE_PICTURE="Z:$work/window-$percent.bmp" WINEDEBUG=-all \
        "$here/../../scripts/wine-run.sh" --netns --session "$here/scale_test.sh" --inside "$program" "$dpi" ||
        status=$?
    [ "$status" -eq 125 ] && { echo "SKIP: wine could not be started"; exit 77; }
    [ "$status" -eq 0 ] || failures=$((failures + 1))
    [ -s "$work/window-$percent.bmp" ] && convert "$work/window-$percent.bmp" "$out/window-$percent.png"
done
[ "$failures" -eq 0 ]
