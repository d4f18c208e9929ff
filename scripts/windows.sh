# Configures a Windows build folder: the MinGW-w64 cross toolchain, and with it the windows,
# against the Qt for Windows that scripts/build-qt-windows keeps for this machine (built there
# the first time, about 40 minutes on 2 cores; afterwards taken as it is).
# Sourced by scripts/build-windows, scripts/test and scripts/screenshots after scripts/deps.sh.
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

# Runs scripts/check-windows-port against the Windows build BUILD_DIR, with jig-sim and the
# Linux program from the sanitizer build when there is one, else from build/windows-host.
# Usage: jig_check_windows BUILD_DIR
jig_check_windows() {
  local build="$1" host="$root/build/asan"
  jig_install_deps xvfb x11-utils
  if [ ! -f "$host/CMakeCache.txt" ]; then
    host="$root/build/windows-host"
    cmake -S "$root" -B "$host" -G Ninja -DCMAKE_BUILD_TYPE=Release -DJIG_GUI=OFF -DJIG_TESTS=OFF -DJIG_BENCH=OFF >/dev/null
  fi
  cmake --build "$host" -j "$(nproc)" --target jig-sim holbrenik-jig
  "$root/scripts/check-windows-port" "$build" "$host"
}
