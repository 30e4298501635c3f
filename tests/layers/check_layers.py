#!/usr/bin/env python3
"""The source folders are layers: a file includes only from its own folder or from a folder below it, and
no files include each other in a loop. Prints each breach; exit status 1 when there is one."""
import os
import re
import sys

# From the bottom up; folders on one line are side by side (neither may include the other).
LAYERS = [
    ["core"],
    ["store"],
    ["store/sqlite", "store/postgres"],
    ["store/open"],
    ["ranges"],
    ["models"],
    ["print"],
    ["widgets"],
    ["app"],
    ["calendar", "project", "search", "month", "submission", "history"],
    ["report"],
    ["main"],
]
RANK = {folder: rank for rank, row in enumerate(LAYERS) for folder in row}

src = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..", "src")
include = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
files = {}
for root, _, names in os.walk(src):
    for name in names:
        if name.endswith((".h", ".cpp")):
            path = os.path.relpath(os.path.join(root, name), src)
            with open(os.path.join(root, name), encoding="utf-8") as f:
                files[path] = include.findall(f.read())

breaches = []
for path, includes in sorted(files.items()):
    folder = os.path.dirname(path)
    if folder not in RANK:
        breaches.append(f"{path}: its folder {folder} is not a layer")
        continue
    for included in includes:
        if included not in files:
            continue  # a generated or third-party header
        other = os.path.dirname(included)
        if other != folder and (other not in RANK or RANK[other] >= RANK[folder]):
            breaches.append(f"{path} includes {included}: {other} is not below {folder}")

# Loops between files: a depth-first walk of the include graph.
state = {}
def visit(path, trail):
    state[path] = 1
    for included in files.get(path, []):
        if included not in files:
            continue
        if state.get(included) == 1:
            breaches.append("include loop: " + " -> ".join(trail[trail.index(included):] + [included]))
        elif included not in state:
            visit(included, trail + [included])
    state[path] = 2
for path in sorted(files):
    if path not in state:
        visit(path, [path])

for breach in breaches:
    print(breach)
sys.exit(1 if breaches else 0)
