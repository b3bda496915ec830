#!/usr/bin/env bash
# Checks qmr_dshow.dll's PE headers: a 32-bit DLL that imports only system DLLs, formats and writes its
# log through msvcrt, and exports exactly the expected names.
#   check_dll_imports.sh OBJDUMP NM DLL CORE_ARCHIVE EXPORT...
set -euo pipefail
objdump=$1
nm=$2
dll=$3
core=$4
shift 4
dump=$("$objdump" -p "$dll")
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

grep -q 'file format pei-i386' <<<"$dump" || fail "not a PE32 image"
grep -q 'Magic.*(PE32)' <<<"$dump" || fail "not PE32"
grep -A8 '^Characteristics' <<<"$dump" | grep -qx $'\tDLL' || fail "not a DLL"

allowed='^(KERNEL32|msvcrt|ole32|OLEAUT32|ADVAPI32|USER32)\.dll$'
while read -r name; do
  [[ $name =~ $allowed ]] || fail "imports non-system DLL $name"
done < <(sed -n 's/^\s*DLL Name: //p' <<<"$dump")

# The imports of msvcrt.dll: its table runs from its DLL Name line to the next blank line.
msvcrt=$(awk '/DLL Name: msvcrt.dll/{on=1; next} on && /^$/{on=0} on' <<<"$dump")
for fn in _vsnprintf fflush fputs; do
  grep -qw "$fn" <<<"$msvcrt" || fail "$fn is not imported from msvcrt.dll"
done
# The DLL is stripped; the library's objects show what they call.
if "$nm" "$core" | grep -q '__mingw_.*printf'; then fail "mingw's own printf family is called"; fi

actual=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" | sed -n 's/^\s*\[ *[0-9]*\] //p' | sort)
expected=$(printf '%s\n' "$@" | sort)
[ "$actual" = "$expected" ] || fail "exports differ: got [$(echo $actual)] want [$(echo $expected)]"
echo "qmr_dshow.dll: PE32 DLL, system imports only, log through msvcrt, exports: $(echo $actual)"
