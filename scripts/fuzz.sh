#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan+UBSan) in build-fuzz and runs each for a bounded time,
# one after the other. Usage: scripts/fuzz.sh [seconds per target] [target...]
# Targets: conversion expanded line_breaks xls_writer (all four by default). New corpus entries go to
# build-fuzz/corpus/<target>; a finding is written to build-fuzz/artifacts/ and fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
shift || true
targets=("$@")
((${#targets[@]})) || targets=(conversion expanded line_breaks xls_writer)

scripts/deps.sh test
CXX=clang++-14 cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUADRELO_FUZZ=ON \
  -DQUADRELO_BUILD_UI=OFF -DQUADRELO_BUILD_TESTS=OFF -DQUADRELO_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz -j2 --target "${targets[@]/#/fuzz_}"

mkdir -p build-fuzz/artifacts
status=0
for target in "${targets[@]}"; do
  work="build-fuzz/corpus/$target"
  mkdir -p "$work"
  seeds=("fuzz/corpus/$target")
  [ "$target" = xls_writer ] || seeds+=(samples)
  log="build-fuzz/fuzz-$target.log"
  echo "== fuzz_$target: $seconds s"
  if build-fuzz/fuzz/fuzz_"$target" -max_total_time="$seconds" -max_len=4096 -timeout=30 \
      -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="build-fuzz/artifacts/$target-" \
      "$work" "${seeds[@]}" >"$log" 2>&1; then
    grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -1 || true
    grep -E '^stat::(number_of_executed_units|peak_rss_mb)' "$log" || true
  else
    status=1
    echo "fuzz_$target found a fault (log: $log):"
    grep -E -A30 'ERROR|property broken' "$log" | head -60
    ls build-fuzz/artifacts/"$target"-* 2>/dev/null
  fi
done
exit "$status"
