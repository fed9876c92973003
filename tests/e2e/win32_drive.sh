#!/usr/bin/env bash
# The Win32 window (quadrelo.exe) under Wine inside a private X server, driven as a user would:
#  1. a whole run: the program and the transfer file in a folder "Remesas de España", the file
#     "remesa de año.txt" picked from the file dialog's list, the overwrite question answered No
#     and then Yes, Alt+G, "Proceso terminado", the workbook read back here with xlrd;
#  2. "&Cerrar" (Alt+C) in the middle of a long run: the program ends, no workbook, input intact;
#  3. a file that is not a transfer file: the format message, then "Proceso terminado", no
#     workbook.
# Only ASCII is typed: accented names are made beforehand and picked from the dialog's list.
# Usage: win32_drive.sh QUADRELO_EXE SOURCE_DIR [SCREENSHOT.png]
# Runs in the Wine prefix given by WINEPREFIX (made if missing). A failure prints the windows on
# the screen, the text of any message box, and keeps a picture of the screen.
set -euo pipefail
exe=$1
source_dir=$2
screenshot=${3:-}
. "$source_dir/tests/e2e/x-session.sh"
need_tools Xvfb xdotool xwininfo wine wineserver import
/usr/bin/python3 -c 'import xlrd' 2>/dev/null || { echo "SKIP: falta python3-xlrd"; exit "$SKIP"; }
: "${WINEPREFIX:?WINEPREFIX debe indicar el prefijo de Wine}"
# Message boxes' texts go to the log, so a failure can say what was shown.
export WINEDEBUG=-all,+msgbox WINEDLLOVERRIDES="mscoree,mshtml="
# Spanish texts in what Wine itself draws (message box buttons); file names stay UTF-8.
export LANG=es_ES.UTF-8 LC_CTYPE=C.UTF-8

start_x_server
wine_log="$X_WORK/wine.log"
stop_all() {
  WINEPREFIX=$WINEPREFIX wineserver -k >/dev/null 2>&1 || true
  stop_x_server
}
trap stop_all EXIT
# One server for the whole drive: each program then opens its window in about a second.
wineserver -p >/dev/null 2>&1 </dev/null
started=$(date +%s%N)
lap() {
  local now
  now=$(date +%s%N)
  echo "== $1: $(((now - started) / 1000000)) ms"
  started=$now
}

# Prints to standard error, so that it shows from inside $(...) too.
fail() {
  exec >&2
  echo "FALLO: $*"
  show_windows
  echo "Mensajes mostrados:"
  grep -a 'MSGBOX_OnInit' "$wine_log" | sed 's/^.*MSGBOX_OnInit /  /' || true
  local picture="${TMPDIR:-/tmp}/quadrelo-win32-fallo-$$.png"
  import -window root "$picture" 2>/dev/null && echo "Pantalla guardada en $picture"
  exit 1
}

folder="$WINEPREFIX/drive_c/Remesas de España"
data="$WINEPREFIX/drive_c/datos"
rm -rf "$folder" "$data"
mkdir -p "$folder" "$data"
cp "$exe" "$folder/quadrelo.exe"
program='C:\Remesas de España\quadrelo.exe'

# Starts the program; sets APP_PID and MAIN.
start_program() {
  wine "$program" >>"$wine_log" 2>&1 </dev/null &
  APP_PID=$!
  MAIN=$(wait_window "$MAIN_TITLE" 60) || fail "no apareció la ventana principal"
}

# True once window $1 is no longer shown (unmapped or destroyed); false after $2 checks 20 ms
# apart. Asked of that one window, so another of the same title (the next message box, say) does
# not count, and a search that fails while windows come and go cannot pass for its absence.
id_gone_within() {
  local tries=0
  while xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; do
    [ $((tries += 1)) -gt "$2" ] && return 1
    sleep 0.02
  done
  return 0
}

# Presses key $2 in window $1 until that window has gone (a key sent while it is still taking
# focus can be lost); pressed again only while that same window is still shown after 10 s.
press_until_gone() {
  local title attempt
  title=$(xdotool getwindowname "$1" 2>/dev/null) || return 0
  for attempt in 1 2 3; do
    xdotool windowfocus --sync "$1" 2>/dev/null || true
    xdotool key "$2"
    id_gone_within "$1" 500 && return 0
  done
  fail "la ventana «$title» no se fue con $2"
}

# Answers the message box (title "Quadrelo") with Return on its default button, or with Tab first
# for the other one; $1 is yes, no or ok.
answer_box() {
  local box
  box=$(wait_window Quadrelo 30) || fail "no apareció el mensaje esperado"
  case $1 in
    no) xdotool windowfocus --sync "$box" 2>/dev/null || true; xdotool key Tab
        press_until_gone "$box" Return ;;
    *) press_until_gone "$box" Return ;;
  esac
}

