#!/usr/bin/env bash
# The Win32 window against the batch tool, both cross-built and run under Wine inside a private
# X server: the time from Alt+G to the "Proceso terminado" dialog of quadrelo.exe, and the time
# of quadrelo-convert.exe on the same generated file (each transfer followed by its remarks
# record). The batch tool's time includes starting a Windows process under Wine; that start
# alone (--version) is printed too. Runs are interleaved; medians are printed.
#
# Usage: bench/window/wine.sh [--transfers N] [--accounts N] [--runs R] [--build DIR]
#                             [--windows-build DIR]
#   --build DIR          the Linux build, for quadrelo-generate (build/)
#   --windows-build DIR  the Windows cross build (build-windows/); its Wine prefix is used
set -euo pipefail
shopt -s inherit_errexit
root=$(cd "$(dirname "$0")/../.." && pwd)
transfers=1000000 accounts=5 runs=3 build="$root/build" windows_build="$root/build-windows"
while (($#)); do
  case "$1" in
    --transfers) transfers=$2; shift 2 ;;
    --accounts) accounts=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    --windows-build) windows_build=$2; shift 2 ;;
    -h|--help) sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "Argumento desconocido: $1" >&2; exit 2 ;;
  esac
done
window="$windows_build/win32/quadrelo.exe"
convert="$windows_build/cli/quadrelo-convert.exe"
generate="$build/tools/generator/quadrelo-generate"
for program in "$window" "$convert" "$generate"; do
  [ -f "$program" ] || { echo "Falta $program: compile antes" >&2; exit 1; }
done
. "$root/tests/e2e/x-session.sh"
need_tools Xvfb xdotool wine wineserver
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEPREFIX="$windows_build/wine"
start_x_server
stop_all() { wineserver -k >/dev/null 2>&1 || true; stop_x_server; }
trap stop_all EXIT
[ -d "$WINEPREFIX" ] || wineboot -i >/dev/null 2>&1 || true
wineserver -p >/dev/null 2>&1 </dev/null


work="$WINEPREFIX/drive_c/banco"
rm -rf "$work"
mkdir -p "$work"
input="$work/remesa.txt"
"$generate" --transfers "$transfers" --accounts "$accounts" -o "$input" >/dev/null
typed='C:\banco\remesa.txt'

time_convert() {
  local start
  start=$(milliseconds)
  wine "$convert" --overwrite --quiet "$typed" >/dev/null 2>&1 </dev/null
  [ -s "${input%.txt}.xls" ] || { echo "FALLO: quadrelo-convert.exe no escribió el libro" >&2; exit 1; }
  echo $(($(milliseconds) - start))
}

time_start() {
  local start
  start=$(milliseconds)
  wine "$convert" --version >/dev/null 2>&1 </dev/null
  echo $(($(milliseconds) - start))
}

time_window() {
  rm -f "${input%.txt}.xls"
  wine "$window" >/dev/null 2>&1 </dev/null &
  APP_PID=$!
  local main start end
  main=$(wait_window "$MAIN_TITLE")
  choose_file "$main" "$typed"
  sleep 1                                      # "&Generar" is enabled once the dialog has gone
  xdotool windowfocus --sync "$main" 2>/dev/null || true
  start=$(milliseconds)
  xdotool key alt+g
  wait_for_done "${input%.txt}.xls"
  end=$(milliseconds)
  local done_dialog
  done_dialog=$(wait_window "$DONE_TITLE")
  xdotool windowfocus --sync "$done_dialog" 2>/dev/null || true
  xdotool key Return
  wait_window_gone "$DONE_TITLE"
  [ -s "${input%.txt}.xls" ] || { echo "FALLO: quadrelo.exe no escribió el libro" >&2; exit 1; }
  xdotool windowfocus --sync "$main" 2>/dev/null || true
  xdotool key alt+c
  wait_exit "$APP_PID"
  APP_PID=
  echo $((end - start))
}

starts=() converts=() windows=()
for ((r = 0; r < runs; r++)); do
  starts+=("$(time_start)")
  converts+=("$(time_convert)")
  windows+=("$(time_window)")
done
base=$(median "${converts[@]}")
echo "Wine $(wine --version 2>/dev/null), $(nproc) núcleos, carga $(cut -d' ' -f1-3 /proc/loadavg);" \
  "$transfers transferencias en $accounts cuentas; $runs ejecuciones alternadas (mediana)"
echo
echo "| programa | mediana ms | × quadrelo-convert.exe | cada ejecución, ms |"
echo "|---|---:|---:|---|"
echo "| quadrelo-convert.exe --version (arranque bajo Wine) | $(median "${starts[@]}") | | ${starts[*]} |"
echo "| quadrelo-convert.exe | $base | 1.00 | ${converts[*]} |"
echo "| quadrelo.exe, Alt+G a «Proceso terminado» | $(median "${windows[@]}") |" \
  "$(awk -v t="$(median "${windows[@]}")" -v b="$base" 'BEGIN {printf "%.2f", t / b}') | ${windows[*]} |"
rm -rf "$work"
