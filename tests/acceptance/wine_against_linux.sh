#!/usr/bin/env bash
# Runs the same searches and replacements with pellumar on Linux and with pellumar.exe under
# Wine, each on its own copy of one tree: the same files must be reported, and the trees must
# hold the same bytes afterwards.
set -euo pipefail
linux=${1:?usage: wine_against_linux.sh PELLUMAR PELLUMAR.EXE}
windows=${2:?usage: wine_against_linux.sh PELLUMAR PELLUMAR.EXE}
wine_run="$(dirname "${BASH_SOURCE[0]}")/../../cmake/wine-run"
work=$(realpath "$(mktemp -d "${TMPDIR:-/tmp}/pellumar-wine-XXXXXX")")
trap 'rm -rf "$work"' EXIT
failures=0

python3 - "$work/tree" <<'PY'
import os, random, sys
root = sys.argv[1]
rng = random.Random(20261207)
words = [b"old", b"OLD", b"Old", b"needle", b"a", b"Ab", b"aB", b"\x00", b"\xff\xfe", b"\r\n", b" "]
def write(rel, data):
    path = os.path.join(root, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
for i in range(300):
    folder = "/".join(f"d{rng.randrange(4)}" for _ in range(rng.randrange(4)))
    name = rng.choice(["f{}.txt", "F{}.C", "g{}", "with space {}.dat", "semi;{}.txt", "x{}.tx"])
    data = b"".join(rng.choice(words) for _ in range(rng.randrange(0, 400)))
    write(os.path.join(folder, name.format(i)), data)
write("empty.txt", b"")
write("edges.txt", b"old in the middle old")
write("overlap.txt", b"oldold olold ooldd")
write("big/mapped.bin", b"x" * (5 << 20) + b"old" + b"y" * 1000 + b"needle")
write("big/exact.bin", b"old" + b"z" * ((4 << 20) - 6) + b"old")
write("deep/" + "/".join(["level"] * 12) + "/bottom.txt", b"old needle")
PY

# Both report paths below the tree, in any order, one per line; the system's own separator and
# line end are taken out.
run_both() {  # name, then the arguments after --folder
    local name=$1
    shift
    rm -rf "$work/linux" "$work/windows"
    cp -a "$work/tree" "$work/linux"
    cp -a "$work/tree" "$work/windows"
    "$linux" --folder "$work/linux" "$@" | sed "s|^$work/linux/||" | sort > "$work/linux.out" \
        || [ $? -eq 1 ]
    "$wine_run" "$windows" --folder "Z:${work//\//\\}\\windows" "$@" \
        | tr -d '\r' | tr '\\' '/' | sed "s|^Z:$work/windows/||" | sort > "$work/windows.out" \
        || [ $? -eq 1 ]
    if ! cmp -s "$work/linux.out" "$work/windows.out"; then
        echo "FAILED: $name: different files reported"
        diff "$work/linux.out" "$work/windows.out" | head -10
        failures=$((failures + 1))
    elif ! diff -r "$work/linux" "$work/windows" > "$work/diff"; then
        echo "FAILED: $name: different bytes left"
        head -10 "$work/diff"
        failures=$((failures + 1))
    else
        echo "ok: $name ($(wc -l < "$work/linux.out") files)"
    fi
}

run_both "list every file" --filter '*.*' --hidden --subfolders
run_both "list by a pattern" --filter 'f*.txt' --hidden --subfolders
run_both "search only, ignore case" --filter '*.*' --search NEEDLE --search-only --ignore-case \
    --hidden --subfolders
run_both "replace, match case" --filter '*.*' --search old --replace NEW --match-case --yes \
    --hidden --subfolders
run_both "replace, ignore case, one folder" --filter '*.txt' --search ab --replace '<>' \
    --ignore-case --yes --hidden --no-subfolders
run_both "delete one byte" --filter '*.*' --search a --replace '' --match-case --yes --hidden \
    --subfolders

[ "$failures" -eq 0 ] || { echo "$failures comparisons failed"; exit 1; }
