#!/usr/bin/env bash
# The whole conversion through quadrelo-convert, at 10,000, 100,000 and 500,000 transfers, each
# followed by its remarks record, over 10 accounts: records and megabytes per second, peak memory
# and output size. Every workbook is checked with xlrd before its time counts.
#
# Usage: bench/cli/run.sh [--sizes "10000 100000 500000"] [--runs R] [--build DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
sizes="10000 100000 500000" runs=5 build="$root/build-bench" accounts=10
while (($#)); do
  case "$1" in
    --sizes) sizes=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    -h|--help) sed -n '2,6p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "Argumento desconocido: $1" >&2; exit 2 ;;
  esac
done
for tool in hyperfine /usr/bin/time /usr/bin/python3; do
  command -v "$tool" >/dev/null || { echo "Falta $tool (apt-get install hyperfine time python3-xlrd)" >&2; exit 1; }
done

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUADRELO_BUILD_UI=OFF \
  -DQUADRELO_BUILD_TESTS=OFF -DQUADRELO_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j2 --target quadrelo-convert quadrelo-generate >/dev/null
build_type=$(grep -m1 '^CMAKE_BUILD_TYPE:' "$build/CMakeCache.txt" | cut -d= -f2)
[ "$build_type" = Release ] || echo "AVISO: compilación $build_type, no optimizada" >&2
convert="$build/cli/quadrelo-convert"
generate="$build/tools/generator/quadrelo-generate"

work=$(mktemp -d -t quadrelo-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT

echo "Máquina: Debian $(cat /etc/debian_version 2>/dev/null || echo '?'), $(nproc) núcleos," \
  "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
echo "Fecha: $(date -u +%Y-%m-%d)  $runs ejecuciones por tamaño (mediana); $accounts cuentas"
echo
printf '| %14s | %9s | %10s | %14s | %8s | %10s | %10s |\n' transferencias registros \
  "mediana s" "registros/s" "MB/s" "memoria MB" "salida MB"
printf '|%s|%s|%s|%s|%s|%s|%s|\n' "----------------" "-----------" "------------" \
  "----------------" "----------" "------------" "------------"
for n in $sizes; do
  input="$work/remesa-$n.txt" output="$work/remesa-$n.xls"
  "$generate" --transfers "$n" --accounts "$accounts" -o "$input"
  command="$(printf '%q' "$convert") --overwrite --quiet $(printf '%q' "$input")"
  bash -c "$command"
  verdict=$(/usr/bin/python3 "$root/bench/cli/peers/check_xls.py" "$input" "$output" 2>&1) || {
    echo "| $n | salida incorrecta: $verdict"; continue; }
  hyperfine --style none --warmup 1 --runs "$runs" --export-json "$work/h.json" "$command" \
    >/dev/null 2>&1
  median=$(/usr/bin/python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["results"][0]["median"])' "$work/h.json")
  /usr/bin/time -v -o "$work/time" bash -c "$command"
  peak_kb=$(grep 'Maximum resident' "$work/time" | awk '{print $NF}')
  records=$((accounts + 2 * n))
  awk -v n="$n" -v r="$records" -v t="$median" -v in_b="$(stat -c %s "$input")" \
      -v out_b="$(stat -c %s "$output")" -v kb="$peak_kb" 'BEGIN {
    printf "| %14d | %9d | %10.3f | %14.0f | %8.1f | %10.1f | %10.1f |\n",
      n, r, t, r / t, in_b / t / 1e6, kb / 1024, out_b / 1048576 }'
done
