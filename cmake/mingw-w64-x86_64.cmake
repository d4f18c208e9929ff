# Cross build for 64-bit Windows with MinGW-w64 (the posix thread model, for std::thread).
# Programs run at build time (the stand-in images) and tests run under wine64 with a Wine
# prefix of the build folder's own.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
# Qt for Windows as scripts/build-qt-windows builds it: its prefix is searched like the
# cross compiler's own (Qt6_DIR, QT_HOST_PATH and QT_HOST_PATH_CMAKE_DIR given beside it).
if(JIG_QT_WINDOWS)
  list(APPEND CMAKE_FIND_ROOT_PATH ${JIG_QT_WINDOWS})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# One .exe that needs no MinGW DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# GCC 12 sees overlapping copies in std::string code that inlining leaves unreachable.
set(CMAKE_CXX_FLAGS_INIT "-Wno-restrict")
# Debian's wine64 keeps its loader out of PATH.
find_program(JIG_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
set(CMAKE_CROSSCOMPILING_EMULATOR
    env WINEPREFIX=${CMAKE_BINARY_DIR}/wine WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= ${JIG_WINE})
