#!/usr/bin/env bash
# Makes docs/frmEntrada.png: the main window as it opens, under a private X server.
# Usage: docs/make-screenshot.sh [path/to/quadrelo]   (default: build/ui/quadrelo)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
program=${1:-$root/build/ui/quadrelo}
# shellcheck source=../tests/e2e/x-session.sh
. "$root/tests/e2e/x-session.sh"
need_tools Xvfb xdotool import
[ -x "$program" ] || { echo "No existe $program: compile antes (cmake --build build --target quadrelo)"; exit 1; }

start_x_server
"$program" &
APP_PID=$!
wid=$(wait_window "$MAIN_TITLE")
# Let the first paint land before the picture is taken.
sleep 0.5
import -window "$wid" "$root/docs/frmEntrada.png"
echo "Escrito docs/frmEntrada.png"
