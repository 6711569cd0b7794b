#!/usr/bin/env python3
"""Plants one-line faults in the program, one at a time, and says which ones the tests catch.

Usage: tools/mutants.py [--build DIR] [--list FILE] [--only ID ...] [--no-fallback] [--check]

The faults are listed in tools/mutants.txt, one block per fault, blocks separated by blank
lines:

    id: count-hidden-ignored
    file: src/search/listingcount.cpp
    line: if (listed == 0 && hidden == 0)
    fault: if (listed == 0)
    seen: with a filter hiding every member the count says nobody matched the search
    tests: tst_listingwindow

`line` is the exact text of one line of `file` (surrounding blanks aside) and must occur
there exactly once; `fault` replaces it, keeping its indentation. `tests` names the test
programs that should catch the fault. For each fault the tool writes it into the file,
rebuilds those test programs incrementally, runs them through CTest, and puts the file back
whatever happens. A fault they miss is tried against the whole suite before it counts as
survived (unless --no-fallback); a fault without `tests` goes to the whole suite at once.
A fault that does not build is reported apart and left out of the score.

--check only verifies that every listed line is still where the list says.
Run it through the build slot (it builds and runs tests for a long time):

    /work/bin/buildslot python3 tools/mutants.py --build build
"""

import argparse
import os
import re
import signal
import subprocess
import sys
import time

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def parse(path):
    faults, block = [], {}
    with open(path, encoding="utf-8") as f:
        lines = f.read().split("\n")
    for number, raw in enumerate(lines + [""], 1):
        if raw.startswith("#"):
            continue
        if not raw.strip():
            if block:
                faults.append(block)
                block = {}
            continue
        key, sep, value = raw.partition(":")
        if not sep or key.strip() not in ("id", "file", "line", "fault", "seen", "tests"):
            sys.exit(f"{path}:{number}: not a 'key: value' line of a fault: {raw!r}")
        # Only the one blank after the colon is the separator; the rest is the code.
        block[key.strip()] = value[1:] if value.startswith(" ") else value
        block.setdefault("at", number)
    for fault in faults:
        missing = [k for k in ("id", "file", "line", "fault", "seen") if k not in fault]
        if missing:
            sys.exit(f"{path}:{fault['at']}: fault without {', '.join(missing)}")
        fault["tests"] = fault.get("tests", "").split()
    ids = [f["id"] for f in faults]
    doubled = {i for i in ids if ids.count(i) > 1}
    if doubled:
        sys.exit(f"{path}: ids used twice: {', '.join(sorted(doubled))}")
    return faults


def moved(relative):
    """Where a file of the list lives now when it moved to another folder: the one file of
    the same name under src/, or the path as listed."""
    name = os.path.basename(relative)
    found = [os.path.join(folder, name) for folder, _, names in os.walk(os.path.join(REPO, "src")) if name in names]
    return found[0] if len(found) == 1 else os.path.join(REPO, relative)


def locate(fault):
    """The file's text and the index of the one line the fault replaces, or an error."""
    path = os.path.join(REPO, fault["file"])
    if not os.path.exists(path):
        path = moved(fault["file"])
    fault["path"] = path
    try:
        with open(path, encoding="utf-8") as f:
            text = f.read()
    except OSError as error:
        return None, None, str(error)
    lines = text.split("\n")
    wanted = fault["line"].strip()
    found = [i for i, line in enumerate(lines) if line.strip() == wanted]
    if len(found) != 1:
        return None, None, f"the line occurs {len(found)} times in {fault['file']}"
    if fault["fault"].strip() == wanted:
        return None, None, "the fault is the line itself"
    return text, found[0], None


def mutated(text, index, replacement):
    lines = text.split("\n")
    indent = re.match(r"\s*", lines[index]).group(0)
    lines[index] = indent + replacement.strip()
    return "\n".join(lines)


def run(command, log, timeout=None):
    log.write(f"$ {' '.join(command)}\n")
    log.flush()
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    try:
        return subprocess.run(command, stdout=log, stderr=subprocess.STDOUT, env=env, timeout=timeout).returncode
    except subprocess.TimeoutExpired:
        log.write("(timed out)\n")
        return 124


