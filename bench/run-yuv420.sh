#!/usr/bin/env bash
# Runs the 4:2:0 to RGB32 benchmark on the host against libyuv (Debian's libyuv-dev) and memcpy, then
# under Wine for each Windows architecture, there against memcpy only; prints the medians and ratios.
#   bench/run-yuv420.sh [rounds]
set -euo pipefail
. "$(dirname "$0")/../scripts/common.sh"
ensure_tools
if [ ! -e /usr/include/libyuv/convert_argb.h ]; then
  echo "run-yuv420.sh: the host benchmark needs libyuv-dev (apt-get install libyuv-dev)" >&2
  exit 1
fi
rounds=${1:-21}
host_build=$root/build/bench-native
cmake -S "$root/bench/native" -B "$host_build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$host_build"
echo "#### host"
echo "== yuv420_to_rgb32 against libyuv and memcpy of the RGB32 frame (median ratios; goal at most 1.0 of"
echo "   libyuv at 1920x1080 and 3840x2160)"
"$host_build/yuv420_convert" "$rounds"
echo

build_windows
convert() {
  echo "== yuv420_to_rgb32 against memcpy of the RGB32 frame (median ratios)"
  "$wine_loader" "$1/bin/yuv420_convert.exe" "$rounds" </dev/null 2>/dev/null | tr -d '\r'
}
for_each_architecture bench-yuv420-prefix convert
