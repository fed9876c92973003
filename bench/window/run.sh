#!/usr/bin/env bash
# The window against the batch tool on the same generated files (each transfer followed by its
# remarks record, over 10 accounts unless told), under a private X server driven by xdotool: the
# time from Alt+G to the "Proceso terminado" dialog, the time of quadrelo-convert on the same
# file, and the delay from a click on "&Cerrar" in the middle of a long run to the end of the
# process. Runs of the programs are interleaved, so a busy machine slows them alike; medians are
# printed, with the processor time the program itself took (user + system), which a busy machine
# hardly moves.
#
# Usage: bench/window/run.sh [--sizes "1 300000 500000"] [--runs R] [--accounts N] [--build DIR]
#                            [--window PROG]...
#   --accounts N   how many accounts the transfers are spread over (10)
#   --build DIR    where quadrelo, quadrelo-convert and quadrelo-generate were built (build/)
#   --window PROG  a further window program to compare with DIR's (an older build, say)
set -euo pipefail
shopt -s inherit_errexit  # a failure inside $(...) ends the script
root=$(cd "$(dirname "$0")/../.." && pwd)
sizes="1 300000 500000" runs=3 build="$root/build" accounts=10 others=()
while (($#)); do
  case "$1" in
    --sizes) sizes=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --accounts) accounts=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    --window) others+=("$2"); shift 2 ;;
    -h|--help) sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "Argumento desconocido: $1" >&2; exit 2 ;;
  esac
done
windows=("$build/ui/quadrelo" "${others[@]}")
convert="$build/cli/quadrelo-convert"
generate="$build/tools/generator/quadrelo-generate"
for program in "${windows[@]}" "$convert" "$generate" /usr/bin/time; do
  [ -x "$program" ] || { echo "Falta $program: compile antes (cmake --build)" >&2; exit 1; }
done
. "$root/tests/e2e/x-session.sh"
need_tools Xvfb xdotool
start_x_server

# Processor milliseconds (user + system) that process $1 has taken so far.
cpu_ms() { awk -v hz="$(getconf CLK_TCK)" '{print int(($14 + $15) * 1000 / hz)}' "/proc/$1/stat"; }

# Starts window program $1 and chooses the file $2; sets APP_PID and MAIN.
open_window() {
  rm -f "${2%.txt}.xls"
  "$1" >/dev/null &                            # not into the caller's $(...)
  APP_PID=$!
  MAIN=$(wait_window "$MAIN_TITLE")
  choose_file "$MAIN" "$2"
  sleep 0.5                                    # "&Generar" is enabled once the dialog has gone
  xdotool windowfocus --sync "$MAIN"           # no window manager gives it back by itself
}

close_window() {
  click_in "$MAIN" 348 204                     # "&Cerrar"
  wait_exit "$APP_PID"
  APP_PID=
}

# Milliseconds from Alt+G to the completion dialog in window program $1 on file $2, and the
# processor milliseconds the program took meanwhile.
time_window_run() {
  open_window "$1" "$2"
  local start end cpu
  cpu=$(cpu_ms "$APP_PID")
  start=$(milliseconds)
  xdotool key alt+g
  wait_for_done "${2%.txt}.xls"
  end=$(milliseconds)
  cpu=$(($(cpu_ms "$APP_PID") - cpu))
  xdotool windowfocus --sync "$(wait_window "$DONE_TITLE")"
  xdotool key Return
  wait_window_gone "$DONE_TITLE"
  [ -s "${2%.txt}.xls" ] || { echo "FALLO: $1 no escribió el libro" >&2; exit 1; }
  close_window
  echo "$((end - start)) $cpu"
}

# Milliseconds from a click on "&Cerrar", in the middle of a run of window program $1 on file $2
# (a long one), to the end of the process.
time_cerrar() {
  open_window "$1" "$2"
  xdotool key alt+g
  local start tries=0
  # The run is on once the program holds the input open for its records.
  until find "/proc/$APP_PID/fd" -lname "$2" 2>/dev/null | grep -q .; do
    [ $((tries += 1)) -gt 3000 ] && { kill "$APP_PID"; echo "FALLO: no empezó" >&2; exit 1; }
    sleep 0.01
  done
  sleep 0.2
  # Timed from the button's release, when it acts: xdotool's click pauses 0.1 s on its own.
  xdotool mousemove --window "$MAIN" 348 204 mousedown 1   # "&Cerrar"
  start=$(milliseconds)
  xdotool mouseup 1
  while kill -0 "$APP_PID" 2>/dev/null; do
    if [ $(($(milliseconds) - start)) -gt 30000 ]; then
      kill "$APP_PID"; echo "FALLO: «Cerrar» sin efecto" >&2; exit 1
    fi
    sleep 0.002
  done
  echo $(($(milliseconds) - start))
  wait "$APP_PID" || true
  APP_PID=
}

# Milliseconds that quadrelo-convert takes on file $1, and its processor milliseconds.
time_convert() {
  local start end
  start=$(milliseconds)
  /usr/bin/time -f '%U %S' -o "$X_WORK/time" "$convert" --overwrite --quiet "$1"
  end=$(milliseconds)
  echo "$((end - start)) $(awk '{printf "%d", ($1 + $2) * 1000}' "$X_WORK/time")"
}


echo "Máquina: Debian $(cat /etc/debian_version 2>/dev/null || echo '?'), $(nproc) núcleos;" \
  "$(date -u +%Y-%m-%d); $runs ejecuciones alternadas (mediana), $accounts cuentas"
echo
echo "| transferencias | programa | mediana ms | × quadrelo-convert | procesador ms |"
echo "|---:|---|---:|---:|---:|"
for n in $sizes; do
  input="$X_WORK/remesa-$n.txt"
  "$generate" --transfers "$n" --accounts "$accounts" -o "$input"
  declare -A times=() cpus=()
  for ((r = 0; r < runs; r++)); do
    read -r t c <<<"$(time_convert "$input")"
    times[convert]+=" $t" cpus[convert]+=" $c"
    for i in "${!windows[@]}"; do
      read -r t c <<<"$(time_window_run "${windows[$i]}" "$input")"
      times[$i]+=" $t" cpus[$i]+=" $c"
    done
  done
  # shellcheck disable=SC2086  # the lists are space-separated on purpose
  base=$(median ${times[convert]})
  # shellcheck disable=SC2086
  echo "| $n | quadrelo-convert | $base | 1.00 | $(median ${cpus[convert]}) |"
  for i in "${!windows[@]}"; do
    # shellcheck disable=SC2086
    t=$(median ${times[$i]}) c=$(median ${cpus[$i]})
    ratio=$(awk -v t="$t" -v b="$base" 'BEGIN {printf "%.2f", t / b}')
    echo "| $n | ${windows[$i]#"$root/"} | $t | $ratio | $c |"
  done
  rm -f "$input" "${input%.txt}.xls"
done

# "&Cerrar" in the middle of a run of a million transfers, 0.2 s after it began.
input="$X_WORK/larga.txt"
"$generate" --transfers 1000000 --accounts 40 --no-remarks -o "$input"
declare -A closes=()
for ((r = 0; r < runs; r++)); do
  for i in "${!windows[@]}"; do closes[$i]+=" $(time_cerrar "${windows[$i]}" "$input")"; done
done
echo
echo "| programa | «Cerrar» a mitad de ejecución, mediana ms | cada ejecución, ms |"
echo "|---|---:|---|"
for i in "${!windows[@]}"; do
  # shellcheck disable=SC2086
  echo "| ${windows[$i]#"$root/"} | $(median ${closes[$i]}) |${closes[$i]} |"
done
