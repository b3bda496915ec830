# Shared by the build, demo and test scripts: installs what is missing and configures both build trees.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
win_build=$root/build/win
win64_build=$root/build/win64
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

# Both architectures, x86 first: the x64 tree's tests move an installed x86 product to x64.
#   build_windows [TARGET...]   everything, or only the targets named (in both trees)
build_windows() {
  local targets=()
  [ $# -eq 0 ] || targets=(--target "$@")
  cmake -S "$root" -B "$win_build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$win_build" "${targets[@]}"
  cmake -S "$root" -B "$win64_build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DQMR_X86_BUILD_DIR="$win_build" >/dev/null
  cmake --build "$win64_build" "${targets[@]}"
  # One CTest run over both trees; their tests carry the labels x86 and x64.
  printf 'subdirs("%s")\nsubdirs("%s")\n' "$win_build" "$win64_build" >"$root/build/CTestTestfile.cmake"
}

build_native() {
  cmake -S "$root/tests/native" -B "$native_build" -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
  cmake --build "$native_build"
}

# Runs a step once for each architecture, in a Wine prefix of its own made in that architecture's build
# tree (so that a benchmark's ratio has a baseline of its own kind).
#   for_each_architecture PREFIX_NAME FUNCTION    FUNCTION gets the build tree; $wine_loader is set
. "$root/scripts/wine-arch.sh"
for_each_architecture() {
  local name=$1 run=$2 build arch label
  for build in "$win_build" "$win64_build"; do
    if [ "$build" = "$win_build" ]; then arch=win32 label=x86; else arch=win64 label=x64; fi
    "$root/scripts/make-prefix.sh" "$build/$name" "$arch"
    wine_arch "$arch"
    export WINEPREFIX=$build/$name WINEDEBUG=-all
    echo "#### $label"
    "$run" "$build" || { "$root/scripts/stop-prefix.sh" "$build/$name" "$arch"; return 1; }
    "$root/scripts/stop-prefix.sh" "$build/$name" "$arch"
    echo
  done
}
