#!/usr/bin/env bash
# Builds the launcher, the real test runtime and the bare JNI host, and runs the real-VM start-up
# benchmark under Wine in a prefix of its own; prints each round and the median ratio.
#   bench/run-real-jvm.sh [rounds]
set -euo pipefail
. "$(dirname "$0")/../scripts/common.sh"
ensure_tools
build_windows
prefix=$win_build/bench-real-jvm-prefix
"$root/scripts/make-prefix.sh" "$prefix"
trap '"$root/scripts/stop-prefix.sh" "$prefix"' EXIT
export WINEPREFIX=$prefix WINEARCH=win32 WINEDEBUG=-all
echo "== launcher start-up to main running with the real VM, against a bare JNI host (goal: median ratio at most 1.10)"
wine "$win_build/bin/real_jvm_startup.exe" "${1:-31}" </dev/null 2>/dev/null | tr -d '\r'
