#!/usr/bin/env bash
# Builds the deliverables and runs the launcher start-up benchmark under Wine for each architecture, in
# prefixes of their own.
#   bench/run-launcher.sh [rounds]
set -euo pipefail
. "$(dirname "$0")/../scripts/common.sh"
ensure_tools
build_windows
rounds=${1:-21}
startup() {
  echo "== launcher start-up"
  xvfb-run -a "$wine_loader" "$1/bin/launcher_startup.exe" "$rounds" </dev/null 2>/dev/null | tr -d '\r'
}
for_each_architecture bench-prefix startup
