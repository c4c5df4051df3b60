#!/usr/bin/env bash
# Installs what is missing, builds, puts a demo Ordine.mdb next to the program when there is
# none, and starts the program.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
bash "$here/scripts/setup.sh"
bash "$here/scripts/build.sh"
bin="${BUILD_DIR:-$here/build}/bin"
if [ ! -e "$bin/Ordine.mdb" ]; then
    "$bin/gestione-makedb" --demo "$bin/Ordine.mdb"
fi
exec "$bin/gestione"
