#!/usr/bin/env bash
# Cross-builds everything Qt-free for 64-bit Windows (MinGW-w64, statically linked), runs its
# tests under Wine, then packs quadrelo-convert.exe twice, as a zip with LEEME.txt and as an
# NSIS installer, and checks the installer under Wine: a silent install, a conversion with the
# installed program, a silent uninstall that leaves nothing behind.
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
export WINEDEBUG=-all WINEPREFIX=$build/wine WINEDLLOVERRIDES="mscoree,mshtml="
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
package=$build/package
rm -rf "$package"
mkdir -p "$package/zip"
version=$(wine "$build/cli/quadrelo-convert.exe" --version | tr -d '\r' | sed 's/^quadrelo-convert //')
[ -n "$version" ] || { echo "FALLO: quadrelo-convert.exe --version no dice su versión"; exit 1; }
# LEEME.txt as Windows' Notepad reads it everywhere: UTF-8 with its mark, CR LF.
{ printf '\xef\xbb\xbf'; sed 's/$/\r/' packaging/windows/LEEME.txt; } >"$package/zip/LEEME.txt"
cp "$build/cli/quadrelo-convert.exe" "$package/zip/"
zip_file=$package/quadrelo-convert-$version-win64.zip
(cd "$package/zip" && zip -q -X "$zip_file" quadrelo-convert.exe LEEME.txt)
unzip -l "$zip_file"
setup=$package/quadrelo-$version-setup.exe
makensis -V2 -DVERSION="$version" -DCONVERT_EXE="$build/cli/quadrelo-convert.exe" \
  -DLEEME="$package/zip/LEEME.txt" -DOUTFILE="$setup" packaging/windows/quadrelo-convert.nsi
ls -l "$setup"

# 4. The installer, as a user (or an administrator's script) runs it.
fail() { echo "FALLO: $*"; exit 1; }
installed="$WINEPREFIX/drive_c/Program Files/Quadrelo"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quadrelo'
wine "$setup" /S
wineserver -w
for f in quadrelo-convert.exe LEEME.txt desinstalar.exe; do
  [ -f "$installed/$f" ] || fail "el instalador no ha dejado $f"
done
wine reg query "$key" /v DisplayVersion >/dev/null 2>&1 || fail "falta la clave $key"

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
if wine reg query "$key" >/dev/null 2>&1; then fail "queda la clave $key"; fi
# Nor any file elsewhere on drive C: (NSIS leaves only its empty folder in the temporary one).
left=$(find "$WINEPREFIX/drive_c" -newer "$setup" -type f)
[ -z "$left" ] || fail "quedan ficheros: $left"
rm -rf "$work"
lap "paquetes (zip e instalador, instalado y desinstalado)"
echo "Windows: todo correcto"
