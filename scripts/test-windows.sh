#!/usr/bin/env bash
# Cross-builds everything Qt-free for 64-bit Windows (MinGW-w64, statically linked), runs its
# tests under Wine, then packs the window (quadrelo.exe) and quadrelo-convert.exe twice, as a zip
# with LEEME.txt and as an NSIS installer, and checks the installer under Wine: a silent install
# with its shortcuts, the window opened from its Start-menu entry, a conversion with the installed
# program, a silent uninstall that leaves nothing behind. Last, quadrelo-convert's accented text
# in a console and redirected.
# Usage: scripts/test-windows.sh     (build folder: build-windows; Wine's files inside it)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build-windows

scripts/deps.sh windows

started=$SECONDS
lap() { echo "== $1: $((SECONDS - started)) s"; started=$SECONDS; }

# 1. The build.
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DQUADRELO_BUILD_UI=OFF -DQUADRELO_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"
lap "configuración y compilación"

# 2. The tests, under a Wine of our own: console programs need no display.
unset DISPLAY
# Without winemenubuilder: shortcuts made in the prefix stay there, out of the desktop's menus.
export WINEDEBUG=-all WINEPREFIX=$build/wine WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d"
stop_wine() { wineserver -k 2>/dev/null || true; }
trap stop_wine EXIT
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
wineserver -p  # one server for all the tests: a parallel ctest then starts every process
wineboot -i >/dev/null 2>&1
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" --timeout 600 | tee "$build/ctest.log"
skipped=$(grep -c '\*\*\*Skipped' "$build/ctest.log" || true)
echo "Omitidas bajo Wine: $skipped (sin Python ni gnumeric no hay lector independiente)"
wineserver -k
wineserver -w
lap "pruebas"

# 2b. The Win32 window (win32/quadrelo.exe) driven as a user would, under Wine inside Xvfb, in the
# same prefix; it also remakes docs/frmEntrada-win32.png.
bash tests/e2e/win32_drive.sh "$build/win32/quadrelo.exe" "$root" "$root/docs/frmEntrada-win32.png"
unset DISPLAY
wineserver -w
lap "ventana Win32 bajo Wine"

# 3. The packages.
fail() { echo "FALLO: $*"; exit 1; }
window_exe=$build/win32/quadrelo.exe
[ -f "$window_exe" ] || fail "no se ha compilado la ventana: falta $window_exe"
package=$build/package
rm -rf "$package"
mkdir -p "$package/zip"
version=$(wine "$build/cli/quadrelo-convert.exe" --version | tr -d '\r' | sed 's/^quadrelo-convert //')
[ -n "$version" ] || fail "quadrelo-convert.exe --version no dice su versión"
# LEEME.txt as Windows' Notepad reads it everywhere: UTF-8 with its mark, CR LF.
{ printf '\xef\xbb\xbf'; sed 's/$/\r/' packaging/windows/LEEME.txt; } >"$package/zip/LEEME.txt"
cp "$window_exe" "$build/cli/quadrelo-convert.exe" "$package/zip/"
zip_file=$package/quadrelo-$version-win64.zip
zipped=(quadrelo.exe quadrelo-convert.exe LEEME.txt)
(cd "$package/zip" && zip -q -X "$zip_file" "${zipped[@]}")
unzip -l "$zip_file"
[ "$(unzip -Z1 "$zip_file")" = "$(printf '%s\n' "${zipped[@]}")" ] || fail "el zip no trae ${zipped[*]}"
setup=$package/quadrelo-$version-setup.exe
makensis -V2 -DVERSION="$version" -DWINDOW_EXE="$window_exe" \
  -DCONVERT_EXE="$build/cli/quadrelo-convert.exe" -DLEEME="$package/zip/LEEME.txt" \
  -DOUTFILE="$setup" packaging/windows/quadrelo.nsi
ls -l "$setup"

