#!/usr/bin/env bash
# Runs one fuzz target for a while: tools/fuzz.sh TARGET SECONDS
# TARGET is connectstring, expression, layout, sort, jetpages, longvalues or settings. The targets are built with
# clang and sanitizers in build-fuzz/; new inputs gather in build-fuzz/corpus/TARGET, and a
# crash leaves its input in build-fuzz/ as crash-*, to be replayed with
# build-fuzz/fuzz/fuzz_TARGET FILE.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -ne 2 ]; then
    echo "usage: $0 TARGET SECONDS" >&2
    exit 2
fi
target=$1
seconds=$2
build=build-fuzz

if [ ! -f "$build/build.ninja" ]; then
    CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DZEMPAROL_FUZZ=ON -DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld >/dev/null
fi
ninja -C "$build" "fuzz_$target" >/dev/null

mkdir -p "$build/corpus/$target"
options=()
if [ "$target" = jetpages ]; then
    # Access files are large: a fixture of the tests serves as the seed instead of a copy.
    mkdir -p "$build/seeds/jetpages"
    cp tests/data/mdb/directorio_small.mdb "$build/seeds/jetpages/"
    # The import gives up on a reader that runs 30 s; the target allows it that long.
    options+=(-max_len=262144 -timeout=60 "$PWD/$build/seeds/jetpages")
fi
# The long values are written over the pages of a fixture whose memos span many pages.
export FUZZ_MDB_FIXTURE="$PWD/tests/data/mdb/memo_long.mdb.z"
export UBSAN_OPTIONS="print_stacktrace=1"
# Leaks of the libraries outside the project are known and listed.
export LSAN_OPTIONS="suppressions=$PWD/tools/lsan.supp"
cd "$build"
# libFuzzer adds what it finds to the first folder only; the repository's seeds stay as they are.
exec "fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 -print_final_stats=1 \
    "corpus/$target" "../fuzz/corpus/$target" "${options[@]}"
