#!/usr/bin/env bash
# The gates CI runs after ./test.sh, slowest last: the formatting, the include graph, a few
# seconds of each fuzz target, the Debian package, and the whole tree again with
# AddressSanitizer and UndefinedBehaviorSanitizer with the whole suite in that build.
# Needs the Release build that ./test.sh leaves in build/.
set -euo pipefail
cd "$(dirname "$0")/.."

# shellcheck source=tools/packages.sh
. tools/packages.sh
install_missing_packages

echo "== formatting"
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror

echo "== include graph"
python3 tools/includegraph.py

echo "== fuzz smoke run"
tools/fuzz-smoke.sh

echo "== package"
(cd build && cpack -G DEB)

echo "== sanitizer build and tests"
tools/sanitize.sh build-sanitize
