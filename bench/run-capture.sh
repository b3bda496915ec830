#!/usr/bin/env bash
# Builds the capture library and its benchmarks and runs them under Wine in a prefix of their own,
# with the virtual camera registered there by the benchmark itself; prints the medians.
#   bench/run-capture.sh [rounds] [first-frame rounds]
set -euo pipefail
. "$(dirname "$0")/../scripts/common.sh"
ensure_tools
build_windows
prefix=$win_build/bench-capture-prefix
"$root/scripts/make-prefix.sh" "$prefix"
trap '"$root/scripts/stop-prefix.sh" "$prefix"' EXIT
export WINEPREFIX=$prefix WINEARCH=win32 WINEDEBUG=-all
echo "== ds_vflip_32 against memcpy of the same frame (median ratio; goal at most 1.1)"
wine "$win_build/bin/capture_vflip.exe" "${1:-15}" </dev/null 2>/dev/null | tr -d '\r'
echo
echo "== capture through the library against the same graph built by hand, RGB32, YUY2 and MJPG cameras"
echo "   (goal: median ratios at least 0.98)"
wine "$win_build/bin/capture_stream.exe" "${1:-7}" "${2:-51}" </dev/null 2>/dev/null | tr -d '\r' | grep -v "^qmr_dshow.dll >>>"
