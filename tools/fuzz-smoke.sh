#!/usr/bin/env bash
# Runs the fuzz targets of the project's own code for a few seconds (FUZZ_SECONDS, default
# 5) on the seeds of the repository, in the clang build with AddressSanitizer and
# UndefinedBehaviorSanitizer (build-fuzz/). A crash, a leak or undefined behaviour fails the
# run and shows the report.
# The long-value target stays out: within seconds it can reach libmdb's own faults (an
# over-read and huge allocations on a damaged catalog), which its 10-minute runs report.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-5}
mkdir -p build-fuzz
for target in connectstring expression layout sort jetpages settings; do
    log=build-fuzz/smoke-$target.log
    if ! tools/fuzz.sh "$target" "$seconds" >"$log" 2>&1; then
        echo "fuzz $target: FAILED" >&2
        tail -n 60 "$log" >&2
        exit 1
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "fuzz $target: ${runs:-?} inputs in ${seconds} s, no finding"
done
