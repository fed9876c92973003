#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite. Usage: scripts/test.sh [--sanitize | --tsan]
#   --sanitize  the same suite under AddressSanitizer and UndefinedBehaviorSanitizer
#   --tsan      the Qt-free tests of the workbook, the conversion and the batch tool under
#               ThreadSanitizer, then conversions of generated files large enough for the
#               workbook's second threads
# Both sanitizer builds keep assertions on (no NDEBUG), so the asserts and the death test run.
set -euo pipefail
cd "$(dirname "$0")/.."

mode="${1:-}"
build=build
config=(-DCMAKE_BUILD_TYPE=Release)
with_asserts=(-DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g")
case "$mode" in
  "") ;;
  --sanitize)
    build=build-sanitize
    config=("${with_asserts[@]}" -DQUADRELO_SANITIZE=ON -DQUADRELO_BUILD_BENCH=OFF)
    ;;
  --tsan)
    build=build-tsan
    config=("${with_asserts[@]}" -DQUADRELO_TSAN=ON -DQUADRELO_BUILD_UI=OFF
            -DQUADRELO_BUILD_BENCH=OFF)
    ;;
  *) echo "usage: $0 [--sanitize | --tsan]" >&2; exit 2 ;;
esac

scripts/deps.sh test
cmake -S . -B "$build" "${config[@]}" >/dev/null

if [ "$mode" = --tsan ]; then
  suites=(tests/workbook tests/conversion tests/cli)
  mapfile -t targets < <(sed -n 's/^ *quadrelo_test(\([A-Za-z0-9_]*\).*/\1/p' \
    "${suites[@]/%//CMakeLists.txt}")
  cmake --build "$build" -j"$(nproc)" --target "${targets[@]}" quadrelo-convert quadrelo-generate
  # A report fails the run at once, and so does a race the tests' own checks would not see.
  export TSAN_OPTIONS="halt_on_error=1 exitcode=66 second_deadlock_stack=1"
  for suite in "${suites[@]}"; do
    ctest --test-dir "$build/$suite" --output-on-failure -j"$(nproc)" --timeout 900
  done
  # Texts too few for the interner's thread; two rounds of tickets, after a line-break repair;
  # dozens of rounds over several sheets per account, written by the save's two threads.
  runs="$build/tsan-runs"
  rm -rf "$runs"
  mkdir -p "$runs"
  for run in "500 1" "10000 2 --lf" "300000 4"; do
    read -r transfers accounts extra <<<"$run"
    input="$runs/t$transfers.txt"
    "$build/tools/generator/quadrelo-generate" --transfers "$transfers" --accounts "$accounts" \
      ${extra:+"$extra"} -o "$input"
    "$build/cli/quadrelo-convert" "$input" 2>"$runs/t$transfers.err"
    if [ -s "$runs/t$transfers.err" ]; then
      cat "$runs/t$transfers.err"
      exit 1
    fi
  done
  exit 0
fi

cmake --build "$build" -j"$(nproc)"
if [ "$build" = build ]; then
  scripts/check-format.sh
fi
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" --timeout 600
