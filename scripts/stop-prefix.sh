#!/usr/bin/env bash
# Ends the wineserver of a test run's prefix.
export WINEPREFIX=$1 WINEARCH=win32 WINEDEBUG=-all
wineserver -k 2>/dev/null || true
