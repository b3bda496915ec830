#!/usr/bin/env bash
# The whole test suite: host checks under AddressSanitizer and UBSan, then every target test under
# Wine and Xvfb. Installs what is missing first.
set -euo pipefail
. "$(dirname "$0")/common.sh"
ensure_tools
build_windows
build_native
ctest --test-dir "$native_build" --output-on-failure
jobs=$(( $(nproc) * 2 ))
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --test-dir "$root/build" --output-on-failure -j "$jobs" "$@"