def all_tests(build):
    out = subprocess.run(["ctest", "--test-dir", build, "-N"], capture_output=True, text=True).stdout
    return re.findall(r"Test\s+#\d+: (\S+)", out)


def try_fault(fault, build, log, fallback):
    """'killed', 'killed by the suite', 'survived' or 'did not build'."""
    targets = fault["tests"]
    if targets:
        # A test run on an X server ("_x11") is a run of the test program of that name.
        programs = sorted({t.removesuffix("_x11").removesuffix("_libpq") for t in targets})
        if run(["ninja", "-C", build, "-j2"] + programs, log) != 0:
            return "did not build"
        pattern = "^(" + "|".join(re.escape(t) for t in targets) + ")$"
        if run(["ctest", "--test-dir", build, "-j2", "--timeout", "300", "-R", pattern], log) != 0:
            return "killed"
        if not fallback:
            return "survived"
    if run(["ninja", "-C", build, "-j2"], log) != 0:
        return "did not build"
    # The package check reinstalls the whole tree and says nothing about a fault.
    if run(["ctest", "--test-dir", build, "-j2", "--timeout", "300", "-E", "^tst_package$"], log) != 0:
        return "killed by the suite" if targets else "killed"
    return "survived"


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default=os.path.join(REPO, "build"))
    parser.add_argument("--list", default=os.path.join(REPO, "tools", "mutants.txt"))
    parser.add_argument("--only", nargs="*", default=[])
    parser.add_argument("--no-fallback", action="store_true")
    parser.add_argument("--check", action="store_true")
    parser.add_argument("--log", default=None, help="where the build and test output goes")
    args = parser.parse_args()

    faults = parse(args.list)
    if args.only:
        faults = [f for f in faults if f["id"] in args.only]
    stale = []
    for fault in faults:
        _, _, problem = locate(fault)
        if problem:
            stale.append((fault, problem))
    for fault, problem in stale:
        print(f"stale  {fault['id']}: {problem}")
    if args.check:
        print(f"{len(faults) - len(stale)} of {len(faults)} faults can be planted")
        return 1 if stale else 0

    build = os.path.abspath(args.build)
    log_path = args.log or os.path.join(build, "mutants.log")
    results = {}
    current = {}

    def put_back(*_):
        if current:
            with open(current["path"], "w", encoding="utf-8") as f:
                f.write(current["text"])
        sys.exit("interrupted; the file is back as it was")

    signal.signal(signal.SIGINT, put_back)
    signal.signal(signal.SIGTERM, put_back)
    started = time.time()
    with open(log_path, "w", encoding="utf-8") as log:
        for fault in faults:
            text, index, problem = locate(fault)
            if problem:
                continue
            path = fault["path"]
            began = time.time()
            log.write(f"\n=== {fault['id']}\n")
            current.update(path=path, text=text)
            try:
                with open(path, "w", encoding="utf-8") as f:
                    f.write(mutated(text, index, fault["fault"]))
                outcome = try_fault(fault, build, log, not args.no_fallback)
            finally:
                with open(path, "w", encoding="utf-8") as f:
                    f.write(text)
                current.clear()
            results[fault["id"]] = outcome
            print(f"{outcome:20} {time.time() - began:6.0f} s  {fault['id']}: {fault['seen']}", flush=True)
        # The tree as it is again, so the build does not keep the last fault.
        run(["ninja", "-C", build, "-j2"], log)

    killed = sum(1 for o in results.values() if o.startswith("killed"))
    survived = [i for i, o in results.items() if o == "survived"]
    unbuilt = [i for i, o in results.items() if o == "did not build"]
    scored = killed + len(survived)
    print()
    print(f"faults planted: {len(results)}, killed: {killed}, survived: {len(survived)}, "
          f"did not build: {len(unbuilt)}, stale: {len(stale)}")
    if scored:
        print(f"score: {100.0 * killed / scored:.1f}% ({killed} of {scored})")
    print(f"time: {(time.time() - started) / 60:.1f} min; output in {log_path}")
    for i in survived:
        print(f"survived: {i}")
    for i in unbuilt:
        print(f"did not build: {i}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
