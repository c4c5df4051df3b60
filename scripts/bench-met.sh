#!/usr/bin/env bash
# Fails when the benchmark table (default bench/RESULTS.md) has a row whose target is not met, or
# is not a table of both clocks: every row must say "yes" under "met", and the table must give
# the CPU time and the wall clock.
#
#   bash scripts/bench-met.sh [RESULTS.md]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
results="${1:-$here/bench/RESULTS.md}"
if [ ! -f "$results" ]; then
    echo "$results: missing" >&2
    exit 1
fi
awk -F'|' '
    function trim(s) { gsub(/^[ \t]+|[ \t]+$/, "", s); return s }
    # The heading of the table: where "met" is, and both clocks named.
    !header && /^\| *operation *\|/ {
        header = 1
        for (i = 2; i < NF; ++i) {
            h = trim($i)
            if (h == "met") metAt = i
            if (h ~ /CPU/) cpu = 1
            if (h ~ /wall/) wall = 1
        }
        next
    }
    header && /^\|---/ { next }
    header && /^\|/ {
        ++rows
        if (trim($metAt) != "yes") {
            print "not met: " trim($2) > "/dev/stderr"
            ++missed
        }
    }
    END {
        if (!header || !metAt) { print "no table with a \"met\" column" > "/dev/stderr"; exit 1 }
        if (!cpu || !wall) { print "the table does not give both the CPU time and the wall clock" > "/dev/stderr"; exit 1 }
        if (!rows) { print "the table has no rows" > "/dev/stderr"; exit 1 }
        if (missed) { printf "%d of %d rows not met\n", missed, rows > "/dev/stderr"; exit 1 }
        printf "%d rows, every one met\n", rows
    }
' "$results"
