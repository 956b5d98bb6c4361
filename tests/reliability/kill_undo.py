#!/usr/bin/env python3
"""Kills pellumar with SIGKILL at random moments while it takes back a replacement in a tree of
3,000 files, again and again. After each kill every file must hold either its old bytes or its
replaced bytes; a final undo must bring the whole tree back. Replacements killed part way are
taken back first: every file they changed must come back. Killed undos may leave temporary files
(a restored file's second name, a copy on its way back); every run that ends by itself, an undo or
a replacement, must leave none of them anywhere in the tree.

    kill_undo.py PELLUMAR [KILLS]    (default 100 kills of an undo)"""
import os, random, shutil, subprocess, sys, tempfile, time

from kill_replace import SEARCH, REPLACE, make_tree


def run(command, rng, most):
    """Runs a command and kills it after a random moment: whether it was killed."""
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(rng.uniform(0, most))
    killed = process.poll() is None
    if killed:
        process.kill()
    process.wait()
    return killed


def main():
    pellumar, kills = sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 100
    rng = random.Random(int(os.environ.get("KILL_SEED", "1207")))
    work = tempfile.mkdtemp(prefix="pellumar-undo-kills-")
    os.environ["XDG_STATE_HOME"] = os.path.join(work, "state")
    root = os.path.join(work, "tree")
    replace = [pellumar, "--folder", root, "--match-case", "--yes", "--on-error", "skip",
               "--search", SEARCH.decode(), "--replace", REPLACE.decode(), "--quiet"]
    undo = [pellumar, "--undo", "--yes", "--quiet"]
    try:
        tree = make_tree(root, rng)
        tree.write()
        started = time.monotonic()
        for _ in range(5):  # a replacement killed part way, then taken back whole
            run(replace, rng, 1.0)
            tree.check()
            subprocess.run(undo, stdout=subprocess.DEVNULL)
            if tree.check(True) != 0:
                sys.exit("FAILED: an undo of a killed replacement left replaced files")
        subprocess.run(replace, stdout=subprocess.DEVNULL, check=True)
        done = renewed = 0
        while done < kills:
            killed = run(undo, rng, 0.25)
            done += killed
            if tree.check(not killed) == 0:  # all taken back: replace again
                subprocess.run(replace, stdout=subprocess.DEVNULL, check=True)
                tree.check(True)
                renewed += 1
        subprocess.run(undo, stdout=subprocess.DEVNULL, check=True)
        if tree.check(True) != 0:
            sys.exit("FAILED: the last undo did not bring every file back")
        print(f"ok: {done} kills of an undo survived in {time.monotonic() - started:.0f} s, "
              f"{len(tree.old)} files, {tree.changing} changed, replaced again {renewed} times, "
              f"the tree whole again")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
