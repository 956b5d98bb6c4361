#!/usr/bin/env python3
"""Runs pellumar over a hostile tree, as an ordinary user (as nobody when started as root):
link cycles, links to themselves and to nowhere, folders and files it may not read, read-only
files and folders, FIFOs, sockets and devices, names with newlines and invalid UTF-8, folders
nested deeper than PATH_MAX, and 100,000 empty files in one folder. It must finish, list what it
may, name on standard error what it may not read or change (but never a FIFO, socket or device),
change nothing it may not, and prompt where a file cannot be rewritten.

    hostile_tree.py PELLUMAR"""
import os, shutil, socket, stat, subprocess, sys, tempfile

NOBODY = 65534
failures = []


def expect(condition, what):
    print(("ok: " if condition else "FAILED: ") + what)
    if not condition:
        failures.append(what)


def write(path, data=b"", mode=0o644):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    os.chmod(path, mode)


def build(root):
    write(f"{root}/plain", b"a needle here")
    os.symlink(".", f"{root}/self-loop")
    os.symlink("self-link", f"{root}/self-link")
    os.symlink("nowhere", f"{root}/dangling")
    write(f"{root}/cycle/inner", b"needle in the cycle")
    os.symlink("..", f"{root}/cycle/up")
    write(f"{root}/no-read/hidden", b"needle")
    write(f"{root}/no-exec/hidden", b"needle")
    write(f"{root}/unreadable", b"needle", 0o200)
    write(f"{root}/read-only-file", b"needle kept", 0o444)
    write(f"{root}/read-only-folder/inside", b"needle kept")
    os.mkfifo(f"{root}/fifo")
    server = socket.socket(socket.AF_UNIX)
    server.bind(f"{root}/socket")
    if os.geteuid() == 0:
        os.mknod(f"{root}/device", 0o666 | stat.S_IFCHR, os.makedev(1, 3))
    odd = [b"new\nline", b"bad-\xff\xfe-utf8", b"tab\there"]
    for name in odd:
        write(os.path.join(root.encode(), name), b"needle")
    deep = f"{root}/deep"
    os.makedirs(deep)
    fd = os.open(deep, os.O_RDONLY)
    for _ in range(90):  # 90 * 50 bytes: beyond PATH_MAX
        os.mkdir("d" * 49, dir_fd=fd)
        inner = os.open("d" * 49, os.O_RDONLY, dir_fd=fd)
        os.close(fd)
        fd = inner
    with open(os.open("needle-deep", os.O_WRONLY | os.O_CREAT, 0o644, dir_fd=fd), "wb") as f:
        f.write(b"needle")
    os.close(fd)
    write(f"{root}/deep/shallow", b"needle")
    many = f"{root}/many"
    os.makedirs(many)
    for i in range(100000):
        os.close(os.open(f"{many}/e{i:06}", os.O_WRONLY | os.O_CREAT, 0o644))
    return server, odd


def drop_privileges():
    if os.geteuid() == 0:
        os.setgroups([])
        os.setresgid(NOBODY, NOBODY, NOBODY)
        os.setresuid(NOBODY, NOBODY, NOBODY)


def run(pellumar, root, *flags):
    result = subprocess.run([pellumar, "--folder", root, "--null", "--on-error", "skip", *flags],
                            capture_output=True, timeout=300, preexec_fn=drop_privileges)
    found = {path[len(root) + 1:] for path in result.stdout.decode("utf-8", "surrogateescape")
             .split("\0") if path}
    return result.returncode, found, result.stderr.decode("utf-8", "replace")


def main():
    pellumar = os.path.abspath(sys.argv[1])
    work = tempfile.mkdtemp(prefix="pellumar-hostile-")
    root = os.path.join(work, "tree")
    os.chmod(work, 0o755)
    try:
        server, odd = build(root)
        if os.geteuid() == 0:  # chown walks trees deeper than PATH_MAX
            subprocess.run(["chown", "-R", "-h", f"{NOBODY}:{NOBODY}", root], check=True)
        os.chmod(f"{root}/no-read", 0o300)
        os.chmod(f"{root}/no-exec", 0o600)
        os.chmod(f"{root}/read-only-folder", 0o555)
        before = {name: open(f"{root}/{name}", "rb").read() if os.access(f"{root}/{name}", os.R_OK)
                  else None for name in ("plain", "read-only-file", "read-only-folder/inside")}

        code, found, errors = run(pellumar, root, "--search-only")
        expect(code == 2, f"listing finished, with files passed over (exit {code})")
        named = {line.split(": ")[1][len(root) + 1:] for line in errors.splitlines()
                 if line.startswith("pellumar: ")}
        expect(named == {"no-read", "no-exec", "unreadable", "dangling", "self-link"},
               f"each file or folder that cannot be read is named once ({sorted(named)})")
        expect(sum(1 for p in found if p.startswith("many/")) == 100000,
               "the 100,000 empty files are all listed")
        expect(not any(p.startswith(("no-read/", "no-exec/")) or p == "unreadable" for p in found),
               "nothing listed that may not be opened")
        expect(not any(p in ("fifo", "socket", "device", "dangling", "self-link") for p in found),
               "no FIFO, socket, device or broken link listed")

        code, found, _ = run(pellumar, root, "--search-only", "--search", "needle")
        expect(code == 2, f"search finished, with files passed over (exit {code})")
        names = {os.fsencode(p).split(b"/")[-1] for p in found}
        expect(all(name in names for name in odd), "names with a newline or invalid UTF-8 found")
        expect("deep/shallow" in found, "the reachable file below the deep folders found")
        expect("cycle/inner" in found, "a file inside a link cycle found")
        expect(any(p.endswith("needle-deep") for p in found),
               "a file in folders nested deeper than PATH_MAX found")

        code, found, errors = run(pellumar, root, "--search", "needle", "--replace", "pin", "--yes")
        expect("open the temporary file" in errors, "a read-only folder prompts for the temporary file")
        expect("replace the file" in errors, "a read-only file prompts before it would be replaced")
        for name in ("read-only-file", "read-only-folder/inside"):
            expect(f"{root}/{name}: not changed: Permission denied" in errors,
                   f"{name} named as not changed")
            expect(name not in found, f"{name} not listed as replaced")
        expect(code == 2, f"replacement with files not changed ends with 2 (exit {code})")
        after = {name: open(f"{root}/{name}", "rb").read() if os.access(f"{root}/{name}", os.R_OK)
                 else None for name in before}
        expect(after["read-only-file"] == before["read-only-file"], "the read-only file unchanged")
        expect(after["read-only-folder/inside"] == before["read-only-folder/inside"],
               "the file in the read-only folder unchanged")
        expect(after["plain"] == b"a pin here", "an ordinary file rewritten")
        leftovers = [n for f, _, names in os.walk(root) for n in names if n.startswith("pel")]
        expect(not leftovers, f"no temporary file left ({leftovers[:3]})")
        server.close()
    finally:
        for folder, dirs, _ in os.walk(work):
            for name in dirs:
                try:
                    os.chmod(os.path.join(folder, name), 0o755)
                except OSError:
                    pass
        subprocess.run(["rm", "-rf", work])
    if failures:
        sys.exit(f"{len(failures)} checks failed")


if __name__ == "__main__":
    main()
