#!/usr/bin/env bash
# Cross-builds the engine, its tests and pellumar.exe for 64-bit Windows with mingw-w64, and runs
# the tests under Wine. Given a Linux pellumar, both are also run on the same tree and compared.
#   windows.sh [LINUX_PELLUMAR]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
compare=()
[ $# -ge 1 ] && compare=(-DPELLUMAR_COMPARE_WITH="$(realpath "$1")")
"$root/scripts/build.sh" build-win64 -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" "${compare[@]}"
# The first start of Wine makes its prefix; it is made once, before tests run side by side.
"$root/cmake/wine-run" "$root/build-win64/cli/pellumar.exe" --version
(cd "$root/build-win64" && ctest --output-on-failure -j "$(nproc)")
