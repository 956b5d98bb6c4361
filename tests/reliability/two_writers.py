#!/usr/bin/env python3
"""Two replacements at once on the same tree, round after round: one replaces "foo" by "FOO",
the other "bar" by "BAR", in the same 300 files. Neither may lose the other's change: after each
round every file must hold both, and no temporary file may stay. Given the window's runner, every
other round one of the two is the window.

    two_writers.py PELLUMAR [WINDOW_RUN] [ROUNDS]    (default 30 rounds)"""
import os, random, shutil, subprocess, sys, tempfile

FOO, BAR = (b"foo", b"FOO"), (b"bar", b"BAR")


def make_files(rng):
    """300 files: most small, some beyond the write buffer, two that are mapped."""
    files = {}
    for i in range(300):
        size = rng.choice([60, 900, 8000, 40000]) if i % 150 else 5_000_000
        words = [rng.choice([b"foo", b"bar", b"baz", b"\n", b"fo", b"ar"]) for _ in range(size // 4)]
        files[f"d{i % 12:02}/f{i:03}.txt"] = b" ".join(words)
    return files


def write_tree(root, files):
    shutil.rmtree(root, ignore_errors=True)
    for name, data in files.items():
        os.makedirs(os.path.join(root, os.path.dirname(name)), exist_ok=True)
        with open(os.path.join(root, name), "wb") as f:
            f.write(data)


def writer(program, window, root, pair, with_window):
    old, new = (p.decode() for p in pair)
    if with_window:
        command = [window, "--match-case", root, "*.*", old, new]
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    else:
        command = [program, "--folder", root, "--search", old, "--replace", new, "--yes",
                   "--match-case", "--on-error", "skip", "--quiet"]
        env = None
    return subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env)


def main():
    pellumar = sys.argv[1]
    window = sys.argv[2] if len(sys.argv) > 2 and not sys.argv[2].isdigit() else None
    rounds = int(sys.argv[-1]) if sys.argv[-1].isdigit() else 30
    rng = random.Random(int(os.environ.get("WRITERS_SEED", "2026")))
    work = tempfile.mkdtemp(prefix="pellumar-writers-")
    root = os.path.join(work, "tree")
    lost = rewrites = 0
    try:
        files = make_files(rng)
        for number in range(rounds):
            write_tree(root, files)
            with_window = window is not None and number % 2 == 1
            first = writer(pellumar, window, root, FOO, with_window)
            second = writer(pellumar, window, root, BAR, False)
            for process in (first, second):
                errors = process.communicate()[1].decode(errors="replace")
                if process.returncode != 0:
                    sys.exit(f"FAILED: round {number}: exit {process.returncode}: {errors[:500]}")
            for name, data in files.items():
                with open(os.path.join(root, name), "rb") as f:
                    now = f.read()
                if now != data.replace(*FOO).replace(*BAR):
                    lost += 1
                    print(f"lost: round {number}: {name}")
            rewrites += 2 * len(files)
            leftovers = [n for _, _, names in os.walk(root) for n in names if n.startswith("pel")]
            if leftovers:
                sys.exit(f"FAILED: round {number}: temporary files left: {leftovers[:3]}")
        if lost:
            sys.exit(f"FAILED: {lost} changes lost in {rounds} rounds")
        print(f"ok: {rounds} rounds, {rewrites // 2} files each changed by two runs at once"
              f"{' (every other with the window)' if window else ''}, 0 changes lost")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
