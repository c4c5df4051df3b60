#!/usr/bin/env bash
# Configures and builds the project into a build folder (default: build).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$here/build}"
type="${BUILD_TYPE:-RelWithDebInfo}"
# A compiler cache, when there is one, keeps the objects of sources that did not change.
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE="$type" "${launcher[@]}" ${CMAKE_EXTRA_ARGS:-} >/dev/null
cmake --build "$build" -j"$(nproc)"
