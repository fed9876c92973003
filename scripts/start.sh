#!/usr/bin/env bash
# Sets up, builds and starts the window.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh build
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target quadrelo
exec build/ui/quadrelo "$@"
