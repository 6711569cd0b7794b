#!/usr/bin/env python3
"""Prints where a build spent its time, read from Ninja's log: the slowest steps (compiles,
links, code generation), and the total per kind of step.

Usage: tools/slowest-units.py [BUILD_FOLDER] [--top N]

Only the newest record of each output counts, so a log of many incremental builds shows
what the last full build of each file cost. Times are wall-clock per step; with -j2 two
steps overlap, so the total is about twice the build's wall time.
"""

import os
import sys
from collections import defaultdict


def newest_steps(log_path):
    steps = {}
    with open(log_path, encoding="utf-8") as log:
        for line in log:
            if line.startswith("#"):
                continue
            fields = line.rstrip("\n").split("\t")
            if len(fields) < 4:
                continue
            start, end, output = int(fields[0]), int(fields[1]), fields[3]
            steps[output] = (end - start) / 1000.0
    return steps


def kind_of(output):
    if output.endswith(".o"):
        if "autogen" in output or "/moc_" in output or "qrc_" in output:
            return "generated code"
        return "compile"
    if output.endswith(".a"):
        return "static library"
    if "autogen" in output or output.endswith((".cpp", ".h", ".stamp")):
        return "code generation"
    return "link"


def main(arguments):
    top = 25
    if "--top" in arguments:
        at = arguments.index("--top")
        top = int(arguments[at + 1])
        del arguments[at : at + 2]
    build = arguments[0] if arguments else "build"
    log_path = os.path.join(build, ".ninja_log")
    if not os.path.exists(log_path):
        print(f"no {log_path}: build first", file=sys.stderr)
        return 1
    steps = newest_steps(log_path)
    totals = defaultdict(float)
    counts = defaultdict(int)
    for output, seconds in steps.items():
        totals[kind_of(output)] += seconds
        counts[kind_of(output)] += 1
    print(f"{'seconds':>8}  step")
    for output, seconds in sorted(steps.items(), key=lambda item: -item[1])[:top]:
        print(f"{seconds:8.1f}  {output}")
    print()
    print(f"{'seconds':>8}  {'steps':>5}  kind")
    for kind, seconds in sorted(totals.items(), key=lambda item: -item[1]):
        print(f"{seconds:8.1f}  {counts[kind]:5d}  {kind}")
    print(f"{sum(totals.values()):8.1f}  {len(steps):5d}  all")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
