#!/usr/bin/env python3
"""Kills pellumar with SIGKILL at random moments while it replaces in a tree of a few thousand
files, again and again. After each kill every file must hold either its old bytes or its fully
replaced bytes, and the only other files may be the pel*.tmp files of that run.

    kill_replace.py PELLUMAR [KILLS]    (default 200 kills)"""
import os, random, re, shutil, subprocess, sys, tempfile, time

SEARCH, REPLACE = b"needle", b"REPLACED-by-a-longer-text"
TEMPORARY = re.compile(r"pel[0-9A-F]{1,4}\.tmp$")


def make_tree(root, rng):
    """About 3,000 files: most small, some beyond the write buffer, a few that are mapped."""
    files = {}
    for i in range(3000):
        size = rng.choice([40, 900, 8000, 30000]) if i % 500 else rng.choice([300000, 5000000])
        words = [rng.choice([b"hay", b"stack", b"needle", b"\n", b"nee", b"dle"]) for _ in range(size // 5)]
        path = os.path.join(root, f"d{i % 40:02}", f"f{i:04}" + (".txt" if i % 3 else ""))
        files[path] = b" ".join(words)
    return files


def write_tree(root, files):
    shutil.rmtree(root, ignore_errors=True)
    for path, data in files.items():
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)


def check(root, files):
    """Returns how many files hold their new bytes; removes this run's temporary files."""
    seen, replaced = set(), 0
    for folder, _, names in os.walk(root):
        for name in names:
            path = os.path.join(folder, name)
            if TEMPORARY.match(name):
                os.unlink(path)
                continue
            if path not in files:
                sys.exit(f"FAILED: a file nobody made: {path}")
            with open(path, "rb") as f:
                data = f.read()
            old = files[path]
            if data == old.replace(SEARCH, REPLACE) and data != old:
                replaced += 1
            elif data != old:
                sys.exit(f"FAILED: {path} holds neither its old nor its new bytes ({len(data)} bytes)")
            seen.add(path)
    if seen != set(files):
        sys.exit(f"FAILED: files gone: {sorted(set(files) - seen)[:5]}")
    return replaced


def main():
    pellumar, kills = sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 200
    rng = random.Random(int(os.environ.get("KILL_SEED", "1107")))
    work = tempfile.mkdtemp(prefix="pellumar-kills-")
    root = os.path.join(work, "tree")
    try:
        files = make_tree(root, rng)
        changing = sum(1 for data in files.values() if SEARCH in data)
        write_tree(root, files)
        command = [pellumar, "--folder", root, "--match-case", "--yes", "--on-error", "skip",
                   "--search", SEARCH.decode(), "--replace", REPLACE.decode(), "--quiet"]
        done = resets = 0
        started = time.monotonic()
        while done < kills:
            process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            time.sleep(rng.uniform(0, 0.25))
            if process.poll() is None:
                process.kill()
                done += 1
            process.wait()
            if check(root, files) == changing:  # all replaced: start again from the old tree
                write_tree(root, files)
                resets += 1
        print(f"ok: {done} kills survived in {time.monotonic() - started:.0f} s, "
              f"{len(files)} files, {changing} to change, tree renewed {resets} times, no byte lost")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
