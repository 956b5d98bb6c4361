#!/usr/bin/env bash
# What pellumar shows of what it finds and changes, against the tools people check it with: the
# matching lines of a real tree against grep -rHn, literal and pattern, in both cases; then diffs
# of replacements in random trees (CRLF lines, last lines without a line feed, names with spaces
# and odd bytes) applied by patch -p1 to an untouched copy, which must then hold exactly the
# bytes the replacement wrote.
set -euo pipefail
pellumar=${1:?usage: lines_and_diff.sh PELLUMAR}
source_tree=${ACCEPTANCE_LINES_TREE:-/usr/include/linux}
work=$(realpath "$(mktemp -d "${TMPDIR:-/tmp}/pellumar-lines-XXXXXX")")
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

# grep -r does not follow links, and pellumar does: the copy has none.
cp -a "$source_tree" "$work/tree"
find "$work/tree" -type l -delete
tree="$work/tree"

lines() {  # name, pellumar flags, grep flags, text
    local name=$1 ours=$2 theirs=$3 text=$4
    # shellcheck disable=SC2086
    "$pellumar" --folder "$tree" --filter '*' --search "$text" --lines $ours \
        | sort > "$work/ours" || [ $? -eq 1 ]
    # shellcheck disable=SC2086
    LC_ALL=C grep -rHn $theirs -- "$text" "$tree" | sort > "$work/theirs" || true
    if cmp -s "$work/ours" "$work/theirs"; then
        echo "ok: lines, $name ($(wc -l < "$work/ours") lines)"
    else
        fail "lines, $name"; diff "$work/ours" "$work/theirs" | head -10
    fi
}

lines "literal, match case" --match-case -F "define"
lines "literal, ignore case" --ignore-case "-iF" "Inline"
lines "pattern, match case" "--regex --match-case" -E '^#[[:space:]]*define [A-Z_]+_H$'
lines "pattern, ignore case" "--regex --ignore-case" -iE 'struct [a-z_]+ \{'
lines "pattern across words" "--regex --match-case" -E '(__u|__s)(8|16|32|64) [a-z]+;'

# Random trees, each replaced under a dry run's diff, then for real; the dry run's diff applied
# to an untouched copy gives the replaced tree.
python3 - "$work/random" <<'PY'
import os, random, sys
random.seed(35)
root = sys.argv[1]
pieces = ["alpha", "beta", " ", "x", "\n", "\r\n", "alpha beta\n", "\n\n", "TODO: x\r\n", "y"]
names = ["a.txt", "b c.txt", "d\xe9.txt", "e", "f g h.md", "q\"uote.txt"]
for t in range(6):
    for n in range(20):
        folder = os.path.join(root, str(t), random.choice(["", "sub", "sub dir", ".dot"]))
        os.makedirs(folder, exist_ok=True)
        text = "".join(random.choice(pieces) for _ in range(random.randrange(0, 200)))
        if random.random() < 0.3:
            text = text.rstrip("\n")
        name = str(n) + random.choice(names)
        with open(os.path.join(folder, name).encode("utf-8", "surrogateescape"), "wb") as out:
            out.write(text.encode())
    # Links to files of the tree, from beside and from another folder: a diff names the file
    # the replacement writes, which patch changes.
    top = os.path.join(root, str(t))
    files = sorted(os.path.relpath(os.path.join(f, n), top)
                   for f, _, ns in os.walk(top) for n in ns)
    for n, target in enumerate(files[:3]):
        os.symlink(os.path.relpath(os.path.join(top, target), top), os.path.join(top, f"link{n}"))
PY

replace_case() {  # tree number, flags..., then search and replacement last
    local number=$1; shift
    local original="$work/random/$number" made="$work/made" patched="$work/patched"
    rm -rf "$made" "$patched"; cp -a "$original" "$made"; cp -a "$original" "$patched"
    "$pellumar" --folder "$made" --filter '*' "$@" --diff --dry-run > "$work/dry.diff" \
        || [ $? -eq 1 ] || fail "dry run: $*"
    diff -r "$original" "$made" > /dev/null || fail "a dry run wrote: $*"
    "$pellumar" --folder "$made" --filter '*' "$@" --diff --yes --no-undo > "$work/real.diff" \
        || [ $? -eq 1 ] || fail "replacement: $*"
    cmp -s "$work/dry.diff" "$work/real.diff" || fail "the diffs differ: $*"
    (cd "$patched" && patch -p1 --quiet --force --no-backup-if-mismatch < "$work/dry.diff") \
        > "$work/patch.out" 2>&1 || { fail "patch refused: $*"; head -5 "$work/patch.out"; }
    if diff -r "$made" "$patched" > /dev/null && ! diff -r "$original" "$made" > /dev/null; then
        echo "ok: diff, $* ($(grep -c '^+++ ' "$work/dry.diff") files)"
    elif diff -r "$original" "$made" > /dev/null; then
        fail "nothing replaced: $*"
    else
        fail "patched copy differs: $*"; diff -r "$made" "$patched" | head -10
    fi
}

replace_case 0 --match-case --search "alpha" --replace "omega"
replace_case 1 --ignore-case --search "BETA" --replace "two
lines"
replace_case 2 --match-case --search "x
" --replace ""
replace_case 3 --regex --match-case --search '(alpha) (beta)' --replace '$2 $1'
replace_case 4 --regex --match-case --search '^' --replace '> '
replace_case 5 --regex --match-case --search '\r$' --replace ''
replace_case 0 --regex --match-case --search 'y$' --replace 'y
'

echo "$((failures == 0 ? 1 : 0)) passed, $failures failed"
[ "$failures" -eq 0 ]
