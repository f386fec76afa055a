#!/usr/bin/env bash
# The Windows build and its tests: cross-builds with mingw-w64 (cmake --preset windows) and
# runs the test programs under wine, each in a private network namespace of its own (root).
# telvane-cli.exe is compared with the Linux build's telvane-cli against telvane-sim:
#   scripts/test-windows.sh [LINUX_BUILD_DIR]     (default: build; its two programs are
#                                                   brought up to date there)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
. scripts/lib.sh

ensure_packages $WINDOWS_PACKAGES
jobs=$(nproc)
linux_build=$(realpath -m "${1:-build}")

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# The Linux programs the Windows one is compared with, up to date with the sources.
if [ ! -f "$linux_build/CMakeCache.txt" ]; then
    ensure_packages $BUILD_PACKAGES
    cmake -S "$root" -B "$linux_build" -G Ninja -DCMAKE_BUILD_TYPE=Debug "${launcher[@]}" >/dev/null
fi
cmake --build "$linux_build" -j "$jobs" --target telvane-cli telvane-sim

# A Release build, as shipped: GCC 12's optimiser reports false -Wrestrict and
# -Warray-bounds inside the standard library there, so warnings are not errors here; the
# Linux debug build holds the code to them.
cmake --preset windows -DTELVANE_WERROR=OFF -DTELVANE_LINUX_BUILD_DIR="$linux_build" "${launcher[@]}" >/dev/null
cmake --build --preset windows -j "$jobs"
ctest --preset windows -j "$jobs"
