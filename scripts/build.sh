#!/usr/bin/env bash
# Configures and builds one build folder: build.sh DIR [extra cmake arguments...]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
dir=$1
shift
cmake -S "$root" -B "$root/$dir" -G Ninja "$@" > /dev/null
cmake --build "$root/$dir"
