#!/usr/bin/env bash
# Runs the benchmark of an existing build: bench/run.sh [sizes...] (default 10000 100000 1000000).
# Build first (e.g. cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release && ninja -C build dwbench gensample).
# BUILD_DIR, REPEATS and WORK_DIR override the build folder, runs per figure and scratch folder.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
bench="$build/bench/dwbench"
gensample="$build/tools/gensample"
for program in "$bench" "$gensample"; do
    if [ ! -x "$program" ]; then
        echo "run.sh: $program is missing; build the dwbench and gensample targets first" >&2
        exit 1
    fi
done
if [ "$#" -eq 0 ]; then
    set -- 10000 100000 1000000
fi
sizes="$(IFS=,; echo "$*")"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
exec "$bench" --sizes "$sizes" --repeats "${REPEATS:-5}" --work "${WORK_DIR:-$build/bench-work}" --gensample "$gensample"
