#!/usr/bin/env bash
# Fails when a C++ file differs from what .clang-format gives.
set -euo pipefail
cd "$(dirname "$0")/.."
fmt=$(command -v clang-format-14 || command -v clang-format)
mapfile -t files < <(git ls-files '*.h' '*.cpp' 2>/dev/null || find . -name '*.h' -o -name '*.cpp')
"$fmt" --dry-run --Werror "${files[@]}"
echo "Formato correcto (${#files[@]} ficheros)."
