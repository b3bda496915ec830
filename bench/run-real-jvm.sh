#!/usr/bin/env bash
# Builds the launcher, the real test runtime and the bare JNI host, and runs the real-VM start-up
# benchmark under Wine for each architecture in prefixes of their own; prints each round and the
# median ratio.
#   bench/run-real-jvm.sh [rounds]
set -euo pipefail
. "$(dirname "$0")/../scripts/common.sh"
ensure_tools
build_windows
rounds=${1:-31}
startup() {
  echo "== launcher start-up to main running with the real VM, against a bare JNI host (goal: median ratio at most 1.10)"
  "$wine_loader" "$1/bin/real_jvm_startup.exe" "$rounds" </dev/null 2>/dev/null | tr -d '\r'
}
for_each_architecture bench-real-jvm-prefix startup
