# Shared by the build, demo and test scripts: installs what is missing and configures both build trees.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
win_build=$root/build/win
native_build=$root/build/native

ensure_tools() {
  if [ "$(id -u)" -eq 0 ]; then
    "$root/scripts/setup.sh"
  elif command -v sudo >/dev/null 2>&1; then
    sudo "$root/scripts/setup.sh"
  else
    "$root/scripts/setup.sh"
  fi
}

build_windows() {
  cmake -S "$root" -B "$win_build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$win_build"
}

build_native() {
  cmake -S "$root/tests/native" -B "$native_build" -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
  cmake --build "$native_build"
}
