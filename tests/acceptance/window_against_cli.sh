#!/usr/bin/env bash
# Searches and replaces from the window on a copy of a real tree, and compares with pellumar on
# the same requests: the same files listed, in order of their names, and the same bytes
# written by a replacement.
set -euo pipefail
pellumar=${1:?usage: window_against_cli.sh PELLUMAR WINDOW_RUN}
window=${2:?usage: window_against_cli.sh PELLUMAR WINDOW_RUN}
source_tree=${ACCEPTANCE_TREE:-/usr/include}
work=$(realpath "$(mktemp -d "${TMPDIR:-/tmp}/pellumar-window-XXXXXX")")
trap 'rm -rf "$work"' EXIT
source "$(dirname "${BASH_SOURCE[0]}")/copy_tree.sh"
copy_tree "$source_tree" "$work/tree"
export QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work"
failures=0

search() {  # name, case flag of pellumar, window flags..., filter, text
    local name=$1 case_flag=$2 filter=$3 text=$4 window_flags=()
    [ "$case_flag" = --match-case ] && window_flags=(--match-case)
    "$window" "${window_flags[@]}" "$work/tree" "$filter" "$text" 2>/dev/null > "$work/window"
    "$pellumar" --search-only "$case_flag" --folder "$work/tree" --filter "$filter" \
        --search "$text" > "$work/cli" || [ $? -eq 1 ]
    if ! python3 - "$work/window" <<'PY'
import os, sys
names = [os.path.basename(line.rstrip("\n")).casefold() for line in open(sys.argv[1])]
sys.exit(0 if names == sorted(names) else 1)
PY
    then
        echo "FAILED: $name: the window's list is not in order of names"
        failures=$((failures + 1))
    elif cmp -s <(sort "$work/window") <(sort "$work/cli"); then
        echo "ok: $name ($(wc -l < "$work/window") files)"
    else
        echo "FAILED: $name"; diff <(sort "$work/window") <(sort "$work/cli") | head -20
        failures=$((failures + 1))
    fi
}

search "common, ignore case" --ignore-case '*.h' "Size_T"
search "rare, match case" --match-case '*' "__GLIBC_USE_DEPRECATED_SCANF"
search "every file" --ignore-case '*.*' ""

mv "$work/tree" "$work/by-window"  # searching left it as it was
copy_tree "$source_tree" "$work/by-cli"
"$window" --match-case "$work/by-window" '*.h' "uint32_t" "u32_replaced" 2>/dev/null > /dev/null
"$pellumar" --match-case --yes --folder "$work/by-cli" --filter '*.h' --search uint32_t \
    --replace u32_replaced > /dev/null
changed=$(grep -rl u32_replaced "$work/by-window" | wc -l)
if [ "$changed" -gt 0 ] && diff -r "$work/by-window" "$work/by-cli" > "$work/diff"; then
    echo "ok: replacement ($changed files rewritten alike)"
else
    echo "FAILED: replacement ($changed files)"; head -20 "$work/diff"
    failures=$((failures + 1))
fi
exit $((failures > 0))
