#!/usr/bin/env python3
"""Lines of tests against lines of code: non-blank lines of C++ that are not comments.

    scripts/test_ratio.py

Code is everything the program is built from (engine, cli, gui, settings, res, tools); tests are
tests/, their support included."""
import os

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CODE = ["engine", "cli", "gui", "settings", "res", "tools"]


def lines(path):
    count, in_block = 0, False
    for line in open(path, errors="replace"):
        text = line.strip()
        if in_block:
            in_block = "*/" not in text
            continue
        if not text or text.startswith("//"):
            continue
        if text.startswith("/*"):
            in_block = "*/" not in text
            continue
        count += 1
    return count


def total(folders):
    return sum(lines(os.path.join(folder, name))
               for top in folders
               for folder, _, names in os.walk(os.path.join(ROOT, top))
               for name in names if name.endswith((".cpp", ".h")))


code, tests = total(CODE), total(["tests"])
print(f"code {code}, tests {tests}: tests are {tests / code:.2f} of the code, "
      f"{tests / (code + tests):.2f} of all")
