#!/usr/bin/env bash
# Everything CI checks, in order of cost: the formatting and the include graph, then the
# Release build (warnings are errors), the fuzz smoke run, the Debian package and the
# whole test suite headless, then the sanitizer build with the whole suite again
# (tools/sanitize.sh).
set -euo pipefail
cd "$(dirname "$0")"

# shellcheck source=tools/packages.sh
. tools/packages.sh
install_missing_packages

echo "== formatting"
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror

echo "== include graph"
python3 tools/includegraph.py

echo "== release build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DZEMPAROL_WERROR=ON
ninja -C build -j2

# The parsers and readers of outside input, fuzzed briefly under sanitizers.
tools/fuzz-smoke.sh

echo "== package and tests"
(cd build && cpack -G DEB && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2)

echo "== sanitizer build and tests"
tools/sanitize.sh build-sanitize
