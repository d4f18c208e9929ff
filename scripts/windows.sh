# Configures a Windows build folder: the MinGW-w64 cross toolchain, and with it the windows,
# against the Qt for Windows that scripts/build-qt-windows keeps for this machine (built there
# the first time, about 40 minutes on 2 cores; afterwards taken as it is).
# Sourced by scripts/build-windows and scripts/test after scripts/deps.sh.
# Usage: jig_configure_windows BUILD_DIR [cmake options...]
jig_configure_windows() {
  local build="$1"; shift
  jig_install_deps g++-mingw-w64-x86-64-posix wine64
  local qt
  qt="$("$root/scripts/build-qt-windows" | tail -n 1)"
  local launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
        -DJIG_QT_WINDOWS="$qt" -DQt6_DIR="$qt/lib/cmake/Qt6" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DJIG_GUI=ON -DJIG_BENCH=OFF -DJIG_WERROR=ON "${launcher[@]}" "$@" >/dev/null
}
