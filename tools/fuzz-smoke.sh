#!/usr/bin/env bash
# Runs every fuzz target for a few seconds (FUZZ_SECONDS, default 5) on the seeds of the
# repository, in the clang build with AddressSanitizer and UndefinedBehaviorSanitizer
# (build-fuzz/). A crash, a leak or undefined behaviour fails the run and shows the report.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-5}
mkdir -p build-fuzz
for target in connectstring expression layout sort jetpages; do
    log=build-fuzz/smoke-$target.log
    if ! tools/fuzz.sh "$target" "$seconds" >"$log" 2>&1; then
        echo "fuzz $target: FAILED" >&2
        tail -n 60 "$log" >&2
        exit 1
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "fuzz $target: ${runs:-?} inputs in ${seconds} s, no finding"
done