# The file dialog from the picture; $1 is an ASCII path to type, or "list:X" to take the first
# file in the program's folder whose name starts with X.
pick_file() {
  local dialog attempt
  for attempt in 1 2 3; do
    xdotool mousemove --window "$MAIN" 368 44 click 1   # the picture beside "Fichero Origen"
    dialog=$(wait_window "$FILE_DIALOG_TITLE" 10) && break
  done
  [ -n "$dialog" ] || fail "el dibujo no abrió el diálogo de ficheros"
  sleep 0.5                                             # its folder listing settles
  xdotool windowfocus --sync "$dialog" 2>/dev/null || true
  case $1 in
    list:*) xdotool key shift+Tab; sleep 0.2; xdotool type "${1#list:}" ;;
    *) xdotool type --delay 2 "$1" ;;
  esac
  press_until_gone "$dialog" Return
}

# Alt+G until the program shows message box or dialog $1 (a key that comes while the file
# dialog is winding down finds "&Generar" not yet enabled).
generate_until() {
  local attempt shown=
  for attempt in 1 2 3 4 5; do
    xdotool windowfocus --sync "$MAIN" 2>/dev/null || true
    xdotool key alt+g
    shown=$(wait_window "$1" 5) && break
  done
  [ -n "$shown" ] || fail "Alt+G no llevó a «$1»"
  echo "$shown"
}

close_program() {
  xdotool windowfocus --sync "$MAIN" 2>/dev/null || true
  xdotool key alt+c
  wait_exit "$APP_PID"
  local status=$EXIT_STATUS
  APP_PID=
  [ "$status" = 0 ] || fail "el programa terminó con $status"
}

digest() { sha256sum "$1" | cut -d' ' -f1; }
lap "preparación"

# 1. A whole run.
input="$folder/remesa de año.txt"
workbook="$folder/remesa de año.xls"
cp "$source_dir/samples/remesa-tres-cuentas.txt" "$input"
before=$(digest "$input")
echo "libro viejo" >"$workbook"
start_program
lap "ventana abierta"
if [ -n "$screenshot" ]; then
  sleep 0.5
  import -window "$MAIN" "$screenshot"
fi
pick_file list:r
answer_box no
[ "$(cat "$workbook")" = "libro viejo" ] || fail "«No» ha tocado el libro existente"
pick_file list:r
answer_box yes
# The box goes a moment before the program acts on the answer.
for ((tries = 0; tries < 500; tries++)); do [ -e "$workbook" ] || break; sleep 0.02; done
[ ! -e "$workbook" ] || fail "«Sí» no ha borrado el libro existente"
lap "elección con la pregunta, No y Sí"
done_dialog=$(generate_until "$DONE_TITLE")
lap "Alt+G hasta «Proceso terminado»"
press_until_gone "$done_dialog" Return
[ -s "$workbook" ] || fail "no se ha escrito el libro"
[ "$(digest "$input")" = "$before" ] || fail "la entrada ha cambiado"
sheets=$(/usr/bin/python3 "$source_dir/tests/readers/xls_read.py" list "$workbook" | grep -c '^sheet') ||
  true
[ "$sheets" = 3 ] || fail "xlrd lee $sheets hojas en el libro, no 3"
close_program
lap "libro leído con xlrd, Alt+C"

# 2. "&Cerrar" in the middle of a long run.
big="$data/grande.txt"
awk 'BEGIN {
  printf "%-80s\r\n", "11001234567890123456"
  for (i = 0; i < 1000000; i++)
    printf "%-80s\r\n", "2200491234000000000020261207000123456700 REF00000001"
}' >"$big"
before=$(digest "$big")
start_program
pick_file 'C:\datos\grande.txt'
xdotool windowfocus --sync "$MAIN" 2>/dev/null || true
xdotool key alt+g
# The run is on once some process of this Wine holds the input open.
running=
for ((tries = 0; tries < 500; tries++)); do
  if [ -n "$(find /proc/[0-9]*/fd -lname "$big" -print -quit 2>/dev/null)" ]; then running=1; break; fi
  ((tries % 100 == 99)) && xdotool windowfocus --sync "$MAIN" 2>/dev/null && xdotool key alt+g
  sleep 0.02
done
[ -n "$running" ] || fail "no se vio la conversión en curso"
sleep 0.3
lap "ejecución larga en curso"
close_program
if xdotool search --onlyvisible --name "^$DONE_TITLE\$" >/dev/null 2>&1; then
  fail "«Proceso terminado» tras «Cerrar»"
fi
[ ! -e "$data/grande.xls" ] || fail "se escribió el libro tras «Cerrar»"
[ "$(digest "$big")" = "$before" ] || fail "la entrada ha cambiado tras «Cerrar»"
lap "Alt+C a mitad: sin libro, entrada intacta"

# 3. A file that is not a transfer file.
printf 'esto no es una remesa\r\n' >"$data/mala.txt"
start_program
pick_file 'C:\datos\mala.txt'
generate_until Quadrelo >/dev/null
grep -aq 'MSGBOX_OnInit L"El fichero no tiene el formato correcto"' "$wine_log" ||
  fail "el mensaje no es «El fichero no tiene el formato correcto»"
answer_box ok
done_dialog=$(wait_window "$DONE_TITLE" 30) || fail "no apareció «Proceso terminado»"
press_until_gone "$done_dialog" Return
[ ! -e "$data/mala.xls" ] || fail "se escribió un libro de un fichero malo"
close_program
lap "fichero malo: su mensaje, sin libro"
rm -rf "$folder" "$data"
echo "Ventana Win32 bajo Wine: todo correcto"
