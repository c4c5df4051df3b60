#!/usr/bin/env bash
# Installs what is missing, builds in Release (BUILD_DIR, default build-package) and makes the
# Debian package there: gestione-ordini_<version>_<arch>.deb.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
bash "$here/scripts/setup.sh"
build="${BUILD_DIR:-$here/build-package}"
BUILD_DIR="$build" BUILD_TYPE=Release CMAKE_EXTRA_ARGS="-DGESTIONE_TESTS=OFF -DGESTIONE_BENCH=OFF" \
    bash "$here/scripts/build.sh"
(cd "$build" && cpack -G DEB)
ls "$build"/gestione-ordini_*.deb
