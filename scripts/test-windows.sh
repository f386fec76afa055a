#!/usr/bin/env bash
# The Windows build and its tests: cross-builds with mingw-w64 (cmake --preset windows) and
# runs the test programs under wine, each in a private network namespace of its own (root).
# telvane-cli.exe is compared with the Linux build's telvane-cli against telvane-sim:
#   scripts/test-windows.sh [LINUX_BUILD_DIR]     (default: build; its two programs are
#                                                   built there when missing)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
. scripts/lib.sh

ensure_packages $WINDOWS_PACKAGES
jobs=$(nproc)
linux_build=$(realpath -m "${1:-build}")

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
if [ ! -x "$linux_build/tools/cli/telvane-cli" ] || [ ! -x "$linux_build/tools/sim/telvane-sim" ]; then
    ensure_packages $BUILD_PACKAGES
    [ -f "$linux_build/CMakeCache.txt" ] ||
        cmake -S "$root" -B "$linux_build" -G Ninja -DCMAKE_BUILD_TYPE=Debug "${launcher[@]}" >/dev/null
    cmake --build "$linux_build" -j "$jobs" --target telvane-cli telvane-sim
fi

cmake --preset windows -DTELVANE_WERROR=ON -DTELVANE_LINUX_BUILD_DIR="$linux_build" "${launcher[@]}" >/dev/null
cmake --build --preset windows -j "$jobs"
ctest --preset windows -j "$jobs"
