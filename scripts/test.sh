#!/usr/bin/env bash
# Installs what is missing, builds and runs every test headless: the suite in a normal build,
# the suite again under AddressSanitizer and UndefinedBehaviorSanitizer, and a short run of
# every fuzzer. GESTIONE_QUICK=1 runs the normal suite only.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
bash "$here/scripts/setup.sh"
# The code is as clang-format writes it.
bash "$here/scripts/format.sh"
# Every include runs down the floors.
bash "$here/scripts/floors.sh"

run_suite() {
    local build="$1"
    (cd "$build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --no-tests=error \
        -j"$(nproc)" "${ctest_args[@]}")
}
ctest_args=("$@")

build="${BUILD_DIR:-$here/build}"
BUILD_DIR="$build" bash "$here/scripts/build.sh"
run_suite "$build"

if [ "${GESTIONE_QUICK:-0}" != 1 ]; then
    asan="${ASAN_BUILD_DIR:-$here/build-asan}"
    BUILD_DIR="$asan" BUILD_TYPE=Debug CMAKE_EXTRA_ARGS="-DGESTIONE_SANITIZE=ON -DGESTIONE_BENCH=OFF -DCMAKE_CXX_FLAGS=-Werror" \
        bash "$here/scripts/build.sh"
    ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 run_suite "$asan"
    bash "$here/scripts/fuzz.sh" "${GESTIONE_FUZZ_SECONDS:-10}"
fi
