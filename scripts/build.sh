#!/usr/bin/env bash
# Configures and builds one build folder, everything or only the given targets:
#   build.sh DIR [extra cmake arguments...] [-- TARGET...]
# Every compiler runs through ccache where it is installed. Its cache lies in the user's cache
# folder, and paths below the source folder are hashed as relative ones, so that every checkout
# and every CI run of the same user on a machine share one cache.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
dir=$1
shift
arguments=()
while [ $# -gt 0 ] && [ "$1" != -- ]; do
    arguments+=("$1")
    shift
done
targets=()
[ $# -gt 0 ] && shift && targets=(--target "$@")
if command -v ccache >/dev/null; then
    export CCACHE_DIR="${CCACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/ccache}"
    export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
    arguments=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache
        "${arguments[@]}")
fi
cmake -S "$root" -B "$root/$dir" -G Ninja "${arguments[@]}" > /dev/null
cmake --build "$root/$dir" "${targets[@]}"
