#!/usr/bin/env bash
# Builds the capture library and its benchmarks and runs them under Wine for each architecture, in
# prefixes of their own, with the virtual camera registered there by the benchmark itself; prints the
# medians.
#   bench/run-capture.sh [rounds] [first-frame rounds]
set -euo pipefail
. "$(dirname "$0")/../scripts/common.sh"
ensure_tools
build_windows
flip_rounds=${1:-15} rounds=${1:-7} first_frames=${2:-51}
capture() {
  echo "== ds_vflip_32 against memcpy of the same frame (median ratio; goal at most 1.1)"
  "$wine_loader" "$1/bin/capture_vflip.exe" "$flip_rounds" </dev/null 2>/dev/null | tr -d '\r'
  echo
  echo "== capture through the library against the same graph built by hand, RGB32, YUY2 and MJPG cameras"
  echo "   (goal: median ratios at least 0.98)"
  "$wine_loader" "$1/bin/capture_stream.exe" "$rounds" "$first_frames" </dev/null 2>/dev/null | tr -d '\r' |
    grep -v "^qmr_dshow.dll >>>"
}
for_each_architecture bench-capture-prefix capture
