# Shared by the end-to-end tests, the screenshot script and the window benchmarks: a private X
# server, and helpers that wait on windows rather than on the clock. Source it; call
# start_x_server first.

# Exit code that ctest reports as a skipped test (SKIP_RETURN_CODE).
SKIP=77

need_tools() {
  local tool
  for tool in "$@"; do
    if ! command -v "$tool" >/dev/null 2>&1; then
      echo "SKIP: $tool no está instalado (scripts/deps.sh test lo instala)"
      exit "$SKIP"
    fi
  done
}

# Starts Xvfb on a display number it picks itself (-displayfd), so parallel runs never clash,
# and exports DISPLAY. The server is stopped when the script exits.
start_x_server() {
  X_WORK=$(mktemp -d)
  export XDG_RUNTIME_DIR="$X_WORK"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$X_WORK/display" 2>"$X_WORK/xvfb.log" &
  X_PID=$!
  trap stop_x_server EXIT
  local tries=0
  until [ -s "$X_WORK/display" ]; do
    if ! kill -0 "$X_PID" 2>/dev/null || [ $((tries += 1)) -gt 500 ]; then
      echo "No se pudo arrancar Xvfb:"; cat "$X_WORK/xvfb.log"; exit 1
    fi
    sleep 0.02
  done
  export DISPLAY=":$(head -n1 "$X_WORK/display")"
  unset WAYLAND_DISPLAY QT_QPA_PLATFORM
}

stop_x_server() {
  if [ -n "${APP_PID:-}" ] && kill -0 "$APP_PID" 2>/dev/null; then kill "$APP_PID" 2>/dev/null; fi
  if [ -n "${X_PID:-}" ]; then kill "$X_PID" 2>/dev/null; wait "$X_PID" 2>/dev/null; fi
  rm -rf "$X_WORK"
}

# Lists the titles of the windows on screen, for a failure's report.
show_windows() {
  echo "Ventanas en pantalla:"
  local id
  for id in $(xdotool search --onlyvisible --name '.' 2>/dev/null); do
    echo "  «$(xdotool getwindowname "$id" 2>/dev/null)»"
  done
}

# Prints the id of the window whose title is exactly $1, waiting for it to appear (at most $2
# seconds, 60 by default); fails the test when it does not. A window destroyed while xdotool walks
# the tree makes that search fail (BadWindow), so a failed search is only a reason to look again.
wait_window() {
  local id deadline=$((SECONDS + ${2:-60}))
  while :; do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1) || true
    [ -n "$id" ] && break
    if [ "$SECONDS" -ge "$deadline" ]; then
      [ -n "${2:-}" ] && return 1
      echo "FALLO: no apareció la ventana «$1»" >&2
      exit 1
    fi
    sleep 0.05
  done
  echo "$id"
}

# True once no visible window has the title $1; false after $2 checks 20 ms apart. Gone means
# found by no two searches in a row, as one search can fail while windows come and go.
window_gone_within() {
  local tries=0 misses=0
  while [ "$misses" -lt 2 ]; do
    if xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; then
      misses=0
    else
      misses=$((misses + 1))
    fi
    [ $((tries += 1)) -gt "$2" ] && return 1
    sleep 0.02
  done
  return 0
}

# Waits until no visible window has the title $1; fails the test after about 60 seconds.
wait_window_gone() {
  if ! window_gone_within "$1" 3000; then
    echo "FALLO: la ventana «$1» no se cerró" >&2
    exit 1
  fi
}

# Chooses the file $2 through the picture of main window $1 and the file dialog.
choose_file() {
  click_in "$1" 368 44                         # the picture beside "Fichero Origen"
  local dialog
  dialog=$(wait_window "$FILE_DIALOG_TITLE")
  sleep 0.5                                    # the dialog's folder model settles
  # On a loaded machine the busy dialog can lose keys of the name: it is typed whole again.
  local attempt
  for attempt in 1 2 3; do
    xdotool windowfocus --sync "$dialog" 2>/dev/null || return 0
    [ "$attempt" -gt 1 ] && xdotool key ctrl+a
    xdotool type --delay 2 "$2"
    xdotool key Return
    window_gone_within "$FILE_DIALOG_TITLE" 750 && return 0
  done
  wait_window_gone "$FILE_DIALOG_TITLE"
}

# Clicks at pixel ($2, $3) of window $1.
click_in() {
  xdotool mousemove --window "$1" "$2" "$3" click 1
}

# Waits for process $1 (a child of this shell) to end and sets EXIT_STATUS to its status, or to
# "timeout" after about 30 seconds. Not for $(...): only this shell can collect the status.
wait_exit() {
  local tries=0
  EXIT_STATUS=timeout
  while kill -0 "$1" 2>/dev/null; do
    [ $((tries += 1)) -gt 1500 ] && return 0
    sleep 0.02
  done
  EXIT_STATUS=0
  wait "$1" || EXIT_STATUS=$?
}

# For the benchmarks.

milliseconds() { echo $(($(date +%s%N) / 1000000)); }
# Waits without starting a process: a loop that starts one every few milliseconds would take a
# good part of a core from the run it times.
pause() {
  [ -n "${PAUSE_FD:-}" ] || exec {PAUSE_FD}<> <(:)   # a pipe that never brings anything
  read -rt "$1" -u "$PAUSE_FD" _ || true
}

# Waits for the completion dialog after Alt+G. Until the workbook $1 is in place the run is on,
# which a test of the file tells cheaply; the dialog follows within milliseconds, looked for
# then in the X server.
wait_for_done() {
  local tries=0
  until [ -e "$1" ]; do
    ((++tries > 30000)) && { echo "FALLO: no terminó" >&2; exit 1; }
    pause 0.01
  done
  until xdotool search --onlyvisible --name "^$DONE_TITLE\$" >/dev/null 2>&1; do
    ((++tries > 31000)) && { echo "FALLO: no apareció «Proceso terminado»" >&2; exit 1; }
    pause 0.002
  done
}

median() { printf '%s\n' "$@" | sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }

MAIN_TITLE='Conversor Transferencias recibidas a EXCEL - Ver 1.0 Tesvaro'
DONE_TITLE='Conversor Transferencias recibidas a EXCEL'
FILE_DIALOG_TITLE='Abrir fichero a filtrar'
