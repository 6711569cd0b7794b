#!/usr/bin/env bash
# The test command: installs what is missing, builds Release with warnings as errors
# (program, sample generator, benchmark and tests) and runs the whole test suite headless.
# CI runs the slower gates after it (tools/ci-gates.sh).
set -euo pipefail
cd "$(dirname "$0")"

# shellcheck source=tools/packages.sh
. tools/packages.sh
install_missing_packages

echo "== release build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DZEMPAROL_WERROR=ON
ninja -C build -j"$(nproc)"

echo "== tests"
(cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)")
