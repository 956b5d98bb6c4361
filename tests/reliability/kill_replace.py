#!/usr/bin/env python3
"""Kills pellumar with SIGKILL at random moments while it replaces in a tree of a few thousand
files, again and again. After each kill every file must hold either its old bytes or its fully
replaced bytes, and the only other files may be the pel*.tmp files of killed runs; every run that
ends by itself must leave none of them anywhere in the tree, as each run deletes what killed runs
left before it begins.

    kill_replace.py PELLUMAR [KILLS]    (default 200 kills)"""
import os, random, re, shutil, subprocess, sys, tempfile, time

SEARCH, REPLACE = b"needle", b"REPLACED-by-a-longer-text"
TEMPORARY = re.compile(r"pel[0-9A-F]{1,4}\.tmp$")


def make_tree(root, rng):
    """About 3,000 files: most small, some beyond the write buffer, a few that are mapped."""
    files = {}
    for i in range(3000):
        size = rng.choice([40, 900, 8000, 30000]) if i % 500 else rng.choice([300000, 5000000])
        words = rng.choices([b"hay", b"stack", b"needle", b"\n", b"nee", b"dle"], k=size // 5)
        path = os.path.join(root, f"d{i % 40:02}", f"f{i:04}" + (".txt" if i % 3 else ""))
        files[path] = b" ".join(words)
    return Tree(root, files)


class Tree:
    """The files of a run with their old and their replaced bytes, and what each was last seen to
    hold. A kill is checked hundreds of times, so a file is read again only where its inode, change
    time or size moved since it was last read: any write to it, or a new file under its name,
    moves one of them."""

    def __init__(self, root, files):
        self.root, self.old = root, files
        self.new = {path: data.replace(SEARCH, REPLACE) for path, data in files.items()}
        self.changing = sum(1 for path in files if self.new[path] != files[path])
        self.seen = {}  # path: (inode, change time, size) when last read, and whether replaced

    def write(self):
        """Gives every file its old bytes again: the whole tree the first time, then only the
        files last seen replaced or not seen at all."""
        for path, data in self.old.items():
            if path in self.seen and not self.seen[path][1]:
                continue
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(data)
            self.seen.pop(path, None)

    def check(self, finished=False):
        """Returns how many files hold their new bytes. Temporary files of killed runs may stay
        until the next run; after a run that `finished`, none may."""
        found, done = set(), 0
        for folder, _, names in os.walk(self.root):
            for name in names:
                path = os.path.join(folder, name)
                if TEMPORARY.match(name):
                    if finished:
                        sys.exit(f"FAILED: a temporary file a killed run left: {path}")
                    continue
                if path not in self.old:
                    sys.exit(f"FAILED: a file nobody made: {path}")
                done += self._replaced(path)
                found.add(path)
        if found != set(self.old):
            sys.exit(f"FAILED: files gone: {sorted(set(self.old) - found)[:5]}")
        return done

    def _replaced(self, path):
        status = os.stat(path)
        identity = (status.st_ino, status.st_ctime_ns, status.st_size)
        if self.seen.get(path, (None,))[0] != identity:
            with open(path, "rb") as f:
                data = f.read()
            if data != self.old[path] and data != self.new[path]:
                sys.exit(f"FAILED: {path} holds neither its old nor its new bytes "
                         f"({len(data)} bytes)")
            self.seen[path] = (identity, data != self.old[path])
        return self.seen[path][1]


def main():
    pellumar, kills = sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 200
    rng = random.Random(int(os.environ.get("KILL_SEED", "1107")))
    work = tempfile.mkdtemp(prefix="pellumar-kills-")
    os.environ["XDG_STATE_HOME"] = os.path.join(work, "state")
    root = os.path.join(work, "tree")
    try:
        tree = make_tree(root, rng)
        tree.write()
        command = [pellumar, "--folder", root, "--match-case", "--yes", "--on-error", "skip",
                   "--search", SEARCH.decode(), "--replace", REPLACE.decode(), "--quiet"]
        done = resets = finished = 0
        started = time.monotonic()
        while done < kills:
            process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            time.sleep(rng.uniform(0, 0.25))
            killed = process.poll() is None
            if killed:
                process.kill()
                done += 1
            process.wait()
            finished += not killed
            if tree.check(not killed) == tree.changing:  # all replaced: start from the old tree
                tree.write()
                resets += 1
        subprocess.run(command, stdout=subprocess.DEVNULL, check=True)
        tree.check(True)
        print(f"ok: {done} kills survived in {time.monotonic() - started:.0f} s, "
              f"{len(tree.old)} files, {tree.changing} to change, tree renewed {resets} times, "
              f"no byte lost, no temporary file left after {finished + 1} runs that ended")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
