#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite. Usage: scripts/test.sh [--sanitize]
set -euo pipefail
cd "$(dirname "$0")/.."

build=build
config=(-DCMAKE_BUILD_TYPE=Release)
if [ "${1:-}" = "--sanitize" ]; then
  build=build-sanitize
  config=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUADRELO_SANITIZE=ON -DQUADRELO_BUILD_BENCH=OFF)
fi

scripts/deps.sh test
cmake -S . -B "$build" "${config[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)"
if [ "$build" = build ]; then
  scripts/check-format.sh
fi
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" --timeout 600
