#!/usr/bin/env bash
# Sets up the machine, builds, and writes a picture of each page of the main window and of
# both small dialogs to the folder given (query.png, results.png, results-menu.png, matches.png,
# no-files.png, confirm.png, preview.png, replaced.png, about.png, action.png).
# Needs no display; uses no settings of the user's.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
[ $# -eq 1 ] || { echo "usage: $0 OUTPUT_FOLDER" >&2; exit 2; }
"$root/scripts/setup.sh"
"$root/scripts/build.sh" build -DCMAKE_BUILD_TYPE=Release -DPELLUMAR_TESTS=OFF
QT_QPA_PLATFORM=offscreen "$root/build/tools/pellumar_screenshots" "$1"
