#!/usr/bin/env bash
# Creates a fresh Wine prefix for one test run and keeps its wineserver alive until stop-prefix.sh.
set -euo pipefail
prefix=$1
export WINEPREFIX=$prefix WINEARCH=win32 WINEDEBUG=-all
wineserver -k 2>/dev/null || true
rm -rf "$prefix"
wineboot -i >/dev/null 2>&1
# A crashing program must end rather than wait on a dialog nobody will close.
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
wineserver -w </dev/null >/dev/null 2>&1
wineserver -p </dev/null >/dev/null 2>&1
