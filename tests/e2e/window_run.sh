#!/usr/bin/env bash
# The real program in a private X server, driven as a user would: click the picture, type the
# transfer file's path into the file dialog, Alt+G, accept the completion dialog, and read the
# saved workbook back with xlrd. Usage: window_run.sh QUADRELO SOURCE_DIR [--program-folder]
# With --program-folder the transfer file lies beside QUADRELO and only its name is typed, so
# the run also shows that the dialog opens in the program's own folder (the installed package).
set -euo pipefail
program=$1
source_dir=$2
in_program_folder=${3:-}
. "$source_dir/tests/e2e/x-session.sh"
need_tools Xvfb xdotool
/usr/bin/python3 -c 'import xlrd' 2>/dev/null || { echo "SKIP: falta python3-xlrd"; exit "$SKIP"; }

start_x_server
if [ "$in_program_folder" = --program-folder ]; then
  work=$(dirname "$program")
  typed=remesa.txt
else
  work="$X_WORK/datos.2024"
  mkdir "$work"
  typed="$work/remesa.txt"
fi
# One account, one transfer with its remarks, 80-character CR LF lines.
pad() { printf '%-80s\r\n' "$1"; }
{
  pad "11001234567890123456"
  pad "2200491234000000000020261207000123456700 REF00000001"
  pad "23GARCIA LOPEZ, ANA             FACTURA 12          JUNIO"
} >"$work/remesa.txt"

"$program" &
APP_PID=$!
main=$(wait_window "$MAIN_TITLE")
choose_file "$main" "$typed"
# A key that arrives while the file dialog is still winding down finds "&Generar" not yet
# enabled, so Alt+G is pressed again until the run has ended in the completion dialog.
done_dialog=
for attempt in 1 2 3 4 5 6; do
  xdotool windowfocus --sync "$main"           # no window manager gives it back by itself
  xdotool key alt+g
  done_dialog=$(wait_window "$DONE_TITLE" 10) && break
done
[ -n "$done_dialog" ] || { echo "FALLO: no apareció «Proceso terminado»"; exit 1; }
xdotool windowfocus --sync "$done_dialog"
xdotool key Return
wait_window_gone "$DONE_TITLE"

dump=$(/usr/bin/python3 "$source_dir/tests/readers/xls_read.py" list "$work/remesa.xls")
expect() {
  if ! grep -qF -- "$1" <<<"$dump"; then
    echo "FALLO: el libro no contiene «$1»:"; echo "$dump"; exit 1
  fi
}
expect "Cuenta"
expect "001234567890123456"
expect "$(printf 'cell\t1\t3\tA\ttext\t0\tGeneral\t0049')"
expect "$(printf 'cell\t1\t3\tC\ttext\t0\t@\t07/12/2026')"
expect "$(printf 'cell\t1\t3\tD\tnumber\t0\t##,##0.00\t12345.67')"
expect "$(printf 'cell\t1\t3\tH\ttext\t0\tGeneral\tJUNIO')"

click_in "$main" 348 204                       # "&Cerrar"
wait_exit "$APP_PID"
status=$EXIT_STATUS
APP_PID=
[ "$status" = 0 ] || { echo "FALLO: el programa terminó con $status"; exit 1; }
echo "Libro escrito y leído con xlrd; el programa terminó con 0."
