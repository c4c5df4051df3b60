#!/usr/bin/env bash
# Checks (or with --fix applies) the project's clang-format style on every C++ file.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cd "$here"
mapfile -t files < <(git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' 'bench/*.h')
if [ "${1:-}" = "--fix" ]; then
    clang-format -i "${files[@]}"
    exit 0
fi
bad=()
for f in "${files[@]}"; do
    if ! clang-format --dry-run -Werror "$f" >/dev/null 2>&1; then
        bad+=("$f")
    fi
done
if [ ${#bad[@]} -gt 0 ]; then
    echo "clang-format would change these files (bash scripts/format.sh --fix):"
    printf '  %s\n' "${bad[@]}"
    exit 1
fi
echo "format: ${#files[@]} files as clang-format wants them"
