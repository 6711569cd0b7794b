#!/usr/bin/env python3
"""Lists which source folder includes which, and fails when an include goes up a layer
or folders include each other in a circle.

Usage: tools/includegraph.py [--list] [REPOSITORY]

An include "a/b.h" is resolved as the compiler would find it: next to the including file
first, else the one file in the tree whose path ends with it. Includes of system and Qt
headers resolve to nothing and are ignored. Each folder's layer comes from LAYERS below
(the longest matching prefix); a folder may include its own layer or lower ones only.
A source folder outside the table is a fault: every new folder takes a place in it.
Tests, tools, fuzz targets and the benchmark sit above everything and are only checked for circles.
"""

import os
import re
import sys
from collections import defaultdict

# Lowest layer first. A layer may use the layers before it, never the ones after it.
LAYERS = [
    "src/dwcontrol/core",
    "src/dwcontrol/views/files",
    "src/dwcontrol/views/paint",
    "src/dwcontrol/views/grid",
    "src/dwcontrol/views/print",
    "src/dwcontrol/views/export",
    "src/dwcontrol/views/dialogs",
    "src/dwcontrol/views/control",
    "src/dwcontrol/runtime",
    "src/dwcontrol/services",
    "src/gridstyle",
    "src/dwcontrol/servicehost",
    "src/cards",
    "src/search",
    "src/app",
]

SOURCE_ROOTS = ["src", "tests", "tools", "bench", "fuzz"]
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def source_files(repo):
    for root in SOURCE_ROOTS:
        for folder, _, names in os.walk(os.path.join(repo, root)):
            for name in names:
                if name.endswith((".h", ".cpp")):
                    yield os.path.relpath(os.path.join(folder, name), repo)


def resolver(files):
    by_suffix = defaultdict(list)
    for path in files:
        parts = path.split("/")
        for start in range(len(parts)):
            by_suffix["/".join(parts[start:])].append(path)
    known = set(files)

    def resolve(including, target):
        beside = os.path.normpath(os.path.join(os.path.dirname(including), target))
        if beside in known:
            return beside
        found = by_suffix.get(os.path.normpath(target), [])
        if len(found) == 1:
            return found[0]
        # Two headers of the same name: the one in the including file's top folder.
        top = including.split("/")[0]
        near = [path for path in found if path.split("/")[0] == top]
        return near[0] if len(near) == 1 else None

    return resolve


def layer_of(folder):
    """The folder's rank in LAYERS; tests, tools and the benchmark rank above them all;
    None for a source folder that has no place in the table."""
    best = None
    for rank, prefix in enumerate(LAYERS):
        if folder == prefix or folder.startswith(prefix + "/"):
            if best is None or len(prefix) > len(LAYERS[best]):
                best = rank
    if best is None:
        return None if folder.split("/")[0] == "src" else len(LAYERS)
    return best


def folder_edges(repo):
    files = sorted(source_files(repo))
    resolve = resolver(files)
    edges = defaultdict(list)  # (from folder, to folder) -> ["file -> file", ...]
    for path in files:
        with open(os.path.join(repo, path), encoding="utf-8") as source:
            text = source.read()
        for target in INCLUDE.findall(text):
            found = resolve(path, target)
            if found is None:
                continue
            origin, destination = os.path.dirname(path), os.path.dirname(found)
            if origin != destination:
                edges[(origin, destination)].append(f"{path} -> {found}")
    return edges


def circles(edges):
    """Strongly connected groups of more than one folder (Tarjan)."""
    graph = defaultdict(set)
    for origin, destination in edges:
        graph[origin].add(destination)
    index, low, stack, on_stack, groups = {}, {}, [], set(), []

    def visit(node):
        index[node] = low[node] = len(index)
        stack.append(node)
        on_stack.add(node)
        for following in sorted(graph[node]):
            if following not in index:
                visit(following)
                low[node] = min(low[node], low[following])
            elif following in on_stack:
                low[node] = min(low[node], index[following])
        if low[node] == index[node]:
            group = []
            while True:
                member = stack.pop()
                on_stack.discard(member)
                group.append(member)
                if member == node:
                    break
            if len(group) > 1:
                groups.append(sorted(group))

    for node in sorted(set(graph) | {d for ds in graph.values() for d in ds}):
        if node not in index:
            visit(node)
    return groups


def main(arguments):
    listing = "--list" in arguments
    rest = [a for a in arguments if a != "--list"]
    repo = rest[0] if rest else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    edges = folder_edges(repo)

    if listing:
        for (origin, destination), uses in sorted(edges.items()):
            print(f"{origin} -> {destination} ({len(uses)})")

    faults = 0
    folders = sorted({folder for edge in edges for folder in edge})
    for folder in folders:
        if layer_of(folder) is None:
            faults += 1
            print(f"folder without a layer: {folder} (add it to LAYERS in {__file__})", file=sys.stderr)
    for (origin, destination), uses in sorted(edges.items()):
        if None in (layer_of(origin), layer_of(destination)):
            continue
        if layer_of(destination) > layer_of(origin):
            faults += 1
            print(f"upward include: {origin} -> {destination}", file=sys.stderr)
            for use in uses:
                print(f"    {use}", file=sys.stderr)
    for group in circles(edges):
        faults += 1
        print("folders that include each other: " + ", ".join(group), file=sys.stderr)
        for (origin, destination), uses in sorted(edges.items()):
            if origin in group and destination in group:
                for use in uses:
                    print(f"    {use}", file=sys.stderr)
    if faults:
        print(f"include graph: {faults} fault(s)", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
