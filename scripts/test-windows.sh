#!/usr/bin/env bash
# The Windows build and its tests: cross-builds with mingw-w64 (cmake --preset windows) and
# runs the test programs under wine, each in a private network namespace of its own (root).
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh

ensure_packages $WINDOWS_PACKAGES
jobs=$(nproc)

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake --preset windows -DTELVANE_WERROR=ON "${launcher[@]}" >/dev/null
cmake --build --preset windows -j "$jobs"
ctest --preset windows -j "$jobs"
