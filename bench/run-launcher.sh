#!/usr/bin/env bash
# Builds the deliverables and runs the benchmarks under Wine, in a prefix of their own.
set -euo pipefail
. "$(dirname "$0")/../scripts/common.sh"
ensure_tools
build_windows
prefix=$win_build/bench-prefix
"$root/scripts/make-prefix.sh" "$prefix"
trap '"$root/scripts/stop-prefix.sh" "$prefix"' EXIT
export WINEPREFIX=$prefix WINEARCH=win32 WINEDEBUG=-all
echo "== launcher start-up"
xvfb-run -a wine "$win_build/bin/launcher_startup.exe" "${1:-21}" </dev/null 2>/dev/null | tr -d '\r'
