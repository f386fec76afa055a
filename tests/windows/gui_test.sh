#!/usr/bin/env bash
# Runs a Windows test program that makes windows: under wine (scripts/wine-run.sh, inside
# the private namespace) with a virtual X display of its own, started here and ended after.
#   tests/windows/gui_test.sh PROGRAM [ARG...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
command -v Xvfb >/dev/null || { echo "$0: Xvfb is not installed (Debian: apt-get install xvfb)" >&2; exit 77; }

# Xvfb picks a free display number itself and writes it to the file.
number_file=$(mktemp)
Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$number_file" 2>/dev/null &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true; wait "$xvfb" 2>/dev/null || true; rm -f "$number_file"' EXIT
for _ in $(seq 100); do
    [ -s "$number_file" ] && break
    kill -0 "$xvfb" 2>/dev/null || { echo "$0: Xvfb did not start" >&2; exit 1; }
    sleep 0.1
done
[ -s "$number_file" ] || { echo "$0: Xvfb gave no display" >&2; exit 1; }
DISPLAY=":$(tr -d '[:space:]' <"$number_file")" "$here/../../scripts/wine-run.sh" --netns "$@"
