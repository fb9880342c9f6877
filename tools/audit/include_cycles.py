#!/usr/bin/env python3
"""Include cycles between the units of one source folder (a unit is foo.h with foo.cpp).

Usage: include_cycles.py src/core   -> prints every cycle group and the mutual pairs; exits 1
when there is any cycle."""
import pathlib
import re
import sys

folder = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else "src/core")
prefix = folder.name + "/"
include = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
edges = {}
for path in sorted(folder.iterdir()):
    if path.suffix not in (".h", ".cpp"):
        continue
    unit = path.stem
    edges.setdefault(unit, set())
    for line in path.read_text(encoding="utf-8").splitlines():
        m = include.match(line)
        if m and m.group(1).startswith(prefix):
            target = pathlib.Path(m.group(1)).stem
            if target != unit:
                edges[unit].add(target)
                edges.setdefault(target, set())

# Tarjan's strongly connected components.
index, low, stack, on_stack, groups = {}, {}, [], set(), []
def visit(v):
    index[v] = low[v] = len(index)
    stack.append(v)
    on_stack.add(v)
    for w in edges[v]:
        if w not in index:
            visit(w)
            low[v] = min(low[v], low[w])
        elif w in on_stack:
            low[v] = min(low[v], index[w])
    if low[v] == index[v]:
        group = []
        while True:
            w = stack.pop()
            on_stack.discard(w)
            group.append(w)
            if w == v:
                break
        if len(group) > 1:
            groups.append(sorted(group))
sys.setrecursionlimit(10000)
for v in sorted(edges):
    if v not in index:
        visit(v)
pairs = sorted({tuple(sorted((a, b))) for a in edges for b in edges[a] if a in edges.get(b, ())})
print(f"{len(edges)} units, {len(groups)} cycle groups, {sum(map(len, groups))} units in cycles, {len(pairs)} mutual pairs")
for g in groups:
    print("cycle:", " ".join(g))
for a, b in pairs:
    print("mutual:", a, "<->", b)
sys.exit(1 if groups else 0)
