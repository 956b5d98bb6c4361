#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer, then runs each for SECONDS (default 25)
# from a copy of its committed seeds, all of them at once: fuzz.sh [SECONDS]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds=${1:-25}
CC=clang CXX=clang++ "$root/scripts/build.sh" build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DPELLUMAR_FUZZ=ON
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The targets rewrite files many thousand times a second: in memory where the machine allows.
[ -d /dev/shm ] && [ -w /dev/shm ] && export TMPDIR=/dev/shm
targets=(scan wildcard pattern)
pids=()
for target in "${targets[@]}"; do
    mkdir -p "$work/$target"
    cp "$root/tests/fuzz/seeds/$target/"* "$work/$target/"
    "$root/build-fuzz/tests/fuzz/${target}_fuzz" -max_total_time="$seconds" -max_len=20000 \
        -print_final_stats=1 -artifact_prefix="$root/build-fuzz/$target-" "$work/$target" \
        >"$work/$target.log" 2>&1 &
    pids+=($!)
done
failed=0
for i in "${!targets[@]}"; do
    target=${targets[$i]} status=0
    wait "${pids[$i]}" || status=$?
    echo "== fuzzing $target for $seconds s"
    grep -E '^stat::number_of_executed_units|ERROR|SUMMARY|Test unit' "$work/$target.log" || true
    if [ "$status" -ne 0 ]; then
        tail -40 "$work/$target.log" >&2
        echo "fuzzing $target found a fault (exit $status)" >&2
        failed=1
    fi
done
exit "$failed"
