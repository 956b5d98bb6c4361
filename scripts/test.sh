#!/usr/bin/env bash
# Sets up the machine, builds, and runs every test three times: in the plain build, under
# AddressSanitizer with UndefinedBehaviorSanitizer, and under ThreadSanitizer; the engine's
# tests also cross-built for Windows and run under Wine; then a short run of each fuzz target,
# and the checks of the installed tree and the Debian package.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh"
jobs=$(nproc)

echo "== plain build"
# Built as the program ships, so that the tests see what the optimiser makes of the code.
"$root/scripts/build.sh" build-test -DCMAKE_BUILD_TYPE=Release
(cd "$root/build-test" && ctest --output-on-failure -j "$jobs")

echo "== Windows: the engine, its tests and pellumar.exe, cross-built and run under Wine"
"$root/scripts/windows.sh" "$root/build-test/cli/pellumar"

echo "== address and undefined-behaviour sanitizers: every test"
"$root/scripts/build.sh" build-asan -DCMAKE_BUILD_TYPE=Debug -DPELLUMAR_SANITIZE=address,undefined
(cd "$root/build-asan" && ctest --output-on-failure -j "$jobs")

echo "== thread sanitizer: every test"
"$root/scripts/build.sh" build-tsan -DCMAKE_BUILD_TYPE=Debug -DPELLUMAR_SANITIZE=thread
(cd "$root/build-tsan" && ctest --output-on-failure -j "$jobs")

echo "== fuzzing: a short run of each fuzz target from its seeds"
"$root/scripts/fuzz.sh" 25

echo "== the installed tree and the Debian package"
"$root/scripts/package_check.sh" build-test
