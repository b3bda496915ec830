#!/usr/bin/env bash
# Ends the wineserver of a test run's prefix.
#   stop-prefix.sh PREFIX [win32|win64]
. "$(dirname "$0")/wine-arch.sh"
wine_arch "${2:-win32}"
export WINEPREFIX=$1 WINEDEBUG=-all
wineserver -k 2>/dev/null || true
