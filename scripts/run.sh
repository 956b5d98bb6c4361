#!/usr/bin/env bash
# Sets up the machine, builds, and starts the desktop program PellumarSearch.
# The command-line companion is built beside it: build/cli/pellumar.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh" build -DCMAKE_BUILD_TYPE=Release -DPELLUMAR_TESTS=OFF
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    cat >&2 <<'TEXT'
No display is available, so the window cannot open here. Run it in a virtual display:
    apt-get install xvfb && xvfb-run -a ./scripts/run.sh
or take pictures of its pages without any display:
    ./scripts/screenshot.sh OUTPUT_FOLDER
The command-line companion is built and needs no display: build/cli/pellumar --help
TEXT
    exit 1
fi
exec "$root/build/gui/PellumarSearch" "$@"
