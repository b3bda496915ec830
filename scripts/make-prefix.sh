#!/usr/bin/env bash
# Creates a fresh Wine prefix for one test run and keeps its wineserver alive until stop-prefix.sh.
#   make-prefix.sh PREFIX [win32|win64]
set -euo pipefail
prefix=$1
. "$(dirname "$0")/wine-arch.sh"
wine_arch "${2:-win32}"
export WINEPREFIX=$prefix WINEDEBUG=-all
wineserver -k 2>/dev/null || true
rm -rf "$prefix"
"$wine_loader" wineboot -i >/dev/null 2>&1
# A crashing program must end rather than wait on a dialog nobody will close.
"$wine_loader" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
wineserver -w </dev/null >/dev/null 2>&1
wineserver -p </dev/null >/dev/null 2>&1
