#!/usr/bin/env bash
# The launcher as built: a PE32 GUI program that needs only system DLLs and none of the window-system
# DLLs at load time (they cost every start; the launcher loads them when it needs them).
set -euo pipefail
objdump=$1
exe=$2
headers=$("$objdump" -p "$exe")
fail() { echo "check_launcher_binary: $*" >&2; exit 1; }
grep -q '^Magic[[:space:]]*010b[[:space:]]*(PE32)' <<<"$headers" || fail "not PE32"
grep -q '^Subsystem[[:space:]]*00000002[[:space:]]*(Windows GUI)' <<<"$headers" || fail "not a GUI program"
imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | tr 'a-z' 'A-Z' | sort | tr '\n' ' ')
[ "$imports" = "ADVAPI32.DLL KERNEL32.DLL MSVCRT.DLL " ] || fail "unexpected imports: $imports"
# Paths from the system are taken in wide characters: the ANSI functions best-fit letters the code page lacks.
ansi=$(grep -Eow 'GetModuleFileNameA|GetTempPathA|GetSystemDirectoryA' <<<"$headers" | sort -u | tr '\n' ' ' || true)
[ -z "$ansi" ] || fail "imports ANSI path functions: $ansi"
echo "PE32 GUI program importing $imports"
