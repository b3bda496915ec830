#!/usr/bin/env bash
# Checks qmr_dshow.dll's PE headers: a DLL for its architecture that imports only system DLLs, formats
# and writes its log through msvcrt, and exports exactly the expected names.
#   check_dll_imports.sh PE_INFO NM DLL CORE_ARCHIVE MACHINE FORMAT EXPORT...
set -euo pipefail
pe_info=$1 nm=$2 dll=$3 core=$4 machine=$5 format=$6
shift 6
headers=$("$pe_info" "$dll")
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

grep -qx "machine $machine" <<<"$headers" || fail "not built for $machine"
grep -qx "format $format" <<<"$headers" || fail "not $format"
grep -qx 'dll yes' <<<"$headers" || fail "not a DLL"

allowed='^(KERNEL32|msvcrt|ole32|OLEAUT32|ADVAPI32|USER32)\.dll$'
while read -r name; do
  [[ $name =~ $allowed ]] || fail "imports non-system DLL $name"
done < <(sed -n 's/^import \([^ ]*\) .*/\1/p' <<<"$headers" | sort -u)

for fn in _vsnprintf fflush fputs; do
  grep -qx "import msvcrt.dll $fn" <<<"$headers" || fail "$fn is not imported from msvcrt.dll"
done
# The DLL is stripped; the library's objects show what they call.
if "$nm" "$core" | grep -q '__mingw_.*printf'; then fail "mingw's own printf family is called"; fi

actual=$(sed -n 's/^export //p' <<<"$headers" | sort)
expected=$(printf '%s\n' "$@" | sort)
[ "$actual" = "$expected" ] || fail "exports differ: got [$(echo $actual)] want [$(echo $expected)]"
echo "qmr_dshow.dll: $format DLL for $machine, system imports only, log through msvcrt, exports: $(echo $actual)"
