#!/usr/bin/env bash
# Builds everything (program, tools, benchmark, tests) and the Debian package, then runs the
# test suite headless.
set -euo pipefail
cd "$(dirname "$0")"

# shellcheck source=tools/packages.sh
. tools/packages.sh
install_missing_packages

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
ninja -C build -j2

# The parsers and readers of outside input, fuzzed briefly under sanitizers.
tools/fuzz-smoke.sh

cd build
cpack -G DEB
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2
