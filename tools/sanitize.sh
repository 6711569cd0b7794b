#!/usr/bin/env bash
# Builds the whole project with the address and undefined-behaviour sanitizers (a float
# converted to an integer out of range included) into BUILD_DIR and runs the whole test
# suite there; the first fault fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-sanitize}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEMPAROL_WERROR=ON \
    -DZEMPAROL_SANITIZE=address,undefined,float-cast-overflow
ninja -C "$build" -j"$(nproc)"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tools/lsan.supp:print_suppressions=0
(cd "$build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)")
