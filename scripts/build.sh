#!/usr/bin/env bash
# Configures and builds the project into a build folder (default: build).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$here/build}"
type="${BUILD_TYPE:-RelWithDebInfo}"
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE="$type" ${CMAKE_EXTRA_ARGS:-} >/dev/null
cmake --build "$build" -j"$(nproc)"
