#!/usr/bin/env bash
# Compares pellumar with grep on a copy of a real tree: the same files found for rare and
# common texts, in both cases; then a replacement checked byte for byte against a reference,
# with no temporary file left, also after an interrupt.
set -euo pipefail
pellumar=${1:?usage: against_grep.sh PELLUMAR}
source_tree=${ACCEPTANCE_TREE:-/usr/include}
work=$(realpath "$(mktemp -d "${TMPDIR:-/tmp}/pellumar-acceptance-XXXXXX")")
trap 'rm -rf "$work"' EXIT
source "$(dirname "${BASH_SOURCE[0]}")/copy_tree.sh"
copy_tree "$source_tree" "$work/tree"
tree="$work/tree"
failures=0

# grep -R walks a folder again for every link that leads to it; pellumar walks each folder once,
# under its own name, as every link in the copy leads inside it. Every name of a file is listed.
own_folders_only() {
    python3 -c '
import os, sys
for path in sys.stdin.read().splitlines():
    folder = os.path.dirname(path)
    if os.path.realpath(folder) == folder:
        print(path)'
}

compare() {  # name, pellumar case flag, grep flags, text
    local name=$1 case_flag=$2 grep_flags=$3 text=$4
    "$pellumar" --search-only "$case_flag" --folder "$tree" --filter '*' --search "$text" --null \
        | tr '\0' '\n' | sort > "$work/ours" || [ $? -eq 1 ]
    LC_ALL=C grep -R "$grep_flags" -- "$text" "$tree" | own_folders_only | sort > "$work/theirs" \
        || true
    if cmp -s "$work/ours" "$work/theirs"; then
        echo "ok: $name ($(wc -l < "$work/ours") files)"
    else
        echo "FAILED: $name"; diff "$work/ours" "$work/theirs" | head -20
        failures=$((failures + 1))
    fi
}

compare "rare, match case" --match-case -lF "PELLUMAR_NOWHERE_x7"
compare "rare, match case, present" --match-case -lF "__GLIBC_USE_DEPRECATED_SCANF"
compare "common, match case" --match-case -lF "define"
compare "common, ignore case" --ignore-case -liF "Define"
compare "rare, ignore case" --ignore-case -liF "__glibc_use_deprecated_scanf"
compare "one byte" --match-case -lF "@"

# Replacement: every non-overlapping occurrence from left to right, nothing else changed. The
# source tree holds every file's bytes as they were.
"$pellumar" --folder "$tree" --filter '*' --search "int" --replace "INTEGER" --match-case --yes \
    > /dev/null
python3 - "$source_tree" "$tree" <<'PY'
import os, sys
before, after = sys.argv[1], sys.argv[2]
bad = 0
for folder, _, files in os.walk(before):
    for name in files:
        old_path = os.path.join(folder, name)
        if os.path.islink(old_path) or not os.path.isfile(old_path):
            continue
        new_path = os.path.join(after, os.path.relpath(old_path, before))
        old = open(old_path, "rb").read()
        new = open(new_path, "rb").read()
        if new != old.replace(b"int", b"INTEGER"):
            bad += 1
            print("differs:", new_path)
sys.exit(1 if bad else 0)
PY
echo "ok: replacement equals the reference"
if find "$work" -name 'pel*.tmp' | grep -q .; then
    echo "FAILED: temporary files left"; failures=$((failures + 1))
fi

# Interrupted replacement: each file old or new, no temporary file.
rm -rf "$tree"; copy_tree "$source_tree" "$tree"
"$pellumar" --folder "$tree" --filter '*' --search "e" --replace "E" --match-case --yes \
    > /dev/null & pid=$!
sleep 0.3; kill -INT "$pid"; wait "$pid" || status=$?
echo "interrupted with status ${status:-0}"
if find "$tree" -name 'pel*.tmp' | grep -q .; then
    echo "FAILED: temporary files left after interrupt"; failures=$((failures + 1))
fi
python3 - "$source_tree" "$tree" <<'PY'
import os, sys
before, after = sys.argv[1], sys.argv[2]
for folder, _, files in os.walk(before):
    for name in files:
        old_path = os.path.join(folder, name)
        if os.path.islink(old_path) or not os.path.isfile(old_path):
            continue
        new = open(os.path.join(after, os.path.relpath(old_path, before)), "rb").read()
        old = open(old_path, "rb").read()
        if new not in (old, old.replace(b"e", b"E")):
            print("partial file:", old_path); sys.exit(1)
PY
echo "ok: every file old or new after the interrupt"

echo "$((failures == 0 ? 1 : 0)) passed, $failures failed"
[ "$failures" -eq 0 ]
