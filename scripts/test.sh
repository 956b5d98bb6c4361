#!/usr/bin/env bash
# Sets up the machine, builds, and runs every test three times: in the plain build, under
# AddressSanitizer with UndefinedBehaviorSanitizer, and under ThreadSanitizer; the engine's tests
# also cross-built for Windows and run under Wine; then a short run of each fuzz target, and the
# checks of the installed tree and the Debian package. Prints the time of each stage at the end.
#
# The builds are made one after another; each build's tests start as soon as it is made, in a
# lane of their own beside the next build at a lower priority, and a side lane, lower still,
# makes the Windows build and its Wine run, the package and the fuzzing. So both cores stay busy while a
# test waits, and a run with nothing to build runs every lane at once. A lane's output is shown
# when it ends, in the order the lanes began.
set -euo pipefail
set -m  # each lane in a process group of its own, so that a lane is stopped whole
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
jobs=$(nproc)
work=$(mktemp -d)
times="$work/times"
started=$EPOCHREALTIME
lane_names=() lane_pids=() lane_logs=()

stage() {  # LANE NAME COMMAND...: runs one stage and notes when it began and what it took
    local lane=$1 name=$2 begin=$EPOCHREALTIME cpu="$work/cpu.$BASHPID.$RANDOM" status=0
    shift 2
    echo "== $name"
    # In a shell of its own, whose children are the stage's alone: it tells their processor time.
    (
        code=0
        "$@" || code=$?
        times >"$cpu"
        exit "$code"
    ) || status=$?
    printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$lane" "$name" "$begin" "$EPOCHREALTIME" \
        "$(awk 'NR == 2 { for (i = 1; i <= 2; ++i) { split($i, t, "m"); s += t[1] * 60 + t[2] } }
                END { printf "%.0f", s }' "$cpu" 2>/dev/null)" "$status" >>"$times"
    return "$status"
}

in_lane() {  # LANE NICENESS COMMAND...: runs the command in the background, its output kept
    local name=$1 niceness=$2 log="$work/lane-${#lane_pids[@]}.log"
    shift 2
    (renice -n "$niceness" -p "$BASHPID" >/dev/null && "$@") >"$log" 2>&1 &
    lane_names+=("$name") lane_pids+=($!) lane_logs+=("$log")
    echo "== the $name lane runs beside, its output follows when it ends"
}

finish_lanes() {  # waits for every lane and shows its output; fails where one failed
    local i failed=0 status
    for i in "${!lane_pids[@]}"; do
        status=0
        wait "${lane_pids[$i]}" || status=$?
        lane_pids[$i]=""
        echo "== the ${lane_names[$i]} lane"
        cat "${lane_logs[$i]}"
        [ "$status" -eq 0 ] || { echo "the ${lane_names[$i]} lane failed" >&2; failed=1; }
    done
    return "$failed"
}

report() {
    local status=$? i
    for i in "${!lane_pids[@]}"; do  # a lane still running when the run fails is stopped
        [ -n "${lane_pids[$i]}" ] || continue
        kill -- "-${lane_pids[$i]}" 2>/dev/null || true
        wait "${lane_pids[$i]}" 2>/dev/null || true
        echo "== the ${lane_names[$i]} lane, stopped"
        cat "${lane_logs[$i]}"
    done
    python3 - "$times" "$started" "$EPOCHREALTIME" <<'PY'
import sys
rows = sorted((line.rstrip("\n").split("\t") for line in open(sys.argv[1])),
              key=lambda row: float(row[2]))
start, end = float(sys.argv[2]), float(sys.argv[3])
print(f"\n{'stage':<44}{'lane':<7}{'from':>6}{'took':>7}{'cpu':>7}")
for lane, name, begin, finish, cpu, status in rows:
    mark = "" if status == "0" else f"  FAILED ({status})"
    took = float(finish) - float(begin)
    print(f"{name:<44}{lane:<7}{float(begin) - start:>5.0f}s{took:>6.0f}s{cpu:>6}s{mark}")
cpu = sum(int(row[4]) for row in rows)
print(f"{'all of it':<57}{end - start:>6.0f}s{cpu:>6}s")
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

side_lane() {  # the fuzzing last, where the other lanes have ended and leave it both cores
    stage side "Windows: cross-build, tests under Wine" \
        "$root/scripts/windows.sh" "$root/build-test/cli/pellumar"
    stage side "the installed tree and the Debian package" \
        "$root/scripts/package_check.sh" build-test
    stage side "fuzzing: build, each target from its seeds" "$root/scripts/fuzz.sh" 25
}

stage build "setup: the Debian packages" "$root/scripts/setup.sh"
# Built as the program ships, so that the tests see what the optimiser makes of the code.
stage build "plain: build" "$root/scripts/build.sh" build-test -DCMAKE_BUILD_TYPE=Release
# The builds keep the first claim on the processors: the last build's tests end the run.
in_lane plain 5 stage plain "plain: every test" ctest_in build-test
in_lane side 10 side_lane
stage build "ASan+UBSan: build" sanitizer_build build-asan address,undefined
in_lane asan 5 stage asan "ASan+UBSan: every test" ctest_in build-asan
stage build "TSan: build" sanitizer_build build-tsan thread
in_lane tsan 5 stage tsan "TSan: every test" ctest_in build-tsan
finish_lanes
