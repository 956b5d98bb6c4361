#!/usr/bin/env bash
# Sets up the machine, builds, and starts pellumar with the given arguments (default: --help).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh" build -DCMAKE_BUILD_TYPE=Release -DPELLUMAR_TESTS=OFF
[ $# -gt 0 ] || set -- --help
exec "$root/build/cli/pellumar" "$@"
