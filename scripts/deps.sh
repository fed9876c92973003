#!/usr/bin/env bash
# Installs the Debian packages that a build needs, only those missing.
# Usage: deps.sh build|test|all|windows
set -euo pipefail

# dpkg-dev: dpkg-shlibdeps, which the .deb needs to list its libraries.
build_pkgs=(cmake g++ make libgtest-dev libgmock-dev libbenchmark-dev qt6-base-dev qt6-translations-l10n
            fonts-comic-neue fonts-dejavu-core fonts-liberation dpkg-dev)
# appstream and man-db: the package test validates the metainfo and the manual pages.
# libreoffice-calc-nogui and poppler-utils: a workbook rendered to PDF shows its longest values
# whole.
test_pkgs=(python3 python3-xlrd python3-olefile gnumeric libfreexl-dev xvfb xdotool x11-utils
           imagemagick clang-format-14 time clang-14 libclang-rt-14-dev appstream man-db
           libreoffice-calc-nogui poppler-utils)

# The Windows cross-build and its checks under Wine (scripts/test-windows.sh); the Win32 window is
# driven inside Xvfb.
windows_pkgs=(cmake ninja-build g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64
              wine wine64 googletest nsis zip python3 python3-xlrd python3-olefile xvfb xdotool
              x11-utils imagemagick)

case "${1:-build}" in
  build) want=("${build_pkgs[@]}") ;;
  test|all) want=("${build_pkgs[@]}" "${test_pkgs[@]}") ;;
  windows) want=("${windows_pkgs[@]}") ;;
  *) echo "usage: $0 build|test|all|windows" >&2; exit 2 ;;
esac

missing=()
for p in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Instalando paquetes: ${missing[*]}"
  sudo=""; [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
