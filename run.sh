#!/usr/bin/env bash
# Builds the directory browser and starts it on a generated sample directory.
set -euo pipefail
cd "$(dirname "$0")"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "run.sh: no hay pantalla (DISPLAY y WAYLAND_DISPLAY vacíos); ejecútelo en una sesión gráfica o bajo xvfb-run." >&2
    exit 1
fi

# shellcheck source=tools/packages.sh
. tools/packages.sh
install_missing_packages

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
ninja -C build -j2 zemparol gensample

if [ ! -f build/sample/zemparol.mdb ]; then
    build/tools/gensample build/sample
fi

cd build/sample
exec ../src/zemparol "$@"
