# Cross-builds for 64-bit Windows with MinGW-w64 (Debian: g++-mingw-w64-x86-64-posix).
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#         -DQUADRELO_BUILD_UI=OFF
# The programs are linked statically, so that a copied .exe needs no MinGW DLL beside it; with
# Wine installed, ctest runs the tests through it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUADRELO_MINGW_TRIPLE x86_64-w64-mingw32)
# The -posix compilers: std::thread and friends need the POSIX threading model.
set(CMAKE_C_COMPILER ${QUADRELO_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUADRELO_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QUADRELO_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUADRELO_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

find_program(QUADRELO_WINE wine)
if(QUADRELO_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QUADRELO_WINE})
endif()