# 4. The installer, as a user (or an administrator's script) runs it: silently, every component.
installed="$WINEPREFIX/drive_c/Program Files/Quadrelo"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quadrelo'
# Shortcuts for every user: Wine keeps those folders inside the prefix.
shortcuts=("$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Quadrelo.lnk"
           "$WINEPREFIX/drive_c/users/Public/Desktop/Quadrelo.lnk")
wine "$setup" /S
wineserver -w
for f in quadrelo.exe quadrelo-convert.exe LEEME.txt desinstalar.exe; do
  [ -f "$installed/$f" ] || fail "el instalador no ha dejado $f"
done
cmp -s "$window_exe" "$installed/quadrelo.exe" || fail "quadrelo.exe instalado no es el compilado"
for lnk in "${shortcuts[@]}"; do
  [ -f "$lnk" ] || fail "el instalador no ha creado el acceso directo $lnk"
  # The target's path, as the link stores it for the shell.
  grep -qaF 'C:\Program Files\Quadrelo\quadrelo.exe' "$lnk" || fail "$lnk no abre quadrelo.exe"
done

# The Start-menu entry opened as the shell opens it, under Xvfb: the installed window appears and
# Alt+C ends it. The subshell keeps the X server and its helpers to this check.
(
  # shellcheck source=SCRIPTDIR/../tests/e2e/x-session.sh
  . tests/e2e/x-session.sh
  start_x_server
  trap 'wineserver -k 2>/dev/null || true; stop_x_server' EXIT
  log=$X_WORK/inicio.log
  fail() {
    echo "FALLO: $*"
    [ -s "$log" ] && sed 's/^/  /' "$log"
    show_windows
    import -window root "$build/menu-inicio-fallo.png" 2>/dev/null &&
      echo "Pantalla guardada en $build/menu-inicio-fallo.png"
    exit 1
  }
  begun=$(milliseconds)
  # start returns once the shell has run the link, before the program is up.
  wine start 'C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Quadrelo.lnk' \
    </dev/null >"$log" 2>&1 || fail "el acceso del menú Inicio no se abre"
  main=$(wait_window "$MAIN_TITLE" 60) || fail "no apareció la ventana «$MAIN_TITLE»"
  shown=$(milliseconds)
  # Wine gives the window its process's id; that process runs the installed file while it maps it.
  image=$(realpath "$installed/quadrelo.exe")
  pid=$(xdotool getwindowpid "$main" 2>/dev/null) || fail "la ventana no dice su proceso"
  runs_image() { grep -qF "$image" "/proc/$pid/maps" 2>/dev/null; }
  runs_image || fail "la ventana no es de C:\Program Files\Quadrelo\quadrelo.exe:" \
    "$(tr '\0' ' ' <"/proc/$pid/cmdline" | sed 's/ *$//')"
  # A key sent while the window is still taking focus can be lost: pressed again then.
  for attempt in 1 2 3; do
    xdotool windowfocus --sync "$main" 2>/dev/null || true
    xdotool key alt+c
    window_gone_within "$MAIN_TITLE" 500 && break
    [ "$attempt" -lt 3 ] || fail "Alt+C no cerró la ventana"
  done
  for ((tries = 0; tries < 1500; tries++)); do runs_image || break; sleep 0.02; done
  if runs_image; then fail "quadrelo.exe sigue en marcha tras cerrar su ventana"; fi
  echo "Menú Inicio: ventana en $((shown - begun)) ms, cerrada en $(($(milliseconds) - shown)) ms"
)
wineserver -w
wine reg query "$key" /v DisplayVersion >/dev/null 2>&1 || fail "falta la clave $key"
wine reg query "$key" /v DisplayIcon | grep -qF 'Quadrelo\quadrelo.exe,0' ||
  fail "la entrada de Programas no lleva el icono de quadrelo.exe"

work="$build/muestra del año"
rm -rf "$work"
mkdir -p "$work"
cp samples/remesa-tres-cuentas.txt "$work/remesa de españa.txt"
wine 'C:\Program Files\Quadrelo\quadrelo-convert.exe' "$(winepath -w "$work/remesa de españa.txt")" \
  || fail "el programa instalado no ha convertido la muestra"
