#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while.
#   bash scripts/fuzz.sh          # 600 s a target
#   bash scripts/fuzz.sh 20       # a short run (CI)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-600}"
build="${FUZZ_BUILD_DIR:-$here/build-fuzz}"
CC=clang CXX=clang++ cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DGESTIONE_FUZZ=ON >/dev/null
cmake --build "$build" -j"$(nproc)"
status=0
for target in fuzz_number fuzz_ctrnumd fuzz_date fuzz_uppercase fuzz_collation fuzz_sheetname \
    fuzz_pricelist; do
    corpus="$build/corpus/$target"
    mkdir -p "$corpus"
    extra=()
    for d in "$here/tests/fuzz/seeds/$target" "$here/tests/fuzz/regressions/$target"; do
        [ -d "$d" ] && extra+=("$d")
    done
    echo "== $target ($seconds s)"
    # The first folder gathers what the run finds; seeds and past findings are read as well.
    if ! "$build/bin/$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$build/$target-" "$corpus" "${extra[@]}" 2>"$build/$target.log"; then
        status=1
        tail -n 30 "$build/$target.log"
    fi
    grep -E "stat::number_of_executed_units|Done" "$build/$target.log" | tail -n 2 || true
done
exit $status
