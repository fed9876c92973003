#!/usr/bin/env bash
# "&Cerrar" pressed in the middle of a long run: the program ends with status 0, without the
# completion dialog, and no workbook is written. Usage: close_during_run.sh QUADRELO GENERATOR
set -euo pipefail
program=$1
generator=$2
. "$(dirname "$0")/x-session.sh"
need_tools Xvfb xdotool
[ -d /proc/self/fd ] || { echo "SKIP: hace falta /proc para ver la ejecución en curso"; exit "$SKIP"; }

start_x_server
work="$X_WORK/datos"
mkdir "$work"
# About a million records: a run of seconds, far longer than it takes to press "&Cerrar".
"$generator" --transfers 1000000 --accounts 40 --no-remarks -o "$work/grande.txt" >/dev/null

"$program" &
APP_PID=$!
main=$(wait_window "$MAIN_TITLE")
choose_file "$main" "$work/grande.txt"

# The run is on once the program holds the input open for its records. A click that arrives
# while the file dialog is still winding down finds "&Generar" not yet enabled, so it is
# clicked again now and then; clicks during the run are ignored by the window.
tries=0
until ls -l "/proc/$APP_PID/fd" 2>/dev/null | grep -F "$work/grande.txt" >/dev/null; do
  if ! kill -0 "$APP_PID" 2>/dev/null || [ $((tries += 1)) -gt 3000 ]; then
    echo "FALLO: no se vio la conversión en curso"; exit 1
  fi
  [ $((tries % 100)) = 1 ] && click_in "$main" 248 204   # "&Generar"
  sleep 0.01
done
# "&Cerrar" acts when the button is let go; timed from there, as xdotool's click pauses 0.1 s.
xdotool mousemove --window "$main" 348 204 mousedown 1
pressed=$(date +%s%N)
xdotool mouseup 1
wait_exit "$APP_PID"
status=$EXIT_STATUS
APP_PID=
[ "$status" = 0 ] || { echo "FALLO: el programa terminó con $status"; exit 1; }
if [ -e "$work/grande.xls" ]; then echo "FALLO: se escribió el libro"; exit 1; fi
echo "Conversión interrumpida: estado 0, sin libro ($(( ($(date +%s%N) - pressed) / 1000000 )) ms desde «Cerrar»)."