[ -s "$work/remesa de españa.xls" ] || fail "no se ha creado el libro"
sheets=$(/usr/bin/python3 tests/readers/xls_read.py list "$work/remesa de españa.xls" - | grep -c '^sheet')
[ "$sheets" = 3 ] || fail "xlrd lee $sheets hojas en el libro, no 3"

wine 'C:\Program Files\Quadrelo\desinstalar.exe' /S
wineserver -w  # the uninstaller goes on from a copy of itself in the temporary folder
[ ! -e "$installed" ] || fail "queda $(ls -A "$installed")"
for lnk in "${shortcuts[@]}"; do [ ! -e "$lnk" ] || fail "queda el acceso directo $lnk"; done
if wine reg query "$key" >/dev/null 2>&1; then fail "queda la clave $key"; fi
# Nor any file elsewhere on drive C: (NSIS leaves only its empty folder in the temporary one).
left=$(find "$WINEPREFIX/drive_c" -newer "$setup" -type f)
[ -z "$left" ] || fail "quedan ficheros: $left"
rm -rf "$work"
lap "paquetes (zip e instalador, instalado y desinstalado)"

# 5. quadrelo-convert's Spanish in a console (Wine's, on a terminal that `script` provides) and
# redirected to a file or a pipe. Each summary line takes 89 bytes and the program writes 4,096
# at a time, so the first write ends inside the "ñ" of the 47th line.
console=$build/consola
rm -rf "$console"
mkdir -p "$console"
for i in $(seq -w 1 60); do
  cp samples/remesa-tres-cuentas.txt "$console/año 0$i remesa de mayo.txt"
done
convert=$(printf '%q' "$build/cli/quadrelo-convert.exe")
# A UTF-8 locale, so that Wine reads the names and writes to the terminal in UTF-8 whatever the
# caller's locale is; a terminal wide enough that the console wraps no line.
export LC_ALL=C.UTF-8
(cd "$console" && script -qc "stty cols 160; wine $convert año*.txt 'no está.txt'" /dev/null \
  >terminal.raw) || true
# What the terminal shows: Wine's console moves the cursor right where text has spaces.
/usr/bin/python3 - "$console/terminal.raw" >"$console/terminal.txt" <<'PY'
import re, sys
raw = open(sys.argv[1], 'rb').read()
raw = re.sub(rb'\x1b\[(\d*)C', lambda m: b' ' * int(m.group(1) or 1), raw)
sys.stdout.write(re.sub(rb'\x1b\[[0-9;?]*[A-Za-z]|\r', b'', raw).decode('utf-8', 'replace'))
PY
(cd "$console" && wine "$build/cli/quadrelo-convert.exe" --overwrite año*.txt 'no está.txt' \
  2>&1 >salida.txt | cat >errores.txt) || true
summary='^año 0\(..\) remesa de mayo\.txt -> año 0\1 remesa de mayo\.xls: 3 cuentas, 60 transferencias'
for shown in terminal.txt salida.txt; do
  lines=$(grep -c "$summary" "$console/$shown" || true)
  [ "$lines" = 60 ] || fail "$shown muestra $lines de 60 resúmenes con «año» bien escrito"
done
grep -q '^no está\.txt: No se puede abrir el fichero de entrada' "$console/terminal.txt" ||
  fail "la consola no muestra bien el error de «no está.txt»"
grep -q '^no está\.txt: No se puede abrir el fichero de entrada' "$console/errores.txt" ||
  fail "la tubería no recibe bien el error de «no está.txt»"
if grep -q 'Ã\|�' "$console/terminal.txt" "$console/salida.txt" "$console/errores.txt"; then
  fail "letras acentuadas rotas en la consola o redirigidas"
fi
rm -rf "$console"
lap "consola"
echo "Windows: todo correcto"
