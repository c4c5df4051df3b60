#!/usr/bin/env bash
# Runs every benchmark on the large database and prints one table; keeps it, with the machine it
# was measured on, in bench/RESULTS.md. Each row gives the CPU time and the wall clock, both
# medians of the same runs, and is met only when both meet its target.
#
#   bash scripts/bench.sh [--giri N] [--riscaldamento N] [--solo liste,anno,...]
#
# --solo runs some groups alone and prints their rows without touching bench/RESULTS.md, which
# always holds one whole run. (--cpu, once a choice of clock, is accepted and does nothing.)
#
# As root on Debian 12 it installs what is missing, builds in Release (BUILD_DIR, default
# build-bench), and makes the large file once in BENCH_DATA (default bench/data/grande, which git
# ignores): later runs reuse it. Measure on a quiet machine: the table says how loaded it was.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
bash "$here/scripts/setup.sh"

build="${BUILD_DIR:-$here/build-bench}"
data="${BENCH_DATA:-$here/bench/data/grande}"
BUILD_DIR="$build" BUILD_TYPE=Release CMAKE_EXTRA_ARGS="-DGESTIONE_TESTS=OFF" \
    bash "$here/scripts/build.sh"

if [ ! -f "$data/Ordine.mdb" ]; then
    mkdir -p "$data"
    echo "Creo il database grande in $data (una volta sola)..." >&2
    "$build/bin/gestione-bench-makedb" "$data/Ordine.mdb" >&2
fi

export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"

load_before="$(cut -d' ' -f1-3 /proc/loadavg)"
table="$(mktemp)"
status=0
"$build/bin/gestione-bench" --cartella "$data" "$@" >"$table" || status=$?
load_after="$(cut -d' ' -f1-3 /proc/loadavg)"

case " $* " in
*" --solo "*)
    # A part of the table: shown, not kept.
    cat "$table"
    rm -f "$table"
    exit $status
    ;;
esac
cpu="$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
ram="$(free -g | awk '/^Mem:/ {print $2}')"
{
    echo "# Benchmark results"
    echo
    echo "Measured $(date -u '+%Y-%m-%d %H:%M UTC') by \`bash scripts/bench.sh $*\`"
    echo "on $(nproc) cores, ${cpu}, ${ram} GiB RAM; load average ${load_before} before,"
    echo "${load_after} after (the cores are shared with other work). Every run is timed by the"
    echo "CPU time of the process that does the work (for the start-up, the child's own up to its"
    echo "first paint; for cp, sqlcipher and openpyxl, theirs) and by the wall clock: both are"
    echo "medians of the same measured runs after the warm-up; ours and the baseline alternate in"
    echo "the same run. A row is met only when it meets its target by both."
    echo
    cat "$table"
} >"$here/bench/RESULTS.md.new"
mv "$here/bench/RESULTS.md.new" "$here/bench/RESULTS.md"
cat "$table"
rm -f "$table"
exit $status
