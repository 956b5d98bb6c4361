#!/usr/bin/env bash
# Sets up the machine, builds, and runs every test three times: in the plain build, under
# AddressSanitizer with UndefinedBehaviorSanitizer, and under ThreadSanitizer; the engine's tests
# also cross-built for Windows and run under Wine; then a short run of each fuzz target, and the
# checks of the installed tree and the Debian package. Prints the time of each stage at the end.
#
# Two lanes run side by side once the plain build is made, so that both cores stay busy while a
# test waits: the main lane tests the plain build, then builds and tests each sanitizer build;
# the side lane, at a lower priority, makes the Windows build and its Wine run, the fuzzing, and
# the package. The side lane's output is shown when it ends.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
jobs=$(nproc)
work=$(mktemp -d)
times="$work/times" side_log="$work/side.log" side=""
started=$EPOCHREALTIME

stage() {  # LANE NAME COMMAND...: runs one stage and notes when it began and how long it took
    local lane=$1 name=$2 begin=$EPOCHREALTIME status=0
    shift 2
    echo "== $name"
    "$@" || status=$?
    printf '%s\t%s\t%s\t%s\t%s\n' "$lane" "$name" "$begin" "$EPOCHREALTIME" "$status" >>"$times"
    return "$status"
}

report() {
    local status=$?
    [ -n "$side" ] && { kill -- "-$side" 2>/dev/null || true; }
    python3 - "$times" "$started" "$EPOCHREALTIME" <<'PY'
import sys
rows = sorted((line.rstrip("\n").split("\t") for line in open(sys.argv[1])),
              key=lambda row: float(row[2]))
start, end = float(sys.argv[2]), float(sys.argv[3])
print(f"\n{'stage':<44}{'lane':<6}{'from':>7}{'took':>8}")
for lane, name, begin, finish, status in rows:
    mark = "" if status == "0" else f"  FAILED ({status})"
    print(f"{name:<44}{lane:<6}{float(begin) - start:>6.0f}s{float(finish) - float(begin):>7.0f}s{mark}")
print(f"{'all of it':<57}{end - start:>7.0f}s")
PY
    rm -rf "$work"
    exit "$status"
}
trap report EXIT

ctest_in() {  # BUILD_DIR: every test of a build, the longest first, side by side
    (cd "$root/$1" && ctest --output-on-failure -j "$jobs")
}

sanitizer_build() {  # BUILD_DIR SANITIZERS
    # clang builds a sanitizer build in half the time gcc takes; -O1 runs its tests several times
    # faster than -O0 and keeps every check. Only what the tests run is built.
    "$root/scripts/build.sh" "$1" -DCMAKE_BUILD_TYPE=Debug \
        "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -gline-tables-only" -DCMAKE_C_COMPILER=clang \
        -DCMAKE_CXX_COMPILER=clang++ -DPELLUMAR_SANITIZE="$2" -- pellumar_test_programs
}

side_lane() {
    stage side "Windows: cross-build, tests under Wine" \
        "$root/scripts/windows.sh" "$root/build-test/cli/pellumar"
    stage side "fuzzing: build, each target from its seeds" "$root/scripts/fuzz.sh" 25
    stage side "the installed tree and the Debian package" \
        "$root/scripts/package_check.sh" build-test
}

stage main "setup: the Debian packages" "$root/scripts/setup.sh"
# Built as the program ships, so that the tests see what the optimiser makes of the code.
stage main "plain: build" "$root/scripts/build.sh" build-test -DCMAKE_BUILD_TYPE=Release

# In a session of its own, so that it is stopped whole if the main lane fails.
export root times
setsid nice -n 10 bash -c "set -euo pipefail; $(declare -f stage side_lane); side_lane" \
    >"$side_log" 2>&1 &
side=$!

stage main "plain: every test" ctest_in build-test
stage main "ASan+UBSan: build" sanitizer_build build-asan address,undefined
stage main "ASan+UBSan: every test" ctest_in build-asan
stage main "TSan: build" sanitizer_build build-tsan thread
stage main "TSan: every test" ctest_in build-tsan

side_status=0
wait "$side" || side_status=$?
side=""
echo "== the side lane: Windows, fuzzing, the package"
cat "$side_log"
[ "$side_status" -eq 0 ] || { echo "the side lane failed (exit $side_status)" >&2; exit 1; }
