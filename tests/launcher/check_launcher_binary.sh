#!/usr/bin/env bash
# The launcher as built: a GUI program for its architecture that needs only system DLLs and none of
# the window-system DLLs at load time (they cost every start; the launcher loads them when it needs them).
#   check_launcher_binary.sh PE_INFO EXE MACHINE FORMAT    (x86 PE32, or x64 PE32+)
set -euo pipefail
pe_info=$1 exe=$2 machine=$3 format=$4
headers=$("$pe_info" "$exe")
fail() { echo "check_launcher_binary: $*" >&2; exit 1; }
grep -qx "machine $machine" <<<"$headers" || fail "not built for $machine: $(grep '^machine' <<<"$headers")"
grep -qx "format $format" <<<"$headers" || fail "not $format: $(grep '^format' <<<"$headers")"
grep -qx 'subsystem gui' <<<"$headers" || fail "not a GUI program"
imports=$(sed -n 's/^import \([^ ]*\) .*/\1/p' <<<"$headers" | tr 'a-z' 'A-Z' | sort -u | tr '\n' ' ')
[ "$imports" = "ADVAPI32.DLL KERNEL32.DLL MSVCRT.DLL " ] || fail "unexpected imports: $imports"
# Paths from the system are taken in wide characters: the ANSI functions best-fit letters the code page lacks.
ansi=$(grep -Eo ' (GetModuleFileNameA|GetTempPathA|GetSystemDirectoryA)$' <<<"$headers" | sort -u | tr '\n' ' ' || true)
[ -z "$ansi" ] || fail "imports ANSI path functions: $ansi"
echo "$format GUI program for $machine importing $imports"
