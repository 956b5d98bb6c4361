#!/usr/bin/env bash
# Sets up the machine, builds, and runs every test: the plain build, then the engine tests
# and the desktop program's settings and widgets under AddressSanitizer and
# UndefinedBehaviorSanitizer, then the tests that stop searches from other threads, the
# command line and searching from the window under ThreadSanitizer, then a short fuzz run.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh"
jobs=$(nproc)

echo "== plain build"
"$root/scripts/build.sh" build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo
(cd "$root/build-test" && ctest --output-on-failure -j "$jobs")

echo "== address and undefined-behaviour sanitizers: engine, settings and widgets"
"$root/scripts/build.sh" build-asan -DCMAKE_BUILD_TYPE=Debug -DPELLUMAR_SANITIZE=address,undefined
(cd "$root/build-asan" && ctest --output-on-failure -L 'engine|app')

echo "== thread sanitizer: stopping from other threads, command line, searching from the window"
"$root/scripts/build.sh" build-tsan -DCMAKE_BUILD_TYPE=Debug -DPELLUMAR_SANITIZE=thread
(cd "$root/build-tsan" && ctest --output-on-failure -L 'stop|cli|searchwindow')

echo "== fuzzing: a short run of each fuzz target from its seeds"
"$root/scripts/fuzz.sh" 25
